"""Files for the cases, made in the real GIMP 2.10: run by
tests/e2e/make-fixtures, which sets up the display, the bus and the profile.
Usage: fixtures.py FIXTURES_DIR"""

import os
import shutil
import sys

import runner


def main(folder):
    ctx = runner.Context("fixtures", os.environ)
    try:
        xcf = os.path.join(ctx.root, "streaks.xcf")
        run = ctx.gimp(r'''
(define made (e2e-new-image 200 150 RGB))
(define img (car made))
(define bg (cadr made))
(define before (e2e-layer-ids img))
(e2e-zipstroke RUN-INTERACTIVE img bg)
(e2e-put "new-layers" (length (e2e-new-layers img before)))
(e2e-save-xcf img "%s")
(e2e-put "end")''' % xcf, drive="create")
        if run["new-layers"] != "1" or not os.path.exists(xcf):
            print("fixtures: GIMP made no streak layer", file=sys.stderr)
            return 1
        os.makedirs(folder, exist_ok=True)
        shutil.copy(xcf, os.path.join(folder, "streaks-gimp2.10.xcf"))
        print("wrote %s" % os.path.join(folder, "streaks-gimp2.10.xcf"))
    finally:
        ctx.cleanup()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
