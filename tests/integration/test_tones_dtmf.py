"""Digits and beeps heard on the virtual speaker, decoded by multimon-ng (the
call-progress tones are checked by tests/audio and tests/core)."""

import os
import re
import shutil
import subprocess
import unittest

import audio_check
from harness import EndToEndTest

# Echo cancellation off: no ping in the speaker's sound.
FLAGS = "0x28"
FRAME = 80  # 10 ms


def beep_lengths(samples):
    """Lengths in ms of the runs of 10 ms frames mostly at 800 Hz (a digit's high
    tone keeps its share there low)."""
    on = ["1" if audio_check.tone_share(samples[i:i + FRAME], 800) >= 0.7 else "0"
          for i in range(0, len(samples) - FRAME + 1, FRAME)]
    return [10 * len(run) for run in "".join(on).split("0") if run]


def dtmf_digits(wav):
    """What multimon-ng hears in a speaker file, in order."""
    sox = subprocess.run(["sox", wav, "-t", "raw", "-r", "22050", "-e", "signed", "-b", "16",
                          "-c", "1", "-"], check=True, capture_output=True, timeout=30)
    heard = subprocess.run(["multimon-ng", "-q", "-a", "DTMF", "-t", "raw", "-"],
                           input=sox.stdout, check=True, capture_output=True, timeout=30)
    return "".join(line.split(":", 1)[1].strip() for line in heard.stdout.decode().splitlines()
                   if line.startswith("DTMF:"))


@unittest.skipUnless(shutil.which("multimon-ng") and shutil.which("sox"),
                     "multimon-ng or sox is not installed")
class TonesAndDigitsTest(EndToEndTest):
    block = 75

    def audio(self, name):
        path = os.path.join(self.folder, name)
        return path, "--audio=virtual:mic=silence,speaker=%s" % path

    def test_digits_in_a_call_are_heard_locally_and_reported_once(self):
        lab = self.start_lab()
        wav, audio = self.audio("in-call.wav")
        phone = self.start_phone([audio, "--flags", FLAGS, "--dial", "600", "--digits",
                                  "0123456789ABCD*#@"], interactive=True)
        self.expect(phone, "event Answered")
        phone.wait_for("never", timeout=2.5)
        for command in ("digits 1122", "beep"):
            phone.send(command)
            phone.wait_for("never", timeout=1.0)
        self.hang_up(phone, phone)
        self.assertEqual(dtmf_digits(wav), "0123456789ABCD*#1122")
        texts = [m["text"] for m in lab.messages(phone.address)]
        # After the dialled number: one NTFY per string, the beep alone sends none.
        ntfy = [t for t in texts if t.startswith("NTFY") and "D/" in t][1:]
        self.assertEqual([re.search(r"O: (D/\S*)\r", t).group(1) for t in ntfy],
                         ["D/0123456789ABCD*#", "D/1122"], ntfy)
        # The beeps: 100 ms of 800 Hz after "#", and after "beep".
        runs = beep_lengths(audio_check.read_wav(wav))
        self.assertTrue(len(runs) == 2 and all(abs(length - 100) <= 10 for length in runs), runs)

    def test_digits_on_hook_leave_the_last_one_heard(self):
        self.start_lab()
        wav, audio = self.audio("on-hook.wav")
        phone = self.start_phone([audio], interactive=True)
        self.expect(phone, "event ConnectedToCallAgent")
        for digits in ("5", "19"):
            phone.send("digits " + digits)
            phone.wait_for("never", timeout=0.5)
        phone.send("quit")
        self.assertEqual(phone.wait_exit(), 0, phone.describe())
        self.assertEqual(dtmf_digits(wav), "59")
