// Freehand outlines: the row controls, the edit target with its cursor, and
// the captures that turn strokes into factors.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "preview_fixture.h"

namespace {

constexpr double DEG = G_PI / 180;

class FreehandEdit : public PreviewHarness {
 protected:
  FreehandRow &row(int n) {
    FreehandRow *rows[] = {&dialog_widgets.radiation_in_freehand,
                           &dialog_widgets.radiation_out_freehand,
                           &dialog_widgets.parallel_in_freehand,
                           &dialog_widgets.parallel_out_freehand,
                           &dialog_widgets.path_in_freehand,
                           &dialog_widgets.path_out_freehand};
    return *rows[n - 1];
  }
  void click_edit(int n) { gtk_button_clicked(GTK_BUTTON(row(n).edit_button)); }
  bool sensitive(GtkWidget *w) { return gtk_widget_get_sensitive(w); }

  // 500 x 500 (user and window pixels coincide), centre (250, 250), inner
  // circle of 100 and outer of 200 pixels, the inner outline selected.
  void build_radial() {
    FixedImage image;
    image.width = image.height = 500;
    build(image);
    set_spin(dialog_widgets.radiation_in_radius_spin, 100);
    set_spin(dialog_widgets.radiation_out_radius_spin, 200);
    set_spin(dialog_widgets.radiation_oblateness_spin, 0);
    set_active(row(1).check, true);
    click_edit(1);
  }
  Point2 polar(double degrees, double distance) {
    return {250 + distance * std::cos(degrees * DEG), 250 + distance * std::sin(degrees * DEG)};
  }
  // A stroke of one motion per point.
  void stroke(std::initializer_list<Point2> points) {
    auto it = points.begin();
    press(it->x, it->y);
    Point2 last = *it;
    for (++it; it != points.end(); ++it) {
      motion(it->x, it->y);
      last = *it;
    }
    release(last.x, last.y);
  }
};

}  // namespace

TEST_F(FreehandEdit, EditButtonsSelectOneOutlineWithThePencil) {
  build(FixedImage{});
  for (int n = 1; n <= 6; ++n) {
    EXPECT_FALSE(sensitive(row(n).edit_button));
    EXPECT_FALSE(sensitive(row(n).reset_button));
    EXPECT_STREQ(label_of(row(n).edit_button), "Edit Start");
  }
  set_active(row(1).check, true);
  set_active(row(3).check, true);
  EXPECT_EQ(params.radiation_in_freehand.active, 1);
  EXPECT_TRUE(sensitive(row(1).edit_button));
  EXPECT_TRUE(sensitive(row(1).reset_button));

  click_edit(1);
  EXPECT_EQ(preview_freehand_target(), 1);
  EXPECT_STREQ(label_of(row(1).edit_button), "Edit Stop");
  EXPECT_EQ(cursor_type(), GDK_PENCIL);
  click_edit(1);  // a second click ends the editing
  EXPECT_EQ(preview_freehand_target(), 0);
  EXPECT_STREQ(label_of(row(1).edit_button), "Edit Start");
  EXPECT_EQ(cursor_type(), GDK_ARROW);

  click_edit(1);
  click_edit(3);  // another row takes the selection
  EXPECT_EQ(preview_freehand_target(), 3);
  EXPECT_STREQ(label_of(row(1).edit_button), "Edit Start");
  EXPECT_STREQ(label_of(row(3).edit_button), "Edit Stop");

  // Switching off a row that is not the selected one still ends the editing,
  // and no button keeps reading "Edit Stop".
  set_active(row(1).check, false);
  EXPECT_EQ(params.radiation_in_freehand.active, 0);
  EXPECT_EQ(preview_freehand_target(), 0);
  EXPECT_EQ(cursor_type(), GDK_ARROW);
  for (int n = 1; n <= 4; ++n) EXPECT_STREQ(label_of(row(n).edit_button), "Edit Start");
  EXPECT_FALSE(sensitive(row(1).edit_button));
  EXPECT_FALSE(sensitive(row(1).reset_button));
  EXPECT_TRUE(sensitive(row(3).edit_button));

  click_edit(3);
  set_active(row(3).check, false);  // the selected row itself
  EXPECT_EQ(preview_freehand_target(), 0);
  EXPECT_STREQ(label_of(row(3).edit_button), "Edit Start");

  // Drawing the spine is one more target: it ends an outline's editing, and
  // an outline's editing raises its toggle.
  GtkWidget *spine = dialog_widgets.draw_spine_toggle;
  set_active(row(6).check, true);
  click_edit(6);
  set_active(spine, true);
  EXPECT_EQ(preview_freehand_target(), FREEHAND_PATH_SPINE);
  EXPECT_STREQ(label_of(row(6).edit_button), "Edit Start");
  click_edit(6);
  EXPECT_EQ(preview_freehand_target(), FREEHAND_PATH_OUT);
  EXPECT_FALSE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(spine)));
}

// A stroke while the spine is drawn replaces the spine, point for point.
TEST_F(FreehandEdit, AStrokeDrawsANewSpine) {
  FixedImage image;
  image.width = image.height = 500;
  build(image);
  set_active(dialog_widgets.path_radio, true);
  set_active(dialog_widgets.draw_spine_toggle, true);
  stroke({{10, 400}, {200, 300}, {400, 100}, {450, 50}});
  ASSERT_EQ(params.path_spine_points_count, 4);
  EXPECT_NEAR(params.path_spine_points[1].x, 200, 1e-9);
  EXPECT_NEAR(params.path_spine_points[3].y, 50, 1e-9);
}

TEST_F(FreehandEdit, ResetRestoresTheFactorsOnly) {
  build(FixedImage{});
  set_active(row(4).check, true);
  click_edit(4);
  for (FreehandSample &sample : params.parallel_out_freehand.samples) sample.factor = 0.3;
  gtk_button_clicked(GTK_BUTTON(row(4).reset_button));
  EXPECT_EQ(count_factors_not(params.parallel_out_freehand, 1.0), 0);
  EXPECT_DOUBLE_EQ(params.parallel_out_freehand.samples[999].pos, 0.999);
  EXPECT_EQ(params.parallel_out_freehand.active, 1);
  EXPECT_EQ(preview_freehand_target(), 4);
}

TEST_F(FreehandEdit, APressOnAHandleStartsAStrokeInstead) {
  build_radial();
  stroke({{250, 250}, {300, 280}});  // the centre handle
  EXPECT_DOUBLE_EQ(params.radiation_x, 250);
  EXPECT_DOUBLE_EQ(params.radiation_y, 250);
}

TEST_F(FreehandEdit, RadialStrokeAcrossAngleZeroWritesOnlyThatArc) {
  build_radial();
  stroke({polar(350, 120), polar(10, 180)});
  const FreehandOutline &o = params.radiation_in_freehand;
  // Samples from 350 degrees (973) up to 999, then 0 to the first at or past 10 degrees (28).
  for (int i = 29; i <= 972; ++i) ASSERT_EQ(o.samples[i].factor, 1.0) << i;
  EXPECT_NEAR(o.samples[973].factor, 1.2, 1e-9);
  double previous = 0;
  for (int i : {973, 980, 999, 0, 10, 28}) {
    EXPECT_GT(o.samples[i].factor, previous) << i;
    previous = o.samples[i].factor;
  }
  EXPECT_GT(o.samples[28].factor, 1.75);
  EXPECT_LE(o.samples[28].factor, 1.8);
}

TEST_F(FreehandEdit, StrokeAlongACircleGivesItsRatioToTheEllipse) {
  build_radial();
  press(polar(20, 150).x, polar(20, 150).y);
  for (int degrees = 23; degrees <= 200; degrees += 3) motion(polar(degrees, 150).x, polar(degrees, 150).y);
  release(0, 0);
  const FreehandOutline &o = params.radiation_in_freehand;
  int written = 0;
  for (const FreehandSample &sample : o.samples) {
    const double degrees = sample.pos / DEG;
    if (degrees > 20.01 && degrees < 199.99) {
      EXPECT_NEAR(sample.factor, 1.5, 1e-9) << degrees;
      ++written;
    } else if (degrees < 19.99 || degrees > 200.01) {
      EXPECT_EQ(sample.factor, 1.0) << degrees;
    }
  }
  EXPECT_GT(written, 490);
}

TEST_F(FreehandEdit, TinyRadialMotionWritesOneSample) {
  build_radial();
  const double a = 0.1, b = 0.103;  // less than one spacing (0.00628)
  stroke({{250 + 150 * std::cos(a), 250 + 150 * std::sin(a)},
          {250 + 150 * std::cos(b), 250 + 150 * std::sin(b)}});
  EXPECT_EQ(count_factors_not(params.radiation_in_freehand, 1.0), 1);
  EXPECT_NEAR(params.radiation_in_freehand.samples[16].factor, 1.5, 1e-9);
}

TEST_F(FreehandEdit, DegenerateRadialStrokesWriteNothingUnsound) {
  build_radial();
  stroke({{250, 250}, {300, 250}, {250, 250}});  // from and back to the very centre
  EXPECT_EQ(count_factors_not(params.radiation_in_freehand, 1.0), 0);

  set_spin(dialog_widgets.radiation_in_radius_spin, 0);  // the inner ellipse is a point
  stroke({polar(0, 50), polar(90, 60), polar(180, 70)});
  for (const FreehandSample &sample : params.radiation_in_freehand.samples)
    ASSERT_TRUE(std::isfinite(sample.factor));

  set_spin(dialog_widgets.radiation_oblateness_spin, -4);  // and flattened: a segment
  set_spin(dialog_widgets.radiation_in_radius_spin, 100);
  stroke({polar(0, 50), polar(90, 60)});
  for (const FreehandSample &sample : params.radiation_in_freehand.samples)
    ASSERT_TRUE(std::isfinite(sample.factor));

  // Counts outside the table are never scanned past its end.
  params.radiation_in_freehand.count = 5000;
  stroke({polar(10, 120), polar(300, 130)});
  params.radiation_in_freehand.count = 0;
  const EffectParams before = params;
  stroke({polar(10, 120), polar(40, 130)});
  EXPECT_EQ(0, memcmp(&before.radiation_in_freehand, &params.radiation_in_freehand,
                      sizeof(FreehandOutline)));
}

TEST_F(FreehandEdit, ParallelStrokesAlongTheSidesGiveOneAndZero) {
  build(FixedImage{}, AREA_PARALLEL);  // band from x 0 to 640, t = (480 - y) / 480
  set_active(row(3).check, true);
  click_edit(3);
  FreehandOutline &o = params.parallel_in_freehand;
  for (FreehandSample &sample : o.samples) sample.factor = 0.5;
  stroke({{0, 400}, {0, 100}});  // along the in side
  int ones = 0;
  for (const FreehandSample &sample : o.samples) {
    if (sample.pos >= 80 / 480.0 + 1e-9 && sample.pos <= 380 / 480.0 - 1e-9) {
      EXPECT_NEAR(sample.factor, 1.0, 1e-12);
      ++ones;
    }
    if (sample.pos < 80 / 480.0 - 1e-9 || sample.pos > 380 / 480.0 + 1e-9) {
      EXPECT_EQ(sample.factor, 0.5);
    }
  }
  EXPECT_GT(ones, 600);
  stroke({{640, 400}, {640, 100}});  // along the out side
  EXPECT_NEAR(o.samples[500].factor, 0.0, 1e-12);
  EXPECT_EQ(o.samples[100].factor, 0.5);
  EXPECT_EQ(count_factors_not(params.parallel_out_freehand, 1.0), 0);
}

TEST_F(FreehandEdit, ParallelStrokeOutsideTheBandWritesNothing) {
  build(FixedImage{}, AREA_PARALLEL);
  set_active(row(4).check, true);
  click_edit(4);
  const FreehandOutline &o = params.parallel_out_freehand;
  press(300, 500);  // below the band
  motion(300, 400);  // back inside, but the motion starts outside
  EXPECT_EQ(count_factors_not(o, 1.0), 0);
  motion(300, 300);  // now both ends are inside: 300/640 of the way from in to out
  release(300, 300);
  EXPECT_NEAR(o.samples[300].factor, 300.0 / 640, 1e-12);
  EXPECT_EQ(o.samples[100].factor, 1.0);
}

TEST_F(FreehandEdit, AnOutlineOfTheOtherAreaTypeIsNeverChanged) {
  build_radial();  // the radiation inner outline selected
  params.area_type = AREA_PARALLEL;
  stroke({{10, 100}, {200, 300}, {400, 450}});
  params.area_type = AREA_RADIATION;
  EXPECT_EQ(count_factors_not(params.radiation_in_freehand, 1.0), 0);
  EXPECT_EQ(count_factors_not(params.parallel_in_freehand, 1.0), 0);
  EXPECT_EQ(count_factors_not(params.parallel_out_freehand, 1.0), 0);
  EXPECT_EQ(preview_freehand_target(), 1);
}

// A stroke round the centre that stops short of its start: the gap is filled
// from the last point back to the first, as one more motion would, and no
// sample keeps the old boundary.  Expected factors follow the stroke's own
// distances: 120 at 10 degrees rising evenly to 140 at 350, then back to 120
// across the gap.
TEST_F(FreehandEdit, AStrokeRoundTheCentreClosesOnItself) {
  build_radial();
  const FreehandOutline &o = params.radiation_in_freehand;
  auto distance = [](double degrees) { return 120 + 20 * (degrees - 10) / 340; };
  press(polar(10, 120).x, polar(10, 120).y);
  for (int degrees = 15; degrees <= 350; degrees += 5) {
    const Point2 p = polar(degrees, distance(degrees));
    motion(p.x, p.y);
  }
  // Before the release the gap still holds the old boundary.
  EXPECT_EQ(o.samples[0].factor, 1.0);
  release(polar(350, 140).x, polar(350, 140).y);
  EXPECT_EQ(count_factors_not(o, 1.0), FREEHAND_SAMPLES);
  double worst = 0;
  for (const FreehandSample &sample : o.samples) {
    double degrees = sample.pos / DEG;
    if (degrees < 10) degrees += 360;
    const double expected =
        degrees <= 350 ? distance(degrees) : 140 - 20 * (degrees - 350) / 20;
    worst = std::max(worst, std::fabs(sample.factor * 100 - expected));
  }
  // Within one sample's step (0.36 degrees) of the stroke where it is
  // steepest, across the gap: 1 pixel per degree.
  EXPECT_LT(worst, 0.4);
  // Nowhere a jump back to the old boundary: neighbours differ by a step's share at most.
  for (int i = 0; i < FREEHAND_SAMPLES; ++i) {
    const double a = o.samples[i].factor, b = o.samples[(i + 1) % FREEHAND_SAMPLES].factor;
    EXPECT_LT(std::fabs(a - b), 0.015) << i;
  }
}

TEST_F(FreehandEdit, AStrokePastItsStartJoinsItsEndToItsStart) {
  build_radial();
  const FreehandOutline &o = params.radiation_in_freehand;
  press(polar(10, 130).x, polar(10, 130).y);
  for (int degrees = 15; degrees <= 400; degrees += 5) {
    const Point2 p = polar(degrees, degrees <= 370 ? 130 : 150);  // ends 20 further out
    motion(p.x, p.y);
  }
  release(polar(400, 150).x, polar(400, 150).y);
  // From 40 degrees back to 10 the samples run from the end's 150 to the start's 130.
  for (const FreehandSample &sample : o.samples) {
    const double degrees = sample.pos / DEG;
    if (degrees >= 10 + 0.5 && degrees <= 40 - 0.5) {
      EXPECT_NEAR(sample.factor * 100, 130 + 20 * (degrees - 10) / 30, 0.3) << degrees;
    } else if (degrees > 41 || degrees < 9) {
      EXPECT_NEAR(sample.factor, 1.3, 1e-9) << degrees;
    }
  }
}

TEST_F(FreehandEdit, APartialStrokeStillJoinsTheOldBoundary) {
  build_radial();
  const FreehandOutline &o = params.radiation_in_freehand;
  press(polar(10, 130).x, polar(10, 130).y);
  for (int degrees = 15; degrees <= 300; degrees += 5) motion(polar(degrees, 130).x, polar(degrees, 130).y);
  release(polar(300, 130).x, polar(300, 130).y);
  for (const FreehandSample &sample : o.samples) {
    const double degrees = sample.pos / DEG;
    if (degrees > 301 || degrees < 9) {
      EXPECT_EQ(sample.factor, 1.0) << degrees;
    }
  }
}

// Across the whole band, from beyond one edge to beyond the other: the parts
// of the first and last motions inside the band are written too, so the
// outline reaches both edges; the stroke runs 300/640 of the way from in to out.
TEST_F(FreehandEdit, AStrokeAcrossTheWholeBandReachesBothEdges) {
  build(FixedImage{}, AREA_PARALLEL);  // t = (480 - y) / 480
  set_active(row(4).check, true);
  click_edit(4);
  const FreehandOutline &o = params.parallel_out_freehand;
  stroke({{300, 520}, {300, 400}, {300, 250}, {300, 100}, {300, -30}});
  EXPECT_EQ(count_factors_not(o, 1.0), FREEHAND_SAMPLES);
  for (const FreehandSample &sample : o.samples)
    EXPECT_NEAR(sample.factor, 300.0 / 640, 1e-9) << sample.pos;

  // Out and back over the same edge is a partial stroke: its ends stay open.
  for (FreehandSample &sample : params.parallel_out_freehand.samples) sample.factor = 1.0;
  stroke({{200, 520}, {200, 400}, {200, 300}, {200, 520}});
  EXPECT_EQ(o.samples[10].factor, 1.0);                // between the edge and y 400
  EXPECT_NEAR(o.samples[300].factor, 200.0 / 640, 1e-9);  // y 336
}

// A motion along the same ray (the same angle, another distance) writes the
// sample there with the distance of the point it came from: of two points
// at one angle, the one just reached is taken as the stroke's far end.
TEST_F(FreehandEdit, MotionAlongOneRayKeepsTheDistanceItCameFrom) {
  build_radial();
  stroke({{400, 250}, {325, 250}});  // angle 0, from 150 to 75 pixels
  EXPECT_EQ(count_factors_not(params.radiation_in_freehand, 1.0), 1);
  EXPECT_NEAR(params.radiation_in_freehand.samples[0].factor, 1.5, 1e-9);
  stroke({{250, 325}, {250, 400}});  // straight down: 90 degrees, from 75 to 150
  const FreehandOutline &o = params.radiation_in_freehand;
  const int quarter = o.count / 4;
  ASSERT_NEAR(o.samples[quarter].pos, G_PI / 2, 1e-9);
  EXPECT_NEAR(o.samples[quarter].factor, 0.75, 1e-9);
}

// Choosing another outline in the middle of a stroke (the keyboard can press
// "Edit Start" while the pointer is held) ends the stroke: the rest of the
// motion writes into neither outline.
TEST_F(FreehandEdit, AnotherTargetMidStrokeEndsTheStroke) {
  build_radial();
  set_active(row(2).check, true);
  press(polar(10, 150).x, polar(10, 150).y);
  const int written = count_factors_not(params.radiation_in_freehand, 1.0);
  freehand_set_edit_target(FREEHAND_RADIATION_OUT);
  for (int degrees = 13; degrees <= 90; degrees += 3) motion(polar(degrees, 150).x, polar(degrees, 150).y);
  release(polar(90, 150).x, polar(90, 150).y);
  EXPECT_EQ(count_factors_not(params.radiation_in_freehand, 1.0), written);
  EXPECT_EQ(count_factors_not(params.radiation_out_freehand, 1.0), 0);

  // Nor does a stroke that went round the centre close onto the outline
  // chosen before its release.
  freehand_set_edit_target(FREEHAND_RADIATION_IN);
  press(polar(10, 120).x, polar(10, 120).y);
  for (int degrees = 15; degrees <= 350; degrees += 5) motion(polar(degrees, 120).x, polar(degrees, 120).y);
  freehand_set_edit_target(FREEHAND_RADIATION_OUT);
  release(polar(350, 120).x, polar(350, 120).y);
  EXPECT_EQ(count_factors_not(params.radiation_out_freehand, 1.0), 0);
}
