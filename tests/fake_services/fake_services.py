#!/usr/bin/env python3
"""Fake api.weather.gov and aviationweather.gov for tests, over HTTPS, with faults chosen by path.

Run by tools/run_isolated.sh (--services), which points both host names, and foreign.example (a
host the clients must never ask), at it, on every port it is given. Known requests get the
project's own documents (tests/data/routes.json, see tools/serving.py); other requests get a 404
problem document, as the NWS API does. The imagery hosts (radar, satellite, base map) get the
pictures demo/imagery.py makes, echoes where the recorded METARs report rain. With --demo the documents are answered as the demo
answers them (demo/demo_services.py: moved to look current, any box and any point answered).
Paths under /test/ script faults on either host, so a test program picks its fault by the URL it
asks for and needs no control channel. ID is any text that makes the path unique; the attempt
counter of a path (with its query) starts at 1.

  /test/status/S1,S2,.../ID      the n-th request answers Sn, the last one repeating; a 2xx
                                 other than 204 carries {"attempt": n, "status": Sn}
  /test/no-content/ID[?body=T]   204, with the text T written after the headers when given
  /test/bytes/N/ID               200 with a JSON array of exactly N bytes (N >= 2)
  /test/encoded/CODING/ID        200 with a JSON document, encoded with CODING (gzip or
                                 deflate) only when the request's Accept-Encoding allows it
  /test/slow/headers/SECONDS/ID  200 [] only after SECONDS, unless the client gives up first
  /test/slow/body/SECONDS/ID     headers and part of the body at once, the rest after SECONDS
                                 unless the client gives up first
  /test/slow/after-headers/SECONDS/ID
                                 the headers at once, the body [] after SECONDS unless the
                                 client gives up first
  /test/trickle/SECONDS/N/ID     200 with a JSON array of N bytes, sent one byte every SECONDS
                                 until done or the client gives up
  /test/drop/reset/ID            headers and part of the body, then a TCP reset
  /test/drop/close/ID            headers and part of the body, then an orderly close
  /test/redirect-to/SCHEME/ID    301 to SCHEME://the same host/test/status/200/ID-target
  /test/redirect-to-host/HOST/ID 302 to https://HOST/test/status/200/ID-target
  /test/redirect-chain/N/ID      302 to /test/redirect-chain/N-1/ID while N > 0; then 200 as
                                 /test/status/200 answers
  /test/trailing/ID              200 with text after the JSON value
  /test/empty/ID                 200 with an empty body
  /test/next/S1,S2,.../ID?target=T
                                 arms a fault for the request target T (path and query, URL-
                                 encoded), for operations whose URLs are fixed: the next
                                 requests of T answer S1, S2, ... in turn as /test/status does
                                 (so 200 is an object, not the document), then T answers its
                                 document again; answers 200 {"armed": [S1, ...], "target": T}

--delay-documents holds every document answer back, for tests that need requests in flight.
--hold-documents FILE holds them until the test lets them go: while FILE exists, each document
request takes the next place in line (1 for the first held request of the run) and is answered
once FILE holds a number at least as large; removing FILE lets every one go and holds no more.

Every request is appended to the --log file (by default CORVANE_FAKE_SERVICES_LOG, which the
harness sets) as one JSON line before its answer is written, so a client holding an answer can
already read what the server saw: seq, time (monotonic seconds), connection (serial of the TCP
connection), port, host (the Host header), method, target, path, query, headers (name and value
pairs in the order received), status and content_encoding.
"""
import gzip
import json
import os
import select
import socket
import ssl
import struct
import sys
import threading
import time
import zlib
from urllib.parse import parse_qs, urlsplit

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tools"))
sys.path.insert(0, os.path.join(HERE, "..", "..", "demo"))
import serving  # noqa: E402
import demo_services  # noqa: E402
import imagery  # noqa: E402

DROP_DECLARED_LENGTH = 4096
DROP_SENT = b'[{"icaoId": "KSLC", "rawOb": "METAR KSLC 201754Z'
ENCODED_DOCUMENT = json.dumps(
    {"encoded": True, "stations": ["KSLC", "KOGD", "KPVU"] * 200}, separators=(",", ":")
).encode()


class RequestLog:
    def __init__(self, path):
        self.file = open(path, "a", encoding="utf-8") if path else None
        self.lock = threading.Lock()
        self.seq = 0

    def write(self, record):
        with self.lock:
            self.seq += 1
            record["seq"] = self.seq
            if self.file:
                self.file.write(json.dumps(record, ensure_ascii=False) + "\n")
                self.file.flush()


class Connections:
    """Serial numbers of the TCP connections, shared by all ports, so a log shows reuse."""

    def __init__(self):
        self.lock = threading.Lock()
        self.serials = {}
        self.last = 0

    def serial(self, connection):
        with self.lock:
            if id(connection) not in self.serials:
                self.last += 1
                self.serials[id(connection)] = self.last
            return self.serials[id(connection)]

    def closed(self, connection):
        with self.lock:
            self.serials.pop(id(connection), None)


class Attempts:
    def __init__(self):
        self.lock = threading.Lock()
        self.counts = {}
        self.armed = {}  # request target -> statuses its next requests answer (/test/next)

    def next(self, target):
        with self.lock:
            return self.next_locked(target)

    def arm(self, target, statuses):
        with self.lock:
            self.armed[target] = list(statuses)

    def take_armed(self, target):
        """The status armed for the next request of `target` (and its attempt), or None."""
        with self.lock:
            statuses = self.armed.get(target)
            if not statuses:
                return None
            status = statuses.pop(0)
            return status, self.next_locked(target)

    def next_locked(self, target):
        self.counts[target] = self.counts.get(target, 0) + 1
        return self.counts[target]


def accepts_coding(header, coding):
    """Whether an Accept-Encoding value allows `coding` (listed, or by *, without q=0)."""
    allowed = {}
    for item in (header or "").split(","):
        name, _, params = item.strip().partition(";")
        q = 1.0
        for param in params.split(";"):
            key, _, value = param.strip().partition("=")
            if key.strip().lower() == "q":
                try:
                    q = float(value)
                except ValueError:
                    q = 0.0
        if name:
            allowed[name.strip().lower()] = q
    q = allowed.get(coding, allowed.get("*", 0.0))
    return q > 0


class Handler(serving.Handler):
    def handle_get(self):
        self.logged = False  # one handler serves every request of a kept-alive connection
        split = urlsplit(self.path)
        self.record = {
            "connection": self.server.state.connections.serial(self.connection),
            "time": time.monotonic(),
            "port": self.server.server_address[1],
            "host": self.headers.get("Host"),
            "method": self.command,
            "target": self.path,
            "path": split.path,
            "query": split.query,
            "headers": [[name, value] for name, value in self.headers.items()],
        }
        if split.path.startswith("/test/"):
            self.scripted(split)
        else:
            self.document()

    def note(self, status, content_encoding=None):
        if getattr(self, "logged", False):
            return
        self.logged = True
        self.record["status"] = status
        self.record["content_encoding"] = content_encoding
        self.server.state.log.write(self.record)

    def answer(self, status, body=b"", content_type="application/json", extra=()):
        self.note(status, dict(extra).get("Content-Encoding"))
        super().answer(status, body, content_type, extra)

    def document(self):
        state = self.server.state
        if self.request_host() in imagery.HOSTS:
            # The pictures the page loads itself: never held, delayed or armed with a fault.
            self.send_answer(demo_services.imagery_answer(self.request_host(), self.path))
            return
        armed = state.attempts.take_armed(self.path)
        if armed is not None:
            self.answer_status(*armed)
            return
        if state.hold.active():
            place = state.hold.take_place()
            self.note("held")  # logged on arrival, so a test sees the request in flight
            if not self.wait_for_release(place):
                self.close_connection = True
                return
        if state.delay:
            self.note("held")  # logged on arrival, so a test sees the request in flight
            if not self.wait_unless_abandoned(state.delay):
                self.close_connection = True
                return
        answer = state.documents.answer(self.request_host(), self.path)
        self.send_answer(answer or serving.not_found(self.path))

    def scripted(self, split):
        """Dispatches /test/KIND/ARGS.../ID to fault_KIND(ARGS..., query); 400 for anything else."""
        kind, *args = split.path.split("/")[2:]
        fault = getattr(self, "fault_" + kind.replace("-", "_"), None)
        attempt = self.server.state.attempts.next(self.path)
        try:
            if fault is None or not args:
                raise ValueError("unknown fault")
            fault(attempt, parse_qs(split.query), *args[:-1])
        except (TypeError, ValueError) as error:
            self.answer(400, serving.problem(400, "Unknown test path", f"{self.path}: {error}"),
                        "application/problem+json")

    def fault_status(self, attempt, query, statuses):
        statuses = [int(s) for s in statuses.split(",")]
        self.answer_status(statuses[min(attempt, len(statuses)) - 1], attempt)

    def fault_next(self, attempt, query, statuses):
        statuses = [int(s) for s in statuses.split(",")]
        if "target" not in query or not query["target"][0].startswith("/"):
            raise ValueError("target must be a request target such as /api/data/cwa?format=json")
        self.server.state.attempts.arm(query["target"][0], statuses)
        self.answer(200, json.dumps({"armed": statuses, "target": query["target"][0]}).encode())

    def answer_status(self, status, attempt):
        if status == 204:
            self.answer(204)
        elif 200 <= status <= 299:
            self.answer(status, json.dumps({"attempt": attempt, "status": status}).encode())
        else:
            self.answer(status, serving.problem(status, "Scripted failure"), "application/problem+json")

    def fault_no_content(self, attempt, query):
        if "body" not in query:
            self.answer(204)
            return
        # A misbehaving server: a body after a 204, which clients must not read.
        self.note(204)
        self.send_response(204)
        self.send_header("Content-Type", "application/json")
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(query["body"][0].encode())
        self.wfile.flush()
        self.close_connection = True

    def start_blank_array(self, size):
        """Headers of a 200 whose body is a JSON array of `size` bytes, blanks inside."""
        if size < 2:
            raise ValueError("a JSON array needs at least 2 bytes")
        self.note(200)
        self.send_response(200)
        self.send_header("Content-Type", "application/json")
        self.send_header("Content-Length", str(size))
        self.end_headers()

    def fault_bytes(self, attempt, query, size):
        size = int(size)
        self.start_blank_array(size)
        self.wfile.write(b"[")
        blanks = b" " * 65536
        left = size - 2
        while left:
            piece = min(left, len(blanks))
            self.wfile.write(blanks[:piece])
            left -= piece
        self.wfile.write(b"]")
        self.wfile.flush()

    def fault_encoded(self, attempt, query, coding):
        encode = {"gzip": gzip.compress, "deflate": zlib.compress}[coding]  # zlib-wrapped
        if accepts_coding(self.headers.get("Accept-Encoding"), coding):
            self.answer(200, encode(ENCODED_DOCUMENT),
                        extra=[("Content-Encoding", coding), ("Vary", "Accept-Encoding")])
        else:
            self.answer(200, ENCODED_DOCUMENT, extra=[("Vary", "Accept-Encoding")])

    def fault_redirect_to(self, attempt, query, scheme):
        if scheme not in ("http", "https"):
            raise ValueError("scheme must be http or https")
        ident = urlsplit(self.path).path.rsplit("/", 1)[1]
        location = f"{scheme}://{self.headers.get('Host')}/test/status/200/{ident}-target"
        self.answer(301, serving.problem(301, "Moved Permanently"), "application/problem+json",
                    [("Location", location)])

    def fault_redirect_to_host(self, attempt, query, host):
        ident = urlsplit(self.path).path.rsplit("/", 1)[1]
        self.answer(302, serving.problem(302, "Found"), "application/problem+json",
                    [("Location", f"https://{host}/test/status/200/{ident}-target")])

    def fault_redirect_chain(self, attempt, query, hops):
        hops = int(hops)
        if hops <= 0:
            self.fault_status(attempt, query, "200")
            return
        ident = urlsplit(self.path).path.rsplit("/", 1)[1]
        self.answer(302, serving.problem(302, "Found"), "application/problem+json",
                    [("Location", f"/test/redirect-chain/{hops - 1}/{ident}")])

    def fault_trickle(self, attempt, query, seconds, size):
        seconds, size = float(seconds), int(size)
        self.start_blank_array(size)
        for byte in b"[" + b" " * (size - 2) + b"]":
            self.wfile.write(bytes([byte]))
            self.wfile.flush()
            if byte != ord("]") and not self.wait_unless_abandoned(seconds):
                self.close_connection = True
                return

    def fault_slow(self, attempt, query, part, seconds):
        seconds = float(seconds)
        if part == "headers":
            if self.wait_unless_abandoned(seconds):
                self.answer(200, b"[]")
            else:
                self.note(None)
                self.close_connection = True
        elif part == "body":
            first, rest = b'{"stalled": ', b"true}"
            self.note(200)
            self.send_response(200)
            self.send_header("Content-Type", "application/json")
            self.send_header("Content-Length", str(len(first) + len(rest)))
            self.end_headers()
            self.wfile.write(first)
            self.wfile.flush()
            if self.wait_unless_abandoned(seconds):
                self.wfile.write(rest)
                self.wfile.flush()
            else:
                self.close_connection = True
        elif part == "after-headers":
            self.note(200)
            self.send_response(200)
            self.send_header("Content-Type", "application/json")
            self.send_header("Content-Length", "2")
            self.end_headers()
            self.wfile.flush()
            if self.wait_unless_abandoned(seconds):
                self.wfile.write(b"[]")
                self.wfile.flush()
            else:
                self.close_connection = True
        else:
            raise ValueError("part must be headers, body or after-headers")

    def fault_drop(self, attempt, query, how):
        if how not in ("reset", "close"):
            raise ValueError("how must be reset or close")
        self.note(200)
        self.send_response(200)
        self.send_header("Content-Type", "application/json")
        self.send_header("Content-Length", str(DROP_DECLARED_LENGTH))
        self.end_headers()
        self.wfile.write(DROP_SENT)
        self.wfile.flush()
        time.sleep(0.2)  # lets the client read the first part before the connection goes
        if how == "reset":
            self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        else:
            self.connection.unwrap()  # close_notify, then FIN
        self.connection.close()
        self.close_connection = True

    def fault_trailing(self, attempt, query):
        self.answer(200, b'{"features": []} trailing text')

    def fault_empty(self, attempt, query):
        self.answer(200, b"")

    def wait_unless_abandoned(self, seconds):
        """Sleeps up to `seconds`; False as soon as the client closes its end."""
        deadline = time.monotonic() + seconds
        while (left := deadline - time.monotonic()) > 0:
            if self.client_closed(min(left, 0.25)):
                return False
        return True

    def wait_for_release(self, place):
        """Waits until the hold lets `place` go; False as soon as the client closes its end."""
        while not self.server.state.hold.released(place):
            if self.client_closed(0.05):
                return False
        return True

    def client_closed(self, seconds):
        """Whether the client closes its end within `seconds` (a byte it sends is dropped)."""
        readable, _, _ = select.select([self.connection], [], [], seconds)
        if not readable:
            return False
        try:
            return not self.connection.recv(1)
        except (OSError, ssl.SSLError):
            return True

class Hold:
    """The --hold-documents line: places in arrival order, released through a file."""

    def __init__(self, path):
        self.path = path
        self.lock = threading.Lock()
        self.places = 0

    def active(self):
        return self.path is not None and os.path.exists(self.path)

    def take_place(self):
        with self.lock:
            self.places += 1
            return self.places

    def released(self, place):
        try:
            with open(self.path) as f:
                return int(f.read().strip() or 0) >= place
        except FileNotFoundError:
            return True
        except ValueError:
            return False


class State:
    """What every port's server shares: the documents, the log, the counters and the hold."""

    def __init__(self, options):
        if options.demo:
            from demo_services import Demo
            self.documents = Demo(options.data)
        else:
            self.documents = serving.Routes(options.data)
        self.log = RequestLog(options.log)
        self.attempts = Attempts()
        self.connections = Connections()
        self.delay = options.delay_documents
        self.hold = Hold(options.hold_documents)


class Server(serving.Server):
    def shutdown_request(self, request):
        self.state.connections.closed(request)
        super().shutdown_request(request)


def main():
    parser = serving.argument_parser(__doc__.split("\n")[0])
    parser.add_argument("--log", default=os.environ.get("CORVANE_FAKE_SERVICES_LOG"),
                        help="file to append one JSON line per request to")
    parser.add_argument("--demo", action="store_true",
                        help="the demo's answers: current-looking times, any box and any point")
    parser.add_argument("--delay-documents", type=float, default=0.0, metavar="SECONDS",
                        help="answer document requests only after this long")
    parser.add_argument("--hold-documents", metavar="FILE",
                        help="while FILE exists, answer the n-th held document request only "
                             "once FILE holds a number >= n")
    options = parser.parse_args()
    serving.serve(parser, options, Handler, State(options), Server)


if __name__ == "__main__":
    main()
