#include "engine/shared/palette.h"

#define PAL_MAGENTA8 0xFFFF00FFu, 0xFFFF00FFu, 0xFFFF00FFu, 0xFFFF00FFu, \
                     0xFFFF00FFu, 0xFFFF00FFu, 0xFFFF00FFu, 0xFFFF00FFu

const uint32_t main_palette[256] = {
  0x00000000u,
  0xFFBE4A2Fu, 0xFFD87644u, 0xFFEAD4AAu, 0xFFE4A672u, 0xFFB86F50u, 0xFF743F39u, 0xFF3F2832u, 0xFF9E2835u,
  0xFFE43B44u, 0xFFF77622u, 0xFFFEAE34u, 0xFFFEE761u, 0xFF63C74Du, 0xFF3E8948u, 0xFF265C42u, 0xFF193C3Eu,
  0xFF124E89u, 0xFF0095E9u, 0xFF2CE8F5u, 0xFFFFFFFFu, 0xFFC0CBDCu, 0xFF8B9BB4u, 0xFF5A6988u, 0xFF3A4466u,
  0xFF262B44u, 0xFFFF0044u, 0xFF181425u, 0xFF68386Cu, 0xFFB55088u, 0xFFF6757Au, 0xFFE8B796u, 0xFFC28569u,
  // 33..255: opaque magenta, never produced by PACK_COLOR.
  0xFFFF00FFu, 0xFFFF00FFu, 0xFFFF00FFu, 0xFFFF00FFu, 0xFFFF00FFu, 0xFFFF00FFu, 0xFFFF00FFu,
  PAL_MAGENTA8, PAL_MAGENTA8, PAL_MAGENTA8, PAL_MAGENTA8, PAL_MAGENTA8, PAL_MAGENTA8, PAL_MAGENTA8,
  PAL_MAGENTA8, PAL_MAGENTA8, PAL_MAGENTA8, PAL_MAGENTA8, PAL_MAGENTA8, PAL_MAGENTA8, PAL_MAGENTA8,
  PAL_MAGENTA8, PAL_MAGENTA8, PAL_MAGENTA8, PAL_MAGENTA8, PAL_MAGENTA8, PAL_MAGENTA8, PAL_MAGENTA8,
  PAL_MAGENTA8, PAL_MAGENTA8, PAL_MAGENTA8, PAL_MAGENTA8, PAL_MAGENTA8, PAL_MAGENTA8,
};
static_assert(1 + 32 + 7 + 27 * 8 == 256, "palette table size");

static int channel(uint32_t c, int shift) { return int((c >> shift) & 0xFF); }

uint8_t PACK_COLOR(uint32_t color) {
  if (color < 0x01000000u)
    return 0;  // alpha 0: no colour, whatever the channels hold
  int best = 0x7FFFFFFF;
  uint8_t best_index = 1;
  for (int i = 1; i <= 32; i++) {
    int dr = channel(color, 16) - channel(main_palette[i], 16);
    int dg = channel(color, 8) - channel(main_palette[i], 8);
    int db = channel(color, 0) - channel(main_palette[i], 0);
    int dist = dr * dr + dg * dg + db * db;
    if (dist < best) {  // strictly smaller: the lower index wins ties
      best = dist;
      best_index = uint8_t(i);
    }
  }
  return best_index;
}

uint32_t UI_PAL(uint8_t index) {
  uint32_t c = main_palette[index];
  return (c & 0xFF000000u) | ((c >> 1) & 0x007F7F7Fu);
}
