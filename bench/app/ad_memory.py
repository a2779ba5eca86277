#!/usr/bin/env python3
"""dialdeck's resident memory while it shows the lab's animated ad.

A logged-on dialdeck under its own Xvfb against the lab, with only the
animated ad entry, so the area keeps playing (and refetching) it; VmRSS read
from /proc/PID/status every --every seconds over --seconds, then the growth
from the first sample to the last.

    DIALDECK=build/bin/dialdeck python3 bench/app/ad_memory.py

Uses startup_idle.py's helpers, so the same 127.0.92.x and display :92."""

import argparse
import os
import shutil
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))

from proc_stats import status_kib  # noqa: E402
from startup_idle import bench_lab, start, wait_until  # noqa: E402

ANIMATED_ENTRY = "Ad001"


def ad_fetches(lab):
    return sum(1 for r in lab.command("web-requests").get("requests", [])
               if r.get("path") == "/ads/animated.gif")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--seconds", type=float, default=60.0)
    parser.add_argument("--every", type=float, default=5.0)
    args = parser.parse_args()
    program = folder = None
    with bench_lab() as (tls, display, lab):
        try:
            program, _, folder = start(display, tls, True, ads=[ANIMATED_ENTRY])
            if not wait_until(lambda: ad_fetches(lab) > 0, 30):
                raise SystemExit("dialdeck never fetched the animated ad:\n" + program.stderr())
            time.sleep(2.0)  # the first frames decoded and shown
            pid = program.process.pid
            samples = []
            begin = time.monotonic()
            for n in range(int(args.seconds / args.every) + 1):
                time.sleep(max(0.0, begin + n * args.every - time.monotonic()))
                samples.append((time.monotonic() - begin, status_kib(pid, "VmRSS")))
                print("t=%5.1f s  VmRSS %8d KiB (%.1f MiB)"
                      % (samples[-1][0], samples[-1][1], samples[-1][1] / 1024.0), flush=True)
            first, last = samples[0][1], samples[-1][1]
            print("animated ad shown, %.0f s: RSS %.1f -> %.1f MiB, growth %+d KiB (%+.1f %%), "
                  "ad fetched %d times"
                  % (samples[-1][0], first / 1024.0, last / 1024.0, last - first,
                     100.0 * (last - first) / first if first else 0.0, ad_fetches(lab)))
        finally:
            if program:
                program.stop()
            if folder:
                shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()
