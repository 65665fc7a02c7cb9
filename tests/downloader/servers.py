#!/usr/bin/env python3
"""Test fixture of the download engine's tests: makes the served files and starts
nginx and the fault-injecting server on loopback ports (start), or stops them by
the pids it recorded (stop). Both servers also stop by themselves after a while.

  servers.py start <workdir> <nginx-port> <fault-port>
  servers.py stop <workdir>
"""
import hashlib
import os
import random
import signal
import socket
import struct
import subprocess
import sys
import time

LIFETIME = 900  # seconds; the servers end themselves after this
BLOCK = 1 << 20
HERE = os.path.dirname(os.path.abspath(__file__))
FAULT_SERVER = os.path.join(HERE, "..", "..", "tools", "fault-http-server.py")


def meta(data):
    out = struct.pack("<Q", len(data))
    for i in range(0, len(data), BLOCK):
        out += hashlib.sha1(data[i:i + BLOCK]).digest()
    return out


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


def make_files(www):
    os.makedirs(www, exist_ok=True)
    rnd = random.Random(20261211)
    pkg = rnd.randbytes(5 * BLOCK + 12345)  # six blocks, the last one short
    write(os.path.join(www, "pkg.bin"), pkg)
    write(os.path.join(www, "pkg.bin.meta"), meta(pkg))
    write(os.path.join(www, "empty.bin"), b"")
    write(os.path.join(www, "empty.bin.meta"), meta(b""))
    write(os.path.join(www, "short.meta"), meta(pkg)[:7])
    write(os.path.join(www, "long.meta"), meta(pkg) + b"\0")
    wrong = bytearray(meta(pkg))
    wrong[8 + 20 * 2] ^= 0xFF  # block 2 can never verify
    write(os.path.join(www, "wrong.meta"), bytes(wrong))
    write(os.path.join(www, "mem.bin"), rnd.randbytes(300000))
    big = rnd.randbytes(40 * BLOCK)
    write(os.path.join(www, "big.bin"), big)
    write(os.path.join(www, "big.bin.meta"), meta(big))


NGINX_CONF = """
worker_processes 1;
daemon off;
pid {d}/nginx.pid;
error_log {d}/nginx-error.log;
events {{ worker_connections 64; }}
http {{
  log_format engine escape=none '$request_method $uri range=$http_range ifrange=$http_if_range status=$status bytes=$body_bytes_sent';
  access_log {d}/nginx-access.log engine;
  client_body_temp_path {d}/tmp-body;
  proxy_temp_path {d}/tmp-proxy;
  fastcgi_temp_path {d}/tmp-fastcgi;
  uwsgi_temp_path {d}/tmp-uwsgi;
  scgi_temp_path {d}/tmp-scgi;
  types {{ }}
  default_type application/octet-stream;
  sendfile on;
  etag on;
  keepalive_timeout 5;
  server {{
    listen 127.0.0.1:{port};
    root {d}/www;
  }}
}}
"""


def wait_port(port, proc, seconds=15):
    deadline = time.time() + seconds
    while time.time() < deadline:
        if proc.poll() is not None:
            return False
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=0.5):
                return True
        except OSError:
            time.sleep(0.1)
    return False


def stop(workdir):
    pids = os.path.join(workdir, "pids")
    if not os.path.exists(pids):
        return 0
    with open(pids) as f:
        for line in f:
            try:
                os.kill(int(line), signal.SIGTERM)
            except (ValueError, ProcessLookupError, PermissionError):
                pass
    os.remove(pids)
    return 0


def start(workdir, nginx_port, fault_port):
    os.makedirs(workdir, exist_ok=True)
    stop(workdir)  # servers left by an interrupted run
    www = os.path.join(workdir, "www")
    make_files(www)
    for name in ("nginx-access.log", "fault.log"):
        write(os.path.join(workdir, name), b"")
    conf = os.path.join(workdir, "nginx.conf")
    with open(conf, "w") as f:
        f.write(NGINX_CONF.format(d=workdir, port=nginx_port))
    null = open(os.devnull, "wb")
    nginx = subprocess.Popen(["/usr/bin/timeout", str(LIFETIME), "/usr/sbin/nginx", "-c", conf, "-p", workdir],
                             stdout=null, stderr=open(os.path.join(workdir, "nginx-stderr.log"), "wb"),
                             start_new_session=True)
    fault = subprocess.Popen([sys.executable, FAULT_SERVER, "--port", str(fault_port), "--root", www,
                              "--log", os.path.join(workdir, "fault.log"), "--lifetime", str(LIFETIME)],
                             stdout=null, stderr=open(os.path.join(workdir, "fault-stderr.log"), "wb"),
                             start_new_session=True)
    with open(os.path.join(workdir, "pids"), "w") as f:
        f.write("%d\n%d\n" % (nginx.pid, fault.pid))
    if not wait_port(nginx_port, nginx) or not wait_port(fault_port, fault):
        sys.stderr.write("servers did not start; see %s\n" % workdir)
        stop(workdir)
        return 1
    return 0


def main():
    if len(sys.argv) == 5 and sys.argv[1] == "start":
        return start(os.path.abspath(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4]))
    if len(sys.argv) == 3 and sys.argv[1] == "stop":
        return stop(os.path.abspath(sys.argv[2]))
    sys.stderr.write(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main())
