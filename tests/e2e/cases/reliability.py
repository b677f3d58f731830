"""Cases of reliability in the real GIMP: buttons pressed through the
accessibility interface, re-editing a layer that was placed or moved,
undo and redo between Create and Apply (and an Apply on a layer that undo
took away), and the image closed while the dialog is open.

The dialog is worked by this file's own drives: run as a program
(python3 reliability.py DRIVE WORKDIR [ARGS...]) it adds them to drive.py's
and runs that driver's main."""

import os
import sys
import time

E2E_DIR = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

GONE_LAYER_TEXT = "The layer being edited is no longer in the image. Nothing was changed."
GONE_IMAGE_TEXT = "The image has been closed. Nothing can be drawn into it; close this dialog."


# ---------------------------------------------------------------------------
# The driver side (runs in its own process beside GIMP)

def driver_main():
    sys.path.insert(0, E2E_DIR)
    import drive
    import ui
    from ui import Role

    def press(win, label, timeout=10):
        """Presses a push button through the accessibility interface, as a
        screen reader or an on-screen keyboard does."""
        w = win.find(Role.PUSH_BUTTON, label, timeout=timeout)
        ui.wait_for("%r to be sensitive" % label,
                    lambda: win.find(Role.PUSH_BUTTON, label).sensitive(), timeout)
        action = w.acc.get_action_iface()
        if action is None or action.get_n_actions() < 1:
            raise ui.UIError("%r offers no action" % label)
        action.do_action(0)
        time.sleep(0.3)

    def wait_closed(w, timeout=30):
        """Waits for the dialog's plug-in process to end (X hands a closed
        window's id to the next window at once, so the id cannot tell)."""
        def ended():
            try:
                os.kill(w.pid, 0)
            except ProcessLookupError:
                return True
            except PermissionError:
                return False
            # A zombie has ended too.
            try:
                with open("/proc/%d/stat" % w.pid) as f:
                    return f.read().split(") ", 1)[1].startswith("Z")
            except OSError:
                return True
        ui.wait_for("the plug-in of %r to end" % w.title, ended, timeout)

    def key_in_image_window(title_pattern, keys):
        image = ui.wait_for("the image window",
                            lambda: ui.xdotool("search", "--onlyvisible", "--name",
                                               title_pattern).split(), 30)
        xid = int(image[0])
        ui.xdotool("windowactivate", "--sync", xid)
        ui.xdotool("windowfocus", "--sync", xid)
        ui.xdotool("key", "--window", xid, "--clearmodifiers", keys)
        time.sleep(1.5)

    def answer_message(w, text, out, key):
        box = ui.message_box(w.pid, text)
        out[key] = True
        press(box, "Close")
        ui.wait_for("the message box to close",
                    lambda: not drive.other_windows(w), 10)

    def edit_layer(w):
        press(w, "Edit Layer")
        w.find(Role.PUSH_BUTTON, "Apply", timeout=10)

    def rel_create_then_edit(out, args):
        """First run: Create.  Second run: Edit Layer, pitch args[0], Apply,
        then Close; every button pressed through the accessibility interface."""
        w = drive.dialog()
        press(w, "Create")
        wait_closed(w)
        w = drive.dialog()
        edit_layer(w)
        w.set_spin("Pitch:", args[0])
        press(w, "Apply")
        w.find(Role.PUSH_BUTTON, "Create", timeout=30)
        press(w, "Close")
        wait_closed(w)

    def rel_undo_between(out, args):
        """First run: Create.  Second run: Edit Layer; undo (the layer goes);
        Apply (refused); redo; Apply; undo; Edit Layer, Apply; undo; Create."""
        w = drive.dialog()
        press(w, "Create")
        wait_closed(w)
        w = drive.dialog()
        edit_layer(w)
        w.set_spin("Pitch:", args[0])
        key_in_image_window("Untitled", "ctrl+z")
        press(w, "Apply")
        answer_message(w, GONE_LAYER_TEXT, out, "gone_layer_message")
        out["still_editing"] = w.has(Role.PUSH_BUTTON, "Apply")
        key_in_image_window("Untitled", "ctrl+y")
        press(w, "Apply")
        w.find(Role.PUSH_BUTTON, "Create", timeout=30)
        key_in_image_window("Untitled", "ctrl+z")
        edit_layer(w)
        press(w, "Apply")
        w.find(Role.PUSH_BUTTON, "Create", timeout=30)
        key_in_image_window("Untitled", "ctrl+z")
        press(w, "Create")
        try:
            wait_closed(w, timeout=20)
        except ui.UIError:
            out["left_open_with"] = [[x.name for x in t.widgets() if x.role == Role.LABEL and x.name]
                                     for t in drive.other_windows(w)]
            out["buttons"] = sorted(x.name for x in w.widgets()
                                    if x.role == Role.PUSH_BUTTON and x.showing() and x.name)
            raise

    def rel_close_image(out, args):
        """Closes the image (discarding it) while the dialog is open, presses
        Create and answers its message, notes whether Edit Layer can still
        be pressed, then Close."""
        w = drive.dialog()
        key_in_image_window("Untitled", "ctrl+w")
        confirm = ui.wait_for("GIMP's question about the unsaved image",
                              lambda: drive.other_windows_of_gimp(w, "Discard Changes"), 20)
        # GIMP's own question is answered with the pointer.
        confirm[0].click("Discard Changes")
        ui.wait_for("the image window to close",
                    lambda: not ui.xdotool("search", "--onlyvisible", "--name",
                                           "Untitled").split(), 20)
        press(w, "Create")
        answer_message(w, GONE_IMAGE_TEXT, out, "create_message")
        w.focus()
        out["edit_greyed"] = ui.poll(lambda: not w.find(Role.PUSH_BUTTON, "Edit Layer").sensitive(),
                                     10)
        out["still_open"] = not w.gone()
        out["gimp_messages"] = len(drive.other_windows_of_gimp(w, "OK"))
        press(w, "Close")
        wait_closed(w)

    def other_windows_of_gimp(w, button):
        """Showing top-level windows of GIMP (not of the plug-in) that hold a
        button of that name."""
        return ui.top_windows(lambda pid: pid != w.pid, lambda win: win.has(Role.PUSH_BUTTON, button))

    drive.other_windows_of_gimp = other_windows_of_gimp
    return drive.run_drives({fn.__name__.replace("_", "-"): fn
                             for fn in (rel_create_then_edit, rel_undo_between, rel_close_image)})


if __name__ == "__main__":
    sys.exit(driver_main())


# ---------------------------------------------------------------------------
# The cases

from cases import case, gimp_with_own_driver  # noqa: E402
from runner import Fail, expect  # noqa: E402

# These cases call GIMP 2.10's procedures and start their drivers with GTK 2's
# accessibility module; in GIMP 3 they wait for the e2e-... helpers.
GIMP2_ONLY = (2,)


NEW_STREAK = r'''
(define made (e2e-new-image 320 240 RGB))
(define img (car made))
(define bg (cadr made))
(gimp-display-new img)
(gimp-image-clean-all img)
(gimp-image-select-rectangle img CHANNEL-OP-REPLACE 101 99 120 80)
(define before (e2e-layer-ids img))
(plugin-zipstroke RUN-INTERACTIVE img bg)
(define streak (car (e2e-new-layers img before)))
(e2e-layer-facts "made" img streak)
(e2e-save-text "made.txt" (or (e2e-parasite-text streak) ""))
'''


@case("edit-layer-keeps-its-place", gimp=GIMP2_ONLY)
def edit_layer_keeps_its_place(t):
    """A layer made on a selection and moved keeps its place and size when
    re-edited with another selection; the lines are drawn for its extent."""
    run = gimp_with_own_driver(t, __file__, NEW_STREAK + r'''
(gimp-layer-set-offsets streak 150 130)
(gimp-image-select-rectangle img CHANNEL-OP-REPLACE 10 10 30 30)
(gimp-image-set-active-layer img streak)
(plugin-zipstroke RUN-INTERACTIVE img streak)
(e2e-put "layers" (length (e2e-layer-ids img)))
(define edited (car (gimp-image-get-active-layer img)))
(e2e-put "edited.parasite-count" (car (gimp-item-get-parasite-list edited)))
(e2e-layer-facts "edited" img edited)
(e2e-export img edited "edited.png")
(e2e-save-text "edited.txt" (or (e2e-parasite-text edited) ""))
(e2e-put "selection" (e2e-selection img))
(gimp-image-clean-all img)
(e2e-put "end")''', "rel-create-then-edit", ("14",))
    expect(run.ints("made.size") == [120, 80] and run.ints("made.offsets") == [101, 99],
           "the new layer is %s at %s" % (run["made.size"], run["made.offsets"]))
    expect(run["layers"] == "2", "editing changed the layer count to %s" % run["layers"])
    expect(run.ints("edited.size") == [120, 80], "the edited layer is %s" % run["edited.size"])
    expect(run["edited.name"] == "Zipstroke Layer", "the edited layer is named %r" % run["edited.name"])
    expect(run["edited.position"] == "0", "the edited layer moved in the stack")
    expect(run.ints("edited.offsets") == [150, 130],
           "the edited layer moved to %s" % run["edited.offsets"])
    expect(run["selection"].split() == ["1", "10", "10", "40", "40"],
           "the selection is %s afterwards" % run["selection"])
    text = open(run.path("edited.txt"), "rb").read()
    expect(b"\nline_pitch=14\n" in text, "the parasite after Apply lacks line_pitch=14")
    ref = t.render("ref.png", "120x80", settings=run.path("edited.txt"))
    t.expect_same_alpha(run.path("edited.png"), ref, "edited layer")


@case("undo-between-create-and-apply", gimp=GIMP2_ONLY)
def undo_between_create_and_apply(t):
    """Create; Edit Layer; undo takes the layer away and Apply is refused
    with a message and no undo step; redo, Apply, undo, Apply, undo, Create:
    every undo group is closed once, and each undo gives back what was."""
    run = gimp_with_own_driver(t, __file__, NEW_STREAK + r'''
(gimp-image-set-active-layer img streak)
(define before-second (e2e-layer-ids img))
(plugin-zipstroke RUN-INTERACTIVE img streak)
(e2e-put "layers" (length (e2e-layer-ids img)))
(e2e-put "streak-valid" (car (gimp-item-is-valid streak)))
(e2e-layer-facts "streak" img streak)
(e2e-save-text "after.txt" (or (e2e-parasite-text streak) ""))
(let ((new (e2e-new-layers img before-second)))
  (e2e-put "new-layers" (length new))
  (if (= (length new) 1) (e2e-layer-facts "new" img (car new))))
; Undo and redo still work on the whole stack afterwards.
(gimp-image-undo-group-start img)
(gimp-image-undo-group-end img)
(gimp-image-clean-all img)
(e2e-put "end")''', "rel-undo-between", ("14",))
    d = run.driver
    expect(d.get("gone_layer_message"), "no message for Apply on a layer that undo took away")
    expect(d.get("still_editing"), "the refused Apply ended editing")
    expect(run["layers"] == "3", "expected the background, the streak layer and a new one; "
           "found %s layers" % run["layers"])
    expect(run["streak-valid"] == "1", "the streak layer is gone")
    expect(run.ints("streak.size") == [120, 80] and run.ints("streak.offsets") == [101, 99],
           "the streak layer is %s at %s" % (run["streak.size"], run["streak.offsets"]))
    made = open(run.path("made.txt"), "rb").read()
    after = open(run.path("after.txt"), "rb").read()
    expect(after == made, "the undone Applies left the streak layer's settings changed")
    expect(run["new-layers"] == "1", "Create after the undos made %s layers" % run["new-layers"])
    expect(run.ints("new.size") == [120, 80] and run.ints("new.offsets") == [101, 99],
           "the new layer is %s at %s" % (run["new.size"], run["new.offsets"]))


@case("image-closed-while-open", gimp=GIMP2_ONLY)
def image_closed_while_open(t):
    """The image is closed while the dialog is open: Create shows one
    message, Edit Layer is greyed out; no calling errors; Close ends the run."""
    run = gimp_with_own_driver(t, __file__, r'''
(define made (e2e-new-image 200 150 RGB))
(define img (car made))
(define bg (cadr made))
(gimp-display-new img)
(define result (e2e-try (lambda () (plugin-zipstroke RUN-INTERACTIVE img bg))))
(e2e-put "returned" (if (e2e-error? result) "error" (car result)))
(e2e-put "images" (car (gimp-image-list)))
(e2e-put "end")''', "rel-close-image")
    d = run.driver
    expect(d.get("create_message"), "no message at Create")
    expect(d.get("edit_greyed"), "Edit Layer can still be pressed once the image is closed")
    expect(d.get("still_open"), "the dialog went away")
    expect(d.get("gimp_messages") == 0, "GIMP showed %s message(s)" % d.get("gimp_messages"))
    expect(run["images"] == "0", "an image is still open: %s" % run["images"])
