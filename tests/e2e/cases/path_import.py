"""The Path area's spine taken from a path the image holds: Script-Fu makes a
curved path in GIMP, the drive picks the Path area, presses "From Path" and
Create, and the layer's lines follow the path, not the default arc.

The dialog is worked by this file's own drive: run as a program
(python3 path_import.py DRIVE WORKDIR [ARGS...]) it adds it to drive.py's and
runs that driver's main."""

import os
import sys
import time

E2E_DIR = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def driver_main():
    sys.path.insert(0, E2E_DIR)
    import drive
    import ui
    from ui import Role

    def from_path(out, args):
        """Path area, "From Path", then Create; notes the spine's label
        before and after and whether the button was sensitive."""
        w = drive.dialog()
        w.click("Path", role=Role.RADIO_BUTTON)
        button = w.find(Role.PUSH_BUTTON, "From Path", timeout=20)
        out["sensitive"] = button.sensitive()

        def spine_label():
            return w.beside("Spine:", Role.LABEL).name
        out["before"] = spine_label()
        w.click("From Path")
        ui.wait_for("the spine to change", lambda: spine_label() != out["before"], 10)
        out["after"] = spine_label()
        time.sleep(0.3)
        w.click("Create")
        w.wait_gone()

    return drive.run_drives({"from-path": from_path})


if __name__ == "__main__":
    sys.exit(driver_main())


# ---------------------------------------------------------------------------
# The case

import pngread  # noqa: E402
from cases import case, gimp_with_own_driver, AFTER_RUN, expect_layer, expect_own_settings  # noqa: E402,E501
from runner import GIMP, expect  # noqa: E402

# A curve hanging down through the selection (40, 30, 320 x 240): from
# (60, 100) to (340, 100) with its control point at (200, 300), so its middle
# lies at (200, 200) in the image, (160, 170) in the work area.  The default
# arc bulges the other way, through (160, 90).
PATH_SCHEME = {
    2: r'''
(define path (car (gimp-vectors-new img "swoosh")))
(gimp-image-insert-vectors img path 0 0)
(define stroke (car (gimp-vectors-bezier-stroke-new-moveto path 60 100)))
(gimp-vectors-bezier-stroke-conicto path stroke 200 300 340 100)
(gimp-image-set-active-vectors img path)
''',
    3: r'''
(define path (car (gimp-path-new img "swoosh")))
(gimp-image-insert-path img path 0 0)
(define stroke (car (gimp-path-bezier-stroke-new-moveto path 60 100)))
(gimp-path-bezier-stroke-conicto path stroke 200 300 340 100)
(gimp-image-set-selected-paths img (vector path))
''',
}


def covered(layer, x0, y0, x1, y1):
    """Pixels with any alpha in the box x0 <= x < x1, y0 <= y < y1."""
    alpha = layer.alpha()
    return sum(1 for y in range(y0, y1) for x in range(x0, x1) if alpha[y * layer.width + x] > 0)


@case("path-from-image-path")
def path_from_image_path(t):
    run = gimp_with_own_driver(t, __file__, r'''
(define made (e2e-new-image 400 300 RGB))
(define img (car made))
(define bg (cadr made))
(gimp-image-select-rectangle img CHANNEL-OP-REPLACE 40 30 320 240)
''' + PATH_SCHEME[GIMP.version] + r'''
(define before (e2e-layer-ids img))
(e2e-zipstroke RUN-INTERACTIVE img bg)
''' + AFTER_RUN + '(e2e-put "end")', "from-path")
    d = run.driver
    expect(d["sensitive"], "From Path was greyed out with a path in the image")
    expect(d["after"] != d["before"], "the spine still reads %r" % d["after"])
    expect_layer(run, (320, 240), (40, 30))
    layer = pngread.read(run.path("layer.png"))
    near = covered(layer, 150, 160, 170, 180)
    default_arc = covered(layer, 150, 80, 170, 100)
    expect(near > 40, "%d pixels covered about the path's middle (160, 170)" % near)
    expect(default_arc == 0, "%d pixels covered about the default arc's middle" % default_arc)
    text = open(run.path("parasite.txt"), encoding="utf-8").read()
    line = [x for x in text.splitlines() if x.startswith("path_spine_points=")][0]
    values = [float(v) for v in line.split("=", 1)[1].split(";") if v]
    ends = [round(v) for v in values[:2] + values[-2:]]
    expect(ends == [20, 70, 300, 70], "the spine runs %s, expected 20;70 .. 300;70" % ends)
    expect(2 <= len(values) // 2 <= 1000, "%d spine points" % (len(values) // 2))
    expect_own_settings(t, run, "320x240")
