// Allocation hooks and the global allocation operators.
//
// The C runtime's heap on x86-64 glibc hands out blocks aligned to 16 bytes
// (malloc and realloc alike), which is exactly the hooks' promise, so the hooks
// forward to it. Over-aligned operator new forms use aligned_alloc, whose blocks
// the same free releases, so dlfree serves every block from here.
#include "engine/core/mem.h"

#include <cstddef>
#include <cstdlib>
#include <new>

static_assert(alignof(std::max_align_t) >= 16, "the runtime heap must align blocks to 16 bytes");

extern "C" {

void* dlmalloc(size_t size) {
  return malloc(size);
}

void* dlrealloc(void* block, size_t size) {
  // realloc of size 0 frees the block and may return null; keep a valid block.
  return realloc(block, size ? size : 1);
}

void dlfree(void* block) {
  free(block);
}
}

// An over-aligned block (alignment above 16) that dlfree can release.
static void* aligned_block(size_t size, std::align_val_t align) {
  size_t a = (size_t)align;
  if (a <= 16)
    return dlmalloc(size);
  size_t rounded = (size + a - 1) / a * a;
  return aligned_alloc(a, rounded ? rounded : a);
}

// All forms of new return the hook's result unchanged: null on exhaustion, no
// exception and no retry. All forms of delete release through dlfree.
void* operator new(size_t size) { return dlmalloc(size); }
void* operator new[](size_t size) { return dlmalloc(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return dlmalloc(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return dlmalloc(size); }
void* operator new(size_t size, std::align_val_t align) { return aligned_block(size, align); }
void* operator new[](size_t size, std::align_val_t align) { return aligned_block(size, align); }
void* operator new(size_t size, std::align_val_t align, const std::nothrow_t&) noexcept { return aligned_block(size, align); }
void* operator new[](size_t size, std::align_val_t align, const std::nothrow_t&) noexcept { return aligned_block(size, align); }

void operator delete(void* block) noexcept { dlfree(block); }
void operator delete[](void* block) noexcept { dlfree(block); }
void operator delete(void* block, size_t) noexcept { dlfree(block); }
void operator delete[](void* block, size_t) noexcept { dlfree(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { dlfree(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { dlfree(block); }
void operator delete(void* block, std::align_val_t) noexcept { dlfree(block); }
void operator delete[](void* block, std::align_val_t) noexcept { dlfree(block); }
void operator delete(void* block, size_t, std::align_val_t) noexcept { dlfree(block); }
void operator delete[](void* block, size_t, std::align_val_t) noexcept { dlfree(block); }
void operator delete(void* block, std::align_val_t, const std::nothrow_t&) noexcept { dlfree(block); }
void operator delete[](void* block, std::align_val_t, const std::nothrow_t&) noexcept { dlfree(block); }
