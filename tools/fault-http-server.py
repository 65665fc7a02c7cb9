#!/usr/bin/env python3
"""A loopback HTTP server that misbehaves on purpose, for testing the download engine.

URLs are /<mode>/<file>, where <file> is served from --root. Modes:
  plain        Range, If-Range and ETag honoured as a CDN does
  dropfirst    like plain, but the first response for a file ends after N body bytes (?n=)
  drop         every response ends after N body bytes (?n=, default 1 MiB + 100)
  etagchange   every response ends after N bytes and carries a new ETag
  ignorerange  always 200 with the whole file
  badrange     206 with a Content-Range one byte off
  garbagerange a Content-Range that is not a byte range
  nolength     200 without Content-Length (the connection close ends the body)
  toomuch      announces the right range but sends 100 bytes more than it
  status404, status500
  stall        sends half the body, waits ?s= seconds (at most 30), then closes
  slow         sends 64 KiB every 50 ms

Each request is logged as one line: mode file range=<Range> ifrange=<If-Range> status=<code>.
The server stops by itself after --lifetime seconds or --max-requests requests.
"""
import argparse
import os
import socket
import socketserver
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler

counters = {}
counters_lock = threading.Lock()
log_lock = threading.Lock()
args = None
requests_served = 0


def next_count(key):
    with counters_lock:
        counters[key] = counters.get(key, 0) + 1
        return counters[key]


def parse_range(header, size):
    """Returns (first, last) clamped to the file, or None when absent or unusable."""
    if not header or not header.startswith("bytes="):
        return None
    first_range = header[len("bytes="):].split(",")[0].strip()
    first, _, last = first_range.partition("-")
    try:
        if first == "":
            n = int(last)
            return (max(0, size - n), size - 1) if n > 0 else None
        first = int(first)
        last = int(last) if last else size - 1
    except ValueError:
        return None
    if first >= size or last < first:
        return None
    return first, min(last, size - 1)


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, fmt, *a):  # quiet: requests go to our own log
        pass

    def record(self, mode, name, status):
        with log_lock:
            with open(args.log, "a") as f:
                f.write("%s %s range=%s ifrange=%s status=%d\n" % (
                    mode, name, self.headers.get("Range", "-"), self.headers.get("If-Range", "-"), status))

    def send_simple(self, mode, name, status):
        self.record(mode, name, status)
        body = b"error %d\n" % status
        self.send_response(status)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        global requests_served
        requests_served += 1
        if requests_served > args.max_requests:
            self.close_connection = True
            return
        url = urllib.parse.urlsplit(self.path)
        query = urllib.parse.parse_qs(url.query)
        parts = url.path.lstrip("/").split("/", 1)
        if len(parts) != 2:
            return self.send_simple("-", url.path, 404)
        mode, name = parts
        if mode.startswith("status"):
            return self.send_simple(mode, name, int(mode[len("status"):] or 500))
        path = os.path.join(args.root, os.path.basename(name))
        if not os.path.isfile(path):
            return self.send_simple(mode, name, 404)
        with open(path, "rb") as f:
            data = f.read()
        size = len(data)
        count = next_count((mode, name))
        etag = '"%x-%x"' % (size, int(os.path.getmtime(path)))
        if mode == "etagchange":
            etag = '"%x-v%d"' % (size, count)
        n = int(query.get("n", [1048576 + 100])[0])

        rng = parse_range(self.headers.get("Range"), size)
        if_range = self.headers.get("If-Range")
        if rng and if_range is not None and if_range != etag:
            rng = None
        if mode in ("ignorerange", "nolength"):
            rng = None

        status = 206 if rng else 200
        first, last = rng if rng else (0, size - 1)
        body = data[first:last + 1]
        headers = [("ETag", etag), ("Accept-Ranges", "bytes"), ("Connection", "close")]
        if mode == "badrange" and rng:
            headers.append(("Content-Range", "bytes %d-%d/%d" % (first + 1, last + 1, size + 1)))
        elif mode == "garbagerange":
            headers.append(("Content-Range", "bytes abc"))
        elif rng:
            headers.append(("Content-Range", "bytes %d-%d/%d" % (first, last, size)))
        elif mode == "toomuch":
            headers.append(("Content-Range", "bytes 0-%d/%d" % (size - 1, size)))
        if mode == "toomuch":
            body = body + b"\0" * 100
        if mode != "nolength":
            headers.append(("Content-Length", str(len(body))))

        self.record(mode, name, status)
        self.send_response(status)
        for k, v in headers:
            self.send_header(k, v)
        self.end_headers()
        self.close_connection = True
        try:
            if mode == "drop" or mode == "etagchange" or (mode == "dropfirst" and count == 1):
                self.wfile.write(body[:n])
                self.wfile.flush()
                self.connection.shutdown(socket.SHUT_RDWR)
            elif mode == "stall":
                half = len(body) // 2
                self.wfile.write(body[:half])
                self.wfile.flush()
                time.sleep(min(30.0, float(query.get("s", ["10"])[0])))
                self.connection.shutdown(socket.SHUT_RDWR)
            elif mode == "slow":
                for i in range(0, len(body), 65536):
                    self.wfile.write(body[i:i + 65536])
                    self.wfile.flush()
                    time.sleep(0.05)
            else:
                self.wfile.write(body)
        except OSError:
            pass  # the client went away (a cancelled download)


class Server(socketserver.ThreadingMixIn, socketserver.TCPServer):
    allow_reuse_address = True
    daemon_threads = True


def main():
    global args
    p = argparse.ArgumentParser()
    p.add_argument("--port", type=int, required=True)
    p.add_argument("--root", required=True)
    p.add_argument("--log", required=True)
    p.add_argument("--lifetime", type=float, default=600)
    p.add_argument("--max-requests", type=int, default=5000)
    args = p.parse_args()
    server = Server(("127.0.0.1", args.port), Handler)
    threading.Timer(args.lifetime, server.shutdown).start()
    try:
        server.serve_forever(poll_interval=0.2)
    finally:
        server.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
