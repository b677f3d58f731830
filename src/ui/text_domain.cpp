#include "text_domain.h"

#include <libintl.h>

#include <glib.h>

#include "glib_ptr.h"

std::string text_domain_folder(const char *executable, const char *fallback) {
  if (executable && g_path_is_absolute(executable)) {
    GCharPtr dir(g_path_get_dirname(executable));
    GCharPtr folder(g_build_filename(dir.get(), TEXT_DOMAIN_SUBFOLDER, nullptr));
    if (g_file_test(folder.get(), G_FILE_TEST_IS_DIR)) return folder.get();
  }
  return fallback ? fallback : "";
}

void text_domain_bind(const std::string &folder) {
  bindtextdomain(GETTEXT_PACKAGE, folder.c_str());
  bind_textdomain_codeset(GETTEXT_PACKAGE, "UTF-8");
  textdomain(GETTEXT_PACKAGE);
}
