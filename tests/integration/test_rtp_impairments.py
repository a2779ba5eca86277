"""A damaged way back from the echo line: the phone's counters follow what the
lab did to its packets, malformed datagrams are counted and ignored, and the
speech still comes through."""

import os
import re
import socket
import struct
import unittest

import audio_check
from harness import SpokenAudioTest

SENTENCE = "The quick brown fox jumps over the lazy dog near the river bank."
# Speech still carried: its envelope is found in what was played. (Damage
# and a busy machine cost a little; no speech at all gives about 0.)
CARRIED = 0.75
# 20 ms packets; a threshold of three packets, so that the phone holds two:
# a duplicate meets its original still held, a swap is put right.
PHONE_ARGS = ["--codec", "g711u", "--pack", "4", "--jitter-threshold", "60",
              "--jitter-size", "200", "--flags", "0x28"]

# One call per group. Per counter: which of the lab's figures it follows.
CALLS = [
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
    ("bad version", b"\x40" + header(0x80, payload=bytes(160))[1:]),
    ("short header", header(0x80)[:7]),
    ("huge CSRC count", header(0x8F, payload=bytes(20))),
    ("padding of 0", header(0xA0, payload=bytes(160)) + b"\x00"),
    ("padding past the end", header(0xA0, payload=bytes(4)) + b"\xc8"),
]


def statistics(phone):
    phone.send("stats")
    if phone.wait_for(r"ok stats.*", 5) is None:
        return {}
    found = {}
    for _, text in phone.lines:
        match = re.fullmatch(r"stats (.+?)\s*= (\d+)(?:/(\d+))?", text)
        if match:
            found[match.group(1)] = int(match.group(2))
    return found


class RtpImpairmentTest(SpokenAudioTest):
    block = 79

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.speech = audio_check.spoken(SENTENCE)
        cls.microphone = cls.wav("in", audio_check.silence(0.5) + cls.speech)

    def call_600(self, lab, rules, during=None):
        """One echo call under rules; returns the phone's counters, the lab's
        record and what the speaker played."""
        self.assertTrue(lab.command("rtp-impair " + rules)["ok"])
        speaker = os.path.join(self.folder, "%d.wav" % len(self.phones))
        phone = self.start_phone(PHONE_ARGS + ["--audio=virtual:mic=%s,speaker=%s" % (
            self.microphone, speaker)], interactive=True)
        self.expect(phone, "event ConnectedToCallAgent")
        phone.send("call 600")
        self.expect(phone, "event Answered")
        if during:
            phone.wait_for("never", timeout=1.0)
            during(phone)
        phone.wait_for("never", timeout=len(self.speech) / audio_check.RATE + 1.5)
        phone.send("hangup")
        self.expect(phone, "event Disconnected 0")
        counters = statistics(phone)
        record = lab.command("rtp %s" % phone.address)
        phone.send("quit")
        self.assertEqual(phone.wait_exit(), 0, phone.describe())
        self.assertTrue(record["ok"], record)
        correlation, _ = audio_check.best_lag_correlation(self.speech,
                                                          audio_check.read_wav(speaker))
        return counters, record["rtp"], correlation, phone

    def test_the_phone_counts_what_the_lab_did_and_still_plays_the_speech(self):
        lab = self.start_lab()
        for rules, expected in CALLS:
            with self.subTest(rules=rules):
                counters, record, correlation, phone = self.call_600(lab, rules)
                figures = dict(record["impaired"], gaps=record["returned"]["gaps"])
                for counter, (figure, per) in expected.items():
                    want = per * figures[figure] if figure else 0
                    self.assertLessEqual(abs(counters[counter] - want), max(1, per - 1),
                                         "%s: %s, lab %s" % (counter, counters, figures))
                self.assertTrue(any(figures[f] for f, _ in expected.values() if f) or
                                record["impaired"]["jittered"], figures)
                self.assertEqual(counters["Invalid RTP Packets Received"], 0)
                self.assertGreater(correlation, CARRIED, phone.describe())

    def test_malformed_datagrams_are_counted_and_the_call_goes_on(self):
        lab = self.start_lab()
        junk = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.addCleanup(junk.close)
        junk.bind((self.network.phone_address(), 0))

        def send_junk(phone):
            for _, data in MALFORMED * 3:
                junk.sendto(data, (phone.address, 3400))

        counters, record, correlation, phone = self.call_600(lab, "off", send_junk)
        self.assertEqual(counters["Invalid RTP Packets Received"], 3 * len(MALFORMED))
        self.assertLessEqual(counters["Missed RX RTP Packets"], 1)
        # The speech after the junk came back and was played.
        self.assertGreater(record["returned"]["packets"], len(self.speech) // 160)
        self.assertGreater(correlation, CARRIED, phone.describe())


if __name__ == "__main__":
    unittest.main()
