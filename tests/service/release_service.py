#!/usr/bin/env python3
"""Test release service: a threaded loopback HTTPS (and plain HTTP) server whose
behaviour is chosen by the URL, for the installer's network tests and the demo.

Served paths (every response closes its connection):
  /api/v1/launcher/installer/windows-x86_64   <service-dir>/manifest.json
  /api/v1/launcher/installer/windows-x86_64.sig  <service-dir>/manifest.json.sig (404 when absent)
  /<path>                                     any other file <service-dir>/<path> (files/<name>, download/...)
  /t/status/<code>                            that status, a short body (none for 1xx/204/304);
        000: that status line as it stands, no body (a head whose status reads as 0)
  /t/redirect?to=<url>[&code=302]             a redirect to <url>
  /t/chain?n=<k>[&to=<url>][&code=301]        k redirects through /t/chain, then <url> or 200
  /t/body?size=<n>[&seed=<s>][&cl=...][&drop=<n>][&chunk=<n>][&status=200][&te=chunked]
        n bytes of the seeded pattern; cl: "true" (default), "none", or any literal
        value to send as Content-Length; drop: reset the connection (TCP RST) after
        that many body bytes; chunk: size of each socket write (default 65536, at
        most 65536); slowfrom: offset before which writes are 65536 bytes anyway;
        every: seconds to wait before each write past slowfrom (a trickle)
  /t/sha256?size=<n>[&seed=<s>]               hex SHA-256 of that pattern body
  POST /t/tsa                                 an RFC 3161 time-stamp authority: the reply of
        `openssl ts -reply` to the posted query, signed with <certs>/tsa.pem
The pattern for seed s is SHAKE-256("kestravon-pattern-<s>") taken to 1 MiB and
repeated. Each request is appended as one JSON line to <service-dir>/requests.jsonl.
"""
import argparse
import hashlib
import http.server
import json
import os
import socket
import ssl
import struct
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse

BLOCK = 1 << 20
MANIFEST_PATH = "/api/v1/launcher/installer/windows-x86_64"

_blocks = {}
_digests = {}
_cache_lock = threading.Lock()
_log_lock = threading.Lock()

TSA_CONFIG = """[tsa]
default_tsa = tsa_config
[tsa_config]
serial = {serial}
crypto_device = builtin
signer_digest = sha256
default_policy = 1.3.6.1.4.1.0.1
digests = sha256, sha384, sha512
accuracy = secs:1
ess_cert_id_alg = sha256
"""


def time_stamp(certs, query):
    """The DER time-stamp reply to a DER query, or None when openssl refuses it."""
    with tempfile.TemporaryDirectory() as work:
        paths = {name: os.path.join(work, name) for name in ("config", "serial", "query", "reply")}
        with open(paths["serial"], "w") as f:
            f.write("01\n")
        with open(paths["config"], "w") as f:
            f.write(TSA_CONFIG.format(serial=paths["serial"]))
        with open(paths["query"], "wb") as f:
            f.write(query)
        done = subprocess.run(["openssl", "ts", "-reply", "-config", paths["config"], "-queryfile", paths["query"],
                               "-inkey", os.path.join(certs, "tsa.key"), "-signer", os.path.join(certs, "tsa.pem"),
                               "-chain", os.path.join(certs, "ca.pem"), "-out", paths["reply"]],
                              capture_output=True)
        if done.returncode != 0:
            return None
        with open(paths["reply"], "rb") as f:
            return f.read()


def pattern_block(seed):
    with _cache_lock:
        block = _blocks.get(seed)
        if block is None:
            block = hashlib.shake_256(f"kestravon-pattern-{seed}".encode()).digest(BLOCK)
            _blocks[seed] = block
        return block


def pattern_sha256(size, seed):
    key = (size, seed)
    with _cache_lock:
        if key in _digests:
            return _digests[key]
    block = pattern_block(seed)
    h = hashlib.sha256()
    full, rest = divmod(size, BLOCK)
    for _ in range(full):
        h.update(block)
    h.update(block[:rest])
    digest = h.hexdigest()
    with _cache_lock:
        _digests[key] = digest
    return digest


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "KestravonTestService/1.0"
    sys_version = ""

    def log_message(self, format, *args):  # noqa: A002 - quiet unless asked
        if self.server.verbose:
            sys.stderr.write("service: " + (format % args) + "\n")

    def record(self):
        entry = {
            "port": self.server.server_address[1],
            "tls": self.server.ssl_context is not None,
            "method": self.command,
            "path": self.path,
            "host": self.headers.get("Host", ""),
            "headers": [[k, v] for k, v in self.headers.items()],
        }
        line = json.dumps(entry) + "\n"
        with _log_lock:
            with open(os.path.join(self.server.service_dir, "requests.jsonl"), "a") as f:
                f.write(line)

    def do_GET(self):
        self.close_connection = True
        self.record()
        url = urllib.parse.urlsplit(self.path)
        target = self.requestline.split(" ")[1] if self.requestline.count(" ") >= 2 else ""
        if target.startswith("//"):
            # A "//host/path" redirect that the client followed as a path on this host
            # (http.server folds it to "/host/path"): serve "/path", as a lenient server would.
            url = urllib.parse.urlsplit(target)
        query = dict(urllib.parse.parse_qsl(url.query, keep_blank_values=True))
        path = url.path
        try:
            if path == MANIFEST_PATH:
                return self.send_file(os.path.join(self.server.service_dir, "manifest.json"))
            if path == MANIFEST_PATH + ".sig":
                return self.send_file(os.path.join(self.server.service_dir, "manifest.json.sig"))
            if path.startswith("/t/status/"):
                return self.send_status(path[len("/t/status/"):])
            if path == "/t/redirect":
                return self.send_redirect(query["to"], int(query.get("code", "302")))
            if path == "/t/chain":
                return self.send_chain(query)
            if path == "/t/body":
                return self.send_body(query)
            if path == "/t/sha256":
                text = pattern_sha256(int(query["size"]), query.get("seed", "0")).encode()
                return self.send_simple(200, text, "text/plain")
        except (KeyError, ValueError) as e:
            return self.send_simple(400, f"bad test request: {e}\n".encode(), "text/plain")
        # Anything else is a file of the folder, as a static web server maps it.
        self.send_served_file(path)

    def do_POST(self):
        self.close_connection = True
        self.record()
        query = self.rfile.read(int(self.headers.get("Content-Length", "0")))
        if urllib.parse.urlsplit(self.path).path != "/t/tsa":
            return self.send_simple(404, b"not found\n", "text/plain")
        reply = time_stamp(self.server.certs, query)
        if reply is None:
            return self.send_simple(400, b"not a time-stamp query\n", "text/plain")
        self.send_simple(200, reply, "application/timestamp-reply")

    def send_simple(self, code, body, content_type, extra=()):
        self.send_response(code)
        for name, value in extra:
            self.send_header(name, value)
        if code >= 200 and code not in (204, 304):
            self.send_header("Content-Type", content_type)
            self.send_header("Content-Length", str(len(body)))
        self.send_header("Connection", "close")
        self.end_headers()
        if code >= 200 and code not in (204, 304):
            self.wfile.write(body)

    def send_file(self, file_path):
        try:
            with open(file_path, "rb") as f:
                data = f.read()
        except OSError:
            return self.send_simple(404, b"not found\n", "text/plain")
        self.send_simple(200, data, "application/octet-stream")

    def send_served_file(self, path):
        root = os.path.realpath(self.server.service_dir)
        target = os.path.realpath(os.path.join(root, urllib.parse.unquote(path).lstrip("/")))
        if not target.startswith(root + os.sep) or not os.path.isfile(target):
            return self.send_simple(404, b"not found\n", "text/plain")
        self.send_file(target)

    def send_status(self, text):
        if text == "000":  # http.server writes no such line
            self.wfile.write(b"HTTP/1.1 000 Broken\r\nContent-Length: 0\r\nConnection: close\r\n\r\n")
            return
        code = int(text)
        self.send_simple(code, f"status {code}\n".encode(), "text/plain")

    def send_redirect(self, to, code):
        self.send_simple(code, b"moved\n", "text/plain", [("Location", to)])

    def send_chain(self, query):
        n = int(query.get("n", "0"))
        code = int(query.get("code", "301"))
        if n > 0:
            rest = dict(query, n=str(n - 1))
            return self.send_redirect("/t/chain?" + urllib.parse.urlencode(rest), code)
        if "to" in query:
            return self.send_redirect(query["to"], code)
        self.send_simple(200, b"end of chain\n", "text/plain")

    def send_body(self, query):
        size = int(query.get("size", "0"))
        seed = query.get("seed", "0")
        length = query.get("cl", "true")
        drop = int(query["drop"]) if "drop" in query else -1
        chunk = max(1, int(query.get("chunk", "65536")))
        slow_from = int(query.get("slowfrom", "0"))
        pause = float(query.get("every", "0"))
        chunked = query.get("te") == "chunked"
        block = pattern_block(seed)

        self.send_response(int(query.get("status", "200")))
        self.send_header("Content-Type", "application/octet-stream")
        if chunked:
            self.send_header("Transfer-Encoding", "chunked")
        elif length == "true":
            self.send_header("Content-Length", str(size))
        elif length != "none":
            self.send_header("Content-Length", length)
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.flush()

        sent = 0
        view = memoryview(block)
        while sent < size:
            if pause and sent >= slow_from:
                time.sleep(pause)
            n = min(chunk if sent >= slow_from else slow_from - sent, 65536, size - sent)
            if drop >= 0:
                n = min(n, drop - sent)
                if n <= 0:
                    return self.reset_connection()
            offset = sent % BLOCK
            n = min(n, BLOCK - offset)
            piece = view[offset:offset + n]
            if chunked:
                self.wfile.write(b"%x\r\n" % n + bytes(piece) + b"\r\n")
            else:
                self.wfile.write(piece)
            sent += n
        if drop >= 0:
            return self.reset_connection()
        if chunked:
            self.wfile.write(b"0\r\n\r\n")

    def reset_connection(self):
        # A plain close looks like a normal end of the body to some clients (Wine):
        # an abortive close (linger 0) sends RST so the reader sees a failure.
        self.wfile.flush()
        time.sleep(0.2)  # let the client take what was sent before the reset
        raw = self.connection
        raw.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        if isinstance(raw, ssl.SSLSocket):
            # Close the descriptor without a TLS close_notify.
            os.close(raw.detach())
        else:
            raw.close()
        self.close_connection = True
        self.wfile = _Sink()
        self.rfile = _Sink()


class _Sink:
    def write(self, data):
        return len(data)

    def flush(self):
        pass

    def close(self):
        pass

    def readline(self, *args):
        return b""


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True
    request_queue_size = 64

    def __init__(self, address, service_dir, certs, ssl_context, verbose):
        self.service_dir = service_dir
        self.certs = certs
        self.ssl_context = ssl_context
        self.verbose = verbose
        super().__init__(address, Handler)

    def finish_request(self, request, client_address):
        # The TLS handshake runs on the request's own thread, so a client that
        # rejects our certificate cannot stall the accept loop.
        if self.ssl_context is not None:
            try:
                request = self.ssl_context.wrap_socket(request, server_side=True)
            except (ssl.SSLError, OSError):
                return
        try:
            self.RequestHandlerClass(request, client_address, self)
        except (ConnectionError, ssl.SSLError, OSError):
            pass

    def shutdown_request(self, request):
        try:
            super().shutdown_request(request)
        except OSError:
            pass

    def handle_error(self, request, client_address):
        if self.verbose:
            super().handle_error(request, client_address)


def stalled_port(bind, port):
    """A port whose accept queue is full and never drained: new SYNs are dropped,
    so a client's connect hangs until its own connect time-out."""
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind((bind, port))
    listener.listen(0)
    fillers = []
    for _ in range(2):
        filler = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        filler.settimeout(0.5)
        try:
            filler.connect((bind, port))
        except OSError:
            pass
        fillers.append(filler)
    return listener, fillers


def tls_context(cert, key):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    return context


def parse_port(spec):
    # "443" plain port for the default certificate, "9443:rogue" for another pair.
    port, _, name = spec.partition(":")
    return int(port), name or "server"


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--dir", required=True,
                        help="service directory (manifest.json, manifest.json.sig, files/, requests.jsonl)")
    parser.add_argument("--certs", required=True, help="folder with <name>.pem and <name>.key")
    parser.add_argument("--https", action="append", default=[], metavar="PORT[:CERT]",
                        help="HTTPS port, optionally with the certificate name (default server)")
    parser.add_argument("--http", action="append", default=[], type=int, metavar="PORT", help="plain HTTP port")
    parser.add_argument("--stall", action="append", default=[], type=int, metavar="PORT",
                        help="port that never accepts (connect time-outs)")
    parser.add_argument("--bind", default="127.0.0.1")
    parser.add_argument("--ready", help="file written once every port listens")
    parser.add_argument("--verbose", action="store_true")
    args = parser.parse_args()

    os.makedirs(os.path.join(args.dir, "files"), exist_ok=True)
    servers = []
    for spec in args.https:
        port, name = parse_port(spec)
        context = tls_context(os.path.join(args.certs, name + ".pem"), os.path.join(args.certs, name + ".key"))
        servers.append(Server((args.bind, port), args.dir, args.certs, context, args.verbose))
    for port in args.http:
        servers.append(Server((args.bind, port), args.dir, args.certs, None, args.verbose))
    stalled = [stalled_port(args.bind, port) for port in args.stall]  # kept open until exit
    threads = [threading.Thread(target=s.serve_forever, daemon=True) for s in servers]
    for t in threads:
        t.start()
    if args.ready:
        with open(args.ready, "w") as f:
            f.write(" ".join(str(s.server_address[1]) for s in servers) + "\n")
    try:
        threading.Event().wait()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
