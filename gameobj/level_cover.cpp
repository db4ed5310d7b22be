// The slots of the level that hide the background, found once per level.
/*
import level_cover
*/
#include "gameobj/level_cover.h"

#include "gameobj/actor.h"

namespace {

bool known = false;
bool hides[SLOTS_Y][SLOTS_X];

void find_hiding_slots() {
  for (int sy = 0; sy < SLOTS_Y; sy++)
    for (int sx = 0; sx < SLOTS_X; sx++)
      hides[sy][sx] = true;
  for (int y = 0; y < LEVEL_HEIGHT; y++)
    for (int x = 0; x < LEVEL_WIDTH; x++) {
      const LevelCell& c = level_data[y][x];
      if (!c.background && !c.foreground)
        hides[y / TILE_SLOT][x / TILE_SLOT] = false;
    }
  known = true;
}

}  // namespace

bool slot_hides(int sx, int sy) {
  if (sx < 0 || sy < 0 || sx >= SLOTS_X || sy >= SLOTS_Y)
    return false;
  if (!known)
    find_hiding_slots();
  return hides[sy][sx];
}

void forget_level_cover() { known = false; }
