"""The lab's readers of outside input: MGCP text, event lists, session
descriptions and scrambled account values."""

import os
import random
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "tools", "lab"))

from dialdeck_lab import control, mgcp, server  # noqa: E402
from dialdeck_lab.scrambling import UnscrambleError, unscramble_bytes, unscramble_hex  # noqa: E402


class MgcpTextTest(unittest.TestCase):
    def test_commands_and_responses(self):
        cases = [
            (b"NTFY 12 abc/0 MGCP 1.0\r\nO: D/600, L/ci(,555,Ann)\r\n\0",
             ("NTFY", None, 12, "abc/0", [("O", "D/600, L/ci(,555,Ann)")], None)),
            (b"200 99\r\n\r\nv=0\r\nc=IN IP4 127.0.0.2\r\nm=audio 3400 RTP/AVP 0\r\n\0",
             (None, 200, 99, "", [], ("127.0.0.2", 3400))),
            (b"\nRSIP 5 x/0 MGCP 1.0\nRM: restart\nRD: 0\n",
             ("RSIP", None, 5, "x/0", [("RM", "restart"), ("RD", "0")], None)),
        ]
        for data, (verb, code, tid, endpoint, params, media) in cases:
            with self.subTest(data=data[:20]):
                message = mgcp.parse(data)
                self.assertEqual((message.verb, message.code, message.tid, message.endpoint),
                                 (verb, code, tid, endpoint))
                self.assertEqual(message.params, params)
                self.assertEqual(mgcp.parse_sdp(message.sdp), media)

    def test_rejected_texts(self):
        for data in (b"", b"\0", b"HELLO 1 x/0 MGCP 1.0", b"NTFY x/0", b"200",
                     b"NTFY 1 a/0 MGCP 1.0\r\nno colon here\r\n", b"A\0B", b"N" * 5000):
            with self.subTest(data=data[:20]):
                with self.assertRaises(mgcp.MgcpError):
                    mgcp.parse(data)

    def test_written_text_ends_with_one_nul_and_uses_crlf(self):
        data = mgcp.format_command("RQNT", 7, "e/0", [("X", "1"), ("R", "L/hd(N)")],
                                   mgcp.build_sdp("127.0.0.1", 4000))
        self.assertEqual(data, b"RQNT 7 e/0 MGCP 1.0\r\nX: 1\r\nR: L/hd(N)\r\n\r\n"
                               b"v=0\r\nc=IN IP4 127.0.0.1\r\nm=audio 4000 RTP/AVP 0\r\n\0")
        self.assertEqual(mgcp.format_response(200, 7), b"200 7\r\n\0")

    def test_event_lists(self):
        cases = [
            ("D/600, L/ci(,5551234,Ann Lee)",
             [("D", "600", None), ("L", "ci", ",5551234,Ann Lee")]),
            ("Tarn/acct(1,2),Tarn/ver(2.5.0.0)",
             [("Tarn", "acct", "1,2"), ("Tarn", "ver", "2.5.0.0")]),
            ("", []),
        ]
        for text, events in cases:
            with self.subTest(text=text):
                self.assertEqual(mgcp.split_events(text), events)
        for bad in ("nonsense", "L/ci(a)b", "a/b)c("):
            with self.assertRaises(mgcp.MgcpError):
                mgcp.split_events(bad)

    def test_descriptions_without_address_or_audio_are_ignored(self):
        for text in ("v=0\r\nm=audio 4000 RTP/AVP 0\r\n", "v=0\r\nc=IN IP4 1.2.3.4\r\n",
                     "c=IN IP4 1.2.3.4\r\nm=image 4002 udptl t38\r\n", "c=\r\nm=audio x\r\n"):
            self.assertIsNone(mgcp.parse_sdp(text))

    def test_random_input_never_raises_anything_but_mgcp_errors(self):
        rng = random.Random(5)
        seeds = [b"NTFY 1 a/0 MGCP 1.0\r\nO: D/600\r\n\0", b"200 1\r\n\r\nv=0\r\n"]
        for _ in range(3000):
            data = bytearray(rng.choice(seeds))
            for _ in range(rng.randint(1, 6)):
                data[rng.randrange(len(data))] = rng.randrange(256)
            try:
                message = mgcp.parse(bytes(data))
                mgcp.split_events(message.param("O", "") or "")
                mgcp.parse_sdp(message.sdp)
            except mgcp.MgcpError:
                pass


class LogMaskTest(unittest.TestCase):
    def test_pins_sent_in_clear_are_masked_in_the_log(self):
        cases = [
            ("O: Tarn/acct(123,9876), Tarn/ver(2.5.0.0)", "O: Tarn/acct(123,****), Tarn/ver(2.5.0.0)"),
            ("O: Tarn/ACCT(,1)", "O: Tarn/ACCT(,****)"),
            ("O: Tarn/eacct(0101AB,0101CD)", "O: Tarn/eacct(0101AB,0101CD)"),
            ("O: D/600", "O: D/600"),
        ]
        for text, logged in cases:
            self.assertEqual(server.mask_pin(text), logged)


class ControlLineTest(unittest.TestCase):
    def test_unknown_and_malformed_lines_are_errors(self):
        class NoAgent:
            endpoints = {}
            calls = []

            def find_endpoint(self, key):
                return None

        for line in ("", "nothing", "state", "rsip-code abc", 'x "', "silent"):
            with self.subTest(line=line):
                self.assertIn('"ok": false', control.execute(NoAgent(), line, lambda: None))


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
        self.assertEqual(len({line for line in lines}), len(lines))

    def test_damaged_values_raise_unscramble_errors_only(self):
        for text in ("", "zz", "0101", "01010202", "00" * 40, "0101" + "FF" * 30):
            with self.subTest(text=text):
                with self.assertRaises(UnscrambleError):
                    unscramble_hex(text)
        rng = random.Random(7)
        for _ in range(3000):
            data = bytes([1, 1]) + bytes(rng.randrange(256) for _ in range(rng.randint(0, 60)))
            try:
                unscramble_bytes(data)
            except UnscrambleError:
                pass


if __name__ == "__main__":
    unittest.main()
