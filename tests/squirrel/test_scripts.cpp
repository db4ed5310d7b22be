// Conformance suite: each scripts/*.nut runs and must print exactly its .out file; each
// scripts/errors/*.nut must fail and report every line of its .err file.
#include "script_runner.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <filesystem>
#include <sstream>

namespace fs = std::filesystem;

static std::vector<std::string> list_scripts(const std::string& folder) {
  std::vector<std::string> names;
  for (auto& e : fs::directory_iterator(std::string(SQ_TEST_DIR) + "/" + folder))
    if (e.path().extension() == ".nut") names.push_back(e.path().stem().string());
  std::sort(names.begin(), names.end());
  return names;
}

class ConformanceScript : public ::testing::TestWithParam<std::string> {};

TEST_P(ConformanceScript, PrintsExpectedOutput) {
  std::string base = std::string(SQ_TEST_DIR) + "/scripts/" + GetParam();
  ScriptResult r = run_script_text(read_text_file(base + ".nut"), GetParam() + ".nut");
  EXPECT_TRUE(r.ok) << r.err;
  EXPECT_EQ(r.out, read_text_file(base + ".out"));
}

INSTANTIATE_TEST_SUITE_P(Chapters, ConformanceScript, ::testing::ValuesIn(list_scripts("scripts")),
                         [](const auto& info) { return info.param; });

class ErrorScript : public ::testing::TestWithParam<std::string> {};

TEST_P(ErrorScript, FailsWithDocumentedMessage) {
  std::string base = std::string(SQ_TEST_DIR) + "/scripts/errors/" + GetParam();
  ScriptResult r = run_script_text(read_text_file(base + ".nut"), GetParam() + ".nut");
  EXPECT_FALSE(r.ok);
  std::istringstream expected(read_text_file(base + ".err"));
  std::string line;
  while (std::getline(expected, line)) {
    if (line.empty()) continue;
    EXPECT_NE(r.err.find(line), std::string::npos) << "missing: " << line << "\nin:\n" << r.err.substr(0, 2000);
  }
}

INSTANTIATE_TEST_SUITE_P(Errors, ErrorScript, ::testing::ValuesIn(list_scripts("scripts/errors")),
                         [](const auto& info) { return info.param; });
