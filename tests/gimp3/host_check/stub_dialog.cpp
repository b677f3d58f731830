// Stand-in for the dialog in the host check: instead of showing anything, each
// run does what the file $ZIPSTROKE_HOST_CHECK/act asks through the installed
// services and appends one line of key=value facts to $ZIPSTROKE_HOST_CHECK/log.
// Words in act: create, edit (re-render the selected streak layer), red (line
// colour), setwin=X (window_x to store).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <gtk/gtk.h>

#include "dialog.h"
#include "glib_ptr.h"
#include "host_services.h"
#include "image_services.h"
#include "responses.h"
#include "unit_change.h"

void current_unit_set(int) {}

void responses_finish(EffectParams *params) { params->edit_mode = EditMode::Create; }

namespace {

std::string path_in_check_dir(const char *name) {
  const char *dir = std::getenv("ZIPSTROKE_HOST_CHECK");
  return std::string(dir ? dir : ".") + "/" + name;
}

// VmHWM and VmRSS of this process in kB.
void memory_kb(long *hwm, long *rss) {
  *hwm = *rss = -1;
  FILE *f = std::fopen("/proc/self/status", "r");
  if (!f) return;
  char line[256];
  while (std::fgets(line, sizeof line, f)) {
    std::sscanf(line, "VmHWM: %ld", hwm);
    std::sscanf(line, "VmRSS: %ld", rss);
  }
  std::fclose(f);
}

// Pixels that differ between two pictures of one size; -1 when either is missing.
long differing_pixels(GdkPixbuf *a, GdkPixbuf *b) {
  if (!a || !b || gdk_pixbuf_get_width(a) != gdk_pixbuf_get_width(b) ||
      gdk_pixbuf_get_height(a) != gdk_pixbuf_get_height(b) ||
      gdk_pixbuf_get_n_channels(a) != gdk_pixbuf_get_n_channels(b))
    return -1;
  const int w = gdk_pixbuf_get_width(a), h = gdk_pixbuf_get_height(a);
  const int n = gdk_pixbuf_get_n_channels(a);
  long count = 0;
  for (int y = 0; y < h; ++y) {
    const guchar *pa = gdk_pixbuf_get_pixels(a) + y * gdk_pixbuf_get_rowstride(a);
    const guchar *pb = gdk_pixbuf_get_pixels(b) + y * gdk_pixbuf_get_rowstride(b);
    for (int x = 0; x < w; ++x) count += std::memcmp(pa + x * n, pb + x * n, n) != 0;
  }
  return count;
}

}  // namespace

GtkWidget *dialog_build(EffectParams *params) {
  char *contents = nullptr;
  g_file_get_contents(path_in_check_dir("act").c_str(), &contents, nullptr, nullptr);
  GCharPtr act(contents);
  std::string out = "image=" + std::to_string(params->image_id) +
                    " drawable=" + std::to_string(params->drawable_id) +
                    " window_x=" + std::to_string(params->window_x);
  char centre[2 * G_ASCII_DTOSTR_BUF_SIZE + 1];
  g_ascii_dtostr(centre, G_ASCII_DTOSTR_BUF_SIZE, params->radiation_x);
  std::strcat(centre, ",");
  g_ascii_dtostr(centre + std::strlen(centre), G_ASCII_DTOSTR_BUF_SIZE, params->radiation_y);
  out += std::string(" centre=") + centre;
  const std::string words = act ? act.get() : "";

  const WorkArea area = work_area_of(params->image_id);
  GdkPixbuf *thumb = host_services().work_area_thumbnail(params->image_id, area.x1, area.y1,
                                                         area.width, area.height, 100, 80);
  out += " thumb=" + (thumb ? std::to_string(gdk_pixbuf_get_width(thumb)) + "x" +
                                  std::to_string(gdk_pixbuf_get_height(thumb))
                            : std::string("none"));
  if (thumb) g_object_unref(thumb);

  gsize length = 0;
  int32_t layer = -1;
  GCharPtr text(host_services().active_layer_settings(params->image_id, &length, &layer));
  out += " parasite_layer=" + std::to_string(layer) + " parasite_length=" + std::to_string(length);

  if (words.find("red") != std::string::npos) params->line_color = {1.0, 0.0, 0.0, 1.0};
  const bool create = words.find("create") != std::string::npos;
  const bool edit = words.find("edit") != std::string::npos && text;
  if (create || edit) {
    if (edit) {
      params->edit_mode = EditMode::Replace;
      params->drawable_id = layer;
      // The edit's picture of the layer's extent, with and without the layer.
      const HostServices &host = host_services();
      int lx = 0, ly = 0, lw = 0, lh = 0;
      if (host.work_area_thumbnail_without && host.layer_extent &&
          host.layer_extent(layer, &lx, &ly, &lw, &lh)) {
        GdkPixbuf *with = host.work_area_thumbnail(params->image_id, lx, ly, lw, lh, 50, 50);
        GdkPixbuf *without =
            host.work_area_thumbnail_without(params->image_id, layer, lx, ly, lw, lh, 50, 50);
        out += std::string(" with_layer=") + (with ? "1" : "0") + " without_layer=" +
               (without ? "1" : "0") +
               " without_differs=" + std::to_string(differing_pixels(with, without));
        if (with) g_object_unref(with);
        if (without) g_object_unref(without);
      }
    }
    long hwm_before = 0, rss_before = 0, hwm_after = 0, rss_after = 0;
    memory_kb(&hwm_before, &rss_before);
    const LayerResult result = host_services().render_to_layer(params);
    memory_kb(&hwm_after, &rss_after);
    out += " status=" + std::to_string(static_cast<int>(result.status)) + " layer=" + std::to_string(result.layer_id) +
           " hwm_before=" + std::to_string(hwm_before) + " rss_before=" + std::to_string(rss_before) +
           " hwm_after=" + std::to_string(hwm_after);
  }
  const size_t setwin = words.find("setwin=");
  if (setwin != std::string::npos) params->window_x = std::atoi(words.c_str() + setwin + 7);

  FILE *log = std::fopen(path_in_check_dir("log").c_str(), "a");
  if (log) {
    std::fprintf(log, "%s\n", out.c_str());
    std::fclose(log);
  }
  return nullptr;
}

void dialog_run(GtkWidget *) {}
