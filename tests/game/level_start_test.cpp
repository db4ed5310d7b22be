// What a generated level puts where: the hero's start is safe, enemies and bonuses
// stand in the open (not in a wall), and every lift has a run to travel.
#include "game_fixture.h"
#include "gameobj/bonuses.h"

namespace {

uint64_t seed_of(int n) { return uint64_t(n) * 0x9E3779B97F4A7C15ull + 11; }

// True when the box overlaps a solid cell of the level.
bool in_wall(__m128 box) {
  int hit = 0;
  __m128 push = collide_box_level(_mm_movelh_ps(box, box), _mm_movehl_ps(box, box), hit);
  return v_sign_bits(v_cmpgt(push, _mm_setzero_ps())) != 0;
}

TEST_F(GeneratedLevelTest, StandingStillAtTheStartCostsNothingForFourSeconds) {
  for (int n = 1; n <= 5; n++)
    for (int level : {1, 2, 3, 4, 6, 7, 8, 9}) {
      start_level(level, seed_of(n));
      Hero* h = hero();
      step(80);
      EXPECT_EQ(h->health, h->maxHealth) << "level " << level << " seed " << n;
      EXPECT_EQ(cur_game_mode, play_mode);
    }
}

TEST_F(GeneratedLevelTest, EnemiesBonusesAndLiftsStartInTheOpen) {
  for (int n = 1; n <= 5; n++)
    for (int level = 1; level <= 10; level++) {
      start_level(level, seed_of(n));
      step();
      int checked = 0;
      auto check = [&](Actor* a, const char* what) {
        if (!a->alive())
          return;
        checked++;
        EXPECT_FALSE(in_wall(a->bbox)) << what << " at " << a->x << "," << a->y << " level " << level << " seed "
                                       << n;
      };
#define CHECK(name)                                  \
  for (int i = 0; i < name##_list.size(); i++)       \
    check(name##_list[i], #name);
      CHECK(EnemyHWheels) CHECK(EnemyTWheels) CHECK(EnemyHFly) CHECK(EnemyVFly) CHECK(EnemySimpleJumper)
      CHECK(EnemySimpleSpike) CHECK(EnemyMagnetSpikes) CHECK(Boss1) CHECK(Boss2) CHECK(HeartBonus) CHECK(UpBonus)
      CHECK(ExplBarrel) CHECK(Lift)
#undef CHECK
      // Boss2's plates orbit clear of the floor.
      for (int i = 0; i < BossPart_list.size(); i++)
        check(BossPart_list[i], "BossPart");
      EXPECT_GT(checked, 2) << "level " << level;
      for (int i = 0; i < Lift_list.size(); i++) {
        Lift* l = Lift_list[i];
        EXPECT_GE(std::fabs(l->endY - l->startY), 8) << "a lift with a run, at " << l->x << " level " << level;
        EXPECT_GE(std::fmin(l->startY, l->endY), Lift::THICKNESS) << "inside the map";
      }
    }
}

}  // namespace
