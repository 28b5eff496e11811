#!/usr/bin/env bash
# A loopback FTP server to try Tarnlow against: Debian's pyftpdlib on port 21
# of 127.0.0.21 (no test or benchmark uses that address), one account, and a
# small sample tree of files and folders in a temporary folder. It prints what
# to type into site 1 and runs until Ctrl+C, which stops it and removes the
# temporary folder with whatever was uploaded into it.
#
# Usage: sudo scripts/demo-server.sh [--slow]
#   --slow  transfers run at 256 KiB/s, so the progress strip can be watched
#           (large-file.bin, 8 MiB, then takes half a minute)
#
# Port 21 needs root: Tarnlow always connects to port 21.
set -euo pipefail

usage="usage: sudo scripts/demo-server.sh [--slow]"
rate_kib=0
for option in "$@"; do
    case "$option" in
    --slow) rate_kib=256 ;;
    *) echo "$usage" >&2; exit 2 ;;
    esac
done

if [ "$(id -u)" -ne 0 ]; then
    echo "The demo server listens on port 21, which needs root. Run it again with sudo:" >&2
    echo "    sudo $0${*:+ $*}" >&2
    exit 1
fi

if ! /usr/bin/python3 -c 'import pyftpdlib' 2>/dev/null; then
    echo "Installing: python3-pyftpdlib"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq python3-pyftpdlib
fi

exec /usr/bin/python3 - 127.0.0.21 demo demo "$rate_kib" <<'PYEOF'
import logging
import os
import shutil
import signal
import struct
import sys
import tempfile
import zlib

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.filesystems import AbstractedFS
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer

address, user, password, rate_kib = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])

WELCOME = """Welcome to the Tarnlow demo server.

This folder is a temporary copy made when the demo server started. Upload to
it, download from it, delete in it: it is removed, uploads and all, when the
server stops (Ctrl+C in its terminal).
"""


def picture(width, height, top, bottom):
    """A small PNG: a vertical blend from colour top to colour bottom."""
    rows = b""
    for y in range(height):
        t = y / (height - 1)
        pixel = bytes(round(a + (b - a) * t) for a, b in zip(top, bottom))
        rows += b"\x00" + pixel * width

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


def make_sample_tree(root):
    files = {
        "README.txt": WELCOME.encode(),
        "harbour.png": picture(160, 120, (120, 180, 230), (20, 60, 110)),
        "large-file.bin": bytes(range(256)) * (8 * 4096),
        "notes/shopping-list.txt": b"bread\nmilk\ncoffee\napples\n",
        "notes/ideas.md": b"# Ideas\n\n- a boat trip along the coast\n- learn to sail\n",
        "photos/lighthouse.png": picture(120, 160, (250, 210, 150), (180, 60, 40)),
        "photos/summer/beach.png": picture(160, 100, (140, 200, 250), (230, 210, 160)),
        "reports/2025-q1.csv": b"month,visitors\nJanuary,120\nFebruary,135\nMarch,160\n",
        "reports/2025-q2.csv": b"month,visitors\nApril,170\nMay,210\nJune,260\n",
    }
    for name, data in files.items():
        path = os.path.join(root, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
    os.makedirs(os.path.join(root, "empty-folder"))


def stop(*_):
    raise SystemExit(0)


def main():
    logging.basicConfig(level=logging.INFO, format="  server: %(message)s")
    root = tempfile.mkdtemp(prefix="tarnlow-demo.")
    try:
        make_sample_tree(root)
        authorizer = DummyAuthorizer()
        authorizer.add_user(user, password, root, perm="elradfmwMT")

        class SortedFS(AbstractedFS):
            def listdir(self, path):
                return sorted(AbstractedFS.listdir(self, path))

        class Handler(FTPHandler):
            banner = "Tarnlow demo server ready."
            abstracted_fs = SortedFS

        Handler.authorizer = authorizer
        if rate_kib:
            class SlowDTPHandler(ThrottledDTPHandler):
                read_limit = write_limit = rate_kib * 1024

            Handler.dtp_handler = SlowDTPHandler
        try:
            server = FTPServer((address, 21), Handler)
        except OSError as e:
            print("Cannot listen on port 21 of %s (%s). Is a demo server running already?" % (address, e),
                  file=sys.stderr)
            return 1
        signal.signal(signal.SIGTERM, stop)
        signal.signal(signal.SIGINT, stop)
        print("Tarnlow demo server: ftp://%s (port 21), serving a sample tree in %s" % (address, root))
        if rate_kib:
            print("Transfers are slowed to %d KiB/s." % rate_kib)
        print()
        print("Type into FTP Site 1 (Default):")
        print("    FTP Address:  %s" % address)
        print("    Username:     %s" % user)
        print("    Password:     %s" % password)
        print("    Directory:    (leave it empty)")
        print()
        print("Ready. Press Ctrl+C to stop the server; uploads to it are then removed.", flush=True)
        try:
            server.serve_forever(handle_exit=False)
        except SystemExit:
            pass
        finally:
            server.close_all()
        print("Demo server stopped.", flush=True)
        return 0
    finally:
        shutil.rmtree(root, ignore_errors=True)


sys.exit(main())
PYEOF
