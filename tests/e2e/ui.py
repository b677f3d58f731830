"""Drives a GTK window from outside, as a user would: widgets are found
through AT-SPI by role and label, and pressed, typed into and dragged with
real X events from xdotool.  Every wait is bounded."""

import re
import subprocess
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402

Role = Atspi.Role
State = Atspi.StateType


class UIError(Exception):
    pass


def xdotool(*args, timeout=30):
    result = subprocess.run(["xdotool"] + [str(a) for a in args],
                            capture_output=True, text=True, timeout=timeout)
    return result.stdout


def wait_for(what, probe, timeout, step=0.1):
    end = time.monotonic() + timeout
    while True:
        value = probe()
        if value:
            return value
        if time.monotonic() > end:
            raise UIError("timed out after %gs waiting for %s" % (timeout, what))
        time.sleep(step)


def x_windows(title):
    out = xdotool("search", "--onlyvisible", "--name", "^%s$" % title)
    return [int(w) for w in out.split()]


def window_pid(xid):
    """The process that owns X window xid (its _NET_WM_PID), or None."""
    out = xdotool("getwindowpid", xid).strip()
    return int(out) if out.isdigit() else None


def owned_windows(title, pid):
    """The visible X windows called title that process pid owns.  X hands a
    closed client's window ids to the next client within milliseconds, so an
    id alone does not tell one program's dialog from the next one's."""
    return [xid for xid in x_windows(title) if window_pid(xid) == pid]


class Widget:
    def __init__(self, acc, role, name, box, states):
        self.acc = acc
        self.role = role
        self.name = name
        self.x, self.y, self.w, self.h = box
        self.states = states

    @property
    def cx(self):
        return self.x + self.w // 2

    @property
    def cy(self):
        return self.y + self.h // 2

    def showing(self):
        return State.SHOWING in self.states

    def sensitive(self):
        return State.SENSITIVE in self.states

    def checked(self):
        return State.CHECKED in self.states or State.PRESSED in self.states

    def value(self):
        iface = self.acc.get_value_iface()
        if iface is not None:
            return iface.get_current_value()
        return float(self.text())

    def text(self):
        iface = self.acc.get_text_iface()
        return iface.get_text(0, iface.get_character_count()) if iface else ""

    def __repr__(self):
        return "<%s %r at %d,%d %dx%d>" % (self.role.value_nick, self.name,
                                           self.x, self.y, self.w, self.h)


class Window:
    """One top-level window, known by its X id and its accessible."""

    def __init__(self, title, xid, acc):
        self.title = title
        self.xid = xid
        self.acc = acc
        try:
            self.pid = acc.get_process_id()
        except Exception:
            self.pid = None

    # -- finding widgets -------------------------------------------------
    def widgets(self):
        found = []

        def walk(acc, depth):
            if depth > 40:
                return
            try:
                states = set(acc.get_state_set().get_states())
                # Hidden parts are not walked: asking GTK for the geometry of
                # an unrealized tree view's cells only makes it complain.
                if State.SHOWING not in states and depth > 0:
                    return
                role = acc.get_role()
                name = acc.get_name() or ""
                ext = acc.get_extents(Atspi.CoordType.SCREEN)
            except Exception:  # a widget that went away while walking
                return
            found.append(Widget(acc, role, name, (ext.x, ext.y, ext.width, ext.height), states))
            for i in range(acc.get_child_count()):
                child = acc.get_child_at_index(i)
                if child is not None:
                    walk(child, depth + 1)

        walk(self.acc, 0)
        return found

    def find(self, role, name=None, timeout=10):
        """The first showing widget of role (and name, when given)."""
        def probe():
            for w in self.widgets():
                if w.role == role and (name is None or w.name == name):
                    return w
            return None
        return wait_for("%s %r in %r" % (role.value_nick, name, self.title), probe, timeout)

    def has(self, role, name):
        return any(w.role == role and w.name == name and w.showing() for w in self.widgets())

    def beside(self, label, role, index=0, timeout=10):
        """The index-th widget of role on the row of the showing label, to its
        right (GTK2 spin buttons and drawing areas have no name of their own)."""
        def probe():
            ws = [w for w in self.widgets() if w.showing()]
            labels = [w for w in ws if w.role == Role.LABEL and w.name == label]
            for lab in labels:
                row = [w for w in ws if w.role == role and w.x >= lab.x + lab.w - 2
                       and abs(w.cy - lab.cy) <= max(w.h, lab.h) // 2]
                row.sort(key=lambda w: w.x)
                if len(row) > index:
                    return row[index]
            return None
        return wait_for("%s right of label %r" % (role.value_nick, label), probe, timeout)

    def spin(self, label, index=0):
        return self.beside(label, Role.SPIN_BUTTON, index)

    # -- acting ----------------------------------------------------------
    def focus(self):
        xdotool("windowfocus", "--sync", self.xid)

    def click_at(self, x, y, button=1, repeat=1):
        point_at(x, y)
        xdotool("click", "--repeat", repeat, "--delay", 80, button)

    def click(self, label, role=Role.PUSH_BUTTON, timeout=10):
        w = self.find(role, label, timeout=timeout)
        wait_for("%r to be sensitive" % label,
                 lambda: self.find(role, label).sensitive(), timeout)
        self.click_at(w.cx, w.cy)
        return w

    def type_into(self, widget, text):
        """Replaces the text of an entry or spin button and confirms it."""
        self.focus()
        self.click_at(widget.x + min(10, widget.w // 3), widget.cy, repeat=3)
        xdotool("key", "--clearmodifiers", "ctrl+a")
        xdotool("type", "--delay", 30, str(text))
        xdotool("key", "Return")

    def set_spin(self, label, value, index=0):
        w = self.spin(label, index)
        self.type_into(w, value)
        wait_for("spin right of %r to show %s" % (label, value),
                 lambda: abs(self.spin(label, index).value() - float(value)) < 1e-6, 5)

    def drag(self, x1, y1, x2, y2, steps=10):
        point_at(x1, y1)
        xdotool("mousedown", 1)
        for i in range(1, steps + 1):
            xdotool("mousemove", "--sync", x1 + (x2 - x1) * i // steps,
                    y1 + (y2 - y1) * i // steps)
            time.sleep(0.02)
        xdotool("mouseup", 1)

    def key(self, keys):
        self.focus()
        xdotool("key", "--clearmodifiers", keys)

    def gone(self):
        """No visible window with this id that still belongs to this window's
        process (the id may already be another program's window)."""
        if self.pid is None:
            return self.xid not in x_windows(self.title)
        return self.xid not in owned_windows(self.title, self.pid)

    def wait_gone(self, timeout=30):
        wait_for("%r to close" % self.title, self.gone, timeout)

    def screenshot(self, path):
        subprocess.run(["import", "-window", str(self.xid), path], check=True, timeout=60)


def point_at(x, y):
    # Moving with --sync to where the pointer already is waits for a motion
    # event that never comes; step aside first.
    loc = xdotool("getmouselocation", "--shell")
    cur = dict(line.split("=", 1) for line in loc.split() if "=" in line)
    if (int(cur.get("X", -1)), int(cur.get("Y", -1))) == (x, y):
        xdotool("mousemove", x + 3, y + 3)
        time.sleep(0.05)
    xdotool("mousemove", "--sync", x, y)


def accessible_window(title, timeout, exclude_pids=()):
    def probe():
        desktop = Atspi.get_desktop(0)
        for i in range(desktop.get_child_count()):
            app = desktop.get_child_at_index(i)
            if app is None:
                continue
            try:
                if app.get_process_id() in exclude_pids:
                    continue
                for j in range(app.get_child_count()):
                    win = app.get_child_at_index(j)
                    if win is not None and win.get_name() == title:
                        return win
            except Exception:
                continue
        return None
    return wait_for("accessible window %r" % title, probe, timeout, step=0.2)


def open_window(title, timeout=60, exclude_pids=()):
    """Waits for a visible window called title whose program is not one of
    exclude_pids, and returns it.  (X reuses the ids of closed clients' windows,
    so a new dialog is told from an old one by its process: first the
    accessible of a new process, then that process's own X window.)"""
    acc = accessible_window(title, timeout, exclude_pids)
    pid = acc.get_process_id()
    xid = wait_for("window %r of process %d" % (title, pid),
                   lambda: (owned_windows(title, pid) or [None])[-1], timeout, step=0.1)
    return Window(title, xid, acc)


def top_windows(pick_app, pick):
    """The top-level windows, as Window, of the accessible applications whose
    process id pick_app accepts, for which pick(window) holds."""
    found = []
    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(i)
        try:
            if app is None or not pick_app(app.get_process_id()):
                continue
            for j in range(app.get_child_count()):
                top = app.get_child_at_index(j)
                win = Window(top.get_name() or "", None, top)
                if pick(win):
                    found.append(win)
        except Exception:
            continue
    return found


def message_box(pid, text, timeout=20):
    """The top-level window of process pid that shows a label reading text
    (GTK message boxes have no title to search by)."""
    def probe():
        found = top_windows(lambda p: p == pid, lambda win: any(
            w.role == Role.LABEL and w.name == text and w.showing() for w in win.widgets()))
        return found[0] if found else None
    return wait_for("a message box reading %r" % text, probe, timeout, step=0.2)


# -- what a window manager holds (for the cases that run under one) ------------

def _xprop(*args):
    result = subprocess.run(["xprop", "-notype"] + [str(a) for a in args],
                            capture_output=True, text=True, timeout=30)
    return result.stdout if result.returncode == 0 else ""


def _window_ids(text):
    return [int(w, 16) for w in re.findall(r"0x[0-9a-fA-F]+", text.partition("#")[2])]


def stacking():
    """The managed windows from the bottom to the top (_NET_CLIENT_LIST_STACKING)."""
    return _window_ids(_xprop("-root", "_NET_CLIENT_LIST_STACKING"))


def active_window():
    """The window the window manager has focused (_NET_ACTIVE_WINDOW), or None."""
    ids = _window_ids(_xprop("-root", "_NET_ACTIVE_WINDOW"))
    return ids[0] if ids and ids[0] else None


def wm_state(xid):
    """The atoms of window xid's _NET_WM_STATE, as the window manager keeps them."""
    text = _xprop("-id", xid, "_NET_WM_STATE")
    if "=" not in text:
        return set()
    return {a.strip() for a in text.split("=", 1)[1].split(",") if a.strip()}


def kept_above(xid):
    return "_NET_WM_STATE_ABOVE" in wm_state(xid)


def activate(xid):
    """Asks the window manager to activate (focus and raise) window xid, as a
    task bar does (_NET_ACTIVE_WINDOW)."""
    subprocess.run(["wmctrl", "-i", "-a", "0x%x" % xid], check=True, timeout=30)


def request_close(xid):
    """Asks the window manager to close window xid as its title bar's close
    button does (_NET_CLOSE_WINDOW, which it passes on as WM_DELETE_WINDOW)."""
    subprocess.run(["wmctrl", "-i", "-c", "0x%x" % xid], check=True, timeout=30)


def poll(probe, timeout, step=0.1):
    """probe's first true value within timeout, else its last (false) one."""
    end = time.monotonic() + timeout
    while True:
        value = probe()
        if value or time.monotonic() > end:
            return value
        time.sleep(step)
