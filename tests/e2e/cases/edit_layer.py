"""Cases of re-editing a streak layer from the settings it carries."""

import os
import re

from cases import case
from runner import Skip, expect


FIXTURES = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "fixtures")


# Made in the same GIMP: Create, save as XCF, then re-edit in a new GIMP.
@case("edit-layer", gimp=(2,))
def edit_layer(t):
    xcf = os.path.join(t.root, "streaks.xcf")
    first = t.gimp(r'''
(define made (e2e-new-image 320 240 RGB))
(define img (car made))
(define bg (cadr made))
(define before (e2e-layer-ids img))
(e2e-zipstroke RUN-INTERACTIVE img bg)
(e2e-put "new-layers" (length (e2e-new-layers img before)))
(e2e-save-xcf img "%s")
(e2e-put "end")''' % xcf, drive="create")
    expect(first["new-layers"] == "1", "the first run made no layer")
    edit_saved_layer(t, xcf, (320, 240))


# An XCF that GIMP 2.10 saved with a streak layer of the default settings
# (tests/e2e/make-fixtures makes it): re-edited in this GIMP, whichever.
@case("edit-layer-xcf-from-2.10")
def edit_layer_xcf_from_210(t):
    edit_saved_layer(t, os.path.join(FIXTURES, "streaks-gimp2.10.xcf"), (200, 150))


def edit_saved_layer(t, xcf, size):
    """Opens xcf in GIMP's window, notes the streak layer and its settings
    text, then Edit Layer with pitch 14 and Apply; one Ctrl+Z must bring the
    layer and its text back."""
    run = t.gimp(r'''
(define img (e2e-load "%s"))
(gimp-image-clean-all img)
(gimp-display-new img)
(define streak (car (gimp-image-get-layer-by-name img "Zipstroke Layer")))
(e2e-set-active-layer img streak)
(define original (e2e-parasite-text streak))
(e2e-put "loaded-parasite" (if original 1 0))
(e2e-save-text "original.txt" (or original ""))
(e2e-export img streak "original.png")
(e2e-zipstroke RUN-INTERACTIVE img streak)
(e2e-put "layers" (length (e2e-layer-ids img)))
; Apply puts a redrawn copy in the layer's place.
(define edited (e2e-active-layer img))
(e2e-layer-facts "layer" img edited)
(e2e-export img edited "edited.png")
(e2e-save-text "edited.txt" (or (e2e-parasite-text edited) ""))
(e2e-zipstroke RUN-INTERACTIVE img edited)
(e2e-export img streak "undone.png")
(e2e-save-text "undone.txt" (or (e2e-parasite-text streak) ""))
(gimp-image-clean-all img)
(e2e-put "end")''' % xcf, drive="edit-layer", drive_args=("14",), gui=True, timeout=240)
    d = run.driver
    if run["loaded-parasite"] != "1":
        raise Skip("the streak layer carries no \"plugin-zipstroke\" parasite")
    original_text = open(run.path("original.txt"), "rb").read()
    ref = t.render("ref10.png", "%dx%d" % size)
    t.expect_same_alpha(run.path("original.png"), ref, "the layer as saved")
    expect(d.get("pitch_loaded") == 10.0, "Edit Layer loaded pitch %s, expected 10" % d.get("pitch_loaded"))
    expect(run["layers"] == "2", "editing changed the layer count to %s" % run["layers"])
    expect(run.ints("layer.size") == list(size) and run.ints("layer.offsets") == [0, 0],
           "the edited layer is %s at %s" % (run["layer.size"], run["layer.offsets"]))
    ref = t.render("ref14.png", "%dx%d" % size, sets=("line_pitch=14",))
    t.expect_same_alpha(run.path("edited.png"), ref, "edited layer")
    edited_text = open(run.path("edited.txt"), "rb").read()
    expect(re.search(rb"^line_pitch=14$", edited_text, re.M) is not None,
           "the parasite after Apply lacks line_pitch=14")
    # A text written now also holds the Path area's keys, which a layer saved
    # before that area existed does not have.
    def without_path(text):
        return b"".join(l for l in text.splitlines(True) if not l.startswith(b"path_"))
    expect(without_path(edited_text).replace(b"line_pitch=14\n", b"line_pitch=10\n") ==
           without_path(original_text),
           "the parasite after Apply differs from the original in more than the pitch")
    t.expect_same_alpha(run.path("undone.png"), run.path("original.png"), "layer after one undo")
    undone_text = open(run.path("undone.txt"), "rb").read()
    expect(undone_text == original_text, "one undo did not restore the parasite")


@case("edit-layer-without-settings")
def edit_layer_without_settings(t):
    run = t.gimp(r"""
(define made (e2e-new-image 200 150 RGB))
(define img (car made))
(define bg (cadr made))
(define before (e2e-layer-ids img))
(e2e-zipstroke RUN-INTERACTIVE img bg)
(e2e-put "layers" (length (e2e-layer-ids img)))
(e2e-put "end")""", drive="edit-plain-layer")
    d = run.driver
    expect(d.get("edit_sensitive") is False,
           "Edit Layer can be pressed on a layer without settings (it must be greyed out)")
    buttons = set(d.get("buttons", ()))
    expect({"Close", "Create", "Edit Layer"} <= buttons and not {"Apply", "Cancel"} & buttons,
           "the buttons are %s, expected creating mode" % sorted(buttons))
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
(e2e-attach-parasite bg "plugin-zipstroke" "this is not settings text")
(e2e-zipstroke RUN-INTERACTIVE img bg)
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
(e2e-zipstroke RUN-INTERACTIVE img bg)
(define streak (e2e-active-layer img))
(e2e-save-text "first.txt" (or (e2e-parasite-text streak) ""))
(gimp-image-select-rectangle img CHANNEL-OP-REPLACE 40 30 200 100)
(e2e-zipstroke RUN-INTERACTIVE img streak)
(define edited (e2e-active-layer img))
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
