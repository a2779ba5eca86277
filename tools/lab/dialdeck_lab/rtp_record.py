"""What line 600 saw of a call's RTP, each way, and the impairments it puts
on the way back: drop, duplicate, swap, hold back, delay, seeded loss and
jitter. Deterministic, so that a test can predict the phone's counters."""

import random
import struct
import time

from .services import DelayedSends

MAX_KEYS = 16  # distinct payload types, sizes, SSRCs or steps kept per record
SEQUENCE_WINDOW = 4096  # how far back a missing sequence number is still waited for


def parse_rtp(data):
    """(payload type, sequence, timestamp, SSRC, payload bytes), or None for
    anything that is not a whole version 2 RTP packet."""
    if len(data) < 12 or data[0] >> 6 != 2:
        return None
    first, second, sequence, timestamp, ssrc = struct.unpack_from("!BBHII", data)
    header = 12 + 4 * (first & 0x0F)
    if first & 0x10:
        if len(data) < header + 4:
            return None
        header += 4 + 4 * struct.unpack_from("!H", data, header + 2)[0]
    payload = len(data) - header
    if first & 0x20:
        padding = data[-1] if payload > 0 else 0
        if padding == 0 or padding > payload:
            return None
        payload -= padding
    if payload < 0:
        return None
    return second & 0x7F, sequence, timestamp, ssrc, payload


def _tally(table, key):
    """Counts key; past MAX_KEYS distinct keys the rest go under "other"."""
    key = str(key)
    if key not in table and len(table) >= MAX_KEYS:
        key = "other"
    table[key] = table.get(key, 0) + 1


class StreamRecord:
    """One direction of one call: what went past, in arrival order."""

    def __init__(self):
        self.packets = 0
        self.bytes = 0
        self.non_rtp = 0
        self.payload_types = {}
        self.sizes = {}
        self.ssrcs = {}
        self.timestamp_steps = {}
        self.tos = {}
        self.reorders = 0
        self.duplicates = 0
        self._highest = None  # extended sequence number
        self._last_timestamp = None
        self._missing = set()
        self._forgotten = 0
        self._forgotten_gaps = 0
        self._last_arrival = None
        self._gaps_ms = []  # min, sum, max, count of inter-arrival times

    def add(self, data, now=None, tos=None):
        """Returns the parsed packet, or None when data is not RTP."""
        now = time.monotonic() if now is None else now
        if tos is not None:
            _tally(self.tos, "0x%02x" % tos)
        rtp = parse_rtp(data)
        if rtp is None:
            self.non_rtp += 1
            return None
        payload_type, sequence, timestamp, ssrc, payload = rtp
        self.packets += 1
        self.bytes += len(data)
        _tally(self.payload_types, payload_type)
        _tally(self.sizes, payload)
        _tally(self.ssrcs, "%08x" % ssrc)
        if self._last_arrival is not None:
            step = (now - self._last_arrival) * 1000.0
            if self._gaps_ms:
                low, total, high, count = self._gaps_ms
                self._gaps_ms = [min(low, step), total + step, max(high, step), count + 1]
            else:
                self._gaps_ms = [step, step, step, 1]
        self._last_arrival = now
        self._sequence(sequence, timestamp)
        return rtp

    def _sequence(self, sequence, timestamp):
        if self._highest is None:
            self._highest = sequence
            self._last_timestamp = timestamp
            return
        distance = (sequence - self._highest + 0x8000) % 0x10000 - 0x8000
        extended = self._highest + distance
        if distance > 0:
            self._missing.update(range(self._highest + 1, extended))
            if distance == 1:
                _tally(self.timestamp_steps, (timestamp - self._last_timestamp) % 0x100000000)
            self._highest = extended
            self._last_timestamp = timestamp
            if len(self._missing) > SEQUENCE_WINDOW or extended % 256 == 0:
                self._forget(extended - SEQUENCE_WINDOW)
        elif extended in self._missing:
            self._missing.discard(extended)
            self.reorders += 1
        else:
            self.duplicates += 1

    def _forget(self, before):
        old = sorted(s for s in self._missing if s < before)
        if old:
            self._forgotten += len(old)
            self._forgotten_gaps += _runs(old)
            self._missing.difference_update(old)

    def summary(self):
        missing = sorted(self._missing)
        arrival = None
        if self._gaps_ms:
            low, total, high, count = self._gaps_ms
            arrival = {"min": round(low, 3), "mean": round(total / count, 3),
                       "max": round(high, 3)}
        return {
            "packets": self.packets, "bytes": self.bytes, "non_rtp": self.non_rtp,
            "payload_types": self.payload_types, "sizes": self.sizes, "ssrcs": self.ssrcs,
            "lost": len(missing) + self._forgotten,
            "gaps": _runs(missing) + self._forgotten_gaps,
            "reorders": self.reorders, "duplicates": self.duplicates,
            "timestamp_steps": self.timestamp_steps, "inter_arrival_ms": arrival,
            "tos": self.tos,
        }


def _runs(ordered):
    return sum(1 for i, s in enumerate(ordered) if i == 0 or ordered[i - 1] != s - 1)


# Rule name -> (parser of its value, what it means). Counts are of the
# packets line 600 receives on the call, from 1.
def _count(text):
    value = int(text)
    if value < 1:
        raise ValueError("a count is at least 1")
    return value


def _hold(text):
    every, _, packets = text.partition(":")
    return _count(every), _count(packets)


def _milliseconds(text):
    value = float(text)
    if not 0 <= value <= 10000:
        raise ValueError("milliseconds are 0..10000")
    return value


def _percent(text):
    value = float(text)
    if not 0 <= value <= 100:
        raise ValueError("a percentage is 0..100")
    return value


RULES = {
    "drop": (_count, "drop=N: every Nth packet is not returned"),
    "dup": (_count, "dup=N: every Nth packet is returned twice"),
    "swap": (_count, "swap=N: every Nth packet is returned after the next"),
    "late": (_hold, "late=N:K: every Nth packet is held back K packets"),
    "delay": (_milliseconds, "delay=MS: every packet is returned MS later"),
    "loss": (_percent, "loss=PCT: that share of packets is lost at random (seeded)"),
    "jitter": (_milliseconds, "jitter=MS: each packet is delayed up to MS more at random"),
    "seed": (int, "seed=S: the seed of loss and jitter (default 1)"),
}


def parse_rules(text):
    """"drop=25,dup=30 seed=7" -> dict; "off" or "" -> {}. ValueError on a bad rule."""
    rules = {}
    for word in text.replace(",", " ").split():
        if word == "off":
            continue
        name, equals, value = word.partition("=")
        if name not in RULES or not equals:
            raise ValueError("unknown RTP impairment %r (rules: %s)" % (word, ", ".join(RULES)))
        try:
            rules[name] = RULES[name][0](value)
        except ValueError as problem:
            raise ValueError("bad RTP impairment %r: %s" % (word, problem)) from None
    return rules


def format_rules(rules):
    return " ".join("%s=%s" % (k, "%d:%d" % v if k == "late" else v) for k, v in rules.items())


class Impairer:
    """Decides, packet by packet, what line 600 returns and when. send(data,
    delay_ms) is called for each datagram to go out."""

    def __init__(self, rules):
        self.rules = dict(rules)
        seed = self.rules.get("seed", 1)
        # Apart, so that the loss pattern does not change with the jitter rule.
        self._loss_random = random.Random(seed)
        self._jitter_random = random.Random(-1 - seed)
        self._received = 0
        self._held = []  # [packets still to pass, data, what it counts as once sent]
        self.done = {"dropped": 0, "lost": 0, "duplicated": 0, "swapped": 0, "held": 0,
                     "delayed": 0, "jittered": 0}

    def _every(self, name):
        rule = self.rules.get(name)
        every = rule[0] if isinstance(rule, tuple) else rule
        return bool(every) and self._received % every == 0

    def packet(self, data, send):
        self._received += 1
        lost = self._random_loss()
        ready = []
        if self._every("drop"):
            self.done["dropped"] += 1
        elif lost:
            self.done["lost"] += 1
        elif self._every("swap"):
            self._held.append([1, data, "swapped"])
        elif self._every("late"):
            self._held.append([self.rules["late"][1], data, "held"])
        else:
            ready.append(data)
        if ready:
            for entry in self._held:
                entry[0] -= 1
            for entry in self._held:
                if entry[0] <= 0:
                    self.done[entry[2]] += 1  # counted once sent: a call may end first
                    ready.append(entry[1])
            self._held = [entry for entry in self._held if entry[0] > 0]
        for item in ready:
            copies = 2 if self._every("dup") and item is data else 1
            self.done["duplicated"] += copies - 1
            for _ in range(copies):
                send(item, self._delay())

    def _random_loss(self):
        share = self.rules.get("loss")
        # Drawn for every packet, so the pattern depends on the seed alone.
        return share is not None and self._loss_random.random() * 100 < share

    def _delay(self):
        delay = self.rules.get("delay", 0)
        if delay:
            self.done["delayed"] += 1
        jitter = self.rules.get("jitter")
        if jitter:
            self.done["jittered"] += 1
            delay += self._jitter_random.uniform(0, jitter)
        return delay


class EchoLine:
    """Line 600's RTP socket: each call's record, the impairment of the way
    back and the datagrams waiting for their delay."""

    def __init__(self, agent, send, rules=None):
        self._agent = agent
        self._send = send  # send(data, address)
        self.rules = dict(rules or {})
        self.stray = StreamRecord()  # datagrams of no live echo call
        self._delayed = DelayedSends()

    def set_rules(self, rules):
        """New rules apply from the next packet of every call, counting afresh."""
        self.rules = dict(rules)
        for call in self._agent.calls:
            if getattr(call, "rtp", None) is not None and call.state != "ended":
                call.rtp.impairer = Impairer(self.rules)

    def _call_of(self, address):
        live = [c for c in self._agent.calls if c.kind == "echo" and c.state != "ended"]
        for call in reversed(live):
            if call.caller.media is not None and tuple(call.caller.media) == tuple(address):
                return call
        # A relay or a NAT sends from an address of its own.
        return live[-1] if live else None

    def datagram(self, data, address, tos=None):
        call = self._call_of(address)
        if call is None:
            if self.stray.add(data, tos=tos) is not None:
                self._send(data, address)
            return
        if getattr(call, "rtp", None) is None:
            call.rtp = CallRtp(self.rules)
        record = call.rtp
        if record.received.add(data, tos=tos) is None:
            return  # not RTP: counted, not returned

        def send(item, delay_ms):
            if delay_ms > 0:
                self._delayed.add(delay_ms, item, address, record)
            else:
                record.returned.add(item)
                self._send(item, address)

        record.impairer.packet(data, send)

    def next_deadline(self):
        return self._delayed.next_deadline()

    def tick(self):
        for item, address, record in self._delayed.take_due():
            record.returned.add(item)
            self._send(item, address)


class CallRtp:
    """A call's record on line 600: received, returned and what was done."""

    def __init__(self, rules):
        self.received = StreamRecord()
        self.returned = StreamRecord()
        self.impairer = Impairer(rules)

    def summary(self):
        return {"received": self.received.summary(), "returned": self.returned.summary(),
                "impairment": format_rules(self.impairer.rules),
                "impaired": dict(self.impairer.done)}
