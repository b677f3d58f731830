"""The dialog on a laptop's screen: on a display of 1366 x 768 and one of
1280 x 720, under a window manager, the dialog opened on an A4 page at
300 dpi lies wholly on the screen, title bar included, with room to spare
below; its smallest size fits such a screen; a size stored larger than the
screen is brought down to it; and its buttons are on the screen and its
Create makes the layer.  On 1280 x 720 all this holds in English, in German
(the longest texts) and in Japanese (the CJK font).

The dialog is worked by this file's own drive: run as a program (python3
laptop.py DRIVE WORKDIR [ARGS...]) it adds it to drive.py's and runs that
driver's main."""

import os
import re
import subprocess
import sys
import time

E2E_DIR = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

A4_300DPI = (2480, 3508)
# The buttons under the pages, which must stay on the screen.
BUTTONS = ("Create", "Close", "Reset", "Edit Layer")
# The smallest the dialog may be, and the height it must leave free.
MIN_SIZE_LIMIT = (1200, 620)
SPARE_HEIGHT = 60


# ---------------------------------------------------------------------------
# The driver side (runs in its own process beside GIMP)

def driver_main():
    sys.path.insert(0, E2E_DIR)
    import drive
    import ui
    from ui import Role

    def xprop(xid, *names):
        return subprocess.run(["xprop", "-id", str(xid)] + list(names),
                              capture_output=True, text=True, timeout=30).stdout

    def placement(w, buttons):
        """Where the dialog and its frame stand, its smallest size and its
        buttons (names in the dialog's language), all in screen pixels."""
        geometry = ui.xdotool("getwindowgeometry", w.xid)
        x, y = map(int, re.search(r"Position: (-?\d+),(-?\d+)", geometry).groups())
        width, height = map(int, re.search(r"Geometry: (\d+)x(\d+)", geometry).groups())
        props = xprop(w.xid, "_NET_FRAME_EXTENTS", "WM_NORMAL_HINTS")
        extents = re.search(r"_NET_FRAME_EXTENTS\(CARDINAL\) = (\d+), (\d+), (\d+), (\d+)", props)
        left, right, top, bottom = map(int, extents.groups()) if extents else (0, 0, 0, 0)
        minimum = re.search(r"minimum size: (\d+) by (\d+)", props)
        boxes = {}
        for name in buttons:
            # The lowest of that name: the page's outlines have a Reset too.
            w.find(Role.PUSH_BUTTON, name)
            b = max((x for x in w.widgets() if x.role == Role.PUSH_BUTTON and x.name == name),
                    key=lambda x: x.y)
            boxes[name] = [b.x, b.y, b.w, b.h]
        return {"client": [x, y, width, height],
                "frame": [x - left, y - top, width + left + right, height + top + bottom],
                "minimum": [int(v) for v in minimum.groups()] if minimum else None,
                "buttons": boxes}

    def opened(w, buttons):
        """The placement once the window manager has framed the dialog."""
        ui.wait_for("the dialog to be framed",
                    lambda: "_NET_FRAME_EXTENTS(CARDINAL) =" in xprop(w.xid, "_NET_FRAME_EXTENTS"),
                    20)
        time.sleep(1.0)
        return placement(w, buttons)

    def laptop_open_grow_create(out, args):
        """args: the names of the buttons in the dialog's language, Create
        and Close first.  First run: note the placement, make the window
        larger than the screen, Close.  Second run: note the placement,
        press Create."""
        create, close = args[0], args[1]
        screen = [int(v) for v in ui.xdotool("getdisplaygeometry").split()]
        out["screen"] = screen
        w = drive.dialog(create=create)
        out["first"] = opened(w, args)
        ui.xdotool("windowsize", "--sync", w.xid, screen[0] + 200, screen[1] + 200)
        time.sleep(1.0)
        out["grown"] = placement(w, args)["client"]
        # Its buttons now lie beyond the screen's edge.
        drive.press_action(w, close)
        w.wait_gone()
        w = drive.dialog(create=create)
        out["second"] = opened(w, args)
        w.click(create)
        w.wait_gone(timeout=120)

    return drive.run_drives({"laptop-open-grow-create": laptop_open_grow_create})


if __name__ == "__main__":
    sys.exit(driver_main())


# ---------------------------------------------------------------------------
# The cases

from cases import case, gimp_with_own_driver  # noqa: E402
from cases.languages import catalogue, language_env  # noqa: E402
from runner import expect  # noqa: E402


def inside(box, screen):
    x, y, w, h = box
    return x >= 0 and y >= 0 and x + w <= screen[0] and y + h <= screen[1]


def expect_on_screen(d, key, what):
    screen = d["screen"]
    p = d[key]
    expect(inside(p["frame"], screen),
           "%s: the dialog's frame %s does not lie on the %dx%d screen (client %s)"
           % (what, p["frame"], screen[0], screen[1], p["client"]))
    spare = screen[1] - p["frame"][3]
    expect(spare >= SPARE_HEIGHT, "%s: the dialog's frame %s leaves %d px of the screen's "
           "height, expected at least %d" % (what, p["frame"], spare, SPARE_HEIGHT))
    off = {name: box for name, box in p["buttons"].items()
           if not (inside(box, screen) and box[2] > 0)}
    expect(not off, "%s: the buttons %s are not on the screen" % (what, off))
    minimum = p["minimum"]
    expect(minimum and minimum[0] <= MIN_SIZE_LIMIT[0] and minimum[1] <= MIN_SIZE_LIMIT[1],
           "%s: the dialog's smallest size is %s, expected at most %dx%d"
           % ((what, minimum) + MIN_SIZE_LIMIT))


def laptop_case(t, size, lang="en"):
    """The case in lang: GIMP in that language's session, its buttons found
    by their names in it."""
    tr = catalogue(lang).gettext if lang != "en" else str
    run = gimp_with_own_driver(t, __file__, r'''
(define made (e2e-new-image %d %d RGB))
(define img (car made))
(define bg (cadr made))
(gimp-image-set-resolution img 300 300)
(e2e-zipstroke RUN-INTERACTIVE img bg)
(e2e-zipstroke RUN-INTERACTIVE img bg)
(define new (e2e-new-layers img (list bg)))
(e2e-put "new-layers" (length new))
(if (= (length new) 1) (e2e-layer-facts "layer" img (car new)))
(e2e-put "end")''' % A4_300DPI, "laptop-open-grow-create", [tr(b) for b in BUTTONS],
        timeout=400, tag=lang, environ=language_env(lang) if lang != "en" else None)
    d = run.driver
    t.notes.append("%s: %s" % (lang, d))
    expect(d["screen"] == list(size), "the case ran on a %s screen, expected %s"
           % (d["screen"], list(size)))
    expect_on_screen(d, "first", "%s, first run" % lang)
    expect(d["grown"][3] > size[1], "the window could not be made larger than the screen: %s"
           % d["grown"])
    expect_on_screen(d, "second", "%s, after a close at %dx%d" % ((lang,) + tuple(d["grown"][2:])))
    expect(run["new-layers"] == "1", "%s: Create made %s layers, expected 1"
           % (lang, run["new-layers"]))
    expect(run.ints("layer.size") == list(A4_300DPI),
           "the layer is %s, expected the A4 page's %s" % (run["layer.size"], A4_300DPI))


@case("laptop-1366x768", window_manager=True, screen=(1366, 768))
def laptop_1366x768(t):
    laptop_case(t, (1366, 768))


@case("laptop-1280x720", window_manager=True, screen=(1280, 720))
def laptop_1280x720(t):
    # English, German (the longest texts) and Japanese (the CJK font).
    for lang in ("en", "de", "ja"):
        laptop_case(t, (1280, 720), lang)
