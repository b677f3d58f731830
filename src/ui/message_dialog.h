// The modal message box used for questions and errors.
#pragma once

#include <gtk/gtk.h>

// The title of every box: the filter's name, as GIMP titles its own.
constexpr const char *MESSAGE_TITLE = "Zipstroke";

// Shows `text` literally and returns the response id (GTK_RESPONSE_CANCEL when
// the box is closed otherwise).
int message_dialog_run(GtkMessageType type, GtkButtonsType buttons, GtkWindow *parent,
                       const char *text);
