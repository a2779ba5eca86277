"""The lab's unscrambler recovers what the engine's scrambler wrote (the lab's
call flows are walked end to end by tests/integration)."""

import os
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "tools", "lab"))

from dialdeck_lab.scrambling import unscramble_hex  # noqa: E402


class UnscrambleTest(unittest.TestCase):
    def test_engine_scramblings_are_recovered(self):
        program = os.environ.get("SCRAMBLE_SAMPLES")
        if not program:
            self.skipTest("SCRAMBLE_SAMPLES names the engine's sample program")
        texts = ["4155551234", "1234", "0", "", "x" * 79, "A-Z a-z 0-9 !?"]
        output = subprocess.run([program] + texts, capture_output=True, text=True, check=True,
                                timeout=30).stdout
        lines = output.splitlines()
        self.assertEqual(len(lines), 3 * len(texts))
        for line in lines:
            text, _, hex_text = line.partition("\t")
            with self.subTest(text=text):
                self.assertEqual(unscramble_hex(hex_text), text)
        self.assertEqual(len(set(lines)), len(lines))
