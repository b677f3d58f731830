// The real dialog on an X display, its preview dragged by the centre handle
// and zoomed step by step: the wall-clock time from the event to the window
// being redrawn (the event's handlers, GDK's repaint of everything the event
// made dirty, and the X server's work until it answers), as the user waits
// for it.  Needs a display (scripts/bench starts Xvfb when there is none).
#include <gtk/gtk.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#else
#define CALLGRIND_ZERO_STATS
#define CALLGRIND_DUMP_STATS_AT(name) (void)(name)
#define RUNNING_ON_VALGRIND 0
#endif

#include "bench_fixture.h"
#include "bench_registry.h"
#include "builtin_units.h"
#include "benchmarks.h"
#include "dialog.h"
#include "dialog_widgets.h"
#include "gtk_compat.h"
#include "host_services.h"
#include "image_services.h"
#include "paired_timer.h"
#include "preview.h"

namespace {

double now_ms() { return g_get_monotonic_time() / 1000.0; }

// Time spent in the preview's own expose handler since the last reset.
double expose_ms = 0, expose_start = 0;
GtkWidget *timed_widget = nullptr;
// An emission hook: runs before the widget's own handlers.
gboolean expose_begins(GSignalInvocationHint *, guint, const GValue *values, gpointer) {
  if (g_value_get_object(&values[0]) == timed_widget) expose_start = now_ms();
  return TRUE;
}
gboolean expose_ends(GtkWidget *, gpointer, gpointer) {
  expose_ms += now_ms() - expose_start;
  return FALSE;
}

// The image's picture, as GIMP's thumbnail would give it: smooth shading with
// a grid, so nothing about it is uniform.
GdkPixbuf *shaded_thumbnail(int32_t, int, int, int, int, int thumb_w, int thumb_h) {
  if (thumb_w <= 0 || thumb_h <= 0) return nullptr;
  GdkPixbuf *pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, thumb_w, thumb_h);
  guchar *pixels = gdk_pixbuf_get_pixels(pixbuf);
  const int stride = gdk_pixbuf_get_rowstride(pixbuf);
  for (int y = 0; y < thumb_h; ++y)
    for (int x = 0; x < thumb_w; ++x) {
      guchar *p = pixels + static_cast<size_t>(y) * stride + 3 * x;
      const bool grid = x % 32 == 0 || y % 32 == 0;
      p[0] = static_cast<guchar>(grid ? 40 : 120 + x * 100 / thumb_w);
      p[1] = static_cast<guchar>(grid ? 40 : 140 + y * 100 / thumb_h);
      p[2] = static_cast<guchar>(180);
    }
  return pixbuf;
}

bool display_ready() {
  static const bool ready = [] {
    g_setenv("NO_AT_BRIDGE", "1", TRUE);  // no accessibility bus on Xvfb
    if (!gtk_init_check(nullptr, nullptr)) return false;
    builtin_units_install();
    return true;
  }();
  return ready;
}

// What the drag grabs: the centre moves every line alike; the inner
// ellipse's right end changes the inner radius, so every motion gives other
// lines.
enum class Grab { Centre, InnerRadius };

struct DragCase {
  const char *name;
  int width, height;
  double dpi;
  int preview_side;  // the preview's size request (the window grows to fit)
  bool dense;        // pitch 0.5 at 50 % spread
  double frame_ms;   // the time one redraw may take
  Grab grab;
  bool target;       // a target with the limit 1; else only reported
};

constexpr DragCase DRAG_CASES[] = {
    {"preview_drag_frame_a4", 2480, 3508, 300, 500, false, 1000.0 / 60, Grab::Centre, true},
    {"preview_drag_frame_a4_large", 2480, 3508, 300, 1000, false, 1000.0 / 60, Grab::Centre,
     true},
    {"preview_drag_frame_dense", 8000, 6000, 72, 500, true, 1000.0 / 30, Grab::Centre, true},
    {"preview_drag_inner_radius_a4", 2480, 3508, 300, 500, false, 1000.0 / 60,
     Grab::InnerRadius, false},
    {"preview_drag_inner_radius_a4_large", 2480, 3508, 300, 1000, false, 1000.0 / 60,
     Grab::InnerRadius, false},
};

// One dialog for a case; destroyed with the object.
struct LiveDialog {
  EffectParams *params = nullptr;
  GtkWidget *dialog = nullptr;
  GtkWidget *preview = nullptr;

  LiveDialog(const DragCase &c) {
    FixedImage image;
    image.width = c.width;
    image.height = c.height;
    image.xres = image.yres = c.dpi;
    image_services_install_fixed(image);
    HostServices host{};
    host.work_area_thumbnail = shaded_thumbnail;
    host_services_install(host);
    params = g_new0(EffectParams, 1);  // large (four outlines): off the stack
    effect_params_init_run_fields(params, 1, 2);
    effect_params_set_defaults(params);
    params->area_type = AREA_RADIATION;
    if (c.dense) {
      params->line_pitch = 0.5;
      params->line_pitch_rand = 50;
    }
    dialog = dialog_build(params);
    preview = dialog_widgets.preview_area;
#if ZS_GTK3
    const char *expose_signal = "draw";
#else
    const char *expose_signal = "expose-event";
#endif
    timed_widget = preview;
    static const gulong hook = g_signal_add_emission_hook(
        g_signal_lookup(expose_signal, GTK_TYPE_WIDGET), 0, expose_begins, nullptr, nullptr);
    (void)hook;
    g_signal_connect_after(preview, expose_signal, G_CALLBACK(expose_ends), nullptr);
    gtk_widget_set_size_request(preview, c.preview_side, c.preview_side);
    gtk_widget_show_all(dialog);
    // Until the window is on the screen at its size, and the first expose is done.
    GdkWindow *window = nullptr;
    for (int i = 0; i < 4000; ++i) {
      window = gtk_widget_get_window(preview);
      int w = 0, h = 0;
      preview_view_size(&w, &h);
      if (window && gdk_window_is_viewable(window) && w >= c.preview_side && h >= c.preview_side)
        break;
      if (!g_main_context_iteration(nullptr, FALSE)) g_usleep(1000);
    }
    settle();
  }
  ~LiveDialog() {
    gtk_widget_destroy(dialog);
    settle();
    g_free(params);
  }
  LiveDialog(const LiveDialog &) = delete;
  LiveDialog &operator=(const LiveDialog &) = delete;

  bool shown() const {
    GdkWindow *window = preview ? gtk_widget_get_window(preview) : nullptr;
    return window && gdk_window_is_viewable(window);
  }

  static void settle() {
    while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
  }

  // Repaints whatever is dirty now and waits for the X server to have done it.
  void repaint() const {
    GdkWindow *top = gtk_widget_get_window(dialog);
    // At once, not when GTK 3's frame clock next ticks: the time measured is
    // the work, not the clock's pacing.
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    gdk_window_process_updates(top, TRUE);
    G_GNUC_END_IGNORE_DEPRECATIONS
    gdk_display_sync(gdk_window_get_display(top));
  }

  void send(GdkEventType type, double x, double y) const {
    GdkEvent *event = gdk_event_new(type);
    event->any.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(preview)));
    event->any.send_event = TRUE;
#if ZS_GTK3
    GdkDevice *device =
        gdk_seat_get_pointer(gdk_display_get_default_seat(gdk_display_get_default()));
#else
    GdkDevice *device = gdk_device_get_core_pointer();
#endif
    if (type == GDK_MOTION_NOTIFY) {
      event->motion.x = x;
      event->motion.y = y;
      event->motion.state = GDK_BUTTON1_MASK;
      event->motion.time = GDK_CURRENT_TIME;
      event->motion.device = device;
    } else {
      event->button.x = x;
      event->button.y = y;
      event->button.button = 1;
      event->button.state = type == GDK_BUTTON_RELEASE ? GDK_BUTTON1_MASK : 0;
      event->button.time = GDK_CURRENT_TIME;
      event->button.device = device;
    }
    gtk_widget_event(preview, event);
    gdk_event_free(event);
  }

  // The window pixel of the handle grabbed.
  void handle_in_window(Grab grab, double *x, double *y) const {
    cairo_t *cr = preview_context_new();
    *x = params->radiation_x + (grab == Grab::InnerRadius ? params->radiation_in_radius : 0);
    *y = params->radiation_y;
    // The centre is stored in the area's unit: pixels for the defaults.
    cairo_user_to_device(cr, x, y);
    cairo_destroy(cr);
  }
};


// What one drag took besides its redraws, in ms: the press and the release,
// each with the redraw it caused.
struct DragEnds {
  double press = 0, release = 0;
};

// Presses the handle and moves it round a small circle, one redraw per
// motion; the times of the redraws, in ms.
// in_expose and in_event, when given, receive the part of each redraw spent
// in the preview's expose and in the motion's handlers.  Under callgrind the
// motions' instructions are dumped as "drag" (the X server's are not counted).
std::vector<double> drag_handle(LiveDialog &live, Grab grab, int steps,
                                std::vector<double> *in_expose = nullptr,
                                std::vector<double> *in_event = nullptr,
                                DragEnds *ends = nullptr) {
  double x0, y0;
  live.handle_in_window(grab, &x0, &y0);
  double start = now_ms();
  live.send(GDK_BUTTON_PRESS, x0, y0);
  live.repaint();
  if (ends) ends->press = now_ms() - start;
  std::vector<double> times;
  if (in_expose) in_expose->clear();
  if (in_event) in_event->clear();
  CALLGRIND_ZERO_STATS;
  for (int i = 1; i <= steps; ++i) {
    const double a = 2 * G_PI * i / 24;
    const double x = x0 + 40 * std::sin(a), y = y0 + 40 * (1 - std::cos(a));
    start = now_ms();
    expose_ms = 0;
    live.send(GDK_MOTION_NOTIFY, x, y);
    if (in_event) in_event->push_back(now_ms() - start);
    live.repaint();
    times.push_back(now_ms() - start);
    if (in_expose) in_expose->push_back(expose_ms);
  }
  CALLGRIND_DUMP_STATS_AT("drag");
  start = now_ms();
  live.send(GDK_BUTTON_RELEASE, x0, y0);
  live.repaint();
  if (ends) ends->release = now_ms() - start;
  LiveDialog::settle();
  return times;
}

void preview_drag(benchmark::State &state, const DragCase &c) {
  if (!display_ready()) {
    for (auto _ : state) state.SetIterationTime(0);
    target_pending(c.name, 1.0, "no X display");
    return;
  }
  LiveDialog live(c);
  if (!live.shown()) {
    for (auto _ : state) state.SetIterationTime(0);
    target_pending(c.name, 1.0, "the dialog never showed");
    return;
  }
  // Under callgrind, which counts instructions rather than time, a few motions do.
  const int steps = RUNNING_ON_VALGRIND ? 6 : 24;
  drag_handle(live, c.grab, RUNNING_ON_VALGRIND ? 1 : 4);  // warm up: caches, fonts, pixmaps
  std::vector<double> all, all_expose, expose, all_event, event, presses, releases;
  for (auto _ : state) {
    DragEnds ends;
    const std::vector<double> times = drag_handle(live, c.grab, steps, &expose, &event, &ends);
    presses.push_back(ends.press);
    releases.push_back(ends.release);
    all_event.insert(all_event.end(), event.begin(), event.end());
    all.insert(all.end(), times.begin(), times.end());
    all_expose.insert(all_expose.end(), expose.begin(), expose.end());
    state.SetIterationTime(median(times) / 1000.0);
  }
  int vw = 0, vh = 0;
  preview_view_size(&vw, &vh);
  const double med = median(all);
  const double worst = *std::max_element(all.begin(), all.end());
  state.counters["median_ms"] = med;
  const std::string note =
      "median redraw " + std::to_string(med) + " ms (max " + std::to_string(worst) + ") / " +
      std::to_string(c.frame_ms) + " ms, " + std::to_string(c.width) + "x" +
      std::to_string(c.height) + ", " + std::to_string(vw) + "x" + std::to_string(vh) +
      " preview, " + std::to_string(all.size()) + " redraws, wall clock; " +
      std::to_string(median(all_expose)) + " ms of it in the preview's expose, " +
      std::to_string(median(all_event)) + " ms in the motion's handlers; press " +
      std::to_string(median(presses)) + " ms, release " + std::to_string(median(releases)) +
      " ms";
  if (c.target) target_report(c.name, med / c.frame_ms, 1.0, note);
  else figure_report(c.name, med / c.frame_ms, note);
}

// Zoom steps in and out about the middle, each timed to the window redrawn.
void preview_zoom_steps(benchmark::State &state) {
  const DragCase c = DRAG_CASES[0];
  if (!display_ready()) {
    for (auto _ : state) state.SetIterationTime(0);
    target_pending("preview_zoom_step", 1.0, "no X display");
    return;
  }
  LiveDialog live(c);
  if (!live.shown()) {
    for (auto _ : state) state.SetIterationTime(0);
    target_pending("preview_zoom_step", 1.0, "the dialog never showed");
    return;
  }
  std::vector<double> all;
  for (auto _ : state) {
    std::vector<double> times;
    CALLGRIND_ZERO_STATS;
    // Fitting -> 12.5 % ... 100 % of the image's pixels and back, then out
    // to 25 % of fitting and back.
    for (int dir : {1, 1, 1, 1, -1, -1, -1, -1, -1, -1, -1, 1, 1, 1}) {
      const double start = now_ms();
      if (dir > 0) preview_zoom_in();
      else preview_zoom_out();
      live.repaint();
      times.push_back(now_ms() - start);
    }
    CALLGRIND_DUMP_STATS_AT("zoom");
    all.insert(all.end(), times.begin(), times.end());
    state.SetIterationTime(median(times) / 1000.0);
  }
  const double med = median(all);
  const double worst = *std::max_element(all.begin(), all.end());
  target_report("preview_zoom_step", med / 50.0, 1.0,
                "median zoom step " + std::to_string(med) + " ms (max " + std::to_string(worst) +
                    ") / 50 ms, A4 at 300 dpi, 500-px preview, " + std::to_string(all.size()) +
                    " steps, wall clock");
}

}  // namespace

void register_preview_drag_benchmarks() {
  for (const DragCase &c : DRAG_CASES)
    benchmark::RegisterBenchmark(c.name, [&c](benchmark::State &s) { preview_drag(s, c); })
        ->UseManualTime()
        ->Iterations(bench_rounds(3))
        ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("preview_zoom_step", preview_zoom_steps)
      ->UseManualTime()
      ->Iterations(bench_rounds(3))
      ->Unit(benchmark::kMillisecond);
}
