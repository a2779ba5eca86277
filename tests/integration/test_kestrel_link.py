"""kestrel-host losing its call agent: each loss waits for the audit watchdog
(20 s timeout plus a 30 s margin) by design."""

import time

from harness import EndToEndTest


class HostLinkTest(EndToEndTest):
    block = 96

    def expect_link_lost(self, host):
        """No server shown 50 s after the lab's last word (the registration's answer)."""
        quiet_since = time.monotonic()
        self.expect_state(host, 0, timeout=75)
        lost = time.monotonic()
        self.assertTrue(44.0 < lost - quiet_since < 56.0, host.describe())
        state = host.state()
        self.assertEqual((state.get("callManagerState"), state.get("status")),
                         (1, "No server connection"), host.describe())
        return lost

    def test_a_silent_then_a_restarted_lab_and_quit_restarting_gracefully(self):
        lab = self.start_lab()
        # Audits on, with the shortest timeout.
        host = self.start_host(sets={"VXLConfigFlags": "8", "AuditEndpointTimeout": "20"})
        self.expect_state(host, 2)
        self.registered(lab, host)
        lab.command("silent on")
        lost = self.expect_link_lost(host)
        lab.command("silent off")
        self.expect_state(host, 1, timeout=10)
        self.assertGreaterEqual(time.monotonic() - lost, 4.0, host.describe())
        self.expect_state(host, 2)
        self.assertEqual(host.states()[-3:], [0, 1, 2])
        self.assertEqual(host.state().get("status"), "Idle", host.describe())
        self.registered(lab, host)

        lab.stop()
        self.labs.remove(lab)
        self.expect_link_lost(host)
        lab = self.start_lab()
        self.expect_state(host, 1, timeout=10)
        self.expect_state(host, 2)
        self.registered(lab, host)
        self.assertEqual(host.command("quit"), "ok null")
        self.assertEqual(host.process.wait(timeout=15), 0, host.describe())
        self.assert_logged_off(lab, host)
