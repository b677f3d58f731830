"""Cases of on-canvas editing in the preview."""

from cases import case, AFTER_RUN, expect_layer
from runner import Fail, expect


@case("preview-drag-centre")
def preview_drag_centre(t):
    run = t.gimp(r'''
(define made (e2e-new-image 640 480 RGB))
(define img (car made))
(define bg (cadr made))
(define before (e2e-layer-ids img))
(plugin-zipstroke RUN-INTERACTIVE img bg)
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
