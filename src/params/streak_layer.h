// What every host writes with a streak layer: its name, the name of the
// parasite that keeps the settings text on it, and when a progress bar is
// worth showing.
#pragma once

constexpr const char *STREAK_PARASITE_NAME = "plugin-zipstroke";
constexpr const char *STREAK_LAYER_NAME = "Zipstroke Layer";

// Below this many pixels the write is too quick for a progress bar to help.
constexpr long STREAK_PROGRESS_MIN_PIXELS = 1L << 20;

// A layer name made from `name`: cut to its first 20 characters (UTF-8) with
// "..." appended when longer, every line feed turned into "/".  A new string
// the caller frees with g_free.
char *layer_name_from(const char *name);

// The name of a streak layer; the caller frees it.
char *make_layer_name();
