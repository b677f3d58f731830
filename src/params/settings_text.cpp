#include "settings_text.h"

GKeyFile *settings_to_key_file(const EffectParams *) { return g_key_file_new(); }
EffectParams settings_parse_key_file(GKeyFile *) { return EffectParams{}; }
void settings_apply_parsed(EffectParams *, const EffectParams *) {}
char *settings_to_text(const EffectParams *params, gsize *length) {
  GKeyFile *kf = settings_to_key_file(params);
  char *text = g_key_file_to_data(kf, length, nullptr);
  g_key_file_free(kf);
  return text;
}
