// An image editor in memory answering host_calls.h, so that the host flow
// runs without GIMP: images of layers and groups, a selection, parasites,
// undo groups and written pixels, with every change counted.
#include "fake_gimp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

FakeGimp fake;

namespace {

FakeItem *item(int32_t id) {
  auto it = fake.items.find(id);
  return it == fake.items.end() || it->second.removed ? nullptr : &it->second;
}

std::vector<int32_t> &siblings(const FakeItem &i) {
  return i.parent == NO_ID ? fake.images[i.image].top : fake.items[i.parent].children;
}

void change() { ++fake.changes; }

// An image asked about: GIMP answers a closed image's id with a calling error.
FakeImage &open_image(int32_t id) {
  EXPECT_FALSE(fake.images[id].closed) << "a question about a closed image";
  return fake.images[id];
}

}  // namespace

int32_t FakeGimp::add_image(ImageKind kind, int width, int height) {
  const int32_t id = next_id++;
  FakeImage &image = images[id];
  image.kind = kind;
  std::tie(image.width, image.height) = std::tie(width, height);
  return id;
}

int32_t FakeGimp::add_layer(int32_t image, int32_t parent, bool group) {
  const int32_t id = next_id++;
  FakeItem i;
  i.image = image;
  i.parent = parent;
  i.group = group;
  i.width = images[image].width;
  i.height = images[image].height;
  items[id] = i;
  siblings(i).insert(siblings(i).begin(), id);
  return id;
}

bool host_image_exists(int32_t image) {
  return fake.images.count(image) && !fake.images[image].closed;
}
ImageKind host_image_kind(int32_t image) { return fake.images[image].kind; }
void host_image_size(int32_t image, int *width, int *height) {
  *width = open_image(image).width;
  *height = open_image(image).height;
}
bool host_image_resolution(int32_t image, double *xres, double *yres) {
  *xres = open_image(image).xres;
  *yres = open_image(image).yres;
  return true;
}
bool host_selection_bounds(int32_t image, int *x1, int *y1, int *x2, int *y2) {
  const FakeImage &i = open_image(image);
  if (!i.selected) return false;
  *x1 = i.sel[0], *y1 = i.sel[1], *x2 = i.sel[2], *y2 = i.sel[3];
  return true;
}
int32_t host_current_layer(int32_t image) { return fake.images[image].current; }
void host_make_current_layer(int32_t image, int32_t layer) {
  change();
  fake.images[image].current = layer;
}
std::vector<int32_t> host_layers_in(int32_t image, int32_t parent) {
  return parent == NO_ID ? fake.images[image].top : fake.items[parent].children;
}
namespace {
// Copies `from`'s layers, under `parent`, into the image `copy`.
void copy_layers(const std::vector<int32_t> &from, int32_t copy, int32_t parent) {
  for (auto it = from.rbegin(); it != from.rend(); ++it) {
    const int32_t id = fake.add_layer(copy, parent, fake.items[*it].group);
    copy_layers(fake.items[*it].children, copy, id);
  }
}
}  // namespace
int32_t host_image_hidden_copy(int32_t image) {
  const FakeImage &i = fake.images[image];
  const int32_t copy = fake.add_image(i.kind, i.width, i.height);
  copy_layers(i.top, copy, NO_ID);
  return copy;
}
void host_image_delete(int32_t image) {
  fake.images[image].closed = true;
  fake.copies_deleted.push_back(image);
}

void host_undo_group_start(int32_t) {
  change();
  ++fake.undo_depth;
  ++fake.undo_groups;
}
void host_undo_group_end(int32_t) { --fake.undo_depth; }
int32_t host_selection_save_and_clear(int32_t image) {
  FakeImage &i = fake.images[image];
  if (!i.selected) return NO_ID;
  change();
  i.selected = false;
  fake.saved_selection = i.sel;
  return 999;
}
void host_selection_restore(int32_t image, int32_t channel) {
  if (channel != 999) return;
  fake.images[image].selected = true;
  fake.images[image].sel = fake.saved_selection;
}
void host_displays_flush() {}

bool host_item_exists(int32_t id) { return item(id) && !fake.images[item(id)->image].closed; }
bool host_item_is_drawable(int32_t id) { return item(id) && item(id)->drawable; }
bool host_item_is_layer(int32_t id) { return host_item_is_drawable(id); }
bool host_item_is_group(int32_t id) { return item(id) && item(id)->group; }
int32_t host_item_image(int32_t id) { return item(id) ? item(id)->image : NO_ID; }
int32_t host_item_parent(int32_t id) { return item(id) ? item(id)->parent : NO_ID; }
int host_item_position(int32_t, int32_t id) {
  const std::vector<int32_t> &s = siblings(*item(id));
  return static_cast<int>(std::find(s.begin(), s.end(), id) - s.begin());
}
bool host_item_content_locked(int32_t id) { return item(id)->locked; }
char *host_item_name(int32_t id) { return g_strdup(item(id)->name.c_str()); }
void host_item_set_name(int32_t id, const char *name) {
  change();
  item(id)->name = name;
}
bool host_item_set_visible(int32_t id, bool visible) {
  item(id)->visible = visible;
  return true;
}
char *host_item_parasite(int32_t id, const char *, gsize *length) {
  *length = 0;
  if (!item(id) || !item(id)->has_parasite) return nullptr;
  return text_copy(item(id)->parasite.data(), item(id)->parasite.size(), length);
}
void host_item_attach_parasite(int32_t id, const char *, const char *data, gsize length) {
  item(id)->has_parasite = true;
  item(id)->parasite.assign(data, length);
}

bool host_layer_extent(int32_t id, int *x, int *y, int *width, int *height) {
  const FakeItem *i = item(id);
  if (!i) return false;
  *x = i->x, *y = i->y, *width = i->width, *height = i->height;
  return true;
}
int32_t host_layer_new(int32_t image, const char *name, int width, int height, LayerFormat format) {
  if (fake.refuse_layers) return NO_ID;
  const int32_t id = fake.next_id++;
  FakeItem i;
  i.image = image;
  i.name = name;
  i.width = width;
  i.height = height;
  i.format = format;
  i.in_image = false;
  fake.items[id] = i;
  return id;
}
int32_t host_layer_copy(int32_t id) {
  if (fake.refuse_layers) return NO_ID;
  const int32_t copy = fake.next_id++;
  FakeItem i = *item(id);
  i.children.clear();
  i.in_image = false;
  fake.items[copy] = i;
  return copy;
}
void host_layer_insert(int32_t, int32_t id, int32_t parent, int position) {
  change();
  FakeItem &i = fake.items[id];
  i.parent = parent;
  i.in_image = true;
  std::vector<int32_t> &s = siblings(i);
  // GIMP refuses any other position.
  ASSERT_TRUE(position >= -1 && position <= static_cast<int>(s.size())) << position;
  s.insert(position < 0 ? s.begin() : s.begin() + position, id);
}
void host_layer_remove(int32_t, int32_t id) {
  change();
  std::vector<int32_t> &s = siblings(*item(id));
  s.erase(std::find(s.begin(), s.end(), id));
  item(id)->removed = true;
}
void host_layer_set_offsets(int32_t id, int x, int y) {
  item(id)->x = x;
  item(id)->y = y;
}
void host_layer_add_alpha(int32_t id) { item(id)->alpha = true; }
GdkPixbuf *host_visible_picture(int32_t image, int x, int y, int w, int h, int tw, int th) {
  fake.pictures.push_back({image, x, y, w, h, tw, th});
  return gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, 1, 1);
}

struct HostPixelWriter {
  int32_t layer;
};
HostPixelWriter *host_pixels_begin(int32_t layer, int, int, LayerFormat) {
  EXPECT_TRUE(item(layer)->alpha) << "pixels with alpha written into a layer without";
  return new HostPixelWriter{layer};
}
bool host_pixels_write(HostPixelWriter *writer, int, int rows, const unsigned char *) {
  fake.rows_written += rows;
  if (fake.on_write) fake.on_write();
  return item(writer->layer) != nullptr;
}
void host_pixels_end(HostPixelWriter *writer, bool merge) {
  if (merge) fake.merged.push_back(writer->layer);
  delete writer;
}

std::vector<int32_t> host_image_paths(int32_t image, PathChoice which) {
  const FakeImage &im = open_image(image);
  if (which == PathChoice::All) return im.paths;
  return im.selected_path == NO_ID ? std::vector<int32_t>{} : std::vector<int32_t>{im.selected_path};
}
std::vector<int32_t> host_path_strokes(int32_t path) {
  std::vector<int32_t> ids(fake.items[path].strokes.size());
  for (size_t i = 0; i < ids.size(); ++i) ids[i] = static_cast<int32_t>(i) + 100;
  return ids;
}
std::vector<double> host_stroke_polyline(int32_t path, int32_t stroke, double precision) {
  fake.path_precision = precision;
  return fake.items[path].strokes.at(static_cast<size_t>(stroke) - 100);
}
void host_progress_start(const char *) {
  ++fake.progress_shown;
  fake.progress_up = true;
}
void host_progress_update(double fraction) {
  EXPECT_TRUE(fake.progress_up);
  EXPECT_GE(fraction, fake.progress);
  fake.progress = fraction;
}
void host_progress_end() { fake.progress_up = false; }
void host_last_values_restore(EffectParams *params) {
  if (fake.kept_pitch > 0) params->line_pitch = fake.kept_pitch;
}
void host_last_values_store(const EffectParams *params) { fake.kept_pitch = params->line_pitch; }
void host_ui_init() { fake.ui_ready = true; }

// Stands in for the dialog's run (its own object in the ui library).
void dialog_run_on_image(EffectParams *params, int32_t image, int32_t drawable) {
  fake.dialogs.push_back({*params, image, drawable, fake.ui_ready});
  params->line_pitch = DIALOG_PITCH;
}
