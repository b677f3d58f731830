#include "layer_bands.h"

#include <cairo.h>
#include <glib.h>

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "cairo_ptr.h"
#include "render.h"
#include "stroke_context.h"

namespace {

// cairo's image surfaces are at most this many pixels a side.
constexpr int MAX_SURFACE_SIDE = 32767;
constexpr long BAND_PIXELS = 6000L * 64;
constexpr int MAX_BAND_ROWS = 256;
constexpr int TILE_ROWS = 64;
constexpr int MAX_THREADS = 64;
constexpr size_t CAPTURE_BYTES = size_t{4} << 20;
// A polygon this far outside a band's rows changes none of its pixels.
constexpr double BAND_MARGIN = 2.0;
// Rows drawn above each band and dropped.  cairo's antialiasing rasterizer
// starts the edges that cross a surface's top edge afresh there, and where
// two such edges nearly meet (the tip of a long thin line) the first row or
// two can come out fully covered; the rows the band keeps lie below that.
constexpr int BAND_OVERLAP = 4;
// Columns drawn on either side of a tile (work areas wider than a surface)
// and dropped: where cairo cuts an edge at a surface's side it rounds the
// cut, which shows most in the columns next to the side.  (The cut edge is
// also a hair steeper or flatter all along, so tiles are not byte-exact
// against one surface; there is no such surface beyond 32767 columns.)
constexpr int TILE_OVERLAP = 64;

// A captured polygon: at most 6 points in device coordinates of the whole
// work area, each on cairo's 1/256-pixel grid.
struct Polygon {
  double ymin, ymax;
  int n;
  cairo_antialias_t antialias;
  double xy[12];
};

// The device coordinate cairo makes of `d` when it builds a path: the value
// is added to 1.5 * 2^44 and the low 32 bits of the sum are taken as 24.8
// fixed point (so it wraps beyond +-2^23 pixels as cairo does).  Handing
// cairo this value minus a whole number of pixels gives exactly the fixed
// point value minus that many pixels: the band surfaces see the very edges
// the whole work area's surface would.
double on_cairo_grid(double d) {
  constexpr double MAGIC = 1.5 * static_cast<double>(1LL << 44);
  const double sum = d + MAGIC;
  uint64_t bits;
  std::memcpy(&bits, &sum, sizeof bits);
  const auto fixed = static_cast<int32_t>(static_cast<uint32_t>(bits));
  return fixed / 256.0;
}

// The polygons of one pass: rows y_begin .. y_end - 1 of the work area.
struct Capture {
  int y_begin = 0;
  int y_end = 0;
  int band_rows = 1;
  size_t max_polygons = 0;
  bool too_many = false;  // one band alone holds more than max_polygons
  ColorRGBA color{0, 0, 0, 1};
  std::vector<Polygon> polygons;
};

// Keeps only the polygons that reach above `y_end`.
void cut_pass(Capture *c, int y_end) {
  c->y_end = y_end;
  const double limit = y_end + BAND_MARGIN;
  c->polygons.erase(std::remove_if(c->polygons.begin(), c->polygons.end(),
                                   [limit](const Polygon &p) { return p.ymin > limit; }),
                    c->polygons.end());
}

void capture_polygon(void *data, const double *xy, int n, cairo_antialias_t antialias,
                     const ColorRGBA &color) {
  auto *c = static_cast<Capture *>(data);
  if (c->too_many || n <= 0 || n > 6) return;
  Polygon p;
  p.n = n;
  p.antialias = antialias;
  p.ymin = HUGE_VAL;
  p.ymax = -HUGE_VAL;
  for (int i = 0; i < n; ++i) {
    p.xy[2 * i] = on_cairo_grid(xy[2 * i]);
    p.xy[2 * i + 1] = on_cairo_grid(xy[2 * i + 1]);
    p.ymin = std::min(p.ymin, p.xy[2 * i + 1]);
    p.ymax = std::max(p.ymax, p.xy[2 * i + 1]);
  }
  if (p.ymin > c->y_end + BAND_MARGIN) return;  // for a later pass
  c->color = color;
  c->polygons.push_back(p);
  // Too many: the pass ends earlier, halving its bands until it fits; a
  // single band that does not fit is rendered from the sequence instead.
  while (c->polygons.size() > c->max_polygons) {
    const int bands = (c->y_end - c->y_begin + c->band_rows - 1) / c->band_rows;
    if (bands <= 1) {
      c->too_many = true;
      std::vector<Polygon>().swap(c->polygons);
      return;
    }
    cut_pass(c, c->y_begin + (bands / 2) * c->band_rows);
  }
}

// Runs the line sequence once and collects the polygons that touch rows
// y_begin .. height - 1 (fewer rows when they are too many).
bool capture_pass(const EffectParams *params, const Resolution &res,
                  const cairo_matrix_t *transform, int width, int height, Capture *c) {
  const cairo_rectangle_t extents{0.0, static_cast<double>(c->y_begin),
                                  static_cast<double>(width),
                                  static_cast<double>(height - c->y_begin)};
  // A recording surface gives the context the pass's extents as its clip, so
  // the engine skips lines outside them; nothing is filled, so nothing is
  // recorded.
  SurfacePtr target(cairo_recording_surface_create(CAIRO_CONTENT_ALPHA, &extents));
  CairoPtr cr(cairo_create(target.get()));
  PolygonSink sink{capture_polygon, c};
  sink.capture_only = true;
  stroke_attach_polygon_sink(cr.get(), &sink);
  if (transform) cairo_set_matrix(cr.get(), transform);
  render_effect(cr.get(), params, res);
  stroke_attach_polygon_sink(cr.get(), nullptr);
  return cairo_status(cr.get()) == CAIRO_STATUS_SUCCESS;
}

// What one band is drawn from: the captured polygons, or (for a band with
// too many of them) the line sequence itself.
struct BandSource {
  const Capture *capture;        // or nullptr
  const EffectParams *params;    // when capture is nullptr
  Resolution res;
  const cairo_matrix_t *transform;  // of params' lines, or nullptr
};

struct Layout {
  int width, height;
  int band_rows;
  int tile_width;
  LayerFormat format;
  ColorRGBA color;
  size_t row_bytes;
};

void fill_captured(cairo_t *cr, const Capture &c, int y0, int rows) {
  cairo_set_source_rgba(cr, c.color.r, c.color.g, c.color.b, c.color.a);
  const double top = y0 - BAND_MARGIN, bottom = y0 + rows + BAND_MARGIN;
  for (const Polygon &p : c.polygons) {
    if (p.ymax < top || p.ymin > bottom) continue;
    cairo_set_antialias(cr, p.antialias);
    cairo_move_to(cr, p.xy[0], p.xy[1]);
    for (int i = 1; i < p.n; ++i) cairo_line_to(cr, p.xy[2 * i], p.xy[2 * i + 1]);
    cairo_close_path(cr);
    cairo_fill(cr);
  }
}

// The coverage bytes of the largest surface a band of this layout uses.
size_t scratch_bytes(const Layout &l) {
  const int columns = std::min(l.width, l.tile_width + 2 * TILE_OVERLAP);
  const int stride = cairo_format_stride_for_width(CAIRO_FORMAT_A8, columns);
  if (stride <= 0) return 0;
  return static_cast<size_t>(stride) * static_cast<size_t>(l.band_rows + BAND_OVERLAP);
}

// Rows y0 .. y0 + rows - 1 as layer pixels into `out` (rows * row_bytes),
// one surface of at most tile_width columns (and the margins) at a time.
// The surfaces are laid over `scratch` (scratch_bytes(l)), cleared before
// each: a surface of the same size as a new one, without the page faults
// and the unmapping of a fresh allocation for every band.
bool render_band(const BandSource &source, const Layout &l, int y0, int rows,
                 unsigned char *scratch, unsigned char *out) {
  const int bpp = layer_format_bpp(l.format);
  const int above = std::min(y0, BAND_OVERLAP);
  for (int x0 = 0; x0 < l.width; x0 += l.tile_width) {
    const int tile = std::min(l.tile_width, l.width - x0);
    const int left = std::min(x0, TILE_OVERLAP);
    const int right = std::min(l.width - (x0 + tile), TILE_OVERLAP);
    const int columns = left + tile + right;
    const int stride = cairo_format_stride_for_width(CAIRO_FORMAT_A8, columns);
    if (stride <= 0) return false;
    std::memset(scratch, 0, static_cast<size_t>(stride) * (above + rows));
    SurfacePtr surface(cairo_image_surface_create_for_data(scratch, CAIRO_FORMAT_A8, columns,
                                                           above + rows, stride));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return false;
    cairo_surface_set_device_offset(surface.get(), -(x0 - left), -(y0 - above));
    CairoPtr cr(cairo_create(surface.get()));
    if (source.capture)
      fill_captured(cr.get(), *source.capture, y0 - above, above + rows);
    else {
      if (source.transform) cairo_transform(cr.get(), source.transform);
      render_effect(cr.get(), source.params, source.res);
    }
    if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS) return false;
    cr.reset();
    cairo_surface_flush(surface.get());
    coverage_rows_to_pixels(scratch + static_cast<size_t>(above) * stride + left, stride, tile,
                            rows, l.format, l.color, out + static_cast<size_t>(x0) * bpp,
                            l.row_bytes);
    surface.reset();
  }
  return true;
}

using Buffer = std::unique_ptr<unsigned char, FreeWith<g_free>>;

// Every buffer of the output, allocated before the first band: one band of
// layer pixels per slot of the ring, one scratch coverage surface per worker.
struct BandMemory {
  std::vector<Buffer> slots;
  std::vector<Buffer> scratch;
};

bool allocate_buffers(std::vector<Buffer> *buffers, int count, size_t bytes,
                      BandAllocator allocate) {
  if (bytes == 0) return false;
  for (int i = 0; i < count; ++i) {
    buffers->emplace_back(static_cast<unsigned char *>(allocate(bytes)));
    if (!buffers->back()) return false;
  }
  return true;
}

int bands_between(int y_begin, int y_end, int band_rows) {
  return (y_end - y_begin + band_rows - 1) / band_rows;
}

// Bands y_begin .. y_end - 1 one after the other on the calling thread.
BandStatus render_serial(const BandSource &source, const Layout &l, int y_begin, int y_end,
                         BandMemory *memory, const BandSink &sink) {
  unsigned char *pixels = memory->slots[0].get();
  unsigned char *scratch = memory->scratch[0].get();
  for (int y0 = y_begin; y0 < y_end; y0 += l.band_rows) {
    const int rows = std::min(l.band_rows, y_end - y0);
    if (!render_band(source, l, y0, rows, scratch, pixels)) return BandStatus::NoMemory;
    if (!sink(y0, rows, pixels)) return BandStatus::Stopped;
  }
  return BandStatus::Done;
}

// Bands rendered by `threads` workers and handed to the sink on the calling
// thread in order.  Band b uses slot b % window of a ring; a worker takes a
// band only while it lies within `window` bands of the one the caller waits
// for, so the slots' buffers are all the band pixels there are.
class BandPool {
 public:
  BandPool(const BandSource &source, const Layout &l, int y_begin, int y_end, int threads,
           BandMemory *memory)
      : source_(source),
        layout_(l),
        y_begin_(y_begin),
        bands_(bands_between(y_begin, y_end, l.band_rows)),
        y_end_(y_end),
        window_(static_cast<int>(memory->slots.size())),
        slots_(static_cast<size_t>(window_)) {
    for (int i = 0; i < window_; ++i) slots_[static_cast<size_t>(i)].pixels = memory->slots[static_cast<size_t>(i)].get();
    // A thread the system refuses leaves the bands to those it gave.
    for (int i = 0; i < threads; ++i) {
      unsigned char *scratch = memory->scratch[static_cast<size_t>(i)].get();
      try {
        workers_.emplace_back([this, scratch] { work(scratch); });
      } catch (const std::system_error &) {
        break;
      }
    }
  }

  // false when not a single worker could be started.
  bool working() const { return !workers_.empty(); }

  ~BandPool() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    space_.notify_all();
    for (std::thread &t : workers_) t.join();
  }

  BandPool(const BandPool &) = delete;
  BandPool &operator=(const BandPool &) = delete;

  BandStatus deliver(const BandSink &sink) {
    for (int b = 0; b < bands_; ++b) {
      Slot &slot = slots_[static_cast<size_t>(b % window_)];
      {
        std::unique_lock<std::mutex> lock(mutex_);
        ready_.wait(lock, [&] { return slot.band == b && slot.state != State::Rendering; });
        if (slot.state == State::Failed) return BandStatus::NoMemory;
      }
      const int y0 = y_begin_ + b * layout_.band_rows;
      const int rows = std::min(layout_.band_rows, y_end_ - y0);
      if (!sink(y0, rows, slot.pixels)) return BandStatus::Stopped;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        slot.state = State::Free;
        ++next_sink_;
      }
      space_.notify_all();
    }
    return BandStatus::Done;
  }

 private:
  enum class State { Free, Rendering, Ready, Failed };
  struct Slot {
    int band = -1;
    State state = State::Free;
    unsigned char *pixels = nullptr;
  };

  void work(unsigned char *scratch) {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      space_.wait(lock, [&] {
        return stop_ || next_claim_ >= bands_ || next_claim_ < next_sink_ + window_;
      });
      if (stop_ || next_claim_ >= bands_) return;
      const int b = next_claim_++;
      Slot &slot = slots_[static_cast<size_t>(b % window_)];
      slot.band = b;
      slot.state = State::Rendering;
      lock.unlock();

      const int y0 = y_begin_ + b * layout_.band_rows;
      const int rows = std::min(layout_.band_rows, y_end_ - y0);
      const bool ok = render_band(source_, layout_, y0, rows, scratch, slot.pixels);

      lock.lock();
      slot.state = ok ? State::Ready : State::Failed;
      ready_.notify_one();
    }
  }

  const BandSource source_;
  const Layout layout_;
  const int y_begin_;
  const int bands_;
  const int y_end_;
  const int window_;
  std::vector<Slot> slots_;
  std::vector<std::thread> workers_;
  std::mutex mutex_;
  std::condition_variable ready_;  // a band is done (caller waits)
  std::condition_variable space_;  // a slot is free, or stop (workers wait)
  int next_claim_ = 0;
  int next_sink_ = 0;
  bool stop_ = false;
};

BandStatus render_bands(const BandSource &source, const Layout &l, int y_begin, int y_end,
                        BandMemory *memory, const BandSink &sink) {
  const int threads = std::min(static_cast<int>(memory->scratch.size()),
                               bands_between(y_begin, y_end, l.band_rows));
  if (threads <= 1) return render_serial(source, l, y_begin, y_end, memory, sink);
  {
    BandPool pool(source, l, y_begin, y_end, threads, memory);
    if (pool.working()) return pool.deliver(sink);
  }
  return render_serial(source, l, y_begin, y_end, memory, sink);
}

}  // namespace

int layer_output_threads() {
  const char *env = g_getenv("ZIPSTROKE_THREADS");
  if (env && *env) {
    char *end = nullptr;
    const long n = std::strtol(env, &end, 10);
    if (end && *end == '\0' && n > 0) return static_cast<int>(std::min<long>(n, MAX_THREADS));
  }
  return std::clamp(static_cast<int>(g_get_num_processors()), 1, MAX_THREADS);
}

int layer_band_rows(int width) {
  if (width <= 0) return 1;
  int rows = static_cast<int>(std::clamp<long>(BAND_PIXELS / width, 1, MAX_BAND_ROWS));
  if (rows >= TILE_ROWS) rows -= rows % TILE_ROWS;
  return rows;
}

BandStatus render_layer_bands(const EffectParams *params, const Resolution &res, int width,
                              int height,
                              LayerFormat format, const ColorRGBA &color, const BandSink &sink,
                              const BandOptions &options) {
  if (width <= 0 || height <= 0) return BandStatus::BadSize;
  Layout l{};
  l.width = width;
  l.height = height;
  l.band_rows = options.band_rows > 0 ? options.band_rows : layer_band_rows(width);
  l.band_rows = std::min({l.band_rows, height, MAX_SURFACE_SIDE - BAND_OVERLAP});
  // A work area one surface can hold is drawn as one tile a band: tiles cut
  // the edges at their sides (see TILE_OVERLAP), one surface does not.
  if (options.tile_width > 0)
    l.tile_width = std::clamp(options.tile_width, 1, MAX_SURFACE_SIDE - 2 * TILE_OVERLAP);
  else
    l.tile_width = width <= MAX_SURFACE_SIDE ? width : MAX_SURFACE_SIDE - 2 * TILE_OVERLAP;
  l.format = format;
  l.color = color;
  l.row_bytes = static_cast<size_t>(width) * layer_format_bpp(format);
  int threads = options.threads > 0 ? std::min(options.threads, MAX_THREADS)
                                    : layer_output_threads();
  threads = std::min(threads, bands_between(0, height, l.band_rows));
  const size_t capture_bytes = options.capture_bytes > 0 ? options.capture_bytes : CAPTURE_BYTES;

  // All the memory the bands need, before anything is drawn: a work area
  // too large for it fails here, at once.
  BandMemory memory;
  const BandAllocator allocate = options.allocate ? options.allocate : g_try_malloc;
  const size_t band_bytes = l.row_bytes * static_cast<size_t>(l.band_rows);
  if (!allocate_buffers(&memory.slots, threads > 1 ? 2 * threads : 1, band_bytes, allocate) ||
      !allocate_buffers(&memory.scratch, threads, scratch_bytes(l), allocate))
    return BandStatus::NoMemory;

  for (int y = 0; y < height;) {
    Capture capture;
    capture.y_begin = y;
    capture.y_end = height;
    capture.band_rows = l.band_rows;
    capture.max_polygons = std::max<size_t>(1, capture_bytes / sizeof(Polygon));
    if (!capture_pass(params, res, options.transform, width, height, &capture))
      return BandStatus::NoMemory;
    BandStatus status;
    if (capture.too_many) {
      // The line sequence itself, for one band, on this thread.
      const int y_end = std::min(height, y + l.band_rows);
      status = render_serial({nullptr, params, res, options.transform}, l, y, y_end, &memory,
                             sink);
      y = y_end;
    } else {
      status = render_bands({&capture, nullptr, res, nullptr}, l, y, capture.y_end, &memory,
                            sink);
      y = capture.y_end;
    }
    if (status != BandStatus::Done) return status;
  }
  return BandStatus::Done;
}
