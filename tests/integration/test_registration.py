"""Registration, endpoint information, refusals and logoff, end to end."""

import signal
import unittest

from harness import EndToEndTest


class RegistrationTest(EndToEndTest):
    block = 51

    def test_dynamic_information_reaches_the_call_agent(self):
        lab = self.start_lab()
        cases = [("0x29", True), ("0x09", False)]  # scrambled account, then in clear
        for flags, scrambled in cases:
            with self.subTest(flags=flags):
                phone = self.start_phone(["--flags", flags, "--account", "100200300",
                                          "--pin", "4321", "--extension", "2001"])
                self.expect(phone, "event ConnectedToCallAgent")
                state = lab.wait_for(lambda: (lambda s: s if s and s["version"] else None)(
                    self.endpoint_state(lab, phone)))
                self.assertIsNotNone(state, phone.describe())
                self.assertEqual((state["account"], state["pin"]), ("100200300", "4321"))
                self.assertEqual(state["account_scrambled"], scrambled)
                self.assertEqual(state["extension"], "2001")
                self.assertEqual(state["version"], "2.5.0.0")
                self.assertTrue(state["registered"])
                phone.stop()

    def test_refused_registration_ends_the_session(self):
        self.start_lab(extra=["--rsip-code", "403"])
        phone = self.start_phone()
        self.expect(phone, "event CallAgentRejectedConnection")
        self.expect(phone, "event Disconnected 3")
        self.assertEqual(phone.wait_exit(), 3)
        self.assertNotIn("event ConnectedToCallAgent", phone.events())

    def test_logoff_by_option_and_by_signal(self):
        lab = self.start_lab()
        for how in ("option", "signal"):
            with self.subTest(how=how):
                phone = self.start_phone(["--logoff-after", "0.5"] if how == "option" else [])
                self.expect(phone, "event ConnectedToCallAgent")
                if how == "signal":
                    lab.wait_for(lambda: (self.endpoint_state(lab, phone) or {}).get("version"))
                    phone.process.send_signal(signal.SIGTERM)
                self.assertEqual(phone.wait_exit(), 0, phone.describe())
                graceful = lab.wait_for(lambda: [
                    m for m in lab.messages(phone.address)
                    if m["text"].startswith("RSIP") and "RM: graceful" in m["text"]])
                self.assertTrue(graceful, phone.describe())
                self.assertFalse(self.endpoint_state(lab, phone)["registered"])

    def test_refused_extension_reports_status_3_and_logs_off(self):
        lab = self.start_lab(extra=["--refuse-extension", "2999"])
        phone = self.start_phone(["--extension", "2999"])
        self.expect(phone, "event ConnectedToCallAgent")
        self.expect(phone, "event Status 3 0")
        self.expect(phone, "event Disconnected 3")
        self.assertFalse(self.endpoint_state(lab, phone)["registered"])

    def test_directory_status_and_audit_from_the_call_agent(self):
        lab = self.start_lab()
        phone = self.start_phone()
        self.expect(phone, "event ConnectedToCallAgent")
        lab.wait_for(lambda: (self.endpoint_state(lab, phone) or {}).get("version"))
        for text, status in (("1", 1), ("2 low balance", 5), ("0", 2)):
            with self.subTest(text=text):
                self.assertTrue(lab.command("ldap %s %s" % (phone.address, text))["ok"])
                self.expect(phone, "event Status %d 0" % status)
        self.assertTrue(lab.command("auep %s" % phone.address)["ok"])
        state = lab.wait_for(lambda: (lambda s: s if s["audit"].get("code") != "pending" else None)(
            self.endpoint_state(lab, phone)))
        self.assertEqual(state["audit"]["code"], 200)
        self.assertEqual(state["audit"]["params"]["I"], "0")
        self.assertEqual(state["audit"]["params"]["Z"], state["name"])


if __name__ == "__main__":
    unittest.main()
