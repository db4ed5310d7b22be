// Inputs the fuzzer once broke the library with: each must compile or fail cleanly and run
// (as the fuzzer runs it: bounded heap, execution budget) without crashing.
#include "libs/squirrel/fuzz/fuzz_script_run.h"
#include "script_runner.h"
#include <gtest/gtest.h>
#include <filesystem>

namespace fs = std::filesystem;

TEST(SquirrelFuzzRegressions, EveryCaseRunsWithoutCrashing) {
  int cases = 0;
  for (auto& e : fs::directory_iterator(std::string(SQ_TEST_DIR) + "/fuzz_regressions")) {
    std::string text = read_text_file(e.path().string());
    fuzz_run_script(text.data(), text.size());
    cases++;
  }
  EXPECT_GT(cases, 0);
}

// The fuzzer's heap is small: a script that keeps allocating meets "out of memory" long
// before its instruction budget or the machine's memory runs out.
TEST(SquirrelFuzzRun, FillingTheHeapEndsWithOutOfMemory) {
  std::string fill = "local keep = []; for (local i = 0; i < 20; i++) keep.append(array(1000000));";
  EXPECT_EQ(fuzz_run_script(fill.data(), fill.size()), "out of memory");
  std::string small = "local keep = []; for (local i = 0; i < 20; i++) keep.append(array(1000));";
  EXPECT_EQ(fuzz_run_script(small.data(), small.size()), "");
  std::string broken = "local = 1";
  EXPECT_NE(fuzz_run_script(broken.data(), broken.size()), "");
}
