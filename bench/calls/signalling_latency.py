#!/usr/bin/env python3
"""Call-to-NTFY time and command-to-answer time, as the lab sees them
(goal: < 2 ms each)."""

import argparse
import time

from bench_common import Bench, summary


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--calls", type=int, default=20)
    args = parser.parse_args()
    call_to_notify = []
    answers = {}
    with Bench() as bench:
        phone = bench.start_phone(interactive=True)
        lab = bench.lab
        address = phone.address
        time.sleep(1.0)
        for _ in range(args.calls):
            seen = len(lab.messages(address))
            started = time.monotonic()
            phone.send("call 600")
            notify = lab.wait_for(lambda: [m for m in lab.messages(address)[seen:]
                                           if m["dir"] == "in" and "D/600" in m["text"]], 5)
            if not notify:
                raise SystemExit("no NTFY for the call:\n" + phone.describe())
            call_to_notify.append((notify[0]["t"] - started) * 1000.0)
            if phone.wait_for("event Answered", 5) is None:
                raise SystemExit("the call was not answered:\n" + phone.describe())
            phone.send("hangup")
            if phone.wait_for("event Disconnected 0", 5) is None:
                raise SystemExit("the call did not end:\n" + phone.describe())
            time.sleep(0.2)
        messages = lab.messages(address)
        sent = {m["tid"]: m["text"].split(" ", 1)[0] for m in messages
                if m["dir"] == "out" and "tid" in m and not m["text"][:1].isdigit()}
        for m in messages:
            if m["dir"] == "in" and "answer_ms" in m and m["tid"] in sent:
                answers.setdefault(sent[m["tid"]], []).append(m["answer_ms"])
    print("Goal: under 2 ms each. The Call-to-NTFY time includes the pipe to voxline-call.")
    summary("Call to NTFY", call_to_notify)
    for verb in sorted(answers):
        summary("%s to its answer" % verb, answers[verb])
    summary("any command to its answer", [v for values in answers.values() for v in values])


if __name__ == "__main__":
    main()
