"""Losing the call agent: roll-over and the audit watchdog, side by side as
both take tens of seconds."""

from harness import EndToEndTest


class LinkLossTest(EndToEndTest):
    block = 53

    def test_rollover_from_a_silent_call_agent_and_the_watchdog_after_a_keepalive(self):
        self.start_lab(0, extra=["--silent"])
        self.start_lab(1)
        lab = self.start_lab(2)
        second = self.network.lab_address(1)
        rolling = self.start_phone(call_agents="%s,%s" % (self.network.lab_address(0), second))
        # Audit on with the shortest timeout: 20 s plus the 30 s margin.
        phone = self.start_phone(["--flags", "0x8", "--audit-timeout", "20"],
                                 call_agents=self.network.lab_address(2))
        self.registered(lab, phone)
        lab.command("silent on")
        # Ten unanswered transmissions of the registration take up to ~40 s.
        self.expect(rolling, "event CallAgentRollover %s" % second.replace(".", r"\."), 60)
        self.expect(rolling, "event ConnectedToCallAgent", 10)
        self.expect(phone, "event Disconnected 1", 75)
        messages = lab.messages(phone.address)
        restart = next(m["t"] for m in messages if m["text"].startswith("RSIP"))
        # A keep-alive is a response 200 with transaction id 0, 35 s after the
        # last one (the registration), so before the watchdog's 50 s.
        keepalives = [m["t"] - restart for m in messages if m["text"].split() == ["200", "0"]]
        self.assertTrue(keepalives, messages)
        self.assertTrue(34.0 <= keepalives[0] < 37.0, keepalives)
