"""The phone control in kestrel-host against the lab, end to end: log-on,
calls to the echo, busy and invalid lines, an incoming call answered with
Enter, and a refused registration retried."""

import json
import os
import queue
import re
import shutil
import struct
import subprocess
import tempfile
import threading
import time
import unittest

from harness import EndToEndTest, built_program, release


class Host:
    """One kestrel-host process holding the control, logged on to a lab."""

    def __init__(self, address, lab_address, extension="2001", sets=(), args=(), env=None):
        self.address = address
        self.home = tempfile.mkdtemp(prefix="kestrel-home-")
        environment = dict(os.environ, VOXLINE_HOME=self.home, KESTREL_LOCAL_IP=address,
                           QT_QPA_PLATFORM="offscreen", KESTREL_MIXER="none")
        environment.update(env or {})
        environment.setdefault("VOXLINE_AUDIO", "virtual:mic=silence,speaker=discard")
        env = environment
        sets = dict({"ParametersToExpect": "0", "CallManager": lab_address, "Port": "2727",
                     "MGCPPort": "2427", "SampleSize": "2", "IPPhoneNumber": extension},
                    **dict(sets))
        command = [built_program("kestrel-host", "KESTREL_HOST"), "--no-console", *args]
        for name, value in sets.items():
            command += ["--set", "%s=%s" % (name, value)]
        self._stderr = open(os.path.join(self.home, "stderr.txt"), "w")
        self.process = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=self._stderr, text=True, env=env)
        self.lines = []
        self._seen = 0  # states already waited for
        self._queue = queue.Queue()
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.process.stdout:
            self._queue.put(line.rstrip("\n"))
        self._queue.put(None)

    def _next(self, deadline):
        try:
            line = self._queue.get(timeout=max(0.0, deadline - time.monotonic()))
        except queue.Empty:
            return None
        if line is not None:
            self.lines.append(line)
        return line

    def states(self):
        found = []
        for line in self.lines:
            match = re.fullmatch(r"event ChangeQuillonState (\[.*\])", line)
            if match:
                found.append(json.loads(match.group(1))[0])
        return found

    def wait_state(self, state, timeout=10.0):
        """Waits until the control shows state after the one last waited
        for; True when it did."""
        deadline = time.monotonic() + timeout
        while True:
            shown = self.states()
            if state in shown[self._seen:]:
                self._seen += shown[self._seen:].index(state) + 1
                return True
            if self._next(deadline) is None:
                return False

    def wait_line(self, prefix, timeout=10.0):
        """The first output line starting with prefix, waiting for it."""
        deadline = time.monotonic() + timeout
        seen = 0
        while True:
            for line in self.lines[seen:]:
                if line.startswith(prefix):
                    return line
            seen = len(self.lines)
            if self._next(deadline) is None:
                return None

    def command(self, line, timeout=10.0):
        """Sends a command; its ok/error answer line."""
        self.process.stdin.write(line + "\n")
        self.process.stdin.flush()
        deadline = time.monotonic() + timeout
        while True:
            answer = self._next(deadline)
            if answer is None or answer.startswith(("ok", "error")):
                return answer

    def state(self):
        answer = self.command("state")
        return json.loads(answer[3:]) if answer and answer.startswith("ok ") else {}

    def stop(self):
        if self.process.poll() is None:
            try:
                self.process.stdin.close()
                self.process.wait(timeout=15)
            except (OSError, subprocess.TimeoutExpired):
                self.process.kill()
                self.process.wait(timeout=5)
        release(self.process, self._stderr, self.home)

    def describe(self):
        return "kestrel-host %s output:\n%s" % (self.address, "\n".join(self.lines[-60:]))


class KestrelHostTest(EndToEndTest):
    block = 89

    def start_host(self, extension="2001", **options):
        host = Host(self.network.phone_address(), self.network.lab_address(0), extension,
                    **options)
        self.addCleanup(host.stop)
        return host

    def expect_state(self, host, state, timeout=10.0):
        if not host.wait_state(state, timeout):
            self.fail("state %d not shown within %.0f s; states %s\n%s"
                      % (state, timeout, host.states(), host.describe()))

    def test_log_on_and_calls_to_the_echo_busy_and_invalid_lines(self):
        self.start_lab()
        host = self.start_host()
        self.expect_state(host, 1)
        self.expect_state(host, 2)
        self.assertEqual(host.states()[:2], [1, 2])

        host.command("call 600")
        for state in (3, 4):
            self.expect_state(host, state)
        self.assertEqual(host.state()["callState"], 4)
        host.command("hangup")
        self.expect_state(host, 5)
        self.expect_state(host, 2)

        for number, state in (("601", 7), ("5550000", 8)):
            with self.subTest(number=number):
                host.command("call %s" % number)
                self.expect_state(host, state)
                host.command("hangup")
                self.expect_state(host, 2)
        self.assertEqual(host.command("lastten"), 'ok "600;601;5550000;;;;;;;;"')

        # End of input logs off gracefully and ends the host with 0.
        host.process.stdin.close()
        self.assertEqual(host.process.wait(timeout=15), 0, host.describe())

    def test_incoming_call_answered_with_enter(self):
        lab = self.start_lab()
        host = self.start_host("2002")
        self.expect_state(host, 2)
        lab.wait_for(lambda: (self.endpoint_state(lab, host) or {}).get("extension"))
        caller = self.start_phone(["--caller-id-number", "5551234"], interactive=True)
        self.expect(caller, "event ConnectedToCallAgent")
        caller.send("call 2002")
        self.expect_state(host, 6)
        self.assertEqual(host.command("key down Return"), "ok null")
        host.command("key up Return")
        self.expect_state(host, 9)
        self.expect_state(host, 4)
        self.expect(caller, "event Answered")

    def test_refused_registration_shows_entry_20_and_retries_after_5_s(self):
        self.start_lab(extra=["--rsip-code", "403"])
        host = self.start_host()
        self.expect_state(host, 1)
        self.expect_state(host, 0)
        refused_at = time.monotonic()
        self.assertEqual(host.state().get("status"), "Server refused connection",
                         host.describe())
        # Logging on again comes 5 s after the refusal.
        self.expect_state(host, 1, timeout=10)
        self.assertGreaterEqual(time.monotonic() - refused_at, 4.0, host.describe())

    def test_bag_before_sets_grab_and_the_session_end_closing_the_window(self):
        self.start_lab()
        folder = tempfile.mkdtemp(prefix="kestrel-bag-")
        self.addCleanup(shutil.rmtree, folder, True)
        bag = os.path.join(folder, "phone.bag")
        with open(bag, "w") as out:
            # Nothing answers at .250: logging on proves the --set came after.
            # AllowSimultaneous=true ends the session (and the window) on hang-up.
            out.write("CallManager=127.0.%d.250\nCallerIDName=From the bag\n"
                      "AllowSimultaneous=true\n" % self.block)
        host = self.start_host(sets={"CallManager": self.network.lab_address(0)},
                               args=["--params", bag, "--size", "320x240"])
        self.expect_state(host, 2)
        self.assertEqual(host.command("get calleridname"), 'ok "From the bag"')
        self.assertEqual(host.command("get CallManager"),
                         'ok "%s"' % self.network.lab_address(0))

        picture = os.path.join(folder, "phone.png")
        self.assertEqual(host.command("grab %s" % picture), "ok null")
        with open(picture, "rb") as image:
            head = image.read(24)
        self.assertEqual(head[:8], b"\x89PNG\r\n\x1a\n")
        self.assertEqual(struct.unpack(">II", head[16:24]), (320, 240))

        # With the session ending on hang-up, the control closes its window.
        host.command("hangup")
        self.assertIsNotNone(host.wait_line("closed"), host.describe())
        self.assertEqual(host.process.wait(timeout=15), 0, host.describe())

    def test_the_audio_device_dialog_is_reported_and_accepted(self):
        self.start_lab()
        host = self.start_host("2003", env={"VOXLINE_AUDIO": "virtual:fail=busy:out"})
        self.expect_state(host, 2)
        caller = self.start_phone(interactive=True)
        self.expect(caller, "event ConnectedToCallAgent")
        caller.send("call 2003")
        self.expect_state(host, 6)
        line = host.wait_line("dialog ")
        self.assertIsNotNone(line, host.describe())
        dialog = json.loads(line[len("dialog "):])
        self.assertEqual((dialog["name"], dialog["title"], dialog["choices"]),
                         ("audio_in_use", "Audio device in use", ["OK"]))
        self.assertTrue(dialog["text"].startswith("The audio device is currently in use."))
        self.assertEqual(host.command("dialog-accept"), "ok null")
        self.assertEqual(host.command("dialog-accept"), 'error "no dialog open"')


if __name__ == "__main__":
    unittest.main()
