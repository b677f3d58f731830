"""Cases of the preset library on the Preset page."""

import os
import re

from cases import case, AFTER_RUN, expect_layer
from runner import expect


# A complete preset (every key but the outlines' samples): loading treats a
# missing key as 0, so a partial one would not match a render of the file.
PRESET_TEXT = """[zipstroke]
version=0.5.2
line_color=30;60;200;
line_antialias=2
line_pitch=6
line_pitch_rand=30
line_pitch_rand_seed=7
line_pitch_type=0
line_block_on_pitch=40
line_block_on_pitch_rand=20
line_blick_on_pitch_rand_seed=11
line_block_off_pitch=15
line_block_off_pitch_rand=10
line_blick_off_pitch_rand_seed=12
line_wave_npoint=8
line_wave_depth=12
line_wave_depth_rand=25
line_wave_depth_rand_seed=13
line_wave_type=2
line_width=3.5
line_width_rand=40
line_width_rand_seed=14
line_in_margin=20
line_in_margin_rand=50
line_in_margin_rand_seed=15
line_in_length=60
line_in_length_rand=10
line_in_length_rand_seed=16
line_out_margin=5
line_out_margin_rand=0
line_out_margin_rand_seed=17
line_out_length=30
line_out_length_rand=20
line_out_length_rand_seed=18
area_type=1
area_unit=0
radiation_x=320
radiation_y=240
radiation_in_radius=100
radiation_out_radius=400
radiation_oblateness=0
radiation_in_freehand_active=false
radiation_out_freehand_active=false
parallel_in_x=300
parallel_in_Y=90
parallel_in_range=60
parallel_out_x=340
parallel_out_Y=420
parallel_out_range=500
parallel_in_freehand_active=false
parallel_out_freehand_active=false
"""


@case("preset-load")
def preset_load(t):
    home = t.fresh_home()
    presets = t.preset_dir(home)
    path = os.path.join(presets, "Speedy")
    with open(path, "w", encoding="utf-8") as f:
        f.write(PRESET_TEXT)
    run = t.gimp(r'''
(define made (e2e-new-image 640 480 RGB))
(define img (car made))
(define bg (cadr made))
(define before (e2e-layer-ids img))
(e2e-zipstroke RUN-INTERACTIVE img bg)
''' + AFTER_RUN + '(e2e-put "end")', drive="load-preset", drive_args=("Speedy",), home=home)
    expect(run.driver.get("listed"), "the preset was not listed")
    expect(run.driver.get("pitch") == 6.0,
           "after the double click the pitch shows %s, the preset has 6" % run.driver.get("pitch"))
    expect_layer(run, (640, 480), (0, 0))
    ref = t.render("ref.png", "640x480", settings=path)
    t.expect_same_alpha(run.path("layer.png"), ref, "layer of the loaded preset")
    import pngread
    pixels = pngread.read(run.path("layer.png")).data
    colours = set(pixels[i:i + 3] for i in range(0, len(pixels), 4 * 97))
    expect(colours == {bytes((30, 60, 200))},
           "the layer's colour bytes are %s, expected only the preset's 30,60,200"
           % sorted(tuple(c) for c in colours)[:5])


METRIC_PRESET = """[zipstroke]
version=0.5.2
line_color=0;0;0;
line_antialias=2
line_pitch=0.85
line_pitch_rand=60
line_pitch_rand_seed=3
line_pitch_type=1
line_block_on_pitch=0
line_block_on_pitch_rand=0
line_blick_on_pitch_rand_seed=100
line_block_off_pitch=0
line_block_off_pitch_rand=0
line_blick_off_pitch_rand_seed=100
line_wave_npoint=0
line_wave_depth=4
line_wave_depth_rand=0
line_wave_depth_rand_seed=100
line_wave_type=0
line_width=0.3
line_width_rand=20
line_width_rand_seed=5
line_in_margin=6
line_in_margin_rand=40
line_in_margin_rand_seed=6
line_in_length=9
line_in_length_rand=0
line_in_length_rand_seed=100
line_out_margin=0
line_out_margin_rand=0
line_out_margin_rand_seed=100
line_out_length=0
line_out_length_rand=0
line_out_length_rand_seed=100
area_type=0
area_unit=2
radiation_x=25.4
radiation_y=16.5
radiation_in_radius=12
radiation_out_radius=40
radiation_oblateness=0.25
radiation_in_freehand_active=false
radiation_out_freehand_active=false
parallel_in_x=0
parallel_in_Y=20
parallel_in_range=30
parallel_out_x=50
parallel_out_Y=20
parallel_out_range=30
parallel_in_freehand_active=false
parallel_out_freehand_active=false
"""


@case("preset-load-millimetres")
def preset_load_millimetres(t):
    # A preset kept in millimetres on a 300 dpi image: the dialog shows the
    # numbers of the file and the layer matches a render at 300 dpi.
    home = t.fresh_home()
    path = os.path.join(t.preset_dir(home), "Metric")
    with open(path, "w", encoding="utf-8") as f:
        f.write(METRIC_PRESET)
    run = t.gimp(r'''
(define made (e2e-new-image 600 400 RGB))
(define img (car made))
(define bg (cadr made))
(gimp-image-set-resolution img 300 300)
(define before (e2e-layer-ids img))
(e2e-zipstroke RUN-INTERACTIVE img bg)
''' + AFTER_RUN + '(e2e-put "end")', drive="load-preset", drive_args=("Metric",), home=home)
    expect(run.driver.get("pitch") == 0.85,
           "after loading, the pitch shows %s, the preset has 0.85 mm" % run.driver.get("pitch"))
    expect_layer(run, (600, 400), (0, 0))
    ref = t.render("ref.png", "600x400", settings=path, resolution="300")
    t.expect_same_alpha(run.path("layer.png"), ref, "layer of the millimetre preset")


@case("preset-save")
def preset_save(t):
    home = t.fresh_home()
    run = t.gimp(r'''
(define made (e2e-new-image 640 480 RGB))
(define img (car made))
(define bg (cadr made))
(define before (e2e-layer-ids img))
(e2e-zipstroke RUN-INTERACTIVE img bg)
''' + AFTER_RUN + r'''
(let ((new (e2e-new-layers img before)))
  (if (= (length new) 1)
      (let ((text (e2e-parasite-text (car new))))
        (e2e-put "has-parasite" (if text 1 0))
        (if text (e2e-save-text "parasite.txt" text)))))
(e2e-put "end")''', drive="save-preset", drive_args=("Saved One", "17"), home=home)
    path = os.path.join(t.preset_dir(home), "Saved One")
    expect(os.path.isfile(path), "no preset file 'Saved One' in the preset folder")
    with open(path, "rb") as f:
        saved = f.read()
    expect(saved.startswith(b"[zipstroke]\nversion=0.5.2\n"),
           "the preset does not start with the group and version lines: %r" % saved[:40])
    expect(re.search(rb"^line_pitch=17$", saved, re.M) is not None, "the preset lacks line_pitch=17")
    if run.get("has-parasite") == "1":
        with open(run.path("parasite.txt"), "rb") as f:
            parasite = f.read()
        expect(parasite == saved,
               "the preset file differs from the settings text the layer carries")
        t.notes.append("preset file equals the layer's parasite text byte for byte")
    expect_layer(run, (640, 480), (0, 0))
    ref = t.render("ref.png", "640x480", settings=path)
    t.expect_same_alpha(run.path("layer.png"), ref, "layer of the saved record")
