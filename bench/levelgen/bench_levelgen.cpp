// Level generation benchmarks.
//   BM_GenerateLevel/N: generate_level for level N over 200 generator states; the
//     counters give the median and the 99th percentile of one level in milliseconds.
//   BM_LoadTiles: loading (and freeing) the whole tile library.
//   BM_HeapPerLevel: heap in use after 100 warm-up levels of mixed kinds and after
//     1,000 more (growth in bytes), the heap the generator holds between levels, and
//     the largest change of the heap in use over one level.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "engine/gen/level_compose.h"
#include "engine/gen/level_tiles.h"
#include "engine/shared/level_map.h"
#include "engine/shell/modes/game_flow.h"  // cur_level
#include "tests/support/stand_in_module.h"
#include "tests/support/vfs_mounts.h"

namespace {

void setup_once() {
  static bool ready = false;
  if (ready)
    return;
  ready = true;
  mount_game_data("bench_levelgen", BENCH_DATA_DIR);
  install_stand_in_module(STAND_IN_LEVEL);
  load_level_tiles();
  module_calls.reserve(4096);
}

// The recorded calls are dropped after each level, so the heap figures count the
// generator alone.
void generate(int level, uint64_t seed) {
  cur_level = level;
  game_rnd_seed = seed;
  generate_level();
  module_calls.clear();
}

void BM_GenerateLevel(benchmark::State& state) {
  setup_once();
  int level = int(state.range(0));
  std::vector<double> ms;
  for (auto _ : state) {
    ms.clear();
    for (uint64_t seed = 1; seed <= 200; seed++) {
      auto t0 = std::chrono::steady_clock::now();
      generate(level, seed * 2654435761u);
      auto t1 = std::chrono::steady_clock::now();
      ms.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
    }
  }
  std::sort(ms.begin(), ms.end());
  state.counters["median_ms"] = ms[ms.size() / 2];
  state.counters["p99_ms"] = ms[ms.size() * 99 / 100];
  state.counters["max_ms"] = ms.back();
}
BENCHMARK(BM_GenerateLevel)->Arg(0)->Arg(1)->Arg(2)->Arg(5)->Arg(6)->Arg(10)->Arg(11)->Arg(15)
    ->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_LoadTiles(benchmark::State& state) {
  setup_once();
  for (auto _ : state) {
    free_level_tiles();
    load_level_tiles();
  }
}
BENCHMARK(BM_LoadTiles)->Unit(benchmark::kMillisecond);

void BM_HeapPerLevel(benchmark::State& state) {
  setup_once();
  static const int kinds[] = {0, 1, 2, 3, 5, 6, 7, 10, 11, 15};
  for (auto _ : state) {
    size_t before_any = mallinfo2().uordblks;
    for (int i = 0; i < 100; i++)
      generate(kinds[i % 10], 1000 + i);
    size_t after_warmup = mallinfo2().uordblks;
    // The most heap in use between levels over the first and the last 100 of 1,000
    // levels: equal when nothing grows from level to level.
    size_t first_max = 0, last_max = 0, peak_delta = 0;
    for (int i = 0; i < 1000; i++) {
      size_t b = mallinfo2().uordblks;
      generate(kinds[i % 10], 5000 + i);
      size_t a = mallinfo2().uordblks;
      peak_delta = std::max(peak_delta, a > b ? a - b : 0);
      if (i < 100)
        first_max = std::max(first_max, a);
      if (i >= 900)
        last_max = std::max(last_max, a);
    }
    state.counters["held_after_warmup_bytes"] = double(after_warmup) - double(before_any);
    state.counters["growth_over_1000_levels_bytes"] = double(last_max) - double(first_max);
    state.counters["largest_level_delta_bytes"] = double(peak_delta);
  }
}
BENCHMARK(BM_HeapPerLevel)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
