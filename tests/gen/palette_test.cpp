// The colour palette conversions.
#include <gtest/gtest.h>

#include "engine/shared/palette.h"

namespace {

TEST(GenPalette, PackColorMatchesNearestAndIgnoresAlphaAmount) {
  EXPECT_EQ(PACK_COLOR(0x00FFFFFFu), 0);
  EXPECT_EQ(PACK_COLOR(0x01FFFFFFu), 20);
  for (int i = 1; i <= 32; i++)
    EXPECT_EQ(PACK_COLOR(main_palette[i]), i);
  // Ties: midpoints between two entries that no third entry is nearer to must give the
  // lower of the two.
  auto ch = [](uint32_t c, int s) { return int((c >> s) & 0xFF); };
  auto dist = [&](uint32_t c, int i) {
    int d = 0;
    for (int s : {0, 8, 16})
      d += (ch(c, s) - ch(main_palette[i], s)) * (ch(c, s) - ch(main_palette[i], s));
    return d;
  };
  int ties = 0;
  for (int i = 1; i <= 32; i++)
    for (int j = i + 1; j <= 32; j++) {
      uint32_t a = main_palette[i], b = main_palette[j];
      if ((ch(a, 16) + ch(b, 16)) % 2 || (ch(a, 8) + ch(b, 8)) % 2 || (ch(a, 0) + ch(b, 0)) % 2)
        continue;
      uint32_t mid = 0xFF000000u | uint32_t((ch(a, 16) + ch(b, 16)) / 2) << 16 |
                     uint32_t((ch(a, 8) + ch(b, 8)) / 2) << 8 | uint32_t((ch(a, 0) + ch(b, 0)) / 2);
      bool nearest = true;
      for (int k = 1; k <= 32; k++)
        nearest = nearest && dist(mid, k) >= dist(mid, i);
      if (!nearest)
        continue;
      ties++;
      EXPECT_EQ(PACK_COLOR(mid), i) << i << " " << j;
    }
  EXPECT_GT(ties, 0);
  for (int i = 33; i < 256; i++)
    EXPECT_EQ(main_palette[i], 0xFFFF00FFu);
  EXPECT_EQ(main_palette[0], 0u);
}

TEST(GenPalette, UiPalHalvesChannels) {
  EXPECT_EQ(UI_PAL(0), 0u);
  EXPECT_EQ(UI_PAL(20), 0xFF7F7F7Fu);
  EXPECT_EQ(UI_PAL(5), 0xFF5C3728u);
  EXPECT_EQ(UI_PAL(200), 0xFF7F007Fu);
}

}  // namespace
