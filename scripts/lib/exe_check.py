#!/usr/bin/env python3
"""Checks a Tolvi.exe the way it is to be shipped, from what objdump reads in
it: its static imports name only libraries that Windows always takes from
the system folder, and its hardening is on (ASLR with high entropy, DEP, a
relocation section).

    exe_check.py EXE     prints each problem and exits 1 when there is one

A library that the program imports statically is loaded before any of its
code runs, so no call of the program can steer where it comes from. Windows
takes a library from the system folder without a search only when it is a
"known DLL" (or the loader itself): any other name is looked up beside the
program first, where a file of that name could have been planted."""
import re
import shutil
import subprocess
import sys

# Windows 10 and 11's KnownDLLs, and ntdll, which the loader maps itself.
SYSTEM_ONLY = {
    "advapi32.dll", "clbcatq.dll", "combase.dll", "comdlg32.dll", "coml2.dll", "difxapi.dll", "gdi32.dll",
    "gdiplus.dll", "imagehlp.dll", "imm32.dll", "kernel32.dll", "msctf.dll", "msvcrt.dll", "normaliz.dll",
    "nsi.dll", "ntdll.dll", "ole32.dll", "oleaut32.dll", "psapi.dll", "rpcrt4.dll", "sechost.dll",
    "setupapi.dll", "shcore.dll", "shell32.dll", "shlwapi.dll", "user32.dll", "wldap32.dll", "ws2_32.dll",
}
HARDENING = {
    "HIGH_ENTROPY_VA": "ASLR with high entropy (--high-entropy-va)",
    "DYNAMIC_BASE": "ASLR (--dynamicbase)",
    "NX_COMPAT": "DEP (--nxcompat)",
}


def objdump():
    for name in ("x86_64-w64-mingw32-objdump", "objdump"):
        if shutil.which(name):
            return name
    raise RuntimeError("no objdump to read the program with")


def read(path):
    return subprocess.run([objdump(), "-p", "-h", str(path)], capture_output=True, text=True, check=True).stdout


def imports(dump):
    return [m.lower() for m in re.findall(r"^\s*DLL Name: (\S+)", dump, re.M)]


def problems(path):
    dump = read(path)
    found = []
    if "file format pei-x86-64" not in dump:
        found.append("not an x86-64 Windows program")
    named = imports(dump)
    if not named:
        found.append("no import table read")
    other = sorted(set(named) - SYSTEM_ONLY)
    if other:
        found.append("imports libraries that Windows may take from beside the program: " + ", ".join(other))
    m = re.search(r"^DllCharacteristics\s+([0-9a-fA-F]+)\n((?:\t+\S+\n)*)", dump, re.M)
    flags = set(m.group(2).split()) if m else set()
    found += [f"no {what}" for flag, what in HARDENING.items() if flag not in flags]
    if not re.search(r"^\s*\d+\s+\.reloc\s", dump, re.M):
        found.append("no relocation section (.reloc): the program could not move where ASLR puts it")
    return found


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: exe_check.py EXE")
    found = problems(sys.argv[1])
    for p in found:
        print(f"exe_check: {sys.argv[1]}: {p}")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
