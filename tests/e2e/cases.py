"""The end-to-end cases: each makes an image in GIMP through Script-Fu, runs
the filter while drive.py works the dialog, and checks what GIMP then holds
against zipstroke-render."""

import os
import re

from runner import Fail, Skip, expect

CASES = []
_features = {}


def case(name, needs=("plugin", "render")):
    def register(fn):
        CASES.append((name, fn, needs))
        return fn
    return register


def missing_feature(feature):
    """A reason when feature is not available, else None (probed once)."""
    if feature in _features:
        return _features[feature]
    reason = None
    if feature == "render":
        path = os.environ.get("E2E_RENDER", "")
        if not os.access(path, os.X_OK):
            reason = "zipstroke-render is not built"
    elif feature == "plugin":
        path = os.environ.get("E2E_PLUGIN", "")
        if not os.access(path, os.X_OK):
            reason = "the plug-in is not built"
        else:
            from runner import Context
            ctx = Context("probe", os.environ)
            try:
                run = ctx.gimp('(e2e-put "registered" (car (gimp-procedural-db-proc-exists '
                               '"plugin-zipstroke")))\n(e2e-put "end")', timeout=90)
                if run.get("registered") != "1":
                    reason = "the plug-in does not register plugin-zipstroke"
            except Exception as e:  # noqa: BLE001 - any failure means no plug-in
                reason = "probing the plug-in failed: %s" % e
            finally:
                ctx.cleanup()
    _features[feature] = reason
    return reason


# The Script-Fu every layer case ends with: facts of the one new layer, its
# PNG, the selection, the channels and the last-values block.
AFTER_RUN = r'''
(let ((new (e2e-new-layers img before)))
  (e2e-put "new-layers" (length new))
  (if (= (length new) 1)
      (begin
        (e2e-layer-facts "layer" img (car new))
        (e2e-put "active-is-new" (if (= (car (gimp-image-get-active-layer img)) (car new)) 1 0))
        (e2e-export img (car new) "layer.png"))))
(e2e-put "selection" (e2e-selection img))
(e2e-put "channels" (car (gimp-image-get-channels img)))
(e2e-put "last-values-size" (e2e-last-values-size))
'''


def expect_layer(run, size, offsets, kind=1):
    expect(run["new-layers"] == "1", "expected one new layer, found %s" % run["new-layers"])
    expect(run["layer.name"] == "Zipstroke Layer",
           "layer name %r, expected 'Zipstroke Layer'" % run["layer.name"])
    expect(run.ints("layer.size") == list(size), "layer size %s, expected %s" % (run["layer.size"], size))
    expect(run.ints("layer.offsets") == list(offsets),
           "layer offsets %s, expected %s" % (run["layer.offsets"], offsets))
    expect(run["layer.type"] == str(kind),
           "layer type %s, expected %d (1 RGBA, 3 grey-alpha)" % (run["layer.type"], kind))
    expect(run["active-is-new"] == "1", "the new layer is not the active layer")
    expect(run["channels"] == "0", "the image kept %s extra channels" % run["channels"])


@case("registration", needs=("plugin",))
def registration(t):
    run = t.gimp(r'''
(let ((info (gimp-procedural-db-proc-info "plugin-zipstroke")))
  (e2e-put "proc-type" (list-ref info 5))
  (e2e-put "nargs" (list-ref info 6))
  (e2e-put "nvalues" (list-ref info 7))
  (e2e-put "blurb" (list-ref info 0)))
(e2e-put "end")''')
    expect(run["proc-type"] == "1", "procedure type %s, expected 1 (plug-in)" % run["proc-type"])
    expect(run["nargs"] == "3" and run["nvalues"] == "1",
           "%s arguments and %s return values, expected 3 and 1" % (run["nargs"], run["nvalues"]))
    expect(run["blurb"] == "A Tool for drawing Zipstrokes.", "blurb %r" % run["blurb"])
    pluginrc = open(os.path.join(t.homes[-1], ".config/GIMP/2.10/pluginrc"),
                    encoding="utf-8", errors="replace").read()
    entry = pluginrc[pluginrc.find('"plugin-zipstroke"'):]
    for text in ('(menu-path "<Image>/Filters/KestrelKit/")', '"_Zipstroke..."', '"RGB*, GRAY*"',
                 '"run-mode" "Interactive=0, non-interactive=1"', '"image" "Input image"',
                 '"drawable" "Input drawable"', '"layer" "The zipstroke layer"'):
        expect(text in entry[:4000], "the registration lacks %s" % text)


@case("rgb-no-selection")
def rgb_no_selection(t):
    run = t.gimp(r'''
(define made (e2e-new-image 640 480 RGB))
(define img (car made))
(define bg (cadr made))
(define top (car (gimp-layer-new img 640 480 RGBA-IMAGE "Top" 100 LAYER-MODE-NORMAL)))
(gimp-image-insert-layer img top 0 0)
(gimp-image-set-active-layer img bg)
(define before (e2e-layer-ids img))
(e2e-put "return" (car (plugin-zipstroke RUN-INTERACTIVE img bg)))
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


@case("rectangular-selection")
def rectangular_selection(t):
    run = t.gimp(r'''
(define made (e2e-new-image 640 480 RGB))
(define img (car made))
(define bg (cadr made))
(gimp-image-select-rectangle img CHANNEL-OP-REPLACE 40 30 200 100)
(e2e-put "selection-before" (e2e-selection img))
(define before (e2e-layer-ids img))
(plugin-zipstroke RUN-INTERACTIVE img bg)
''' + AFTER_RUN + '(e2e-put "end")', drive="create")
    expect_layer(run, (200, 100), (40, 30))
    expect(run["selection"] == run["selection-before"],
           "selection %s afterwards, %s before" % (run["selection"], run["selection-before"]))
    expect(run["selection"].split() == ["1", "40", "30", "240", "130"],
           "selection %s" % run["selection"])
    ref = t.render("ref.png", "200x100")
    t.expect_same_alpha(run.path("layer.png"), ref, "selection layer")


@case("grey-image")
def grey_image(t):
    run = t.gimp(r'''
(define made (e2e-new-image 320 240 GRAY))
(define img (car made))
(define bg (cadr made))
(define before (e2e-layer-ids img))
(plugin-zipstroke RUN-INTERACTIVE img bg)
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
(define group (car (gimp-layer-group-new img)))
(gimp-image-insert-layer img group 0 0)
(define inner (car (gimp-layer-new img 400 300 RGBA-IMAGE "Inner" 100 LAYER-MODE-NORMAL)))
(gimp-image-insert-layer img inner group 0)
(gimp-image-set-active-layer img group)
(define before (e2e-layer-ids img))
(plugin-zipstroke RUN-INTERACTIVE img group)
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
(plugin-zipstroke RUN-INTERACTIVE img bg)
(e2e-put "after-create" (length (e2e-layer-ids img)))
(plugin-zipstroke RUN-INTERACTIVE img bg)
(e2e-put "after-undo" (length (e2e-layer-ids img)))
(e2e-put "names" (map (lambda (l) (car (gimp-item-get-name l))) (e2e-layer-ids img)))
(e2e-put "selection" (e2e-selection img))
(e2e-put "channels" (car (gimp-image-get-channels img)))
(gimp-image-clean-all img)
(e2e-put "end")''', drive="create-then-undo", gui=True, timeout=180)
    expect(run["after-create"] == "2", "%s layers after Create, expected 2" % run["after-create"])
    expect(run["after-undo"] == "1",
           "%s layers after one undo, expected 1 (%s)" % (run["after-undo"], run["names"]))
    expect(run["selection"].split() == ["1", "40", "30", "240", "130"],
           "the selection after the undo is %s" % run["selection"])
    expect(run["channels"] == "0", "%s channels left after the undo" % run["channels"])


@case("last-values")
def last_values(t):
    run = t.gimp(r'''
(define made (e2e-new-image 640 480 RGB))
(define img (car made))
(define bg (cadr made))
(plugin-zipstroke RUN-INTERACTIVE img bg)
(e2e-put "stored-after-close" (e2e-last-values-size))
(define before (e2e-layer-ids img))
(plugin-zipstroke RUN-WITH-LAST-VALS img bg)
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


@case("run-mode-noninteractive")
def run_mode_noninteractive(t):
    run = t.gimp(r'''
(define made (e2e-new-image 200 200 RGB))
(define img (car made))
(define bg (cadr made))
(define result (e2e-try (lambda () (plugin-zipstroke RUN-NONINTERACTIVE img bg))))
(e2e-put "refused" (if (e2e-error? result) 1 0))
(e2e-put "message" (if (e2e-error? result) (cadr result) result))
(e2e-put "layers" (length (e2e-layer-ids img)))
(e2e-put "last-values-size" (e2e-last-values-size))
; Run modes beyond the three known ones: success, layer -1, nothing shown.
(e2e-put "mode-3" (e2e-try (lambda () (plugin-zipstroke 3 img bg))))
(e2e-put "mode-minus-1" (e2e-try (lambda () (plugin-zipstroke -1 img bg))))
(e2e-put "layers-after-other-modes" (length (e2e-layer-ids img)))
(e2e-put "last-values-size-after-other-modes" (e2e-last-values-size))
(e2e-put "end")''', timeout=60)
    expect(run["refused"] == "1", "run mode 1 was not refused: %s" % run["message"])
    expect("invalid input arguments" in run["message"],
           "refused without a calling error: %r" % run["message"])
    expect(run["layers"] == "1", "run mode 1 changed the image")
    expect(run["last-values-size"] == "0", "run mode 1 stored last values")
    for key in ("mode-3", "mode-minus-1"):
        expect(run[key] == "-1", "run mode %s gave %r, expected layer -1" % (key[5:], run[key]))
    expect(run["layers-after-other-modes"] == "1" and run["last-values-size-after-other-modes"] == "0",
           "an unknown run mode changed the image or stored last values")
    expect("does not support non-interactive mode" in run.log,
           "the warning was not logged; log tail:\n%s" % run.log_tail())


@case("last-values-wrong-size")
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
(plugin-zipstroke RUN-INTERACTIVE img bg)
(e2e-put "size-after" (e2e-last-values-size))
(e2e-put "end")''', drive="read-pitch")
    pitch = run.driver.get("pitch")
    expect(pitch == 10.0,
           "with a 64-byte block planted the dialog showed pitch %s, not the default 10" % pitch)
    expect(int(run["size-after"]) > 64000, "the run stored a block of %s bytes" % run["size-after"])


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


# A complete preset (every key but the outlines' samples): loading treats a
# missing key as 0, so a partial one would not match a render of the file.
PRESET_TEXT = """[zipstroke]
version=0.5.2
line_color=30;60;200;
line_antialias=2
line_pitch=6
line_pitch_rand=30
line_pitch_rand_seed=7
line_pitch_type=0
line_block_on_pitch=40
line_block_on_pitch_rand=20
line_blick_on_pitch_rand_seed=11
line_block_off_pitch=15
line_block_off_pitch_rand=10
line_blick_off_pitch_rand_seed=12
line_wave_npoint=8
line_wave_depth=12
line_wave_depth_rand=25
line_wave_depth_rand_seed=13
line_wave_type=2
line_width=3.5
line_width_rand=40
line_width_rand_seed=14
line_in_margin=20
line_in_margin_rand=50
line_in_margin_rand_seed=15
line_in_length=60
line_in_length_rand=10
line_in_length_rand_seed=16
line_out_margin=5
line_out_margin_rand=0
line_out_margin_rand_seed=17
line_out_length=30
line_out_length_rand=20
line_out_length_rand_seed=18
area_type=1
area_unit=0
radiation_x=320
radiation_y=240
radiation_in_radius=100
radiation_out_radius=400
radiation_oblateness=0
radiation_in_freehand_active=false
radiation_out_freehand_active=false
parallel_in_x=300
parallel_in_Y=90
parallel_in_range=60
parallel_out_x=340
parallel_out_Y=420
parallel_out_range=500
parallel_in_freehand_active=false
parallel_out_freehand_active=false
"""


@case("preset-load")
def preset_load(t):
    home = t.fresh_home()
    presets = t.preset_dir(home)
    path = os.path.join(presets, "Speedy")
    with open(path, "w", encoding="utf-8") as f:
        f.write(PRESET_TEXT)
    run = t.gimp(r'''
(define made (e2e-new-image 640 480 RGB))
(define img (car made))
(define bg (cadr made))
(define before (e2e-layer-ids img))
(plugin-zipstroke RUN-INTERACTIVE img bg)
''' + AFTER_RUN + '(e2e-put "end")', drive="load-preset", drive_args=("Speedy",), home=home)
    expect(run.driver.get("listed"), "the preset was not listed")
    expect(run.driver.get("pitch") == 6.0,
           "after the double click the pitch shows %s, the preset has 6" % run.driver.get("pitch"))
    expect_layer(run, (640, 480), (0, 0))
    ref = t.render("ref.png", "640x480", settings=path)
    t.expect_same_alpha(run.path("layer.png"), ref, "layer of the loaded preset")
    import pngread
    pixels = pngread.read(run.path("layer.png")).data
    colours = set(pixels[i:i + 3] for i in range(0, len(pixels), 4 * 97))
    expect(colours == {bytes((30, 60, 200))},
           "the layer's colour bytes are %s, expected only the preset's 30,60,200"
           % sorted(tuple(c) for c in colours)[:5])


METRIC_PRESET = """[zipstroke]
version=0.5.2
line_color=0;0;0;
line_antialias=2
line_pitch=0.85
line_pitch_rand=60
line_pitch_rand_seed=3
line_pitch_type=1
line_block_on_pitch=0
line_block_on_pitch_rand=0
line_blick_on_pitch_rand_seed=100
line_block_off_pitch=0
line_block_off_pitch_rand=0
line_blick_off_pitch_rand_seed=100
line_wave_npoint=0
line_wave_depth=4
line_wave_depth_rand=0
line_wave_depth_rand_seed=100
line_wave_type=0
line_width=0.3
line_width_rand=20
line_width_rand_seed=5
line_in_margin=6
line_in_margin_rand=40
line_in_margin_rand_seed=6
line_in_length=9
line_in_length_rand=0
line_in_length_rand_seed=100
line_out_margin=0
line_out_margin_rand=0
line_out_margin_rand_seed=100
line_out_length=0
line_out_length_rand=0
line_out_length_rand_seed=100
area_type=0
area_unit=2
radiation_x=25.4
radiation_y=16.5
radiation_in_radius=12
radiation_out_radius=40
radiation_oblateness=0.25
radiation_in_freehand_active=false
radiation_out_freehand_active=false
parallel_in_x=0
parallel_in_Y=20
parallel_in_range=30
parallel_out_x=50
parallel_out_Y=20
parallel_out_range=30
parallel_in_freehand_active=false
parallel_out_freehand_active=false
"""


@case("preset-load-millimetres")
def preset_load_millimetres(t):
    # A preset kept in millimetres on a 300 dpi image: the dialog shows the
    # numbers of the file and the layer matches a render at 300 dpi.
    home = t.fresh_home()
    path = os.path.join(t.preset_dir(home), "Metric")
    with open(path, "w", encoding="utf-8") as f:
        f.write(METRIC_PRESET)
    run = t.gimp(r'''
(define made (e2e-new-image 600 400 RGB))
(define img (car made))
(define bg (cadr made))
(gimp-image-set-resolution img 300 300)
(define before (e2e-layer-ids img))
(plugin-zipstroke RUN-INTERACTIVE img bg)
''' + AFTER_RUN + '(e2e-put "end")', drive="load-preset", drive_args=("Metric",), home=home)
    expect(run.driver.get("pitch") == 0.85,
           "after loading, the pitch shows %s, the preset has 0.85 mm" % run.driver.get("pitch"))
    expect_layer(run, (600, 400), (0, 0))
    ref = t.render("ref.png", "600x400", settings=path, resolution="300")
    t.expect_same_alpha(run.path("layer.png"), ref, "layer of the millimetre preset")


@case("preset-save")
def preset_save(t):
    home = t.fresh_home()
    run = t.gimp(r'''
(define made (e2e-new-image 640 480 RGB))
(define img (car made))
(define bg (cadr made))
(define before (e2e-layer-ids img))
(plugin-zipstroke RUN-INTERACTIVE img bg)
''' + AFTER_RUN + r'''
(let ((new (e2e-new-layers img before)))
  (if (= (length new) 1)
      (let ((text (e2e-parasite-text (car new))))
        (e2e-put "has-parasite" (if text 1 0))
        (if text (e2e-save-text "parasite.txt" text)))))
(e2e-put "end")''', drive="save-preset", drive_args=("Saved One", "17"), home=home)
    path = os.path.join(home, ".config/GIMP/2.10/zipstroke", "Saved One")
    expect(os.path.isfile(path), "no preset file 'Saved One' in the preset folder")
    with open(path, "rb") as f:
        saved = f.read()
    expect(saved.startswith(b"[zipstroke]\nversion=0.5.2\n"),
           "the preset does not start with the group and version lines: %r" % saved[:40])
    expect(re.search(rb"^line_pitch=17$", saved, re.M) is not None, "the preset lacks line_pitch=17")
    if run.get("has-parasite") == "1":
        with open(run.path("parasite.txt"), "rb") as f:
            parasite = f.read()
        expect(parasite == saved,
               "the preset file differs from the settings text the layer carries")
        t.notes.append("preset file equals the layer's parasite text byte for byte")
    expect_layer(run, (640, 480), (0, 0))
    ref = t.render("ref.png", "640x480", settings=path)
    t.expect_same_alpha(run.path("layer.png"), ref, "layer of the saved record")


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
(e2e-layer-facts "layer" img streak)
(e2e-export img streak "edited.png")
(e2e-save-text "edited.txt" (or (e2e-parasite-text streak) ""))
(plugin-zipstroke RUN-INTERACTIVE img streak)
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
(plugin-zipstroke RUN-INTERACTIVE img bg)
(e2e-put "new-layers" (length (e2e-new-layers img before)))
(e2e-put "layers" (length (e2e-layer-ids img)))
(e2e-put "base-type" (car (gimp-image-base-type img)))
(e2e-put "end")""", drive="create")
    expect(run["base-type"] == "2", "the image is not indexed (%s)" % run["base-type"])
    expect(run["new-layers"] == "0" and run["layers"] == "1",
           "Create changed the layers of an indexed image (%s layers)" % run["layers"])


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


@case("large-image")
def large_image(t):
    # 4000 x 3000: the whole path at a size photographers use, timed from the
    # press of "Create" to the dialog closing.
    run = t.gimp(r"""
(define made (e2e-new-image 4000 3000 RGB))
(define img (car made))
(define bg (cadr made))
(define before (e2e-layer-ids img))
(plugin-zipstroke RUN-INTERACTIVE img bg)
""" + AFTER_RUN + '(e2e-put "end")', drive="timed-create", timeout=400)
    expect_layer(run, (4000, 3000), (0, 0))
    ref = t.render("ref.png", "4000x3000")
    t.expect_same_alpha(run.path("layer.png"), ref, "4000x3000 layer")
    t.notes.append("Create of 4000x3000 took %ss" % run.driver.get("create_seconds"))


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
