"""The small UDP services beside the call agent: the RTP echo of line 600 and
the NAT information service that answers "GetNAT" with the sender's address."""

import ipaddress


def is_loopback(ip):
    try:
        return ipaddress.ip_address(ip).is_loopback
    except ValueError:
        return False


def echo_reply(data, address):
    """Every RTP packet goes back to its sender."""
    return data, address


def nat_reply(data, address):
    """Answers "GetNAT" (with its NUL) with "<port> <address>"; anything else
    gets no answer."""
    if data.rstrip(b"\0") != b"GetNAT":
        return None
    return ("%d %s" % (address[1], address[0])).encode("ascii") + b"\0", address
