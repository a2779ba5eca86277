"""The media relay beside the call agent: a control port that grants relay
ports (PROXY_ALLOC, PROXY_DEALLOC), relay ports that learn the endpoint's leg
from PROXY_PROBE and carry media between it and the far leg. The control port
tells it to refuse, stay silent, drop or delay, and reports what it saw."""

import socket
import time

from .services import DelayedSends

MAX_MESSAGES = 1000
MAX_DATAGRAM = 2048


class Allocation:
    def __init__(self, session_id, call_agent, port, sock):
        self.id = session_id
        self.call_agent = call_agent
        self.port = port
        self.socket = sock
        self.endpoint_leg = None
        self.far_leg = None
        self.to_far = 0
        self.to_endpoint = 0
        self.first_to_far = None  # monotonic times of the first media each way
        self.first_to_endpoint = None

    def summary(self):
        def leg(address):
            return "%s:%d" % address if address else None

        return {"id": self.id, "call_agent": self.call_agent, "port": self.port,
                "endpoint_leg": leg(self.endpoint_leg), "far_leg": leg(self.far_leg),
                "to_far": self.to_far, "to_endpoint": self.to_endpoint,
                "first_to_far_t": self.first_to_far,
                "first_to_endpoint_t": self.first_to_endpoint}


def _fields(data):
    """The text up to its first NUL, split at blanks; None when not text."""
    try:
        return data.split(b"\0", 1)[0].decode("ascii").split()
    except UnicodeDecodeError:
        return None


class Relay:
    def __init__(self, address, control_port, ports, register, unregister, send_allowed, log):
        self.address = address
        self._ports = ports  # range of relay ports
        self._register = register  # register(sock, handler)
        self._unregister = unregister
        self._send_allowed = send_allowed  # send_allowed(ip) -> bool
        self.log = log
        self.alloc_mode = "grant"
        self.probe_mode = "answer"
        self.dealloc_mode = "answer"
        self.drop = 0
        self.delay_ms = 0
        self.messages = []
        self.allocations = {}  # id -> Allocation
        self.freed = []  # released allocations, kept for the report
        self._delayed = DelayedSends()
        self.control_socket = self._bind(control_port)
        register(self.control_socket, self._on_control)

    def _bind(self, port):
        sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        try:
            sock.bind((self.address, port))
        except OSError:
            sock.close()
            raise
        sock.setblocking(False)
        return sock

    # -- sending ------------------------------------------------------------------

    def _send(self, sock, data, address):
        if not self._send_allowed(address[0]):
            self.log("Relay refused to send to %s:%d" % address)
            return
        try:
            sock.sendto(data, address)
        except OSError as problem:
            self.log("Relay send to %s:%d failed: %s" % (address + (problem,)))

    def _answer(self, sock, text, address):
        data = text.encode("ascii") + b"\0"
        if self.delay_ms > 0:
            self._delayed.add(self.delay_ms, sock, data, address)
        else:
            self._send(sock, data, address)

    def next_deadline(self):
        return self._delayed.next_deadline()

    def tick(self):
        for sock, data, address in self._delayed.take_due():
            if sock.fileno() >= 0:
                self._send(sock, data, address)

    # -- receiving ----------------------------------------------------------------

    def _receive(self, sock):
        try:
            return sock.recvfrom(MAX_DATAGRAM)
        except (BlockingIOError, InterruptedError):
            return None, None
        except OSError:
            return None, None

    def _note(self, data, address):
        self.messages.append({"t": time.monotonic(), "from": "%s:%d" % address,
                              "text": data.split(b"\0", 1)[0].decode("latin-1")})
        del self.messages[:-MAX_MESSAGES]

    def _dropped(self):
        if self.drop > 0:
            self.drop -= 1
            return True
        return False

    def _on_control(self, sock):
        for _ in range(64):
            data, address = self._receive(sock)
            if data is None:
                return
            fields = _fields(data)
            if not fields or not fields[0].startswith("PROXY_"):
                continue
            self._note(data, address)
            if self._dropped():
                continue
            if fields[0] == "PROXY_ALLOC" and len(fields) == 4 and fields[1] == "0":
                self._on_alloc(fields[2], fields[3], address)
            elif fields[0] == "PROXY_DEALLOC" and len(fields) == 3 and fields[1] == "0":
                self._on_dealloc(fields[2], address)

    def _on_alloc(self, session_id, call_agent, address):
        if self.alloc_mode == "silent":
            return
        allocation = self.allocations.get(session_id)
        if self.alloc_mode == "grant" and allocation is None:
            allocation = self._allocate(session_id, call_agent)
        if self.alloc_mode == "refuse" or allocation is None:
            self._answer(self.control_socket, "PROXY_NAKALLOC %s" % session_id, address)
            return
        self._answer(self.control_socket, "PROXY_ACKALLOC %s %d" % (session_id, allocation.port),
                     address)

    def _allocate(self, session_id, call_agent):
        used = {a.port for a in self.allocations.values()}
        for port in self._ports:
            if port in used:
                continue
            try:
                sock = self._bind(port)
            except OSError:
                continue
            allocation = Allocation(session_id, call_agent, port, sock)
            self.allocations[session_id] = allocation
            self._register(sock, lambda s, a=allocation: self._on_relay(a))
            self.log("Relay %s:%d allocated to %s" % (self.address, port, session_id))
            return allocation
        return None

    def _on_dealloc(self, session_id, address):
        if self.dealloc_mode == "silent":
            return
        allocation = self.allocations.pop(session_id, None)
        if allocation is not None:
            self._unregister(allocation.socket)
            allocation.socket.close()
            self.log("Relay %s:%d freed" % (self.address, allocation.port))
            self.freed.append(allocation)
            del self.freed[:-MAX_MESSAGES]
        self._answer(self.control_socket, "PROXY_ACKDEALLOC %s" % session_id, address)

    def _on_relay(self, allocation):
        sock = allocation.socket
        for _ in range(256):
            data, address = self._receive(sock)
            if data is None:
                return
            if data.startswith(b"PROXY_"):
                self._note(data, address)
                fields = _fields(data)
                if (fields and fields[0] == "PROXY_PROBE" and len(fields) == 2
                        and fields[1] == allocation.id and not self._dropped()
                        and self.probe_mode == "answer"):
                    allocation.endpoint_leg = address
                    self._answer(sock, "PROXY_ACKPROBE %s" % allocation.id, address)
                continue
            if address == allocation.endpoint_leg:
                if allocation.far_leg:
                    allocation.to_far += 1
                    allocation.first_to_far = allocation.first_to_far or time.monotonic()
                    self._send(sock, data, allocation.far_leg)
            elif allocation.endpoint_leg:
                allocation.to_endpoint += 1
                allocation.first_to_endpoint = allocation.first_to_endpoint or time.monotonic()
                self._send(sock, data, allocation.endpoint_leg)

    # -- for the call agent and the control port ------------------------------------

    def allocation_at(self, port):
        for allocation in self.allocations.values():
            if allocation.port == port:
                return allocation
        return None

    def control(self, args):
        """`relay ADDR ...` after the address; returns the answer's fields or raises ValueError."""
        if len(args) == 2 and args[0] == "alloc" and args[1] in ("grant", "refuse", "silent"):
            self.alloc_mode = args[1]
        elif len(args) == 2 and args[0] in ("probe", "dealloc") and args[1] in ("answer",
                                                                               "silent"):
            setattr(self, args[0] + "_mode", args[1])
        elif len(args) == 2 and args[0] in ("drop", "delay"):
            value = int(args[1])
            if not 0 <= value <= 3600000:
                raise ValueError("out of range: %s" % args[1])
            setattr(self, "drop" if args[0] == "drop" else "delay_ms", value)
        elif args == ["report"]:
            return {"messages": list(self.messages),
                    "allocations": [dict(a.summary(), freed=True) for a in self.freed] +
                    [dict(a.summary(), freed=False) for a in self.allocations.values()]}
        else:
            raise ValueError("relay ADDR alloc grant|refuse|silent, relay ADDR probe|dealloc "
                             "answer|silent, relay ADDR drop N, relay ADDR delay MS, "
                             "relay ADDR report")
        return {"alloc": self.alloc_mode, "probe": self.probe_mode,
                "dealloc": self.dealloc_mode, "drop": self.drop, "delay_ms": self.delay_ms}

    def close(self):
        for allocation in self.allocations.values():
            self._unregister(allocation.socket)
            allocation.socket.close()
        self.allocations.clear()
        self._unregister(self.control_socket)
        self.control_socket.close()
