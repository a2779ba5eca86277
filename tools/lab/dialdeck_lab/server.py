"""The lab's event loop: UDP sockets for MGCP, RTP echo and NAT information,
a TCP control port, timers, logging and clean stop on a signal."""

import os
import re
import selectors
import signal
import socket
import stat
import sys
import time
import traceback

from . import control, mgcp
from .agent import CallAgent
from .nat_service import NatService
from .relay import Relay
from .rtp_record import EchoLine
from .services import is_allowed

MAX_CONTROL_LINE = 4096
PLAIN_ACCOUNT = re.compile(r"(Tarn/acct\([^,()]*,)[^)]*\)", re.IGNORECASE)


def mask_pin(text):
    """A PIN sent in clear stays out of the log; the control port still has it."""
    return PLAIN_ACCOUNT.sub(r"\1****)", text)
MAX_CONTROL_CLIENTS = 16


def _private_append(path):
    """The log holds the scrambled PIN: only its owner may read it."""
    fd = os.open(path, os.O_WRONLY | os.O_APPEND | os.O_CREAT, 0o600)
    try:
        if stat.S_ISREG(os.fstat(fd).st_mode):
            os.fchmod(fd, 0o600)  # a file left by an older lab may be wider
    except PermissionError:  # someone else's file: theirs to guard
        pass
    return os.fdopen(fd, "a", encoding="utf-8")


class Logger:
    def __init__(self, path=None, quiet=False):
        self._file = _private_append(path) if path else None
        self._quiet = quiet

    def __call__(self, text):
        stamp = time.strftime("%H:%M:%S") + ".%03d" % (int(time.time() * 1000) % 1000)
        line = "%s %s" % (stamp, text.replace("\r\n", "\n    ").rstrip())
        if not self._quiet:
            print(line, file=sys.stderr, flush=True)
        if self._file:
            self._file.write(line + "\n")
            self._file.flush()

    def close(self):
        if self._file:
            self._file.close()


class LabServer:
    def __init__(self, address="127.0.0.1", port=2727, control_port=2730, rtp_port=0,
                 nat_port=2829, refused_extensions=(), rsip_code=200, silent=False,
                 log=None, relay_addresses=(), proxy_port=0, relay_ports=range(42000, 42100),
                 rtp_impair=None):
        if not is_allowed(address):
            raise ValueError("the lab only runs on loopback or an allowed network, not %s"
                             % address)
        self.log = log or Logger()
        self._selector = selectors.DefaultSelector()
        self._running = True
        self.mgcp_socket = self._udp(address, port, self._on_mgcp)
        self.rtp_socket = self._udp(address, rtp_port, self._on_rtp)
        # The phone's type-of-service byte goes into the call's RTP record.
        self.rtp_socket.setsockopt(socket.IPPROTO_IP, socket.IP_RECVTOS, 1)
        self.nat_socket = self._udp(address, nat_port, self._on_nat) if nat_port else None
        self.control_socket = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.control_socket.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.control_socket.bind((address, control_port))
        self.control_socket.listen(8)
        self.control_socket.setblocking(False)
        self._selector.register(self.control_socket, selectors.EVENT_READ, self._on_accept)
        self._clients = {}
        self._wake_read, self._wake_write = os.pipe()
        os.set_blocking(self._wake_read, False)
        os.set_blocking(self._wake_write, False)
        self._selector.register(self._wake_read, selectors.EVENT_READ, self._on_wake)
        self.agent = CallAgent(self._transmit, self.log, self.rtp_socket.getsockname(),
                               refused_extensions, rsip_code, silent)
        self.agent.echo = EchoLine(
            self.agent, lambda data, address: self._send_to(self.rtp_socket, data, address, "RTP"),
            rtp_impair)
        self.agent.nat = NatService(
            lambda data, address: self._send_to(self.nat_socket, data, address, "NAT"), self.log)
        self.relays = {}
        for relay_address in (relay_addresses or [address]) if proxy_port else ():
            if not is_allowed(relay_address):
                raise ValueError("the relay only runs on loopback or an allowed network, not %s"
                                 % relay_address)
            self.relays[relay_address] = Relay(
                relay_address, proxy_port, relay_ports,
                lambda sock, handler: self._selector.register(sock, selectors.EVENT_READ, handler),
                self._selector.unregister, is_allowed, self.log)
        self.agent.relays = self.relays

    # -- sockets ---------------------------------------------------------------

    def _udp(self, address, port, handler):
        sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        sock.bind((address, port))
        sock.setblocking(False)
        self._selector.register(sock, selectors.EVENT_READ, handler)
        return sock

    def addresses(self):
        result = {
            "mgcp": self.mgcp_socket.getsockname(),
            "rtp": self.rtp_socket.getsockname(),
            "control": self.control_socket.getsockname(),
        }
        if self.nat_socket:
            result["nat"] = self.nat_socket.getsockname()
        return result

    def _send_to(self, sock, data, address, label):
        if not is_allowed(address[0]):
            self.log("Refused to send outside loopback to %s:%d" % address)
            return
        try:
            sock.sendto(data, address)
        except OSError as problem:
            self.log("%s send to %s:%d failed: %s" % ((label,) + address + (problem,)))

    def _transmit(self, data, address):
        self.log("Tx[%s:%d]: %s" % (address + (data.rstrip(b"\0").decode("latin-1"),)))
        self._send_to(self.mgcp_socket, data, address, "MGCP")

    def _receive(self, sock):
        try:
            return sock.recvfrom(mgcp.MAX_DATAGRAM + 1)
        except (BlockingIOError, InterruptedError):
            return None, None
        except OSError as problem:  # e.g. an ICMP port-unreachable report
            self.log("Receive failed: %s" % problem)
            return None, None

    def _on_mgcp(self, sock):
        for _ in range(64):
            data, address = self._receive(sock)
            if data is None:
                return
            self.log("Rx[%s:%d]: %s" % (address + (mask_pin(data.rstrip(b"\0").decode("latin-1")),)))
            if not is_allowed(address[0]):
                continue
            try:
                self.agent.handle_datagram(data, address)
            except Exception:  # a flaw in one flow must not stop the lab
                self.log("Internal error handling datagram:\n" + traceback.format_exc())

    def _on_rtp(self, sock):
        for _ in range(256):
            try:
                data, ancillary, _, address = sock.recvmsg(mgcp.MAX_DATAGRAM + 1,
                                                           socket.CMSG_SPACE(1))
            except (BlockingIOError, InterruptedError):
                return
            except OSError as problem:
                self.log("Receive failed: %s" % problem)
                return
            tos = None
            for level, kind, value in ancillary:
                if level == socket.IPPROTO_IP and kind == socket.IP_TOS and value:
                    tos = value[0]
            if is_allowed(address[0]):
                self.agent.echo.datagram(data, address, tos)

    def _on_nat(self, sock):
        for _ in range(64):
            data, address = self._receive(sock)
            if data is None:
                return
            self.log("NAT request from %s:%d" % address)
            self.agent.nat.handle(data, address, self.agent.silent)

    # -- control port -----------------------------------------------------------

    def _on_accept(self, sock):
        try:
            client, _ = sock.accept()
        except OSError:
            return
        if len(self._clients) >= MAX_CONTROL_CLIENTS:
            client.close()
            return
        client.setblocking(False)
        self._clients[client] = b""
        self._selector.register(client, selectors.EVENT_READ, self._on_control)

    def _drop_client(self, client):
        self._selector.unregister(client)
        self._clients.pop(client, None)
        client.close()

    def _on_control(self, client):
        try:
            chunk = client.recv(4096)
        except (BlockingIOError, InterruptedError):
            return
        except OSError:
            chunk = b""
        if not chunk:
            self._drop_client(client)
            return
        buffer = self._clients[client] + chunk
        while b"\n" in buffer:
            line, buffer = buffer.split(b"\n", 1)
            try:
                answer = control.execute(self.agent, line.decode("utf-8", "replace"), self.stop)
            except Exception:
                self.log("Internal error in control command:\n" + traceback.format_exc())
                answer = control.error("internal error")
            try:
                client.setblocking(True)
                client.settimeout(5)
                client.sendall(answer.encode("utf-8") + b"\n")
                client.setblocking(False)
            except OSError:
                self._drop_client(client)
                return
        if len(buffer) > MAX_CONTROL_LINE:
            self._drop_client(client)
            return
        self._clients[client] = buffer

    # -- loop -------------------------------------------------------------------

    def _on_wake(self, fd):
        try:
            os.read(fd, 512)
        except BlockingIOError:
            pass

    def stop(self, *_):
        self._running = False
        try:
            os.write(self._wake_write, b"x")
        except (BlockingIOError, OSError):
            pass

    def serve(self):
        signal.signal(signal.SIGINT, self.stop)
        signal.signal(signal.SIGTERM, self.stop)
        self.log("Lab listening: " + ", ".join(
            "%s %s:%d" % ((name,) + address) for name, address in self.addresses().items()))
        while self._running:
            deadlines = [d for d in [self.agent.next_deadline(), self.agent.nat.next_deadline(),
                                     self.agent.echo.next_deadline()] +
                         [r.next_deadline() for r in self.relays.values()] if d is not None]
            deadline = min(deadlines, default=None)
            timeout = 1.0 if deadline is None else max(0.0, min(1.0, deadline - time.monotonic()))
            for key, _ in self._selector.select(timeout):
                key.data(key.fileobj)
            self.agent.tick()
            self.agent.nat.tick()
            self.agent.echo.tick()
            for relay in self.relays.values():
                relay.tick()
        self.close()

    def close(self):
        for client in list(self._clients):
            self._drop_client(client)
        for relay in self.relays.values():
            relay.close()
        for sock in (self.mgcp_socket, self.rtp_socket, self.nat_socket, self.control_socket):
            if sock is not None:
                self._selector.unregister(sock)
                sock.close()
        self._selector.close()
        os.close(self._wake_read)
        os.close(self._wake_write)
        self.log("Lab stopped")
        self.log.close()
