// zipstroke-render: renders streak lines without the image editor, from the
// defaults of a work area, a settings text and single keys, into an RGBA PNG
// (the layer pixels of an RGB image) or into SVG or PDF vector paths.
//
//   zipstroke-render [--settings FILE] [--size WxH] [--resolution X[xY]]
//                    [--set KEY=VALUE]... [--format png|svg|pdf]
//                    --output FILE.png|.svg|.pdf|-
//   zipstroke-render [--size WxH] [--resolution X[xY]] --list-keys
//
// A value outside its control's range is clamped as the dialog clamps it,
// with a warning on stderr.
// Bad input gives one line on stderr and exit status 2, and leaves no output
// file behind; an existing output file is replaced only by a complete new one.
// A symbolic link is written through (its target is replaced); anything that
// is not a regular file (a device, a pipe, a folder) is refused, and `-`
// writes to standard output instead.  The PNG is rendered and written band by
// band, so its size is limited only by what GIMP allows.

#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <cairo.h>
#include <glib.h>
#include <glib/gstdio.h>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "cairo_ptr.h"
#include "color.h"
#include "control_ranges.h"
#include "effect_params.h"
#include "image_services.h"
#include "layer_bands.h"
#include "layer_buffer.h"
#include "png_writer.h"
#include "render.h"
#include "settings_text.h"

namespace {

constexpr int EXIT_BAD_INPUT = 2;
// The largest side of an image GIMP makes.
constexpr guint64 MAX_SIDE = 524288;
// Symbolic links followed to the file they name, at most.
constexpr int MAX_LINKS = 40;
constexpr double MIN_RESOLUTION = RESOLUTION_MIN_DPI;
constexpr double MAX_RESOLUTION = RESOLUTION_MAX_DPI;

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

void warn_out_of_range(GKeyFile *key_file, const EffectParams *params, const char *origin,
                       const char *only);

bool apply_settings_file(EffectParams *params, const char *path, Failure *failure) {
  KeyFilePtr key_file(g_key_file_new());
  GError *error = nullptr;
  if (!g_key_file_load_from_file(key_file.get(), path, G_KEY_FILE_NONE, &error)) {
    GErrorPtr owned(error);
    GCharPtr name(g_filename_display_name(path));
    failure->message = "cannot read settings file " + quoted(name.get()) + ": " + error->message;
    return false;
  }
  GCharPtr name(g_filename_display_name(path));
  warn_out_of_range(key_file.get(), params, name.get(), nullptr);
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

// Every key a settings text may carry that --set accepts, in the text's order.
std::vector<std::string> settable_keys(const EffectParams *params) {
  std::vector<std::string> keys;
  // A text names an outline's samples only while the outline is active.
  auto all = std::make_unique<EffectParams>(*params);
  for (FreehandOutline *outline : {&all->radiation_in_freehand, &all->radiation_out_freehand,
                                   &all->parallel_in_freehand, &all->parallel_out_freehand})
    outline->active = 1;
  KeyFilePtr key_file(settings_to_key_file(all.get()));
  StrvPtr names(g_key_file_get_keys(key_file.get(), SETTINGS_GROUP, nullptr, nullptr));
  for (char **name = names.get(); name && *name; ++name)
    if (key_kind(*name) != KeyKind::Unknown) keys.emplace_back(*name);
  return keys;
}

// Edits (insertions, deletions, substitutions) that turn a into b.
std::size_t edit_distance(const std::string &a, const std::string &b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      const std::size_t cost = g_ascii_tolower(a[i - 1]) == g_ascii_tolower(b[j - 1]) ? 0 : 1;
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + cost});
      diagonal = above;
    }
  }
  return row[b.size()];
}

std::string nearest_key(const EffectParams *params, const std::string &key) {
  std::string best;
  std::size_t best_distance = 0;
  for (const std::string &known : settable_keys(params)) {
    const std::size_t d = edit_distance(key, known);
    if (best.empty() || d < best_distance) {
      best = known;
      best_distance = d;
    }
  }
  return best;
}

// A colour as #rrggbb or r,g,b becomes the text's R;G;B; anything else is
// left for the key file to judge.
std::string color_value(const char *value) {
  if (value[0] == '#' && std::strlen(value) == 7) {
    bool hex = true;
    for (int i = 1; i < 7; ++i) hex = hex && g_ascii_isxdigit(value[i]);
    if (hex) {
      std::string rgb;
      for (int i = 1; i < 7; i += 2) {
        if (!rgb.empty()) rgb += ';';
        rgb += std::to_string(g_ascii_xdigit_value(value[i]) * 16 +
                              g_ascii_xdigit_value(value[i + 1]));
      }
      return rgb;
    }
  }
  if (std::strchr(value, ',') && !std::strchr(value, ';')) {
    std::string rgb(value);
    std::replace(rgb.begin(), rgb.end(), ',', ';');
    return rgb;
  }
  return value;
}

std::string number_text(double value) {
  char buffer[G_ASCII_DTOSTR_BUF_SIZE];
  return g_ascii_formatd(buffer, sizeof buffer, "%.10g", value);
}

// The lengths of a key file are in its own unit when it names one a control
// can show, otherwise in the record's.
int unit_of(GKeyFile *key_file, const EffectParams *params) {
  GError *error = nullptr;
  const int unit = g_key_file_get_integer(key_file, SETTINGS_GROUP, "area_unit", &error);
  if (error) {
    g_error_free(error);
    return params->area_unit;
  }
  return combo_has_value(*combo_range_find("area_unit"), unit) ? unit : params->area_unit;
}

// Warns on stderr about every value of the key file's spin keys (all of
// them, or only `only`) that lies outside its control's range: the control
// clamps it, and so does the renderer.
void warn_out_of_range(GKeyFile *key_file, const EffectParams *params, const char *origin,
                       const char *only) {
  const int unit = unit_of(key_file, params);
  const Resolution resolution = image_resolution(params->image_id);
  for (const SpinRange &range : SPIN_RANGES) {
    if (only && std::strcmp(only, range.key) != 0) continue;
    GError *error = nullptr;
    const double value = g_key_file_get_double(key_file, SETTINGS_GROUP, range.key, &error);
    if (error) {
      g_error_free(error);
      continue;
    }
    if (!std::isfinite(value)) continue;
    const SpinLimits limits = spin_limits(range, unit, resolution);
    const double clamped = spin_clamp(limits, value);
    if (clamped == value) continue;
    std::fprintf(stderr,
                 "zipstroke-render: warning: %s: %s=%s is %s the range %s..%s; %s is used\n",
                 origin, range.key, number_text(value).c_str(),
                 value < limits.min ? "below" : "above", number_text(limits.min).c_str(),
                 number_text(limits.max).c_str(), number_text(clamped).c_str());
  }
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
  const KeyKind kind = key_kind(key.c_str());
  if (kind == KeyKind::Unknown) {
    if (key == "version") {
      failure->message = "--set: the settings key " + quoted(key.c_str()) +
                         " is written by the program and cannot be set";
      return false;
    }
    failure->message = "--set: unknown settings key " + quoted(key.c_str()) + "; did you mean " +
                       quoted(nearest_key(params, key).c_str()) +
                       "? (--list-keys lists every key)";
    return false;
  }
  const std::string value = kind == KeyKind::Color ? color_value(equals + 1) : equals + 1;
  KeyFilePtr key_file(settings_to_key_file(params));
  g_key_file_set_value(key_file.get(), SETTINGS_GROUP, key.c_str(), value.c_str());
  std::string problem;
  if (!check_value(key_file.get(), key.c_str(), kind, &problem)) {
    failure->message = "--set " + key + ": value " + quoted(equals + 1) + " not accepted: " + problem;
    return false;
  }
  const std::string origin = "--set " + key;
  warn_out_of_range(key_file.get(), params, origin.c_str(), key.c_str());
  apply_key_file(params, key_file.get());
  return true;
}

// ---------------------------------------------------------------------------
// --list-keys

std::string combo_choices(const ComboRange &range) {
  std::string text;
  for (int i = 0; i < range.n_items; ++i) {
    if (i) text += ", ";
    text += std::to_string(range.items[i].value) + " " + range.items[i].label;
  }
  return text;
}

// Type, range and default of one key, for the record's defaults.
void describe_key(const EffectParams *params, const std::string &key, std::string *type,
                  std::string *range_text, std::string *default_text) {
  const Resolution resolution = image_resolution(params->image_id);
  if (const SpinRange *range = spin_range_find(key.c_str())) {
    const SpinLimits limits = spin_limits(*range, params->area_unit, resolution);
    *type = range->type == FieldType::Int ? "integer" : "number";
    *range_text = number_text(limits.min) + ".." + number_text(limits.max);
    if (range->rule == IntRule::WavePoints) *range_text += ", a multiple of 4";
    if (range->axis != LengthAxis::None && range->type == FieldType::Double)
      *range_text += ", a length in area_unit";
    *default_text = number_text(spin_field_get(params, *range));
  } else if (const ComboRange *combo = combo_range_find(key.c_str())) {
    *type = "choice";
    *range_text = combo_choices(*combo);
    *default_text = std::to_string(combo_field_get(params, *combo));
  } else if (key == "area_type") {
    *type = "choice";
    *range_text = "0 radiation, 1 parallel";
    *default_text = std::to_string(params->area_type);
  } else if (key == "line_color") {
    unsigned char bytes[3];
    color_to_bytes(params->line_color, bytes);
    *type = "colour";
    *range_text = "R;G;B, r,g,b or #rrggbb, each channel 0..255";
    *default_text = std::to_string(bytes[0]) + ";" + std::to_string(bytes[1]) + ";" +
                    std::to_string(bytes[2]);
  } else {
    switch (key_kind(key.c_str())) {
      case KeyKind::Boolean:
        *type = "boolean";
        *range_text = "true or false";
        *default_text = "false";
        break;
      case KeyKind::Integer:
        *type = "integer";
        *range_text = "1000 (an outline's samples), otherwise the outline is not taken";
        *default_text = std::to_string(FREEHAND_SAMPLES);
        break;
      default:
        *type = "numbers";
        *range_text = "1000 pairs POSITION;FACTOR, factor 1 on the boundary";
        *default_text = "every factor 1";
        break;
    }
  }
}

void list_keys(const EffectParams *params) {
  std::printf("%-36s  %-8s  %-66s  %s\n", "KEY", "TYPE", "RANGE", "DEFAULT");
  for (const std::string &key : settable_keys(params)) {
    std::string type, range, default_text;
    describe_key(params, key, &type, &range, &default_text);
    std::printf("%-36s  %-8s  %-66s  %s\n", key.c_str(), type.c_str(), range.c_str(),
                default_text.c_str());
  }
}

// ---------------------------------------------------------------------------
// Output

enum class OutputKind { Png, Svg, Pdf };

struct KindName {
  OutputKind kind;
  const char *name;
};
constexpr KindName KIND_NAMES[] = {
    {OutputKind::Png, "png"}, {OutputKind::Svg, "svg"}, {OutputKind::Pdf, "pdf"}};

bool kind_from_name(const char *name, OutputKind *kind) {
  for (const KindName &k : KIND_NAMES)
    if (g_ascii_strcasecmp(name, k.name) == 0) {
      *kind = k.kind;
      return true;
    }
  return false;
}

// The format of the output: the one --format names (or PNG), which a name
// ending in .png, .svg or .pdf must agree with; any other extension is
// refused rather than filled with data of another format.
bool output_kind(const char *output, const char *format, OutputKind *kind, Failure *failure) {
  *kind = OutputKind::Png;
  if (format && !kind_from_name(format, kind)) {
    failure->message = "--format " + quoted(format) + ": expected png, svg or pdf";
    return false;
  }
  if (std::strcmp(output, "-") == 0) return true;
  GCharPtr base(g_path_get_basename(output));
  const char *dot = std::strrchr(base.get(), '.');
  if (!dot || dot == base.get()) return true;  // no extension: the format's
  OutputKind by_name;
  GCharPtr shown(g_filename_display_name(output));
  if (!kind_from_name(dot + 1, &by_name)) {
    failure->message = quoted(shown.get()) + ": cannot write " + dot +
                       " files; the name must end in .png, .svg or .pdf (or have no extension)";
    return false;
  }
  if (format && by_name != *kind) {
    failure->message = quoted(shown.get()) + ": the name ends in " + dot + " but --format is " +
                       format;
    return false;
  }
  *kind = by_name;
  return true;
}

// The file `name` finally refers to: symbolic links followed, relative ones
// from the folder of the link.  The last one may name a file that does not
// exist yet.
bool resolve_links(const char *name, std::string *target, Failure *failure) {
  std::string path = name;
  for (int hops = 0; hops <= MAX_LINKS; ++hops) {
    GStatBuf st;
    if (g_lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
      *target = path;
      return true;
    }
    GError *error = nullptr;
    GCharPtr link(g_file_read_link(path.c_str(), &error));
    if (!link) {
      GErrorPtr owned(error);
      failure->message = error->message;
      return false;
    }
    if (g_path_is_absolute(link.get())) {
      path = link.get();
    } else {
      GCharPtr dir(g_path_get_dirname(path.c_str()));
      GCharPtr joined(g_build_filename(dir.get(), link.get(), nullptr));
      path = joined.get();
    }
  }
  failure->message = g_strerror(ELOOP);
  return false;
}

// An output that exists must be a regular file: a device node, a pipe or a
// folder is neither replaced nor written into.
bool check_replaceable(const std::string &target, Failure *failure) {
  GStatBuf st;
  if (g_stat(target.c_str(), &st) != 0 || S_ISREG(st.st_mode)) return true;
  failure->message = std::string(S_ISDIR(st.st_mode) ? "a folder" : "not a regular file") +
                     "; only regular files are written (use - for standard output)";
  return false;
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

bool write_png(const EffectParams *params, const Resolution &res, int width, int height, FILE *file,
               Failure *failure) {
  PngWriter png(file, width, height);
  const BandStatus status =
      render_layer_bands(params, res, width, height, LayerFormat::RGBA, params->line_color,
                         [&](int, int rows, const unsigned char *pixels) {
                           png.write_rows(pixels, rows);
                           return png.error().empty();
                         });
  if (status == BandStatus::NoMemory) {
    failure->message = "not enough memory to render " + std::to_string(width) + "x" +
                       std::to_string(height) + " pixels";
    return false;
  }
  if (status != BandStatus::Done || !png.finish()) {
    failure->message = "write error: " + (png.error().empty() ? std::string(g_strerror(EIO))
                                                              : png.error());
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
  render_effect(cr, params, {xres, yres});
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

constexpr const char *HELP_EXAMPLES =
    "A work area's defaults draw focus lines round its middle; a settings text\n"
    "(--settings) and single keys (--set, applied in order) change them.  Lengths\n"
    "are in the unit of area_unit (0 pixels).  --list-keys shows every key.\n"
    "\n"
    "Examples:\n"
    "  zipstroke-render --size 2480x3508 --resolution 300 --set line_pitch=6 --output focus.png\n"
    "      focus lines over an A4 page at 300 dpi, denser than the default\n"
    "  zipstroke-render --set area_type=1 --set line_color=#1e50c8 --set line_width=3 --output speed.svg\n"
    "      blue parallel speed lines across 640 x 480 pixels, as vector paths\n"
    "  zipstroke-render --settings my.preset --set radiation_x=100 --set radiation_y=80 --output moved.png\n"
    "      a saved preset with its centre moved to 100, 80\n";

struct Options {
  char *settings = nullptr;
  char *size = nullptr;
  char *resolution = nullptr;
  char **sets = nullptr;
  char *output = nullptr;
  char *format = nullptr;
  gboolean list_keys = FALSE;
  ~Options() {
    g_free(format);
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
       "Output file: PNG, or SVG / PDF by extension; - for standard output", "FILE"},
      {"format", 0, 0, G_OPTION_ARG_STRING, &opt.format,
       "png, svg or pdf (default: by the output's extension, else png)", "FORMAT"},
      {"list-keys", 0, 0, G_OPTION_ARG_NONE, &opt.list_keys,
       "List every settings key with its type, range and default (for --size and --resolution), "
       "and exit",
       nullptr},
      {nullptr, 0, 0, G_OPTION_ARG_NONE, nullptr, nullptr, nullptr}};
  GOptionContext *context = g_option_context_new("- render streak lines into a picture");
  g_option_context_add_main_entries(context, entries, nullptr);
  g_option_context_set_description(context, HELP_EXAMPLES);
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
  if (!opt.list_keys && (!opt.output || !*opt.output)) {
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
  if (opt.list_keys) {
    list_keys(params.get());
    return true;
  }
  if (opt.settings && !apply_settings_file(params.get(), opt.settings, failure)) return false;
  for (char **set = opt.sets; set && *set; ++set)
    if (!apply_assignment(params.get(), *set, failure)) return false;

  GCharPtr output_name(g_filename_display_name(opt.output));
  OutputKind kind;
  if (!output_kind(opt.output, opt.format, &kind, failure)) return false;
  auto write = [&](FILE *file) {
    const bool written =
        kind == OutputKind::Png
            ? write_png(params.get(), {xres, yres}, width, height, file, failure)
            : write_vector(params.get(), width, height, xres, yres, kind, file, failure);
    if (!written) failure->message = quoted(output_name.get()) + ": " + failure->message;
    return written;
  };

  if (std::strcmp(opt.output, "-") == 0) {
    if (!write(stdout)) return false;
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
      failure->message = std::string("cannot write standard output: ") + g_strerror(errno);
      return false;
    }
    return true;
  }

  std::string target;
  if (!resolve_links(opt.output, &target, failure) || !check_replaceable(target, failure)) {
    failure->message = "cannot write " + quoted(output_name.get()) + ": " + failure->message;
    return false;
  }
  PendingFile pending(target.c_str());
  if (!pending.file()) {
    failure->message = "cannot write " + quoted(output_name.get()) + ": " + pending.error();
    return false;
  }
  if (!write(pending.file())) return false;
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
