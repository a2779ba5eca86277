"""MGCP text as the lab reads and writes it: commands, responses, event lists
and the minimal session description (v=, c=, m=)."""

import re

CRLF = "\r\n"
VERBS = ("RQNT", "NTFY", "CRCX", "MDCX", "DLCX", "RSIP", "AUEP", "AUCX")
MAX_DATAGRAM = 4096


class MgcpError(ValueError):
    pass


class Message:
    """One received command or response."""

    def __init__(self):
        self.verb = None  # None for a response
        self.code = None
        self.tid = 0
        self.endpoint = ""
        self.version = ""
        self.params = []  # (name, value) in received order
        self.sdp = None  # text after the blank line, or None

    @property
    def is_response(self):
        return self.verb is None

    def param(self, name, default=None):
        for key, value in self.params:
            if key.upper() == name.upper():
                return value
        return default


def _is_number(token):
    return re.fullmatch(r"[0-9]{1,10}", token) is not None


def parse(data):
    """Parses one datagram; raises MgcpError when it is not MGCP."""
    if len(data) > MAX_DATAGRAM:
        raise MgcpError("datagram of %d bytes is too long" % len(data))
    text = data.rstrip(b"\0").decode("latin-1")
    if "\0" in text:
        raise MgcpError("NUL inside the text")
    head, blank, body = text.partition("\r\n\r\n")
    if not blank:
        head, blank, body = text.partition("\n\n")
    lines = [line for line in re.split(r"\r\n|\r|\n", head)]
    while lines and not lines[0].strip():
        lines.pop(0)
    if not lines:
        raise MgcpError("empty datagram")
    tokens = lines[0].split()
    message = Message()
    if _is_number(tokens[0]):
        if len(tokens) < 2 or not _is_number(tokens[1]):
            raise MgcpError("response without a transaction id")
        message.code = int(tokens[0])
        message.tid = int(tokens[1])
    else:
        verb = tokens[0].upper()
        if verb not in VERBS or len(tokens) < 4 or not _is_number(tokens[1]):
            raise MgcpError("not an MGCP command: %r" % lines[0][:60])
        message.verb = verb
        message.tid = int(tokens[1])
        message.endpoint = tokens[2]
        message.version = " ".join(tokens[3:])
    for line in lines[1:]:
        if not line.strip():
            continue
        name, colon, value = line.partition(":")
        if not colon:
            raise MgcpError("parameter line without a name: %r" % line[:60])
        message.params.append((name.strip(), value.strip()))
    if blank and body.strip():
        message.sdp = body
    return message


def _encode(first_line, params, sdp):
    text = first_line + CRLF
    for name, value in params:
        text += "%s: %s%s" % (name, value, CRLF) if value != "" else "%s:%s" % (name, CRLF)
    if sdp:
        text += CRLF + sdp
    return text.encode("latin-1") + b"\0"


def format_command(verb, tid, endpoint, params=(), sdp=None):
    return _encode("%s %d %s MGCP 1.0" % (verb, tid, endpoint), params, sdp)


def format_response(code, tid, params=(), sdp=None):
    return _encode("%d %d" % (code, tid), params, sdp)


def split_events(value):
    """Splits an event list such as "D/600, L/ci(,5551234,Ann)" into
    (package, event, parameter or None) tuples."""
    items, depth, current = [], 0, ""
    for ch in value:
        if ch == "(":
            depth += 1
        elif ch == ")":
            depth = max(0, depth - 1)
        if ch == "," and depth == 0:
            items.append(current)
            current = ""
        else:
            current += ch
    items.append(current)
    events = []
    for item in items:
        item = item.strip()
        if not item:
            continue
        match = re.fullmatch(r"([^/()]*)/([^()]*)(?:\((.*)\))?", item)
        if not match:
            raise MgcpError("bad event %r" % item)
        events.append((match.group(1), match.group(2), match.group(3)))
    return events


def parse_sdp(text):
    """Returns (address, port) of an audio description, or None."""
    if not text:
        return None
    address = port = None
    for line in re.split(r"\r\n|\r|\n", text):
        if line.startswith("c=") and address is None:
            address = line.split()[-1] if line.split() else None
        elif line.startswith("m=audio") and port is None:
            fields = line.split()
            if len(fields) > 1 and _is_number(fields[1]) and int(fields[1]) < 65536:
                port = int(fields[1])
    if not address or not port:
        return None
    return address, port


def build_sdp(address, port, payload_type=0):
    return "v=0%sc=IN IP4 %s%sm=audio %d RTP/AVP %d%s" % (
        CRLF, address, CRLF, port, payload_type, CRLF)
