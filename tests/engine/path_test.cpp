// The Path band: a straight spine gives the parallel band's picture, a
// circular spine keeps every line at its own distance from the centre, and
// no line leaves the band or folds back where the spine bends tightly.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "engine_test_support.h"
#include "zipstroke_path.h"

namespace {

constexpr int W = 400, H = 300;

// The Path band whose spine runs from the in centre to the out centre of
// p's parallel band, in n evenly spaced points, with its ranges and outlines.
EffectParams path_of_parallel(EffectParams p, int n = 2) {
  p.area_type = AREA_PATH;
  p.path_in_range = p.parallel_in_range;
  p.path_out_range = p.parallel_out_range;
  p.path_spine_points_count = n;
  for (int i = 0; i < n; ++i) {
    const double f = i / (n - 1.0);
    p.path_spine_points[i] = {p.parallel_in_x + f * (p.parallel_out_x - p.parallel_in_x),
                              p.parallel_in_Y + f * (p.parallel_out_Y - p.parallel_in_Y)};
  }
  p.path_in_freehand = p.parallel_in_freehand;
  p.path_out_freehand = p.parallel_out_freehand;
  return p;
}

struct Difference {
  long differing = 0;
  int largest = 0;
};

Difference compare(const std::vector<unsigned char> &a, const std::vector<unsigned char> &b) {
  Difference d;
  for (size_t i = 0; i < a.size(); ++i) {
    const int delta = std::abs(a[i] - b[i]);
    if (delta) ++d.differing;
    d.largest = std::max(d.largest, delta);
  }
  return d;
}

long covered(const std::vector<unsigned char> &a) {
  return std::count_if(a.begin(), a.end(), [](unsigned char v) { return v != 0; });
}

TEST(PathStraightSpine, GivesTheParallelBandsPicture) {
  struct Case {
    const char *name;
    void (*set)(EffectParams *);
  };
  const Case cases[] = {
      {"defaults", [](EffectParams *) {}},
      {"fan out, pitch out",
       [](EffectParams *p) {
         p->parallel_out_range = 2 * p->parallel_in_range;
         p->line_pitch_type = 1;
       }},
      {"fan out, pitch in",
       [](EffectParams *p) {
         p->parallel_out_range = 2 * p->parallel_in_range;
         p->line_pitch_type = 0;
       }},
      {"fan in, pitch in",
       [](EffectParams *p) {
         p->parallel_out_range = p->parallel_in_range / 3;
         p->line_pitch_type = 0;
       }},
      {"slanted band, tapers, margins, spreads",
       [](EffectParams *p) {
         p->parallel_in_x = 30;
         p->parallel_in_Y = 260;
         p->parallel_out_x = 370;
         p->parallel_out_Y = 40;
         p->parallel_in_range = 150;
         p->parallel_out_range = 90;
         p->line_width = 5;
         p->line_width_rand = 60;
         p->line_in_length = 40;
         p->line_out_margin = 20;
         p->line_out_margin_rand = 80;
         p->line_out_length = 60;
       }},
      {"upright band",
       [](EffectParams *p) {
         p->parallel_in_x = p->parallel_out_x = 200;
         p->parallel_in_Y = 280;
         p->parallel_out_Y = 20;
       }},
      {"waves and blocks",
       [](EffectParams *p) {
         p->line_wave_npoint = 8;
         p->line_wave_depth = 25;
         p->line_wave_depth_rand = 40;
         p->line_wave_type = 2;
         p->line_block_on_pitch = 60;
         p->line_block_off_pitch = 20;
         p->line_block_off_pitch_rand = 50;
       }},
      {"both outlines, band running right to left",
       [](EffectParams *p) {
         std::swap(p->parallel_in_x, p->parallel_out_x);
         p->parallel_in_freehand.active = 1;
         p->parallel_out_freehand.active = 1;
         for (int i = 0; i < FREEHAND_SAMPLES; ++i) {
           p->parallel_in_freehand.samples[i].factor = 0.6 + 0.4 * std::sin(i * 0.01);
           p->parallel_out_freehand.samples[i].factor = 0.9 - 0.3 * (i % 200) / 200.0;
         }
       }},
      {"no antialiasing, millimetres",
       [](EffectParams *p) {
         p->line_antialias = 0;
         p->area_unit = 2;  // 72 dpi: 1 mm = 2.835 pixels
         p->line_pitch = 2;
         p->line_width = 0.8;
         p->line_in_margin = 5;
         p->line_in_length = 10;
         p->line_wave_depth = 4;
         p->parallel_in_x = 0;
         p->parallel_in_Y = 50;
         p->parallel_out_x = 140;
         p->parallel_out_Y = 55;
         p->parallel_in_range = 60;
         p->parallel_out_range = 100;
       }},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    EffectParams parallel = defaults_for(W, H);
    parallel.area_type = AREA_PARALLEL;
    c.set(&parallel);
    const auto expected = coverage_bytes(parallel, W, H);
    ASSERT_GT(covered(expected), W * H / 50);
    // Points between the ends change nothing, also on a level spine, up to
    // as many as a spine holds.
    for (int n : {2, 3, PATH_SPINE_MAX}) {
      const auto actual = coverage_bytes(path_of_parallel(parallel, n), W, H);
      const Difference d = compare(expected, actual);
      EXPECT_LE(d.differing, static_cast<long>(expected.size()) / 1000) << n;
      EXPECT_LE(d.largest, 2) << n;
    }
  }
}

// A spine along a circular arc of radius R about (CX, CY), from angle a0 to a1.
constexpr double CX = 200, CY = 330, R = 220;
void arc_spine(EffectParams *p, double a0, double a1, int points) {
  p->path_spine_points_count = points;
  for (int i = 0; i < points; ++i) {
    const double a = a0 + (a1 - a0) * i / (points - 1);
    p->path_spine_points[i] = {CX + R * std::cos(a), CY + R * std::sin(a)};
  }
}

TEST(PathArcSpine, EveryLineKeepsItsDistanceFromTheCentre) {
  EffectParams p = defaults_for(W, H);
  p.area_type = AREA_PATH;
  arc_spine(&p, -2.6, -0.55, 240);
  p.path_in_range = p.path_out_range = 100;
  p.line_pitch = 20;
  p.line_pitch_rand = 0;
  p.line_pitch_type = 0;
  p.line_in_margin = p.line_in_length = 0;
  p.line_width = 2;
  const auto cov = coverage_bytes(p, W, H);
  // Lines at s = 0, 20, .. 100: 50, 30, 10 pixels either side of the spine.
  const double radii[] = {R - 50, R - 30, R - 10, R + 10, R + 30, R + 50};
  for (int y = 0; y < H; ++y) {
    for (int x = 0; x < W; ++x) {
      if (!cov[y * W + x]) continue;
      const double r = std::hypot(x + 0.5 - CX, y + 0.5 - CY);
      double nearest = 1e9;
      for (double radius : radii) nearest = std::min(nearest, std::fabs(r - radius));
      ASSERT_LE(nearest, 1.0 + 0.75) << x << "," << y << " at " << r;
    }
  }
  // Each line is there all along the arc, away from its ends.
  for (double radius : radii) {
    for (double a = -2.5; a <= -0.65; a += 0.05) {
      const int x = static_cast<int>(std::floor(CX + radius * std::cos(a)));
      const int y = static_cast<int>(std::floor(CY + radius * std::sin(a)));
      if (x < 0 || x >= W || y < 0 || y >= H) continue;
      int best = 0;
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) best = std::max<int>(best, cov[(y + dy) * W + x + dx]);
      EXPECT_GE(best, 128) << radius << " at " << a;
    }
  }
}

double distance_to_segment(double px, double py, PathPoint a, PathPoint b) {
  const double dx = b.x - a.x, dy = b.y - a.y;
  const double len2 = dx * dx + dy * dy;
  double t = len2 > 0 ? ((px - a.x) * dx + (py - a.y) * dy) / len2 : 0.0;
  t = std::clamp(t, 0.0, 1.0);
  return std::hypot(px - (a.x + t * dx), py - (a.y + t * dy));
}

bool segments_cross(PathPoint a, PathPoint b, PathPoint c, PathPoint d) {
  const auto side = [](PathPoint p, PathPoint q, PathPoint r) {
    return (q.x - p.x) * (r.y - p.y) - (q.y - p.y) * (r.x - p.x);
  };
  return side(a, b, c) * side(a, b, d) < 0 && side(c, d, a) * side(c, d, b) < 0;
}

// Spines with bends tighter than half the band's width.
struct TightSpine {
  const char *name;
  std::vector<PathPoint> points;
};

std::vector<TightSpine> tight_spines() {
  std::vector<TightSpine> spines;
  spines.push_back({"a V turning 150 degrees", {{40, 60}, {300, 150}, {60, 240}}});
  spines.push_back({"a zigzag", {{20, 150}, {90, 60}, {160, 240}, {230, 60}, {300, 240}, {380, 150}}});
  TightSpine hairpin{"a hairpin of radius 25", {}};
  for (int i = 0; i <= 20; ++i) hairpin.points.push_back({40.0 + 12 * i, 125});
  for (int i = 1; i < 30; ++i) {
    const double a = -G_PI / 2 + G_PI * i / 30;
    hairpin.points.push_back({280 + 25 * std::cos(a), 150 + 25 * std::sin(a)});
  }
  for (int i = 0; i <= 20; ++i) hairpin.points.push_back({280.0 - 12 * i, 175});
  spines.push_back(hairpin);
  TightSpine wave{"a tight wave", {}};
  for (int i = 0; i <= 120; ++i)
    wave.points.push_back({20 + 3.0 * i, 150 + 60 * std::sin(i * 0.15)});
  spines.push_back(wave);
  return spines;
}

TEST(PathTightBends, NoPixelLeavesTheBandAndNoLineFoldsBack) {
  for (const TightSpine &spine : tight_spines()) {
    SCOPED_TRACE(spine.name);
    EffectParams p = defaults_for(W, H);
    p.area_type = AREA_PATH;
    p.path_spine_points_count = static_cast<int>(spine.points.size());
    for (size_t i = 0; i < spine.points.size(); ++i)
      p.path_spine_points[i] = {spine.points[i].x, spine.points[i].y};
    p.path_in_range = 40;
    p.path_out_range = 140;
    p.line_pitch = 6;
    p.line_width = 4;
    p.line_width_rand = 50;
    const auto cov = coverage_bytes(p, W, H);
    ASSERT_GT(covered(cov), 1000);
    // The band's widest half, the line's half width and a pixel's diagonal.
    const double reach = 70 + 2 + 1.5;
    for (int y = 0; y < H; ++y) {
      for (int x = 0; x < W; ++x) {
        if (!cov[y * W + x]) continue;
        double d = 1e9;
        for (size_t i = 0; i + 1 < spine.points.size(); ++i)
          d = std::min(d, distance_to_segment(x + 0.5, y + 0.5, spine.points[i], spine.points[i + 1]));
        ASSERT_LE(d, reach) << x << "," << y;
      }
    }
    // Each line's centre: no part crosses another, no corner turns right back.
    const PathGeometry g = path_geometry_in_pixels(&p, image_resolution(p.image_id));
    for (double f = 0.0; f <= 1.0; f += 0.05) {
      const auto c = path_centre_line(g, f);
      ASSERT_GE(c.size(), 2u) << f;
      for (size_t i = 0; i + 1 < c.size(); ++i) {
        for (size_t k = i + 2; k + 1 < c.size(); ++k)
          ASSERT_FALSE(segments_cross(c[i], c[i + 1], c[k], c[k + 1])) << f << " " << i << " " << k;
        if (i + 2 < c.size()) {
          const double ax = c[i + 1].x - c[i].x, ay = c[i + 1].y - c[i].y;
          const double bx = c[i + 2].x - c[i + 1].x, by = c[i + 2].y - c[i + 1].y;
          const double cosine = (ax * bx + ay * by) / (std::hypot(ax, ay) * std::hypot(bx, by));
          ASSERT_GT(cosine, -0.98) << f << " at " << i;
        }
      }
    }
  }
}

TEST(PathGuards, UnusableSpinesAndWidthsDrawNothing) {
  const auto set_cases = std::vector<std::pair<const char *, void (*)(EffectParams *)>>{
      {"one point", [](EffectParams *p) { p->path_spine_points_count = 1; }},
      {"a count past the table", [](EffectParams *p) { p->path_spine_points_count = 1 << 30; }},
      {"a negative count", [](EffectParams *p) { p->path_spine_points_count = -5; }},
      {"all points the same",
       [](EffectParams *p) {
         for (int i = 0; i < p->path_spine_points_count; ++i) p->path_spine_points[i] = {5, 5};
       }},
      {"a point not a number", [](EffectParams *p) { p->path_spine_points[3].y = NAN; }},
      {"a point out of reach", [](EffectParams *p) { p->path_spine_points[0].x = 1e300; }},
      {"no in width", [](EffectParams *p) { p->path_in_range = 0; }},
      {"an infinite out width", [](EffectParams *p) { p->path_out_range = INFINITY; }},
  };
  for (const auto &c : set_cases) {
    SCOPED_TRACE(c.first);
    EffectParams p = defaults_for(W, H);
    p.area_type = AREA_PATH;
    c.second(&p);
    EXPECT_TRUE(capture(p).empty());
  }
}

}  // namespace
