"""Cases of on-canvas editing in the preview."""

import os
import re

from cases import case, AFTER_RUN, expect_layer, expect_own_settings
from runner import Fail, Skip, expect


@case("preview-drag-centre")
def preview_drag_centre(t):
    run = t.gimp(r'''
(define made (e2e-new-image 640 480 RGB))
(define img (car made))
(define bg (cadr made))
(define before (e2e-layer-ids img))
(e2e-zipstroke RUN-INTERACTIVE img bg)
''' + AFTER_RUN + '(e2e-put "end")', drive="drag-centre", drive_args=("60", "-40"))
    d = run.driver
    if d.get("unchanged"):
        raise Fail("dragging the centre on the preview left it at %s" % (d.get("before"),))
    x, y = d["after"]
    expect(x > d["before"][0] and y < d["before"][1],
           "the centre moved from %s to %s, expected right and up" % (d["before"], d["after"]))
    expect_layer(run, (640, 480), (0, 0))
    ref = t.render("ref.png", "640x480", sets=("radiation_x=%r" % x, "radiation_y=%r" % y))
    t.expect_same_alpha(run.path("layer.png"), ref, "layer after the drag (centre %g, %g)" % (x, y))


@case("preview-drag-band")
def preview_drag_band(t):
    run = t.gimp(r'''
(define made (e2e-new-image 640 480 RGB))
(define img (car made))
(define bg (cadr made))
(define before (e2e-layer-ids img))
(e2e-zipstroke RUN-INTERACTIVE img bg)
''' + AFTER_RUN + '(e2e-put "end")', drive="drag-band", drive_args=("25", "-50"))
    d = run.driver
    before, after = d["before"], d["after"]
    moves = [a - b for a, b in zip(after, before)]
    t.notes.append("centres %s -> %s" % (before, after))
    expect(moves[0] == moves[2] and moves[1] == moves[3] and any(moves),
           "a band drag moved the centres by %s, expected both alike" % moves)
    # 50 screen pixels up at the preview's fitting scale.
    pw, ph = d["preview"][2], d["preview"][3]
    up = 50 / min(pw / 640.0, ph / 480.0, 1.0)
    expect(abs(moves[1] + up) <= 1.5, "the band moved %g up, expected %.1f (preview %dx%d)"
           % (-moves[1], up, pw, ph))
    expect_layer(run, (640, 480), (0, 0))
    sets = ["area_type=1", "parallel_in_x=%r" % after[0], "parallel_in_Y=%r" % after[1],
            "parallel_out_x=%r" % after[2], "parallel_out_Y=%r" % after[3]]
    ref = t.render("ref.png", "640x480", sets=sets)
    t.expect_same_alpha(run.path("layer.png"), ref, "layer after the band drag")


@case("preview-freehand-outline")
def preview_freehand_outline(t):
    run = t.gimp(r'''
(define made (e2e-new-image 640 480 RGB))
(define img (car made))
(define bg (cadr made))
(define before (e2e-layer-ids img))
(e2e-zipstroke RUN-INTERACTIVE img bg)
''' + AFTER_RUN + '(e2e-put "end")', drive="freehand-outer")
    expect_layer(run, (640, 480), (0, 0))
    if run.get("has-parasite") != "1":
        raise Skip("the layer carries no settings text to render the drawn outline from")
    text = open(run.path("parasite.txt"), encoding="utf-8").read()
    expect("radiation_out_freehand_active=true" in text,
           "the outer outline is not active in the layer's settings")
    points = [float(v) for v in re.search(r"^radiation_out_freehand_points=(.*)$", text, re.M)
              .group(1).rstrip(";").split(";")]
    factors = points[1::2]
    changed = [f for f in factors if abs(f - 1.0) > 1e-9]
    t.notes.append("%d samples redrawn, factors %.3f..%.3f" % (len(changed), min(changed or [1]),
                                                              max(changed or [1])))
    expect(40 <= len(changed) <= 250,
           "%d samples changed by the stroke, expected those of about 60 degrees" % len(changed))
    expect(all(0.3 < f < 0.9 for f in changed),
           "the stroke at about half the distance gave factors %.3f..%.3f"
           % (min(changed), max(changed)))
    expect_own_settings(t, run, "640x480")
    default = t.render("default.png", "640x480")
    import pngread
    diff = pngread.alpha_difference(run.path("layer.png"), default)
    expect(not isinstance(diff, str) and diff[0] > 0, "the outline changed nothing in the layer")


def _shades(path, box):
    """Counts of black (< 40), white (> 215) and other pixels of the grey
    levels in box (x0, y0, x1, y1) of a screenshot."""
    import pngread
    img = pngread.read(path)
    counts = [0, 0, 0]
    for y in range(box[1], min(box[3], img.height)):
        for x in range(box[0], min(box[2], img.width)):
            v = sum(img.pixel(x, y)[:3]) / 3
            counts[0 if v < 40 else 1 if v > 215 else 2] += 1
    return counts


@case("preview-zoom-sharp")
def preview_zoom_sharp(t):
    """Fine line art (one-pixel stripes) shows as their mean grey at fitting,
    and as sharp black and white stripes at 400 %, where the preview fetches
    the part in view at the image's own pixels."""
    fit, zoomed = os.path.join(t.root, "fit.png"), os.path.join(t.root, "zoomed.png")
    t.gimp(r'''
(define made (e2e-new-image 2000 1500 RGB))
(define img (car made))
(define bg (cadr made))
(let loop ((x 700)) (when (< x 1300) (gimp-image-select-rectangle img CHANNEL-OP-ADD x 450 1 600) (loop (+ x 2))))
(gimp-drawable-edit-fill bg FILL-FOREGROUND)
(gimp-selection-none img)
(e2e-zipstroke RUN-INTERACTIVE img bg)
(e2e-put "end")''', drive="zoom-shot", drive_args=(fit, zoomed, "4"))
    # Inside the inner ellipse around the preview's middle: no lines, no guides but the centre's handle.
    black, white, other = _shades(zoomed, (30, 150, 230, 300))
    t.notes.append("400 %%: %d black, %d white, %d other pixels" % (black, white, other))
    expect(black > 5000 and white > 5000 and other < (black + white) // 20,
           "at 400 %% the stripes are not sharp: %d black, %d white, %d other" % (black, white, other))
    # Left of the centre's handle, inside the stripes in both dialogs' layouts.
    black, white, other = _shades(fit, (195, 345, 235, 400))
    t.notes.append("fitting: %d black, %d white, %d other pixels" % (black, white, other))
    expect(other > (black + white) * 4,
           "at fitting the stripes are not their mean grey: %d black, %d white, %d other"
           % (black, white, other))
