"""What the test servers share: the control file, the event log, and serving
until the test that started them goes away (its standard input closes) or
SIGTERM."""

import json
import os
import signal
import sys
import threading


def read_control(path):
    """The control file's settings; a missing or half-written file counts
    as 'no misbehaviour'."""
    if not path:
        return {}
    try:
        with open(path, "r", encoding="utf-8") as f:
            return json.load(f)
    except (OSError, ValueError):
        return {}


class EventLog:
    """Appends one line an event to the log file, from any thread."""

    def __init__(self, path):
        self.path = path
        self.lock = threading.Lock()

    def write(self, text):
        if not self.path:
            return
        with self.lock, open(self.path, "a", encoding="utf-8",
                             errors="backslashreplace") as f:
            f.write(text + "\n")


def serve(port, serve_forever):
    """Prints "PORT <port>" for the test and serves until told to stop."""
    signal.signal(signal.SIGTERM, lambda *_: os._exit(0))

    def watch_stdin():
        try:
            while sys.stdin.buffer.read(4096):
                pass
        except OSError:
            pass
        os._exit(0)

    threading.Thread(target=watch_stdin, daemon=True).start()
    print("PORT %d" % port, flush=True)
    serve_forever()
    return 0
