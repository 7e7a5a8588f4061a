"""The viewer's HTTP server (the standard library's threading server): on the
loopback address only, every path behind a random token (/<token>/...), serving
the page's files and a small JSON interface on the one recording it was started
with. Requests borrow an open reader from a small pool, so a reader serves one
request at a time; every query parameter is checked before use and a bad one
gets a 400 answer with a JSON message, never a traceback.

  GET /<token>/                      the page
  GET /<token>/static/<file>         its own scripts and styles
  GET /<token>/vendor/<file>         uPlot's distribution files
  GET /<token>/api/recording         recording, regions, events, plottable channels
  GET /<token>/api/data?channel=I&t0=S&t1=S&width=PX   one channel's drawing (envelope.py)
"""

import contextlib
import hmac
import http.server
import json
import math
import os
import queue
import re
import secrets
import sys
import threading
import time
import urllib.parse

from .. import recording as recordings
from ..errors import KVError
from . import assets, envelope

MAX_WIDTH = 10000
# Times beyond this many seconds are no view of a recording.
MAX_TIME = 1e12
MAX_QUERY = 512
_INTEGER = re.compile(r"[0-9]{1,9}")
_NUMBER = re.compile(r"[-+]?([0-9]+\.?[0-9]*|\.[0-9]+)([eE][-+]?[0-9]{1,3})?")


class BadRequest(Exception):
    """A parameter the viewer cannot use; the message says which and why."""


class PoolClosed(Exception):
    """A reader was asked of a pool that is closing and had none left to lend."""


class ReaderPool:
    """Up to `size` open readers of one recording, opened when first needed; each
    is lent to one request at a time."""

    def __init__(self, path, size=2):
        self.path = path
        self._size = size
        self._changed = threading.Condition()
        self._opened = [recordings.open(path)]  # opening once up front shows a bad file at start
        self._idle = list(self._opened)
        self._opening = 0
        self._closing = False

    @contextlib.contextmanager
    def reader(self, wanted=None):
        """Lends a reader (`wanted`, a reader of the pool, waits for that one)."""
        reader = self._take(wanted)
        try:
            yield reader
        finally:
            with self._changed:
                self._idle.append(reader)
                self._changed.notify_all()

    def _take(self, wanted):
        with self._changed:
            while True:
                if wanted is None and self._idle:
                    return self._idle.pop()
                if wanted is not None and any(reader is wanted for reader in self._idle):
                    self._idle = [reader for reader in self._idle if reader is not wanted]
                    return wanted
                if wanted is None and len(self._opened) + self._opening < self._size:
                    if self._closing:
                        raise PoolClosed("the viewer is closing")
                    self._opening += 1
                    break
                self._changed.wait()
        reader = None
        try:
            reader = recordings.open(self.path)
        finally:
            with self._changed:
                self._opening -= 1
                if reader is not None:
                    self._opened.append(reader)
                self._changed.notify_all()
        return reader

    def warm(self, indexes, budget=2.0):
        """Reads the last sample of each channel in `indexes` on every reader of the
        pool, lending a reader for one read at a time, for at most `budget` seconds
        per reader. A reader finds a page far into a stream without a page table by
        following the stream's pages from its start, once: a fraction of a second on
        gigabytes. Done here, right after the start, no view waits for it."""
        try:
            with contextlib.ExitStack() as held:
                # Borrowing as many readers as the pool holds opens all of them.
                readers = [held.enter_context(self.reader()) for _ in range(self._size)]
        except PoolClosed:
            return
        for reader in readers:
            deadline = time.monotonic() + budget
            for index in indexes:
                if time.monotonic() > deadline:
                    break
                with self.reader(reader):
                    if self._closing:
                        return
                    channel = reader[index]
                    try:
                        if len(channel):
                            channel.read(len(channel) - 1, 1)
                    except KVError:
                        pass  # a damaged channel: its views say so

    def close(self):
        """Closes every reader once it is back from its loan."""
        with self._changed:
            self._closing = True
            while self._opening:
                self._changed.wait()
        for reader in list(self._opened):
            with self.reader(reader):
                reader.close()


def plottable(channel):
    """Whether the viewer draws a channel: numeric, sampled, one value per sample."""
    return channel.list == "numeric" and channel.kind in ("sync", "async") and channel.array_size == 1


class Viewer:
    """The recording's answers, independent of the transport: route() maps a
    request path and query to (status, content type, body bytes)."""

    def __init__(self, path, readers=2):
        self.pool = ReaderPool(path, readers)
        self.files = assets.load()
        with self.pool.reader() as recording:
            self.summary = self._summary(recording)
        self.channels = {entry["index"]: entry for entry in self.summary["channels"]}
        self.warming = None

    def warm_up(self):
        """Reads ahead on a thread of its own (ReaderPool.warm): the last sample of one
        synchronous channel, which reaches the end of the block stream all of them
        share, and of each asynchronous channel, whose samples have streams of their
        own."""
        kinds = [(entry["kind"], entry["index"]) for entry in self.summary["channels"]]
        indexes = [index for kind, index in kinds if kind == "sync"][:1]
        indexes += [index for kind, index in kinds if kind == "async"]
        thread = threading.Thread(target=self.pool.warm, args=(indexes,), name="kvdatareader-viewer-warm-up",
                                  daemon=True)
        thread.start()
        self.warming = thread

    def close(self):
        self.pool.close()

    def _summary(self, recording):
        start = recording.store_time or recording.start_time
        channels = []
        for channel in recording.channels:
            if not plottable(channel):
                continue
            # A channel's reduced levels are looked up on its first drawing, not here:
            # a recording of thousands of channels opens as fast as its list.
            channels.append({"index": channel.index, "name": channel.name, "unit": channel.unit,
                             "kind": channel.kind, "description": channel.description,
                             "rate": channel.rate, "samples": len(channel)})
        return {"file": os.path.basename(recording.path), "duration": recording.duration,
                "sample_rate": recording.sample_rate, "start": start.isoformat() if start else None,
                "regions": [[region.start, region.stop] for region in recording.regions],
                "events": [{"type": event.type, "name": event.name, "time": event.time, "text": event.text}
                           for event in recording.events],
                "channels": channels}

    def route(self, path, query):
        if path in ("", "index.html"):
            path = "static/index.html"
        if path in self.files:
            kind, body = self.files[path]
            return 200, kind, body
        if path.startswith("vendor/"):
            return _json(404, {"error": "uPlot is not installed: run `npm ci` in the viewer's directory or the "
                                        "build (see kvdatareader/viewer/assets.py)"})
        if path == "api/recording":
            _parameters(query, ())
            return _json(200, self.summary)
        if path == "api/data":
            return _json(200, self.data(_parameters(query, ("channel", "t0", "t1", "width"))))
        return _json(404, {"error": "no such page"})

    def data(self, parameters):
        index = _integer(parameters, "channel")
        if index not in self.channels:
            raise BadRequest(f"channel {index} is not a plottable channel of the recording (see api/recording)")
        t0, t1 = _time(parameters, "t0"), _time(parameters, "t1")
        if not t0 < t1:
            raise BadRequest("t0 must be below t1")
        width = _integer(parameters, "width")
        if not 1 <= width <= MAX_WIDTH:
            raise BadRequest(f"width must be 1 to {MAX_WIDTH} pixels")
        if not (t1 - t0) / width > 0:
            raise BadRequest("the view is too narrow for its width")
        with self.pool.reader() as recording:
            return envelope.view(recording[index], recording.regions, t0, t1, width)


def _json(status, value):
    return status, "application/json", json.dumps(value, allow_nan=False, separators=(",", ":")).encode()


def _parameters(query, names):
    """The query's parameters: exactly `names`, each once."""
    if len(query) > MAX_QUERY:
        raise BadRequest("the query is too long")
    try:
        pairs = urllib.parse.parse_qsl(query, keep_blank_values=True, strict_parsing=bool(query),
                                       max_num_fields=len(names) + 1)
    except ValueError:
        raise BadRequest("the query cannot be read") from None
    found = {}
    for name, value in pairs:
        if name not in names:
            raise BadRequest(f"unknown parameter {name[:40]!r}")
        if name in found:
            raise BadRequest(f"{name} is given twice")
        found[name] = value
    missing = [name for name in names if name not in found]
    if missing:
        raise BadRequest("missing " + ", ".join(missing))
    return found


def _integer(parameters, name):
    text = parameters[name]
    if not _INTEGER.fullmatch(text):
        raise BadRequest(f"{name} must be a whole number")
    return int(text)


def _time(parameters, name):
    text = parameters[name]
    if not _NUMBER.fullmatch(text):
        raise BadRequest(f"{name} must be a number of seconds")
    value = float(text)
    if not (math.isfinite(value) and abs(value) <= MAX_TIME):
        raise BadRequest(f"{name} must lie within {MAX_TIME:g} seconds of the recording's start")
    return value


class _Handler(http.server.BaseHTTPRequestHandler):
    server_version = "kvdatareader-viewer"
    sys_version = ""
    protocol_version = "HTTP/1.1"

    def do_GET(self):  # noqa: N802 - the standard library's name
        status, kind, body, *location = self.server.answer(self)
        self.send_response(status)
        if location:
            self.send_header("Location", location[0])
        self.send_header("Content-Type", kind)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Cache-Control", "no-store")
        self.send_header("Referrer-Policy", "no-referrer")
        self.send_header("X-Content-Type-Options", "nosniff")
        self.send_header("Content-Security-Policy",
                         "default-src 'self'; img-src 'self' data:; style-src 'self' 'unsafe-inline'")
        self.end_headers()
        self.wfile.write(body)

    def send_error(self, code, message=None, explain=None):
        """Requests the server cannot parse get a JSON message too; the connection closes."""
        self.close_connection = True
        status, kind, body = _json(code, {"error": message or self.responses.get(code, ("error",))[0]})
        self.send_response(status)
        self.send_header("Content-Type", kind)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Connection", "close")
        if code == 405:
            self.send_header("Allow", "GET")
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def _refuse(self):
        self.send_error(405, "only GET is answered")

    do_POST = do_PUT = do_DELETE = do_PATCH = do_OPTIONS = _refuse  # noqa: N815

    def do_HEAD(self):  # noqa: N802
        self._refuse()

    def log_message(self, format, *args):  # noqa: A002 - the standard library's signature
        if self.server.verbose:
            super().log_message(format, *args)


class ViewerServer(http.server.ThreadingHTTPServer):
    """The server on 127.0.0.1 (port 0: a free one), with its token."""

    daemon_threads = True

    def __init__(self, viewer, port=0, verbose=False):
        super().__init__(("127.0.0.1", port), _Handler)
        self.viewer = viewer
        self.token = secrets.token_urlsafe(24)
        self.verbose = verbose
        self._hosts = {f"127.0.0.1:{self.server_port}", f"localhost:{self.server_port}"}

    def server_close(self):
        super().server_close()
        self.viewer.close()

    @property
    def url(self):
        return f"http://127.0.0.1:{self.server_port}/{self.token}/"

    def answer(self, handler):
        """(status, content type, body) of one request, whatever it holds."""
        try:
            parts = urllib.parse.urlsplit(handler.path)
            # The token guards the data; the host check keeps other sites' pages that
            # resolve their name to this address from reading it.
            host = handler.headers.get("Host", "")
            first, slash, rest = parts.path.lstrip("/").partition("/")
            if host not in self._hosts or not hmac.compare_digest(first.encode(), self.token.encode()):
                return _json(403, {"error": "forbidden: open the address the viewer printed"})
            if not slash:  # the page's relative addresses need the token as a directory
                return (*_json(308, {"error": "moved"}), f"/{self.token}/")
            return self.viewer.route(rest, parts.query)
        except BadRequest as error:
            return _json(400, {"error": str(error)})
        except KVError as error:
            return _json(500, {"error": f"the recording cannot be read there: {error}"})
        except Exception as error:  # noqa: BLE001 - a request must never take the server down
            print(f"kvdatareader view: {type(error).__name__}: {error}", file=sys.stderr)
            return _json(500, {"error": "internal error (see the viewer's console)"})


def start(path, port=0, verbose=False):
    """A server on the recording, listening but not yet serving (serve_forever())."""
    viewer = Viewer(path)
    try:
        server = ViewerServer(viewer, port, verbose)
        viewer.warm_up()
        return server
    except OSError as error:
        viewer.close()
        raise ValueError(f"cannot listen on 127.0.0.1:{port}: {error.strerror or error}") from None
    except BaseException:
        viewer.close()
        raise


def run_in_thread(server):
    """Serves on a daemon thread; returns it (server.shutdown() stops it)."""
    thread = threading.Thread(target=server.serve_forever, name="kvdatareader-viewer", daemon=True)
    thread.start()
    return thread
