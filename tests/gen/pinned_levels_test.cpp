// Pinned levels: the cell-map hash and the generator's state after generation of a few
// levels for fixed seeds. Nothing else would notice a change to the order or number of
// the random draws (every other level test holds for any draws); a change to the
// game's tiles or room pictures shows here too.
#include <gtest/gtest.h>

#include <cstdio>

#include "engine/gen/level_compose.h"
#include "engine/shared/level_map.h"
#include "engine/shell/modes/game_flow.h"  // cur_level
#include "gen_test_util.h"

namespace {

struct PinnedLevel {
  int level;
  uint64_t seed;
  uint64_t hash;       // of the cell map, as "level_dump --seed S --level N" prints it
  uint64_t stateAfter; // the generator's state once the level is made
};

// One level of each kind the first zones have: ordinary levels of zones 1 to 3 and the
// first two boss levels.
const PinnedLevel pinned[] = {
    {1, 4242, 0x0312f649aafd9ea9ull, 0x92521671ae04c0eeull},
    {2, 1234567, 0x89566c52b7982febull, 0x7827e5289da42e4dull},
    {5, 99, 0x28477ba34ec24c2eull, 0xf74c6e2b6679f8c7ull},
    {6, 2026, 0xdd366ca6d52b708aull, 0xa6a6a821bdcaf505ull},
    {10, 31337, 0xfd2daffd70346032ull, 0x62e1ace300b968c2ull},
    {11, 7, 0x1d9d9e1fff6205e3ull, 0xd26cd054f38bee8bull},
};

}  // namespace

TEST(GenPinnedLevels, FixedSeedsGiveThePinnedLevels) {
  use_game_tiles();
  for (const PinnedLevel& p : pinned) {
    cur_level = p.level;
    game_rnd_seed = p.seed;
    generate_level();
    char got[128];
    snprintf(got, sizeof(got), "{%d, %llu, 0x%016llxull, 0x%016llxull}", p.level, (unsigned long long)p.seed,
             (unsigned long long)level_map_hash(), (unsigned long long)game_rnd_seed);
    EXPECT_EQ(level_map_hash(), p.hash) << "level " << p.level << " seed " << p.seed << " is now " << got
                                  << "\nA changed state after it means the draws changed; the same state with "
                                     "another hash, the tiles or room pictures. When the change is meant, look at "
                                     "the level with level_dump and pin the new values.";
    EXPECT_EQ(game_rnd_seed, p.stateAfter) << "level " << p.level << " seed " << p.seed << " is now " << got;
  }
}
