#include "heap_counter.h"

#include <malloc.h>

#include <atomic>
#include <cerrno>
#include <cstring>

extern "C" {
void *__libc_malloc(size_t size);
void *__libc_calloc(size_t n, size_t size);
void *__libc_realloc(void *p, size_t size);
void __libc_free(void *p);
void *__libc_memalign(size_t alignment, size_t size);
}

namespace {

std::atomic<bool> g_counting{false};
std::atomic<long long> g_live{0};
std::atomic<long long> g_peak{0};

void note_alloc(void *p) {
  if (!p) return;
  const long long now = g_live += static_cast<long long>(malloc_usable_size(p));
  long long peak = g_peak.load(std::memory_order_relaxed);
  while (now > peak && !g_peak.compare_exchange_weak(peak, now)) {
  }
}

void note_free(void *p) {
  if (p) g_live -= static_cast<long long>(malloc_usable_size(p));
}

bool counting() { return g_counting.load(std::memory_order_relaxed); }

}  // namespace

extern "C" {

void *malloc(size_t size) {
  void *p = __libc_malloc(size);
  if (counting()) note_alloc(p);
  return p;
}

void *calloc(size_t n, size_t size) {
  void *p = __libc_calloc(n, size);
  if (counting()) note_alloc(p);
  return p;
}

void *realloc(void *old, size_t size) {
  if (!counting()) return __libc_realloc(old, size);
  const long long before = old ? static_cast<long long>(malloc_usable_size(old)) : 0;
  void *p = __libc_realloc(old, size);
  if (p || size == 0) {
    g_live -= before;
    note_alloc(p);
  }
  return p;
}

void free(void *p) {
  if (counting()) note_free(p);
  __libc_free(p);
}

void *memalign(size_t alignment, size_t size) {
  void *p = __libc_memalign(alignment, size);
  if (counting()) note_alloc(p);
  return p;
}

void *aligned_alloc(size_t alignment, size_t size) { return memalign(alignment, size); }

int posix_memalign(void **out, size_t alignment, size_t size) {
  if (alignment < sizeof(void *) || (alignment & (alignment - 1))) return EINVAL;
  void *p = memalign(alignment, size);
  if (!p && size) return ENOMEM;
  *out = p;
  return 0;
}

void *valloc(size_t size) { return memalign(4096, size); }

}  // extern "C"

void heap_count_begin() {
  g_live = 0;
  g_peak = 0;
  g_counting = true;
}

long long heap_count_end() {
  g_counting = false;
  return g_peak.load();
}

long long heap_count_live() { return g_live.load(); }
