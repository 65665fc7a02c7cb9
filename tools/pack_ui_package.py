#!/usr/bin/env python3
"""Appends the zipped page package to a linked stub executable.

Usage: pack_ui_package.py <uipackage dir> <exe>

The archive is deterministic (names sorted, one fixed timestamp, deflate at
level 9, no folder entries) and stand-alone: its offsets count from its own
first byte, so the stub finds it behind the image through its end record. An
archive already appended by an earlier run is replaced, not stacked.
"""
import io
import os
import struct
import sys
import zipfile

FIXED_TIME = (2020, 1, 1, 0, 0, 0)
END_SIGNATURE = b"PK\x05\x06"
LOCAL_SIGNATURE = b"PK\x03\x04"


def package_files(root):
    names = []
    for folder, subfolders, files in os.walk(root):
        subfolders.sort()
        for name in files:
            path = os.path.join(folder, name)
            names.append(os.path.relpath(path, root).replace(os.sep, "/"))
    return sorted(names)


def build_archive(root):
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w") as archive:
        for name in package_files(root):
            info = zipfile.ZipInfo(name, FIXED_TIME)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 0
            info.external_attr = 0x20  # archive bit, as a Windows tool writes it
            with open(os.path.join(root, name.replace("/", os.sep)), "rb") as source:
                archive.writestr(info, source.read(), compresslevel=9)
    return buffer.getvalue()


def appended_archive_start(image):
    """Where an archive appended by this tool starts, or None."""
    if len(image) < 22 or image[-22:-18] != END_SIGNATURE:
        return None
    directory_size, directory_offset, comment_length = struct.unpack("<IIH", image[-10:])
    if comment_length != 0:
        return None
    directory_position = len(image) - 22 - directory_size
    start = directory_position - directory_offset
    if start <= 0 or image[start:start + 4] != LOCAL_SIGNATURE or image[:2] != b"MZ":
        return None
    return start


def main(argv):
    if len(argv) != 3:
        sys.stderr.write(__doc__)
        return 2
    root, exe = argv[1], argv[2]
    archive = build_archive(root)
    with open(exe, "rb") as f:
        image = f.read()
    start = appended_archive_start(image)
    if start is not None:
        image = image[:start]
    with open(exe + ".packing", "wb") as f:
        f.write(image + archive)
    os.replace(exe + ".packing", exe)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
