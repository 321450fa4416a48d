"""What Tolvi.exe carries: its imports, its manifest and its version resource."""
import re
import subprocess

from e2e import check, scenario

SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "comctl32.dll", "shell32.dll", "advapi32.dll",
               "msvcrt.dll", "ole32.dll", "oleaut32.dll", "version.dll", "imm32.dll", "comdlg32.dll",
               "msimg32.dll", "windowscodecs.dll", "shlwapi.dll", "uxtheme.dll", "powrprof.dll", "ntdll.dll"}


@scenario("Tolvi.exe imports only Windows' own DLLs and carries its manifest and version")
def _(s):
    exe = s.exe("Tolvi.exe")
    dump = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", str(exe)], capture_output=True, text=True,
                          check=True).stdout
    check("file format pei-x86-64" in subprocess.run(["x86_64-w64-mingw32-objdump", "-f", str(exe)],
                                                     capture_output=True, text=True).stdout, "not x86-64")
    dlls = {d.lower() for d in re.findall(r"DLL Name: (\S+)", dump)}
    check(dlls and dlls <= SYSTEM_DLLS, f"imports beyond Windows' own DLLs: {sorted(dlls - SYSTEM_DLLS)}")

    data = exe.read_bytes()
    for needle in ('level="asInvoker"', "PerMonitorV2, PerMonitor", "<dpiAware", "true/pm",
                   'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"',
                   "{e2011457-1546-43c5-a5fe-008deee3d3f0}",   # Vista
                   "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"):  # Windows 10
        check(needle.encode() in data, f"manifest lacks {needle}")
    # A version string is its key, a NUL, padding to four bytes, then the value.
    product = re.compile(re.escape("ProductName\0".encode("utf-16-le")) + b"(?:\0\0)?" +
                         re.escape("Tolvi\0".encode("utf-16-le")))
    check(product.search(data), "no version resource naming the product")
