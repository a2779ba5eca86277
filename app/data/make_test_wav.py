#!/usr/bin/env python3
"""Writes test.wav, the speaker test's sound: a rising C major arpeggio and a
short rest, 8 kHz mono 16-bit. Usage: make_test_wav.py OUT.wav"""

import math
import struct
import sys

RATE = 8000
NOTES_HZ = (523.25, 659.26, 783.99, 1046.50)
NOTE_S = 0.25
REST_S = 0.2
PEAK = 9000


def note(frequency):
    count = int(RATE * NOTE_S)
    attack = int(RATE * 0.01)
    for i in range(count):
        # A quick rise and an exponential fade keep the notes from clicking.
        envelope = min(1.0, i / attack) * math.exp(-4.0 * i / count)
        tone = math.sin(2 * math.pi * frequency * i / RATE)
        tone += 0.25 * math.sin(4 * math.pi * frequency * i / RATE)
        yield int(round(PEAK * envelope * tone / 1.25))


def main(path):
    samples = [s for f in NOTES_HZ for s in note(f)] + [0] * int(RATE * REST_S)
    data = struct.pack("<%dh" % len(samples), *samples)
    header = struct.pack("<4sI4s4sIHHIIHH4sI", b"RIFF", 36 + len(data), b"WAVE", b"fmt ", 16,
                         1, 1, RATE, RATE * 2, 2, 16, b"data", len(data))
    with open(path, "wb") as out:
        out.write(header + data)


if __name__ == "__main__":
    main(sys.argv[1])
