#!/usr/bin/env python3
"""kestrel-host against the operator lab on 127.0.96.x: how quietly the
logged-on, idle control sleeps (CPU over --seconds from the run time of every
thread, /proc/PID/task/*/schedstat, and its memory), and how long `call 600`
takes to reach state 4 (connected) beside voxline-call's `call 600` to its
Answered event on the same lab, medians over --runs calls each.

    KESTREL_HOST=build/bin/kestrel-host VOXLINE_CALL=build/bin/voxline-call \\
        python3 bench/control/host_bench.py

Goal: idle CPU under 0.5 % of one core. It reports, it does not judge."""

import argparse
import os
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tests", "integration"))
sys.path.insert(0, os.path.join(HERE, ".."))

from harness import Network, Phone  # noqa: E402
from lab_process import Lab  # noqa: E402
from test_kestrel_host import Host  # noqa: E402
from proc_stats import run_time_ns, status_kib  # noqa: E402

BLOCK = 96
GOAL_CPU_PCT = 0.5


def idle_cpu(pid, seconds):
    t0, ns0 = time.monotonic(), run_time_ns(pid)
    time.sleep(seconds)
    t1, ns1 = time.monotonic(), run_time_ns(pid)
    return 100.0 * (ns1 - ns0) / 1e9 / (t1 - t0), ns1 - ns0


def host_call(host):
    """Seconds from `call 600` to state 4; None when it never came."""
    start = time.monotonic()
    host.command("call 600")
    if not host.wait_state(4, 15):
        return None
    took = time.monotonic() - start
    time.sleep(0.5)
    host.command("hangup")
    host.wait_state(2, 15)
    return took


def phone_call(phone):
    """Seconds from `call 600` to Answered; None when it never came."""
    start = time.monotonic()
    phone.send("call 600")
    if phone.wait_for("event Answered", 15) is None:
        return None
    took = next(t for t, text in reversed(phone.lines) if text == "event Answered") - start
    time.sleep(0.5)
    phone.send("hangup")
    phone.wait_for("event Disconnected 0", 15)
    return took


def median(values):
    ordered = sorted(v for v in values if v is not None)
    return ordered[len(ordered) // 2] if ordered else float("nan")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--seconds", type=float, default=30.0)
    parser.add_argument("--runs", type=int, default=10)
    args = parser.parse_args()

    network = Network(BLOCK)
    lab = Lab(address=network.lab_address(), port=2727, nat_port=2829)
    host = phone = None
    try:
        host = Host(network.phone_address(), network.lab_address())
        if not host.wait_state(2, 15):
            raise SystemExit("kestrel-host did not log on:\n" + host.describe())
        time.sleep(2.0)  # the log-on's last lines
        pid = host.process.pid
        cpu, ran_ns = idle_cpu(pid, args.seconds)
        threads = len(os.listdir("/proc/%d/task" % pid))
        print("kestrel-host idle, logged on, %.0f s: CPU %.4f %% of one core (goal < %.1f %%; "
              "%d threads ran %.0f us), RSS %d KiB, peak %d KiB"
              % (args.seconds, cpu, GOAL_CPU_PCT, threads, ran_ns / 1e3, status_kib(pid, "VmRSS"),
                 status_kib(pid, "VmHWM")))

        phone = Phone(network.phone_address(), network.lab_address(), interactive=True)
        if phone.wait_for("event ConnectedToCallAgent", 15) is None:
            raise SystemExit("voxline-call did not register:\n" + phone.describe())
        hosts, phones = [], []
        for _ in range(args.runs):
            hosts.append(host_call(host))
            phones.append(phone_call(phone))
        print("call 600 to connected, median of %d: kestrel-host %.1f ms (state 4), "
              "voxline-call %.1f ms (Answered); missed %d / %d"
              % (args.runs, 1000 * median(hosts), 1000 * median(phones),
                 hosts.count(None), phones.count(None)))
    finally:
        if phone:
            phone.stop()
        if host:
            host.stop()
        lab.stop()


if __name__ == "__main__":
    main()
