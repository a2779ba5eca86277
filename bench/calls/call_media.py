"""Two voxline-call processes in a call with each other on virtual devices:
CPU per process for each codec, one-way latency from one microphone to the
far speaker, peak memory; and the anchor softphone measured in the same run.
Reports, never judges."""

import argparse
import glob
import json
import os
import re
import statistics
import subprocess
import sys
import tempfile
import time

from bench_common import BLOCK, HERE  # puts tests/integration on the path
import audio_check  # noqa: E402
from harness import Network, Phone  # noqa: E402
from lab_process import Lab  # noqa: E402

ANCHOR = os.path.abspath(os.path.join(HERE, "..", "..", "..", "shared", "anchors", "baresip"))
CLICK_SAMPLES = 16  # 2 ms

# name -> (phone options, kind)
KINDS = [
    ("cpu g711 20ms", ["--codec", "g711u", "--pack", "4"], "cpu"),
    ("cpu g729 20ms", ["--codec", "g729", "--pack", "2"], "cpu"),
    ("cpu g723.1 30ms", ["--codec", "g723", "--pack", "1"], "cpu"),
    ("lat default", ["--codec", "g711u", "--pack", "4", "--jitter-threshold", "1"], "lat"),
    ("lat input 10ms", ["--codec", "g711u", "--pack", "4", "--jitter-threshold", "1",
                        "--input-ms", "10"], "lat"),
]


def clicks_wav(path, seconds, tone):
    """A click every second (at 0.5 s, 1.5 s, ...), over a quiet 440 Hz tone or silence."""
    samples = audio_check.tone(440, seconds, 2000) if tone else audio_check.silence(seconds)
    for second in range(int(seconds)):
        start = second * audio_check.RATE + audio_check.RATE // 2
        samples[start:start + CLICK_SAMPLES] = [30000] * CLICK_SAMPLES
    audio_check.write_wav(path, samples)


def run_ns(pid):
    total = 0
    for path in glob.glob("/proc/%d/task/*/schedstat" % pid):
        try:
            with open(path) as f:
                total += int(f.read().split()[0])
        except (OSError, ValueError, IndexError):
            pass
    return total


def peak_kb(pid):
    with open("/proc/%d/status" % pid) as f:
        match = re.search(r"VmHWM:\s+(\d+) kB", f.read())
    return int(match.group(1)) if match else float("nan")


def log_times(home, pattern):
    """(file sample, microseconds) of each matching virtual-device line of vxl.log."""
    try:
        with open(os.path.join(home, "vxl.log"), encoding="latin-1") as f:
            return [(int(m.group(1)), int(m.group(2))) for m in re.finditer(pattern, f.read())]
    except OSError:
        return []


def click_onsets(samples):
    onsets, last = [], -audio_check.RATE
    for i, s in enumerate(samples):
        if abs(s) > 12000 and i - last > audio_check.RATE // 2:
            onsets.append(i)
            last = i
    return onsets


def latencies(talker, listener, speaker_file, seconds):
    """Capture-to-playout of each click, in ms, as ideal devices would give it."""
    mic = log_times(talker.home, r"Virtual microphone: file sample (\d+) captured at (\d+) us")
    plays = log_times(listener.home, r"Virtual speaker: file sample (\d+) plays at (\d+) us")
    if not mic or not plays:
        return []
    mic_us = mic[-1][1]
    captured = [mic_us + (k * audio_check.RATE + audio_check.RATE // 2) * 125
                for k in range(int(seconds))]
    found = []
    for onset in click_onsets(audio_check.read_wav(speaker_file)):
        base = [p for p in plays if p[0] <= onset]
        if not base:
            continue
        played = base[-1][1] + (onset - base[-1][0]) * 125
        before = [c for c in captured if 0 <= played - c < 1000000]
        if before:
            found.append((played - max(before)) / 1000.0)
    return found


def call_pair(network, options, seconds, folder, tone):
    mic = os.path.join(folder, "mic.wav")
    clicks_wav(mic, seconds + 15, tone)
    speakers = [os.path.join(folder, name) for name in ("a.wav", "b.wav")]
    for path in speakers:
        if os.path.exists(path):
            os.remove(path)
    callee = Phone(network.phone_address(), network.lab_address(),
                   options + ["--extension", "2002", "--auto-answer", "--flags", "0x28",
                              "--audio=virtual:mic=%s,speaker=%s" % (mic, speakers[1])],
                   interactive=True)
    caller = Phone(network.phone_address(), network.lab_address(),
                   options + ["--flags", "0x28",
                              "--audio=virtual:mic=%s,speaker=%s" % (mic, speakers[0])],
                   interactive=True)
    return caller, callee, speakers


def measure(kind, options, seconds, tone):
    network = Network(BLOCK)
    lab = Lab(address=network.lab_address(), port=2727, nat_port=2829)
    folder = tempfile.mkdtemp(prefix="voxline-bench-")
    caller = callee = None
    try:
        caller, callee, speakers = call_pair(network, options, seconds, folder, tone)
        for phone in (callee, caller):
            if phone.wait_for("event ConnectedToCallAgent", 15) is None:
                raise RuntimeError("no registration:\n" + phone.describe())
        lab.wait_for(lambda: lab.command("state %s" % callee.address)["endpoint"]["extension"])
        caller.send("call 2002")
        for phone in (caller, callee):
            if phone.wait_for("event Answered", 15, from_start=True) is None:
                raise RuntimeError("no answer:\n" + phone.describe())
        time.sleep(1.0)
        pids = [caller.process.pid, callee.process.pid]
        start = [run_ns(pid) for pid in pids]
        began = time.monotonic()
        time.sleep(seconds)
        elapsed = time.monotonic() - began
        cpu = [(run_ns(pid) - s) / (elapsed * 1e9) * 100 for pid, s in zip(pids, start)]
        peak = [peak_kb(pid) for pid in pids]
        caller.send("hangup")
        for phone in (caller, callee):
            phone.wait_for("event Disconnected.*", 10, from_start=True)
            phone.send("quit")
            phone.wait_exit(10)
        result = {"kind": kind, "cpu": cpu, "hwm_kb": peak}
        if kind.startswith("lat"):
            result["a_to_b_ms"] = latencies(caller, callee, speakers[1], seconds + 2)
            result["b_to_a_ms"] = latencies(callee, caller, speakers[0], seconds + 2)
        return result
    finally:
        for phone in (caller, callee):
            if phone:
                phone.stop()
        lab.stop()
        subprocess.run(["rm", "-rf", folder])


def anchor_run(seconds, work):
    """One run of each of the anchor's call kinds; its aggregate lines."""
    env = dict(os.environ, N="1", SECS=str(seconds), WORK=work)
    done = subprocess.run([os.path.join(ANCHOR, "run.sh")], env=env, capture_output=True,
                          text=True, timeout=3 * (seconds + 90) + 300)
    if done.returncode != 0:
        print("anchor run failed:\n" + done.stdout[-2000:] + done.stderr[-2000:])
        return {}
    figures = {}
    for line in done.stdout.splitlines():
        kind = re.match(r"(cpu|lat)-\d+\s", line)
        sides = re.findall(r"sched%=([\d.]+) .*?HWM=(\d+)kB", line)
        if not kind or len(sides) != 2:
            continue
        for side, (sched, hwm) in zip("ab", sides):
            figures["%s %s sched%%" % (kind.group(1), side)] = float(sched)
            figures["%s %s HWM kB" % (kind.group(1), side)] = float(hwm)
        for way in ("a->b", "b->a"):
            match = re.search(re.escape(way) + r" lat .*?med=([\d.]+)", line)
            if match:
                figures["lat %s ms" % way] = float(match.group(1))
    return figures


def median(values):
    values = [v for v in values if v == v]
    return statistics.median(values) if values else float("nan")


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--seconds", type=float, default=30, help="measurement window (30 s)")
    parser.add_argument("--runs", type=int, default=2, help="runs of each kind (2)")
    parser.add_argument("--no-anchor", action="store_true", help="skip the anchor softphone")
    parser.add_argument("--anchor-work", default=os.path.join(tempfile.gettempdir(),
                                                              "dialdeck-anchor"))
    args = parser.parse_args()

    results, anchors = [], []
    for run in range(args.runs):
        for kind, options, what in KINDS:
            result = measure(kind, options, args.seconds, tone=what == "cpu")
            results.append(result)
            print(json.dumps(result), flush=True)
        if not args.no_anchor:
            anchors.append(anchor_run(int(args.seconds), args.anchor_work))
            print("anchor: " + json.dumps(anchors[-1]), flush=True)

    print("--- medians over %d run(s) of %g s; caller a, callee b" % (args.runs, args.seconds))
    for kind, _, what in KINDS:
        rows = [r for r in results if r["kind"] == kind]
        cpu = ["%.2f" % median([r["cpu"][i] for r in rows]) for i in (0, 1)]
        hwm = ["%.0f" % median([r["hwm_kb"][i] for r in rows]) for i in (0, 1)]
        line = "%-16s cpu%% a %s b %s | HWM kB a %s b %s" % (kind, cpu[0], cpu[1], hwm[0], hwm[1])
        if what == "lat":
            for way in ("a_to_b_ms", "b_to_a_ms"):
                values = [v for r in rows for v in r[way]]
                line += " | %s %s ms (n=%d%s)" % (
                    way[:-3].replace("_to_", "->"), "%.1f" % median(values) if values else "-",
                    len(values), ", %.1f..%.1f" % (min(values), max(values)) if values else "")
        print(line)
    if anchors:
        print("anchor softphone (medians of its runs):")
        for key in sorted({k for a in anchors for k in a}):
            print("  %-22s %s" % (key, "%.3f" % median([a[key] for a in anchors if key in a])))
    return 0


if __name__ == "__main__":
    sys.exit(main())
