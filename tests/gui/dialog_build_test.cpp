// The dialog as built: what each control shows, what building writes, and
// where the window opens.
#include "dialog_fixture.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>
#include <set>
#include <string>

#include <gegl.h>
#include <libgimpwidgets/gimpwidgets.h>

#include "control_ranges.h"
#include "gtk_compat.h"
#include "gtk_test_compat.h"
#include "path_controls.h"
#include "path_spine.h"
#include "preview.h"
#include "settings_apply.h"

namespace {

using DialogBuild = PluginDialogTest;

std::string combo_labels(GtkWidget *combo) {
  GtkTreeModel *model = gtk_combo_box_get_model(GTK_COMBO_BOX(combo));
  std::string labels;
  GtkTreeIter iter;
  for (gboolean ok = gtk_tree_model_get_iter_first(model, &iter); ok;
       ok = gtk_tree_model_iter_next(model, &iter)) {
    gchar *label = nullptr;
    gint value = 0;
    gtk_tree_model_get(model, &iter, GIMP_INT_STORE_LABEL, &label, GIMP_INT_STORE_VALUE, &value, -1);
    labels += std::string(label ? label : "?") + "=" + std::to_string(value) + ";";
    g_free(label);
  }
  return labels;
}

int combo_active(GtkWidget *combo) {
  gint value = -1;
  gimp_int_combo_box_get_active(GIMP_INT_COMBO_BOX(combo), &value);
  return value;
}

TEST_F(DialogBuild, SpinButtonsFollowTheRangeTableAndShowTheRecord) {
  build();
  std::set<GtkWidget *> seen;
  for (const SpinRange &range : SPIN_RANGES) {
    SCOPED_TRACE(range.key);
    GtkSpinButton *s = spin(range.key);
    ASSERT_NE(s, nullptr);
    EXPECT_TRUE(seen.insert(GTK_WIDGET(s)).second) << "shared by two keys";
    GtkAdjustment *adj = gtk_spin_button_get_adjustment(s);
    EXPECT_EQ(gtk_adjustment_get_lower(adj), range.min);
    EXPECT_EQ(gtk_adjustment_get_upper(adj), range.max);
    EXPECT_EQ(gtk_adjustment_get_step_increment(adj), range.step);
    EXPECT_EQ(static_cast<int>(gtk_spin_button_get_digits(s)), range.digits);
    EXPECT_EQ(gtk_entry_get_alignment(GTK_ENTRY(s)), 1.0f);
    EXPECT_EQ(gtk_spin_button_get_value(s), spin_field_get(&live(), range));
    // A length is as wide as the longer of its ends in pixels written out.
    int chars = 0;
    for (const double end : {range.min, range.max})
      chars = std::max(chars, static_cast<int>(std::to_string(end).find('.')) +
                                  (range.digits > 0 ? 1 + range.digits : 0));
    EXPECT_EQ(gtk_entry_get_width_chars(GTK_ENTRY(s)),
              range.axis == LengthAxis::None ? -1 : chars);
  }
  EXPECT_EQ(dialog_spin_for_key("line_color"), nullptr);
  EXPECT_EQ(dialog_spin_for_key("no_such_key"), nullptr);
}

TEST_F(DialogBuild, CombosListTheirItemsAndShowTheRecord) {
  build(FixedImage{}, [](EffectParams *p) {
    p->line_wave_type = 9;
    p->area_unit = 2;
  });
  const DialogWidgets &w = dialog_widgets;
  EXPECT_EQ(combo_labels(w.antialias_combo), "None=0;Fast=1;Best=2;");
  EXPECT_EQ(combo_labels(w.pitch_type_combo), "IN=0;OUT=1;");
  EXPECT_EQ(combo_labels(w.wave_type_combo),
            "Default=0;Cos=2;Arc=4;Arc(Inv)=5;Block=8;Block(Inv)=9;N=6;");
  EXPECT_EQ(combo_labels(w.unit_combo),
            "pixels=0;inches=1;millimeters=2;points=3;picas=4;");
  EXPECT_EQ(combo_active(w.antialias_combo), 2);
  EXPECT_EQ(combo_active(w.pitch_type_combo), 1);
  EXPECT_EQ(combo_active(w.wave_type_combo), 9);
  EXPECT_EQ(combo_active(w.unit_combo), 2);
}

TEST_F(DialogBuild, BuildingWritesNothingIntoTheRecord) {
  EffectParams before;
  build(FixedImage{}, [](EffectParams *p) {
    p->line_pitch = 12.25;
    p->line_wave_npoint = 12;
    p->line_width_rand_seed = 4321;
    p->line_color = {0.2, 0.4, 0.6, 0.5};
    p->area_unit = 1;
  });
  // The record as it was handed over, with the values the adjust step set.
  before = snapshot(live());
  pump_gtk_events();
  EXPECT_TRUE(same_bytes(before, live()));
  EXPECT_EQ(live().line_pitch, 12.25);
}

TEST_F(DialogBuild, StoredAreaTypeAndOutlinesOpenTheirControls) {
  build(FixedImage{}, [](EffectParams *p) {
    p->area_type = AREA_PARALLEL;
    p->parallel_out_freehand.active = 1;
    p->topmost = 1;
  });
  const DialogWidgets &w = dialog_widgets;
  EXPECT_TRUE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(w.parallel_radio)));
  EXPECT_FALSE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(w.radiation_radio)));
  EXPECT_EQ(gtk_notebook_get_current_page(GTK_NOTEBOOK(w.area_notebook)), 1);
  EXPECT_EQ(live().area_type, AREA_PARALLEL);
  EXPECT_TRUE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(w.parallel_out_freehand.check)));
  EXPECT_TRUE(gtk_widget_get_sensitive(w.parallel_out_freehand.edit_button));
  EXPECT_FALSE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(w.parallel_in_freehand.check)));
  EXPECT_FALSE(gtk_widget_get_sensitive(w.parallel_in_freehand.edit_button));
  EXPECT_TRUE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(w.topmost_check)));
  // Fitting, with closer zooms up to 400 % of the image's pixels.
  EXPECT_TRUE(gtk_widget_get_sensitive(w.zoom_in_button));
  EXPECT_TRUE(gtk_widget_get_sensitive(w.zoom_out_button));
}

TEST_F(DialogBuild, ThePathRadioAndPageFollowTheRecord) {
  build(FixedImage{}, [](EffectParams *p) {
    p->area_type = AREA_PATH;
    p->path_in_range = 40;
  });
  const DialogWidgets &w = dialog_widgets;
  EXPECT_TRUE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(w.path_radio)));
  EXPECT_EQ(gtk_notebook_get_current_page(GTK_NOTEBOOK(w.area_notebook)), 2);
  GtkSpinButton *in = GTK_SPIN_BUTTON(path_spin_for_key("path_in_range"));
  GtkSpinButton *out = GTK_SPIN_BUTTON(path_spin_for_key("path_out_range"));
  EXPECT_EQ(gtk_spin_button_get_value(in), 40);
  gtk_spin_button_set_value(out, 77);
  EXPECT_EQ(live().path_out_range, 77);

  gtk_button_clicked(GTK_BUTTON(w.radiation_radio));
  EXPECT_EQ(live().area_type, AREA_RADIATION);
  gtk_button_clicked(GTK_BUTTON(w.path_radio));
  EXPECT_EQ(live().area_type, AREA_PATH);
  EXPECT_EQ(gtk_notebook_get_current_page(GTK_NOTEBOOK(w.area_notebook)), 2);

  // A text of another unit: the widths shown in it, the spine taken whole.
  GKeyFile *kf = g_key_file_new();
  ASSERT_TRUE(g_key_file_load_from_data(
      kf, "[zipstroke]\narea_type=2\narea_unit=2\npath_in_range=12.5\n"
          "path_spine_points=1;2;3;4;5;6;\n", -1, G_KEY_FILE_NONE, nullptr));
  settings_apply_key_file(kf);
  g_key_file_free(kf);
  EXPECT_EQ(live().area_unit, 2);
  EXPECT_EQ(live().path_in_range, 12.5);
  EXPECT_EQ(gtk_spin_button_get_value(in), 12.5);
  EXPECT_EQ(live().path_spine_points_count, 3);
  EXPECT_EQ(live().path_spine_points[2].y, 6);
  EXPECT_TRUE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(w.path_radio)));

  // Reset brings the image's defaults back into the page.
  respond(RESPONSE_RESET);
  EXPECT_EQ(live().path_spine_points_count, PATH_DEFAULT_SPINE_POINTS);
  EXPECT_EQ(gtk_spin_button_get_value(in), live().path_in_range);
}

TEST_F(DialogBuild, AnAreaTypeOutsideTheTwoSelectsNoRadio) {
  build(FixedImage{}, [](EffectParams *p) { p->area_type = 5; });
  EXPECT_TRUE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(dialog_widgets.radiation_radio)));
  EXPECT_EQ(live().area_type, 5);
}

TEST_F(DialogBuild, NonFiniteStoredValuesNeverReachASpinButton) {
  build(FixedImage{}, [](EffectParams *p) {
    p->line_pitch = NAN;
    p->radiation_x = INFINITY;
  });
  EXPECT_EQ(gtk_spin_button_get_value(spin("line_pitch")), 0.5);
  EXPECT_TRUE(std::isfinite(gtk_spin_button_get_value(spin("radiation_x"))));
}

TEST_F(DialogBuild, WindowIconIsAWhiteSquareCrossedBySixBlackRows) {
  build();
  GdkPixbuf *icon = gtk_window_get_icon(GTK_WINDOW(dialog));
  ASSERT_NE(icon, nullptr);
  ASSERT_EQ(gdk_pixbuf_get_width(icon), 16);
  ASSERT_EQ(gdk_pixbuf_get_height(icon), 16);
  ASSERT_EQ(gdk_pixbuf_get_n_channels(icon), 3);
  const guchar *pixels = gdk_pixbuf_get_pixels(icon);
  const int stride = gdk_pixbuf_get_rowstride(icon);
  std::string rows;
  for (int y = 0; y < 16; ++y) {
    std::set<int> values(pixels + y * stride, pixels + y * stride + 48);
    ASSERT_EQ(values.size(), 1u) << "row " << y;
    rows += *values.begin() == 0 ? 'B' : (*values.begin() == 255 ? 'W' : '?');
  }
  EXPECT_EQ(rows, "BWWBWWBWBWWWBWWB");
}

TEST(WindowPlacement, SizeNeedsBothSidesAboveOneHundredAndPositionIsNeverNegative) {
  EffectParams p{};
  p.window_width = 100;
  p.window_height = 400;
  EXPECT_FALSE(window_placement_from_record(&p).resize);
  std::swap(p.window_width, p.window_height);
  EXPECT_FALSE(window_placement_from_record(&p).resize);
  p.window_width = 101;
  p.window_height = 101;
  WindowPlacement placement = window_placement_from_record(&p);
  EXPECT_TRUE(placement.resize);
  EXPECT_EQ(placement.width, 101);
  EXPECT_EQ(placement.height, 101);
  EXPECT_TRUE(placement.center);  // (0, 0)

  p.window_x = -20;
  p.window_y = 300;
  placement = window_placement_from_record(&p);
  EXPECT_EQ(p.window_x, 0);
  EXPECT_EQ(p.window_y, 300);
  EXPECT_FALSE(placement.center);
  EXPECT_EQ(placement.x, 0);
  EXPECT_EQ(placement.y, 300);

  p.window_x = -5;
  p.window_y = -7;
  EXPECT_TRUE(window_placement_from_record(&p).center);
}

// The size and position the dialog opens at on a monitor's work area.
TEST(WindowPlacement, FitsTheWorkAreaLessTheFrameButNeverBelowTheMinimum) {
  struct Case {
    const char *what;
    WindowPlacement stored;
    ScreenRect work;
    int width, height, x, y;
  };
  const int NATURAL_W = 1245, NATURAL_H = 864, MIN_W = 1000, MIN_H = 450;
  const WindowPlacement first{false, -1, -1, true, 0, 0};
  const ScreenRect laptop{0, 0, 1366, 768}, small{0, 0, 1280, 720}, large{0, 0, 1920, 1080};
  const ScreenRect panel_on_top{0, 32, 1366, 736}, right_monitor{1920, 0, 1366, 768};
  const Case cases[] = {
      {"first run, large screen: natural", first, large, NATURAL_W, NATURAL_H, 0, 0},
      {"first run, laptop: lower", first, laptop, NATURAL_W, 768 - FRAME_ROOM_HEIGHT, 0, 0},
      {"first run, 1280 x 720", first, small, NATURAL_W, 720 - FRAME_ROOM_HEIGHT, 0, 0},
      {"too small for the minimum: the minimum", first, {0, 0, 800, 480}, MIN_W, MIN_H, 0, 0},
      {"stored larger than the screen", {true, 1800, 1000, true, 0, 0}, laptop,
       1366 - FRAME_ROOM_WIDTH, 768 - FRAME_ROOM_HEIGHT, 0, 0},
      {"stored size that fits: kept", {true, 1100, 600, true, 0, 0}, laptop, 1100, 600, 0, 0},
      {"stored off the bottom right: moved on", {true, 1100, 600, false, 900, 700}, laptop, 1100,
       600, 1366 - 1100 - FRAME_ROOM_WIDTH, 768 - 600 - FRAME_ROOM_HEIGHT},
      {"stored above a top panel: moved below it", {true, 1100, 600, false, 10, 5}, panel_on_top,
       1100, 600, 10, 32},
      {"on the second monitor: stays there", {true, 1100, 600, false, 2000, 40}, right_monitor,
       1100, 600, 2000, 40},
      {"no work area known: only the natural size", first, {0, 0, 0, 0}, NATURAL_W, NATURAL_H, 0,
       0},
  };
  for (const Case &c : cases) {
    const WindowPlacement p =
        window_placement_fit(c.stored, NATURAL_W, NATURAL_H, MIN_W, MIN_H, c.work);
    EXPECT_TRUE(p.resize) << c.what;
    EXPECT_EQ(p.center, c.stored.center) << c.what;
    EXPECT_EQ(p.width, c.width) << c.what;
    EXPECT_EQ(p.height, c.height) << c.what;
    EXPECT_EQ(p.x, c.x) << c.what;
    EXPECT_EQ(p.y, c.y) << c.what;
  }
}

// The dialog can be made small enough for a 1280 x 720 screen: the Options
// page scrolls and the preview gives way.  It opens at its natural size
// where there is room, its preview then at the full size.
TEST_F(DialogBuild, ItsSmallestSizeFitsASmallScreenAndItOpensAtItsNaturalSize) {
  build();
  int min_w = 0, min_h = 0;
  compat_widget_min_size(dialog, &min_w, &min_h);
  EXPECT_LE(min_w, 1200);
  EXPECT_LE(min_h, 620);
  int view_w = 0, view_h = 0;
  preview_view_size(&view_w, &view_h);
  EXPECT_GE(std::min(view_w, view_h), PREVIEW_SIZE);
}

TEST_F(DialogBuild, OpensAtTheStoredPositionWithNegativesRaisedToZero) {
  build(FixedImage{}, [](EffectParams *p) {
    p->window_x = -20;
    p->window_y = 100;
  });
  EXPECT_EQ(live().window_x, 0);
  EXPECT_EQ(live().window_y, 100);
  gint x = -1, y = -1;
  gtk_window_get_position(GTK_WINDOW(dialog), &x, &y);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 100);
}

TEST_F(DialogBuild, ZoomButtonsStopAtTheEnds) {
  build();
  const DialogWidgets &w = dialog_widgets;
  for (int i = 0; i < 4; ++i) gtk_button_clicked(GTK_BUTTON(w.zoom_out_button));
  EXPECT_EQ(preview_zoom_get(), 25);
  EXPECT_FALSE(gtk_widget_get_sensitive(w.zoom_out_button));
  EXPECT_TRUE(gtk_widget_get_sensitive(w.zoom_in_button));
  // Up through fitting (640 x 480 in the view at k_fit < 1), then the image's
  // own pixels at 100, 200 and 400 %.
  const double fit = preview_view_scale() * 4;
  std::vector<double> seen;
  for (int i = 0; i < 20 && gtk_widget_get_sensitive(w.zoom_in_button); ++i) {
    gtk_button_clicked(GTK_BUTTON(w.zoom_in_button));
    seen.push_back(preview_view_scale());
  }
  const std::vector<double> expected = {fit * 0.5, fit * 0.75, fit, 1, 2, 4};
  ASSERT_EQ(seen.size(), expected.size());
  for (size_t i = 0; i < seen.size(); ++i) EXPECT_NEAR(seen[i], expected[i], 1e-12) << i;
  EXPECT_FALSE(gtk_widget_get_sensitive(w.zoom_in_button));
  EXPECT_TRUE(gtk_widget_get_sensitive(w.zoom_out_button));
}

TEST_F(DialogBuild, CanBeBuiltAgainAfterDestruction) {
  build();
  GtkWidget *first_pitch = dialog_widgets.line_pitch_spin;
  gtk_widget_destroy(dialog);
  pump_gtk_events();
  build(FixedImage{}, [](EffectParams *p) { p->line_pitch = 7.0; });
  EXPECT_NE(dialog_widgets.line_pitch_spin, nullptr);
  EXPECT_EQ(gtk_spin_button_get_value(spin("line_pitch")), 7.0);
  (void)first_pitch;
}

// Writes a picture of the dialog when ZIPSTROKE_SCREENSHOT_DIR names a folder.
TEST_F(DialogBuild, Screenshot) {
  const char *dir = g_getenv("ZIPSTROKE_SCREENSHOT_DIR");
  if (!dir || !*dir) GTEST_SKIP() << "ZIPSTROKE_SCREENSHOT_DIR not set";
  build();
  gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_NONE);
  gtk_window_move(GTK_WINDOW(dialog), 0, 0);
  for (int i = 0; i < 20; ++i) {
    pump_gtk_events();
    g_usleep(20000);
  }
  GdkWindow *window = gtk_widget_get_window(dialog);
  ASSERT_NE(window, nullptr);
  for (const char *name : {"dialog-inprocess.png", "dialog-inprocess-preset.png"}) {
    GdkPixbuf *picture = test_window_pixbuf(window);
    ASSERT_NE(picture, nullptr);
    gchar *path = g_build_filename(dir, name, nullptr);
    EXPECT_TRUE(gdk_pixbuf_save(picture, path, "png", nullptr, nullptr)) << path;
    g_free(path);
    g_object_unref(picture);
    // Then the Preset page.
    gtk_notebook_set_current_page(GTK_NOTEBOOK(dialog_widgets.main_notebook), 1);
    for (int i = 0; i < 10; ++i) {
      pump_gtk_events();
      g_usleep(20000);
    }
  }
}

}  // namespace
