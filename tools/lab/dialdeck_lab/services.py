"""The small UDP services beside the call agent: the RTP echo of line 600
(the NAT information service lives in nat_service.py)."""

import ipaddress


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


def echo_reply(data, address):
    """Every RTP packet goes back to its sender."""
    return data, address
