"""The download unpacked into Downloads beside libraries that someone planted
there under system libraries' names. Each planted file writes a marker when
it is loaded; Wine is told to take a library found beside the program, as
Windows does for every library that is not a known DLL. Tolvi must load none
of them, on any of its ways: the sleep and hibernate requests (the power
library), and the window with a picture preview and the open dialog.

Wine's own user32 takes version.dll when a process starts, before any code of
the program runs, so version.dll cannot be judged here; instead the relay
record shows that the program restricts the library search before its first
load of a library."""
import re
import shutil
import struct
import subprocess
import time
import zipfile

from e2e import check, scenario
from scenarios_mainwindow import open_dialog
from scenarios_package import package_zip

FORM = "Tolvi.Form"
# Libraries the program or the system libraries it uses load by name after
# start, none of them a known DLL of Windows.
PLANTED = ["powrprof", "windowscodecs", "uxtheme", "dwmapi", "propsys", "oleacc", "winmm", "comctl32",
           "shcore", "msimg32", "winspool", "dbghelp", "msctf", "textinputframework", "profapi"]
PLANTED_DLL = "tests/e2e/planted.dll"
PROBE = "tests/e2e/planted_probe.exe"


def planted(s):
    """The names to plant, less those that Wine itself takes by its plain
    search, which cannot be judged here (as version.dll cannot be under any
    Wine): Wine 8's own libraries resolve their delayed imports that way,
    ignoring the process's default directories, so its uxtheme takes msimg32
    when it draws; Wine 10's user32 takes uxtheme when the process starts,
    before any code of the program runs. Windows honours the default
    directories for both."""
    wine_own = {"msimg32"} if getattr(s, "wine_major", 8) < 10 else {"uxtheme"}
    return [n for n in PLANTED if n not in wine_own]


def overrides(names):
    return {"WINEDLLOVERRIDES": "mscoree,mshtml=;" + ",".join(names) + "=n,b"}


def downloads(s):
    """The zip unpacked as a browser and Explorer leave it, with the planted
    libraries beside the program."""
    downloads = s.c_drive / "users" / s.user / "Downloads"
    if downloads.is_symlink():  # Wine links it to the Linux home folder
        downloads.unlink()
    folder = downloads / "Tolvi-win64"
    folder.mkdir(parents=True)
    with zipfile.ZipFile(package_zip()) as z:
        z.extractall(folder)
    names = planted(s)
    for name in names:
        shutil.copyfile(s.exe(PLANTED_DLL), folder / f"{name}.dll")
    # The set-up first proves itself: a program in the same folder that loads
    # the libraries the plain way gets the planted files.
    shutil.copyfile(s.exe(PROBE), folder / "probe.exe")
    p = s.run(folder / "probe.exe", *[f"{n}.dll" for n in names], env=overrides(names))
    loaded = [line.split()[0] for line in p.stdout.splitlines() if line.endswith(" loaded")]
    check(loaded == [f"{n}.dll" for n in names], f"the probe loaded {loaded} of {names}")
    unmarked = [n for n in names if not (folder / f"{n}.dll.loaded").is_file()]
    check(not unmarked, f"planted libraries that wrote no marker when loaded: {unmarked}")
    for marker in folder.glob("*.loaded"):
        marker.unlink()
    (folder / "probe.exe").unlink()
    return folder


# Every load-library call and the search restriction, in kernel32 and in
# kernelbase (where Wine's kernel32 forwards them).
LOADS = ["LoadLibraryA", "LoadLibraryW", "LoadLibraryExA", "LoadLibraryExW"]
RELAY = ";".join(f"{dll}.{fn}" for dll in ("kernel32", "kernelbase") for fn in LOADS + ["SetDefaultDllDirectories"])


def image_range(exe):
    data = exe.read_bytes()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    base = struct.unpack_from("<Q", data, pe + 24 + 24)[0]
    size = struct.unpack_from("<I", data, pe + 24 + 56)[0]
    return base, base + size


def judge(s, folder, p, expect_loaded):
    """No marker, no library from the program's folder but the program, the
    search restricted before the program's first load, and the libraries
    the run must have used taken from the system."""
    markers = sorted(m.name for m in folder.glob("*.loaded"))
    check(not markers, f"planted libraries ran: {markers}")
    text = p.debug_text()
    # Wine writes the paths with doubled backslashes.
    loaded = [path.replace("\\\\", "\\") for path in re.findall(r'Loaded L"([^"]+)"', text)]
    check(loaded, "no +loaddll record")
    win_folder = "C:\\users\\" + s.user + "\\Downloads\\Tolvi-win64\\"
    from_folder = sorted({path for path in loaded if path.lower().startswith(win_folder.lower())})
    check(from_folder == [win_folder + "Tolvi.exe"], f"modules loaded from the program's folder: {from_folder}")
    names = {path.rsplit("\\", 1)[-1].lower() for path in loaded}
    missing = [n for n in expect_loaded if f"{n}.dll" not in names]
    check(not missing, f"the run never loaded {missing}: it did not reach what it tests")
    # The relay record: calls made from the program's own code, in order.
    # Lines are "PID:TID:Call dll.Function(args) ret=ADDRESS"; the program's
    # process is the one that loaded Tolvi.exe, and its own code is where the
    # calls return to inside its image (other processes of the prefix may
    # have an image at the same address).
    pid = re.search(r'^([0-9a-f]+):[0-9a-f]+:trace:loaddll:\w+ Loaded L"[^"]*\\\\Tolvi\.exe"', text, re.M)
    check(pid, "the record does not show Tolvi.exe being loaded")
    low, high = image_range(folder / "Tolvi.exe")
    calls = []
    for line in text.splitlines():
        m = re.match(r"^([0-9a-f]+):[0-9a-f]+:Call (\w+)\.(\w+)\((.*)\) ret=([0-9a-f]+)$", line)
        if m and m.group(1) == pid.group(1) and low <= int(m.group(5), 16) < high:
            calls.append((m.group(3), m.group(4)))
    check(calls, "no relay record of the program's own calls")
    check(calls[0] == ("SetDefaultDllDirectories", "00000800"),
          f"the program's first library call is {calls[0]}, not SetDefaultDllDirectories(0x800)")
    check(any(fn.startswith("LoadLibrary") for fn, _ in calls), f"the program loaded no library itself: {calls}")


@scenario("planted libraries: /m:4 /no and /m:5 /no with a hibernation file take the power library from the system")
def _(s):
    folder = downloads(s)
    (s.c_drive / "hiberfil.sys").write_bytes(b"\0" * 4096)
    for mode in ("/m:4", "/m:5"):
        p = s.start(folder / "Tolvi.exe", mode, "/no", env=overrides(planted(s)), relay_include=RELAY, debug="+loaddll,+pid")
        check(p.wait(30) == 0, f"{mode}: exit code {p.code}")
        judge(s, folder, p, ["powrprof"])


def settings(s, text):
    ini = s.appdata / "Ordane" / "Quv" / "Tolvi.ini"
    ini.parent.mkdir(parents=True, exist_ok=True)
    ini.write_bytes(b"\xff\xfe" + text.encode("utf-16-le"))


@scenario("planted libraries: the window with a picture preview and the open dialog opened and cancelled")
def _(s):
    folder = downloads(s)
    # The default picture, beside the program, shows in the preview.
    subprocess.run(["convert", "-size", "160x90", "gradient:red-blue", str(folder / "End.jpg")], check=True)
    p = s.start(folder / "Tolvi.exe", env=overrides(planted(s)), relay_include=RELAY, debug="+loaddll,+pid")
    hwnd = s.wait_window(title="Tolvi", cls=FORM, timeout=20)
    check(hwnd, "the main window did not appear")
    time.sleep(1)  # the preview is drawn
    dialog = open_dialog(s, hwnd, s.info(hwnd)["pid"])
    s.screenshot("planted-open-dialog")
    s.driver("post", dialog, 0x111, 2, 0)  # WM_COMMAND IDCANCEL
    deadline = time.time() + 10
    while time.time() < deadline and any(w["hwnd"] == dialog for w in s.windows()):
        time.sleep(0.2)
    s.driver("close", hwnd)
    check(p.wait(20) == 0, f"exit code {p.code}")
    judge(s, folder, p, ["comdlg32", "comctl32"])


@scenario("planted libraries: a TIFF shown full screen through the system's imaging component, then log off")
def _(s):
    folder = downloads(s)
    subprocess.run(["convert", "-size", "64x48", "gradient:red-blue", str(folder / "End.tif")], check=True)
    settings(s, f"[Form]\r\nConfirm=0\r\n\r\n[Picture]\r\n"
                f"File=C:\\users\\{s.user}\\Downloads\\Tolvi-win64\\End.tif\r\nTime=1\r\n\r\n")
    p = s.start(folder / "Tolvi.exe", env=overrides(planted(s)), relay_include=RELAY, debug="+loaddll,+pid")
    hwnd = s.wait_window(title="Tolvi", cls=FORM, timeout=20)
    check(hwnd, "the main window did not appear")
    s.driver("key", hwnd, ord("3"))
    time.sleep(0.5)
    s.driver("key", hwnd, 0x0D)  # VK_RETURN
    check(p.wait(30) == 0, f"exit code {p.code}")
    judge(s, folder, p, ["windowscodecs"])
