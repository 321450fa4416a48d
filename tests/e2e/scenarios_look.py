"""The main window as users of Windows 10 and 11 meet it: whole captions at
every DPI, the focus where they left it after switching to another window,
and, where a visual style is on, an execute button drawn like the system's
own push buttons."""
import time

from e2e import check, scenario
from scenarios_mainwindow import child, main_window, mul_div, rect, screen_pixels, wait_for

FORM = "Tolvi.Form"

LABEL = "Tolvi.Label"
SHIFTJIS, BOLD = 128, 700
# Each label's top-left corner in the window's client area (96-DPI units:
# its place in its box, plus the box's place in the panel and the panel's
# one-pixel bevel).
LABEL_CORNERS = {
    "[&1]": (11, 13),
    "[&5]": (11, 133),
    "秒表示": (244, 268),
}


def label_font(title, dpi):
    """The font each label has in the layout, at a DPI: the driver cannot read
    another program's font, so it is described (face, pixels, weight,
    character set)."""
    if title == "秒表示":
        return "menu", (10 * dpi + 36) // 72, BOLD, SHIFTJIS  # 10 points
    return "ＭＳ Ｐゴシック", mul_div(19, dpi), BOLD, SHIFTJIS


def text_size(s, hwnd, font):
    out = s.driver("textsize", hwnd, *font).strip()
    return tuple(int(v) for v in out.split(","))


def focused(s, hwnd):
    fields = dict(part.split("=") for part in s.driver("focused", hwnd).split())
    return fields["focus"], fields["active"]


@scenario("main window look: every label shows its whole caption at 96, 144 and 192 DPI, from its place")
def _(s):
    for dpi in (96, 144, 192):
        s.set_dpi(dpi)
        p = s.start("Tolvi.exe")
        hwnd = main_window(s)
        s.screenshot(f"look-captions-{dpi}dpi")
        panel = child(s, hwnd, cls="Tolvi.Panel")
        ox, oy, _, _ = rect(panel)
        labels = [c for c in s.children(hwnd) if c.get("class") == LABEL]
        check(len(labels) == 6, f"{dpi} DPI: {len(labels)} labels")
        for label in labels:
            left, top, right, bottom = rect(label)
            need_w, need_h = text_size(s, label["hwnd"], label_font(label["title"], dpi))
            check(right - left >= need_w and bottom - top >= need_h,
                  f"{dpi} DPI: {label['title']} is {right - left}x{bottom - top}, its caption {need_w}x{need_h}")
            if label["title"] in LABEL_CORNERS:
                x, y = LABEL_CORNERS[label["title"]]
                # Each of box and label is placed in whole pixels: one off.
                check(abs(left - ox - mul_div(x, dpi)) <= 1 and abs(top - oy - mul_div(y, dpi)) <= 1,
                      f"{dpi} DPI: {label['title']} at {(left - ox, top - oy)}")
        # The clock keeps its size whatever its text.
        left, top, right, bottom = rect(child(s, hwnd, cls="Tolvi.StaticText"))
        check((right - left, bottom - top) == (mul_div(94, dpi), mul_div(26, dpi)),
              f"{dpi} DPI: the clock is {right - left}x{bottom - top}")
        s.driver("close", hwnd)
        check(p.wait(20) == 0, f"exit code {p.code}")


@scenario("main window focus: first on the first control that can take it, then back where it was after a switch, at 96, 144 and 192 DPI")
def _(s):
    for dpi in (96, 144, 192):
        s.set_dpi(dpi)
        p = s.start("Tolvi.exe")
        hwnd = main_window(s)
        s.driver("activate", hwnd)
        confirm = child(s, hwnd, "確認ダイアログ表示")["hwnd"]
        check(wait_for(lambda: focused(s, hwnd)[0] == confirm),
              f"{dpi} DPI: at start the focus is on {focused(s, hwnd)}, not the confirmation box {confirm}")
        check(child(s, hwnd, "実 行 [Enter]")["enabled"] == "0", "the first activation chose an action")
        # Alt+2 focuses and chooses the restart; Tab then goes on to the execute
        # button, now enabled. After each, another window takes the front and
        # gives it back.
        for keys, text in ((["alt+" + str(ord("2"))], "再起動"), ([0x09], "実 行 [Enter]")):
            s.driver("key", hwnd, *keys)
            target = child(s, hwnd, text)["hwnd"]
            check(wait_for(lambda: focused(s, hwnd)[0] == target), f"{dpi} DPI: {keys} left the focus on {focused(s, hwnd)}")
            out = s.driver("popup", 1500)
            check("foreground=1" in out, f"the other window did not come to the front: {out.strip()}")
            s.driver("activate", hwnd)
            check(wait_for(lambda: focused(s, hwnd) == (target, hwnd)),
                  f"{dpi} DPI: after the switch back the focus is on {focused(s, hwnd)}, not {text} {target}")
            s.screenshot(f"look-focus-back-{text.split()[0]}-{dpi}dpi")
        # The switches chose nothing else: Enter asks about the restart.
        s.driver("key", hwnd, 0x0D)
        box = s.wait_window(title="情報", cls="#32770", timeout=20)
        check(box, "Enter did not ask")
        check("再起動" in s.driver("children", box), "the question is not about the restart")
        s.driver("press", box, "いいえ(&N)")
        check(p.wait(30) == 0, f"{dpi} DPI: exit code {p.code}")


def button_pixels(pixel, left, top, right, bottom, dpi):
    """A button's frame and face away from its content and from a focus
    rectangle: its outer two pixels at the middle of each edge, and the face
    a little inside the left edge at half height."""
    mid_x, mid_y = (left + right) // 2, (top + bottom) // 2
    inner = [mul_div(v, dpi) for v in (6, 7, 8, 9)]
    return {
        "left edge": [pixel(left + i, mid_y) for i in (0, 1)],
        "right edge": [pixel(right - 1 - i, mid_y) for i in (0, 1)],
        "top edge": [pixel(mid_x, top + i) for i in (0, 1)],
        "bottom edge": [pixel(mid_x, bottom - 1 - i) for i in (0, 1)],
        "face": [pixel(left + i, mid_y) for i in inner],
    }


def close(a, b, tolerance=12):
    return all(abs(x - y) <= tolerance for pa, pb in zip(a, b) for x, y in zip(pa, pb))


@scenario("main window look: with a visual style the execute button's frame and face are the 選択 button's, at 96, 144 and 192 DPI")
def _(s):
    themed = getattr(s, "themed", False)
    for dpi in (96, 144, 192):
        s.set_dpi(dpi)
        p = s.start("Tolvi.exe")
        hwnd = main_window(s)
        # An action makes the execute button enabled; the focus stays on the
        # option, away from both buttons, so that neither draws a focus. The
        # execute button is the window's default button: 選択 is given the
        # default style too (BM_SETSTYLE), so that both are drawn in one state.
        s.driver("key", hwnd, ord("1"))
        check(wait_for(lambda: child(s, hwnd, "実 行 [Enter]")["enabled"] == "1"), "digit 1 chose no action")
        s.driver("post", child(s, hwnd, "選択")["hwnd"], 0xF4, 1, 1)  # BM_SETSTYLE, BS_DEFPUSHBUTTON, redraw
        time.sleep(0.5)
        _, pixel = screen_pixels(s, f"look-buttons-{dpi}dpi" + ("-themed" if themed else ""))
        if themed:
            ok = button_pixels(pixel, *rect(child(s, hwnd, "実 行 [Enter]")), dpi)
            select = button_pixels(pixel, *rect(child(s, hwnd, "選択")), dpi)
            for part in ok:
                check(close(ok[part], select[part]), f"{dpi} DPI: {part}: execute {ok[part]}, 選択 {select[part]}")
        s.driver("close", hwnd)
        check(p.wait(20) == 0, f"exit code {p.code}")
