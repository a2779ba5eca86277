"""Registration, endpoint information, refusals and logoff, end to end."""

import signal

from harness import EndToEndTest


class RegistrationTest(EndToEndTest):
    block = 51

    def test_dynamic_information_reaches_the_call_agent(self):
        lab = self.start_lab()
        for flags, scrambled in (("0x29", True), ("0x09", False)):  # scrambled, then in clear
            with self.subTest(flags=flags):
                phone = self.start_phone(["--flags", flags, "--account", "100200300",
                                          "--pin", "4321", "--extension", "2001"])
                self.registered(lab, phone)
                state = self.endpoint_state(lab, phone)
                self.assertEqual([state[k] for k in ("account", "pin", "account_scrambled",
                                                     "extension", "version", "registered")],
                                 ["100200300", "4321", scrambled, "2001", "2.5.0.0", True])
                phone.stop()

    def test_logoff_by_option_and_by_signal(self):
        lab = self.start_lab()
        for how in ("option", "signal"):
            with self.subTest(how=how):
                phone = self.start_phone(["--logoff-after", "0.5"] if how == "option" else [])
                self.expect(phone, "event ConnectedToCallAgent")
                if how == "signal":
                    self.registered(lab, phone)
                    phone.process.send_signal(signal.SIGTERM)
                self.assertEqual(phone.wait_exit(), 0, phone.describe())
                self.assert_logged_off(lab, phone)
                self.assertFalse(self.endpoint_state(lab, phone)["registered"])

    def test_refused_registration_and_refused_extension_end_the_session(self):
        self.start_lab(extra=["--rsip-code", "403"])
        phone = self.start_phone()
        self.expect(phone, "event CallAgentRejectedConnection")
        self.expect(phone, "event Disconnected 3")
        self.assertEqual(phone.wait_exit(), 3)
        self.assertNotIn("event ConnectedToCallAgent", phone.events())
        lab = self.start_lab(1, extra=["--refuse-extension", "2999"])
        phone = self.start_phone(["--extension", "2999"], call_agents=lab.mgcp[0])
        self.expect(phone, "event ConnectedToCallAgent")
        self.expect(phone, "event Status 3 0")
        self.expect(phone, "event Disconnected 3")
        self.assertFalse(self.endpoint_state(lab, phone)["registered"])

    def test_directory_status_from_the_call_agent(self):
        lab = self.start_lab()
        phone = self.start_phone()
        self.registered(lab, phone)
        for text, status in (("1", 1), ("2 low balance", 5), ("0", 2)):
            with self.subTest(text=text):
                self.assertTrue(lab.command("ldap %s %s" % (phone.address, text))["ok"])
                self.expect(phone, "event Status %d 0" % status)
