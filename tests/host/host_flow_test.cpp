// The host flow against an image editor in memory: what it refuses, where the
// layer goes, and that every path leaves one whole undo step and the user's
// selection as it was.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "effect_params.h"
#include "fake_gimp.h"
#include "glib_ptr.h"
#include "host_services.h"
#include "image_services.h"
#include "layer_output.h"
#include "plugin_run.h"
#include "plugin_services.h"
#include "settings_text.h"
#include "streak_layer.h"

namespace {

class HostFlow : public ::testing::Test {
 public:
  void SetUp() override {
    fake = FakeGimp{};
    plugin_services_install();
    image = fake.add_image(ImageKind::Rgb, 200, 100);
    background = fake.add_layer(image);
    group = fake.add_layer(image, NO_ID, true);
    current = fake.add_layer(image, group);
    fake.images[image].current = current;
  }

  // A record of the image's defaults, to create or to draw `layer` anew.
  EffectParams record(EditMode mode = EditMode::Create, int32_t layer = NO_ID) {
    EffectParams p{};
    effect_params_init_run_fields(&p, image, layer);
    effect_params_set_defaults(&p);
    p.edit_mode = mode;
    return p;
  }

  int position(int32_t id) { return host_item_position(image, id); }

  int32_t image = NO_ID, background = NO_ID, group = NO_ID, current = NO_ID;
};

TEST_F(HostFlow, RefusalsChangeNothing) {
  const struct {
    const char *what;
    std::function<EffectParams(HostFlow *)> setup;
    LayerStatus status;
    size_t lines;  // logged; the caller speaks of a closed or indexed image
  } cases[] = {
      {"image closed", [](HostFlow *t) { fake.images[t->image].closed = true; return t->record(); },
       LayerStatus::Failed, 0},
      {"indexed image",
       [](HostFlow *t) { fake.images[t->image].kind = ImageKind::Other; return t->record(); },
       LayerStatus::Unsupported, 0},
      {"new layer's group locked",
       [](HostFlow *t) { fake.items[t->group].locked = true; return t->record(); },
       LayerStatus::Failed, 1},
      {"edited layer locked",
       [](HostFlow *t) {
         fake.items[t->current].locked = true;
         return t->record(EditMode::Replace, t->current);
       },
       LayerStatus::Failed, 1},
      {"edited layer deleted",
       [](HostFlow *t) {
         host_layer_remove(t->image, t->current);
         fake.changes = 0;
         return t->record(EditMode::Replace, t->current);
       },
       LayerStatus::Failed, 1},
      {"edited layer a group",
       [](HostFlow *t) { return t->record(EditMode::Replace, t->group); }, LayerStatus::Failed, 1},
      {"edited layer of another image",
       [](HostFlow *t) {
         const int32_t other = fake.add_image(ImageKind::Rgb, 10, 10);
         return t->record(EditMode::Replace, fake.add_layer(other));
       },
       LayerStatus::Failed, 1},
      {"no new layer made", [](HostFlow *t) { fake.refuse_layers = true; return t->record(); },
       LayerStatus::Failed, 1},
      {"no copy made",
       [](HostFlow *t) {
         fake.refuse_layers = true;
         return t->record(EditMode::Replace, t->current);
       },
       LayerStatus::Failed, 1},
  };
  std::vector<std::string> said;
  const GLogFunc saved = g_log_set_default_handler(
      [](const gchar *, GLogLevelFlags, const gchar *text, gpointer to) {
        static_cast<std::vector<std::string> *>(to)->push_back(text);
      },
      &said);
  for (const auto &c : cases) {
    SetUp();
    said.clear();
    const EffectParams p = c.setup(this);
    const std::vector<int32_t> top = fake.images[image].top, inside = fake.items[group].children;
    EXPECT_EQ(draw_streak_layer(&p).status, c.status) << c.what;
    EXPECT_EQ(fake.changes, 0) << c.what;
    EXPECT_EQ(fake.undo_groups, 0) << c.what;
    EXPECT_EQ(fake.images[image].top, top) << c.what;
    EXPECT_EQ(fake.items[group].children, inside) << c.what;
    EXPECT_EQ(said.size(), c.lines) << c.what;
  }
  g_log_set_default_handler(saved, nullptr);
}

TEST_F(HostFlow, CreatePutsTheLayerAboveTheCurrentOneOverTheSelection) {
  const struct {
    bool current_is_group;
    std::array<int, 4> sel;
  } cases[] = {{false, {40, 30, 140, 80}}, {true, {40, 30, 140, 80}}, {false, {7, 8, 8, 9}}};
  for (const auto &c : cases) {
    SetUp();
    if (c.current_is_group) fake.images[image].current = group;
    fake.images[image].selected = true;
    fake.images[image].sel = c.sel;
    const EffectParams p = record();
    const LayerResult result = draw_streak_layer(&p);
    ASSERT_EQ(result.status, LayerStatus::Written);
    const FakeItem &made = fake.items[result.layer_id];
    EXPECT_EQ(made.parent, group);
    // Directly above the current layer, or at the top of the current group.
    EXPECT_EQ(position(result.layer_id), c.current_is_group ? 0 : position(current) - 1);
    EXPECT_EQ(made.name, STREAK_LAYER_NAME);
    EXPECT_EQ((std::array<int, 4>{made.x, made.y, made.width, made.height}),
              (std::array<int, 4>{c.sel[0], c.sel[1], c.sel[2] - c.sel[0], c.sel[3] - c.sel[1]}));
    EXPECT_EQ(fake.rows_written, c.sel[3] - c.sel[1]);
    EXPECT_EQ(fake.merged, std::vector<int32_t>{result.layer_id});
    gsize length = 0;
    GCharPtr text(settings_to_text(&p, &length));
    EXPECT_EQ(made.parasite, std::string(text.get(), length));
    EXPECT_EQ(fake.images[image].current, result.layer_id);
    EXPECT_TRUE(fake.images[image].selected);
    EXPECT_EQ(fake.images[image].sel, c.sel);
    EXPECT_EQ(fake.undo_groups, 1);
    EXPECT_EQ(fake.undo_depth, 0);
  }
}

TEST_F(HostFlow, ReplaceDrawsACopyInTheEditedLayersPlace) {
  FakeItem &edited = fake.items[current];
  edited.x = 5, edited.y = 6, edited.width = 30, edited.height = 20;
  edited.name = "renamed";
  edited.alpha = false;  // flattened since it was drawn
  const int32_t below = fake.add_layer(image, group);
  std::swap(fake.items[group].children[0], fake.items[group].children[1]);  // edited on top
  fake.images[image].selected = true;
  fake.images[image].sel = {0, 0, 3, 3};  // covers none of the layer
  const EffectParams p = record(EditMode::Replace, current);
  const int at = position(current);
  const LayerResult result = draw_streak_layer(&p);
  ASSERT_EQ(result.status, LayerStatus::Written);
  EXPECT_TRUE(fake.items[current].removed);
  EXPECT_EQ(fake.items[group].children, (std::vector<int32_t>{result.layer_id, below}));
  EXPECT_EQ(position(result.layer_id), at);
  const FakeItem &made = fake.items[result.layer_id];
  EXPECT_EQ((std::array<int, 4>{made.x, made.y, made.width, made.height}),
            (std::array<int, 4>{5, 6, 30, 20}));
  EXPECT_EQ(made.name, STREAK_LAYER_NAME);
  EXPECT_EQ(fake.rows_written, 20);
  EXPECT_EQ(fake.images[image].sel, (std::array<int, 4>{0, 0, 3, 3}));
  EXPECT_EQ(fake.undo_depth, 0);
}

// A layer of a million pixels or more shows how far it has come, up to the end.
TEST_F(HostFlow, ProgressShowsFromAMillionPixels) {
  for (const int side : {1023, 1024}) {
    SetUp();
    image = fake.add_image(ImageKind::Rgb, side, side);
    fake.add_layer(image);
    EffectParams p = record();
    p.line_pitch = 300;
    ASSERT_EQ(draw_streak_layer(&p).status, LayerStatus::Written);
    EXPECT_EQ(fake.progress_shown, side == 1024 ? 1 : 0);
    EXPECT_EQ(fake.progress, side == 1024 ? 1.0 : 0.0);
    EXPECT_FALSE(fake.progress_up);
  }
}

// Whatever goes while the bands are written, the undo step closes and no half
// layer stays; an edited layer deleted meanwhile is not removed twice.
TEST_F(HostFlow, ALayerGoneWhileDrawing) {
  const struct {
    const char *what;
    EditMode mode;
    bool delete_edited;  // otherwise the layer being drawn
    LayerStatus status;
  } cases[] = {
      {"new layer deleted", EditMode::Create, false, LayerStatus::Failed},
      {"copy deleted", EditMode::Replace, false, LayerStatus::Failed},
      {"edited layer deleted", EditMode::Replace, true, LayerStatus::Written},
  };
  for (const auto &c : cases) {
    SetUp();
    const EffectParams p = record(c.mode, c.mode == EditMode::Replace ? current : NO_ID);
    fake.on_write = [&] {
      fake.on_write = nullptr;
      // The layer drawn (new or copy) went in directly above the current one.
      host_layer_remove(image, c.delete_edited ? current : fake.items[group].children[0]);
    };
    EXPECT_EQ(draw_streak_layer(&p).status, c.status) << c.what;
    EXPECT_EQ(fake.undo_depth, 0) << c.what;
    EXPECT_EQ(fake.merged.size(), c.status == LayerStatus::Written ? 1u : 0u) << c.what;
    EXPECT_EQ(fake.items[group].children.size(), 1u) << c.what;
  }
}

TEST_F(HostFlow, TheSettingsCallSaysWhyItRefuses) {
  const int32_t other = fake.add_image(ImageKind::Rgb, 10, 10);
  const int32_t foreign = fake.add_layer(other);
  const int32_t path = fake.add_layer(image);
  fake.items[path].drawable = false;
  const struct {
    int32_t image, drawable;
    const char *text;
    bool replace;
    const char *why;
  } cases[] = {
      {-1, current, "[zipstroke]\n", false, "the image does not exist"},
      {image, 12345, "[zipstroke]\n", false, "the drawable does not exist"},
      {image, path, "[zipstroke]\n", false, "the drawable does not exist"},
      {image, foreign, "[zipstroke]\n", false, "does not belong to the image"},
      {image, current, "[zipstroke]\n", true, "replace needs a streak layer"},
      {image, group, "[zipstroke]\n", true, "replace needs a streak layer"},
      {image, current, "", false, "unreadable settings text"},
      {image, current, nullptr, false, "unreadable settings text"},
  };
  for (const auto &c : cases) {
    const SettingsCallResult result = run_settings_call(c.image, c.drawable, c.text, c.replace);
    EXPECT_EQ(result.status, CallStatus::CallingError) << c.why;
    EXPECT_NE(result.message.find(c.why), std::string::npos) << result.message;
    EXPECT_EQ(fake.changes, 0) << c.why;
  }
  fake.images[image].kind = ImageKind::Other;
  EXPECT_NE(run_settings_call(image, current, "[zipstroke]\n", false).message.find("indexed"),
            std::string::npos);
  fake.images[image].kind = ImageKind::Rgb;

  // Drawn but not made: a failure, not a success without a layer.
  fake.refuse_layers = true;
  EXPECT_EQ(run_settings_call(image, current, "[zipstroke]\n", false).status,
            CallStatus::ExecutionError);
  fake.refuse_layers = false;

  image_services_install_fixed(FixedImage{});  // another image's answers, left over
  const SettingsCallResult made = run_settings_call(image, current, "[zipstroke]\narea_type=1\n", false);
  ASSERT_EQ(made.status, CallStatus::Success) << made.message;
  EXPECT_EQ(fake.items[made.layer].width, 200);
  // What the text does not give, the Path area, keeps the image's defaults.
  EXPECT_NE(fake.items[made.layer].parasite.find("path_spine_points_count=33\n"), std::string::npos);
  const SettingsCallResult again = run_settings_call(image, made.layer, "[zipstroke]\n", true);
  EXPECT_EQ(again.status, CallStatus::Success) << again.message;
}

TEST_F(HostFlow, ADialogRunStartsFromTheKeptValuesAndKeepsWhatItEndsWith) {
  image_services_install_fixed(FixedImage{});  // another image's answers, left over
  fake.kept_pitch = 33;
  EffectParams p{};
  p.image_id = 77;
  run_dialog(&p, image, current);
  ASSERT_EQ(fake.dialogs.size(), 1u);
  const FakeGimp::DialogRun &seen = fake.dialogs[0];
  EXPECT_TRUE(seen.ui_ready);
  EXPECT_EQ((std::array<int32_t, 4>{seen.image, seen.drawable, seen.params.image_id,
                                    seen.params.drawable_id}),
            (std::array<int32_t, 4>{image, current, image, current}));
  EXPECT_EQ(seen.params.line_pitch, 33);
  EXPECT_EQ(seen.params.radiation_x, 100);  // this image's defaults
  EXPECT_EQ(fake.kept_pitch, DIALOG_PITCH);
}

// What the dialog asks of the image, answered from the editor: the last
// answers stay once the image is closed, and a picture is only asked for
// inside the image, at a size GIMP gives.
TEST_F(HostFlow, TheServicesAnswerForTheImage) {
  fake.images[image].xres = 300, fake.images[image].yres = 600;
  const ImageServices &is = image_services();
  const HostServices &hs = host_services();
  int w = 0, h = 0, b[4] = {};
  double xres = 0, yres = 0;
  EXPECT_FALSE(is.get_selection_bounds(image, &b[0], &b[1], &b[2], &b[3]));
  for (const auto &sel : {std::array<int, 4>{40, 30, 140, 80}, std::array<int, 4>{5, 5, 5, 9},
                          std::array<int, 4>{5, 5, 9, 5}}) {
    fake.images[image].selected = true, fake.images[image].sel = sel;
    const bool any = sel[2] > sel[0] && sel[3] > sel[1];
    EXPECT_EQ(is.get_selection_bounds(image, &b[0], &b[1], &b[2], &b[3]), any);
    if (any) {
      EXPECT_EQ((std::array<int, 4>{b[0], b[1], b[2], b[3]}), sel);
    }
  }
  gsize length = 1;
  int32_t layer = 0;
  EXPECT_EQ(hs.active_layer_settings(image, &length, &layer), nullptr);
  EXPECT_EQ(layer, NO_ID);
  fake.items[current].has_parasite = true, fake.items[current].parasite = "[zipstroke]";
  GCharPtr text(hs.active_layer_settings(image, &length, &layer));
  EXPECT_EQ(std::string(text.get(), length), "[zipstroke]");
  EXPECT_EQ(layer, current);
  gsize copied = 9;
  for (const char *data : {static_cast<const char *>(nullptr), "abcdef"}) {
    GCharPtr copy(text_copy(data, data ? 3 : 4, &copied));
    EXPECT_EQ(std::string(copy.get()), data ? "abc" : "");
    EXPECT_EQ(copied, data ? 3u : 0u);
  }
  for (const int32_t edited : {current, group}) {
    const EffectParams p = record(EditMode::Replace, edited);
    EXPECT_EQ(host_target_state(&p), edited == current ? TargetState::Ready : TargetState::LayerGone);
  }
  const int32_t path = fake.add_layer(image);
  fake.items[path].drawable = false;
  fake.items[current].width = 0;
  for (const int32_t item : {group, current, path, 9999}) {
    int x, y;
    EXPECT_EQ(hs.layer_extent(item, &x, &y, &w, &h), item == group) << item;
  }
  fake.items[group].height = 0;
  EXPECT_FALSE(hs.layer_extent(group, &w, &w, &w, &h));

  const struct {
    int x, y, w, h, tw, th;
  } pictures[] = {{0, 0, 200, 100, 1024, 1024}, {199, 99, 1, 1, 1, 1}, {1, 0, 200, 100, 9, 9},
                  {0, 1, 200, 100, 9, 9},      {-1, 0, 10, 10, 9, 9},  {0, -1, 10, 10, 9, 9},
                  {0, 0, 0, 10, 9, 9},         {0, 0, 10, 0, 9, 9},    {0, 0, 10, 10, 0, 9},
                  {0, 0, 10, 10, 9, 0},        {0, 0, 10, 10, 1025, 9}, {0, 0, 10, 10, 9, 1025}};
  for (const auto &c : pictures) {
    fake.pictures.clear();
    GdkPixbuf *got = hs.work_area_thumbnail(image, c.x, c.y, c.w, c.h, c.tw, c.th);
    const bool inside = &c < pictures + 2;
    EXPECT_EQ(got != nullptr, inside) << c.x << "," << c.y << " " << c.w << "x" << c.h;
    if (got) g_object_unref(got);
    ASSERT_EQ(fake.pictures.size(), inside ? 1u : 0u) << c.x << "," << c.y;
    if (inside) {
      EXPECT_EQ(fake.pictures[0], (std::array<int, 7>{image, c.x, c.y, c.w, c.h, c.tw, c.th}));
    }
  }
  // Without a layer: the picture of a hidden copy with the layer in the same
  // place hidden; a layer that is not the image's leaves the image as it is.
  const int32_t other = fake.add_layer(fake.add_image(ImageKind::Rgb, 10, 10));
  for (const int32_t left_out : {current, other, path}) {
    fake.pictures.clear(), fake.copies_deleted.clear();
    GdkPixbuf *got = hs.work_area_thumbnail_without(image, left_out, 0, 0, 20, 10, 4, 2);
    ASSERT_NE(got, nullptr);
    g_object_unref(got);
    ASSERT_EQ(fake.pictures.size(), 1u);
    const int32_t from = fake.pictures[0][0];
    EXPECT_EQ(from != image, left_out == current);
    EXPECT_EQ(fake.copies_deleted, left_out == current ? std::vector<int32_t>{from} : std::vector<int32_t>{});
    const int32_t twin =
        left_out == current ? fake.items[fake.images[from].top[position(group)]].children[0] : NO_ID;
    for (const auto &[id, item] : fake.items)
      EXPECT_TRUE((item.image != image && item.image != from) || item.visible == (id != twin)) << id;
  }
  fake.copies_deleted.clear();
  for (const std::array<int, 4> &size : {std::array<int, 4>{0, 10, 4, 2}, {20, 0, 4, 2}, {20, 10, 0, 2}, {20, 10, 4, 0}})
    EXPECT_EQ(hs.work_area_thumbnail_without(image, current, 0, 0, size[0], size[1], size[2], size[3]), nullptr);
  EXPECT_TRUE(fake.copies_deleted.empty()) << "no copy made for a picture of nothing";

  // From Path: the first stroke of the selected path, else of the top one, to its last point.
  const auto polyline = [&](bool *found) {
    std::vector<SpinePoint> points;
    *found = hs.path_polyline(image, &points);
    std::vector<double> xy;
    for (const SpinePoint &p : points) xy.insert(xy.end(), {p.x, p.y});
    return xy;
  };
  bool found = true;
  EXPECT_TRUE(polyline(&found).empty());
  EXPECT_FALSE(found);
  const int32_t lower = fake.add_layer(image);
  fake.items[lower].drawable = false, fake.items[lower].strokes = {{7, 8, 9, 10}};
  fake.items[path].strokes = {{1, 2, 3, 4, 5, 6}, {9, 9, 8, 8}};
  fake.images[image].paths = {path, lower};
  for (const int32_t selected : {NO_ID, lower, path}) {
    fake.images[image].selected_path = selected;
    EXPECT_EQ(polyline(&found), fake.items[selected == lower ? lower : path].strokes[0]) << selected;
  }
  fake.items[path].strokes.clear();
  EXPECT_TRUE(polyline(&found).empty());
  EXPECT_TRUE(found) << "a path without a stroke";
  EXPECT_GT(fake.path_precision, 0);  // finer than the lines' antialiasing
  EXPECT_LE(fake.path_precision, 0.5);

  // Whatever was asked last, the answers stay.
  is.get_selection_bounds(image, &b[0], &b[1], &b[2], &b[3]);
  fake.images[image].closed = true;
  is.get_size(image, &w, &h);
  is.get_resolution(image, &xres, &yres);
  EXPECT_EQ((std::array<double, 4>{1.0 * w, 1.0 * h, xres, yres}),
            (std::array<double, 4>{200, 100, 300, 600}));
  const EffectParams p = record();
  EXPECT_EQ(host_target_state(&p), TargetState::ImageGone);
  EXPECT_EQ(hs.work_area_thumbnail(image, 0, 0, 10, 10, 9, 9), nullptr);
  EXPECT_EQ(hs.work_area_thumbnail_without(image, current, 0, 0, 10, 10, 9, 9), nullptr);
  EXPECT_EQ(hs.active_layer_settings(image, &length, &layer), nullptr);
  EXPECT_TRUE(polyline(&found).empty());
  EXPECT_FALSE(found);

  // Answers about one image are never given for another.
  const int32_t second = fake.add_image(ImageKind::Rgb, 10, 10);
  is.get_size(second, &w, &h);
  fake.images[second].closed = true;
  is.get_resolution(second, &xres, &yres);
  EXPECT_EQ((std::array<double, 4>{1.0 * w, 1.0 * h, xres, yres}),
            (std::array<double, 4>{10, 10, 72, 72}));
}

}  // namespace
