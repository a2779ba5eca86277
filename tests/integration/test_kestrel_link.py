"""The phone control in kestrel-host losing its call agent, end to end: the
audit watchdog notices a silent or stopped lab, the control shows no server
and logs on again 5 s later; quitting restarts gracefully. Each waits for the
watchdog (audit timeout 20 s plus a 30 s margin) by design."""

import time
import unittest

from harness import EndToEndTest
from test_kestrel_host import Host

# Audits on, with the shortest timeout.
AUDITED = {"VXLConfigFlags": "8", "AuditEndpointTimeout": "20"}


class HostLinkTest(EndToEndTest):
    def start_host(self):
        host = Host(self.network.phone_address(), self.network.lab_address(0), sets=AUDITED)
        self.addCleanup(host.stop)
        return host

    def expect_state(self, host, state, timeout=10.0):
        if not host.wait_state(state, timeout):
            self.fail("state %d not shown within %.0f s; states %s\n%s"
                      % (state, timeout, host.states(), host.describe()))

    def registered(self, lab, host):
        self.assertTrue(lab.wait_for(
            lambda: (self.endpoint_state(lab, host) or {}).get("version")), host.describe())

    def expect_link_lost(self, host, quiet_since):
        """The watchdog's link loss: no server shown 50 s after the lab's last word
        (the registration's answer, just before quiet_since)."""
        self.expect_state(host, 0, timeout=75)
        lost = time.monotonic()
        self.assertGreater(lost - quiet_since, 44.0, host.describe())
        self.assertLess(lost - quiet_since, 56.0, host.describe())
        state = host.state()
        self.assertEqual((state.get("callManagerState"), state.get("status")),
                         (1, "No server connection"), host.describe())
        return lost


class SilentLabTest(HostLinkTest):
    block = 96

    def test_a_silent_lab_shows_no_server_and_the_control_logs_on_again_after_5_s(self):
        lab = self.start_lab()
        host = self.start_host()
        self.expect_state(host, 2)
        self.registered(lab, host)
        lab.command("silent on")
        lost = self.expect_link_lost(host, time.monotonic())
        lab.command("silent off")
        self.expect_state(host, 1, timeout=10)
        self.assertGreaterEqual(time.monotonic() - lost, 4.0, host.describe())
        self.expect_state(host, 2)
        self.assertEqual(host.states()[-3:], [0, 1, 2])
        self.assertEqual(host.state().get("status"), "Idle", host.describe())


class RestartedLabTest(HostLinkTest):
    block = 97

    def test_a_restarted_lab_gets_the_control_back_and_quit_restarts_gracefully(self):
        lab = self.start_lab()
        host = self.start_host()
        self.expect_state(host, 2)
        self.registered(lab, host)
        lab.stop()
        self.labs.remove(lab)
        self.expect_link_lost(host, time.monotonic())
        lab = self.start_lab()
        self.expect_state(host, 1, timeout=10)
        self.expect_state(host, 2)
        self.registered(lab, host)

        self.assertEqual(host.command("quit"), "ok null")
        self.assertEqual(host.process.wait(timeout=15), 0, host.describe())
        graceful = lab.wait_for(lambda: [
            m for m in lab.messages(host.address)
            if m["text"].startswith("RSIP") and "RM: graceful" in m["text"]])
        self.assertTrue(graceful, host.describe())


if __name__ == "__main__":
    unittest.main()
