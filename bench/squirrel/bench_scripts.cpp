// Google Benchmark: each script defines run(); one iteration is one call of run().
// Also reports the memory taken by an empty table, array and class instance.
#include "squirrel.h"
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <fstream>
#include <sstream>
#include <string>

namespace {

// Same heap tuning as the sq runner (the engine routes the VM to its own allocator):
// large freed blocks stay in the heap instead of being unmapped and faulted in again.
const bool g_heapTuned = [] {
  mallopt(M_MMAP_THRESHOLD, 16 * 1024 * 1024);
  mallopt(M_TRIM_THRESHOLD, 64 * 1024 * 1024);
  return true;
}();

SQUnsignedInteger g_bytes = 0;
void* count_malloc(SQUnsignedInteger n) { g_bytes += n; return malloc(n); }
void* count_realloc(void* p, SQUnsignedInteger o, SQUnsignedInteger n) { g_bytes += n - o; return realloc(p, n); }
void count_free(void* p, SQUnsignedInteger n) { g_bytes -= n; free(p); }

std::string read_script(const char* name) {
  std::ifstream f(std::string(SQ_BENCH_DIR) + "/" + name + ".nut");
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

void run_script_benchmark(benchmark::State& state, const char* name) {
  HSQUIRRELVM v = sq_open(1024);
  std::string text = read_script(name);
  if (SQ_FAILED(sq_compilebuffer(v, text.data(), (SQInteger)text.size(), name, SQTrue))) {
    state.SkipWithError("compile failed");
    sq_close(v);
    return;
  }
  sq_pushroottable(v);
  sq_call(v, 1, SQFalse, SQTrue);  // defines run()
  sq_pop(v, 1);
  sq_pushroottable(v);
  sq_pushstring(v, "run", -1);
  sq_get(v, -2);
  for (auto _ : state) {
    sq_pushroottable(v);
    if (SQ_FAILED(sq_call(v, 1, SQTrue, SQTrue))) { state.SkipWithError("script failed"); break; }
    sq_pop(v, 1);
  }
  sq_close(v);
}

void BM_Fib(benchmark::State& s) { run_script_benchmark(s, "fib"); }
void BM_Loop(benchmark::State& s) { run_script_benchmark(s, "loop"); }
void BM_Table(benchmark::State& s) { run_script_benchmark(s, "table"); }
void BM_Array(benchmark::State& s) { run_script_benchmark(s, "array"); }
void BM_Strings(benchmark::State& s) { run_script_benchmark(s, "strings"); }
void BM_Methods(benchmark::State& s) { run_script_benchmark(s, "methods"); }
void BM_Closures(benchmark::State& s) { run_script_benchmark(s, "closures"); }
void BM_Generators(benchmark::State& s) { run_script_benchmark(s, "generators"); }
void BM_Float(benchmark::State& s) { run_script_benchmark(s, "float"); }
void BM_Globals(benchmark::State& s) { run_script_benchmark(s, "globals"); }
BENCHMARK(BM_Fib)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Loop)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Table)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Array)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Strings)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Methods)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Closures)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Generators)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Float)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Globals)->Unit(benchmark::kMillisecond);

// Bytes per object: 10000 objects of a kind held in an array, measured through the
// allocation hooks, divided by the count (the array's own slots excluded).
void memory_per_object(benchmark::State& state, const char* make) {
  sq_setallocator(count_malloc, count_realloc, count_free);
  HSQUIRRELVM v = sq_open(1024);
  std::string pre = "class Obj { a = 1; b = 2; } ::keep <- array(10000);";
  sq_compilebuffer(v, pre.data(), (SQInteger)pre.size(), "mem", SQTrue);
  sq_pushroottable(v);
  sq_call(v, 1, SQFalse, SQTrue);
  sq_pop(v, 1);
  std::string text = std::string("for (local i = 0; i < 10000; i++) ::keep[i] = ") + make + ";";
  sq_compilebuffer(v, text.data(), (SQInteger)text.size(), "mem", SQTrue);
  SQUnsignedInteger before = g_bytes;
  sq_pushroottable(v);
  sq_call(v, 1, SQFalse, SQTrue);
  sq_pop(v, 1);
  double per = double(g_bytes - before) / 10000.0;
  for (auto _ : state) benchmark::DoNotOptimize(per);
  state.counters["bytes_per_object"] = per;
  sq_close(v);
  sq_setallocator(nullptr, nullptr, nullptr);
}
void BM_MemEmptyTable(benchmark::State& s) { memory_per_object(s, "{}"); }
void BM_MemTable3(benchmark::State& s) { memory_per_object(s, "{ x = 1, y = 2, z = 3 }"); }
void BM_MemEmptyArray(benchmark::State& s) { memory_per_object(s, "[]"); }
void BM_MemArray3(benchmark::State& s) { memory_per_object(s, "[1, 2, 3]"); }
void BM_MemInstance2(benchmark::State& s) { memory_per_object(s, "Obj()"); }
BENCHMARK(BM_MemEmptyTable)->Iterations(1);
BENCHMARK(BM_MemTable3)->Iterations(1);
BENCHMARK(BM_MemEmptyArray)->Iterations(1);
BENCHMARK(BM_MemArray3)->Iterations(1);
BENCHMARK(BM_MemInstance2)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
