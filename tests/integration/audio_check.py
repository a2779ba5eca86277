"""Speech and tones for the audio tests: a spoken sentence followed by a tone
as a microphone file, and the checks on what a speaker file received."""

import math
import statistics
import struct
import subprocess
import wave

RATE = 8000
FRAME = 160  # 20 ms


def spoken(text):
    """espeak-ng's voice, resampled by sox to 8 kHz mono samples."""
    voice = subprocess.run(["espeak-ng", "--stdout", "-s", "150", text], check=True,
                           capture_output=True, timeout=30).stdout
    raw = subprocess.run(["sox", "-t", "wav", "-", "-t", "raw", "-r", str(RATE), "-e", "signed",
                          "-b", "16", "-c", "1", "-"], input=voice, check=True,
                         capture_output=True, timeout=30).stdout
    return list(struct.unpack("<%dh" % (len(raw) // 2), raw))


def tone(hz, seconds, peak=8000):
    return [int(peak * math.sin(2 * math.pi * hz * i / RATE)) for i in range(int(RATE * seconds))]


def silence(seconds):
    return [0] * int(RATE * seconds)


def write_wav(path, samples):
    with wave.open(path, "wb") as out:
        out.setparams((1, 2, RATE, len(samples), "NONE", "not compressed"))  # mono, 16 bits
        out.writeframes(struct.pack("<%dh" % len(samples), *samples))


def read_wav(path):
    with wave.open(path) as source:
        data = source.readframes(source.getnframes())
    return list(struct.unpack("<%dh" % (len(data) // 2), data))


def envelope(samples):
    """RMS of each 20 ms frame."""
    return [math.sqrt(sum(s * s for s in samples[i:i + FRAME]) / FRAME)
            for i in range(0, len(samples) - FRAME + 1, FRAME)]


def best_lag_correlation(reference, received, max_lag_frames=150):
    """(correlation, lag in frames) of the reference envelope found in the received one."""
    ref = envelope(reference)
    got = envelope(received)
    best = (0.0, 0)
    for lag in range(0, min(max_lag_frames, len(got) - len(ref)) + 1):
        try:
            c = statistics.correlation(ref, got[lag:lag + len(ref)])
        except statistics.StatisticsError:  # a constant envelope correlates with nothing
            continue
        if c > best[0]:
            best = (c, lag)
    return best


def tone_share(samples, hz):
    """Goertzel power at hz as a share of the samples' whole power (1.0: a pure tone)."""
    k = 2 * math.cos(2 * math.pi * hz / RATE)
    s1 = s2 = 0.0
    for x in samples:
        s1, s2 = x + k * s1 - s2, s1
    power = s1 * s1 + s2 * s2 - k * s1 * s2
    total = sum(x * x for x in samples)
    return 2 * power / (len(samples) * total) if total else 0.0
