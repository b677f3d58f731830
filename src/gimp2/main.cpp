// The plug-in executable: registration of plugin-zipstroke and its run.
#include <libintl.h>

#include <vector>

#include <glib/gi18n-lib.h>
#include <libgimp/gimp.h>
#include <libgimp/gimpui.h>

#include "dialog.h"
#include "effect_params.h"
#include "services.h"
#include "last_values.h"
#include "responses.h"
#include "unit_change.h"

namespace {

constexpr const char *PROCEDURE_NAME = "plugin-zipstroke";
constexpr const char *AUTHOR = "The Zipstroke developers";
constexpr const char *DATE = "2024-2026";

void query();
void run(const gchar *name, gint n_params, const GimpParam *param, gint *n_return_vals,
         GimpParam **return_vals);

// GIMP reads the return values after run() has returned.
GimpParam return_values[2];

void query() {
  static const GimpParamDef args[] = {
      {GIMP_PDB_INT32, const_cast<gchar *>("run-mode"),
       const_cast<gchar *>("Interactive=0, non-interactive=1")},
      {GIMP_PDB_IMAGE, const_cast<gchar *>("image"), const_cast<gchar *>("Input image")},
      {GIMP_PDB_DRAWABLE, const_cast<gchar *>("drawable"), const_cast<gchar *>("Input drawable")},
  };
  static const GimpParamDef return_args[] = {
      {GIMP_PDB_LAYER, const_cast<gchar *>("layer"), const_cast<gchar *>("The zipstroke layer")},
  };
  // No domain is bound while registering: these look-ups use the default one.
  const char *blurb = gettext("A Tool for drawing Zipstrokes.");
  gimp_install_procedure(PROCEDURE_NAME, blurb, blurb, AUTHOR, AUTHOR, DATE,
                         gettext("_Zipstroke..."), "RGB*, GRAY*", GIMP_PLUGIN,
                         G_N_ELEMENTS(args), G_N_ELEMENTS(return_args), args, return_args);
  gimp_plugin_menu_register(PROCEDURE_NAME, "<Image>/Filters/KestrelKit/");
}

// The block kept by GIMP from the previous run, when it is one of this build.
void restore_last_values(EffectParams *params) {
  const gint size = gimp_procedural_db_get_data_size(LAST_VALUES_NAME);
  if (size != static_cast<gint>(sizeof(EffectParams))) return;
  std::vector<guint8> block(size);
  if (!gimp_procedural_db_get_data(LAST_VALUES_NAME, block.data())) return;
  last_values_restore(params, block.data(), block.size());
}

void run(const gchar *, gint, const GimpParam *param, gint *n_return_vals,
         GimpParam **return_vals) {
  bindtextdomain(GETTEXT_PACKAGE, gimp_locale_directory());
  bind_textdomain_codeset(GETTEXT_PACKAGE, "UTF-8");
  textdomain(GETTEXT_PACKAGE);

  const gint32 run_mode = param[0].data.d_int32;
  const gint32 image_id = param[1].data.d_image;
  const gint32 drawable_id = param[2].data.d_drawable;

  // The record lives here for the whole run; the dialog holds its address.
  static EffectParams params;
  effect_params_init_run_fields(&params, image_id, drawable_id);

  *n_return_vals = 2;
  *return_vals = return_values;
  return_values[0].type = GIMP_PDB_STATUS;
  return_values[0].data.d_status = GIMP_PDB_SUCCESS;
  return_values[1].type = GIMP_PDB_LAYER;
  return_values[1].data.d_layer = -1;

  gimp_services_install();
  effect_params_set_defaults(&params);

  switch (run_mode) {
    case GIMP_RUN_INTERACTIVE:
    case GIMP_RUN_WITH_LAST_VALS:
      break;
    case GIMP_RUN_NONINTERACTIVE:
      g_log(nullptr, G_LOG_LEVEL_WARNING, "%s",
            _("error: This plug-in does not support non-interactive mode."));
      return_values[0].data.d_status = GIMP_PDB_CALLING_ERROR;
      return;
    default:
      return;
  }

  restore_last_values(&params);
  params.image_id = image_id;
  params.drawable_id = drawable_id;
  params.edit_mode = 0;
  // The restored lengths are in the stored unit.
  current_unit_set(params.area_unit);

  gimp_ui_init("zipstroke", TRUE);
  dialog_run(dialog_build(&params));
  responses_finish(&params);

  gimp_procedural_db_set_data(LAST_VALUES_NAME, &params, sizeof params);
}

}  // namespace

const GimpPlugInInfo PLUG_IN_INFO = {nullptr, nullptr, query, run};

int main(int argc, char *argv[]) { return gimp_main(&PLUG_IN_INFO, argc, argv); }
