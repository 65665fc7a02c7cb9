#!/usr/bin/env python3
"""Checks the archives that AddFileToArchive wrote under Wine with Linux tools.

Usage: verify_written.py <fixture dir>
"""
import os
import subprocess
import sys
import zipfile

NOTE = b"first entry\r\n" * 100
SECOND = bytes(i & 0xFF for i in range(1024))


def check(path, names, contents, comment=None):
    subprocess.run(["unzip", "-tq", path], check=True)
    with zipfile.ZipFile(path) as archive:
        assert archive.testzip() is None, path
        assert archive.namelist() == names, (path, archive.namelist())
        for name, data in contents.items():
            assert archive.read(name) == data, (path, name)
        if comment is not None:
            assert archive.comment == comment, (path, archive.comment)


def main(argv):
    written = os.path.join(argv[1], "written")
    check(os.path.join(written, "new.zip"), ["note.txt", "second.log"], {"note.txt": NOTE, "second.log": SECOND})
    check(os.path.join(written, "appended.zip"), ["first.txt", "second.txt", "note.txt"],
          {"first.txt": b"first\r\n", "note.txt": NOTE}, comment=b"kept comment")
    print("written archives pass unzip -t and zipfile")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
