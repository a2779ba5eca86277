"""Voice end to end: speech into the virtual microphone comes back from the
lab's echo line on the virtual speaker with every codec, and two phones hear
each other."""

import os
import unittest

import audio_check
from harness import SpokenAudioTest

SENTENCE = "The quick brown fox jumps over the lazy dog near the river bank."
# Echo cancellation off (flags bit 0): what returns is exactly what was sent.
FLAGS = "0x28"


class RtpAudioTest(SpokenAudioTest):
    block = 57

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.speech = audio_check.spoken(SENTENCE)
        # Speech, a pause, then one second of 1 kHz.
        cls.tone_start = len(cls.speech) + audio_check.RATE // 2
        cls.microphone = cls.wav("in", cls.speech + audio_check.silence(0.5) +
                                 audio_check.tone(1000, 1.0))

    def audio_option(self, speaker, mic=None):
        return "--audio=virtual:mic=%s,speaker=%s" % (mic or self.microphone, speaker)

    def assert_speech_then_tone(self, speaker_file, phone):
        played = audio_check.read_wav(speaker_file)
        correlation, lag = audio_check.best_lag_correlation(self.speech, played)
        self.assertGreater(correlation, 0.85, phone.describe())
        start = lag * audio_check.FRAME + self.tone_start + audio_check.RATE // 10
        tone = played[start:start + audio_check.RATE * 8 // 10]
        self.assertGreater(audio_check.tone_share(tone, 1000), 0.5, "1 kHz after the speech")

    def test_the_echo_line_returns_the_speech_with_each_codec(self):
        self.start_lab()
        for codec, pack in (("g711u", 2), ("g711u", 4), ("g711a", 4), ("g729", 2), ("g723", 1)):
            with self.subTest(codec=codec, pack=pack):
                speaker = os.path.join(self.folder, "%s-%d.wav" % (codec, pack))
                phone = self.start_phone([self.audio_option(speaker), "--codec", codec,
                                          "--pack", str(pack), "--flags", FLAGS, "--dial", "600",
                                          "--hangup-after", "6.5", "--exit-on-disconnect"])
                self.expect(phone, "event Answered")
                self.expect(phone, "event Disconnected 0", timeout=15)
                self.assertEqual(phone.wait_exit(), 0, phone.describe())
                self.assert_speech_then_tone(speaker, phone)

    def test_two_phones_hear_each_other(self):
        lab = self.start_lab()
        heard_by_callee = os.path.join(self.folder, "callee.wav")
        heard_by_caller = os.path.join(self.folder, "caller.wav")
        callee = self.start_phone(["--extension", "2002", "--auto-answer", "--flags", FLAGS,
                                   self.audio_option(heard_by_callee, "tone:700")],
                                  interactive=True)
        caller = self.start_phone(["--flags", FLAGS, self.audio_option(heard_by_caller)],
                                  interactive=True)
        for phone in (callee, caller):
            self.expect(phone, "event ConnectedToCallAgent")
        lab.wait_for(lambda: (self.endpoint_state(lab, callee) or {}).get("extension"))
        caller.send("call 2002")
        self.expect(caller, "event Answered")
        self.expect(callee, "event Answered", from_start=True)
        caller.wait_for("never", timeout=len(self.speech) / audio_check.RATE + 2.5)
        caller.send("hangup")
        for phone in (caller, callee):
            self.expect(phone, "event Disconnected 0")
            phone.send("quit")
            self.assertEqual(phone.wait_exit(), 0, phone.describe())
        self.assert_speech_then_tone(heard_by_callee, callee)
        played = audio_check.read_wav(heard_by_caller)
        self.assertGreater(audio_check.tone_share(played[-audio_check.RATE * 2:], 700), 0.5)


if __name__ == "__main__":
    unittest.main()
