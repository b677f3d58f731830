#include "script_settings.h"

#include <memory>

#include "glib_ptr.h"
#include "settings_text.h"

G_DEFINE_QUARK(zipstroke-script-settings-error-quark, script_settings_error)

namespace {

bool blank(const char *text, gsize length) {
  for (gsize i = 0; i < length; ++i)
    if (!g_ascii_isspace(text[i])) return false;
  return true;
}

}  // namespace

bool script_settings_apply(EffectParams *params, const char *text, gsize length, GError **error) {
  if (text == nullptr || blank(text, length)) {
    g_set_error_literal(error, SCRIPT_SETTINGS_ERROR, SCRIPT_SETTINGS_EMPTY,
                        "the settings text is empty");
    return false;
  }
  KeyFilePtr key_file(g_key_file_new());
  if (!g_key_file_load_from_data(key_file.get(), text, length, G_KEY_FILE_NONE, error))
    return false;
  if (!g_key_file_has_group(key_file.get(), SETTINGS_GROUP)) {
    g_set_error(error, SCRIPT_SETTINGS_ERROR, SCRIPT_SETTINGS_NO_GROUP,
                "the settings text has no [%s] group", SETTINGS_GROUP);
    return false;
  }
  // Four outlines of 1000 samples: off the stack.
  auto parsed = std::make_unique<EffectParams>(settings_parse_key_file(key_file.get()));
  settings_apply_parsed(params, parsed.get());
  return true;
}
