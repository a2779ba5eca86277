"""Processes for the end-to-end tests: the operator lab and voxline-call
phones, each phone on its own loopback address and VOXLINE_HOME.

Every wait is bounded; every process is stopped when its test ends."""

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


def phone_program():
    return built_program("voxline-call", "VOXLINE_CALL")


def release(process, log, home):
    """Closes what a stopped process leaves open and removes its home."""
    for stream in (process.stdin, process.stdout, log):
        try:
            stream.close()
        except (OSError, ValueError):
            pass
    shutil.rmtree(home, ignore_errors=True)


class Network:
    """Loopback addresses 127.0.<block>.x for one test module, so that modules
    can run side by side; the RTP and NAT ports are fixed per address."""

    def __init__(self, block):
        self.block = block
        self._next_host = 2

    def lab_address(self, index=0):
        return "127.0.%d.%d" % (self.block, 1 + 100 * index)

    def phone_address(self):
        address = "127.0.%d.%d" % (self.block, self._next_host)
        self._next_host += 1
        return address


class Phone:
    """One voxline-call process; its output lines are collected as they come."""

    def __init__(self, address, call_agents, args=(), interactive=False):
        self.address = address
        self.home = tempfile.mkdtemp(prefix="voxline-home-")
        env = dict(os.environ, VOXLINE_HOME=self.home)
        # No test touches a real sound card: a silent virtual one stands in.
        env.setdefault("VOXLINE_AUDIO", "virtual:mic=silence,speaker=discard")
        command = [phone_program(), "--call-agent", call_agents, "--local-ip", address]
        command += list(args)
        if interactive:
            command.append("--interactive")
        self.lines = []
        self._queue = queue.Queue()
        # A file, not a pipe: nobody reads stderr while the phone runs.
        self._stderr = open(os.path.join(self.home, "stderr.txt"), "w")
        self.process = subprocess.Popen(
            command, stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=self._stderr,
            text=True, env=env)
        self._reader = threading.Thread(target=self._read, daemon=True)
        self._reader.start()
        self._position = 0
        self._eof = False

    def _read(self):
        for line in self.process.stdout:
            self._queue.put((time.monotonic(), line.rstrip("\n")))
        self._queue.put(None)

    def _drain(self, timeout):
        try:
            item = self._queue.get(timeout=timeout)
        except queue.Empty:
            return False
        if item is None:
            self._eof = True
            return False
        self.lines.append(item)
        return True

    def wait_for(self, pattern, timeout=10.0, from_start=False):
        """Waits for a line matching pattern after the last one matched (or
        anywhere, with from_start); returns the match or None."""
        regex = re.compile(pattern)
        deadline = time.monotonic() + timeout
        while True:
            for index in range(0 if from_start else self._position, len(self.lines)):
                match = regex.fullmatch(self.lines[index][1])
                if match:
                    self._position = max(self._position, index + 1)
                    return match
            remaining = deadline - time.monotonic()
            if remaining <= 0 or self._eof:
                return None
            self._drain(remaining)

    def events(self):
        while self._drain(0):
            pass
        return [text for _, text in self.lines if text.startswith("event ")]

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
        release(self.process, self._stderr, self.home)

    def log(self):
        """The engine's own log: forwarded lines may be dropped when many come at once."""
        with open(os.path.join(self.home, "vxl.log"), encoding="latin-1") as handle:
            return handle.read()

    def describe(self):
        def tail(name, count):
            path = os.path.join(self.home, name)
            if not os.path.exists(path):
                return ""
            with open(path, encoding="latin-1") as handle:
                return "".join(handle.readlines()[-count:])

        return "phone %s output:\n%s\nstderr:\n%s\nvxl.log tail:\n%s" % (
            self.address, "\n".join(text for _, text in self.lines), tail("stderr.txt", 20),
            tail("vxl.log", 30))


class EndToEndTest(unittest.TestCase):
    """Base class: labs and phones made here are stopped after each test."""

    block = 50  # subclasses pick their own 127.0.<block>.x addresses

    def setUp(self):
        self.network = Network(self.block)
        self.labs = []
        self.phones = []
        self.addCleanup(self._stop_all)

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

    def expect(self, phone, pattern, timeout=10.0, from_start=False):
        match = phone.wait_for(pattern, timeout, from_start)
        if match is None:
            self.fail("no line matching %r within %.0f s\n%s" % (pattern, timeout,
                                                                   phone.describe()))
        return match

    def endpoint_state(self, lab, phone):
        answer = lab.command("state %s" % phone.address)
        return answer.get("endpoint")


@unittest.skipUnless(shutil.which("espeak-ng"), "espeak-ng is not installed")
class SpokenAudioTest(EndToEndTest):
    """Base class for tests that play speech: one folder of WAV files per class."""

    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.mkdtemp(prefix="voxline-audio-")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.folder, ignore_errors=True)

    @classmethod
    def wav(cls, name, samples):
        path = os.path.join(cls.folder, name + ".wav")
        audio_check.write_wav(path, samples)
        return path
