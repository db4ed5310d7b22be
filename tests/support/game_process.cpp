#include "game_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include "tests/support/test_env.h"

namespace {

long ms_since(std::chrono::steady_clock::time_point start) {
  return (long)std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
      .count();
}

// The output goes beside the test's own files: the game's per-user folder may be
// one that cannot be written.
std::string next_output_path() {
  static int runs = 0;
  return test_env::data_home() + "/game-" + std::to_string(getpid()) + "-" + std::to_string(++runs) + ".out";
}

// In the child, before exec.
void set_child_environment(const GameLaunch& launch) {
  if (launch.display.empty()) {
    setenv("TORVANE_HEADLESS", "1", 1);
  } else {
    unsetenv("TORVANE_HEADLESS");
    unsetenv("WAYLAND_DISPLAY");
    setenv("SDL_VIDEODRIVER", "x11", 1);
    setenv("DISPLAY", launch.display.c_str(), 1);
    // The X and GL libraries keep allocations for the process's life (and a failed
    // X start leaves some behind); the leak checker looks at the engine in the
    // headless runs.
    setenv("ASAN_OPTIONS", "detect_leaks=0:allocator_may_return_null=1", 1);
  }
  setenv("XDG_DATA_HOME", launch.data_home.c_str(), 1);
  for (const std::string& e : launch.env)
    putenv(strdup(e.c_str()));
}

}  // namespace

GameProcess::GameProcess(const GameLaunch& launch) : out_path_(next_output_path()) {
  std::string exe = (launch.game_dir.empty() ? test_env::bin_dir() : launch.game_dir) + "/torvane";
  pid_ = fork();
  if (pid_ == 0) {
    int out = open(out_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(out, 1);
    dup2(launch.error_path.empty() ? out : open(launch.error_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
    set_child_environment(launch);
    std::vector<char*> argv{(char*)exe.c_str()};
    for (const std::string& a : launch.args)
      argv.push_back((char*)a.c_str());
    argv.push_back(nullptr);
    execv(exe.c_str(), argv.data());
    _exit(127);
  }
}

GameProcess::~GameProcess() {
  if (pid_ > 0 && !reap()) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}

bool GameProcess::reap() {
  int status;
  if (!exited_ && pid_ > 0 && waitpid(pid_, &status, WNOHANG) == pid_) {
    exited_ = true;
    exit_status_ = status;
  }
  return exited_;
}

std::string GameProcess::output() const {
  std::ifstream in(out_path_, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

size_t GameProcess::waitForOutput(const std::string& text, int timeout_ms, size_t from) {
  auto start = std::chrono::steady_clock::now();
  for (;;) {
    // Whether it ended is asked first: what it wrote before it ended is read after.
    bool ended = reap();
    std::string out = output();
    size_t at = out.size() > from ? out.find(text, from) : std::string::npos;
    if (at != std::string::npos || ended || ms_since(start) > timeout_ms)
      return at;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

int GameProcess::waitForExit(int timeout_ms) {
  auto start = std::chrono::steady_clock::now();
  while (!reap()) {
    if (ms_since(start) > timeout_ms)
      return -1000;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return WIFEXITED(exit_status_) ? WEXITSTATUS(exit_status_) : -WTERMSIG(exit_status_);
}

void GameProcess::signal(int sig) {
  if (pid_ > 0 && !reap())
    kill(pid_, sig);
}
