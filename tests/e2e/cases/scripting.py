"""Cases of plugin-zipstroke-settings: the streak layer drawn from a settings
text without a dialog, from Script-Fu and from a batch command line."""

import glob
import os
import subprocess

from cases import case, AFTER_RUN, expect_layer, expect_own_settings
from runner import expect, Fail

# The GIMP 3 host does not register plugin-zipstroke-settings yet, and these
# cases call GIMP 2.10's procedures directly.
GIMP2_ONLY = (2,)

HERE = os.path.dirname(os.path.abspath(__file__))
DATA = os.path.join(HERE, "..", "..", "data")
RADIAL = os.path.join(DATA, "golden", "radial_ellipse_waves_blocks.settings")
PARALLEL = os.path.join(DATA, "golden", "parallel_outlines_blocks.settings")


# Script-Fu's reader refuses long string literals: texts are read from files.
READ_TEXT = r'''
(define (zipstroke-read-text path)
  (let ((port (open-input-file path)))
    (let loop ((chars '()) (c (read-char port)))
      (if (eof-object? c)
          (begin (close-input-port port) (list->string (reverse chars)))
          (loop (cons c chars) (read-char port))))))
'''


def scheme_string(text):
    return '"%s"' % text.replace("\\", "\\\\").replace('"', '\\"')


def text_of(path):
    return '(zipstroke-read-text "%s")' % path


def read(path):
    with open(path, encoding="utf-8") as f:
        return f.read()


@case("script-settings", gimp=GIMP2_ONLY)
def script_settings(t):
    # A new layer on an RGB image, on a selection of a grey one, then the
    # first layer re-rendered in place with other settings.
    radial, parallel = text_of(RADIAL), text_of(PARALLEL)
    run = t.gimp(READ_TEXT + r'''
(define made (e2e-new-image 320 240 RGB))
(define img (car made))
(define before (e2e-layer-ids img))
(define made-layer (car (plugin-zipstroke-settings RUN-NONINTERACTIVE img (cadr made) %s FALSE)))
(e2e-put "returned-is-new" (if (memv made-layer (e2e-new-layers img before)) 1 0))
%s
(gimp-image-clean-all img)
(define made-position (car (gimp-image-get-item-position img made-layer)))
(define again (car (plugin-zipstroke-settings RUN-WITH-LAST-VALS img made-layer %s TRUE)))
; The redrawn layer takes the old one's place (a copy of it, so that undo and
; redo swap whole layers) and is the one returned.
(e2e-put "replaced-in-place" (if (= (car (gimp-image-get-item-position img again)) made-position) 1 0))
(e2e-put "layers-after-replace" (length (e2e-layer-ids img)))
(e2e-put "dirty-after-replace" (car (gimp-image-is-dirty img)))
(e2e-layer-facts "replaced" img again)
(e2e-export img again "replaced.png")

(define grey (e2e-new-image 300 200 GRAY))
(define gimg (car grey))
(gimp-image-select-rectangle gimg CHANNEL-OP-REPLACE 40 30 200 150)
(define gbefore (e2e-layer-ids gimg))
(define glayer (car (plugin-zipstroke-settings RUN-INTERACTIVE gimg (cadr grey) %s FALSE)))
(e2e-layer-facts "grey" gimg glayer)
(e2e-export gimg glayer "grey.png")
(e2e-put "grey-selection" (e2e-selection gimg))
(e2e-put "end")''' % (radial, AFTER_RUN, parallel, radial))
    expect(run["returned-is-new"] == "1", "the procedure did not return the layer it made")
    expect_layer(run, (320, 240), (0, 0))
    ref = t.render("radial.png", "320x240", settings=RADIAL)
    t.expect_same_alpha(run.path("layer.png"), ref, "new layer from the settings text")
    expect(expect_own_settings(t, run, "320x240"), "the layer carries no settings")

    expect(run["replaced-in-place"] == "1", "replace returned a layer at another position")
    expect(run["replaced.name"] == "Zipstroke Layer", "replaced layer named %r" % run["replaced.name"])
    expect(run["layers-after-replace"] == "2", "replace changed the number of layers to %s"
           % run["layers-after-replace"])
    expect(run["dirty-after-replace"] == "1", "replace left the image clean")
    expect(run.ints("replaced.size") == [320, 240], "replaced layer size %s" % run["replaced.size"])
    ref = t.render("parallel.png", "320x240", settings=PARALLEL)
    t.expect_same_alpha(run.path("replaced.png"), ref, "layer re-rendered with other settings")

    expect(run.ints("grey.size") == [200, 150], "grey layer size %s" % run["grey.size"])
    expect(run.ints("grey.offsets") == [40, 30], "grey layer offsets %s" % run["grey.offsets"])
    expect(run["grey.type"] == "3", "grey layer type %s" % run["grey.type"])
    expect(run["grey-selection"].split()[0] == "1", "the selection was not restored")
    ref = t.render("grey.png", "200x150", settings=RADIAL)
    t.expect_same_alpha(run.path("grey.png"), ref, "grey layer on a selection")


@case("script-settings-refused", gimp=GIMP2_ONLY)
def script_settings_refused(t):
    # Each bad call is refused with a message saying what is wrong, and leaves
    # the image clean (no undo step) with its layers as they were.
    radial = text_of(RADIAL)
    calls = [
        ("empty", '""', "img", "bg", "FALSE", "empty"),
        ("garbage", scheme_string("line_pitch=3\n"), "img", "bg", "FALSE", "group"),
        ("other-group", scheme_string("[other]\nline_pitch=3\n"), "img", "bg", "FALSE",
         "[zipstroke]"),
        ("indexed", radial, "iimg", "ibg", "FALSE", "indexed"),
        ("replace-plain", radial, "img", "bg", "TRUE", "streak layer"),
        ("no-image", radial, "9999", "bg", "FALSE", "image"),
        ("no-drawable", radial, "img", "9999", "FALSE", "drawable"),
    ]
    body = [READ_TEXT + r'''
(define made (e2e-new-image 200 150 RGB))
(define img (car made))
(define bg (cadr made))
(define imade (e2e-new-image 200 150 RGB))
(define iimg (car imade))
(define ibg (cadr imade))
(gimp-image-convert-indexed iimg CONVERT-DITHER-NONE CONVERT-PALETTE-GENERATE 16 FALSE FALSE "")
(gimp-image-clean-all img)
(gimp-image-clean-all iimg)''']
    for name, text, image, drawable, replace, _ in calls:
        body.append(r'''
(let ((result (e2e-try (lambda () (plugin-zipstroke-settings RUN-NONINTERACTIVE %s %s %s %s)))))
  (e2e-put "%s.refused" (if (e2e-error? result) 1 0))
  (e2e-save-text "%s.message" (if (e2e-error? result) (cadr result) "")))'''
                    % (image, drawable, text, replace, name, name))
    body.append(r'''
(e2e-put "layers" (length (e2e-layer-ids img)) (length (e2e-layer-ids iimg)))
(e2e-put "dirty" (car (gimp-image-is-dirty img)) (car (gimp-image-is-dirty iimg)))
(e2e-put "end")''')
    run = t.gimp("\n".join(body))
    for name, _, _, _, _, says in calls:
        expect(run["%s.refused" % name] == "1", "%s: the call was not refused" % name)
        message = read(run.path("%s.message" % name))
        expect(says in message, "%s: the message %r does not say %r" % (name, message, says))
    expect(run.ints("layers") == [1, 1], "layers after the refused calls: %s" % run["layers"])
    expect(run.ints("dirty") == [0, 0], "a refused call changed the image: dirty %s" % run["dirty"])


# The batch of the README: every PNG of a folder gets the lines of one preset
# file and is saved, flattened, into another folder.
BATCH = READ_TEXT + r'''
(define (zipstroke-folder pattern settings-file out-dir)
  (let ((text (zipstroke-read-text settings-file)))
    (for-each
      (lambda (in)
        (let* ((image (car (gimp-file-load RUN-NONINTERACTIVE in in)))
               (drawable (car (gimp-image-get-active-drawable image)))
               (out (string-append out-dir "/" (car (last (strbreakup in "/"))))))
          (plugin-zipstroke-settings RUN-NONINTERACTIVE image drawable text FALSE)
          (gimp-file-save RUN-NONINTERACTIVE image
                          (car (gimp-image-merge-visible-layers image CLIP-TO-IMAGE)) out out)
          (gimp-image-delete image)))
      (cadr (file-glob pattern 1)))))
'''


# Three transparent panels of different sizes, and a folder for the results:
# flattened over nothing, a saved picture is the streak layer itself, to the byte.
PANEL_SIZES = {"p1.png": "320x240", "p2.png": "200x300", "p3.png": "640x100"}


def make_panels(t):
    folder = os.path.join(t.root, "panels")
    out_dir = os.path.join(t.root, "out")
    os.makedirs(folder)
    os.makedirs(out_dir)
    for name, size in PANEL_SIZES.items():
        subprocess.run(["convert", "-size", size, "xc:none", "PNG32:" + os.path.join(folder, name)],
                       check=True, timeout=60)
    return folder, out_dir


def run_console(t, command, config_var, timeout):
    """Runs a GIMP console batch in a fresh home; returns everything it logged."""
    env = dict(os.environ, HOME=t.fresh_home(), LC_ALL="C.UTF-8")
    for var in ("XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME", config_var):
        env.pop(var, None)
    res = subprocess.run(command, env=env, capture_output=True, text=True, timeout=timeout,
                         stdin=subprocess.DEVNULL)
    return res.stdout + res.stderr


def expect_panels_drawn(t, out_dir, what):
    for name, size in PANEL_SIZES.items():
        ref = t.render("ref-" + name, size, settings=RADIAL)
        t.expect_same_alpha(os.path.join(out_dir, name), ref, what + " " + name)


@case("script-batch", needs=("plugin", "render"), gimp=GIMP2_ONLY)
def script_batch(t):
    folder, out_dir = make_panels(t)
    script = BATCH + '(zipstroke-folder "%s/*.png" "%s" "%s")' % (folder, RADIAL, out_dir)
    log = run_console(t, ["gimp-console-2.10", "-i", "-b", script, "-b", "(gimp-quit 0)"],
                      "GIMP2_DIRECTORY", 180)
    complaints = [line for line in log.splitlines()
                  if "(zipstroke:" in line and ("CRITICAL" in line or "WARNING" in line)]
    expect(not complaints, "the plug-in logged:\n%s" % "\n".join(complaints[:8]))
    saved = sorted(os.path.basename(p) for p in glob.glob(os.path.join(out_dir, "*.png")))
    if saved != sorted(PANEL_SIZES):
        raise Fail("the batch saved %s, expected %s; GIMP said:\n%s"
                   % (saved, sorted(PANEL_SIZES), log[-1500:]))
    expect_panels_drawn(t, out_dir, "batch output")


# The same batch from Python-Fu in GIMP 3, with one refused call: its status
# and message must come back to the script, and the image stay as it was.
PYTHON_BATCH = r'''
import glob, os, sys
from gi.repository import Gimp, Gio

def run_settings(image, drawable, text):
    proc = Gimp.get_pdb().lookup_procedure('plugin-zipstroke-settings')
    config = proc.create_config()
    config.set_property('run-mode', Gimp.RunMode.NONINTERACTIVE)
    config.set_property('image', image)
    config.set_property('drawable', drawable)
    config.set_property('settings', text)
    config.set_property('replace', False)
    return proc.run(config)

text = open(%(settings)r, encoding='utf-8').read()
with open(%(report)r, 'w') as report:
    for path in sorted(glob.glob(%(folder)r + '/*.png')):
        image = Gimp.file_load(Gimp.RunMode.NONINTERACTIVE, Gio.File.new_for_path(path))
        layer = image.get_layers()[0]
        if os.path.basename(path) == 'p1.png':
            refused = run_settings(image, layer, '[other]\nline_pitch=3\n')
            report.write('refused %%d %%d %%s\n' %% (
                int(refused.index(0) == Gimp.PDBStatusType.CALLING_ERROR),
                len(image.get_layers()), str(refused.index(1)).replace('\n', ' ')))
        result = run_settings(image, layer, text)
        report.write('status %%s %%d\n' %% (os.path.basename(path),
                                          int(result.index(0) == Gimp.PDBStatusType.SUCCESS)))
        image.merge_visible_layers(Gimp.MergeType.CLIP_TO_IMAGE)
        out = os.path.join(%(out)r, os.path.basename(path))
        Gimp.file_save(Gimp.RunMode.NONINTERACTIVE, image, Gio.File.new_for_path(out), None)
        image.delete()
'''


@case("script-batch-python", needs=("plugin", "render"), gimp=(3,))
def script_batch_python(t):
    import re
    from runner import COMPLAINT, GIMP
    folder, out_dir = make_panels(t)
    report = os.path.join(t.root, "report.txt")
    script = os.path.join(t.root, "batch.py")
    with open(script, "w", encoding="utf-8") as f:
        f.write(PYTHON_BATCH % {"settings": RADIAL, "report": report, "folder": folder,
                                "out": out_dir})
    log = run_console(t, [GIMP.console, "-i", "--batch-interpreter", "python-fu-eval",
                          "-b", "exec(open(%r).read())" % script, "--quit"],
                      "GIMP3_DIRECTORY", 240)
    complaints = [line for line in log.splitlines() if COMPLAINT.search(line)
                  and not any(re.search(n, line) for n in GIMP.noise)
                  and "python" not in line.split(":")[0]]
    expect(not complaints, "GIMP or the plug-in logged:\n%s" % "\n".join(complaints[:8]))
    lines = open(report, encoding="utf-8").read().splitlines() if os.path.exists(report) else []
    refused = [l for l in lines if l.startswith("refused ")]
    expect(refused and refused[0].split()[1:3] == ["1", "1"] and "[zipstroke]" in refused[0],
           "the call with a text of another group was not refused cleanly: %r; GIMP said:\n%s"
           % (refused, log[-1500:]))
    for name in PANEL_SIZES:
        expect("status %s 1" % name in lines, "%s: the procedure failed: %r" % (name, lines))
    expect_panels_drawn(t, out_dir, "Python-Fu batch output")
