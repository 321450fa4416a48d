"""A large saved picture: the main window shows at once and its preview
follows, and the picture with the confirmation on, answered Yes and No."""
import subprocess
import time


from e2e import check, scenario
from scenarios_exitseq import close_to, engine_calls, screen_pixel, wait_gone
from scenarios_mainwindow import child, main_window, rect, settings_bytes, settings_path, wait_for

FORM = "Tolvi.Form"
BOX = "#32770"
VK_RETURN = 0x0D
ENGINE = "user32.ExitWindowsEx;kernel32.SetSystemPowerState;powrprof.*"


def big_png(s, name="Big.png"):
    """A 6000 x 4000 PNG in C:\\pics, red on the left half and blue on the right."""
    folder = s.c_drive / "pics"
    folder.mkdir(exist_ok=True)
    subprocess.run(["convert", "-size", "3000x4000", "xc:red", "-size", "3000x4000", "xc:blue", "+append",
                    "PNG24:" + str(folder / name)], check=True)
    return "C:\\pics\\" + name


def save_settings(s, confirm, picture, time_):
    path = settings_path(s)
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_bytes(settings_bytes(confirm, picture, time_))
    return path.read_bytes()


@scenario("picture: a saved 24 MP PNG; the window shows, the preview follows, Tolvi.ini unchanged on closing")
def _(s):
    saved = save_settings(s, 0, big_png(s), 5)
    p = s.start("Tolvi.exe")
    hwnd = main_window(s)
    image = child(s, hwnd, cls="Tolvi.Image")
    left, top, right, bottom = rect(image)
    middle = (top + bottom) // 2

    def drawn():
        s.screenshot("picture-big-png-preview")
        bmp = s.dir / "picture-big-png-preview.bmp"
        return (close_to(screen_pixel(bmp, left + 5, middle), (255, 0, 0)) and
                close_to(screen_pixel(bmp, right - 5, middle), (0, 0, 255)))
    check(wait_for(drawn, timeout=20), "the preview never showed the picture")
    check(child(s, hwnd, cls="Tolvi.UpDown")["enabled"] == "1", "time controls disabled with a picture")
    s.driver("close", hwnd)
    check(p.wait(20) == 0, f"exit code {p.code}")
    got = settings_path(s).read_bytes()
    check(got == saved, f"Tolvi.ini changed:\n{got!r}\n{saved!r}")


def confirm_log_off(s, hwnd):
    """3, then Enter: log off, which asks in the box."""
    s.driver("key", hwnd, ord("3"))
    time.sleep(0.3)
    s.driver("key", hwnd, VK_RETURN)
    box = s.wait_window(title="情報", cls=BOX, timeout=20)
    check(box, "no confirmation box")
    return box


@scenario("picture: with the confirmation, Yes shows the picture over the whole screen, then the action")
def _(s):
    save_settings(s, 1, big_png(s), 30)
    p = s.start("Tolvi.exe", relay_include=ENGINE)
    hwnd = main_window(s)
    box = confirm_log_off(s, hwnd)
    s.driver("press", box, "はい(&Y)")
    wnd = None
    deadline = time.time() + 20
    while time.time() < deadline and not wnd:
        found = [w for w in s.windows() if w.get("class") == FORM and rect(w)[:2] == (0, 0)]
        wnd = found[0]["hwnd"] if found else None
        time.sleep(0.2)
    check(wnd, "no picture window after Yes")
    check(rect(s.info(wnd)) == (0, 0, 1280, 800), f"the picture window does not cover the screen: {s.info(wnd)}")
    time.sleep(0.5)
    s.screenshot("picture-after-yes")
    bmp = s.dir / "picture-after-yes.bmp"
    # The picture fills the window: red to its left edge, blue to its right.
    for x, want in ((2, (255, 0, 0)), (637, (255, 0, 0)), (642, (0, 0, 255)), (1277, (0, 0, 255))):
        check(close_to(screen_pixel(bmp, x, 400), want), f"at {x}: {screen_pixel(bmp, x, 400)}, not {want}")
    s.driver("key", wnd, VK_RETURN)
    check(wait_gone(s, wnd, 10), "the picture window stayed after Enter")
    check(p.wait(30) == 0, f"exit code {p.code}")
    check(engine_calls(p) == ["user32.ExitWindowsEx(00000000,00000000)"], f"engine calls {engine_calls(p)}")


@scenario("picture: with the confirmation, No while the picture is still decoding ends the program at once")
def _(s):
    save_settings(s, 1, big_png(s), 30)
    p = s.start("Tolvi.exe", relay_include=ENGINE)
    hwnd = main_window(s)
    box = confirm_log_off(s, hwnd)
    pressed = time.time()
    s.driver("press", box, "いいえ(&N)")
    check(p.wait(20) == 0, f"exit code {p.code}")
    check(time.time() - pressed < 5, f"the program took {time.time() - pressed:.1f} s to end after No")
    check(not [w for w in s.windows() if w.get("class") == FORM], "a window is left")
    check(engine_calls(p) == [], f"engine calls after No: {engine_calls(p)}")
