"""Command line of the operator lab."""

import argparse
import os
import subprocess
import sys

from . import VERSION
from .ads import own_pictures
from .app_settings import write_app_folder
from .directory import DirectoryServer
from .server import LabServer, Logger
from .rtp_record import parse_rules
from .services import allow_network
from .subscribers import SubscriberStore
from .web import VARIANTS, WebServices


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


def _impairment(text):
    try:
        return parse_rules(text)
    except ValueError as problem:
        raise argparse.ArgumentTypeError(str(problem))


def write_lab_app_folder(args):
    # Options another part of the lab may not offer yet fall back to their defaults.
    tls_dir = getattr(args, "tls_dir", None)
    try:
        path = write_app_folder(
            args.write_app_folder, address=args.address, mgcp_port=args.port,
            directory_port=getattr(args, "directory_port", 2740),
            https_port=getattr(args, "https_port", 2743),
            http_port=getattr(args, "http_port", 2780),
            owner_key=getattr(args, "owner_key", None) or "DialdeckLab",
            ca_file=os.path.join(tls_dir, "ca.pem") if tls_dir else "")
    except (OSError, ValueError) as problem:
        print("dialdeck-lab: --write-app-folder: %s" % problem, file=sys.stderr)
        return 1
    print("app folder written config=%s" % path, flush=True)
    return 0


def write_lab_ads(folder):
    try:
        os.makedirs(folder, exist_ok=True)
        for name, data in own_pictures().items():
            with open(os.path.join(folder, name), "wb") as handle:
                handle.write(data)
    except OSError as problem:
        print("dialdeck-lab: --write-ads: %s" % problem, file=sys.stderr)
        return 1
    print("ads written dir=%s" % folder, flush=True)
    return 0


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
    parser.add_argument("--rtp-impair", type=_impairment, default={}, metavar="RULES",
                        help="impair line 600's way back: drop=N dup=N swap=N late=N:K "
                             "delay=MS loss=PCT jitter=MS seed=S (comma or blank separated)")
    parser.add_argument("--directory-port", type=int, default=2740,
                        help="directory server TCP port (default 2740; 0 picks a free one)")
    parser.add_argument("--accounts", metavar="FILE",
                        help="subscribers as JSON (default: a demo set); see README.md")
    parser.add_argument("--https-port", type=int, default=2743,
                        help="HTTPS port of the web services (default 2743; 0 picks a free one)")
    parser.add_argument("--http-port", type=int, default=2780,
                        help="plain HTTP port of the web services (default 2780; 0 picks a free one)")
    parser.add_argument("--tls-dir", metavar="DIR",
                        help="folder for the lab's CA and certificate (default: a temporary one)")
    parser.add_argument("--tls-variant", choices=VARIANTS, default="good",
                        help="certificate the HTTPS server shows (default good)")
    parser.add_argument("--ads-dir", metavar="DIR",
                        help="pictures served as /ads/NAME (default: the lab's own still.bmp "
                             "and animated.gif)")
    parser.add_argument("--owner-key", default="DialdeckLab",
                        help="owner key the PIN page accepts (default DialdeckLab)")
    parser.add_argument("--silent", action="store_true",
                        help="start without answering or sending anything")
    parser.add_argument("--log", metavar="FILE", help="also append the log to FILE")
    parser.add_argument("--quiet", action="store_true", help="no log on standard error")
    parser.add_argument("--write-app-folder", metavar="DIR",
                        help="write an application folder for dialdeck that uses this lab "
                             "(its addresses and ports) to DIR, then exit")
    parser.add_argument("--write-ads", metavar="DIR",
                        help="write the lab's own advertisement pictures to DIR, then exit")
    parser.add_argument("--version", action="version", version="dialdeck-lab " + VERSION)
    return parser


def main(argv=None):
    args = build_parser().parse_args(argv)
    if args.write_app_folder:
        return write_lab_app_folder(args)
    if args.write_ads:
        return write_lab_ads(args.write_ads)
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
                           args.relay_ports, args.rtp_impair)
    except (OSError, ValueError) as problem:
        print("dialdeck-lab: %s" % problem, file=sys.stderr)
        return 1
    try:
        store = SubscriberStore.from_file(args.accounts) if args.accounts else SubscriberStore()
        directory = DirectoryServer(args.address, args.directory_port, store, server.log)
    except (OSError, ValueError) as problem:
        print("dialdeck-lab: directory: %s" % problem, file=sys.stderr)
        server.close()
        return 1
    server.agent.directory = directory
    try:
        web = WebServices(args.address, args.https_port, args.http_port, args.tls_dir,
                          args.tls_variant, store, args.owner_key, server.log, args.ads_dir)
    except (OSError, ValueError, subprocess.SubprocessError) as problem:
        print("dialdeck-lab: web services: %s" % problem, file=sys.stderr)
        directory.stop()
        server.close()
        return 1
    server.agent.web = web
    addresses = server.addresses()
    # One line that scripts can read to find the ports picked.
    print("lab ready mgcp=%s:%d control=%s:%d rtp=%s:%d directory=%s:%d" % (
        addresses["mgcp"] + addresses["control"] + addresses["rtp"] + directory.address())
        + " https=%s:%d http=%s:%d" % (web.addresses()[0] + web.addresses()[1])
        + " ca=%s cert=%s" % (web.paths["ca.pem"], web.paths["server.pem"]), flush=True)
    directory.start()
    web.start()
    server.serve()
    web.stop()
    directory.stop()
    return 0
