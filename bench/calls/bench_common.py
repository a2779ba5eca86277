"""Shared set-up of the call benchmarks: a lab and one phone on loopback."""

import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tests", "integration"))

from harness import Network, Phone  # noqa: E402
from lab_process import Lab  # noqa: E402

BLOCK = 60


class Bench:
    def __init__(self):
        self.network = Network(BLOCK)
        self.lab = None
        self.phone = None

    def __enter__(self):
        self.lab = Lab(address=self.network.lab_address(), port=2727, nat_port=2829)
        return self

    def start_phone(self, args=(), interactive=False):
        self.phone = Phone(self.network.phone_address(), self.network.lab_address(), args,
                           interactive)
        if self.phone.wait_for("event ConnectedToCallAgent", 15) is None:
            raise SystemExit("the phone did not register:\n" + self.phone.describe())
        return self.phone

    def __exit__(self, *_):
        if self.phone:
            self.phone.stop()
        if self.lab:
            self.lab.stop()


def percentile(values, fraction):
    ordered = sorted(values)
    if not ordered:
        return float("nan")
    index = min(len(ordered) - 1, int(round(fraction * (len(ordered) - 1))))
    return ordered[index]


def summary(name, values_ms):
    if not values_ms:
        print("%-28s no samples" % name)
        return
    print("%-28s n=%-4d median %.3f ms  p90 %.3f ms  max %.3f ms" % (
        name, len(values_ms), percentile(values_ms, 0.5), percentile(values_ms, 0.9),
        max(values_ms)))
