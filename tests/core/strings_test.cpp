// String and TempString: block layout, insertion and removal, self-reference,
// assignment and formatting limits.
#include "engine/core/strings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

// The block behind a String: length, characters, NUL.
int block_length(const String& s) {
  return ((const int*)s.c_str())[-1];
}

TEST(String, EmptyFormsAreNullAndEqual) {
  String a, b(nullptr), c("");
  for (const String* s : {&a, &b, &c}) {
    EXPECT_EQ(s->len(), 0);
    EXPECT_TRUE(s->isEmpty());
    EXPECT_STREQ(s->c_str(), "");
  }
  // All three share the static empty text: no block was allocated.
  EXPECT_EQ(a.c_str(), b.c_str());
  EXPECT_EQ(b.c_str(), c.c_str());
  EXPECT_TRUE(a == b);
  EXPECT_TRUE(b == c);
}

TEST(String, InsertIntoEmptyMakesOneBlock) {
  String s;
  s.insert(0, "abc", 3);
  EXPECT_STREQ(s.c_str(), "abc");
  EXPECT_EQ(s.len(), 3);
  EXPECT_EQ(block_length(s), 3);
  EXPECT_EQ(s.c_str()[3], 0);
  EXPECT_EQ(((uintptr_t)s.c_str() - sizeof(int)) % 16, 0u);
}

TEST(String, InsertAndRemoveInPlace) {
  String s("abc");
  s.insert(1, "XY", 2);
  EXPECT_STREQ(s.c_str(), "aXYbc");
  const char* block = s.c_str();
  s.remove(1, 2);
  EXPECT_STREQ(s.c_str(), "abc");
  EXPECT_EQ(s.c_str(), block);  // the block is not shrunk or moved
  s.insert(3, "!", 1);
  EXPECT_STREQ(s.c_str(), "abc!");
  s.insert(2, "", 0);
  EXPECT_STREQ(s.c_str(), "abc!");
}

TEST(String, RemovingEverythingLeavesAnEmptyBlock) {
  String s("abc");
  s.remove(0, 3);
  EXPECT_TRUE(s.isEmpty());
  EXPECT_EQ(s.len(), 0);
  EXPECT_STREQ(s.c_str(), "");
  EXPECT_TRUE(s == String());
}

TEST(String, EqualityComparesLengthAndBytes) {
  String a, b;
  a.assignBytes("a\0b", 3);
  b.assignBytes("a\0c", 3);
  EXPECT_FALSE(a == b);
  b.assignBytes("a\0b", 3);
  EXPECT_TRUE(a == b);
  EXPECT_FALSE(String("ab") == String("abc"));
}

TEST(String, CopiesOwnTheirBlocks) {
  String a("hello");
  String b(a);
  String c;
  c = a;
  a.assign("changed");
  EXPECT_STREQ(b.c_str(), "hello");
  EXPECT_STREQ(c.c_str(), "hello");
  c = String();
  EXPECT_TRUE(c.isEmpty());
  c.assignBytes("xyz", 0);
  EXPECT_TRUE(c.isEmpty());
}

TEST(String, SelfReferenceIsSafe) {
  String s("self assignment must not read a released block");
  String& same = s;
  s = same;
  EXPECT_STREQ(s.c_str(), "self assignment must not read a released block");
  s.assign(s.c_str() + 5);
  EXPECT_STREQ(s.c_str(), "assignment must not read a released block");
  s.assignBytes(s.c_str(), 10);
  EXPECT_STREQ(s.c_str(), "assignment");
  // Inserting bytes of the string into itself: the reallocation may move them.
  for (int i = 0; i < 6; i++)
    s.insert(0, s.c_str(), s.len());
  EXPECT_EQ(s.len(), 10 * 64);
  std::string expected;
  for (int i = 0; i < 64; i++)
    expected += "assignment";
  EXPECT_EQ(std::string(s.c_str()), expected);
}

TEST(TempString, AssignWithinCapacity) {
  TempString<32> t(std::string(31, 'x').c_str());
  EXPECT_EQ(t.len(), 31);
  t.assign("abcdef", 3);
  EXPECT_STREQ(t, "abc");
  t.assign(nullptr);
  EXPECT_TRUE(t.isEmpty());
  // A list of NUL-separated texts ending in a double NUL, copied whole.
  t.assign("a\0bc\0", 6);
  EXPECT_EQ(memcmp(t.str, "a\0bc\0\0", 6), 0);
  TempString<16> copy = TempString<16>("copy");
  EXPECT_STREQ(copy.c_str(), "copy");
  t.assign(t.c_str() + 0);
  EXPECT_STREQ(t, "a");
}

TEST(TempString, FormatFits) {
  TempString<32> t;
  EXPECT_STREQ(t.format("log%02d.txt", 4), "log04.txt");
  EXPECT_STREQ(t.c_str(), "log04.txt");
  TempString<8> exact;
  EXPECT_STREQ(exact.format("%s", "1234567"), "1234567");
}

TEST(TempStringDeathTest, TooLongIsFatal) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(TempString<32>(std::string(32, 'x').c_str()), testing::ExitedWithCode(100),
              "strings\\.h\\([0-9]+\\): failed ASSERT\\(l<BS\\)");
  EXPECT_EXIT(TempString<32>("abc", 32), testing::ExitedWithCode(100), "failed ASSERT\\(l<BS\\)");
  EXPECT_EXIT(TempString<8>().format("%s", "12345678"), testing::ExitedWithCode(100),
              "TempString<8>::format: the text needs 8 characters and does not fit");
}

TEST(StringDeathTest, RangeChecksAreFatal) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(String("abc").insert(4, "x", 1), testing::ExitedWithCode(100),
              "strings\\.h\\([0-9]+\\): failed ASSERT\\(at>=0 && at<=len\\(\\)\\)");
  EXPECT_EXIT(String("abc").insert(0, "x", -1), testing::ExitedWithCode(100), "failed ASSERT\\(l>=0\\)");
  EXPECT_EXIT(String("abc").remove(2, 2), testing::ExitedWithCode(100),
              "failed ASSERT\\(at>=0 && at\\+l<=len\\(\\)\\)");
  EXPECT_EXIT(String("abc").remove(1, 0), testing::ExitedWithCode(100), "failed ASSERT\\(l>0\\)");
}

}  // namespace
