"""Behind a real NAT in network namespaces: home (phone 10.99.1.2), router
(10.99.1.1 / 198.51.100.2, masquerading UDP to ports 40000-40999) and operator
(lab and relay 198.51.100.1). Needs root and nftables, else says why and is
skipped; everything it makes is removed."""

import atexit
import ctypes
import os
import re
import shlex
import shutil
import signal
import socket
import subprocess
import threading

from harness import EndToEndTest, Lab, Phone, phone_program, skip_loudly

CLONE_NEWNET = 0x40000000
OURS = re.compile(r"vx([0-9a-f]+)[hro]")
TAG = "vx%x" % (os.getpid() & 0xffffff)  # interface names stay under 16 characters
NAMESPACES = HOME, ROUTER, OPERATOR = TAG + "h", TAG + "r", TAG + "o"
# Two veth pairs, home a-b router and router w-x operator (each namespace made
# first, its lo up): each end's namespace, name and address.
ENDS = [(HOME, "a", "10.99.1.2/24"), (ROUTER, "b", "10.99.1.1/24"),
        (ROUTER, "w", "198.51.100.2/24"), (OPERATOR, "x", "198.51.100.1/24")]
SETUP = ["ip link add {t}a netns {h} type veth peer name {t}b netns {r}",
         "ip link add {t}w netns {r} type veth peer name {t}x netns {o}"]
SETUP += ["ip -n %s addr add %s dev {t}%s" % (n, address, end) for n, end, address in ENDS]
SETUP += ["ip -n %s link set {t}%s up" % (n, end) for n, end, _ in ENDS] + """\
ip -n {h} route add default via 10.99.1.1
ip netns exec {r} sysctl -qw net.ipv4.ip_forward=1
ip netns exec {r} nft add table ip nat
ip netns exec {r} nft 'add chain ip nat post {{ type nat hook postrouting priority 100 ; }}'
ip netns exec {r} nft add rule ip nat post oifname {t}w meta l4proto udp masquerade to :40000-40999
""".splitlines()
SETUP = [line.format(t=TAG, h=HOME, r=ROUTER, o=OPERATOR) for line in SETUP]


def run(*command):
    return subprocess.run(command, capture_output=True, text=True, timeout=20)


def remove(*names):
    # Deleting a namespace leaves its processes running in it: end them first.
    # Its end of each veth pair goes with it, and so the pair.
    for name in names:
        for pid in run("ip", "netns", "pids", name).stdout.split():
            try:
                os.kill(int(pid), signal.SIGKILL)
            except (ValueError, OSError):
                pass
        run("ip", "netns", "del", name)


def build():
    # Namespaces left by a run that was killed outright (its process is gone).
    for line in run("ip", "netns", "list").stdout.splitlines():
        match = OURS.fullmatch(line.split(" ", 1)[0])
        if match and not os.path.exists("/proc/%d" % int(match.group(1), 16)):
            remove(match.group(0))
    for line in (["ip netns add " + name for name in NAMESPACES] + SETUP +
                 ["ip -n %s link set lo up" % name for name in NAMESPACES]):
        result = run(*shlex.split(line))
        if result.returncode != 0:
            raise RuntimeError("%s: %s" % (line, result.stderr.strip()))


def connect_in(namespace, address, timeout):
    """A TCP connection made from inside namespace, by a thread that enters it."""
    result = []

    def connect():
        try:
            with open("/run/netns/" + namespace) as handle:
                if ctypes.CDLL(None, use_errno=True).setns(handle.fileno(), CLONE_NEWNET):
                    raise OSError(ctypes.get_errno(), "setns")
                result.append(socket.create_connection(address, timeout=timeout))
        except OSError as problem:
            result.append(problem)

    thread = threading.Thread(target=connect)
    thread.start()
    thread.join(10)
    if not result or isinstance(result[0], OSError):
        raise RuntimeError("cannot reach the lab's control port: %s" % result)
    return result[0]


class RealNatTest(EndToEndTest):
    @classmethod
    def setUpClass(cls):
        if os.geteuid() != 0:
            skip_loudly("NAT namespace", "needs root for network namespaces")
        for tool in ("ip", "nft"):
            if shutil.which(tool) is None:
                skip_loudly("NAT namespace", "%s is not installed" % tool)
        atexit.register(remove, *NAMESPACES)
        # Also when the class set-up fails; a terminated run unwinds, so then too.
        cls.addClassCleanup(remove, *NAMESPACES)
        signal.signal(signal.SIGTERM, signal.default_int_handler)
        try:
            build()
        except (RuntimeError, subprocess.TimeoutExpired) as problem:
            skip_loudly("NAT namespace", "cannot build the namespaces: %s" % problem)

    def test_phone_at_home_is_behind_the_nat_and_talks_through_the_relay(self):
        self.lab = Lab("198.51.100.1", port=2727, nat_port=2829,
                       extra=["--allow-network", "198.51.100.0/24"],
                       prefix=["ip", "netns", "exec", OPERATOR],
                       connect=lambda address, timeout: connect_in(OPERATOR, address, timeout))
        self.labs.append(self.lab)  # stopped after the phone has logged off
        # The phone runs inside the home namespace through a small wrapper program.
        wrapper = os.path.join(self.folder, "phone")
        with open(wrapper, "w") as handle:
            handle.write('#!/bin/sh\nexec ip netns exec %s %s "$@"\n' % (HOME, phone_program()))
        os.chmod(wrapper, 0o755)
        phone = Phone("10.99.1.2", "198.51.100.1", ["--proxy", "198.51.100.1", "--proxy-port",
                                                    "2830", "--dial", "600", "--hangup-after", "3"],
                      program=wrapper)
        self.phones.append(phone)
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
        report = lambda: self.lab.command("relay 198.51.100.1 report")  # noqa: E731
        self.lab.wait_for(lambda: any(a["freed"] for a in report()["allocations"]), 10)
        relay = report()
        freed = [a for a in relay["allocations"] if a["freed"]]
        self.assertEqual(len(freed), 1, relay)
        self.assertEqual(freed[0]["port"], int(proxied.group(1)), freed)
        # The relay met the phone only as the router's public side.
        leg_ip, leg_port = freed[0]["endpoint_leg"].rsplit(":", 1)
        self.assertEqual(leg_ip, "198.51.100.2", freed)
        self.assertTrue(40000 <= int(leg_port) <= 40999, freed)
        self.assertEqual({m["from"].rsplit(":", 1)[0] for m in relay["messages"]},
                         {"198.51.100.2"}, relay["messages"])
        # RTP both ways: through the relay and back through the NAT to the phone.
        self.assertGreater(min(freed[0]["to_far"], freed[0]["to_endpoint"]), 0, freed)
        self.assertGreater(min(int(stats.group(1)), int(stats.group(2))), 0, stats.group(0))
