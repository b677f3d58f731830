// The plug-in executable for GIMP 3: a GimpPlugIn that registers
// plugin-zipstroke as an image procedure, and its run.
#include <libintl.h>

#include <memory>

#include <glib/gi18n-lib.h>
#include <libgimp/gimp.h>
#include <libgimp/gimpui.h>

#include "dialog.h"
#include "effect_params.h"
#include "glib_ptr.h"
#include "last_values.h"
#include "responses.h"
#include "services.h"
#include "unit_change.h"

namespace {

constexpr const char *PROCEDURE_NAME = "plugin-zipstroke";
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
// and GIMP saves it in its parasiterc, so it also survives a restart.  (A
// procedure argument would be stored per image too, inside every XCF saved
// afterwards, and would dirty an image the dialog merely looked at.)
void restore_last_values(EffectParams *params) {
  std::unique_ptr<GimpParasite, FreeWith<gimp_parasite_free>> parasite(
      gimp_get_parasite(LAST_VALUES_NAME));
  if (!parasite) return;
  guint32 size = 0;
  const void *block = gimp_parasite_get_data(parasite.get(), &size);
  // A block of another size (another build's record) is ignored.
  last_values_restore(params, block, size);
}

void store_last_values(const EffectParams *params) {
  std::unique_ptr<GimpParasite, FreeWith<gimp_parasite_free>> parasite(
      gimp_parasite_new(LAST_VALUES_NAME, GIMP_PARASITE_PERSISTENT, sizeof *params, params));
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
  params.image_id = image_id;
  params.drawable_id = drawable_id;
  params.edit_mode = 0;
  // The restored lengths are in the stored unit.
  current_unit_set(params.area_unit);

  gimp_ui_init("zipstroke");
  dialog_build(&params);
  gtk_main();
  responses_finish(&params);

  store_last_values(&params);
  // As in GIMP 2.10 the layer made is not reported: the return value stays empty.
  return gimp_procedure_new_return_values(procedure, GIMP_PDB_SUCCESS, nullptr);
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
  return g_list_append(nullptr, g_strdup(PROCEDURE_NAME));
}

static GimpProcedure *zipstroke_create_procedure(GimpPlugIn *plug_in, const gchar *name) {
  if (g_strcmp0(name, PROCEDURE_NAME) != 0) return nullptr;
  bind_text_domain();
  GimpProcedure *procedure = gimp_image_procedure_new(plug_in, name, GIMP_PDB_PROC_TYPE_PLUGIN,
                                                      run, nullptr, nullptr);
  gimp_procedure_set_image_types(procedure, "RGB*, GRAY*");
  gimp_procedure_set_sensitivity_mask(procedure, GIMP_PROCEDURE_SENSITIVE_DRAWABLE);
  gimp_procedure_set_menu_label(procedure, _("_Zipstroke..."));
  gimp_procedure_add_menu_path(procedure, "<Image>/Filters/KestrelKit/");
  const char *blurb = _("A Tool for drawing Zipstrokes.");
  gimp_procedure_set_documentation(procedure, blurb, blurb, name);
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
