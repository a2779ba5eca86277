#!/usr/bin/env python3
"""CPU used by a logged-on, idle voxline-call over 30 s (goal: < 0.5 % of a core)."""

import argparse
import os
import time

from bench_common import Bench


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as handle:
        fields = handle.read().rsplit(")", 1)[1].split()
    # utime and stime are fields 14 and 15 of the whole line.
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--seconds", type=float, default=30.0)
    args = parser.parse_args()
    with Bench() as bench:
        phone = bench.start_phone(["--flags", "0x29"])
        time.sleep(2.0)  # let registration and the NAT test settle
        pid = phone.process.pid
        start_cpu, start = cpu_seconds(pid), time.monotonic()
        time.sleep(args.seconds)
        used, elapsed = cpu_seconds(pid) - start_cpu, time.monotonic() - start
        print("idle logged-on voxline-call: %.3f s CPU in %.1f s = %.3f %% of one core "
              "(goal < 0.5 %%)" % (used, elapsed, 100.0 * used / elapsed))


if __name__ == "__main__":
    main()
