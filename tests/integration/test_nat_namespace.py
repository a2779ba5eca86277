"""Behind a real NAT: network namespaces for the home (phone 10.99.1.2), the
router (10.99.1.1 / 198.51.100.2, masquerading UDP to ports 40000-40999) and
the operator (lab and its relay 198.51.100.1, a second phone 198.51.100.3).
The phone at home calls the echo line through the relay. Needs root,
network namespaces, veth pairs and nftables; without them it says why and is
reported skipped. Everything it creates is removed in every outcome."""

import atexit
import ctypes
import json
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
import unittest

from harness import ROOT, EndToEndTest, Phone, phone_program

LAB = os.path.join(ROOT, "tools", "lab", "dialdeck-lab")
SKIP_MARK = "NAT namespace test skipped:"
CLONE_NEWNET = 0x40000000
OUR_NAMESPACE = re.compile(r"vx([0-9a-f]+)[hro]")


def run(*command):
    return subprocess.run(command, capture_output=True, text=True, timeout=20)


class Namespaces:
    """The three namespaces and two veth pairs, under names unique to this run."""

    def __init__(self):
        tag = "vx%x" % (os.getpid() & 0xffffff)  # interface names stay under 16 characters
        self.home, self.router, self.operator = tag + "h", tag + "r", tag + "o"
        self.tag = tag
        self.created = []

    def _do(self, *command):
        result = run(*command)
        if result.returncode != 0:
            raise RuntimeError("%s: %s" % (" ".join(command), result.stderr.strip()))

    @staticmethod
    def _remove(name):
        # Deleting a namespace leaves its processes running in it: end them first.
        for pid in run("ip", "netns", "pids", name).stdout.split():
            try:
                os.kill(int(pid), signal.SIGKILL)
            except (ValueError, OSError):
                pass
        # Deleting a namespace takes its end of each veth pair, and so the pair.
        run("ip", "netns", "del", name)

    def remove_stale(self):
        """Namespaces left by a run that was killed outright (its process is gone)."""
        for line in run("ip", "netns", "list").stdout.splitlines():
            name = line.split(" ", 1)[0]
            match = OUR_NAMESPACE.fullmatch(name)
            if match and not os.path.exists("/proc/%d" % int(match.group(1), 16)):
                self._remove(name)

    def build(self):
        t = self.tag
        self.remove_stale()
        for name in (self.home, self.router, self.operator):
            self._do("ip", "netns", "add", name)
            self.created.append(name)
        self._do("ip", "link", "add", t + "a", "type", "veth", "peer", "name", t + "b")
        self._do("ip", "link", "set", t + "a", "netns", self.home)
        self._do("ip", "link", "set", t + "b", "netns", self.router)
        self._do("ip", "link", "add", t + "w", "type", "veth", "peer", "name", t + "x")
        self._do("ip", "link", "set", t + "w", "netns", self.router)
        self._do("ip", "link", "set", t + "x", "netns", self.operator)
        for ns, device, addresses in ((self.home, t + "a", ["10.99.1.2/24"]),
                                      (self.router, t + "b", ["10.99.1.1/24"]),
                                      (self.router, t + "w", ["198.51.100.2/24"]),
                                      (self.operator, t + "x",
                                       ["198.51.100.1/24", "198.51.100.3/24"])):
            for address in addresses:
                self._do("ip", "-n", ns, "addr", "add", address, "dev", device)
            self._do("ip", "-n", ns, "link", "set", device, "up")
            self._do("ip", "-n", ns, "link", "set", "lo", "up")
        self._do("ip", "-n", self.home, "route", "add", "default", "via", "10.99.1.1")
        self._do("ip", "netns", "exec", self.router, "sh", "-c",
                 "echo 1 > /proc/sys/net/ipv4/ip_forward")
        self._do("ip", "netns", "exec", self.router, "nft", "add", "table", "ip", "nat")
        self._do("ip", "netns", "exec", self.router, "nft",
                 "add chain ip nat post { type nat hook postrouting priority 100 ; }")
        self._do("ip", "netns", "exec", self.router, "nft", "add", "rule", "ip", "nat", "post",
                 "oifname", t + "w", "meta", "l4proto", "udp", "masquerade", "to", ":40000-40999")

    def remove(self):
        for name in self.created:
            self._remove(name)
        self.created = []


def connect_in(namespace, address):
    """A TCP connection made from inside namespace (a thread enters it)."""
    libc = ctypes.CDLL(None, use_errno=True)
    result = {}

    def connect():
        fd = os.open("/run/netns/" + namespace, os.O_RDONLY)
        try:
            if libc.setns(fd, CLONE_NEWNET) != 0:
                raise OSError(ctypes.get_errno(), "setns")
            result["socket"] = socket.create_connection(address, timeout=5)
        except OSError as problem:
            result["error"] = problem
        finally:
            os.close(fd)

    thread = threading.Thread(target=connect)
    thread.start()
    thread.join(10)
    if "socket" not in result:
        raise RuntimeError("cannot reach the lab's control port: %s" % result.get("error"))
    return result["socket"]


class NamespacedLab:
    def __init__(self, namespace, address):
        self.process = subprocess.Popen(
            ["ip", "netns", "exec", namespace, sys.executable, LAB, "--address", address,
             "--allow-network", "198.51.100.0/24", "--control-port", "0", "--quiet"],
            stdout=subprocess.PIPE, text=True)
        line = ""
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline and not line.startswith("lab ready"):
            line = self.process.stdout.readline()
            if not line:
                break
        match = re.search(r"control=([\d.]+):(\d+)", line)
        if not match:
            self.stop()
            raise RuntimeError("lab did not start: %r" % line)
        self._control = connect_in(namespace, (match.group(1), int(match.group(2))))
        self._reader = self._control.makefile("r", encoding="utf-8")

    def command(self, line):
        self._control.sendall((line + "\n").encode("utf-8"))
        return json.loads(self._reader.readline())

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait(5)
        self.process.stdout.close()
        if getattr(self, "_control", None):
            self._reader.close()
            self._control.close()


def interrupt(_signal, _frame):
    raise KeyboardInterrupt


def skip(reason):
    print("%s %s" % (SKIP_MARK, reason), file=sys.stderr, flush=True)
    raise unittest.SkipTest(reason)


class RealNatTest(EndToEndTest):
    @classmethod
    def setUpClass(cls):
        if os.geteuid() != 0:
            skip("needs root for network namespaces")
        for tool in ("ip", "nft"):
            if shutil.which(tool) is None:
                skip("%s is not installed" % tool)
        cls.namespaces = Namespaces()
        atexit.register(cls.namespaces.remove)
        # A terminated run unwinds, so its namespaces are removed too.
        signal.signal(signal.SIGTERM, interrupt)
        try:
            cls.namespaces.build()
        except (RuntimeError, subprocess.TimeoutExpired) as problem:
            cls.namespaces.remove()
            skip("cannot build the namespaces: %s" % problem)
        # Phones run inside their namespace through a small wrapper program.
        cls.wrappers = tempfile.mkdtemp(prefix="voxline-netns-")
        cls.real_phone = phone_program()

    @classmethod
    def tearDownClass(cls):
        cls.namespaces.remove()
        shutil.rmtree(cls.wrappers, ignore_errors=True)

    def setUp(self):
        super().setUp()
        self.lab = NamespacedLab(self.namespaces.operator, "198.51.100.1")
        self.labs.append(self.lab)  # stopped after the phones have logged off

    def phone_in(self, namespace, address, args=()):
        wrapper = os.path.join(self.wrappers, namespace)
        with open(wrapper, "w") as handle:
            handle.write('#!/bin/sh\nexec ip netns exec %s %s "$@"\n' % (namespace, self.real_phone))
        os.chmod(wrapper, 0o755)
        saved = os.environ.get("VOXLINE_CALL")
        os.environ["VOXLINE_CALL"] = wrapper
        try:
            phone = Phone(address, "198.51.100.1", args)
        finally:
            if saved is None:
                del os.environ["VOXLINE_CALL"]
            else:
                os.environ["VOXLINE_CALL"] = saved
        self.phones.append(phone)
        return phone

    def freed_allocations(self):
        deadline = time.monotonic() + 10
        while True:
            report = self.lab.command("relay 198.51.100.1 report")
            freed = [a for a in report["allocations"] if a["freed"]]
            if freed or time.monotonic() > deadline:
                return freed, report
            time.sleep(0.1)

    def test_phone_at_home_is_behind_the_nat_and_talks_through_the_relay(self):
        phone = self.phone_in(self.namespaces.home, "10.99.1.2",
                              ["--proxy", "198.51.100.1", "--proxy-port", "2830",
                               "--dial", "600", "--hangup-after", "3"])
        self.expect(phone, "event GenericEvent 3 0 0", timeout=20)
        self.expect(phone, "event ConnectedToCallAgent")
        found = re.search(r"NAT info 198\.51\.100\.2:(\d+) \(behind a NAT\)", phone.log())
        self.assertIsNotNone(found, phone.describe())
        self.assertTrue(40000 <= int(found.group(1)) <= 40999, found.group(0))
        requests = self.lab.command("nat report")["requests"]
        self.assertEqual(requests[0]["from"], "198.51.100.2:%s" % found.group(1))

        self.expect(phone, "event Answered", timeout=30)
        stats = self.expect(phone, r"event GenericEvent 4 (\d+) (\d+) \d+", timeout=15)
        self.expect(phone, "event Disconnected 0", timeout=15)
        proxied = re.search(r"Proxy RTP 198\.51\.100\.1:(\d+)", phone.log())
        self.assertIsNotNone(proxied, phone.describe())
        freed, report = self.freed_allocations()
        self.assertEqual(len(freed), 1, report)
        allocation = freed[0]
        self.assertEqual(allocation["port"], int(proxied.group(1)), allocation)
        # The relay met the phone only as the router's public side.
        leg_ip, leg_port = allocation["endpoint_leg"].rsplit(":", 1)
        self.assertEqual(leg_ip, "198.51.100.2", allocation)
        self.assertTrue(40000 <= int(leg_port) <= 40999, allocation)
        self.assertEqual({m["from"].rsplit(":", 1)[0] for m in report["messages"]},
                         {"198.51.100.2"}, report["messages"])
        # RTP both ways: through the relay and back through the NAT to the phone.
        self.assertGreater(allocation["to_far"], 0, allocation)
        self.assertGreater(allocation["to_endpoint"], 0, allocation)
        self.assertGreater(int(stats.group(1)), 0, stats.group(0))
        self.assertGreater(int(stats.group(2)), 0, stats.group(0))

    def test_phone_beside_the_operator_is_not(self):
        phone = self.phone_in(self.namespaces.operator, "198.51.100.3")
        self.expect(phone, "event ConnectedToCallAgent", timeout=20)
        self.assertNotIn("event GenericEvent 3 0 0", phone.events())
        self.assertIn("NAT info 198.51.100.3:3400 (not behind a NAT)", phone.log())


if __name__ == "__main__":
    unittest.main()
