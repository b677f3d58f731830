// The real main dialog, built in-process on a fixed image with a checker
// picture standing in for GIMP's thumbnail.  Mouse events are synthesized on
// the realized preview widget; the spin buttons' own handlers write the record.
#pragma once

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cmath>
#include <cstdint>
#include <string>

#include "control_ranges.h"
#include "dialog_widgets.h"
#include "effect_params.h"
#include "freehand.h"
#include "host_services.h"
#include "image_services.h"
#include "preview.h"

// An area type without lines or guides: the preview shows its picture alone.
constexpr int32_t AREA_NONE_FOR_TESTS = 9;

// A checker thumbnail with a gradient, so every region of the picture differs.
GdkPixbuf *checker_thumbnail(int32_t image_id, int x, int y, int w, int h, int thumb_w,
                             int thumb_h);
// The last thumbnail request: the work area asked for and the thumbnail size.
struct ThumbnailRequest {
  int calls, x, y, w, h, thumb_w, thumb_h;
};
extern ThumbnailRequest last_thumbnail_request;

// A known image standing in for the visible layers: the 0xRRGGBB colour of
// image pixel (x, y), or with `alpha` its 0xAARRGGBB (the thumbnail then has
// alpha too).
using SourcePixel = uint32_t (*)(int x, int y);
void source_image_set(SourcePixel pixel, bool alpha = false);
// GIMP's thumbnail of that image: each thumbnail pixel the mean of the image
// over its footprint (sampled on a grid of up to 4 x 4 points per image
// pixel's worth), exactly the image's pixels when the sizes are equal.
// Records the request in last_thumbnail_request.
GdkPixbuf *source_thumbnail(int32_t image_id, int x, int y, int w, int h, int thumb_w,
                            int thumb_h);

class PreviewHarness : public ::testing::Test {
 protected:
  EffectParams params{};
  GtkWidget *window = nullptr;  // the dialog
  GtkWidget *preview = nullptr;
  // The host's picture of the work area that build() installs.
  GdkPixbuf *(*thumbnail)(int32_t, int, int, int, int, int, int) = checker_thumbnail;

  // Builds the window for a fresh record with the defaults of `image`.
  void build(const FixedImage &image, int area_type = AREA_RADIATION, int unit = 0,
             bool with_thumbnail = true);
  void TearDown() override;

  // Window pixel of a user point under the current transform.
  Point2 to_window(double x, double y) const;
  void press(double x, double y, guint button = 1);
  void motion(double x, double y);
  void release(double x, double y, guint button = 1);
  // Press at `from`, one motion to `to`, release there.
  void drag(Point2 from, Point2 to);
  void pump();
  // Runs the main loop until no fetch of the picture in view is waiting.
  void wait_for_detail();

  double spin(GtkWidget *spin_button) const;
  // Sets a geometry spin button as a user would (its handler writes the record).
  void set_spin(GtkWidget *spin_button, double value);
  void set_active(GtkWidget *check, bool active);
  const char *label_of(GtkWidget *button) const;
  GdkCursorType cursor_type() const;
  // Delivers a synthesized event (window and send_event filled in) and frees it.
  void send(GdkEvent *event);
};

// Every geometry spin button shows a finite value.
void expect_spins_finite();
// Number of outline samples whose factor differs from `factor`.
int count_factors_not(const FreehandOutline &outline, double factor);
// Writes one whole expose into an image of the view's size; checks the
// context ends without error.  Returns the surface (the caller destroys it).
cairo_surface_t *draw_expose(EffectParams *params);
// Saves the surface as NAME in $ZIPSTROKE_SCREENSHOT_DIR when that is set.
void maybe_save_screenshot(cairo_surface_t *surface, const char *name);
