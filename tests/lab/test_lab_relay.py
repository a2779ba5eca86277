"""The lab's media relay as the end-to-end tests use it: the relay protocol,
its controls and report, and an echo call whose media crosses the relay."""

import os
import socket
import sys
import unittest

sys.path.insert(0, os.path.dirname(__file__))

from fake_endpoint import FakeEndpoint, mgcp  # noqa: E402
from lab_process import Lab  # noqa: E402

ADDRESS = "127.0.215.1"
CONTROL = (ADDRESS, 2830)


class RelayTest(unittest.TestCase):
    def setUp(self):
        self.lab = Lab(address=ADDRESS, extra=["--relay-ports", "42000-42001"])
        self.addCleanup(self.lab.stop)
        self.phone = self.udp()

    def udp(self):
        sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.addCleanup(sock.close)
        sock.bind(("127.0.0.1", 0))
        return sock

    def ask(self, text, to=CONTROL, timeout=1.0):
        self.phone.sendto(text.encode() + b"\0", to)
        self.phone.settimeout(timeout)
        try:
            data, sender = self.phone.recvfrom(256)
            return data, sender
        except socket.timeout:
            return None, None

    def test_protocol_controls_and_report(self):
        alloc = "PROXY_ALLOC 0 me_1 127.0.0.1"
        self.assertEqual(self.ask(alloc), (b"PROXY_ACKALLOC me_1 42000\0", CONTROL))
        self.assertEqual(self.ask(alloc)[0], b"PROXY_ACKALLOC me_1 42000\0")
        self.assertEqual(self.ask("PROXY_ALLOC 0 you_2 127.0.0.1")[0],
                         b"PROXY_ACKALLOC you_2 42001\0")
        self.assertEqual(self.ask("PROXY_ALLOC 0 third 127.0.0.1")[0], b"PROXY_NAKALLOC third\0")
        self.assertIsNone(self.ask("PROXY_ALLOC me_1", timeout=0.3)[0])

        self.lab.command("relay %s alloc refuse" % ADDRESS)
        self.assertEqual(self.ask("PROXY_ALLOC 0 new 127.0.0.1")[0], b"PROXY_NAKALLOC new\0")
        self.lab.command("relay %s alloc silent" % ADDRESS)
        self.assertIsNone(self.ask("PROXY_ALLOC 0 new 127.0.0.1", timeout=0.3)[0])

        relay = (ADDRESS, 42000)
        self.assertIsNone(self.ask("PROXY_PROBE other", to=relay, timeout=0.3)[0])
        self.assertEqual(self.ask("PROXY_PROBE me_1", to=relay), (b"PROXY_ACKPROBE me_1\0", relay))
        far = self.udp()
        far.sendto(b"\x80\x00from-far", relay)
        self.phone.settimeout(2)
        self.assertEqual(self.phone.recvfrom(256), (b"\x80\x00from-far", relay))

        self.lab.command("relay %s drop 1" % ADDRESS)
        self.assertIsNone(self.ask("PROXY_DEALLOC 0 me_1", timeout=0.3)[0])
        self.lab.command("relay %s delay 300" % ADDRESS)
        self.assertEqual(self.ask("PROXY_DEALLOC 0 me_1")[0], b"PROXY_ACKDEALLOC me_1\0")

        report = self.lab.command("relay %s report" % ADDRESS)
        freed = [a for a in report["allocations"] if a["freed"]]
        self.assertEqual(len(freed), 1)
        self.assertEqual(
            {k: freed[0][k] for k in ("id", "call_agent", "port", "endpoint_leg", "to_endpoint")},
            {"id": "me_1", "call_agent": "127.0.0.1", "port": 42000,
             "endpoint_leg": "127.0.0.1:%d" % self.phone.getsockname()[1], "to_endpoint": 1})
        texts = [m["text"] for m in report["messages"]]
        self.assertEqual(texts.count("PROXY_DEALLOC 0 me_1"), 2)
        self.assertIn("PROXY_PROBE me_1", texts)
        self.assertFalse(self.lab.command("relay 127.0.0.9 report")["ok"])

    def test_echo_call_media_crosses_the_relay(self):
        endpoint = FakeEndpoint(self.lab.mgcp, "ep1/0")
        self.addCleanup(endpoint.close)
        self.assertEqual(endpoint.register()[0].code, 200)
        tid = endpoint.command("NTFY", [("O", "D/600")])
        self.assertEqual(endpoint.expect_response(tid).code, 200)
        create = endpoint.expect_command("CRCX")
        self.assertEqual(self.ask("PROXY_ALLOC 0 ep1 127.0.0.1")[0],
                         b"PROXY_ACKALLOC ep1 42000\0")
        relay = (ADDRESS, 42000)
        self.assertEqual(self.ask("PROXY_PROBE ep1", to=relay)[0], b"PROXY_ACKPROBE ep1\0")
        endpoint.answer(create, sdp=mgcp.build_sdp(*relay))
        modify = endpoint.expect_command("MDCX")
        self.assertEqual(mgcp.parse_sdp(modify.sdp), relay)
        endpoint.answer(modify)

        self.phone.sendto(b"\x80\x00rtp-payload", relay)
        self.phone.settimeout(3)
        self.assertEqual(self.phone.recvfrom(256), (b"\x80\x00rtp-payload", relay))
        allocation = self.lab.command("relay %s report" % ADDRESS)["allocations"][0]
        self.assertEqual(allocation["far_leg"], "%s:%d" % self.lab.rtp)
        self.assertEqual((allocation["to_far"], allocation["to_endpoint"]), (1, 1))


if __name__ == "__main__":
    unittest.main()
