"""The dialog on a laptop's screen: on a display of 1366 x 768 and one of
1280 x 720, under a window manager, the dialog opened on an A4 page at
300 dpi lies wholly on the screen, title bar included, with room to spare
below; its smallest size fits such a screen; a size stored larger than the
screen is brought down to it; and its Create button is on the screen and
makes the layer.

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

    def placement(w):
        """Where the dialog and its frame stand, its smallest size and its
        Create button, all in screen pixels."""
        geometry = ui.xdotool("getwindowgeometry", w.xid)
        x, y = map(int, re.search(r"Position: (-?\d+),(-?\d+)", geometry).groups())
        width, height = map(int, re.search(r"Geometry: (\d+)x(\d+)", geometry).groups())
        props = xprop(w.xid, "_NET_FRAME_EXTENTS", "WM_NORMAL_HINTS")
        extents = re.search(r"_NET_FRAME_EXTENTS\(CARDINAL\) = (\d+), (\d+), (\d+), (\d+)", props)
        left, right, top, bottom = map(int, extents.groups()) if extents else (0, 0, 0, 0)
        minimum = re.search(r"minimum size: (\d+) by (\d+)", props)
        create = w.find(Role.PUSH_BUTTON, "Create")
        return {"client": [x, y, width, height],
                "frame": [x - left, y - top, width + left + right, height + top + bottom],
                "minimum": [int(v) for v in minimum.groups()] if minimum else None,
                "create": [create.x, create.y, create.w, create.h]}

    def opened(w):
        """The placement once the window manager has framed the dialog."""
        ui.wait_for("the dialog to be framed",
                    lambda: "_NET_FRAME_EXTENTS(CARDINAL) =" in xprop(w.xid, "_NET_FRAME_EXTENTS"),
                    20)
        time.sleep(1.0)
        return placement(w)

    def laptop_open_grow_create(out, args):
        """First run: note the placement, make the window larger than the
        screen, Close.  Second run: note the placement, press Create."""
        screen = [int(v) for v in ui.xdotool("getdisplaygeometry").split()]
        out["screen"] = screen
        w = drive.dialog()
        out["first"] = opened(w)
        ui.xdotool("windowsize", "--sync", w.xid, screen[0] + 200, screen[1] + 200)
        time.sleep(1.0)
        out["grown"] = placement(w)["client"]
        # Its buttons now lie beyond the screen's edge.
        drive.press_action(w, "Close")
        w.wait_gone()
        w = drive.dialog()
        out["second"] = opened(w)
        w.click("Create")
        w.wait_gone(timeout=120)

    return drive.run_drives({"laptop-open-grow-create": laptop_open_grow_create})


if __name__ == "__main__":
    sys.exit(driver_main())


# ---------------------------------------------------------------------------
# The cases

from cases import case, gimp_with_own_driver  # noqa: E402
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
    expect(inside(p["create"], screen) and p["create"][2] > 0,
           "%s: the Create button %s is not on the screen" % (what, p["create"]))
    minimum = p["minimum"]
    expect(minimum and minimum[0] <= MIN_SIZE_LIMIT[0] and minimum[1] <= MIN_SIZE_LIMIT[1],
           "%s: the dialog's smallest size is %s, expected at most %dx%d"
           % ((what, minimum) + MIN_SIZE_LIMIT))


def laptop_case(t, size):
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
(e2e-put "end")''' % A4_300DPI, "laptop-open-grow-create", timeout=400)
    d = run.driver
    t.notes.append("observed: %s" % d)
    expect(d["screen"] == list(size), "the case ran on a %s screen, expected %s"
           % (d["screen"], list(size)))
    expect_on_screen(d, "first", "first run")
    expect(d["grown"][3] > size[1], "the window could not be made larger than the screen: %s"
           % d["grown"])
    expect_on_screen(d, "second", "after a close at %dx%d" % tuple(d["grown"][2:]))
    expect(run["new-layers"] == "1", "Create made %s layers, expected 1" % run["new-layers"])
    expect(run.ints("layer.size") == list(A4_300DPI),
           "the layer is %s, expected the A4 page's %s" % (run["layer.size"], A4_300DPI))


@case("laptop-1366x768", window_manager=True, screen=(1366, 768))
def laptop_1366x768(t):
    laptop_case(t, (1366, 768))


@case("laptop-1280x720", window_manager=True, screen=(1280, 720))
def laptop_1280x720(t):
    laptop_case(t, (1280, 720))
