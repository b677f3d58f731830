"""Cases of what an artist sees and meets: a dialog made larger, the preview
zoomed to the image's own pixels and panned, a grey image with a coloured
(and a half-transparent) line colour, and a layer GIMP will not let the
filter draw."""

import os
import re

import pngread
from cases import case, AFTER_RUN, expect_layer
from cases.presets import PRESET_TEXT
from runner import GIMP, Fail, expect

# What fills the images of the view cases; the lines are black, the guides blue.
FILL = (250, 200, 40)
IMAGE_W, IMAGE_H = 640, 480
MAGNIFICATIONS = (0.125, 0.25, 0.5, 1, 2, 4)
EDGE = 2  # pixels at the preview's edges that the 1:1 comparison leaves out


def new_image(width, height, fill=(255, 255, 255), kind="RGB"):
    return r'''
(define made (e2e-new-image %d %d %s))
(define img (car made))
(define bg (cadr made))
(gimp-context-set-background '(%d %d %d))
(gimp-drawable-fill bg FILL-BACKGROUND)
(define before (e2e-layer-ids img))
''' % ((width, height, kind) + tuple(fill))


# -- reading screenshots --------------------------------------------------------

def picture_box(shot, colour, slack=3):
    """Left, top, width, height of the screen pixels painted in the image's
    fill colour (the picture; lines and guides cross it, its edges blend)."""
    xs, ys = [], []
    d, c = shot.data, shot.channels
    for y in range(shot.height):
        row = y * shot.width * c
        found = [x for x in range(shot.width)
                 if all(abs(d[row + x * c + k] - colour[k]) <= slack for k in range(3))]
        if found:
            xs += (found[0], found[-1])
            ys.append(y)
    if not xs:
        return None
    return [min(xs), min(ys), max(xs) - min(xs) + 1, max(ys) - min(ys) + 1]


def guide_mask(shot, grow=2):
    """Pixels of the guides and handles (the only coloured things on a white
    picture under black lines) and their neighbours within grow pixels."""
    w, h, d, c = shot.width, shot.height, shot.data, shot.channels
    mask = bytearray(w * h)
    for y in range(h):
        for x in range(w):
            i = (y * w + x) * c
            r, g, b = d[i], d[i + 1], d[i + 2]
            if max(r, g, b) - min(r, g, b) > 12:
                for yy in range(max(0, y - grow), min(h, y + grow + 1)):
                    lo, hi = yy * w + max(0, x - grow), yy * w + min(w, x + grow + 1)
                    mask[lo:hi] = b"\x01" * (hi - lo)
    return mask


def fitted_pan(view, m):
    """Where the view's middle lies on the work area at magnification m when
    it was centred and then kept inside the area (a side that fits is
    centred)."""
    pan = []
    for extent, size in ((IMAGE_W, view[0]), (IMAGE_H, view[1])):
        half = size / (2.0 * m)
        pan.append(extent / 2.0 if extent <= 2 * half else min(max(extent / 2.0, half), extent - half))
    return pan


def coverage_errors(shot, layer, m, pan):
    """Compares the lines a screenshot of a white picture shows at
    magnification m (a whole number) with the layer's alpha: each work-area
    pixel in view against the mean darkness of its m x m screen pixels,
    leaving out the guides.  Returns (pixels compared, mean error, pixels
    off by more than 24, pixels with lines).  (The display rasterises the
    preview's lines itself, so their edges may differ from the layer's by a
    few levels.)"""
    mask = guide_mask(shot)
    alpha = layer.alpha()
    w, h, d, c = shot.width, shot.height, shot.data, shot.channels
    # The outermost pixels of the view are left out: GIMP 3's dialog (GTK 3)
    # shows its background grey in the preview's two rightmost columns.
    for y in range(h):
        for x in list(range(0, EDGE)) + list(range(w - EDGE, w)):
            mask[y * w + x] = 1
    for y in list(range(0, EDGE)) + list(range(h - EDGE, h)):
        mask[y * w:(y + 1) * w] = b"\x01" * w
    compared = total = off = inked = 0
    for wy in range(layer.height):
        sy = (wy - pan[1]) * m + h / 2.0
        if sy != int(sy) or sy < 0 or sy + m > h:
            continue
        sy = int(sy)
        for wx in range(layer.width):
            sx = (wx - pan[0]) * m + w / 2.0
            if sx != int(sx) or sx < 0 or sx + m > w:
                continue
            sx = int(sx)
            block = [(yy * w + xx) for yy in range(sy, sy + m) for xx in range(sx, sx + m)]
            if any(mask[i] for i in block):
                continue
            dark = sum(255 - d[i * c + 1] for i in block) / float(len(block))
            a = alpha[wy * layer.width + wx]
            err = abs(dark - a)
            compared += 1
            total += err
            off += err > 24
            inked += a > 0
    return compared, (total / compared if compared else 0.0), off, inked


def best_shift(a, b, expected, reach=2):
    """The whole-pixel shift (dx, dy) near expected that best maps screenshot
    a onto b (b(x, y) = a(x - dx, y - dy)), and the mean difference of the
    green channel over the overlap at that shift and at no shift."""
    def mean_diff(dx, dy):
        w, h, c = a.width, a.height, a.channels
        total = n = 0
        for y in range(max(0, dy), min(h, h + dy), 2):
            for x in range(max(0, dx), min(w, w + dx), 2):
                total += abs(b.data[(y * w + x) * c + 1] - a.data[((y - dy) * w + x - dx) * c + 1])
                n += 1
        return total / float(n) if n else 255.0
    ex, ey = int(round(expected[0])), int(round(expected[1]))
    scored = [(mean_diff(dx, dy), dx, dy) for dx in range(ex - reach, ex + reach + 1)
              for dy in range(ey - reach, ey + reach + 1)]
    best = min(scored)
    return (best[1], best[2]), best[0], mean_diff(0, 0)


# -- the cases ----------------------------------------------------------------------

# Enlargements that keep the window inside the room the dialog leaves for its
# frame on the test screen (a stored size beyond it comes back clamped).
GROW_W, GROW_H = 200, 120


@case("dialog-resize-remembered")
def dialog_resize_remembered(t):
    # Three runs on one image: enlarge and Close, enlarge again and Create,
    # then open once more.
    run = t.gimp(new_image(IMAGE_W, IMAGE_H, FILL) + r'''
(e2e-zipstroke RUN-INTERACTIVE img bg)
(e2e-zipstroke RUN-INTERACTIVE img bg)
''' + AFTER_RUN + r'''
(e2e-zipstroke RUN-INTERACTIVE img bg)
(e2e-put "end")''', drive="resize-reopen", drive_args=(GROW_W, GROW_H, 80, 40), timeout=240)
    d = run.driver
    small, grown = d["first_preview"], d["grown_preview"]
    t.notes.append("window %s -> %s, preview %s -> %s" % (d["first_window"], d["grown_window"],
                                                        small[2:], grown[2:]))
    expect(grown[2] - small[2] >= GROW_W - 2 and grown[3] - small[3] >= GROW_H - 2,
           "the window grew by %d x %d but the preview only from %s to %s"
           % (GROW_W, GROW_H, small[2:], grown[2:]))
    # What the preview paints grows with it: the picture fills the room it has.
    for name, box in (("small.png", small), ("grown.png", grown)):
        shot = pngread.read(os.path.join(run.workdir, name))
        found = picture_box(shot, FILL)
        expect(found is not None, "%s shows no picture" % name)
        fit = min(box[2] / float(IMAGE_W), box[3] / float(IMAGE_H), 1.0)
        want = (IMAGE_W * fit, IMAGE_H * fit)
        t.notes.append("%s: picture %s, expected %.1f x %.1f" % (name, found, want[0], want[1]))
        expect(abs(found[2] - want[0]) <= 3 and abs(found[3] - want[1]) <= 3,
               "in a preview of %d x %d the picture is %d x %d, expected %.0f x %.0f"
               % (box[2], box[3], found[2], found[3], want[0], want[1]))
        # Centred in the preview.
        expect(abs(found[0] + found[2] / 2.0 - box[2] / 2.0) <= 3
               and abs(found[1] + found[3] / 2.0 - box[3] / 2.0) <= 3,
               "the picture at %s is not centred in the %d x %d preview" % (found, box[2], box[3]))
    expect(d["second_window"] == d["grown_window"],
           "closed at %s, the dialog opened again at %s" % (d["grown_window"], d["second_window"]))
    expect(d["second_preview"][2:] == grown[2:],
           "the preview came back at %s, it was %s" % (d["second_preview"][2:], grown[2:]))
    expect(d["third_window"] == d["regrown_window"],
           "Create at %s, the dialog opened again at %s" % (d["regrown_window"], d["third_window"]))
    expect(d["regrown_window"][0] > d["grown_window"][0], "the second enlargement did not take")
    # The layer does not depend on the size it was previewed at.
    expect_layer(run, (IMAGE_W, IMAGE_H), (0, 0))
    ref = t.render("ref.png", "%dx%d" % (IMAGE_W, IMAGE_H))
    t.expect_same_alpha(run.path("layer.png"), ref, "layer made from the enlarged dialog")


@case("preview-zoom-pan")
def preview_zoom_pan(t):
    # Lines from close to the centre, evenly spaced and untapered, so that
    # every zoom shows lines and none overlap: m x m screen pixels of a line
    # then have the line's coverage of the layer pixel on average.
    spins = {"In:": ("radiation_in_radius", 50), "In Margin:": ("line_in_margin", 0),
             "In Length:": ("line_in_length", 0), "Pitch:": ("line_pitch", 40),
             "Pitch:#1": ("line_pitch_rand", 0)}
    dx, dy = -60, -40
    run = t.gimp(new_image(IMAGE_W, IMAGE_H) + r'''
(e2e-zipstroke RUN-INTERACTIVE img bg)
''' + AFTER_RUN + '(e2e-put "end")', drive="zoom-pan",
                 drive_args=(dx, dy) + tuple("%s=%s" % (k, v[1]) for k, v in spins.items()),
                 timeout=240)
    d = run.driver
    view = d["preview"][2:]
    steps = d["steps"]
    expect_layer(run, (IMAGE_W, IMAGE_H), (0, 0))
    sets = ["%s=%s" % v for v in spins.values()]
    ref = t.render("ref.png", "%dx%d" % (IMAGE_W, IMAGE_H), sets=sets)
    # Create draws the same layer whatever the zoom and pan.
    t.expect_same_alpha(run.path("layer.png"), ref, "layer made at 400 % after a pan")
    expect(d["centre"] == [IMAGE_W / 2.0, IMAGE_H / 2.0],
           "the pan that began on the centre's handle moved the centre to %s" % d["centre"])

    # Fitting, then every magnification closer than fitting, up to 400 %.
    fit = min(view[0] / float(IMAGE_W), view[1] / float(IMAGE_H), 1.0)
    closer = [m for m in MAGNIFICATIONS if m > fit * (1 + 1e-9)]
    t.notes.append("preview %s, fitting %.3f, steps %s" % (view, fit, steps))
    expect(len(steps) == 1 + len(closer),
           "\"+\" took %d steps from fitting (%.3f) to its end, expected %d (to %s)"
           % (len(steps) - 1, fit, len(closer), closer))
    expect(all(s["plus"] for s in steps[:-1]) and not steps[-1]["plus"],
           "\"+\" sensitive at the steps %s, expected at all but the last" % steps)
    expect(closer[-1] == 4, "the zoom ended at %s, not 400 %%" % closer[-1])
    layer = pngread.read(run.path("layer.png"))
    for index, m in enumerate(closer):
        if m < 1:
            continue
        shot = pngread.read(os.path.join(run.workdir, "zoom%d.png" % (index + 1)))
        compared, mean, off, inked = coverage_errors(shot, layer, int(m), fitted_pan(view, m))
        t.notes.append("%d %%: %d pixels compared (%d with lines), mean error %.2f, %d off by > 24"
                       % (m * 100, compared, inked, mean, off))
        expect(inked > 500, "at %d %% the view shows almost no lines (%d pixels)" % (m * 100, inked))
        # At 100 % screen pixels are the layer's pixels; closer, each layer
        # pixel is m x m screen pixels whose mean is its coverage.
        expect(mean <= 2.5 and off <= 0.002 * compared,
               "at %d %% the preview's lines differ from the layer's: mean error %.2f, "
               "%d of %d pixels off by more than 24" % (m * 100, mean, off, compared))

    # Panning: the picture moves with a middle-button drag, then a wheel step.
    last = pngread.read(os.path.join(run.workdir, "zoom%d.png" % (len(steps) - 1)))
    dragged = pngread.read(run.path("dragged.png"))
    scrolled = pngread.read(run.path("scrolled.png"))
    for what, a, b, want in (("middle-button drag", last, dragged, (dx, dy)),
                             ("wheel step down", dragged, scrolled, (0, -0.1 * view[1]))):
        shift, diff, unmoved = best_shift(a, b, want)
        t.notes.append("%s: moved by %s (expected %s), difference %.2f (%.2f unmoved)"
                       % (what, shift, want, diff, unmoved))
        # A wheel step pans by a fraction of a pixel too: the lines drawn anew
        # at that offset differ a little from a whole-pixel shift of the old ones.
        expect(abs(shift[0] - want[0]) <= 1 and abs(shift[1] - want[1]) <= 1 and diff < 4
               and unmoved > diff + 5,
               "after a %s the preview moved by %s (difference %.2f, %.2f unmoved), expected %s"
               % (what, shift, diff, unmoved, want))


# The preset's options with a coloured line on a grey image.
GREY_COLOUR = (200, 120, 40)


def coloured_preset(colour):
    text = PRESET_TEXT.replace("line_color=30;60;200;", "line_color=%d;%d;%d;" % colour)
    return text.replace("area_type=1", "area_type=0")


def grey_of(colour):
    """The grey the editor gives a colour: 0.30 r + 0.59 g + 0.11 b, rounded."""
    return int(0.30 * colour[0] + 0.59 * colour[1] + 0.11 * colour[2] + 0.5)


def expect_grey_layer(t, run, ref, alpha_share):
    expect_layer(run, (320, 240), (0, 0), kind=3)
    layer = pngread.read(run.path("layer.png"))
    expect(layer.channels == 2, "the layer has %d channels, expected grey and alpha" % layer.channels)
    greys = set(layer.data[0::2])
    expect(greys == {grey_of(GREY_COLOUR)}, "grey values %s, expected only %d (the colour %s)"
           % (sorted(greys)[:8], grey_of(GREY_COLOUR), GREY_COLOUR))
    want = pngread.read(ref).alpha()
    got = layer.alpha()
    worst = max(abs(g - w * alpha_share) for g, w in zip(got, want))
    covered = sum(1 for g in got if g)
    t.notes.append("%d covered pixels, alpha at most %.2f from %.2f x coverage"
                   % (covered, worst, alpha_share))
    expect(covered > 1000, "the layer is almost empty (%d pixels)" % covered)
    expect(worst <= 1.0, "alpha differs by up to %.2f from %.2f x the coverage"
           % (worst, alpha_share))


def unescape(text):
    """The bytes of a string as GIMP writes it in its parasiterc."""
    out = bytearray()
    i = 0
    simple = {"n": 10, "t": 9, "r": 13, "b": 8, "f": 12, "v": 11}
    while i < len(text):
        ch = text[i]
        if ch != "\\":
            out += ch.encode("latin-1")
            i += 1
            continue
        j = i + 1
        while j < len(text) and j < i + 4 and text[j] in "01234567":
            j += 1
        if j > i + 1:
            out.append(int(text[i + 1:j], 8) & 0xFF)
            i = j
        else:
            out.append(simple.get(text[i + 1], ord(text[i + 1])))
            i += 2
    return bytes(out)


def escape(data):
    return "".join(chr(b) if 32 <= b < 127 and b not in (34, 92) else "\\%03o" % b for b in data)


def set_stored_alpha(parasiterc, colour, alpha):
    """Gives the colour in the last values GIMP 3 keeps for the filter (its
    global parasite, saved in parasiterc) the alpha given: a record with a
    half-transparent colour.  False when the colour is not found."""
    with open(parasiterc, encoding="latin-1") as f:
        text = f.read()
    found = re.search(r'\(parasite "plugin-zipstroke" (\d+) (\d+) "((?:[^"\\]|\\.)*)"\)', text, re.S)
    if not found:
        return False
    data = bytearray(unescape(found.group(3)))
    if len(data) != int(found.group(2)):
        raise Fail("parasiterc: %d bytes read, %s stated" % (len(data), found.group(2)))
    # The last values text keeps the exact colour, alpha last, in its run group.
    line = re.search(rb"\n\[zipstroke-run\]\n(?:[^\[][^\n]*\n)*?line_color=([^\n]*)\n", bytes(data))
    if not line:
        return False
    channels = [float(v) for v in line.group(1).decode().split(";") if v]
    if len(channels) != 4 or any(abs(channels[i] - colour[i] / 255.0) > 1e-9 for i in range(3)):
        return False
    new = ";".join(repr(v) for v in channels[:3] + [alpha]) + ";"
    data[line.start(1):line.end(1)] = new.encode()
    text = (text[:found.start(2)] + "%d \"" % len(data) + escape(data) + text[found.end(3):])
    with open(parasiterc, "w", encoding="latin-1") as f:
        f.write(text)
    return True


@case("grey-image-line-colour")
def grey_image_line_colour(t):
    """A coloured line colour (from a preset) on a grey image; in GIMP 3 also
    the same colour at half opacity.  Neither GIMP's colour dialog offers an
    alpha for the dialog's colour button, nor does a preset carry one: a
    half-transparent colour reaches the filter only through its last values.
    GIMP 3 keeps them in its parasiterc, where this case sets the alpha
    between two sessions; GIMP 2.10 keeps them in memory, and its Script-Fu
    crashes reading a block of that size, so there the alpha is left to the
    in-process tests of the layer buffer."""
    home = t.fresh_home()
    path = os.path.join(t.preset_dir(home), "Amber")
    with open(path, "w", encoding="utf-8") as f:
        f.write(coloured_preset(GREY_COLOUR))
    grey = new_image(320, 240, kind="GRAY") + r'''
(e2e-zipstroke RUN-INTERACTIVE img bg)
''' + AFTER_RUN + '(e2e-put "end")'
    run = t.gimp(grey, drive="load-preset", drive_args=("Amber",), home=home)
    ref = t.render("ref.png", "320x240", settings=path)
    expect_grey_layer(t, run, ref, 1.0)
    if GIMP.version != 3:
        return
    parasiterc = os.path.join(t.config_dir(home), "parasiterc")
    expect(os.path.exists(parasiterc) and set_stored_alpha(parasiterc, GREY_COLOUR, 0.5),
           "the last values in %s do not hold the preset's colour" % parasiterc)
    run = t.gimp(grey, drive="create", home=home, tag="half")
    expect_grey_layer(t, run, ref, 0.5)


# A layer group whose contents are locked: GIMP refuses every drawing call
# into a layer inside it, but lets a layer be inserted there.
LOCKED_TEXT = "the contents of the layer group \"Outer\" are locked"
LOCKED_EDIT_TEXT = "could not redraw the layer: the contents of \"Outer\" are locked"


@case("locked-group-refused")
def locked_group_refused(t):
    run = t.gimp(new_image(320, 240) + r'''
(define outer (e2e-new-group img "Outer"))
(gimp-image-insert-layer img outer 0 0)
(define inner (e2e-new-group img "Inner"))
(gimp-image-insert-layer img inner outer 0)
(define paint (e2e-new-layer img 320 240 RGBA-IMAGE "Paint"))
(gimp-image-insert-layer img paint inner 0)
(define (items) (+ (length (e2e-layer-ids img)) (length (e2e-item-ids-in outer))
                   (length (e2e-item-ids-in inner))))
(define (facts key)
  (e2e-put (string-append key ".items") (items))
  (e2e-put (string-append key ".dirty") (car (gimp-image-is-dirty img))))
(gimp-item-set-lock-content outer TRUE)
(e2e-set-active-layer img paint)
(gimp-image-clean-all img)
(facts "start")
(e2e-zipstroke RUN-INTERACTIVE img paint)
(facts "above-layer")
(e2e-set-active-layer img inner)
(e2e-zipstroke RUN-INTERACTIVE img inner)
(facts "into-group")
(gimp-item-set-lock-content outer FALSE)
(e2e-set-active-layer img paint)
(e2e-zipstroke RUN-INTERACTIVE img paint)
(facts "unlocked")
(define streak (car (e2e-item-ids-in inner)))
(e2e-put "streak" streak)
(gimp-item-set-lock-content outer TRUE)
(e2e-set-active-layer img streak)
(gimp-image-clean-all img)
(e2e-zipstroke RUN-INTERACTIVE img streak)
(facts "apply")
(e2e-put "streak-after" (car (e2e-item-ids-in inner)))
(e2e-put "end")''', drive="creates-then-apply", drive_args=(3,), timeout=240)
    start = int(run["start.items"])
    for key in ("above-layer", "into-group"):
        expect(run[key + ".items"] == str(start) and run[key + ".dirty"] == "0",
               "Create %s in a locked group left %s items (from %d), dirty %s"
               % (key, run[key + ".items"], start, run[key + ".dirty"]))
    expect(run["unlocked.items"] == str(start + 1),
           "with the lock taken off, Create gave %s items (from %d)" % (run["unlocked.items"], start))
    expect(run["apply.items"] == str(start + 1) and run["apply.dirty"] == "0",
           "Apply on a layer in a locked group left %s items, dirty %s"
           % (run["apply.items"], run["apply.dirty"]))
    # Apply puts a newly drawn layer in the edited one's place.
    expect(run["streak-after"] == run["streak"],
           "the refused Apply replaced the streak layer %s by %s" % (run["streak"], run["streak-after"]))
    # One clear message for each refusal, and none of GIMP's calling errors.
    messages = [line for line in run.log.splitlines() if "could not" in line and "locked" in line]
    t.notes.append("messages: %s" % messages)
    expect(sum(LOCKED_TEXT in m for m in messages) == 2,
           "expected one message for each refused Create, the log has:\n%s" % "\n".join(messages))
    expect(sum(LOCKED_EDIT_TEXT in m for m in messages) == 1,
           "expected one message for the refused Apply, the log has:\n%s" % "\n".join(messages))
    calling = [line for line in run.log.splitlines() if "Calling error" in line or "cannot be modified" in line]
    expect(not calling, "GIMP refused calls:\n%s" % "\n".join(calling[:6]))
