// The script performance timer.
#include "script_fixture.h"

class PerfTimerTest : public ScriptTest {
 protected:
  void SetUp() override {
    ScriptTest::SetUp();
    openVM();
  }
};

TEST_F(PerfTimerTest, DifferencesAndOrder) {
  ASSERT_TRUE(run("a <- PerfTimer()\nfor (local i = 0; i < 20000; i++) {}\nb <- PerfTimer()"));
  EXPECT_EQ(evalFloat("a - a"), 0.0f);
  EXPECT_GT(evalFloat("b - a"), 0.0f);
  EXPECT_LT(evalFloat("a - b"), 0.0f);
  EXPECT_FLOAT_EQ(evalFloat("(b - a) + (a - b)"), 0.0f);
  EXPECT_EQ(evalInt("a <=> a"), 0);
  EXPECT_EQ(evalInt("a <=> b"), -1);
  EXPECT_EQ(evalInt("b <=> a"), 1);
  EXPECT_EQ(evalInt("(a < b) ? 1 : 0"), 1);
  EXPECT_EQ(evalInt("((PerfTimer(1, 2) <=> PerfTimer()) <= 0) ? 1 : 0"), 1) << "arguments are ignored";
}

TEST_F(PerfTimerTest, WrongOperandsThrow) {
  ASSERT_TRUE(run("a <- PerfTimer()"));
  for (const char* expr : {"a - 1", "a - vec4f(1)", "a <=> \"x\"", "a - null"})
    EXPECT_EQ(nativeError(expr), "getInst: invalid argument type") << expr;
}

TEST_F(PerfTimerTest, TimerTheScriptCannotTakeIsFreed) {
  const char* expr = "PerfTimer.constructor.call({})";
  EXPECT_EQ(nativeError(expr), "can't set scripted instance user pointer");
  const int rounds = 400;
  auto run_rounds = [&] {
    capture_log([&] {
      for (int i = 0; i < rounds; i++)
        nativeError(expr);
    });
  };
  // A first batch fills the allocator's caches and the VM's own pools, which count as
  // in use; only growth over a second, equal batch is a leak.
  run_rounds();
  size_t before = heap_bytes_in_use();
  run_rounds();
  EXPECT_LT((long)(heap_bytes_in_use() - before), rounds * 16 / 2);
}
