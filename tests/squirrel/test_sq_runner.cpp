// The sq runner as a program: what it prints and the code it ends with.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <fstream>
#include <string>

namespace {

struct Outcome {
  int code = -1;        // exit code, or 128 + signal
  std::string errors;   // what it wrote to stderr
};

// Runs sq on a script in a child process whose address space is limited to `limit` bytes.
[[maybe_unused]] Outcome run_sq(const std::string& script, rlim_t limit) {
  std::string path = ::testing::TempDir() + "sq_runner_script.nut";
  std::ofstream(path) << script;
  int pipefd[2];
  if (pipe(pipefd) != 0) return {};
  pid_t pid = fork();
  if (pid == 0) {
    dup2(pipefd[1], 2);
    close(pipefd[0]);
    close(pipefd[1]);
    rlimit r{limit, limit};
    setrlimit(RLIMIT_AS, &r);
    std::string sq = std::string(TORVANE_TEST_BIN_DIR) + "/sq";
    execl(sq.c_str(), sq.c_str(), path.c_str(), (char*)nullptr);
    _exit(127);
  }
  close(pipefd[1]);
  Outcome o;
  char buf[4096];
  for (ssize_t n; (n = read(pipefd[0], buf, sizeof(buf))) > 0;) o.errors.append(buf, (size_t)n);
  close(pipefd[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  o.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return o;
}

}  // namespace

TEST(SqRunner, RunningOutOfMemoryEndsWithTheErrorNotAnAbort) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer reserves more address space than the limit allows";
#else
  Outcome o = run_sq("local a = [];\nwhile (true) a.append(array(100000, 1));\n", 150u << 20);
  EXPECT_EQ(o.code, 1) << o.errors;
  EXPECT_NE(o.errors.find("AN ERROR HAS OCCURRED [out of memory]"), std::string::npos) << o.errors;
  EXPECT_EQ(o.errors.find("terminate called"), std::string::npos) << o.errors;
#endif
}
