// The arena allocator: carving, block chaining, alignment and rewinding.
#include "engine/core/arena.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

const size_t HEADER = sizeof(AccumAllocBlock);

int block_count(const AccumAlloc& a) {
  int n = 0;
  for (const AccumAllocBlock* b = a.first; b; b = b->next)
    n++;
  return n;
}

TEST(AccumAlloc, AlignUp) {
  struct Case {
    uintptr_t value;
    int exp;
    uintptr_t expected;
  } cases[] = {{0, 4, 0}, {1, 4, 16}, {16, 4, 16}, {17, 4, 32}, {5, 0, 5}, {5, 1, 6}, {100, 6, 128}};
  for (const Case& c : cases)
    EXPECT_EQ(align_up(c.value, c.exp), c.expected) << c.value << " exp " << c.exp;
}

TEST(AccumAlloc, LargeRequestChainsABlockAndKeepsTheFirst) {
  AccumAlloc arena(32768);
  EXPECT_EQ(arena.blockSize, 32768u);
  AccumAllocBlock* first = arena.first;
  EXPECT_EQ(first->size(), 32768u);

  void* big = arena.alloc(40000, 4);
  EXPECT_EQ(block_count(arena), 2);
  EXPECT_EQ(arena.first->size(), 40000 + HEADER - 1 + 16);
  EXPECT_EQ(arena.first->next, first);
  EXPECT_GE((char*)big, arena.first->dataStart());
  EXPECT_LE((char*)big + 40000, arena.first->end);

  // The big block has too little left, so small requests go on to the first.
  void* small = arena.alloc(100, 4);
  EXPECT_GE((char*)small, first->dataStart());
  EXPECT_LT((char*)small, first->end);
  EXPECT_EQ(block_count(arena), 2);
  EXPECT_EQ(arena.totalSize(), 32768 + 40000 + HEADER - 1 + 16);
}

TEST(AccumAlloc, LaterBlocksUseTheirOwnSize) {
  AccumAlloc arena(256, 4096);
  arena.alloc(200, 0);
  arena.alloc(200, 0);  // no room left in the first
  EXPECT_EQ(block_count(arena), 2);
  EXPECT_EQ(arena.first->size(), 4096u);
}

TEST(AccumAlloc, ClearRewindsAndReusesTheSameMemory) {
  AccumAlloc arena(1024);
  std::vector<void*> before;
  for (int i = 0; i < 50; i++)
    before.push_back(arena.alloc(100, 4));
  int blocks = block_count(arena);
  size_t total = arena.totalSize();
  arena.clear();
  EXPECT_EQ(block_count(arena), blocks);
  EXPECT_EQ(arena.totalSize(), total);
  // The first request after clearing lands where the newest block starts.
  AccumAllocBlock* head = arena.first;
  void* again = arena.alloc(100, 4);
  EXPECT_EQ(again, (void*)align_up((uintptr_t)head->dataStart(), 4));
  // Refilling to the same peak needs no new block.
  for (int i = 1; i < 50; i++)
    arena.alloc(100, 4);
  EXPECT_EQ(block_count(arena), blocks);

  AccumAlloc fresh(32768);
  void* a = fresh.alloc(64, 4);
  fresh.clear();
  EXPECT_EQ(fresh.alloc(64, 4), a);
}

TEST(AccumAlloc, AlignedAndDisjointAllocations) {
  AccumAlloc arena(512);
  struct Piece {
    unsigned char* p;
    size_t size;
    unsigned char fill;
  };
  std::vector<Piece> pieces;
  for (int i = 0; i < 300; i++) {
    int exp = i % 7;
    size_t size = 1 + (size_t)(i * 37) % 200;
    unsigned char* p = (unsigned char*)arena.alloc(size, exp);
    ASSERT_EQ((uintptr_t)p % ((uintptr_t)1 << exp), 0u) << "exp " << exp;
    memset(p, i & 0xff, size);
    pieces.push_back({p, size, (unsigned char)(i & 0xff)});
  }
  // Nothing written later overlapped an earlier piece.
  for (const Piece& piece : pieces)
    for (size_t k = 0; k < piece.size; k++)
      ASSERT_EQ(piece.p[k], piece.fill);
}

TEST(AccumAlloc, ExactFitUsesTheWholeBlock) {
  AccumAlloc arena((uint32_t)(HEADER + 64));
  void* p = arena.alloc(64 - (align_up((uintptr_t)arena.first->dataStart(), 4) - (uintptr_t)arena.first->dataStart()), 4);
  EXPECT_NE(p, nullptr);
  EXPECT_EQ(arena.first->cur, arena.first->end);
  EXPECT_EQ(block_count(arena), 1);
  arena.alloc(1, 0);
  EXPECT_EQ(block_count(arena), 2);
}

}  // namespace
