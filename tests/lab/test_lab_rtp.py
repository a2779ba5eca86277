"""Line 600's RTP record and the impairments of its way back, packet by packet."""

import os
import struct
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "tools", "lab"))

from dialdeck_lab.rtp_record import Impairer, StreamRecord, parse_rtp, parse_rules  # noqa: E402


def packet(sequence, timestamp=None, payload=160, first=0x80, ssrc=0x1234, extra=b""):
    timestamp = sequence * 160 if timestamp is None else timestamp
    return struct.pack("!BBHII", first, 0, sequence & 0xFFFF, timestamp & 0xFFFFFFFF,
                       ssrc) + extra + bytes(payload)


class RtpRecordTest(unittest.TestCase):
    def test_packets_that_are_not_rtp(self):
        # The relay's probe shares the port; a payload is what padding, CSRCs and
        # an extension leave.
        cases = [
            (b"PROXY_PROBE id", None),
            (b"\x40" + packet(1)[1:], None),                                # version 1
            (packet(1, payload=4, first=0xA0)[:-1] + b"\x09", None),       # padding past the end
            (packet(7, payload=4, first=0xA0)[:-1] + b"\x04", (0, 7, 1120, 0x1234, 0)),
            (packet(7, payload=12, first=0x91, extra=b"\x00" * 4 + b"\x00\x00\x00\x01" +
                    b"\x00" * 4), (0, 7, 1120, 0x1234, 12)),
        ]
        for data, expected in cases:
            self.assertEqual(parse_rtp(data), expected, data[:16])

    def test_gaps_reorders_duplicates_and_steps_across_the_wrap(self):
        record = StreamRecord()
        order = [65533, 65534, 65535, 1, 0, 1, 2, 5, 6, 9, 10, 8]  # 3-4 never come, 7 never
        for i, sequence in enumerate(order):
            record.add(packet(sequence, timestamp=160 * (sequence + 10)), now=i * 0.02,
                       tos=0xB8)
        record.add(b"junk", now=1.0)
        expected = {"packets": 12, "non_rtp": 1, "reorders": 2, "duplicates": 1, "lost": 3,
                    "gaps": 2, "timestamp_steps": {"160": 5}, "tos": {"0xb8": 12},
                    "sizes": {"160": 12}, "inter_arrival_ms": {"min": 20.0, "mean": 20.0,
                                                                "max": 20.0}}
        summary = record.summary()
        self.assertEqual({key: summary[key] for key in expected}, expected)


class ImpairerTest(unittest.TestCase):
    def returned(self, rules, count=40):
        impairer = Impairer(parse_rules(rules))
        out = []
        for n in range(1, count + 1):
            impairer.packet(n, lambda item, delay: out.append((item, delay)))
        return impairer.done, out

    def test_rules_decide_what_comes_back_and_in_which_order(self):
        cases = [
            ("drop=10", {"dropped": 4}, [n for n in range(1, 41) if n % 10]),
            ("dup=15", {"duplicated": 2}, sorted(list(range(1, 41)) + [15, 30])),
            ("swap=10 drop=7", {"swapped": 3, "dropped": 5},  # 40 still waits for 41
             [1, 2, 3, 4, 5, 6, 8, 9, 11, 10, 12, 13, 15, 16, 17, 18, 19, 22, 20, 23, 24, 25,
              26, 27, 29, 31, 30, 32, 33, 34, 36, 37, 38, 39]),
            ("late=16:3", {"held": 2}, list(range(1, 16)) + [17, 18, 19, 16] +
             list(range(20, 32)) + [33, 34, 35, 32] + list(range(36, 41))),
        ]
        for rules, done, order in cases:
            with self.subTest(rules=rules):
                counts, out = self.returned(rules)
                self.assertEqual({k: v for k, v in counts.items() if v}, done)
                self.assertEqual([item for item, _ in out], order)

    def test_seeded_loss_and_jitter_repeat_and_stay_in_bounds(self):
        first = self.returned("loss=10 jitter=30 delay=50 seed=7", 1000)
        self.assertEqual(first, self.returned("loss=10 jitter=30,delay=50,seed=7", 1000))
        self.assertNotEqual(first, self.returned("loss=10 jitter=30 delay=50 seed=8", 1000))
        done, out = first
        self.assertTrue(60 < done["lost"] < 140, done)
        self.assertEqual(len(out), 1000 - done["lost"])
        self.assertTrue(all(50 <= delay <= 80 for _, delay in out))
        self.assertEqual(done["jittered"], len(out))
