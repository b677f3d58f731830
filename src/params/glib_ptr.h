// Owning pointers for GLib objects: each frees its object with GLib's own
// function when it goes out of scope.
#pragma once

#include <glib.h>

#include <memory>
#include <vector>

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

// The first n items of an array GLib allocated, which is freed.  n is read
// after the call that fills it, e.g. taken_array(get_ids(&n), n).
template <typename T, typename N>
std::vector<T> taken_array(T *data, const N &n) {
  GPtr<T> owner(data);
  return data ? std::vector<T>(data, data + n) : std::vector<T>{};
}
