// The preset library on disk: one settings-text file per preset, in the folder
// "zipstroke" inside the user's GIMP directory.  Every path built here stays
// directly inside that folder; nothing is ever written or removed elsewhere.
#pragma once

#include <glib.h>

#include <string>
#include <vector>

constexpr const char *PRESET_FOLDER_NAME = "zipstroke";

// Largest preset file we read.  A preset of four full outlines is well under
// 200 kB; anything far bigger is not one of ours.
constexpr gsize PRESET_MAX_FILE_SIZE = 16 * 1024 * 1024;

// Errors of our own; everything else is reported with GLib's own error.
enum PresetError {
  PRESET_ERROR_NAME_EMPTY,      // an empty name
  PRESET_ERROR_NAME_DOT,        // "." or ".."
  PRESET_ERROR_NAME_SEPARATOR,  // contains a path separator
  PRESET_ERROR_NAME_ENCODING,   // cannot be converted to the file-system encoding
  PRESET_ERROR_IS_FOLDER,       // a folder of that name is in the way
  PRESET_ERROR_NOT_REGULAR,     // not a regular file (device, pipe, socket...)
  PRESET_ERROR_TOO_LARGE,       // larger than PRESET_MAX_FILE_SIZE
};
#define PRESET_FILE_ERROR (preset_error_quark())
GQuark preset_error_quark();

// The preset folder inside gimp_dir, created (mode 0755, parents not created)
// when it does not exist yet.  A new string (g_free), or nullptr when there is
// no folder to be had: no gimp_dir, something else of that name, or the
// folder cannot be created.
char *preset_folder_ensure_in(const char *gimp_dir);

// The names of the non-directory entries of the folder, raw, in the order the
// directory returns them.  Empty when the folder cannot be read.
std::vector<std::string> preset_folder_list(const char *folder);

// Turns a name typed by the user (UTF-8) into a file name of the preset
// folder (file-system encoding).  A new string (g_free), or nullptr with a
// PRESET_FILE_ERROR saying why the name is refused.
char *preset_name_to_filename(const char *name_utf8, GError **error);

// folder + filename, or nullptr when filename is not a plain entry name (empty,
// "." or "..", or holding a separator): the path is always directly inside
// the folder.  A new string (g_free).
char *preset_path(const char *folder, const char *filename);

// Loads the preset file as a key file, comments kept.  nullptr with an error
// for an unsafe name, a non-regular or oversized file, or GLib's reason.
GKeyFile *preset_load(const char *folder, const char *filename, GError **error);

// Whether an entry of that name exists in the folder (as anything).
bool preset_exists(const char *folder, const char *filename);
// Whether that entry is a directory.
bool preset_is_folder(const char *folder, const char *filename);

// Writes data to the preset file atomically: the old file, if any, stays
// whole until the new one has been written completely.  false with the
// system's reason on failure.
bool preset_save(const char *folder, const char *filename, const char *data, gsize length,
                 GError **error);

// Removes the preset file (never a directory).  false when it does not exist
// or cannot be removed.
bool preset_delete(const char *folder, const char *filename);
