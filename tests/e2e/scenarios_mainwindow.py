"""The main window as its users see it: its layout at several DPIs, its colours,
the keys and the mouse that carry out an action, the picture chosen by a drop
from outside the program, and the settings file written on closing."""
import struct
import subprocess
import time

from e2e import check, scenario

FORM = "Tolvi.Form"
BOX = "#32770"
ENGINE = "user32.ExitWindowsEx"
VK_RETURN, VK_UP, VK_DOWN = 0x0D, 0x26, 0x28
BM_GETCHECK = 0xF0
UDM_GETPOS32 = 0x472
WINDOW_COLOUR = (160, 160, 164)

# Controls in 96-DPI units within the window's client area (the panel's
# bevel and the group boxes' places added in), as the window lays them out.
# (The labels size themselves to their captions: scenarios_look checks them.)
LAYOUT = {
    "シャットダウン": (51, 11, 270, 23),
    "休止状態": (51, 131, 270, 23),
    "実 行 [Enter]": (120, 180, 205, 40),
    "選択": (97, 250, 50, 35),
    "確認ダイアログ表示": (166, 243, 170, 17),
}


def mul_div(value, dpi):
    return (value * dpi + 48) // 96


def main_window(s, timeout=20):
    hwnd = s.wait_window(title="Tolvi", cls=FORM, timeout=timeout)
    check(hwnd, "the main window did not appear")
    time.sleep(0.5)
    return hwnd


def rect(info):
    return tuple(int(v) for v in info["rect"].split(","))


def child(s, hwnd, text=None, cls=None):
    for c in s.children(hwnd):
        if (text is None or c.get("title") == text) and (cls is None or c.get("class") == cls):
            return c
    raise AssertionError(f"no control {text or cls}")


def client_origin(s, hwnd):
    """The screen position of the window's client area: where its panel sits."""
    panel = child(s, hwnd, cls="Tolvi.Panel")
    left, top, _, _ = rect(panel)
    return left, top


def screen_pixels(s, name):
    """A screenshot, and a reader of its pixels as (r, g, b)."""
    png = s.screenshot(name)
    data = (s.dir / f"{name}.bmp").read_bytes()
    offset, = struct.unpack_from("<I", data, 10)
    width, height = struct.unpack_from("<ii", data, 18)
    stride = (width * 3 + 3) & ~3

    def pixel(x, y):
        at = offset + (height - 1 - y) * stride + x * 3
        b, g, r = data[at:at + 3]
        return r, g, b
    return png, pixel


def settings_path(s):
    return s.appdata / "Ordane" / "Quv" / "Tolvi.ini"


def settings_bytes(confirm, picture, time_):
    text = f"[Form]\r\nConfirm={confirm}\r\n\r\n[Picture]\r\nFile={picture}\r\nTime={time_}\r\n\r\n"
    return b"\xff\xfe" + text.encode("utf-16-le")


def make_png(s, name):
    path = s.dir / name
    subprocess.run(["convert", "-size", "160x90", "xc:red", "-fill", "blue", "-draw", "rectangle 80,0 159,89",
                    str(path)], check=True)
    return path


def up_down_position(s, hwnd):
    updown = child(s, hwnd, cls="Tolvi.UpDown")
    return int(s.driver("send", updown["hwnd"], UDM_GETPOS32).strip(), 16) & 0xFFFFFFFF


def wait_for(condition, timeout=10):
    deadline = time.time() + timeout
    while time.time() < deadline:
        if condition():
            return True
        time.sleep(0.2)
    return condition()


@scenario("main window: the layout at 96, 120, 144 and 192 DPI, each control where the MulDiv rule puts it")
def _(s):
    for dpi in (96, 120, 144, 192):
        s.set_dpi(dpi)
        p = s.start("Tolvi.exe")
        hwnd = main_window(s)
        s.screenshot(f"main-window-{dpi}dpi")
        info = s.info(hwnd)
        width, height = (int(v) for v in info["client"].split(","))
        check((width, height) == (mul_div(342, dpi), mul_div(299, dpi)), f"{dpi} DPI: client {width}x{height}")
        ox, oy = client_origin(s, hwnd)
        for text, (x, y, w, h) in LAYOUT.items():
            left, top, right, bottom = rect(child(s, hwnd, text))
            got = (left - ox, top - oy, right - left, bottom - top)
            want = tuple(mul_div(v, dpi) for v in (x, y, w, h))
            check(all(abs(a - b) <= 1 for a, b in zip(got, want)), f"{dpi} DPI: {text} at {got}, not {want}")
        s.driver("close", hwnd)
        check(p.wait(20) == 0, f"exit code {p.code}")


@scenario("main window: a fixed border with only the close button, always on top, on the window's colour")
def _(s):
    p = s.start("Tolvi.exe")
    hwnd = main_window(s)
    info = s.info(hwnd)
    style, exstyle = int(info["style"], 16), int(info["exstyle"], 16)
    WS_THICKFRAME, WS_MINIMIZEBOX, WS_MAXIMIZEBOX, WS_SYSMENU, WS_CAPTION = 0x40000, 0x20000, 0x10000, 0x80000, 0xC00000
    check(style & WS_CAPTION == WS_CAPTION and style & WS_SYSMENU, f"style {style:#x}: no title bar or close button")
    check(not style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), f"style {style:#x}: resizable or min/max")
    check(exstyle & 0x8, f"exstyle {exstyle:#x}: not topmost")
    _, pixel = screen_pixels(s, "main-window-colours")
    # The program's icon in the title bar: the yellow figure and the red 終.
    wl, wt, _, _ = rect(info)
    ox, oy = client_origin(s, hwnd)
    corner = {pixel(x, y) for x in range(wl, wl + 40) for y in range(wt, oy)}
    check((255, 255, 0) in corner and (255, 0, 0) in corner, "the title bar does not show the program's icon")
    # No light rectangle behind the controls that sit on the window: a
    # label's pixels are its dark text or the window's colour; the right end
    # of an option button or the check box, past its text, is the window's
    # colour.
    def light(colour):
        return min(colour) > 200
    for text in ("[&1]", "[&3]", "秒表示"):
        left, top, right, bottom = rect(child(s, hwnd, text))
        bad = [(x, y) for x in range(left, right) for y in range(top, bottom) if light(pixel(x, y))]
        check(not bad, f"light pixels behind {text}: {bad[:5]}")
    for text in ("シャットダウン", "ログオフ", "確認ダイアログ表示"):
        left, top, right, bottom = rect(child(s, hwnd, text))
        bad = [(x, y) for x in range(right - 8, right) for y in range(top, bottom) if pixel(x, y) != WINDOW_COLOUR]
        check(not bad, f"behind {text}: {[(p, pixel(*p)) for p in bad[:3]]}")
    clock = child(s, hwnd, cls="Tolvi.StaticText")
    left, top, right, bottom = rect(clock)
    colours = {pixel(x, y) for x in range(left + 3, right - 3) for y in range(top + 3, bottom - 3)}
    check((0, 0, 0) in colours and (0, 255, 0) in colours, f"the clock is not lime on black: {sorted(colours)[:6]}")
    s.driver("close", hwnd)
    check(p.wait(20) == 0, f"exit code {p.code}")


@scenario("main window: digit 3 then Enter asks, and Yes logs off")
def _(s):
    p = s.start("Tolvi.exe", relay_include=ENGINE)
    hwnd = main_window(s)
    ok = child(s, hwnd, "実 行 [Enter]")
    check(ok["enabled"] == "0", "execute is enabled before an action is chosen")
    s.driver("key", hwnd, ord("3"))
    check(wait_for(lambda: child(s, hwnd, "実 行 [Enter]")["enabled"] == "1"), "digit 3 chose no action")
    s.driver("key", hwnd, VK_RETURN)
    box = s.wait_window(title="情報", cls=BOX, timeout=20)
    check(box, "no confirmation box")
    s.driver("press", box, "はい(&Y)")
    check(p.wait(30) == 0, f"exit code {p.code}")
    calls = [c for c in p.relay_lines() if "ExitWindowsEx" in c]
    check(calls and calls[0].endswith("ExitWindowsEx(00000000,00000000)"), f"engine calls {calls}")


@scenario("main window: a double-click on an action carries it out")
def _(s):
    p = s.start("Tolvi.exe", "/no", relay_include=ENGINE)
    hwnd = main_window(s)
    button = child(s, hwnd, "ログオフ")
    s.driver("dblclick", button["hwnd"], 10, 10)
    check(p.wait(30) == 0, f"exit code {p.code}")
    calls = [c for c in p.relay_lines() if "ExitWindowsEx" in c]
    check(calls and calls[0].endswith("ExitWindowsEx(00000000,00000000)"), f"engine calls {calls}")


@scenario("main window: started with only /t:5 it shows the command-line defaults and saves nothing")
def _(s):
    p = s.start("Tolvi.exe", "/t:5")
    hwnd = main_window(s)
    box = child(s, hwnd, "確認ダイアログ表示")
    check(s.driver("send", box["hwnd"], BM_GETCHECK).strip() == "0x1", "confirmation not ticked")
    check(up_down_position(s, hwnd) == 5, "time is not 5")
    check(child(s, hwnd, cls="Tolvi.UpDown")["enabled"] == "0", "time controls enabled without a picture")
    s.driver("close", hwnd)
    check(p.wait(20) == 0, f"exit code {p.code}")
    check(not settings_path(s).exists(), "a settings file was written")


@scenario("main window: a picture dropped from outside, the time stepped past both ends, saved on closing")
def _(s):
    picture = make_png(s, "dropped.png")
    p = s.start("Tolvi.exe")
    hwnd = main_window(s)
    updown = child(s, hwnd, cls="Tolvi.UpDown")
    check(updown["enabled"] == "0", "time controls enabled before a picture")
    image = child(s, hwnd, cls="Tolvi.Image")
    left, top, right, bottom = rect(image)
    s.drop((left + right) // 2, (top + bottom) // 2, picture)
    check(wait_for(lambda: child(s, hwnd, cls="Tolvi.UpDown")["enabled"] == "1"), "the drop enabled nothing")
    _, pixel = screen_pixels(s, "main-window-dropped")
    check(pixel(left + 5, (top + bottom) // 2)[0] > 200 and pixel(right - 5, (top + bottom) // 2)[2] > 200,
          f"the preview does not show the picture: {pixel(left + 5, top + 5)} {pixel(right - 5, top + 5)}")
    # The display takes the focus; the arrows step the up-down and wrap.
    display = child(s, hwnd, cls="Tolvi.ZuNumEdit")
    s.driver("click", display["hwnd"], 5, 5)
    time.sleep(0.3)
    for _ in range(4):
        s.driver("key", hwnd, VK_DOWN)
    check(wait_for(lambda: up_down_position(s, hwnd) == 999), f"3 down 4 is {up_down_position(s, hwnd)}, not 999")
    s.driver("key", hwnd, VK_UP)
    check(wait_for(lambda: up_down_position(s, hwnd) == 0), f"999 up 1 is {up_down_position(s, hwnd)}, not 0")
    s.driver("key", hwnd, VK_UP, VK_UP)
    check(wait_for(lambda: up_down_position(s, hwnd) == 2), "two steps up from 0")
    # While the display has the focus a bare digit is its own, not an action's.
    s.driver("key", hwnd, ord("3"))
    time.sleep(0.5)
    radio3 = child(s, hwnd, "ログオフ")["hwnd"]
    check(s.driver("send", radio3, BM_GETCHECK).strip() == "0x0", "a bare 3 on the display chose log off")
    check(up_down_position(s, hwnd) == 2, "a bare 3 changed the time")
    s.driver("click", child(s, hwnd, "確認ダイアログ表示")["hwnd"], 5, 5)
    time.sleep(0.3)
    s.driver("close", hwnd)
    check(p.wait(20) == 0, f"exit code {p.code}")
    got = settings_path(s).read_bytes()
    want = settings_bytes(0, s.win_path(picture), 2)
    check(got == want, f"Tolvi.ini bytes differ:\n{got!r}\n{want!r}")


@scenario("main window: a locked settings file on closing is reported, and closing works once it is free")
def _(s):
    first = s.start("Tolvi.exe")
    hwnd = main_window(s)
    s.driver("close", hwnd)
    check(first.wait(20) == 0, "first run")
    ini = settings_path(s)
    check(ini.exists(), "no settings file after the first run")
    p = s.start("Tolvi.exe")
    hwnd = main_window(s)
    holder = s.start(s.exe("tests/e2e/tolvi_driver.exe"), "hold", s.win_path(ini), 8000)
    check(wait_for(lambda: b"held" in holder.stdout_path.read_bytes()), "the settings file could not be held")
    s.driver("close", hwnd)
    box = s.wait_window(title="Tolvi", cls=BOX, timeout=20)
    check(box, "no error box for the locked file")
    check(p.running() and s.info(hwnd), "the window closed although the save failed")
    s.driver("press", box, "OK")
    holder.wait(30)
    s.driver("close", hwnd)
    check(p.wait(20) == 0, "the window did not close once the file was free")


def open_dialog(s, hwnd, pid):
    s.driver("press", hwnd, "選択")
    deadline = time.time() + 20
    while time.time() < deadline:
        dialogs = [w for w in s.windows() if w.get("class") == BOX and w.get("pid") == pid]
        if dialogs:
            time.sleep(0.5)
            return dialogs[0]["hwnd"]
        time.sleep(0.2)
    raise AssertionError("the open dialog did not appear")


def choose(s, hwnd, pid, name):
    """Types `name` into the open dialog and presses its Open button."""
    dialog = open_dialog(s, hwnd, pid)
    edit = next(c for c in s.children(dialog) if c.get("class") == "Edit" and c.get("id") == "1148")
    s.driver("settext", edit["hwnd"], name)
    s.driver("post", dialog, 0x111, 1, 0)  # WM_COMMAND IDOK
    check(wait_for(lambda: not any(w["hwnd"] == dialog for w in s.windows())), f"the dialog stayed open for {name}")
    time.sleep(0.5)


@scenario("main window: the picture dialog starts in the pictures folder every time and takes only pictures")
def _(s):
    pictures = s.c_drive / "users" / s.user / "Pictures"
    pictures.mkdir(parents=True, exist_ok=True)
    subprocess.run(["convert", "-size", "64x36", "xc:blue", str(pictures / "first.png")], check=True)
    (pictures / "notes.txt").write_text("not a picture")
    other = make_png(s, "second.png")
    p = s.start("Tolvi.exe")
    hwnd = main_window(s)
    pid = s.info(hwnd)["pid"]
    time_enabled = lambda: child(s, hwnd, cls="Tolvi.UpDown")["enabled"] == "1"
    check(not time_enabled(), "time controls enabled before a picture")

    choose(s, hwnd, pid, s.win_path(other))
    check(wait_for(time_enabled), "choosing a picture enabled nothing")
    image = child(s, hwnd, cls="Tolvi.Image")
    left, top, right, bottom = rect(image)
    _, pixel = screen_pixels(s, "main-window-chosen")
    check(pixel(left + 5, (top + bottom) // 2)[0] > 200, f"no picture in the preview: {pixel(left + 5, top + 5)}")

    choose(s, hwnd, pid, "notes.txt")  # typed by hand: not a picture, so nothing changes
    check(time_enabled(), "a text file changed the time controls")
    _, pixel = screen_pixels(s, "main-window-after-text")
    check(pixel(left + 5, (top + bottom) // 2)[0] > 200, "a text file changed the preview")

    choose(s, hwnd, pid, "first.png")  # found in the pictures folder, where the dialog opened again
    s.driver("close", hwnd)
    check(p.wait(20) == 0, f"exit code {p.code}")
    text = settings_path(s).read_bytes().decode("utf-16")
    want = f"File=C:\\users\\{s.user}\\Pictures\\first.png"
    check(want in text, f"settings after the choices:\n{text}")


@scenario("main window: digits choose actions with or without Alt, a disabled action's digit does nothing, "
          "Enter on the picture button opens the dialog")
def _(s):
    p = s.start("Tolvi.exe")
    hwnd = main_window(s)
    pid = s.info(hwnd)["pid"]
    checked = lambda text: s.driver("send", child(s, hwnd, text)["hwnd"], BM_GETCHECK).strip() == "0x1"
    check(child(s, hwnd, "休止状態")["enabled"] == "0", "hibernation enabled without its file")
    s.driver("key", hwnd, ord("5"))
    time.sleep(0.5)
    check(not checked("休止状態") and child(s, hwnd, "実 行 [Enter]")["enabled"] == "0", "digit 5 chose something")
    s.driver("key", hwnd, "alt+" + str(ord("2")))
    check(wait_for(lambda: checked("再起動")), "Alt+2 did not choose the restart")
    s.driver("key", hwnd, ord("4"))
    check(wait_for(lambda: checked("スリープ") and not checked("再起動")), "digit 4 did not choose sleep")
    # Enter on the picture button presses that button, not the execute button.
    s.driver("focus", child(s, hwnd, "選択")["hwnd"])
    s.driver("key", hwnd, VK_RETURN)
    dialog = None
    deadline = time.time() + 15
    while time.time() < deadline and not dialog:
        boxes = [w for w in s.windows() if w.get("class") == BOX and w.get("pid") == pid]
        dialog = boxes[0] if boxes else None
        time.sleep(0.2)
    check(dialog and dialog.get("title") != "情報", f"Enter on the picture button opened {dialog}")
    s.driver("post", dialog["hwnd"], 0x111, 2, 0)  # WM_COMMAND IDCANCEL
    check(wait_for(lambda: s.info(hwnd)["enabled"] == "1"), "the dialog did not close")
    s.driver("close", hwnd)
    check(p.wait(20) == 0, f"exit code {p.code}")
