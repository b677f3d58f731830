// Counting the heap a piece of code holds.  This program replaces malloc and
// its relatives with thin wrappers over glibc's own; while a count is open
// they track the bytes live (as malloc_usable_size reports them) and the
// peak.  cairo's and pixman's image data, GLib's g_malloc and C++'s new all
// come through here.
#pragma once

#include <cstddef>

void heap_count_begin();
// Highest number of bytes held since heap_count_begin, above what was held
// then.  Blocks freed during the count that were allocated before it lower
// the live figure, so the result is the call's own net peak.
long long heap_count_end();
// Bytes held now above what was held at heap_count_begin (valid until the
// next heap_count_begin).
long long heap_count_live();
