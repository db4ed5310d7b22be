// World query benchmarks, each reported per query, on a generated level with 2,000
// objects placed in its free cells and the stand-in module linked:
//   BM_ProximityQuery: the buckets around a 32 x 32 box and a walk over their objects.
//   BM_UpdateProximity: one object moved by a small step.
//   BM_CollideBoxLevel: push-out of a 1 x 2 box from the cells it overlaps.
//   BM_CollideBoxX / BM_CollideBoxY: one move of a 1 x 2 box, level only (arg 0) or
//     level and the module's objects (arg 1).
//   BM_CollideMovingBox: a full move towards a target with a step height of 1.
//   BM_TraceLevel: a 40-cell ray with a strip of 3.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "engine/gen/level_compose.h"
#include "engine/script/sq_vec4f.h"
#include "engine/shared/game_state.h"
#include "engine/world/collision.h"
#include "engine/world/gameobj_api.h"
#include "engine/world/gameobj_host.h"
#include "engine/world/level_sweep.h"
#include "engine/world/proximity.h"
#include "tests/support/module_load.h"

namespace {

constexpr int NUM_OBJECTS = 2000;
std::vector<GameObj*> objects;
std::vector<vec4float> positions;

__m128 box_of(__m128 p) {
  alignas(16) float f[4];
  _mm_store_ps(f, p);
  return _mm_setr_ps(f[0] - 0.5f, f[1], f[0] + 0.5f, f[1] + 2.0f);
}

void setup_once() {
  static bool ready = false;
  if (ready)
    return;
  ready = true;
  load_module_and_tiles("bench_world", BENCH_BIN_DIR, BENCH_DATA_DIR);
  cur_level = 3;
  game_rnd_seed = 0x9E3779B97F4A7C15ull;
  generate_level();
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> cx(1, LEVEL_WIDTH - 2), cy(1, LEVEL_HEIGHT - 4);
  while ((int)objects.size() < NUM_OBJECTS) {
    int x = cx(rng), y = cy(rng);
    if (level_data[y][x].collision || level_data[y + 1][x].collision)
      continue;
    GameObj* o = new GameObj();
    __m128 p = _mm_setr_ps(x + 0.5f, y + 0.05f, 0, 1);
    update_proximity(o, box_of(p));
    objects.push_back(o);
    positions.push_back(p);
  }
}

void BM_ProximityQuery(benchmark::State& state) {
  setup_once();
  ProximityQuery q;
  size_t i = 0;
  int64_t seen = 0;
  for (auto _ : state) {
    alignas(16) float f[4];
    _mm_store_ps(f, positions[i++ % positions.size()]);
    q.proximityQuery(_mm_setr_ps(f[0] - 16, f[1] - 16, f[0] + 16, f[1] + 16), false);
    for (int b : q.bucketList)
      seen += proximity[b].size();
    benchmark::DoNotOptimize(seen);
  }
  state.counters["objects_per_query"] = double(seen) / double(state.iterations());
}
BENCHMARK(BM_ProximityQuery);

void BM_UpdateProximity(benchmark::State& state) {
  setup_once();
  size_t i = 0;
  float step = 0.3f;
  for (auto _ : state) {
    size_t k = i++ % objects.size();
    positions[k] = _mm_add_ps(positions[k], _mm_setr_ps(step, 0, 0, 0));
    update_proximity(objects[k], box_of(positions[k]));
    if (k + 1 == objects.size())
      step = -step;
  }
}
BENCHMARK(BM_UpdateProximity);

void BM_CollideBoxLevel(benchmark::State& state) {
  setup_once();
  size_t i = 0;
  for (auto _ : state) {
    __m128 b = box_of(positions[i++ % positions.size()]);
    int hit = 0;
    benchmark::DoNotOptimize(collide_box_level(b, _mm_movehl_ps(b, b), hit));
  }
}
BENCHMARK(BM_CollideBoxLevel);

void BM_CollideBoxX(benchmark::State& state) {
  setup_once();
  bool with_objects = state.range(0) != 0;
  size_t i = 0;
  for (auto _ : state) {
    size_t k = i++ % objects.size();
    int hit = 0;
    benchmark::DoNotOptimize(
        collide_box_x(box_of(positions[k]), (k & 1) ? 0.4f : -0.4f, hit, with_objects ? objects[k] : nullptr));
  }
}
BENCHMARK(BM_CollideBoxX)->Arg(0)->Arg(1);

void BM_CollideBoxY(benchmark::State& state) {
  setup_once();
  bool with_objects = state.range(0) != 0;
  size_t i = 0;
  float ground[2];
  for (auto _ : state) {
    size_t k = i++ % objects.size();
    int hit = 0;
    benchmark::DoNotOptimize(
        collide_box_y(box_of(positions[k]), -0.6f, hit, with_objects ? objects[k] : nullptr, ground));
  }
}
BENCHMARK(BM_CollideBoxY)->Arg(0)->Arg(1);

void BM_CollideMovingBox(benchmark::State& state) {
  setup_once();
  const __m128 ext = _mm_setr_ps(-0.5f, 0.0f, 0.5f, 2.0f);
  size_t i = 0;
  float ground[2];
  for (auto _ : state) {
    size_t k = i++ % objects.size();
    __m128 pos = positions[k];
    int flags = collide_moving_box(pos, _mm_add_ps(pos, _mm_setr_ps(0.5f, -0.4f, 0, 0)), ext, objects[k], ground, 1.0f);
    benchmark::DoNotOptimize(flags);
  }
}
BENCHMARK(BM_CollideMovingBox);

void BM_TraceLevel(benchmark::State& state) {
  setup_once();
  size_t i = 0;
  for (auto _ : state) {
    __m128 p = positions[i++ % positions.size()];
    benchmark::DoNotOptimize(
        trace_level(p, _mm_add_ps(p, _mm_setr_ps(30, 26, 0, 0)), 1, nullptr, nullptr, nullptr));
  }
}
BENCHMARK(BM_TraceLevel);

}  // namespace

BENCHMARK_MAIN();
