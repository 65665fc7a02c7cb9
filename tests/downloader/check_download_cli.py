#!/usr/bin/env python3
"""Runs the download-cli front end under Wine against the test servers.

  check_download_cli.py <wine-run> <download-cli.exe> <server-dir> <nginx-port> <fault-port>
"""
import os
import subprocess
import sys
import tempfile


def winpath(path):
    return "Z:" + path.replace("/", "\\")


def main():
    wine_run, cli, server_dir, nginx_port, fault_port = sys.argv[1:6]
    www = os.path.join(server_dir, "www")
    nginx = "http://127.0.0.1:%s/" % nginx_port
    fault = "http://127.0.0.1:%s/" % fault_port
    with open(os.path.join(www, "pkg.bin"), "rb") as f:
        pkg = f.read()
    failures = []

    def run(*args):
        p = subprocess.run([wine_run, cli] + list(args), stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=240)
        return p.returncode, p.stdout.decode("utf-8", "replace")

    with tempfile.TemporaryDirectory() as tmp:
        dest = os.path.join(tmp, "pkg.bin")
        code, out = run("verify", nginx + "pkg.bin", nginx + "pkg.bin.meta", winpath(dest))
        if code != 0 or "HRESULT 0x00000000" not in out or "progress 5255225/5255225 (100%)" not in out:
            failures.append("verify: exit %d\n%s" % (code, out))
        elif open(dest, "rb").read() != pkg:
            failures.append("verify: file differs")

        code, out = run("verify", nginx + "pkg.bin", nginx + "short.meta", winpath(os.path.join(tmp, "x.bin")))
        if code != 0x4005 & 0xFF or "HRESULT 0x80004005" not in out:
            failures.append("verify with a malformed meta: exit %d\n%s" % (code, out))

        part = os.path.join(tmp, "part.bin")
        code, out = run("range", nginx + "pkg.bin", winpath(part), "1000", "5000")
        if code != 0 or "HRESULT 0x00000000" not in out:
            failures.append("range: exit %d\n%s" % (code, out))
        elif open(part, "rb").read() != b"\0" * 1000 + pkg[1000:6000]:
            failures.append("range: file differs")

        mem = os.path.join(tmp, "mem.bin")
        code, out = run("memory", nginx + "mem.bin", winpath(mem))
        if code != 0 or "received 300000 bytes" not in out:
            failures.append("memory: exit %d\n%s" % (code, out))
        elif open(mem, "rb").read() != open(os.path.join(www, "mem.bin"), "rb").read():
            failures.append("memory: output differs")

        code, out = run("memory", fault + "status404/mem.bin")
        if code != 0x2EFB & 0xFF or "HRESULT 0x80072EFB" not in out:
            failures.append("memory 404: exit %d\n%s" % (code, out))

        code, out = run("bogus")
        if code != 2:
            failures.append("usage: exit %d" % code)

    for f in failures:
        print("FAIL", f)
    print("download-cli: %s" % ("ok" if not failures else "%d failures" % len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
