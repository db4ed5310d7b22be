// Allocation hooks and the global allocation operators.
#include "engine/core/mem.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

namespace {

bool aligned16(const void* p) {
  return ((uintptr_t)p & 15) == 0;
}

TEST(Mem, BlocksAreAlignedThroughRealloc) {
  std::vector<void*> blocks;
  for (size_t size : {1, 3, 16, 17, 100, 4096, 100000}) {
    void* p = dlmalloc(size);
    ASSERT_NE(p, nullptr);
    EXPECT_TRUE(aligned16(p)) << size;
    memset(p, 0xab, size);
    void* q = dlrealloc(p, size * 3 + 5);
    ASSERT_NE(q, nullptr);
    EXPECT_TRUE(aligned16(q)) << size;
    EXPECT_EQ(((unsigned char*)q)[size - 1], 0xab);
    blocks.push_back(q);
  }
  for (void* p : blocks)
    dlfree(p);
  dlfree(nullptr);
}

TEST(Mem, ReallocOfNullAllocatesAndOfZeroKeepsABlock) {
  void* p = dlrealloc(nullptr, 24);
  ASSERT_NE(p, nullptr);
  void* q = dlrealloc(p, 0);
  // Never a released block reported as a failure: the caller still owns one.
  ASSERT_NE(q, nullptr);
  dlfree(q);
}

TEST(Mem, OperatorsGoThroughTheHooks) {
  // A block from new is released by dlfree and one from dlmalloc by delete.
  int* a = new int[10];
  EXPECT_TRUE(aligned16(a));
  dlfree(a);
  void* b = dlmalloc(32);
  ::operator delete(b);
  struct alignas(64) Wide {
    char bytes[64];
  };
  Wide* w = new Wide;
  EXPECT_EQ((uintptr_t)w % 64, 0u);
  delete w;
}

void exhaust_new() {
  struct rlimit limit = {1u << 30, 1u << 30};
  setrlimit(RLIMIT_AS, &limit);
  // Read back through volatile: the compiler takes a throwing operator new's
  // result for non-null and would fold the comparison away.
  void* volatile p = ::operator new((size_t)1 << 32);
  void* volatile q = ::operator new[]((size_t)1 << 32, std::nothrow);
  void* volatile r = dlmalloc((size_t)1 << 32);
  void* keep = dlmalloc(64);
  void* volatile s = dlrealloc(keep, (size_t)1 << 32);
  _exit(p == nullptr && q == nullptr && r == nullptr && s == nullptr ? 7 : 1);
}

TEST(MemDeathTest, ExhaustionReturnsNull) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer reserves more address space than the limit allows";
#endif
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(exhaust_new(), testing::ExitedWithCode(7), "");
}

}  // namespace
