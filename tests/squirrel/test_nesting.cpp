// Deeply nested programs: 1,000 levels of any kind of nesting compile and run; deeper is a
// compile error, never a crash, also on a thread with a small C stack.
#include "script_runner.h"
#include <gtest/gtest.h>
#include <pthread.h>
#include <string>

namespace {

std::string repeat(const std::string& s, int n) {
  std::string r;
  for (int i = 0; i < n; i++) r += s;
  return r;
}

struct Nesting {
  const char* name;
  std::string (*program)(int depth);  // prints "ok" when it runs
};

const Nesting kNestings[] = {
  {"parentheses", [](int d) { return "local x = " + repeat("(", d) + "1" + repeat(")", d) + "; if (x == 1) print(\"ok\");"; }},
  {"blocks", [](int d) { return repeat("{", d) + "print(\"ok\");" + repeat("}", d); }},
  {"if_blocks", [](int d) { return repeat("if (true) {", d) + "print(\"ok\");" + repeat("}", d); }},
  {"arrays", [](int d) { return "local a = " + repeat("[", d) + "1" + repeat("]", d) + "; if (a.len() == 1) print(\"ok\");"; }},
  {"calls", [](int d) { return "function f(x) { return x; } if (" + repeat("f(", d) + "1" + repeat(")", d) + " == 1) print(\"ok\");"; }},
  {"tables", [](int d) { return "local t = " + repeat("{ a = ", d) + "1" + repeat("}", d) + "; if (t.a.a.a != null) print(\"ok\");"; }},
  {"prefix_operators", [](int d) { return "local x = " + repeat("- ", d) + "1; if (x == 1) print(\"ok\");"; }},
};

class NestedProgram : public ::testing::TestWithParam<Nesting> {};

TEST_P(NestedProgram, ThousandLevelsRun) {
  ScriptResult r = run_script_text(GetParam().program(1000), "nested");
  EXPECT_TRUE(r.ok) << r.err.substr(0, 500);
  EXPECT_EQ(r.out, "ok");
}

TEST_P(NestedProgram, DeeperIsACompileError) {
  for (int depth : {1100, 100000}) {
    ScriptResult r = run_script_text(GetParam().program(depth), "nested");
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.err.find("nested too deeply"), std::string::npos) << depth << ": " << r.err.substr(0, 500);
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, NestedProgram, ::testing::ValuesIn(kNestings),
                         [](const auto& info) { return std::string(info.param.name); });

// "else if" chains nest nothing, however long.
TEST(NestedProgramChain, LongElseIfChainRuns) {
  std::string text = "local x = 0; if (x == 1) x = 5;" + repeat(" else if (x == 1) x = 5;", 10000) + " else print(\"ok\");";
  ScriptResult r = run_script_text(text, "chain");
  EXPECT_TRUE(r.ok) << r.err.substr(0, 500);
  EXPECT_EQ(r.out, "ok");
}

// A thread with a small C stack runs out of room before the level limit: still an error.
TEST(NestedProgramOnSmallStack, RunsOutOfRoomCleanly) {
  struct Job { ScriptResult result; } job;
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstacksize(&attr, 512 * 1024);
  pthread_t thread;
  auto body = [](void* p) -> void* {
    static_cast<Job*>(p)->result = run_script_text(kNestings[0].program(1000), "nested");
    return nullptr;
  };
  ASSERT_EQ(pthread_create(&thread, &attr, body, &job), 0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attr);
  EXPECT_FALSE(job.result.ok);
  EXPECT_NE(job.result.err.find("nested too deeply"), std::string::npos) << job.result.err.substr(0, 500);
}

}  // namespace
