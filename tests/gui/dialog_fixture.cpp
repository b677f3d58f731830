#include "dialog_fixture.h"

#include <cstring>

#include "responses.h"
#include "unit_change.h"

StandInHost stand_in_host;

namespace {

GdkPixbuf *plain_picture(int thumb_w, int thumb_h, guint32 rgba) {
  if (thumb_w <= 0 || thumb_h <= 0) return nullptr;
  GdkPixbuf *pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, thumb_w, thumb_h);
  gdk_pixbuf_fill(pixbuf, rgba);
  return pixbuf;
}

GdkPixbuf *grey_thumbnail(int32_t, int x, int y, int w, int h, int thumb_w, int thumb_h) {
  stand_in_host.thumbnails.push_back({x, y, w, h});
  stand_in_host.pictures.push_back(-1);
  return plain_picture(thumb_w, thumb_h, PICTURE_ALL_RGBA);
}

GdkPixbuf *thumbnail_without(int32_t, int32_t layer, int x, int y, int w, int h, int thumb_w,
                             int thumb_h) {
  stand_in_host.thumbnails.push_back({x, y, w, h});
  stand_in_host.pictures.push_back(layer);
  return plain_picture(thumb_w, thumb_h, PICTURE_WITHOUT_RGBA);
}

LayerResult record_render(const EffectParams *params) {
  stand_in_host.renders.push_back({params->edit_mode, params->drawable_id, *params});
  return {LayerStatus::Written, params->edit_mode == EditMode::Replace ? params->drawable_id : 99};
}

char *stored_parasite(int32_t, gsize *length, int32_t *layer_id) {
  ++stand_in_host.parasite_requests;
  *length = 0;
  *layer_id = -1;
  if (!stand_in_host.has_parasite) return nullptr;
  *length = stand_in_host.parasite.size();
  *layer_id = stand_in_host.active_layer;
  char *text = static_cast<char *>(g_malloc(*length + 1));
  std::memcpy(text, stand_in_host.parasite.data(), *length);
  text[*length] = '\0';
  return text;
}

TargetState stand_in_target(const EffectParams *) { return stand_in_host.target; }

bool stand_in_layer_extent(int32_t layer_id, int *x, int *y, int *width, int *height) {
  if (layer_id != stand_in_host.active_layer) return false;
  *x = stand_in_host.layer_x;
  *y = stand_in_host.layer_y;
  *width = stand_in_host.layer_width;
  *height = stand_in_host.layer_height;
  return true;
}

void forget_dialog(GtkWidget *, gpointer slot) { *static_cast<GtkWidget **>(slot) = nullptr; }

}  // namespace

void pump_gtk_events() {
  while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
}

void PluginDialogTest::build(const FixedImage &image, void (*adjust)(EffectParams *)) {
  stand_in_host = StandInHost{};
  saved_host_ = host_services();
  host_services_install(HostServices{grey_thumbnail, record_render, stored_parasite, stand_in_target,
                                     stand_in_layer_extent, thumbnail_without, nullptr});
  image_services_install_fixed(image);
  params = std::make_unique<EffectParams>();
  std::memset(params.get(), 0, sizeof(EffectParams));
  effect_params_init_run_fields(params.get(), 1, 2);
  effect_params_set_defaults(params.get());
  if (adjust) adjust(params.get());
  dialog = dialog_build(params.get());
  ASSERT_NE(dialog, nullptr);
  g_signal_connect(dialog, "destroy", G_CALLBACK(forget_dialog), &dialog);
  pump_gtk_events();
}

void PluginDialogTest::TearDown() {
  if (dialog) gtk_widget_destroy(dialog);
  dialog = nullptr;
  pump_gtk_events();
  if (saved_host_.render_to_layer) host_services_install(saved_host_);
  image_services_install_fixed(FixedImage{});
  current_unit_set(0);
}

bool PluginDialogTest::dialog_open() const {
  return dialog != nullptr && !responses_dialog_ended();
}

GtkSpinButton *PluginDialogTest::spin(const char *key) {
  GtkWidget *widget = dialog_spin_for_key(key);
  EXPECT_NE(widget, nullptr) << key;
  return GTK_SPIN_BUTTON(widget);
}

void PluginDialogTest::respond(int response_id) {
  ASSERT_NE(dialog, nullptr);
  gtk_dialog_response(GTK_DIALOG(dialog), response_id);
  pump_gtk_events();
}

EffectParams with_field_from(const EffectParams &base, const EffectParams &from,
                             std::size_t offset, std::size_t size) {
  EffectParams result = snapshot(base);
  std::memcpy(reinterpret_cast<char *>(&result) + offset,
              reinterpret_cast<const char *>(&from) + offset, size);
  return result;
}

EffectParams snapshot(const EffectParams &params) {
  EffectParams copy;
  std::memcpy(&copy, &params, sizeof copy);  // padding included
  return copy;
}

bool same_bytes(const EffectParams &a, const EffectParams &b) {
  return std::memcmp(&a, &b, sizeof(EffectParams)) == 0;
}
