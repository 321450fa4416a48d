#!/usr/bin/env python3
"""Writes the Tolvi download from a release build: the zip with the program,
the Japanese guide and the third-party notices, and the zip's SHA-256 file.
Called by scripts/package, which builds what this needs.

The same inputs give the same bytes: the program's link time and every date in
the zip are the commit's time, the entries have a fixed order and fixed
attributes."""
import argparse
import hashlib
import json
import os
import re
import struct
import subprocess
import sys
import time
import zipfile
import zlib
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import exe_check  # noqa: E402

GUIDE_NAME = "はじめにお読みください.txt"
NOTICES_NAME = "THIRD-PARTY-NOTICES.txt"
SIZE_GOAL = 1_000_000  # bytes


class PackageError(Exception):
    pass


# ---------------------------------------------------------------- the program

def pe_header(data):
    """Offsets of the COFF header and the optional header, checked."""
    if data[:2] != b"MZ":
        raise PackageError("Tolvi.exe is not a Windows program")
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise PackageError("Tolvi.exe has no PE header")
    return pe + 4, pe + 24


def sections(data):
    coff, opt = pe_header(data)
    count = struct.unpack_from("<H", data, coff + 2)[0]
    opt_size = struct.unpack_from("<H", data, coff + 16)[0]
    table = opt + opt_size
    names = []
    for i in range(count):
        raw = data[table + 40 * i: table + 40 * i + 8].rstrip(b"\0").decode("ascii", "replace")
        names.append(raw)
    return names


def prepare_exe(data, epoch):
    """The program as shipped: checked to be stripped, with its link time set
    to the commit's time."""
    coff, opt = pe_header(data)
    symbols, nsymbols = struct.unpack_from("<II", data, coff + 8)
    if symbols or nsymbols:
        raise PackageError("Tolvi.exe still carries a symbol table: it is not stripped")
    debug = [n for n in sections(data) if n.startswith((".debug", "/"))]
    if debug:
        raise PackageError(f"Tolvi.exe carries debug sections: {debug}")
    magic = struct.unpack_from("<H", data, opt)[0]
    if magic != 0x20B:
        raise PackageError("Tolvi.exe is not a 64-bit program")
    debug_dir = struct.unpack_from("<II", data, opt + 112 + 6 * 8)
    if debug_dir != (0, 0):
        raise PackageError("Tolvi.exe has a debug directory")
    out = bytearray(data)
    struct.pack_into("<I", out, coff + 4, epoch & 0xFFFFFFFF)
    # The image checksum, where the linker wrote one, is made anew for the
    # new link time; the old one first proves the reckoning right.
    checksum = opt + 64
    old = struct.unpack_from("<I", data, checksum)[0]
    if old:
        if pe_checksum(data, checksum) != old:
            raise PackageError("Tolvi.exe's image checksum does not reckon as expected")
        struct.pack_into("<I", out, checksum, pe_checksum(out, checksum))
    return bytes(out)


def pe_checksum(data, field):
    """The PE image checksum: the 16-bit one's-complement sum of the file with
    the checksum field taken as zero, plus the file's length."""
    padded = bytes(data[:field]) + b"\0\0\0\0" + bytes(data[field + 4:])
    if len(padded) % 2:
        padded += b"\0"
    total = sum(struct.unpack(f"<{len(padded) // 2}H", padded))
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return (total + len(data)) & 0xFFFFFFFF


def resource_versions(data):
    """The fixed file and product versions and the FileVersion and
    ProductVersion texts of the program's version resource."""
    at = data.find(struct.pack("<I", 0xFEEF04BD))
    if at < 0:
        raise PackageError("Tolvi.exe has no version resource")
    fms, fls, pms, pls = struct.unpack_from("<IIII", data, at + 8)
    fixed = lambda ms, ls: f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}"
    texts = {}
    for key in ("FileVersion", "ProductVersion"):
        m = re.search(re.escape((key + "\0").encode("utf-16-le")) + b"(?:\0\0)?((?:[^\0].|\0[^\0])*?)\0\0",
                      data, re.S)
        texts[key] = m.group(1).decode("utf-16-le") if m else None
    return fixed(fms, fls), fixed(pms, pls), texts


def check_version(data, version):
    file_fixed, product_fixed, texts = resource_versions(data)
    want_fixed = version + ".0"
    problems = []
    if file_fixed != want_fixed or product_fixed != want_fixed:
        problems.append(f"fixed versions {file_fixed}/{product_fixed}, expected {want_fixed}")
    for key, value in texts.items():
        if value != version:
            problems.append(f"{key} {value!r}, expected {version!r}")
    if problems:
        raise PackageError("the version resource disagrees with the project: " + "; ".join(problems))


# ---------------------------------------------------------------- the notices

# Where the licence texts of each library come from: (heading, what it is,
# [(source, file, extract)]). extract picks the licence out of a longer file.
def section_between(start, end):
    def pick(text):
        a = text.index(start)
        b = text.index(end, a)
        return text[a:b]
    return pick


def leading_comment(prefix):
    """The licence in a source file's opening comment, without the comment marks."""
    def pick(text):
        lines = []
        for line in text.splitlines():
            if not line.startswith(prefix.rstrip()):
                break
            lines.append(line[len(prefix):] if line.startswith(prefix) else "")
        return "\n".join(lines).strip("\n") + "\n"
    return pick


def through(start, last):
    def pick(text):
        a = text.index(start)
        b = text.index(last, a) + len(last)
        return text[a:b] + "\n"
    return pick


GPL3 = Path("/usr/share/common-licenses/GPL-3")
GCC_COPYRIGHT = Path("/usr/share/doc/gcc-mingw-w64-base/copyright")

NOTICES = [
    ("libjpeg-turbo", "libjpeg-turbo", "JPEG decoding. This software is based in part on the work of the "
     "Independent JPEG Group.", [
         ("LICENSE.md", None),
         ("README.ijg: the IJG License", section_between("LEGAL ISSUES\n============", "REFERENCES\n==========")),
         ("simd/nasm/jsimdext.inc: the zlib License of the SIMD extensions", leading_comment("; ")),
     ]),
    ("libpng", "libpng", "PNG decoding.", [("LICENSE", None)]),
    ("zlib", "zlib", "Inflating the image data of PNG pictures.", [("LICENSE", None)]),
    ("MinGW-w64 runtime", "mingw-w64", "The C runtime start-up and support code of the program.", [
        ("COPYING.MinGW-w64-runtime/COPYING.MinGW-w64-runtime.txt", None),
    ]),
    ("winpthreads", "mingw-w64", "The POSIX threads library of MinGW-w64, used by the C++ runtime.", [
        ("mingw-w64-libraries/winpthreads/COPYING", None),
    ]),
    ("GCC runtime libraries (libstdc++, libgcc)", None,
     "The C++ standard library and the compiler's support library. They are covered by the GNU General "
     "Public License, version 3, with the GCC Runtime Library Exception, which allows them to be combined "
     "with a program under terms of its own choice.", [
         (GCC_COPYRIGHT, through("GCC RUNTIME LIBRARY EXCEPTION", "the license of GCC.")),  # gcc-mingw-w64-base
         (GPL3, None),
     ]),
]

# The bill of materials: for each notice, the SPDX licence expression of what
# the program takes from it, and the Debian source package it was built from
# when the project builds it itself (the others come in Debian's binary
# packages, whose owner of the linked file names the source).
SBOM = {
    "libjpeg-turbo": ("IJG AND BSD-3-Clause AND Zlib", "libjpeg-turbo"),
    "libpng": ("libpng-2.0", "libpng1.6"),
    "zlib": ("Zlib", None),
    "MinGW-w64 runtime": ("ZPL-2.1 AND LicenseRef-MinGW-w64-runtime-notices", None),
    "winpthreads": ("MIT AND BSD-3-Clause", None),
    "GCC runtime libraries (libstdc++, libgcc)": ("GPL-3.0-or-later WITH GCC-exception-3.1", None),
}
# The runtime's overall licence is the ZPL 2.1; its further notices (getopt,
# gdtoa, parts of the math library, headers from Wine) are named by one
# reference whose text points at them.
RUNTIME_NOTICES = ("The further notices of COPYING.MinGW-w64-runtime.txt in the mingw-w64 sources: getopt (ISC and "
                   "BSD), gdtoa, parts of the math library, and headers imported from Wine (LGPL-2.1-or-later). "
                   "They are quoted in full in THIRD-PARTY-NOTICES.txt.")

# Which notice covers each library in the linker's map. Libraries of the
# project's own build are Tolvi itself.
ARCHIVES = [
    (r"libjpeg\.a$", "libjpeg-turbo"),
    (r"libpng[0-9]*\.a$", "libpng"),
    (r"libz\.a$", "zlib"),
    (r"lib(winpthread|pthread)\.a$", "winpthreads"),
    (r"/gcc/x86_64-w64-mingw32/[^/]+/(libstdc\+\+|libsupc\+\+|libgcc|libgcc_eh)\.a$",
     "GCC runtime libraries (libstdc++, libgcc)"),
    (r"/gcc/x86_64-w64-mingw32/[^/]+/crt(begin|end)\.o$", "GCC runtime libraries (libstdc++, libgcc)"),
    (r"^/usr/x86_64-w64-mingw32/lib/", "MinGW-w64 runtime"),
]


def linked_inputs(map_text, build_dir):
    """The libraries and objects from outside the project that the linker
    took into the program."""
    inputs = set()
    in_members = False
    for line in map_text.splitlines():
        if line.startswith("Archive member included"):
            in_members = True
            continue
        if in_members:
            if line.startswith(("Discarded input sections", "Memory Configuration")):
                in_members = False
            elif line and not line[0].isspace():
                m = re.match(r"^(.+?\.a)\(", line)
                if m:
                    inputs.add(os.path.normpath(m.group(1)))
        m = re.match(r"^LOAD (\S+\.o)$", line)
        if m:
            inputs.add(os.path.normpath(m.group(1)))
    build_dir = os.path.realpath(build_dir)
    outside = set()
    for path in inputs:
        real = os.path.realpath(path if os.path.isabs(path) else os.path.join(build_dir, path))
        if not real.startswith(build_dir + os.sep):
            outside.add(real)
    return sorted(outside)


def notices_for(inputs):
    """The notices that cover the linked inputs, each with the inputs it
    covers; an input that none covers is an error."""
    needed, unknown = {}, []
    for path in inputs:
        for pattern, notice in ARCHIVES:
            if re.search(pattern, path):
                needed.setdefault(notice, []).append(path)
                break
        else:
            unknown.append(path)
    if unknown:
        raise PackageError("no notice covers these linked libraries: " + ", ".join(unknown))
    return needed


def build_notices(sources, needed):
    bar = "=" * 78
    out = ["Third-party notices for Tolvi\n", "\n",
           "Tolvi.exe contains the following software. Their licence texts follow in full,\n",
           "as they appear in the sources the program was built from.\n", "\n"]
    for heading, source, what, _ in NOTICES:
        if heading in needed:
            out.append(f"  - {heading}\n")
    out.append("\n")
    for heading, source, what, files in NOTICES:
        if heading not in needed:
            continue
        out += [bar + "\n", heading + "\n", bar + "\n", "\n", what + "\n"]
        if source:
            ver, tree = sources[source]
            out.append(f"Licence text from the Debian source package {source} {ver}.\n")
        out.append("\n")
        for name, pick in files:
            file = name.split(":")[0] if isinstance(name, str) else name
            path = Path(file) if isinstance(file, Path) else Path(sources[source][1]) / file
            text = path.read_text(encoding="utf-8").replace("\r\n", "\n")
            if pick:
                text = pick(text)
            label = name if isinstance(name, str) else str(name)
            out += [f"--- {label} ---\n", "\n", text.rstrip("\n") + "\n", "\n"]
    return "".join(out)


# ---------------------------------------------------------------- the bill of materials

def upstream_version(debian_version):
    """2.1.5 of 1:2.1.5-2, 1.2.13 of 1.2.13+dfsg-1, 12.2.0 of 12.2.0-14+deb12u1+25.2+b1."""
    v = re.sub(r"^\d+:", "", debian_version)
    v = v.split("-")[0]
    return re.sub(r"[+~.](dfsg|ds)\d*.*$", "", v)


def debian_owner(path):
    """(source package, source version, binary version) of the Debian package
    that installed a file."""
    found = subprocess.run(["dpkg-query", "-S", path], capture_output=True, text=True)
    if found.returncode != 0:
        raise PackageError(f"no Debian package owns {path}")
    package = found.stdout.split(":")[0].strip()
    fields = subprocess.run(["dpkg-query", "-W", "-f=${source:Package}\t${source:Version}\t${Version}", package],
                            capture_output=True, text=True, check=True).stdout.split("\t")
    return tuple(fields)


def bom_entry(heading, inputs, sources):
    """name, version, Debian source package, its version, licence."""
    licence, own_source = SBOM[heading]
    if own_source:
        source_version = sources[heading][0]
        return heading, upstream_version(source_version), own_source, source_version, licence
    owners = {debian_owner(path) for path in inputs}
    if len(owners) != 1:
        raise PackageError(f"{heading}: the linked files come from several packages: {sorted(owners)}")
    source, source_version, binary_version = owners.pop()
    return heading, upstream_version(binary_version), source, source_version, licence


def spdx_id(name):
    return "SPDXRef-Package-" + re.sub(r"[^A-Za-z0-9.-]+", "-", name).strip("-")


def build_spdx(version, epoch, exe, entries):
    """An SPDX 2.3 document: the program and every library linked into it."""
    digest = hashlib.sha256(exe).hexdigest()
    program = {
        "name": "Tolvi", "SPDXID": "SPDXRef-Package-Tolvi", "versionInfo": version,
        "packageFileName": "Tolvi.exe", "supplier": "Organization: Ordane", "downloadLocation": "NOASSERTION",
        "filesAnalyzed": False, "checksums": [{"algorithm": "SHA256", "checksumValue": digest}],
        "licenseConcluded": "NOASSERTION", "licenseDeclared": "NOASSERTION", "copyrightText": "NOASSERTION",
        "primaryPackagePurpose": "APPLICATION",
    }
    packages, relationships = [program], [
        {"spdxElementId": "SPDXRef-DOCUMENT", "relationshipType": "DESCRIBES",
         "relatedSpdxElement": "SPDXRef-Package-Tolvi"}]
    for name, upstream, source, source_version, licence in entries:
        packages.append({
            "name": name, "SPDXID": spdx_id(name), "versionInfo": upstream,
            "downloadLocation": "NOASSERTION", "filesAnalyzed": False,
            "sourceInfo": f"built from the Debian source package {source} {source_version}",
            "externalRefs": [{"referenceCategory": "PACKAGE-MANAGER", "referenceType": "purl",
                              "referenceLocator": f"pkg:deb/debian/{source}@{source_version}?arch=source"}],
            "licenseConcluded": licence, "licenseDeclared": licence, "copyrightText": "NOASSERTION",
            "primaryPackagePurpose": "LIBRARY",
        })
        relationships.append({"spdxElementId": "SPDXRef-Package-Tolvi", "relationshipType": "CONTAINS",
                              "relatedSpdxElement": spdx_id(name)})
    document = {
        "spdxVersion": "SPDX-2.3", "dataLicense": "CC0-1.0", "SPDXID": "SPDXRef-DOCUMENT",
        "name": f"Tolvi-{version}",
        "documentNamespace": f"urn:ordane:tolvi:{version}:sha256:{digest}",
        "creationInfo": {"created": time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime(epoch)),
                         "creators": ["Organization: Ordane", "Tool: Tolvi scripts/package"]},
        "packages": packages, "relationships": relationships,
    }
    if any("LicenseRef-MinGW-w64-runtime-notices" in e[4] for e in entries):
        document["hasExtractedLicensingInfos"] = [{
            "licenseId": "LicenseRef-MinGW-w64-runtime-notices", "name": "MinGW-w64 runtime: further notices",
            "extractedText": RUNTIME_NOTICES}]
    return (json.dumps(document, ensure_ascii=False, indent=2) + "\n").encode("utf-8")


# ---------------------------------------------------------------- the zip

def windows_text(text):
    """UTF-8 with a byte-order mark and CR LF line ends, as Notepad on every
    Windows reads it."""
    text = text.replace("\r\n", "\n").replace("\r", "\n")
    if not text.endswith("\n"):
        text += "\n"
    return b"\xef\xbb\xbf" + text.replace("\n", "\r\n").encode("utf-8")


def unicode_path_field(name):
    """The Info-ZIP Unicode Path extra field (0x7075, version 1): the CRC-32 of
    the name as stored, then the UTF-8 name. Python marks a non-ASCII name as
    UTF-8 (flag 11), which 7-Zip, libarchive and Explorer honour; Info-ZIP's
    unzip reads the names of a zip made on MS-DOS as OEM text whatever the
    flag says, and takes this field instead."""
    stored = name.encode("utf-8")
    body = struct.pack("<BI", 1, zlib.crc32(stored)) + stored
    return struct.pack("<HH", 0x7075, len(body)) + body


def write_zip(path, entries, epoch):
    stamp = time.gmtime(max(epoch, 315532800))[:6]  # zip dates begin in 1980
    tmp = path.with_name(path.name + ".tmp")
    with zipfile.ZipFile(tmp, "w") as z:
        for name, data in entries:
            info = zipfile.ZipInfo(name, date_time=stamp)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 0           # MS-DOS attributes
            info.external_attr = 0x20        # the archive attribute
            if not name.isascii():
                info.extra = unicode_path_field(name)
            z.writestr(info, data, compresslevel=9)
    os.replace(tmp, path)


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--version", required=True)
    ap.add_argument("--epoch", type=int, required=True)
    ap.add_argument("--exe", type=Path, required=True)
    ap.add_argument("--map", type=Path, required=True)
    ap.add_argument("--guide", type=Path, required=True)
    ap.add_argument("--out", type=Path, required=True)
    ap.add_argument("--source", action="append", default=[], help="NAME=VERSION=TREE")
    a = ap.parse_args()
    try:
        if not re.fullmatch(r"\d+\.\d+\.\d+", a.version):
            raise PackageError(f"the project version {a.version!r} is not MAJOR.MINOR.PATCH")
        sources = {}
        for s in a.source:
            name, ver, tree = s.split("=", 2)
            sources[name] = (ver, tree)

        problems = exe_check.problems(a.exe)
        if problems:
            raise PackageError("Tolvi.exe is refused: " + "; ".join(problems))
        exe = prepare_exe(a.exe.read_bytes(), a.epoch)
        check_version(exe, a.version)
        needed = notices_for(linked_inputs(a.map.read_text(encoding="utf-8", errors="replace"), a.exe.parent))
        notices = windows_text(build_notices(sources, needed))
        bom = [bom_entry(h, needed[h], sources) for h, *_ in NOTICES if h in needed]
        spdx = build_spdx(a.version, a.epoch, exe, bom)
        guide_text = a.guide.read_text(encoding="utf-8")
        if "@VERSION@" not in guide_text:
            raise PackageError(f"{a.guide} does not name the version (@VERSION@)")
        guide = windows_text(guide_text.replace("@VERSION@", a.version))

        a.out.mkdir(parents=True, exist_ok=True)
        name = f"Tolvi-{a.version}-win64.zip"
        zip_path = a.out / name
        for old in a.out.glob("Tolvi-*-win64.zip*"):  # the folder holds one download
            if old.name not in (name, name + ".sha256"):
                old.unlink()
        write_zip(zip_path, [("Tolvi.exe", exe), (GUIDE_NAME, guide), (NOTICES_NAME, notices),
                             (f"Tolvi-{a.version}.spdx.json", spdx)], a.epoch)
        digest = hashlib.sha256(zip_path.read_bytes()).hexdigest()
        (a.out / (name + ".sha256")).write_text(f"{digest}  {name}\n", encoding="ascii")
    except (PackageError, OSError, ValueError, KeyError, subprocess.CalledProcessError) as e:
        sys.exit(f"package: {e}")

    size = len(exe)
    print(f"package: {zip_path}")
    print(f"package: sha256 {digest}")
    print(f"package: Tolvi.exe {size} bytes ({size / 1048576:.2f} MiB), sections {' '.join(sections(exe))}")
    print(f"package: size goal {size} <= {SIZE_GOAL} bytes: {'met' if size <= SIZE_GOAL else 'missed'}")
    print(f"package: notices for {', '.join(h for h, *_ in NOTICES if h in needed)}")


if __name__ == "__main__":
    main()
