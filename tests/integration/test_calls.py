"""Calls through the lab, end to end: the echo line ended by the call agent,
busy and invalid numbers, an early hang-up and calls between two phones."""

import time

from harness import EndToEndTest


class CallTest(EndToEndTest):
    block = 52

    def test_the_echo_line_ended_by_the_call_agent_and_busy_and_invalid_numbers(self):
        lab = self.start_lab()
        phone = self.start_phone(["--dial", "600"])
        self.expect(phone, "event Answered")
        self.assertTrue(lab.wait_for(lambda: lab.command("calls")["calls"][-1]["state"] ==
                                     "connected"), phone.describe())
        self.assertTrue(lab.command("hangup %s" % phone.address)["ok"])
        self.expect(phone, "event Disconnected 0")
        call = lab.command("calls")["calls"][-1]
        self.assertEqual((call["number"], call["kind"], call["ended_by"]), ("600", "echo", "lab"))
        self.assertIn("connected", call["times"])
        for number, tone in (("601", 3), ("5550000", 4)):
            with self.subTest(number=number):
                phone = self.start_phone(["--dial", number, "--hangup-after", "2"])
                self.expect(phone, "event PlayTone %d" % tone)
                self.expect(phone, "event Disconnected 0")
                self.assertNotIn("event Answered", phone.events())

    def test_hang_up_right_after_dialling_sends_nothing(self):
        lab = self.start_lab()
        phone = self.start_phone(["--dial", "600", "--hangup-after", "0"])
        self.expect(phone, "event Disconnected 0")
        self.expect(phone, "event ConnectedToCallAgent", from_start=True)
        time.sleep(1.0)
        texts = [m["text"] for m in lab.messages(phone.address)]
        self.assertFalse([t for t in texts if "D/600" in t or t.startswith("CRCX")], texts)
        self.assertEqual(lab.command("calls")["calls"], [])

    def test_calls_between_two_phones(self):
        lab = self.start_lab()
        for ending in ("caller", "callee", "unanswered"):
            with self.subTest(ending=ending):
                answer = [] if ending == "unanswered" else ["--auto-answer=0.5"]
                callee = self.start_phone(["--extension", "2002"] + answer, interactive=True)
                caller = self.start_phone(["--caller-id-number", "5551234",
                                           "--caller-id-name", "Ann"], interactive=True)
                self.call(lab, caller, callee, "2002")
                self.expect(callee, "event Ringing 5551234")
                self.expect(caller, "event PlayTone 2")
                if answer:
                    self.expect(callee, "event Answered")
                    self.expect(caller, "event Answered")
                self.hang_up(callee if ending == "callee" else caller, caller, callee)
                if not answer:
                    self.assertNotIn("event Answered", callee.events())
                call = lab.command("calls")["calls"][-1]
                self.assertEqual(call["kind"], "line")
                self.assertEqual("connected" in call["times"], bool(answer), call)
