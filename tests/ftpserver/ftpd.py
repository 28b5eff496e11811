#!/usr/bin/python3
"""FTP server for the tests, on pyftpdlib, with switches for faults.

Prints READY on stdout once listening and exits cleanly on SIGTERM.
Names are bytes end to end: commands are decoded with surrogateescape, so a
name holding a byte such as 0xE9 reaches the disk unchanged.
"""
import argparse
import os
import signal
import socket
import sys
import time


def parse_args():
    p = argparse.ArgumentParser()
    p.add_argument('--host', default='127.0.0.1')
    p.add_argument('--port', type=int, default=21)
    p.add_argument('--root', required=True)
    p.add_argument('--user', default='user')
    p.add_argument('--password', default='secret')
    p.add_argument('--refuse-password', action='store_true', help='refuse every login')
    p.add_argument('--refuse-stor', action='append', default=[], metavar='NAME')
    p.add_argument('--refuse-retr', action='append', default=[], metavar='NAME')
    p.add_argument('--refuse', action='append', default=[], nargs=2, metavar=('VERB', 'NAME'),
                   help='answer 550 to VERB (CWD, MKD, RMD, DELE, ...) with NAME as its last path part, or '
                        'as its whole argument; a VERB without argument (PWD) is refused in a directory of that name')
    p.add_argument('--drop-control-during-transfer', action='append', default=[], metavar='NAME')
    p.add_argument('--drop-data-during-transfer', action='append', default=[], metavar='NAME')
    p.add_argument('--stall-transfer', action='append', default=[], metavar='NAME',
                   help='open the data connection for NAME but never send or read')
    p.add_argument('--store-short', action='append', default=[], metavar='NAME',
                   help='keep all but the last byte of an upload to NAME, answer 226 and report that size in SIZE')
    p.add_argument('--store-no-truncate', action='append', default=[], metavar='NAME',
                   help='store an upload to NAME over the file there without cutting it to the new size')
    p.add_argument('--physical-cwd', action='store_true',
                   help='resolve links when changing directory, as a server running chdir does: after CWD '
                        'into a link, PWD names the real path and ".." leads to the parent of the target')
    p.add_argument('--throttle', type=int, default=0, metavar='BYTES',
                   help='move at most BYTES a second over each data connection, either way, with the small '
                        'buffers of a slow link (what a client has sent then follows what the server took)')
    p.add_argument('--delay-retr', type=float, default=0, metavar='SECONDS',
                   help='answer RETR only after SECONDS')
    p.add_argument('--silent', action='store_true', help='accept TCP but never send a greeting')
    p.add_argument('--no-mlsd', action='store_true', help='offer neither MLSD nor MLST')
    p.add_argument('--no-size', action='store_true', help='offer no SIZE command')
    p.add_argument('--dos-list', action='store_true', help='LIST in DOS/IIS style')
    p.add_argument('--list-dots', action='store_true', help='LIST includes . and ..')
    p.add_argument('--delay-list', type=float, default=0, metavar='SECONDS',
                   help='answer LIST, NLST and MLSD only after SECONDS')
    p.add_argument('--close-with-421', action='append', default=[], nargs=2, metavar=('VERB', 'NAME'),
                   help='answer VERB with NAME as its last path part with 421 and close the connection')
    p.add_argument('--refuse-and-close', action='append', default=[], nargs=2, metavar=('VERB', 'NAME'),
                   help='answer VERB with NAME as its last path part with 500 and close the connection, '
                        'as a server process that fails mid-session does')
    p.add_argument('--max-cons-per-ip', type=int, default=0, metavar='N',
                   help='refuse (421) more than N connections from one address at a time')
    p.add_argument('--close-on-pipelining', action='store_true',
                   help='close the connection when a command arrives before the last one was answered')
    p.add_argument('--log-commands', metavar='FILE',
                   help='append every command line received (but PASS) to FILE')
    return p.parse_args()


def ready():
    sys.stdout.write('READY\n')
    sys.stdout.flush()


def run_silent(args):
    """Accepts connections and holds them without a word."""
    server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    server.bind((args.host, args.port))
    server.listen(16)
    held = []
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    ready()
    while True:
        conn, _ = server.accept()
        held.append(conn)


def main():
    args = parse_args()
    if args.silent:
        run_silent(args)
        return

    from pyftpdlib.authorizers import AuthenticationFailed, DummyAuthorizer
    from pyftpdlib.filesystems import AbstractedFS
    from pyftpdlib.handlers import ActiveDTP, DTPHandler, FTPHandler, proto_cmds
    from pyftpdlib.servers import FTPServer

    refused = {}
    for verb, name in args.refuse:
        refused.setdefault(verb.upper(), set()).add(name)
    refused.setdefault('STOR', set()).update(args.refuse_stor)
    refused.setdefault('RETR', set()).update(args.refuse_retr)
    closing = {}
    for verb, name in args.close_with_421:
        closing.setdefault(verb.upper(), set()).add(name)
    dying = {}
    for verb, name in args.refuse_and_close:
        dying.setdefault(verb.upper(), set()).add(name)
    drop_control = set(args.drop_control_during_transfer)
    drop_data = set(args.drop_data_during_transfer)
    stall = set(args.stall_transfer)
    store_short = set(args.store_short)
    store_no_truncate = set(args.store_no_truncate)

    class Authorizer(DummyAuthorizer):
        def validate_authentication(self, username, password, handler):
            if args.refuse_password:
                raise AuthenticationFailed('Login refused.')
            DummyAuthorizer.validate_authentication(self, username, password, handler)

    def base_name(path):
        return os.path.basename(path.rstrip('/'))

    class FaultyDTPHandler(DTPHandler):
        """Cuts a transfer off once part of it went through, and keeps to the
        pace of --throttle."""
        threshold = 64 * 1024

        def __init__(self, sock, cmd_channel):
            DTPHandler.__init__(self, sock, cmd_channel)
            self._started = time.monotonic()
            self._pacer = None

        def _pace(self, done):
            """Stops reading or writing until the bytes moved so far are due:
            an even pace, unlike pyftpdlib's own throttle, which lets a whole
            second's worth through at once and then sleeps for two."""
            if not args.throttle or self._closed:
                return
            ahead = self._started + done / args.throttle - time.monotonic()
            if ahead > 0.005:
                self.del_channel()
                self._pacer = self.ioloop.call_later(ahead, self._resume, _errback=self.handle_error)

        def _resume(self):
            self._pacer = None
            if not self._closed:
                self.add_channel(events=self.ioloop.READ if self.receive else self.ioloop.WRITE)

        def close(self):
            if self._pacer is not None and not self._pacer.cancelled:
                self._pacer.cancel()
            DTPHandler.close(self)

        def _fault_name(self):
            return base_name(self.file_obj.name) if self.file_obj is not None else None

        def _maybe_drop(self, done):
            name = self._fault_name()
            if name is None or done < self.threshold:
                return False
            if name in drop_control:
                self.cmd_channel.close()
                return True
            if name in drop_data:
                self._resp = ('426 Connection closed; transfer aborted.', lambda *_: None)
                self.close()
                return True
            return False

        def initiate_send(self):
            if self._fault_name() in stall:
                return
            DTPHandler.initiate_send(self)

        def send(self, data):
            result = DTPHandler.send(self, data)
            if not self._maybe_drop(self.tot_bytes_sent):
                self._pace(self.tot_bytes_sent)
            return result

        def handle_read(self):
            if self._fault_name() in stall:
                return
            DTPHandler.handle_read(self)
            if not self._closed and not self._maybe_drop(self.tot_bytes_received):
                self._pace(self.tot_bytes_received)

        # The base class binds the event straight to its own handle_read.
        handle_read_event = handle_read

        def readable(self):
            if self._fault_name() in stall:
                return False
            return DTPHandler.readable(self)

        def writable(self):
            if self._fault_name() in stall:
                return False
            return DTPHandler.writable(self)

    class SlowLinkActiveDTP(ActiveDTP):
        """A data connection that holds little in flight, as over a slow link:
        the loopback's buffers would take megabytes of a file at once."""

        def create_socket(self, family=socket.AF_INET, type=socket.SOCK_STREAM):
            ActiveDTP.create_socket(self, family, type)
            for option in (socket.SO_RCVBUF, socket.SO_SNDBUF):
                self.socket.setsockopt(socket.SOL_SOCKET, option, 32 * 1024)

    class FileSystem(AbstractedFS):
        def chdir(self, path):
            if not args.physical_cwd:
                AbstractedFS.chdir(self, path)
                return
            os.chdir(path)
            real = os.path.relpath(os.path.realpath(path), os.path.realpath(self.root))
            self.cwd = '/' if real == '.' else '/' + real.replace(os.sep, '/')

        def open(self, filename, mode):
            if mode == 'wb' and base_name(filename) in store_no_truncate and os.path.isfile(filename):
                return open(filename, 'r+b')
            return AbstractedFS.open(self, filename, mode)

        def format_list(self, basedir, listing, ignore_err=True):
            if args.list_dots:
                listing = ['.', '..'] + list(listing)
            if not args.dos_list:
                yield from AbstractedFS.format_list(self, basedir, listing, ignore_err)
                return
            for name in listing:
                try:
                    st = self.lstat(os.path.join(basedir, name))
                except OSError:
                    continue
                stamp = time.strftime('%m-%d-%y  %I:%M%p', time.gmtime(st.st_mtime))
                size = '<DIR>         ' if os.path.isdir(os.path.join(basedir, name)) else '%14d' % st.st_size
                line = '%s       %s %s\r\n' % (stamp, size, name)
                yield line.encode('utf8', self.cmd_channel.unicode_errors)

    commands = dict(proto_cmds)
    if args.no_mlsd:
        commands.pop('MLSD', None)
        commands.pop('MLST', None)
    if args.no_size:
        commands.pop('SIZE', None)

    class Handler(FTPHandler):
        proto_cmds = commands
        abstracted_fs = FileSystem
        dtp_handler = FaultyDTPHandler
        active_dtp = SlowLinkActiveDTP if args.throttle else ActiveDTP
        unicode_errors = 'surrogateescape'
        auth_failed_timeout = 0
        use_sendfile = False
        permit_foreign_addresses = False

        def push(self, s):
            # Replies quote names with their bytes (MKD's 257, PWD), as vsftpd
            # does: pyftpdlib's own push would refuse a name that is not UTF-8.
            from pyftpdlib.handlers import asynchat
            asynchat.async_chat.push(self, s.encode('utf8', self.unicode_errors))

        def on_file_received(self, file):
            # Runs before the next command is read, so SIZE already sees the loss.
            if base_name(file) in store_short:
                os.truncate(file, max(os.path.getsize(file) - 1, 0))

        def found_terminator(self):
            # What is left in the input buffer after this line is another
            # command, sent before this one was answered.
            if args.close_on_pipelining and self.ac_in_buffer:
                self.close()
                return
            FTPHandler.found_terminator(self)

        def pre_process_command(self, line, cmd, arg):
            if args.log_commands and cmd != 'PASS':
                with open(args.log_commands, 'ab') as log:
                    log.write(line.encode('utf8', 'surrogateescape') + b'\n')
            if cmd in closing and arg is not None and base_name(arg) in closing[cmd]:
                self.respond('421 Service not available, closing control connection.')
                self.close_when_done()
                return
            if cmd in dying and arg is not None and base_name(arg) in dying[cmd]:
                self.respond('500 OOPS: the session failed.')
                self.close_when_done()
                return
            subject = arg or (self.fs.cwd if cmd in refused and self.fs is not None else '')
            if subject and cmd in refused and (base_name(subject) in refused[cmd] or subject in refused[cmd]):
                self.respond('550 Refused by the test server.')
                return
            delay = args.delay_list if cmd in ('LIST', 'NLST', 'MLSD') else args.delay_retr if cmd == 'RETR' else 0
            if delay:
                def later():
                    if not self._closed:
                        FTPHandler.pre_process_command(self, line, cmd, arg)
                self.ioloop.call_later(delay, later)
                return
            FTPHandler.pre_process_command(self, line, cmd, arg)

    authorizer = Authorizer()
    authorizer.add_user(args.user, args.password, args.root, perm='elradfmwMT')
    Handler.authorizer = authorizer

    server = FTPServer((args.host, args.port), Handler)
    server.max_cons_per_ip = args.max_cons_per_ip

    def stop(*_):
        server.close_all()
        sys.exit(0)

    signal.signal(signal.SIGTERM, stop)
    ready()
    server.serve_forever(handle_exit=False)


if __name__ == '__main__':
    import logging
    logging.basicConfig(level=logging.CRITICAL)
    main()
