"""The download as a user gets it: the zip that scripts/package wrote, unpacked
into a read-only folder whose path has blanks and Japanese characters, and the
program started from there."""
import contextlib
import hashlib
import os
import re
import subprocess
import time
import zipfile

from e2e import ROOT, check, scenario
from scenarios_exitseq import screen_pixel

FORM = "Tolvi.Form"
BOX = "#32770"
FOLDER = ("Program Files", "終了ツール")
WIN_FOLDER = "C:\\Program Files\\終了ツール\\"


def package_zip():
    path = os.environ.get("TOLVI_PACKAGE_ZIP")
    if not path:
        text = (ROOT / "CMakeLists.txt").read_text(encoding="utf-8")
        version = re.search(r"project\(Tolvi VERSION (\d+\.\d+\.\d+)", text).group(1)
        path = ROOT / "build" / "dist" / f"Tolvi-{version}-win64.zip"
    check(os.path.isfile(path), f"no package at {path}: run scripts/package first")
    return path


def snapshot(folder):
    """Every file under the folder with the hash of its content."""
    out = {}
    for p in sorted(folder.rglob("*")):
        out[str(p.relative_to(folder))] = hashlib.sha256(p.read_bytes()).hexdigest() if p.is_file() else "dir"
    return out


@contextlib.contextmanager
def read_only(folder):
    """The folder and its files made unwritable, for root too (the immutable
    attribute), or by the permission bits where that attribute is not to be had."""
    paths = [folder, *folder.iterdir()]
    immutable = subprocess.run(["chattr", "+i", *map(str, paths)], stderr=subprocess.DEVNULL).returncode == 0
    if not immutable:
        for p in paths:
            p.chmod(0o555 if p.is_dir() else 0o444)
    try:
        probe = folder / "probe.tmp"
        try:
            probe.write_bytes(b"x")
            probe.unlink()
            writable = True
        except OSError:
            writable = False
        check(not writable, f"could not make {folder} read-only on this machine")
        yield
    finally:
        if immutable:
            subprocess.run(["chattr", "-i", *map(str, paths)], stderr=subprocess.DEVNULL)
        else:
            for p in paths:
                p.chmod(0o755 if p.is_dir() else 0o644)


def unpack(s):
    folder = s.c_drive.joinpath(*FOLDER)
    folder.mkdir(parents=True)
    with zipfile.ZipFile(package_zip()) as z:
        z.extractall(folder)
    check((folder / "Tolvi.exe").is_file(), "the zip holds no Tolvi.exe")
    return folder


@scenario("package: unpacked into a read-only C:\\Program Files\\終了ツール\\, the window works and the settings go to AppData")
def _(s):
    folder = unpack(s)
    before = snapshot(folder)
    ini = s.appdata / "Ordane" / "Quv" / "Tolvi.ini"
    with read_only(folder):
        p = s.start(folder / "Tolvi.exe")
        hwnd = s.wait_window(title="Tolvi", cls=FORM, timeout=20)
        check(hwnd, "the main window did not appear")
        s.screenshot("package-main-window")
        s.driver("close", hwnd)
        check(p.wait(20) == 0, f"exit code {p.code}")
        check(snapshot(folder) == before, "the program's folder changed")
    check(ini.is_file(), "no settings file in the application-data folder")
    text = ini.read_bytes()
    check(text.startswith(b"\xff\xfe"), "the settings file is not UTF-16 with its mark")
    lines = text[2:].decode("utf-16-le").split("\r\n")
    # The default picture is looked for beside the program: the path came
    # through with its blank and its Japanese characters intact.
    check(f"File={WIN_FOLDER}End.jpg" in lines, f"settings file lines {lines}")


@scenario("package: /m:3 /no from the unpacked folder makes the log-off request")
def _(s):
    folder = unpack(s)
    before = snapshot(folder)
    with read_only(folder):
        p = s.start(folder / "Tolvi.exe", "/m:3", "/no", relay_include="user32.ExitWindowsEx")
        seen = []
        deadline = time.time() + 30
        while p.running() and time.time() < deadline:
            seen += [w for w in s.windows() if w.get("class") in (FORM, BOX)]
            time.sleep(0.2)
        check(p.wait(10) == 0, f"exit code {p.code}")
        check(snapshot(folder) == before, "the program's folder changed")
    check(not seen, f"a window appeared: {seen}")
    calls = [c for c in p.relay_lines() if c.lower().startswith("user32.exitwindowsex")]
    check([c.split(".", 1)[1] for c in calls] == ["ExitWindowsEx(00000000,00000000)"], f"calls {calls}")
    check(not (s.appdata / "Ordane" / "Quv" / "Tolvi.ini").exists(), "a settings file was written")


@scenario("package: the shipped program shows a JPEG beside it full screen, then logs off")
def _(s):
    folder = unpack(s)
    # Left half red, right half blue: the size-built decoder must get both right.
    subprocess.run(["convert", "-size", "320x400", "xc:red", "-size", "320x400", "xc:blue", "+append",
                    "-quality", "95", str(folder / "End.jpg")], check=True)
    with read_only(folder):
        p = s.start(folder / "Tolvi.exe", "/m:3", "/no", f"/p:{WIN_FOLDER}End.jpg", "/t:3",
                    relay_include="user32.ExitWindowsEx")
        wnd = s.wait_window(cls=FORM, timeout=20)
        check(wnd, "no picture window")
        time.sleep(0.5)
        s.screenshot("package-picture")
        left, right = screen_pixel(s.dir / "package-picture.bmp", 320, 400), \
            screen_pixel(s.dir / "package-picture.bmp", 960, 400)
        near = lambda got, want: all(abs(a - b) <= 40 for a, b in zip(got, want))
        check(near(left, (255, 0, 0)) and near(right, (0, 0, 255)), f"the picture is not drawn: {left} {right}")
        check(p.wait(30) == 0, f"exit code {p.code}")
    calls = [c.split(".", 1)[1] for c in p.relay_lines() if c.lower().startswith("user32.exitwindowsex")]
    check(calls == ["ExitWindowsEx(00000000,00000000)"], f"calls {calls}")
