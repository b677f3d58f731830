// zipstroke-render: renders streak lines without the image editor, from the
// defaults of a work area, a settings text and single keys, into an RGBA PNG
// (the layer pixels of an RGB image) or into SVG or PDF vector paths.
//
//   zipstroke-render [--settings FILE] [--size WxH] [--resolution X[xY]]
//                    [--set KEY=VALUE]... --output FILE.png|.svg|.pdf
//
// Bad input gives one line on stderr and exit status 2, and leaves no output
// file behind; an existing output file is replaced only by a complete new one.

#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <cairo.h>
#include <glib.h>
#include <glib/gstdio.h>

#include <cerrno>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "cairo_ptr.h"
#include "control_ranges.h"
#include "effect_params.h"
#include "image_services.h"
#include "layer_buffer.h"
#include "png_writer.h"
#include "render.h"
#include "settings_text.h"

namespace {

constexpr int EXIT_BAD_INPUT = 2;
// The largest side an image surface can have.
constexpr guint64 MAX_SIDE = 32767;
constexpr double MIN_RESOLUTION = RESOLUTION_MIN_DPI;
constexpr double MAX_RESOLUTION = RESOLUTION_MAX_DPI;
constexpr int STRIP_ROWS = 64;

// A failure with the one line that explains it.
struct Failure {
  std::string message;
};

std::string quoted(const char *text) { return std::string("\u201c") + text + "\u201d"; }

// ---------------------------------------------------------------------------
// Command line values

bool parse_size(const char *text, int *width, int *height, Failure *failure) {
  const std::string prefix = "--size " + quoted(text) + ": ";
  GCharPtr lower(g_ascii_strdown(text, -1));
  char **parts = g_strsplit(lower.get(), "x", -1);
  const bool two = g_strv_length(parts) == 2;
  guint64 values[2] = {0, 0};
  GError *error = nullptr;
  bool ok = two;
  for (int i = 0; ok && i < 2; ++i)
    ok = g_ascii_string_to_unsigned(parts[i], 10, 1, MAX_SIDE, &values[i], &error);
  g_strfreev(parts);
  if (!two) {
    failure->message = prefix + "expected WIDTHxHEIGHT, for example 640x480";
    return false;
  }
  if (!ok) {
    GErrorPtr owned(error);
    failure->message = prefix + error->message;
    return false;
  }
  *width = static_cast<int>(values[0]);
  *height = static_cast<int>(values[1]);
  return true;
}

bool parse_positive_double(const char *text, double *value) {
  if (!*text || g_ascii_isspace(*text)) return false;
  char *end = nullptr;
  errno = 0;
  *value = g_ascii_strtod(text, &end);
  return errno == 0 && end && *end == '\0' && std::isfinite(*value) &&
         *value >= MIN_RESOLUTION && *value <= MAX_RESOLUTION;
}

bool parse_resolution(const char *text, double *xres, double *yres, Failure *failure) {
  GCharPtr lower(g_ascii_strdown(text, -1));
  char **parts = g_strsplit(lower.get(), "x", -1);
  const guint n = g_strv_length(parts);
  bool ok = n == 1 || n == 2;
  if (ok) ok = parse_positive_double(parts[0], xres);
  if (ok) {
    *yres = *xres;
    if (n == 2) ok = parse_positive_double(parts[1], yres);
  }
  g_strfreev(parts);
  if (!ok)
    failure->message = "--resolution " + quoted(text) +
                       ": expected dots per inch as X or XxY, each between 0.005 and 1048576";
  return ok;
}

// ---------------------------------------------------------------------------
// Settings

enum class KeyKind { Unknown, Integer, Double, Boolean, Color, DoubleList };

KeyKind key_kind(const char *key) {
  if (const SpinRange *range = spin_range_find(key))
    return range->type == FieldType::Int ? KeyKind::Integer : KeyKind::Double;
  if (combo_range_find(key) || std::strcmp(key, "area_type") == 0) return KeyKind::Integer;
  if (std::strcmp(key, "line_color") == 0) return KeyKind::Color;
  for (const char *outline : {"radiation_in", "radiation_out", "parallel_in", "parallel_out"}) {
    const std::string base = std::string(outline) + "_freehand";
    if (key == base + "_active") return KeyKind::Boolean;
    if (key == base + "_points_count") return KeyKind::Integer;
    if (key == base + "_points") return KeyKind::DoubleList;
  }
  return KeyKind::Unknown;
}

void apply_key_file(EffectParams *params, GKeyFile *key_file) {
  const EffectParams parsed = settings_parse_key_file(key_file);
  settings_apply_parsed(params, &parsed);
}

bool apply_settings_file(EffectParams *params, const char *path, Failure *failure) {
  KeyFilePtr key_file(g_key_file_new());
  GError *error = nullptr;
  if (!g_key_file_load_from_file(key_file.get(), path, G_KEY_FILE_NONE, &error)) {
    GErrorPtr owned(error);
    GCharPtr name(g_filename_display_name(path));
    failure->message = "cannot read settings file " + quoted(name.get()) + ": " + error->message;
    return false;
  }
  apply_key_file(params, key_file.get());
  return true;
}

// Checks that `value` reads as the key's type; the key file already holds it.
bool check_value(GKeyFile *kf, const char *key, KeyKind kind, std::string *problem) {
  GError *error = nullptr;
  switch (kind) {
    case KeyKind::Integer: {
      const int v = g_key_file_get_integer(kf, SETTINGS_GROUP, key, &error);
      if (error) break;
      if (const ComboRange *combo = combo_range_find(key)) {
        if (!combo_has_value(*combo, v)) *problem = "no such choice";
      } else if (std::strcmp(key, "area_type") == 0 && v != 0 && v != 1) {
        *problem = "expected 0 (radiation) or 1 (parallel)";
      }
      break;
    }
    case KeyKind::Double: {
      const double v = g_key_file_get_double(kf, SETTINGS_GROUP, key, &error);
      if (!error && !std::isfinite(v)) *problem = "not a finite number";
      break;
    }
    case KeyKind::Boolean: g_key_file_get_boolean(kf, SETTINGS_GROUP, key, &error); break;
    case KeyKind::Color: {
      gsize n = 0;
      int *list = g_key_file_get_integer_list(kf, SETTINGS_GROUP, key, &n, &error);
      if (!error && (n != 3 || list[0] < 0 || list[0] > 255 || list[1] < 0 || list[1] > 255 ||
                     list[2] < 0 || list[2] > 255))
        *problem = "expected three integers 0..255 as R;G;B";
      g_free(list);
      break;
    }
    case KeyKind::DoubleList: {
      gsize n = 0;
      double *list = g_key_file_get_double_list(kf, SETTINGS_GROUP, key, &n, &error);
      for (gsize i = 0; !error && i < n; ++i)
        if (!std::isfinite(list[i])) *problem = "not a list of finite numbers";
      g_free(list);
      break;
    }
    case KeyKind::Unknown: *problem = "unknown key"; break;
  }
  if (error) {
    *problem = error->message;
    g_error_free(error);
  }
  return problem->empty();
}

// KEY=VALUE: the record written as settings text, the key's value replaced,
// the text read back and applied by the controls' rules.
bool apply_assignment(EffectParams *params, const char *assignment, Failure *failure) {
  const char *equals = std::strchr(assignment, '=');
  if (!equals || equals == assignment) {
    failure->message = "--set " + quoted(assignment) + ": expected KEY=VALUE";
    return false;
  }
  const std::string key(assignment, equals - assignment);
  const char *value = equals + 1;
  const KeyKind kind = key_kind(key.c_str());
  if (kind == KeyKind::Unknown) {
    failure->message = "--set: unknown settings key " + quoted(key.c_str());
    return false;
  }
  KeyFilePtr key_file(settings_to_key_file(params));
  g_key_file_set_value(key_file.get(), SETTINGS_GROUP, key.c_str(), value);
  std::string problem;
  if (!check_value(key_file.get(), key.c_str(), kind, &problem)) {
    failure->message = "--set " + key + ": value " + quoted(value) + " not accepted: " + problem;
    return false;
  }
  apply_key_file(params, key_file.get());
  return true;
}

// ---------------------------------------------------------------------------
// Output

enum class OutputKind { Png, Svg, Pdf };

OutputKind output_kind(const char *path) {
  GCharPtr lower(g_ascii_strdown(path, -1));
  if (g_str_has_suffix(lower.get(), ".svg")) return OutputKind::Svg;
  if (g_str_has_suffix(lower.get(), ".pdf")) return OutputKind::Pdf;
  return OutputKind::Png;
}

// A temporary file beside the output, renamed over it only when complete and
// removed otherwise.
class PendingFile {
 public:
  explicit PendingFile(const char *output) : output_(output) {
    GCharPtr dir(g_path_get_dirname(output));
    GCharPtr base(g_path_get_basename(output));
    GCharPtr tmpl(g_strdup_printf("%s%c.%s.XXXXXX", dir.get(), G_DIR_SEPARATOR, base.get()));
    const int fd = g_mkstemp_full(tmpl.get(), O_RDWR, 0666);
    if (fd < 0) {
      error_ = g_strerror(errno);
      return;
    }
    path_ = tmpl.get();
    file_ = fdopen(fd, "wb");
    if (!file_) {
      error_ = g_strerror(errno);
      close(fd);
    }
  }
  ~PendingFile() {
    if (file_) std::fclose(file_);
    if (!path_.empty() && !committed_) g_unlink(path_.c_str());
  }
  PendingFile(const PendingFile &) = delete;
  PendingFile &operator=(const PendingFile &) = delete;

  FILE *file() const { return file_; }
  const std::string &error() const { return error_; }

  // Flushes, closes and renames over the output; false with error() set when
  // any of it fails.
  bool commit() {
    if (!file_) return false;
    bool ok = std::fflush(file_) == 0 && !std::ferror(file_) && fsync(fileno(file_)) == 0;
    int saved = errno;
    if (std::fclose(file_) != 0 && ok) {
      ok = false;
      saved = errno;
    }
    file_ = nullptr;
    if (ok && g_rename(path_.c_str(), output_) != 0) {
      ok = false;
      saved = errno;
    }
    if (!ok) {
      error_ = g_strerror(saved ? saved : EIO);
      return false;
    }
    committed_ = true;
    return true;
  }

 private:
  const char *output_;
  std::string path_;
  FILE *file_ = nullptr;
  std::string error_;
  bool committed_ = false;
};

bool write_png(const EffectParams *params, int width, int height, FILE *file, Failure *failure) {
  SurfacePtr coverage(render_coverage(params, width, height));
  if (!coverage) {
    failure->message = "cannot allocate a work area of " + std::to_string(width) + "x" +
                       std::to_string(height) + " pixels";
    return false;
  }
  const int rows_per_strip = std::min(STRIP_ROWS, height);
  auto *strip = static_cast<unsigned char *>(
      g_try_malloc(static_cast<size_t>(width) * 4 * rows_per_strip));
  if (!strip) {
    failure->message = "out of memory";
    return false;
  }
  PngWriter png(file, width, height);
  for (int y = 0; y < height; y += rows_per_strip) {
    const int rows = std::min(rows_per_strip, height - y);
    coverage_to_pixels(coverage.get(), y, rows, LayerFormat::RGBA, params->line_color, strip);
    png.write_rows(strip, rows);
  }
  g_free(strip);
  if (!png.finish()) {
    failure->message = std::string("write error: ") + g_strerror(errno ? errno : EIO);
    return false;
  }
  return true;
}

cairo_status_t write_to_file(void *closure, const unsigned char *data, unsigned int length) {
  return std::fwrite(data, 1, length, static_cast<FILE *>(closure)) == length
             ? CAIRO_STATUS_SUCCESS
             : CAIRO_STATUS_WRITE_ERROR;
}

// The same lines as vector paths, on a page of the work area's physical size
// (one pixel is 72 / resolution points).
bool write_vector(const EffectParams *params, int width, int height, double xres, double yres,
                  OutputKind kind, FILE *file, Failure *failure) {
  const double page_w = width * 72.0 / xres, page_h = height * 72.0 / yres;
  SurfacePtr surface(kind == OutputKind::Svg
                         ? cairo_svg_surface_create_for_stream(write_to_file, file, page_w, page_h)
                         : cairo_pdf_surface_create_for_stream(write_to_file, file, page_w, page_h));
  cairo_t *cr = cairo_create(surface.get());
  cairo_scale(cr, 72.0 / xres, 72.0 / yres);
  cairo_rectangle(cr, 0, 0, width, height);
  cairo_clip(cr);
  render_effect(cr, params);
  cairo_status_t status = cairo_status(cr);
  cairo_destroy(cr);
  cairo_surface_finish(surface.get());
  if (status == CAIRO_STATUS_SUCCESS) status = cairo_surface_status(surface.get());
  if (status != CAIRO_STATUS_SUCCESS) {
    failure->message = std::string("cannot write vector output: ") + cairo_status_to_string(status);
    return false;
  }
  return true;
}

struct Options {
  char *settings = nullptr;
  char *size = nullptr;
  char *resolution = nullptr;
  char **sets = nullptr;
  char *output = nullptr;
  ~Options() {
    g_free(settings);
    g_free(size);
    g_free(resolution);
    g_strfreev(sets);
    g_free(output);
  }
};

bool run(int argc, char **argv, Failure *failure) {
  Options opt;
  const GOptionEntry entries[] = {
      {"settings", 0, 0, G_OPTION_ARG_FILENAME, &opt.settings,
       "Settings text (a preset file) applied onto the defaults", "FILE"},
      {"size", 0, 0, G_OPTION_ARG_STRING, &opt.size, "Work area size in pixels (default 640x480)",
       "WxH"},
      {"resolution", 0, 0, G_OPTION_ARG_STRING, &opt.resolution,
       "Dots per inch, one value or XxY (default 72)", "X[xY]"},
      {"set", 0, 0, G_OPTION_ARG_STRING_ARRAY, &opt.sets,
       "Set one settings key after --settings (repeatable)", "KEY=VALUE"},
      {"output", 0, 0, G_OPTION_ARG_FILENAME, &opt.output,
       "Output file: PNG, or SVG / PDF by extension", "FILE"},
      {nullptr, 0, 0, G_OPTION_ARG_NONE, nullptr, nullptr, nullptr}};
  GOptionContext *context = g_option_context_new("- render streak lines into a picture");
  g_option_context_add_main_entries(context, entries, nullptr);
  GError *error = nullptr;
  const bool parsed = g_option_context_parse(context, &argc, &argv, &error);
  g_option_context_free(context);
  if (!parsed) {
    GErrorPtr owned(error);
    failure->message = error->message;
    return false;
  }
  if (argc > 1) {
    failure->message = "unexpected argument " + quoted(argv[1]);
    return false;
  }
  if (!opt.output || !*opt.output) {
    failure->message = "--output FILE is required";
    return false;
  }

  int width = 640, height = 480;
  double xres = 72.0, yres = 72.0;
  if (opt.size && !parse_size(opt.size, &width, &height, failure)) return false;
  if (opt.resolution && !parse_resolution(opt.resolution, &xres, &yres, failure)) return false;

  FixedImage image;
  image.width = width;
  image.height = height;
  image.xres = xres;
  image.yres = yres;
  image_services_install_fixed(image);

  auto params = std::make_unique<EffectParams>();
  effect_params_init_run_fields(params.get(), 1, -1);
  effect_params_set_defaults(params.get());
  if (opt.settings && !apply_settings_file(params.get(), opt.settings, failure)) return false;
  for (char **set = opt.sets; set && *set; ++set)
    if (!apply_assignment(params.get(), *set, failure)) return false;

  GCharPtr output_name(g_filename_display_name(opt.output));
  PendingFile pending(opt.output);
  if (!pending.file()) {
    failure->message = "cannot write " + quoted(output_name.get()) + ": " + pending.error();
    return false;
  }
  const OutputKind kind = output_kind(opt.output);
  const bool written =
      kind == OutputKind::Png
          ? write_png(params.get(), width, height, pending.file(), failure)
          : write_vector(params.get(), width, height, xres, yres, kind, pending.file(), failure);
  if (!written) {
    failure->message = quoted(output_name.get()) + ": " + failure->message;
    return false;
  }
  if (!pending.commit()) {
    failure->message = "cannot write " + quoted(output_name.get()) + ": " + pending.error();
    return false;
  }
  return true;
}

// One line of valid UTF-8 without control characters, cut to a readable
// length: GLib's reasons quote the offending input, which may be binary.
std::string printable_line(const std::string &text) {
  constexpr glong MAX_CHARS = 240;
  GCharPtr valid(g_utf8_make_valid(text.c_str(), static_cast<gssize>(text.size())));
  std::string line;
  glong n = 0;
  for (const char *p = valid.get(); *p; p = g_utf8_next_char(p), ++n) {
    if (n == MAX_CHARS) {
      line += "\u2026";
      break;
    }
    const gunichar c = g_utf8_get_char(p);
    if (g_unichar_iscntrl(c) || c == 0xFFFD)
      line += '?';
    else
      line.append(p, g_utf8_next_char(p) - p);
  }
  return line;
}

}  // namespace

int main(int argc, char **argv) {
  std::setlocale(LC_ALL, "");
  Failure failure;
  if (!run(argc, argv, &failure)) {
    std::fprintf(stderr, "zipstroke-render: %s\n", printable_line(failure.message).c_str());
    return EXIT_BAD_INPUT;
  }
  return 0;
}
