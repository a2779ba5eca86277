#!/usr/bin/env python3
"""What NAT discovery and the media relay add to a call, as the lab sees it
(medians of --runs runs on loopback 127.0.82.x; goal: each step under 5 ms
above direct):

- logon test: the RSIP answer to the dynamic-information NTFY with a NAT
  query, minus the same with the override file (no query);
- CRCX and MDCX to their answers: direct, NAT-mapped (override file, no
  relay: a query from the RTP socket at open) and relayed (allocation at
  open, probe at enable);
- DLCX to its answer, direct and relayed (with the release);
- the MDCX answer to the phone's first RTP on the wire (seen on lo, needs
  root), direct, NAT-mapped and relayed; relayed, also to the first RTP
  crossing the relay each way.

It reports; it does not judge."""

import argparse
import os
import socket
import statistics
import sys
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tests", "integration"))

from harness import Network, Phone  # noqa: E402
from lab_process import Lab  # noqa: E402

BLOCK = 82
GOAL_MS = 5.0
RTP_PORT = 3400
ETH_P_IP = 0x0800


class RtpOnTheWire:
    """When each phone sent RTP from its port 3400, read off the loopback
    device by a packet socket (root only; without it there are no figures)."""

    def __init__(self):
        self.sent = {}  # phone address -> monotonic times
        self._stop = threading.Event()
        try:
            self._socket = socket.socket(socket.AF_PACKET, socket.SOCK_RAW,
                                         socket.htons(ETH_P_IP))
            self._socket.bind(("lo", 0))
            self._socket.settimeout(0.2)
        except (AttributeError, OSError) as problem:
            print("no RTP wire times: %s" % problem, file=sys.stderr)
            self._socket = None
            return
        self._thread = threading.Thread(target=self._read, daemon=True)
        self._thread.start()

    def _read(self):
        while not self._stop.is_set():
            try:
                frame = self._socket.recv(2048)
            except socket.timeout:
                continue
            except OSError:
                return
            now = time.monotonic()
            ip = frame[14:]  # behind the loopback device's Ethernet-style header
            if len(ip) < 28 or ip[9] != socket.IPPROTO_UDP:
                continue
            udp = ip[(ip[0] & 0x0F) * 4:]
            if len(udp) < 9 or int.from_bytes(udp[0:2], "big") != RTP_PORT:
                continue
            if udp[8] & 0xC0 == 0x80:  # RTP version 2, not relay control text
                self.sent.setdefault(socket.inet_ntoa(ip[12:16]), []).append(now)

    def first_after(self, address, moments):
        times = self.sent.get(address, [])
        return [(next(t for t in times if t > moment) - moment) * 1000.0
                for moment in moments if any(t > moment for t in times)]

    def close(self):
        self._stop.set()
        if self._socket:
            self._thread.join(2)
            self._socket.close()


def fail(text, phone=None):
    raise SystemExit(text + ("\n" + phone.describe() if phone else ""))


class Session:
    """One lab (its NAT service on 2829, its relay on 2830) and the phones in turn."""

    def __init__(self):
        self.network = Network(BLOCK)
        self.lab = Lab(address=self.network.lab_address(), port=2727, nat_port=2829)
        self.relay = "relay %s" % self.network.lab_address()

    def phone(self, address, mode, args=(), interactive=False):
        if mode == "relayed":
            args = ["--proxy", self.network.lab_address(), "--proxy-port", "2830"] + list(args)
        # Registration waits until the override file is in place.
        self.lab.command("silent on")
        phone = Phone(address, self.network.lab_address(), args, interactive)
        if mode != "direct":
            open(os.path.join(phone.home, "vxl.nat"), "w").close()
        self.lab.command("silent off")
        if phone.wait_for("event ConnectedToCallAgent", 20) is None:
            phone.stop()
            fail("the phone did not register", phone)
        return phone

    def messages(self, phone):
        return self.lab.messages(phone.address)

    def close(self):
        self.lab.stop()


def logon_ms(session, address, mode):
    """The RSIP answer to the first dynamic-information NTFY after it."""
    phone = session.phone(address, mode)
    try:
        def measured():
            messages = session.messages(phone)
            rsip = {str(m["tid"]) for m in messages
                    if m["dir"] == "in" and m["text"].startswith("RSIP")}
            answers = [m for m in messages if m["dir"] == "out" and
                       m["text"].split()[:1] == ["200"] and m["text"].split()[1] in rsip]
            if not answers:
                return None
            notify = [m for m in messages if m["dir"] == "in" and m["t"] > answers[-1]["t"] and
                      m["text"].startswith("NTFY") and "Tarn/" in m["text"]]
            return (notify[0]["t"] - answers[-1]["t"]) * 1000.0 if notify else None
        value = session.lab.wait_for(measured, timeout=10)
        if value is None:
            fail("no dynamic-information NTFY after the RSIP answer", phone)
        return value
    finally:
        phone.stop()


def call_runs(session, wire, address, mode, runs):
    """Answer times of CRCX, MDCX and DLCX over runs calls to 600, and the
    MDCX answer to the first RTP on the wire and (relayed) through the relay."""
    phone = session.phone(address, mode, interactive=True)
    try:
        for _ in range(runs):
            phone.send("call 600")
            if phone.wait_for("event Answered", 30) is None:
                fail("the call was not answered (%s)" % mode, phone)
            time.sleep(0.3)  # media both ways
            phone.send("hangup")
            if phone.wait_for("event Disconnected 0", 15) is None:
                fail("the call did not end (%s)" % mode, phone)
            session.lab.wait_for(lambda: [m for m in session.messages(phone)[-3:]
                                          if m["dir"] == "in" and m["text"].startswith("250 ")])
            time.sleep(0.2)
        messages = session.messages(phone)
        sent = {m["tid"]: m["text"].split(" ", 1)[0] for m in messages
                if m["dir"] == "out" and "tid" in m and not m["text"][:1].isdigit()}
        answers = {}
        mdcx_answered = []
        for m in messages:
            if m["dir"] == "in" and "answer_ms" in m and m.get("tid") in sent:
                answers.setdefault(sent[m["tid"]], []).append(m["answer_ms"])
                if sent[m["tid"]] == "MDCX":
                    mdcx_answered.append(m["t"])
        first_media = {"to_far": [], "to_endpoint": [],
                       "wire": wire.first_after(address, mdcx_answered)}
        if mode == "relayed":
            for allocation in session.lab.command("%s report" % session.relay)["allocations"]:
                for way in first_media:
                    t = allocation.get("first_%s_t" % way)
                    before = [a for a in mdcx_answered if t is not None and a <= t]
                    if before:
                        first_media[way].append((t - before[-1]) * 1000.0)
        return answers, first_media
    finally:
        phone.stop()


def median(values):
    return statistics.median(values) if values else float("nan")


def row(name, values, direct=None, baseline="direct"):
    text = "%-50s n=%-3d median %8.3f ms" % (name, len(values), median(values))
    if direct is not None:
        above = median(values) - median(direct)
        text += "  %+8.3f ms above %s (%s)" % (above, baseline, "within goal" if above < GOAL_MS
                                                else "over goal")
    print(text)


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--runs", type=int, default=10)
    args = parser.parse_args()
    session = Session()
    network = session.network
    wire = RtpOnTheWire()
    try:
        addresses = {mode: network.phone_address() for mode in ("direct", "mapped", "relayed")}
        logon = {"query": [], "override": []}
        for _ in range(args.runs):
            logon["query"].append(logon_ms(session, addresses["direct"], "direct"))
            logon["override"].append(logon_ms(session, addresses["mapped"], "mapped"))
        session.lab.command("silent off")
        results = {mode: call_runs(session, wire, address, mode, args.runs)
                   for mode, address in addresses.items()}
    finally:
        wire.close()
        session.close()

    print("Goal: each step under %.0f ms above direct; medians of %d runs." % (GOAL_MS, args.runs))
    row("logon: RSIP answer to NTFY, override file", logon["override"])
    row("logon: RSIP answer to NTFY, NAT query", logon["query"], logon["override"], "override")
    direct = results["direct"][0]
    for verb in ("CRCX", "MDCX", "DLCX"):
        row("%s to its answer, direct" % verb, direct.get(verb, []))
        for mode in ("mapped", "relayed"):
            if verb == "DLCX" and mode == "mapped":
                continue
            row("%s to its answer, %s" % (verb, "NAT-mapped" if mode == "mapped" else mode),
                results[mode][0].get(verb, []), direct.get(verb, []))
    row("MDCX answer to first RTP on the wire, direct", results["direct"][1]["wire"])
    for mode in ("mapped", "relayed"):
        row("MDCX answer to first RTP on the wire, %s" % (
            "NAT-mapped" if mode == "mapped" else mode), results[mode][1]["wire"],
            results["direct"][1]["wire"])
    first_media = results["relayed"][1]
    row("relayed: MDCX answer to first RTP to the far end", first_media["to_far"])
    row("relayed: MDCX answer to first RTP to the phone", first_media["to_endpoint"])


if __name__ == "__main__":
    main()
