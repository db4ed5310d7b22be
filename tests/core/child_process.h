#pragma once
// Runs one test of this program in a fresh child process: the log, the crash
// handler and the exit path are process-wide, so their tests need a process of
// their own. The child test is a TEST that skips unless it runs as the child.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/test_child.h"

#define CHILD_ONLY()                     \
  if (!getenv("TORVANE_TEST_CHILD"))     \
  GTEST_SKIP() << "runs only as a child process of another test"

struct ChildResult {
  int exit_code = -1;  // -1 when killed by a signal
  int signal = 0;
  std::string out;
  std::string err;
};

inline std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

inline std::vector<std::string> read_lines(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line))
    lines.push_back(line);
  return lines;
}

// An empty folder for one test, inside the test's own per-user folder.
inline std::string fresh_folder(const std::string& name) {
  const char* home = getenv("XDG_DATA_HOME");
  std::string base = home && home[0] ? home : "/tmp/torvane-core-tests";
  std::string path = base + "/" + name;
  std::filesystem::remove_all(path);
  std::filesystem::create_directories(path);
  return path;
}

// Runs test `suite_and_name` ("Suite.Name") of this program with XDG_DATA_HOME
// set to `data_home` and the extra environment given as "NAME=value" texts.
inline ChildResult run_child(const std::string& suite_and_name, const std::string& data_home,
                             const std::vector<std::string>& env = {}) {
  std::string out_path = data_home + "/child.out", err_path = data_home + "/child.err";
  ChildExit child = run_test_child("/proc/self/exe", "child", suite_and_name, data_home, env, out_path, err_path);
  ChildResult r;
  r.exit_code = child.exit_code;
  r.signal = child.signal;
  r.out = read_file(out_path);
  r.err = read_file(err_path);
  return r;
}
