"""The end-to-end tests' processes, each phone on its own loopback address and
VOXLINE_HOME; every wait is bounded, every process stopped with its test."""

import json
import os
import queue
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.abspath(os.path.join(HERE, "..", ".."))
sys.path.insert(0, HERE)

import audio_check  # noqa: E402
from lab_process import Lab  # noqa: E402


def built_program(name, variable):
    """The program from $variable, else from the build tree; skips the test when absent."""
    program = os.environ.get(variable) or os.path.join(
        os.environ.get("BUILD_DIR", os.path.join(ROOT, "build")), "bin", name)
    if not os.path.exists(program):
        raise unittest.SkipTest("%s not built (set %s or BUILD_DIR)" % (name, variable))
    return program


def skip_loudly(what, reason):
    """Skips, saying why where ctest looks for "<what> test skipped:"."""
    print("%s test skipped: %s" % (what, reason), file=sys.stderr, flush=True)
    raise unittest.SkipTest(reason)


def phone_program():
    return built_program("voxline-call", "VOXLINE_CALL")


class Network:
    """127.0.<block>.x for one test module: the RTP and NAT ports are fixed per address."""

    def __init__(self, block):
        self.block = block
        self._next_host = 2

    def lab_address(self, index=0):
        return "127.0.%d.%d" % (self.block, 1 + 100 * index)

    def phone_address(self):
        address = "127.0.%d.%d" % (self.block, self._next_host)
        self._next_host += 1
        return address


class Program:
    """A phone program in its own VOXLINE_HOME (removed when it stops); its output
    lines are collected as they come, as (monotonic time, text)."""

    def __init__(self, address, command, env=None, prefix="voxline-home-"):
        self.address = address
        self.home = tempfile.mkdtemp(prefix=prefix)
        env = dict(os.environ, **(env or {}), VOXLINE_HOME=self.home)
        # No test touches a real sound card: a silent virtual one stands in.
        env.setdefault("VOXLINE_AUDIO", "virtual:mic=silence,speaker=discard")
        self.lines = []
        self._queue = queue.Queue()
        self._eof = False
        # A file, not a pipe: nobody reads stderr while the program runs.
        self._stderr = open(os.path.join(self.home, "stderr.txt"), "w")
        self.process = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=self._stderr, text=True, env=env)
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.process.stdout:
            self._queue.put((time.monotonic(), line.rstrip("\n")))
        self._queue.put(None)

    def _drain(self, timeout):
        """The next line; None at the end of the output or the time-out."""
        try:
            item = self._queue.get(timeout=max(0.0, timeout))
        except queue.Empty:
            return None
        if item is None:
            self._eof = True
            return None
        self.lines.append(item)
        return item[1]

    def _until(self, found, timeout):
        """found() once it is something, waiting for lines up to timeout; else None."""
        deadline = time.monotonic() + timeout
        while True:
            result = found()
            if result is not None:
                return result
            remaining = deadline - time.monotonic()
            if self._eof or remaining <= 0 or self._drain(remaining) is None:
                return None

    def texts(self):
        while self._drain(0) is not None:
            pass
        return [text for _, text in self.lines]

    def send(self, line):
        self.process.stdin.write(line + "\n")
        self.process.stdin.flush()

    def wait_exit(self, timeout=20.0):
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            return None

    def stop(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            if self.wait_exit(15) is None:
                self.process.kill()
                self.process.wait(timeout=5)
        for stream in (self.process.stdin, self.process.stdout, self._stderr):
            try:
                stream.close()
            except (OSError, ValueError):
                pass
        shutil.rmtree(self.home, ignore_errors=True)

    def describe(self):
        def tail(name, count):
            path = os.path.join(self.home, name)
            if not os.path.exists(path):
                return ""
            with open(path, encoding="latin-1") as handle:
                return "".join(handle.readlines()[-count:])

        return "%s output:\n%s\nstderr:\n%s\nvxl.log tail:\n%s" % (
            self.address, "\n".join(text for _, text in self.lines[-80:]),
            tail("stderr.txt", 20), tail("vxl.log", 30))


class Phone(Program):
    """One voxline-call process."""

    def __init__(self, address, call_agents, args=(), interactive=False, program=None):
        command = [program or phone_program(), "--call-agent", call_agents, "--local-ip", address]
        super().__init__(address, command + list(args) + (["--interactive"] if interactive else []))
        self._position = 0

    def wait_for(self, pattern, timeout=10.0, from_start=False):
        """Waits for a line matching pattern after the last one matched (or
        anywhere, with from_start); returns the match or None."""
        regex = re.compile(pattern)

        def found():
            for index in range(0 if from_start else self._position, len(self.lines)):
                match = regex.fullmatch(self.lines[index][1])
                if match:
                    self._position = max(self._position, index + 1)
                    return match
        return self._until(found, timeout)

    def events(self):
        return [text for text in self.texts() if text.startswith("event ")]

    def log(self):
        """The engine's own log: forwarded lines may be dropped when many come at once."""
        with open(os.path.join(self.home, "vxl.log"), encoding="latin-1") as handle:
            return handle.read()


class Host(Program):
    """One kestrel-host process holding the control, logged on to a lab."""

    def __init__(self, address, lab_address, extension="2001", sets=(), args=(), env=None):
        sets = dict({"ParametersToExpect": "0", "CallManager": lab_address, "Port": "2727",
                     "MGCPPort": "2427", "SampleSize": "2", "IPPhoneNumber": extension},
                    **dict(sets))
        command = [built_program("kestrel-host", "KESTREL_HOST"), "--no-console", *args]
        for name, value in sets.items():
            command += ["--set", "%s=%s" % (name, value)]
        super().__init__(address, command, dict(
            {"KESTREL_LOCAL_IP": address, "QT_QPA_PLATFORM": "offscreen",
             "KESTREL_MIXER": "none"}, **(env or {})), "kestrel-home-")
        self._seen = 0  # states already waited for

    def states(self):
        return [json.loads(text[len("event ChangeQuillonState "):])[0]
                for _, text in self.lines if text.startswith("event ChangeQuillonState [")]

    def wait_state(self, state, timeout=10.0):
        """True once the control shows state after the one last waited for."""
        def shown():
            later = self.states()[self._seen:]
            if state in later:
                self._seen += later.index(state) + 1
                return True
        return bool(self._until(shown, timeout))

    def wait_line(self, prefix, timeout=10.0):
        """The first output line starting with prefix, waiting for it."""
        return self._until(lambda: next((text for _, text in self.lines
                                         if text.startswith(prefix)), None), timeout)

    def command(self, line, timeout=10.0):
        """Sends a command; its ok/error answer line."""
        first = len(self.texts())
        self.send(line)
        return self._until(lambda: next((text for _, text in self.lines[first:]
                                         if text.startswith(("ok", "error"))), None), timeout)

    def state(self):
        answer = self.command("state")
        return json.loads(answer[3:]) if answer and answer.startswith("ok ") else {}

    def stop(self):
        # End of input logs off and ends the host.
        if self.process.poll() is None:
            try:
                self.process.stdin.close()
                self.process.wait(timeout=15)
            except (OSError, subprocess.TimeoutExpired):
                pass
        super().stop()


class EndToEndTest(unittest.TestCase):
    """Base class: labs and phones made here are stopped after each test."""

    block = 50  # subclasses pick their own 127.0.<block>.x addresses

    def setUp(self):
        self.network = Network(self.block)
        self.labs = []
        self.phones = []
        self.addCleanup(self._stop_all)
        self.folder = tempfile.mkdtemp(prefix="voxline-test-")
        self.addCleanup(shutil.rmtree, self.folder, True)

    def _stop_all(self):
        for phone in self.phones:
            phone.stop()
        for lab in self.labs:
            lab.stop()

    def start_lab(self, index=0, extra=()):
        lab = Lab(address=self.network.lab_address(index), port=2727, nat_port=2829,
                  extra=extra)
        self.labs.append(lab)
        return lab

    def start_phone(self, args=(), call_agents=None, interactive=False):
        agents = call_agents or self.network.lab_address(0)
        phone = Phone(self.network.phone_address(), agents, args, interactive)
        self.phones.append(phone)
        return phone

    def start_host(self, extension="2001", microphone=None, **options):
        if microphone:
            options["env"] = {"VOXLINE_AUDIO": "virtual:mic=%s,speaker=discard" % microphone}
        host = Host(self.network.phone_address(), self.network.lab_address(0), extension,
                    **options)
        self.addCleanup(host.stop)
        return host

    def expect_state(self, host, state, timeout=10.0):
        if not host.wait_state(state, timeout):
            self.fail("state %d not shown within %.0f s; states %s\n%s"
                      % (state, timeout, host.states(), host.describe()))

    def expect(self, phone, pattern, timeout=10.0, from_start=False):
        match = phone.wait_for(pattern, timeout, from_start)
        if match is None:
            self.fail("no line matching %r within %.0f s\n%s" % (pattern, timeout,
                                                                   phone.describe()))
        return match

    def run_probe(self, name, variable, *args, timeout=60):
        """The output lines of the build's program name, run in the test's folder; exits 0."""
        done = subprocess.run([built_program(name, variable), *args], capture_output=True,
                              text=True, timeout=timeout, cwd=self.folder)
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
        return done.stdout.splitlines()

    def endpoint_state(self, lab, phone):
        return lab.command("state %s" % phone.address).get("endpoint") or {}

    def registered(self, lab, phone, key="version"):
        """Waits until the lab holds phone's logon (key "extension": its extension too)."""
        self.assertTrue(lab.wait_for(lambda: self.endpoint_state(lab, phone).get(key)),
                        phone.describe())

    def answer_to(self, lab, phone, verb):
        """The phone's answer to the lab's first command VERB, once it came."""
        def answer():
            texts = [m["text"] for m in lab.messages(phone.address)]
            ids = [m.group(1) for m in (re.match(r"%s (\d+) " % verb, t) for t in texts) if m]
            return next((t for t in texts
                         if ids and re.match(r"\d{3} %s\b" % ids[0], t)), None)
        return lab.wait_for(answer, timeout=10) or ""

    def assert_logged_off(self, lab, phone):
        """The lab saw phone's graceful restart, its log-off."""
        self.assertTrue(lab.wait_for(lambda: [m for m in lab.messages(phone.address) if m[
            "text"].startswith("RSIP") and "RM: graceful" in m["text"]]), phone.describe())

    def echo_call(self, args, hangup_after, timeout=15):
        """One call to the echo line, hung up after hangup_after s; the exited phone."""
        phone = self.start_phone(list(args) + ["--dial", "600", "--hangup-after",
                                               str(hangup_after), "--exit-on-disconnect"])
        self.expect(phone, "event Answered")
        self.expect(phone, "event Disconnected 0", timeout)
        self.assertEqual(phone.wait_exit(), 0, phone.describe())
        return phone

    def call(self, lab, caller, callee, number):
        """Once both are logged on and callee's extension is known, caller dials number."""
        for phone in (callee, caller):
            if isinstance(phone, Phone):
                self.expect(phone, "event ConnectedToCallAgent", from_start=True)
        self.registered(lab, callee, "extension")
        caller.send("call %s" % number)

    def hang_up(self, by, *phones):
        """by hangs up; every phone sees the call end, then quits with 0."""
        by.send("hangup")
        for phone in phones:
            self.expect(phone, "event Disconnected 0")
        for phone in phones:
            phone.send("quit")
            self.assertEqual(phone.wait_exit(), 0, phone.describe())


@unittest.skipUnless(shutil.which("espeak-ng") and shutil.which("sox"),
                     "espeak-ng or sox is not installed")
class SpokenAudioTest(EndToEndTest):
    """Base class for tests that play speech: one folder of WAV files per class."""

    @classmethod
    def setUpClass(cls):
        cls.sounds = tempfile.mkdtemp(prefix="voxline-audio-")
        cls.addClassCleanup(shutil.rmtree, cls.sounds, True)

    @classmethod
    def wav(cls, name, samples):
        path = os.path.join(cls.sounds, name + ".wav")
        audio_check.write_wav(path, samples)
        return path
