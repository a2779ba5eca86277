"""The lab's line-based control interface: one command per line, one JSON
object per answer line."""

import json
import shlex

from .rtp_record import format_rules, parse_rules


def _json(**fields):
    return json.dumps(fields, sort_keys=True)


def ok(**fields):
    return _json(ok=True, **fields)


def error(text):
    return _json(ok=False, error=text)


HELP = {
    "ping": "ping: answers ok",
    "silent": "silent on|off: stop (or resume) answering and sending",
    "reject-next": "reject-next CODE: answer the next registration with CODE",
    "rsip-code": "rsip-code CODE|none: answer every registration with CODE (none: no answer)",
    "refuse-extension": "refuse-extension EXT: answer that extension 515",
    "accept-extension": "accept-extension EXT: accept that extension again",
    "auep": "auep ENDPOINT: send an audit; its answer shows in state",
    "ldap": "ldap ENDPOINT TEXT: send NTFY with Tarn/ldap(TEXT)",
    "hangup": "hangup ENDPOINT: end the endpoint's call (DLCX to every party)",
    "state": "state ENDPOINT: the endpoint's state",
    "messages": "messages ENDPOINT: every message it exchanged, with time stamps",
    "endpoints": "endpoints: the endpoints the lab knows",
    "calls": "calls: every call the lab has seen",
    "nat": "nat answer|silent, nat drop N, nat delay MS, nat reply [TEXT], nat report: "
           "the NAT information service",
    "relay": "relay ADDR alloc grant|refuse|silent, relay ADDR probe|dealloc answer|silent, "
             "relay ADDR drop N, relay ADDR delay MS, relay ADDR report: the media relay on ADDR",
    "rtp": "rtp ENDPOINT|CALL: line 600's RTP record of the endpoint's last echo call "
           "(or of call number CALL), each way",
    "rtp-impair": "rtp-impair RULES|off: impair line 600's way back, e.g. drop=25 dup=30 "
                  "swap=N late=N:K delay=MS loss=PCT jitter=MS seed=S",
    "directory-mode": "directory-mode normal|silent|refuse|split|garbage|wrong-code: "
                      "how the directory server answers",
    "directory-requests": "directory-requests: every directory request and its answer",
    "presence": "presence: log-on, keep-alive and log-off times per subscriber number",
    "web-version": "web-version VERSION|none [NEED [FLAVOR]]: the version document "
                   "(none: without Version)",
    "web-version-body": "web-version-body TEXT: the version answer, as is",
    "web-mode": "web-mode pin|version|pages normal|hang|fail|garbage: how a web service answers",
    "web-pin": "web-pin auto|true|false: force the PIN page's answer",
    "web-requests": "web-requests: every web request (PIN masked) and its answer",
    "stop": "stop: stop the lab",
    "help": "help: this list",
}


def _code(text):
    if text.lower() == "none":
        return None
    code = int(text)
    if not 100 <= code <= 999:
        raise ValueError("response code out of range")
    return code


def _rtp_record(agent, key):
    if key.isdigit():
        calls = [c for c in agent.calls if c.id == int(key)]
    else:
        endpoint = agent.find_endpoint(key)
        if endpoint is None:
            return error("unknown endpoint or call %s" % key)
        calls = [c for c in agent.calls if c.caller is endpoint and c.kind == "echo"]
    if not calls:
        return error("no echo call for %s" % key)
    call = calls[-1]
    return ok(call=call.id, state=call.state, rtp=call.rtp.summary() if call.rtp else None)


def execute(agent, line, stop):
    """Runs one control line against the agent; returns the answer line."""
    try:
        words = shlex.split(line)
    except ValueError as problem:
        return error("cannot split line: %s" % problem)
    if not words:
        return error("empty command")
    command, args = words[0].lower(), words[1:]
    try:
        if command == "ping":
            return ok()
        if command == "help":
            return ok(commands=sorted(HELP.values()))
        if command == "silent" and len(args) == 1 and args[0] in ("on", "off"):
            agent.silent = args[0] == "on"
            return ok(silent=agent.silent)
        if command == "reject-next" and len(args) == 1:
            agent.reject_next = _code(args[0])
            return ok(reject_next=agent.reject_next)
        if command == "rsip-code" and len(args) == 1:
            agent.rsip_code = _code(args[0])
            return ok(rsip_code=agent.rsip_code)
        if command == "refuse-extension" and len(args) == 1:
            agent.refused_extensions.add(args[0])
            return ok(refused=sorted(agent.refused_extensions))
        if command == "accept-extension" and len(args) == 1:
            agent.refused_extensions.discard(args[0])
            return ok(refused=sorted(agent.refused_extensions))
        if command == "endpoints":
            return ok(endpoints=[e.summary() for e in agent.endpoints.values()])
        if command == "calls":
            return ok(calls=[c.summary() for c in agent.calls])
        if command == "nat":
            return ok(**agent.nat.control(args))
        if command == "relay" and args:
            relay = getattr(agent, "relays", {}).get(args[0])
            if relay is None:
                return error("no relay on %s" % args[0])
            return ok(**relay.control(args[1:]))
        if command == "rtp-impair" and args:
            agent.echo.set_rules(parse_rules(" ".join(args)))
            return ok(rtp_impair=format_rules(agent.echo.rules))
        if command == "rtp" and len(args) == 1:
            return _rtp_record(agent, args[0])
        if command in ("directory-mode", "directory-requests", "presence"):
            directory = getattr(agent, "directory", None)
            if directory is None:
                return error("no directory server")
            return ok(**directory.control(command, args))
        if command.startswith("web-"):
            web = getattr(agent, "web", None)
            if web is None:
                return error("no web services")
            return ok(**web.control(command, args))
        if command == "stop":
            stop()
            return ok(stopping=True)
        if command in ("auep", "ldap", "hangup", "state", "messages") and args:
            endpoint = agent.find_endpoint(args[0])
            if endpoint is None:
                return error("unknown endpoint %s" % args[0])
            if command == "state":
                return ok(endpoint=endpoint.summary())
            if command == "messages":
                return ok(messages=endpoint.messages)
            if command == "auep":
                agent.audit(endpoint)
            elif command == "hangup":
                agent.hang_up(endpoint)
            elif command == "ldap":
                if len(args) < 2:
                    return error("ldap needs a text")
                agent.send_ldap(endpoint, " ".join(args[1:]))
            return ok(endpoint=endpoint.name)
    except ValueError as problem:
        return error(str(problem))
    return error("unknown or malformed command: %s (try help)" % line.strip()[:80])
