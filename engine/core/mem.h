#pragma once
// Allocation hooks. Every heap block of the engine, the virtual file system, the
// script VMs and the game-object module comes from here, so a block allocated by
// one part may be released by any other. Blocks are 16-byte aligned.
#include <cstddef>

extern "C" {
// A block of `size` bytes aligned to 16, or null when the heap is exhausted.
void* dlmalloc(size_t size);
// Resizes a block from these hooks, keeping 16-byte alignment and moving the
// contents when needed. A null block behaves as dlmalloc. Returns null on
// exhaustion and leaves the old block valid.
void* dlrealloc(void* block, size_t size);
// Releases a block from these hooks; null does nothing.
void dlfree(void* block);
}

// Allocation policy of DynArray: everything goes through the hooks above.
struct DefaultAllocator {
  static void* alloc(size_t size) { return dlmalloc(size); }
  static void* realloc(void* block, size_t size) { return dlrealloc(block, size); }
  static void free(void* block) { dlfree(block); }
};
