// Where every control and label of the dialog sits: the cells of the type
// row, both area pages, the line table and the preset page, the label texts,
// and labels ending in ':' aligned to the left.
#include "dialog_fixture.h"

#include <map>
#include <set>
#include <sstream>

#include "gtk_compat.h"

namespace {

using DialogLayout = PluginDialogTest;

// Names of the dialog's own controls, by widget.
std::map<GtkWidget *, std::string> control_names() {
  const DialogWidgets &w = dialog_widgets;
  std::map<GtkWidget *, std::string> names = {
      {w.radiation_radio, "radiation_radio"}, {w.parallel_radio, "parallel_radio"},
      {w.path_radio, "path_radio"},
      {w.unit_combo, "unit_combo"},           {w.color_button, "color_button"},
      {w.antialias_combo, "antialias_combo"}, {w.pitch_type_combo, "pitch_type_combo"},
      {w.wave_type_combo, "wave_type_combo"}, {w.preset_frame, "preset_frame"},
      {w.preset_load_button, "Load"},         {w.preset_save_button, "Save"},
      {w.preset_delete_button, "Delete"},     {w.preset_update_button, "Update List"},
  };
  for (const char *key :
       {"radiation_x", "radiation_y", "radiation_oblateness", "radiation_in_radius",
        "radiation_out_radius", "parallel_in_x", "parallel_in_Y", "parallel_in_range",
        "parallel_out_x", "parallel_out_Y", "parallel_out_range", "line_pitch", "line_pitch_rand",
        "line_pitch_rand_seed", "line_block_on_pitch", "line_block_on_pitch_rand",
        "line_blick_on_pitch_rand_seed", "line_block_off_pitch", "line_block_off_pitch_rand",
        "line_blick_off_pitch_rand_seed", "line_wave_npoint", "line_wave_depth",
        "line_wave_depth_rand", "line_wave_depth_rand_seed", "line_width", "line_width_rand",
        "line_width_rand_seed", "line_in_margin", "line_in_margin_rand",
        "line_in_margin_rand_seed", "line_in_length", "line_in_length_rand",
        "line_in_length_rand_seed", "line_out_margin", "line_out_margin_rand",
        "line_out_margin_rand_seed", "line_out_length", "line_out_length_rand",
        "line_out_length_rand_seed"})
    names[dialog_spin_for_key(key)] = key;
  names[w.draw_spine_toggle] = "draw_spine";
  const std::pair<const FreehandRow *, const char *> rows[] = {
      {&w.radiation_in_freehand, "radiation_in_freehand"},
      {&w.radiation_out_freehand, "radiation_out_freehand"},
      {&w.parallel_in_freehand, "parallel_in_freehand"},
      {&w.parallel_out_freehand, "parallel_out_freehand"},
      {&w.path_in_freehand, "path_in_freehand"},
      {&w.path_out_freehand, "path_out_freehand"}};
  for (const auto &row : rows) names[gtk_widget_get_parent(row.first->check)] = row.second;
  return names;
}

struct Cell {
  int left, right, top, bottom;
};

Cell cell_of(GtkWidget *table, GtkWidget *child) {
  Cell c{};
#if ZS_GTK3
  int width = 0, height = 0;
  gtk_container_child_get(GTK_CONTAINER(table), child, "left-attach", &c.left, "top-attach", &c.top,
                          "width", &width, "height", &height, nullptr);
  c.right = c.left + width;
  c.bottom = c.top + height;
#else
  guint l = 0, r = 0, t = 0, b = 0;
  gtk_container_child_get(GTK_CONTAINER(table), child, "left-attach", &l, "right-attach", &r,
                          "top-attach", &t, "bottom-attach", &b, nullptr);
  c = {int(l), int(r), int(t), int(b)};
#endif
  return c;
}

float label_xalign(GtkWidget *label) {
#if ZS_GTK3
  return gtk_label_get_xalign(GTK_LABEL(label));
#else
  float x = 0, y = 0;
  gtk_misc_get_alignment(GTK_MISC(label), &x, &y);
  return x;
#endif
}

// One line per child, in row and column order: "row col[-last col]: what",
// with labels in quotes and a '<' after a left-aligned one.
std::string layout_of(GtkWidget *table) {
  const auto names = control_names();
  std::map<std::pair<int, int>, std::string> lines;
  GList *children = gtk_container_get_children(GTK_CONTAINER(table));
  for (GList *l = children; l; l = l->next) {
    GtkWidget *child = GTK_WIDGET(l->data);
    const Cell c = cell_of(table, child);
    std::ostringstream line;
    line << c.top;
    if (c.bottom != c.top + 1) line << "-" << c.bottom - 1;
    line << " " << c.left;
    if (c.right != c.left + 1) line << "-" << c.right - 1;
    line << ": ";
    const auto named = names.find(child);
    if (named != names.end()) {
      line << named->second;
    } else if (GTK_IS_LABEL(child)) {
      line << "'" << gtk_label_get_text(GTK_LABEL(child)) << "'";
      if (label_xalign(child) == 0.0f) line << "<";
    } else {
      line << G_OBJECT_TYPE_NAME(child);
    }
    lines[{c.top * 100 + c.left, c.bottom}] = line.str();
  }
  g_list_free(children);
  std::string text;
  for (const auto &entry : lines) text += entry.second + "\n";
  return text;
}

GtkWidget *table_of(GtkWidget *child) { return gtk_widget_get_parent(child); }

}  // namespace

TEST_F(DialogLayout, TypeRowAndAreaPages) {
  build();
  const DialogWidgets &w = dialog_widgets;
  EXPECT_EQ(layout_of(table_of(w.radiation_radio)),
            "0 0: 'Type:'<\n"
            "0 1: radiation_radio\n"
            "0 2: parallel_radio\n"
            "0 3: path_radio\n"
            "0 4: '       '\n"
            "0 5: 'Unit:'<\n"
            "0 6: unit_combo\n");
  EXPECT_EQ(layout_of(table_of(w.radiation_x_spin)),
            "0 0: 'Center:'<\n0 1: 'X:'<\n0 2: radiation_x\n0 3: 'Y:'<\n0 4: radiation_y\n"
            "0 5: 'Oblateness:'<\n0 6: radiation_oblateness\n"
            "1 0: 'Radius:'<\n1 1: 'In:'<\n1 2: radiation_in_radius\n"
            "1 3-5: radiation_in_freehand\n"
            "2 1: 'Out:'<\n2 2: radiation_out_radius\n2 3-5: radiation_out_freehand\n");
  EXPECT_EQ(layout_of(table_of(w.parallel_in_x_spin)),
            "0 0: 'In:'<\n0 1: 'X:'<\n0 2: parallel_in_x\n0 3: 'Y:'<\n0 4: parallel_in_Y\n"
            "0 5: 'Range:'<\n0 6: parallel_in_range\n"
            "1 1-6: parallel_in_freehand\n"
            "2 0: 'Out:'<\n2 1: 'X:'<\n2 2: parallel_out_x\n2 3: 'Y:'<\n2 4: parallel_out_Y\n"
            "2 5: 'Range:'<\n2 6: parallel_out_range\n"
            "3 1-6: parallel_out_freehand\n");
  EXPECT_EQ(layout_of(table_of(w.draw_spine_toggle)),
            "0 0: 'In:'<\n0 1: 'Range:'<\n0 2: GtkSpinButton\n1 1-4: path_in_freehand\n"
            "2 0: 'Out:'<\n2 1: 'Range:'<\n2 2: GtkSpinButton\n3 1-4: path_out_freehand\n"
            "4 0: 'Spine:'<\n4 1: '33 points'<\n4 2: GtkButton\n4 3: draw_spine\n");
}

TEST_F(DialogLayout, LineTableAndPresetPage) {
  build();
  const DialogWidgets &w = dialog_widgets;
  std::string expected =
      "0 0: 'Antialias:'<\n0 1: antialias_combo\n0 2: 'Color:'<\n0 3: color_button\n"
      "1 1: 'Amount'\n1 2: 'Rand'\n1 3: 'RandSeed'\n1 4: 'Type'\n"
      "2 0: 'Pitch:'<\n2 1: line_pitch\n2 2: line_pitch_rand\n2 3: line_pitch_rand_seed\n"
      "2 4: pitch_type_combo\n";
  struct Row {
    const char *label, *amount, *rand, *seed, *type;
  };
  const Row rows[] = {
      {"On Pitch:", "line_block_on_pitch", "line_block_on_pitch_rand",
       "line_blick_on_pitch_rand_seed", nullptr},
      {"Off Picth:", "line_block_off_pitch", "line_block_off_pitch_rand",
       "line_blick_off_pitch_rand_seed", nullptr},
      {"Wave NPoint:", "line_wave_npoint", nullptr, nullptr, nullptr},
      {"Wave Depth:", "line_wave_depth", "line_wave_depth_rand", "line_wave_depth_rand_seed",
       "wave_type_combo"},
      {"Width:", "line_width", "line_width_rand", "line_width_rand_seed", nullptr},
      {"In Margin:", "line_in_margin", "line_in_margin_rand", "line_in_margin_rand_seed", nullptr},
      {"In Length:", "line_in_length", "line_in_length_rand", "line_in_length_rand_seed", nullptr},
      {"Out Margin:", "line_out_margin", "line_out_margin_rand", "line_out_margin_rand_seed",
       nullptr},
      {"Out Length:", "line_out_length", "line_out_length_rand", "line_out_length_rand_seed",
       nullptr},
  };
  int r = 3;
  for (const Row &row : rows) {
    const std::string n = std::to_string(r++) + " ";
    expected += n + "0: '" + row.label + "'<\n" + n + "1: " + row.amount + "\n";
    if (row.rand) expected += n + "2: " + row.rand + "\n" + n + "3: " + row.seed + "\n";
    if (row.type) expected += n + "4: " + row.type + "\n";
  }
  EXPECT_EQ(layout_of(table_of(w.line_pitch_spin)), expected);

  EXPECT_EQ(layout_of(table_of(w.preset_load_button)),
            "0-19 0: preset_frame\n0 1: Load\n1 1: Save\n2 1: Delete\n3 1: Update List\n");
}

// The main notebook shows its tabs and border; the area notebook, switched
// by the radios, shows neither.
TEST_F(DialogLayout, NotebooksShowTabsAndBorderOnlyForTheMainOne) {
  build();
  const DialogWidgets &w = dialog_widgets;
  EXPECT_TRUE(gtk_notebook_get_show_tabs(GTK_NOTEBOOK(w.main_notebook)));
  EXPECT_TRUE(gtk_notebook_get_show_border(GTK_NOTEBOOK(w.main_notebook)));
  EXPECT_FALSE(gtk_notebook_get_show_tabs(GTK_NOTEBOOK(w.area_notebook)));
  EXPECT_FALSE(gtk_notebook_get_show_border(GTK_NOTEBOOK(w.area_notebook)));
}

namespace {

GtkWidget *frame_around(GtkWidget *widget) {
  while (widget && !GTK_IS_FRAME(widget)) widget = gtk_widget_get_parent(widget);
  return widget;
}

bool title_is_bold(GtkWidget *frame) {
  GtkWidget *label = gtk_frame_get_label_widget(GTK_FRAME(frame));
  PangoAttrList *attributes = GTK_IS_LABEL(label) ? gtk_label_get_attributes(GTK_LABEL(label)) : nullptr;
  if (!attributes) return false;
  PangoAttrIterator *at = pango_attr_list_get_iterator(attributes);
  const PangoAttribute *weight = pango_attr_iterator_get(at, PANGO_ATTR_WEIGHT);
  const bool bold =
      weight && reinterpret_cast<const PangoAttrInt *>(weight)->value >= PANGO_WEIGHT_BOLD;
  pango_attr_iterator_destroy(at);
  return bold;
}

int min_height(GtkWidget *widget) {
  int width = 0, height = 0;
  compat_widget_min_size(widget, &width, &height);
  return height;
}

}  // namespace

// The zoom label is as wide for "Fit" as for "400 %": the preview beside it
// keeps its width.
TEST_F(DialogLayout, TheZoomLabelKeepsItsWidthWhateverItShows) {
  build();
  int widths[2] = {}, height = 0;
  const char *texts[] = {"Fit", "400 %"};
  for (int i = 0; i < 2; ++i) {
    gtk_label_set_text(GTK_LABEL(dialog_widgets.zoom_label), texts[i]);
    compat_widget_min_size(dialog_widgets.zoom_label, &widths[i], &height);
  }
  EXPECT_EQ(widths[0], widths[1]);
}

// The Options page's sections: titled in bold as GIMP 3 titles its own (GIMP
// 2.10 keeps its plain frames), and no gap between them: the area part is
// exactly as high as the page of the area type shown, and as wide for both.
TEST_F(DialogLayout, SectionsTitledAsTheHostsOwnWithoutAGap) {
  build();
  const DialogWidgets &w = dialog_widgets;
  for (GtkWidget *inside : {w.radiation_radio, w.line_pitch_spin})
    EXPECT_EQ(title_is_bold(frame_around(inside)), bool(ZS_GTK3));
  const std::pair<GtkWidget *, GtkWidget *> types[] = {
      {w.parallel_radio, table_of(w.parallel_in_x_spin)},
      {w.radiation_radio, table_of(w.radiation_x_spin)}};
  std::set<int> widths;
  for (const auto &type : types) {
    gtk_button_clicked(GTK_BUTTON(type.first));
    EXPECT_EQ(min_height(w.area_notebook), min_height(type.second));
    int width = 0, height = 0;
    compat_widget_min_size(w.area_notebook, &width, &height);
    widths.insert(width);
  }
  EXPECT_EQ(widths.size(), 1u);
}
