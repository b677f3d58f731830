// The last values as GIMP 3 keeps them: a text, read back over the defaults of
// the next run, and the raw record of older builds read once.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "last_values.h"
#include "params_fixtures.h"
#include "path_spine.h"

namespace {

std::unique_ptr<EffectParams> defaults() {
  return std::make_unique<EffectParams>(defaults_640x480());
}

std::string text_of_last_values(const EffectParams &p) {
  gsize length = 0;
  std::unique_ptr<char, decltype(&g_free)> text(last_values_to_text(&p, &length), g_free);
  return std::string(text.get(), length);
}

LastValuesFound read(EffectParams *p, const std::string &data) {
  return last_values_read(p, data.data(), data.size());
}

// Every keyed, run and geometry field away from its default; the colour's
// channels and alpha off the 8-bit grid.
std::unique_ptr<EffectParams> worked_on() {
  auto p = defaults();
  p->line_color = {0.1234, 0.5, 0.75, 0.6};
  p->line_antialias = 1;
  p->line_pitch_type = 1;
  p->line_wave_type = 4;
  p->area_unit = 2;
  p->area_type = AREA_PARALLEL;
  for (const SpinRange &r : SPIN_RANGES)
    spin_field_set(p.get(), r, spin_limits(r, 0, Resolution{72, 72}),
                   spin_field_get(p.get(), r) / 2 + 0.375);
  p->path_in_range = 33.5;
  p->path_out_range = 12.25;
  p->path_spine_points_count = 3;
  p->path_spine_points[2] = {40.125, 7.5};
  p->window_x = 77;
  p->window_y = -5;
  p->window_width = 900;
  p->window_height = 700;
  p->topmost = 1;
  p->geometry_width = 1234;
  p->geometry_height = 567;
  p->geometry_xres = 300.5;
  p->geometry_yres = 150.25;
  return p;
}

// A stroke as the preview writes it over samples `from` .. `to`: from one
// pointer event to the next (at most `gap` samples on) the pointer's distance
// goes straight, and the factor is that distance over the boundary's, `rho`.
void draw_stroke(FreehandOutline *o, unsigned seed, int from, int to, int gap,
                 const std::function<double(int)> &rho) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> step(1, gap);
  std::uniform_real_distribution<double> share(0.6, 1.6);
  int a = from;
  double da = share(rng) * rho(a);
  o->samples[a].factor = da / rho(a);
  while (a < to) {
    const int b = std::min(to, a + step(rng));
    const double db = share(rng) * rho(b);
    for (int i = a + 1; i <= b; ++i)
      o->samples[i].factor = (da + (db - da) * (i - a) / (b - a)) / rho(i);
    a = b;
    da = db;
  }
}

// Every outline drawn over most of its length, a hundred pointer events or
// so each.  Around the centre the boundary is the ellipse the preview shows:
// the radius across, along x the outer radius over 1 - oblateness (less the
// ring's width for the inner one).
void draw_every_outline(EffectParams *p) {
  const double r_out = p->radiation_out_radius, r_in = p->radiation_in_radius;
  const double a_out = r_out / (1 - p->radiation_oblateness);
  const auto ellipse = [](double a, double r) {
    return [a, r](int i) {
      const double t = i * RADIAL_SAMPLE_STEP;
      return a * r / std::hypot(r * std::cos(t), a * std::sin(t));
    };
  };
  draw_stroke(&p->radiation_in_freehand, 1, 0, 999, 20, ellipse(a_out - (r_out - r_in), r_in));
  draw_stroke(&p->radiation_out_freehand, 2, 100, 950, 18, ellipse(a_out, r_out));
  const auto band = [](int) { return 1.0; };
  draw_stroke(&p->parallel_in_freehand, 3, 0, 999, 20, band);
  draw_stroke(&p->parallel_out_freehand, 4, 50, 900, 18, band);
  draw_stroke(&p->path_in_freehand, 5, 0, 999, 20, band);
  draw_stroke(&p->path_out_freehand, 6, 200, 999, 16, band);
}

// Spikes of one sample, exact or not in decimals, one as far out as the knots
// go; ticked or not; one outline whose samples were rejected (count 0).
void draw_spikes(EffectParams *p) {
  p->radiation_out_freehand.samples[3].factor = 1.0 / 3.0;
  p->radiation_in_freehand.samples[500].factor = 1e6;
  p->parallel_in_freehand.active = 1;
  p->parallel_in_freehand.samples[999] = {0.999, 2.5};
  p->parallel_out_freehand.active = 1;
  p->parallel_out_freehand.count = 0;
  p->path_out_freehand.samples[10].factor = 0.5;
}

// Off the editor's grid, as a hand-written preset may place them, or far out:
// kept exactly.
void draw_off_the_grid(EffectParams *p) {
  p->radiation_in_freehand.samples[7].pos += 1e-4;
  p->radiation_in_freehand.samples[7].factor = 1.0 / 7.0;
  p->radiation_in_freehand.samples[9].pos = p->radiation_in_freehand.samples[8].pos;  // a repeat
  p->parallel_out_freehand.samples[5].factor = 1e307;
  p->path_spine_points[1].y = 1e300;  // beyond any grid: the spine kept in full
}

// The largest work area, every outline drawn, and a spine of a thousand
// points From Path took from eight curves across it.
void draw_all_on_the_largest_area(EffectParams *p) {
  p->geometry_width = p->geometry_height = 524288;
  p->radiation_oblateness = 0.9;
  draw_every_outline(p);
  std::mt19937 rng(8);
  std::uniform_real_distribution<double> anywhere(0, 524288);
  std::vector<SpinePoint> path{{anywhere(rng), anywhere(rng)}};
  for (int curve = 0; curve < 8; ++curve) {
    const SpinePoint a = path.back(), b{anywhere(rng), anywhere(rng)},
                     c{anywhere(rng), anywhere(rng)}, d{anywhere(rng), anywhere(rng)};
    for (double t = 0.001; t <= 1; t += 0.001) {
      const double u = 1 - t, wa = u * u * u, wb = 3 * u * u * t, wc = 3 * u * t * t, wd = t * t * t;
      path.push_back({wa * a.x + wb * b.x + wc * c.x + wd * d.x,
                      wa * a.y + wb * b.y + wc * c.y + wd * d.y});
    }
  }
  path_spine_set_from_pixels(p, path, 0, 0, Resolution{p->geometry_xres, p->geometry_yres});
}

// As a record of an older build may be: within half a pixel of the largest
// work area.
void draw_on_an_unknown_area(EffectParams *p) {
  p->geometry_width = 0;
  p->geometry_xres = 0;
  draw_every_outline(p);
}

// A gently curved outline across the largest work area: knots as far apart
// as half a pixel allows.
void draw_a_curve_on_the_largest_area(EffectParams *p) {
  p->geometry_width = p->geometry_height = 524288;
  for (int i = 0; i < FREEHAND_SAMPLES; ++i)
    p->path_in_freehand.samples[i].factor = 1 + 0.3 * (i / 999.0) * (i / 999.0);
}

// Drawn outlines come back to within half a pixel of the work area's diagonal
// (of the radius where that is larger), the spine's points within half a
// pixel, the rest exactly, in a few kilobytes.
TEST(LastValuesText, EveryFieldComesBackAndTheTextIsSmall) {
  const struct {
    const char *name;
    void (*draw)(EffectParams *);
    std::size_t max_size;
  } rows[] = {
      {"no outline drawn", nullptr, 2048},
      {"spikes", draw_spikes, 4096},
      {"every outline drawn", draw_every_outline, 8192},
      {"all of it on the largest work area", draw_all_on_the_largest_area, 8192},
      {"off the grid or far out", draw_off_the_grid, 64 * 1024},
      {"every outline drawn on a work area it does not know", draw_on_an_unknown_area, 8192},
      {"a curve on the largest work area", draw_a_curve_on_the_largest_area, 8192},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.name);
    auto stored = worked_on();
    stored->radiation_in_freehand.active = 1;  // ticked, maybe in its reset shape
    if (row.draw) row.draw(stored.get());
    const std::string text = text_of_last_values(*stored);
    EXPECT_LT(text.size(), row.max_size);
    if (!row.draw) {
      EXPECT_EQ(text.find("_knots"), std::string::npos);  // reset shapes: nothing
    }

    auto next = defaults();
    ASSERT_EQ(read(next.get(), text), LastValuesFound::Text);
    // Millimetres at the work area's resolution.
    const double px = 300.5 / 25.4, py = 150.25 / 25.4;
    const double diagonal = stored->geometry_width > 0
                                ? std::hypot(stored->geometry_width, stored->geometry_height)
                                : std::hypot(524288.0, 524288.0);
    // The ellipse's long half axis is a radius too.
    const double radius = std::max({stored->radiation_in_radius, stored->radiation_out_radius,
                                    stored->radiation_out_radius / (1 - stored->radiation_oblateness)}) *
                          px;
    const double pixels_per_factor[] = {std::max(diagonal, radius), std::max(diagonal, radius),
                                        diagonal, diagonal, diagonal, diagonal};
    FreehandOutline *got[] = {&next->radiation_in_freehand, &next->radiation_out_freehand,
                              &next->parallel_in_freehand,  &next->parallel_out_freehand,
                              &next->path_in_freehand,      &next->path_out_freehand};
    const FreehandOutline *want[] = {
        &stored->radiation_in_freehand, &stored->radiation_out_freehand,
        &stored->parallel_in_freehand,  &stored->parallel_out_freehand,
        &stored->path_in_freehand,      &stored->path_out_freehand};
    for (int k = 0; k < 6; ++k) {
      double worst = 0;
      for (int i = 0; i < FREEHAND_SAMPLES; ++i)
        worst = std::max(worst, std::fabs(got[k]->samples[i].factor - want[k]->samples[i].factor));
      EXPECT_LE(worst * pixels_per_factor[k], 0.5) << "outline " << k;
      for (int i = 0; i < FREEHAND_SAMPLES; ++i)
        got[k]->samples[i].factor = want[k]->samples[i].factor;
    }
    ASSERT_EQ(next->path_spine_points_count, stored->path_spine_points_count);
    for (int i = 0; i < stored->path_spine_points_count; ++i) {
      SpinePoint &got_point = next->path_spine_points[i];
      const SpinePoint &want_point = stored->path_spine_points[i];
      // Without its resolution a spine in millimetres has no pixels: kept as it is.
      EXPECT_LE(std::hypot((got_point.x - want_point.x) * px, (got_point.y - want_point.y) * py),
                stored->geometry_xres > 0 ? 0.5 : 0.0)
          << "spine point " << i;
      got_point = want_point;
    }
    EXPECT_TRUE(same_record(*next, *stored));
    EXPECT_EQ(next->geometry_width, stored->geometry_width);
    EXPECT_EQ(next->geometry_height, stored->geometry_height);
    EXPECT_EQ(next->geometry_xres, stored->geometry_xres);
    EXPECT_EQ(next->geometry_yres, 150.25);
  }
}

TEST(LastValuesText, TheRawRecordOfOlderBuildsIsTakenWithThisRunsIds) {
  auto stored = worked_on();
  stored->image_id = 40;
  stored->drawable_id = 41;
  stored->edit_mode = EditMode::Replace;
  stored->path_in_freehand.count = -3;  // counts no reader can use: the default outline
  stored->path_out_freehand.count = FREEHAND_SAMPLES + 1;
  auto next = defaults();
  ASSERT_EQ(last_values_read(next.get(), stored.get(), sizeof(EffectParams)),
            LastValuesFound::Record);
  stored->path_in_freehand.count = stored->path_out_freehand.count = FREEHAND_SAMPLES;
  stored->image_id = next->image_id;
  stored->drawable_id = next->drawable_id;
  stored->edit_mode = EditMode::Create;
  EXPECT_TRUE(same_record(*next, *stored));
}

TEST(LastValuesText, AnythingButOurTextOrRecordLeavesTheDefaults) {
  const std::string ours = text_of_last_values(*worked_on());
  const std::string format_key = "format=1";
  const size_t at = ours.find(format_key);
  ASSERT_NE(at, std::string::npos);
  const auto with_format = [&](const std::string &value) {
    return std::string(ours).replace(at, format_key.size(), value);
  };
  const std::string run_group = std::string("[") + LAST_VALUES_GROUP + "]";
  const std::string preset_text = ours.substr(0, ours.find(run_group));
  // Ours with a comment up to `size` bytes: a megabyte is the most we read.
  const auto padded = [&](std::size_t size) {
    return ours + "#" + std::string(size - ours.size() - 2, 'x') + "\n";
  };
  const std::string cases[] = {
      "",
      std::string(64, 'A'),
      "not a key file",
      preset_text,                                       // a preset: no run fields
      ours.substr(ours.find(run_group)),                 // no settings
      with_format("format=2"),                           // a later format
      with_format("format=one"),
      with_format("formats=1"),
      std::string(ours).insert(10, 1, '\0'),             // not text
      padded(1024 * 1024 + 1),
  };
  for (const std::string &data : cases) {
    auto next = defaults();
    EXPECT_EQ(read(next.get(), data), LastValuesFound::None) << data.substr(0, 40);
    EXPECT_TRUE(same_record(*next, *defaults())) << data.substr(0, 40);
  }
  auto next = defaults();
  EXPECT_EQ(read(next.get(), padded(1024 * 1024)), LastValuesFound::Text);
  EXPECT_EQ(last_values_read(next.get(), nullptr, 100), LastValuesFound::None);
}

TEST(LastValuesText, ValuesTheTextLacksOrNoControlCouldShowKeepTheDefaults) {
  const std::string run_group = std::string("[") + LAST_VALUES_GROUP + "]\nformat=1\n";
  const std::string text =
      "[zipstroke]\nversion=0.5.2\nline_pitch=nan\nline_antialias=7\narea_type=3\n"
      "line_width=4\nradiation_in_freehand_active=true\nradiation_in_freehand_points_count=1000\n"
      "radiation_in_freehand_points=1;2;3\n" +
      run_group + "window_x=12\nwindow_y=far\nline_color=0.5;inf;0;1\ntopmost=5\n";
  auto next = defaults();
  ASSERT_EQ(read(next.get(), text), LastValuesFound::Text);
  auto want = defaults();
  want->line_width = 4;
  want->window_x = 12;
  want->topmost = 1;
  // A list that does not fit its count leaves no samples, as in a preset.
  want->radiation_in_freehand.active = 1;
  want->radiation_in_freehand.count = 0;
  EXPECT_TRUE(same_record(*next, *want));

  // Knots and spines as the writer makes them: an outline from 1 at sample 0
  // to 2 at the last, and (0, 0), (0.5, -0.5).
  const auto read_settings = [&](const std::string &key, const std::string &value) {
    auto p = defaults();
    EXPECT_EQ(read(p.get(), "[zipstroke]\nversion=0.5.2\n" + key + "=" + value + "\n" + run_group),
              LastValuesFound::Text);
    return p;
  };
  auto made = read_settings("parallel_in_freehand_knots", "1;AUu-BU");
  EXPECT_EQ(made->parallel_in_freehand.samples[500].factor, 1 + 500.0 / 999);
  // The longest number: a factor of a million to nine decimals.
  made = read_settings("parallel_in_freehand_knots", "9;Aggg64k1_64Bu-BA");
  EXPECT_EQ(made->parallel_in_freehand.samples[500].factor, 1e6);
  // Spines told by each order of prediction, and a point far from it.
  const struct {
    const char *text;
    std::vector<double> xy;
  } spines[] = {
      {"0.5;0.5;2;1;Ye", {0, 0, 0.5, -0.5}},
      {"0.5;0.5;3;1;ppp", {1, 1.5, 2, 3, 3, 4.5}},
      {"0.5;0.5;3;2;YpY", {0, 0, 1, 1.5, 2, 3}},
      {"0.5;0.5;4;3;YpYY", {0, 0, 1, 1.5, 2, 3, 3, 4.5}},
      {"0.25;2;2;1;YxEB", {0, 0, 0.5, -2}},
      {"1;1;2;1;YxggggggggCA", {0, 0, 1099511627776.0, 0}},  // the farthest cell
  };
  for (const auto &row : spines) {
    made = read_settings("path_spine_packed", row.text);
    std::vector<double> got;
    for (int i = 0; i < made->path_spine_points_count; ++i)
      got.insert(got.end(), {made->path_spine_points[i].x, made->path_spine_points[i].y});
    EXPECT_EQ(got, row.xy) << row.text;
  }

  // Any other leaves the outline or the spine as the defaults hold it.
  const struct {
    const char *key, *value;
  } damaged[] = {
      {"parallel_in_freehand_knots", "1;AUKU"},        // short of the last sample
      {"parallel_in_freehand_knots", "1;AUu-BUCA"},    // beyond it
      {"parallel_in_freehand_knots", "1;AUu-hgggIU"},  // beyond it by 2^32
      {"parallel_in_freehand_knots", "1;AUu-B"},       // a step without its factor
      {"parallel_in_freehand_knots", "1;CUu-BU"},      // the first knot not at sample 0
      {"parallel_in_freehand_knots", "1;AUAUu-BU"},    // a step of no samples
      {"parallel_in_freehand_knots", "1;AUl-BU"},      // around a centre, on a band
      {"parallel_in_freehand_knots", "10;AUu-BU"},     // decimals no writer takes
      {"parallel_in_freehand_knots", "1;AU*-BU"},      // not a digit
      {"parallel_in_freehand_knots", "0;1;999;2"},     // an earlier build's knots
      {"path_spine_packed", "0.5;0.5;2;1;Y"},          // a point short
      {"path_spine_packed", "0.5;0.5;2;1;YeA"},        // a point over
      {"path_spine_packed", "0.5;0.5;1;1;Y"},          // too few points
      {"path_spine_packed", "0.5;0.5;1001;1;Ye"},      // too many
      {"path_spine_packed", "0.5;0.5;2;4;Ye"},         // no such order
      {"path_spine_packed", "0;0.5;2;1;Ye"},           // no grid
      {"path_spine_packed", "0.5;nan;2;1;Ye"},
      {"path_spine_packed", "1e308;1;2;1;YxEA"},       // a point beyond any double
      {"path_spine_packed", "1;1;2;1;YxggggggggEA"},   // beyond 2^40 cells
      {"path_spine_packed", "1;1;2;1;YxgggggggggggAA"},  // a number no writer makes
      {"path_spine_packed", "0.5;0.5;2;1;Y;e"},
      {"path_spine_packed", "0.5;0.5;2;1;Y_"},           // a digit no writer makes
      {"path_spine_packed", "0.5x;0.5;2;1;Ye"},
      {"path_spine_packed", "0.5;0.5;2x;1;Ye"},
      {"path_spine_packed", "0.5;0.5;2;1x;Ye"},
      {"path_spine_packed", ";0.5;2;1;Ye"},
  };
  for (const auto &row : damaged)
    EXPECT_TRUE(same_record(*read_settings(row.key, row.value), *defaults())) << row.value;
}

}  // namespace
