"""The behind-NAT test after logon, end to end: the override file, the lab's
NAT service answering with another address, answering with our own, silent;
and the mapped address a call advertises without a relay."""

import os
import re
import unittest

from harness import EndToEndTest


class NatDiscoveryTest(EndToEndTest):
    block = 71

    def requests_from(self, lab, phone):
        return [r for r in lab.command("nat report")["requests"]
                if r["from"] == "%s:3400" % phone.address]

    def test_override_file_counts_as_behind_without_a_request(self):
        # The lab holds registration back until the marker is in place.
        lab = self.start_lab(extra=["--silent"])
        phone = self.start_phone()
        open(os.path.join(phone.home, "vxl.nat"), "w").close()
        lab.command("silent off")
        self.expect(phone, "event GenericEvent 3 0 0", timeout=20)
        self.expect(phone, "event ConnectedToCallAgent")
        self.assertIn("Overriding NAT test.  Pretending we are behind a NAT.", phone.log())
        self.assertEqual(lab.command("nat report")["requests"], [])

    def test_service_decides_behind_or_not(self):
        lab = self.start_lab()
        cases = [('nat reply "40000 192.0.2.10"', True,
                  "NAT info 192.0.2.10:40000 (behind a NAT)"),
                 ("nat reply", False, "NAT info %s:3400 (not behind a NAT)")]
        for command, behind, line in cases:
            with self.subTest(command=command):
                lab.command(command)
                phone = self.start_phone()
                self.expect(phone, "event ConnectedToCallAgent")
                events = phone.events()
                if behind:
                    self.assertIn("event GenericEvent 3 0 0", events)
                    self.assertLess(events.index("event GenericEvent 3 0 0"),
                                    events.index("event ConnectedToCallAgent"))
                else:
                    self.assertNotIn("event GenericEvent 3 0 0", events)
                self.assertIn(line.replace("%s", phone.address), phone.log())
                requests = self.requests_from(lab, phone)
                self.assertEqual([(r["data"], r["answered"]) for r in requests],
                                 [("GetNAT\0", True)])
                phone.stop()

    def test_silent_service_leaves_the_phone_registered_not_behind(self):
        lab = self.start_lab()
        lab.command("nat silent")
        phone = self.start_phone()
        self.expect(phone, "event ConnectedToCallAgent")
        self.assertTrue(lab.wait_for(lambda: self.endpoint_state(lab, phone)["registered"]))
        self.assertNotIn("event GenericEvent 3 0 0", phone.events())
        self.assertIn("Did not receive any valid NAT responses.  Assuming we are not behind a "
                      "NAT.", phone.log())
        requests = self.requests_from(lab, phone)
        self.assertEqual(len(requests), 8)
        self.assertFalse(any(r["answered"] for r in requests))

    def test_mapped_address_is_advertised_without_a_relay(self):
        lab = self.start_lab()
        lab.command('nat reply "40000 192.0.2.10"')
        phone = self.start_phone(["--dial", "600"])
        self.expect(phone, "event GenericEvent 3 0 0", timeout=20)

        def crcx_answer():
            texts = [m["text"] for m in lab.messages(phone.address)]
            ids = [t.split()[1] for t in texts if t.startswith("CRCX ")]
            return next((t for t in texts if ids and re.match(r"200 %s\b" % ids[0], t)), None)
        answer = lab.wait_for(crcx_answer, timeout=10) or ""
        self.assertIn("c=IN IP4 192.0.2.10\r\n", answer, phone.describe())
        self.assertRegex(answer, r"m=audio 40000 ")
        self.assertIn("NAT RTP 192.0.2.10:40000 (unreliable; may not receive audio)",
                      phone.log())
        # One query at logon, one from the call's RTP socket (both on port 3400).
        self.assertEqual([r["from"] for r in lab.command("nat report")["requests"]],
                         ["%s:3400" % phone.address] * 2)


if __name__ == "__main__":
    unittest.main()
