#!/usr/bin/env python3
"""Loopback file server for the browser-runtime tests.

start <folder> <port> <pidfile>: serves <folder> on 127.0.0.1:<port> in the
background (at most 300 requests or 900 seconds, then it stops by itself) and
returns once the port answers. stop <pidfile>: ends that server by its pid.
"""
import functools
import http.server
import os
import signal
import socket
import sys
import time

MAX_REQUESTS = 300
MAX_SECONDS = 900


class CountingServer(http.server.HTTPServer):
    handled = 0

    def process_request(self, request, client_address):
        self.handled += 1
        super().process_request(request, client_address)


def serve(folder, port):
    handler = functools.partial(http.server.SimpleHTTPRequestHandler, directory=folder)
    server = CountingServer(("127.0.0.1", port), handler)
    server.timeout = 1
    deadline = time.time() + MAX_SECONDS
    while server.handled < MAX_REQUESTS and time.time() < deadline:
        server.handle_request()
    server.server_close()


def start(folder, port, pidfile):
    os.makedirs(folder, exist_ok=True)
    pid = os.fork()
    if pid == 0:
        os.setsid()
        devnull = os.open(os.devnull, os.O_RDWR)
        for fd in (0, 1, 2):
            os.dup2(devnull, fd)
        try:
            serve(folder, port)
        finally:
            os._exit(0)
    with open(pidfile, "w") as out:
        out.write(str(pid))
    for _ in range(100):
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=0.2):
                return 0
        except OSError:
            time.sleep(0.1)
    os.kill(pid, signal.SIGTERM)
    print("server did not start on port %d" % port, file=sys.stderr)
    return 1


def stop(pidfile):
    try:
        with open(pidfile) as source:
            pid = int(source.read().strip())
    except (OSError, ValueError):
        return 0
    try:
        os.kill(pid, signal.SIGTERM)
    except ProcessLookupError:
        pass
    os.remove(pidfile)
    return 0


if __name__ == "__main__":
    if sys.argv[1] == "start":
        sys.exit(start(sys.argv[2], int(sys.argv[3]), sys.argv[4]))
    sys.exit(stop(sys.argv[2]))
