"""Voice end to end over the lab's echo line with every codec, despite junk
datagrams and the lab's impairments (two phones hearing each other: test_echo)."""

import os
import re
import socket
import struct

import audio_check
from harness import SpokenAudioTest

SENTENCE = "The quick brown fox jumps over the lazy dog near the river bank."
# Echo cancellation off (flags bit 0): what returns is exactly what was sent.
FLAGS = "0x28"
# Speech still carried through damage: its envelope is found in what was
# played (a busy machine costs a little; no speech at all gives about 0).
CARRIED = 0.75
# 20 ms packets; a threshold of three packets, so that the phone holds two:
# a duplicate meets its original still held, a swap is put right.
IMPAIRED_ARGS = ["--codec", "g711u", "--pack", "4", "--jitter-threshold", "60",
                 "--jitter-size", "200"]

# One call per group. Per counter: which of the lab's figures it follows.
IMPAIRED_CALLS = [
    ("drop=25 dup=40 loss=3 seed=5",
     {"Missed RX RTP Packets": ("gaps", 1), "Duplicate RTP Packets Received": ("duplicated", 1),
      "Late RTP Packets Received": (None, 0)}),
    # A packet held back past two newer ones is late; it is played out of
    # turn, which breaks the run of sequence numbers three times.
    ("late=30:5 swap=20",
     {"Late RTP Packets Received": ("held", 1), "Missed RX RTP Packets": ("held", 3),
      "Duplicate RTP Packets Received": (None, 0)}),
    # Never more than 30 ms apart: no packet passes two newer ones.
    ("delay=80 jitter=30 seed=3",
     {"Late RTP Packets Received": (None, 0), "Missed RX RTP Packets": (None, 0),
      "Duplicate RTP Packets Received": (None, 0)}),
]


def header(first, sequence=9, payload=b""):
    return struct.pack("!BBHII", first, 0, sequence, 0, 0x55AA) + payload


# Each is invalid for a G.711 20 ms call (160-byte payload).
MALFORMED = [
    b"\x40" + header(0x80, payload=bytes(160))[1:],       # version 1
    header(0x80)[:7],                                      # short header
    header(0x8F, payload=bytes(20)),                       # huge CSRC count
    header(0xA0, payload=bytes(160)) + b"\x00",            # padding of 0
    header(0xA0, payload=bytes(4)) + b"\xc8",              # padding past the end
]


def statistics(phone):
    phone.send("stats")
    phone.wait_for(r"ok stats.*", 5)
    counter = re.compile(r"stats (.+?)\s*= (\d+)(?:/(\d+))?")
    return {m.group(1): int(m.group(2)) for m in map(counter.fullmatch, phone.texts()) if m}


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

    def call_600(self, lab, args, seconds, during=None):
        """One echo call of seconds (during(phone) runs 1 s in); the phone's
        counters, the lab's record of its RTP, the speaker file and the phone."""
        speaker = os.path.join(self.folder, "%d.wav" % len(self.phones))
        audio = "--audio=virtual:mic=%s,speaker=%s" % (self.microphone, speaker)
        phone = self.start_phone(args + ["--flags", FLAGS, audio], interactive=True)
        self.expect(phone, "event ConnectedToCallAgent")
        phone.send("call 600")
        self.expect(phone, "event Answered")
        phone.wait_for("never", timeout=1.0)
        if during:
            during(phone)
        phone.wait_for("never", timeout=seconds - 1.0)
        phone.send("hangup")
        self.expect(phone, "event Disconnected 0")
        counters = statistics(phone)
        record = lab.command("rtp %s" % phone.address)
        phone.send("quit")
        self.assertEqual(phone.wait_exit(), 0, phone.describe())
        self.assertTrue(record["ok"], record)
        return counters, record["rtp"], speaker, phone

    def test_the_echo_line_returns_the_speech_with_each_codec_despite_junk(self):
        lab = self.start_lab()
        junk = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.addCleanup(junk.close)
        junk.bind((self.network.phone_address(), 0))

        def send_junk(phone):
            for data in MALFORMED * 3:
                junk.sendto(data, (phone.address, 3400))

        for codec, pack in (("g711u", 2), ("g711u", 4), ("g711a", 4), ("g729", 2), ("g723", 1)):
            with self.subTest(codec=codec, pack=pack):
                junked = (codec, pack) == ("g711u", 4)
                counters, record, speaker, phone = self.call_600(
                    lab, ["--codec", codec, "--pack", str(pack)], 6.5, junked and send_junk)
                played = audio_check.read_wav(speaker)
                correlation, lag = audio_check.best_lag_correlation(self.speech, played)
                self.assertGreater(correlation, 0.85, phone.describe())
                start = lag * audio_check.FRAME + self.tone_start + audio_check.RATE // 10
                tone = played[start:start + audio_check.RATE * 8 // 10]
                self.assertGreater(audio_check.tone_share(tone, 1000), 0.5, "1 kHz after speech")
                invalid = counters["Invalid RTP Packets Received"]
                self.assertEqual(invalid, 3 * len(MALFORMED) if junked else 0, counters)
                if junked:
                    self.assertLessEqual(counters["Missed RX RTP Packets"], 1)
                    # The speech after the junk came back and was played.
                    self.assertGreater(record["returned"]["packets"], len(self.speech) // 160)

    def test_the_phone_counts_what_the_lab_did_and_still_plays_the_speech(self):
        lab = self.start_lab()
        for rules, expected in IMPAIRED_CALLS:
            with self.subTest(rules=rules):
                self.assertTrue(lab.command("rtp-impair " + rules)["ok"])
                counters, record, speaker, phone = self.call_600(
                    lab, IMPAIRED_ARGS, len(self.speech) / audio_check.RATE + 2.5)
                figures = dict(record["impaired"], gaps=record["returned"]["gaps"])
                for counter, (figure, per) in expected.items():
                    want = per * figures[figure] if figure else 0
                    self.assertLessEqual(abs(counters[counter] - want), max(1, per - 1),
                                         "%s: %s, lab %s" % (counter, counters, figures))
                self.assertTrue(any(figures[f] for f, _ in expected.values() if f) or
                                record["impaired"]["jittered"], figures)
                self.assertEqual(counters["Invalid RTP Packets Received"], 0)
                correlation, _ = audio_check.best_lag_correlation(self.speech,
                                                                  audio_check.read_wav(speaker))
                self.assertGreater(correlation, CARRIED, phone.describe())