"""Pictures for docs/: run by tests/e2e/make-docs, which sets up the display,
the bus and the GIMP profile.  Usage: docs.py DOCS_DIR

In GIMP 2.10: the dialog (radial and parallel, made larger, and zoomed to
100 %), an image before and after Create, and the default renders; in
GIMP 3 the dialog as GIMP 3 shows it."""

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
        shot = os.path.join(ctx.root, "dialog-parallel.png")
        ctx.gimp(r'''
(define img (e2e-load "%s"))
(e2e-zipstroke RUN-INTERACTIVE img (e2e-active-layer img))
(e2e-put "end")''' % sample, drive="screenshot", drive_args=(shot, "Close", "Parallel"))
        compact(shot, os.path.join(docs, "dialog-parallel.png"))
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
        for name, sets in (("radial.png", ()), ("parallel.png", ("area_type=1",))):
            out = ctx.render(name, "640x480", sets=sets)
            flatten_on_white(out, os.path.join(docs, name))
        for name in ("dialog.png", "dialog-parallel.png", "dialog-larger.png", "dialog-100.png",
                     "before.png", "after.png", "radial.png", "parallel.png"):
            print("wrote docs/%s" % name)
        languages.docs_pictures(ctx, docs, sample, compact)
    finally:
        ctx.cleanup()
    return 0


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
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
