#!/usr/bin/env python3
"""Reference service host for tests, the demo and the end-to-end suite.

Answers the installer service's requests on a loopback port and appends every
request (method, path, query, headers, body or stored file) to a JSON-lines
record. Its answers are read from a JSON configuration file on every request,
so a test can change them between requests:

  tokenStatus    HTTP status of "/v1/token" answers (200)
  tokenAnswer    "tokenized" (a JSON answer with "tokenizedUrl" among other
                 fields), "missing" (a JSON answer without it), or a literal
                 answer in which {url} stands for the posted URL
  tokenAnswerBase64  when set, the exact answer bytes (base64) of "/v1/token"
  embargoStatus  HTTP status of "/v1/isInEmbargoedCountry" answers (200)
  embargoAnswer  the literal answer of "/v1/isInEmbargoedCountry"

Uploads to "/v1/reportError" are stored in the uploads folder; their record
lists the archive's entries with their contents.

Start:  service_host.py --port 18080 --record r.jsonl --uploads dir --config c.json
                        --pidfile host.pid --lifetime 900 [--daemon]
Stop:   service_host.py --stop --pidfile host.pid
It listens on 127.0.0.1 only and exits by itself after --lifetime seconds.
"""
import argparse
import base64
import http.server
import io
import json
import os
import signal
import sys
import threading
import time
import urllib.parse
import zipfile

DEFAULT_CONFIG = {
    "tokenStatus": 200,
    "tokenAnswer": "tokenized",
    "embargoStatus": 200,
    "embargoAnswer": "<RegionRestrictions><country>US</country><isEmbargo>false</isEmbargo></RegionRestrictions>",
}
KNOWN_PATHS = ("/v1/token", "/v1/logAnalytics", "/v1/logUserActivity", "/v1/reportError", "/v1/isInEmbargoedCountry")


class Host:
    def __init__(self, record_path, uploads, config_path):
        self.record_path = record_path
        self.uploads = uploads
        self.config_path = config_path
        self.lock = threading.Lock()
        self.sequence = 0
        os.makedirs(uploads, exist_ok=True)
        # Every start begins a fresh record with the default answers.
        with open(record_path, "w", encoding="ascii"):
            pass
        with open(config_path, "w", encoding="utf-8") as f:
            f.write("{}")

    def config(self):
        config = dict(DEFAULT_CONFIG)
        try:
            with open(self.config_path, encoding="utf-8") as f:
                config.update(json.load(f))
        except (OSError, ValueError):
            pass
        return config

    def next_sequence(self):
        with self.lock:
            self.sequence += 1
            return self.sequence

    def append(self, entry):
        line = json.dumps(entry, ensure_ascii=True)
        with self.lock:
            with open(self.record_path, "a", encoding="ascii") as f:
                f.write(line + "\n")
                f.flush()


def describe_body(body):
    try:
        return {"body": body.decode("utf-8")}
    except UnicodeDecodeError:
        return {"bodyBase64": base64.b64encode(body).decode("ascii")}


def describe_archive(data):
    try:
        with zipfile.ZipFile(io.BytesIO(data)) as archive:
            if archive.testzip() is not None:
                return {"archiveError": "bad entry"}
            entries = []
            for info in archive.infolist():
                content = archive.read(info)
                entry = {"name": info.filename, "size": len(content), "compressType": info.compress_type}
                entry.update(describe_body(content))
                entries.append(entry)
            return {"archive": entries}
    except (zipfile.BadZipFile, ValueError) as e:
        return {"archiveError": str(e)}


def tokenized_answer(config, url):
    mode = config["tokenAnswer"]
    if mode == "tokenized":
        separator = "&" if "?" in url else "?"
        answer = {"requestId": "r-0001", "tokenizedUrl": url + separator + "token=T0K3N", "expiresIn": 300}
        return json.dumps(answer, ensure_ascii=False)
    if mode == "missing":
        return json.dumps({"requestId": "r-0001", "error": "unknown package"}, ensure_ascii=False)
    return mode.replace("{url}", url)


def make_handler(host):
    class Handler(http.server.BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.1"

        def log_message(self, *args):
            pass

        def handle_any(self):
            length = int(self.headers.get("Content-Length") or 0)
            body = self.rfile.read(length) if length > 0 else b""
            parsed = urllib.parse.urlsplit(self.path)
            sequence = host.next_sequence()
            entry = {"seq": sequence, "method": self.command, "path": parsed.path, "query": parsed.query,
                     "headers": {k: v for k, v in self.headers.items()}}
            config = host.config()
            status, answer = 200, b"OK"
            if parsed.path == "/v1/reportError":
                name = "upload-%04d.zip" % sequence
                with open(os.path.join(host.uploads, name), "wb") as f:
                    f.write(body)
                entry["file"] = name
                entry["size"] = len(body)
                entry.update(describe_archive(body))
            else:
                entry.update(describe_body(body))
            if parsed.path == "/v1/token":
                status = int(config["tokenStatus"])
                if config.get("tokenAnswerBase64"):
                    answer = base64.b64decode(config["tokenAnswerBase64"])
                else:
                    answer = tokenized_answer(config, body.decode("utf-8", "replace")).encode("utf-8")
            elif parsed.path == "/v1/isInEmbargoedCountry":
                status = int(config["embargoStatus"])
                answer = config["embargoAnswer"].encode("utf-8")
            elif parsed.path not in KNOWN_PATHS:
                status, answer = 404, b"not found"
            # Recorded before answering: report senders close without reading.
            host.append(entry)
            try:
                self.send_response(status)
                self.send_header("Content-Type", "text/plain; charset=utf-8")
                self.send_header("Content-Length", str(len(answer)))
                self.end_headers()
                self.wfile.write(answer)
            except OSError:
                pass

        do_GET = do_POST = do_PUT = handle_any

    return Handler


def serve(args, ready_fd=None):
    host = Host(args.record, args.uploads, args.config)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", args.port), make_handler(host))
    server.daemon_threads = True
    if args.pidfile:
        with open(args.pidfile, "w") as f:
            f.write(str(os.getpid()))

    def stop(*_):
        threading.Thread(target=server.shutdown, daemon=True).start()

    signal.signal(signal.SIGTERM, stop)
    timer = threading.Timer(args.lifetime, stop)
    timer.daemon = True
    timer.start()
    if ready_fd is not None:
        os.write(ready_fd, b"1")
        os.close(ready_fd)
    try:
        server.serve_forever(poll_interval=0.2)
    finally:
        server.server_close()
        if args.pidfile and os.path.exists(args.pidfile):
            os.remove(args.pidfile)


def daemonize(args):
    read_fd, write_fd = os.pipe()
    if os.fork() > 0:
        os.close(write_fd)
        with os.fdopen(read_fd, "rb") as ready:
            answer = ready.read()
        ok = answer.startswith(b"1")
        if not ok:
            reason = answer[1:].decode("utf-8", "replace") or "no answer from the server process"
            print("service_host: failed to start on port %d: %s" % (args.port, reason), file=sys.stderr)
        return 0 if ok else 1
    os.close(read_fd)
    os.setsid()
    if os.fork() > 0:
        os._exit(0)
    # Let go of the caller's output so it does not wait for this process.
    null = os.open(os.devnull, os.O_RDWR)
    for fd in (0, 1, 2):
        os.dup2(null, fd)
    try:
        serve(args, write_fd)
    except BaseException as e:  # tell the waiting parent why, then end
        try:
            os.write(write_fd, b"0" + repr(e).encode("utf-8", "replace"))
        except OSError:
            pass
    finally:
        os._exit(0)


def stop(pidfile):
    try:
        with open(pidfile) as f:
            pid = int(f.read().strip())
    except (OSError, ValueError):
        return 0  # not running (or already gone by itself)
    try:
        os.kill(pid, signal.SIGTERM)
    except ProcessLookupError:
        return 0
    for _ in range(100):
        try:
            os.kill(pid, 0)
        except ProcessLookupError:
            return 0
        time.sleep(0.05)
    return 1


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--port", type=int, default=18080)
    parser.add_argument("--record", default="service_record.jsonl")
    parser.add_argument("--uploads", default="service_uploads")
    parser.add_argument("--config", default="service_config.json")
    parser.add_argument("--pidfile")
    parser.add_argument("--lifetime", type=float, default=600.0)
    parser.add_argument("--daemon", action="store_true")
    parser.add_argument("--stop", action="store_true")
    args = parser.parse_args()
    if args.stop:
        return stop(args.pidfile) if args.pidfile else 2
    if args.lifetime <= 0 or args.lifetime > 3600:
        parser.error("--lifetime must be between 0 and 3600 seconds")
    if args.daemon:
        return daemonize(args)
    serve(args)
    return 0


if __name__ == "__main__":
    sys.exit(main())
