// Inputs the fuzzer once broke the library with: each must compile or fail cleanly and run
// (under an execution budget) without crashing.
#include "squirrel.h"
#include "sqstdaux.h"
#include "sqstdmath.h"
#include "sqstdstring.h"
#include "libs/squirrel/src/sqvm.h"
#include "script_runner.h"
#include <gtest/gtest.h>
#include <filesystem>

namespace fs = std::filesystem;

static void quiet(HSQUIRRELVM, const SQChar*, ...) {}

TEST(SquirrelFuzzRegressions, EveryCaseRunsWithoutCrashing) {
  int cases = 0;
  for (auto& e : fs::directory_iterator(std::string(SQ_TEST_DIR) + "/fuzz_regressions")) {
    std::string text = read_text_file(e.path().string());
    HSQUIRRELVM v = sq_open(256);
    sq_setprintfunc(v, quiet, quiet);
    sqstd_seterrorhandlers(v);
    sq_pushroottable(v);
    sqstd_register_mathlib(v);
    sqstd_register_stringlib(v);
    sq_pop(v, 1);
    sq_setopslimit(v, 20000);
    if (SQ_SUCCEEDED(sq_compilebuffer(v, text.data(), (SQInteger)text.size(), "fuzz", SQFalse))) {
      sq_pushroottable(v);
      sq_call(v, 1, SQFalse, SQTrue);
      sq_pop(v, 1);
      sq_collectgarbage(v);
    }
    sq_close(v);
    cases++;
  }
  EXPECT_GT(cases, 0);
}
