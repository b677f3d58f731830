"""The user's side of each end-to-end case: works the plug-in's dialog while
GIMP runs the case's Script-Fu.  Usage: drive.py NAME WORKDIR [ARGS...]

What the driver sees is written to WORKDIR/driver.out (JSON); a "skip" entry
there means the feature the case needs is not in the dialog."""

import json
import os
import subprocess
import sys
import time

import ui
from ui import Role

TITLE = "Zipstroke Version 0.5.2"
DRIVES = {}
seen_pids = []


def drive(fn):
    DRIVES[fn.__name__.replace("_", "-")] = fn
    return fn


class Skip(Exception):
    pass


def dialog(timeout=90, create="Create"):
    """The next Zipstroke dialog to open (not one seen before); create is its
    Create button's name in the dialog's language."""
    w = ui.open_window(TITLE, timeout=timeout, exclude_pids=seen_pids)
    seen_pids.append(w.pid)
    # The window is mapped before GTK has laid it out; wait for the buttons.
    w.find(Role.PUSH_BUTTON, create, timeout=30)
    return w


def preview(w):
    """The preview: the large widget left of the zoom buttons (a GTK2 drawing
    area has no name, and gail reports its role as unknown)."""
    plus = w.find(Role.PUSH_BUTTON, "+")
    areas = [x for x in w.widgets() if x.showing() and x.w >= 400 and x.h >= 400
             and x.x + x.w <= plus.x and x.role in (Role.DRAWING_AREA, Role.UNKNOWN, Role.CANVAS)]
    if not areas:
        raise ui.UIError("no preview left of the zoom buttons")
    return areas[0]


def undo_in_image_window(title_pattern):
    """Presses Ctrl+Z in the image window whose title matches, and lets GIMP
    take the step."""
    image = ui.wait_for("the image window",
                        lambda: ui.xdotool("search", "--onlyvisible", "--name",
                                           title_pattern).split(),
                        30)
    xid = int(image[0])
    ui.xdotool("windowactivate", "--sync", xid)
    ui.xdotool("windowfocus", "--sync", xid)
    ui.xdotool("key", "--window", xid, "--clearmodifiers", "ctrl+z")
    time.sleep(1.5)


@drive
def dump(out, args):
    """Lists the dialog's showing widgets (for writing new cases), then Close."""
    w = dialog()
    for x in w.widgets():
        if x.showing():
            print(x)
    w.click("Close")
    w.wait_gone()


@drive
def create(out, args):
    w = dialog()
    w.click("Create")
    w.wait_gone()


@drive
def pitch_then_reopen(out, args):
    """First run: pitch set to args[0], then Close.  Second run: read the
    pitch shown, then Create."""
    w = dialog()
    w.set_spin("Pitch:", args[0])
    out["first_pitch"] = w.spin("Pitch:").value()
    # Without a window manager the window goes exactly where it is moved.
    ui.xdotool("windowmove", "--sync", w.xid, 37, 45)
    time.sleep(0.3)
    w.click("Close")
    w.wait_gone()
    w = dialog()
    out["second_pitch"] = w.spin("Pitch:").value()
    out["second_position"] = [w.acc.get_extents(ui.Atspi.CoordType.SCREEN).x,
                              w.acc.get_extents(ui.Atspi.CoordType.SCREEN).y]
    w.click("Create")
    w.wait_gone()


@drive
def read_centre_twice(out, args):
    """Two runs: note the radial centre each shows, Close each."""
    for key in ("first", "second"):
        w = dialog()
        out[key] = [w.spin("X:").value(), w.spin("Y:").value()]
        w.click("Close")
        w.wait_gone()


@drive
def read_pitch(out, args):
    w = dialog()
    out["pitch"] = w.spin("Pitch:").value()
    w.click("Close")
    w.wait_gone()


@drive
def create_then_undo(out, args):
    """Create a layer, then, while the second run's dialog is open, press
    Ctrl+Z in the image window and Close."""
    w = dialog()
    w.click("Create")
    w.wait_gone()
    w = dialog()
    undo_in_image_window("Untitled")
    w.click("Close")
    w.wait_gone()


@drive
def drag_centre(out, args):
    """Drags the radial centre on the preview by (dx, dy), reads the centre
    the spin buttons then show, and creates."""
    dx, dy = int(args[0]), int(args[1])
    w = dialog()
    before = (w.spin("X:").value(), w.spin("Y:").value())
    area = preview(w)
    # The middle of the work area, where the default centre handle sits, is
    # the middle of the preview: a work area that fits is shown centred.
    x0, y0 = area.x + area.w // 2, area.y + area.h // 2
    w.drag(x0, y0, x0 + dx, y0 + dy)
    time.sleep(0.5)
    after = (w.spin("X:").value(), w.spin("Y:").value())
    out["before"] = before
    out["after"] = after
    out["preview"] = [area.x, area.y, area.w, area.h]
    if after == before:
        out["unchanged"] = True
    w.click("Create")
    w.wait_gone()


@drive
def drag_band(out, args):
    """Parallel area: drags the band's middle handle by (dx, dy) screen
    pixels; notes both centres before and after; creates."""
    dx, dy = int(args[0]), int(args[1])
    w = dialog()
    w.click("Parallel", role=Role.RADIO_BUTTON)
    w.spin("Range:")  # the Parallel page is showing

    def centres():
        return [w.spin("In:", 0).value(), w.spin("In:", 1).value(),
                w.spin("Out:", 0).value(), w.spin("Out:", 1).value()]
    out["before"] = centres()
    area = preview(w)
    x0, y0 = area.x + area.w // 2, area.y + area.h // 2  # the middle of the default band
    w.drag(x0, y0, x0 + dx, y0 + dy)
    time.sleep(0.5)
    out["after"] = centres()
    out["ranges"] = [w.spin("In:", 2).value(), w.spin("Out:", 2).value()]
    out["preview"] = [area.x, area.y, area.w, area.h]
    w.click("Create")
    w.wait_gone()


@drive
def freehand_outer(out, args):
    """Switches the outer ellipse to a freehand outline, draws a stroke right
    of the centre across angle 0 at about half the ellipse's distance, and
    creates."""
    w = dialog()
    check = w.beside("Out:", Role.CHECK_BOX)
    w.click_at(check.cx, check.cy)
    ui.wait_for("the outer row's buttons to become sensitive",
                lambda: w.beside("Out:", Role.PUSH_BUTTON, 0).sensitive(), 10)
    edit = w.beside("Out:", Role.PUSH_BUTTON, 0)
    out["edit_label_before"] = edit.name
    w.click_at(edit.cx, edit.cy)
    ui.wait_for("the edit button to read Edit Stop",
                lambda: w.beside("Out:", Role.PUSH_BUTTON, 0).name == "Edit Stop", 10)
    area = preview(w)
    cx, cy = area.x + area.w // 2, area.y + area.h // 2
    w.drag(cx + 150, cy - 90, cx + 150, cy + 90, steps=18)
    time.sleep(0.3)
    w.click("Create")
    w.wait_gone()


@drive
def load_preset(out, args):
    """Double-clicks the preset args[0] on the Preset page, then Create."""
    name = args[0]
    w = dialog()
    tab = [x for x in w.widgets() if x.role == Role.PAGE_TAB and x.name == "Preset"]
    if not tab:
        raise Skip("the dialog has no Preset page")
    w.click_at(tab[0].cx, tab[0].cy)
    cell = w.find(Role.TABLE_CELL, name, timeout=10)
    out["listed"] = True
    out["rows"] = [x.name for x in w.widgets() if x.role == Role.TABLE_CELL and x.showing()]
    w.click_at(cell.cx, cell.cy, repeat=2)
    time.sleep(1.0)  # the row blinks for a quarter of a second
    options = [x for x in w.widgets() if x.role == Role.PAGE_TAB and x.name == "Options"]
    w.click_at(options[0].cx, options[0].cy)
    out["pitch"] = w.spin("Pitch:").value()
    w.click("Create")
    w.wait_gone()


@drive
def save_preset(out, args):
    """Sets the pitch to args[1], saves the preset as args[0] through the
    query box, then Create (so the layer holds the same record)."""
    name, pitch = args[0], args[1]
    w = dialog()
    w.set_spin("Pitch:", pitch)
    tab = [x for x in w.widgets() if x.role == Role.PAGE_TAB and x.name == "Preset"]
    if not tab:
        raise Skip("the dialog has no Preset page")
    w.click_at(tab[0].cx, tab[0].cy)
    w.click("Save")
    box = ui.open_window("New Parameter Preset", timeout=20)
    entry = box.find(Role.TEXT, timeout=10)
    box.type_into(entry, name)
    # Return in the entry may already confirm; press OK when it is still there.
    time.sleep(0.5)
    if not box.gone():
        box.click("OK")
    box.wait_gone(10)
    w.find(Role.TABLE_CELL, name, timeout=10)
    w.click("Create")
    w.wait_gone()


@drive
def edit_layer(out, args):
    """With a streak layer active: Edit Layer, set the pitch to args[0],
    Apply; then the second run (opened by the Script-Fu for undo): Ctrl+Z in
    the image window, Close."""
    w = dialog()
    if not w.has(Role.PUSH_BUTTON, "Edit Layer"):
        raise Skip("the dialog has no \"Edit Layer\" button")
    w.click("Edit Layer")
    w.find(Role.PUSH_BUTTON, "Apply", timeout=10)
    out["pitch_loaded"] = w.spin("Pitch:").value()
    w.set_spin("Pitch:", args[0])
    w.click("Apply")
    w.find(Role.PUSH_BUTTON, "Create", timeout=30)
    out["pitch_after_apply"] = w.spin("Pitch:").value()
    w.click("Close")
    w.wait_gone()
    w = dialog()
    undo_in_image_window(r"\.xcf")
    w.click("Close")
    w.wait_gone()


def edit_apply_close(w):
    """Edit Layer, Apply, and once the dialog is back in creating mode, Close."""
    w.click("Edit Layer")
    w.click("Apply", timeout=10)
    w.find(Role.PUSH_BUTTON, "Create", timeout=30)
    w.click("Close")
    w.wait_gone()


@drive
def create_then_edit(out, args):
    """First run: Create.  Second run: Edit Layer, Apply, Close."""
    w = dialog()
    w.click("Create")
    w.wait_gone()
    w = dialog()
    if not w.has(Role.PUSH_BUTTON, "Edit Layer"):
        raise Skip("the dialog has no \"Edit Layer\" button")
    edit_apply_close(w)


@drive
def edit_plain_layer(out, args):
    """With a layer that carries no settings active: note whether Edit Layer
    can be pressed and the buttons, then Close."""
    w = dialog()
    if not w.has(Role.PUSH_BUTTON, "Edit Layer"):
        raise Skip("the dialog has no \"Edit Layer\" button")
    time.sleep(0.5)
    out["edit_sensitive"] = w.find(Role.PUSH_BUTTON, "Edit Layer").sensitive()
    out["buttons"] = sorted(x.name for x in w.widgets()
                            if x.role == Role.PUSH_BUTTON and x.showing() and x.name)
    w.click("Close")
    w.wait_gone()


@drive
def edit_unreadable(out, args):
    """Edit Layer with a layer whose settings text is not a key file: note
    any message box, the pitch and the buttons, then leave."""
    w = dialog()
    if not w.has(Role.PUSH_BUTTON, "Edit Layer"):
        raise Skip("the dialog has no \"Edit Layer\" button")
    w.click("Edit Layer")
    time.sleep(2.0)
    tops = other_windows(w)
    out["messages"] = [[x.name for x in t.widgets() if x.role == Role.LABEL and x.name]
                       for t in tops]
    for t in tops:
        for b in t.widgets():
            if b.role == Role.PUSH_BUTTON and b.name in ("Close", "OK"):
                t.click_at(b.cx, b.cy)
                break
    time.sleep(0.5)
    out["pitch"] = w.spin("Pitch:").value()
    out["buttons"] = sorted(x.name for x in w.widgets()
                            if x.role == Role.PUSH_BUTTON and x.showing() and x.name)
    if w.has(Role.PUSH_BUTTON, "Cancel"):
        w.click("Cancel")
        w.find(Role.PUSH_BUTTON, "Close", timeout=10)
    w.click("Close")
    w.wait_gone()


def other_windows(w):
    """Showing top-level windows of the dialog's process other than the dialog."""
    found = []
    desktop = ui.Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(i)
        try:
            if app is None or app.get_process_id() != w.pid:
                continue
            for j in range(app.get_child_count()):
                top = app.get_child_at_index(j)
                if top.get_name() != w.title and \
                        ui.State.SHOWING in top.get_state_set().get_states():
                    found.append(ui.Window(top.get_name() or "", None, top))
        except Exception:
            continue
    return found


def safe_widgets(win):
    try:
        return win.widgets()
    except Exception:
        return []


@drive
def timed_create(out, args):
    """Create, timing how long the dialog takes to go away."""
    w = dialog(timeout=180)
    start = time.monotonic()
    w.click("Create")
    w.wait_gone(timeout=300)
    out["create_seconds"] = round(time.monotonic() - start, 2)


@drive
def screenshot(out, args):
    """Screenshot of the dialog into args[0], then presses args[1] ("Create"
    or "Close"); with args[2], first picks that area type."""
    w = dialog()
    if len(args) > 2:
        w.click(args[2], role=Role.RADIO_BUTTON)
    time.sleep(1.0)  # let the preview finish drawing
    w.screenshot(args[0])
    w.click(args[1])
    w.wait_gone()


@drive
def screen_shot(out, args):
    """Screenshot of the whole screen, the dialog open, into args[0]; then
    presses args[1] through the accessibility interface (on a small screen
    the button need not be where a pointer can reach it)."""
    w = dialog()
    time.sleep(2.0)  # let the window manager frame it and the preview draw
    ui.point_at(2, 2)
    time.sleep(0.5)
    subprocess.run(["import", "-window", "root", args[0]], check=True, timeout=60)
    press_action(w, args[1])
    w.wait_gone()


# -- the artist's view: window size, zoom and pan --------------------------------

def window_size(w):
    """The dialog window's size in pixels, as X has it."""
    out = ui.xdotool("getwindowgeometry", w.xid)
    for line in out.splitlines():
        if "Geometry:" in line:
            width, height = line.split()[-1].split("x")
            return [int(width), int(height)]
    raise ui.UIError("no geometry for window %s: %r" % (w.xid, out))


def preview_box(w):
    area = preview(w)
    return [area.x, area.y, area.w, area.h]


def laid_out_box(w):
    """preview_box, or None while GTK is still laying the dialog out (the
    preview then need not lie left of the zoom buttons yet)."""
    try:
        return preview_box(w)
    except ui.UIError:
        return None


def resize_to(w, width, height):
    """Sets the dialog's size as a window manager would (there may be none)
    and waits until GTK has laid the preview out again."""
    before = preview_box(w)
    ui.xdotool("windowsize", "--sync", w.xid, width, height)
    ui.wait_for("the preview to follow the window's new size",
                lambda: laid_out_box(w) not in (None, before), 10, step=0.2)
    time.sleep(0.5)  # and painted it
    return ui.wait_for("the preview to be laid out", lambda: laid_out_box(w), 10, step=0.2)


def even_preview(w):
    """Makes both sides of the preview even, so that its middle is a pixel
    corner and a 1:1 view puts work-area pixels on whole screen pixels."""
    box = preview_box(w)
    if box[2] % 2 or box[3] % 2:
        width, height = window_size(w)
        box = resize_to(w, width + box[2] % 2, height + box[3] % 2)
    return box


def grab(box, path):
    """A screenshot of the screen rectangle box (x, y, w, h) as 8-bit RGB PNG."""
    x, y, width, height = box
    ui.wait_for("a screenshot", lambda: subprocess.run(
        ["import", "-window", "root", "-crop", "%dx%d+%d+%d" % (width, height, x, y),
         "+repage", "-depth", "8", "-type", "TrueColor", "PNG24:" + path],
        timeout=60).returncode == 0, 30, step=0.5)


def press_action(w, label):
    """Presses a push button through the accessibility interface."""
    button = w.find(Role.PUSH_BUTTON, label)
    action = button.acc.get_action_iface()
    if action is None or action.get_n_actions() < 1:
        raise ui.UIError("%r offers no action" % label)
    action.do_action(0)
    time.sleep(0.5)


def settled_grab(w, box, path):
    """A screenshot taken once the preview has stopped changing, with the
    pointer out of the way (a tooltip would show in the picture)."""
    ui.point_at(2, 2)
    time.sleep(0.5)
    grab(box, path)
    for _ in range(10):
        time.sleep(0.4)
        again = path + ".again.png"
        grab(box, again)
        with open(path, "rb") as a, open(again, "rb") as b:
            same = a.read() == b.read()
        os.replace(again, path)
        if same:
            return
    raise ui.UIError("the preview kept changing")


@drive
def resize_reopen(out, args):
    """Three runs.  First: note the window and preview, enlarge the window by
    (args[0], args[1]), note them again and a screenshot, Close.  Second: note
    the size it opens at, enlarge by (args[2], args[3]), Create.  Third: note
    the size it opens at, Close."""
    workdir = sys.argv[2]
    grow = [int(a) for a in args[:4]]
    w = dialog()
    out["first_window"] = window_size(w)
    out["first_preview"] = even_preview(w)
    settled_grab(w, out["first_preview"], os.path.join(workdir, "small.png"))
    width, height = out["first_window"]
    out["grown_preview"] = resize_to(w, width + grow[0], height + grow[1])
    out["grown_window"] = window_size(w)
    settled_grab(w, out["grown_preview"], os.path.join(workdir, "grown.png"))
    w.click("Close")
    w.wait_gone()

    w = dialog()
    out["second_window"] = window_size(w)
    out["second_preview"] = preview_box(w)
    width, height = out["second_window"]
    out["regrown_preview"] = resize_to(w, width + grow[2], height + grow[3])
    out["regrown_window"] = window_size(w)
    w.click("Create")
    w.wait_gone()

    w = dialog()
    out["third_window"] = window_size(w)
    out["third_preview"] = preview_box(w)
    w.click("Close")
    w.wait_gone()


def set_spins(w, assignments):
    """Types values into spin buttons: each assignment is LABEL=VALUE, or
    LABEL#N=VALUE for the N-th spin button right of the label."""
    for assignment in assignments:
        where, value = assignment.rsplit("=", 1)
        label, _, index = where.partition("#")
        w.set_spin(label, value, int(index or 0))


@drive
def zoom_pan(out, args):
    """Sets the spin buttons args[2:] (see set_spins), then zooms in with "+"
    (first through the accessibility interface, then with the pointer)
    until it is insensitive, with a screenshot of the preview at each step;
    there pans with a middle-button drag by (args[0], args[1]) that starts
    on the centre's handle, then with one wheel step down, a screenshot
    after each; then Create."""
    workdir = sys.argv[2]
    dx, dy = int(args[0]), int(args[1])
    w = dialog()
    set_spins(w, args[2:])
    box = even_preview(w)
    out["preview"] = box
    out["steps"] = []
    step = 0
    while True:
        shot = os.path.join(workdir, "zoom%d.png" % step)
        settled_grab(w, box, shot)
        plus = w.find(Role.PUSH_BUTTON, "+")
        minus = w.find(Role.PUSH_BUTTON, "-")
        out["steps"].append({"plus": plus.sensitive(), "minus": minus.sensitive()})
        if not plus.sensitive() or step > 12:
            break
        if step == 0:
            press_action(w, "+")
        else:
            w.click_at(plus.cx, plus.cy)
        with open(shot, "rb") as f:
            before = f.read()
        now = shot + ".now.png"

        def changed():
            grab(box, now)
            with open(now, "rb") as f:
                return f.read() != before
        ui.wait_for("the preview to change after \"+\"", changed, 10, step=0.3)
        os.remove(now)
        step += 1
    x0, y0 = box[0] + box[2] // 2, box[1] + box[3] // 2
    ui.point_at(x0, y0)
    ui.xdotool("mousedown", 2)
    for i in range(1, 11):
        ui.xdotool("mousemove", "--sync", x0 + dx * i // 10, y0 + dy * i // 10)
        time.sleep(0.02)
    ui.xdotool("mouseup", 2)
    settled_grab(w, box, os.path.join(workdir, "dragged.png"))
    ui.point_at(x0, y0)
    ui.xdotool("click", 5)
    settled_grab(w, box, os.path.join(workdir, "scrolled.png"))
    out["centre"] = [w.spin("X:").value(), w.spin("Y:").value()]
    w.click("Create")
    w.wait_gone()


@drive
def creates_then_apply(out, args):
    """args[0] runs that each press Create, then one that presses Edit Layer
    and Apply, then Close."""
    for _ in range(int(args[0])):
        w = dialog()
        w.click("Create")
        w.wait_gone()
    w = dialog()
    edit_apply_close(w)


@drive
def docs_views(out, args):
    """Screenshots for the README: the dialog enlarged by (args[2], args[3])
    into args[0]; then, at its first size again, zoomed in one step to the
    image's own pixels and panned to the right, into args[1]; then Close."""
    w = dialog()
    width, height = window_size(w)
    resize_to(w, width + int(args[2]), height + int(args[3]))
    ui.point_at(2, 2)
    time.sleep(1.0)
    w.screenshot(args[0])
    resize_to(w, width, height)
    plus = w.find(Role.PUSH_BUTTON, "+")
    w.click_at(plus.cx, plus.cy)
    # Panned to the right edge, where the lines cross the picture.
    box = preview_box(w)
    x0, y0 = box[0] + box[2] // 2, box[1] + box[3] // 2
    ui.point_at(x0, y0)
    ui.xdotool("mousedown", 2)
    for i in range(1, 11):
        ui.xdotool("mousemove", "--sync", x0 - 200 * i // 10, y0)
        time.sleep(0.02)
    ui.xdotool("mouseup", 2)
    ui.point_at(2, 2)
    time.sleep(1.5)
    w.screenshot(args[1])
    w.click("Close")
    w.wait_gone()


@drive
def zoom_shot(out, args):
    """Screenshots of the dialog into args[0] at fitting and args[1] after
    args[2] presses of "+", each once the preview has had time to fetch
    the part in view; then Close."""
    w = dialog()
    time.sleep(1.0)
    w.screenshot("png24:" + args[0])
    for _ in range(int(args[2])):
        w.click("+")
        time.sleep(0.3)
    # The part in view is fetched once the view stands still: wait for the
    # picture to stop changing (on a loaded machine the fetch takes longer).
    time.sleep(2.0)
    w.screenshot("png24:" + args[1])
    for _ in range(20):
        time.sleep(0.5)
        again = args[1] + ".again.png"
        w.screenshot("png24:" + again)
        with open(args[1], "rb") as a, open(again, "rb") as b:
            same = a.read() == b.read()
        os.replace(again, args[1])
        if same:
            break
    w.click("Close")
    w.wait_gone()


# -- under a window manager (cases/window_manager.py) ---------------------------

def image_window(w, title_pattern="Untitled"):
    """The X id of GIMP's image window (a visible window whose title matches
    and that is not the dialog's process)."""
    def probe():
        for xid in ui.xdotool("search", "--onlyvisible", "--name", title_pattern).split():
            pid = ui.window_pid(int(xid))
            if pid is not None and pid != w.pid:
                return int(xid)
        return None
    return ui.wait_for("GIMP's image window", probe, 30)


def raise_over(w, other, out, key):
    """Activates the window other as a task bar would and waits until the
    window manager has raised it as far as it goes: to the top, or under
    windows kept above only.  With key, notes in out[key] whether the dialog
    is then above it, and the stacking order."""
    ui.activate(other)

    def raised():
        order = ui.stacking()
        if ui.active_window() != other or other not in order:
            return None
        higher = order[order.index(other) + 1:]
        return order if all(ui.kept_above(x) for x in higher) else None
    order = ui.poll(raised, 15)
    if not order:
        raise ui.UIError("the window manager did not activate and raise window 0x%x "
                         "(active 0x%x, stacking %s)"
                         % (other, ui.active_window() or 0, [hex(x) for x in ui.stacking()]))
    if key:
        out[key] = w.xid in order and order.index(w.xid) > order.index(other)
        out[key + "_stacking"] = [hex(x) for x in order]


def topmost_box(w):
    return w.find(Role.CHECK_BOX, "Topmost")


def click_topmost(w):
    """Clicks Topmost with the pointer, coming onto it from outside as a hand
    does: GTK 2 takes a button as under the pointer from a crossing event,
    and a pointer left resting where the box was while its window lay
    covered, then raised, gets no click through."""
    box = topmost_box(w)
    ui.point_at(max(0, box.x - 20), max(0, box.y - 20))
    w.click_at(box.cx, box.cy)


@drive
def topmost_above(out, args):
    """Two runs, with GIMP's image window open.  First: tick Topmost with the
    pointer, activate the image window, note the stacking; untick Topmost
    through the accessibility interface, activate the dialog and then the
    image window again, note the stacking; tick Topmost with the pointer
    again and Close.  Second: note whether it opens ticked and kept above,
    then Close."""
    w = dialog()
    image = image_window(w)
    out["above_at_start"] = ui.kept_above(w.xid)
    out["ticked_at_start"] = topmost_box(w).checked()

    click_topmost(w)
    out["ticked"] = bool(ui.poll(lambda: topmost_box(w).checked(), 10))
    out["above_after_tick"] = bool(ui.poll(lambda: ui.kept_above(w.xid), 10))
    raise_over(w, image, out, "dialog_over_image_ticked")

    action = topmost_box(w).acc.get_action_iface()
    if action is None or action.get_n_actions() < 1:
        raise ui.UIError("Topmost offers no action")
    action.do_action(0)
    out["unticked"] = bool(ui.poll(lambda: not topmost_box(w).checked(), 10))
    out["above_after_untick"] = not ui.poll(lambda: not ui.kept_above(w.xid), 10)
    raise_over(w, w.xid, out, None)
    raise_over(w, image, out, "dialog_over_image_unticked")

    # The image window now covers the dialog: bring the dialog up to click it.
    raise_over(w, w.xid, out, None)
    click_topmost(w)
    out["ticked_again"] = bool(ui.poll(lambda: topmost_box(w).checked(), 10))
    w.click("Close")
    w.wait_gone()

    w = dialog()
    out["reopened_ticked"] = topmost_box(w).checked()
    out["reopened_above"] = bool(ui.poll(lambda: ui.kept_above(w.xid), 10))
    w.click("Close")
    w.wait_gone()


@drive
def wm_close_reopen(out, args):
    """First run: pitch set to args[0], then closed through the window
    manager.  Second run: read the pitch shown, then Close."""
    w = dialog()
    w.set_spin("Pitch:", args[0])
    out["first_pitch"] = w.spin("Pitch:").value()
    ui.request_close(w.xid)
    w.wait_gone()
    w = dialog()
    out["second_pitch"] = w.spin("Pitch:").value()
    w.click("Close")
    w.wait_gone()


@drive
def wm_close_editing(out, args):
    """First run: Create.  Second run: pitch set to args[0], Edit Layer,
    pitch set to args[1], then closed through the window manager.  Third
    run: read the pitch shown, then Close."""
    w = dialog()
    w.click("Create")
    w.wait_gone()
    w = dialog()
    if not w.has(Role.PUSH_BUTTON, "Edit Layer"):
        raise Skip("the dialog has no \"Edit Layer\" button")
    w.set_spin("Pitch:", args[0])
    w.click("Edit Layer")
    w.find(Role.PUSH_BUTTON, "Apply", timeout=10)
    out["pitch_loaded"] = w.spin("Pitch:").value()
    w.set_spin("Pitch:", args[1])
    ui.request_close(w.xid)
    w.wait_gone()
    w = dialog()
    out["third_pitch"] = w.spin("Pitch:").value()
    out["third_buttons"] = sorted(x.name for x in w.widgets()
                                  if x.role == Role.PUSH_BUTTON and x.showing() and x.name)
    w.click("Close")
    w.wait_gone()


def close_open_dialogs():
    """Leaves nothing open that would keep GIMP waiting."""
    try:
        for xid in ui.x_windows(TITLE):
            w = ui.Window(TITLE, xid, ui.accessible_window(TITLE, 5))
            w.click("Close", timeout=5)
    except Exception:
        pass


def main():
    name, workdir, args = sys.argv[1], sys.argv[2], sys.argv[3:]
    out = {}
    status = 0
    try:
        DRIVES[name](out, args)
    except Skip as e:
        out["skip"] = str(e)
        status = 3
        close_open_dialogs()
    except Exception as e:  # reported through the exit status and the log
        import traceback
        traceback.print_exc()
        out["error"] = "%s: %s" % (type(e).__name__, e)
        status = 1
    with open(os.path.join(workdir, "driver.out"), "w", encoding="utf-8") as f:
        json.dump(out, f)
    return status


def run_drives(drives):
    """main() for a case file's own drives (name: function), added to these;
    a failed drive leaves no dialog open."""
    DRIVES.update(drives)
    status = main()
    if status == 1:
        close_open_dialogs()
    return status


if __name__ == "__main__":
    sys.exit(main())

