// Changing the unit of the lengths in a real dialog.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "control_ranges.h"
#include "dialog_widgets.h"
#include "preset_test_support.h"
#include "unit_change.h"
#include "units.h"

namespace {

constexpr double MM_PER_INCH = 25.4;

FixedImage image_at(double xres, double yres) {
  FixedImage image;
  image.xres = xres;
  image.yres = yres;
  return image;
}

class UnitChange : public DialogFixture {
 protected:
  const char *shown(const char *key) { return gtk_entry_get_text(GTK_ENTRY(spin(key))); }
};

TEST_F(UnitChange, PixelsToMillimetresAt300Dpi) {
  build(image_at(300, 300), [](EffectParams *p) {
    p->line_pitch = 10;
    p->radiation_x = 320;
    p->line_width = 2;
  });
  pick_unit(UNIT_MM);
  EXPECT_EQ(live()->area_unit, UNIT_MM);
  EXPECT_EQ(current_unit_get(), UNIT_MM);
  EXPECT_NEAR(live()->line_pitch, 10 * MM_PER_INCH / 300, 1e-12);  // 0.8467
  EXPECT_STREQ(shown("line_pitch"), "0.847");
  EXPECT_NEAR(live()->radiation_x, 320 * MM_PER_INCH / 300, 1e-12);  // 27.0933
  // 2 px is 0.1693 mm, above the Width control's minimum of 0.5 px in mm.
  EXPECT_NEAR(live()->line_width, 2 * MM_PER_INCH / 300, 1e-12);
  EXPECT_EQ(spin_value("line_width"), live()->line_width);

  pick_unit(UNIT_PIXEL);
  EXPECT_EQ(current_unit_get(), UNIT_PIXEL);
  EXPECT_NEAR(live()->line_pitch, 10, 1e-9);
  EXPECT_NEAR(live()->radiation_x, 320, 1e-9);
  EXPECT_NEAR(live()->line_width, 2, 1e-9);
  EXPECT_NEAR(spin_value("line_width"), 2, 1e-9);
}

// Every length control holds the same physical limits in every unit:
// 0.5 px of pitch or width is the least that can be shown (and typed) in
// inches too, and no more.
TEST_F(UnitChange, TheLimitsAreTheSamePhysicalLengthsInEveryUnit) {
  build(image_at(300, 150), [](EffectParams *p) { p->line_pitch = 10; });
  pick_unit(UNIT_INCH);
  double min = 0, max = 0;
  gtk_spin_button_get_range(GTK_SPIN_BUTTON(spin("line_width")), &min, &max);
  EXPECT_NEAR(min, 0.5 / 300, 1e-15);
  EXPECT_NEAR(max, 32767.0 / 300, 1e-12);
  gtk_spin_button_get_range(GTK_SPIN_BUTTON(spin("radiation_y")), &min, &max);
  EXPECT_NEAR(min, -524288.0 / 150, 1e-12);
  EXPECT_NEAR(max, 524288.0 / 150, 1e-12);
  // A fine width can be typed in inches: 0.01 in is 3 px at 300 dpi.
  gtk_spin_button_set_value(GTK_SPIN_BUTTON(spin("line_width")), 0.01);
  EXPECT_EQ(live()->line_width, 0.01);
  // Below 0.5 px is refused in any unit.
  gtk_spin_button_set_value(GTK_SPIN_BUTTON(spin("line_width")), 0.0001);
  EXPECT_NEAR(live()->line_width, 0.5 / 300, 1e-15);
  pick_unit(UNIT_PIXEL);
  EXPECT_NEAR(live()->line_width, 0.5, 1e-12);
  EXPECT_NEAR(live()->line_pitch, 10, 1e-9);
  gtk_spin_button_get_range(GTK_SPIN_BUTTON(spin("line_width")), &min, &max);
  EXPECT_EQ(min, 0.5);
  EXPECT_EQ(max, 32767.0);
}

// All nineteen lengths, each at a value near either limit and one between,
// go through every unit and back at unequal resolutions and come back.
// A work area wider than a surface: the controls take its defaults whole, so
// the Parallel band still ends at the far side, in any unit.
TEST_F(UnitChange, TheDefaultsOfAWideWorkAreaReachItsFarSide) {
  FixedImage image = image_at(300, 150);
  image.width = 40000;
  image.height = 300;
  build(image);
  EXPECT_EQ(live()->parallel_out_x, 40000);
  EXPECT_EQ(spin_value("parallel_out_x"), 40000);
  pick_unit(UNIT_MM);
  pick_unit(UNIT_PIXEL);
  EXPECT_NEAR(live()->parallel_out_x, 40000, 1e-9);
}

TEST_F(UnitChange, EveryLengthSurvivesARoundTripThroughEveryUnit) {
  std::vector<const SpinRange *> lengths;
  for (const SpinRange &range : SPIN_RANGES)
    if (range.axis != LengthAxis::None) lengths.push_back(&range);
  ASSERT_EQ(lengths.size(), 19u);
  for (int which : {0, 1, 2}) {
    SCOPED_TRACE(which);
    build(image_at(300, 72), nullptr);
    // The values in pixels: each field's minimum, an odd value between, its maximum.
    std::vector<double> wanted;
    for (const SpinRange *range : lengths) {
      const double v = which == 0 ? range->min : which == 1 ? 2.0 + range->min / 7 : range->max;
      wanted.push_back(v);
      gtk_spin_button_set_value(GTK_SPIN_BUTTON(spin(range->key)), v);
    }
    for (size_t i = 0; i < lengths.size(); ++i)
      ASSERT_EQ(spin_field_get(live(), *lengths[i]), wanted[i]) << lengths[i]->key;
    for (int unit : {UNIT_MM, UNIT_INCH, UNIT_POINT, UNIT_PICA, UNIT_INCH, UNIT_MM, UNIT_PIXEL,
                     UNIT_PICA, UNIT_POINT, UNIT_PIXEL})
      pick_unit(unit);
    for (size_t i = 0; i < lengths.size(); ++i) {
      EXPECT_NEAR(spin_field_get(live(), *lengths[i]), wanted[i],
                  1e-9 * std::max(1.0, std::fabs(wanted[i])))
          << lengths[i]->key;
      EXPECT_EQ(spin_value(lengths[i]->key), spin_field_get(live(), *lengths[i])) << lengths[i]->key;
    }
    TearDown();
  }
}

TEST_F(UnitChange, VerticalPositionsUseTheVerticalResolution) {
  build(image_at(300, 150), [](EffectParams *p) {
    p->radiation_x = 300;
    p->radiation_y = 300;
    p->parallel_in_x = 300;
    p->parallel_in_Y = 300;
    p->parallel_in_range = 300;
    p->parallel_out_x = 300;
    p->parallel_out_Y = 300;
    p->parallel_out_range = 300;
    p->radiation_in_radius = 300;
    p->radiation_out_radius = 300;
  });
  pick_unit(UNIT_INCH);
  for (const SpinRange &range : SPIN_RANGES) {
    if (range.axis == LengthAxis::None) continue;
    if (std::strncmp(range.key, "line_", 5) == 0) continue;
    const double expected = range.axis == LengthAxis::Vertical ? 2.0 : 1.0;
    EXPECT_NEAR(spin_field_get(live(), range), expected, 1e-12) << range.key;
  }
  EXPECT_EQ(spin_range_find("radiation_y")->axis, LengthAxis::Vertical);
  EXPECT_EQ(spin_range_find("parallel_in_Y")->axis, LengthAxis::Vertical);
  EXPECT_EQ(spin_range_find("parallel_out_Y")->axis, LengthAxis::Vertical);
}

TEST_F(UnitChange, UnitFreeFieldsSurviveAnySequenceOfUnits) {
  build(image_at(300, 200), [](EffectParams *p) {
    p->radiation_oblateness = -1.25;
    p->line_pitch_rand = 37.5;
    p->line_width_rand_seed = 4242;
    p->line_wave_npoint = 12;
    p->radiation_in_freehand.active = 1;
    for (int i = 0; i < FREEHAND_SAMPLES; ++i) p->radiation_in_freehand.samples[i].factor = 0.5 + i * 1e-3;
  });
  const EffectParams before = *live();
  for (int unit : {UNIT_MM, UNIT_INCH, UNIT_POINT, UNIT_PICA, UNIT_MM, UNIT_PIXEL}) pick_unit(unit);
  for (const SpinRange &range : SPIN_RANGES) {
    if (range.axis != LengthAxis::None) continue;
    EXPECT_EQ(spin_field_get(live(), range), spin_field_get(&before, range)) << range.key;
  }
  EXPECT_EQ(std::memcmp(&before.radiation_in_freehand, &live()->radiation_in_freehand,
                        sizeof before.radiation_in_freehand), 0);
  EXPECT_EQ(std::memcmp(&before.parallel_out_freehand, &live()->parallel_out_freehand,
                        sizeof before.parallel_out_freehand), 0);
  // Lengths within range come back to where they were.
  EXPECT_NEAR(live()->radiation_x, before.radiation_x, 1e-9);
  EXPECT_NEAR(live()->parallel_out_Y, before.parallel_out_Y, 1e-9);
}

TEST_F(UnitChange, PickingTheShownUnitChangesNothing) {
  build(image_at(300, 300), [](EffectParams *p) { p->area_unit = UNIT_MM; });
  const EffectParams before = *live();
  on_unit_changed(GTK_COMBO_BOX(dialog_widgets.unit_combo), live());
  pick_unit(UNIT_MM);
  EXPECT_EQ(std::memcmp(&before, live(), sizeof before), 0);
}

TEST_F(UnitChange, LastValuesInAnotherUnitAreNotConvertedAgain) {
  // The dialog opens on a stored record whose lengths are in millimetres.
  build(image_at(254, 254), [](EffectParams *p) {
    p->area_unit = UNIT_MM;
    p->line_pitch = 2;
    p->radiation_x = 10;
  });
  EXPECT_EQ(current_unit_get(), UNIT_MM);
  EXPECT_EQ(live()->line_pitch, 2);
  pick_unit(UNIT_PIXEL);
  EXPECT_NEAR(live()->line_pitch, 20, 1e-9);
  EXPECT_NEAR(live()->radiation_x, 100, 1e-9);
}

TEST_F(UnitChange, ResetGivesThePixelDefaultsUnconverted) {
  build(image_at(300, 300));
  const EffectParams defaults = *live();
  pick_unit(UNIT_MM);
  gtk_dialog_response(GTK_DIALOG(dialog), RESPONSE_RESET);
  pump_events();
  EXPECT_EQ(live()->area_unit, UNIT_PIXEL);
  EXPECT_EQ(current_unit_get(), UNIT_PIXEL);
  for (const SpinRange &range : SPIN_RANGES)
    EXPECT_NEAR(spin_field_get(live(), range), spin_field_get(&defaults, range), 1e-9)
        << range.key;
}

}  // namespace
