"""The behind-NAT test after logon against the lab's NAT service (the override
file and a silent service are walked by test_relay and tests/nat)."""

from harness import EndToEndTest


class NatDiscoveryTest(EndToEndTest):
    block = 71

    def test_service_decides_behind_or_not_and_a_call_advertises_the_mapping(self):
        lab = self.start_lab()
        cases = [('nat reply "40000 192.0.2.10"', True,
                  "NAT info 192.0.2.10:40000 (behind a NAT)"),
                 ("nat reply", False, "NAT info %s:3400 (not behind a NAT)")]
        for command, behind, line in cases:
            with self.subTest(command=command):
                lab.command(command)
                phone = self.start_phone(["--dial", "600"] if behind else [])
                self.expect(phone, "event ConnectedToCallAgent")
                events = phone.events()
                self.assertEqual("event GenericEvent 3 0 0" in events, behind)
                if behind:
                    self.assertLess(events.index("event GenericEvent 3 0 0"),
                                    events.index("event ConnectedToCallAgent"))
                self.assertIn(line.replace("%s", phone.address), phone.log())
                if not behind:
                    requests = [r for r in lab.command("nat report")["requests"]
                                if r["from"] == "%s:3400" % phone.address]
                    self.assertEqual([(r["data"], r["answered"]) for r in requests],
                                     [("GetNAT\0", True)])
                    continue
                answer = self.answer_to(lab, phone, "CRCX")
                self.assertTrue(answer.startswith("200 "), answer)
                self.assertIn("c=IN IP4 192.0.2.10\r\n", answer, phone.describe())
                self.assertRegex(answer, r"m=audio 40000 ")
                self.assertIn("NAT RTP 192.0.2.10:40000 (unreliable; may not receive audio)",
                              phone.log())
                # One query at logon, one from the call's RTP socket (both on port 3400).
                self.assertEqual([(r["from"], r["data"], r["answered"])
                                  for r in lab.command("nat report")["requests"]],
                                 [("%s:3400" % phone.address, "GetNAT\0", True)] * 2)
                phone.stop()
