"""voxline-call's actions, events and exit statuses against a scripted
stand-in engine (FAKE_ENGINE), so they are checked in every build."""

import os
import shutil
import signal
import subprocess
import tempfile
import time
import unittest

from harness import phone_program

FAKE_ENGINE = os.environ.get("FAKE_ENGINE")


@unittest.skipUnless(FAKE_ENGINE, "FAKE_ENGINE names the stand-in engine library")
class PhoneActionsTest(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="voxline-call-")
        self.addCleanup(shutil.rmtree, self.work, True)
        self.log = os.path.join(self.work, "engine.log")

    def env(self, **extra):
        return dict(os.environ, VOXLINE_ENGINE=FAKE_ENGINE, FAKE_ENGINE_LOG=self.log,
                    VOXLINE_HOME=self.work, **extra)

    def run_phone(self, args, timeout=20, **extra):
        result = subprocess.run([phone_program(), "--call-agent", "127.0.0.1"] + args,
                                capture_output=True, text=True, timeout=timeout,
                                env=self.env(**extra))
        return result.returncode, result.stdout.splitlines(), self.engine_calls()

    def engine_calls(self):
        if not os.path.exists(self.log):
            return []
        with open(self.log) as handle:
            lines = [line.strip() for line in handle]
        return [line if line.startswith(("Call ", "SendDigits", "Generic")) else line.split(" ")[0]
                for line in lines]

    def configuration(self):
        with open(self.log) as handle:
            return next(line for line in handle if line.startswith("ConfigureCallParameters"))

    def test_option_driven_sessions(self):
        cases = [
            (["--dial", "600", "--hangup-after", "0.3", "--exit-on-disconnect"], {}, 0,
             ["event ConnectedToCallAgent", "event PlayTone 2", "event Answered",
              "event Disconnected 0"],
             ["ConfigureCallParameters", "LogonToCallAgent", "Call 600", "Hangup", "Release"]),
            (["--dial", "600", "--hangup-after", "0", "--exit-on-disconnect"], {}, 0,
             ["event Disconnected 0"],
             ["ConfigureCallParameters", "LogonToCallAgent", "Call 600", "Hangup", "Release"]),
            (["--logoff-after", "0.2"], {}, 0,
             ["event ConnectedToCallAgent", "event Disconnected 3"],
             ["ConfigureCallParameters", "LogonToCallAgent", "LogoffFromCallAgent", "Release"]),
            (["--auto-answer=0.1", "--digits", "123", "--logoff-after", "1"],
             {"FAKE_RING_AFTER_MS": "200"}, 0,
             ["event ConnectedToCallAgent", "event Ringing 5551234", "event Answered",
              "event Disconnected 3"],
             ["ConfigureCallParameters", "LogonToCallAgent", "Answer", "SendDigits 123",
              "LogoffFromCallAgent", "Release"]),
            (["--dial", "60x0"], {}, 1, [],
             ["ConfigureCallParameters", "LogonToCallAgent", "Call 60x0", "Release"]),
            ([], {"FAKE_CONFIGURE_RESULT": "0x8004020E"}, 1, [],
             ["ConfigureCallParameters", "Release"]),
        ]
        for args, extra, status, events, calls in cases:
            with self.subTest(args=args, extra=extra):
                if os.path.exists(self.log):
                    os.remove(self.log)
                code, lines, engine = self.run_phone(args, **extra)
                self.assertEqual(code, status, lines)
                self.assertEqual([l for l in lines if l.startswith("event ")], events)
                self.assertEqual(engine, calls)

    def test_refusal_is_reported_with_its_code(self):
        code, lines, _ = self.run_phone(["--dial", "6*"])
        self.assertEqual(code, 1)
        self.assertIn("error call 0x8004020C", lines)

    def test_configuration_arguments(self):
        self.run_phone(["--logoff-after", "0"])
        defaults = self.configuration()
        for expected in ("port=2727", "local=2427", "vocoder=2", "pack=2", "flags=0x29",
                         "qos=20", "ip= "):
            self.assertIn(expected, defaults)
        os.remove(self.log)
        code, _, calls = self.run_phone(
            ["--logoff-after", "0", "--codec", "g729", "--pack", "3", "--flags", "0x8",
             "--verbose", "--qos", "0", "--port", "2000", "--mgcp-port", "2500",
             "--local-ip", "127.0.0.5", "--extension", "77", "--account", "12",
             "--proxy", "127.0.0.9", "--proxy-port", "5000", "--stats-interval", "1000"])
        self.assertEqual(code, 0)
        configured = self.configuration()
        for expected in ("port=2000", "local=2500", "vocoder=1", "pack=3", "flags=0xC", "qos=0",
                         "ip=127.0.0.5", "ext=77", "account=12"):
            self.assertIn(expected, configured)
        self.assertIn("GenericCommand 6 5000", calls)
        self.assertIn("GenericCommand 10 1000", calls)

    def test_interactive_commands(self):
        phone = subprocess.Popen([phone_program(), "--call-agent", "127.0.0.1", "--interactive"],
                                 stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True,
                                 env=self.env())
        try:
            def wait_line(text, limit=5.0):
                deadline = time.monotonic() + limit
                while time.monotonic() < deadline:
                    line = phone.stdout.readline()
                    if not line:
                        break
                    if line.rstrip("\n") == text:
                        return True
                return False

            def send(line):
                phone.stdin.write(line + "\n")
                phone.stdin.flush()

            self.assertTrue(wait_line("event ConnectedToCallAgent"))
            steps = [("call 600", "event Answered"), ("digits 9#", "ok digits"),
                     ("stats", "stats Packets sent: 0"), ("frobnicate", None),
                     ("call 6*", "error call 0x8004020C"), ("hangup", "event Disconnected 0"),
                     ("quit", "ok quit")]
            for command, reply in steps:
                send(command)
                if reply:
                    self.assertTrue(wait_line(reply), command)
            self.assertEqual(phone.wait(timeout=10), 0)
        finally:
            if phone.poll() is None:
                phone.kill()
                phone.wait()
            phone.stdin.close()
            phone.stdout.close()
        self.assertIn("SendDigits 9#", self.engine_calls())

    def test_signal_logs_off_before_exit(self):
        phone = subprocess.Popen([phone_program(), "--call-agent", "127.0.0.1"],
                                 stdout=subprocess.PIPE, text=True, env=self.env())
        try:
            self.assertEqual(phone.stdout.readline().strip(), "event ConnectedToCallAgent")
            phone.send_signal(signal.SIGTERM)
            self.assertEqual(phone.wait(timeout=10), 0)
        finally:
            if phone.poll() is None:
                phone.kill()
                phone.wait()
            phone.stdout.close()
        self.assertEqual(self.engine_calls()[-2:], ["LogoffFromCallAgent", "Release"])


if __name__ == "__main__":
    unittest.main()
