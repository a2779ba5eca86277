"""What the end-to-end tests rely on in the lab: its call flows, driven with
raw MGCP from scripted endpoints, and its unscrambler against the engine's
scrambler."""

import os
import socket
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(__file__))

from fake_endpoint import FakeEndpoint, mgcp  # noqa: E402
from lab_process import Lab  # noqa: E402
from dialdeck_lab.scrambling import unscramble_hex  # noqa: E402


class CallFlowTest(unittest.TestCase):
    def setUp(self):
        self.lab = Lab()
        self.addCleanup(self.lab.stop)

    def registered(self, name, extension=None):
        endpoint = FakeEndpoint(self.lab.mgcp, name)
        self.addCleanup(endpoint.close)
        response, request = endpoint.register()
        self.assertEqual(response.code, 200)
        self.assertEqual(request.param("R"), "L/hd(N)")
        self.assertTrue(self.lab.state(name)["registered"])
        if extension:
            self.notify(endpoint, "Tarn/ext(%s), Tarn/ver(2.5.0.0)" % extension)
        return endpoint

    def notify(self, endpoint, events):
        tid = endpoint.command("NTFY", [("O", events)])
        self.assertEqual(endpoint.expect_response(tid).code, 200)

    def test_echo_line_connects_and_echoes_rtp(self):
        endpoint = self.registered("ep1/0")
        self.notify(endpoint, "D/600")
        create = endpoint.expect_command("CRCX")
        self.assertEqual((create.param("R"), create.param("M")), ("L/hu(N)", "sendrecv"))
        rtp = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.addCleanup(rtp.close)
        rtp.bind(("127.0.0.1", 0))
        endpoint.answer(create, sdp=mgcp.build_sdp("127.0.0.1", rtp.getsockname()[1]))
        modify = endpoint.expect_command("MDCX")
        self.assertEqual(mgcp.parse_sdp(modify.sdp), self.lab.rtp)
        endpoint.answer(modify)
        rtp.settimeout(3)
        rtp.sendto(b"\x80\x00rtp-payload", mgcp.parse_sdp(modify.sdp))
        self.assertEqual(rtp.recvfrom(2048)[0], b"\x80\x00rtp-payload")
        self.assertTrue(self.lab.wait_for(lambda: self.lab.state("ep1/0")["state"] == "connected"))

        self.notify(endpoint, "L/hu")
        delete = endpoint.expect_command("DLCX")
        self.assertEqual(delete.param("C"), create.param("C"))
        endpoint.answer(delete)
        self.assertEqual(endpoint.expect_command("RQNT").param("R"), "L/hd(N)")
        call = self.lab.command("calls")["calls"][-1]
        self.assertEqual((call["number"], call["kind"], call["state"], call["ended_by"]),
                         ("600", "echo", "ended", "ep1/0"))

    def test_busy_and_invalid_numbers_get_their_signal(self):
        endpoint = self.registered("ep1/0")
        for number, signal in (("601", "L/bz"), ("5550000", "L/e")):
            with self.subTest(number=number):
                self.notify(endpoint, "D/%s" % number)
                request = endpoint.expect_command("RQNT")
                self.assertEqual((request.param("S"), request.param("R")), (signal, "L/hu(N)"))
                endpoint.answer(request)
                self.notify(endpoint, "L/hu")
                rearm = endpoint.expect_command("RQNT")
                self.assertEqual(rearm.param("R"), "L/hd(N)")
                endpoint.answer(rearm)

    def test_call_between_two_endpoints(self):
        caller = self.registered("caller/0")
        callee = self.registered("callee/0", extension="2002")
        self.notify(caller, "D/2002, L/ci(,5551234,Caller)")
        create = caller.expect_command("CRCX")
        caller.answer(create, sdp=mgcp.build_sdp("127.0.0.1", 40000))
        ring_create = callee.expect_command("CRCX")
        self.assertEqual(mgcp.parse_sdp(ring_create.sdp), ("127.0.0.1", 40000))
        self.assertEqual(ring_create.param("R"), "L/hd(N)")
        callee.answer(ring_create, sdp=mgcp.build_sdp("127.0.0.1", 40002))
        ring = callee.expect_command("RQNT")
        self.assertEqual((ring.param("S"), ring.param("R")), ("L/ci(5551234)", "L/hd(N)"))
        callee.answer(ring)
        ringback = caller.expect_command("RQNT")
        self.assertEqual(ringback.param("S"), "L/v")
        caller.answer(ringback)

        self.notify(callee, "L/hd")
        connect = caller.expect_command("MDCX")
        self.assertEqual(mgcp.parse_sdp(connect.sdp), ("127.0.0.1", 40002))
        caller.answer(connect)
        self.assertEqual(callee.expect_command("RQNT").param("R"), "L/hu(N)")

        self.notify(callee, "L/hu")
        for endpoint in (caller, callee):
            delete = endpoint.expect_command("DLCX")
            self.assertIsNotNone(delete, endpoint.name)
            endpoint.answer(delete)
        call = self.lab.command("calls")["calls"][-1]
        self.assertEqual((call["kind"], call["callee"], call["ended_by"]),
                         ("line", "callee/0", "callee/0"))
        self.assertIn("connected", call["times"])


class UnscrambleTest(unittest.TestCase):
    def test_engine_scramblings_are_recovered(self):
        program = os.environ.get("SCRAMBLE_SAMPLES")
        if not program:
            self.skipTest("SCRAMBLE_SAMPLES names the engine's sample program")
        texts = ["4155551234", "1234", "0", "", "x" * 79, "A-Z a-z 0-9 !?"]
        output = subprocess.run([program] + texts, capture_output=True, text=True, check=True,
                                timeout=30).stdout
        lines = output.splitlines()
        self.assertEqual(len(lines), 3 * len(texts))
        for line in lines:
            text, _, hex_text = line.partition("\t")
            with self.subTest(text=text):
                self.assertEqual(unscramble_hex(hex_text), text)
        self.assertEqual(len(set(lines)), len(lines))


if __name__ == "__main__":
    unittest.main()
