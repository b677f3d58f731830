// The plug-in executable: registration of plugin-zipstroke and its run.
#include <libintl.h>

#include <cstring>
#include <string>
#include <vector>

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

void query();
void run(const gchar *name, gint n_params, const GimpParam *param, gint *n_return_vals,
         GimpParam **return_vals);

// GIMP reads the return values after run() has returned; so does the error
// message, which lives until the next run.
GimpParam return_values[2];
GCharPtr error_message;

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
  const char *help = gettext(PROCEDURE_HELP);
  gimp_install_procedure(PROCEDURE_NAME, blurb, help, AUTHOR, AUTHOR, DATE,
                         gettext("_Zipstroke..."), "RGB*, GRAY*", GIMP_PLUGIN,
                         G_N_ELEMENTS(args), G_N_ELEMENTS(return_args), args, return_args);
  gimp_plugin_menu_register(PROCEDURE_NAME, "<Image>/Filters/KestrelKit/");
  // GIMP shows the menu label and the help in its own language from this domain.
  gimp_plugin_domain_register(GETTEXT_PACKAGE,
                              text_domain_folder(gimp_get_progname(), gimp_locale_directory()).c_str());

  static const GimpParamDef settings_args[] = {
      {GIMP_PDB_INT32, const_cast<gchar *>("run-mode"),
       const_cast<gchar *>("The run mode { RUN-INTERACTIVE (0), RUN-NONINTERACTIVE (1), "
                           "RUN-WITH-LAST-VALS (2) }; no dialog is shown in any")},
      {GIMP_PDB_IMAGE, const_cast<gchar *>("image"), const_cast<gchar *>("Input image")},
      {GIMP_PDB_DRAWABLE, const_cast<gchar *>("drawable"),
       const_cast<gchar *>("Input drawable (with replace: the streak layer to re-render)")},
      {GIMP_PDB_STRING, const_cast<gchar *>("settings"),
       const_cast<gchar *>("Settings text, as in a preset file or a streak layer")},
      {GIMP_PDB_INT32, const_cast<gchar *>("replace"),
       const_cast<gchar *>("TRUE: re-render the streak layer drawable in place; FALSE: make a new layer")},
  };
  gimp_install_procedure(
      SETTINGS_PROCEDURE_NAME, "Draws streak lines from a settings text, without a dialog",
      "Draws the streak lines a settings text describes (a preset file's contents, or the "
      "settings kept by a streak layer) over the selection's bounding box, or the whole image, "
      "into a new layer made as the dialog's Create makes it; with replace TRUE the streak "
      "layer given as drawable is re-rendered in place instead.  Lengths are taken in the "
      "text's unit with the image's resolution.  One undo step.",
      AUTHOR, AUTHOR, DATE, nullptr, "RGB*, GRAY*", GIMP_PLUGIN, G_N_ELEMENTS(settings_args),
      G_N_ELEMENTS(return_args), settings_args, return_args);
}

// A refusal (or failure) whose message GIMP hands to the caller.
void report(GimpPDBStatusType status, const std::string &message) {
  error_message.reset(g_strdup(message.c_str()));
  return_values[0].data.d_status = status;
  return_values[1].type = GIMP_PDB_STRING;
  return_values[1].data.d_string = error_message.get();
}

void run_settings(const GimpParam *param) {
  const SettingsCallResult result =
      run_settings_call(param[1].data.d_image, param[2].data.d_drawable, param[3].data.d_string,
                        param[4].data.d_int32 != 0);
  if (result.status == CallStatus::Success)
    return_values[1].data.d_layer = result.layer;
  else
    report(result.status == CallStatus::CallingError ? GIMP_PDB_CALLING_ERROR
                                                     : GIMP_PDB_EXECUTION_ERROR,
           result.message);
}

void run(const gchar *name, gint, const GimpParam *param, gint *n_return_vals,
         GimpParam **return_vals) {
  text_domain_bind(text_domain_folder(gimp_get_progname(), gimp_locale_directory()));

  *n_return_vals = 2;
  *return_vals = return_values;
  return_values[0].type = GIMP_PDB_STATUS;
  return_values[0].data.d_status = GIMP_PDB_SUCCESS;
  return_values[1].type = GIMP_PDB_LAYER;
  return_values[1].data.d_layer = -1;

  if (std::strcmp(name, SETTINGS_PROCEDURE_NAME) == 0) return run_settings(param);

  switch (param[0].data.d_int32) {
    case GIMP_RUN_INTERACTIVE:
    case GIMP_RUN_WITH_LAST_VALS:
      break;
    case GIMP_RUN_NONINTERACTIVE:
      g_log(nullptr, G_LOG_LEVEL_WARNING, "%s", noninteractive_refusal_text());
      return_values[0].data.d_status = GIMP_PDB_CALLING_ERROR;
      return;
    default:
      return;
  }
  // The record lives here for the whole run; the dialog holds its address.
  static EffectParams params;
  run_dialog(&params, param[1].data.d_image, param[2].data.d_drawable);
}

}  // namespace

// The block kept by GIMP from the previous run, when it is one of this build.
void host_last_values_restore(EffectParams *params) {
  const gint size = gimp_procedural_db_get_data_size(LAST_VALUES_NAME);
  if (size != static_cast<gint>(sizeof(EffectParams))) return;
  std::vector<guint8> block(size);
  if (!gimp_procedural_db_get_data(LAST_VALUES_NAME, block.data())) return;
  last_values_restore(params, block.data(), block.size());
}

void host_last_values_store(const EffectParams *params) {
  gimp_procedural_db_set_data(LAST_VALUES_NAME, params, sizeof *params);
}

void host_ui_init() { gimp_ui_init("zipstroke", TRUE); }

const GimpPlugInInfo PLUG_IN_INFO = {nullptr, nullptr, query, run};

int main(int argc, char *argv[]) { return gimp_main(&PLUG_IN_INFO, argc, argv); }
