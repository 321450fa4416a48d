#!/usr/bin/env python3
"""Checks the download that scripts/package wrote: what the zip holds, the
guide's and the notices' encoding and line ends, a notice for every library
found in the program, the version agreeing everywhere, and the program as
shipped (stripped, 64-bit, the commit's date).

    check_package.py ZIP [--map TOLVI_MAP] [--same-as OTHER_ZIP] [--junit FILE]

--same-as compares two packagings of the same commit byte for byte."""
import argparse
import hashlib
import os
import re
import struct
import subprocess
import sys
import traceback
import zipfile
from pathlib import Path
from xml.sax.saxutils import escape, quoteattr

ROOT = Path(__file__).resolve().parents[2]
GUIDE = "はじめにお読みください.txt"
NOTICES = "THIRD-PARTY-NOTICES.txt"
CHECKS = []


def check(name):
    def register(fn):
        CHECKS.append((name, fn))
        return fn
    return register


class Package:
    def __init__(self, path, map_path):
        self.path = Path(path)
        self.map = Path(map_path)
        self.zip = zipfile.ZipFile(self.path)
        self.names = [i.filename for i in self.zip.infolist()]
        cmake = (ROOT / "CMakeLists.txt").read_text(encoding="utf-8")
        self.version = re.search(r"project\(Tolvi VERSION (\d+\.\d+\.\d+)", cmake).group(1)

    def read(self, name):
        return self.zip.read(name)


def windows_text(data, what):
    """The text of a UTF-8 file with its mark and CR LF line ends, checked."""
    assert data.startswith(b"\xef\xbb\xbf"), f"{what} does not start with the UTF-8 byte-order mark"
    body = data[3:]
    assert body.endswith(b"\r\n"), f"{what} does not end with CR LF"
    assert b"\r\n" in body and not re.search(rb"(?<!\r)\n|\r(?!\n)", body), f"{what} has a line end other than CR LF"
    return body.decode("utf-8").replace("\r\n", "\n")  # raises on bytes that are not UTF-8


def pe(data):
    assert data[:2] == b"MZ", "not a Windows program"
    at = struct.unpack_from("<I", data, 0x3C)[0]
    assert data[at:at + 4] == b"PE\0\0", "no PE header"
    coff = at + 4
    machine, nsections, stamp, symbols, nsymbols, opt_size = struct.unpack_from("<HHIIIH", data, coff)
    opt = coff + 20
    sections = [data[opt + opt_size + 40 * i: opt + opt_size + 40 * i + 8].rstrip(b"\0").decode("latin-1")
                for i in range(nsections)]
    return {"machine": machine, "stamp": stamp, "symbols": (symbols, nsymbols), "sections": sections,
            "magic": struct.unpack_from("<H", data, opt)[0],
            "debug_dir": struct.unpack_from("<II", data, opt + 112 + 6 * 8),
            "checksum": (struct.unpack_from("<I", data, opt + 64)[0], image_checksum(data, opt + 64))}


def image_checksum(data, field):
    words = data[:field] + b"\0" * 4 + data[field + 4:] + b"\0" * (len(data) % 2)
    total = 0
    for (word,) in struct.iter_unpack("<H", words):
        total = (total + word) & 0xFFFF if total + word <= 0xFFFF else (total + word - 0xFFFF)
    return total + len(data)


def version_resource(data):
    at = data.find(struct.pack("<I", 0xFEEF04BD))
    assert at >= 0, "no fixed version information"
    fms, fls, pms, pls = struct.unpack_from("<IIII", data, at + 8)
    fixed = lambda ms, ls: f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}"
    texts = {}
    for key in ("FileVersion", "ProductVersion"):
        found = re.findall(re.escape((key + "\0").encode("utf-16-le")) + b"(?:\0\0)?((?:[^\0].|\0[^\0])*?)\0\0",
                           data, re.S)
        texts[key] = [f.decode("utf-16-le") for f in found]
    return fixed(fms, fls), fixed(pms, pls), texts


@check("the zip holds the program, the guide and the notices, in that order, with fixed dates")
def _(p):
    assert p.names == ["Tolvi.exe", GUIDE, NOTICES], f"entries {p.names}"
    infos = p.zip.infolist()
    # The guide's name is marked as UTF-8 so that Explorer shows it in Japanese.
    assert infos[1].flag_bits & 0x800, "the guide's name is not marked as UTF-8"
    assert len({i.date_time for i in infos}) == 1, f"dates differ: {[i.date_time for i in infos]}"
    assert p.zip.testzip() is None, "a damaged entry"
    sha = p.path.with_name(p.path.name + ".sha256").read_text(encoding="ascii")
    assert sha == f"{hashlib.sha256(p.path.read_bytes()).hexdigest()}  {p.path.name}\n", f"the .sha256 file: {sha!r}"


@check("the guide is UTF-8 with a mark and CR LF, and tells what a user needs")
def _(p):
    text = windows_text(p.read(GUIDE), "the guide")
    missing = [t for t in (
        "シャットダウン", "再起動", "ログオフ", "スリープ", "休止状態",     # the five actions
        "1 ～ 5", "ダブルクリック", "Enter",                               # the window's keys
        "確認ダイアログ", "秒",                                            # confirmation, picture time
        "/m:", "/no", "/p:", "/t:", "ショートカット", "タスク スケジューラ",  # the command line
        "%APPDATA%\\Ordane\\Quv\\Tolvi.ini", "削除",                       # settings file, removal
        ".bmp", ".jpg", ".jpeg", ".png",                                  # picture formats
        "This software is based in part on the work of the Independent JPEG Group.",
    ) if t not in text]
    assert not missing, f"the guide lacks {missing}"
    assert "@VERSION@" not in text, "the version placeholder is left in the guide"


# Each library: how the linker's map names it, a trace it leaves in the
# program where it has one, and lines of its licence that its notice must
# carry in full.
LIBRARIES = [
    ("libjpeg-turbo", r"/libjpeg\.a\(", rb"The libjpeg-turbo Project",
     ["The Modified (3-clause) BSD License", "LEGAL ISSUES",
      "The authors make NO WARRANTY or representation",
      "Copyright (C) 1999-2006, MIYASAKA Masaru."]),
    ("libpng", r"/libpng[0-9]*\.a\(", rb"libpng version 1\.",
     ["PNG Reference Library License version 2", "COPYRIGHT NOTICE, DISCLAIMER, and LICENSE"]),
    ("zlib", r"/libz\.a\(", rb"inflate 1\.[0-9.]+ Copyright",
     ["(C) 1995-2022 Jean-loup Gailly and Mark Adler"]),
    ("MinGW-w64 runtime", r"/lib(mingw32|mingwex)\.a\(", rb"Mingw-w64 runtime failure",
     ["MinGW-w64 runtime licensing"]),
    ("winpthreads", r"/lib(win)?pthread\.a\(", None,
     ["Copyright (c) 2011 mingw-w64 project"]),
    ("GCC runtime libraries (libstdc++, libgcc)", r"/libstdc\+\+\.a\(|/libgcc(_eh)?\.a\(", rb"St9exception",
     ["GCC RUNTIME LIBRARY EXCEPTION", "GNU GENERAL PUBLIC LICENSE", "Version 3, 29 June 2007"]),
]


@check("the notices name every library linked into the program, with its licence text")
def _(p):
    text = windows_text(p.read(NOTICES), "the notices")
    exe = p.read("Tolvi.exe")
    linked = p.map.read_text(encoding="utf-8", errors="replace")
    listed = re.findall(r"^  - (.+)$", text.split("\n\n=")[0], re.M)
    problems = []
    for name, archive, trace, lines in LIBRARIES:
        in_map = re.search(archive, linked) is not None
        if trace and in_map != (re.search(trace, exe) is not None):
            problems.append(f"{name}: the map and the program disagree (is the trace still right?)")
        if in_map != (name in listed):
            problems.append(f"{name}: {'linked but not listed' if in_map else 'listed but not linked'}")
        if in_map and f"\n{name}\n" not in text:
            problems.append(f"no section for {name}")
        if in_map:
            problems += [f"{name}: lacks {line!r}" for line in lines if line not in text]
    unknown = set(listed) - {n for n, *_ in LIBRARIES}
    assert not unknown, f"notices for libraries this check does not know: {unknown}"
    assert not problems, "; ".join(problems)


@check("the version agrees in the zip's name, the program's version resource and manifest, and the guide")
def _(p):
    v = p.version
    assert p.path.name == f"Tolvi-{v}-win64.zip", f"zip name {p.path.name} for version {v}"
    file_fixed, product_fixed, texts = version_resource(p.read("Tolvi.exe"))
    assert (file_fixed, product_fixed) == (v + ".0", v + ".0"), f"fixed versions {file_fixed}, {product_fixed}"
    assert texts == {"FileVersion": [v], "ProductVersion": [v]}, f"version texts {texts}"
    manifest = re.findall(rb'name="Ordane\.Tolvi" version="([^"]*)"', p.read("Tolvi.exe"))
    assert manifest == [(v + ".0").encode()], f"the manifest's version {manifest}"
    first = windows_text(p.read(GUIDE), "the guide").splitlines()[0]
    assert first.startswith(f"Tolvi {v} "), f"the guide's first line {first!r}"


@check("the program is 64-bit, stripped, without debug sections, dated by the commit")
def _(p):
    info = pe(p.read("Tolvi.exe"))
    assert info["machine"] == 0x8664 and info["magic"] == 0x20B, "not an x86-64 program"
    assert info["symbols"] == (0, 0), "a symbol table is left"
    assert not [s for s in info["sections"] if s.startswith((".debug", "/"))], f"sections {info['sections']}"
    assert info["debug_dir"] == (0, 0), "a debug directory is left"
    stored, reckoned = info["checksum"]
    assert stored in (0, reckoned), f"image checksum {stored:#x}, the file reckons to {reckoned:#x}"
    commit = os.environ.get("SOURCE_DATE_EPOCH") or subprocess.run(
        ["git", "-C", str(ROOT), "log", "-1", "--format=%ct"], capture_output=True, text=True).stdout.strip()
    if commit:
        assert info["stamp"] == int(commit), f"link time {info['stamp']}, commit time {commit}"
    assert info["stamp"] > 0, "no build date"


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("zip")
    ap.add_argument("--map", default=str(ROOT / "build/release/Tolvi.map"),
                    help="the linker's map of the release build")
    ap.add_argument("--same-as", default="")
    ap.add_argument("--junit", default="")
    a = ap.parse_args()
    results = []
    try:
        package = Package(a.zip, a.map)
    except Exception as e:
        package = None
        results.append(("the package can be opened", f"{a.zip}: {e}"))
    if package:
        checks = list(CHECKS)
        if a.same_as:
            def same(p):
                assert Path(a.same_as).is_file(), f"no second packaging at {a.same_as}"
                one, two = Path(a.zip).read_bytes(), Path(a.same_as).read_bytes()
                assert one == two, f"{a.zip} and {a.same_as} differ ({len(one)} and {len(two)} bytes)"
            checks.append(("two packagings of the same commit are byte-identical", same))
        for name, fn in checks:
            try:
                fn(package)
                results.append((name, None))
            except AssertionError as e:
                results.append((name, str(e)))
            except Exception:
                results.append((name, traceback.format_exc()))
    for name, error in results:
        print(f"{'PASS' if error is None else 'FAIL'} {name}" + ("" if error is None else f": {error}"))
    failed = sum(1 for _, e in results if e is not None)
    if a.junit:
        with open(a.junit, "w", encoding="utf-8") as f:
            f.write(f'<testsuite name="package" tests="{len(results)}" failures="{failed}">\n')
            for name, e in results:
                f.write(f"<testcase name={quoteattr(name)}>")
                if e is not None:
                    f.write(f"<failure message={quoteattr(e.splitlines()[0] if e else '')}>{escape(e)}</failure>")
                f.write("</testcase>\n")
            f.write("</testsuite>\n")
    print(f"package checks: {len(results) - failed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
