#include "message_dialog.h"

namespace {

void on_message_response(GtkDialog *dialog, gint response_id, gpointer user_data) {
  *static_cast<int *>(user_data) = response_id;
  gtk_widget_destroy(GTK_WIDGET(dialog));
}

void on_message_destroy(GtkWidget *, gpointer) { gtk_main_quit(); }

}  // namespace

int message_dialog_run(GtkMessageType type, GtkButtonsType buttons, GtkWindow *parent,
                       const char *text) {
  // Each box keeps its own result, so a box opened while another one waits
  // cannot change the other's answer.
  int result = GTK_RESPONSE_CANCEL;

  // Shown as it stands, never as a format; bytes that are not UTF-8 (a file
  // name in a system error, say) are shown as replacement characters.
  if (text == nullptr) text = "";
  char *shown = g_utf8_validate(text, -1, nullptr) ? g_strdup(text) : g_utf8_make_valid(text, -1);
  GtkWidget *box =
      gtk_message_dialog_new(parent, GTK_DIALOG_MODAL, type, buttons, "%s", shown);
  g_free(shown);
  g_signal_connect(box, "response", G_CALLBACK(on_message_response), &result);
  g_signal_connect(box, "destroy", G_CALLBACK(on_message_destroy), nullptr);

  gtk_window_set_position(GTK_WINDOW(box), GTK_WIN_POS_CENTER);
  gtk_window_set_keep_above(GTK_WINDOW(box), TRUE);
  gtk_widget_show(box);
  gtk_main();
  return result;
}
