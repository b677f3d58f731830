"""Cases of re-editing a streak layer from the settings it carries."""

import os
import re

from cases import case
from runner import Skip, expect


@case("edit-layer")
def edit_layer(t):
    xcf = os.path.join(t.root, "streaks.xcf")
    first = t.gimp(r'''
(define made (e2e-new-image 320 240 RGB))
(define img (car made))
(define bg (cadr made))
(define before (e2e-layer-ids img))
(plugin-zipstroke RUN-INTERACTIVE img bg)
(let ((new (e2e-new-layers img before)))
  (e2e-put "new-layers" (length new))
  (if (= (length new) 1)
      (let ((text (e2e-parasite-text (car new))))
        (e2e-put "has-parasite" (if text 1 0))
        (if text (e2e-save-text "parasite.txt" text))
        (e2e-export img (car new) "layer.png"))))
(gimp-xcf-save RUN-NONINTERACTIVE img bg "%s" "%s")
(e2e-put "end")''' % (xcf, xcf), drive="create")
    expect(first["new-layers"] == "1", "the first run made no layer")
    if first["has-parasite"] != "1":
        raise Skip("the streak layer carries no \"plugin-zipstroke\" parasite")
    original_text = open(first.path("parasite.txt"), "rb").read()
    run = t.gimp(r'''
(define img (car (gimp-file-load RUN-NONINTERACTIVE "%s" "%s")))
(gimp-image-clean-all img)
(gimp-display-new img)
(define streak (car (gimp-image-get-layer-by-name img "Zipstroke Layer")))
(gimp-image-set-active-layer img streak)
(e2e-put "loaded-parasite" (if (e2e-parasite-text streak) 1 0))
(plugin-zipstroke RUN-INTERACTIVE img streak)
(e2e-put "layers" (length (e2e-layer-ids img)))
; Apply puts a redrawn copy in the layer's place.
(define edited (car (gimp-image-get-active-layer img)))
(e2e-layer-facts "layer" img edited)
(e2e-export img edited "edited.png")
(e2e-save-text "edited.txt" (or (e2e-parasite-text edited) ""))
(plugin-zipstroke RUN-INTERACTIVE img edited)
(e2e-export img streak "undone.png")
(e2e-save-text "undone.txt" (or (e2e-parasite-text streak) ""))
(gimp-image-clean-all img)
(e2e-put "end")''' % (xcf, xcf), drive="edit-layer", drive_args=("14",), gui=True, timeout=240)
    d = run.driver
    expect(run["loaded-parasite"] == "1", "the parasite did not survive the XCF")
    expect(d.get("pitch_loaded") == 10.0, "Edit Layer loaded pitch %s, expected 10" % d.get("pitch_loaded"))
    expect(run["layers"] == "2", "editing changed the layer count to %s" % run["layers"])
    expect(run.ints("layer.size") == [320, 240] and run.ints("layer.offsets") == [0, 0],
           "the edited layer is %s at %s" % (run["layer.size"], run["layer.offsets"]))
    ref = t.render("ref14.png", "320x240", sets=("line_pitch=14",))
    t.expect_same_alpha(run.path("edited.png"), ref, "edited layer")
    edited_text = open(run.path("edited.txt"), "rb").read()
    expect(re.search(rb"^line_pitch=14$", edited_text, re.M) is not None,
           "the parasite after Apply lacks line_pitch=14")
    expect(edited_text.replace(b"line_pitch=14\n", b"line_pitch=10\n") == original_text,
           "the parasite after Apply differs from the original in more than the pitch")
    t.expect_same_alpha(run.path("undone.png"), first.path("layer.png"), "layer after one undo")
    undone_text = open(run.path("undone.txt"), "rb").read()
    expect(undone_text == original_text, "one undo did not restore the parasite")


@case("edit-layer-without-settings")
def edit_layer_without_settings(t):
    run = t.gimp(r"""
(define made (e2e-new-image 200 150 RGB))
(define img (car made))
(define bg (cadr made))
(define before (e2e-layer-ids img))
(plugin-zipstroke RUN-INTERACTIVE img bg)
(e2e-put "layers" (length (e2e-layer-ids img)))
(e2e-put "end")""", drive="edit-plain-layer")
    d = run.driver
    expect(d.get("message"), "no message for a layer without settings")
    buttons = set(d.get("buttons", ()))
    expect({"Close", "Create", "Edit Layer"} <= buttons and not {"Apply", "Cancel"} & buttons,
           "after the message the buttons are %s, expected creating mode" % sorted(buttons))
    expect(run["layers"] == "1", "the image changed")


@case("edit-layer-unreadable-settings")
def edit_layer_unreadable_settings(t):
    # A layer from someone else's file whose "plugin-zipstroke" parasite is
    # not settings text at all: like an unreadable preset, it must be refused
    # with a message, and the dialog must keep the values it had.
    run = t.gimp(r"""
(define made (e2e-new-image 200 150 RGB))
(define img (car made))
(define bg (cadr made))
(gimp-item-attach-parasite bg (list "plugin-zipstroke" 1 "this is not settings text"))
(plugin-zipstroke RUN-INTERACTIVE img bg)
(e2e-put "layers" (length (e2e-layer-ids img)))
(e2e-put "end")""", drive="edit-unreadable")
    d = run.driver
    t.notes.append("observed: %s" % d)
    expect(d.get("pitch") == 10.0,
           "Edit Layer on unreadable settings changed the pitch to %s (messages %s)"
           % (d.get("pitch"), d.get("messages")))
    expect(any(d.get("messages") or []), "no message for unreadable settings")
    expect("Apply" not in d.get("buttons", ()), "the dialog went into edit mode regardless")


@case("edit-layer-in-selection")
def edit_layer_in_selection(t):
    # A streak layer made for the whole image, re-edited while a selection is
    # in force: the layer keeps its place and size, the lines are drawn for
    # its own extent (the whole layer, not only inside the selection), and
    # the selection stays as it was.
    run = t.gimp(r'''
(define made (e2e-new-image 320 240 RGB))
(define img (car made))
(define bg (cadr made))
(plugin-zipstroke RUN-INTERACTIVE img bg)
(define streak (car (gimp-image-get-active-layer img)))
(e2e-save-text "first.txt" (or (e2e-parasite-text streak) ""))
(gimp-image-select-rectangle img CHANNEL-OP-REPLACE 40 30 200 100)
(plugin-zipstroke RUN-INTERACTIVE img streak)
(define edited (car (gimp-image-get-active-layer img)))
(e2e-layer-facts "layer" img edited)
(e2e-export img edited "layer.png")
(e2e-put "selection" (e2e-selection img))
(e2e-put "end")''', drive="create-then-edit")
    t.notes.append("edited layer %s at %s" % (run["layer.size"], run["layer.offsets"]))
    expect(run.ints("layer.size") == [320, 240], "the edited layer is %s" % run["layer.size"])
    expect(run.ints("layer.offsets") == [0, 0],
           "the edited layer moved to %s" % run["layer.offsets"])
    expect(run["selection"].split() == ["1", "40", "30", "240", "130"],
           "the selection is %s afterwards" % run["selection"])
    ref = t.render("ref.png", "320x240", settings=run.path("first.txt"))
    t.expect_same_alpha(run.path("layer.png"), ref, "layer edited with a selection in force")
