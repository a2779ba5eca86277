"""A scripted MGCP endpoint on a loopback UDP socket, for driving the lab."""

import socket
import sys
import os
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "tools", "lab"))

from dialdeck_lab import mgcp  # noqa: E402


class FakeEndpoint:
    def __init__(self, lab_address, name, address=("127.0.0.1", 0)):
        self.name = name
        self.lab = lab_address
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.sock.bind(address)
        self.address = self.sock.getsockname()
        self._tid = 500
        self.backlog = []

    def close(self):
        self.sock.close()

    def send_raw(self, data):
        self.sock.sendto(data, self.lab)

    def command(self, verb, params=(), tid=None):
        if tid is None:
            self._tid += 1
            tid = self._tid
        self.send_raw(mgcp.format_command(verb, tid, self.name, params))
        return tid

    def receive(self, timeout=3.0):
        """Next datagram as (raw bytes, parsed message), or (None, None)."""
        if self.backlog:
            return self.backlog.pop(0)
        self.sock.settimeout(timeout)
        try:
            data, _ = self.sock.recvfrom(8192)
        except socket.timeout:
            return None, None
        return data, mgcp.parse(data)

    def expect_response(self, tid, timeout=3.0):
        return self._expect(lambda m: m.is_response and m.tid == tid, timeout)

    def expect_command(self, verb, timeout=3.0):
        return self._expect(lambda m: m.verb == verb, timeout)

    def _expect(self, wanted, timeout):
        deadline = time.monotonic() + timeout
        skipped = []
        try:
            while time.monotonic() < deadline:
                data, message = self.receive(max(0.01, deadline - time.monotonic()))
                if message is None:
                    return None
                if wanted(message):
                    return message
                skipped.append((data, message))
            return None
        finally:
            self.backlog = skipped + self.backlog

    def answer(self, message, code=200, sdp=None):
        self.send_raw(mgcp.format_response(code, message.tid, (), sdp))

    def register(self, extension=None, account=None):
        tid = self.command("RSIP", [("RM", "restart"), ("RD", "0")])
        response = self.expect_response(tid)
        request = self.expect_command("RQNT") if response and response.code == 200 else None
        if request:
            self.answer(request)
        return response, request
