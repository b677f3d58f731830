// Owning pointers for GLib objects: each frees its object with GLib's own
// function when it goes out of scope.
#pragma once

#include <glib.h>

#include <memory>

// A deleter that calls `Free` on the pointer it is handed.
template <auto Free>
struct FreeWith {
  template <typename T>
  void operator()(T *p) const {
    Free(p);
  }
};

template <typename T>
using GPtr = std::unique_ptr<T, FreeWith<g_free>>;
using GCharPtr = GPtr<char>;
using StrvPtr = std::unique_ptr<char *, FreeWith<g_strfreev>>;
using GErrorPtr = std::unique_ptr<GError, FreeWith<g_error_free>>;
using KeyFilePtr = std::unique_ptr<GKeyFile, FreeWith<g_key_file_free>>;
using GDirPtr = std::unique_ptr<GDir, FreeWith<g_dir_close>>;
