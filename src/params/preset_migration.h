// Bringing the presets of an older GIMP's personal folder into a newer one's,
// once: when the new preset folder does not exist yet and the old one does,
// the old presets are copied (never moved, never overwriting anything).
#pragma once

#include <glib.h>

// The personal folder GIMP 2.10 used, seen from GIMP 3's personal folder
// `gimp3_dir`: the folder named by GIMP2_DIRECTORY (`gimp2_env`; a relative
// one lies inside `home`, as GIMP 2.10 took it) when that is set, otherwise
// the folder "2.10" beside `gimp3_dir` (~/.config/GIMP/2.10 beside
// ~/.config/GIMP/3.0).  A new string (g_free), or nullptr when neither can be
// told (no gimp3_dir, or a relative override without a home).
char *gimp2_personal_dir(const char *gimp3_dir, const char *gimp2_env, const char *home);

struct PresetMigration {
  bool ran;     // the new folder was made here from the old one's presets
  int copied;   // presets copied
  int skipped;  // entries left behind: folders, links, special or oversized files, unreadable ones
};

// When new_folder does not exist (as anything) and old_folder is a folder,
// makes new_folder holding copies of old_folder's preset files: regular files
// (symbolic links are not followed) of at most PRESET_MAX_FILE_SIZE bytes,
// under their own names.  The copies are made in a temporary folder beside
// new_folder that is renamed into place only when complete, so a failure
// leaves no new_folder behind and nothing ever replaces a folder someone else
// made meanwhile.  Otherwise does nothing and returns ran = false.  false in
// `ran` with an error set when the copy failed (the old folder is untouched
// either way).
PresetMigration preset_migrate_once(const char *old_folder, const char *new_folder,
                                    GError **error);
