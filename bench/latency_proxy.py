#!/usr/bin/python3
"""A far server on the loopback: an FTP proxy that delays everything each way.

The benchmark (bench/run.sh) puts it between every tool and its vsftpd. The
kernel here has no traffic shaping, so the delay is made in user space:

- Every byte, on the control connection and on every data connection, reaches
  the other side DELAY ms after the proxy read it, in order, with back-pressure:
  a direction holds at most BUFFER_CHUNKS reads in flight, so a slow reader
  slows the writer. An end of stream (FIN) is passed on after the data.
- Opening a connection costs what a TCP handshake costs: the far side sees
  the connection three one-way delays (SYN, SYN-ACK, ACK) after it was opened
  (--connect-legs). The proxy's own accept is immediate, so for a control
  connection the greeting reaches the client two round trips after its
  connect, as it would over a real link.
- Active mode: a client's PORT or EPRT is rewritten to a listener of the
  proxy's own, on the proxy's address, facing the server. When the server
  connects there, the proxy connects on to the client's original data address
  from the address the client connected to, so the client's check that the
  data connection comes from its server still holds. Passive mode is not
  relayed: a PASV or EPSV closes the session, so no tool can go round the delay.

Every control line is logged with the time the client side saw it (a command
when it arrived from the client, a reply line when it was handed to the
client), in ms of the real-time clock, so the log lines up with stamps taken
by other processes. `count` reads such a log and counts round trips (see
docs/performance.md for the definition).

Usage:
  latency_proxy.py serve --listen HOST:PORT --server HOST:PORT --log FILE
                         [--delay-ms 20] [--connect-legs 3] [--lifetime-s 3600]
  latency_proxy.py count LOG [--files N] [--commands]
"""

import argparse
import asyncio
import collections
import re
import signal
import socket
import sys
import time

READ_BYTES = 64 * 1024
BUFFER_CHUNKS = 16  # reads in flight per direction: at most 1 MiB
LINE_LIMIT = 64 * 1024
DATA_ACCEPT_S = 60  # how long an unused data listener waits for the server
PASSIVE_VERBS = {b"PASV", b"EPSV", b"LPSV", b"SPSV"}
IP_BIND_ADDRESS_NO_PORT = getattr(socket, "IP_BIND_ADDRESS_NO_PORT", 24)


def now_ms():
    return time.time() * 1000.0


class Log:
    """One line per event: time (ms), connection, kind, text; tab-separated."""

    def __init__(self, path):
        self.file = open(path, "w", buffering=1, encoding="latin-1", errors="replace")

    def write(self, conn, kind, text=""):
        self.file.write("%.1f\t%s\t%s\t%s\n" % (now_ms(), conn, kind, text))


class Delayed:
    """One direction of a connection: what is read from @reader is written to
    the writer (awaited from @writer_ready) @delay seconds later, in order."""

    def __init__(self, delay, reader, writer_ready, lines=False, on_read=None, on_deliver=None):
        self.delay = delay
        self.reader = reader
        self.writer_ready = writer_ready
        self.lines = lines
        self.on_read = on_read  # line -> line to send (control, client to server)
        self.on_deliver = on_deliver  # called with each line as it is handed on
        self.queue = asyncio.Queue(maxsize=BUFFER_CHUNKS)
        self.bytes = 0

    async def read(self):
        loop = asyncio.get_running_loop()
        try:
            while True:
                if self.lines:
                    try:
                        data = await self.reader.readuntil(b"\n")
                    except asyncio.IncompleteReadError as e:
                        data = e.partial
                else:
                    data = await self.reader.read(READ_BYTES)
                if not data:
                    break
                due = loop.time() + self.delay
                if self.on_read:
                    data = self.on_read(data)
                    if data is None:
                        break
                self.bytes += len(data)
                await self.queue.put((due, data))
        except (ConnectionError, asyncio.LimitOverrunError, ValueError):
            pass
        await self.queue.put((loop.time() + self.delay, None))

    async def write(self):
        loop = asyncio.get_running_loop()
        writer = await self.writer_ready
        if writer is None:
            return
        while True:
            due, data = await self.queue.get()
            wait = due - loop.time()
            if wait > 0:
                await asyncio.sleep(wait)
            if data is None:
                if writer.can_write_eof():
                    writer.write_eof()
                return
            writer.write(data)
            if self.on_deliver:
                self.on_deliver(data)
            await writer.drain()


async def open_from(host, port, source_host):
    """A connection to (@host, @port) from @source_host, port left to connect()."""
    family = socket.AF_INET6 if ":" in host else socket.AF_INET
    sock = socket.socket(family, socket.SOCK_STREAM)
    try:
        if family == socket.AF_INET:
            sock.setsockopt(socket.IPPROTO_IP, IP_BIND_ADDRESS_NO_PORT, 1)
        if source_host and (":" in source_host) == (family == socket.AF_INET6):
            sock.bind((source_host, 0))
        sock.setblocking(False)
        await asyncio.get_running_loop().sock_connect(sock, (host, port))
    except BaseException:
        sock.close()
        raise
    sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    return await asyncio.open_connection(sock=sock, limit=LINE_LIMIT)


def close_writer(writer):
    if writer is not None:
        writer.close()


class Proxy:
    def __init__(self, args):
        self.delay = args.delay_ms / 1000.0
        self.setup = args.connect_legs * self.delay
        self.listen_host, self.listen_port = split_address(args.listen)
        self.server_host, self.server_port = split_address(args.server)
        self.log = Log(args.log)
        self.next_id = collections.Counter()

    def new_id(self, prefix):
        self.next_id[prefix] += 1
        return "%s%d" % (prefix, self.next_id[prefix])

    async def pair(self, conn, near_reader, near_writer, far_host, far_port, far_source, out=None, back=None):
        """Relays a connection accepted from the near side to a new one to the
        far side, opened after the handshake's legs. What the near side sends
        meanwhile is timed from when it arrived. Returns the two directions."""
        loop = asyncio.get_running_loop()
        far_ready = loop.create_future()
        near_ready = loop.create_future()
        near_ready.set_result(near_writer)
        there = Delayed(self.delay, near_reader, far_ready, **(out or {}))
        tasks = [asyncio.ensure_future(there.read()), asyncio.ensure_future(there.write())]
        far_writer = None
        back_pipe = None
        try:
            await asyncio.sleep(self.setup)
            try:
                far_reader, far_writer = await open_from(far_host, far_port, far_source)
            except OSError as e:
                self.log.write(conn, "error", "connect to %s:%d: %s" % (far_host, far_port, e))
                far_ready.set_result(None)
                return there, None
            far_ready.set_result(far_writer)
            back_pipe = Delayed(self.delay, far_reader, near_ready, **(back or {}))
            tasks += [asyncio.ensure_future(back_pipe.read()), asyncio.ensure_future(back_pipe.write())]
            await asyncio.gather(*tasks)
        except (ConnectionError, OSError):
            pass
        finally:
            for t in tasks:
                t.cancel()
            close_writer(near_writer)
            close_writer(far_writer)
        return there, back_pipe

    async def on_client(self, c_reader, c_writer):
        conn = self.new_id("c")
        peer = c_writer.get_extra_info("peername")
        local = c_writer.get_extra_info("sockname")
        c_writer.get_extra_info("socket").setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        self.log.write(conn, "open", "%s:%d" % peer[:2])
        session = Session(self, conn, local[0])
        try:
            await self.pair(conn, c_reader, c_writer, self.server_host, self.server_port, self.listen_host,
                            out={"lines": True, "on_read": session.from_client},
                            back={"lines": True, "on_deliver": session.to_client})
        finally:
            session.close()
            self.log.write(conn, "close")


class Session:
    """The active-mode side of one control connection: its data listeners."""

    def __init__(self, proxy, conn, client_facing_host):
        self.proxy = proxy
        self.conn = conn
        self.client_facing_host = client_facing_host
        self.listeners = []
        self.closed = False

    def from_client(self, line):
        verb = line.split(b" ", 1)[0].strip().upper()
        text = line.rstrip(b"\r\n").decode("latin-1")
        if verb == b"PASS":
            text = "PASS ***"
        self.proxy.log.write(self.conn, ">", text)
        if verb in PASSIVE_VERBS:
            self.proxy.log.write(self.conn, "error", "passive mode is not relayed; session closed")
            return None
        if verb in (b"PORT", b"EPRT"):
            target = parse_port(line) if verb == b"PORT" else parse_eprt(line)
            if target is not None:
                port = self.listen_for(*target)
                if verb == b"PORT":
                    h = self.proxy.listen_host.replace(".", ",")
                    return ("PORT %s,%d,%d\r\n" % (h, port >> 8, port & 0xFF)).encode()
                af = 2 if ":" in self.proxy.listen_host else 1
                return ("EPRT |%d|%s|%d|\r\n" % (af, self.proxy.listen_host, port)).encode()
        return line

    def to_client(self, line):
        self.proxy.log.write(self.conn, "<", line.rstrip(b"\r\n").decode("latin-1"))

    def listen_for(self, client_host, client_port):
        """A listener facing the server for one data connection to the client's address."""
        sock = socket.socket(socket.AF_INET6 if ":" in self.proxy.listen_host else socket.AF_INET)
        sock.bind((self.proxy.listen_host, 0))
        sock.listen(1)
        sock.setblocking(False)
        port = sock.getsockname()[1]
        task = asyncio.ensure_future(self.accept_once(sock, client_host, client_port))
        self.listeners.append((sock, task))
        return port

    async def accept_once(self, sock, client_host, client_port):
        loop = asyncio.get_running_loop()
        try:
            server_sock, _ = await asyncio.wait_for(loop.sock_accept(sock), DATA_ACCEPT_S)
        except (asyncio.TimeoutError, OSError):
            return
        finally:
            sock.close()
        proxy = self.proxy
        data = proxy.new_id("d")
        proxy.log.write(data, "open", "%s for %s:%d" % (self.conn, client_host, client_port))
        server_sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        s_reader, s_writer = await asyncio.open_connection(sock=server_sock, limit=LINE_LIMIT)
        down, up = await proxy.pair(data, s_reader, s_writer, client_host, client_port, self.client_facing_host)
        proxy.log.write(data, "close", "down %d up %d" % (down.bytes, up.bytes if up else 0))

    def close(self):
        for sock, task in self.listeners:
            if not task.done():
                task.cancel()
                sock.close()
        self.listeners = []


def split_address(text):
    host, _, port = text.rpartition(":")
    return host.strip("[]"), int(port)


def parse_port(line):
    m = re.match(rb"\s*PORT\s+(\d+),(\d+),(\d+),(\d+),(\d+),(\d+)\s*$", line, re.I)
    if not m:
        return None
    n = [int(x) for x in m.groups()]
    if any(x > 255 for x in n):
        return None
    return "%d.%d.%d.%d" % tuple(n[:4]), n[4] * 256 + n[5]


def parse_eprt(line):
    m = re.match(rb"\s*EPRT\s+(.)([12])\1([^\s]+?)\1(\d+)\1\s*$", line, re.I)
    if not m or int(m.group(4)) > 65535:
        return None
    return m.group(3).decode("latin-1"), int(m.group(4))


async def serve(args):
    proxy = Proxy(args)
    server = await asyncio.start_server(
        proxy.on_client, proxy.listen_host, proxy.listen_port, reuse_address=True, limit=LINE_LIMIT
    )
    stop = asyncio.get_running_loop().create_future()
    for sig in (signal.SIGTERM, signal.SIGINT):
        asyncio.get_running_loop().add_signal_handler(sig, lambda: stop.done() or stop.set_result(None))
    try:
        await asyncio.wait_for(stop, args.lifetime_s)
    except asyncio.TimeoutError:
        pass
    server.close()
    proxy.log.file.close()


# --- counting round trips -------------------------------------------------------

REPLY_END = re.compile(r"^(\d{3})( |$)")


def count(args):
    """Round trips per control connection: a client line starts a new round
    trip when a server line reached the client after the client's previous
    line (the first command waited for the greeting). Lines sent with no
    server line in between share one round trip."""
    events = collections.defaultdict(list)
    data_conns = 0
    with open(args.log, encoding="latin-1") as f:
        for row in f:
            parts = row.rstrip("\n").split("\t", 3)
            if len(parts) < 3:
                continue
            t, conn, kind = float(parts[0]), parts[1], parts[2]
            text = parts[3] if len(parts) > 3 else ""
            if conn.startswith("d"):
                data_conns += kind == "open"
                continue
            events[conn].append((t, kind, text))
    total_rt = total_cmds = 0
    released_by = collections.Counter()
    listing = []
    for conn in sorted(events, key=lambda c: int(c[1:])):
        heard = True  # the greeting is awaited before the first command
        awaiting = collections.deque(["greeting"])
        last_answered = "greeting"
        rts = cmds = 0
        line = []
        for t, kind, text in events[conn]:
            if kind == "<":
                m = REPLY_END.match(text)
                if m and not m.group(1).startswith("1") and awaiting:
                    last_answered = awaiting.popleft()
                elif m and m.group(1).startswith("1") and awaiting:
                    last_answered = awaiting[0] + " (1xx)"
                heard = True
            elif kind == ">":
                verb = text.split(" ", 1)[0].upper()
                cmds += 1
                if heard:
                    rts += 1
                    released_by[last_answered] += 1
                    line.append("|")
                    heard = False
                line.append(verb)
                awaiting.append(verb)
        total_rt += rts
        total_cmds += cmds
        listing.append("%s: %d commands, %d round trips: %s" % (conn, cmds, rts, " ".join(line)))
    files = args.files or 1
    print(
        "connections=%d data_connections=%d commands=%d round_trips=%d rt_per_file=%.2f cmds_per_file=%.2f"
        % (len(events), data_conns, total_cmds, total_rt, total_rt / files, total_cmds / files)
    )
    print("waited on: " + ", ".join("%s %d" % kv for kv in released_by.most_common()))
    if args.commands:
        print("\n".join(listing))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = parser.add_subparsers(dest="mode", required=True)
    s = sub.add_parser("serve")
    s.add_argument("--listen", required=True)
    s.add_argument("--server", required=True)
    s.add_argument("--log", required=True)
    s.add_argument("--delay-ms", type=float, default=20.0)
    s.add_argument("--connect-legs", type=int, default=3)
    s.add_argument("--lifetime-s", type=float, default=3600.0)
    c = sub.add_parser("count")
    c.add_argument("log")
    c.add_argument("--files", type=int, default=0)
    c.add_argument("--commands", action="store_true")
    args = parser.parse_args()
    if args.mode == "serve":
        asyncio.run(serve(args))
    else:
        count(args)


if __name__ == "__main__":
    sys.exit(main())
