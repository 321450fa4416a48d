#!/usr/bin/env python3
"""Checks the download that scripts/package wrote: what the zip holds, the
guide's and the notices' encoding and line ends, a notice for every library
found in the program, the version agreeing everywhere, and the program as
shipped (stripped, 64-bit, the commit's date).

    check_package.py ZIP [--map TOLVI_MAP] [--same-as OTHER_ZIP] [--junit FILE]

--same-as compares two packagings of the same commit byte for byte."""
import argparse
import hashlib
import json
import os
import re
import struct
import subprocess
import sys
import tempfile
import traceback
import zipfile
import zlib
from pathlib import Path
from xml.sax.saxutils import escape, quoteattr

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "scripts" / "lib"))
import exe_check  # noqa: E402
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

    @property
    def spdx_name(self):
        return f"Tolvi-{self.version}.spdx.json"


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


@check("the zip holds the program, the guide, the notices and the bill of materials, in that order, with fixed dates")
def _(p):
    assert p.names == ["Tolvi.exe", GUIDE, NOTICES, p.spdx_name], f"entries {p.names}"
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


def unicode_path_fields(extra):
    """The Info-ZIP Unicode Path fields (0x7075) of an extra block."""
    fields, at = [], 0
    while at + 4 <= len(extra):
        tag, size = struct.unpack_from("<HH", extra, at)
        if tag == 0x7075:
            fields.append(extra[at + 4:at + 4 + size])
        at += 4 + size
    return fields


@check("every name that is not ASCII carries a Unicode Path field beside the UTF-8 flag, in both headers")
def _(p):
    raw = p.path.read_bytes()
    for info in p.zip.infolist():
        stored = info.filename.encode("utf-8")
        central = unicode_path_fields(info.extra)
        # The local header's extra block, read from the file itself.
        name_len, extra_len = struct.unpack_from("<HH", raw, info.header_offset + 26)
        start = info.header_offset + 30 + name_len
        local = unicode_path_fields(raw[start:start + extra_len])
        if info.filename.isascii():
            assert not central and not local, f"{info.filename}: a Unicode Path field on an ASCII name"
            continue
        want = struct.pack("<BI", 1, zlib.crc32(stored)) + stored
        assert central == [want], f"{info.filename}: central Unicode Path field {central}"
        assert local == [want], f"{info.filename}: local Unicode Path field {local}"


@check("Debian's unzip and Python both extract the guide under its exact name")
def _(p):
    for tool in ("unzip", "python"):
        with tempfile.TemporaryDirectory() as out:
            if tool == "unzip":
                run = subprocess.run(["unzip", "-q", str(p.path), "-d", out], capture_output=True,
                                     env={**os.environ, "LC_ALL": "C.UTF-8"})
                assert run.returncode == 0, f"unzip failed: {run.stderr.decode(errors='replace')}"
            else:
                zipfile.ZipFile(p.path).extractall(out)
            got = sorted(os.listdir(os.fsencode(out)))
            want = sorted(n.encode("utf-8") for n in p.names)
            assert got == want, f"{tool} extracted {got}"
            assert (Path(out) / GUIDE).read_bytes() == p.read(GUIDE), f"{tool}: the guide's content differs"


@check("the packaged program imports only libraries Windows takes from the system folder, and is hardened")
def _(p):
    with tempfile.TemporaryDirectory() as out:
        exe = Path(out) / "Tolvi.exe"
        exe.write_bytes(p.read("Tolvi.exe"))
        problems = exe_check.problems(exe)
    assert not problems, "; ".join(problems)


@check("the program check refuses a planted-library import, a missing hardening flag and a missing .reloc")
def _(p):
    # Small programs built here with one fault each; the check must name it.
    cases = [
        ("powrprof", ["-DPOWER", "-lpowrprof"], "imports libraries that Windows may take from beside the program: powrprof.dll"),
        ("version", ["-DVERSION", "-lversion"], "beside the program: version.dll"),
        ("no-high-entropy", ["-Wl,--disable-high-entropy-va"], "no ASLR with high entropy"),
        ("no-dep", ["-Wl,--disable-nxcompat"], "no DEP"),
        ("no-aslr", ["-Wl,--disable-dynamicbase,--disable-reloc-section"], "no relocation section"),
        ("sound", [], None),
    ]
    source = ("#include <windows.h>\n#include <powrprof.h>\n#include <winver.h>\n"
              "int main(int c, char** v) {\n"
              "#ifdef POWER\n  if (c > 5) IsPwrHibernateAllowed();\n#endif\n"
              "#ifdef VERSION\n  if (c > 5) GetFileVersionInfoSizeW(L\"x\", 0);\n#endif\n"
              "  return MessageBoxW(0, L\"\", L\"\", 0);\n}\n")
    wrong = []
    with tempfile.TemporaryDirectory() as out:
        src = Path(out) / "probe.c"
        src.write_text(source, encoding="ascii")
        for name, flags, expected in cases:
            exe = Path(out) / f"{name}.exe"
            build = subprocess.run(["x86_64-w64-mingw32-gcc", "-O1", str(src), "-o", str(exe), *flags],
                                   capture_output=True, text=True)
            assert build.returncode == 0, f"{name}: {build.stderr}"
            found = exe_check.problems(exe)
            if expected is None and found:
                wrong.append(f"{name}: refused a sound program: {found}")
            elif expected is not None and not any(expected in f for f in found):
                wrong.append(f"{name}: not refused for {expected!r} (found {found})")
    assert not wrong, "; ".join(wrong)


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


SPDX_LICENCES = {
    "libjpeg-turbo": "IJG AND BSD-3-Clause AND Zlib", "libpng": "libpng-2.0", "zlib": "Zlib",
    "MinGW-w64 runtime": "ZPL-2.1 AND LicenseRef-MinGW-w64-runtime-notices", "winpthreads": "MIT AND BSD-3-Clause",
    "GCC runtime libraries (libstdc++, libgcc)": "GPL-3.0-or-later WITH GCC-exception-3.1",
}


@check("the bill of materials is SPDX 2.3 JSON and names every library of the notices, and nothing else")
def _(p):
    doc = json.loads(p.read(p.spdx_name).decode("utf-8"))
    assert doc["spdxVersion"] == "SPDX-2.3" and doc["dataLicense"] == "CC0-1.0", "not an SPDX 2.3 document"
    assert doc["SPDXID"] == "SPDXRef-DOCUMENT" and doc["documentNamespace"], "no document id or namespace"
    assert re.fullmatch(r"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ", doc["creationInfo"]["created"]), "creation date"
    packages = {pkg["SPDXID"]: pkg for pkg in doc["packages"]}
    program = packages.pop("SPDXRef-Package-Tolvi")
    assert program["versionInfo"] == p.version, f"the program's version {program['versionInfo']}"
    sha = hashlib.sha256(p.read("Tolvi.exe")).hexdigest()
    assert program["checksums"] == [{"algorithm": "SHA256", "checksumValue": sha}], "the program's checksum"
    listed = re.findall(r"^  - (.+)$", windows_text(p.read(NOTICES), "the notices").split("\n\n=")[0], re.M)
    names = [pkg["name"] for pkg in packages.values()]
    assert sorted(names) == sorted(listed), f"bill of materials {names}, notices {listed}"
    problems = []
    for pkg in packages.values():
        name = pkg["name"]
        if not re.fullmatch(r"\d+(\.\d+)+", pkg.get("versionInfo", "")):
            problems.append(f"{name}: version {pkg.get('versionInfo')!r}")
        refs = [r["referenceLocator"] for r in pkg.get("externalRefs", []) if r["referenceType"] == "purl"]
        if len(refs) != 1 or not re.fullmatch(r"pkg:deb/debian/[a-z0-9.+-]+@[0-9][\w.:~+-]*\?arch=source", refs[0]):
            problems.append(f"{name}: Debian source {refs}")
        if pkg.get("licenseDeclared") != SPDX_LICENCES.get(name) or pkg.get("licenseConcluded") != pkg.get("licenseDeclared"):
            problems.append(f"{name}: licence {pkg.get('licenseDeclared')!r}")
    assert not problems, "; ".join(problems)
    contained = {r["relatedSpdxElement"] for r in doc["relationships"]
                 if r["spdxElementId"] == "SPDXRef-Package-Tolvi" and r["relationshipType"] == "CONTAINS"}
    assert contained == set(packages), f"the program contains {contained}"
    refs = {lic for pkg in packages.values() for lic in re.findall(r"LicenseRef-[\w.-]+", pkg["licenseDeclared"])}
    extracted = {e["licenseId"] for e in doc.get("hasExtractedLicensingInfos", [])}
    assert refs == extracted, f"licence references {refs}, texts for {extracted}"


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
