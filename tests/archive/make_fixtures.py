#!/usr/bin/env python3
"""Makes the archive tests' fixtures (CTest fixture setup) or removes them.

Usage: make_fixtures.py <out dir> <x64 build dir>      (setup)
       make_fixtures.py --cleanup <out dir>             (cleanup)

Archives come from Python's zipfile and from Info-ZIP's zip; damaged archives
are good ones with one checked field broken. The stub copies are the packed
x86_64 stub, the same signed with a throw-away certificate (with and without
UTF-8 data behind the certificate) and the stub with its archive cut off. A
small tmpfs stands for a full disk where this machine allows mounting one.
"""
import io
import os
import random
import shutil
import struct
import subprocess
import sys
import zipfile

FIXED_TIME = (2024, 5, 6, 7, 8, 10)
EMBEDDED_TEXT = "Tarvik-Kanal-\u00df-\u2713-42"
FULLFS_SIZE = "512k"


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def content(name, size):
    """Deterministic, partly compressible bytes for an entry."""
    rng = random.Random(name)
    words = [b"tarvik", b"setup", b"page", b"script", b"\r\n", b"{", b"}", b"var ", b"0x3f"]
    out = bytearray()
    while len(out) < size:
        out += rng.choice(words) if rng.random() < 0.8 else bytes([rng.randrange(256)])
    return bytes(out[:size])


def zip_bytes(entries, method=zipfile.ZIP_DEFLATED, comment=b""):
    """entries: list of (name, data or None for a folder entry, external_attr or None)."""
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w") as archive:
        for name, data, attr in entries:
            info = zipfile.ZipInfo(name, FIXED_TIME)
            info.compress_type = method if data is not None else zipfile.ZIP_STORED
            if attr is not None:
                info.external_attr = attr
            elif name.endswith("/"):
                info.external_attr = (0o40755 << 16) | 0x10
            else:
                info.external_attr = 0o100644 << 16
            archive.writestr(info, data if data is not None else b"")
        archive.comment = comment
    return buffer.getvalue()


# --- the page-package tree (56 files, as the shipped package) -----------------

def package_names():
    names = ["Load.html"]
    names += ["common/css/%s.css" % n for n in ("main", "fonts", "buttons", "progress")]
    names += ["common/img/%s.png" % n for n in ("logo", "close", "min", "check", "bar", "bg", "spinner", "warn")]
    names += ["common/js/%s.js" % n for n in ("boot", "bridge", "pages", "track", "lang", "util", "sizes", "flow")]
    names += ["config/%s.js" % n for n in ("config", "components", "languages", "urls")]
    pages = ("welcome", "agreement", "analytics", "downloading", "installing", "finish", "error")
    for page in pages:
        names += ["pages/%s/%s" % (page, f) for f in ("index.html", "page.js", "page.css", "strings.js")]
    extra = ["pages/finish/launch.png", "pages/error/retry.png", "pages/welcome/hero.png"]
    names += extra
    assert len(names) == 56, len(names)
    return names


def make_tree(out):
    tree = os.path.join(out, "tree")
    entries = []
    for index, name in enumerate(package_names()):
        data = content(name, 200 + index * 97)
        write(os.path.join(tree, *name.split("/")), data)
        entries.append((name, data, None))
    return tree, entries


# --- damaged archives ----------------------------------------------------------

def base_archive():
    return zip_bytes([("a.txt", content("a", 3000), None), ("b.txt", content("b", 5000), None)])


def stored_archive():
    return zip_bytes([("a.txt", content("a", 300), None), ("b.txt", content("b", 500), None)], zipfile.ZIP_STORED)


def end_offset(data):
    return data.rindex(b"PK\x05\x06")


def central_offsets(data):
    offsets, at = [], data.index(b"PK\x01\x02")
    while data[at:at + 4] == b"PK\x01\x02":
        offsets.append(at)
        name_len, extra_len, comment_len = struct.unpack_from("<HHH", data, at + 28)
        at += 46 + name_len + extra_len + comment_len
    return offsets


def patch(data, offset, fmt, value):
    out = bytearray(data)
    struct.pack_into(fmt, out, offset, value)
    return bytes(out)


def damaged_archives():
    good = base_archive()
    eocd = end_offset(good)
    cd = central_offsets(good)
    second = cd[1]
    second_local = struct.unpack_from("<I", good, second + 42)[0]
    cases = {
        "no_end_record": patch(good, eocd, "<I", 0x06054b51),
        "disks_differ": patch(good, eocd + 6, "<H", 1),
        "disks_both_two": patch(patch(good, eocd + 4, "<H", 2), eocd + 6, "<H", 2),
        "count_differs": patch(good, eocd + 8, "<H", 1),
        "directory_too_small": patch(patch(good, eocd + 8, "<H", 40), eocd + 10, "<H", 40),
        "directory_beyond_file": patch(good, eocd + 16, "<I", len(good)),
        "directory_before_start": patch(good, eocd + 16, "<I", eocd - struct.unpack_from("<I", good, eocd + 12)[0] + 1),
        "central_signature": patch(good, cd[0], "<I", 0x02014b51),
        "zip64_compressed": patch(good, second + 20, "<I", 0xFFFFFFFF),
        "zip64_uncompressed": patch(good, second + 24, "<I", 0xFFFFFFFF),
        "local_beyond_file": patch(good, second + 42, "<I", len(good) - 20),
        # Entry-level damage: the first entry is written, the second is not.
        "local_signature": patch(good, second_local, "<I", 0x04034b51),
        "crc_mismatch": patch(good, second + 16, "<I", struct.unpack_from("<I", good, second + 16)[0] ^ 1),
        "size_mismatch": patch(good, second + 24, "<I", struct.unpack_from("<I", good, second + 24)[0] + 1),
        "method_unsupported": patch(good, second + 10, "<H", 12),
        "encrypted": patch(good, second + 8, "<H", 1),
        "patch_data": patch(good, second + 8, "<H", 0x20),
    }
    # Deflate data that ends early: the second entry's compressed size is cut.
    comp = struct.unpack_from("<I", good, second + 20)[0]
    cases["deflate_cut_short"] = patch(good, second + 20, "<I", comp // 2)
    data_start = second_local + 30 + struct.unpack_from("<H", good, second_local + 26)[0]
    corrupted = bytearray(good)
    for i in range(data_start + 10, data_start + 40):
        corrupted[i] ^= 0x5A
    cases["deflate_corrupted"] = bytes(corrupted)
    stored = stored_archive()
    s_second = central_offsets(stored)[1]
    cases["stored_sizes_differ"] = patch(stored, s_second + 20, "<I", 400)
    return cases


def zip_slip_archives():
    good = ("good.txt", b"inside\r\n", None)
    names = {
        "slip_dotdot": "../evil_dotdot.txt",
        "slip_nested": "a/../../evil_nested.txt",
        "slip_deep": "a/b/../../../../evil_deep.txt",
        "slip_absolute": "/evil_absolute.txt",
        "slip_drive": "C:/evil_drive.txt",
        "slip_drive_relative": "C:evil_drive_relative.txt",
        "slip_backslash": "..\\evil_backslash.txt",
        "slip_dots_spaces": "a/.. /evil_dots_spaces.txt",
        "slip_folder": "../evil_folder/",
    }
    return {key: zip_bytes([good, (name, None if name.endswith("/") else b"evil\r\n", None)])
            for key, name in names.items()}


# --- PE helpers -------------------------------------------------------------------

def security_directory_offset(image):
    pe = struct.unpack_from("<I", image, 60)[0]
    magic = struct.unpack_from("<H", image, pe + 24)[0]
    return pe + 24 + (128 if magic == 0x10B else 144)


def append_certificate_data(signed, text):
    """Puts UTF-8 text (zero-terminated, padded to 8 bytes) behind the certificate table."""
    field = security_directory_offset(signed)
    table_offset, table_size = struct.unpack_from("<II", signed, field)
    assert table_offset + table_size == len(signed), "certificate table is not at the end"
    extra = text.encode("utf-8") + b"\0"
    extra += b"\0" * (-len(extra) % 8)
    out = bytearray(signed + extra)
    struct.pack_into("<I", out, field + 4, table_size + len(extra))
    return bytes(out)


def strip_archive(image):
    eocd = end_offset(image)
    cd_size, cd_offset = struct.unpack_from("<II", image, eocd + 12)
    start = eocd - cd_size - cd_offset
    return image[:start]


def sign(out, source, target):
    key, cert = os.path.join(out, "test.key"), os.path.join(out, "test.crt")
    if not os.path.exists(cert):
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert,
                        "-days", "2", "-subj", "/CN=Tarvik Archive Test"], check=True, capture_output=True)
    if os.path.exists(target):
        os.remove(target)
    subprocess.run(["osslsigncode", "sign", "-certs", cert, "-key", key, "-n", "Tarvik test", "-in", source,
                    "-out", target], check=True, capture_output=True)


# --- full disk --------------------------------------------------------------------

def unmount_full_disk(out):
    mount_point = os.path.join(out, "fullfs")
    if os.path.ismount(mount_point):
        subprocess.run(["umount", mount_point], check=False)


def make_full_disk(out, small_archive):
    mount_point = os.path.join(out, "fullfs")
    skip = os.path.join(out, "fullfs.skip")
    unmount_full_disk(out)
    if os.path.exists(skip):
        os.remove(skip)
    os.makedirs(mount_point, exist_ok=True)
    result = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=" + FULLFS_SIZE, "tmpfs", mount_point],
                            capture_output=True, text=True)
    if result.returncode != 0:
        with open(skip, "w") as f:
            f.write("cannot mount a small tmpfs here: " + (result.stderr.strip() or "mount failed"))
        return
    write(os.path.join(mount_point, "existing.zip"), small_archive)


# --- main -------------------------------------------------------------------------

def setup(out, build):
    unmount_full_disk(out)
    if os.path.isdir(out):
        shutil.rmtree(out)
    os.makedirs(out)
    tree, entries = make_tree(out)

    # Python's zipfile.
    write(os.path.join(out, "package56_py.zip"), zip_bytes(entries))
    write(os.path.join(out, "py_stored_dirs.zip"), zip_bytes(
        [("docs/", None, None), ("docs/readme.txt", content("r", 700), None), ("empty/", None, None),
         ("bin/tool.dat", content("t", 4000), None)], zipfile.ZIP_STORED))
    write(os.path.join(out, "slash_attr_clear.zip"), zip_bytes(
        [("made_by_slash/", None, 0), ("file.txt", b"x\r\n", None)]))
    write(os.path.join(out, "attr_without_slash.zip"), zip_bytes(
        [("made_by_attr", None, 0x10), ("file.txt", b"y\r\n", None)]))
    write(os.path.join(out, "empty_file.zip"), zip_bytes([("zero.bin", b"", None), ("one.bin", b"1", None)]))
    write(os.path.join(out, "progress25.zip"),
          zip_bytes([("p%02d.txt" % i, content("p%d" % i, 100), None) for i in range(25)]))
    big = content("big", 3 * 1024 * 1024)  # inflates across many output chunks
    write(os.path.join(out, "big_deflated.zip"), zip_bytes([("big.bin", big, None)]))
    write(os.path.join(out, "big.bin"), big)

    # Info-ZIP's zip, from the same tree.
    for name, flags in (("package56_infozip.zip", ["-r", "-X", "-q", "-9"]),
                        ("package56_infozip_stored.zip", ["-r", "-X", "-q", "-0"]),
                        ("package56_infozip_nodirs.zip", ["-r", "-X", "-q", "-D"])):
        subprocess.run(["zip"] + flags + [os.path.join(out, name), "."], cwd=tree, check=True)

    # Archives behind other data: offsets from the archive's start, and absolute.
    prefix = b"MZ" + content("image", 70000)
    standalone = zip_bytes(entries[:10])
    write(os.path.join(out, "appended_relative.bin"), prefix + standalone)
    absolute = os.path.join(out, "appended_absolute.bin")
    write(absolute, prefix + standalone)
    subprocess.run(["zip", "-q", "-A", absolute], check=True)
    write(os.path.join(out, "trailing_table.bin"), prefix + standalone + content("table", 21296))

    for key, data in damaged_archives().items():
        write(os.path.join(out, "damaged", key + ".zip"), data)
    for key, data in zip_slip_archives().items():
        write(os.path.join(out, "slip", key + ".zip"), data)

    # Product packages for Unpack.
    write(os.path.join(out, "unpack", "deep.zip"), zip_bytes(
        [("readme.txt", b"r\r\n", None), ("a/other.txt", b"o\r\n", None), ("a/b/setup.exe", b"MZsetup", None),
         ("a/b/data.cab", content("cab", 9000), None)]))
    write(os.path.join(out, "unpack", "upper.ZIP"), zip_bytes([("setup.exe", b"MZsetup", None)]))
    write(os.path.join(out, "unpack", "nosetup.zip"), zip_bytes([("tool/install.exe", b"MZ", None)]))
    write(os.path.join(out, "unpack", "package.rar"), zip_bytes([("setup.exe", b"MZsetup", None)]))
    write(os.path.join(out, "unpack", "damaged.zip"), damaged_archives()["crc_mismatch"])
    random_big = random.Random(7).randbytes(2 * 1024 * 1024)
    write(os.path.join(out, "unpack", "big.zip"), zip_bytes(
        [("setup.exe", b"MZsetup", None), ("payload.bin", random_big, None)], zipfile.ZIP_STORED))
    write(os.path.join(out, "random_big.bin"), random_big)
    small = zip_bytes([("first.txt", b"first\r\n", None), ("second.txt", content("second", 2000), None)],
                      comment=b"kept comment")
    write(os.path.join(out, "existing_small.zip"), small)
    os.makedirs(os.path.join(out, "written"), exist_ok=True)

    # Stub copies.
    stub = os.path.join(build, "TarvikSetup.exe")
    stubs = os.path.join(out, "stubs")
    os.makedirs(stubs)
    with open(stub, "rb") as f:
        packed = f.read()
    write(os.path.join(stubs, "packed.exe"), packed)
    write(os.path.join(stubs, "bare.exe"), strip_archive(packed))
    sign(out, os.path.join(stubs, "packed.exe"), os.path.join(stubs, "signed.exe"))
    with open(os.path.join(stubs, "signed.exe"), "rb") as f:
        signed = f.read()
    write(os.path.join(stubs, "signed_data.exe"), append_certificate_data(signed, EMBEDDED_TEXT))
    write(os.path.join(stubs, "signed_bad_utf8.exe"), append_certificate_data(signed, "") [:-8] +
          b"\xff\xfe\x80bad\0\0")

    # A signed copy of the embedded-data test program, run as its own test.
    probe = os.path.join(build, "tests", "archive", "archive_embedded_test.exe")
    if os.path.exists(probe):
        sign(out, probe, os.path.join(out, "embedded_probe_signed.exe"))
        with open(os.path.join(out, "embedded_probe_signed.exe"), "rb") as f:
            data = append_certificate_data(f.read(), EMBEDDED_TEXT)
        write(os.path.join(out, "embedded_probe_signed.exe"), data)

    make_full_disk(out, small)


def main(argv):
    if len(argv) == 3 and argv[1] == "--cleanup":
        unmount_full_disk(argv[2])
        return 0
    if len(argv) != 3:
        sys.stderr.write(__doc__)
        return 2
    setup(argv[1], argv[2])
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
