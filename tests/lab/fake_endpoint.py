"""A scripted MGCP endpoint on a loopback UDP socket, for driving the lab."""

import os
import socket
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "tools", "lab"))

from dialdeck_lab import mgcp  # noqa: E402


class FakeEndpoint:
    def __init__(self, lab_address, name):
        self.name = name
        self.lab = lab_address
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.sock.bind(("127.0.0.1", 0))
        self._tid = 500
        self.backlog = []

    def close(self):
        self.sock.close()

    def command(self, verb, params=()):
        self._tid += 1
        self.sock.sendto(mgcp.format_command(verb, self._tid, self.name, params), self.lab)
        return self._tid

    def expect_response(self, tid, timeout=3.0):
        return self._expect(lambda m: m.is_response and m.tid == tid, timeout)

    def expect_command(self, verb, timeout=3.0):
        return self._expect(lambda m: m.verb == verb, timeout)

    def _expect(self, wanted, timeout):
        """The first message (held back ones first) that is wanted; the others
        are kept for later calls."""
        deadline = time.monotonic() + timeout
        skipped = []
        try:
            while True:
                if self.backlog:
                    message = self.backlog.pop(0)
                else:
                    remaining = deadline - time.monotonic()
                    if remaining <= 0:
                        return None
                    self.sock.settimeout(remaining)
                    try:
                        message = mgcp.parse(self.sock.recvfrom(8192)[0])
                    except socket.timeout:
                        return None
                if wanted(message):
                    return message
                skipped.append(message)
        finally:
            self.backlog = skipped + self.backlog

    def answer(self, message, code=200, sdp=None):
        self.sock.sendto(mgcp.format_response(code, message.tid, (), sdp), self.lab)

    def register(self):
        tid = self.command("RSIP", [("RM", "restart"), ("RD", "0")])
        response = self.expect_response(tid)
        request = self.expect_command("RQNT") if response and response.code == 200 else None
        if request:
            self.answer(request)
        return response, request
