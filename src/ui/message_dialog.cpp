#include "message_dialog.h"

namespace {

// Each box keeps its own answer, so a box opened while another one waits
// cannot change the other's answer.
struct MessageState {
  int result;
  bool answered;
  bool destroyed;
};

// Only records the answer and ends the box's loop: the box is destroyed after
// the loop.  Whatever pressed the button (an accessibility client, say) may
// still use it once this handler has returned.
void on_message_response(GtkDialog *, gint response_id, gpointer data) {
  auto *state = static_cast<MessageState *>(data);
  if (state->answered || state->destroyed) return;
  state->result = response_id;
  state->answered = true;
  gtk_main_quit();
}

void on_message_destroy(GtkWidget *, gpointer data) {
  auto *state = static_cast<MessageState *>(data);
  const bool loop_running = !state->answered && !state->destroyed;
  state->destroyed = true;
  if (loop_running) gtk_main_quit();
}

}  // namespace

int message_dialog_run(GtkMessageType type, GtkButtonsType buttons, GtkWindow *parent,
                       const char *text) {
  MessageState state{GTK_RESPONSE_CANCEL, false, false};

  // Shown as it stands, never as a format; bytes that are not UTF-8 (a file
  // name in a system error, say) are shown as replacement characters.
  if (text == nullptr) text = "";
  char *shown = g_utf8_validate(text, -1, nullptr) ? g_strdup(text) : g_utf8_make_valid(text, -1);
  GtkWidget *box =
      gtk_message_dialog_new(parent, GTK_DIALOG_MODAL, type, buttons, "%s", shown);
  g_free(shown);
  g_signal_connect(box, "response", G_CALLBACK(on_message_response), &state);
  g_signal_connect(box, "destroy", G_CALLBACK(on_message_destroy), &state);

  gtk_window_set_title(GTK_WINDOW(box), MESSAGE_TITLE);
  gtk_window_set_position(GTK_WINDOW(box), GTK_WIN_POS_CENTER);
  gtk_window_set_keep_above(GTK_WINDOW(box), TRUE);
  gtk_widget_show(box);
  gtk_main();

  // Answered, or something else ended this loop (the main dialog going away
  // quits the innermost loop): the box must not outlive the state it writes to.
  if (!state.destroyed) {
    g_signal_handlers_disconnect_matched(box, G_SIGNAL_MATCH_DATA, 0, 0, nullptr, nullptr,
                                         &state);
    gtk_widget_destroy(box);
  }
  return state.result;
}
