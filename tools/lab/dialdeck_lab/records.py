"""What the lab remembers: endpoints, calls and the messages each exchanged."""

import time

ECHO_NUMBER = "600"
BUSY_NUMBER = "601"


def now_stamp():
    return {"t": time.monotonic(), "wall": time.time()}


class Endpoint:
    """One registered (or once registered) endpoint, keyed by its MGCP name."""

    MAX_MESSAGES = 2000

    def __init__(self, name, address):
        self.name = name
        self.address = address  # (ip, port) the endpoint sends from
        self.registered = False
        self.state = "unregistered"
        self.rsip_code = None
        self.extension = None
        self.account = None
        self.pin = None
        self.account_scrambled = None
        self.account_error = None
        self.version = None
        self.caller_number = ""
        self.caller_name = ""
        self.call = None
        self.connection_id = None
        self.media = None  # (ip, port) from the endpoint's own description
        self.audit = None
        self.messages = []

    def record(self, direction, text, **extra):
        entry = dict(now_stamp(), dir=direction, text=text)
        entry.update(extra)
        self.messages.append(entry)
        del self.messages[:-self.MAX_MESSAGES]
        return entry

    def numbers(self):
        return {n for n in (self.caller_number, self.extension) if n}

    def summary(self):
        return {
            "name": self.name,
            "address": "%s:%d" % self.address,
            "registered": self.registered,
            "state": self.state,
            "rsip_code": self.rsip_code,
            "extension": self.extension,
            "account": self.account,
            "pin": self.pin,
            "account_scrambled": self.account_scrambled,
            "account_error": self.account_error,
            "version": self.version,
            "caller_number": self.caller_number,
            "caller_name": self.caller_name,
            "call": self.call.id if self.call else None,
            "media": "%s:%d" % self.media if self.media else None,
            "audit": self.audit,
        }


class Call:
    def __init__(self, call_id, caller, number):
        self.id = call_id
        self.caller = caller
        self.callee = None
        self.number = number
        self.kind = None  # echo, busy, invalid, line
        self.state = "dialled"
        self.times = {"dialled": time.time()}
        self.ended_by = None
        self.rtp = None  # line 600's RTP record (rtp_record.CallRtp)

    def mark(self, state):
        self.state = state
        self.times[state] = time.time()

    def parties(self):
        return [p for p in (self.caller, self.callee) if p is not None]

    def peer_of(self, endpoint):
        return self.callee if endpoint is self.caller else self.caller

    def summary(self):
        return {
            "id": self.id,
            "caller": self.caller.name,
            "number": self.number,
            "kind": self.kind,
            "callee": self.callee.name if self.callee else None,
            "state": self.state,
            "times": dict(self.times),
            "ended_by": self.ended_by,
            "rtp": self.rtp.summary() if self.rtp else None,
        }
