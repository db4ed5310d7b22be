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
  pid_t pid = fork();
  if (pid == 0) {
    int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(out, 1);
    dup2(err, 2);
    setenv("XDG_DATA_HOME", data_home.c_str(), 1);
    setenv("TORVANE_TEST_CHILD", "1", 1);
    for (const std::string& e : env)
      putenv(strdup(e.c_str()));
    std::string filter = "--gtest_filter=" + suite_and_name;
    execl("/proc/self/exe", "child", filter.c_str(), "--gtest_brief=1", (char*)nullptr);
    _exit(127);
  }
  ChildResult r;
  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFEXITED(status))
    r.exit_code = WEXITSTATUS(status);
  else if (WIFSIGNALED(status))
    r.signal = WTERMSIG(status);
  r.out = read_file(out_path);
  r.err = read_file(err_path);
  return r;
}
