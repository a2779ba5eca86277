"""The directory server: one request and one answer per TCP connection,
"code|text|count|[items]" behind an HTTP-like first line, on its own thread.

The control port switches its mode: normal, silent (takes the request, never
answers), refuse (not listening), split (the answer in two pieces 200 ms
apart), garbage (bytes without fields) or wrong-code (the request's code plus
100); it also lists the requests and the presence the server recorded."""

import os
import selectors
import socket
import threading
import time

REQUEST_PREFIX = b"POST / HTTP/1.1\r\n\r\n"
ANSWER_PREFIX = b"HTTP/1.1 200 OK\r\n\r\n"
MAX_REQUEST = 65535
MAX_REQUESTS = 500
MAX_CONNECTIONS = 64
MAX_SEARCH = 500
REQUEST_TIMEOUT = 10.0
HELD_TIMEOUT = 60.0
SPLIT_DELAY = 0.2
WRONG_CODE_OFFSET = 100
GARBAGE = b"\x8f\xfe#garbage, no fields here\r\n"
MODES = ("normal", "silent", "refuse", "split", "garbage", "wrong-code")


def request_complete(data):
    body = data.split(REQUEST_PREFIX, 1)[-1]
    return body.count(b"|") >= 3 and body.endswith(b"]")


def parse_request(data):
    """(code, text, count) or None for bytes that are no request."""
    body = data.split(REQUEST_PREFIX, 1)[-1].decode("latin-1")
    fields = body.split("|")
    if len(fields) < 4:
        return None
    try:
        return int(fields[0]), fields[1], int(fields[2])
    except ValueError:
        return None


def encode_answer(code, text, items):
    body = "%d|%s|%d|[%s]" % (code, text, len(items), ",".join(items))
    return ANSWER_PREFIX + body.encode("latin-1", "replace")


def _prefix(pattern):
    return pattern.split("*", 1)[0]


class Directory:
    """What the server answers, apart from the sockets: the request codes,
    presence with times, and the record of requests."""

    def __init__(self, store, clock=time.monotonic):
        self.store = store
        self.clock = clock
        self.presence = {}  # number -> {state, on, seen, off}

    def answer(self, code, text, count):
        """(code, text, items) for one request."""
        fields = text.split(":")
        if code == 9:
            subscriber = self.store.by_account(fields[0])
            if subscriber is None:
                return 9, "false", []
            return 9, "true", [subscriber.lookup_item()]
        if code == 22 and len(fields) >= 2:
            if not self.store.check_key(fields[0], fields[1]):
                return 22, "false", []
            self._log_on(fields[0])
            return 22, "true", []
        if code == 23:
            known = self.store.by_number(fields[0]) is not None
            if known:
                self._seen(fields[0])
            return 23, "true" if known else "false", []
        if code == 21 and len(fields) >= 2:
            if not self.store.check_key(fields[0], fields[1]):
                return 21, "false", []
            self._log_off(fields[0])
            return 21, "true", []
        if code == 8 and len(fields) >= 4:
            limit = MAX_SEARCH
            if len(fields) >= 5 and fields[4].strip().isdigit():
                limit = min(limit, int(fields[4]))
            found = self.store.search(_prefix(fields[0]), _prefix(fields[1]), fields[2], limit)
            return 8, "true", [s.lookup_item() for s in found]
        if code == 13:
            numbers = self.store.contacts_of(fields[0])
            if numbers is None:
                return 13, "false", []
            return 13, "true", [self._contact_item(n) for n in numbers]
        if code == 11 and len(fields) >= 2:
            if self.store.add_contact(fields[0], fields[1]):
                return 11, "true", []
        return 0, "null", []

    def _contact_item(self, number):
        """Eight fields: first, last, number, status ("1" logged on), -, level, -, -."""
        subscriber = self.store.by_number(number)
        online = self.presence.get(number, {}).get("state") == "on"
        first, last = (subscriber.fields[0], subscriber.fields[1]) if subscriber else ("", "")
        return ":".join([first, last, number, "1" if online else "0", "", "1", "", ""])

    def _entry(self, number):
        return self.presence.setdefault(number, {"state": "off", "on": None, "seen": None,
                                                 "off": None})

    def _log_on(self, number):
        entry = self._entry(number)
        entry.update(state="on", on=self.clock(), seen=self.clock())

    def _seen(self, number):
        self._entry(number)["seen"] = self.clock()

    def _log_off(self, number):
        entry = self._entry(number)
        entry.update(state="off", off=self.clock())


class _Connection:
    def __init__(self, sock, peer, now):
        self.sock = sock
        self.peer = "%s:%d" % peer
        self.data = b""
        self.started = now
        self.answered = False


class DirectoryServer:
    def __init__(self, address, port, store, log):
        self.log = log
        self.directory = Directory(store)
        self.requests = []
        self.mode = "normal"
        self._lock = threading.Lock()
        self._selector = selectors.DefaultSelector()
        self._address = address
        self._listener = None
        self._listen(port)
        self.port = self._listener.getsockname()[1]
        self._connections = {}
        self._sends = []  # [due, connection, bytes, close_after]
        self._wake_read, self._wake_write = os.pipe()
        os.set_blocking(self._wake_read, False)
        os.set_blocking(self._wake_write, False)
        self._selector.register(self._wake_read, selectors.EVENT_READ, None)
        self._applied = threading.Event()
        self._running = True
        self._thread = threading.Thread(target=self._serve, name="directory", daemon=True)

    def address(self):
        return (self._address, self.port)

    def start(self):
        self._thread.start()

    # -- control (any thread) -----------------------------------------------------

    def control(self, command, args):
        """The control port's directory commands; returns the answer's fields
        or raises ValueError."""
        if command == "directory-mode" and len(args) == 1 and args[0] in MODES:
            self._applied.clear()
            with self._lock:
                self.mode = args[0]
            self._wake()
            if self._thread.is_alive() and not self._applied.wait(5):
                raise ValueError("the directory server did not take the mode")
            return {"mode": self.mode}
        if command == "directory-requests" and not args:
            with self._lock:
                return {"requests": [dict(r) for r in self.requests]}
        if command == "presence" and not args:
            with self._lock:
                return {"presence": {n: dict(p) for n, p in self.directory.presence.items()}}
        raise ValueError("directory-mode %s, directory-requests, presence" % "|".join(MODES))

    def stop(self):
        self._running = False
        self._wake()
        if self._thread.is_alive():
            self._thread.join(5)

    def _wake(self):
        try:
            os.write(self._wake_write, b"x")
        except (BlockingIOError, OSError):
            pass

    # -- the server's thread ------------------------------------------------------

    def _listen(self, port):
        listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        try:
            listener.bind((self._address, port))
            listener.listen(16)
        except OSError:
            listener.close()
            raise
        listener.setblocking(False)
        self._selector.register(listener, selectors.EVENT_READ, self._on_accept)
        self._listener = listener

    def _apply_mode(self):
        refuse = self.mode == "refuse"
        if refuse and self._listener is not None:
            self._selector.unregister(self._listener)
            self._listener.close()
            self._listener = None
        elif not refuse and self._listener is None:
            try:
                self._listen(self.port)
            except OSError as problem:
                self.log("Directory cannot listen again on %s:%d: %s"
                         % (self._address, self.port, problem))
        self._applied.set()

    def _serve(self):
        self.log("Directory listening on %s:%d" % self.address())
        while self._running:
            deadline = min([s[0] for s in self._sends] + [time.monotonic() + 1.0])
            timeout = max(0.0, deadline - time.monotonic())
            for key, _ in self._selector.select(timeout):
                if key.data is None:
                    try:
                        os.read(self._wake_read, 512)
                    except BlockingIOError:
                        pass
                    with self._lock:
                        self._apply_mode()
                else:
                    key.data(key.fileobj)
            self._tick()
        for connection in list(self._connections.values()):
            self._drop(connection)
        if self._listener is not None:
            self._selector.unregister(self._listener)
            self._listener.close()
        self._selector.close()
        os.close(self._wake_read)
        os.close(self._wake_write)

    def _on_accept(self, listener):
        try:
            sock, peer = listener.accept()
        except OSError:
            return
        if len(self._connections) >= MAX_CONNECTIONS:
            oldest = min(self._connections.values(), key=lambda c: c.started)
            self._drop(oldest)
        sock.setblocking(False)
        connection = _Connection(sock, peer, time.monotonic())
        self._connections[sock] = connection
        self._selector.register(sock, selectors.EVENT_READ, self._on_readable)

    def _drop(self, connection):
        if self._connections.pop(connection.sock, None) is None:
            return
        self._selector.unregister(connection.sock)
        connection.sock.close()
        self._sends = [s for s in self._sends if s[1] is not connection]

    def _on_readable(self, sock):
        connection = self._connections[sock]
        try:
            chunk = sock.recv(4096)
        except (BlockingIOError, InterruptedError):
            return
        except OSError:
            chunk = b""
        if connection.answered:  # a held connection: wait for the client to go
            if not chunk:
                self._drop(connection)
            return
        if not chunk and not connection.data:  # connected, sent nothing, gone
            self._drop(connection)
            return
        connection.data += chunk
        if not chunk or len(connection.data) >= MAX_REQUEST or request_complete(connection.data):
            self._handle(connection)
            if not chunk and connection.sock in self._connections and not self._sends_for(
                    connection):
                self._drop(connection)

    def _sends_for(self, connection):
        return any(s[1] is connection for s in self._sends)

    def _handle(self, connection):
        connection.answered = True
        now = time.monotonic()
        request = parse_request(connection.data)
        with self._lock:
            mode = self.mode
            if request is None:
                code, text, items = 0, "null", []
            else:
                code, text, items = self.directory.answer(*request)
            record = {"t": now, "from": connection.peer, "mode": mode,
                      "request": connection.data.decode("latin-1"),
                      "code": request[0] if request else None,
                      "text": request[1] if request else None,
                      "count": request[2] if request else None, "answer": None}
            self.requests.append(record)
            del self.requests[:-MAX_REQUESTS]
        if mode == "silent":
            self.log("Directory request from %s held (silent): %r" % (connection.peer,
                                                                      connection.data[:200]))
            return
        if mode == "garbage":
            answer = GARBAGE
        else:
            if mode == "wrong-code":
                code = (request[0] if request else 0) + WRONG_CODE_OFFSET
            answer = encode_answer(code, text, items)
        with self._lock:
            record["answer"] = answer.decode("latin-1")
        self.log("Directory %s: %r -> %r" % (connection.peer, connection.data[:200], answer[:200]))
        if mode == "split":
            half = len(answer) // 2
            self._sends.append([now, connection, answer[:half], False])
            self._sends.append([now + SPLIT_DELAY, connection, answer[half:], True])
        else:
            self._sends.append([now, connection, answer, True])
        self._tick()

    def _tick(self):
        now = time.monotonic()
        due = [s for s in self._sends if s[0] <= now]
        self._sends = [s for s in self._sends if s[0] > now]
        for _, connection, data, close_after in due:
            if connection.sock not in self._connections:
                continue
            try:
                connection.sock.setblocking(True)
                connection.sock.settimeout(2)
                connection.sock.sendall(data)
                connection.sock.setblocking(False)
            except OSError as problem:
                self.log("Directory send to %s failed: %s" % (connection.peer, problem))
                close_after = True
            if close_after:
                self._drop(connection)
        for connection in list(self._connections.values()):
            limit = HELD_TIMEOUT if connection.answered else REQUEST_TIMEOUT
            if now - connection.started > limit:
                self._drop(connection)
