// Every control that changes what the preview shows asks for a redraw of it:
// the handler's write alone would leave the old picture on the screen until
// something else happened to redraw it.
#include "dialog_fixture.h"

#include "control_ranges.h"
#include "gimpui_compat.h"
#include "gtk_compat.h"
#include "gtk_test_compat.h"
#include "preview.h"

namespace {

class RedrawOnChange : public PluginDialogTest {
 protected:
  // Shows the dialog and waits (boundedly) until the preview's window is on
  // the screen: only then does GDK collect what is to be redrawn.
  void show() {
    gtk_widget_show_all(dialog);
    GdkWindow *window = gtk_widget_get_window(dialog_widgets.preview_area);
    for (int i = 0; i < 2000 && !(window && gdk_window_is_viewable(window)); ++i) {
      pump_gtk_events();
      g_usleep(5000);
      window = gtk_widget_get_window(dialog_widgets.preview_area);
    }
    ASSERT_TRUE(window && gdk_window_is_viewable(window));
    pump_gtk_events();
    redraw_asked();  // what the first showing asked for
    ASSERT_FALSE(redraw_asked()) << "a redraw asked for with nothing changed";
  }

  // Whether a redraw of the preview is pending; forgets it.
  bool redraw_asked() {
    GdkWindow *window = gtk_widget_get_window(dialog_widgets.preview_area);
#if ZS_GTK3
    cairo_region_t *area = gdk_window_get_update_area(window);
    if (area) cairo_region_destroy(area);
#else
    GdkRegion *area = gdk_window_get_update_area(window);
    if (area) gdk_region_destroy(area);
#endif
    return area != nullptr;
  }

  void select_combo(GtkWidget *combo, int value) {
    gimp_int_combo_box_set_active(GIMP_INT_COMBO_BOX(combo), value);
  }
};

}  // namespace

TEST_F(RedrawOnChange, EverySpinButtonAsksForARedraw) {
  build();
  show();
  for (const SpinRange &range : SPIN_RANGES) {
    SCOPED_TRACE(range.key);
    GtkSpinButton *button = spin(range.key);
    const double now = gtk_spin_button_get_value(button);
    gtk_spin_button_set_value(button, range.rule == IntRule::WavePoints ? (now == 8 ? 12 : 8)
                                      : now == range.min + range.step ? range.min + 2 * range.step
                                                                      : range.min + range.step);
    EXPECT_TRUE(redraw_asked());
  }
}

TEST_F(RedrawOnChange, CombosColourAndAreaTypeAskForARedraw) {
  build();
  show();
  select_combo(dialog_widgets.antialias_combo, 0);
  EXPECT_TRUE(redraw_asked()) << "antialias";
  select_combo(dialog_widgets.pitch_type_combo, 0);
  EXPECT_TRUE(redraw_asked()) << "pitch type";
  select_combo(dialog_widgets.wave_type_combo, 4);
  EXPECT_TRUE(redraw_asked()) << "wave type";
  compat_color_button_set(dialog_widgets.color_button, ColorRGBA{0.5, 0.25, 1, 1});
  EXPECT_TRUE(redraw_asked()) << "colour";
  gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(dialog_widgets.parallel_radio), TRUE);
  EXPECT_TRUE(redraw_asked()) << "area type";
  select_combo(dialog_widgets.unit_combo, 2);
  EXPECT_TRUE(redraw_asked()) << "unit";
}

TEST_F(RedrawOnChange, ResetAsksForARedraw) {
  build();
  show();
  gtk_spin_button_set_value(spin("line_pitch"), 25);
  redraw_asked();
  // Without running the main loop, which would carry the redraw out.
  gtk_dialog_response(GTK_DIALOG(dialog), RESPONSE_RESET);
  EXPECT_TRUE(redraw_asked());
  EXPECT_EQ(live().line_pitch, 10);
}

// The view follows a middle-button pan at every motion, and a zoom step
// redraws at once.
TEST_F(RedrawOnChange, PanAndZoomAskForARedraw) {
  build();
  show();
  for (int i = 0; i < 3; ++i) preview_zoom_in();
  EXPECT_TRUE(redraw_asked()) << "zoom";
  GtkWidget *area = dialog_widgets.preview_area;
  auto send = [area](GdkEvent *event) {
    event->any.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(area)));
    event->any.send_event = TRUE;
    gtk_widget_event(area, event);
    gdk_event_free(event);
  };
  GdkEvent *press = gdk_event_new(GDK_BUTTON_PRESS);
  press->button.x = 100;
  press->button.y = 100;
  press->button.button = 2;
  press->button.time = GDK_CURRENT_TIME;
  press->button.device = test_pointer_device();
  send(press);
  redraw_asked();
  double before_x = 0, before_y = 0;
  preview_pan_get(&before_x, &before_y);
  GdkEvent *motion = gdk_event_new(GDK_MOTION_NOTIFY);
  motion->motion.x = 120;
  motion->motion.y = 110;
  motion->motion.state = GDK_BUTTON2_MASK;
  motion->motion.time = GDK_CURRENT_TIME;
  motion->motion.device = test_pointer_device();
  send(motion);
  double x = 0, y = 0;
  preview_pan_get(&x, &y);
  ASSERT_NE(x, before_x) << "the pan moved";
  EXPECT_TRUE(redraw_asked()) << "pan";
  GdkEvent *release = gdk_event_new(GDK_BUTTON_RELEASE);
  release->button.x = 120;
  release->button.y = 110;
  release->button.button = 2;
  release->button.state = GDK_BUTTON2_MASK;
  release->button.time = GDK_CURRENT_TIME;
  release->button.device = test_pointer_device();
  send(release);
}
