"""The lab's NAT information service and its controls, as the end-to-end
tests use them."""

import os
import socket
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(__file__))

from lab_process import Lab  # noqa: E402

ADDRESS = "127.0.213.1"
NAT_PORT = 2829


class NatServiceTest(unittest.TestCase):
    def setUp(self):
        self.lab = Lab(address=ADDRESS, nat_port=NAT_PORT)
        self.addCleanup(self.lab.stop)
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.addCleanup(self.sock.close)
        self.sock.bind((ADDRESS, 0))

    def ask(self, timeout=1.0, data=b"GetNAT\0"):
        self.sock.sendto(data, (ADDRESS, NAT_PORT))
        self.sock.settimeout(timeout)
        try:
            return self.sock.recvfrom(256)[0]
        except socket.timeout:
            return None

    def test_answers_then_obeys_each_control(self):
        port = self.sock.getsockname()[1]
        self.assertEqual(self.ask(), b"%d %s\0" % (port, ADDRESS.encode()))
        self.assertIsNone(self.ask(timeout=0.3, data=b"hello"))

        self.lab.command('nat reply "40000 192.0.2.10"')
        self.assertEqual(self.ask(), b"40000 192.0.2.10\0")
        self.lab.command("nat reply")
        self.assertEqual(self.ask(), b"%d %s\0" % (port, ADDRESS.encode()))

        self.lab.command("nat silent")
        self.assertIsNone(self.ask(timeout=0.3))
        self.lab.command("nat answer")
        self.lab.command("nat drop 2")
        self.assertIsNone(self.ask(timeout=0.3))
        self.assertIsNone(self.ask(timeout=0.3))
        self.assertIsNotNone(self.ask())

        self.lab.command("nat delay 400")
        started = time.monotonic()
        self.assertIsNone(self.ask(timeout=0.2))
        self.sock.settimeout(3)
        self.assertIsNotNone(self.sock.recvfrom(256)[0])
        self.assertGreaterEqual(time.monotonic() - started, 0.35)

        requests = self.lab.command("nat report")["requests"]
        self.assertEqual(len(requests), 9)
        self.assertEqual(requests[0]["from"], "%s:%d" % (ADDRESS, port))
        self.assertEqual(requests[0]["data"], "GetNAT\0")
        self.assertEqual([r["answered"] for r in requests],
                         [True, False, True, True, False, False, False, True, True])
        self.assertFalse(self.lab.command("nat drop -1")["ok"])


if __name__ == "__main__":
    unittest.main()
