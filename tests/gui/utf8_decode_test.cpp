// The UTF-8 decoder of all text layout.
#include <gtest/gtest.h>

#include <string>

#include "engine/gui/dist_font.h"

namespace {

struct DecodeCase {
  const char* name;
  std::string bytes;
  int codePoint;
  int consumed;
};

TEST(DecodeUtf8, OneCharacterEachWay) {
  const DecodeCase cases[] = {
      {"ascii", "A", 'A', 1},
      {"two bytes", "\xC3\xA9", 0xE9, 2},
      {"three bytes", "\xE2\x82\xAC", 0x20AC, 3},
      {"four bytes", "\xF0\x9F\x98\x80", 0x1F600, 4},
      {"highest", "\xF4\x8F\xBF\xBF", 0x10FFFF, 4},
      {"lead alone", "\xC3", -1, 1},
      {"truncated three", "\xE2\x82", -1, 2},
      {"truncated four", "\xF0\x9F\x98", -1, 3},
      {"second not continuation", "\xE2\x41\x41", -1, 1},
      {"third not continuation", "\xE2\x82\x41", -1, 2},
      {"fourth not continuation", "\xF0\x9F\x98\x41", -1, 3},
      {"two-byte second not continuation", "\xC3\x41", -1, 1},
      {"overlong two", "\xC0\x80", -1, 2},
      {"overlong three", "\xE0\x80\x80", -1, 3},
      {"overlong four", "\xF0\x80\x80\x80", -1, 4},
      {"surrogate", "\xED\xA0\x80", -1, 3},
      {"above U+10FFFF", "\xF4\x90\x80\x80", -1, 4},
      {"continuation alone", "\x80", -1, 1},
      {"F8 lead", "\xF8\x88\x80\x80\x80", -1, 1},
      {"FF", "\xFF", -1, 1},
  };
  for (const DecodeCase& c : cases) {
    int cp = 12345;
    int n = decode_utf8_char(c.bytes.data(), (int)c.bytes.size(), &cp);
    EXPECT_EQ(cp, c.codePoint) << c.name;
    EXPECT_EQ(n, c.consumed) << c.name;
  }
}

TEST(DecodeUtf8, NothingLeftGivesNoCharacter) {
  int cp = 0;
  EXPECT_EQ(decode_utf8_char("A", 0, &cp), 0);
  EXPECT_EQ(cp, -1);
}

TEST(DecodeUtf8, OnlyTheBytesLeftAreRead) {
  // A complete sequence in memory is still truncated when `left` stops inside it.
  int cp = 0;
  EXPECT_EQ(decode_utf8_char("\xE2\x82\xAC", 2, &cp), 2);
  EXPECT_EQ(cp, -1);
}

TEST(DecodeUtf8, DecodingResumesAfterABadSequence) {
  // E2 41 gives one bad character and then the 'A'; C3 A9 decodes normally.
  std::string text = "\xE2" "A\xC3\xA9";
  std::vector<int> cps;
  for (int pos = 0; pos < (int)text.size();) {
    int cp;
    pos += decode_utf8_char(text.data() + pos, (int)text.size() - pos, &cp);
    cps.push_back(cp);
  }
  EXPECT_EQ(cps, (std::vector<int>{-1, 'A', 0xE9}));
}

}  // namespace
