#!/usr/bin/env python3
"""Fake api.weather.gov and aviationweather.gov for tests, over HTTPS. Standard library only.

Answers for both host names, and for any other name the harness points at it (it names
foreign.example, a host the clients must never ask), on every port it is given. Known requests get the project's own
documents (tests/data/routes.json: host, path with query exactly as sent, status, content type,
file, optional Location; a row without file answers its status alone); other requests get a 404 problem document, as the NWS API does. Paths
under /test/ script faults on either host, so a test program picks its fault by the URL it asks
for and needs no control channel. ID is any text that makes the path unique; the attempt
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

With --demo the services stand in for the real ones for a person trying the program without
internet: timestamps are moved forward by whole hours so the data looks current (ISO times in
either form, with their offsets, and the Unix seconds of the reports, forecasts and hazards;
the forecast's day names and the discussion's header follow), a METAR or TAF box request of any
box answers the western reports inside it (204 when none are, as the real service does), and
any point in the contiguous United States answers the Salt Lake City point (a point written
with trailing zeros is first redirected to its canonical form, as the NWS API does). --delay-documents holds every document answer back, for tests that need requests in
flight. --hold-documents FILE holds them until the test lets them go: while FILE exists, each
document request takes the next place in line (1 for the first held request of the run) and
is answered once FILE holds a number at least as large; removing FILE lets every one go and
holds no more.

Every request is appended to the --log file as one JSON line before its answer is written, so a
client holding an answer can already read what the server saw: seq, time (monotonic seconds),
connection (serial of the TCP connection), port, host (the Host header), method, target, path,
query, headers (name and value pairs in the order received), status and content_encoding.
"""
import argparse
import datetime
import gzip
import http.server
import json
import os
import re
import select
import signal
import socket
import socketserver
import ssl
import struct
import sys
import threading
import time
import zlib
from urllib.parse import parse_qs, urlsplit

HERE = os.path.dirname(os.path.abspath(__file__))
DEFAULT_DATA = os.path.normpath(os.path.join(HERE, "..", "data"))
DROP_DECLARED_LENGTH = 4096
DROP_SENT = b'[{"icaoId": "KSLC", "rawOb": "METAR KSLC 201754Z'
ENCODED_DOCUMENT = json.dumps(
    {"encoded": True, "stations": ["KSLC", "KOGD", "KPVU"] * 200}, separators=(",", ":")
).encode()


# The moment the test documents describe: 2026-11-20T18:00:00Z.
DOCUMENTS_TIME = 1795197600
# ISO 8601 times with "T" or, as in older TAF records, a blank between date and time.
ISO_TIME = re.compile(rb"(\d{4}-\d\d-\d\d)([T ])(\d\d:\d\d:\d\d)(\.\d+)?(Z|[+-]\d\d:\d\d)")
# Members holding Unix seconds: METARs, PIREPs, TAFs and their groups, SIGMETs, G-AIRMETs, CWAs.
UNIX_TIME = re.compile(rb'("(?:obsTime|validTimeFrom|validTimeTo|timeFrom|timeTo|timeBec|'
                       rb'issueTime|receiptTime|expireTime)":\s*)(\d+)')
POINT_PATH = re.compile(r"^/points/(-?\d+(?:\.\d+)?),(-?\d+(?:\.\d+)?)$")
BOX_QUERY = re.compile(r"^bbox=([^&]+)&format=json$")
BOX_DOCUMENTS = {"/api/data/metar": "awc/metar_west.json", "/api/data/taf": "awc/taf_west.json"}
WEEKDAYS = ("Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday")
# Period names that say the time of day rather than the day.
RELATIVE_PERIODS = {"Today", "This Morning", "This Afternoon", "Tonight", "Overnight"}


def shift_times(body, seconds):
    """Moves every ISO 8601 time and every Unix-seconds time member of a document by `seconds`."""
    def iso(match):
        moment = datetime.datetime.fromisoformat((match[1] + b"T" + match[3] + match[5]).decode())
        moved = moment + datetime.timedelta(seconds=seconds)
        return (moved.strftime("%Y-%m-%d").encode() + match[2] + moved.strftime("%H:%M:%S").encode()
                + (match[4] or b"") + match[5])

    body = ISO_TIME.sub(iso, body)
    return UNIX_TIME.sub(lambda m: m[1] + str(int(m[2]) + seconds).encode(), body)


def rename_periods(body):
    """Gives the forecast's day periods the names of their (moved) days, as the NWS would."""
    document = json.loads(body)
    for period in document.get("properties", {}).get("periods", []):
        if period.get("name") in RELATIVE_PERIODS:
            continue
        day = WEEKDAYS[datetime.datetime.fromisoformat(period["startTime"]).weekday()]
        period["name"] = day if period.get("isDaytime") else day + " Night"
    return (json.dumps(document, ensure_ascii=False, indent=4) + "\n").encode()


def redate_discussion(body):
    """Writes the (moved) issuance time into the discussion's header lines."""
    document = json.loads(body)
    issued = datetime.datetime.fromisoformat(document["issuanceTime"])
    local = issued.astimezone(datetime.timezone(datetime.timedelta(hours=-7)))
    text = re.sub(r"^(FXUS\d\d \w{4}) \d{6}$", r"\g<1> " + issued.strftime("%d%H%M"),
                  document["productText"], count=1, flags=re.M)
    text = re.sub(r"^\d{3,4} [AP]M MST \w{3} \w{3} \d{1,2} \d{4}$",
                  f"{local.hour % 12 or 12}{local.minute:02d} {'AM' if local.hour < 12 else 'PM'} MST "
                  f"{local.strftime('%a %b')} {local.day} {local.year}", text, count=1, flags=re.M)
    document["productText"] = text
    return (json.dumps(document, ensure_ascii=False, indent=4) + "\n").encode()


def canonical_number(text):
    """The NWS API's form of a coordinate: at most 4 decimals, no trailing zeros."""
    return f"{round(float(text), 4):.4f}".rstrip("0").rstrip(".")


class Documents:
    """The test documents by (host, request target), served as stored, or made to look current
    and answer any box or point with --demo."""

    def __init__(self, data_dir, demo=False):
        self.data_dir = data_dir
        self.demo = demo
        # Whole hours, so hourly forecast periods still start on the hour; rounded down with a
        # margin, so no report (the latest is 4 minutes after the documents' moment) lies ahead.
        self.shift = int((time.time() - DOCUMENTS_TIME - 600) // 3600) * 3600 if demo else 0
        with open(os.path.join(data_dir, "routes.json"), encoding="utf-8") as f:
            self.routes = {(r["host"], r["path"]): r for r in json.load(f)}

    def find(self, host, target):
        route = self.routes.get((host, target))
        if route is not None or not self.demo:
            return route
        split = urlsplit(target)
        point = POINT_PATH.match(split.path) if host == "api.weather.gov" else None
        if point and not split.query:
            return self.point_route(*point.groups())
        box = BOX_QUERY.match(split.query) if host == "aviationweather.gov" else None
        if box and split.path in BOX_DOCUMENTS:
            return self.box_route(BOX_DOCUMENTS[split.path], box[1])
        return None

    def point_route(self, latitude, longitude):
        canonical = f"/points/{canonical_number(latitude)},{canonical_number(longitude)}"
        if f"/points/{latitude},{longitude}" != canonical:
            return {"status": 301, "content_type": "application/problem+json",
                    "file": "nws/points_redirect_problem.json", "location": canonical}
        if not (24 <= float(latitude) <= 50.5 and -126 <= float(longitude) <= -66):
            return {"status": 404, "content_type": "application/problem+json",
                    "file": "nws/problem_404.json"}
        return self.routes[("api.weather.gov", "/points/40.76,-111.89")]

    def box_route(self, file, bounds):
        try:
            south, west, north, east = (float(n) for n in bounds.split(","))
        except ValueError:
            return None
        return {"status": 200, "content_type": "application/json",
                "file": file, "box": (south, west, north, east)}

    def body(self, route):
        if route.get("file") is None:
            return b""  # a row that answers with its status alone, such as 204
        with open(os.path.join(self.data_dir, route["file"]), "rb") as f:
            body = f.read()
        if "box" in route:
            south, west, north, east = route["box"]
            inside = [r for r in json.loads(body)
                      if south <= r.get("lat", 999) <= north and west <= r.get("lon", 999) <= east]
            body = json.dumps(inside, separators=(",", ":"), ensure_ascii=False).encode()
        if not self.shift:
            return body
        body = shift_times(body, self.shift)
        if route["file"] == "nws/forecast_slc.json":
            body = rename_periods(body)
        elif route["file"].startswith("nws/afd_"):
            body = redate_discussion(body)
        return body


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


def problem(status, title, detail=""):
    return json.dumps({"type": "https://api.weather.gov/problems/Scripted", "title": title,
                       "status": status, "detail": detail}).encode()


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


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "FakeWeatherServices/1"

    def log_message(self, format, *args):  # the JSON log replaces the access log
        pass

    def do_GET(self):
        self.logged = False  # one handler serves every request of a kept-alive connection
        host = re.sub(r":[0-9]+$", "", self.headers.get("Host") or "")
        split = urlsplit(self.path)
        self.record = {
            "connection": self.server.connections.serial(self.connection),
            "time": time.monotonic(),
            "port": self.server.server_address[1],
            "host": self.headers.get("Host"),
            "method": self.command,
            "target": self.path,
            "path": split.path,
            "query": split.query,
            "headers": [[name, value] for name, value in self.headers.items()],
        }
        try:
            if split.path.startswith("/test/"):
                self.scripted(split)
            else:
                self.document(host)
        except (BrokenPipeError, ConnectionResetError, ssl.SSLError, socket.timeout):
            self.close_connection = True

    def note(self, status, content_encoding=None):
        if getattr(self, "logged", False):
            return
        self.logged = True
        self.record["status"] = status
        self.record["content_encoding"] = content_encoding
        self.server.log.write(self.record)

    def answer(self, status, body=b"", content_type="application/json", extra=()):
        self.note(status, dict(extra).get("Content-Encoding"))
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        for name, value in extra:
            self.send_header(name, value)
        if status != 204:
            self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if status != 204:
            self.wfile.write(body)
        self.wfile.flush()

    def document(self, host):
        armed = self.server.attempts.take_armed(self.path)
        if armed is not None:
            self.answer_status(*armed)
            return
        route = self.server.documents.find(host, self.path)
        if self.server.hold.active():
            place = self.server.hold.take_place()
            self.note("held")  # logged on arrival, so a test sees the request in flight
            if not self.wait_for_release(place):
                self.close_connection = True
                return
        if self.server.delay:
            self.note("held")  # logged on arrival, so a test sees the request in flight
            if not self.wait_unless_abandoned(self.server.delay):
                self.close_connection = True
                return
        if route is not None and route.get("box") and self.server.documents.body(route) == b"[]":
            self.answer(204)  # the service's answer when nothing matches
            return
        if route is None:
            self.answer(404, problem(404, "Not Found", "No test document for " + self.path),
                        "application/problem+json")
            return
        extra = [("Location", route["location"])] if "location" in route else []
        self.answer(route["status"], self.server.documents.body(route), route["content_type"],
                    extra)

    def scripted(self, split):
        """Dispatches /test/KIND/ARGS.../ID to fault_KIND(ARGS..., query); 400 for anything else."""
        kind, *args = split.path.split("/")[2:]
        fault = getattr(self, "fault_" + kind.replace("-", "_"), None)
        attempt = self.server.attempts.next(self.path)
        try:
            if fault is None or not args:
                raise ValueError("unknown fault")
            fault(attempt, parse_qs(split.query), *args[:-1])
        except (TypeError, ValueError) as error:
            self.answer(400, problem(400, "Unknown test path", f"{self.path}: {error}"),
                        "application/problem+json")

    def fault_status(self, attempt, query, statuses):
        statuses = [int(s) for s in statuses.split(",")]
        self.answer_status(statuses[min(attempt, len(statuses)) - 1], attempt)

    def fault_next(self, attempt, query, statuses):
        statuses = [int(s) for s in statuses.split(",")]
        if "target" not in query or not query["target"][0].startswith("/"):
            raise ValueError("target must be a request target such as /api/data/cwa?format=json")
        self.server.attempts.arm(query["target"][0], statuses)
        self.answer(200, json.dumps({"armed": statuses, "target": query["target"][0]}).encode())

    def answer_status(self, status, attempt):
        if status == 204:
            self.answer(204)
        elif 200 <= status <= 299:
            self.answer(status, json.dumps({"attempt": attempt, "status": status}).encode())
        else:
            self.answer(status, problem(status, "Scripted failure"), "application/problem+json")

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
        self.answer(301, problem(301, "Moved Permanently"), "application/problem+json",
                    [("Location", location)])

    def fault_redirect_to_host(self, attempt, query, host):
        ident = urlsplit(self.path).path.rsplit("/", 1)[1]
        self.answer(302, problem(302, "Found"), "application/problem+json",
                    [("Location", f"https://{host}/test/status/200/{ident}-target")])

    def fault_redirect_chain(self, attempt, query, hops):
        hops = int(hops)
        if hops <= 0:
            self.fault_status(attempt, query, "200")
            return
        ident = urlsplit(self.path).path.rsplit("/", 1)[1]
        self.answer(302, problem(302, "Found"), "application/problem+json",
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
        while not self.server.hold.released(place):
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


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True

    def __init__(self, address, context, shared, delay=0.0, hold=None):
        self.context = context
        self.delay = delay
        self.hold = hold or Hold(None)
        self.documents, self.log, self.attempts, self.connections = shared
        super().__init__(address, Handler)

    def get_request(self):
        sock, address = self.socket.accept()
        return self.context.wrap_socket(sock, server_side=True,
                                        do_handshake_on_connect=False), address

    def finish_request(self, request, client_address):
        # The handshake runs on the connection's own thread, so a stalled client holds up no one.
        try:
            request.settimeout(60)
            request.do_handshake()
        except (OSError, ssl.SSLError) as error:
            print(f"fake services: TLS handshake failed: {error}", file=sys.stderr, flush=True)
            return
        super().finish_request(request, client_address)

    def shutdown_request(self, request):
        self.connections.closed(request)
        super().shutdown_request(request)


def server_context(cert, key):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    return context


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--cert", required=True, help="server certificate chain (PEM)")
    parser.add_argument("--key", required=True, help="server private key (PEM)")
    parser.add_argument("--address", default="127.0.0.1")
    parser.add_argument("--port", type=int, action="append", help="repeatable; default 443")
    parser.add_argument("--untrusted-port", type=int, action="append", default=[],
                        help="repeatable; serves with --untrusted-cert, to test TLS refusals")
    parser.add_argument("--untrusted-cert")
    parser.add_argument("--untrusted-key")
    parser.add_argument("--data", default=DEFAULT_DATA, help="folder with routes.json")
    parser.add_argument("--log", help="file to append one JSON line per request to")
    parser.add_argument("--ready", help="file created, holding the ports, once every port listens")
    parser.add_argument("--demo", action="store_true",
                        help="current-looking times, any METAR box and any point answered")
    parser.add_argument("--delay-documents", type=float, default=0.0, metavar="SECONDS",
                        help="answer document requests only after this long")
    parser.add_argument("--hold-documents", metavar="FILE",
                        help="while FILE exists, answer the n-th held document request only "
                             "once FILE holds a number >= n")
    options = parser.parse_args()

    if options.untrusted_port and not (options.untrusted_cert and options.untrusted_key):
        parser.error("--untrusted-port needs --untrusted-cert and --untrusted-key")
    shared = (Documents(options.data, options.demo), RequestLog(options.log), Attempts(),
              Connections())
    listeners = [(port, server_context(options.cert, options.key))
                 for port in options.port or [443]]
    listeners += [(port, server_context(options.untrusted_cert, options.untrusted_key))
                  for port in options.untrusted_port]
    hold = Hold(options.hold_documents)
    servers = [Server((options.address, port), context, shared, options.delay_documents, hold)
               for port, context in listeners]
    for server in servers:
        threading.Thread(target=server.serve_forever, daemon=True).start()
    if options.ready:
        with open(options.ready, "w") as f:
            f.write(" ".join(str(s.server_address[1]) for s in servers) + "\n")

    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    signal.signal(signal.SIGINT, lambda *_: stop.set())
    stop.wait()
    for server in servers:
        server.shutdown()


if __name__ == "__main__":
    main()
