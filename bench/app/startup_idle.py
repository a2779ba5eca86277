#!/usr/bin/env python3
"""dialdeck's start-up and idle cost against the lab, under its own Xvfb.

Start-up: from starting the program to the control's first Idle state (the
window's first ChangeQuillonState 2), with the login dialog off and on (on:
account and PIN typed with xdotool, so the figure holds the typing too; the
time from the window showing to Idle is printed beside it); median of --runs.
Idle: a logged-on dialdeck left alone for --seconds: CPU as a percentage of
one core (/proc/PID/task/*/schedstat run time of every thread) and peak
resident memory (VmHWM).

    DIALDECK=build/bin/dialdeck python3 bench/app/startup_idle.py

Uses 127.0.92.x and display :92."""

import argparse
import contextlib
import os
import re
import shutil
import statistics
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.abspath(os.path.join(HERE, "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "tests", "integration"))
sys.path.insert(0, os.path.join(ROOT, "tools", "lab"))
sys.path.insert(0, os.path.join(ROOT, "bench"))

from dialdeck_lab.app_settings import config_text, lab_sections, write_private_file  # noqa: E402
from dialdeck_process import Dialdeck, Display, wait_until  # noqa: E402
from lab_process import Lab  # noqa: E402
from proc_stats import run_time_ns, status_kib  # noqa: E402

LAB_ADDRESS, PHONE_ADDRESS, DISPLAY = "127.0.92.1", "127.0.92.2", 92


def app_folder(tls, login, ads=None):
    """ads: which of the lab's ad entries to keep (names); all by default."""
    folder = tempfile.mkdtemp(prefix="dialdeck-bench-")
    sections = lab_sections(address=LAB_ADDRESS, ca_file=os.path.join(tls, "ca.pem"))
    for name, keys in sections:
        if name == "Ads" and ads is not None:
            keys[:] = [(key, value) for key, value in keys if key in ads]
        for i, (key, value) in enumerate(keys):
            if key == "LoginOptions" and not login:
                keys[i] = (key, "0" + value[1:])
    os.makedirs(os.path.join(folder, "config"))
    write_private_file(os.path.join(folder, "config", "Config.ini"), config_text(sections))
    return folder


def traced(program, what):
    match = re.search(r"dialdeck: %s at ([0-9.]+)" % what, program.stderr())
    return float(match.group(1)) if match else None


def start(display, tls, login, ads=None):
    """A running dialdeck in Idle, its start time and its folder."""
    folder = app_folder(tls, login, ads)
    begin = time.monotonic()
    program = Dialdeck(display, folder, PHONE_ADDRESS, {"DIALDECK_TRACE_STATES": "1"})
    if login:
        dialog = display.window("Login to Dialdeck")
        display.type_into(dialog, ("type", "2191001"), ("key", "Tab"), ("type", "1234"),
                          ("key", "Return"))
    if not wait_until(lambda: traced(program, "state 2"), 30):
        program.stop()
        raise SystemExit("dialdeck never reached Idle:\n" + program.stderr())
    return program, begin, folder


def startup_runs(display, tls, login, runs):
    total, after_shown = [], []
    for _ in range(runs):
        program, begin, folder = start(display, tls, login)
        idle = traced(program, "state 2")
        total.append(idle - begin)
        after_shown.append(idle - traced(program, "shown"))
        program.stop()
        shutil.rmtree(folder, ignore_errors=True)
    return statistics.median(total), statistics.median(after_shown)


def idle_cost(display, tls, seconds):
    program, _, folder = start(display, tls, True)
    try:
        time.sleep(2.0)  # the log-on's last exchanges
        pid = program.process.pid
        t0, ns0 = time.monotonic(), run_time_ns(pid)
        time.sleep(seconds)
        t1, ns1 = time.monotonic(), run_time_ns(pid)
        return 100.0 * (ns1 - ns0) / 1e9 / (t1 - t0), status_kib(pid, "VmHWM")
    finally:
        program.stop()
        shutil.rmtree(folder, ignore_errors=True)


@contextlib.contextmanager
def bench_lab():
    """The lab, its HTTPS folder and the Xvfb display the application benchmarks run
    against: (tls folder, display, lab)."""
    tls = tempfile.mkdtemp(prefix="dialdeck-bench-tls-")
    display = Display(DISPLAY)
    lab = Lab(address=LAB_ADDRESS, port=2727, nat_port=2829, extra=["--tls-dir", tls])
    try:
        yield tls, display, lab
    finally:
        lab.stop()
        display.stop()
        shutil.rmtree(tls, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--seconds", type=float, default=30.0)
    args = parser.parse_args()
    with bench_lab() as (tls, display, _):
        for login in (False, True):
            total, after_shown = startup_runs(display, tls, login, args.runs)
            print("start-up to Idle, login %s: median %.0f ms over %d runs "
                  "(%.0f ms after the window shows)"
                  % ("on " if login else "off", total * 1000, args.runs, after_shown * 1000))
        cpu, rss = idle_cost(display, tls, args.seconds)
        print("idle, logged on, %.0f s: CPU %.3f %% of one core, peak RSS %.1f MiB"
              % (args.seconds, cpu, rss / 1024.0))


if __name__ == "__main__":
    main()
