#!/usr/bin/python3
"""A small FTP server that breaks one command at one step, for the fault tests.

It serves a folder as a real server would (login, FEAT, CWD, PWD, TYPE, SIZE,
MKD, RMD, DELE, PORT, EPRT, MLSD, LIST, STOR, RETR, NOOP, QUIT; active mode
only, the data connection opened once the transfer starts, as vsftpd does),
and breaks the command named by --fault:

  --fault VERB STEP KIND
    VERB  PASS, CWD, PWD, MKD, RMD, DELE, MLSD, LIST, STOR or RETR
    STEP  reply      instead of the command's reply
          mid-reply  after the first line of a reply that is never finished
          after-150  after the preliminary reply of a transfer
          mid-data   after part of a transfer's data
    KIND  close-control  close the control connection
          close-data     close the data connection, then reply 426
          421            reply 421, then close the control connection
          silent         send nothing more; hold everything open
          no-data        (after-150) never open the data connection
  --from-connection N  connections before the N-th work without the fault
  --mark FILE          created when the fault happens

Servers out of step with the client, on every connection:
  --stray-after VERB   one more "226 Transfer complete." after each final
                       reply to VERB (STOR or RETR), as a server that answers
                       twice
  --cut NAME           RETR NAME sends half the file and answers 451; STOR NAME
                       takes the file, discards it and answers 552
  --pipelined-port     a PORT or EPRT followed at once by the next command is
                       answered after that command's first reply, as a server
                       that connects on PORT and answers it once connected

Prints READY once listening and exits on SIGTERM. Each connection is served
on a thread of its own.
"""
import argparse
import os
import select
import signal
import socket
import sys
import threading


class Fault(Exception):
    """The fault happened: this connection is done."""


class Session:
    def __init__(self, conn, args, faulty):
        self.conn = conn
        self.args = args
        self.faulty = faulty
        self.root = os.path.realpath(args.root)
        self.cwd = '/'
        self.port = None
        self.buf = b''
        self.deferred = None  # a PORT's answer, sent after the next reply
        self.name = None  # the file of the transfer under way

    # --- the control connection ---
    def send(self, text):
        self.conn.sendall(text.encode('utf-8', 'surrogateescape'))

    def reply(self, code, text):
        self.send('%d %s\r\n' % (code, text))
        if self.deferred:
            deferred, self.deferred = self.deferred, None
            self.send(deferred)

    def more_input(self):
        """True when the next command is there already, or comes within 50 ms."""
        if b'\n' in self.buf:
            return True
        ready, _, _ = select.select([self.conn], [], [], 0.05)
        return bool(ready)

    def read_line(self):
        while b'\n' not in self.buf:
            chunk = self.conn.recv(4096)
            if not chunk:
                return None
            self.buf += chunk
        line, self.buf = self.buf.split(b'\n', 1)
        return line.rstrip(b'\r').decode('utf-8', 'surrogateescape')

    def hold(self, *others):
        """Sends nothing more until the client goes away."""
        try:
            while self.conn.recv(4096):
                pass
        except OSError:
            pass
        for other in others:
            other.close()
        raise Fault()

    def mark(self):
        if self.args.mark:
            open(self.args.mark, 'w').close()

    def fault_at(self, verb, step):
        fault = self.args.fault
        return self.faulty and fault and fault[0] == verb and fault[1] == step

    def break_control(self, kind, data=None):
        """Breaks the control connection the way @kind says (not close-data)."""
        self.mark()
        if kind == '421':
            self.reply(421, 'Service not available, closing control connection.')
        if kind in ('silent', 'no-data'):
            self.hold(*([data] if data else []))
        if data:
            data.close()
        raise Fault()

    def respond(self, verb, code, text):
        """The final reply of a command, or the fault in its place."""
        if self.fault_at(verb, 'reply'):
            self.break_control(self.args.fault[2])
        if self.fault_at(verb, 'mid-reply'):
            self.send('%d-%s\r\n' % (code, text))
            self.break_control(self.args.fault[2])
        self.reply(code, text)

    # --- paths ---
    def virtual(self, arg):
        path = arg if arg.startswith('/') else self.cwd.rstrip('/') + '/' + arg
        return os.path.normpath('/' + path).replace('//', '/')

    def real(self, arg):
        return os.path.join(self.root, self.virtual(arg).lstrip('/'))

    # --- data ---
    def open_data(self):
        # From the server's own address: clients accept data only from there.
        return socket.create_connection(self.port, timeout=10, source_address=(self.conn.getsockname()[0], 0))

    def transfer(self, verb, payload=None, target=None):
        """Runs a transfer: 150, the data, 226, with the fault where it is set."""
        kind = self.args.fault[2] if self.faulty and self.args.fault else None
        if self.fault_at(verb, 'reply'):
            self.break_control(kind)
        if self.fault_at(verb, 'mid-reply'):
            self.send('150-Opening data connection.\r\n')
            self.break_control(kind)
        self.reply(150, 'Opening BINARY mode data connection.')
        if self.fault_at(verb, 'after-150'):
            if kind == 'no-data':
                self.mark()
                self.hold()
            self.fault_in_data(self.open_data())
            return
        data = self.open_data()
        cut = self.name in self.args.cut
        try:
            if payload is not None:
                half = len(payload) // 2
                if self.fault_at(verb, 'mid-data'):
                    data.sendall(payload[:half])
                    self.fault_in_data(data)
                    return
                if cut:
                    data.sendall(payload[:half])
                    data.close()
                    self.reply(451, 'Requested action aborted: local error in processing.')
                    return
                data.sendall(payload)
            else:
                received = 0
                with open(target, 'wb') as f:
                    while True:
                        chunk = data.recv(65536)
                        if not chunk:
                            break
                        f.write(chunk)
                        received += len(chunk)
                        if self.fault_at(verb, 'mid-data') and received >= 32 * 1024:
                            self.fault_in_data(data)
                            return
                if cut:
                    os.remove(target)
                    self.reply(552, 'Quota exceeded; file discarded.')
                    return
        finally:
            data.close()
        self.reply(226, 'Transfer complete.')

    def fault_in_data(self, data):
        kind = self.args.fault[2]
        if kind == 'close-data':
            self.mark()
            data.close()
            self.reply(426, 'Connection closed; transfer aborted.')
            return
        self.break_control(kind, data)

    # --- listings ---
    def mlsd(self, path):
        lines = []
        for name in sorted(os.listdir(path)):
            full = os.path.join(path, name)
            if os.path.isdir(full):
                lines.append('type=dir; %s\r\n' % name)
            else:
                lines.append('type=file;size=%d; %s\r\n' % (os.path.getsize(full), name))
        return ''.join(lines).encode('utf-8', 'surrogateescape')

    # --- the conversation ---
    def run(self):
        self.reply(220, 'Faulty test server ready.')
        user = None
        while True:
            line = self.read_line()
            if line is None:
                return
            verb, _, arg = line.partition(' ')
            verb = verb.upper()
            if verb == 'USER':
                user = arg
                self.reply(331, 'Password required.')
            elif verb == 'PASS':
                if user == self.args.user and arg == self.args.password:
                    self.respond('PASS', 230, 'Logged in.')
                else:
                    self.reply(530, 'Login incorrect.')
            elif verb == 'QUIT':
                self.reply(221, 'Goodbye.')
                return
            elif verb == 'FEAT':
                self.send('211-Features:\r\n MLST type*;size*;\r\n SIZE\r\n211 End\r\n')
            elif verb in ('NOOP', 'TYPE', 'OPTS'):
                self.reply(200, 'OK.')
            elif verb == 'PWD':
                self.respond('PWD', 257, '"%s" is the current directory.' % self.cwd.replace('"', '""'))
            elif verb == 'CWD':
                if os.path.isdir(self.real(arg)):
                    self.cwd = self.virtual(arg)
                    self.respond('CWD', 250, 'Directory changed.')
                else:
                    self.respond('CWD', 550, 'No such directory.')
            elif verb == 'MKD':
                try:
                    os.mkdir(self.real(arg))
                    self.respond('MKD', 257, '"%s" created.' % self.virtual(arg))
                except OSError:
                    self.respond('MKD', 550, 'Cannot create.')
            elif verb in ('RMD', 'DELE'):
                try:
                    (os.rmdir if verb == 'RMD' else os.remove)(self.real(arg))
                    self.respond(verb, 250, 'Removed.')
                except OSError:
                    self.respond(verb, 550, 'Cannot remove.')
            elif verb == 'SIZE':
                path = self.real(arg)
                if os.path.isfile(path):
                    self.reply(213, str(os.path.getsize(path)))
                else:
                    self.reply(550, 'No such file.')
            elif verb in ('PORT', 'EPRT'):
                if verb == 'PORT':
                    parts = [int(x) for x in arg.split(',')]
                    self.port = ('.'.join(str(x) for x in parts[:4]), parts[4] * 256 + parts[5])
                else:
                    fields = arg.split(arg[0])
                    self.port = (fields[2], int(fields[3]))
                if self.args.pipelined_port and self.more_input():
                    self.deferred = '200 %s command successful.\r\n' % verb
                else:
                    self.reply(200, '%s command successful.' % verb)
            elif verb in ('MLSD', 'LIST'):
                self.transfer(verb, payload=self.mlsd(self.real(arg or '.')))
            elif verb == 'RETR':
                path = self.real(arg)
                if not os.path.isfile(path):
                    self.reply(550, 'No such file.')
                else:
                    self.name = os.path.basename(arg)
                    with open(path, 'rb') as f:
                        self.transfer('RETR', payload=f.read())
            elif verb == 'STOR':
                self.name = os.path.basename(arg)
                self.transfer('STOR', target=self.real(arg))
            else:
                self.reply(500, 'Unknown command.')
            if verb in self.args.stray_after:
                self.send('226 Transfer complete.\r\n')


def main():
    p = argparse.ArgumentParser()
    p.add_argument('--host', required=True)
    p.add_argument('--port', type=int, default=21)
    p.add_argument('--root', required=True)
    p.add_argument('--user', default='tester')
    p.add_argument('--password', default='pa55 word')
    p.add_argument('--fault', nargs=3, metavar=('VERB', 'STEP', 'KIND'))
    p.add_argument('--from-connection', type=int, default=1)
    p.add_argument('--mark')
    p.add_argument('--stray-after', action='append', default=[], metavar='VERB')
    p.add_argument('--cut', action='append', default=[], metavar='NAME')
    p.add_argument('--pipelined-port', action='store_true')
    args = p.parse_args()
    signal.signal(signal.SIGTERM, lambda *_: os._exit(0))
    server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    server.bind((args.host, args.port))
    server.listen(16)
    sys.stdout.write('READY\n')
    sys.stdout.flush()
    count = 0
    while True:
        conn, _ = server.accept()
        count += 1
        session = Session(conn, args, count >= args.from_connection)

        def serve(s=session, c=conn):
            try:
                s.run()
            except (Fault, OSError):
                pass
            finally:
                c.close()
        threading.Thread(target=serve, daemon=True).start()


if __name__ == '__main__':
    main()
