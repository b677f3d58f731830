// Buttons pressed the way an accessibility client presses them: the click,
// then "leave" on the same button once the click has returned.  Neither the
// message boxes nor the main dialog may be gone by then.
#include "dialog_fixture.h"

#include "message_dialog.h"
#include "responses.h"

namespace {

struct Press {
  bool destroyed_during_click = false;
  bool pressed = false;
};

void on_button_destroyed(GtkWidget *, gpointer flag) { *static_cast<bool *>(flag) = true; }

// Clicks the button of `response_id`, then emits "leave" on it unless the
// click has destroyed it (which is what the test catches).
void press_like_an_accessibility_client(GtkWidget *dialog, int response_id, Press *press) {
  GtkWidget *button = gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), response_id);
  ASSERT_NE(button, nullptr) << response_id;
  g_object_ref(button);
  bool destroyed = false;
  const gulong handler =
      g_signal_connect(button, "destroy", G_CALLBACK(on_button_destroyed), &destroyed);
  gtk_button_clicked(GTK_BUTTON(button));
  press->destroyed_during_click = destroyed;
  press->pressed = true;
  if (!destroyed) {
    g_signal_emit_by_name(button, "leave");
    g_signal_handler_disconnect(button, handler);
  }
  g_object_unref(button);
}

struct BoxPress {
  int response;
  Press press;
};

gboolean press_visible_box(gpointer data) {
  auto *box_press = static_cast<BoxPress *>(data);
  GList *windows = gtk_window_list_toplevels();
  for (GList *l = windows; l; l = l->next) {
    GtkWidget *window = GTK_WIDGET(l->data);
    if (GTK_IS_MESSAGE_DIALOG(window) && gtk_widget_get_visible(window)) {
      press_like_an_accessibility_client(window, box_press->response, &box_press->press);
      break;
    }
  }
  g_list_free(windows);
  return box_press->press.pressed ? FALSE : TRUE;
}

TEST(DialogEnd, AMessageBoxOutlivesTheClickOnItsButton) {
  const struct {
    GtkButtonsType buttons;
    int response;
  } cases[] = {{GTK_BUTTONS_OK_CANCEL, GTK_RESPONSE_OK},
               {GTK_BUTTONS_OK_CANCEL, GTK_RESPONSE_CANCEL},
               {GTK_BUTTONS_CLOSE, GTK_RESPONSE_CLOSE}};
  for (const auto &c : cases) {
    BoxPress box_press{c.response, {}};
    const guint source = g_timeout_add(20, press_visible_box, &box_press);
    const int answer = message_dialog_run(GTK_MESSAGE_QUESTION, c.buttons, nullptr, "Sure?");
    if (!box_press.press.pressed) g_source_remove(source);
    EXPECT_TRUE(box_press.press.pressed);
    EXPECT_FALSE(box_press.press.destroyed_during_click) << c.response;
    EXPECT_EQ(answer, c.response);
    // The box is gone once the run has returned.
    pump_gtk_events();
    GList *windows = gtk_window_list_toplevels();
    for (GList *l = windows; l; l = l->next) EXPECT_FALSE(GTK_IS_MESSAGE_DIALOG(l->data));
    g_list_free(windows);
  }
}

using DialogEndTest = PluginDialogTest;

TEST_F(DialogEndTest, CreateAndCloseEndTheDialogWithoutDestroyingItInTheirHandler) {
  for (int response : {RESPONSE_CREATE, RESPONSE_CLOSE}) {
    build();
    Press press;
    press_like_an_accessibility_client(dialog, response, &press);
    EXPECT_FALSE(press.destroyed_during_click) << response;
    EXPECT_TRUE(responses_dialog_ended()) << response;
    EXPECT_EQ(host.renders.size(), response == RESPONSE_CREATE ? 1u : 0u);
    EXPECT_GT(live().window_width, 100);
    // Whoever runs the dialog destroys it now, without waiting for anything.
    dialog_run(dialog);
    EXPECT_EQ(dialog, nullptr);
    TearDown();
  }
}

TEST_F(DialogEndTest, RunningTheDialogEndsAtCreateAndAtTheWindowManagersClose) {
  build();
  g_idle_add([](gpointer d) -> gboolean {
    gtk_button_clicked(GTK_BUTTON(
        gtk_dialog_get_widget_for_response(GTK_DIALOG(d), RESPONSE_CREATE)));
    return FALSE;
  }, dialog);
  dialog_run(dialog);
  EXPECT_EQ(dialog, nullptr);
  EXPECT_EQ(host.renders.size(), 1u);
  TearDown();

  // Destroyed from outside (the window manager's close): the run ends too.
  build();
  g_idle_add([](gpointer d) -> gboolean {
    gtk_widget_destroy(GTK_WIDGET(d));
    return FALSE;
  }, dialog);
  dialog_run(dialog);
  EXPECT_EQ(dialog, nullptr);
  EXPECT_TRUE(host.renders.empty());
}

TEST_F(DialogEndTest, ARunOnAnImageMakesANewLayerOnThatImagesDrawable) {
  build();
  gtk_widget_destroy(dialog);
  pump_gtk_events();
  // Left over from an edit of another layer.
  live().edit_mode = EditMode::Replace;
  live().drawable_id = 3;
  g_idle_add([](gpointer) -> gboolean {
    gtk_dialog_response(GTK_DIALOG(dialog_widgets.dialog), RESPONSE_CREATE);
    if (!responses_dialog_ended()) gtk_widget_destroy(dialog_widgets.dialog);  // no hang
    return FALSE;
  }, nullptr);
  dialog_run_on_image(params.get(), 4, 9);
  ASSERT_EQ(host.renders.size(), 1u);
  EXPECT_EQ(host.renders[0].edit_mode, EditMode::Create);
  EXPECT_EQ(host.renders[0].drawable_id, 9);
  EXPECT_EQ(host.renders[0].params.image_id, 4);
}

}  // namespace
