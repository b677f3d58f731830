// Entry of the in-process GUI tests: GTK on the test display, a fixed image,
// and the unit database that a running GIMP would otherwise serve.  Every
// GLib or GTK warning or critical fails the test that caused it.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cstdio>
#include <cstring>

#include "builtin_units.h"
#include "image_services.h"

namespace {

// Writes every message as GLib would, and fails the running test on a
// warning, a critical or an error.
GLogWriterOutput fail_on_warnings(GLogLevelFlags level, const GLogField *fields, gsize n_fields,
                                  gpointer) {
  const GLogWriterOutput written = g_log_writer_default(level, fields, n_fields, nullptr);
  if (level & (G_LOG_LEVEL_ERROR | G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING)) {
    const char *domain = "", *message = "";
    for (gsize i = 0; i < n_fields; ++i) {
      if (std::strcmp(fields[i].key, "GLIB_DOMAIN") == 0 && fields[i].length < 0)
        domain = static_cast<const char *>(fields[i].value);
      if (std::strcmp(fields[i].key, "MESSAGE") == 0 && fields[i].length < 0)
        message = static_cast<const char *>(fields[i].value);
    }
    ADD_FAILURE() << "GLib message of level " << (level & G_LOG_LEVEL_MASK) << " from '" << domain
                  << "': " << message;
  }
  return written;
}

}  // namespace

int main(int argc, char **argv) {
  ::testing::InitGoogleTest(&argc, argv);
  g_log_set_writer_func(fail_on_warnings, nullptr, nullptr);
  // No accessibility bus on the test display: GTK 3 would warn that it has none.
  g_setenv("NO_AT_BRIDGE", "1", TRUE);
  if (!gtk_init_check(&argc, &argv)) {
    std::fprintf(stderr, "test_gui: no display (run under Xvfb, as scripts/test does)\n");
    return 1;
  }
  builtin_units_install();
  image_services_install_fixed(FixedImage{});
  return RUN_ALL_TESTS();
}
