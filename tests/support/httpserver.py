#!/usr/bin/python3
"""An HTTP(S) server for the transfer tests: one folder on 127.0.0.1 and a
free port. How each path is answered is read from the control file at every
request: {"paths": {"/page.html": {"how": "404", "headers": {...}}, "*": ...}}
in the words of HttpTestServer::setAnswer (TestServers.h). Log lines: the
method and path of every request."""

import argparse
import os
import socket
import ssl
import sys
import time
from http import HTTPStatus
from http.server import SimpleHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import unquote, urlsplit

from servercommon import EventLog, read_control, serve


class Handler(SimpleHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    control_path = ""
    log = EventLog(None)

    def log_message(self, format, *args):
        pass

    def _log(self):
        self.log.write("%s %s" % (self.command, self.path))

    def _behaviour(self):
        paths = read_control(self.control_path).get("paths", {})
        entry = paths.get(unquote(urlsplit(self.path).path), paths.get("*", {}))
        how = {"headers": dict(entry.get("headers", {}))}
        words = entry.get("how", "").split()
        word = words[0] if words else ""
        numbers = [int(w) for w in words[1:] if w.isdigit()]
        if word in ("no", "cut", "endless"):  # "no length"
            how["no_length"] = True
        if word in ("extra", "endless"):
            how["extra"] = numbers[0]
        elif word == "cut":
            how["headers"]["Content-Length"] = str(numbers[0])
        elif word == "close":
            how["close"] = True
        elif word == "stall":
            how["stall_after"] = numbers[0]
        elif word == "slow":
            how["delay_ms"], how["block_size"] = numbers if numbers else (400, 1024)
        elif word and word != "no":
            how["status"] = int(word)
        return how

    def do_GET(self):
        self._log()
        how = self._behaviour()
        if how.get("close"):
            self.close_connection = True
            try:
                self.connection.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
            return
        if "status" in how:
            self._answer_status(int(how["status"]), how)
            return
        local = self.translate_path(self.path)
        if os.path.isdir(local) or not os.path.isfile(local):
            self._answer_status(404, how)
            return
        with open(local, "rb") as f:
            body = f.read()
        self.send_response(200)
        self.send_header("Content-Type", self.guess_type(local))
        if how.get("no_length"):
            self.send_header("Connection", "close")
            self.close_connection = True
        else:
            self.send_header("Content-Length", str(len(body)))
        for name, value in how.get("headers", {}).items():
            self.send_header(name, value)
        self.end_headers()
        self._send_body(body, how)
        if how.get("extra"):
            # A moment later, so that the client has taken the announced
            # length as the whole answer before the surplus arrives.
            time.sleep(0.2)
            try:
                self.wfile.write(b"X" * int(how["extra"]))
                self.wfile.flush()
            except OSError:
                pass
            self.close_connection = True

    def _answer_status(self, status, how):
        phrase = HTTPStatus(status).phrase if status in HTTPStatus._value2member_map_ else ""
        body = ("<html><body><h1>%d %s</h1></body></html>\n" % (status, phrase)).encode()
        self.send_response(status)
        self.send_header("Content-Type", "text/html")
        self.send_header("Content-Length", str(len(body)))
        if status == 401:
            self.send_header("WWW-Authenticate", 'Basic realm="test"')
        for name, value in how.get("headers", {}).items():
            self.send_header(name, value)
        self.end_headers()
        self.wfile.write(body)

    def _send_body(self, body, how):
        block = int(how.get("block_size", 8192))
        delay = how.get("delay_ms", 0) / 1000.0
        stall = how.get("stall_after")
        sent = 0
        try:
            while sent < len(body):
                if stall is not None and sent >= stall:
                    self.wfile.flush()
                    self.close_connection = True
                    self._hold()
                    return
                size = block
                if stall is not None:
                    size = min(size, stall - sent)
                self.wfile.write(body[sent:sent + size])
                self.wfile.flush()
                sent += size
                if delay:
                    time.sleep(delay)
        except OSError:
            self.close_connection = True

    def _hold(self):
        """Keep the connection open without sending, until the client gives
        up or a minute has passed."""
        self.connection.settimeout(1.0)
        deadline = time.monotonic() + 60
        while time.monotonic() < deadline:
            try:
                if not self.connection.recv(4096):
                    return
            except socket.timeout:
                continue
            except OSError:
                return


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    for name in ("control", "log", "tls-cert", "tls-key"):
        parser.add_argument("--" + name, default="")
    args = parser.parse_args()

    root = os.path.realpath(args.root)

    class RootHandler(Handler):
        control_path = args.control
        log = EventLog(args.log)

        def __init__(self, *a, **kw):
            super().__init__(*a, directory=root, **kw)

    server = ThreadingHTTPServer(("127.0.0.1", 0), RootHandler)
    server.daemon_threads = True
    # A client hanging up early or refusing the certificate is part of the
    # tests, not a server fault worth a traceback.
    server.handle_error = lambda request, client_address: None
    if args.tls_cert:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(args.tls_cert, args.tls_key or None)
        # The handshake runs in the request's thread, so a client that
        # refuses the certificate does not hold up the others.
        server.socket = context.wrap_socket(server.socket, server_side=True,
                                            do_handshake_on_connect=False)
    return serve(server.server_address[1], server.serve_forever)


if __name__ == "__main__":
    sys.exit(main())
