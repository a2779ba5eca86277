"""The dialdeck program under its own Xvfb display, with the lab's application
folder, driven by xdotool as a person would drive it."""

import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

from harness import built_program
from lab_process import LAB, wait_until


class Display:
    """An Xvfb server on :number, stopped with the test."""

    def __init__(self, number):
        if not shutil.which("Xvfb") or not shutil.which("xdotool"):
            raise unittest.SkipTest("Xvfb or xdotool is not installed")
        self.name = ":%d" % number
        socket = "/tmp/.X11-unix/X%d" % number
        self.process = subprocess.Popen(
            ["Xvfb", self.name, "-screen", "0", "800x700x24", "-nolisten", "tcp"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if not wait_until(lambda: os.path.exists(socket) or self.process.poll() is not None,
                          10) or self.process.poll() is not None:
            raise RuntimeError("Xvfb %s did not start" % self.name)

    def xdotool(self, *args, timeout=10):
        return subprocess.run(["xdotool", *args], env=dict(os.environ, DISPLAY=self.name),
                              capture_output=True, text=True, timeout=timeout)

    def window(self, name, timeout=20.0):
        """The id of the visible window named exactly name, waiting for it."""
        def find():
            found = self.xdotool("search", "--onlyvisible", "--name", "^%s$" % name)
            return found.stdout.split()[0] if found.stdout.split() else None
        return wait_until(find, timeout, 0.2)

    def type_into(self, window, *steps):
        """Focuses window, then types: ("type", text) or ("key", name)."""
        self.xdotool("windowfocus", window)
        time.sleep(0.3)
        for kind, text in steps:
            self.xdotool(kind, "--delay", "40", text)

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            self.process.wait(5)


def write_app_folder(folder, address, tls_dir):
    subprocess.run([sys.executable, LAB, "--address", address, "--tls-dir", tls_dir,
                    "--write-app-folder", folder], check=True, capture_output=True, timeout=30)


class Dialdeck:
    """One dialdeck process on display; its standard error kept in a file."""

    def __init__(self, display, app_folder, local_address, env=None):
        self.home = tempfile.mkdtemp(prefix="dialdeck-run-")
        environment = dict(os.environ, DISPLAY=display.name, QT_QPA_PLATFORM="xcb",
                           DIALDECK_HOME=app_folder, VOXLINE_HOME=self.home,
                           KESTREL_LOCAL_IP=local_address, KESTREL_MIXER="none",
                           DIALDECK_URL_LOG=os.path.join(self.home, "urls.log"))
        environment.setdefault("VOXLINE_AUDIO", "virtual:mic=tone:440,speaker=discard")
        environment.update(env or {})
        self.stderr_path = os.path.join(self.home, "stderr.txt")
        self._stderr = open(self.stderr_path, "w")
        self.process = subprocess.Popen([built_program("dialdeck", "DIALDECK")],
                                        stdout=subprocess.DEVNULL, stderr=self._stderr,
                                        env=environment)

    def stderr(self):
        with open(self.stderr_path) as handle:
            return handle.read()

    def terminate(self, timeout=20):
        """SIGTERM; the exit code."""
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
        try:
            return self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait(5)
            return None

    def stop(self):
        self.terminate()
        self._stderr.close()
        shutil.rmtree(self.home, ignore_errors=True)
