"""voxline-call's command line: help, version, the device list, bad options and
refusals. These need no call agent and run in every build."""

import os
import subprocess
import tempfile
import unittest

from harness import phone_program


def run(args, env=None, timeout=30):
    return subprocess.run([phone_program()] + args, capture_output=True, text=True,
                          timeout=timeout, env=dict(os.environ, **(env or {})))


class CommandLineTest(unittest.TestCase):
    def test_help_and_version(self):
        for option, output in (("--help", r"--call-agent"),
                               ("--version", r"^voxline-call \d+\.\d+\.\d+\.\d+\n$")):
            result = run([option])
            self.assertEqual(result.returncode, 0)
            self.assertRegex(result.stdout, output)

    def test_bad_options_exit_2_with_a_message(self):
        cases = [
            ([], "--call-agent is required"),
            (["--call-agent"], "needs a value"),
            (["--call-agent", "127.0.0.1", "--port", "70000"], "--port"),
            (["--call-agent", "127.0.0.1", "--codec", "opus"], "--codec"),
            (["--call-agent", "127.0.0.1", "--pack", "two"], "--pack"),
            (["--call-agent", "127.0.0.1", "--hangup-after", "-1"], "--hangup-after"),
            (["--call-agent", "127.0.0.1", "--auto-answer=soon"], "--auto-answer"),
            (["--call-agent", "127.0.0.1", "--verbose=yes"], "takes no value"),
            (["--call-agent", "127.0.0.1", "--frobnicate"], "unknown option"),
            (["--call-agent", "127.0.0.1", "stray"], "unexpected argument"),
        ]
        for args, message in cases:
            with self.subTest(args=args):
                result = run(args)
                self.assertEqual(result.returncode, 2)
                self.assertIn(message, result.stderr)
                self.assertEqual(result.stdout, "")

    def test_devices_are_listed_without_any_other_option(self):
        listed = run(["--list-devices", "--audio", "virtual"])
        self.assertEqual((listed.returncode, listed.stderr), (0, ""))
        self.assertEqual(listed.stdout.splitlines(), [
            "in\tvirtual microphone\t8000\tdefault", "out\tvirtual speaker\t8000\tdefault"])
        refused = run(["--list-devices", "--audio", "nonsense"])
        self.assertEqual((refused.returncode, refused.stdout), (1, ""))

    def test_a_missing_engine_or_a_refused_configuration_exits_1(self):
        home = tempfile.TemporaryDirectory(prefix="voxline-home-")
        self.addCleanup(home.cleanup)
        missing = run(["--call-agent", "127.0.0.1"], env={"VOXLINE_ENGINE": "/nonexistent.so"})
        self.assertEqual((missing.returncode, "cannot load the engine" in missing.stderr),
                         (1, True), missing.stderr)
        # G.711 needs an even pack count.
        refused = run(["--call-agent", "127.0.0.1", "--local-ip", "127.0.0.1", "--codec", "g711a",
                       "--pack", "3"], env={"VOXLINE_HOME": home.name})
        self.assertEqual(refused.returncode, 1)
        self.assertIn("error ConfigureCallParameters 0x80070057", refused.stdout)
