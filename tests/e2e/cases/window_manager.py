"""Cases that need a window manager on the display: "Topmost" keeping the
dialog above GIMP's image window, and the title bar's close button ending
the dialog as "Close" (or, while a layer is edited, "Cancel") does.  The
runner starts openbox for each of these cases and ends it after them."""

from cases import case
from runner import expect


@case("topmost-keeps-dialog-above", window_manager=True)
def topmost_keeps_dialog_above(t):
    run = t.gimp(r'''
(define made (e2e-new-image 320 240 RGB))
(define img (car made))
(define bg (cadr made))
(gimp-display-new img)
(e2e-zipstroke RUN-INTERACTIVE img bg)
(e2e-zipstroke RUN-INTERACTIVE img bg)
(gimp-image-clean-all img)
(e2e-put "end")''', drive="topmost-above", gui=True, timeout=240)
    d = run.driver
    t.notes.append("observed: %s" % d)
    expect(not d["ticked_at_start"] and not d["above_at_start"],
           "a fresh dialog opened with Topmost %s and kept above %s"
           % (d["ticked_at_start"], d["above_at_start"]))
    expect(d["ticked"], "clicking Topmost did not tick it")
    expect(d["above_after_tick"],
           "with Topmost ticked the window manager does not keep the dialog above")
    expect(d["dialog_over_image_ticked"],
           "with Topmost ticked the image window went above the dialog (stacking %s)"
           % d["dialog_over_image_ticked_stacking"])
    expect(d["unticked"], "pressing Topmost again did not untick it")
    expect(not d["above_after_untick"],
           "with Topmost unticked the window manager still keeps the dialog above")
    expect(not d["dialog_over_image_unticked"],
           "with Topmost unticked the image window could not go above the dialog (stacking %s)"
           % d["dialog_over_image_unticked_stacking"])
    expect(d["ticked_again"], "clicking Topmost a second time did not tick it")
    expect(d["reopened_ticked"] and d["reopened_above"],
           "after Close with Topmost ticked the next run opened ticked %s, kept above %s"
           % (d["reopened_ticked"], d["reopened_above"]))


@case("window-manager-close-keeps-values", window_manager=True)
def window_manager_close_keeps_values(t):
    run = t.gimp(r'''
(define made (e2e-new-image 320 240 RGB))
(define img (car made))
(define bg (cadr made))
(e2e-zipstroke RUN-INTERACTIVE img bg)
(e2e-put "layers-after-close" (length (e2e-layer-ids img)))
(e2e-put "stored-after-close" (e2e-last-values-size))
(e2e-zipstroke RUN-INTERACTIVE img bg)
(e2e-put "end")''', drive="wm-close-reopen", drive_args=("17",))
    d = run.driver
    expect(d.get("first_pitch") == 17.0, "the pitch did not take 17: %s" % d.get("first_pitch"))
    expect(run["layers-after-close"] == "1",
           "closing through the window manager left %s layers" % run["layers-after-close"])
    expect(int(run["stored-after-close"]) > 0,
           "closing through the window manager stored no last values")
    expect(d.get("second_pitch") == 17.0,
           "after a close through the window manager the next run opened with pitch %s, "
           "expected the 17 it was closed with" % d.get("second_pitch"))


@case("window-manager-close-while-editing", window_manager=True)
def window_manager_close_while_editing(t):
    # Editing a streak layer, the title bar's close ends the edit as Cancel
    # does: the layer and its settings text stay as they were, and the values
    # the dialog held before Edit Layer are the ones the next run shows.
    run = t.gimp(r'''
(define made (e2e-new-image 320 240 RGB))
(define img (car made))
(define bg (cadr made))
(e2e-zipstroke RUN-INTERACTIVE img bg)
(define streak (e2e-active-layer img))
(e2e-save-text "before.txt" (or (e2e-parasite-text streak) ""))
(e2e-export img streak "before.png")
(e2e-zipstroke RUN-INTERACTIVE img streak)
(e2e-put "layers" (length (e2e-layer-ids img)))
(e2e-put "streak-kept" (if (member streak (e2e-layer-ids img)) 1 0))
(e2e-save-text "after.txt" (or (e2e-parasite-text streak) ""))
(e2e-export img streak "after.png")
(e2e-zipstroke RUN-INTERACTIVE img bg)
(e2e-put "end")''', drive="wm-close-editing", drive_args=("12", "19"))
    d = run.driver
    expect(d.get("pitch_loaded") == 10.0,
           "Edit Layer loaded pitch %s, expected the layer's 10" % d.get("pitch_loaded"))
    expect(run["layers"] == "2" and run["streak-kept"] == "1",
           "closing the edit through the window manager changed the layers (%s layers, "
           "edited layer kept: %s)" % (run["layers"], run["streak-kept"]))
    before = open(run.path("before.txt"), "rb").read()
    expect(before and open(run.path("after.txt"), "rb").read() == before,
           "closing the edit through the window manager changed the layer's settings text")
    t.expect_same_alpha(run.path("after.png"), run.path("before.png"),
                        "layer after closing the edit through the window manager")
    expect(d.get("third_pitch") == 12.0,
           "after closing the edit through the window manager the next run opened with pitch "
           "%s, expected the 12 the dialog held before Edit Layer" % d.get("third_pitch"))
    expect("Edit Layer" in d.get("third_buttons", ()) and "Apply" not in d.get("third_buttons", ()),
           "the next run opened with the buttons %s, expected creating mode"
           % d.get("third_buttons"))
