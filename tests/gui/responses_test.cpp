// The dialog's responses: create, close, reset, topmost and layer editing,
// against a stand-in GIMP.
#include "dialog_fixture.h"

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "gtk_test_compat.h"
#include "preset_test_support.h"
#include "preview.h"
#include "responses.h"
#include "settings_text.h"
#include "unit_change.h"
#include "units.h"

namespace {

using Responses = PluginDialogTest;

std::string button_label(int response_id, GtkWidget *dialog) {
  GtkWidget *button = gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), response_id);
  return button ? gtk_button_get_label(GTK_BUTTON(button)) : "<none>";
}

bool edit_button_visible() { return gtk_widget_get_visible(dialog_widgets.edit_layer_button); }
bool edit_button_sensitive() { return gtk_widget_get_sensitive(dialog_widgets.edit_layer_button); }
std::string status_line() { return gtk_label_get_text(GTK_LABEL(dialog_widgets.status_label)); }

// The dialog getting the keyboard focus, as when the user comes back to it.
void focus_dialog(GtkWidget *dialog) {
  GdkEvent *event = gdk_event_new(GDK_FOCUS_CHANGE);
  event->focus_change.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(dialog)));
  event->focus_change.in = TRUE;
  gtk_widget_send_focus_change(dialog, event);
  gdk_event_free(event);
}

std::string settings_text_of(void (*adjust)(EffectParams *)) {
  auto record = std::make_unique<EffectParams>();
  std::memset(record.get(), 0, sizeof(EffectParams));
  effect_params_set_defaults(record.get());
  adjust(record.get());
  gsize length = 0;
  char *text = settings_to_text(record.get(), &length);
  std::string result(text, length);
  g_free(text);
  return result;
}

TEST_F(Responses, CreateRendersOnceThenRecordsTheGeometryAndCloses) {
  build(FixedImage{}, [](EffectParams *p) {
    p->window_x = 30;
    p->window_y = 40;
  });
  gtk_spin_button_set_value(spin("line_pitch"), 21.0);
  respond(RESPONSE_CREATE);
  ASSERT_EQ(host.renders.size(), 1u);
  EXPECT_EQ(host.renders[0].edit_mode, EditMode::Create);
  EXPECT_EQ(host.renders[0].params.line_pitch, 21.0);
  EXPECT_FALSE(dialog_open());
  EXPECT_GT(live().window_width, 100);
  EXPECT_GT(live().window_height, 100);
  EXPECT_EQ(live().window_x, 30);
  EXPECT_EQ(live().window_y, 40);
}

TEST_F(Responses, CloseRecordsTheGeometryWithoutRendering) {
  build();
  respond(RESPONSE_CLOSE);
  EXPECT_TRUE(host.renders.empty());
  EXPECT_FALSE(dialog_open());
  EXPECT_GT(live().window_width, 100);
}

TEST_F(Responses, TheWindowManagersCloseRecordsNothing) {
  build();
  respond(GTK_RESPONSE_DELETE_EVENT);
  EXPECT_TRUE(dialog_open());
  EXPECT_EQ(live().window_width, -1);
  EXPECT_TRUE(host.renders.empty());
}

TEST_F(Responses, ResetRestoresTheDefaultsButKeepsWindowTopmostAndIds) {
  FixedImage image;
  image.xres = image.yres = 300.0;
  build(image, [](EffectParams *p) {
    p->window_x = 11;
    p->window_y = 12;
    p->window_width = 600;
    p->window_height = 700;
    p->topmost = 1;
  });
  auto defaults = std::make_unique<EffectParams>(snapshot(live()));

  gtk_spin_button_set_value(spin("line_pitch"), 3.0);
  gtk_spin_button_set_value(spin("radiation_x"), 5.0);
  gtk_button_clicked(GTK_BUTTON(dialog_widgets.parallel_radio));
  gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(dialog_widgets.parallel_in_freehand.check), TRUE);
  // Millimetres shown: the reset must not convert the pixel defaults again.
  gtk_combo_box_set_active(GTK_COMBO_BOX(dialog_widgets.unit_combo), UNIT_MM);
  live().edit_mode = EditMode::Create;
  live().drawable_id = 5;
  defaults->drawable_id = 5;

  respond(RESPONSE_RESET);
  EXPECT_TRUE(dialog_open());
  EXPECT_TRUE(same_bytes(*defaults, live()));
  EXPECT_EQ(current_unit_get(), UNIT_PIXEL);
  EXPECT_EQ(gtk_spin_button_get_value(spin("line_pitch")), 10.0);
  EXPECT_EQ(gtk_spin_button_get_value(spin("radiation_x")), 320.0);
  EXPECT_TRUE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(dialog_widgets.topmost_check)));
}

TEST_F(Responses, TopmostFollowsTheCheckButton) {
  build();
  gtk_button_clicked(GTK_BUTTON(dialog_widgets.topmost_check));
  pump_gtk_events();
  EXPECT_EQ(live().topmost, 1);
  gtk_button_clicked(GTK_BUTTON(dialog_widgets.topmost_check));
  pump_gtk_events();
  EXPECT_EQ(live().topmost, 0);
}

TEST_F(Responses, EditApplyRendersTheLayersSettingsIntoItAndRestoresTheDialogs) {
  build();
  host.has_parasite = true;
  host.active_layer = 17;
  host.parasite = settings_text_of([](EffectParams *p) { p->line_pitch = 33.0; });
  gtk_spin_button_set_value(spin("line_pitch"), 12.0);
  EXPECT_EQ(button_label(RESPONSE_CREATE, dialog), "Create");
  EXPECT_TRUE(edit_button_visible());

  respond(RESPONSE_EDIT_LAYER);
  EXPECT_EQ(live().edit_mode, EditMode::Replace);
  EXPECT_EQ(live().drawable_id, 17);
  EXPECT_EQ(live().line_pitch, 33.0);
  EXPECT_EQ(button_label(RESPONSE_CREATE, dialog), "Apply");
  EXPECT_EQ(button_label(RESPONSE_CLOSE, dialog), "Cancel");
  EXPECT_FALSE(edit_button_visible());
  EXPECT_EQ(status_line(),
            "Editing the active Zipstroke Layer: Apply draws it anew, Cancel leaves it as it was.");

  // A second edit response while editing changes nothing.
  host.parasite = settings_text_of([](EffectParams *p) { p->line_pitch = 44.0; });
  respond(RESPONSE_EDIT_LAYER);
  EXPECT_EQ(live().line_pitch, 33.0);

  gtk_spin_button_set_value(spin("line_pitch"), 35.0);
  respond(RESPONSE_CREATE);
  ASSERT_EQ(host.renders.size(), 1u);
  EXPECT_EQ(host.renders[0].edit_mode, EditMode::Replace);
  EXPECT_EQ(host.renders[0].drawable_id, 17);
  EXPECT_EQ(host.renders[0].params.line_pitch, 35.0);
  EXPECT_TRUE(dialog_open());
  EXPECT_EQ(live().edit_mode, EditMode::Create);
  EXPECT_EQ(live().line_pitch, 12.0);
  EXPECT_EQ(live().drawable_id, 17);
  EXPECT_EQ(button_label(RESPONSE_CREATE, dialog), "Create");
  EXPECT_EQ(button_label(RESPONSE_CLOSE, dialog), "Close");
  EXPECT_TRUE(edit_button_visible());
  // Said in one line, as the values from before come back.
  EXPECT_EQ(status_line(), "Zipstroke Layer updated. The values from before Edit Layer are back.");
}

TEST_F(Responses, EditCancelRestoresWithoutRenderingOrClosing) {
  build();
  host.has_parasite = true;
  host.parasite = settings_text_of([](EffectParams *p) {
    p->line_width = 9.0;
    p->area_type = AREA_PARALLEL;
  });
  respond(RESPONSE_EDIT_LAYER);
  EXPECT_EQ(live().line_width, 9.0);
  EXPECT_EQ(live().area_type, AREA_PARALLEL);
  respond(RESPONSE_CLOSE);
  EXPECT_TRUE(dialog_open());
  EXPECT_TRUE(host.renders.empty());
  EXPECT_EQ(live().edit_mode, EditMode::Create);
  EXPECT_EQ(live().line_width, 2.0);
  EXPECT_EQ(live().area_type, AREA_RADIATION);
  EXPECT_EQ(live().window_width, -1);
  EXPECT_EQ(button_label(RESPONSE_CLOSE, dialog), "Close");
  EXPECT_TRUE(edit_button_visible());
  EXPECT_EQ(status_line(), "Edit Layer cancelled: the Zipstroke Layer is as it was.");
}

TEST_F(Responses, AWindowManagerCloseWhileEditingKeepsTheUsersOwnValues) {
  build();
  host.has_parasite = true;
  host.parasite = settings_text_of([](EffectParams *p) { p->line_width = 9.0; });
  respond(RESPONSE_EDIT_LAYER);
  EXPECT_EQ(live().line_width, 9.0);
  gtk_widget_destroy(dialog);
  responses_finish(&live());
  EXPECT_EQ(live().line_width, 2.0);
  EXPECT_EQ(live().edit_mode, EditMode::Create);
}

// "Edit Layer" is greyed out while the active layer is a plain one: looked
// at as the dialog opens, whenever it gets the focus, and at every press
// (the active layer may have changed since).
TEST_F(Responses, ALayerWithoutSettingsIsReportedAndEditingNeverStarts) {
  build();
  EXPECT_FALSE(edit_button_sensitive());
  host.has_parasite = true;
  host.parasite = settings_text_of([](EffectParams *) {});
  focus_dialog(dialog);
  EXPECT_TRUE(edit_button_sensitive());
  host.has_parasite = false;
  const EffectParams before = snapshot(live());
  {
    MessageAnswerer answerer(GTK_RESPONSE_CLOSE);
    respond(RESPONSE_EDIT_LAYER);
    ASSERT_EQ(answerer.seen().size(), 1u);
    EXPECT_EQ(answerer.seen()[0].type, GTK_MESSAGE_ERROR);
    EXPECT_EQ(answerer.seen()[0].text, "Active layer is not a Zipstroke Layer!");
    EXPECT_EQ(answerer.seen()[0].title, "Zipstroke");
    EXPECT_EQ(answerer.seen()[0].parent, nullptr);
  }
  EXPECT_FALSE(edit_button_sensitive());
  EXPECT_TRUE(same_bytes(before, live()));
  EXPECT_EQ(button_label(RESPONSE_CREATE, dialog), "Create");
  EXPECT_TRUE(edit_button_visible());
}

TEST_F(Responses, AHostileParasiteIsAppliedWithinTheControlsRanges) {
  build();
  host.has_parasite = true;
  static const char hostile[] =
      "[zipstroke]\nversion=0.5.2\nline_pitch=-1e308\nline_width=nan\nline_wave_npoint=7\n"
      "radiation_oblateness=1e9\nline_antialias=99\narea_type=3\n";
  host.parasite = std::string(hostile, sizeof hostile - 1);
  {
    MessageAnswerer answerer(GTK_RESPONSE_CLOSE);
    respond(RESPONSE_EDIT_LAYER);
  }
  EXPECT_GE(live().line_pitch, 0.5);
  EXPECT_TRUE(std::isfinite(live().line_width));
  EXPECT_GE(live().line_width, 0.5);
  EXPECT_EQ(live().line_wave_npoint % 4, 0);
  EXPECT_LE(live().radiation_oblateness, 0.95);
  EXPECT_GE(live().line_antialias, 0);
  EXPECT_LE(live().line_antialias, 2);
  EXPECT_TRUE(live().area_type == AREA_RADIATION || live().area_type == AREA_PARALLEL);
  {
    MessageAnswerer answerer(GTK_RESPONSE_CLOSE);
    respond(RESPONSE_CLOSE);
  }
  EXPECT_EQ(live().line_pitch, 10.0);
}

TEST_F(Responses, AParasiteThatIsNotSettingsTextIsRefusedAndTheDialogKeepsItsValues) {
  build();
  host.has_parasite = true;
  static const char garbage[] = "this is not settings text\n\xff\xfe\0[zipstroke]\nline_pitch=1";
  host.parasite = std::string(garbage, sizeof garbage - 1);
  const EffectParams before = snapshot(live());
  {
    MessageAnswerer answerer(GTK_RESPONSE_CLOSE);
    respond(RESPONSE_EDIT_LAYER);
    ASSERT_EQ(answerer.seen().size(), 1u);
    EXPECT_EQ(answerer.seen()[0].type, GTK_MESSAGE_ERROR);
    EXPECT_EQ(answerer.seen()[0].text.rfind("The settings kept on the active layer cannot be read: ", 0), 0u)
        << answerer.seen()[0].text;
  }
  EXPECT_TRUE(same_bytes(before, live()));
  EXPECT_EQ(live().edit_mode, EditMode::Create);
  EXPECT_EQ(button_label(RESPONSE_CREATE, dialog), "Create");
  EXPECT_TRUE(edit_button_visible());
}

// The user's own outline, drawn and then unticked, is not in the settings
// text; the layer's text brings an active outline of its own.  Whatever ends
// the editing (Cancel, Apply, the window manager's close) gives the user's
// four outlines back exactly.
TEST_F(Responses, EditingEndsWithTheUsersOwnOutlinesWhetherTickedOrNot) {
  auto users_shapes = [](EffectParams *p) {
    for (int i = 0; i < FREEHAND_SAMPLES; ++i) {
      p->radiation_in_freehand.samples[i].factor = 1.0 + (i % 50) * 0.01;
      p->parallel_out_freehand.samples[i].factor = 0.5 + (i % 30) * 0.01;
    }
    p->radiation_in_freehand.active = 0;
    p->parallel_out_freehand.active = 1;
  };
  const std::string layer_text = settings_text_of([](EffectParams *p) {
    p->radiation_in_freehand.active = 1;
    p->parallel_out_freehand.active = 1;
    for (int i = 0; i < FREEHAND_SAMPLES; ++i) {
      p->radiation_in_freehand.samples[i].factor = 0.75;
      p->parallel_out_freehand.samples[i].factor = 1.25;
    }
  });
  for (int ending : {int(RESPONSE_CLOSE), int(RESPONSE_CREATE), int(GTK_RESPONSE_DELETE_EVENT)}) {
    build(FixedImage{}, users_shapes);
    const EffectParams before = snapshot(live());
    host.has_parasite = true;
    host.parasite = layer_text;
    respond(RESPONSE_EDIT_LAYER);
    ASSERT_EQ(live().edit_mode, EditMode::Replace);
    EXPECT_EQ(live().radiation_in_freehand.active, 1);
    EXPECT_EQ(live().radiation_in_freehand.samples[10].factor, 0.75);
    EXPECT_EQ(live().parallel_out_freehand.samples[10].factor, 1.25);
    if (ending == GTK_RESPONSE_DELETE_EVENT) {
      gtk_widget_destroy(dialog);
      responses_finish(&live());
    } else {
      respond(ending);
    }
    for (auto outline : {&EffectParams::radiation_in_freehand, &EffectParams::radiation_out_freehand,
                         &EffectParams::parallel_in_freehand, &EffectParams::parallel_out_freehand})
      EXPECT_EQ(std::memcmp(&(live().*outline), &(before.*outline), sizeof(FreehandOutline)), 0)
          << "ending " << ending;
    if (dialog) {
      EXPECT_FALSE(gtk_toggle_button_get_active(
          GTK_TOGGLE_BUTTON(dialog_widgets.radiation_in_freehand.check)));
    }
    TearDown();
  }
}

// The image closed (or, editing, the layer deleted) while the dialog was
// open: one message per press, nothing asked of GIMP, nothing changed.
TEST_F(Responses, AGoneImageOrLayerGivesOneMessageAndChangesNothing) {
  build();
  host.target = TargetState::ImageGone;
  host.parasite_requests = 0;  // the dialog's own look while it opened
  host.has_parasite = true;
  host.parasite = settings_text_of([](EffectParams *p) { p->line_pitch = 33.0; });
  const EffectParams before = snapshot(live());
  for (int response : {int(RESPONSE_CREATE), int(RESPONSE_EDIT_LAYER)}) {
    MessageAnswerer answerer(GTK_RESPONSE_CLOSE);
    respond(response);
    ASSERT_EQ(answerer.seen().size(), 1u) << response;
    EXPECT_EQ(answerer.seen()[0].type, GTK_MESSAGE_ERROR);
    EXPECT_EQ(answerer.seen()[0].text,
              "The image has been closed. Nothing can be drawn into it; close this dialog.");
  }
  EXPECT_TRUE(host.renders.empty());
  EXPECT_EQ(host.parasite_requests, 0);
  EXPECT_TRUE(dialog_open());
  EXPECT_TRUE(same_bytes(before, live()));
  EXPECT_EQ(button_label(RESPONSE_CREATE, dialog), "Create");
  respond(RESPONSE_CLOSE);
  EXPECT_FALSE(dialog_open());
  TearDown();

  // Editing, the layer deleted meanwhile: Apply draws nothing and editing goes on.
  build();
  host.has_parasite = true;
  host.parasite = settings_text_of([](EffectParams *p) { p->line_pitch = 33.0; });
  respond(RESPONSE_EDIT_LAYER);
  ASSERT_EQ(live().edit_mode, EditMode::Replace);
  host.target = TargetState::LayerGone;
  {
    MessageAnswerer answerer(GTK_RESPONSE_CLOSE);
    respond(RESPONSE_CREATE);
    ASSERT_EQ(answerer.seen().size(), 1u);
    EXPECT_EQ(answerer.seen()[0].text,
              "The layer being edited is no longer in the image. Nothing was changed.");
  }
  EXPECT_TRUE(host.renders.empty());
  EXPECT_EQ(live().edit_mode, EditMode::Replace);
  EXPECT_EQ(live().line_pitch, 33.0);
  EXPECT_EQ(button_label(RESPONSE_CREATE, dialog), "Apply");
  respond(RESPONSE_CLOSE);  // Cancel still works
  EXPECT_EQ(live().edit_mode, EditMode::Create);
  EXPECT_EQ(live().line_pitch, 10.0);
}

// Editing, the preview shows the edited layer's own extent (where the lines
// are drawn), whatever is selected; leaving the edit shows the work area again.
TEST_F(Responses, EditingShowsTheLayersOwnExtentInThePreview) {
  FixedImage image;
  image.has_selection = true;
  image.sel_x1 = 10, image.sel_y1 = 20, image.sel_x2 = 110, image.sel_y2 = 220;
  build(image);
  ASSERT_FALSE(host.thumbnails.empty());
  EXPECT_EQ(host.thumbnails.back().x, 10);
  EXPECT_EQ(host.thumbnails.back().h, 200);
  host.has_parasite = true;
  host.active_layer = 17;
  host.parasite = settings_text_of([](EffectParams *) {});
  for (int ending : {int(RESPONSE_CLOSE), int(RESPONSE_CREATE)}) {
    respond(RESPONSE_EDIT_LAYER);
    const auto shown = host.thumbnails.back();
    EXPECT_EQ(shown.x, 600);
    EXPECT_EQ(shown.y, 1500);
    EXPECT_EQ(shown.w, 120);
    EXPECT_EQ(shown.h, 80);
    EXPECT_NEAR(preview_scale_get(), 1.0, 1e-12);  // 120 x 80 fits unscaled
    respond(ending);
    EXPECT_EQ(host.thumbnails.back().x, 10);
    EXPECT_EQ(host.thumbnails.back().w, 100);
    EXPECT_NEAR(preview_scale_get(), 1.0, 1e-12);
  }
}

}  // namespace

// Editing a layer, the picture under the lines is taken without that layer,
// so the new lines are not seen over the old ones; leaving edit mode takes it
// again with every layer.  The zoom and the view stay.
TEST_F(Responses, EditModesPictureLeavesTheEditedLayerOut) {
  // Zoomed in, the preview may ask again for the part in view (of the same
  // layers) once the view stands still: each run of equal requests counts once.
  auto runs = [](const std::vector<int32_t> &v) {
    std::vector<int32_t> out;
    for (int32_t id : v)
      if (out.empty() || out.back() != id) out.push_back(id);
    return out;
  };
  build();
  host.has_parasite = true;
  host.active_layer = 17;
  host.parasite = settings_text_of([](EffectParams *) {});
  auto picture_colour = []() {
    int w = 0, h = 0;
    preview_view_size(&w, &h);
    cairo_surface_t *surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
    cairo_t *cr = cairo_create(surface);
    preview_apply_transform(cr);
    preview_paint_picture(cr);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    const uint32_t px = *reinterpret_cast<const uint32_t *>(
        cairo_image_surface_get_data(surface) + (h / 2) * cairo_image_surface_get_stride(surface) +
        4 * (w / 2));
    cairo_surface_destroy(surface);
    return px & 0xffffff;
  };
  ASSERT_EQ(runs(host.pictures), std::vector<int32_t>{-1});
  EXPECT_EQ(picture_colour(), PICTURE_ALL_RGBA >> 8);
  preview_zoom_in();
  const double scale = preview_view_scale();

  respond(RESPONSE_EDIT_LAYER);
  ASSERT_EQ(live().edit_mode, EditMode::Replace);
  EXPECT_EQ(runs(host.pictures), (std::vector<int32_t>{-1, 17}));
  EXPECT_EQ(picture_colour(), PICTURE_WITHOUT_RGBA >> 8);
  EXPECT_DOUBLE_EQ(preview_view_scale(), scale);

  respond(RESPONSE_CREATE);  // Apply: the layer drawn again, and shown again
  EXPECT_EQ(live().edit_mode, EditMode::Create);
  EXPECT_EQ(runs(host.pictures), (std::vector<int32_t>{-1, 17, -1}));
  EXPECT_EQ(picture_colour(), PICTURE_ALL_RGBA >> 8);

  respond(RESPONSE_EDIT_LAYER);
  respond(RESPONSE_CLOSE);  // Cancel
  EXPECT_EQ(runs(host.pictures), (std::vector<int32_t>{-1, 17, -1, 17, -1}));
  EXPECT_EQ(picture_colour(), PICTURE_ALL_RGBA >> 8);
  EXPECT_TRUE(dialog_open());
}

// The window can be made larger, the preview taking the room, and Close
// records the size the user left it at (it comes back with the record).
TEST_F(Responses, TheLargerWindowIsRecordedAndThePreviewTakesTheRoom) {
  build();
  gint natural_w = 0, natural_h = 0;
  gtk_window_get_size(GTK_WINDOW(dialog), &natural_w, &natural_h);
  int small_w = 0, small_h = 0;
  preview_view_size(&small_w, &small_h);
  gtk_window_resize(GTK_WINDOW(dialog), natural_w + 240, natural_h + 160);
  ASSERT_TRUE(wait_for_preview_size(small_w + 240, small_h + 160));
  int w = 0, h = 0;
  preview_view_size(&w, &h);
  EXPECT_EQ(w, small_w + 240);
  EXPECT_EQ(h, small_h + 160);
  respond(RESPONSE_CLOSE);
  EXPECT_EQ(live().window_width, natural_w + 240);
  EXPECT_EQ(live().window_height, natural_h + 160);
  const WindowPlacement placement = window_placement_from_record(&live());
  EXPECT_TRUE(placement.resize);
  EXPECT_EQ(placement.width, natural_w + 240);
}

// Close records where the window stands, as well as its size.
TEST_F(Responses, CloseRecordsTheWindowsPosition) {
  build(FixedImage{}, [](EffectParams *p) {
    p->window_x = 130;
    p->window_y = 170;
  });
  gtk_window_move(GTK_WINDOW(dialog), 210, 90);
  pump_gtk_events();
  respond(RESPONSE_CLOSE);
  EXPECT_EQ(live().window_x, 210);
  EXPECT_EQ(live().window_y, 90);
}
