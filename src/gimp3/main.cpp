// The plug-in executable for GIMP 3: a GimpPlugIn that registers
// plugin-zipstroke as an image procedure, and its run.
#include <libintl.h>

#include <cstring>
#include <memory>

#include <glib/gi18n-lib.h>
#include <libgimp/gimp.h>
#include <libgimp/gimpui.h>

#include "dialog.h"
#include "effect_params.h"
#include "glib_ptr.h"
#include "image_services.h"
#include "last_values.h"
#include "procedure_help.h"
#include "script_settings.h"
#include "services.h"
#include "streak_layer.h"

namespace {

constexpr const char *PROCEDURE_NAME = "plugin-zipstroke";
constexpr const char *SETTINGS_PROCEDURE_NAME = "plugin-zipstroke-settings";
constexpr const char *AUTHOR = "The Zipstroke developers";
constexpr const char *DATE = "2024-2026";

// The texts are looked up in the plug-in's own domain, bound to GIMP's locale
// folder as the GIMP 2.10 plug-in binds it, so one catalogue serves both.
void bind_text_domain() {
  bindtextdomain(GETTEXT_PACKAGE, gimp_locale_directory());
  bind_textdomain_codeset(GETTEXT_PACKAGE, "UTF-8");
  textdomain(GETTEXT_PACKAGE);
}

// The record of the previous run, kept by GIMP as a global persistent
// parasite: like GIMP 2.10's procedure data it is one record for every image,
// and GIMP saves it in its parasiterc, so it also survives a restart.  It is
// kept as the last-values text (a few kilobytes); the raw record older builds
// kept there is read once and replaced by the text at the end of the run.
// (An auxiliary procedure argument would also be kept per image, recalled on
// that image before the last run's values, and saved into every XCF of it.)
void restore_last_values(EffectParams *params) {
  std::unique_ptr<GimpParasite, FreeWith<gimp_parasite_free>> parasite(
      gimp_get_parasite(LAST_VALUES_NAME));
  if (!parasite) return;
  guint32 size = 0;
  const void *data = gimp_parasite_get_data(parasite.get(), &size);
  // Anything else (damaged, another format) is ignored: the defaults stand.
  last_values_read(params, data, size);
}

void store_last_values(const EffectParams *params) {
  gsize length = 0;
  GCharPtr text(last_values_to_text(params, &length));
  std::unique_ptr<GimpParasite, FreeWith<gimp_parasite_free>> parasite(gimp_parasite_new(
      LAST_VALUES_NAME, GIMP_PARASITE_PERSISTENT, static_cast<guint32>(length), text.get()));
  gimp_attach_parasite(parasite.get());
}

GimpValueArray *run(GimpProcedure *procedure, GimpRunMode run_mode, GimpImage *image,
                    GimpDrawable **drawables, GimpProcedureConfig *, gpointer) {
  bind_text_domain();
  const int32_t image_id = gimp_image_get_id(image);
  const int32_t drawable_id =
      drawables && drawables[0] ? gimp_item_get_id(GIMP_ITEM(drawables[0])) : -1;

  // The record lives here for the whole run; the dialog holds its address.
  static EffectParams params;
  effect_params_init_run_fields(&params, image_id, drawable_id);
  gimp_services_install();
  effect_params_set_defaults(&params);

  if (run_mode == GIMP_RUN_NONINTERACTIVE) {
    return gimp_procedure_new_return_values(
        procedure, GIMP_PDB_CALLING_ERROR,
        g_error_new_literal(GIMP_PLUG_IN_ERROR, 0,
                            _("error: This plug-in does not support non-interactive mode.")));
  }

  restore_last_values(&params);
  gimp_ui_init("zipstroke");
  dialog_run_on_image(&params, image_id, drawable_id);

  store_last_values(&params);
  // As in GIMP 2.10 the layer made is not reported: the return value stays empty.
  return gimp_procedure_new_return_values(procedure, GIMP_PDB_SUCCESS, nullptr);
}

GimpValueArray *refuse(GimpProcedure *procedure, GimpPDBStatusType status, const char *message) {
  return gimp_procedure_new_return_values(procedure, status,
                                          g_error_new_literal(GIMP_PLUG_IN_ERROR, 0, message));
}

bool has_settings_parasite(GimpItem *item) {
  GimpParasite *parasite = gimp_item_get_parasite(item, STREAK_PARASITE_NAME);
  if (!parasite) return false;
  gimp_parasite_free(parasite);
  return true;
}

// plugin-zipstroke-settings: everything is checked before anything in the
// image changes, so that a refused call leaves it and its undo history alone.
GimpValueArray *run_settings(GimpProcedure *procedure, GimpProcedureConfig *config, gpointer) {
  bind_text_domain();
  GimpImage *image = nullptr;
  GimpDrawable *drawable = nullptr;
  gchar *text = nullptr;
  gboolean replace = FALSE;
  g_object_get(config, "image", &image, "drawable", &drawable, "settings", &text, "replace",
               &replace, nullptr);
  std::unique_ptr<GimpImage, FreeWith<g_object_unref>> image_ref(image);
  std::unique_ptr<GimpDrawable, FreeWith<g_object_unref>> drawable_ref(drawable);
  GCharPtr text_ref(text);

  if (!image || !gimp_image_is_valid(image)) return refuse(procedure, GIMP_PDB_CALLING_ERROR, "the image does not exist");
  if (!drawable || !gimp_item_is_valid(GIMP_ITEM(drawable)))
    return refuse(procedure, GIMP_PDB_CALLING_ERROR, "the drawable does not exist");
  const int32_t image_id = gimp_image_get_id(image);
  const int32_t drawable_id = gimp_item_get_id(GIMP_ITEM(drawable));
  if (gimp_image_get_id(gimp_item_get_image(GIMP_ITEM(drawable))) != image_id)
    return refuse(procedure, GIMP_PDB_CALLING_ERROR, "the drawable does not belong to the image");
  const GimpImageBaseType base = gimp_image_get_base_type(image);
  if (base != GIMP_RGB && base != GIMP_GRAY)
    return refuse(procedure, GIMP_PDB_CALLING_ERROR,
                  "streak lines are drawn on RGB and grey images only, not on indexed ones");
  if (replace && (!editable_layer(image_id, drawable_id) || !has_settings_parasite(GIMP_ITEM(drawable))))
    return refuse(procedure, GIMP_PDB_CALLING_ERROR,
                  "replace needs a streak layer: the drawable does not carry plugin-zipstroke "
                  "settings");

  gimp_services_install();
  auto params = std::make_unique<EffectParams>();
  effect_params_init_run_fields(params.get(), image_id, drawable_id);
  effect_params_set_defaults(params.get());
  GError *raw_error = nullptr;
  if (!script_settings_apply(params.get(), text, text ? std::strlen(text) : 0, &raw_error)) {
    GErrorPtr error(raw_error);
    GCharPtr message(g_strdup_printf("unreadable settings text: %s", error->message));
    return refuse(procedure, GIMP_PDB_CALLING_ERROR, message.get());
  }
  params->image_id = image_id;
  params->drawable_id = drawable_id;
  params->edit_mode = replace ? 1 : 0;

  const LayerResult result = gimp_render_to_layer(params.get());
  if (result.status != 0)
    return refuse(procedure, GIMP_PDB_EXECUTION_ERROR, "the streak layer could not be made");
  GimpValueArray *values = gimp_procedure_new_return_values(procedure, GIMP_PDB_SUCCESS, nullptr);
  GIMP_VALUES_SET_LAYER(values, 1, layer_of(result.layer_id));
  return values;
}

}  // namespace

extern "C" {

struct ZipstrokePlugIn {
  GimpPlugIn parent_instance;
};

struct ZipstrokePlugInClass {
  GimpPlugInClass parent_class;
};

}

G_DEFINE_TYPE(ZipstrokePlugIn, zipstroke_plug_in, GIMP_TYPE_PLUG_IN)

static GList *zipstroke_query_procedures(GimpPlugIn *) {
  GList *names = g_list_append(nullptr, g_strdup(PROCEDURE_NAME));
  return g_list_append(names, g_strdup(SETTINGS_PROCEDURE_NAME));
}

static GimpProcedure *create_settings_procedure(GimpPlugIn *plug_in, const gchar *name) {
  GimpProcedure *procedure =
      gimp_procedure_new(plug_in, name, GIMP_PDB_PROC_TYPE_PLUGIN, run_settings, nullptr, nullptr);
  gimp_procedure_set_image_types(procedure, "RGB*, GRAY*");
  gimp_procedure_set_documentation(
      procedure, "Draws streak lines from a settings text, without a dialog",
      "Draws the streak lines a settings text describes (a preset file's contents, or the "
      "settings kept by a streak layer) over the selection's bounding box, or the whole image, "
      "into a new layer made as the dialog's Create makes it; with replace TRUE the streak "
      "layer given as drawable is re-rendered in place instead.  Lengths are taken in the "
      "text's unit with the image's resolution.  One undo step.",
      name);
  gimp_procedure_set_attribution(procedure, AUTHOR, AUTHOR, DATE);
  gimp_procedure_add_enum_argument(procedure, "run-mode", "Run mode",
                                   "The run mode; no dialog is shown in any", GIMP_TYPE_RUN_MODE,
                                   GIMP_RUN_NONINTERACTIVE, G_PARAM_READWRITE);
  gimp_procedure_add_image_argument(procedure, "image", "Image", "Input image", FALSE,
                                    G_PARAM_READWRITE);
  gimp_procedure_add_drawable_argument(procedure, "drawable", "Drawable",
                                       "Input drawable (with replace: the streak layer to re-render)",
                                       FALSE, G_PARAM_READWRITE);
  gimp_procedure_add_string_argument(procedure, "settings", "Settings",
                                     "Settings text, as in a preset file or a streak layer",
                                     nullptr, G_PARAM_READWRITE);
  gimp_procedure_add_boolean_argument(
      procedure, "replace", "Replace",
      "TRUE: re-render the streak layer drawable in place; FALSE: make a new layer", FALSE,
      G_PARAM_READWRITE);
  gimp_procedure_add_layer_return_value(procedure, "layer", "Layer", "The zipstroke layer", TRUE,
                                        G_PARAM_READWRITE);
  return procedure;
}

static GimpProcedure *zipstroke_create_procedure(GimpPlugIn *plug_in, const gchar *name) {
  if (g_strcmp0(name, SETTINGS_PROCEDURE_NAME) == 0) return create_settings_procedure(plug_in, name);
  if (g_strcmp0(name, PROCEDURE_NAME) != 0) return nullptr;
  bind_text_domain();
  GimpProcedure *procedure = gimp_image_procedure_new(plug_in, name, GIMP_PDB_PROC_TYPE_PLUGIN,
                                                      run, nullptr, nullptr);
  gimp_procedure_set_image_types(procedure, "RGB*, GRAY*");
  gimp_procedure_set_sensitivity_mask(procedure, GIMP_PROCEDURE_SENSITIVE_DRAWABLE);
  gimp_procedure_set_menu_label(procedure, _("_Zipstroke..."));
  gimp_procedure_add_menu_path(procedure, "<Image>/Filters/KestrelKit/");
  const char *blurb = _("A Tool for drawing Zipstrokes.");
  gimp_procedure_set_documentation(procedure, blurb, _(PROCEDURE_HELP), name);
  gimp_procedure_set_attribution(procedure, AUTHOR, AUTHOR, DATE);
  gimp_procedure_add_layer_return_value(procedure, "layer", "Layer", "The zipstroke layer", TRUE,
                                        G_PARAM_READWRITE);
  return procedure;
}

// The domain is bound by the plug-in itself (see bind_text_domain), not in a
// folder beside the executable.
static gboolean zipstroke_set_i18n(GimpPlugIn *, const gchar *, gchar **, gchar **) {
  return FALSE;
}

static void zipstroke_plug_in_class_init(ZipstrokePlugInClass *klass) {
  GimpPlugInClass *plug_in_class = GIMP_PLUG_IN_CLASS(klass);
  plug_in_class->query_procedures = zipstroke_query_procedures;
  plug_in_class->create_procedure = zipstroke_create_procedure;
  plug_in_class->set_i18n = zipstroke_set_i18n;
}

static void zipstroke_plug_in_init(ZipstrokePlugIn *) {}

GIMP_MAIN(zipstroke_plug_in_get_type())
