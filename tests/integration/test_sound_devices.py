"""The phone's sound devices through voxline-call and the virtual card (their
listing: test_cli)."""

import os
import time

import audio_check
from harness import EndToEndTest


class SoundDeviceTest(EndToEndTest):
    block = 61

    def test_the_speaker_plays_only_while_a_call_holds_the_devices(self):
        speaker = os.path.join(self.folder, "speaker.wav")
        self.start_lab()
        phone = self.start_phone(["--audio", "virtual:mic=tone:440,speaker=" + speaker],
                                 interactive=True)
        self.expect(phone, "event ConnectedToCallAgent")
        time.sleep(1.0)
        idle = os.path.getsize(speaker) if os.path.exists(speaker) else 0
        phone.send("call 600")
        self.expect(phone, "event Answered")
        time.sleep(2.0)
        phone.send("hangup")
        self.expect(phone, "event Disconnected 0")
        after_call = os.path.getsize(speaker)
        time.sleep(1.0)
        # 16,000 bytes a second while open; at least 1.5 s of the 2 s call.
        self.assertGreaterEqual(after_call - idle, 24000, phone.describe())
        self.assertEqual(os.path.getsize(speaker), after_call)

    def test_a_busy_speaker_is_reported_on_an_incoming_call_and_again_on_answer(self):
        lab = self.start_lab()
        callee = self.start_phone(["--extension", "2010", "--auto-answer=0.2",
                                   "--audio", "virtual:fail=busy:out"])
        self.call(lab, self.start_phone(interactive=True), callee, "2010")
        self.expect(callee, "event Ringing")
        busy = "event Status 6 %d" % (0x80040206 - (1 << 32))
        self.expect(callee, busy)
        # The answer retries the output for about 0.9 s, then reports it again.
        self.expect(callee, busy)
        self.assertEqual(callee.events().count(busy), 2, callee.describe())

    def test_device_failures_refuse_configuration_or_the_level_capture(self):
        cases = [
            ("virtual:fail=open", "error ConfigureCallParameters 0x80040202"),
            ("virtual:fail=duplex", "error ConfigureCallParameters 0x80040204"),
            ("virtual:fail=busy", "error mic-start 0x80040205"),
            ("virtual:fail=format", "error mic-start 0x80040209"),
        ]
        self.start_lab()
        for audio, expected in cases:
            with self.subTest(audio=audio):
                phone = self.start_phone(["--audio", audio, "--mic-level=1"])
                self.expect(phone, expected)
                self.assertEqual(phone.wait_exit(), 1, phone.describe())

    def test_microphone_level_follows_the_recording_without_a_call(self):
        # 330 ms of a square wave per amplitude, whose mean level is exact.
        recording = os.path.join(self.folder, "levels.wav")
        audio_check.write_wav(recording, [a if i % 2 else -a for a in (2000, 10000, 32767)
                                          for i in range(80 * 33)])
        self.start_lab()
        phone = self.start_phone(["--audio", "virtual:mic=" + recording, "--mic-level"],
                                 interactive=True)
        self.expect(phone, "ok mic-start 0x00000000")
        self.expect(phone, "event GenericEvent 1 0 0")
        phone.send("mic start")
        self.expect(phone, "ok mic-start 0x00000001")
        phone.send("mic stop")
        self.expect(phone, "ok mic-stop 0x00000000")
        levels = [e.split()[3] for e in phone.events() if e.startswith("event GenericEvent 1 ")]
        self.assertEqual(levels, ["20", "55", "100", "0"], phone.describe())
        phone.send("quit")
        self.assertEqual(phone.wait_exit(), 0, phone.describe())
        self.assertNotIn("event ConnectedToCallAgent", phone.events())
