"""What /proc says of a process: the run time of all its threads (schedstat,
which also sees an idle process's brief wake-ups) and its memory figures."""

import os


def run_time_ns(pid):
    total = 0
    for tid in os.listdir("/proc/%d/task" % pid):
        try:
            with open("/proc/%d/task/%s/schedstat" % (pid, tid)) as handle:
                total += int(handle.read().split()[0])
        except OSError:
            pass  # a thread that ended while we read
    return total


def status_kib(pid, field):
    """A memory field of /proc/PID/status (VmRSS, VmHWM ...) in KiB, 0 if absent."""
    with open("/proc/%d/status" % pid) as handle:
        for line in handle:
            name, _, value = line.partition(":")
            if name == field:
                return int(value.split()[0])
    return 0
