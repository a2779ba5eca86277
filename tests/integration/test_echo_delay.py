"""The echo delay end to end: a call to the lab's echo line over a virtual
card whose speaker comes back into its microphone measures the path with the
ping and reports it once; a fixed delay sends no ping."""

import re

from harness import EndToEndTest

# Echo cancellation alone (flags bit 0); bit 4 keeps sending during the ping.
MUTE_FLAGS = "1"
NOTCH_FLAGS = "0x11"


class EchoDelayTest(EndToEndTest):
    block = 77

    def call(self, path_ms, flags=MUTE_FLAGS, extra=()):
        audio = "--audio=virtual:mic=silence,speaker=discard,echo=%d:6" % path_ms
        phone = self.start_phone([audio, "--flags", flags, "--dial", "600",
                                  "--hangup-after", "3", "--exit-on-disconnect"] + list(extra))
        self.expect(phone, "event Answered")
        self.expect(phone, "event Disconnected 0", timeout=15)
        self.assertEqual(phone.wait_exit(), 0, phone.describe())
        return phone

    def reported_delays(self, phone):
        return [int(m.group(1)) for m in
                (re.fullmatch(r"event GenericEvent 2 (-?\d+) 0", e) for e in phone.events()) if m]

    def test_the_ping_measures_each_path_once(self):
        self.start_lab()
        readings = {}
        for path_ms, flags in ((130, MUTE_FLAGS), (250, MUTE_FLAGS), (130, NOTCH_FLAGS)):
            with self.subTest(path_ms=path_ms, flags=flags):
                phone = self.call(path_ms, flags)
                delays = self.reported_delays(phone)
                self.assertEqual(len(delays), 1, phone.describe())
                # The reading is the path less 20 ms plus the card's own pipeline.
                self.assertGreaterEqual(delays[0], path_ms - 20, phone.describe())
                self.assertLessEqual(delays[0], path_ms + 80, phone.describe())
                self.assertIn("]Echo canceller using delay of %d ms\n" % delays[0],
                              phone.log())
                readings[(path_ms, flags)] = delays[0]
        apart = readings[(250, MUTE_FLAGS)] - readings[(130, MUTE_FLAGS)]
        self.assertLessEqual(abs(apart - 120), 30, readings)

    def test_a_fixed_delay_sends_no_ping(self):
        self.start_lab()
        phone = self.call(130, extra=["--echo-delay", "200"])
        log = phone.log()
        self.assertIn("]Using 200 ms echo canceller latency.\n", log)
        self.assertNotIn("Initiating echo canceller", log)
        self.assertEqual(self.reported_delays(phone), [])
