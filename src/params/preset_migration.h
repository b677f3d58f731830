// Bringing the presets of an older GIMP's personal folder into a newer one's,
// once: when the new preset folder does not exist yet and the old one does,
// the old presets are copied (never moved, never overwriting anything).
#pragma once

#include <glib.h>

#include <string>
#include <vector>

// The personal folder GIMP 2.10 used, seen from GIMP 3's personal folder
// `gimp3_dir`: the folder named by GIMP2_DIRECTORY (`gimp2_env`; a relative
// one lies inside `home`, as GIMP 2.10 took it) when that is set, otherwise
// the folder "2.10" beside `gimp3_dir` (~/.config/GIMP/2.10 beside
// ~/.config/GIMP/3.0).  A new string (g_free), or nullptr when neither can be
// told (no gimp3_dir, or a relative override without a home).
char *gimp2_personal_dir(const char *gimp3_dir, const char *gimp2_env, const char *home);

// An older GIMP's personal folder and the version that used it.
struct OlderGimpDir {
  std::string dir;
  std::string version;  // "3.0", "2.10"
};

// The personal folders of the GIMPs older than the one whose personal folder
// is `gimp_dir`, newest first.  A folder named after its GIMP 3 version
// (~/.config/GIMP/3.2) has the earlier GIMP 3 folders beside it (3.1, 3.0);
// a folder named otherwise (GIMP3_DIRECTORY) is shared by every GIMP 3 and
// has none.  GIMP 2.10's folder comes last, as gimp2_personal_dir tells.
std::vector<OlderGimpDir> older_gimp_personal_dirs(const char *gimp_dir, const char *gimp2_env,
                                                   const char *home);

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

// When the preset folder `folder_name` of gimp_dir does not exist yet, copies
// it with preset_migrate_once from the newest older GIMP whose personal
// folder has one (older_gimp_personal_dirs); `from` tells which GIMP that
// was ("" when none had one).
PresetMigration preset_migrate_from_older(const char *gimp_dir, const char *folder_name,
                                          const char *gimp2_env, const char *home,
                                          std::string *from, GError **error);
