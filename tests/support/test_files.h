// Files and folders in the tests' temporary directories.
#pragma once

#include <glib.h>
#include <glib/gstdio.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

// The file's bytes, or "<missing>" when it cannot be read.
inline std::string read_file(const std::string &path) {
  char *data = nullptr;
  gsize length = 0;
  if (!g_file_get_contents(path.c_str(), &data, &length, nullptr)) return "<missing>";
  std::string text(data, length);
  g_free(data);
  return text;
}

inline void write_file(const std::string &path, const std::string &text) {
  ASSERT_TRUE(g_file_set_contents(path.c_str(), text.data(), text.size(), nullptr)) << path;
}

// Removes a file or a whole folder; links are removed, never followed.
inline void remove_tree(const std::string &path) {
  GStatBuf st;
  if (g_lstat(path.c_str(), &st) != 0) return;
  if (S_ISDIR(st.st_mode)) {
    if (GDir *dir = g_dir_open(path.c_str(), 0, nullptr)) {
      while (const char *name = g_dir_read_name(dir)) remove_tree(path + "/" + name);
      g_dir_close(dir);
    }
    g_rmdir(path.c_str());
  } else {
    g_unlink(path.c_str());
  }
}
