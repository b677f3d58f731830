// An image editor in memory that answers the host calls (fake_gimp.cpp).
#pragma once

#include <array>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "effect_params.h"
#include "host_calls.h"

struct FakeImage {
  ImageKind kind = ImageKind::Rgb;
  int width = 0, height = 0;
  double xres = 72.0, yres = 72.0;
  bool closed = false;
  bool selected = false;
  std::array<int, 4> sel{};  // x1, y1, x2, y2
  int32_t current = NO_ID;
  std::vector<int32_t> top;  // layers at the top level, from the top down
  std::vector<int32_t> paths;  // from the top down
  int32_t selected_path = NO_ID;
};

struct FakeItem {
  int32_t image = NO_ID;
  int32_t parent = NO_ID;
  bool group = false;
  bool drawable = true;  // false: a path
  bool alpha = true;
  bool visible = true;
  bool locked = false;
  bool removed = false;
  bool in_image = true;
  std::string name = "Background";
  bool has_parasite = false;
  std::string parasite;
  int x = 0, y = 0, width = 0, height = 0;
  LayerFormat format = LayerFormat::RGBA;
  std::vector<int32_t> children;
  std::vector<std::vector<double>> strokes;  // a path's, each as x, y pairs
};

struct FakeGimp {
  std::map<int32_t, FakeImage> images;
  std::map<int32_t, FakeItem> items;
  int32_t next_id = 1;
  // Every change to an image (a layer placed or removed, the selection
  // cleared, a name set, an undo group opened) counts one.
  int changes = 0;
  int undo_groups = 0;
  int undo_depth = 0;
  long rows_written = 0;
  std::vector<int32_t> merged;
  std::array<int, 4> saved_selection{};
  std::function<void()> on_write;  // called after each band
  // The pictures asked for: image, x, y, w, h, thumb_w, thumb_h.
  std::vector<std::array<int, 7>> pictures;
  std::vector<int32_t> copies_deleted;
  bool refuse_layers = false;  // GIMP makes neither a new layer nor a copy
  double path_precision = 0;   // asked of the path's flattening
  // The progress bar: shown how often, the last fraction, and whether it is up.
  int progress_shown = 0;
  double progress = 0;
  bool progress_up = false;
  // The last values kept between runs (their pitch stands for the record;
  // 0: none), and what the stand-in dialog was run with.  It sets the pitch
  // to DIALOG_PITCH, as a user would.
  double kept_pitch = 0;
  bool ui_ready = false;
  struct DialogRun {
    EffectParams params;
    int32_t image, drawable;
    bool ui_ready;
  };
  std::vector<DialogRun> dialogs;

  int32_t add_image(ImageKind kind, int width, int height);
  // A layer (or group) the size of the image, at the top of `parent`.
  int32_t add_layer(int32_t image, int32_t parent = NO_ID, bool group = false);
};

extern FakeGimp fake;
constexpr double DIALOG_PITCH = 21;
