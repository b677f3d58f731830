// The real main dialog built in-process on a fixed image, with a stand-in
// for what GIMP serves (picture, layer output, the active layer's parasite).
#pragma once

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <memory>
#include <string>
#include <vector>

#include "dialog.h"
#include "dialog_widgets.h"
#include "effect_params.h"
#include "host_services.h"
#include "image_services.h"

// What the stand-in host was asked and what it answers.
struct StandInHost {
  struct RenderCall {
    EditMode edit_mode;
    int32_t drawable_id;
    EffectParams params;
  };
  std::vector<RenderCall> renders;
  // The active layer's parasite text; none when has_parasite is false.
  bool has_parasite = false;
  std::string parasite;
  int32_t active_layer = 7;
  // What target_state answers, and how often the parasite was asked for.
  TargetState target = TargetState::Ready;
  int parasite_requests = 0;
  // The extent of the active layer, and the areas the preview asked pictures of.
  int layer_x = 600, layer_y = 1500, layer_width = 120, layer_height = 80;
  struct Area {
    int x, y, w, h;
  };
  std::vector<Area> thumbnails;
  // Every picture asked for, in order: -1 for every layer, else the layer left out.
  std::vector<int32_t> pictures;
};
// The stand-in pictures: grey with every layer, dark without one.
constexpr guint32 PICTURE_ALL_RGBA = 0x808080ff;
constexpr guint32 PICTURE_WITHOUT_RGBA = 0x204060ff;
// The one stand-in, reset by every PluginDialogTest.
extern StandInHost stand_in_host;

class PluginDialogTest : public ::testing::Test {
 protected:
  // Builds the dialog for the defaults of `image`, after `adjust` has had
  // its say on the record (as a stored block from an earlier run would).
  void build(const FixedImage &image = FixedImage{}, void (*adjust)(EffectParams *) = nullptr);
  void TearDown() override;

  EffectParams &live() { return *params; }
  GtkSpinButton *spin(const char *key);
  // Neither destroyed nor ended by Create or Close.
  bool dialog_open() const;
  void respond(int response_id);

  StandInHost &host = stand_in_host;
  std::unique_ptr<EffectParams> params;
  GtkWidget *dialog = nullptr;

 private:
  HostServices saved_host_{};
};

void pump_gtk_events();

// A byte-for-byte copy (padding included), for comparisons with same_bytes.
EffectParams snapshot(const EffectParams &params);
// The record with one field at `offset` (of `size` bytes) taken from `from`.
EffectParams with_field_from(const EffectParams &base, const EffectParams &from,
                             std::size_t offset, std::size_t size);
bool same_bytes(const EffectParams &a, const EffectParams &b);
