"""Losing the call agent, end to end: roll-over from a silent call agent and
the audit watchdog, with the keep-alive that goes out meanwhile. Each takes
tens of seconds by design."""

import unittest

from harness import EndToEndTest


class RolloverTest(EndToEndTest):
    block = 53

    def test_silent_first_call_agent_rolls_over_to_the_second(self):
        self.start_lab(0, extra=["--silent"])
        self.start_lab(1)
        second = self.network.lab_address(1)
        phone = self.start_phone(
            call_agents="%s,%s" % (self.network.lab_address(0), second))
        # Ten unanswered transmissions of the registration take up to ~40 s.
        self.expect(phone, "event CallAgentRollover %s" % second.replace(".", r"\."), 60)
        self.expect(phone, "event ConnectedToCallAgent", 10)


class AuditWatchdogTest(EndToEndTest):
    block = 54

    def test_keepalive_at_35_s_and_silence_counts_as_link_down(self):
        lab = self.start_lab()
        # Audit on with the shortest timeout: 20 s plus the 30 s margin.
        phone = self.start_phone(["--flags", "0x8", "--audit-timeout", "20"])
        self.expect(phone, "event ConnectedToCallAgent")
        lab.wait_for(lambda: (self.endpoint_state(lab, phone) or {}).get("version"))
        lab.command("silent on")
        self.expect(phone, "event Disconnected 1", 75)
        messages = lab.messages(phone.address)
        restart = next(m["t"] for m in messages if m["text"].startswith("RSIP"))
        # A keep-alive is a response 200 with transaction id 0, 35 s after the
        # last one (the registration), so before the watchdog's 50 s.
        keepalives = [m["t"] - restart for m in messages if m["text"].split() == ["200", "0"]]
        self.assertTrue(keepalives, messages)
        self.assertGreaterEqual(keepalives[0], 34.0)
        self.assertLess(keepalives[0], 37.0)


if __name__ == "__main__":
    unittest.main()
