"""Echo suppression between two phones through the lab: the callee's virtual
card leaks its speaker into its microphone, so the caller hears its own speech
come back unless the callee suppresses it; in double talk the callee's own
speech must still get through."""

import math
import os
import unittest

import audio_check
from harness import SpokenAudioTest

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
        for phone in (callee, caller):
            self.expect(phone, "event ConnectedToCallAgent")
        lab.wait_for(lambda: (self.endpoint_state(lab, callee) or {}).get("extension"))
        caller.send("call 2002")
        self.expect(caller, "event Answered")
        caller.wait_for("never", timeout=self.talk_s)
        caller.send("hangup")
        for phone in (caller, callee):
            self.expect(phone, "event Disconnected 0")
            phone.send("quit")
            self.assertEqual(phone.wait_exit(), 0, phone.describe())
        self._stop_all()
        self.phones, self.labs = [], []
        return audio_check.read_wav(speaker)

    def window(self, played, reference, lag):
        # A little either side: the runs' timing differs by a few packets.
        start = max(lag * audio_check.FRAME - 2400, 0)
        return played[start:start + len(reference) + 4800]

    def test_the_callee_suppresses_the_callers_echo(self):
        plain = self.heard_by_caller("echo-plain", PLAIN, echo_db=6)
        suppressed = self.heard_by_caller("echo-suppressed", SUPPRESS, echo_db=6)
        correlation, lag = audio_check.best_lag_correlation(self.caller_speech, plain, 300)
        self.assertGreater(correlation, 0.8, "the echo path returns the caller's speech")
        reduction = (level_db(self.window(plain, self.caller_speech, lag)) -
                     level_db(self.window(suppressed, self.caller_speech, lag)))
        print("echo reduction %.1f dB" % reduction)
        self.assertGreaterEqual(reduction, 20)

    def test_double_talk_keeps_the_callees_speech(self):
        alone = self.heard_by_caller("near-alone", PLAIN, self.callee_mic)
        both = self.heard_by_caller("double-talk", SUPPRESS, self.callee_mic, echo_db=12)
        correlation, lag = audio_check.best_lag_correlation(self.callee_speech, alone, 300)
        self.assertGreater(correlation, 0.8, "the callee's speech reaches the caller")
        lost = (level_db(self.window(alone, self.callee_speech, lag)) -
                level_db(self.window(both, self.callee_speech, lag)))
        print("double talk loss %.1f dB" % lost)
        self.assertLessEqual(lost, 8)


if __name__ == "__main__":
    unittest.main()
