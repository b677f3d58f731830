// Layer output: converting the rendered coverage into the RGBA pixels GIMP
// receives (against a plain memcpy of as many bytes), the memory the banded
// layer output holds at its peak (beside the previous whole-coverage design
// and the plain design of a full ARGB32 surface plus a full RGBA buffer), and
// its speed-up on all cores.
#include <glib.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <cstring>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench_fixture.h"
#include "bench_registry.h"
#include "benchmarks.h"
#include "heap_counter.h"
#include "layer_bands.h"
#include "layer_buffer.h"
#include "paired_timer.h"

namespace {

constexpr int kW = 6000, kH = 4000;
// The plug-in writes GIMP strips of this many rows (four rows of 64-pixel
// tiles).
constexpr int kStripRows = 256;

void layer_memory_plain(benchmark::State &state) {
  const EffectParams params = bench_default_params(kW, kH, AREA_RADIATION);
  long long peak = 0;
  for (auto _ : state) {
    heap_count_begin();
    size_t len = 0;
    unsigned char *pixels =
        render_pixels_plain(&params, image_resolution(params.image_id), kW, kH, LayerFormat::RGBA, &len);
    // The strip writes to GIMP are simulated: the strips are only read.
    benchmark::DoNotOptimize(pixels[0]);
    g_free(pixels);
    peak = heap_count_end();
  }
  const double per_px = static_cast<double>(peak) / (static_cast<double>(kW) * kH);
  state.counters["peak_MB"] = peak / 1e6;
  state.counters["bytes_per_px"] = per_px;
  figure_report("layer_memory_plain_design", per_px,
                "bytes per work-area pixel, ARGB32 surface + RGBA buffer (heap counter)");
}

// The previous design, for comparison: one coverage surface of the whole work
// area, converted into one reused strip buffer.
void whole_coverage_strips(const EffectParams &params, int w, int h,
                           const std::function<void(const unsigned char *, int y0, int n)> &sink) {
  SurfaceRef coverage(render_coverage(&params, image_resolution(params.image_id), w, h));
  const int bpp = layer_format_bpp(LayerFormat::RGBA);
  std::vector<unsigned char> rows(static_cast<size_t>(w) * bpp * std::min(kStripRows, h));
  for (int y0 = 0; y0 < h; y0 += kStripRows) {
    const int n = std::min(kStripRows, h - y0);
    coverage_to_pixels(coverage, y0, n, LayerFormat::RGBA, params.line_color, rows.data());
    sink(rows.data(), y0, n);
  }
}

// What the layer output does between the record and GIMP: the banded output,
// each band handed on (here discarded).
BandStatus layer_output(const EffectParams &params, int w, int h, int threads,
                        const std::function<void(const unsigned char *, int y0, int n)> &sink) {
  BandOptions options;
  options.threads = threads;
  return render_layer_bands(&params, image_resolution(params.image_id), w, h, LayerFormat::RGBA, params.line_color,
                            [&](int y0, int n, const unsigned char *rows) {
                              sink(rows, y0, n);
                              return true;
                            },
                            options);
}

long long layer_output_peak(const EffectParams &params, int w, int h) {
  heap_count_begin();
  layer_output(params, w, h, 0, [](const unsigned char *rows, int, int) {
    unsigned char first = rows[0];
    benchmark::DoNotOptimize(first);
  });
  return heap_count_end();
}

void layer_memory(benchmark::State &state) {
  const EffectParams params = bench_default_params(kW, kH, AREA_RADIATION);
  long long peak = 0, whole = 0;
  for (auto _ : state) {
    peak = layer_output_peak(params, kW, kH);
    heap_count_begin();
    whole_coverage_strips(params, kW, kH, [](const unsigned char *rows, int, int) {
      unsigned char first = rows[0];
      benchmark::DoNotOptimize(first);
    });
    whole = heap_count_end();
  }
  const double px = static_cast<double>(kW) * kH;
  state.counters["peak_MB"] = peak / 1e6;
  state.counters["bytes_per_px"] = peak / px;
  target_report("layer_memory_bytes_per_px", peak / px, 0.5,
                "peak heap of the banded layer output, " + std::to_string(layer_output_threads()) +
                    " threads (heap counter): " + std::to_string(peak / 1000) + " kB");
  figure_report("layer_memory_whole_coverage", whole / px,
                "the previous design (one coverage surface + strips), " +
                    std::to_string(whole / 1000000) + " MB");

  // The pixels GIMP receives must be the plain design's, byte for byte.
  size_t len = 0;
  unsigned char *plain = render_pixels_plain(&params, image_resolution(params.image_id), kW, kH, LayerFormat::RGBA, &len);
  long long differ = 0;
  layer_output(params, kW, kH, 0, [&](const unsigned char *rows, int y0, int n) {
    const size_t bytes = static_cast<size_t>(kW) * 4 * n;
    const unsigned char *ref = plain + static_cast<size_t>(y0) * kW * 4;
    if (std::memcmp(rows, ref, bytes) == 0) return;
    for (size_t i = 0; i < bytes; i += 4)
      if (std::memcmp(rows + i, ref + i, 4)) ++differ;
  });
  g_free(plain);
  check_report("layer pixels equal the plain design radial/6000x4000", differ == 0,
               std::to_string(differ) + " pixels differ");
}

// A poster: 40000 x 30000 must stay under 64 MB.
void layer_memory_poster(benchmark::State &state) {
  constexpr int w = 40000, h = 30000;
  const EffectParams params = bench_default_params(w, h, AREA_RADIATION);
  long long peak = 0;
  for (auto _ : state) peak = layer_output_peak(params, w, h);
  state.counters["peak_MB"] = peak / 1e6;
  target_report("layer_memory_40000x30000_MB", peak / 1e6, 64,
                "peak heap of the banded layer output of a 40000 x 30000 work area, MB");
}

double cpu_seconds(clockid_t clock) {
  timespec ts;
  clock_gettime(clock, &ts);
  return static_cast<double>(ts.tv_sec) + ts.tv_nsec * 1e-9;
}

double wall_seconds(const std::function<void()> &fn) {
  const auto t0 = std::chrono::steady_clock::now();
  fn();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// The whole layer output (render + conversion, writes discarded) on one
// thread against all cores, as wall-clock time, the two interleaved round
// by round.
void layer_output_speedup(benchmark::State &state, bool dense) {
  EffectParams params = bench_default_params(kW, kH, AREA_RADIATION);
  if (dense) {
    params.line_pitch = 1;
    params.line_pitch_rand = 50;
  }
  const int cores = layer_output_threads();
  auto run = [&](int threads) {
    return wall_seconds([&] {
      layer_output(params, kW, kH, threads, [](const unsigned char *rows, int, int) {
        unsigned char first = rows[0];
    benchmark::DoNotOptimize(first);
      });
    });
  };
  // What free cores would give, from CPU time (which other processes on a
  // busy machine do not disturb): the one-thread run's CPU time over the
  // calling thread's share (the line sequence, the hand-over) plus the
  // workers' share spread over the cores.
  auto bound = [&] {
    const double p0 = cpu_seconds(CLOCK_PROCESS_CPUTIME_ID), c0 = cpu_seconds(CLOCK_THREAD_CPUTIME_ID);
    run(cores);
    const double caller = cpu_seconds(CLOCK_THREAD_CPUTIME_ID) - c0;
    const double workers = cpu_seconds(CLOCK_PROCESS_CPUTIME_ID) - p0 - caller;
    const double c1 = cpu_seconds(CLOCK_THREAD_CPUTIME_ID);
    run(1);
    const double single = cpu_seconds(CLOCK_THREAD_CPUTIME_ID) - c1;
    return single / (caller + workers / cores);
  };
  std::vector<double> one, all, ratios, bounds;
  for (auto _ : state) {
    double a, b;
    if (one.size() % 2 == 0) {
      a = run(1);
      b = run(cores);
    } else {
      b = run(cores);
      a = run(1);
    }
    bounds.push_back(bound());
    one.push_back(a);
    all.push_back(b);
    ratios.push_back(b > 0 ? a / b : 0);
    state.SetIterationTime(a + b);
  }
  const double ratio = median(ratios);
  state.counters["one_ms"] = median(one) * 1e3;
  state.counters["all_ms"] = median(all) * 1e3;
  state.counters["ratio"] = ratio;
  figure_report(dense ? "layer_output_speedup_dense_cpu" : "layer_output_speedup_cpu",
                median(bounds),
                "the speed-up free cores would give, from CPU time (caller + workers / cores)");
  target_report_at_least(
      dense ? "layer_output_speedup_dense" : "layer_output_speedup", ratio, 0.8 * cores,
      std::string(dense ? "pitch 1, 50 % spread; " : "") + "wall clock, 1 thread / " +
          std::to_string(cores) + " threads: " + std::to_string(median(one) * 1e3) + " ms / " +
          std::to_string(median(all) * 1e3) + " ms");
}

void layer_buffer(benchmark::State &state) {
  const EffectParams params = bench_default_params(kW, kH, AREA_RADIATION);
  SurfaceRef coverage(render_coverage(&params, image_resolution(params.image_id), kW, kH));
  const int bpp = layer_format_bpp(LayerFormat::RGBA);
  const size_t out_bytes = static_cast<size_t>(kW) * kH * bpp;
  std::vector<unsigned char> rows(static_cast<size_t>(kW) * bpp * kStripRows, 0);
  // memcpy's source, faulted in up front: the same number of bytes as the
  // output, copied into the same strip buffer the conversion writes.
  std::vector<unsigned char> src(out_bytes, 1);
  const size_t strip_bytes = static_cast<size_t>(kW) * bpp * kStripRows;

  const Side convert{nullptr, [&] {
                       for (int y0 = 0; y0 < kH; y0 += kStripRows) {
                         const int n = std::min(kStripRows, kH - y0);
                         coverage_to_pixels(coverage, y0, n, LayerFormat::RGBA,
                                            params.line_color, rows.data());
                         benchmark::ClobberMemory();
                       }
                     }};
  const Side copy{nullptr, [&] {
                    for (size_t done = 0; done < out_bytes; done += strip_bytes) {
                      std::memcpy(rows.data(), src.data() + done,
                                  std::min(strip_bytes, out_bytes - done));
                      benchmark::ClobberMemory();
                    }
                  }};
  const PairFigures f = time_pair(state, convert, copy);
  target_report("layer_buffer", f.ratio, 1.5,
                "coverage_to_pixels over all strips / memcpy of as many bytes into the same strips, " +
                    std::to_string(out_bytes / 1000000) + " MB: " + std::to_string(f.a_ms) +
                    " ms / " + std::to_string(f.b_ms) + " ms");
}

}  // namespace

void register_layer_benchmarks() {
  benchmark::RegisterBenchmark("layer_buffer/radial/6000x4000", layer_buffer)
      ->UseManualTime()
      ->Iterations(bench_rounds(21))
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("layer_memory/radial/6000x4000", layer_memory)
      ->Iterations(1)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("layer_memory_poster/radial/40000x30000", layer_memory_poster)
      ->Iterations(1)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("layer_output_speedup/radial/6000x4000", layer_output_speedup,
                               false)
      ->UseManualTime()
      ->Iterations(bench_rounds(9))
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("layer_output_speedup/dense/6000x4000", layer_output_speedup,
                               true)
      ->UseManualTime()
      ->Iterations(bench_rounds(5))
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("layer_memory_plain/radial/6000x4000", layer_memory_plain)
      ->Iterations(1)
      ->Unit(benchmark::kMillisecond);
}
