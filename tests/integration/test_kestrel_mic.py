"""The microphone level through kestrel-host: the control starts the engine's
level capture on the virtual microphone and prints its MicLevel events."""

import os
import shutil
import struct
import tempfile
import time
import unittest

from harness import EndToEndTest
from test_kestrel_host import Host

E_FAIL = 0x80004005 - (1 << 32)


def write_square_wave(path, amplitude, seconds):
    """8 kHz mono 16-bit; a square wave's mean absolute amplitude is its peak."""
    samples = [amplitude if (i // 4) % 2 else -amplitude for i in range(8000 * seconds)]
    data = struct.pack("<%dh" % len(samples), *samples)
    header = struct.pack("<4sI4s4sIHHIIHH4sI", b"RIFF", 36 + len(data), b"WAVE", b"fmt ", 16,
                         1, 1, 8000, 16000, 2, 16, b"data", len(data))
    with open(path, "wb") as out:
        out.write(header + data)


class KestrelMicLevelTest(EndToEndTest):
    block = 94

    def start_host(self, microphone):
        host = Host(self.network.phone_address(), self.network.lab_address(0),
                    env={"VOXLINE_AUDIO": "virtual:mic=%s,speaker=discard" % microphone})
        self.addCleanup(host.stop)
        return host

    def start_measuring(self, host):
        """The answer to "mic start" once the control has configured its engine."""
        deadline = time.monotonic() + 10
        while True:
            answer = host.command("mic start")
            if answer != "ok %d" % E_FAIL or time.monotonic() > deadline:
                return answer
            time.sleep(0.2)

    def test_level_of_the_virtual_microphone_and_no_microphone(self):
        folder = tempfile.mkdtemp(prefix="kestrel-mic-")
        self.addCleanup(shutil.rmtree, folder, True)
        square = os.path.join(folder, "square.wav")
        write_square_wave(square, 10000, 20)
        self.start_lab()

        host = self.start_host(square)
        if not host.wait_state(2):
            self.fail("not logged on\n%s" % host.describe())
        self.assertEqual(self.start_measuring(host), "ok 0")
        # Mean amplitude 10000: (10000 - 4000) / 235 * 60 / 100 + 40 = 55.
        self.assertEqual(host.wait_line("event MicLevel"), "event MicLevel [55]",
                         host.describe())
        self.assertEqual(host.command("mic start"), "ok 1")  # already measuring
        self.assertEqual(host.command("mic stop"), "ok 0")
        self.assertEqual(host.command("mic stop"), "ok 0")
        host.stop()

        # Without a microphone the phone does not log on, but its engine answers.
        host = self.start_host(os.path.join(folder, "missing.wav"))
        # No input device: 0x80040202, and no level ever.
        self.assertEqual(self.start_measuring(host), "ok %d" % (0x80040202 - (1 << 32)))
        self.assertIsNone(host.wait_line("event MicLevel", timeout=1.0), host.describe())


if __name__ == "__main__":
    unittest.main()
