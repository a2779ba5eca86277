"""Starts the operator lab as a process for tests and talks to its control port."""

import json
import os
import re
import socket
import subprocess
import sys
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
LAB = os.path.join(ROOT, "tools", "lab", "dialdeck-lab")


def wait_until(predicate, timeout=5.0, interval=0.02):
    """Polls predicate() until it returns something true; returns it."""
    deadline = time.monotonic() + timeout
    while True:
        result = predicate()
        if result or time.monotonic() > deadline:
            return result
        time.sleep(interval)


class Lab:
    def __init__(self, address="127.0.0.1", port=0, extra=(), nat_port=0, prefix=(),
                 connect=socket.create_connection):
        """prefix runs the lab inside something (a network namespace); connect
        reaches its control port from there."""
        command = list(prefix) + [sys.executable, LAB, "--address", address, "--port", str(port),
                                  "--control-port", "0", "--nat-port", str(nat_port),
                                  "--quiet"] + list(extra)
        self.process = subprocess.Popen(command, stdout=subprocess.PIPE, text=True)
        deadline = time.monotonic() + 10
        line = ""
        while time.monotonic() < deadline:
            line = self.process.stdout.readline()
            if line.startswith("lab ready") or not line:
                break
        match = re.search(r"mgcp=([\d.]+):(\d+) control=([\d.]+):(\d+)", line)
        if not match:
            self.stop()
            raise RuntimeError("lab did not start: %r" % line)
        self.mgcp = (match.group(1), int(match.group(2)))
        self._control = connect((match.group(3), int(match.group(4))), timeout=5)
        self._reader = self._control.makefile("r", encoding="utf-8")

    def command(self, line):
        self._control.sendall((line + "\n").encode("utf-8"))
        answer = self._reader.readline()
        if not answer:
            raise RuntimeError("control connection closed")
        return json.loads(answer)

    def messages(self, endpoint):
        return self.command("messages %s" % endpoint)["messages"]

    wait_for = staticmethod(wait_until)

    def stop(self):
        try:
            if self.process.poll() is None:
                self.process.terminate()
                self.process.wait(timeout=5)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait(timeout=5)
        finally:
            for stream in (getattr(self, "_reader", None), getattr(self, "_control", None),
                           self.process.stdout):
                if stream:
                    stream.close()
