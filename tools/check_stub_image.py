#!/usr/bin/env python3
"""Static check of a built stub image.

Checks the machine type, the GUI subsystem, an embedded manifest asking for
administrator rights, and that every imported DLL is one that Windows itself
ships (no mingw runtime DLL has to travel with the stub). Exits non-zero with
one line per problem.
"""
import argparse
import struct
import sys

MACHINES = {"i386": 0x14C, "x86_64": 0x8664}
IMAGE_SUBSYSTEM_WINDOWS_GUI = 2
RT_MANIFEST = 24

SYSTEM_DLLS = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll", "shlwapi.dll", "ole32.dll",
    "oleaut32.dll", "comctl32.dll", "comdlg32.dll", "wininet.dll", "winhttp.dll", "urlmon.dll", "crypt32.dll",
    "bcrypt.dll", "version.dll", "msi.dll", "setupapi.dll", "iphlpapi.dll", "rpcrt4.dll", "httpapi.dll",
    "ws2_32.dll", "msvcrt.dll", "ntdll.dll", "userenv.dll", "wtsapi32.dll", "psapi.dll", "uxtheme.dll",
    "dwmapi.dll", "imm32.dll", "winmm.dll", "secur32.dll", "netapi32.dll", "wbemuuid.dll", "mpr.dll",
    "cfgmgr32.dll", "powrprof.dll", "dbghelp.dll", "ncrypt.dll", "wintrust.dll",
}


class Image:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise ValueError("no MZ header")
        self.pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[self.pe:self.pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        coff = self.pe + 4
        self.machine, sections, _, _, _, opt_size, _ = struct.unpack_from("<HHIIIHH", data, coff)
        self.opt = coff + 20
        magic = struct.unpack_from("<H", data, self.opt)[0]
        if magic == 0x10B:
            dirs = self.opt + 96
        elif magic == 0x20B:
            dirs = self.opt + 112
        else:
            raise ValueError("unknown optional header magic 0x%x" % magic)
        self.subsystem = struct.unpack_from("<H", data, self.opt + 68)[0]
        self.directories = [struct.unpack_from("<II", data, dirs + 8 * i) for i in range(16)]
        self.sections = []
        table = self.opt + opt_size
        for i in range(sections):
            name, vsize, va, rawsize, rawptr = struct.unpack_from("<8sIIII", data, table + 40 * i)
            self.sections.append((va, max(vsize, rawsize), rawptr))

    def offset(self, rva):
        for va, size, raw in self.sections:
            if va <= rva < va + size:
                return raw + rva - va
        raise ValueError("rva 0x%x outside every section" % rva)

    def cstring(self, rva):
        start = self.offset(rva)
        return self.data[start:self.data.index(b"\0", start)].decode("ascii", "replace")

    def imported_dlls(self):
        rva, size = self.directories[1]
        names = []
        if not rva:
            return names
        at = self.offset(rva)
        while True:
            fields = struct.unpack_from("<IIIII", self.data, at)
            if not any(fields):
                break
            names.append(self.cstring(fields[3]))
            at += 20
        return names

    def resources_of_type(self, wanted_type):
        rva, size = self.directories[2]
        if not rva:
            return []
        base = self.offset(rva)
        out = []

        def entries(directory):
            named, numbered = struct.unpack_from("<HH", self.data, directory + 12)
            for i in range(named + numbered):
                yield struct.unpack_from("<II", self.data, directory + 16 + 8 * i)

        for ident, target in entries(base):
            if ident != wanted_type or not target & 0x80000000:
                continue
            for _, name_target in entries(base + (target & 0x7FFFFFFF)):
                for _, lang_target in entries(base + (name_target & 0x7FFFFFFF)):
                    data_rva, data_size = struct.unpack_from("<II", self.data, base + lang_target)
                    start = self.offset(data_rva)
                    out.append(self.data[start:start + data_size])
        return out


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("image")
    parser.add_argument("--machine", choices=sorted(MACHINES), required=True)
    args = parser.parse_args()
    with open(args.image, "rb") as f:
        image = Image(f.read())

    problems = []
    if image.machine != MACHINES[args.machine]:
        problems.append("machine is 0x%x, expected 0x%x" % (image.machine, MACHINES[args.machine]))
    if image.subsystem != IMAGE_SUBSYSTEM_WINDOWS_GUI:
        problems.append("subsystem is %d, expected the GUI subsystem" % image.subsystem)
    manifests = image.resources_of_type(RT_MANIFEST)
    if not manifests:
        problems.append("no manifest resource")
    elif not any(b'level="requireAdministrator"' in m for m in manifests):
        problems.append("manifest does not ask for requireAdministrator")
    dlls = image.imported_dlls()
    foreign = [d for d in dlls if d.lower() not in SYSTEM_DLLS and not d.lower().startswith("api-ms-win-")]
    if foreign:
        problems.append("imports from non-system DLLs: " + ", ".join(foreign))
    for p in problems:
        print("stub image: " + p)
    if not problems:
        print("stub image: %s, GUI, requireAdministrator, imports %s" % (args.machine, ", ".join(sorted(dlls))))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
