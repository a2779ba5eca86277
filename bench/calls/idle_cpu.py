#!/usr/bin/env python3
"""How quietly a logged-on, idle voxline-call sleeps, before and after one
call, beside the anchor softphone's idle figures from the same run.

CPU is the nanosecond run time of every thread (/proc/PID/task/*/schedstat,
first field); the tick counters of /proc/PID/stat read 0 or 1 over 30 s.
Wake-ups are the context switches of every thread (voluntary and
involuntary, /proc/PID/task/*/status). The default window is one keep-alive
period (35 s), so it holds the long-run share of the phone's only idle timer
whatever its alignment. Goal: after the call at most 0.1 wake-ups/s with
default settings."""

import argparse
import json
import os
import subprocess
import sys
import tempfile
import time

from bench_common import Bench

ANCHOR = os.environ.get("VOXLINE_ANCHOR",
                        os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                                     "..", "shared", "anchors", "baresip"))
GOAL_WAKEUPS = 0.1


def counters(pid):
    """Run time (ns), voluntary and involuntary switches summed over the threads."""
    ns = voluntary = involuntary = 0
    for tid in os.listdir("/proc/%d/task" % pid):
        base = "/proc/%d/task/%s/" % (pid, tid)
        try:
            with open(base + "schedstat") as handle:
                ns += int(handle.read().split()[0])
            with open(base + "status") as handle:
                for line in handle:
                    if line.startswith("voluntary_ctxt_switches:"):
                        voluntary += int(line.split()[1])
                    elif line.startswith("nonvoluntary_ctxt_switches:"):
                        involuntary += int(line.split()[1])
        except OSError:
            pass  # a thread that ended while we read
    return time.monotonic(), ns, voluntary, involuntary


def measure(pid, seconds):
    t0, ns0, vol0, inv0 = counters(pid)
    time.sleep(seconds)
    t1, ns1, vol1, inv1 = counters(pid)
    wall = t1 - t0
    return {"cpu_pct": 100.0 * (ns1 - ns0) / 1e9 / wall,
            "wakeups": ((vol1 - vol0) + (inv1 - inv0)) / wall,
            "voluntary": (vol1 - vol0) / wall}


def one_call(phone):
    """A call to the lab's echo line, hung up after two seconds."""
    phone.send("call 600")
    if phone.wait_for("event Answered", 15) is None:
        raise SystemExit("the echo line did not answer:\n" + phone.describe())
    time.sleep(2.0)
    phone.send("hangup")
    if phone.wait_for("event Disconnected 0", 15) is None:
        raise SystemExit("the call did not end:\n" + phone.describe())


def ours(seconds, flags):
    with Bench() as bench:
        phone = bench.start_phone(["--flags", flags], interactive=True)
        time.sleep(2.0)  # let registration settle
        before = measure(phone.process.pid, seconds)
        one_call(phone)
        time.sleep(2.0)  # the call's last lines and statistics
        after = measure(phone.process.pid, seconds)
    return before, after


def anchor(seconds, work):
    """The anchor's idle kind (registered, no call). Its run.sh builds what
    ctl.py needs (and installs its packages when run as root); it runs every
    kind, so it runs once, briefly, only while the built files are missing."""
    if not os.path.isdir(ANCHOR):
        return None, "no anchor harness at %s" % ANCHOR
    os.makedirs(work, exist_ok=True)
    env = dict(os.environ, ANCHOR_WORK=work, WORK=work)
    if not os.path.exists(os.path.join(work, "modules", "anchorio.so")) or \
            not os.path.exists(os.path.join(work, "in.wav")):
        prepared = subprocess.run(["bash", os.path.join(ANCHOR, "run.sh")],
                                  env=dict(env, N="1", SECS="5"), capture_output=True,
                                  text=True, timeout=900)
        if prepared.returncode != 0:
            return None, "run.sh failed: " + (prepared.stderr or prepared.stdout).strip()[-300:]
    out = os.path.join(work, "idle-%d" % int(time.time()))
    run = subprocess.run([sys.executable, os.path.join(ANCHOR, "ctl.py"), "idle", "--secs",
                          str(seconds), "--out", out], env=env, capture_output=True, text=True,
                         timeout=seconds + 90)
    try:
        with open(os.path.join(out, "result.json")) as handle:
            idle = json.load(handle)["idle"]
    except (OSError, ValueError, KeyError):
        return None, "ctl.py idle failed: " + (run.stderr or run.stdout).strip()[-300:]
    return {"cpu_pct": idle["sched_pct"], "wakeups": idle["wakeups_per_s"],
            "voluntary": idle["wakeups_per_s"]}, None


def ratio(a, b):
    return "%.1f x" % (a / b) if b > 0 else "n/a (anchor 0)"


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--seconds", type=float, default=35.0, help="each window (default 35)")
    parser.add_argument("--flags", default="0x29",
                        help="engine flags: echo cancellation, audit, scrambling (default 0x29)")
    parser.add_argument("--no-anchor", action="store_true", help="skip the anchor softphone")
    parser.add_argument("--anchor-work", default=os.path.join(tempfile.gettempdir(),
                                                              "voxline-anchor"),
                        help="the anchor's built files and results")
    args = parser.parse_args()

    before, after = ours(args.seconds, args.flags)
    reference, why = (None, "skipped") if args.no_anchor else anchor(args.seconds,
                                                                     args.anchor_work)

    print("idle, registered, %.0f s windows      CPU %% of a core   wake-ups/s   (voluntary)"
          % args.seconds)
    rows = [("voxline-call, before any call", before), ("voxline-call, after one call", after)]
    if reference:
        rows.append(("anchor softphone, idle", reference))
    for name, figures in rows:
        print("%-36s %12.5f %12.3f %12.3f" % (name, figures["cpu_pct"], figures["wakeups"],
                                              figures["voluntary"]))
    if reference:
        # The anchor counts voluntary switches only; compare like with like.
        for name, figures in rows[:2]:
            print("%-36s %12s %12s" % ("ratio " + name.split(", ")[1] + " / anchor",
                                       ratio(figures["cpu_pct"], reference["cpu_pct"]),
                                       ratio(figures["voluntary"], reference["voluntary"])))
    else:
        print("anchor softphone: not measured (%s)" % why)
    print("goal after the call: at most %.1f wake-ups/s: %s" % (
        GOAL_WAKEUPS, "met" if after["wakeups"] <= GOAL_WAKEUPS else "NOT met"))


if __name__ == "__main__":
    main()
