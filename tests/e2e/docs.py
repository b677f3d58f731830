"""Pictures for docs/: run by tests/e2e/make-docs, which sets up the display,
the bus and the GIMP profile.  Usage: docs.py DOCS_DIR

In GIMP 2.10: the dialog (radial and parallel, made larger, and zoomed to
100 %), an image before and after Create, and the default renders; in
GIMP 3 the dialog as GIMP 3 shows it, and a whole 1366 x 768 screen with the
dialog open on an A4 page."""

import math
import os
import shutil
import subprocess
import sys

import runner
from cases import languages


# No time stamps or other metadata: the same pictures give the same bytes.
STABLE = ["-strip", "-define", "png:exclude-chunk=date,time,tEXt,zTXt,iTXt"]


def flatten_on_white(src, dst):
    subprocess.run(["convert", src, "-background", "white", "-alpha", "remove",
                    "-alpha", "off"] + STABLE + [dst], check=True, timeout=60)


def compact(src, dst):
    """256 colours are plenty for screenshots and keep the files small."""
    subprocess.run(["convert", src, "-colors", "256"] + STABLE + ["PNG8:" + dst],
                   check=True, timeout=60)


def make_sample(ctx):
    """A plain subject for the lines to frame: a ball over the ground, in
    flat colours so that the pictures stay small."""
    sample = os.path.join(ctx.root, "sample.png")
    subprocess.run(["convert", "-size", "640x480", "xc:#dfe8f1",
                    "-fill", "#9fb58a", "-draw", "rectangle 0,360 640,480",
                    "-fill", "#d9482b", "-stroke", "#7a2212", "-strokewidth", "3",
                    "-draw", "circle 320,240 320,190", sample], check=True, timeout=60)
    return sample


def make_page(ctx):
    """An A4 page at 300 dpi with a ball on it, as a comic's panel is drawn."""
    page = os.path.join(ctx.root, "page.png")
    subprocess.run(["convert", "-size", "2480x3508", "xc:#f4f1ea",
                    "-fill", "#d9482b", "-stroke", "#7a2212", "-strokewidth", "12",
                    "-draw", "circle 1240,1754 1240,1454", "-units", "PixelsPerInch",
                    "-density", "300", page], check=True, timeout=120)
    return page


def laptop_screen(docs, name):
    """The whole screen of a 1366 x 768 laptop, under a window manager, with
    the dialog open on an A4 page over GIMP's own windows."""
    ctx = runner.Context("docs-laptop", os.environ)
    try:
        page = make_page(ctx)
        shot = os.path.join(ctx.root, "laptop.png")
        with runner.OwnScreen((1366, 768)):
            wm = runner.WindowManager(ctx)
            wm.start()
            try:
                ctx.gimp(r'''
(define img (e2e-load "%s"))
(gimp-display-new img)
(e2e-zipstroke RUN-INTERACTIVE img (car (e2e-layer-ids img)))
(e2e-put "end")''' % page, drive="screen-shot", drive_args=(shot, "Close"), gui=True,
                         timeout=240)
            finally:
                wm.stop()
        compact(shot, os.path.join(docs, name))
        print("wrote docs/%s" % name)
    finally:
        ctx.cleanup()


def main(docs):
    if runner.GIMP.version == 3:
        return gimp3_dialog(docs)
    ctx = runner.Context("docs", os.environ)
    try:
        sample = make_sample(ctx)
        shot = os.path.join(ctx.root, "dialog.png")
        run = ctx.gimp(r'''
(define img (e2e-load "%s"))
(define bg (e2e-active-layer img))
(define (e2e-export-composite name)
  (let* ((copy (car (gimp-image-duplicate img)))
         (flat (car (gimp-image-flatten copy))))
    (e2e-export copy flat name)
    (gimp-image-delete copy)))
(e2e-export-composite "before.png")
(e2e-zipstroke RUN-INTERACTIVE img bg)
(e2e-export-composite "after.png")
(e2e-put "end")''' % sample, drive="screenshot", drive_args=(shot, "Create"))
        compact(shot, os.path.join(docs, "dialog.png"))
        for name in ("before.png", "after.png"):
            compact(run.path(name), os.path.join(docs, name))
        for area in ("Parallel", "Path"):
            name = "dialog-%s.png" % area.lower()
            shot = os.path.join(ctx.root, name)
            ctx.gimp(r'''
(define img (e2e-load "%s"))
(e2e-zipstroke RUN-INTERACTIVE img (e2e-active-layer img))
(e2e-put "end")''' % sample, drive="screenshot", drive_args=(shot, "Close", area))
            compact(shot, os.path.join(docs, name))
        # The dialog made larger (the preview takes the room), and at its
        # first size zoomed in to the image's own pixels.
        larger = os.path.join(ctx.root, "dialog-larger.png")
        zoomed = os.path.join(ctx.root, "dialog-100.png")
        ctx.gimp(r'''
(define img (e2e-load "%s"))
(e2e-zipstroke RUN-INTERACTIVE img (e2e-active-layer img))
(e2e-put "end")''' % sample, drive="docs-views", drive_args=(larger, zoomed, 420, 180))
        compact(larger, os.path.join(docs, "dialog-larger.png"))
        compact(zoomed, os.path.join(docs, "dialog-100.png"))
        for name, sets in RENDERS:
            out = ctx.render(name, "640x480", sets=sets)
            flatten_on_white(out, os.path.join(docs, name))
        for name in ("dialog.png", "dialog-parallel.png", "dialog-path.png", "dialog-larger.png", "dialog-100.png",
                     "before.png", "after.png") + tuple(name for name, _ in RENDERS):
            print("wrote docs/%s" % name)
        languages.docs_pictures(ctx, docs, sample, compact)
    finally:
        ctx.cleanup()
    return 0


def bends_spine():
    """A sharp V, then a hairpin of radius 60 under a band 150 wide."""
    points = [(30, 60), (330, 170), (60, 280), (520, 280)]
    for i in range(1, 24):
        a = -math.pi / 2 + math.pi * i / 24
        points.append((520 + 60 * math.cos(a), 340 + 60 * math.sin(a)))
    points += [(520, 400), (200, 400)]
    return ";".join("%g;%g" % p for p in points)


# The renders of the README: the default radial, parallel and path effects,
# and curved speed lines.
RENDERS = (
    ("radial.png", ()),
    ("parallel.png", ("area_type=1",)),
    ("path.png", ("area_type=2",)),
    ("path-swoosh.png", ("area_type=2", "path_spine_points=0;420;220;360;400;150;640;70",
                         "path_in_range=60", "path_out_range=220", "line_in_margin=20",
                         "line_in_length=160", "line_pitch=8")),
    ("path-bends.png", ("area_type=2", "path_spine_points=" + bends_spine(),
                        "path_in_range=150", "path_out_range=150", "line_in_margin=0",
                        "line_in_length=60", "line_pitch=7", "line_color=#1e50c8")),
)


def gimp3_dialog(docs):
    """GIMP 3 (scripts/gimp3-chroot tests/e2e/make-docs): the dialog as GIMP
    3 shows it, docs/dialog-gimp3.png; the other pictures do not depend on
    the GIMP version."""
    ctx = runner.Context("docs", os.environ)
    try:
        sample = make_sample(ctx)
        shot = os.path.join(ctx.root, "dialog.png")
        ctx.gimp(r'''
(define img (e2e-load "%s"))
(e2e-zipstroke RUN-INTERACTIVE img (car (e2e-layer-ids img)))
(e2e-put "end")''' % sample, drive="screenshot", drive_args=(shot, "Close"))
        compact(shot, os.path.join(docs, "dialog-gimp3.png"))
        print("wrote docs/dialog-gimp3.png")
    finally:
        ctx.cleanup()
    laptop_screen(docs, "laptop-gimp3.png")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
