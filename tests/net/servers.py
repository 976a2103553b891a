#!/usr/bin/python3
"""Servers on 127.0.0.1 for the network component tests.

Starts, on ephemeral ports:
  http     a http.server origin whose paths choose a behaviour (see Origin)
  proxy    a forwarding HTTP proxy built on http.server and http.client
  smtp     an aiosmtpd server whose dialogue depends on the names it is given
  control  a line protocol: "LOG name" answers, in hex on one line, the bytes
           last recorded under that name; "PUT path hex" makes the origin
           serve those bytes at that path (an update site, say), "UNPUT path"
           takes one away, "UNPUT" takes them all; "PACE ms" sends every
           put file in 20 pieces that far apart (0: at once); "QUIT" ends
           the process
and prints one line "http=P proxy=P smtp=P control=P".

Names recorded: http (the last request the origin read, byte for byte), proxy
(the last request the proxy read), smtp (every byte of the last SMTP session),
smtp-from, smtp-to (recipients joined by ","), smtp-content (the message as
the server understood it, after removing doubled dots).

The process ends with QUIT, or by itself when its parent process goes away.
"""
import asyncio
import http.client
import http.server
import os
import socket
import socketserver
import struct
import sys
import threading
import time
import urllib.parse

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import SMTP

LOGS = {}
FILES = {}
PACE = [0.0]
LOCK = threading.Lock()
STALL_SECONDS = 30


def record(name, data):
    with LOCK:
        LOGS[name] = bytes(data)


_BASE = bytes((i * 7 + i // 251) & 0xFF for i in range(65521))


def pattern(n):
    """The test body of n bytes: byte i is (j * 7 + j // 251) & 255, j = i mod 65521."""
    reps = n // len(_BASE) + 1
    return (_BASE * reps)[:n]


class TeeReader:
    """Wraps the request's input so that every byte read is recorded."""

    def __init__(self, f):
        self.f = f
        self.data = bytearray()

    def readline(self, *args):
        line = self.f.readline(*args)
        self.data += line
        return line

    def read(self, *args):
        chunk = self.f.read(*args)
        self.data += chunk
        return chunk

    def __getattr__(self, name):
        return getattr(self.f, name)


class Recording(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"
    log_name = "http"

    def setup(self):
        super().setup()
        self.rfile = TeeReader(self.rfile)

    def parse_request(self):
        ok = super().parse_request()
        record(self.log_name, self.rfile.data)
        return ok

    def log_message(self, *args):
        pass

    def raw(self, data):
        try:
            self.wfile.write(data)
            self.wfile.flush()
        except OSError:
            pass

    def stall(self):
        # Keeps the connection open and silent until the client gives up.
        end = time.time() + STALL_SECONDS
        self.request.settimeout(0.2)
        while time.time() < end:
            try:
                if self.request.recv(1) == b"":
                    return
            except socket.timeout:
                continue
            except OSError:
                return


class Origin(Recording):
    """GET paths:
    /bytes/N         200 with Content-Length and N pattern bytes
    /nolength/N      200 without Content-Length, N bytes, then close
    /slow/N          200 with N bytes sent in 20 pieces 30 ms apart
    /seeded/S/N      200 with N pattern bytes, S added to each (modulo 256)
    /status/C        status C with a small body
    /redirect        302 to /bytes/10
    /stall-head      reads the request, then stays silent
    /stall-body      announces 1000 bytes, sends 100, stays silent
    /reset           announces 100000 bytes, sends 5000, resets the connection
    /long-length     announces 2000 bytes, sends 1000, closes
    /short-length    announces 1000 bytes, sends 2000
    /long-line       a header line of 1 MB
    /many-lines      a header of 5000 lines
    any path given by the control's PUT: 200 with those bytes
    """

    def do_GET(self):
        path = self.path
        parts = path.strip("/").split("/")
        head = lambda status, fields: ("HTTP/1.0 %s\r\n" % status + "".join(f + "\r\n" for f in fields) + "\r\n").encode()
        if parts[0] == "bytes":
            n = int(parts[1])
            self.raw(head("200 OK", ["Content-Type: application/octet-stream", "Content-Length: %d" % n]) + pattern(n))
        elif parts[0] == "seeded":
            s, n = int(parts[1]), int(parts[2])
            body = pattern(n).translate(bytes((i + s) & 0xFF for i in range(256)))
            self.raw(head("200 OK", ["Content-Length: %d" % n]) + body)
        elif parts[0] == "nolength":
            self.raw(head("200 OK", ["Content-Type: application/octet-stream"]) + pattern(int(parts[1])))
        elif parts[0] == "slow":
            n = int(parts[1])
            body = pattern(n)
            self.raw(head("200 OK", ["Content-Length: %d" % n]))
            step = max(1, n // 20)
            for i in range(0, n, step):
                self.raw(body[i:i + step])
                time.sleep(0.03)
        elif parts[0] == "status":
            code = int(parts[1])
            body = b"<html>error page %d</html>" % code
            self.raw(head("%d Something" % code, ["Content-Type: text/html", "Content-Length: %d" % len(body)]) + body)
        elif parts[0] == "redirect":
            body = b"moved"
            self.raw(head("302 Found", ["Location: /bytes/10", "Content-Length: %d" % len(body)]) + body)
        elif parts[0] == "stall-head":
            self.stall()
        elif parts[0] == "stall-body":
            self.raw(head("200 OK", ["Content-Length: 1000"]) + pattern(100))
            self.stall()
        elif parts[0] == "reset":
            self.raw(head("200 OK", ["Content-Length: 100000"]) + pattern(5000))
            time.sleep(0.05)
            self.request.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            self.request.close()
        elif parts[0] == "long-length":
            self.raw(head("200 OK", ["Content-Length: 2000"]) + pattern(1000))
        elif parts[0] == "short-length":
            self.raw(head("200 OK", ["Content-Length: 1000"]) + pattern(2000))
        elif parts[0] == "long-line":
            self.raw(head("200 OK", ["X-Long: " + "a" * (1 << 20), "Content-Length: 10"]) + pattern(10))
        elif parts[0] == "many-lines":
            self.raw(head("200 OK", ["X-Line-%d: v" % i for i in range(5000)] + ["Content-Length: 10"]) + pattern(10))
        else:
            with LOCK:
                body = FILES.get(path)
                pace = PACE[0]
            if body is None:
                self.raw(head("404 Not Found", ["Content-Length: 0"]))
            elif pace <= 0:
                self.raw(head("200 OK", ["Content-Length: %d" % len(body)]) + body)
            else:
                self.raw(head("200 OK", ["Content-Length: %d" % len(body)]))
                step = max(1, len(body) // 20)
                for i in range(0, len(body), step):
                    time.sleep(pace)
                    self.raw(body[i:i + step])


class Proxy(Recording):
    """Forwards a GET for a whole address to its origin and relays the reply."""

    log_name = "proxy"

    def do_GET(self):
        url = urllib.parse.urlsplit(self.path)
        if url.scheme != "http" or not url.hostname:
            self.raw(b"HTTP/1.0 400 Bad Request\r\nContent-Length: 0\r\n\r\n")
            return
        origin = http.client.HTTPConnection(url.hostname, url.port or 80, timeout=10)
        origin.request("GET", url.path or "/", headers={"Host": url.netloc})
        reply = origin.getresponse()
        body = reply.read()
        fields = "".join("%s: %s\r\n" % (k, v) for k, v in reply.getheaders())
        self.raw(("HTTP/1.0 %d %s\r\n%s\r\n" % (reply.status, reply.reason, fields)).encode() + body)
        origin.close()


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True


class RecordingSMTP(SMTP):
    def connection_made(self, transport):
        self._wire = bytearray()
        super().connection_made(transport)

    def data_received(self, data):
        self._wire += data
        record("smtp", self._wire)
        super().data_received(data)


class MailHandler:
    """The dialogue follows the names it meets:
    HELO bad...          rejected (501)
    HELO multi           accepted with a three-line reply
    HELO stall           no reply
    RCPT TO nobody@...   rejected (550)
    RCPT TO multi@...    accepted with a three-line reply
    MAIL FROM refuse@... the message is refused after its final dot (554)
    MAIL FROM close@...  the connection is closed after the final dot, unanswered
    """

    async def handle_HELO(self, server, session, envelope, hostname):
        if hostname.startswith("bad"):
            return "501 5.7.0 not you"
        if hostname == "stall":
            await asyncio.sleep(STALL_SECONDS)
        session.host_name = hostname
        if hostname == "multi":
            return "250-hello\r\n250-second line\r\n250 last line"
        return "250 test.invalid"

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address.startswith("nobody@"):
            return "550 5.1.1 no such user"
        envelope.rcpt_tos.append(address)
        if address.startswith("multi@"):
            return "250-accepted\r\n250-really\r\n250 OK"
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        record("smtp-from", envelope.mail_from.encode())
        record("smtp-to", ",".join(envelope.rcpt_tos).encode())
        record("smtp-content", envelope.original_content)
        if envelope.mail_from.startswith("refuse@"):
            return "554 5.6.0 message refused"
        if envelope.mail_from.startswith("close@"):
            server.transport.close()
            return "250 never seen"
        return "250 OK queued"


class MailController(Controller):
    def factory(self):
        return RecordingSMTP(self.handler, hostname="test.invalid", decode_data=False)


class ControlHandler(socketserver.StreamRequestHandler):
    def handle(self):
        for line in self.rfile:
            words = line.decode().split()
            if not words:
                continue
            if words[0] == "LOG" and len(words) == 2:
                with LOCK:
                    data = LOGS.get(words[1], b"")
                self.wfile.write(data.hex().encode() + b"\n")
            elif words[0] == "PUT" and len(words) in (2, 3):
                with LOCK:
                    FILES[words[1]] = bytes.fromhex(words[2] if len(words) == 3 else "")
                self.wfile.write(b"ok\n")
            elif words[0] == "UNPUT" and len(words) <= 2:
                with LOCK:
                    if len(words) == 2:
                        FILES.pop(words[1], None)
                    else:
                        FILES.clear()
                self.wfile.write(b"ok\n")
            elif words[0] == "PACE" and len(words) == 2:
                with LOCK:
                    PACE[0] = int(words[1]) / 1000.0
                self.wfile.write(b"ok\n")
            elif words[0] == "QUIT":
                self.wfile.write(b"bye\n")
                self.wfile.flush()
                os._exit(0)
            else:
                self.wfile.write(b"?\n")
            self.wfile.flush()


class ControlServer(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True


def serve(server):
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server.server_address[1]


def main():
    parent = os.getppid()
    http_port = serve(Server(("127.0.0.1", 0), Origin))
    proxy_port = serve(Server(("127.0.0.1", 0), Proxy))
    control_port = serve(ControlServer(("127.0.0.1", 0), ControlHandler))
    mail = MailController(MailHandler(), hostname="127.0.0.1", port=0)
    # aiosmtpd wants a fixed port; find a free one and hand it over.
    probe = socket.socket()
    probe.bind(("127.0.0.1", 0))
    mail.port = probe.getsockname()[1]
    probe.close()
    mail.start()
    print("http=%d proxy=%d smtp=%d control=%d" % (http_port, proxy_port, mail.port, control_port), flush=True)
    while os.getppid() == parent:
        time.sleep(0.5)
    os._exit(0)


if __name__ == "__main__":
    main()
