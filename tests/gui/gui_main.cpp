// Entry of the in-process GUI tests: GTK on the test display, a fixed image.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include "image_services.h"

int main(int argc, char **argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (!gtk_init_check(&argc, &argv)) {
    fprintf(stderr, "test_gui: no display (run under Xvfb, as scripts/test does)\n");
    return 1;
  }
  image_services_install_fixed(FixedImage{});
  return RUN_ALL_TESTS();
}
