// DynArray: growth rule, insertion and removal forms, element lifetimes, copies
// and the range checks that end the program.
#include "engine/core/dynarray.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <string>
#include <vector>

namespace {

std::vector<int> contents(const DynArray<int>& a) {
  return std::vector<int>(a.begin(), a.end());
}

DynArray<int> make(std::initializer_list<int> values) {
  DynArray<int> a;
  for (int v : values)
    a.push(&v);
  return a;
}

// Counts live instances, so that leaks and double destruction show.
struct Counted {
  static int live;
  int value;
  Counted() : value(0) { live++; }
  Counted(int v) : value(v) { live++; }
  Counted(const Counted& o) : value(o.value) { live++; }
  ~Counted() { live--; }
};
int Counted::live = 0;

TEST(DynArray, NewArrayHoldsNoStorage) {
  DynArray<int> a;
  EXPECT_EQ(a.data, nullptr);
  EXPECT_EQ(a.size(), 0);
  EXPECT_TRUE(a.isEmpty());
  a.clear();
  a.clearAndFree();
  EXPECT_EQ(a.remove(0, 0), 0);
  EXPECT_EQ(a.data, nullptr);
  EXPECT_EQ(a.capacity, 0);
}

// The growth rule: doubling, else need + 8, never below 8; reserve is exact.
struct GrowthCase {
  const char* name;
  int reserve_first;    // reserve before the pushes (0: none)
  int pushes;           // single pushes
  int bulk;             // then one insertion of this many elements (0: none)
  int expected_capacity;
};

TEST(DynArray, GrowthRule) {
  const GrowthCase cases[] = {
      {"first push reserves 9", 0, 1, 0, 9},
      {"ninth push still fits", 0, 9, 0, 9},
      {"tenth push doubles to 18", 0, 10, 0, 18},
      {"then 36", 0, 19, 0, 36},
      {"reserve 5 exact through five pushes", 5, 5, 0, 5},
      {"sixth push doubles 5 to 10", 5, 6, 0, 10},
      {"doubling 3 raised to the minimum 8", 3, 4, 0, 8},
      {"bulk beyond doubling reserves need + 8", 8, 8, 20, 36},
      {"bulk into empty reserves n + 8", 0, 0, 100, 108},
      {"bulk within doubling doubles", 8, 8, 5, 16},
  };
  for (const GrowthCase& c : cases) {
    SCOPED_TRACE(c.name);
    DynArray<int> a;
    if (c.reserve_first)
      a.reserve(c.reserve_first);
    EXPECT_EQ(a.capacity, c.reserve_first);
    for (int i = 0; i < c.pushes; i++)
      a.push(&i);
    if (c.bulk) {
      std::vector<int> src(c.bulk, 7);
      a.append(c.bulk, src.data());
    }
    EXPECT_EQ(a.capacity, c.expected_capacity);
    EXPECT_EQ(a.size(), c.pushes + c.bulk);
  }
}

TEST(DynArray, ReserveNeverShrinks) {
  DynArray<int> a;
  a.reserve(10);
  a.reserve(4);
  EXPECT_EQ(a.capacity, 10);
}

TEST(DynArray, InsertKeepsOrderAndZeroesWithoutSource) {
  DynArray<int> a = make({1, 2, 5});
  int mid[] = {3, 4};
  a.insert(2, 2, mid);
  EXPECT_THAT(contents(a), testing::ElementsAre(1, 2, 3, 4, 5));
  a.insert(0, 2, nullptr);
  EXPECT_THAT(contents(a), testing::ElementsAre(0, 0, 1, 2, 3, 4, 5));

  DynArray<void*> pointers;
  pointers.resize(0);
  void* p = &a;
  pointers.push(&p);
  pointers.insert(1, 3, nullptr);
  EXPECT_EQ(pointers[0], p);
  EXPECT_EQ(pointers[1], nullptr);
  EXPECT_EQ(pointers[3], nullptr);
  void*& pushed = pointers.push();
  EXPECT_EQ(&pushed, &pointers.last());
  EXPECT_EQ(pointers.last(), nullptr);
}

struct RemovalCase {
  const char* name;
  std::vector<int> start;
  bool unordered;
  int at, n;
  std::vector<int> expected;
};

TEST(DynArray, RemovalForms) {
  const RemovalCase cases[] = {
      {"remove 2 at 1", {1, 2, 3, 4, 5}, false, 1, 2, {1, 4, 5}},
      {"unordered 2 at 1", {1, 2, 3, 4, 5}, true, 1, 2, {1, 4, 5}},
      {"unordered 1 at 0", {1, 2, 3, 4}, true, 0, 1, {4, 2, 3}},
      {"unordered tail", {1, 2, 3, 4}, true, 2, 2, {1, 2}},
      {"unordered short tail", {1, 2, 3, 4, 5, 6}, true, 1, 3, {1, 5, 6}},
      {"remove tail", {1, 2, 3}, false, 1, 2, {1}},
      {"remove nothing at end", {1, 2, 3}, false, 3, 0, {1, 2, 3}},
  };
  for (const RemovalCase& c : cases) {
    SCOPED_TRACE(c.name);
    DynArray<int> a;
    a.append((int)c.start.size(), c.start.data());
    int capacity = a.capacity;
    if (c.unordered)
      a.removeUnordered(c.at, c.n);
    else
      EXPECT_EQ(a.remove(c.at, c.n), (int)c.expected.size());
    EXPECT_EQ(contents(a), c.expected);
    EXPECT_EQ(a.capacity, capacity);
  }
}

TEST(DynArray, ResizeGrowsWithZerosAndShrinksTail) {
  DynArray<int> a;
  a.resize(3);
  EXPECT_THAT(contents(a), testing::ElementsAre(0, 0, 0));
  EXPECT_EQ(a.capacity, 3);
  a[0] = 42;
  a.resize(1);
  EXPECT_THAT(contents(a), testing::ElementsAre(42));
}

TEST(DynArray, ElementsAreConstructedAndDestroyedOnce) {
  {
    DynArray<Counted> a;
    for (int i = 0; i < 20; i++) {
      Counted c(i);
      a.push(&c);
    }
    EXPECT_EQ(Counted::live, 20);
    a.remove(2, 3);
    EXPECT_EQ(Counted::live, 17);
    a.removeUnordered(0, 4);
    EXPECT_EQ(Counted::live, 13);
    a.resize(15);
    EXPECT_EQ(Counted::live, 15);
    DynArray<Counted> b = a;
    EXPECT_EQ(Counted::live, 30);
    b = a;
    EXPECT_EQ(Counted::live, 30);
    a.clear();
    EXPECT_EQ(Counted::live, 15);
  }
  EXPECT_EQ(Counted::live, 0);
}

TEST(DynArray, CopyAssignmentReservesExactly) {
  DynArray<int> a = make({1, 2, 3});
  DynArray<int> b;
  b = a;
  EXPECT_EQ(b.capacity, 3);
  EXPECT_EQ(contents(b), contents(a));
  EXPECT_NE(b.data, a.data);
}

TEST(DynArray, SelfAssignmentKeepsContents) {
  DynArray<std::string> a;
  std::string s = "a string long enough to live on the heap";
  a.push(&s);
  a.push(&s);
  DynArray<std::string>& same = a;
  a = same;
  ASSERT_EQ(a.size(), 2);
  EXPECT_EQ(a[0], s);
  EXPECT_EQ(a[1], s);
}

TEST(DynArray, PushingOwnElementSurvivesReallocation) {
  // Element 0 is read after the storage was reallocated by the growth; the
  // strings would be read from freed memory without the copy.
  DynArray<std::string> a;
  std::string s = "a string long enough to live on the heap";
  a.push(&s);
  for (int i = 0; i < 40; i++)
    a.push(&a[0]);
  ASSERT_EQ(a.size(), 41);
  for (const std::string& e : a)
    EXPECT_EQ(e, s);

  DynArray<int> b = make({1, 2, 3, 4, 5, 6, 7, 8, 9});
  ASSERT_EQ(b.capacity, b.size() + 0);  // full: the next insertion reallocates
  b.insert(0, 4, &b[5]);
  EXPECT_THAT(contents(b), testing::ElementsAre(6, 7, 8, 9, 1, 2, 3, 4, 5, 6, 7, 8, 9));
}

TEST(DynArray, SortPassesContext) {
  DynArray<int> a = make({5, 1, 4, 2, 3});
  int calls = 0;
  a.sort(
      [](void* context, const void* x, const void* y) {
        ++*(int*)context;
        return *(const int*)y - *(const int*)x;  // descending
      },
      &calls);
  EXPECT_THAT(contents(a), testing::ElementsAre(5, 4, 3, 2, 1));
  EXPECT_GT(calls, 0);
}

TEST(DynArray, StorageIsAligned) {
  DynArray<char> a;
  for (int i = 0; i < 100; i++) {
    char c = (char)i;
    a.push(&c);
    EXPECT_EQ((uintptr_t)a.data % 16, 0u);
  }
}

// Range checks fail through fatal with the header's name and the expression.
struct DeathCase {
  const char* name;
  void (*run)();
  const char* expression;  // as a regular expression
};

void remove_negative() { DynArray<int> a = make({1}); a.remove(0, -1); }
void remove_before_start() { DynArray<int> a = make({1}); a.remove(-1, 1); }
void remove_after_end() { DynArray<int> a = make({1}); a.remove(2, 0); }
void remove_past_end() { DynArray<int> a = make({1, 2}); a.remove(1, 2); }
void unordered_past_end() { DynArray<int> a = make({1, 2}); a.removeUnordered(0, 3); }
void last_of_empty() { DynArray<int> a; a.last(); }
void reserve_negative() { DynArray<int> a; a.reserve(-1); }
void resize_negative() { DynArray<int> a; a.resize(-2); }
void insert_negative() { DynArray<int> a; a.insert(0, -1, nullptr); }
void insert_outside() { DynArray<int> a = make({1}); a.insert(2, 1, nullptr); }
// With the address space limited to 1 GiB, 2 GiB of slots cannot be had.
void reserve_exhausted() {
  struct rlimit limit = {1u << 30, 1u << 30};
  setrlimit(RLIMIT_AS, &limit);
  DynArray<char> a;
  a.reserve(0x7fffffff);
}

TEST(DynArrayDeathTest, RangeChecksAreFatal) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const DeathCase cases[] = {
      {"remove n<0", remove_negative, "n>=0"},
      {"remove at<0", remove_before_start, "at>=0 && at<=num"},
      {"remove at>num", remove_after_end, "at>=0 && at<=num"},
      {"remove past end", remove_past_end, "at\\+n<=num"},
      {"unordered past end", unordered_past_end, "at\\+n<=num"},
      {"last of empty", last_of_empty, "num>0"},
      {"reserve negative", reserve_negative, "n>=0"},
      {"resize negative", resize_negative, "n>=0"},
      {"insert negative", insert_negative, "n>=0"},
      {"insert outside", insert_outside, "at>=0 && at<=num"},
  };
  for (const DeathCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::string pattern = std::string("dynarray\\.h\\([0-9]+\\): failed ASSERT\\(") + c.expression + "\\)";
    EXPECT_EXIT(c.run(), testing::ExitedWithCode(100), pattern);
  }
}

TEST(DynArrayDeathTest, ExhaustedReallocationIsFatal) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer reserves more address space than the limit allows";
#endif
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(reserve_exhausted(), testing::ExitedWithCode(100), "dynarray\\.h\\([0-9]+\\): failed ASSERT\\(np\\)");
}

}  // namespace
