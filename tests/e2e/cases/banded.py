"""The banded layer output in the real GIMP: a work area wider than one
image surface can be (32767 pixels) gets its layer, with the pixels of
zipstroke-render at the same size."""

from cases import case, AFTER_RUN, expect_layer, expect_own_settings


# GIMP 2.10 only: GIMP 3's wide Create is checked by the GIMP 3 host check
# (tests/gimp3/host_check), which compares a 33000 x 100 layer the same way.
@case("wider-than-a-surface", gimp=(2,))
def wider_than_a_surface(t):
    run = t.gimp(r'''
(define made (e2e-new-image 33000 100 RGB))
(define img (car made))
(define bg (cadr made))
(define before (e2e-layer-ids img))
(plugin-zipstroke RUN-INTERACTIVE img bg)
''' + AFTER_RUN + '(e2e-put "end")', drive="create", timeout=300)
    expect_layer(run, (33000, 100), (0, 0))
    ref = t.render("ref.png", "33000x100")
    t.expect_same_alpha(run.path("layer.png"), ref, "33000x100 layer")
    expect_own_settings(t, run, "33000x100")
