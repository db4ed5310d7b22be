// One update_gameobj step of the game module with a crowd of live objects on a
// generated level (level 3): the level's own enemies and bonuses, topped up with
// enemies of every kind and bonuses around the hero, whose turrets and flyers keep
// shots in flight; a few enemies are blown up before each step, so explosions and
// debris fly too. `range(0)` objects are alive at every step (the crowd is topped up
// outside the timing). The hero cannot be hurt, so the crowd keeps its business.
//   BM_UpdateGameobj/300: the budget is 1 ms per step on one core.
#include <benchmark/benchmark.h>

#include <random>

#include "engine/gen/level_compose.h"
#include "engine/shell/modes/game_flow.h"
#include "engine/world/gameobj_host.h"
#include "engine/world/junk.h"
#include "gameobj/enemies.h"
#include "gameobj/hero.h"
#include "tests/support/module_load.h"

namespace {

std::mt19937 rng(11);

int live_objects() {
  int n = 0;
#define COUNT(name)                            \
  for (int i = 0; i < name##_list.size(); i++) \
    n += reinterpret_cast<BaseObject*>(name##_list[i])->flags == OBJ_LIVE;
  GAMEOBJ_LIST_NAMES(COUNT)
#undef COUNT
  return n;
}

// A free spot on a floor within `range` of (cx, cy).
bool floor_spot(float cx, float cy, float range, float& x, float& y) {
  std::uniform_int_distribution<int> dx(-int(range), int(range));
  for (int tries = 0; tries < 4000; tries++) {
    int fx = int(cx) + dx(rng), fy = int(cy) + dx(rng);
    if (fx < 1 || fy < 1 || fx >= LEVEL_WIDTH - 1 || fy >= LEVEL_HEIGHT - 16)
      continue;
    if (level_data[fy][fx].collision || level_data[fy - 1][fx].collision == 0)
      continue;
    bool clear = true;
    for (int yy = fy; yy < fy + 12 && clear; yy++)
      clear = level_data[yy][fx].collision == 0;
    if (!clear)
      continue;
    x = fx + 0.5f, y = float(fy);
    return true;
  }
  return false;
}

// Adds enemies of every kind and bonuses around the hero until `target` objects live.
void top_up(int target) {
  static const int kinds[] = {KIND_HWHEELS,       KIND_TWHEELS,       KIND_HFLY,        KIND_VFLY,
                              KIND_SIMPLE_SPIKE,  KIND_SIMPLE_JUMPER, KIND_MAGNET_SPIKES, KIND_HEART_BONUS,
                              KIND_UP_BONUS};
  Hero* hero = Hero_list[0];
  for (int n = live_objects(), k = 0; n < target; n = live_objects(), k++) {
    float x, y;
    if (!floor_spot(hero->x, hero->y, 150, x, y) && !floor_spot(hero->x, hero->y, 600, x, y))
      break;
    gameobj_func_table.add_enemy(kinds[k % 9], x, y);
  }
}

// Blows up a few enemies: explosions and debris for the next step.
void blow_up(int count) {
  for (int i = 0; i < EnemyHWheels_list.size() && count > 0; i++, count--)
    EnemyHWheels_list[i]->hurt(1000, EnemyHWheels_list[i]->x, EnemyHWheels_list[i]->y);
  for (int i = 0; i < EnemySimpleJumper_list.size() && count > 0; i++, count--)
    EnemySimpleJumper_list[i]->hurt(1000, EnemySimpleJumper_list[i]->x, EnemySimpleJumper_list[i]->y);
}

void setup_once() {
  static bool ready = false;
  if (ready)
    return;
  ready = true;
  load_module_and_tiles("bench_gameobj", BENCH_BIN_DIR, BENCH_DATA_DIR);
  game_rnd_seed = 0x9E3779B97F4A7C15ull;
  gameobj_func_table.init_gameobj();
  reset_game();
  cur_level = 3;
  start_new_level();
}

void BM_UpdateGameobj(benchmark::State& state) {
  setup_once();
  int target = int(state.range(0));
  top_up(target);
  int64_t objects = 0;
  int64_t shots = 0, debris = 0;
  int step = 0;
  for (auto _ : state) {
    state.PauseTiming();
    update_junk(0.05f);  // the play step's debris update
    if (step++ % 10 == 0)
      blow_up(2);
    top_up(target);
    Hero* hero = Hero_list[0];
    hero->health = hero->maxHealth;
    hero->invulnerable = 1;
    objects += live_objects();
    shots += Bullet_list.size();
    debris += junk_records.size();
    state.ResumeTiming();
    gameobj_func_table.update_gameobj(0.05f);
  }
  state.counters["objects"] = double(objects) / double(state.iterations());
  state.counters["shots"] = double(shots) / double(state.iterations());
  state.counters["debris"] = double(debris) / double(state.iterations());
}
BENCHMARK(BM_UpdateGameobj)->Arg(300)->Arg(1000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
