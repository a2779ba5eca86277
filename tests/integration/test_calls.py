"""Calls through the lab, end to end: the echo line, busy and invalid
numbers, an early hang-up and a call between two phones."""

import time
import unittest

from harness import EndToEndTest


class CallTest(EndToEndTest):
    block = 52

    def test_call_to_the_echo_line_is_answered_and_hung_up(self):
        lab = self.start_lab()
        phone = self.start_phone(["--dial", "600", "--hangup-after", "2"])
        self.expect(phone, "event ConnectedToCallAgent")
        self.expect(phone, "event Answered")
        self.expect(phone, "event Disconnected 0")
        call = lab.wait_for(lambda: [c for c in lab.command("calls")["calls"]
                                     if c["state"] == "ended"])
        self.assertTrue(call, phone.describe())
        self.assertEqual((call[0]["number"], call[0]["kind"]), ("600", "echo"))
        self.assertIn("connected", call[0]["times"])

    def test_busy_and_invalid_numbers_play_their_tones(self):
        self.start_lab()
        for number, tone in (("601", 3), ("5550000", 4)):
            with self.subTest(number=number):
                phone = self.start_phone(["--dial", number, "--hangup-after", "2"])
                self.expect(phone, "event PlayTone %d" % tone)
                self.expect(phone, "event Disconnected 0")
                self.assertNotIn("event Answered", phone.events())
                phone.stop()

    def test_hang_up_right_after_dialling_sends_nothing(self):
        lab = self.start_lab()
        phone = self.start_phone(["--dial", "600", "--hangup-after", "0"])
        self.expect(phone, "event Disconnected 0")
        self.expect(phone, "event ConnectedToCallAgent", from_start=True)
        time.sleep(1.0)
        texts = [m["text"] for m in lab.messages(phone.address)]
        self.assertFalse([t for t in texts if "D/600" in t or t.startswith("CRCX")], texts)
        self.assertEqual(lab.command("calls")["calls"], [])

    def test_call_between_two_phones(self):
        lab = self.start_lab()
        for hanging_up in ("caller", "callee"):
            with self.subTest(hanging_up=hanging_up):
                callee = self.start_phone(["--extension", "2002", "--auto-answer=0.5"],
                                          interactive=True)
                caller = self.start_phone(["--caller-id-number", "5551234",
                                           "--caller-id-name", "Ann"], interactive=True)
                for phone in (callee, caller):
                    self.expect(phone, "event ConnectedToCallAgent")
                lab.wait_for(lambda: (self.endpoint_state(lab, callee) or {}).get("extension"))
                caller.send("call 2002")
                self.expect(callee, "event Ringing 5551234")
                self.expect(caller, "event PlayTone 2")
                self.expect(callee, "event Answered")
                self.expect(caller, "event Answered")
                (caller if hanging_up == "caller" else callee).send("hangup")
                for phone in (caller, callee):
                    self.expect(phone, "event Disconnected 0")
                call = lab.command("calls")["calls"][-1]
                self.assertEqual(call["kind"], "line")
                self.assertIn("connected", call["times"])
                for phone in (caller, callee):
                    phone.send("quit")
                    self.assertEqual(phone.wait_exit(), 0, phone.describe())

    def test_caller_giving_up_while_the_callee_rings(self):
        lab = self.start_lab()
        callee = self.start_phone(["--extension", "2003"])
        caller = self.start_phone(interactive=True)
        for phone in (callee, caller):
            self.expect(phone, "event ConnectedToCallAgent")
        lab.wait_for(lambda: (self.endpoint_state(lab, callee) or {}).get("extension"))
        caller.send("call 2003")
        self.expect(callee, "event Ringing")
        caller.send("hangup")
        for phone in (caller, callee):
            self.expect(phone, "event Disconnected 0")
        self.assertNotIn("event Answered", callee.events())

    def test_call_agent_ends_the_call(self):
        lab = self.start_lab()
        phone = self.start_phone(["--dial", "600"])
        self.expect(phone, "event Answered")
        self.assertTrue(lab.command("hangup %s" % phone.address)["ok"])
        self.expect(phone, "event Disconnected 0")
        self.assertEqual(lab.command("calls")["calls"][-1]["ended_by"], "lab")


if __name__ == "__main__":
    unittest.main()
