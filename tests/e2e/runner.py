"""Runs the end-to-end cases against the real GIMP: 2.10, or GIMP 3 (3.0 or
3.2) when ZS_GIMP is 3.

Each case starts GIMP (batch or GUI) with a fresh copy of a pristine profile
and the plug-in installed, hands it one Script-Fu (begin ...) built from
prelude.scm, the version's own prelude (prelude-gimp2.scm or
prelude-gimp3.scm: the same e2e-... helpers over each version's procedures)
and the case's own text, and runs drive.py beside it to work the plug-in's
dialog.  GIMP and the driver each run in their own process group,
every wait is bounded, and both groups are stopped when the case ends.

Environment (set by tests/e2e/run): DISPLAY, DBUS_SESSION_BUS_ADDRESS,
ZS_GIMP (2 or 3), ZS_GIMP_SERIES (2.10, 3.0, 3.2: the personal folder's
name), GIMP_CONSOLE and GIMP_GUI (GIMP 3's programs), E2E_PROFILE (pristine HOME), E2E_PLUGIN, E2E_RENDER,
E2E_WORK (a folder for the cases' files), and optionally E2E_ONLY and
E2E_SKIP (case names, comma separated).

The display has no window manager but while a case registered with
window_manager=True runs: openbox is started for it and ended after it
(WindowManager).  A case registered with screen=(WIDTH, HEIGHT) runs on a
display of its own of that size (OwnScreen), its window manager too.
"""

import os
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import traceback

import pngread

HERE = os.path.dirname(os.path.abspath(__file__))
PYTHON = "/usr/bin/python3"  # the one with python3-gi
TITLE = "Zipstroke Version 0.5.2"


class Gimp2:
    """What differs between the GIMP versions, in one place each."""
    version = 2
    series = "2.10"
    prelude = "prelude-gimp2.scm"
    # GTK 2 loads its accessibility bridge only as a module.
    env = {"GTK_MODULES": "gail:atk-bridge", "NO_AT_BRIDGE": "0"}

    @staticmethod
    def command(body, gui):
        if gui:
            return ["gimp-2.10", "-d", "-f", "-s", "--no-shm", "-b", body, "-b", "(gimp-quit 1)"]
        return ["gimp-console-2.10", "-i", "-d", "-f", "-b", body, "-b", "(gimp-quit 1)"]

    # Lines GIMP itself logs on a quiet run that are not about the plug-in
    # (regular expressions); none so far.
    noise = ()


class Gimp3:
    version = 3
    series = os.environ.get("ZS_GIMP_SERIES", "3.0")
    # Names every GIMP 3 has (scripts/lib/gimp.sh finds them).
    console = os.environ.get("GIMP_CONSOLE", "gimp-console-3")
    gui = os.environ.get("GIMP_GUI", "gimp-3")
    prelude = "prelude-gimp3.scm"
    # GTK 3 has the bridge built in; it only must not be switched off.
    env = {"NO_AT_BRIDGE": "0"}

    @staticmethod
    def command(body, gui):
        # (gimp-quit 1) ends a good run (--quit alone makes GIMP log
        # criticals as it ends); a failed batch command stops the batch, and
        # then --quit ends GIMP.
        prog = [Gimp3.gui, "-d", "-f", "-s", "--no-shm"] if gui else \
            [Gimp3.console, "-i", "-d", "-f"]
        return prog + ["--batch-interpreter", "plug-in-script-fu-eval", "-b", body,
                       "-b", "(gimp-quit 1)", "--quit"]

    noise = (
        # Script-Fu's own scripts declare resources by names this GIMP lacks.
        r"\(script-fu(-interpreter)?:\d+\): scriptfu-WARNING \*\*: .*script_fu_add_resource_arg declared "
        r"resource name is invalid",
        # libgimp 3.0.4 flushes once more after GIMP has closed a finished
        # plug-in's pipe: every plug-in logs this as it ends (GIMP's own
        # file-png as well as ours), in the session's language ("Broken
        # pipe", "Datenübergabe unterbrochen (broken pipe)", ...).
        r"\((zipstroke|script-fu|script-fu-interpreter|file-png):\d+\): LibGimp-WARNING \*\*: .*: gimp_flush\(\): "
        r"error: (.* \()?[Bb]roken pipe\)?$",
        # Script-Fu's note that a procedure returned no object, which it
        # hands to the script as -1: the filter reports no layer (as in
        # GIMP 2.10, where it returns layer -1).
        r"\(script-fu(-interpreter)?:\d+\): scriptfu-WARNING \*\*: .*PDB procedure returned NULL GIMP object\.$",
        # GIMP's own bookkeeping at exit.
        r"Gimp-Core-WARNING \*\*: .*gimp_finalize: list of contexts not empty upon exit",
        # GIMP 3.2's image window, on the test display, asks GDK about an
        # input device it has no record of (GIMP's own process only; GIMP
        # 3.0 does not).
        r"(^|[ (])gimp(-3[.\d]*)?: Gimp-Widgets-CRITICAL: gimp_device_info_\w+: assertion "
        r"'GIMP_IS_DEVICE_INFO \(info\)' failed",
        r"\(gimp(-3[.\d]*)?:\d+\): Gdk-CRITICAL \*\*: .*: gdk_(device_get_(device_type|source|state|axis)"
        r"|window_get_device_position_double): assertion 'GDK_IS_DEVICE \(device\)' failed$",
    )


GIMP = Gimp3 if os.environ.get("ZS_GIMP") == "3" else Gimp2
# A GLib log line of level warning or critical (or error), from any process:
# "(prog:pid): Domain-WARNING **: ...", "prog: Domain-CRITICAL: ..." or,
# from code that names no log domain (the plug-in's own), "(prog:pid):
# WARNING **: ...".  GIMP's own messages ("GIMP-Warning: ...") are messages,
# not log lines.
COMPLAINT = re.compile(r"(^|[ (:])[A-Za-z][\w-]*-(WARNING|CRITICAL|ERROR)\b"
                       r"|(^|[ (])\([\w.+-]+:\d+\): (WARNING|CRITICAL|ERROR) \*\*")


class Fail(Exception):
    pass


class Skip(Exception):
    pass


def stop_group(proc, grace=3.0):
    """Ends a process group started with start_new_session, politely first."""
    if proc is None:
        return
    for sig, wait in ((signal.SIGTERM, grace), (signal.SIGKILL, 2.0)):
        try:
            os.killpg(proc.pid, sig)
        except ProcessLookupError:
            break
        end = time.monotonic() + wait
        while time.monotonic() < end:
            try:
                os.killpg(proc.pid, 0)
            except ProcessLookupError:
                break
            proc.poll()
            time.sleep(0.05)
        else:
            continue
        break
    try:
        proc.wait(timeout=2)
    except subprocess.TimeoutExpired:
        pass


def window_manager_on_display():
    """The name of the window manager that manages the display now, or None.
    A window manager names itself on a small window of its own, which the
    root window's _NET_SUPPORTING_WM_CHECK points to and which points to
    itself; a killed one leaves the root's property behind, but its window
    goes with its connection."""
    def prop(args):
        res = subprocess.run(["xprop", "-notype"] + args, capture_output=True, text=True,
                             timeout=30)
        return res.stdout if res.returncode == 0 else ""
    found = re.search(r"_NET_SUPPORTING_WM_CHECK.*# (0x[0-9a-f]+)",
                      prop(["-root", "_NET_SUPPORTING_WM_CHECK"]))
    if not found:
        return None
    check = prop(["-id", found.group(1), "_NET_SUPPORTING_WM_CHECK", "_NET_WM_NAME"])
    if "# %s" % found.group(1) not in check:
        return None
    name = re.search(r'_NET_WM_NAME = "(.*)"', check)
    return name.group(1) if name else "?"


class WindowManager:
    """Openbox on the tests' display for one case that asks for it (a case
    registered with window_manager=True): started before the case, in its own
    process group and with its own settings (openbox/ beside this file) under
    the case's folder, and stopped after it.  The other cases run without a
    window manager, where a window goes and stays exactly where it is put."""

    def __init__(self, ctx):
        self.home = os.path.join(ctx.root, "wm")
        self.log_path = os.path.join(self.home, "openbox.log")
        self.proc = None

    def start(self, timeout=30):
        other = window_manager_on_display()
        if other:
            # A display given from outside (a desktop's): the case needs one
            # whose window manager it starts and ends itself.
            raise Skip("the display already has a window manager (%s)" % other)
        if shutil.which("openbox") is None:
            raise Fail("openbox is not installed (scripts/deps installs it)")
        config = os.path.join(self.home, ".config")
        shutil.copytree(os.path.join(HERE, "openbox"), os.path.join(config, "openbox"),
                        dirs_exist_ok=True)
        env = dict(os.environ, HOME=self.home, XDG_CONFIG_HOME=config,
                   XDG_CACHE_HOME=os.path.join(self.home, ".cache"),
                   XDG_DATA_HOME=os.path.join(self.home, ".local/share"))
        with open(self.log_path, "w") as log:
            self.proc = subprocess.Popen(["openbox", "--sm-disable"], env=env, stdout=log,
                                         stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL,
                                         start_new_session=True, cwd=self.home)
        end = time.monotonic() + timeout
        while window_manager_on_display() != "Openbox":
            if self.proc.poll() is not None or time.monotonic() > end:
                self.stop()
                raise Fail("openbox did not take the display (%s); its log:\n%s"
                           % ("exit %s" % self.proc.returncode if self.proc.returncode is not None
                              else "within %ds" % timeout, self.log_tail()))
            time.sleep(0.1)

    def stop(self, timeout=15):
        """Ends openbox's process group and waits until the display has no
        window manager, so that none is left for the next case."""
        if self.proc is None:
            return
        stop_group(self.proc)
        end = time.monotonic() + timeout
        while window_manager_on_display():
            if time.monotonic() > end:
                raise Fail("a window manager still runs on the display after openbox was ended")
            time.sleep(0.1)

    def log_tail(self, n=10):
        try:
            with open(self.log_path, errors="replace") as f:
                return tail(f.read(), n)
        except OSError:
            return ""


class OwnScreen:
    """A private Xvfb of one size for one case that asks for it (a case
    registered with screen=(WIDTH, HEIGHT)): DISPLAY names it while the case
    runs, so GIMP, the driver and a window manager all use it; the tests'
    own display is named again, and the server ended, after the case.  The
    session and accessibility buses stay the tests' own."""

    def __init__(self, size, timeout=30):
        self.size = size
        self.timeout = timeout
        self.proc = None
        self.saved = None

    def __enter__(self):
        if shutil.which("Xvfb") is None:
            raise Fail("Xvfb is not installed (scripts/deps installs it)")
        read_end, write_end = os.pipe()
        try:
            self.proc = subprocess.Popen(
                ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "%dx%dx24" % self.size,
                 "-nolisten", "tcp", "-noreset"],
                pass_fds=(write_end,), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                stderr=subprocess.DEVNULL, start_new_session=True)
            os.close(write_end)
            number = b""
            end = time.monotonic() + self.timeout
            while not number.endswith(b"\n"):
                left = end - time.monotonic()
                if left <= 0 or not select.select([read_end], [], [], left)[0]:
                    raise Fail("Xvfb of %dx%d did not start within %ds"
                               % (self.size + (self.timeout,)))
                chunk = os.read(read_end, 16)
                if not chunk:
                    raise Fail("Xvfb of %dx%d ended as it started" % self.size)
                number += chunk
        except BaseException:
            stop_group(self.proc)
            raise
        finally:
            os.close(read_end)
        self.saved = os.environ.get("DISPLAY")
        os.environ["DISPLAY"] = ":" + number.decode().strip()
        return self

    def __exit__(self, *exc):
        if self.saved is None:
            os.environ.pop("DISPLAY", None)
        else:
            os.environ["DISPLAY"] = self.saved
        stop_group(self.proc)
        return False


def read_results(path):
    results = {}
    if os.path.exists(path):
        with open(path, encoding="utf-8", errors="replace") as f:
            for line in f:
                line = line.rstrip("\n")
                key, _, value = line.partition(" ")
                results[key] = value
    return results


class GimpRun:
    """What one GIMP run left behind."""

    def __init__(self, workdir, results, driver, log):
        self.workdir = workdir
        self.results = results
        self.driver = driver
        self.log = log

    def __getitem__(self, key):
        if key not in self.results:
            raise Fail("GIMP reported no %r; log tail:\n%s" % (key, self.log_tail()))
        return self.results[key]

    def get(self, key, default=None):
        return self.results.get(key, default)

    def ints(self, key):
        return [int(float(v)) for v in self[key].split()]

    def path(self, name):
        return os.path.join(self.workdir, name)

    def log_tail(self, n=15):
        return "\n".join(self.log.splitlines()[-n:])


class Context:
    def __init__(self, name, env):
        self.name = name
        self.env = env
        self.root = tempfile.mkdtemp(prefix=name + ".", dir=env["E2E_WORK"])
        self.homes = []
        self.notes = []

    # -- set-up ----------------------------------------------------------
    def fresh_home(self):
        home = tempfile.mkdtemp(prefix="home.", dir=self.root)
        shutil.copytree(self.env["E2E_PROFILE"], home, dirs_exist_ok=True, symlinks=True)
        plugdir = os.path.join(self.config_dir(home), "plug-ins/zipstroke")
        os.makedirs(plugdir, exist_ok=True)
        shutil.copy(self.env["E2E_PLUGIN"], os.path.join(plugdir, "zipstroke"))
        os.chmod(os.path.join(plugdir, "zipstroke"), 0o755)
        # The translations go beside it, as an install puts them.
        catalogues = os.path.join(os.path.dirname(self.env["E2E_PLUGIN"]), "po")
        for lang in sorted(os.listdir(catalogues)) if os.path.isdir(catalogues) else ():
            mo = os.path.join(catalogues, lang, "LC_MESSAGES", "gimp20-zipstroke.mo")
            if os.path.exists(mo):
                dest = os.path.join(plugdir, "locale", lang, "LC_MESSAGES")
                os.makedirs(dest, exist_ok=True)
                shutil.copy(mo, dest)
        self.homes.append(home)
        return home

    @staticmethod
    def config_dir(home):
        return os.path.join(home, ".config/GIMP", GIMP.series)

    def preset_dir(self, home):
        path = os.path.join(self.config_dir(home), "zipstroke")
        os.makedirs(path, exist_ok=True)
        return path

    # -- running GIMP ----------------------------------------------------
    def gimp(self, scheme, drive=None, drive_args=(), gui=False, home=None,
             timeout=120, tag="run", allowed_messages=(), environ=None):
        """Runs GIMP on the case's Script-Fu while drive.py works the dialog.
        The Script-Fu must end with (e2e-put "end").  Any critical or warning
        that the plug-in or GIMP logs fails the run, unless it contains one of
        allowed_messages or is one of GIMP's own lines in GIMP.noise.  GIMP
        runs in English unless environ (variables for GIMP) says otherwise."""
        home = home or self.fresh_home()
        workdir = tempfile.mkdtemp(prefix=tag + ".", dir=self.root)
        prelude = ""
        for name in ("prelude.scm", GIMP.prelude):
            with open(os.path.join(HERE, name), encoding="utf-8") as f:
                prelude += f.read()
        body = '(begin (define e2e-dir "%s/")\n%s\n%s\n(e2e-finish))' % (workdir, prelude, scheme)
        env = dict(os.environ)
        for var in ("XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME", "GIMP2_DIRECTORY",
                    "GIMP3_DIRECTORY", "GTK_MODULES", "LANGUAGE"):
            env.pop(var, None)
        env.update(HOME=home, LC_ALL="C.UTF-8", LANG="C.UTF-8", **GIMP.env)
        env.update(environ or {})
        cmd = GIMP.command(body, gui)
        log_path = os.path.join(workdir, "gimp.log")
        driver = None
        driver_log = os.path.join(workdir, "driver.log")
        with open(log_path, "w") as log:
            gimp = subprocess.Popen(cmd, env=env, stdout=log, stderr=subprocess.STDOUT,
                                    stdin=subprocess.DEVNULL, start_new_session=True, cwd=workdir)
        try:
            if drive:
                denv = dict(env)
                denv["HOME"] = home
                with open(driver_log, "w") as dlog:
                    driver = subprocess.Popen(
                        [PYTHON, "-u", os.path.join(HERE, "drive.py"), drive, workdir]
                        + [str(a) for a in drive_args],
                        env=denv, stdout=dlog, stderr=subprocess.STDOUT,
                        stdin=subprocess.DEVNULL, start_new_session=True, cwd=HERE)
            end = time.monotonic() + timeout
            driver_done_at = None
            next_look = time.monotonic() + 1
            while gimp.poll() is None:
                if time.monotonic() > end:
                    raise Fail("GIMP did not finish within %ds" % timeout)
                if time.monotonic() > next_look:
                    # A crashed plug-in leaves the driver waiting for a
                    # dialog that never comes.
                    next_look = time.monotonic() + 1
                    crash = plugin_crash(log_path)
                    if crash:
                        raise Fail("the plug-in crashed (%s); GIMP log tail:\n%s"
                                   % (crash, tail(open(log_path, errors="replace").read(), 12)))
                if driver is not None and driver.poll() is not None:
                    driver_done_at = driver_done_at or time.monotonic()
                    if driver.returncode != 0 and time.monotonic() - driver_done_at > 5:
                        break  # the dialog is left open; no point waiting
                time.sleep(0.1)
            if driver is not None:
                try:
                    driver.wait(timeout=15)
                except subprocess.TimeoutExpired:
                    pass
        finally:
            stop_group(driver)
            stop_group(gimp)
        with open(log_path, encoding="utf-8", errors="replace") as f:
            log_text = f.read()
        observed = {}
        if drive:
            observed = read_driver(os.path.join(workdir, "driver.out"))
            with open(driver_log, encoding="utf-8", errors="replace") as f:
                dtext = f.read()
            if "skip" in observed:
                raise Skip(observed["skip"])
            if driver.returncode != 0:
                raise Fail("driver failed (%s):\n%s\nGIMP log tail:\n%s"
                           % (driver.returncode, tail(dtext, 12), tail(log_text, 8)))
        results = read_results(os.path.join(workdir, "results.txt"))
        run = GimpRun(workdir, results, observed, log_text)
        if "end" not in results and "batch command experienced an execution error" in log_text:
            raise Fail("the Script-Fu failed; GIMP log tail:\n%s" % run.log_tail())
        complaints = complaints_in(log_text, allowed_messages)
        if complaints:
            raise Fail("the plug-in or GIMP logged:\n%s" % "\n".join(complaints[:8]))
        if "end" not in results:
            raise Fail("the Script-Fu did not reach its end; GIMP log tail:\n%s" % run.log_tail())
        return run

    # -- reference renders and comparisons ------------------------------------
    def render(self, out_name, size, settings=None, sets=(), resolution="72"):
        out = os.path.join(self.root, out_name)
        cmd = [self.env["E2E_RENDER"], "--size", size, "--resolution", resolution,
               "--output", out]
        if settings:
            cmd += ["--settings", settings]
        for kv in sets:
            cmd += ["--set", kv]
        res = subprocess.run(cmd, capture_output=True, text=True, timeout=120)
        if res.returncode != 0 or not os.path.exists(out):
            raise Fail("zipstroke-render failed: %s %s" % (" ".join(cmd), res.stderr.strip()))
        return out

    def expect_same_alpha(self, layer_png, reference_png, what):
        if not os.path.exists(layer_png):
            raise Fail("%s: GIMP exported no layer PNG" % what)
        if os.path.getsize(layer_png) > 2_000_000:
            diff = self.alpha_difference_magick(layer_png, reference_png)
        else:
            diff = pngread.alpha_difference(layer_png, reference_png)
        if isinstance(diff, str):
            raise Fail("%s: %s" % (what, diff))
        count, largest, covered = diff
        if count:
            keep = os.path.join(self.env["E2E_WORK"], "%s-%s" % (self.name, os.path.basename(layer_png)))
            shutil.copy(layer_png, keep)
            raise Fail("%s: %d alpha values differ (largest by %d) from %s; layer kept as %s"
                       % (what, count, largest, reference_png, keep))
        if covered == 0:
            raise Fail("%s: the layer is fully transparent" % what)
        self.notes.append("%s: alpha identical, %d covered pixels" % (what, covered))

    def alpha_difference_magick(self, a, b):
        """As pngread.alpha_difference, through ImageMagick (fast on large
        layers); the largest difference is not measured (reported as -1)."""
        planes = []
        for i, src in enumerate((a, b)):
            out = os.path.join(self.root, "alpha%d.pgm" % i)
            subprocess.run(["convert", src, "-alpha", "extract", "-depth", "8", out],
                           check=True, timeout=300)
            planes.append(out)
        sizes = [subprocess.run(["identify", "-format", "%wx%h", p], capture_output=True,
                                text=True, timeout=60).stdout for p in planes]
        if sizes[0] != sizes[1]:
            return "sizes differ: %s against %s" % (sizes[0], sizes[1])
        res = subprocess.run(["compare", "-metric", "AE", planes[0], planes[1], "null:"],
                             capture_output=True, text=True, timeout=300)
        count = int(float(res.stderr.split()[0]))
        mean = subprocess.run(["identify", "-format", "%[fx:mean]", planes[0]],
                              capture_output=True, text=True, timeout=300).stdout
        covered = 1 if float(mean or 0) > 0 else 0
        return count, -1, covered

    def cleanup(self):
        shutil.rmtree(self.root, ignore_errors=True)


def plugin_crash(log_path):
    """GIMP's note that the plug-in died on a signal, if the log has one."""
    with open(log_path, encoding="utf-8", errors="replace") as f:
        found = re.search(r"plug-ins/zipstroke/zipstroke: fatal error: (.*)", f.read())
    return found.group(1) if found else None


def complaints_in(log_text, allowed_messages=()):
    """The GLib/GTK warnings and criticals in a GIMP log, but for those the
    case expects and GIMP's own known lines."""
    found = []
    for line in log_text.splitlines():
        if not COMPLAINT.search(line):
            continue
        if any(ok in line for ok in allowed_messages):
            continue
        if any(re.search(pattern, line) for pattern in GIMP.noise):
            continue
        found.append(line)
    return found


def tail(text, n):
    return "\n".join(text.splitlines()[-n:])


def read_driver(path):
    import json
    if not os.path.exists(path):
        return {}
    with open(path, encoding="utf-8") as f:
        return json.load(f)


def expect(cond, message):
    if not cond:
        raise Fail(message)


def leftover_processes(work):
    """Processes still running from the cases (their command line or HOME
    lies in the work folder); each is named and then ended.  The session bus
    and the accessibility bus it started belong to tests/e2e/run."""
    found = []
    me = os.getpid()
    bus = int(os.environ.get("E2E_BUS_PGID") or -1)
    for entry in os.listdir("/proc"):
        if not entry.isdigit() or int(entry) == me:
            continue
        try:
            with open("/proc/%s/cmdline" % entry, "rb") as f:
                cmd = f.read().replace(b"\0", b" ").decode(errors="replace")
            with open("/proc/%s/environ" % entry, "rb") as f:
                environ = f.read().split(b"\0")
            with open("/proc/%s/stat" % entry) as f:
                state = f.read().rsplit(")", 1)[1].split()[0]
            os.getpgid(int(entry))
        except OSError:
            continue
        if state == "Z" or not cmd or os.getpgid(int(entry)) == bus:
            continue
        home = [e for e in environ if e.startswith(b"HOME=")]
        if work in cmd or (home and work.encode() in home[0]):
            found.append("%s %s" % (entry, cmd[:80]))
            try:
                os.kill(int(entry), signal.SIGKILL)
            except OSError:
                pass
    return found


def run_case(fn, ctx):
    """Runs one case, on a display of its own and under a window manager of
    its own when it asks for them."""
    size = getattr(fn, "screen", None)
    if size:
        with OwnScreen(size):
            run_case_on_display(fn, ctx)
    else:
        run_case_on_display(fn, ctx)


def run_case_on_display(fn, ctx):
    if not getattr(fn, "window_manager", False):
        fn(ctx)
        return
    wm = WindowManager(ctx)
    wm.start()
    try:
        fn(ctx)
    except BaseException as e:  # an interrupt too: the window manager must not outlive the run
        try:
            wm.stop()
        except Fail as also:
            raise Fail("%s\n(and then: %s)" % (e, also)) from e
        raise
    wm.stop()


def main():
    import cases  # noqa: E402
    env = os.environ
    only = [n for n in env.get("E2E_ONLY", "").split(",") if n]
    skip = [n for n in env.get("E2E_SKIP", "").split(",") if n]
    failed = 0
    counts = {"PASS": 0, "FAIL": 0, "SKIP": 0}
    started = time.monotonic()
    for name, fn, needs in cases.CASES:
        if only and name not in only:
            continue
        if name in skip:
            print("SKIP %s (E2E_SKIP)" % name, flush=True)
            counts["SKIP"] += 1
            continue
        missing = [reason for reason in (cases.missing_feature(n) for n in needs) if reason]
        if missing:
            print("SKIP %s (%s)" % (name, missing[0]), flush=True)
            counts["SKIP"] += 1
            continue
        ctx = Context(name, env)
        t0 = time.monotonic()
        try:
            run_case(fn, ctx)
            verdict, detail = "PASS", ""
        except Skip as e:
            verdict, detail = "SKIP", str(e)
        except Fail as e:
            verdict, detail = "FAIL", str(e)
        except Exception:
            verdict, detail = "FAIL", traceback.format_exc()
        finally:
            keep = verdict == "FAIL" and env.get("E2E_KEEP")
            if not keep:
                ctx.cleanup()
        counts[verdict] += 1
        failed += verdict == "FAIL"
        line = "%s %s (%.1fs)" % (verdict, name, time.monotonic() - t0)
        if verdict == "SKIP":
            line += " " + detail
        print(line, flush=True)
        if verdict == "FAIL":
            print("  " + detail.replace("\n", "\n  "), flush=True)
        elif env.get("E2E_VERBOSE"):
            for note in ctx.notes:
                print("  " + note)
    left = leftover_processes(env["E2E_WORK"])
    if left:
        print("FAIL nothing-left-running (%s)" % "; ".join(left), flush=True)
        failed += 1
        counts["FAIL"] += 1
    print("e2e: %d passed, %d failed, %d skipped in %.0fs"
          % (counts["PASS"], counts["FAIL"], counts["SKIP"], time.monotonic() - started), flush=True)
    return 1 if failed else 0


if __name__ == "__main__":
    # Run as the module "runner", the one the cases import, so that its Fail
    # and Skip are the classes caught here.
    sys.path.insert(0, HERE)
    import runner
    sys.exit(runner.main())
