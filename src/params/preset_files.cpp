#include "preset_files.h"

#include <glib/gstdio.h>
#include <sys/stat.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "glib_ptr.h"

namespace {

bool is_plain_entry_name(const char *name) {
  if (name == nullptr || name[0] == '\0') return false;
  if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) return false;
  for (const char *p = name; *p; ++p)
    if (G_IS_DIR_SEPARATOR(*p)) return false;
  return true;
}

// The reason of a failed system call on `path`, in GLib's file error domain.
void set_errno_error(GError **error, int saved_errno, const char *what, const char *path) {
  GCharPtr shown(g_filename_display_name(path));
  g_set_error(error, G_FILE_ERROR, g_file_error_from_errno(saved_errno), "%s '%s': %s", what,
              shown.get(), g_strerror(saved_errno));
}

bool write_all(int fd, const char *data, gsize length) {
  while (length > 0) {
    const ssize_t n = write(fd, data, length);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    length -= static_cast<gsize>(n);
  }
  return true;
}

// Writes data to a new hidden file of the folder whose name is short whatever
// the preset's name (a name beside the preset's own, as a longer one, would
// fail for names near the file system's limit), then renames it over the
// preset: the old file stays whole until the new one is complete.
bool save_atomically(const char *folder, const char *path, const char *data, gsize length,
                     GError **error) {
  GCharPtr temp(g_build_filename(folder, ".zipstroke-XXXXXX", nullptr));
  const int fd = g_mkstemp_full(temp.get(), O_RDWR | O_CLOEXEC, 0666);
  if (fd < 0) {
    set_errno_error(error, errno, "Failed to create a file in", folder);
    return false;
  }
  bool ok = write_all(fd, data, length) && fsync(fd) == 0;
  int saved = errno;
  if (close(fd) != 0 && ok) {
    ok = false;
    saved = errno;
  }
  if (!ok) {
    set_errno_error(error, saved, "Failed to write", path);
  } else if (g_rename(temp.get(), path) != 0) {
    ok = false;
    set_errno_error(error, errno, "Failed to save", path);
  }
  if (!ok) g_unlink(temp.get());
  return ok;
}

}  // namespace

GQuark preset_error_quark() { return g_quark_from_static_string("zipstroke-preset-error"); }

char *preset_folder_ensure_in(const char *gimp_dir) {
  if (gimp_dir == nullptr || gimp_dir[0] == '\0') return nullptr;
  GCharPtr path(g_build_filename(gimp_dir, PRESET_FOLDER_NAME, nullptr));
  if (g_file_test(path.get(), G_FILE_TEST_EXISTS)) {
    if (!g_file_test(path.get(), G_FILE_TEST_IS_DIR)) return nullptr;
    return path.release();
  }
  if (g_mkdir(path.get(), 0755) != 0) return nullptr;
  return path.release();
}

std::vector<std::string> preset_folder_list(const char *folder) {
  std::vector<std::string> names;
  if (folder == nullptr) return names;
  GDirPtr dir(g_dir_open(folder, 0, nullptr));
  if (!dir) return names;
  while (const char *name = g_dir_read_name(dir.get())) {
    GCharPtr path(g_build_filename(folder, name, nullptr));
    if (g_file_test(path.get(), G_FILE_TEST_IS_DIR)) continue;
    names.emplace_back(name);
  }
  return names;
}

char *preset_name_to_filename(const char *name_utf8, GError **error) {
  if (name_utf8 == nullptr || name_utf8[0] == '\0') {
    g_set_error_literal(error, PRESET_FILE_ERROR, PRESET_ERROR_NAME_EMPTY, "empty name");
    return nullptr;
  }
  if (std::strcmp(name_utf8, ".") == 0 || std::strcmp(name_utf8, "..") == 0) {
    g_set_error_literal(error, PRESET_FILE_ERROR, PRESET_ERROR_NAME_DOT, "reserved name");
    return nullptr;
  }
  // Check before and after the conversion: no encoding may smuggle one in.
  for (const char *p = name_utf8; *p; ++p) {
    if (G_IS_DIR_SEPARATOR(*p)) {
      g_set_error_literal(error, PRESET_FILE_ERROR, PRESET_ERROR_NAME_SEPARATOR,
                          "name holds a path separator");
      return nullptr;
    }
  }
  gsize written = 0;
  GCharPtr filename(g_filename_from_utf8(name_utf8, -1, nullptr, &written, nullptr));
  if (!filename || std::strlen(filename.get()) != written) {
    g_set_error_literal(error, PRESET_FILE_ERROR, PRESET_ERROR_NAME_ENCODING,
                        "name cannot be converted to the file-system encoding");
    return nullptr;
  }
  if (!is_plain_entry_name(filename.get())) {
    g_set_error_literal(error, PRESET_FILE_ERROR, PRESET_ERROR_NAME_SEPARATOR,
                        "name holds a path separator");
    return nullptr;
  }
  return filename.release();
}

char *preset_path(const char *folder, const char *filename) {
  if (folder == nullptr || !is_plain_entry_name(filename)) return nullptr;
  return g_build_filename(folder, filename, nullptr);
}

GKeyFile *preset_load(const char *folder, const char *filename, GError **error) {
  GCharPtr path(preset_path(folder, filename));
  if (!path) {
    g_set_error_literal(error, PRESET_FILE_ERROR, PRESET_ERROR_NAME_SEPARATOR,
                        "not a file of the preset folder");
    return nullptr;
  }
  // Checked before opening: reading a pipe or a device could block for ever
  // or never end.
  GStatBuf st;
  if (g_stat(path.get(), &st) != 0) {
    const int saved = errno;
    g_set_error_literal(error, G_FILE_ERROR, g_file_error_from_errno(saved), g_strerror(saved));
    return nullptr;
  }
  if (!S_ISREG(st.st_mode)) {
    g_set_error_literal(error, PRESET_FILE_ERROR, PRESET_ERROR_NOT_REGULAR, "not a regular file");
    return nullptr;
  }
  if (static_cast<guint64>(st.st_size) > PRESET_MAX_FILE_SIZE) {
    g_set_error_literal(error, PRESET_FILE_ERROR, PRESET_ERROR_TOO_LARGE, "file too large");
    return nullptr;
  }
  GKeyFile *key_file = g_key_file_new();
  if (!g_key_file_load_from_file(key_file, path.get(), G_KEY_FILE_KEEP_COMMENTS, error)) {
    g_key_file_free(key_file);
    return nullptr;
  }
  return key_file;
}

bool preset_exists(const char *folder, const char *filename) {
  GCharPtr path(preset_path(folder, filename));
  if (!path) return false;
  GStatBuf st;
  return g_lstat(path.get(), &st) == 0;
}

bool preset_is_folder(const char *folder, const char *filename) {
  GCharPtr path(preset_path(folder, filename));
  return path && g_file_test(path.get(), G_FILE_TEST_IS_DIR);
}

bool preset_save(const char *folder, const char *filename, const char *data, gsize length,
                 GError **error) {
  GCharPtr path(preset_path(folder, filename));
  if (!path) {
    g_set_error_literal(error, PRESET_FILE_ERROR, PRESET_ERROR_NAME_SEPARATOR,
                        "not a file of the preset folder");
    return false;
  }
  if (g_file_test(path.get(), G_FILE_TEST_IS_DIR)) {
    g_set_error_literal(error, PRESET_FILE_ERROR, PRESET_ERROR_IS_FOLDER, "a folder is in the way");
    return false;
  }
  return save_atomically(folder, path.get(), data, length, error);
}

bool preset_delete(const char *folder, const char *filename) {
  GCharPtr path(preset_path(folder, filename));
  if (!path) return false;
  GStatBuf st;
  if (g_lstat(path.get(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
  return g_unlink(path.get()) == 0;
}
