#include "streak_layer.h"

#include <glib.h>

#include "glib_ptr.h"

namespace {

constexpr glong LAYER_NAME_MAX_CHARS = 20;

}  // namespace

char *layer_name_from(const char *name) {
  char *result;
  if (g_utf8_strlen(name, -1) > LAYER_NAME_MAX_CHARS) {
    const char *cut = g_utf8_offset_to_pointer(name, LAYER_NAME_MAX_CHARS);
    GCharPtr head(g_strndup(name, cut - name));
    result = g_strconcat(head.get(), "...", nullptr);
  } else {
    result = g_strdup(name);
  }
  for (char *p = result; *p; ++p)
    if (*p == '\n') *p = '/';
  return result;
}

char *make_layer_name() { return layer_name_from(STREAK_LAYER_NAME); }
