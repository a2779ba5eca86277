"""The NAT information service: answers "GetNAT" with the sender's port and
address, or as the control port tells it to (silent, drop, delay, another
text), and keeps a report of every request."""

import time

from .services import DelayedSends

MAX_REQUESTS = 500


class NatService:
    def __init__(self, send, log):
        self._send = send  # send(data, address)
        self.log = log
        self.answering = True
        self.drop = 0
        self.delay_ms = 0
        self.reply_text = None
        self.requests = []
        self._delayed = DelayedSends()

    def handle(self, data, address, silent):
        """One datagram to the service; silent: the whole lab is silent."""
        entry = {"t": time.monotonic(), "from": "%s:%d" % address,
                 "data": data.decode("latin-1"), "answered": False}
        self.requests.append(entry)
        del self.requests[:-MAX_REQUESTS]
        if data.rstrip(b"\0") != b"GetNAT" or silent or not self.answering:
            return
        if self.drop > 0:
            self.drop -= 1
            return
        text = self.reply_text
        if text is None:
            text = "%d %s" % (address[1], address[0])
        entry["answered"] = True
        reply = text.encode("latin-1", "replace") + b"\0"
        if self.delay_ms > 0:
            self._delayed.add(self.delay_ms, reply, address)
        else:
            self._send(reply, address)

    def next_deadline(self):
        return self._delayed.next_deadline()

    def tick(self):
        for reply, address in self._delayed.take_due():
            self._send(reply, address)

    def control(self, args):
        """The `nat ...` control commands; returns the answer's fields or raises ValueError."""
        if len(args) == 1 and args[0] in ("answer", "silent"):
            self.answering = args[0] == "answer"
        elif len(args) == 2 and args[0] == "drop":
            self.drop = _count(args[1])
        elif len(args) == 2 and args[0] == "delay":
            self.delay_ms = _count(args[1])
        elif args and args[0] == "reply":
            self.reply_text = " ".join(args[1:]) if len(args) > 1 else None
        elif args == ["report"]:
            return {"requests": list(self.requests)}
        else:
            raise ValueError("nat answer|silent, nat drop N, nat delay MS, nat reply [TEXT], "
                             "nat report")
        return {"answering": self.answering, "drop": self.drop, "delay_ms": self.delay_ms,
                "reply": self.reply_text}


def _count(text):
    value = int(text)
    if not 0 <= value <= 3600000:
        raise ValueError("out of range: %s" % text)
    return value
