// The arena allocator: a chain of heap blocks, the newest at the head.
#include "engine/core/arena.h"

#include <cstdlib>

#include "engine/core/fatal.h"

void* AccumAllocBlock::alloc(size_t size, int alignExp) {
  uintptr_t aligned = align_up((uintptr_t)cur, alignExp);
  uintptr_t limit = (uintptr_t)end;
  if (aligned > limit || size > limit - aligned)
    return nullptr;
  cur = (char*)(aligned + size);
  return (void*)aligned;
}

// A fresh block of `size` bytes (header included) from the standard heap.
static AccumAllocBlock* new_block(size_t size) {
  if (size < sizeof(AccumAllocBlock))
    size = sizeof(AccumAllocBlock);
  void* p = malloc(size);
  ASSERT(p);
  AccumAllocBlock* block = (AccumAllocBlock*)p;
  block->next = nullptr;
  block->cur = block->dataStart();
  block->end = (char*)p + size;
  return block;
}

AccumAlloc::AccumAlloc(uint32_t firstBlockSize, uint32_t laterBlockSize)
    : first(new_block(firstBlockSize)), blockSize(laterBlockSize ? laterBlockSize : firstBlockSize) {}

AccumAlloc::~AccumAlloc() {
  while (first) {
    AccumAllocBlock* next = first->next;
    free(first);
    first = next;
  }
}

void* AccumAlloc::alloc(size_t size, int alignExp) {
  for (AccumAllocBlock* block = first; block; block = block->next) {
    if (void* ptr = block->alloc(size, alignExp))
      return ptr;
  }
  // Room for the header, the largest alignment gap and the request. A request
  // so large that this overflows is a block the heap refuses.
  size_t gap = ((size_t)1 << alignExp) - 1;
  size_t need = size + sizeof(AccumAllocBlock) + gap;
  bool overflow = need < size;
  ASSERT(!overflow);
  AccumAllocBlock* block = new_block(need > blockSize ? need : blockSize);
  block->next = first;
  first = block;
  void* ptr = block->alloc(size, alignExp);
  ASSERT(ptr);
  return ptr;
}

void AccumAlloc::clear() {
  for (AccumAllocBlock* block = first; block; block = block->next)
    block->rewind();
}

size_t AccumAlloc::totalSize() const {
  size_t total = 0;
  for (const AccumAllocBlock* block = first; block; block = block->next)
    total += block->size();
  return total;
}
