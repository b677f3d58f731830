"""Cases of the layer the filter adds: size, place, type and pixels."""

from cases import case, AFTER_RUN, expect_layer, expect_own_settings
from runner import expect


@case("rgb-no-selection")
def rgb_no_selection(t):
    run = t.gimp(r'''
(define made (e2e-new-image 640 480 RGB))
(define img (car made))
(define bg (cadr made))
(define top (e2e-new-layer img 640 480 RGBA-IMAGE "Top"))
(gimp-image-insert-layer img top 0 0)
(e2e-set-active-layer img bg)
(define before (e2e-layer-ids img))
(e2e-put "return" (car (e2e-zipstroke RUN-INTERACTIVE img bg)))
''' + AFTER_RUN + r'''
(e2e-put "bg-position" (car (gimp-image-get-item-position img bg)))
(e2e-put "top-position" (car (gimp-image-get-item-position img top)))
(e2e-put "end")''', drive="create")
    expect_layer(run, (640, 480), (0, 0))
    expect(run["return"] == "-1", "the procedure returned layer %s, expected -1" % run["return"])
    # Directly above the active layer "Background", below "Top".
    expect((run["top-position"], run["layer.position"], run["bg-position"]) == ("0", "1", "2"),
           "positions top/new/background %s/%s/%s, expected 0/1/2"
           % (run["top-position"], run["layer.position"], run["bg-position"]))
    expect(run["layer.parent"] == "-1", "the layer went into a group")
    expect(run["selection"].split()[0] == "0", "a selection appeared: %s" % run["selection"])
    ref = t.render("ref.png", "640x480")
    t.expect_same_alpha(run.path("layer.png"), ref, "640x480 layer")
    expect_own_settings(t, run, "640x480")


@case("rectangular-selection")
def rectangular_selection(t):
    run = t.gimp(r'''
(define made (e2e-new-image 640 480 RGB))
(define img (car made))
(define bg (cadr made))
(gimp-image-select-rectangle img CHANNEL-OP-REPLACE 40 30 200 100)
(e2e-put "selection-before" (e2e-selection img))
(define before (e2e-layer-ids img))
(e2e-zipstroke RUN-INTERACTIVE img bg)
''' + AFTER_RUN + '(e2e-put "end")', drive="create")
    expect_layer(run, (200, 100), (40, 30))
    expect(run["selection"] == run["selection-before"],
           "selection %s afterwards, %s before" % (run["selection"], run["selection-before"]))
    expect(run["selection"].split() == ["1", "40", "30", "240", "130"],
           "selection %s" % run["selection"])
    ref = t.render("ref.png", "200x100")
    t.expect_same_alpha(run.path("layer.png"), ref, "selection layer")
    expect_own_settings(t, run, "200x100")


@case("grey-image")
def grey_image(t):
    run = t.gimp(r'''
(define made (e2e-new-image 320 240 GRAY))
(define img (car made))
(define bg (cadr made))
(define before (e2e-layer-ids img))
(e2e-zipstroke RUN-INTERACTIVE img bg)
''' + AFTER_RUN + '(e2e-put "end")', drive="create")
    expect_layer(run, (320, 240), (0, 0), kind=3)
    ref = t.render("ref.png", "320x240")
    t.expect_same_alpha(run.path("layer.png"), ref, "grey-alpha layer")
    import pngread
    img = pngread.read(run.path("layer.png"))
    expect(img.channels == 2, "the exported layer has %d channels, expected grey-alpha" % img.channels)
    greys = set(img.data[0::2])
    # The default line colour is black: intensity 0 everywhere.
    expect(greys == {0}, "grey values %s, expected only 0 (black lines)" % sorted(greys)[:10])


@case("layer-group")
def layer_group(t):
    run = t.gimp(r'''
(define made (e2e-new-image 400 300 RGB))
(define img (car made))
(define bg (cadr made))
(define group (e2e-new-group img "Group"))
(gimp-image-insert-layer img group 0 0)
(define inner (e2e-new-layer img 400 300 RGBA-IMAGE "Inner"))
(gimp-image-insert-layer img inner group 0)
(e2e-set-active-layer img group)
(define before (e2e-layer-ids img))
(e2e-zipstroke RUN-INTERACTIVE img group)
(e2e-put "group" group)
(e2e-put "top-level" (length (e2e-layer-ids img)))
(e2e-put "children" (length (e2e-item-ids-in group)))
(let ((new (e2e-new-layers img before))) (e2e-put "new-top-level" (length new)))
(let ((kids (e2e-item-ids-in group)))
  (if (= (length kids) 2)
      (begin
        (e2e-layer-facts "layer" img (car kids))
        (e2e-export img (car kids) "layer.png"))))
(e2e-put "end")''', drive="create")
    expect(run["new-top-level"] == "0", "a layer was added outside the group")
    expect(run["children"] == "2", "the group holds %s layers, expected 2" % run["children"])
    expect(run["layer.name"] == "Zipstroke Layer", "first child of the group is %r" % run["layer.name"])
    expect(run["layer.parent"] == run["group"], "the new layer's parent is not the group")
    ref = t.render("ref.png", "400x300")
    t.expect_same_alpha(run.path("layer.png"), ref, "layer in group")


@case("indexed-image-refused")
def indexed_image_refused(t):
    # The menu is not offered for indexed images, but a script can still call
    # the procedure: Create must leave the image as it was.
    run = t.gimp(r"""
(define made (e2e-new-image 200 150 RGB))
(define img (car made))
(define bg (cadr made))
(gimp-image-convert-indexed img CONVERT-DITHER-NONE CONVERT-PALETTE-GENERATE 16 0 0 "")
(define before (e2e-layer-ids img))
(e2e-zipstroke RUN-INTERACTIVE img bg)
(e2e-put "new-layers" (length (e2e-new-layers img before)))
(e2e-put "layers" (length (e2e-layer-ids img)))
(e2e-put "base-type" (e2e-base-type img))
(e2e-put "end")""", drive="create")
    expect(run["base-type"] == "2", "the image is not indexed (%s)" % run["base-type"])
    expect(run["new-layers"] == "0" and run["layers"] == "1",
           "Create changed the layers of an indexed image (%s layers)" % run["layers"])


# Once is enough for the time it takes: the GIMP 3 run stays short.
@case("large-image", gimp=(2,))
def large_image(t):
    # 4000 x 3000: the whole path at a size photographers use, timed from the
    # press of "Create" to the dialog closing.
    run = t.gimp(r"""
(define made (e2e-new-image 4000 3000 RGB))
(define img (car made))
(define bg (cadr made))
(define before (e2e-layer-ids img))
(e2e-zipstroke RUN-INTERACTIVE img bg)
""" + AFTER_RUN + '(e2e-put "end")', drive="timed-create", timeout=400)
    expect_layer(run, (4000, 3000), (0, 0))
    ref = t.render("ref.png", "4000x3000")
    t.expect_same_alpha(run.path("layer.png"), ref, "4000x3000 layer")
    t.notes.append("Create of 4000x3000 took %ss" % run.driver.get("create_seconds"))


@case("undo-removes-layer")
def undo_removes_layer(t):
    # GUI GIMP: undo is only reachable through the image window.  The second
    # run of the filter only holds the script while Ctrl+Z is pressed.
    run = t.gimp(r'''
(define made (e2e-new-image 320 240 RGB))
(define img (car made))
(define bg (cadr made))
(gimp-image-select-rectangle img CHANNEL-OP-REPLACE 40 30 200 100)
(gimp-image-clean-all img)
(gimp-display-new img)
(gimp-displays-flush)
(define before (e2e-layer-ids img))
(e2e-zipstroke RUN-INTERACTIVE img bg)
(e2e-put "after-create" (length (e2e-layer-ids img)))
(e2e-zipstroke RUN-INTERACTIVE img bg)
(e2e-put "after-undo" (length (e2e-layer-ids img)))
(e2e-put "names" (map (lambda (l) (car (gimp-item-get-name l))) (e2e-layer-ids img)))
(e2e-put "selection" (e2e-selection img))
(e2e-put "channels" (e2e-channel-count img))
(gimp-image-clean-all img)
(e2e-put "end")''', drive="create-then-undo", gui=True, timeout=180)
    expect(run["after-create"] == "2", "%s layers after Create, expected 2" % run["after-create"])
    expect(run["after-undo"] == "1",
           "%s layers after one undo, expected 1 (%s)" % (run["after-undo"], run["names"]))
    expect(run["selection"].split() == ["1", "40", "30", "240", "130"],
           "the selection after the undo is %s" % run["selection"])
    expect(run["channels"] == "0", "%s channels left after the undo" % run["channels"])


@case("active-channel")
def active_channel(t):
    # With a channel active the image has no active layer: the streak layer
    # still arrives, on top of the stack.
    run = t.gimp(r'''
(define made (e2e-new-image 300 200 RGB))
(define img (car made))
(define bg (cadr made))
(define chan (e2e-new-channel img 300 200 "Mask" 50 '(255 0 0)))
(gimp-image-insert-channel img chan 0 0)
(e2e-set-active-channel img chan)
(e2e-put "active-layer-before" (e2e-active-layer img))
(define before (e2e-layer-ids img))
(e2e-zipstroke RUN-INTERACTIVE img chan)
(e2e-put "layers" (length (e2e-layer-ids img)))
''' + AFTER_RUN + '(e2e-put "end")', drive="create")
    t.notes.append("active layer before: %s" % run["active-layer-before"])
    expect_layer(run, (300, 200), (0, 0), channels=1)
    expect(run["layer.position"] == "0", "the layer went to position %s" % run["layer.position"])
    ref = t.render("ref.png", "300x200")
    t.expect_same_alpha(run.path("layer.png"), ref, "layer made with a channel active")
