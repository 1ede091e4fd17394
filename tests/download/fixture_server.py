#!/usr/bin/env python3
"""HTTP fixture for the download tests. Loopback only; ends by itself.

Paths (the last segment is the file name the client will use):
  /len/<size>/<name>                      <size> bytes with Content-Length
  /nolen/<size>/<name>                    <size> bytes, no Content-Length, closed at the end
  /short/<announced>/<sent>/<name>        announces <announced>, sends <sent>, closes
  /drop/<k>/<n>/<size>/<name>             the first <k> requests of this path get <n> of <size>
                                          announced bytes and a closed connection; later ones all
  /reset/<k>/<n>/<size>/<name>            as /drop, but the connection is reset, not closed
  /resetthen/<k>/<n>/<size>/<name>        the first <k> requests as /reset, every later one is
                                          reset before any response
  /gate/<id>/<first>/<size>/<name>        sends <first> bytes in 16 KB pieces, waits until gate <id> is opened
                                          (at most 60 s), then the rest
  /missing/<name>                         404 with an HTML page
  /to/<url>                               302 to <url> (the rest of the path, as it is), empty body
  /fault/<size>/<plan>/<name>             the fault-injection answers of tests/support/http_fixture.py
                                          for a <size>-byte body (version 2, published by "newetag",
                                          has byte i = (i + 7) % 251)
Control:
  /_control/count/<path...>               how many requests the path has had
  /_control/open/<id>                     opens a gate
  /_control/closedport                    a loopback port nothing listens on
  /_control/sha256/<size>[/flip]          SHA-256 (hex) of a <size>-byte body, or of one with byte 0 changed
  /_control/fault/<path...>               the requests a fault path has had: a line
                                          "requests <n> bytes <body bytes sent>", then one line per
                                          request "<status> <range start or -> <body bytes> <If-Range or ->"
  /_control/sha256v2/<size>               SHA-256 (hex) of version 2 of a <size>-byte fault body
  /_control/quit                          stops the server
The body byte at offset i is i % 251, so tests can check content.
"""
import argparse
import hashlib
import os
import socket
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import http_fixture  # noqa: E402

LIFETIME = 900  # seconds

counts = {}
gates = {}
lock = threading.Lock()


def body(offset, length):
    return http_fixture.pattern_bytes(length, offset)


class FaultOwner:
    """What the fault answers of one body size share: the versions, the request log, and the
    server's event that ends held connections."""

    def __init__(self, size, stopped):
        self.versions = http_fixture.Package([http_fixture.pattern_bytes(size), http_fixture.pattern_bytes(size, 7)])
        self.log = fault_log
        self.stopped = stopped
        self.stalled = threading.Event()
        self.pace = 0.0


fault_log = http_fixture.FaultLog()
fault_owners = {}


def fault_owner(size, stopped):
    with lock:
        if size not in fault_owners:
            fault_owners[size] = FaultOwner(size, stopped)
        return fault_owners[size]


def gate(gate_id):
    with lock:
        return gates.setdefault(gate_id, threading.Event())


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def send_body(self, offset, length):
        chunk = 65536
        end = offset + length
        while offset < end:
            n = min(chunk, end - offset)
            self.wfile.write(body(offset, n))
            offset += n

    def head(self, status, length=None, close=False):
        self.send_response(status)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Cache-Control", "no-store")
        if length is not None:
            self.send_header("Content-Length", str(length))
        if close or length is None:
            self.send_header("Connection", "close")
            self.close_connection = True
        self.end_headers()

    def do_GET(self):
        path = self.path.split("?", 1)[0]
        parts = [p for p in path.split("/") if p]
        if parts and parts[0] == "_control":
            return self.control(parts[1:])
        with lock:
            counts[path] = counts.get(path, 0) + 1
            count = counts[path]
        try:
            kind = parts[0] if parts else ""
            if kind == "to":
                http_fixture.send_redirect(self, path[len("/to/"):])
                return
            if kind == "len":
                size = int(parts[1])
                self.head(200, size)
                self.send_body(0, size)
            elif kind == "nolen":
                size = int(parts[1])
                self.head(200, None)
                self.send_body(0, size)
            elif kind == "short":
                announced, sent = int(parts[1]), int(parts[2])
                self.head(200, announced, close=True)
                self.send_body(0, sent)
                self.wfile.flush()
                self.close_connection = True
            elif kind == "drop":
                k, n, size = int(parts[1]), int(parts[2]), int(parts[3])
                if count <= k:
                    self.head(200, size, close=True)
                    self.send_body(0, n)
                    self.wfile.flush()
                    self.connection.shutdown(socket.SHUT_RDWR)
                    self.close_connection = True
                else:
                    self.head(200, size)
                    self.send_body(0, size)
            elif kind in ("reset", "resetthen"):
                k, n, size = int(parts[1]), int(parts[2]), int(parts[3])
                if count <= k:
                    self.head(200, size, close=True)
                    self.send_body(0, n)
                    self.wfile.flush()
                    http_fixture.reset_connection(self)
                elif kind == "resetthen":
                    http_fixture.reset_connection(self)
                else:
                    self.head(200, size)
                    self.send_body(0, size)
            elif kind == "gate":
                first, size = int(parts[2]), int(parts[3])
                self.head(200, size)
                # In pieces, so the client sees several arrivals before the stall.
                for offset in range(0, first, 16384):
                    self.send_body(offset, min(16384, first - offset))
                    self.wfile.flush()
                    time.sleep(0.02)
                gate(parts[1]).wait(60)
                self.send_body(first, size - first)
            elif kind == "fault":
                owner = fault_owner(int(parts[1]), self.server.owner.stopped)
                http_fixture.FaultAnswerer(self, owner).answer(parts[2], path)
            elif kind == "missing":
                page = b"<html><body><h1>404 Not Found</h1></body></html>"
                self.send_response(404)
                self.send_header("Content-Type", "text/html")
                self.send_header("Content-Length", str(len(page)))
                self.end_headers()
                self.wfile.write(page)
            else:
                self.send_error(400)
        except (BrokenPipeError, ConnectionResetError):
            self.close_connection = True

    def control(self, parts):
        answer = b""
        if parts and parts[0] == "count":
            key = "/" + "/".join(parts[1:])
            with lock:
                answer = str(counts.get(key, 0)).encode()
        elif parts and parts[0] == "sha256" and len(parts) > 1:
            data = bytearray(body(0, int(parts[1])))
            if len(parts) > 2 and parts[2] == "flip" and data:
                data[0] ^= 1
            answer = hashlib.sha256(bytes(data)).hexdigest().encode()
        elif parts and parts[0] == "fault":
            key = "/" + "/".join(parts[1:])
            records = fault_log.requests(key)
            lines = ["requests %d bytes %d" % (len(records), sum(r.body_sent for r in records))]
            for r in records:
                lines.append("%s %s %d %s" % (r.status, "-" if r.range_start is None else r.range_start, r.body_sent,
                                              r.headers.get("If-Range", "-")))
            answer = ("\n".join(lines) + "\n").encode()
        elif parts and parts[0] == "sha256v2" and len(parts) > 1:
            answer = hashlib.sha256(http_fixture.pattern_bytes(int(parts[1]), 7)).hexdigest().encode()
        elif parts and parts[0] == "open" and len(parts) > 1:
            gate(parts[1]).set()
            answer = b"ok"
        elif parts and parts[0] == "closedport":
            s = socket.socket()
            s.bind(("127.0.0.1", 0))
            answer = str(s.getsockname()[1]).encode()
            s.close()
        elif parts and parts[0] == "quit":
            threading.Thread(target=self.server.owner.stop, daemon=True).start()
            answer = b"bye"
        else:
            self.send_error(400)
            return
        self.send_response(200)
        self.send_header("Content-Type", "text/plain")
        self.send_header("Content-Length", str(len(answer)))
        self.send_header("Cache-Control", "no-store")
        self.end_headers()
        self.wfile.write(answer)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port-file", required=True)
    parser.add_argument("--lifetime", type=int, default=LIFETIME)
    args = parser.parse_args()
    # Bounded life: the server stops by itself even if nobody asks it to.
    server = http_fixture.LoopbackServer(Handler, "127.0.0.1", 0, args.lifetime)
    tmp = args.port_file + ".tmp"
    with open(tmp, "w") as f:
        f.write(str(server.port))
    os.replace(tmp, args.port_file)
    try:
        server.stopped.wait()
    finally:
        server.stop()
        try:
            os.unlink(args.port_file)
        except OSError:
            pass


if __name__ == "__main__":
    sys.exit(main())
