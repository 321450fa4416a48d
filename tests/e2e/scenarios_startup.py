"""Start-up: the window, the settings file, the single instance, the command line."""
import time

from e2e import check, scenario

FORM = "Tolvi.Form"


def data_dir(s):
    return s.appdata / "Ordane" / "Quv"


def fresh_file_bytes(s):
    exe_dir = s.win_path(s.exe("Tolvi.exe").parent) + "\\"
    text = ("[Form]\r\nConfirm=1\r\n\r\n[Picture]\r\nFile=" + exe_dir + "End.jpg\r\nTime=3\r\n\r\n")
    return b"\xff\xfe" + text.encode("utf-16-le")


def main_window(s, timeout=20):
    hwnd = s.wait_window(title="Tolvi", cls=FORM, timeout=timeout)
    check(hwnd, "the main window did not appear")
    return hwnd


def visible_forms(s):
    return [w for w in s.windows() if w.get("class") == FORM]


@scenario("plain start shows the window; closing it writes a fresh settings file")
def _(s):
    p = s.start("Tolvi.exe")
    hwnd = main_window(s)
    s.screenshot("main-window")
    check(not (data_dir(s) / "Tolvi.ini").exists(), "settings written before closing")
    s.driver("close", hwnd)
    check(p.wait(20) == 0, f"exit code {p.code}")
    ini = data_dir(s) / "Tolvi.ini"
    check(ini.exists(), "no Tolvi.ini after closing")
    got, want = ini.read_bytes(), fresh_file_bytes(s)
    check(got == want, f"Tolvi.ini bytes differ:\n{got!r}\n{want!r}")
    check(not list(data_dir(s).glob("*.tmp")), "temporary file left behind")


@scenario("a second start ends at once and leaves the first alone")
def _(s):
    first = s.start("Tolvi.exe")
    hwnd = main_window(s)
    before = s.info(hwnd)
    second = s.run("Tolvi.exe", "/m:1", "/no", timeout=30)
    check(second.code == 0, f"second instance exit code {second.code}")
    check(first.running(), "the first instance ended")
    after = s.info(hwnd)
    check(after == before, f"the first window changed: {before} -> {after}")
    check(len(visible_forms(s)) == 1, "a second main window appeared")
    s.driver("close", hwnd)
    check(first.wait(20) == 0, "first instance exit code")


@scenario("an invalid option shows its message and ends without the window")
def _(s):
    p = s.start("Tolvi.exe", "/m:6")
    box = s.wait_window(title="Tolvi", cls="#32770", timeout=20)
    check(box, "no message box")
    s.screenshot("command-line-error")
    kids = [c for c in s.children(box) if c.get("visible") == "1"]
    texts = [c["title"] for c in kids if c["class"].lower() == "static" and c["title"]]
    buttons = [c["title"] for c in kids if c["class"].lower() == "button"]
    check(texts == ["コマンドラインオプションに誤りがあります。"], f"box text {texts}")
    check(buttons == ["OK"], f"box buttons {buttons}")
    STM_GETICON = 0x171
    icons = [c for c in kids if c["class"].lower() == "static" and int(c["style"], 16) & 0x1F == 0x3
             and int(s.driver("send", c["hwnd"], STM_GETICON).strip(), 16) != 0]
    check(not icons, f"the plain box shows an icon: {icons}")
    check(not visible_forms(s), "the main window appeared")
    s.driver("press", box, "OK")
    check(p.wait(20) == 0, f"exit code {p.code}")
    check(not (data_dir(s) / "Tolvi.ini").exists(), "settings file written")


@scenario("a file in the way of the data folder ends the program silently")
def _(s):
    s.appdata.mkdir(parents=True, exist_ok=True)
    (s.appdata / "Ordane").write_bytes(b"not a folder")
    p = s.start("Tolvi.exe")
    deadline = time.time() + 20
    while p.running() and time.time() < deadline:
        check(not any(w.get("pid") and w["class"] in (FORM, "#32770") for w in s.windows()),
              "a window appeared")
        time.sleep(0.5)
    check(p.wait(5) == 0, f"exit code {p.code}")
    check((s.appdata / "Ordane").read_bytes() == b"not a folder", "the file was touched")


@scenario("any parameter keeps the settings file out of the run")
def _(s):
    p = s.start("Tolvi.exe", "/t:5")
    hwnd = main_window(s)
    s.driver("close", hwnd)
    check(p.wait(20) == 0, f"exit code {p.code}")
    check(data_dir(s).is_dir(), "no data folder")
    check(not (data_dir(s) / "Tolvi.ini").exists(), "settings file written")
