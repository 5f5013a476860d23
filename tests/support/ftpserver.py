#!/usr/bin/python3
"""A pyftpdlib FTP server for the transfer tests: one folder, one user, on
127.0.0.1 and a free port. Misbehaviour is read from the control file at
every command and data transfer (FtpTestServer in TestServers.h says what
each key does). Log lines: CONNECT, DISCONNECT, LOGIN <user>, CMD <line>,
DROP, STALL and HANG."""

import argparse
import logging
import os
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import DTPHandler, FTPHandler
from pyftpdlib.ioloop import RetryError
from pyftpdlib.servers import FTPServer

try:
    from pyftpdlib.handlers import TLS_DTPHandler, TLS_FTPHandler
except ImportError:  # pyOpenSSL missing
    TLS_DTPHandler = TLS_FTPHandler = None

from servercommon import EventLog, read_control, serve

CONTROL = ""
LOG = EventLog(None)


def control():
    return read_control(CONTROL)


class DenyingAuthorizer(DummyAuthorizer):
    """Refuses every permission inside the folders listed under "deny"."""

    root = ""

    def _denied(self, path):
        if path is None:
            return False
        real = os.path.realpath(path)
        for entry in control().get("deny", []):
            locked = os.path.realpath(
                os.path.join(self.root, entry.lstrip("/")))
            if real == locked or real.startswith(locked + os.sep):
                return True
        return False

    def has_perm(self, username, perm, path=None):
        if self._denied(path):
            return False
        return super().has_perm(username, perm, path)


class MisbehavingDTP:
    """Data channel mix-in that applies the control file's cases."""

    def __init__(self, sock, cmd_channel):
        self.conf = control()
        self.disk_full = self.stalled = False
        self.resumer = None
        super().__init__(sock, cmd_channel)
        if self.conf.get("delay_ms") or self.conf.get("stall_after") is not None \
                or self.conf.get("drop_after") is not None:
            self.ac_out_buffer_size = self.ac_in_buffer_size = \
                int(self.conf.get("block_size", 8192))

    def use_sendfile(self):
        return False

    def _limit(self, wanted):
        """How many bytes may move now; None once the connection dropped."""
        moved = self.tot_bytes_sent + self.tot_bytes_received
        drop = self.conf.get("drop_after")
        if drop is not None and moved >= drop:
            self._drop()
            return None
        stall = self.conf.get("stall_after")
        if stall is not None and moved >= stall:
            self._stall()
            return 0
        for limit in (drop, stall):
            if limit is not None:
                wanted = min(wanted, limit - moved)
        return max(wanted, 1)

    def _drop(self):
        LOG.write("DROP")
        self._resp = ()
        channel = self.cmd_channel
        self.close()
        channel.close()

    def _stall(self):
        if not self.stalled:
            self.stalled = True
            LOG.write("STALL")
            self.del_channel()

    def _pause(self):
        delay = self.conf.get("delay_ms")
        if not delay or self._closed:
            return
        event = self.ioloop.READ if self.receive else self.ioloop.WRITE

        def resume():
            if not self._closed:
                self.add_channel(events=event)

        self.del_channel()
        self.resumer = self.ioloop.call_later(delay / 1000.0, resume,
                                              _errback=self.handle_error)

    def send(self, data):
        allowed = self._limit(len(data))
        if not allowed:
            return 0
        sent = super().send(data[:allowed])
        self._pause()
        return sent

    def recv(self, buffer_size):
        allowed = self._limit(buffer_size)
        if not allowed:
            raise RetryError
        chunk = super().recv(allowed)
        self._pause()
        return chunk

    def enable_receiving(self, type, cmd):
        full, lose = self.conf.get("disk_full_after"), self.conf.get("lose_after")
        if self.file_obj is not None and (full, lose) != (None, None):
            self.file_obj = FullDisk(self.file_obj, lose if full is None else full, self,
                                     report=full is not None)
        super().enable_receiving(type, cmd)

    def close(self):
        if not self._closed:
            if self.resumer is not None and not self.resumer.cancelled:
                self.resumer.cancel()
            if self.disk_full and self._resp and self._resp[0].startswith("226"):
                self._resp = ("452 Insufficient storage space; transfer aborted.",
                              logging.getLogger("pyftpdlib").warning)
        super().close()


class FullDisk:
    """File wrapper that keeps only the first bytes of an upload, like a
    disk that runs full: the rest is dropped and, when `report` is set, the
    channel told so."""

    def __init__(self, real, room, channel, report):
        self.real, self.room, self.channel, self.report = real, room, channel, report
        self.name = real.name

    @property
    def closed(self):
        return self.real.closed

    def close(self):
        self.real.close()

    def write(self, chunk):
        keep = chunk[:max(0, self.room)]
        if len(keep) < len(chunk) and self.report:
            self.channel.disk_full = True
        if keep:
            self.real.write(keep)
            self.room -= len(keep)


class PlainDTP(MisbehavingDTP, DTPHandler):
    pass


class LoggingHandler:
    """Control channel mix-in: logs, and answers MLSD with 500 on request."""

    auth_failed_timeout = 0  # answer a wrong password at once

    def handle(self):
        LOG.write("CONNECT")
        super().handle()

    def on_disconnect(self):
        LOG.write("DISCONNECT")

    def on_login(self, username):
        LOG.write("LOGIN " + username)

    def pre_process_command(self, line, cmd, arg):
        LOG.write("CMD " + line)
        if cmd in control().get("hang", []):
            LOG.write("HANG")  # never answered: the client waits for its time-out
            return
        refusal = self._refusal(control(), cmd, arg or "")
        if refusal:
            self.respond(refusal)
        else:
            super().pre_process_command(line, cmd, arg)

    def _refusal(self, conf, cmd, arg):
        name = arg.replace("\\", "/").rsplit("/", 1)[-1]
        if cmd == "MLSD" and conf.get("no_mlsd"):
            return '500 Command "MLSD" not understood.'
        if cmd == "RNFR" and conf.get("rename") == "refuse":
            return "550 Renaming files is not permitted here."
        renames = conf.get("fail_renames", [])
        if cmd == "RNFR" and name in [f + ".pagewick-upload" for f in renames]:
            return "550 Cannot rename %s." % name
        if cmd == "RNTO" and arg and conf.get("rename") == "over_existing":
            try:
                if os.path.exists(self.fs.ftp2fs(arg)):
                    return "550 Cannot rename over an existing file."
            except Exception:  # a path outside the root: let pyftpdlib answer
                pass
        if cmd == "STOR" and arg and any(name.startswith(f) for f in conf.get("fail_files", [])):
            return "550 Cannot store %s: Permission denied." % name
        return None


class PlainHandler(LoggingHandler, FTPHandler):
    dtp_handler = PlainDTP


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    for name in ("control", "log", "tls-cert", "tls-key"):  # tls: AUTH TLS required
        parser.add_argument("--" + name, default="")
    args = parser.parse_args()

    global CONTROL, LOG
    CONTROL = args.control
    LOG = EventLog(args.log)
    logging.basicConfig(level=logging.ERROR)

    authorizer = DenyingAuthorizer()
    authorizer.root = os.path.realpath(args.root)
    authorizer.add_user("tester", "secret", args.root, perm="elradfmwMT")

    if args.tls_cert:
        if TLS_FTPHandler is None:
            print("ERROR TLS needs pyOpenSSL (Debian package python3-openssl)",
                  flush=True)
            return 2

        class TlsDTP(MisbehavingDTP, TLS_DTPHandler):
            def readable(self):
                # A client may open the data connection before it sends
                # RETR or STOR; the handshake must go on meanwhile instead
                # of the idle channel being closed.
                if self._ssl_accepting:
                    return True
                return super().readable()

        class TlsHandler(LoggingHandler, TLS_FTPHandler):
            dtp_handler = TlsDTP
            certfile = args.tls_cert
            keyfile = args.tls_key or None
            tls_control_required = True
            tls_data_required = True

        handler = TlsHandler
    else:
        handler = PlainHandler
    handler.authorizer = authorizer
    handler.banner = "Pagewick test FTP server ready."

    server = FTPServer(("127.0.0.1", 0), handler)
    return serve(server.socket.getsockname()[1], server.serve_forever)


if __name__ == "__main__":
    sys.exit(main())
