// Every control of the dialog says what it does, and lengths say their unit.
#include "dialog_fixture.h"

#include <string>
#include <vector>

#include "control_ranges.h"
#include "tooltips.h"

namespace {

using DialogTooltips = PluginDialogTest;

// The controls a user can work: every button (check, radio, colour, zoom,
// edit, reset, preset and response buttons), spin button, combo and list,
// found by walking the dialog's children (not a widget's own internals).
void collect_controls(GtkWidget *widget, std::vector<GtkWidget *> *controls) {
  if (GTK_IS_BUTTON(widget) || GTK_IS_SPIN_BUTTON(widget) || GTK_IS_COMBO_BOX(widget) ||
      GTK_IS_TREE_VIEW(widget)) {
    controls->push_back(widget);
    if (!GTK_IS_TREE_VIEW(widget)) return;  // a button's label is not another control
  }
  if (GTK_IS_CONTAINER(widget))
    gtk_container_foreach(
        GTK_CONTAINER(widget),
        [](GtkWidget *child, gpointer data) {
          collect_controls(child, static_cast<std::vector<GtkWidget *> *>(data));
        },
        controls);
}

std::string describe(GtkWidget *widget) {
  std::string text = G_OBJECT_TYPE_NAME(widget);
  if (GTK_IS_BUTTON(widget) && gtk_button_get_label(GTK_BUTTON(widget)))
    text += std::string(" \"") + gtk_button_get_label(GTK_BUTTON(widget)) + "\"";
  return text;
}

TEST_F(DialogTooltips, EveryControlHasOne) {
  build();
  std::vector<GtkWidget *> controls;
  collect_controls(dialog, &controls);
  // 39 spin buttons, 4 combos, the colour button, 2 radios, 4 x 3 outline
  // buttons, 2 zoom buttons, Topmost, 4 response buttons, 4 preset buttons
  // and the preset list at least.
  EXPECT_GE(controls.size(), 69u);
  for (GtkWidget *control : controls) {
    gchar *tip = gtk_widget_get_tooltip_text(control);
    EXPECT_TRUE(tip && *tip) << describe(control) << " has no tooltip";
    g_free(tip);
  }
  // The preview says how to work it, too.
  gchar *tip = gtk_widget_get_tooltip_text(dialog_widgets.preview_area);
  EXPECT_TRUE(tip && *tip);
  g_free(tip);
}

TEST_F(DialogTooltips, SpinButtonsSayTheirUnit) {
  build();
  for (const SpinRange &range : SPIN_RANGES) {
    SCOPED_TRACE(range.key);
    const char *text = tooltip_for_key(range.key);
    ASSERT_NE(text, nullptr);
    const std::string tip(text);
    const std::string key(range.key);
    if (range.axis != LengthAxis::None)
      EXPECT_NE(tip.find("in the chosen unit"), std::string::npos) << tip;
    else if (key.size() > 5 && key.compare(key.size() - 5, 5, "_rand") == 0)
      EXPECT_NE(tip.find("in percent"), std::string::npos) << tip;
    else
      EXPECT_NE(tip.find("without unit"), std::string::npos) << tip;
    gchar *shown = gtk_widget_get_tooltip_text(GTK_WIDGET(spin(range.key)));
    EXPECT_STREQ(shown, text);  // no translation installed in the tests
    g_free(shown);
  }
  for (const ComboRange &range : COMBO_RANGES) EXPECT_NE(tooltip_for_key(range.key), nullptr);
}

}  // namespace

namespace {

std::string tip_of(GtkWidget *dialog, int response) {
  gchar *tip =
      gtk_widget_get_tooltip_text(gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), response));
  std::string text = tip ? tip : "";
  g_free(tip);
  return text;
}

TEST_F(DialogTooltips, ApplyAndCancelSayWhatTheyDoWhileALayerIsEdited) {
  build();
  const std::string create = tip_of(dialog, RESPONSE_CREATE);
  const std::string close = tip_of(dialog, RESPONSE_CLOSE);
  host.has_parasite = true;
  host.parasite = "[zipstroke]\nversion=0.5.2\nline_pitch=33\n";
  respond(RESPONSE_EDIT_LAYER);
  ASSERT_EQ(live().edit_mode, EditMode::Replace);
  EXPECT_NE(tip_of(dialog, RESPONSE_CREATE), create);
  EXPECT_NE(tip_of(dialog, RESPONSE_CREATE).find("edited streak layer"), std::string::npos);
  EXPECT_NE(tip_of(dialog, RESPONSE_CLOSE), close);
  respond(RESPONSE_CLOSE);  // Cancel
  ASSERT_EQ(live().edit_mode, EditMode::Create);
  EXPECT_EQ(tip_of(dialog, RESPONSE_CREATE), create);
  EXPECT_EQ(tip_of(dialog, RESPONSE_CLOSE), close);
}

}  // namespace
