// Layer output: converting the rendered coverage into the RGBA pixels GIMP
// receives (against a plain memcpy of as many bytes), and the memory the
// layer output holds at its peak (against the plain design of a full ARGB32
// surface plus a full RGBA buffer).
#include <glib.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench_fixture.h"
#include "bench_registry.h"
#include "benchmarks.h"
#include "heap_counter.h"
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
        render_pixels_plain(&params, kW, kH, LayerFormat::RGBA, &len);
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

// What the layer output does between rendering and GIMP: the coverage, one
// strip buffer reused for every strip, each strip handed on (here discarded).
void layer_output_strips(const EffectParams &params, int w, int h,
                         const std::function<void(const unsigned char *, int y0, int n)> &sink) {
  SurfaceRef coverage(render_coverage(&params, w, h));
  const int bpp = layer_format_bpp(LayerFormat::RGBA);
  std::vector<unsigned char> rows(static_cast<size_t>(w) * bpp * std::min(kStripRows, h));
  for (int y0 = 0; y0 < h; y0 += kStripRows) {
    const int n = std::min(kStripRows, h - y0);
    coverage_to_pixels(coverage, y0, n, LayerFormat::RGBA, params.line_color, rows.data());
    sink(rows.data(), y0, n);
  }
}

void layer_memory(benchmark::State &state) {
  const EffectParams params = bench_default_params(kW, kH, AREA_RADIATION);
  long long peak = 0;
  for (auto _ : state) {
    heap_count_begin();
    layer_output_strips(params, kW, kH, [](const unsigned char *rows, int, int) {
      unsigned char first = rows[0];
      benchmark::DoNotOptimize(first);
    });
    peak = heap_count_end();
  }
  const double per_px = static_cast<double>(peak) / (static_cast<double>(kW) * kH);
  state.counters["peak_MB"] = peak / 1e6;
  state.counters["bytes_per_px"] = per_px;
  target_report("layer_memory_bytes_per_px", per_px, 2.0,
                "peak heap of render_coverage + strip conversion (heap counter), " +
                    std::to_string(peak / 1000000) + " MB");

  // The pixels GIMP receives must be the plain design's, byte for byte.
  size_t len = 0;
  unsigned char *plain = render_pixels_plain(&params, kW, kH, LayerFormat::RGBA, &len);
  long long differ = 0;
  layer_output_strips(params, kW, kH, [&](const unsigned char *rows, int y0, int n) {
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

void layer_buffer(benchmark::State &state) {
  const EffectParams params = bench_default_params(kW, kH, AREA_RADIATION);
  SurfaceRef coverage(render_coverage(&params, kW, kH));
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
  benchmark::RegisterBenchmark("layer_memory_plain/radial/6000x4000", layer_memory_plain)
      ->Iterations(1)
      ->Unit(benchmark::kMillisecond);
}
