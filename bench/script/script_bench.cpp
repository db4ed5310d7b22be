// Cost of the binding layer: a script loop calling vector natives, and native code
// calling a script function through SqFunc.
#include <benchmark/benchmark.h>

#include <cstring>

#include "engine/script/sq_vec4f.h"
#include "engine/script/sqbind.h"

namespace {

HSQUIRRELVM open_with(const char* code) {
  HSQUIRRELVM vm = sqbind::create_vm(1024);
  register_vec4f_bindings(vm);
  sqbind::compile_buffer(vm, code, (SQInteger)strlen(code), "bench");
  sq_pushroottable(vm);
  sq_call(vm, 1, SQFalse, SQTrue);
  sq_poptop(vm);
  return vm;
}

// 1000 vector operations per iteration, each a native call and a new instance.
void BM_VectorNatives(benchmark::State& state) {
  HSQUIRRELVM vm = open_with(
      "function work() { local a = vec4f(1, 2, 3, 4); local s = 0.0\n"
      "  for (local i = 0; i < 1000; i++) s += getx(dot3(a, norm3(a + i))); return s }");
  SqFunc<sqbind::SqObject> work;
  work.bind(vm, "work");
  for (auto _ : state)
    benchmark::DoNotOptimize(work());
  state.SetItemsProcessed(state.iterations() * 1000);
  work.reset();
  sqbind::close_vm(vm);
}
BENCHMARK(BM_VectorNatives);

// One SqFunc call with two integer arguments and an integer result.
void BM_SqFuncCall(benchmark::State& state) {
  HSQUIRRELVM vm = open_with("function add(s, n) { return s.len() + n }");
  SqFunc<int> add;
  add.bind(vm, "add");
  int n = 0;
  for (auto _ : state) {
    SqFunc<int>& f = add;
    if (!f.isNull())
      n = f("x", n & 1023);
    benchmark::DoNotOptimize(n);
  }
  add.reset();
  sqbind::close_vm(vm);
}
BENCHMARK(BM_SqFuncCall);

}  // namespace

BENCHMARK_MAIN();
