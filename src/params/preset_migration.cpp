#include "preset_migration.h"

#include <fcntl.h>
#include <glib/gstdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "glib_ptr.h"
#include "preset_files.h"

#ifndef O_NOFOLLOW
#define O_NOFOLLOW 0
#endif
#ifndef O_CLOEXEC
#define O_CLOEXEC 0
#endif
#ifndef O_NONBLOCK
#define O_NONBLOCK 0
#endif

namespace {

void set_errno_error(GError **error, int saved, const char *what, const char *path) {
  GCharPtr display(g_filename_display_name(path));
  g_set_error(error, G_FILE_ERROR, g_file_error_from_errno(saved), "%s '%s': %s", what,
              display.get(), g_strerror(saved));
}

// Reads one preset file of the old folder: a regular file, not through a
// link, of at most PRESET_MAX_FILE_SIZE bytes.  false for anything else (the
// entry is then left behind).  Opened without following links and without
// blocking, and checked on the open file, so nothing can swap the entry for
// a pipe or a link between the check and the read.
bool read_preset_file(const char *path, std::string *contents) {
  // Devices are never even opened.
  GStatBuf entry;
  if (g_lstat(path, &entry) != 0 || !S_ISREG(entry.st_mode)) return false;
  const int fd = g_open(path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0);
  if (fd < 0) return false;
  struct stat st;
  bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
            static_cast<guint64>(st.st_size) <= PRESET_MAX_FILE_SIZE;
  contents->clear();
  char buffer[65536];
  while (ok) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      ok = false;
      break;
    }
    contents->append(buffer, static_cast<size_t>(n));
    // A file that grew past the limit while being read is not taken either.
    if (contents->size() > PRESET_MAX_FILE_SIZE) ok = false;
  }
  close(fd);
  return ok;
}

void remove_folder_and_files(const char *folder) {
  if (GDirPtr dir{g_dir_open(folder, 0, nullptr)}) {
    std::vector<std::string> names;
    while (const char *name = g_dir_read_name(dir.get())) names.emplace_back(name);
    for (const std::string &name : names) {
      GCharPtr path(g_build_filename(folder, name.c_str(), nullptr));
      g_unlink(path.get());
    }
  }
  g_rmdir(folder);
}

bool entry_exists(const char *path) {
  GStatBuf st;
  return g_lstat(path, &st) == 0;
}

}  // namespace

char *gimp2_personal_dir(const char *gimp3_dir, const char *gimp2_env, const char *home) {
  if (gimp2_env != nullptr && gimp2_env[0] != '\0') {
    if (g_path_is_absolute(gimp2_env)) return g_strdup(gimp2_env);
    if (home == nullptr || home[0] == '\0') return nullptr;
    return g_build_filename(home, gimp2_env, nullptr);
  }
  if (gimp3_dir == nullptr || gimp3_dir[0] == '\0') return nullptr;
  // "/x/GIMP/3.0/" names the same folder as "/x/GIMP/3.0".
  GCharPtr folder(g_strdup(gimp3_dir));
  for (size_t n = std::strlen(folder.get()); n > 1 && G_IS_DIR_SEPARATOR(folder.get()[n - 1]); --n)
    folder.get()[n - 1] = '\0';
  GCharPtr parent(g_path_get_dirname(folder.get()));
  return g_build_filename(parent.get(), "2.10", nullptr);
}

std::vector<OlderGimpDir> older_gimp_personal_dirs(const char *gimp_dir, const char *gimp2_env,
                                                   const char *home) {
  std::vector<OlderGimpDir> dirs;
  if (gimp_dir != nullptr && gimp_dir[0] != '\0') {
    GCharPtr folder(g_strdup(gimp_dir));
    for (size_t n = std::strlen(folder.get()); n > 1 && G_IS_DIR_SEPARATOR(folder.get()[n - 1]); --n)
      folder.get()[n - 1] = '\0';
    GCharPtr base(g_path_get_basename(folder.get()));
    GCharPtr parent(g_path_get_dirname(folder.get()));
    // "3." and a minor version of at most three digits.
    const char *name = base.get();
    const size_t length = std::strlen(name);
    bool versioned = length > 2 && length <= 5 && name[0] == '3' && name[1] == '.';
    for (size_t i = 2; versioned && i < length; ++i) versioned = g_ascii_isdigit(name[i]);
    for (int minor = versioned ? std::atoi(name + 2) - 1 : -1; minor >= 0; --minor) {
      const std::string version = "3." + std::to_string(minor);
      GCharPtr dir(g_build_filename(parent.get(), version.c_str(), nullptr));
      dirs.push_back({dir.get(), version});
    }
  }
  if (GCharPtr dir{gimp2_personal_dir(gimp_dir, gimp2_env, home)}) dirs.push_back({dir.get(), "2.10"});
  return dirs;
}

PresetMigration preset_migrate_from_older(const char *gimp_dir, const char *folder_name,
                                          const char *gimp2_env, const char *home,
                                          std::string *from, GError **error) {
  from->clear();
  PresetMigration none{false, 0, 0};
  if (gimp_dir == nullptr || folder_name == nullptr) return none;
  GCharPtr new_folder(g_build_filename(gimp_dir, folder_name, nullptr));
  if (entry_exists(new_folder.get())) return none;
  for (const OlderGimpDir &older : older_gimp_personal_dirs(gimp_dir, gimp2_env, home)) {
    GCharPtr old_folder(g_build_filename(older.dir.c_str(), folder_name, nullptr));
    GStatBuf st;
    if (g_stat(old_folder.get(), &st) != 0 || !S_ISDIR(st.st_mode)) continue;
    *from = older.version;
    return preset_migrate_once(old_folder.get(), new_folder.get(), error);
  }
  return none;
}

PresetMigration preset_migrate_once(const char *old_folder, const char *new_folder,
                                    GError **error) {
  PresetMigration result{false, 0, 0};
  if (old_folder == nullptr || new_folder == nullptr || entry_exists(new_folder)) return result;
  GStatBuf old_stat;
  if (g_stat(old_folder, &old_stat) != 0 || !S_ISDIR(old_stat.st_mode)) return result;
  GDirPtr dir(g_dir_open(old_folder, 0, nullptr));
  if (!dir) return result;

  // The copies go into a fresh folder beside the new one, renamed into place
  // when complete.
  GCharPtr parent(g_path_get_dirname(new_folder));
  GCharPtr base(g_path_get_basename(new_folder));
  GCharPtr pattern(g_strdup_printf("%s.copying-XXXXXX", base.get()));
  GCharPtr staging(g_build_filename(parent.get(), pattern.get(), nullptr));
  if (g_mkdtemp_full(staging.get(), 0755) == nullptr) {
    set_errno_error(error, errno, "Cannot make the folder", staging.get());
    return result;
  }

  int copied = 0, skipped = 0;
  std::string contents;
  while (const char *name = g_dir_read_name(dir.get())) {
    GCharPtr from(g_build_filename(old_folder, name, nullptr));
    if (!read_preset_file(from.get(), &contents)) {
      ++skipped;
      continue;
    }
    GCharPtr to(g_build_filename(staging.get(), name, nullptr));
    if (!g_file_set_contents(to.get(), contents.data(), static_cast<gssize>(contents.size()),
                             error)) {
      remove_folder_and_files(staging.get());
      return result;
    }
    ++copied;
  }

  // Someone may have made the new folder meanwhile: theirs stays.
  if (entry_exists(new_folder)) {
    remove_folder_and_files(staging.get());
    return result;
  }
  if (g_rename(staging.get(), new_folder) != 0) {
    const int saved = errno;
    remove_folder_and_files(staging.get());
    if (entry_exists(new_folder)) return result;
    set_errno_error(error, saved, "Cannot make the folder", new_folder);
    return result;
  }
  result.ran = true;
  result.copied = copied;
  result.skipped = skipped;
  return result;
}
