#!/usr/bin/env python3
"""The vendor's site for the Windows update and publishing tests: plain HTTP on 127.0.0.1 only.

Usage: update-site.py PROGRAM PORTFILE [POSTFILE]. PROGRAM is the unsigned stub; beside it lie
PROGRAM-vendor.exe and PROGRAM-stranger.exe, signed copies. Listens on a free port, which it writes
to PORTFILE, and serves /CASE/version.txt and /CASE/KORVANTE.exe, each case delivering a program
differently: the vendor's copy unless the case is about another. The error cases answer the
version file with an error status and a body that reads as a newer version. A POST to
/korvante-data.php has its body written to POSTFILE and is answered with 200, or with NNN when the
body holds "answer NNN"."""
import http.server
import re
import socketserver
import sys
import time

unsigned = open(sys.argv[1], 'rb').read()
program = open(sys.argv[1][:-4] + '-vendor.exe', 'rb').read()
stranger = open(sys.argv[1][:-4] + '-stranger.exe', 'rb').read()
tampered = bytearray(program)
tampered[0x410] ^= 1  # in the first section, which the signature's hash covers
BUFFER = 10485760
# case: (version.txt, body, bytes sent before the connection is closed, seconds of silence before that)
CASES = {
    'whole': (b'9.9.9.9\r\n', program, None, 0),
    'unsigned': (b'9.9.9.9\r\n', unsigned, None, 0),
    'stranger': (b'9.9.9.9\r\n', stranger, None, 0),
    'tampered': (b'9.9.9.9\r\n', bytes(tampered), None, 0),
    'cut': (b'9.9.9.9\r\n', program, len(program) // 2, 0),
    'stalled': (b'9.9.9.9\r\n', program, len(program) // 2, 3),
    'large': (b'9.9.9.9\r\n', program + b'\0' * (BUFFER + 1 - len(program)), None, 0),
    'text': (b'9.9.9.9\r\n', b'<html>not a program</html>' * 100, None, 0),
    'otherversion': (b'9.9.9.10\r\n', program, None, 0),
}
# case: status of version.txt (its body is still a newer version), the program served whole
ERRORS = {'missing': 404, 'failing': 500}
for name in ERRORS:
    CASES[name] = (b'9.9.9.9\r\n', program, None, 0)


class Site(http.server.BaseHTTPRequestHandler):
    protocol_version = 'HTTP/1.1'

    def do_GET(self):
        parts = self.path.strip('/').split('/')
        case = CASES.get(parts[0]) if len(parts) == 2 else None
        if case is None or parts[1] not in ('version.txt', 'KORVANTE.exe'):
            self.send_error(404)
            return
        version, body, sent, silence = case
        status = 200
        if parts[1] == 'version.txt':
            body, sent, silence = version, None, 0
            status = ERRORS.get(parts[0], 200)
        self.send_response(status)
        self.send_header('Content-Type', 'application/octet-stream')
        self.send_header('Content-Length', str(len(body)))
        self.end_headers()
        self.wfile.write(body[:sent])
        self.wfile.flush()
        if sent is not None:
            time.sleep(silence)
            self.close_connection = True

    def do_POST(self):
        if self.path != '/korvante-data.php' or len(sys.argv) < 4:
            self.send_error(404)
            return
        body = self.rfile.read(int(self.headers.get('Content-Length', '0')))
        with open(sys.argv[3], 'wb') as f:
            f.write(body)
        asked = re.search(rb'answer (\d{3})', body)
        self.send_response(int(asked.group(1)) if asked else 200)
        self.send_header('Content-Length', '0')
        self.end_headers()

    def log_message(self, *args):
        pass


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True


server = Server(('127.0.0.1', 0), Site)
with open(sys.argv[2], 'w') as f:
    f.write(str(server.server_address[1]))
server.serve_forever()
