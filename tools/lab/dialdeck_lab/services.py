"""The small UDP services beside the call agent: the RTP echo of line 600
(the NAT information service lives in nat_service.py)."""

import ipaddress
import time


def is_loopback(ip):
    try:
        return ipaddress.ip_address(ip).is_loopback
    except ValueError:
        return False


# Networks beyond loopback the lab may listen on and send to (--allow-network).
ALLOWED_NETWORKS = []


def allow_network(cidr):
    """Raises ValueError for text that is not an IPv4 network."""
    ALLOWED_NETWORKS.append(ipaddress.IPv4Network(cidr, strict=False))


def is_allowed(ip):
    if is_loopback(ip):
        return True
    try:
        address = ipaddress.ip_address(ip)
    except ValueError:
        return False
    return any(address in network for network in ALLOWED_NETWORKS)


class DelayedSends:
    """Datagrams held back for a delay, released by the server's tick."""

    def __init__(self):
        self._pending = []  # [due, args]

    def add(self, delay_ms, *args):
        self._pending.append([time.monotonic() + delay_ms / 1000.0, args])

    def next_deadline(self):
        return min((p[0] for p in self._pending), default=None)

    def take_due(self):
        now = time.monotonic()
        due = [p[1] for p in sorted(self._pending, key=lambda p: p[0]) if p[0] <= now]
        self._pending = [p for p in self._pending if p[0] > now]
        return due
