// The controls' handlers and sync_widgets_from_params against the real dialog.
#include "dialog_fixture.h"

#include <cmath>
#include <cstring>

#include "control_ranges.h"
#include "controls.h"
#include "gimpui_compat.h"
#include "path_controls.h"
#include "unit_change.h"
#include "units.h"

namespace {

using Controls = PluginDialogTest;

// A value in range that differs from the field's current one.
double other_value(const SpinRange &range, double current) {
  if (range.rule == IntRule::WavePoints) return current == 8 ? 12 : 8;
  double v = range.min + 3 * range.step;
  if (v == current) v += range.step;
  return v;
}

TEST_F(Controls, EachSpinButtonWritesItsFieldAndNothingElse) {
  build();
  for (const SpinRange &range : SPIN_RANGES) {
    SCOPED_TRACE(range.key);
    const EffectParams before = snapshot(live());
    const double v = other_value(range, spin_field_get(&live(), range));
    gtk_spin_button_set_value(spin(range.key), v);
    EffectParams expected = snapshot(before);
    spin_field_set(&expected, range, v);
    EXPECT_EQ(spin_field_get(&live(), range), v);
    EXPECT_TRUE(same_bytes(expected, live()));
  }
}

// A spine point dragged on the preview: its own axis, clamped to the area's
// positions with that axis's resolution; nothing for a point that is not
// there or a value that is not a number.
TEST_F(Controls, ASpinePointMovesOnItsAxisWithinItsOwnResolutionsLimits) {
  FixedImage image;
  image.xres = 300, image.yres = 600;
  build(image, [](EffectParams *p) { p->area_unit = UNIT_MM; });
  const double mm = 524288 * 25.4;
  const struct {
    int index;
    bool vertical;
    double value, want;  // want NAN: nothing changes
  } cases[] = {{1, false, 20, 20},          {1, true, 30, 30},
               {0, false, 1e9, mm / 300},   {0, true, 1e9, mm / 600},
               {0, true, -1e9, -mm / 600},  {1, false, NAN, NAN},
               {-1, false, 5, NAN},         {live().path_spine_points_count, true, 5, NAN}};
  for (const auto &c : cases) {
    const EffectParams before = snapshot(live());
    path_controls_move_spine_point(c.index, c.vertical, c.value);
    EffectParams expected = snapshot(before);
    if (!std::isnan(c.want)) {
      SpinePoint &point = expected.path_spine_points[c.index];
      double &field = c.vertical ? point.y : point.x;
      const SpinePoint &moved = live().path_spine_points[c.index];
      field = c.vertical ? moved.y : moved.x;
      EXPECT_NEAR(field, c.want, 1e-9 * std::fabs(c.want)) << c.index << " " << c.vertical;
    }
    EXPECT_TRUE(same_bytes(expected, live())) << c.index << " " << c.vertical << " " << c.value;
  }
}

TEST_F(Controls, EachComboAndTheColourWriteTheirFieldAndNothingElse) {
  build();
  struct Case {
    GtkWidget *combo;
    int value;
    int32_t EffectParams::*field;
  };
  const Case cases[] = {{dialog_widgets.antialias_combo, 0, &EffectParams::line_antialias},
                        {dialog_widgets.pitch_type_combo, 0, &EffectParams::line_pitch_type},
                        {dialog_widgets.wave_type_combo, 5, &EffectParams::line_wave_type}};
  for (const Case &c : cases) {
    EffectParams expected = snapshot(live());
    expected.*c.field = c.value;
    ASSERT_TRUE(gimp_int_combo_box_set_active(GIMP_INT_COMBO_BOX(c.combo), c.value));
    EXPECT_TRUE(same_bytes(expected, live())) << c.value;
  }

  EffectParams expected = snapshot(live());
  expected.line_color = {0.25, 0.5, 0.75, 0.5};
  compat_color_button_set(dialog_widgets.color_button, {0.25, 0.5, 0.75, 0.5});
  EXPECT_TRUE(same_bytes(expected, live()));
}

// The record's channels are non-linear sRGB (what cairo draws with and what a
// GimpRGB held in GIMP 2.10); the button shows the same colour in both GIMPs.
TEST_F(Controls, TheColourButtonShowsTheRecordsChannelsAsNonLinearSRGB) {
  build(FixedImage{}, [](EffectParams *p) { p->line_color = {0.5, 0.25, 1.0, 0.75}; });
#if ZS_GIMP3
  GeglColor *shown = gimp_color_button_get_color(GIMP_COLOR_BUTTON(dialog_widgets.color_button));
  ASSERT_NE(shown, nullptr);
  gdouble r = 0, g = 0, b = 0, a = 0;
  gegl_color_get_rgba(shown, &r, &g, &b, &a);  // linear light
  g_object_unref(shown);
  auto linear = [](double v) { return std::pow((v + 0.055) / 1.055, 2.4); };
  EXPECT_NEAR(r, linear(0.5), 1e-6);
  EXPECT_NEAR(g, linear(0.25), 1e-6);
  EXPECT_NEAR(b, 1.0, 1e-6);
  EXPECT_NEAR(a, 0.75, 1e-9);
#else
  GimpRGB shown;
  gimp_color_button_get_color(GIMP_COLOR_BUTTON(dialog_widgets.color_button), &shown);
  EXPECT_EQ(shown.r, 0.5);
  EXPECT_EQ(shown.g, 0.25);
  EXPECT_EQ(shown.b, 1.0);
  EXPECT_EQ(shown.a, 0.75);
#endif
  // Read back, the channels are exactly the record's.
  const ColorRGBA back = compat_color_button_get(dialog_widgets.color_button);
  EXPECT_EQ(back.r, 0.5);
  EXPECT_EQ(back.g, 0.25);
  EXPECT_EQ(back.b, 1.0);
  EXPECT_EQ(back.a, 0.75);
}

TEST_F(Controls, AreaTypeFollowsTheRadiosAndShowsItsPage) {
  build();
  EffectParams expected = snapshot(live());
  expected.area_type = AREA_PARALLEL;
  gtk_button_clicked(GTK_BUTTON(dialog_widgets.parallel_radio));
  EXPECT_TRUE(same_bytes(expected, live()));
  EXPECT_EQ(gtk_notebook_get_current_page(GTK_NOTEBOOK(dialog_widgets.area_notebook)), 1);
  gtk_button_clicked(GTK_BUTTON(dialog_widgets.radiation_radio));
  EXPECT_EQ(live().area_type, AREA_RADIATION);
  EXPECT_EQ(gtk_notebook_get_current_page(GTK_NOTEBOOK(dialog_widgets.area_notebook)), 0);
}

void type_into(GtkSpinButton *s, const char *text) {
  gtk_entry_set_text(GTK_ENTRY(s), text);
  gtk_spin_button_update(s);
}

TEST_F(Controls, WavePointsStayAMultipleOfFour) {
  build();
  type_into(spin("line_wave_npoint"), "7");
  EXPECT_EQ(gtk_spin_button_get_value(spin("line_wave_npoint")), 4);
  EXPECT_EQ(live().line_wave_npoint, 4);
  type_into(spin("line_wave_npoint"), "128");
  EXPECT_EQ(live().line_wave_npoint, 128);
  type_into(spin("line_wave_npoint"), "3");
  EXPECT_EQ(live().line_wave_npoint, 0);
}

TEST_F(Controls, FractionalSeedsAreTruncatedOrRounded) {
  build();
  for (const SpinRange &range : SPIN_RANGES) {
    if (range.rule != IntRule::Truncate && range.rule != IntRule::Nearest) continue;
    SCOPED_TRACE(range.key);
    gtk_spin_button_set_value(spin(range.key), 7.6);
    EXPECT_EQ(spin_field_get(&live(), range), range.rule == IntRule::Truncate ? 7 : 8);
  }
  EXPECT_EQ(live().line_pitch_rand_seed, 7);
  EXPECT_EQ(live().line_width_rand_seed, 8);
}

TEST_F(Controls, SyncFromAnEqualRecordChangesNothing) {
  build(FixedImage{}, [](EffectParams *p) {
    p->area_type = AREA_PARALLEL;
    p->area_unit = 2;
    p->line_pitch = 0.8467;
    p->radiation_in_freehand.active = 1;
  });
  const EffectParams before = snapshot(live());
  const EffectParams copy = snapshot(live());
  int changed = 0;  // not even the same value written again
  g_signal_connect_swapped(dialog_widgets.wave_type_combo, "changed",
                           G_CALLBACK(+[](int *n) { ++*n; }), &changed);
  sync_widgets_from_params(&copy);
  pump_gtk_events();
  EXPECT_TRUE(same_bytes(before, live()));
  EXPECT_EQ(changed, 0);
}

TEST_F(Controls, SyncCarriesEveryControlledFieldButNoOutlineSamples) {
  build();
  EffectParams scratch = snapshot(live());
  scratch.line_color = {1, 0, 0, 1};
  scratch.line_antialias = 0;
  scratch.line_pitch = 3.5;
  scratch.line_wave_npoint = 16;
  scratch.line_out_length_rand_seed = 77;
  scratch.area_type = AREA_PARALLEL;
  scratch.parallel_out_range = 12.5;
  scratch.radiation_out_freehand.active = 1;
  scratch.radiation_out_freehand.samples[10].factor = 3.0;
  scratch.image_id = 42;
  scratch.window_width = 555;
  sync_widgets_from_params(&scratch);

  EXPECT_EQ(live().line_color.r, 1.0);
  EXPECT_EQ(live().line_antialias, 0);
  EXPECT_EQ(live().line_pitch, 3.5);
  EXPECT_EQ(live().line_wave_npoint, 16);
  EXPECT_EQ(live().line_out_length_rand_seed, 77);
  EXPECT_EQ(live().area_type, AREA_PARALLEL);
  EXPECT_EQ(gtk_notebook_get_current_page(GTK_NOTEBOOK(dialog_widgets.area_notebook)), 1);
  EXPECT_EQ(live().parallel_out_range, 12.5);
  EXPECT_EQ(live().radiation_out_freehand.active, 1);
  EXPECT_EQ(live().radiation_out_freehand.samples[10].factor, 1.0);
  EXPECT_EQ(live().image_id, 1);
  EXPECT_EQ(live().window_width, -1);
}

TEST_F(Controls, SyncLeavesNoRefusedValueInTheRecord) {
  build();
  // The width control shows its minimum; the record holds what it refused.
  gtk_spin_button_set_value(spin("line_width"), 0.5);
  live().line_width = 0.042;
  live().radiation_oblateness = -9.0;
  live().line_pitch = NAN;
  EffectParams scratch = snapshot(live());
  scratch.line_width = 0.01;
  scratch.radiation_oblateness = -9.0;
  scratch.line_color = {NAN, 0.5, 0.5, 1.0};
  const ColorRGBA color = live().line_color;
  sync_widgets_from_params(&scratch);
  EXPECT_EQ(std::memcmp(&live().line_color, &color, sizeof color), 0);
  EXPECT_EQ(live().line_width, 0.5);
  EXPECT_EQ(gtk_spin_button_get_value(spin("line_width")), 0.5);
  EXPECT_EQ(live().radiation_oblateness, -4.0);
  EXPECT_TRUE(std::isfinite(live().line_pitch));
  EXPECT_EQ(live().line_pitch, gtk_spin_button_get_value(spin("line_pitch")));
}

TEST_F(Controls, AWidthAtItsMinimumStaysThereThroughAUnitChange) {
  FixedImage image;
  image.xres = image.yres = 300.0;
  build(image, [](EffectParams *p) { p->line_width = 0.5; });
  gtk_combo_box_set_active(GTK_COMBO_BOX(dialog_widgets.unit_combo), UNIT_MM);
  pump_gtk_events();
  EXPECT_EQ(live().area_unit, UNIT_MM);
  EXPECT_NEAR(live().line_width, 0.5 * 25.4 / 300, 1e-15);
  EXPECT_EQ(live().line_width, gtk_spin_button_get_value(spin("line_width")));

  gtk_combo_box_set_active(GTK_COMBO_BOX(dialog_widgets.unit_combo), UNIT_PIXEL);
  pump_gtk_events();
  EXPECT_NEAR(live().line_width, 0.5, 1e-12);
  EXPECT_EQ(live().line_width, gtk_spin_button_get_value(spin("line_width")));
}

}  // namespace
