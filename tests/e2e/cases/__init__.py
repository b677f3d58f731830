"""The end-to-end cases: each makes an image in GIMP through Script-Fu, runs
the filter while drive.py works the dialog, and checks what GIMP then holds
against zipstroke-render."""

import json
import os
import re
import subprocess

from runner import GIMP, Fail, expect, stop_group, tail

E2E_DIR = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PYTHON = "/usr/bin/python3"  # the one with python3-gi

CASES = []
_features = {}


def case(name, needs=("plugin", "render"), gimp=(2, 3), window_manager=False, screen=None):
    """Registers a case; gimp names the versions it runs in (a case for one
    version only says why where it is registered).  With window_manager the
    case runs under a window manager that the runner starts for it and ends
    after it (runner.WindowManager); the other cases have none.  With screen
    (width, height) it runs on a display of that size of its own
    (runner.OwnScreen)."""
    def register(fn):
        fn.window_manager = window_manager
        fn.screen = screen
        if GIMP.version in gimp:
            CASES.append((name, fn, needs))
        return fn
    return register


def gimp_with_own_driver(t, driver_file, scheme, drive_name, drive_args=(), timeout=300,
                         tag="run", gui=True, allowed_messages=(), environ=None):
    """t.gimp (in the GUI unless gui is false) with the drive drive_name of
    the case file driver_file (run as a program beside GIMP) working the
    dialog; the driver's output becomes run.driver.  Fails on any critical,
    warning or calling error from GIMP's core or the plug-in, and on a
    crashed plug-in."""
    home = t.fresh_home()
    workdir = os.path.join(t.root, "driver.%s.%s" % (drive_name, tag))
    os.makedirs(workdir, exist_ok=True)
    env = dict(os.environ)
    env.update(HOME=home, LC_ALL="C.UTF-8", LANG="C.UTF-8", **GIMP.env)
    log_path = os.path.join(workdir, "driver.log")
    with open(log_path, "w") as log:
        driver = subprocess.Popen([PYTHON, "-u", os.path.abspath(driver_file), drive_name, workdir]
                                  + [str(a) for a in drive_args],
                                  env=env, stdout=log, stderr=subprocess.STDOUT,
                                  stdin=subprocess.DEVNULL, start_new_session=True, cwd=E2E_DIR)
    try:
        try:
            run = t.gimp(scheme, gui=gui, home=home, timeout=timeout,
                         allowed_messages=allowed_messages, environ=environ)
        finally:
            try:
                driver.wait(timeout=60)
            except subprocess.TimeoutExpired:
                pass
    finally:
        stop_group(driver)
    with open(log_path, encoding="utf-8", errors="replace") as f:
        dtext = f.read()
    if driver.returncode != 0:
        raise Fail("driver failed (%s):\n%s\nGIMP log tail:\n%s"
                   % (driver.returncode, tail(dtext, 14), run.log_tail()))
    with open(os.path.join(workdir, "driver.out"), encoding="utf-8") as f:
        run.driver = json.load(f)
    bad = [line for line in run.log.splitlines()
           if "CRITICAL" in line or "invalid ID" in line or "Too many error messages" in line
           or "crashed" in line
           or ("(zipstroke:" in line and "WARNING" in line)
           if not any(re.search(pattern, line) for pattern in GIMP.noise)]
    if bad:
        raise Fail("GIMP or the plug-in logged:\n%s" % "\n".join(bad[:8]))
    return run


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
                run = ctx.gimp('(e2e-put "registered" (e2e-proc-exists '
                               '"plugin-zipstroke"))\n(e2e-put "end")', timeout=90)
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
        (e2e-put "active-is-new" (if (= (e2e-active-layer img) (car new)) 1 0))
        (e2e-export img (car new) "layer.png")
        (let ((text (e2e-parasite-text (car new))))
          (e2e-put "has-parasite" (if text 1 0))
          (if text (e2e-save-text "parasite.txt" text))))))
(e2e-put "selection" (e2e-selection img))
(e2e-put "channels" (e2e-channel-count img))
(e2e-put "last-values-size" (e2e-last-values-size))
'''


def expect_layer(run, size, offsets, kind=1, channels=0):
    expect(run["new-layers"] == "1", "expected one new layer, found %s" % run["new-layers"])
    expect(run["layer.name"] == "Zipstroke Layer",
           "layer name %r, expected 'Zipstroke Layer'" % run["layer.name"])
    expect(run.ints("layer.size") == list(size), "layer size %s, expected %s" % (run["layer.size"], size))
    expect(run.ints("layer.offsets") == list(offsets),
           "layer offsets %s, expected %s" % (run["layer.offsets"], offsets))
    expect(run["layer.type"] == str(kind),
           "layer type %s, expected %d (1 RGBA, 3 grey-alpha)" % (run["layer.type"], kind))
    expect(run["active-is-new"] == "1", "the new layer is not the active layer")
    expect(run["channels"] == str(channels),
           "the image has %s channels afterwards, expected %d" % (run["channels"], channels))




def expect_own_settings(t, run, size, resolution="72"):
    """The layer equals a render of the settings text it carries (when the
    layer output attaches one): the record the plug-in drew is the record it
    wrote down."""
    if run.get("has-parasite") != "1":
        return False
    ref = t.render("own-settings.png", size, settings=run.path("parasite.txt"),
                   resolution=resolution)
    t.expect_same_alpha(run.path("layer.png"), ref, "layer against its own settings text")
    return True


# Registered in the order they run.
from cases import run_modes, layer_output, preview, presets, edit_layer, scripting  # noqa: E402,F401
from cases import reliability, banded  # noqa: E402,F401
from cases import artist_view  # noqa: E402,F401
from cases import window_manager  # noqa: E402,F401
from cases import languages  # noqa: E402,F401
from cases import laptop  # noqa: E402,F401
from cases import path_import  # noqa: E402,F401
