// A dialog closed in the middle of a drag or a pan (a key, the window
// manager) leaves nothing of it to the next dialog of the same process: the
// wheel zooms again and a motion without a button only hovers.
#include "preview_fixture.h"

namespace {

class DialogReopen : public PreviewHarness {
 protected:
  void close_dialog() {
    gtk_widget_destroy(window);
    window = nullptr;
    preview = nullptr;
    dialog_widgets = DialogWidgets{};
    pump();
  }
  void scroll(GdkScrollDirection direction) {
    GdkEvent *event = gdk_event_new(GDK_SCROLL);
    event->scroll.direction = direction;
    event->scroll.x = 250;
    event->scroll.y = 250;
    send(event);
  }
  void hover(double x, double y) {
    const Point2 w = to_window(x, y);
    GdkEvent *event = gdk_event_new(GDK_MOTION_NOTIFY);
    event->motion.x = w.x;
    event->motion.y = w.y;
    event->motion.time = GDK_CURRENT_TIME;
    send(event);
  }
  static FixedImage image(int w, int h) {
    FixedImage i;
    i.width = w;
    i.height = h;
    return i;
  }
};

}  // namespace

TEST_F(DialogReopen, AButtonHeldAtTheCloseIsNotHeldInTheNextDialog) {
  build(image(800, 600));
  press(10, 10);  // a drag in progress
  close_dialog();

  build(image(800, 600));
  scroll(GDK_SCROLL_DOWN);  // with no button held the wheel zooms out
  EXPECT_EQ(preview_zoom_get(), 75);
}

TEST_F(DialogReopen, APanInProgressAtTheCloseDoesNotPanTheNextDialog) {
  build(image(2000, 1000));
  scroll(GDK_SCROLL_UP);
  scroll(GDK_SCROLL_UP);  // closer than fitting: the middle button pans
  ASSERT_GT(preview_view_scale(), 0.5);
  press(1000, 500, 2);
  close_dialog();

  build(image(2000, 1000));
  scroll(GDK_SCROLL_UP);
  scroll(GDK_SCROLL_UP);
  double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  preview_pan_get(&x0, &y0);
  hover(900, 450);  // a motion without a button: only the cursor may change
  preview_pan_get(&x1, &y1);
  EXPECT_DOUBLE_EQ(x1, x0);
  EXPECT_DOUBLE_EQ(y1, y0);
  hover(params.radiation_x, params.radiation_y);
  EXPECT_EQ(cursor_type(), GDK_FLEUR);  // the centre handle's move cursor, on the new window
}
