#!/usr/bin/env python3
"""Checks what a user's Windows sees of the built executable, read straight
from its PE image: a 64-bit GUI program that needs only Windows' own DLLs,
its two application icon groups, its version block and its manifest.

Usage: check-pe-resources.py PROGRAM.exe
Prints one line per finding and exits 1 when anything is wrong.
"""

import struct
import sys
import xml.etree.ElementTree as ET

RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 14, 16, 24

# DLLs that come with every 64-bit Windows since 7. A MinGW runtime DLL
# (libstdc++, libgcc, winpthread) or a third-party one must never appear.
SYSTEM_DLLS = {
    "advapi32.dll", "comctl32.dll", "comdlg32.dll", "crypt32.dll", "d2d1.dll", "dwrite.dll",
    "dxgi.dll", "gdi32.dll", "imm32.dll", "kernel32.dll", "msvcrt.dll", "ole32.dll",
    "oleaut32.dll", "opengl32.dll", "rpcrt4.dll", "setupapi.dll", "shell32.dll", "shlwapi.dll",
    "user32.dll", "uxtheme.dll", "version.dll", "wininet.dll", "winmm.dll", "ws2_32.dll",
    "wsock32.dll", "dwmapi.dll",
}

EXPECTED_STRINGS = {
    "CompanyName": "Kelvarin",
    "FileDescription": "Daxmoor",
    "FileVersion": "1.0.0",
    "ProductName": "Daxmoor",
    "ProductVersion": "1.0.0",
}


class PeImage:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise ValueError("not an MZ image")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        self.machine, sections, _, _, _, opt_size, _ = struct.unpack_from("<HHIIIHH", data, pe + 4)
        opt = pe + 24
        self.magic = struct.unpack_from("<H", data, opt)[0]
        if self.magic != 0x20B:
            raise ValueError("not a PE32+ (64-bit) image")
        self.subsystem = struct.unpack_from("<H", data, opt + 68)[0]
        count = struct.unpack_from("<I", data, opt + 108)[0]
        self.directories = [struct.unpack_from("<II", data, opt + 112 + 8 * i) for i in range(count)]
        self.sections = []
        table = opt + opt_size
        for i in range(sections):
            vsize, vaddr, rsize, roff = struct.unpack_from("<IIII", data, table + 40 * i + 8)
            self.sections.append((vaddr, max(vsize, rsize), roff))

    def offset(self, rva):
        for vaddr, size, roff in self.sections:
            if vaddr <= rva < vaddr + size:
                return rva - vaddr + roff
        raise ValueError("RVA 0x%x lies in no section" % rva)

    def c_string(self, off):
        return self.data[off:self.data.index(b"\0", off)].decode("ascii")

    def imported_dlls(self):
        rva, size = self.directories[1]
        names = []
        off = self.offset(rva)
        while True:
            name_rva = struct.unpack_from("<I", self.data, off + 12)[0]
            if name_rva == 0:
                return names
            names.append(self.c_string(self.offset(name_rva)))
            off += 20

    def resources(self):
        """{type: {name: bytes}} of the first language of each resource.
        Names and types are ints for numeric ids and str for named ones."""
        rva, _ = self.directories[2]
        base = self.offset(rva)

        def entries(dir_off):
            named, ids = struct.unpack_from("<HH", self.data, dir_off + 12)
            for i in range(named + ids):
                name, target = struct.unpack_from("<II", self.data, dir_off + 16 + 8 * i)
                if name & 0x80000000:
                    at = base + (name & 0x7FFFFFFF)
                    length = struct.unpack_from("<H", self.data, at)[0]
                    name = self.data[at + 2:at + 2 + 2 * length].decode("utf-16-le")
                yield name, target

        result = {}
        for rtype, type_target in entries(base):
            by_name = result.setdefault(rtype, {})
            for name, name_target in entries(base + (type_target & 0x7FFFFFFF)):
                _, leaf = next(entries(base + (name_target & 0x7FFFFFFF)))
                data_rva, size = struct.unpack_from("<II", self.data, base + leaf)
                start = self.offset(data_rva)
                by_name[name] = self.data[start:start + size]
        return result


def version_node(data, off):
    """One node of a version resource: (key, value bytes, is_text, children, end)."""
    length, value_length, value_type = struct.unpack_from("<HHH", data, off)
    end = off + length
    key_end = off + 6
    while data[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    key = data[off + 6:key_end].decode("utf-16-le")
    pos = (key_end + 2 + 3) & ~3
    value_bytes = value_length * 2 if value_type == 1 else value_length
    value = data[pos:pos + value_bytes]
    pos = (pos + value_bytes + 3) & ~3
    children = []
    while pos < end:
        child = version_node(data, pos)
        children.append(child)
        pos = (child[4] + 3) & ~3
    return key, value, value_type == 1, children, end


def check_version(block, problems):
    key, fixed, _, children, _ = version_node(block, 0)
    if key != "VS_VERSION_INFO":
        problems.append("version block key is %r" % key)
        return
    signature, _, file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<6I", fixed)
    if signature != 0xFEEF04BD:
        problems.append("fixed version info has a wrong signature")

    def dotted(ms, ls):
        return "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)

    if dotted(file_ms, file_ls) != "1.0.0.0":
        problems.append("fixed file version is %s" % dotted(file_ms, file_ls))
    if dotted(product_ms, product_ls) != "0.0.0.0":
        problems.append("fixed product version is %s" % dotted(product_ms, product_ls))

    tables = {}
    translations = []
    for child_key, _, _, grandchildren, _ in children:
        if child_key == "StringFileInfo":
            for table_key, _, _, strings, _ in grandchildren:
                tables[table_key.upper()] = {
                    k: v.decode("utf-16-le").rstrip("\0") for k, v, _, _, _ in strings
                }
        elif child_key == "VarFileInfo":
            for var_key, value, _, _, _ in grandchildren:
                if var_key == "Translation":
                    translations += [struct.unpack_from("<HH", value, i) for i in range(0, len(value), 4)]

    # US English in code page 1252.
    if list(tables) != ["040904E4"]:
        problems.append("string tables are %s, not 040904E4" % sorted(tables))
    strings = tables.get("040904E4", {})
    for name, expected in EXPECTED_STRINGS.items():
        if strings.get(name) != expected:
            problems.append("%s is %r, not %r" % (name, strings.get(name), expected))
    if translations != [(0x409, 1252)]:
        problems.append("translations are %s" % translations)


def check_icons(resources, problems):
    groups = resources.get(RT_GROUP_ICON, {})
    images = resources.get(RT_ICON, {})
    if sorted(k for k in groups if isinstance(k, str)) != ["IDI_ICON1", "IDI_ICON2"]:
        problems.append("icon groups are %s" % sorted(map(str, groups)))
        return
    for group_name in ("IDI_ICON1", "IDI_ICON2"):
        group = groups[group_name]
        _, kind, count = struct.unpack_from("<HHH", group, 0)
        found = {}
        for i in range(count):
            width, height, _, _, _, bits, _, icon_id = struct.unpack_from("<BBBBHHIH", group, 6 + 14 * i)
            size = width or 256
            image = images.get(icon_id, b"")
            if image.startswith(b"\x89PNG\r\n\x1a\n"):
                form = "png"
            elif image[:4] == struct.pack("<I", 40):
                form = "bmp%d" % struct.unpack_from("<H", image, 14)[0]
            else:
                form = "missing"
            found[size] = (form, width == height)
        expected = {16: ("bmp32", True), 32: ("bmp32", True), 48: ("bmp32", True), 256: ("png", True)}
        if kind != 1 or found != expected:
            problems.append("%s holds %s" % (group_name, found))


def check_manifest(resources, problems):
    manifest = resources.get(RT_MANIFEST, {}).get(1)
    if manifest is None:
        problems.append("no manifest resource 1")
        return
    level = None
    for element in ET.fromstring(manifest).iter():
        if element.tag.endswith("}requestedExecutionLevel"):
            level = (element.get("level"), element.get("uiAccess"))
    if level != ("asInvoker", "false"):
        problems.append("requested execution level is %s" % (level,))


def main():
    with open(sys.argv[1], "rb") as f:
        image = PeImage(f.read())

    problems = []
    if image.machine != 0x8664:
        problems.append("machine is 0x%x, not x86-64" % image.machine)
    if image.subsystem != 2:
        problems.append("subsystem is %d, not Windows GUI" % image.subsystem)
    foreign = [dll for dll in image.imported_dlls() if dll.lower() not in SYSTEM_DLLS]
    if foreign:
        problems.append("imports non-system DLLs: %s" % ", ".join(foreign))

    resources = image.resources()
    check_icons(resources, problems)
    versions = resources.get(RT_VERSION, {})
    if 1 in versions:
        check_version(versions[1], problems)
    else:
        problems.append("no version resource 1")
    check_manifest(resources, problems)

    for problem in problems:
        print("check-pe-resources: " + problem)
    if not problems:
        print("check-pe-resources: image, icons, version block and manifest as expected")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
