#pragma once
// AccumAlloc: an arena for many small blocks that all die together. Memory is
// carved from a chain of blocks by bumping a pointer and is never freed one by
// one; clear() rewinds every block and keeps it, so refilling an arena that has
// grown to its peak size costs no heap traffic. Blocks come from the standard
// heap, not from the engine's allocation hooks.
#include <cstddef>
#include <cstdint>

struct AccumAllocBlock {
  AccumAllocBlock* next;  // null at the end of the chain
  char* cur;              // first free byte
  char* end;              // one past the block's last byte

  // The block's size, header included.
  size_t size() const { return (size_t)(end - (const char*)this); }
  char* dataStart() { return (char*)(this + 1); }
  void rewind() { cur = dataStart(); }
  // `size` bytes aligned to 2^alignExp when they fit before the end, else null.
  void* alloc(size_t size, int alignExp);
};

// value rounded up to a multiple of 2^exp.
inline uintptr_t align_up(uintptr_t value, int exp) {
  uintptr_t mask = ((uintptr_t)1 << exp) - 1;
  return (value + mask) & ~mask;
}

struct AccumAlloc {
  AccumAllocBlock* first = nullptr;
  uint32_t blockSize = 0;  // size of blocks made later

  // laterBlockSize 0 means: the same as the first.
  explicit AccumAlloc(uint32_t firstBlockSize, uint32_t laterBlockSize = 0);
  ~AccumAlloc();
  AccumAlloc(const AccumAlloc&) = delete;
  AccumAlloc& operator=(const AccumAlloc&) = delete;

  // size bytes aligned to 2^alignExp; a new block is chained when none has room.
  void* alloc(size_t size, int alignExp);
  // Rewinds every block to the start of its data area; keeps all blocks.
  void clear();
  // The size of all blocks together, headers included.
  size_t totalSize() const;
};
