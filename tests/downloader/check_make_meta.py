#!/usr/bin/env python3
"""Checks the make-meta release tool against Python's own SHA-1 per 1 MiB block.

  check_make_meta.py <source-dir> <native-build-dir>
Builds the tool in the native tree first when it is missing.
"""
import hashlib
import os
import random
import struct
import subprocess
import sys
import tempfile

BLOCK = 1 << 20


def expected(data):
    out = struct.pack("<Q", len(data))
    for i in range(0, len(data), BLOCK):
        out += hashlib.sha1(data[i:i + BLOCK]).digest()
    return out


def main():
    source, native = sys.argv[1], os.path.abspath(sys.argv[2])
    if not os.path.exists(os.path.join(native, "build.ninja")):
        subprocess.check_call(["cmake", "-S", source, "-B", native, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release",
                               "-DCMAKE_C_COMPILER=clang", "-DCMAKE_CXX_COMPILER=clang++"], stdout=subprocess.DEVNULL)
    subprocess.check_call(["ninja", "-C", native, "make-meta"], stdout=subprocess.DEVNULL)
    tool = os.path.join(native, "tools", "native", "make-meta")
    rnd = random.Random(7)
    failures = 0
    with tempfile.TemporaryDirectory() as tmp:
        for size in (0, 1, BLOCK - 1, BLOCK, BLOCK + 1, 3 * BLOCK + 12345):
            data = rnd.randbytes(size)
            path = os.path.join(tmp, "f%d.bin" % size)
            with open(path, "wb") as f:
                f.write(data)
            subprocess.check_call([tool, path])
            with open(path + ".meta", "rb") as f:
                got = f.read()
            if got != expected(data):
                print("size %d: meta differs" % size)
                failures += 1
        # An explicit output path, and a missing input.
        out = os.path.join(tmp, "named.meta")
        subprocess.check_call([tool, os.path.join(tmp, "f1.bin"), out])
        with open(out, "rb") as f:
            if f.read() != expected(open(os.path.join(tmp, "f1.bin"), "rb").read()):
                print("explicit output path: meta differs")
                failures += 1
        if subprocess.call([tool, os.path.join(tmp, "missing.bin")], stderr=subprocess.DEVNULL) == 0:
            print("missing input: exit code 0")
            failures += 1
    print("make-meta: %s" % ("ok" if not failures else "%d failures" % failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
