// Room for the hero under the generated levels' planks: a plank hangs at the top of
// its slot, so over a solid slot it would leave a gap the hero can neither pass
// under nor jump onto.
#include "game_fixture.h"

namespace {

class Headroom : public GeneratedLevelTest {};

TEST_F(Headroom, NoPlankHangsLowOverAFloor) {
  for (int level : {1, 2, 3, 6, 7}) {
    for (uint64_t seed = 1; seed <= 8; seed++) {
      start_level(level, seed * 0x9E3779B97F4A7C15ull + uint64_t(level));
      int low = 0, firstX = -1, firstY = -1;
      for (int x = 0; x < LEVEL_WIDTH; x++)
        for (int y = 1; y + 16 < LEVEL_HEIGHT; y++) {
          if (!level_data[y - 1][x].collision || level_data[y][x].collision)
            continue;
          int gap = 0;
          while (gap < 16 && !level_data[y + gap][x].collision)
            gap++;
          // A plank's underside lies 12 cells into its slot.
          if (gap < 16 && (y + gap) % TILE_SLOT == 12) {
            if (!low++)
              firstX = x, firstY = y;
          }
        }
      EXPECT_EQ(low, 0) << "level " << level << " seed " << seed << ": first over (" << firstX << ", " << firstY << ")";
    }
  }
}

}  // namespace
