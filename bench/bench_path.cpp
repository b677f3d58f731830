// The Path band's speed: a Path whose spine runs straight from the in centre
// to the out centre of the default parallel band, in as many points as the
// default arc has, draws that band's very lines; it is timed against the
// parallel band itself.  Beside it, the cost of bent lines: the default arc
// drawn through the most points a spine can have, against the same parallel
// band (about as many lines of about the same length).
#include <cmath>
#include <string>

#include <benchmark/benchmark.h>

#include "bench_fixture.h"
#include "bench_registry.h"
#include "benchmarks.h"
#include "paired_timer.h"
#include "path_spine.h"
#include "render.h"

namespace {

constexpr int W = 2000, H = 2000;

// The parallel band's lines as a Path of `points` points, straight or along
// the default arc (a circle through its ends and middle).
void path_of_parallel(const EffectParams &parallel, int points, bool bent, EffectParams *path) {
  *path = parallel;
  path->area_type = AREA_PATH;
  path->path_in_range = parallel.parallel_in_range;
  path->path_out_range = parallel.parallel_out_range;
  path->path_spine_points_count = points;
  const SpinePoint a = path->path_spine_points[0];
  const SpinePoint m = path->path_spine_points[PATH_DEFAULT_SPINE_POINTS / 2];
  const double sag = a.y - m.y, half = (parallel.parallel_out_x - parallel.parallel_in_x) / 2.0;
  const double radius = (half * half + sag * sag) / (2.0 * sag);
  const double half_angle = std::asin(half / radius);
  for (int i = 0; i < points; ++i) {
    const double t = static_cast<double>(i) / (points - 1);
    if (bent) {
      const double angle = -half_angle + 2.0 * half_angle * t;
      path->path_spine_points[i] = {m.x + radius * std::sin(angle),
                                    m.y + radius * (1.0 - std::cos(angle))};
    } else {
      path->path_spine_points[i] = {
          parallel.parallel_in_x + t * (parallel.parallel_out_x - parallel.parallel_in_x),
          parallel.parallel_in_Y + t * (parallel.parallel_out_Y - parallel.parallel_in_Y)};
    }
  }
}

void render_onto(cairo_surface_t *surface, const EffectParams &params) {
  ContextRef cr(surface);
  render_effect(cr, &params, image_resolution(params.image_id));
  cairo_surface_flush(surface);
}

void path_render(benchmark::State &state, int points, bool bent) {
  static EffectParams parallel, path;  // large records: off the stack
  parallel = bench_default_params(W, H, AREA_PARALLEL);
  path_of_parallel(parallel, points, bent, &path);
  const std::string name =
      bent ? "path_render_arc_" + std::to_string(points) + "_points" : "path_render";

  SurfaceRef path_surface(cairo_image_surface_create(CAIRO_FORMAT_A8, W, H));
  SurfaceRef parallel_surface(cairo_image_surface_create(CAIRO_FORMAT_A8, W, H));
  render_onto(path_surface, path);
  render_onto(parallel_surface, parallel);
  if (!bent) {
    const SurfaceDiff diff = surface_diff(path_surface, parallel_surface);
    check_report(name + " draws the parallel lines",
                 diff.pixels <= static_cast<long long>(W) * H / 1000 && diff.max_byte <= 2,
                 std::to_string(diff.pixels) + " pixels differ, by at most " +
                     std::to_string(diff.max_byte));
  }

  const Side path_side{[&] { surface_clear(path_surface); },
                       [&] { render_onto(path_surface, path); }};
  const Side parallel_side{[&] { surface_clear(parallel_surface); },
                           [&] { render_onto(parallel_surface, parallel); }};
  const PairFigures f = time_pair(state, path_side, parallel_side);
  const double r = f.ratio / 2.0;
  const std::string note = "path / (2 x parallel): " + std::to_string(f.a_ms) + " ms / (2 x " +
                           std::to_string(f.b_ms) + " ms), spine of " +
                           std::to_string(points) + " points";
  if (bent)
    figure_report(name, r, note);
  else
    target_report(name, r, 1.0, note);
}

}  // namespace

void register_path_benchmarks() {
  struct Case {
    int points;
    bool bent;
  };
  for (const Case c : {Case{PATH_DEFAULT_SPINE_POINTS, false}, Case{PATH_SPINE_MAX, true}}) {
    benchmark::RegisterBenchmark(
        ((c.bent ? "path_render/arc_" : "path_render/straight_") + std::to_string(c.points) +
         "_points").c_str(),
        [c](benchmark::State &state) { path_render(state, c.points, c.bent); })
        ->UseManualTime()
        ->Iterations(bench_rounds(15))
        ->Unit(benchmark::kMillisecond);
  }
}
