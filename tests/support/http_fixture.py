"""The loopback HTTP servers of the tests (download, payload, whole runs, page runs, benchmarks);
each stops by itself after its lifetime, and any of them speaks HTTPS only when given `tls` (a PEM
file with certificate and key, see tls_fixture.py).

  FaultServer    a package server that misbehaves on demand (below)
  LicenseServer  the test build's licence host, 127.0.0.2:80
  ReportServer   the report host, 127.0.0.1:80: records every request, answers 200

A package path names what each request to it gets, in order: `/<plan>/<name>` where <plan> is a
comma-separated list of steps; request i gets step i, and the last step repeats. "item*k" repeats
a step k times. Byte counts N are bytes of body in that one answer.

  ok             the package: 200, or 206 for "Range: bytes=N-" (with If-Range, only while the
                 validator still matches the published version; else 200 with the whole file);
                 416 for a range at or past the end
  stall:N        headers and N bytes, then the connection is held (until the server stops)
  reset:N        headers and N bytes, then the connection is reset (SO_LINGER 0)
  short:N        headers and N bytes, then a clean close (fewer bytes than announced)
  busy:S:T       status S (503, 429, ...) with "Retry-After: T" and a short page
  norange        200 with the whole file, whatever the request asked
  badrange       to a range request: 206 whose Content-Range and body start at byte 0
  unsat          to a range request: 416 (Range Not Satisfiable), whatever the range
  newetag        publishes the package's next version (another ETag and Last-Modified), then ok
  drip           ok, sent 16 KB per second
  drip:N         ok, the first N bytes of the answer 16 KB per second, the rest at once
Plan-wide flags (anywhere in the list, not steps): "noval" sends neither ETag nor Last-Modified;
"lm" sends Last-Modified only.

Every request is recorded (verb, path, headers, status, the range asked, body bytes sent).
"""
import hashlib
import io
import re
import socket
import struct
import threading
import time
import zipfile
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

import tls_fixture

DRIP_PIECE = 16384
CHUNK = 32768


class Package:
    """The versions a package path may publish, in order; each has its own validators."""

    def __init__(self, versions):
        self.versions = [bytes(v) for v in versions]

    def etag(self, version):
        return '"v%d-%s"' % (version + 1, hashlib.sha256(self.versions[version]).hexdigest()[:16])

    def last_modified(self, version):
        # One day apart per version, a fixed date: what If-Range compares.
        day = 6 + version
        return "Sun, %02d Nov 2026 08:49:37 GMT" % day

    def sha256(self, version=0):
        return hashlib.sha256(self.versions[version]).hexdigest()


class Record:
    def __init__(self, verb, path, headers):
        self.verb = verb
        self.path = path
        self.headers = headers
        self.status = None
        self.range_start = None  # the start of "Range: bytes=N-", when asked
        self.body_sent = 0
        self.step = None


def parse_plan(text):
    """(steps, flags) of a plan segment: steps as (name, [arguments])."""
    steps, flags = [], set()
    for item in text.split(","):
        if not item:
            continue
        if item in ("noval", "lm"):
            flags.add(item)
            continue
        count = 1
        if "*" in item:
            item, _, times = item.partition("*")
            count = int(times)
        name, *args = item.split(":")
        steps.extend([(name, args)] * count)
    return steps or [("ok", [])], flags


class PathState:
    def __init__(self):
        self.count = 0
        self.version = 0


class FaultLog:
    """Requests and bytes of one server, shared by its handler threads."""

    def __init__(self):
        self.lock = threading.Lock()
        self.records = []
        self.paths = {}

    def begin(self, record, key):
        with self.lock:
            self.records.append(record)
            state = self.paths.setdefault(key, PathState())
            state.count += 1
            return state.count, state

    def requests(self, path=None):
        with self.lock:
            return [r for r in self.records if path is None or r.path == path]

    def bytes_sent(self, path=None):
        return sum(r.body_sent for r in self.requests(path))


def range_start(headers):
    value = headers.get("Range")
    if not value or not value.startswith("bytes=") or not value.endswith("-"):
        return None
    try:
        return int(value[len("bytes="):-1])
    except ValueError:
        return None


def reset_connection(handler):
    """Ends the request's connection with RST instead of FIN (linger 0), after a moment for the
    bytes already written to leave."""
    time.sleep(0.05)
    handler.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    handler.connection.close()
    handler.close_connection = True


def send_redirect(handler, location):
    """302 to `location`, as it is, with an empty body."""
    handler.send_response(302)
    handler.send_header("Location", location)
    handler.send_header("Content-Length", "0")
    handler.end_headers()


class FaultAnswerer:
    """Answers one request of a package path by its plan. `handler` is the request's
    BaseHTTPRequestHandler; `owner` the FaultServer (its package `versions`, log, `stopped` Event that ends
    held connections, `stalled` Event set once a stall has sent its bytes, and `pace`: seconds
    between 32 KB pieces of whole answers, 0 for as fast as the socket takes them). `package`
    replaces the owner's for this answer."""

    def __init__(self, handler, owner, package=None):
        self.h = handler
        self.package = package or owner.versions
        self.log = owner.log
        self.stopped = owner.stopped
        self.stalled = owner.stalled
        self.pace = owner.pace

    def answer(self, plan_text, key):
        steps, flags = parse_plan(plan_text)
        record = Record(self.h.command, self.h.path, dict(self.h.headers.items()))
        record.range_start = range_start(self.h.headers)
        number, state = self.log.begin(record, key)
        name, args = steps[min(number, len(steps)) - 1]
        record.step = name
        if name == "newetag":
            state.version = min(state.version + 1, len(self.package.versions) - 1)
            name = "ok"
        self.record = record
        self.flags = flags
        self.version = state.version
        try:
            getattr(self, "step_" + name)(*args)
        except (BrokenPipeError, ConnectionResetError, ConnectionAbortedError):
            self.h.close_connection = True

    # The pieces of an answer.

    def data(self):
        return self.package.versions[self.version]

    def validators(self):
        if "noval" in self.flags:
            return []
        lm = ("Last-Modified", self.package.last_modified(self.version))
        if "lm" in self.flags:
            return [lm]
        return [("ETag", self.package.etag(self.version)), lm]

    def if_range_matches(self):
        value = self.h.headers.get("If-Range")
        if value is None:
            return True
        if "noval" in self.flags:
            return False
        if value.startswith('"'):
            return "lm" not in self.flags and value == self.package.etag(self.version)
        return value == self.package.last_modified(self.version)

    def head(self, status, length, extra=(), close=False):
        self.record.status = status
        self.h.send_response(status)
        self.h.send_header("Content-Type", "application/zip")
        self.h.send_header("Cache-Control", "no-store")
        self.h.send_header("Accept-Ranges", "bytes")
        for key, value in list(self.validators()) + list(extra):
            self.h.send_header(key, value)
        self.h.send_header("Content-Length", str(length))
        if close:
            self.h.send_header("Connection", "close")
            self.h.close_connection = True
        self.h.end_headers()

    def send(self, data, pace=0.0, piece=CHUNK):
        for offset in range(0, len(data), piece):
            chunk = data[offset:offset + piece]
            self.h.wfile.write(chunk)
            self.h.wfile.flush()
            self.record.body_sent += len(chunk)
            if pace and offset + piece < len(data):
                if self.stopped.wait(pace):
                    raise ConnectionAbortedError()

    def start(self, close=False):
        """The head of an ok answer to this request; the body bytes it owes."""
        data = self.data()
        start = self.record.range_start
        if start is not None and self.if_range_matches():
            if start >= len(data):
                self.head(416, 0, [("Content-Range", "bytes */%d" % len(data))], close=True)
                return b""
            self.head(206, len(data) - start, [("Content-Range", "bytes %d-%d/%d" % (start, len(data) - 1, len(data)))],
                      close)
            return data[start:]
        self.head(200, len(data), (), close)
        return data

    # The steps.

    def step_ok(self):
        self.send(self.start(), self.pace)

    def step_stall(self, n):
        body = self.start(close=True)
        self.send(body[:int(n)])
        self.stalled.set()
        # Held until the server stops (bounded by its lifetime), then closed short.
        self.stopped.wait()
        self.h.close_connection = True

    def step_reset(self, n):
        body = self.start(close=True)
        self.send(body[:int(n)])
        reset_connection(self.h)

    def step_short(self, n):
        body = self.start(close=True)
        self.send(body[:int(n)])
        self.h.wfile.flush()
        self.h.connection.shutdown(socket.SHUT_RDWR)
        self.h.close_connection = True

    def step_busy(self, status, retry_after):
        page = b"<html><body>Busy, try again later.</body></html>"
        self.record.status = int(status)
        self.h.send_response(int(status))
        self.h.send_header("Content-Type", "text/html")
        self.h.send_header("Retry-After", retry_after)
        self.h.send_header("Content-Length", str(len(page)))
        self.h.end_headers()
        self.h.wfile.write(page)

    def step_norange(self):
        data = self.data()
        self.head(200, len(data))
        self.send(data, self.pace)

    def step_badrange(self):
        data = self.data()
        if self.record.range_start is None:
            return self.step_ok()
        # Claims to be the rest but is the file from its start.
        self.head(206, len(data), [("Content-Range", "bytes 0-%d/%d" % (len(data) - 1, len(data)))])
        self.send(data, self.pace)

    def step_unsat(self):
        if self.record.range_start is None:
            return self.step_ok()
        page = b"<html><body>Range not satisfiable</body></html>"
        self.head(416, len(page), [("Content-Range", "bytes */%d" % len(self.data()))])
        self.h.wfile.write(page)

    def step_drip(self, n=None):
        body = self.start()
        dripped = len(body) if n is None else min(int(n), len(body))
        self.send(body[:dripped], 1.0, DRIP_PIECE)
        self.send(body[dripped:])


class _Server(ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True


class LoopbackServer:
    """A ThreadingHTTPServer in a thread that stops by itself after `lifetime` seconds. The handler
    reaches this object as `self.server.owner`."""

    def __init__(self, handler, host, port, lifetime, bind_wait=0, tls=None):
        deadline = time.monotonic() + bind_wait
        while True:
            try:
                self.httpd = _Server((host, port), handler)
                break
            except OSError:
                # Another test may hold a fixed port for a while.
                if time.monotonic() >= deadline:
                    raise
                time.sleep(0.25)
        self.httpd.owner = self
        self.port = self.httpd.server_address[1]
        self.stopped = threading.Event()
        self._thread = threading.Thread(target=self.httpd.serve_forever, kwargs={"poll_interval": 0.2},
                                        daemon=True)
        self._thread.start()
        self._timer = threading.Timer(lifetime, self.stop)
        self._timer.daemon = True
        self._timer.start()
        # `tls`: a PEM file with certificate and key; the server then speaks HTTPS only.
        self.tls = None
        if tls:
            tls_fixture.serve_tls(self, tls)

    def stop(self):
        if self.stopped.is_set():
            return
        self.stopped.set()
        self._timer.cancel()
        self.httpd.shutdown()
        self.httpd.server_close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()


class FaultHandler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def do_GET(self):
        owner = self.server.owner
        path = self.path.split("?", 1)[0]
        parts = [p for p in path.split("/") if p]
        if len(parts) >= 2 and parts[0] == "f":
            FaultAnswerer(self, owner).answer(parts[1], path)
        else:
            owner.log.begin(Record(self.command, self.path, dict(self.headers.items())), path)
            self.send_error(404)


class FaultServer(LoopbackServer):
    """Serves `/f/<plan>/<name>` from `versions` (the package's bytes, then any later versions that
    "newetag" publishes) on 127.0.0.1 and a kernel-chosen port."""

    def __init__(self, versions, lifetime=900, pace=0.0, handler=FaultHandler, host="127.0.0.1", port=0, tls=None):
        self.versions = Package(versions)
        self.log = FaultLog()
        self.pace = pace
        self.stalled = threading.Event()
        super().__init__(handler, host, port, lifetime, tls=tls)

    def url(self, path):
        return "http://127.0.0.1:%d%s" % (self.port, path)

    def sha256(self, version=0):
        """A version's SHA-256 in hexadecimal, as the pages pass it after "#sha256="."""
        return self.versions.sha256(version)

    def fault_url(self, plan, name="HalvardLumenaryPro.zip"):
        return self.url("/f/%s/%s" % (plan, name))

    def requests(self, path=None):
        return self.log.requests(path)

    def bytes_sent(self, path=None):
        return self.log.bytes_sent(path)


def pattern_bytes(size, seed=0):
    """`size` bytes whose byte i is (i + seed) % 251: content a test can check without a file."""
    period = bytes((i + seed) % 251 for i in range(251))
    return (period * (size // 251 + 1))[:size]


LICENSE_PATH = re.compile(r"^/license/([^/]+)/([^/]+)/Eula\.html$")
# Requests for this product are held without an answer until the server stops.
STALLED_PRODUCT = "QRXSTALL"


def demo_licence(product, lang):
    """The licence page of the whole runs, the same for every product and language."""
    return b"<html><body><h1>Demo licence</h1><p>Served by the demo licence server.</p></body></html>"


class LicenseHandler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def do_GET(self):
        owner = self.server.owner
        owner.paths.append(self.path)
        match = LICENSE_PATH.match(self.path)
        if owner.hold_all or (match and match.group(1) == STALLED_PRODUCT):
            # Read, never answered: the connection is held until the server stops.
            owner.stopped.wait()
            self.close_connection = True
            return
        page = owner.page(match.group(1), match.group(2)) if match else None
        if page is None:
            self.send_error(404)
            return
        self.send_response(200)
        self.send_header("Content-Type", "text/html; charset=utf-8")
        self.send_header("Content-Length", str(len(page)))
        self.send_header("Cache-Control", "no-store")
        self.end_headers()
        self.wfile.write(page)


class LicenseServer(LoopbackServer):
    """The licence host of the test build, 127.0.0.2:80: "/license/<product>/<lang>/Eula.html" gets
    `page(product, lang)` (404 where that is None), product "QRXSTALL" is never answered, and with
    `hold_all` no request is. Every path asked is kept in `paths`."""

    def __init__(self, page=demo_licence, hold_all=False, lifetime=900, bind_wait=90, port=80, tls=None):
        self.paths = []
        self.page = page
        self.hold_all = hold_all
        super().__init__(LicenseHandler, "127.0.0.2", port, lifetime, bind_wait, tls)


class Request:
    """One request as the report server received it."""

    def __init__(self, verb, target, headers, body):
        self.verb = verb
        self.target = target
        self.path, _, self.query = target.partition("?")
        self.headers = headers
        self.body = body

    def text(self):
        """The body as text: the product sends XML as UTF-8 or UTF-16."""
        if self.body.startswith(b"\xff\xfe") or b"\x00" in self.body[:64]:
            return self.body.decode("utf-16-le", "replace").lstrip("\ufeff")
        return self.body.decode("utf-8", "replace")

    def element(self, name):
        text = self.text()
        start = text.find("<%s>" % name)
        end = text.find("</%s>" % name)
        if start < 0 or end < start:
            return None
        return text[start + len(name) + 2:end]

    def zip_names(self):
        try:
            return zipfile.ZipFile(io.BytesIO(self.body)).namelist()
        except zipfile.BadZipFile:
            return None

    def zip_text(self, suffix):
        """The first entry whose name ends with `suffix`, as text (the log is in the ANSI code page)."""
        archive = zipfile.ZipFile(io.BytesIO(self.body))
        for name in archive.namelist():
            if name.endswith(suffix):
                return archive.read(name).decode("latin-1")
        return None


class RecordingHandler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def _record(self):
        length = int(self.headers.get("Content-Length") or 0)
        body = b""
        while len(body) < length:
            piece = self.rfile.read(length - len(body))
            if not piece:
                break
            body += piece
        owner = self.server.owner
        request = Request(self.command, self.path, dict(self.headers.items()), body)
        with owner.lock:
            owner.requests.append(request)
            owner.arrived.notify_all()
        if owner.on_request:
            owner.on_request(request)
        self.send_response(200)
        self.send_header("Content-Length", "0")
        self.end_headers()

    do_GET = do_POST = do_PUT = _record


class ReportServer(LoopbackServer):
    """127.0.0.1:80: records every request (verb, path, query, headers, body) and answers 200."""

    def __init__(self, lifetime=900, bind_wait=90, on_request=None, port=80, tls=None):
        self.lock = threading.Lock()
        self.arrived = threading.Condition(self.lock)
        self.requests = []
        self.on_request = on_request
        super().__init__(RecordingHandler, "127.0.0.1", port, lifetime, bind_wait, tls)

    def snapshot(self):
        with self.lock:
            return list(self.requests)

    def wait_for(self, match, timeout):
        deadline = time.monotonic() + timeout
        with self.lock:
            while True:
                for request in self.requests:
                    if match(request):
                        return request
                left = deadline - time.monotonic()
                if left <= 0:
                    return None
                self.arrived.wait(left)

    def analytics(self):
        return [r for r in self.snapshot() if r.verb == "POST" and r.path == "/v1/logAnalytics"]

    def error_reports(self):
        return [r for r in self.snapshot() if r.verb == "PUT" and r.path == "/v1/reportError"]
