#!/usr/bin/env python3
"""The page packer: deterministic archive, appended behind the image, replaced
(not stacked) when the packer runs again, readable by unzip.

Usage: test_packer.py <source dir> <scratch dir>
"""
import os
import shutil
import struct
import subprocess
import sys
import zipfile


def pack(source, package, exe):
    subprocess.run([sys.executable, os.path.join(source, "tools", "pack_ui_package.py"), package, exe], check=True)
    with open(exe, "rb") as f:
        return f.read()


def main(argv):
    source, scratch = argv[1], argv[2]
    shutil.rmtree(scratch, ignore_errors=True)
    package = os.path.join(scratch, "pages")
    for name, data in (("Load.html", b"<html></html>"), ("pages/b/index.html", b"b" * 500),
                       ("common/js/a.js", b"var a;" * 100), ("config/config.js", b"x")):
        path = os.path.join(package, *name.split("/"))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
    image = b"MZ" + bytes(range(256)) * 40
    exe = os.path.join(scratch, "stub.exe")
    with open(exe, "wb") as f:
        f.write(image)

    first = pack(source, package, exe)
    assert first.startswith(image), "the image in front of the archive changed"
    second = pack(source, package, exe)
    assert second == first, "packing again must give the same bytes (no second archive)"

    os.utime(os.path.join(package, "Load.html"), (1, 1))  # timestamps do not leak into the archive
    with open(exe, "wb") as f:
        f.write(image)
    assert pack(source, package, exe) == first, "the archive is not deterministic"

    # unzip warns (exit 1) about the bytes in front of the archive, and tests it.
    result = subprocess.run(["unzip", "-t", exe], capture_output=True, text=True)
    assert result.returncode in (0, 1) and "No errors detected" in result.stdout, result.stdout + result.stderr
    with zipfile.ZipFile(exe) as archive:
        infos = archive.infolist()
        names = [i.filename for i in infos]
        assert names == sorted(names) == ["Load.html", "common/js/a.js", "config/config.js", "pages/b/index.html"], names
        assert all(i.compress_type == zipfile.ZIP_DEFLATED for i in infos)
        assert len({i.date_time for i in infos}) == 1
        assert archive.read("pages/b/index.html") == b"b" * 500
    # Offsets count from the archive's own start, not from the start of the file.
    directory_size, directory_offset = struct.unpack("<II", first[-10:-2])
    assert len(image) + directory_offset + directory_size + 22 == len(first), "offsets are not archive-relative"
    shutil.rmtree(scratch)
    print("packer: deterministic, replaced on repack, readable by unzip")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
