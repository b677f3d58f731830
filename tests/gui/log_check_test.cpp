// The GUI tests fail on any warning or critical GLib, GTK or GIMP's widget
// library reports, under both toolkits.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>
#include <gtk/gtk.h>

namespace {

TEST(LogCheck, AWarningOrACriticalFailsTheTest) {
  EXPECT_NONFATAL_FAILURE(g_warning("deliberate warning of the log check"),
                          "deliberate warning of the log check");
  // A failed precondition inside GTK reports a critical.
  EXPECT_NONFATAL_FAILURE(gtk_widget_show(nullptr), "GTK_IS_WIDGET");
}

TEST(LogCheck, InformationDoesNotFail) {
  g_message("a message of the log check");
  g_debug("a debug line of the log check");
}

}  // namespace
