"""The preview's redraw rate in the real GIMP while the radial centre is
dragged (a measurement, not a test: tests/e2e/measure-drag runs it).

GIMP opens an A4 image at 300 dpi and the dialog; the driver (this file run
as a drive, beside GIMP) presses on the centre handle and moves the pointer
round a small circle at a fixed rate of motion events, in one xdotool call,
then creates.  The plug-in writes one line per preview paint to the file
ZIPSTROKE_PREVIEW_TIMING names; the paints that start during the drag give
the figures printed.

Usage: measure_drag.py [SECONDS [EVENTS_PER_SECOND]]   (defaults 3, 120)"""

import math
import os
import statistics
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

A4_300DPI = (2480, 3508)
CIRCLE_RADIUS = 40  # screen pixels


def drag_timed(out, args):
    """Drags the centre handle round a circle for args[0] seconds at args[1]
    motion events a second; notes the drag's monotonic start and end."""
    import drive
    import ui
    seconds, rate = float(args[0]), float(args[1])
    w = drive.dialog()
    area = drive.preview(w)
    x0, y0 = area.x + area.w // 2, area.y + area.h // 2
    before = (w.spin("X:").value(), w.spin("Y:").value())
    ui.point_at(x0, y0)
    ui.xdotool("mousedown", 1)
    time.sleep(0.3)
    # One xdotool run for all the motions: a process per event would set
    # the pace instead of the rate asked for.
    steps = int(seconds * rate)
    chain = []
    for i in range(1, steps + 1):
        angle = 2 * math.pi * i / rate  # one turn a second
        chain += ["mousemove", str(round(x0 + CIRCLE_RADIUS * math.sin(angle))),
                  str(round(y0 - CIRCLE_RADIUS * (1 - math.cos(angle)))),
                  "sleep", "%.5f" % (1.0 / rate)]
    out["drag_start"] = time.monotonic()
    ui.xdotool(*chain, timeout=seconds * 4 + 30)
    out["drag_end"] = time.monotonic()
    ui.xdotool("mouseup", 1)
    time.sleep(0.5)
    out["moved"] = (w.spin("X:").value(), w.spin("Y:").value()) != before
    out["preview"] = [area.w, area.h]
    w.click("Create")
    w.wait_gone(timeout=120)


def figures(timing_path, start, end):
    """The paints that started within [start, end] (seconds, monotonic):
    their rate, the intervals between them and their own durations (ms)."""
    paints = []
    with open(timing_path) as f:
        for line in f:
            at_us, took_us = (int(v) for v in line.split())
            if start * 1e6 <= at_us <= end * 1e6:
                paints.append((at_us / 1000.0, took_us / 1000.0))
    if len(paints) < 2:
        return None
    gaps = [b[0] - a[0] for a, b in zip(paints, paints[1:])]
    return {"redraws": len(paints), "seconds": end - start,
            "rate": len(paints) / (end - start),
            "gap_median": statistics.median(gaps), "gap_max": max(gaps),
            "paint_median": statistics.median(p[1] for p in paints),
            "paint_max": max(p[1] for p in paints)}


def main():
    import runner
    from cases import gimp_with_own_driver
    seconds = float(sys.argv[1]) if len(sys.argv) > 1 else 3.0
    rate = float(sys.argv[2]) if len(sys.argv) > 2 else 120.0
    t = runner.Context("measure-drag", os.environ)
    try:
        timing = os.path.join(t.root, "paints.txt")
        run = gimp_with_own_driver(t, __file__, r'''
(define made (e2e-new-image %d %d RGB))
(define img (car made))
(gimp-image-set-resolution img 300 300)
(e2e-zipstroke RUN-INTERACTIVE img (cadr made))
(e2e-put "end")''' % A4_300DPI, "drag-timed", (seconds, rate), environ={
            "ZIPSTROKE_PREVIEW_TIMING": timing})
        d = run.driver
        if not d.get("moved"):
            raise runner.Fail("the drag did not move the centre")
        if not os.path.exists(timing):
            raise runner.Fail("the plug-in wrote no paint timings (is it built with them?)")
        got = figures(timing, d["drag_start"], d["drag_end"])
        if got is None:
            raise runner.Fail("fewer than two redraws during the drag")
        with open("/proc/loadavg") as f:
            load = " ".join(f.read().split()[:3])
        print("GIMP %s, A4 at 300 dpi (%d x %d), preview %d x %d, %d motions/s for %.1f s"
              % (runner.GIMP.series, *A4_300DPI, *d["preview"], rate, got["seconds"]))
        print("redraws during the drag: %d, %.1f per second" % (got["redraws"], got["rate"]))
        print("interval between redraws: median %.1f ms, max %.1f ms"
              % (got["gap_median"], got["gap_max"]))
        print("paint (expose) time: median %.1f ms, max %.1f ms"
              % (got["paint_median"], got["paint_max"]))
        print("load average afterwards: %s" % load)
        return 0
    except (runner.Fail, runner.Skip) as e:
        print("measure-drag: %s" % e, file=sys.stderr)
        return 1
    finally:
        t.cleanup()


if __name__ == "__main__":
    if len(sys.argv) > 2 and sys.argv[1] == "drag-timed":
        import drive
        sys.exit(drive.run_drives({"drag-timed": drag_timed}))
    sys.exit(main())
