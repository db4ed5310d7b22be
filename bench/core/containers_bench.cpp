// Costs the engine pays on hot paths: appending to arrays, building strings and
// messages, reading the clock.
#include <benchmark/benchmark.h>

#include "engine/core/dynarray.h"
#include "engine/core/strings.h"
#include "engine/core/utils.h"

static void BM_DynArrayPush(benchmark::State& state) {
  for (auto _ : state) {
    DynArray<int> a;
    for (int i = 0; i < state.range(0); i++)
      a.push(&i);
    benchmark::DoNotOptimize(a.data);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_DynArrayPush)->Arg(16)->Arg(1024)->Arg(65536);

static void BM_DynArrayRemoveUnordered(benchmark::State& state) {
  DynArray<int> a;
  a.resize(4096);
  for (auto _ : state) {
    if (a.isEmpty())
      a.resize(4096);
    a.removeUnordered(a.size() / 2, 1);
  }
}
BENCHMARK(BM_DynArrayRemoveUnordered);

static void BM_StringAssign(benchmark::State& state) {
  String s;
  for (auto _ : state) {
    s.assign("sprites/hero/run_cycle_01.png");
    benchmark::DoNotOptimize(s.c_str());
  }
}
BENCHMARK(BM_StringAssign);

static void BM_TempStringFormat(benchmark::State& state) {
  TempString<260> t;
  int i = 0;
  for (auto _ : state) {
    t.format("shots/shot%4u_%02u_%02u.png", 2026u, (unsigned)(i++ % 12), 10u);
    benchmark::DoNotOptimize(t.str);
  }
}
BENCHMARK(BM_TempStringFormat);

static void BM_ClockRead(benchmark::State& state) {
  init_time();
  for (auto _ : state)
    benchmark::DoNotOptimize(get_time_usec(get_time_since_start()));
}
BENCHMARK(BM_ClockRead);
BENCHMARK_MAIN();
