"""The call agent: answers the endpoints' commands, runs the call flows and
sends its own commands with retransmission."""

import itertools
import time

from . import mgcp
from .records import BUSY_NUMBER, ECHO_NUMBER, Call, Endpoint
from .scrambling import UnscrambleError, unscramble_hex

RETRANSMIT_AFTER = 1.0  # seconds; the endpoint answers repeats from its cache
MAX_SENDS = 4
# A CRCX answer may wait for NAT discovery and a relay allocation at the endpoint.
CRCX_PATIENCE = 20.0
RESPONSE_CACHE_SECONDS = 30.0


class Pending:
    def __init__(self, endpoint, verb, data, on_response):
        self.endpoint = endpoint
        self.verb = verb
        self.data = data
        self.on_response = on_response
        self.first_sent = time.monotonic()
        self.last_sent = self.first_sent
        self.sends = 1
        self.patience = CRCX_PATIENCE if verb == "CRCX" else 0.0

    def next_due(self):
        if self.sends < MAX_SENDS:
            return self.last_sent + RETRANSMIT_AFTER
        return max(self.last_sent + RETRANSMIT_AFTER, self.first_sent + self.patience)


class CallAgent:
    def __init__(self, transmit, log, media_address, refused_extensions=(), rsip_code=200,
                 silent=False):
        self._transmit = transmit  # (bytes, (ip, port)) -> None
        self._log = log
        self.media_address = media_address  # (ip, port) of the lab's echo socket
        self.refused_extensions = set(refused_extensions)
        self.rsip_code = rsip_code
        self.reject_next = None
        self.silent = silent
        self.endpoints = {}
        self.calls = []
        self._pending = {}
        self._response_cache = {}
        self._tids = itertools.count(1000)
        self._request_ids = itertools.count(1)
        self._call_ids = itertools.count(1)

    # -- transport -----------------------------------------------------------

    def _send(self, endpoint, data, **extra):
        text = data.rstrip(b"\0").decode("latin-1")
        endpoint.record("out", text, **extra)
        if self.silent:
            self._log("Tx suppressed (silent)[%s:%d]: %s" % (endpoint.address + (text,)))
            return
        self._transmit(data, endpoint.address)

    def _respond(self, endpoint, message, code, params=(), sdp=None):
        data = mgcp.format_response(code, message.tid, params, sdp)
        self._response_cache[(endpoint.address, message.tid)] = (time.monotonic(), data)
        self._send(endpoint, data)

    def send_command(self, endpoint, verb, params=(), sdp=None, on_response=None):
        tid = next(self._tids)
        data = mgcp.format_command(verb, tid, endpoint.name, params, sdp)
        self._pending[tid] = Pending(endpoint, verb, data, on_response)
        self._send(endpoint, data, tid=tid)
        return tid

    def _request(self, endpoint, signals=None, requested=None):
        params = [("X", "%x" % next(self._request_ids))]
        if signals:
            params.append(("S", signals))
        if requested:
            params.append(("R", requested))
        self.send_command(endpoint, "RQNT", params)

    def tick(self):
        """Retransmits unanswered commands and forgets old cached responses."""
        now = time.monotonic()
        for tid, pending in list(self._pending.items()):
            if now < pending.next_due():
                continue
            if pending.sends >= MAX_SENDS:
                del self._pending[tid]
                self._log("No answer to %s %d from %s" % (pending.verb, tid,
                                                          pending.endpoint.name))
                pending.endpoint.record("note", "no answer to %s %d" % (pending.verb, tid))
                if pending.on_response:
                    pending.on_response(None)
                continue
            pending.sends += 1
            pending.last_sent = now
            self._send(pending.endpoint, pending.data, tid=tid, retransmission=pending.sends)
        for key, (stamp, _) in list(self._response_cache.items()):
            if now - stamp > RESPONSE_CACHE_SECONDS:
                del self._response_cache[key]

    def next_deadline(self):
        if not self._pending:
            return None
        return min(p.next_due() for p in self._pending.values())

    # -- receiving -----------------------------------------------------------

    def _endpoint_for(self, name, address):
        endpoint = self.endpoints.get(name)
        if endpoint is None:
            endpoint = Endpoint(name, address)
            self.endpoints[name] = endpoint
        endpoint.address = address
        return endpoint

    def _endpoint_by_address(self, address):
        for endpoint in self.endpoints.values():
            if endpoint.address == address:
                return endpoint
        return None

    def handle_datagram(self, data, address):
        try:
            message = mgcp.parse(data)
        except mgcp.MgcpError as error:
            self._log("Dropped datagram from %s:%d: %s" % (address + (error,)))
            return
        text = data.rstrip(b"\0").decode("latin-1")
        if message.is_response:
            pending = self._pending.get(message.tid)
            endpoint = pending.endpoint if pending else self._endpoint_by_address(address)
            if endpoint is not None:
                extra = {"tid": message.tid}
                if pending:
                    extra["answer_ms"] = round((time.monotonic() - pending.first_sent) * 1000, 3)
                endpoint.record("in", text, **extra)
            if pending and not self.silent:
                del self._pending[message.tid]
                if pending.on_response:
                    pending.on_response(message)
            return
        endpoint = self._endpoint_for(message.endpoint, address)
        endpoint.record("in", text, tid=message.tid)
        if self.silent:
            return
        cached = self._response_cache.get((address, message.tid))
        if cached:
            self._send(endpoint, cached[1])
            return
        if not message.version.upper().startswith("MGCP 1.0"):
            self._respond(endpoint, message, 528)
            return
        handler = {"RSIP": self._on_rsip, "NTFY": self._on_notify}.get(message.verb)
        if handler is None:
            self._respond(endpoint, message, 504)
            return
        handler(endpoint, message)

    # -- registration ----------------------------------------------------------

    def _on_rsip(self, endpoint, message):
        method = (message.param("RM") or "restart").lower()
        if method != "restart":
            self._respond(endpoint, message, 200)
            self._end_call_of(endpoint, "unregistered")
            endpoint.registered = False
            endpoint.state = "unregistered"
            return
        code = self.rsip_code
        if self.reject_next is not None:
            code, self.reject_next = self.reject_next, None
        endpoint.rsip_code = code
        if code is None:
            return  # configured to leave registrations unanswered
        self._respond(endpoint, message, code)
        self._end_call_of(endpoint, "restarted")
        if code == 200:
            endpoint.registered = True
            endpoint.state = "idle"
            self._request(endpoint, requested="L/hd(N)")
        else:
            endpoint.registered = False
            endpoint.state = "rejected"

    def _on_notify(self, endpoint, message):
        try:
            events = mgcp.split_events(message.param("O", ""))
        except mgcp.MgcpError:
            self._respond(endpoint, message, 510)
            return
        code = 200
        dialled = None
        hook = None
        for package, name, parameter in events:
            package_l = package.lower()
            if package_l == "tarn":
                code = max(code, self._on_endpoint_info(endpoint, name.lower(), parameter or ""))
            elif package_l == "d" and name:
                dialled = name
            elif package_l == "l" and name.lower() == "ci":
                fields = (parameter or "").split(",")
                endpoint.caller_number = fields[1].strip() if len(fields) > 1 else ""
                endpoint.caller_name = fields[2].strip() if len(fields) > 2 else ""
            elif package_l == "l" and name.lower() in ("hd", "hu", "oc"):
                hook = name.lower()
        self._respond(endpoint, message, code)
        if dialled is not None:
            if endpoint.call is not None and endpoint.call.state in ("connected",):
                return  # digits during a call
            self._dialled(endpoint, dialled)
        if hook == "hd":
            self._off_hook(endpoint)
        elif hook == "hu":
            self._on_hook(endpoint)

    def _on_endpoint_info(self, endpoint, name, parameter):
        if name == "ext":
            endpoint.extension = parameter
            if parameter in self.refused_extensions:
                return 515
        elif name in ("acct", "eacct"):
            account, _, pin = parameter.partition(",")
            endpoint.account_scrambled = name == "eacct"
            endpoint.account_error = None
            if name == "eacct":
                try:
                    account = unscramble_hex(account) if account else ""
                    pin = unscramble_hex(pin) if pin else ""
                except UnscrambleError as error:
                    endpoint.account_error = str(error)
                    account = pin = None
            endpoint.account, endpoint.pin = account, pin
        elif name == "ver":
            endpoint.version = parameter
        return 200

    # -- calls -------------------------------------------------------------------

    def _find_callee(self, caller, number):
        for endpoint in self.endpoints.values():
            if endpoint is not caller and endpoint.registered and number in endpoint.numbers():
                return endpoint
        return None

    def _connection_params(self, call, endpoint):
        if endpoint.connection_id is None:
            endpoint.connection_id = "%X%02d" % (call.id, 1 if endpoint is call.caller else 2)
        return [("C", "%08X" % call.id), ("I", endpoint.connection_id)]

    def _dialled(self, caller, number):
        self._end_call_of(caller, "redialled")
        call = Call(next(self._call_ids), caller, number)
        self.calls.append(call)
        caller.call = call
        callee = self._find_callee(caller, number)
        if number == ECHO_NUMBER:
            call.kind = "echo"
            self._create_connection(call, caller, "L/hu(N)", None, self._echo_connected)
        elif number == BUSY_NUMBER or (callee is not None and callee.call is not None):
            call.kind = "busy"
            call.mark("busy")
            caller.state = "busy"
            self._request(caller, signals="L/bz", requested="L/hu(N)")
        elif callee is not None:
            call.kind = "line"
            call.callee = callee
            callee.call = call
            caller.state = "calling"
            self._create_connection(call, caller, "L/hu(N)", None, self._caller_connected)
        else:
            call.kind = "invalid"
            call.mark("invalid")
            caller.state = "invalid"
            self._request(caller, signals="L/e", requested="L/hu(N)")

    def _create_connection(self, call, endpoint, requested, remote, then):
        params = [("C", "%08X" % call.id), ("X", "%x" % next(self._request_ids)),
                  ("M", "sendrecv"), ("R", requested)]
        sdp = mgcp.build_sdp(*remote) if remote else None

        def answered(response):
            if call.state == "ended":
                if response is not None and response.code == 200:
                    # The call ended while the connection was being made.
                    self.send_command(endpoint, "DLCX", [("C", "%08X" % call.id)])
                return
            if response is None or response.code != 200:
                self._fail_call(call, "CRCX to %s failed" % endpoint.name)
                return
            endpoint.media = mgcp.parse_sdp(response.sdp)
            self._connection_params(call, endpoint)
            then(call, endpoint)

        self.send_command(endpoint, "CRCX", params, sdp, answered)

    def _modify_connection(self, call, endpoint, remote, then=None):
        params = self._connection_params(call, endpoint) + [("M", "sendrecv")]

        def answered(response):
            if call.state == "ended":
                return
            if response is None or response.code != 200:
                self._fail_call(call, "MDCX to %s failed" % endpoint.name)
            elif then:
                then(call, endpoint)

        self.send_command(endpoint, "MDCX", params, mgcp.build_sdp(*remote), answered)

    def _relay_allocation(self, media):
        """The lab relay allocation an endpoint's media description names, if any."""
        relay = getattr(self, "relays", {}).get(media[0]) if media else None
        return relay.allocation_at(media[1]) if relay else None

    def _far_end_for(self, endpoint, other_media):
        """What endpoint should send to: its relay port, whose far leg becomes
        the other party's media, when it advertised one; else the other party."""
        allocation = self._relay_allocation(endpoint.media)
        if allocation is None:
            return other_media
        allocation.far_leg = tuple(other_media)
        return endpoint.media

    def _echo_connected(self, call, caller):
        def connected(call, caller):
            call.mark("connected")
            caller.state = "connected"

        self._modify_connection(call, caller, self._far_end_for(caller, self.media_address),
                                connected)

    def _caller_connected(self, call, caller):
        callee = call.callee
        if caller.media is None:
            self._fail_call(call, "caller gave no media description")
            return
        self._create_connection(call, callee, "L/hd(N)", caller.media, self._callee_connected)

    def _callee_connected(self, call, callee):
        caller = call.caller
        # An MDCX to a ringing callee would start its media before it answers, so
        # it keeps the caller's media from its CRCX; its relay port leads there too.
        self._far_end_for(callee, caller.media)
        call.mark("ringing")
        callee.state = "ringing"
        caller.state = "ringback"
        ring_text = caller.caller_number or caller.extension or ""
        self._request(callee, signals="L/ci(%s)" % ring_text, requested="L/hd(N)")
        self._request(caller, signals="L/v", requested="L/hu(N)")

    def _off_hook(self, endpoint):
        call = endpoint.call
        if call is None or call.kind != "line" or endpoint is not call.callee:
            return
        if call.state != "ringing" or endpoint.media is None:
            return
        call.mark("connected")
        endpoint.state = "connected"
        call.caller.state = "connected"
        self._request(endpoint, requested="L/hu(N)")
        self._modify_connection(call, call.caller, self._far_end_for(call.caller, endpoint.media))

    def _on_hook(self, endpoint):
        if endpoint.call is not None:
            self._end_call(endpoint.call, endpoint.name)

    def _end_call_of(self, endpoint, reason):
        if endpoint.call is not None:
            self._end_call(endpoint.call, reason)

    def _fail_call(self, call, reason):
        self._log("Call %d: %s" % (call.id, reason))
        self._end_call(call, "failure: " + reason)

    def _end_call(self, call, ended_by):
        if call.state == "ended":
            return
        call.mark("ended")
        call.ended_by = ended_by
        for party in call.parties():
            party.call = None
            party.state = "idle" if party.registered else "unregistered"
            if party.connection_id is not None:
                self._delete_connection(call, party)
            elif party.registered:
                self._request(party, requested="L/hd(N)")

    def _delete_connection(self, call, endpoint):
        params = [("C", "%08X" % call.id), ("I", endpoint.connection_id)]
        endpoint.connection_id = None
        endpoint.media = None

        def answered(_response):
            # Re-arm only once the endpoint has reported its own on-hook.
            if endpoint.registered and endpoint.call is None:
                self._request(endpoint, requested="L/hd(N)")

        self.send_command(endpoint, "DLCX", params, None, answered)

    # -- control ---------------------------------------------------------------------

    def find_endpoint(self, key):
        if key in self.endpoints:
            return self.endpoints[key]
        matches = [e for e in self.endpoints.values()
                   if key in ("%s:%d" % e.address, e.address[0])]
        return matches[-1] if matches else None

    def hang_up(self, endpoint):
        if endpoint.call is not None:
            self._end_call(endpoint.call, "lab")
        else:
            self.send_command(endpoint, "DLCX", [])

    def audit(self, endpoint):
        def answered(response):
            if response is None:
                endpoint.audit = {"code": None}
            else:
                endpoint.audit = {"code": response.code, "params": dict(response.params)}

        endpoint.audit = {"code": "pending"}
        self.send_command(endpoint, "AUEP", [], None, answered)

    def send_ldap(self, endpoint, text):
        self.send_command(endpoint, "NTFY", [("O", "Tarn/ldap(%s)" % text)])
