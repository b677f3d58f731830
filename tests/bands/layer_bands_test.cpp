// The banded layer output against one render of the whole work area (the
// coverage of a single surface, converted in one go): the same bytes for the
// golden settings, the settings corpus and random settings, at many band
// heights, thread counts, tile widths and capture budgets; work areas wider
// and taller than an image surface against renders stitched from surfaces
// with other boundaries; the order, the failure and the thread knobs.
//
// These tests also run under ThreadSanitizer (scripts/test builds them alone
// for it), so every case that uses threads keeps its work area small.
#include <glib.h>
#include <gtest/gtest.h>
#include <malloc.h>
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "cairo_ptr.h"
#include "effect_params.h"
#include "image_services.h"
#include "layer_bands.h"
#include "layer_buffer.h"
#include "render.h"
#include "settings_text.h"

namespace {

EffectParams defaults_for(int w, int h) {
  FixedImage image;
  image.width = w;
  image.height = h;
  image_services_install_fixed(image);
  EffectParams p{};
  effect_params_init_run_fields(&p, 1, 2);
  effect_params_set_defaults(&p);
  return p;
}

// Today's design: one A8 surface of the whole work area, converted at once.
std::vector<unsigned char> whole_render(const EffectParams &p, int w, int h,
                                        LayerFormat format) {
  SurfacePtr coverage(render_coverage(&p, image_resolution(p.image_id), w, h));
  EXPECT_NE(coverage, nullptr);
  std::vector<unsigned char> out(static_cast<size_t>(w) * h * layer_format_bpp(format));
  if (coverage) coverage_to_pixels(coverage.get(), 0, h, format, p.line_color, out.data());
  return out;
}

struct Banded {
  BandStatus status;
  std::vector<unsigned char> pixels;
  int calls = 0;
  bool in_order = true;
};

Banded banded(const EffectParams &p, int w, int h, LayerFormat format, const BandOptions &o,
              int stop_after = -1) {
  Banded r;
  const size_t row_bytes = static_cast<size_t>(w) * layer_format_bpp(format);
  int next_row = 0;
  r.status = render_layer_bands(
      &p, image_resolution(p.image_id), w, h, format, p.line_color,
      [&](int y0, int rows, const unsigned char *px) {
        r.in_order = r.in_order && y0 == next_row && rows > 0;
        next_row = y0 + rows;
        ++r.calls;
        r.pixels.insert(r.pixels.end(), px, px + rows * row_bytes);
        return r.calls != stop_after;
      },
      o);
  return r;
}

// How far a banded layer is from the whole render.  The bands must give the
// whole render's bytes exactly: cairo limits an edge that crosses a band's
// top or bottom without moving it, so a band sees the very edges one surface
// of the whole work area sees.  (Only the sides of a surface cut edges; see
// the work areas wider than a surface below.)
struct Distance {
  long long bytes = 0;
  int largest = 0;
  std::string first = "none";
};

Distance distance(const std::vector<unsigned char> &a, const std::vector<unsigned char> &b,
                  size_t row_bytes) {
  Distance d;
  if (a.size() != b.size()) {
    d.bytes = 1LL << 40;
    d.largest = 256;
    d.first = "sizes " + std::to_string(a.size()) + " and " + std::to_string(b.size());
    return d;
  }
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i] == b[i]) continue;
    if (d.bytes++ == 0)
      d.first = "first at row " + std::to_string(i / row_bytes) + ", byte " +
                std::to_string(i % row_bytes) + ": " + std::to_string(a[i]) + " vs " +
                std::to_string(b[i]);
    d.largest = std::max(d.largest, std::abs(a[i] - b[i]));
  }
  return d;
}

void expect_same_bytes(const Distance &d, const std::string &what) {
  EXPECT_EQ(d.bytes, 0) << what << ": " << d.first << ", largest difference " << d.largest;
}

void expect_same_as_whole(const EffectParams &p, int w, int h, const std::string &what) {
  for (LayerFormat format : {LayerFormat::RGBA, LayerFormat::GRAYA}) {
    const auto reference = whole_render(p, w, h, format);
    const size_t row_bytes = static_cast<size_t>(w) * layer_format_bpp(format);
    struct Knobs {
      int rows, threads, tile;
      size_t capture;
    };
    // 1-row bands, odd heights, the default height, one band; one to three
    // threads; narrow tiles, down to one column; capture budgets that cut the passes short or
    // leave every band to the line sequence.
    const Knobs knobs[] = {{1, 2, 0, 0},  {7, 3, 0, 0},   {0, 1, 0, 0},   {64, 2, 0, 0},
                           {h, 2, 0, 0},  {13, 2, 37, 0}, {5, 1, w / 2 + 1, 0},
                           {9, 2, 0, 2000}, {16, 3, 0, 1}, {h, 2, 1, 0}};
    for (const Knobs &k : knobs) {
      BandOptions o;
      o.band_rows = k.rows;
      o.threads = k.threads;
      o.tile_width = k.tile;
      o.capture_bytes = k.capture;
      const Banded b = banded(p, w, h, format, o);
      EXPECT_EQ(b.status, BandStatus::Done);
      EXPECT_TRUE(b.in_order);
      std::ostringstream label;
      label << what << ", bpp " << layer_format_bpp(format) << ", rows " << k.rows
            << ", threads " << k.threads << ", tile " << k.tile << ", capture " << k.capture;
      expect_same_bytes(distance(b.pixels, reference, row_bytes), label.str());
    }
  }
}

bool load_settings(EffectParams *p, const std::string &path) {
  GKeyFile *kf = g_key_file_new();
  const bool ok = g_key_file_load_from_file(kf, path.c_str(), G_KEY_FILE_KEEP_COMMENTS, nullptr);
  if (ok) {
    const EffectParams parsed = settings_parse_key_file(kf);
    settings_apply_parsed(p, &parsed);
  }
  g_key_file_unref(kf);
  return ok;
}

std::vector<std::string> files_in(const std::string &dir, const char *suffix) {
  std::vector<std::string> paths;
  GDir *d = g_dir_open(dir.c_str(), 0, nullptr);
  if (!d) return paths;
  while (const char *name = g_dir_read_name(d))
    if (g_str_has_suffix(name, suffix)) paths.push_back(dir + "/" + name);
  g_dir_close(d);
  std::sort(paths.begin(), paths.end());
  return paths;
}

TEST(LayerBands, GoldenSettingsGiveTheWholeRendersBytes) {
  const std::string dir = std::string(ZIPSTROKE_TEST_DATA) + "/golden";
  const auto files = files_in(dir, ".settings");
  ASSERT_GE(files.size(), 4u);
  for (const auto &path : files) {
    EffectParams p = defaults_for(160, 120);
    ASSERT_TRUE(load_settings(&p, path)) << path;
    expect_same_as_whole(p, 160, 120, path);
  }
}

TEST(LayerBands, SettingsCorpusGivesTheWholeRendersBytes) {
  const std::string dir = std::string(ZIPSTROKE_TEST_DATA) + "/settings";
  int loaded = 0;
  for (const char *group : {"/good", "/broken"}) {
    for (const auto &path : files_in(dir + group, "")) {
      EffectParams p = defaults_for(96, 72);
      if (!load_settings(&p, path)) continue;
      ++loaded;
      for (int area : {AREA_RADIATION, AREA_PARALLEL}) {
        p.area_type = area;
        expect_same_as_whole(p, 96, 72, path + " area " + std::to_string(area));
      }
    }
  }
  EXPECT_GE(loaded, 20);
}

// Settings drawn at random over the ranges a user reaches and beyond: any
// centre (also off the work area), radii, widths up to very wide lines,
// spreads, blocks, waves, margins, antialiasing and translucent colours.
EffectParams random_settings(GRand *r, int w, int h) {
  EffectParams p = defaults_for(w, h);
  p.area_type = g_rand_int_range(r, 0, 3);
  p.line_antialias = g_rand_int_range(r, 0, 3);
  p.line_color = {g_rand_double(r), g_rand_double(r), g_rand_double(r),
                  g_rand_boolean(r) ? 1.0 : g_rand_double_range(r, 0.05, 1.0)};
  p.line_pitch = g_rand_double_range(r, 0.5, 20);
  p.line_pitch_rand = g_rand_double_range(r, 0, 100);
  p.line_pitch_rand_seed = g_rand_int(r);
  p.line_width = g_rand_double_range(r, 0.5, g_rand_boolean(r) ? 4 : 40);
  p.line_width_rand = g_rand_double_range(r, 0, 100);
  p.line_width_rand_seed = g_rand_int(r);
  if (g_rand_boolean(r)) {
    p.line_block_on_pitch = g_rand_double_range(r, 1, 60);
    p.line_block_off_pitch = g_rand_double_range(r, 1, 60);
    p.line_block_on_pitch_rand = g_rand_double_range(r, 0, 100);
  }
  if (g_rand_boolean(r)) {
    p.line_wave_npoint = g_rand_int_range(r, 2, 20);
    p.line_wave_depth = g_rand_double_range(r, 1, 40);
    p.line_wave_type = g_rand_int_range(r, 0, 10);
  }
  p.line_in_margin = g_rand_double_range(r, 0, 20);
  p.line_in_length = g_rand_double_range(r, 0, 60);
  p.line_out_length = g_rand_double_range(r, 0, 60);
  p.line_in_length_rand = g_rand_double_range(r, 0, 100);
  p.radiation_x = g_rand_double_range(r, -w / 2.0, 1.5 * w);
  p.radiation_y = g_rand_double_range(r, -h / 2.0, 1.5 * h);
  p.radiation_in_radius = g_rand_double_range(r, 0, h);
  p.radiation_out_radius = p.radiation_in_radius + g_rand_double_range(r, 1, 2.0 * h);
  p.radiation_oblateness = g_rand_boolean(r) ? 0.0 : g_rand_double_range(r, -0.9, 0.9);
  p.parallel_in_x = g_rand_double_range(r, -w / 2.0, 1.5 * w);
  p.parallel_in_Y = g_rand_double_range(r, -h / 2.0, 1.5 * h);
  p.parallel_out_x = g_rand_double_range(r, -w / 2.0, 1.5 * w);
  p.parallel_out_Y = g_rand_double_range(r, -h / 2.0, 1.5 * h);
  p.parallel_in_range = g_rand_double_range(r, 1, 2.0 * w);
  p.parallel_out_range = g_rand_double_range(r, 1, 2.0 * w);
  // A spine of a few points, tight bends and all, so that lines have many.
  p.path_spine_points_count = g_rand_int_range(r, 2, 12);
  for (int i = 0; i < p.path_spine_points_count; ++i)
    p.path_spine_points[i] = {g_rand_double_range(r, -w / 2.0, 1.5 * w),
                              g_rand_double_range(r, -h / 2.0, 1.5 * h)};
  p.path_in_range = g_rand_double_range(r, 1, 1.0 * w);
  p.path_out_range = g_rand_double_range(r, 1, 1.0 * w);
  return p;
}

TEST(LayerBands, RandomSettingsGiveTheWholeRendersBytes) {
  GRand *r = g_rand_new_with_seed(20261208);
  for (int i = 0; i < 40; ++i) {
    const int w = g_rand_int_range(r, 1, 140), h = g_rand_int_range(r, 1, 110);
    const EffectParams p = random_settings(r, w, h);
    expect_same_as_whole(p, w, h, "random settings " + std::to_string(i) + " at " +
                                      std::to_string(w) + "x" + std::to_string(h));
  }
  g_rand_free(r);
}

// The alpha of a w x h work area rendered by the engine straight from the
// line sequence onto surfaces of `piece` columns (wide) or rows (tall), each
// placed by its device offset, and stitched.
std::vector<unsigned char> stitched_alpha(const EffectParams &p, int w, int h, int piece,
                                          bool columns) {
  std::vector<unsigned char> alpha(static_cast<size_t>(w) * h);
  const int length = columns ? w : h;
  for (int start = 0; start < length; start += piece) {
    const int keep = std::min(piece, length - start);
    SurfacePtr s(cairo_image_surface_create(CAIRO_FORMAT_A8, columns ? keep : w,
                                            columns ? h : keep));
    cairo_surface_set_device_offset(s.get(), columns ? -start : 0, columns ? 0 : -start);
    CairoPtr cr(cairo_create(s.get()));
    render_effect(cr.get(), &p, image_resolution(p.image_id));
    EXPECT_EQ(cairo_status(cr.get()), CAIRO_STATUS_SUCCESS);
    cr.reset();
    cairo_surface_flush(s.get());
    const unsigned char *data = cairo_image_surface_get_data(s.get());
    const int stride = cairo_image_surface_get_stride(s.get());
    for (int i = 0; i < keep; ++i)
      for (int j = 0; j < (columns ? h : w); ++j) {
        const int x = columns ? start + i : j, y = columns ? j : start + i;
        const int sx = columns ? i : j, sy = columns ? j : i;
        alpha[static_cast<size_t>(y) * w + x] = data[static_cast<size_t>(sy) * stride + sx];
      }
  }
  return alpha;
}

void expect_beyond_surface_limit(int w, int h, bool columns) {
  EffectParams p = defaults_for(w, h);
  // Parallel lines along the long side from one end to the other, fanning
  // out so that they cross the band and surface boundaries at a slant.
  p.area_type = AREA_PARALLEL;
  p.line_width = 4;
  p.line_width_rand = 50;
  p.line_pitch = 5;
  p.line_in_margin = p.line_out_margin = 0;
  p.line_in_length = p.line_out_length = 300;
  const int across = columns ? h : w, along = columns ? w : h;
  p.parallel_in_range = across * 0.6;
  p.parallel_out_range = across * 1.8;
  (columns ? p.parallel_in_x : p.parallel_in_Y) = 0;
  (columns ? p.parallel_out_x : p.parallel_out_Y) = along;
  (columns ? p.parallel_in_Y : p.parallel_in_x) = across / 2.0;
  (columns ? p.parallel_out_Y : p.parallel_out_x) = across / 2.0;
  ASSERT_EQ(render_coverage(&p, image_resolution(p.image_id), w, h), nullptr) << "beyond what one image surface holds";
  BandOptions o;
  o.threads = 2;
  const Banded b = banded(p, w, h, LayerFormat::GRAYA, o);
  ASSERT_EQ(b.status, BandStatus::Done);
  EXPECT_TRUE(b.in_order);
  ASSERT_EQ(b.pixels.size(), static_cast<size_t>(w) * h * 2);
  std::vector<unsigned char> alpha(b.pixels.size() / 2);
  for (size_t i = 0; i < alpha.size(); ++i) alpha[i] = b.pixels[2 * i + 1];
  const auto reference = stitched_alpha(p, w, h, 10000, columns);
  const Distance d = distance(alpha, reference, w);
  const std::string what = std::to_string(w) + "x" + std::to_string(h);
  if (!columns) {
    expect_same_bytes(d, what);
  } else {
    // Surfaces side by side: cairo cuts every edge that leaves a surface at
    // its side, and the cut edge comes out a hair steeper or flatter all
    // along (not only near the cut: with 3000 columns drawn beyond each
    // side of the reference's pieces as many pixels still differ, up to 32
    // levels), so no overlap makes two ways of cutting agree.  The
    // antialiased edge pixels of such lines differ; a tile in the wrong
    // place, a lost or doubled line, a wrong offset differ by whole lines.
    EXPECT_LE(d.largest, 64) << what << ": " << d.first;
    EXPECT_LE(d.bytes, static_cast<long long>(reference.size() / 20)) << what;
    for (int x0 = 0; x0 < w; x0 += 1000) {
      long long ink = 0, ref_ink = 0;
      for (int y = 0; y < h; ++y)
        for (int x = x0; x < std::min(w, x0 + 1000); ++x) {
          ink += alpha[static_cast<size_t>(y) * w + x];
          ref_ink += reference[static_cast<size_t>(y) * w + x];
        }
      EXPECT_NEAR(ink, ref_ink, ref_ink / 200 + 255) << what << ", columns from " << x0;
    }
  }
  const auto covered = std::count_if(reference.begin(), reference.end(),
                                     [](unsigned char a) { return a != 0; });
  EXPECT_GT(covered, static_cast<long>(reference.size() / 5)) << "lines must be drawn";
}

TEST(LayerBands, WiderThanAnImageSurfaceMatchesAStitchedRender) {
  expect_beyond_surface_limit(40000, 200, true);
}

TEST(LayerBands, TallerThanAnImageSurfaceMatchesAStitchedRender) {
  expect_beyond_surface_limit(200, 40000, false);
}

// A work area just narrower than the widest surface is one surface wide in
// every band, never tiles: tiles would cut the edges at their sides.
TEST(LayerBands, TheWidestSingleSurfaceIsNotCutIntoTiles) {
  const int w = 32767, h = 40;
  EffectParams p = defaults_for(w, h);
  p.area_type = AREA_PARALLEL;
  p.line_width = 3;
  p.line_pitch = 4;
  p.parallel_in_x = 0;
  p.parallel_out_x = w;
  p.parallel_in_Y = p.parallel_out_Y = h / 2.0;
  p.parallel_in_range = h * 0.5;
  p.parallel_out_range = h * 3.0;
  const auto reference = whole_render(p, w, h, LayerFormat::GRAYA);
  BandOptions o;
  o.band_rows = 16;
  o.threads = 2;
  const Banded b = banded(p, w, h, LayerFormat::GRAYA, o);
  ASSERT_EQ(b.status, BandStatus::Done);
  expect_same_bytes(distance(b.pixels, reference, static_cast<size_t>(w) * 2), "32767 wide");
  const auto covered = std::count_if(reference.begin(), reference.end(),
                                     [](unsigned char a) { return a != 0; });
  EXPECT_GT(covered, static_cast<long>(reference.size() / 20)) << "lines must be drawn";
}

// The tip of a long, thin line just below a band's top edge: cairo starts
// the two edges that cross a surface's top afresh there, and a tip that
// narrow came out fully covered in the band's first row (255 where one
// surface gives 1) until the bands drew a few rows above themselves.
TEST(LayerBands, ThinTipsJustBelowABandEdgeStayThin) {
  EffectParams p = defaults_for(200, 40000);  // an ellipse 40000 pixels tall
  p.line_width = 6;
  p.line_pitch = 4;
  p.radiation_oblateness = 0.8;
  const int w = 200, h = 5632;  // its top part, which one surface holds
  const auto reference = whole_render(p, w, h, LayerFormat::GRAYA);
  BandOptions o;
  o.band_rows = 256;  // a band begins at row 5376, a line's tip ends at 5377.36
  o.threads = 2;
  const Banded b = banded(p, w, h, LayerFormat::GRAYA, o);
  ASSERT_EQ(b.status, BandStatus::Done);
  expect_same_bytes(distance(b.pixels, reference, static_cast<size_t>(w) * 2), "thin tips");
}

TEST(LayerBands, FalseFromTheSinkStopsTheOutputAtOnce) {
  const EffectParams p = defaults_for(120, 90);
  for (int threads : {1, 3}) {
    BandOptions o;
    o.band_rows = 10;
    o.threads = threads;
    const Banded b = banded(p, 120, 90, LayerFormat::RGBA, o, 3);
    EXPECT_EQ(b.status, BandStatus::Stopped);
    EXPECT_EQ(b.calls, 3) << "no band after the sink said stop";
  }
}

// An allocator that gives `budget` buffers and then fails, and counts what
// it gave.
struct AllocationLog {
  int budget = -1;  // -1: no limit
  int calls = 0;
  size_t bytes = 0;
  size_t largest = 0;
};
AllocationLog allocation_log;

void *logged_allocate(size_t bytes) {
  AllocationLog &log = allocation_log;
  if (log.budget >= 0 && log.calls >= log.budget) return nullptr;
  ++log.calls;
  log.bytes += bytes;
  log.largest = std::max(log.largest, bytes);
  return g_try_malloc(bytes);
}

// Every buffer the output needs is had before the first band is drawn: a
// failure of any of them ends the output with NoMemory, and no band, not
// even a first one, reaches the sink (the host then has nothing to undo
// but the empty layer).  LeakSanitizer checks that the buffers had before
// the failure are released.
TEST(LayerBands, AnyBufferThatCannotBeHadEndsTheOutputBeforeTheFirstBand) {
  const EffectParams p = defaults_for(120, 90);
  for (int threads : {1, 3}) {
    BandOptions o;
    o.band_rows = 10;
    o.threads = threads;
    o.allocate = logged_allocate;
    allocation_log = {};
    const Banded whole = banded(p, 120, 90, LayerFormat::RGBA, o);
    ASSERT_EQ(whole.status, BandStatus::Done);
    const int needed = allocation_log.calls;
    ASSERT_GE(needed, 2) << "band pixels and coverage";
    for (int budget = 0; budget < needed; ++budget) {
      allocation_log = {};
      allocation_log.budget = budget;
      const Banded b = banded(p, 120, 90, LayerFormat::RGBA, o);
      EXPECT_EQ(b.status, BandStatus::NoMemory) << threads << " threads, budget " << budget;
      EXPECT_EQ(b.calls, 0) << threads << " threads, budget " << budget;
    }
  }
}

// What the output allocates follows the band and the threads, not the
// height: a work area ten times taller asks for the same buffers.
TEST(LayerBands, BuffersDoNotGrowWithTheWorkArea) {
  for (int threads : {1, 2}) {
    size_t bytes[2];
    int i = 0;
    for (int h : {600, 6000}) {
      const EffectParams p = defaults_for(400, h);
      BandOptions o;
      o.threads = threads;
      o.allocate = logged_allocate;
      allocation_log = {};
      const BandStatus status = render_layer_bands(
          &p, image_resolution(p.image_id), 400, h, LayerFormat::RGBA, p.line_color,
          [](int, int, const unsigned char *) { return true; }, o);
      ASSERT_EQ(status, BandStatus::Done);
      bytes[i++] = allocation_log.bytes;
    }
    EXPECT_EQ(bytes[0], bytes[1]) << threads << " threads";
    // Two bands of pixels per thread (one for a single thread) and a band of
    // coverage (with the rows drawn above it) per thread.
    const size_t band = 400 * 4 * static_cast<size_t>(layer_band_rows(400));
    EXPECT_LE(bytes[1], (threads > 1 ? 2 * threads : 1) * band + threads * band)
        << threads << " threads";
  }
}

// The heap in use, in bytes.
size_t heap_in_use() {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  return __sanitizer_get_current_allocated_bytes();
#else
  const struct mallinfo2 m = mallinfo2();
  return m.uordblks + m.hblkhd;
#endif
}

// A pass holds the polygons its budget allows, counting the points of bent
// lines beside them, not more: the heap grows by the band buffers and about
// the budget, however many lines there are.
TEST(LayerBands, APassHoldsNoMorePolygonsThanItsBudget) {
  EffectParams p = defaults_for(1000, 200);
  p.area_type = AREA_PATH;
  p.line_pitch = 0.5;
  BandOptions o;
  o.threads = 1;
  o.band_rows = 8;
  o.capture_bytes = 64 * 1024;
  o.allocate = logged_allocate;
  allocation_log = {};
  const size_t before = heap_in_use();
  size_t most = 0;
  const BandStatus status = render_layer_bands(
      &p, image_resolution(p.image_id), 1000, 200, LayerFormat::GRAYA, p.line_color,
      [&](int, int, const unsigned char *) {
        most = std::max(most, heap_in_use() - before);
        return true;
      }, o);
  ASSERT_EQ(status, BandStatus::Done);
  EXPECT_LE(most, allocation_log.bytes + 2 * o.capture_bytes);
}

TEST(LayerBands, AnEmptyWorkAreaDrawsNothing) {
  const EffectParams p = defaults_for(120, 90);
  for (auto size : {std::pair{0, 90}, std::pair{120, 0}, std::pair{-5, 10}}) {
    const Banded b = banded(p, size.first, size.second, LayerFormat::RGBA, {});
    EXPECT_EQ(b.status, BandStatus::BadSize);
    EXPECT_EQ(b.calls, 0);
  }
}

TEST(LayerBands, ThreadsFollowTheMachineUnlessTheEnvironmentSaysOtherwise) {
  const int processors = static_cast<int>(g_get_num_processors());
  const char *saved = g_getenv("ZIPSTROKE_THREADS");
  const std::string keep = saved ? saved : "";
  g_setenv("ZIPSTROKE_THREADS", "1", TRUE);
  EXPECT_EQ(layer_output_threads(), 1);
  g_setenv("ZIPSTROKE_THREADS", "3", TRUE);
  EXPECT_EQ(layer_output_threads(), 3);
  for (const char *bad : {"0", "-2", "two", "", "4x"}) {
    g_setenv("ZIPSTROKE_THREADS", bad, TRUE);
    EXPECT_EQ(layer_output_threads(), std::min(processors, 64)) << bad;
  }
  g_unsetenv("ZIPSTROKE_THREADS");
  EXPECT_EQ(layer_output_threads(), std::min(processors, 64));
  if (saved) g_setenv("ZIPSTROKE_THREADS", keep.c_str(), TRUE);
}

TEST(LayerBands, BandHeightKeepsABandNearAFixedNumberOfPixels) {
  EXPECT_EQ(layer_band_rows(6000), 64);    // one row of GIMP's tiles
  EXPECT_EQ(layer_band_rows(3000), 128);   // a multiple of 64 rows...
  EXPECT_EQ(layer_band_rows(4000), 64);
  EXPECT_EQ(layer_band_rows(40000), 9);    // ...when 64 rows would be too many
  EXPECT_EQ(layer_band_rows(524288), 1);
  EXPECT_EQ(layer_band_rows(10), 256);
  // A width of nothing (never asked by the output, which refuses it) still
  // gets a usable band instead of a division by zero.
  EXPECT_EQ(layer_band_rows(0), 1);
  EXPECT_EQ(layer_band_rows(-3), 1);
}

}  // namespace
