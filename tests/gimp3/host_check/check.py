# The GIMP 3 host side in the real GIMP 3, run by ./run through Python-Fu with
# the stand-in dialog of stub_dialog.cpp.  Writes "PASS" or the failures to
# $ZIPSTROKE_HOST_CHECK/result.
import os
import subprocess
import sys

import gi
gi.require_version('Gimp', '3.0')
from gi.repository import Gegl, Gimp

DIR = os.environ['ZIPSTROKE_HOST_CHECK']
SESSION = os.environ['ZIPSTROKE_HOST_CHECK_SESSION']
sys.dont_write_bytecode = True  # nothing left behind in the source tree
sys.path.insert(0, os.path.join(os.environ['ZIPSTROKE_SOURCE'], 'tests', 'e2e'))
import pngread  # noqa: E402

failures = []
PDB = Gimp.get_pdb()
PROC = PDB.lookup_procedure('plugin-zipstroke')
P = Gimp.Precision


def expect(ok, what):
    if not ok:
        failures.append(what)


def run(img, drawable, act='', mode=Gimp.RunMode.INTERACTIVE):
    with open(os.path.join(DIR, 'act'), 'w') as f:
        f.write(act)
    log = os.path.join(DIR, 'log')
    before = open(log).read().splitlines() if os.path.exists(log) else []
    cfg = PROC.create_config()
    cfg.set_property('run-mode', mode)
    cfg.set_property('image', img)
    cfg.set_core_object_array('drawables', [drawable])
    result = PROC.run(cfg)
    lines = open(log).read().splitlines() if os.path.exists(log) else []
    facts = dict(w.split('=', 1) for w in lines[-1].split()) if len(lines) > len(before) else {}
    return result, facts


def new_image(w, h, grey=False, precision=None):
    base = Gimp.ImageBaseType.GRAY if grey else Gimp.ImageBaseType.RGB
    img = Gimp.Image.new_with_precision(w, h, base, precision or P.U8_NON_LINEAR)
    bg = Gimp.Layer.new(img, 'bg', w, h, Gimp.ImageType.GRAY_IMAGE if grey else Gimp.ImageType.RGB_IMAGE,
                        100, Gimp.LayerMode.NORMAL)
    img.insert_layer(bg, None, 0)
    return img, bg


def pixels(layer, grey):
    fmt, bpp = ("Y'A u8", 2) if grey else ("R'G'B'A u8", 4)
    data = layer.get_buffer().get(Gegl.Rectangle.new(0, 0, layer.get_width(), layer.get_height()), 1.0,
                                  fmt, Gegl.AbyssPolicy.NONE)
    colours = set(bytes(data[i:i + bpp - 1]) for i in range(0, len(data), bpp))
    return bytes(data[bpp - 1::bpp]), colours


def geometry(layer):
    ok, x, y = layer.get_offsets()
    return (x, y, layer.get_width(), layer.get_height())


def session_one():
    # Registration as GIMP keeps it.
    expect(PROC.get_menu_label() == '_Zipstroke...', 'menu label %r' % PROC.get_menu_label())
    expect(PROC.get_image_types() == 'RGB*, GRAY*', 'image types %r' % PROC.get_image_types())
    # GIMP 3.2 keeps the path without its closing "/".
    paths = list(PROC.get_menu_paths())
    expect([p.rstrip('/') for p in paths] == ['<Image>/Filters/KestrelKit'], 'menu paths %r' % paths)
    expect(PROC.get_blurb() == 'A Tool for drawing Zipstrokes.', 'blurb %r' % PROC.get_blurb())

    # A non-interactive call is refused without touching the image.
    img, bg = new_image(400, 300)
    result, facts = run(img, bg, 'create', Gimp.RunMode.NONINTERACTIVE)
    expect(result.index(0) == Gimp.PDBStatusType.CALLING_ERROR, 'non-interactive status')
    expect('does not support non-interactive mode' in (result.index(1) or ''), 'non-interactive message')
    expect(not facts and len(img.get_layers()) == 1, 'non-interactive run drew')

    # The first run (no last values) gives the engine's own pixels, in every
    # precision and in grey (later runs take the same record).
    reference = bytes(pngread.read(os.path.join(DIR, 'reference.png')).data[3::4])
    first = True
    for grey in (False, True):
        for precision in (P.U8_NON_LINEAR, P.U8_LINEAR, P.U16_LINEAR, P.HALF_LINEAR, P.FLOAT_LINEAR):
            img, bg = new_image(400, 300, grey, precision)
            result, facts = run(img, bg, 'create' if first else 'create red')
            what = '%s %s' % ('grey' if grey else 'RGB', precision.value_nick)
            expect(result.index(0) == Gimp.PDBStatusType.SUCCESS and facts.get('status') == '0', what + ' status')
            expect(facts.get('thumb') == '100x80', what + ' picture %r' % facts.get('thumb'))
            layer = img.get_layers()[0]
            expect(layer.get_name() == 'Zipstroke Layer' and geometry(layer) == (0, 0, 400, 300),
                   what + ' layer %r' % (geometry(layer),))
            expect(layer.get_parasite('plugin-zipstroke') is not None, what + ' parasite')
            alpha, colours = pixels(layer, grey)
            expect(alpha == reference, what + ' alpha differs from the engine')
            want = {b'\0\0\0'} if first else ({bytes([77])} if grey else {b'\xff\0\0'})
            expect(colours == want, what + ' colours %r' % colours)
            first = False

    # A selection: the layer covers its bounds; the selection is back after.
    img, bg = new_image(400, 300)
    img.select_rectangle(Gimp.ChannelOps.REPLACE, 40, 30, 200, 100)
    run(img, bg, 'create')
    layer = img.get_layers()[0]
    expect(geometry(layer) == (40, 30, 200, 100), 'selection layer %r' % (geometry(layer),))
    expect(tuple(Gimp.Selection.bounds(img))[1:] == (True, 40, 30, 240, 130), 'selection not restored')
    expect(len(img.get_channels()) == 0, 'saved selection left behind')
    expect([l.get_id() for l in img.get_selected_layers()] == [layer.get_id()], 'new layer not selected')

    # Into a selected group, on top; above a selected layer inside it.
    img, bg = new_image(300, 200)
    group = Gimp.GroupLayer.new(img, 'group')
    img.insert_layer(group, None, 0)
    inner = Gimp.Layer.new(img, 'inner', 300, 200, Gimp.ImageType.RGBA_IMAGE, 100, Gimp.LayerMode.NORMAL)
    img.insert_layer(inner, group, 0)
    img.set_selected_layers([group])
    run(img, group, 'create')
    img.set_selected_layers([inner])
    run(img, inner, 'create')
    names = [l.get_name() for l in group.get_children()]
    expect(names == ['Zipstroke Layer', 'Zipstroke Layer #1', 'inner'], 'group children %r' % names)
    expect(len(img.get_layers()) == 2, 'a layer outside the group')

    # Editing re-renders the selected streak layer over its own extent, in a
    # copy that takes its place, drawn whole whatever is selected.
    img, bg = new_image(400, 300)
    run(img, bg, 'create')
    layer = img.get_layers()[0]
    layer.set_name('renamed')
    layer.resize(100, 100, 0, 0)
    layer.set_offsets(10, 20)
    img.set_selected_layers([layer])
    img.select_rectangle(Gimp.ChannelOps.REPLACE, 0, 0, 5, 5)
    images_before = len(Gimp.get_images())
    result, facts = run(img, layer, 'edit red')
    edited = img.get_layers()[0]
    # Both pictures of the layer's extent were had; the one without the layer
    # came from a copy of the image that is gone again.
    expect(int(facts.get('without_differs', '-1')) >= 0, 'edit pictures %r' % facts)
    expect(len(Gimp.get_images()) == images_before, 'the image copy for the picture was left')
    expect(facts.get('parasite_layer') == str(layer.get_id()) and facts.get('layer') == str(edited.get_id()),
           'edit facts %r' % facts)
    expect(len(img.get_layers()) == 2 and edited.get_name() == 'Zipstroke Layer', 'edit made or kept names')
    expect(geometry(edited) == (10, 20, 100, 100), 'edited layer %r' % (geometry(edited),))
    expect([l.get_id() for l in img.get_selected_layers()] == [edited.get_id()], 'edited layer not selected')
    expect(tuple(Gimp.Selection.bounds(img))[1:] == (True, 0, 0, 5, 5), 'selection after editing')
    settings = os.path.join(DIR, 'edited.txt')
    with open(settings, 'wb') as f:
        f.write(bytes(edited.get_parasite('plugin-zipstroke').get_data()))
    subprocess.run([os.environ['ZIPSTROKE_RENDER'], '--settings', settings, '--size', '100x100',
                    '--output', os.path.join(DIR, 'edited.png')], check=True)
    alpha, colours = pixels(edited, False)
    expect(alpha == bytes(pngread.read(os.path.join(DIR, 'edited.png')).data[3::4]), 'edited alpha')
    expect(colours == {b'\xff\0\0'}, 'edited colours %r' % colours)

    # A work area wider than the widest cairo surface (32767) is drawn whole:
    # its bands are narrower than a tile is high, so they also meet GIMP's
    # tiles part way.
    wimg, wbg = new_image(33000, 100)
    result, facts = run(wimg, wbg, 'create')
    wide = wimg.get_layers()[0]
    expect(facts.get('status') == '0' and geometry(wide) == (0, 0, 33000, 100), 'wide %r' % facts)
    settings = os.path.join(DIR, 'wide.txt')
    with open(settings, 'wb') as f:
        f.write(bytes(wide.get_parasite('plugin-zipstroke').get_data()))
    subprocess.run([os.environ['ZIPSTROKE_RENDER'], '--settings', settings, '--size', '33000x100',
                    '--output', os.path.join(DIR, 'wide.png')], check=True)
    alpha, colours = pixels(wide, False)
    want = bytes(pngread.read(os.path.join(DIR, 'wide.png')).data[3::4])
    expect(alpha == want and any(want), 'wide alpha differs from the engine')
    expect(len(colours) == 1, 'wide colours %r' % colours)
    wimg.delete()

    # The scripting procedure: the settings text of a streak layer draws the
    # same lines without a dialog; what it cannot draw is refused untouched.
    text = bytes(img.get_layers()[0].get_parasite('plugin-zipstroke').get_data()).decode()
    script = PDB.lookup_procedure('plugin-zipstroke-settings')

    def settings_call(image, drawable, settings, replace=False):
        cfg = script.create_config()
        cfg.set_property('run-mode', Gimp.RunMode.NONINTERACTIVE)
        cfg.set_property('image', image)
        cfg.set_property('drawable', drawable)
        cfg.set_property('settings', settings)
        cfg.set_property('replace', replace)
        return script.run(cfg)

    img, bg = new_image(100, 100)
    result = settings_call(img, bg, text.replace('\n[', '\nunused=1\n['))
    made = img.get_layers()[0]
    expect(result.index(0) == Gimp.PDBStatusType.SUCCESS and result.index(1).get_id() == made.get_id(),
           'settings procedure status')
    expect(made.get_name() == 'Zipstroke Layer' and geometry(made) == (0, 0, 100, 100)
           and made.get_parasite('plugin-zipstroke') is not None, 'settings procedure layer')
    alpha, colours = pixels(made, False)
    expect(alpha == bytes(pngread.read(os.path.join(DIR, 'edited.png')).data[3::4]), 'settings procedure alpha')
    for image, drawable, settings, replace, why in (
            (img, bg, text, True, 'replace needs a streak layer'),
            (img, bg, 'no key file', False, 'unreadable settings text'),
            (img, bg, '', False, 'unreadable settings text')):
        result = settings_call(image, drawable, settings, replace)
        expect(result.index(0) == Gimp.PDBStatusType.CALLING_ERROR and why in (result.index(1) or ''),
               'settings procedure did not refuse (%s): %r' % (why, result.index(1)))
    expect(len(img.get_layers()) == 2, 'a refused settings call changed the image')

    # An indexed image (the menu never offers it) is left alone.
    img, bg = new_image(100, 100)
    img.convert_indexed(Gimp.ConvertDitherType.NONE, Gimp.ConvertPaletteType.GENERATE, 4, False, False, '')
    result, facts = run(img, bg, 'create')
    expect(facts.get('status') == '3' and len(img.get_layers()) == 1, 'indexed %r' % facts)

    # One record for every image: the last run's, also on an image used before.
    a, abg = new_image(100, 100)
    b, bbg = new_image(100, 100)
    run(a, abg, 'setwin=123')
    run(b, bbg, 'setwin=77')
    result, facts = run(a, abg, '', Gimp.RunMode.WITH_LAST_VALS)
    expect(facts.get('window_x') == '77', 'last values on an image used before: %r' % facts.get('window_x'))

    # The record's geometry is fitted to the work area of each run: scaled on
    # one of another size, unchanged on one of the same size.
    def centre(width, height, selection=None):
        img, bg = new_image(width, height)
        if selection:
            img.select_rectangle(Gimp.ChannelOps.REPLACE, *selection)
        result, facts = run(img, bg)
        return tuple(float(v) for v in facts.get('centre', 'nan,nan').split(','))

    small = centre(641, 481)
    large = centre(1282, 962)
    expect(large == (2 * small[0], 2 * small[1]), 'centre %r after %r: not scaled' % (large, small))
    back = centre(1282, 962, (100, 50, 641, 481))
    expect(back == small, 'centre %r on a 641x481 selection, %r before' % (back, small))
    same = centre(641, 481)
    expect(same == small, 'centre %r on a work area of the same size, %r before' % (same, small))

    # At most 2 bytes a work-area pixel above what the process held before.
    if os.environ.get('ZIPSTROKE_HOST_CHECK_MEMORY') == '1':
        img, bg = new_image(4000, 3000)
        result, facts = run(img, bg, 'create')
        grown_kb = int(facts['hwm_after']) - int(facts['rss_before'])
        if int(facts['hwm_after']) > int(facts['hwm_before']):
            expect(grown_kb * 1024 <= 2 * 4000 * 3000, 'peak grew by %d kB' % grown_kb)
        with open(os.path.join(DIR, 'memory'), 'w') as f:
            f.write('%s\n' % facts)


def session_two():
    # After a restart the record is still there, kept as a small text.
    img, bg = new_image(100, 100)
    result, facts = run(img, bg)
    expect(facts.get('window_x') == '77', 'last values after a restart: %r' % facts.get('window_x'))
    kept = bytes(Gimp.get_parasite('plugin-zipstroke').get_data())
    expect(kept.startswith(b'[zipstroke]\n') and len(kept) < 8192,
           'last values of %d bytes: %r' % (len(kept), kept[:40]))

    # A block of another size (an older build's) and a text of another
    # format are ignored and replaced.
    for planted in (b'A' * 64, kept.replace(b'format=1', b'format=2')):
        Gimp.attach_parasite(Gimp.Parasite.new('plugin-zipstroke', Gimp.PARASITE_PERSISTENT, list(planted)))
        result, facts = run(img, bg)
        expect(facts.get('window_x') == '0', 'a foreign block was taken: %r' % facts.get('window_x'))
        got = bytes(Gimp.get_parasite('plugin-zipstroke').get_data())
        expect(got.startswith(b'[zipstroke]\n') and b'\nwindow_x=0\n' in got and b'\nformat=1\n' in got,
               'stored %r' % got[:60])


try:
    session_one() if SESSION == '1' else session_two()
except Exception as e:  # a broken check is a failure, not a pass
    failures.append('%s: %s' % (type(e).__name__, e))
with open(os.path.join(DIR, 'result'), 'w') as f:
    f.write('\n'.join(failures) if failures else 'PASS')
