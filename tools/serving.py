"""HTTPS serving shared by the demo's services (demo/demo_services.py) and the test services
(tests/fake_services/fake_services.py): the options every services program takes from the
namespace harness (tools/run_isolated.sh), TLS listeners on its ports, and the recorded route
table. Standard library only.

A services program parses `argument_parser()`'s options, answers GET requests in a subclass of
`Handler` (its `handle_get`), and calls `serve`."""
import argparse
import dataclasses
import http.server
import json
import os
import re
import signal
import socket
import socketserver
import ssl
import sys
import threading

HERE = os.path.dirname(os.path.abspath(__file__))
DEFAULT_DATA = os.path.normpath(os.path.join(HERE, "..", "tests", "data"))

# The area whole-area requests ask for: south, west, north, east; and as the requests write it.
WEST_BOX = (31, -125, 49.5, -102)
WEST_BBOX = ",".join(f"{edge:g}" for edge in WEST_BOX)


@dataclasses.dataclass
class Answer:
    status: int
    content_type: str = "application/json"
    body: bytes = b""
    headers: tuple = ()  # extra (name, value) pairs, such as Location


def problem(status, title, detail=""):
    """A problem document, as the NWS API answers failures."""
    return json.dumps({"type": "https://api.weather.gov/problems/Scripted", "title": title,
                       "status": status, "detail": detail}).encode()


def not_found(target):
    return Answer(404, "application/problem+json",
                  problem(404, "Not Found", "No test document for " + target))


class Routes:
    """The recorded documents by (host, request target), from DATA/routes.json: host, path with
    query exactly as sent, status, content type, file, optional location; a row without file
    answers its status alone."""

    def __init__(self, data_dir):
        self.data_dir = data_dir
        with open(os.path.join(data_dir, "routes.json"), encoding="utf-8") as f:
            self.rows = {(r["host"], r["path"]): r for r in json.load(f)}

    def read(self, file):
        with open(os.path.join(self.data_dir, file), "rb") as f:
            return f.read()

    def answer_row(self, row):
        headers = (("Location", row["location"]),) if "location" in row else ()
        body = self.read(row["file"]) if "file" in row else b""
        return Answer(row["status"], row["content_type"], body, headers)

    def answer(self, host, target):
        """The recorded answer to `target` on `host`, or None when no row holds it."""
        row = self.rows.get((host, target))
        return self.answer_row(row) if row is not None else None


class Handler(http.server.BaseHTTPRequestHandler):
    """Answers over HTTP/1.1 with kept-alive connections; subclasses implement `handle_get`.
    `self.server.state` is what the services program gave `serve`."""
    protocol_version = "HTTP/1.1"
    server_version = "FakeWeatherServices/1"

    def log_message(self, format, *args):  # no access log on the services' output
        pass

    def request_host(self):
        return re.sub(r":[0-9]+$", "", self.headers.get("Host") or "")

    def do_GET(self):
        try:
            self.handle_get()
        except (BrokenPipeError, ConnectionResetError, ssl.SSLError, socket.timeout):
            self.close_connection = True

    def answer(self, status, body=b"", content_type="application/json", extra=()):
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

    def send_answer(self, answer):
        self.answer(answer.status, answer.body, answer.content_type, answer.headers)


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True

    def __init__(self, address, context, handler, state):
        self.context = context
        self.state = state
        super().__init__(address, handler)

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


def argument_parser(description):
    """The options the namespace harness gives every services program, and --data."""
    parser = argparse.ArgumentParser(description=description)
    parser.add_argument("--cert", required=True, help="server certificate chain (PEM)")
    parser.add_argument("--key", required=True, help="server private key (PEM)")
    parser.add_argument("--address", default="127.0.0.1")
    parser.add_argument("--port", type=int, action="append", help="repeatable; default 443")
    parser.add_argument("--untrusted-port", type=int, action="append", default=[],
                        help="repeatable; serves with --untrusted-cert, to test TLS refusals")
    parser.add_argument("--untrusted-cert")
    parser.add_argument("--untrusted-key")
    parser.add_argument("--data", default=DEFAULT_DATA, help="folder with routes.json")
    parser.add_argument("--ready", help="file created, holding the ports, once every port listens")
    return parser


def serve(parser, options, handler, state, server_class=Server):
    """Listens on every port of `options`, writes the ready file, and answers with `handler`
    until SIGTERM or SIGINT."""
    if options.untrusted_port and not (options.untrusted_cert and options.untrusted_key):
        parser.error("--untrusted-port needs --untrusted-cert and --untrusted-key")

    def context(cert, key):
        made = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        made.load_cert_chain(cert, key)
        return made

    listeners = [(port, context(options.cert, options.key)) for port in options.port or [443]]
    listeners += [(port, context(options.untrusted_cert, options.untrusted_key))
                  for port in options.untrusted_port]
    servers = [server_class((options.address, port), tls, handler, state)
               for port, tls in listeners]
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
