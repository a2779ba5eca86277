"""Calls through the lab's media relay from a phone behind a NAT (the override
file): granted, refused and a relay that never answers the probe."""

import os
import re

from harness import EndToEndTest


class RelayTest(EndToEndTest):
    block = 73

    def start_behind_nat(self, relay_setting=None, args=("--dial", "600")):
        # Registration is held back until the override file is in place.
        lab = self.start_lab(extra=["--silent"])
        self.relay = "relay %s" % self.network.lab_address()
        if relay_setting:
            lab.command("%s %s" % (self.relay, relay_setting))
        phone = self.start_phone(["--proxy", self.network.lab_address(), "--proxy-port", "2830"] +
                                 list(args))
        open(os.path.join(phone.home, "vxl.nat"), "w").close()
        lab.command("silent off")
        self.expect(phone, "event GenericEvent 3 0 0", timeout=20)
        self.expect(phone, "event ConnectedToCallAgent")
        # The override file counts as behind a NAT without asking the NAT service.
        self.assertIn("Overriding NAT test.  Pretending we are behind a NAT.", phone.log())
        self.assertEqual(lab.command("nat report")["requests"], [])
        return lab, phone

    def report(self, lab):
        return lab.command("%s report" % self.relay)

    def test_granted_relay_carries_rtp_both_ways_and_is_freed(self):
        lab, phone = self.start_behind_nat(args=["--dial", "600", "--hangup-after", "3"])
        self.expect(phone, "event Answered", timeout=30)
        # The closing statistics: packets sent and received through the relay.
        stats = self.expect(phone, r"event GenericEvent 4 (\d+) (\d+) \d+", timeout=15)
        self.assertGreater(min(int(stats.group(1)), int(stats.group(2))), 0)
        self.expect(phone, "event Disconnected 0", timeout=15)
        crcx_answer = self.answer_to(lab, phone, "CRCX")
        self.assertTrue(crcx_answer.startswith("200 "), crcx_answer)
        allocations = lab.wait_for(
            lambda: [a for a in self.report(lab)["allocations"] if a["freed"]], timeout=5)
        self.assertEqual(len(allocations), 1, self.report(lab))
        allocation = allocations[0]
        # The relay learns the phone's RTP socket from its probe: RTP, probe and
        # NAT query share port 3400, as a NAT's one mapping needs.
        self.assertEqual(allocation["endpoint_leg"], "%s:3400" % phone.address, allocation)
        self.assertGreater(min(allocation["to_far"], allocation["to_endpoint"]), 0, allocation)
        texts = [m["text"] for m in self.report(lab)["messages"]]
        self.assertEqual([t.split()[0] for t in texts],
                         ["PROXY_ALLOC", "PROXY_PROBE", "PROXY_DEALLOC"], texts)
        self.assertIn("PROXY_PROBE %s" % allocation["id"], texts)
        # The far end was told the relay's address, not the phone's.
        self.assertIn("c=IN IP4 %s\r\n" % self.network.lab_address(), crcx_answer)
        self.assertIn("m=audio %d " % allocation["port"], crcx_answer)

    def test_refused_relay_fails_the_connection(self):
        lab, phone = self.start_behind_nat("alloc refuse")
        self.expect(phone, "event Status 8 0", timeout=20)
        self.expect(phone, "event Disconnected 0", timeout=15)
        self.assertEqual(self.answer_to(lab, phone, "CRCX").split()[:1], ["502"])
        self.assertNotIn("event Answered", phone.events())
        self.assertEqual(self.report(lab)["allocations"], [])

    def test_silent_probe_fails_the_modify_and_hangs_up(self):
        lab, phone = self.start_behind_nat("probe silent")
        self.expect(phone, "event Status 8 0", timeout=30)
        self.expect(phone, "event Disconnected 0", timeout=15)
        self.assertEqual(self.answer_to(lab, phone, "MDCX").split()[:1], ["500"])
        texts = [m["text"] for m in lab.messages(phone.address)]
        self.assertTrue(any(re.search(r"\bO: *(L/)?hu\b", t) for t in texts), texts)

    def test_silent_probe_on_an_answered_incoming_call_disconnects(self):
        lab, callee = self.start_behind_nat("probe silent", ["--extension", "2004",
                                                             "--auto-answer=0.5"])
        self.call(lab, self.start_phone(interactive=True), callee, "2004")
        self.expect(callee, "event Ringing.*", timeout=20)
        self.expect(callee, "event Status 8 0", timeout=15)
        self.expect(callee, "event Disconnected 0", timeout=15)
        self.assertNotIn("event Answered", callee.events())

        # The relay was asked for the callee's port, probed 9 times in vain, then freed.
        names = lambda: [m["text"].split()[0] for m in self.report(lab)["messages"]]  # noqa: E731
        lab.wait_for(lambda: "PROXY_DEALLOC" in names(), timeout=10)
        self.assertEqual(names(), ["PROXY_ALLOC"] + ["PROXY_PROBE"] * 9 + ["PROXY_DEALLOC"],
                         "%s\n%s" % (self.report(lab), callee.describe()))
        self.assertEqual(callee.events().count("event Disconnected 0"), 1, callee.events())
