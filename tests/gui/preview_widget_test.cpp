// The preview widget: its transform, picture, zoom and event routing.
#include <cairo.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "gtk_test_compat.h"
#include "preview_fixture.h"
#include "area_pixels.h"
#include "window_frame.h"

namespace {

FixedImage image_of(int w, int h) {
  FixedImage image;
  image.width = w;
  image.height = h;
  return image;
}

struct TransformCase {
  int w, h;
  double scale;
  int thumb_w, thumb_h;
  double left, top, right, bottom;  // window pixels of the work area's corners at zoom 100
};

using PreviewWidget = PreviewHarness;

void install_checker_host() {
  HostServices host = host_services();
  host.work_area_thumbnail = checker_thumbnail;
  host_services_install(host);
}

}  // namespace

TEST(PreviewTransform, ScaleThumbnailAndPlacementFollowTheWorkArea) {
  const HostServices saved = host_services();
  install_checker_host();
  const TransformCase cases[] = {
      {800, 600, 0.625, 500, 375, 0, 62.5, 500, 437.5},
      {300, 200, 1.0, 300, 200, 100, 150, 400, 350},
      {1000, 1000, 0.5, 500, 500, 0, 0, 500, 500},
      {500, 300, 1.0, 500, 300, 0, 100, 500, 400},  // longer side exactly 500: not scaled
      {600, 2000, 0.25, 150, 500, 175, 0, 325, 500},
  };
  for (const TransformCase &c : cases) {
    SCOPED_TRACE(testing::Message() << c.w << " x " << c.h);
    image_services_install_fixed(image_of(c.w, c.h));
    preview_picture_init(1);
    EXPECT_DOUBLE_EQ(preview_scale_get(), c.scale);
    int tw = 0, th = 0;
    preview_picture_size(&tw, &th);
    EXPECT_EQ(tw, c.thumb_w);
    EXPECT_EQ(th, c.thumb_h);
    EXPECT_EQ(last_thumbnail_request.w, c.w);
    EXPECT_EQ(last_thumbnail_request.h, c.h);

    cairo_surface_t *surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
    cairo_t *cr = cairo_create(surface);
    preview_apply_transform(cr);
    double x0 = 0, y0 = 0, x1 = c.w, y1 = c.h, mx = c.w / 2.0, my = c.h / 2.0;
    cairo_user_to_device(cr, &x0, &y0);
    cairo_user_to_device(cr, &x1, &y1);
    cairo_user_to_device(cr, &mx, &my);
    EXPECT_NEAR(x0, c.left, 1e-9);
    EXPECT_NEAR(y0, c.top, 1e-9);
    EXPECT_NEAR(x1, c.right, 1e-9);
    EXPECT_NEAR(y1, c.bottom, 1e-9);
    EXPECT_NEAR(mx, 250, 1e-9);
    EXPECT_NEAR(my, 250, 1e-9);
    EXPECT_DOUBLE_EQ(preview_length_to_user(8), 8 / c.scale);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    preview_picture_release();
    preview_picture_size(&tw, &th);
    EXPECT_EQ(tw + th, 0);
  }
  host_services_install(saved);
  image_services_install_fixed(FixedImage{});
}

TEST(PreviewTransform, SelectionIsTheWorkAreaAndExtremeShapesKeepAPixel) {
  const HostServices saved = host_services();
  install_checker_host();
  FixedImage image = image_of(640, 480);
  image.has_selection = true;
  image.sel_x1 = 40;
  image.sel_y1 = 30;
  image.sel_x2 = 240;
  image.sel_y2 = 130;
  image_services_install_fixed(image);
  preview_picture_init(1);
  EXPECT_EQ(last_thumbnail_request.x, 40);
  EXPECT_EQ(last_thumbnail_request.y, 30);
  EXPECT_EQ(last_thumbnail_request.w, 200);
  EXPECT_EQ(last_thumbnail_request.h, 100);
  EXPECT_DOUBLE_EQ(preview_scale_get(), 1.0);

  // Longer than 500:1: the short side would truncate to nothing.
  image_services_install_fixed(image_of(100000, 10));
  preview_picture_init(1);
  EXPECT_EQ(last_thumbnail_request.thumb_w, 500);
  EXPECT_EQ(last_thumbnail_request.thumb_h, 1);
  // No rows or no columns: the host is asked for no picture at all.
  const int calls = last_thumbnail_request.calls;
  for (const FixedImage &empty : {image_of(640, 0), image_of(0, 480)}) {
    image_services_install_fixed(empty);
    preview_picture_init(1);
  }
  EXPECT_EQ(last_thumbnail_request.calls, calls);
  preview_picture_release();
  host_services_install(saved);
  image_services_install_fixed(FixedImage{});
}

TEST_F(PreviewWidget, MissingThumbnailShowsTheGreyBackground) {
  build(image_of(800, 600), AREA_RADIATION, 0, /*with_thumbnail=*/false);
  pump();  // a real expose with no picture
  params.area_type = AREA_NONE_FOR_TESTS;
  cairo_surface_t *surface = draw_expose(&params);
  const unsigned char *data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  const uint32_t pixel = *reinterpret_cast<const uint32_t *>(data + 250 * stride + 4 * 250);
  EXPECT_EQ(pixel & 0xffffff, 0x454545u);
  cairo_surface_destroy(surface);
  // The work area stays centred for the lines and guides.
  int vw = 0, vh = 0;
  preview_view_size(&vw, &vh);
  const Point2 corner = to_window(0, 0);
  EXPECT_DOUBLE_EQ(corner.y, vh / 2.0 - 300 * std::min({vw / 800.0, vh / 600.0, 1.0}));
}

// The widget's own draw handler ("expose-event" under GTK 2, "draw" under
// GTK 3) paints one whole expose: the grey background, the picture, the lines
// and the guides, where preview_draw_window puts them.
TEST_F(PreviewWidget, ItsDrawHandlerPaintsTheWholeExpose) {
  build(image_of(800, 600));
  preview_zoom_out();
  cairo_surface_t *shown = test_widget_pixels(preview);
  ASSERT_NE(shown, nullptr);
  ASSERT_GE(cairo_image_surface_get_width(shown), PREVIEW_SIZE);
  ASSERT_GE(cairo_image_surface_get_height(shown), PREVIEW_SIZE);
  cairo_surface_t *expected = draw_expose(&params);
  const unsigned char *a = cairo_image_surface_get_data(shown);
  const unsigned char *b = cairo_image_surface_get_data(expected);
  const int sa = cairo_image_surface_get_stride(shown), sb = cairo_image_surface_get_stride(expected);
  int differing = 0, grey = 0;
  for (int y = 0; y < PREVIEW_SIZE; ++y)
    for (int x = 0; x < PREVIEW_SIZE; ++x) {
      const uint32_t pa = *reinterpret_cast<const uint32_t *>(a + y * sa + 4 * x) & 0xffffff;
      const uint32_t pb = *reinterpret_cast<const uint32_t *>(b + y * sb + 4 * x) & 0xffffff;
      if (pb == 0x454545u) ++grey;
      for (int shift : {0, 8, 16})
        if (std::abs(int((pa >> shift) & 0xff) - int((pb >> shift) & 0xff)) > 64) {
          ++differing;
          break;
        }
    }
  // Zoomed out, the background shows around the picture.
  EXPECT_GT(grey, PREVIEW_SIZE * 40);
  // The X server may shade the edges of thin lines a little differently.
  EXPECT_LT(differing, PREVIEW_SIZE * PREVIEW_SIZE / 500);

  // On a screen of two pixels a point (GTK 3's window scale) the handler
  // draws at the screen's pixels: each point is the mean of its four.
  int vw = 0, vh = 0;
  preview_view_size(&vw, &vh);
  // Painted before at two pixels a point across only: a frame of the same
  // width and half the height must not be reused.
  cairo_surface_t *wide = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 2 * vw, vh);
  cairo_surface_set_device_scale(wide, 2, 1);
  cairo_t *cr = cairo_create(wide);
  window_frame_paint(cr, &params);
  cairo_destroy(cr);
  cairo_surface_destroy(wide);
  cairo_surface_t *dense = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 2 * vw, 2 * vh);
  cairo_surface_set_device_scale(dense, 2, 2);
  cr = cairo_create(dense);
  window_frame_paint(cr, &params);
  cairo_destroy(cr);
  cairo_surface_flush(dense);
  const unsigned char *d = cairo_image_surface_get_data(dense);
  const int sd = cairo_image_surface_get_stride(dense);
  differing = 0;
  for (int y = 0; y < vh; ++y)
    for (int x = 0; x < vw; ++x)
      for (int c = 0; c < 3; ++c) {
        int sum = 0;
        for (int k = 0; k < 4; ++k) sum += d[(2 * y + k / 2) * sd + 4 * (2 * x + k % 2) + c];
        differing += std::abs(sum / 4 - b[y * sb + 4 * x + c]) > 24;
      }
  EXPECT_LT(differing, vw * vh / 500);
  cairo_surface_destroy(dense);
  cairo_surface_destroy(expected);
  cairo_surface_destroy(shown);
}

TEST_F(PreviewWidget, AsksForTheEventsItHandles) {
  build(image_of(800, 600));
  const GdkEventMask mask = static_cast<GdkEventMask>(gtk_widget_get_events(preview));
  for (GdkEventMask wanted : {GDK_BUTTON_PRESS_MASK, GDK_BUTTON_RELEASE_MASK,
                              GDK_BUTTON_MOTION_MASK, GDK_SCROLL_MASK,
                              GDK_POINTER_MOTION_MASK})
    EXPECT_TRUE(mask & wanted) << wanted;
}

TEST_F(PreviewWidget, ZoomStepsAndButtonSensitivity) {
  build(image_of(800, 600));
  GtkWidget *in = dialog_widgets.zoom_in_button;
  GtkWidget *out = dialog_widgets.zoom_out_button;
  int vw = 0, vh = 0;
  preview_view_size(&vw, &vh);
  const double fit = std::min({vw / 800.0, vh / 600.0, 1.0});
  EXPECT_EQ(preview_zoom_get(), 100);
  EXPECT_TRUE(gtk_widget_get_sensitive(in));  // closer zooms exist
  EXPECT_TRUE(gtk_widget_get_sensitive(out));
  // Beside the buttons: "Fit", else the share of the image's own pixels.
  auto shown = [] { return std::string(gtk_label_get_text(GTK_LABEL(dialog_widgets.zoom_label))); };
  EXPECT_EQ(shown(), "Fit");

  const int expected[] = {75, 50, 25, 25};
  for (int level : expected) {
    gtk_button_clicked(GTK_BUTTON(out));
    EXPECT_EQ(preview_zoom_get(), level);
    EXPECT_EQ(shown(), std::to_string(std::lround(fit * level)) + " %");
  }
  EXPECT_TRUE(gtk_widget_get_sensitive(in));
  EXPECT_FALSE(gtk_widget_get_sensitive(out));

  preview_zoom_in();
  preview_zoom_in();
  EXPECT_EQ(preview_zoom_get(), 75);
  const Point2 corner = to_window(0, 0);
  EXPECT_NEAR(corner.x, vw / 2.0 - fit * 0.75 * 400, 1e-9);
  EXPECT_NEAR(corner.y, vh / 2.0 - fit * 0.75 * 300, 1e-9);
  EXPECT_NEAR(preview_length_to_user(5), 5 / fit / 0.75, 1e-12);

  // Past fitting: the image's own pixels at 100, 200 and 400 %, then no further.
  preview_zoom_in();
  for (double m : {1.0, 2.0, 4.0}) {
    preview_zoom_in();
    EXPECT_DOUBLE_EQ(preview_view_scale(), m);
    EXPECT_DOUBLE_EQ(preview_length_to_user(5), 5 / m);
    EXPECT_EQ(shown(), std::to_string(static_cast<int>(100 * m)) + " %");
  }
  EXPECT_FALSE(gtk_widget_get_sensitive(in));
  EXPECT_TRUE(gtk_widget_get_sensitive(out));
  preview_zoom_in();
  EXPECT_DOUBLE_EQ(preview_view_scale(), 4);
  // At 400 % one image pixel is four window pixels, about the middle of the view.
  const Point2 a = to_window(400, 300), b = to_window(401, 300);
  EXPECT_NEAR(a.x, vw / 2.0, 1e-9);
  EXPECT_NEAR(b.x - a.x, 4, 1e-12);
  for (double m : {2.0, 1.0}) {
    preview_zoom_out();
    EXPECT_DOUBLE_EQ(preview_view_scale(), m);
  }
  preview_zoom_out();
  EXPECT_EQ(preview_zoom_get(), 100);
}

// A small image: fitting never enlarges it, and 400 % of its pixels is the
// closest zoom.
TEST_F(PreviewWidget, ASmallImageZoomsFromItsOwnSizeToFourTimes) {
  build(image_of(16, 16));
  EXPECT_DOUBLE_EQ(preview_view_scale(), 1);
  preview_zoom_in();
  EXPECT_DOUBLE_EQ(preview_view_scale(), 2);
  preview_zoom_in();
  EXPECT_DOUBLE_EQ(preview_view_scale(), 4);
  EXPECT_FALSE(gtk_widget_get_sensitive(dialog_widgets.zoom_in_button));
  int vw = 0, vh = 0;
  preview_view_size(&vw, &vh);
  const Point2 corner = to_window(0, 0);
  EXPECT_DOUBLE_EQ(corner.x, vw / 2.0 - 32);
  EXPECT_DOUBLE_EQ(corner.y, vh / 2.0 - 32);
}

// Closer than fitting, the middle button and the wheel pan, never past the
// work area's edges; where the area fits, the wheel zooms as before.
TEST_F(PreviewWidget, MiddleButtonAndWheelPanWithinTheWorkArea) {
  build(image_of(2000, 1000));
  int vw = 0, vh = 0;
  preview_view_size(&vw, &vh);
  auto scroll = [&](GdkScrollDirection direction, guint state = 0) {
    GdkEvent *event = gdk_event_new(GDK_SCROLL);
    event->scroll.direction = direction;
    event->scroll.state = state;
    event->scroll.x = vw / 2.0;
    event->scroll.y = vh / 2.0;
    send(event);
  };
  double px = 0, py = 0;
  // Fitting: a middle drag moves nothing, the wheel zooms.
  press(1000, 500, 2);
  motion(900, 450);
  release(900, 450, 2);
  preview_pan_get(&px, &py);
  EXPECT_DOUBLE_EQ(px, 1000);
  EXPECT_DOUBLE_EQ(py, 500);
  scroll(GDK_SCROLL_UP);
  EXPECT_DOUBLE_EQ(preview_view_scale(), 0.5);  // 1000 x 500: wider than the view only
  scroll(GDK_SCROLL_UP);  // nothing hidden up or down: the wheel still zooms
  EXPECT_DOUBLE_EQ(preview_view_scale(), 1);  // 2000 x 1000: wider and taller than the view
  preview_zoom_in();  // two window pixels an image pixel: a pan is not its own size on screen

  // Dragging the picture 100 window pixels right and 50 down shows what lay up and to the left.
  // The press lands on the centre handle, which stays where it is.
  ASSERT_DOUBLE_EQ(params.radiation_x, 1000);
  ASSERT_DOUBLE_EQ(params.radiation_y, 500);
  press(1000, 500, 2);
  EXPECT_EQ(preview_cursor_get(), GDK_FLEUR);
  scroll(GDK_SCROLL_DOWN, GDK_CONTROL_MASK);  // the wheel waits for the pan's end
  EXPECT_DOUBLE_EQ(preview_view_scale(), 2);
  motion(1100, 550);
  EXPECT_DOUBLE_EQ(params.radiation_x, 1000);
  release(1100, 550, 2);
  preview_pan_get(&px, &py);
  EXPECT_DOUBLE_EQ(px, 900);
  EXPECT_DOUBLE_EQ(py, 450);
  // The handles keep working where the view now is.
  drag({1000, 500}, {700, 400});
  EXPECT_NEAR(params.radiation_x, 700, 1e-9);
  EXPECT_NEAR(params.radiation_y, 400, 1e-9);

  // The wheel pans by a tenth of the view: down, then sideways with Shift.
  scroll(GDK_SCROLL_DOWN);
  preview_pan_get(&px, &py);
  EXPECT_DOUBLE_EQ(py, 450 + vh / 20.0);
  scroll(GDK_SCROLL_UP, GDK_SHIFT_MASK);
  preview_pan_get(&px, &py);
  EXPECT_DOUBLE_EQ(px, 900 - vw / 20.0);
  EXPECT_DOUBLE_EQ(preview_view_scale(), 2);
  // Far past the corner: the view stops at the work area's edge.
  press(1000, 500, 2);
  motion(1000 + 5000, 500 + 5000);
  release(1000 + 5000, 500 + 5000, 2);
  preview_pan_get(&px, &py);
  EXPECT_DOUBLE_EQ(px, vw / 4.0);
  EXPECT_DOUBLE_EQ(py, vh / 4.0);
  EXPECT_DOUBLE_EQ(to_window(0, 0).x, 0);
  EXPECT_DOUBLE_EQ(to_window(0, 0).y, 0);
  // Ctrl with the wheel zooms even where the area does not fit.
  scroll(GDK_SCROLL_DOWN, GDK_CONTROL_MASK);
  scroll(GDK_SCROLL_DOWN, GDK_CONTROL_MASK);
  EXPECT_DOUBLE_EQ(preview_view_scale(), 0.5);
  scroll(GDK_SCROLL_DOWN, GDK_CONTROL_MASK);
  EXPECT_EQ(preview_zoom_get(), 100);
  preview_pan_get(&px, &py);
  EXPECT_DOUBLE_EQ(px, 1000);  // fitting again: centred
  EXPECT_DOUBLE_EQ(py, 500);
}

TEST_F(PreviewWidget, WheelZoomsOnlyWhileNoButtonIsHeld) {
  build(image_of(800, 600));
  auto scroll = [&](GdkScrollDirection direction) {
    GdkEvent *event = gdk_event_new(GDK_SCROLL);
    event->scroll.direction = direction;
    event->scroll.x = 250;
    event->scroll.y = 250;
    send(event);
  };
  scroll(GDK_SCROLL_DOWN);
  EXPECT_EQ(preview_zoom_get(), 75);
  scroll(GDK_SCROLL_LEFT);
  EXPECT_EQ(preview_zoom_get(), 75);
  press(10, 10);
  scroll(GDK_SCROLL_DOWN);
  scroll(GDK_SCROLL_UP);
  EXPECT_EQ(preview_zoom_get(), 75);
  release(10, 10);
  scroll(GDK_SCROLL_UP);
  EXPECT_EQ(preview_zoom_get(), 100);
}

TEST_F(PreviewWidget, AnyButtonDragsAndAnEditTargetTurnsAPressIntoAStroke) {
  build(image_of(640, 480));
  press(320, 240, 3);  // the centre handle, with the right button
  motion(300, 200);
  release(300, 200);
  EXPECT_DOUBLE_EQ(params.radiation_x, 300);
  EXPECT_DOUBLE_EQ(params.radiation_y, 200);

  freehand_set_edit_target(FREEHAND_RADIATION_IN);
  press(300, 200);
  EXPECT_EQ(preview_drawing(), 1);
  motion(250, 150);
  EXPECT_DOUBLE_EQ(params.radiation_x, 300);  // no handle moves while a stroke runs
  release(250, 150);
  EXPECT_EQ(preview_drawing(), 0);
}

// "+" from a view of the whole area shows where the lines are (the radial
// centre, the band's middle), not the middle of the area; Ctrl with the
// wheel zooms about the pointer.
TEST_F(PreviewWidget, ZoomingInShowsTheLinesAndCtrlWheelKeepsThePointersPoint) {
  build(image_of(2000, 1000));
  int vw = 0, vh = 0;
  preview_view_size(&vw, &vh);
  auto in_view = [&](Point2 p) {
    const Point2 w = to_window(p.x, p.y);
    return w.x >= 0 && w.x <= vw && w.y >= 0 && w.y <= vh;
  };
  set_spin(dialog_widgets.radiation_x_spin, 600);
  set_spin(dialog_widgets.radiation_y_spin, 500);
  set_spin(dialog_widgets.parallel_in_x_spin, 1500);
  set_spin(dialog_widgets.parallel_in_Y_spin, 900);
  set_spin(dialog_widgets.parallel_out_x_spin, 1900);
  set_spin(dialog_widgets.parallel_out_Y_spin, 900);
  for (int area : {AREA_RADIATION, AREA_PARALLEL}) {
    params.area_type = area;
    const Point2 lines = area == AREA_RADIATION ? Point2{600, 500} : Point2{1700, 900};
    for (int step = 0; step < 3; ++step) {
      gtk_button_clicked(GTK_BUTTON(dialog_widgets.zoom_in_button));
      EXPECT_TRUE(in_view(lines)) << "area " << area << ", step " << step;
      // The radial centre can come to the middle (the band's middle lies too near the edge).
      if (area == AREA_RADIATION) {
        EXPECT_NEAR(to_window(lines.x, lines.y).x, vw / 2.0, 1e-9) << step;
      }
    }
    // Panned away from the lines, a step closer keeps the middle where it is.
    preview_pan_to(lines.x > 1000 ? 300 : 1500, 500);
    ASSERT_FALSE(in_view(lines));
    double px = 0, py = 0, qx = 0, qy = 0;
    preview_pan_get(&px, &py);
    preview_zoom_in();
    preview_pan_get(&qx, &qy);
    EXPECT_DOUBLE_EQ(qx, px);
    EXPECT_DOUBLE_EQ(qy, py);
    while (preview_zoom_get() > 100) preview_zoom_out();
  }

  // From 50 % (the area not as high as the view) to 100 %: both axes move.
  preview_zoom_in();
  ASSERT_DOUBLE_EQ(preview_view_scale(), 0.5);
  const Point2 pointer = {vw / 4.0, vh / 2.0 + 40};
  double px = 0, py = 0;
  preview_pan_get(&px, &py);
  const Point2 under = {px + (pointer.x - vw / 2.0) / 0.5, py + (pointer.y - vh / 2.0) / 0.5};
  GdkEvent *event = gdk_event_new(GDK_SCROLL);
  event->scroll.direction = GDK_SCROLL_UP;
  event->scroll.state = GDK_CONTROL_MASK;
  event->scroll.x = pointer.x;
  event->scroll.y = pointer.y;
  send(event);
  EXPECT_DOUBLE_EQ(preview_view_scale(), 1);
  EXPECT_NEAR(to_window(under.x, under.y).x, pointer.x, 1e-9);
  EXPECT_NEAR(to_window(under.x, under.y).y, pointer.y, 1e-9);
}

// The preview's hint is one short line, and it keeps off the lines while
// they are dragged and after, until the pointer has left the preview.
TEST_F(PreviewWidget, TheHintIsShortAndKeepsOffADrag) {
  build(image_of(800, 600));
  gchar *hint = gtk_widget_get_tooltip_text(preview);
  ASSERT_NE(hint, nullptr);
  EXPECT_LE(g_utf8_strlen(hint, -1), 60) << hint;
  EXPECT_EQ(std::strchr(hint, '\n'), nullptr) << hint;
  g_free(hint);
  GtkTooltip *tooltip = GTK_TOOLTIP(g_object_new(GTK_TYPE_TOOLTIP, nullptr));
  auto hint_shows = [&] {
    gboolean shown = FALSE;
    g_signal_emit_by_name(preview, "query-tooltip", 250, 250, FALSE, tooltip, &shown);
    return shown != FALSE;
  };
  EXPECT_TRUE(hint_shows());
  press(400, 300);
  EXPECT_FALSE(hint_shows());
  motion(420, 310);
  EXPECT_FALSE(hint_shows());
  release(420, 310);
  EXPECT_FALSE(hint_shows());
  motion(100, 100);
  EXPECT_FALSE(hint_shows());
  send(gdk_event_new(GDK_LEAVE_NOTIFY));
  EXPECT_TRUE(hint_shows());
  g_object_unref(tooltip);
}

TEST_F(PreviewWidget, DestroyResetsZoomAndDropsTheCentring) {
  build(image_of(800, 600));
  preview_zoom_out();
  gtk_widget_destroy(window);
  window = nullptr;
  EXPECT_EQ(preview_zoom_get(), 100);
  const Point2 corner = to_window(0, 0);  // no picture: no centring translation
  EXPECT_DOUBLE_EQ(corner.x, 0);
  EXPECT_DOUBLE_EQ(corner.y, 0);
}
