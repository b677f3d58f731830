"""Cases of the procedure itself: registration, run modes and the values kept
between runs."""

import os

from cases import case, AFTER_RUN, expect_layer
from runner import GIMP, expect


# What each GIMP writes into its pluginrc for the procedure.
REGISTRATION = {
    2: ('(menu-path "<Image>/Filters/KestrelKit/")', '"_Zipstroke..."', '"RGB*, GRAY*"',
        '"run-mode" "Interactive=0, non-interactive=1"', '"image" "Input image"',
        '"drawable" "Input drawable"', '"layer" "The zipstroke layer"'),
    # GIMP 3: the selected drawables; the menu is sensitive with exactly one
    # (mask 1), and three arguments and one return value follow the types.
    3: ('(menu-path "<Image>/Filters/KestrelKit/")', '"_Zipstroke..."',
        '"A Tool for drawing Zipstrokes."', '"RGB*, GRAY*"\n         1\n         3 1\n',
        '"GimpRunMode" "run-mode"', '"GimpImage" "image"',
        '"GimpCoreObjectArray" "drawables"', '"layer" "Layer" "The zipstroke layer"'),
}


@case("registration", needs=("plugin",))
def registration(t):
    if GIMP.version == 2:
        run = t.gimp(r'''
(let ((info (gimp-procedural-db-proc-info "plugin-zipstroke")))
  (e2e-put "proc-type" (list-ref info 5))
  (e2e-put "nargs" (list-ref info 6))
  (e2e-put "nvalues" (list-ref info 7))
  (e2e-put "blurb" (list-ref info 0))
  (e2e-put "help" (list-ref info 1)))
(e2e-put "end")''')
        expect(run["proc-type"] == "1", "procedure type %s, expected 1 (plug-in)" % run["proc-type"])
        expect(run["nargs"] == "3" and run["nvalues"] == "1",
               "%s arguments and %s return values, expected 3 and 1" % (run["nargs"], run["nvalues"]))
        expect(run["blurb"] == "A Tool for drawing Zipstrokes.", "blurb %r" % run["blurb"])
        for words in ("streak lines", "focus lines", "speed lines", "new layer"):
            expect(words in run["help"], "the help does not say what the filter draws (%s): %r"
                   % (words, run["help"]))
    else:
        # GIMP 3's Script-Fu has no call that reports a registration.
        run = t.gimp('(e2e-put "exists" (e2e-proc-exists "plugin-zipstroke"))\n(e2e-put "end")')
        expect(run["exists"] == "1", "plugin-zipstroke is not a procedure")
    pluginrc = open(os.path.join(t.config_dir(t.homes[-1]), "pluginrc"),
                    encoding="utf-8", errors="replace").read()
    entry = pluginrc[pluginrc.find('"plugin-zipstroke"'):]
    if "(plug-in-def " in entry:
        entry = entry[:entry.find("(plug-in-def ")]
    for text in REGISTRATION[GIMP.version]:
        # GIMP 3.2 keeps the menu path without its closing "/".
        expect(text in entry or text.replace('/")', '")') in entry,
               "the registration lacks %r" % text)


@case("last-values-other-image")
def last_values_other_image(t):
    # The stored geometry is fitted to the next work area: scaled when its
    # size differs, kept when it is the same.  Odd sides tell a scaled centre
    # (320 * 2) from the new work area's own default (1282 / 2 = 641), and the
    # selections tell the work area from the image.
    run = t.gimp(r'''
(define first (e2e-new-image 1282 962 RGB))
(gimp-image-select-rectangle (car first) CHANNEL-OP-REPLACE 100 50 641 481)
(e2e-zipstroke RUN-INTERACTIVE (car first) (cadr first))
(define second (e2e-new-image 1282 962 RGB))
(e2e-zipstroke RUN-INTERACTIVE (car second) (cadr second))
(e2e-put "end")''', drive="read-centre-twice")
    d = run.driver
    expect(d.get("first") == [320.0, 240.0],
           "on a 641x481 selection the first run showed the centre %s" % d.get("first"))
    expect(d.get("second") == [640.0, 480.0],
           "on a 1282x962 image after a 641x481 selection the second run showed the centre %s, "
           "expected 320, 240 scaled to 640, 480 (641, 481 would be the defaults)" % d.get("second"))

    run = t.gimp(r'''
(define first (e2e-new-image 641 481 RGB))
(e2e-zipstroke RUN-INTERACTIVE (car first) (cadr first))
(define second (e2e-new-image 1282 962 RGB))
(gimp-image-select-rectangle (car second) CHANNEL-OP-REPLACE 300 200 641 481)
(e2e-zipstroke RUN-INTERACTIVE (car second) (cadr second))
(e2e-put "end")''', drive="read-centre-twice")
    d = run.driver
    expect(d.get("first") == [320.0, 240.0], "the first run showed the centre %s" % d.get("first"))
    expect(d.get("second") == [320.0, 240.0],
           "on a 641x481 selection of a larger image the second run showed the centre %s, "
           "expected the stored 320, 240 unchanged" % d.get("second"))


@case("run-mode-noninteractive")
def run_mode_noninteractive(t):
    run = t.gimp(r'''
(define made (e2e-new-image 200 200 RGB))
(define img (car made))
(define bg (cadr made))
(define result (e2e-try (lambda () (e2e-zipstroke RUN-NONINTERACTIVE img bg))))
(e2e-put "refused" (if (e2e-error? result) 1 0))
(e2e-put "message" (if (e2e-error? result) (cadr result) result))
(e2e-put "layers" (length (e2e-layer-ids img)))
(e2e-put "last-values-size" (e2e-last-values-size))
; Run modes beyond the three known ones: success, layer -1, nothing shown.
(e2e-put "mode-3" (e2e-try (lambda () (e2e-zipstroke 3 img bg))))
(e2e-put "mode-minus-1" (e2e-try (lambda () (e2e-zipstroke -1 img bg))))
(e2e-put "layers-after-other-modes" (length (e2e-layer-ids img)))
(e2e-put "last-values-size-after-other-modes" (e2e-last-values-size))
(e2e-put "end")''', timeout=60,
                 allowed_messages=("does not support non-interactive mode",
                                   # GIMP 3 on the run modes it does not know
                                   "is invalid or out of range for property 'run-mode'"))
    expect(run["refused"] == "1", "run mode 1 was not refused: %s" % run["message"])
    expect("invalid input arguments" in run["message"],
           "refused without a calling error: %r" % run["message"])
    expect(run["layers"] == "1", "run mode 1 changed the image")
    expect(run["layers-after-other-modes"] == "1",
           "an unknown run mode changed the image")
    expect(run["last-values-size"] == "0", "run mode 1 stored last values")
    expect(run["last-values-size-after-other-modes"] == "0",
           "an unknown run mode stored last values")
    if GIMP.version == 2:
        for key in ("mode-3", "mode-minus-1"):
            expect(run[key] == "-1", "run mode %s gave %r, expected layer -1" % (key[5:], run[key]))
        expect("does not support non-interactive mode" in run.log,
               "the warning was not logged; log tail:\n%s" % run.log_tail())
    else:
        # The plug-in's reason comes with the calling error.  GIMP 3 does
        # not pass on a run mode outside its enumeration: it logs a critical
        # and the plug-in sees its default run mode, non-interactive.
        expect("does not support non-interactive mode" in run["message"],
               "the calling error does not say why: %r" % run["message"])
        for key in ("mode-3", "mode-minus-1"):
            expect(run[key].startswith("error"), "run mode %s gave %r, expected a calling error"
                   % (key[5:], run[key]))


@case("last-values")
def last_values(t):
    run = t.gimp(r'''
(define made (e2e-new-image 640 480 RGB))
(define img (car made))
(define bg (cadr made))
(e2e-zipstroke RUN-INTERACTIVE img bg)
(e2e-put "stored-after-close" (e2e-last-values-size))
(define before (e2e-layer-ids img))
(e2e-zipstroke RUN-WITH-LAST-VALS img bg)
''' + AFTER_RUN + '(e2e-put "end")', drive="pitch-then-reopen", drive_args=("23",))
    d = run.driver
    expect(d.get("first_pitch") == 23.0, "the pitch did not take 23: %s" % d.get("first_pitch"))
    expect(d.get("second_pitch") == 23.0,
           "the second run opened with pitch %s, expected 23 from the first" % d.get("second_pitch"))
    expect(int(run["stored-after-close"]) > 0, "Close stored no last values")
    expect(d.get("second_position") == [37, 45],
           "the second run opened at %s, the first was closed at [37, 45]" % d.get("second_position"))
    expect_layer(run, (640, 480), (0, 0))
    ref = t.render("ref.png", "640x480", sets=("line_pitch=23",))
    t.expect_same_alpha(run.path("layer.png"), ref, "layer of the second run")


# GIMP 3 keeps the last values with the procedure's settings, where a
# script cannot plant a block.
@case("last-values-wrong-size", gimp=(2,))
def last_values_wrong_size(t):
    # A block of 'A' bytes much shorter than the record, planted as if an
    # older build had stored it: the dialog must open with the defaults, and
    # the run must store a block of the record's own size.  (Script-Fu cannot
    # build a vector as large as the record, so only a short block is tried.)
    run = t.gimp(r'''
(define made (e2e-new-image 640 480 RGB))
(define img (car made))
(define bg (cadr made))
(gimp-procedural-db-set-data "plugin-zipstroke" 64 (make-vector 64 65))
(e2e-zipstroke RUN-INTERACTIVE img bg)
(e2e-put "size-after" (e2e-last-values-size))
(e2e-put "end")''', drive="read-pitch")
    pitch = run.driver.get("pitch")
    expect(pitch == 10.0,
           "with a 64-byte block planted the dialog showed pitch %s, not the default 10" % pitch)
    expect(int(run["size-after"]) > 64000, "the run stored a block of %s bytes" % run["size-after"])
