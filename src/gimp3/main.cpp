// The plug-in executable for GIMP 3: a GimpPlugIn that registers
// plugin-zipstroke as an image procedure, and its run.
#include <libintl.h>

#include <cstring>
#include <memory>

#include <glib/gi18n-lib.h>
#include <libgimp/gimp.h>
#include <libgimp/gimpui.h>

#include "effect_params.h"
#include "glib_ptr.h"
#include "host_calls.h"
#include "last_values.h"
#include "plugin_run.h"
#include "procedure_help.h"
#include "text_domain.h"

namespace {

constexpr const char *PROCEDURE_NAME = "plugin-zipstroke";
constexpr const char *SETTINGS_PROCEDURE_NAME = "plugin-zipstroke-settings";
constexpr const char *AUTHOR = "The Zipstroke developers";
constexpr const char *DATE = "2024-2026";

// The texts are looked up in the plug-in's own domain, in the catalogues
// beside the plug-in (see zipstroke_set_i18n).
void bind_text_domain() {
  text_domain_bind(text_domain_folder(gimp_get_progname(), gimp_locale_directory()));
}

GimpValueArray *run(GimpProcedure *procedure, GimpRunMode run_mode, GimpImage *image,
                    GimpDrawable **drawables, GimpProcedureConfig *, gpointer) {
  bind_text_domain();
  if (run_mode == GIMP_RUN_NONINTERACTIVE) {
    return gimp_procedure_new_return_values(
        procedure, GIMP_PDB_CALLING_ERROR,
        g_error_new_literal(GIMP_PLUG_IN_ERROR, 0, noninteractive_refusal_text()));
  }
  // The record lives here for the whole run; the dialog holds its address.
  static EffectParams params;
  run_dialog(&params, gimp_image_get_id(image),
             drawables && drawables[0] ? gimp_item_get_id(GIMP_ITEM(drawables[0])) : NO_ID);
  // As in GIMP 2.10 the layer made is not reported: the return value stays empty.
  return gimp_procedure_new_return_values(procedure, GIMP_PDB_SUCCESS, nullptr);
}

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

  const SettingsCallResult result =
      run_settings_call(image ? gimp_image_get_id(image) : NO_ID,
                        drawable ? gimp_item_get_id(GIMP_ITEM(drawable)) : NO_ID, text, replace);
  if (result.status != CallStatus::Success) {
    const GimpPDBStatusType status = result.status == CallStatus::CallingError
                                         ? GIMP_PDB_CALLING_ERROR
                                         : GIMP_PDB_EXECUTION_ERROR;
    return gimp_procedure_new_return_values(
        procedure, status, g_error_new_literal(GIMP_PLUG_IN_ERROR, 0, result.message.c_str()));
  }
  GimpValueArray *values = gimp_procedure_new_return_values(procedure, GIMP_PDB_SUCCESS, nullptr);
  GIMP_VALUES_SET_LAYER(values, 1, GIMP_LAYER(gimp_item_get_by_id(result.layer)));
  return values;
}

}  // namespace

// The record of the previous run, kept by GIMP as a global persistent
// parasite: like GIMP 2.10's procedure data it is one record for every image,
// and GIMP saves it in its parasiterc, so it also survives a restart.  (An
// auxiliary procedure argument would also be kept per image, recalled on that
// image before the last run's values, and saved into every XCF of it as some
// 180 KB of escaped text.)
void host_last_values_restore(EffectParams *params) {
  std::unique_ptr<GimpParasite, FreeWith<gimp_parasite_free>> parasite(
      gimp_get_parasite(LAST_VALUES_NAME));
  if (!parasite) return;
  guint32 size = 0;
  const void *block = gimp_parasite_get_data(parasite.get(), &size);
  // A block of another size (another build's record) is ignored.
  last_values_restore(params, block, size);
}

void host_last_values_store(const EffectParams *params) {
  std::unique_ptr<GimpParasite, FreeWith<gimp_parasite_free>> parasite(
      gimp_parasite_new(LAST_VALUES_NAME, GIMP_PARASITE_PERSISTENT, sizeof *params, params));
  gimp_attach_parasite(parasite.get());
}

void host_ui_init() { gimp_ui_init("zipstroke"); }

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

// The plug-in's domain and its catalogues, in the folder beside the
// executable: libgimp binds them before the procedures are made, whose menu
// label and help are then registered translated.  Without that folder (a
// build run where it was built) the plug-in binds GIMP's locale folder itself.
static gboolean zipstroke_set_i18n(GimpPlugIn *, const gchar *, gchar **gettext_domain,
                                   gchar **catalog_dir) {
  if (text_domain_folder(gimp_get_progname(), nullptr).empty()) return FALSE;
  *gettext_domain = g_strdup(GETTEXT_PACKAGE);
  *catalog_dir = g_strdup(TEXT_DOMAIN_SUBFOLDER);
  return TRUE;
}

static void zipstroke_plug_in_class_init(ZipstrokePlugInClass *klass) {
  GimpPlugInClass *plug_in_class = GIMP_PLUG_IN_CLASS(klass);
  plug_in_class->query_procedures = zipstroke_query_procedures;
  plug_in_class->create_procedure = zipstroke_create_procedure;
  plug_in_class->set_i18n = zipstroke_set_i18n;
}

static void zipstroke_plug_in_init(ZipstrokePlugIn *) {}

GIMP_MAIN(zipstroke_plug_in_get_type())
