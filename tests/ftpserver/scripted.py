#!/usr/bin/python3
"""A scripted FTP server for replies no real server sends.

--script FILE names a JSON list of steps, run for every connection in turn, or
{"connections": [steps, steps, ...]}: one list for each connection in turn, the
last for every connection after it.
  {"send": "text"}                 send the text (code points 0-255 as bytes)
  {"send": "text", "count": N}     send it N times
  {"expect": "VERB"}               read one command line that starts with VERB
  {"expect": "VERB", "ahead": true}
                                   the same, and the line must have been sent
                                   without waiting for the replies not yet sent
                                   (it is there already, or comes within 0.3 s);
                                   otherwise the connection is closed
  {"expect": "VERB", "alone": true}
                                   the same, and close the connection when more
                                   input follows at once (within 0.3 s), as a
                                   server that will not take commands sent ahead
  {"data_from": "ADDR", "payload": "text"}
                                   connect to the address of the last PORT from
                                   ADDR ("" for the server's own address), send
                                   the payload and close
  {"flood": "text", "seconds": S}  send the text over and over for S seconds
                                   or until the client goes away
  {"hang": true}                   send nothing more until the client goes away
  {"close": true}                  close the connection
After the last step the server answers QUIT with 221 and anything else with 500.
Prints READY once listening; exits on SIGTERM.
"""
import argparse
import itertools
import json
import select
import signal
import socket
import sys
import time


def read_line(conn, buf):
    while b'\n' not in buf[0]:
        chunk = conn.recv(4096)
        if not chunk:
            return None
        buf[0] += chunk
    line, buf[0] = buf[0].split(b'\n', 1)
    return line.rstrip(b'\r').decode('latin-1')


def more_input(conn, buf, seconds=0.3):
    """True when input beyond the lines read is there, or comes within seconds."""
    if buf[0]:
        return True
    ready, _, _ = select.select([conn], [], [], seconds)
    return bool(ready)


def port_address(arg):
    parts = [int(x) for x in arg.split(',')]
    return '.'.join(str(x) for x in parts[:4]), parts[4] * 256 + parts[5]


def serve(conn, host, steps):
    buf = [b'']
    port = None
    for step in steps:
        if 'send' in step:
            conn.sendall(step['send'].encode('latin-1') * step.get('count', 1))
        elif 'expect' in step:
            if step.get('ahead') and not more_input(conn, buf):
                sys.stderr.write('scripted: %s was not sent ahead\n' % step['expect'])
                return
            line = read_line(conn, buf)
            if line is None:
                return
            if not line.upper().startswith(step['expect'].upper()):
                sys.stderr.write('scripted: expected %s, got %r\n' % (step['expect'], line))
                return
            if line.upper().startswith('PORT '):
                port = port_address(line[5:])
            if step.get('alone') and more_input(conn, buf):
                return
        elif 'data_from' in step:
            data = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
            data.bind((step['data_from'] or host, 0))
            try:
                data.settimeout(5)
                data.connect(port)
                data.sendall(step.get('payload', '').encode('latin-1'))
            except OSError:
                pass
            data.close()
        elif 'flood' in step:
            chunk = step['flood'].encode('latin-1') * 256
            end = time.monotonic() + step.get('seconds', 10)
            while time.monotonic() < end:
                conn.sendall(chunk)
        elif step.get('hang'):
            while conn.recv(4096):
                pass
            return
        elif step.get('close'):
            return
    while True:
        line = read_line(conn, buf)
        if line is None:
            return
        if line.upper().startswith('QUIT'):
            conn.sendall(b'221 Bye.\r\n')
            return
        conn.sendall(b'500 Not scripted.\r\n')


def main():
    p = argparse.ArgumentParser()
    p.add_argument('--host', required=True)
    p.add_argument('--port', type=int, default=21)
    p.add_argument('--script', required=True)
    args = p.parse_args()
    with open(args.script, encoding='utf-8') as f:
        script = json.load(f)
    scripts = script['connections'] if isinstance(script, dict) else [script]
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    server.bind((args.host, args.port))
    server.listen(4)
    sys.stdout.write('READY\n')
    sys.stdout.flush()
    for n in itertools.count():
        conn, _ = server.accept()
        try:
            serve(conn, args.host, scripts[min(n, len(scripts) - 1)])
        except OSError:
            pass
        finally:
            conn.close()


if __name__ == '__main__':
    main()
