#pragma once
// One test of a test program run in a child process: the child runs only that test
// (TORVANE_TEST_CHILD is set, so child-only tests run), with a per-user folder of
// the parent's choosing, its output in files the parent reads afterwards.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

struct ChildExit {
  int exit_code = -1;  // -1 when killed by a signal
  int signal = 0;
};

// Runs test `suite_and_name` ("Suite.Name") of program `exe` (argv[0] `name`) with
// XDG_DATA_HOME set to `data_home` and the extra environment given as "NAME=value"
// texts, standard output written to `out_path` and standard error to `err_path`
// (which may be the same file), and waits for it.
inline ChildExit run_test_child(const std::string& exe, const char* name, const std::string& suite_and_name,
                                const std::string& data_home, const std::vector<std::string>& env,
                                const std::string& out_path, const std::string& err_path) {
  pid_t pid = fork();
  if (pid == 0) {
    int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err = err_path == out_path ? out : open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(out, 1);
    dup2(err, 2);
    setenv("XDG_DATA_HOME", data_home.c_str(), 1);
    setenv("TORVANE_TEST_CHILD", "1", 1);
    for (const std::string& e : env)
      putenv(strdup(e.c_str()));
    std::string filter = "--gtest_filter=" + suite_and_name;
    execl(exe.c_str(), name, filter.c_str(), "--gtest_brief=1", (char*)nullptr);
    _exit(127);
  }
  ChildExit r;
  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFEXITED(status))
    r.exit_code = WEXITSTATUS(status);
  else if (WIFSIGNALED(status))
    r.signal = WTERMSIG(status);
  return r;
}
