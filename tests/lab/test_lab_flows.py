"""The lab driven with raw MGCP datagrams from scripted endpoints on loopback."""

import os
import socket
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(__file__))

from fake_endpoint import FakeEndpoint, mgcp  # noqa: E402
from lab_process import LAB, Lab  # noqa: E402


class LabTestCase(unittest.TestCase):
    extra = ()

    def setUp(self):
        self.lab = Lab(extra=self.extra)
        self.endpoints = []

    def tearDown(self):
        for endpoint in self.endpoints:
            endpoint.close()
        self.lab.stop()

    def endpoint(self, name):
        endpoint = FakeEndpoint(self.lab.mgcp, name)
        self.endpoints.append(endpoint)
        return endpoint

    def registered(self, name, extension=None):
        endpoint = self.endpoint(name)
        response, request = endpoint.register()
        self.assertEqual(response.code, 200)
        self.assertEqual(request.param("R"), "L/hd(N)")
        if extension:
            tid = endpoint.command("NTFY", [("O", "Tarn/ext(%s), Tarn/ver(2.5.0.0)" % extension)])
            self.assertEqual(endpoint.expect_response(tid).code, 200)
        return endpoint


class RegistrationTest(LabTestCase):
    extra = ("--refuse-extension", "999")

    def test_restart_is_answered_and_hook_events_requested(self):
        endpoint = self.endpoint("ep1/0")
        tid = endpoint.command("RSIP", [("RM", "restart"), ("RD", "0")])
        data, message = endpoint.receive()
        self.assertTrue(data.endswith(b"\0") and not data.endswith(b"\0\0"))
        self.assertTrue(message.is_response)
        self.assertEqual((message.code, message.tid), (200, tid))
        request = endpoint.expect_command("RQNT")
        self.assertEqual(request.endpoint, "ep1/0")
        self.assertEqual(request.param("R"), "L/hd(N)")
        self.assertTrue(request.param("X"))
        self.assertTrue(self.lab.state("ep1/0")["registered"])

    def test_configured_codes_for_registration(self):
        endpoint = self.endpoint("ep1/0")
        cases = [("reject-next 403", 403, False), (None, 200, True),
                 ("rsip-code 502", 502, False)]
        for control, code, registered in cases:
            with self.subTest(control=control):
                if control:
                    self.assertTrue(self.lab.command(control)["ok"])
                response, _ = endpoint.register()
                self.assertEqual(response.code, code)
                self.assertEqual(self.lab.state("ep1/0")["registered"], registered)
        self.lab.command("rsip-code none")
        response, _ = endpoint.register()
        self.assertIsNone(response)

    def test_endpoint_information_and_refused_extension(self):
        endpoint = self.registered("ep1/0")
        cases = [
            ("Tarn/ext(2001), Tarn/acct(123456,9876), Tarn/ver(2.5.0.0)", 200,
             {"extension": "2001", "account": "123456", "pin": "9876", "version": "2.5.0.0",
              "account_scrambled": False}),
            ("Tarn/ext(999), Tarn/ver(2.5.0.0)", 515, {"extension": "999"}),
            ("Tarn/eacct(ZZ,01), Tarn/ver(2.5.0.0)", 200,
             {"account": None, "account_scrambled": True}),
        ]
        for events, code, expected in cases:
            with self.subTest(events=events):
                tid = endpoint.command("NTFY", [("O", events)])
                self.assertEqual(endpoint.expect_response(tid).code, code)
                state = self.lab.state("ep1/0")
                for key, value in expected.items():
                    self.assertEqual(state[key], value, key)

    def test_graceful_restart_unregisters(self):
        endpoint = self.registered("ep1/0")
        tid = endpoint.command("RSIP", [("RM", "graceful"), ("RD", "0")])
        self.assertEqual(endpoint.expect_response(tid).code, 200)
        self.assertFalse(self.lab.state("ep1/0")["registered"])


class CallFlowTest(LabTestCase):
    def dial(self, endpoint, number, caller_id=None):
        events = "D/%s" % number + (", L/ci(,%s,Caller)" % caller_id if caller_id else "")
        tid = endpoint.command("NTFY", [("O", events)])
        self.assertEqual(endpoint.expect_response(tid).code, 200)

    def test_echo_line_connects_and_echoes_rtp(self):
        endpoint = self.registered("ep1/0")
        self.dial(endpoint, "600")
        create = endpoint.expect_command("CRCX")
        self.assertEqual(create.param("R"), "L/hu(N)")
        self.assertEqual(create.param("M"), "sendrecv")
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
        self.lab.wait_for(lambda: self.lab.state("ep1/0")["state"] == "connected")
        self.assertEqual(self.lab.state("ep1/0")["state"], "connected")

        tid = endpoint.command("NTFY", [("O", "L/hu")])
        self.assertEqual(endpoint.expect_response(tid).code, 200)
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
                self.dial(endpoint, number)
                request = endpoint.expect_command("RQNT")
                self.assertEqual(request.param("S"), signal)
                self.assertEqual(request.param("R"), "L/hu(N)")
                endpoint.answer(request)
                tid = endpoint.command("NTFY", [("O", "L/hu")])
                self.assertEqual(endpoint.expect_response(tid).code, 200)
                rearm = endpoint.expect_command("RQNT")
                self.assertEqual(rearm.param("R"), "L/hd(N)")
                endpoint.answer(rearm)

    def test_call_between_two_endpoints(self):
        caller = self.registered("caller/0")
        callee = self.registered("callee/0", extension="2002")
        self.dial(caller, "2002", caller_id="5551234")
        create = caller.expect_command("CRCX")
        caller.answer(create, sdp=mgcp.build_sdp("127.0.0.1", 40000))
        ring_create = callee.expect_command("CRCX")
        self.assertEqual(mgcp.parse_sdp(ring_create.sdp), ("127.0.0.1", 40000))
        self.assertEqual(ring_create.param("R"), "L/hd(N)")
        callee.answer(ring_create, sdp=mgcp.build_sdp("127.0.0.1", 40002))
        ring = callee.expect_command("RQNT")
        self.assertEqual(ring.param("S"), "L/ci(5551234)")
        self.assertEqual(ring.param("R"), "L/hd(N)")
        callee.answer(ring)
        ringback = caller.expect_command("RQNT")
        self.assertEqual(ringback.param("S"), "L/v")
        caller.answer(ringback)

        tid = callee.command("NTFY", [("O", "L/hd")])
        self.assertEqual(callee.expect_response(tid).code, 200)
        connect = caller.expect_command("MDCX")
        self.assertEqual(mgcp.parse_sdp(connect.sdp), ("127.0.0.1", 40002))
        caller.answer(connect)
        self.assertEqual(callee.expect_command("RQNT").param("R"), "L/hu(N)")

        tid = callee.command("NTFY", [("O", "L/hu")])
        self.assertEqual(callee.expect_response(tid).code, 200)
        for endpoint in (caller, callee):
            delete = endpoint.expect_command("DLCX")
            self.assertIsNotNone(delete, endpoint.name)
            endpoint.answer(delete)
        call = self.lab.command("calls")["calls"][-1]
        self.assertEqual((call["kind"], call["callee"], call["ended_by"]),
                         ("line", "callee/0", "callee/0"))
        self.assertIn("connected", call["times"])

    def test_calling_an_endpoint_in_a_call_gives_busy(self):
        self.registered("a/0")
        busy = self.registered("b/0", extension="2002")
        self.dial(busy, "601")
        busy.answer(busy.expect_command("RQNT"))
        caller = self.registered("c/0")
        self.dial(caller, "2002")
        self.assertEqual(caller.expect_command("RQNT").param("S"), "L/bz")
        self.assertIsNone(caller.expect_command("CRCX", timeout=0.3))


class TransportTest(LabTestCase):
    def test_repeated_command_gets_the_cached_answer_once(self):
        endpoint = self.registered("ep1/0")
        tid = endpoint.command("NTFY", [("O", "D/601")])
        first = endpoint.expect_response(tid)
        endpoint.command("NTFY", [("O", "D/601")], tid=tid)
        second = endpoint.expect_response(tid)
        self.assertEqual((first.code, second.code), (200, 200))
        endpoint.expect_command("RQNT")
        self.assertIsNone(endpoint.expect_command("RQNT", timeout=0.5))
        self.assertEqual(len(self.lab.command("calls")["calls"]), 1)

    def test_unanswered_command_is_retransmitted_with_its_id(self):
        endpoint = self.endpoint("ep1/0")
        endpoint.command("RSIP", [("RM", "restart")])
        first = endpoint.expect_command("RQNT")
        again = endpoint.expect_command("RQNT", timeout=3)
        self.assertEqual(first.tid, again.tid)

    def test_bad_datagrams_are_dropped_and_odd_versions_answered_528(self):
        endpoint = self.endpoint("ep1/0")
        for junk in (b"", b"\0", b"HELLO there\r\n", b"\xff\xfe\x00garbage", b"NTFY x",
                     b"RSIP 12 ep/0 MGCP 1.0\r\nnot a parameter line\r\n", b"A" * 5000):
            endpoint.send_raw(junk)
        endpoint.send_raw(b"RSIP 77 ep1/0 MGCP 0.1\r\nRM: restart\r\n\0")
        self.assertEqual(endpoint.expect_response(77).code, 528)
        self.assertTrue(self.lab.command("ping")["ok"])

    def test_messages_carry_time_stamps_and_answer_times(self):
        endpoint = self.registered("ep1/0")
        messages = self.lab.wait_for(lambda: [m for m in self.lab.messages("ep1/0")
                                              if "answer_ms" in m])
        self.assertTrue(messages)
        all_messages = self.lab.messages(self.endpoints[0].address[0])
        self.assertEqual([m["dir"] for m in all_messages[:3]], ["in", "out", "out"])
        stamps = [m["t"] for m in all_messages]
        self.assertEqual(stamps, sorted(stamps))
        self.assertGreaterEqual(messages[0]["answer_ms"], 0)
        del endpoint


class ControlTest(LabTestCase):
    def test_control_commands(self):
        endpoint = self.registered("ep1/0")
        self.assertTrue(self.lab.command("auep ep1/0")["ok"])
        audit = endpoint.expect_command("AUEP")
        endpoint.send_raw(mgcp.format_response(200, audit.tid, [("Z", "ep1/0"), ("I", "0")]))
        state = self.lab.wait_for(
            lambda: (lambda s: s if s["audit"].get("code") == 200 else None)(
                self.lab.state("ep1/0")))
        self.assertEqual(state["audit"]["params"], {"Z": "ep1/0", "I": "0"})

        self.assertTrue(self.lab.command("ldap ep1/0 1 Account ok")["ok"])
        notify = endpoint.expect_command("NTFY")
        self.assertEqual(notify.param("O"), "Tarn/ldap(1 Account ok)")
        endpoint.answer(notify)

        self.assertTrue(self.lab.command("hangup ep1/0")["ok"])
        self.assertIsNotNone(endpoint.expect_command("DLCX"))

        for bad in ("state nobody/0", "frobnicate", "silent maybe", "reject-next 42",
                    "ldap ep1/0", 'state "unterminated'):
            with self.subTest(command=bad):
                self.assertFalse(self.lab.command(bad)["ok"])

    def test_silent_lab_neither_answers_nor_sends(self):
        endpoint = self.registered("ep1/0")
        self.lab.command("silent on")
        tid = endpoint.command("NTFY", [("O", "D/600")])
        self.assertIsNone(endpoint.expect_response(tid, timeout=0.5))
        self.lab.command("silent off")
        tid = endpoint.command("NTFY", [("O", "D/601")])
        self.assertEqual(endpoint.expect_response(tid).code, 200)


class LoopbackOnlyTest(unittest.TestCase):
    def test_lab_refuses_addresses_outside_loopback(self):
        for address in ("10.0.0.1", "0.0.0.0", "example"):
            with self.subTest(address=address):
                result = subprocess.run(
                    [sys.executable, LAB, "--address", address, "--control-port", "0"],
                    capture_output=True, text=True, timeout=20)
                self.assertEqual(result.returncode, 1)
                self.assertIn("loopback", result.stderr)


class NatServiceTest(unittest.TestCase):
    def test_get_nat_is_answered_with_the_senders_address(self):
        probe = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        probe.bind(("127.0.0.1", 0))
        nat = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        nat.bind(("127.0.0.1", 0))
        nat_port = nat.getsockname()[1]
        nat.close()
        lab = Lab(nat_port=nat_port)
        try:
            probe.settimeout(3)
            probe.sendto(b"GetNAT\0", ("127.0.0.1", nat_port))
            data, _ = probe.recvfrom(100)
            port = probe.getsockname()[1]
            self.assertEqual(data.rstrip(b"\0").decode(), "%d 127.0.0.1" % port)
            probe.sendto(b"SomethingElse\0", ("127.0.0.1", nat_port))
            probe.settimeout(0.3)
            with self.assertRaises(socket.timeout):
                probe.recvfrom(100)
        finally:
            probe.close()
            lab.stop()


if __name__ == "__main__":
    unittest.main()
