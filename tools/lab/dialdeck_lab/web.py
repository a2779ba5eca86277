"""The operator's web services: the PIN page (HTTPS only), the version
document, the account, balance and rates pages and the advertisement pictures
(/ads/NAME, see ads.py), over HTTPS and plain HTTP,
each server on its own thread.

At start the lab makes its own CA and a server certificate with the openssl
command; --tls-variant picks a good, expired, wrong-name or unknown-CA
certificate, so clients can be shown to refuse the bad ones. The control port
sets the version answer, makes a service hang, fail or talk garbage, forces
PIN answers and lists the requests."""

import http.server
import os
import shutil
import ssl
import subprocess
import tempfile
import threading
import urllib.parse

from .ads import AdPictures, kind as picture_kind

VARIANTS = ("good", "expired", "wrong-name", "unknown-ca")
SERVICES = ("pin", "version", "pages", "ads")
MODES = ("normal", "hang", "fail", "garbage")
PIN_ANSWERS = ("auto", "true", "false")
MAX_REQUESTS = 500
HANG_SECONDS = 120.0
REQUEST_TIMEOUT = 10.0
GARBAGE = b"\x8f\xfe#not http at all\r\n\r\n"
DEFAULT_VERSION = "2.0.0.6"

CA_CONFIG = """[ca]
default_ca = lab
[lab]
database = index.txt
new_certs_dir = .
serial = serial
default_md = sha256
policy = any
copy_extensions = copy
unique_subject = no
[any]
commonName = supplied
"""


def version_document(version=DEFAULT_VERSION, need="false", flavor="lab"):
    parts = ["<?xml version=\"1.0\"?>\n<VersionInfo>"]
    if version is not None:
        parts.append("<Version>%s</Version>" % version)
    parts.append("<Need>%s</Need><Flavor>%s</Flavor></VersionInfo>\n" % (need, flavor))
    return "".join(parts)


def mask_pin(text):
    """The record's PIN (field 10) and any PIN= value stay out of logs and lists."""
    head, found, tail = text.partition("PIN=")
    if not found:
        return text
    value, amp, rest = tail.partition("&")
    return head + "PIN=****" + amp + mask_pin(rest)


def pin_query(path):
    """PIN and ownerKey from the text after the first "&", percent-decoded."""
    fields = {}
    for part in path.split("&")[1:]:
        name, _, value = part.partition("=")
        fields.setdefault(name, urllib.parse.unquote(value, errors="replace"))
    return fields.get("PIN"), fields.get("ownerKey")


def record_account(record):
    """(account, PIN) of a record: fields 9 and 10, or a one-field record's
    account without a PIN (None)."""
    fields = record.split(",")
    if len(fields) == 1:
        return fields[0], None
    if len(fields) < 11:
        return None, None
    return fields[9], fields[10]


def _openssl(args, cwd):
    done = subprocess.run(["openssl"] + args, cwd=cwd, capture_output=True, timeout=30)
    if done.returncode != 0:
        raise OSError("openssl %s failed: %s" % (args[0], done.stderr.decode(errors="replace")[-300:]))


def make_certificates(folder, variant, address):
    """Writes ca.pem (the CA clients should trust), server.pem and server.key;
    returns their paths."""
    if variant not in VARIANTS:
        raise ValueError("tls variant is one of " + ", ".join(VARIANTS))
    if shutil.which("openssl") is None:
        raise OSError("the openssl command is missing")
    os.makedirs(folder, mode=0o700, exist_ok=True)
    work = tempfile.mkdtemp(prefix="ca-", dir=folder)
    try:
        with open(os.path.join(work, "ca.cnf"), "w") as handle:
            handle.write(CA_CONFIG)
        open(os.path.join(work, "index.txt"), "w").close()
        with open(os.path.join(work, "serial"), "w") as handle:
            handle.write("%016X\n" % int.from_bytes(os.urandom(7), "big"))
        ec = ["-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"]
        for name in ("ca", "other-ca"):
            _openssl(["req", "-x509"] + ec + ["-keyout", name + ".key", "-out", name + ".pem",
                      "-days", "30", "-subj", "/CN=Dialdeck Lab %s" % name], work)
        names = ["IP:127.0.0.1", "DNS:localhost"]
        if address not in ("127.0.0.1", "localhost"):
            names.append("IP:" + address)
        if variant == "wrong-name":
            names = ["DNS:wrong-name.lab.invalid"]
        _openssl(["req", "-new"] + ec + ["-keyout", "server.key", "-out", "server.csr",
                  "-subj", "/CN=" + names[0].split(":", 1)[1],
                  "-addext", "subjectAltName=" + ",".join(names)], work)
        signer = "other-ca" if variant == "unknown-ca" else "ca"
        dates = (["-startdate", "20200101000000Z", "-enddate", "20200201000000Z"]
                 if variant == "expired" else ["-days", "30"])
        _openssl(["ca", "-batch", "-config", "ca.cnf", "-cert", signer + ".pem",
                  "-keyfile", signer + ".key", "-in", "server.csr", "-out", "server.pem"]
                 + dates, work)
        paths = {}
        for name in ("ca.pem", "server.pem", "server.key"):
            target = os.path.join(folder, name)
            os.replace(os.path.join(work, name), target)
            paths[name] = target
        os.chmod(paths["server.key"], 0o600)
        return paths
    finally:
        shutil.rmtree(work, ignore_errors=True)


class WebState:
    """What the services answer; shared by both servers and the control port."""

    def __init__(self, store, owner_key, log, ads_dir=None):
        self.store = store
        self.ads = AdPictures(ads_dir)
        self.owner_key = owner_key
        self.log = log
        self.lock = threading.Lock()
        self.modes = {service: "normal" for service in SERVICES}
        self.pin_answer = "auto"
        self.version_body = version_document()
        self.requests = []
        self.stopping = threading.Event()

    def record(self, scheme, path, service, status):
        entry = {"scheme": scheme, "path": mask_pin(path), "service": service, "status": status}
        with self.lock:
            if len(self.requests) < MAX_REQUESTS:
                self.requests.append(entry)
        self.log("web %s %s -> %s %s" % (scheme, entry["path"], service, status))

    def pin_valid(self, record, owner_key):
        with self.lock:
            forced = self.pin_answer
        if forced != "auto":
            return forced == "true"
        if record is None or owner_key != self.owner_key:
            return False
        account, pin = record_account(record)
        if not account:
            return False
        subscriber = self.store.by_account(account)
        return subscriber is not None and (pin is None or subscriber.pin == pin)

    def control(self, command, args):
        """The web-* control commands; raises ValueError on bad arguments."""
        with self.lock:
            if command == "web-version" and args:
                if args[0] == "none":
                    self.version_body = version_document(None, *args[1:3])
                else:
                    self.version_body = version_document(*args[:3])
                return {"version": self.version_body}
            if command == "web-version-body" and args:
                self.version_body = " ".join(args)
                return {"version": self.version_body}
            if command == "web-mode" and len(args) == 2:
                if args[0] not in SERVICES or args[1] not in MODES:
                    raise ValueError("web-mode %s %s" % ("|".join(SERVICES), "|".join(MODES)))
                self.modes[args[0]] = args[1]
                return {"modes": dict(self.modes)}
            if command == "web-pin" and len(args) == 1 and args[0] in PIN_ANSWERS:
                self.pin_answer = args[0]
                return {"pin": self.pin_answer}
            if command == "web-requests":
                return {"requests": list(self.requests)}
        raise ValueError("malformed %s command" % command)


PAGES = {
    "/account": "<html><body><h1>Your account</h1><p>Lab account page.</p></body></html>",
    "/balance": "<html><body><h1>Balance</h1><p>USD 12.34</p></body></html>",
    "/rates": "<html><body><h1>Rates</h1><p>Lab: 0.00 per minute</p></body></html>",
    "/download": "<html><body><h1>Download</h1><p>The lab has no installer.</p></body></html>",
}


def _handler(state, scheme):
    class Handler(http.server.BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.0"
        timeout = REQUEST_TIMEOUT

        def log_message(self, *_):  # the lab's own log has the masked line
            pass

        def _send(self, status, body, kind):
            data = body if isinstance(body, bytes) else body.encode("utf-8")
            self.send_response(status)
            self.send_header("Content-Type", kind)
            self.send_header("Content-Length", str(len(data)))
            self.end_headers()
            self.wfile.write(data)

        def do_GET(self):
            path = self.path
            plain = path.split("?", 1)[0].split("&", 1)[0]
            service = ("version" if plain == "/version.xml"
                       else "pages" if plain in PAGES
                       else "ads" if plain.startswith("/ads/") else "pin")
            with state.lock:
                mode = state.modes[service]
            if mode == "hang":
                state.record(scheme, path, service, "hang")
                state.stopping.wait(HANG_SECONDS)
                return
            if mode == "garbage":
                state.record(scheme, path, service, "garbage")
                self.wfile.write(GARBAGE)
                return
            if mode == "fail":
                state.record(scheme, path, service, 500)
                self._send(500, "<html><body>Service failed</body></html>", "text/html")
                return
            if service == "version":
                with state.lock:
                    body = state.version_body
                state.record(scheme, path, service, 200)
                self._send(200, body, "text/xml")
            elif service == "ads":
                picture = state.ads.get(urllib.parse.unquote(plain[len("/ads/"):]))
                state.record(scheme, path, service, 200 if picture is not None else 404)
                if picture is None:
                    self._send(404, "<html><body>No such picture</body></html>", "text/html")
                else:
                    self._send(200, picture, picture_kind(plain))
            elif service == "pages":
                state.record(scheme, path, service, 200)
                self._send(200, PAGES[plain], "text/html")
            elif scheme != "https":
                state.record(scheme, path, service, 403)
                self._send(403, "<html><body>HTTPS only</body></html>", "text/html")
            else:
                record, owner_key = pin_query(path)
                valid = state.pin_valid(record, owner_key)
                state.record(scheme, path, service, "valid" if valid else "invalid")
                self._send(200, "<?xml version=\"1.0\"?>\n<Verify><Valid>%s</Valid></Verify>\n"
                           % ("true" if valid else "false"), "text/xml")

    return Handler


class _Server(http.server.ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True


class TlsServer(_Server):
    """Hands each connection's TLS handshake to its own thread, so a client that
    never finishes it holds up nobody."""

    def __init__(self, address, handler, context):
        super().__init__(address, handler)
        self.context = context

    def finish_request(self, request, client_address):
        request.settimeout(REQUEST_TIMEOUT)
        try:
            tls = self.context.wrap_socket(request, server_side=True)
        except (OSError, ssl.SSLError):
            return
        try:
            self.RequestHandlerClass(tls, client_address, self)
        finally:
            try:
                tls.close()
            except OSError:
                pass


class WebServices:
    def __init__(self, address, https_port, http_port, tls_dir, variant, store, owner_key, log,
                 ads_dir=None):
        self.state = WebState(store, owner_key, log, ads_dir)
        self._own_dir = None
        if not tls_dir:
            tls_dir = self._own_dir = tempfile.mkdtemp(prefix="dialdeck-lab-tls-")
        self.paths = make_certificates(tls_dir, variant, address)
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(self.paths["server.pem"], self.paths["server.key"])
        self._servers = [
            TlsServer((address, https_port), _handler(self.state, "https"), context),
            _Server((address, http_port), _handler(self.state, "http")),
        ]
        self._threads = [threading.Thread(target=s.serve_forever, name="web", daemon=True)
                         for s in self._servers]

    def addresses(self):
        return [s.server_address[:2] for s in self._servers]

    def start(self):
        for thread in self._threads:
            thread.start()

    def control(self, command, args):
        return self.state.control(command, args)

    def stop(self):
        self.state.stopping.set()
        for server, thread in zip(self._servers, self._threads):
            if thread.is_alive():
                server.shutdown()
            server.server_close()
        if self._own_dir:
            shutil.rmtree(self._own_dir, ignore_errors=True)

