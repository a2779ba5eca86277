"""Command line of the operator lab."""

import argparse
import sys

from . import VERSION
from .server import LabServer, Logger
from .services import allow_network


def parse_code(text):
    if text.lower() == "none":
        return None
    code = int(text)
    if not 100 <= code <= 999:
        raise argparse.ArgumentTypeError("a response code is 100..999 or none")
    return code


def parse_ports(text):
    first, _, last = text.partition("-")
    first, last = int(first), int(last or first)
    if not 1 <= first <= last <= 65535:
        raise argparse.ArgumentTypeError("relay ports are FIRST-LAST within 1..65535")
    return range(first, last + 1)


def build_parser():
    parser = argparse.ArgumentParser(
        prog="dialdeck-lab",
        description="A local stand-in for the operator's call agent, on loopback only. "
                    "Dial 600 for an echo line, 601 for busy, another phone's extension or "
                    "caller-ID number to ring it; anything else is an invalid number.")
    parser.add_argument("--address", default="127.0.0.1",
                        help="loopback address to listen on (default 127.0.0.1)")
    parser.add_argument("--port", type=int, default=2727, help="MGCP port (default 2727)")
    parser.add_argument("--control-port", type=int, default=2730,
                        help="TCP control port (default 2730; 0 picks a free one)")
    parser.add_argument("--rtp-port", type=int, default=0,
                        help="RTP echo port of line 600 (default: a free one)")
    parser.add_argument("--nat-port", type=int, default=2829,
                        help="NAT information service port (default 2829; 0 turns it off)")
    parser.add_argument("--relay-address", action="append", default=[], metavar="ADDR",
                        help="run a media relay on ADDR (repeatable; default: the lab's address)")
    parser.add_argument("--proxy-port", type=int, default=2830,
                        help="media relay control port (default 2830; 0 turns the relay off)")
    parser.add_argument("--relay-ports", type=parse_ports, default=range(42000, 42100),
                        metavar="FIRST-LAST", help="relay ports (default 42000-42099)")
    parser.add_argument("--allow-network", action="append", default=[], metavar="CIDR",
                        help="also listen on and send to this network (repeatable); "
                             "nothing else beyond loopback")
    parser.add_argument("--refuse-extension", action="append", default=[], metavar="EXT",
                        help="answer this extension with 515 (repeatable)")
    parser.add_argument("--rsip-code", type=parse_code, default=200, metavar="CODE",
                        help="answer registrations with CODE, or none (default 200)")
    parser.add_argument("--silent", action="store_true",
                        help="start without answering or sending anything")
    parser.add_argument("--log", metavar="FILE", help="also append the log to FILE")
    parser.add_argument("--quiet", action="store_true", help="no log on standard error")
    parser.add_argument("--version", action="version", version="dialdeck-lab " + VERSION)
    return parser


def main(argv=None):
    args = build_parser().parse_args(argv)
    try:
        for network in args.allow_network:
            allow_network(network)
    except ValueError as problem:
        print("dialdeck-lab: --allow-network: %s" % problem, file=sys.stderr)
        return 2
    try:
        server = LabServer(args.address, args.port, args.control_port, args.rtp_port,
                           args.nat_port, args.refuse_extension, args.rsip_code, args.silent,
                           Logger(args.log, args.quiet), args.relay_address, args.proxy_port,
                           args.relay_ports)
    except (OSError, ValueError) as problem:
        print("dialdeck-lab: %s" % problem, file=sys.stderr)
        return 1
    addresses = server.addresses()
    # One line that scripts can read to find the ports picked.
    print("lab ready mgcp=%s:%d control=%s:%d rtp=%s:%d" % (
        addresses["mgcp"] + addresses["control"] + addresses["rtp"]), flush=True)
    server.serve()
    return 0
