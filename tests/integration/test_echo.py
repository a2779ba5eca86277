"""Echo end to end: the delay ping over a card whose speaker leaks into its
microphone, and a callee suppressing the caller's echo but not its own speech."""

import math
import os
import re

import audio_check
from harness import EndToEndTest, SpokenAudioTest

# Echo cancellation alone (flags bit 0); bit 4 keeps sending during the ping.
MUTE_FLAGS = "1"
NOTCH_FLAGS = "0x11"
CALLER_SENTENCE = "The quick brown fox jumps over the lazy dog."
CALLEE_SENTENCE = "Seven silver spoons lay on the wooden table."
# Bit 0 turns suppression on; audit and the scrambled account stay as usual.
SUPPRESS = "0x29"
PLAIN = "0x28"
# Double talk: the callee 6 dB louder than the caller, whose echo comes back 12 dB down.
# A suppressor gates the callee wherever the caller is louder, echo or not.
NEAR_OVER_FAR_DB = 6
# The echo delay ping runs first and mutes the callee while it lasts.
LEAD_S = 2.5


def level_db(samples):
    energy = sum(s * s for s in samples) / max(len(samples), 1)
    return 10 * math.log10(energy + 1e-9)


def speech_rms(samples):
    """RMS over the frames that carry speech, so pauses do not set the level."""
    frames = [f for f in audio_check.envelope(samples) if f > 100]
    return math.sqrt(sum(f * f for f in frames) / len(frames))


class EchoTwoPhonesTest(SpokenAudioTest):
    block = 78

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        lead = audio_check.silence(LEAD_S)
        caller = audio_check.spoken(CALLER_SENTENCE)
        callee = audio_check.spoken(CALLEE_SENTENCE)
        ratio = 10 ** (NEAR_OVER_FAR_DB / 20)
        far_rms = speech_rms(caller) * min(1.0, 1 / ratio)
        cls.caller_speech = [int(s * far_rms / speech_rms(caller)) for s in caller]
        cls.callee_speech = [int(s * far_rms * ratio / speech_rms(callee)) for s in callee]
        cls.caller_mic = cls.wav("caller-mic", lead + cls.caller_speech)
        cls.callee_mic = cls.wav("callee-mic", lead + cls.callee_speech)
        cls.talk_s = LEAD_S + max(len(caller), len(callee)) / audio_check.RATE + 1.5

    def heard_by_caller(self, name, callee_flags, callee_mic="silence", echo_db=None):
        """One call; returns what the caller's speaker played."""
        lab = self.start_lab()
        speaker = os.path.join(self.folder, name + ".wav")
        echo = ",echo=130:%d" % echo_db if echo_db is not None else ""
        callee = self.start_phone(["--extension", "2002", "--auto-answer", "--flags", callee_flags,
                                   "--audio=virtual:mic=%s,speaker=discard%s" % (callee_mic, echo)],
                                  interactive=True)
        # The caller has no echo path: its own suppressor stays out of the measurement.
        caller = self.start_phone(["--flags", PLAIN, "--audio=virtual:mic=%s,speaker=%s" %
                                   (self.caller_mic, speaker)], interactive=True)
        self.call(lab, caller, callee, "2002")
        self.expect(caller, "event Answered")
        caller.wait_for("never", timeout=self.talk_s)
        self.hang_up(caller, caller, callee)
        self._stop_all()
        self.phones, self.labs = [], []
        return audio_check.read_wav(speaker)

    def quieter_db(self, speech, plain, suppressed):
        """How much quieter speech is with the suppressor, where the plain call carries it
        (a little either side: the runs' timing differs by a few packets)."""
        correlation, lag = audio_check.best_lag_correlation(speech, plain, 300)
        self.assertGreater(correlation, 0.8, "the plain call carries the speech to the caller")
        start = max(lag * audio_check.FRAME - 2400, 0)
        return (level_db(plain[start:start + len(speech) + 4800]) -
                level_db(suppressed[start:start + len(speech) + 4800]))

    def test_the_callee_suppresses_the_callers_echo_but_not_its_own_speech(self):
        plain = self.heard_by_caller("echo-plain", PLAIN, echo_db=6)
        suppressed = self.heard_by_caller("echo-suppressed", SUPPRESS, echo_db=6)
        self.assertGreaterEqual(self.quieter_db(self.caller_speech, plain, suppressed), 20)
        # Double talk: the callee's own speech still gets through.
        alone = self.heard_by_caller("near-alone", PLAIN, self.callee_mic)
        both = self.heard_by_caller("double-talk", SUPPRESS, self.callee_mic, echo_db=12)
        self.assertLessEqual(self.quieter_db(self.callee_speech, alone, both), 8)


class EchoDelayTest(EndToEndTest):
    block = 78

    def ping_call(self, path_ms, flags=MUTE_FLAGS, extra=()):
        audio = "--audio=virtual:mic=silence,speaker=discard,echo=%d:6" % path_ms
        return self.echo_call([audio, "--flags", flags] + list(extra), 3)

    def reported_delays(self, phone):
        return [int(m.group(1)) for m in
                (re.fullmatch(r"event GenericEvent 2 (-?\d+) 0", e) for e in phone.events()) if m]

    def test_the_ping_measures_each_path_once_and_a_fixed_delay_sends_none(self):
        self.start_lab()
        readings = {}
        for path_ms, flags in ((130, MUTE_FLAGS), (250, MUTE_FLAGS), (130, NOTCH_FLAGS)):
            with self.subTest(path_ms=path_ms, flags=flags):
                phone = self.ping_call(path_ms, flags)
                delays = self.reported_delays(phone)
                self.assertEqual(len(delays), 1, phone.describe())
                # The reading is the path less 20 ms plus the card's own pipeline.
                self.assertTrue(path_ms - 20 <= delays[0] <= path_ms + 80, phone.describe())
                self.assertIn("]Echo canceller using delay of %d ms\n" % delays[0],
                              phone.log())
                readings[(path_ms, flags)] = delays[0]
        apart = readings[(250, MUTE_FLAGS)] - readings[(130, MUTE_FLAGS)]
        self.assertLessEqual(abs(apart - 120), 30, readings)
        phone = self.ping_call(130, extra=["--echo-delay", "200"])
        self.assertIn("]Using 200 ms echo canceller latency.\n", phone.log())
        self.assertNotIn("Initiating echo canceller", phone.log())
        self.assertEqual(self.reported_delays(phone), [])
