// Engine overhead: rendering the default effects through the engine against
// cairo alone filling the very same polygons, captured from the layer
// output's render once and replayed onto the same kind of surface.
#include <string>

#include <benchmark/benchmark.h>

#include "bench_fixture.h"
#include "bench_registry.h"
#include "benchmarks.h"
#include "fill_capture.h"
#include "paired_timer.h"
#include "render.h"
#include "layer_buffer.h"

namespace {

void engine_overhead(benchmark::State &state, int area_type, int w, int h) {
  const EffectParams params = bench_default_params(w, h, area_type);
  const std::string name = bench_case_name(area_type, w, h);

  // The layer output's own render, captured.
  FillCapture capture;
  fill_capture_begin(&capture);
  SurfaceRef rendered(render_coverage(&params, image_resolution(params.image_id), w, h));
  fill_capture_end();
  const cairo_format_t format = cairo_image_surface_get_format(rendered);
  {
    // Like must be compared with like: the replay has to paint exactly the
    // engine's pixels.
    SurfaceRef replayed(cairo_image_surface_create(format, w, h));
    {
      ContextRef cr(replayed);
      fill_replay(cr, capture);
    }
    const SurfaceDiff diff = surface_diff(rendered, replayed);
    check_report("replay equals render " + name,
                 diff.pixels == 0 && capture.unsupported == 0 && !capture.fills.empty(),
                 std::to_string(capture.fills.size()) + " fills, " +
                     std::to_string(diff.pixels) + " pixels differ, " +
                     std::to_string(capture.unsupported) + " non-solid sources");
  }

  // Both sides draw onto the same surface, cleared and faulted in before each
  // run, so that neither the allocation nor the first touch of its pages
  // (the same for both) dilutes the ratio.  render_coverage is exactly this
  // render on a new surface of this format.
  const Side engine{[&] { surface_clear(rendered); },
                    [&] {
                      ContextRef cr(rendered);
                      render_effect(cr, &params, image_resolution(params.image_id));
                      cairo_surface_flush(rendered);
                    }};
  const Side cairo_alone{[&] { surface_clear(rendered); },
                         [&] {
                           ContextRef cr(rendered);
                           fill_replay(cr, capture);
                           cairo_surface_flush(rendered);
                         }};
  const PairFigures f = time_pair(state, engine, cairo_alone);
  state.counters["fills"] = static_cast<double>(capture.fills.size());
  target_report("engine_overhead_" + name, f.ratio, 1.15,
                "engine / cairo replay: " + std::to_string(f.a_ms) + " ms / " +
                    std::to_string(f.b_ms) + " ms, " +
                    std::to_string(capture.fills.size()) + " fills" +
                    (format == CAIRO_FORMAT_A8 ? " (A8)" : " (ARGB32)"));
}

}  // namespace

void register_engine_benchmarks() {
  struct Case {
    int area_type, w, h, rounds;
  };
  const Case cases[] = {{AREA_RADIATION, 2000, 2000, 21},
                        {AREA_PARALLEL, 2000, 2000, 21},
                        {AREA_RADIATION, 6000, 4000, 9},
                        {AREA_PARALLEL, 6000, 4000, 9}};
  for (const Case &c : cases) {
    benchmark::RegisterBenchmark(
        ("engine_overhead/" + bench_case_name(c.area_type, c.w, c.h)).c_str(),
        [c](benchmark::State &state) { engine_overhead(state, c.area_type, c.w, c.h); })
        ->UseManualTime()
        ->Iterations(bench_rounds(c.rounds))
        ->Unit(benchmark::kMillisecond);
  }
}
