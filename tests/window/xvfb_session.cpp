#include "xvfb_session.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include "tests/shell/test_env.h"

namespace {

long ms_since(std::chrono::steady_clock::time_point start) {
  return (long)std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
      .count();
}

}  // namespace

XvfbSession::XvfbSession(int width, int height) {
  int fds[2];
  if (pipe(fds) != 0) {
    error_ = "no pipe";
    return;
  }
  std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
  std::string displayfd = std::to_string(fds[1]);
  pid_ = fork();
  if (pid_ == 0) {
    close(fds[0]);
    int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(null, 2);
    execlp("Xvfb", "Xvfb", "-displayfd", displayfd.c_str(), "-screen", "0", screen.c_str(), "-nolisten", "tcp",
           "-noreset", (char*)nullptr);
    _exit(127);
  }
  close(fds[1]);
  // Xvfb writes the display number it took once it accepts clients.
  std::string number;
  auto start = std::chrono::steady_clock::now();
  while (ms_since(start) < 15000) {
    pollfd p{fds[0], POLLIN, 0};
    if (poll(&p, 1, 100) > 0) {
      char c;
      ssize_t n = read(fds[0], &c, 1);
      if (n <= 0)
        break;
      if (c == '\n')
        break;
      number += c;
    }
    int status;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      error_ = WIFEXITED(status) && WEXITSTATUS(status) == 127 ? "Xvfb is not installed" : "Xvfb exited at start";
      break;
    }
  }
  close(fds[0]);
  if (!number.empty())
    display_ = ":" + number;
  else if (error_.empty())
    error_ = "Xvfb did not report a display";
}

XvfbSession::~XvfbSession() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
}

std::string XvfbSession::xdotool(const std::string& args, int* status) const {
  std::string cmd = "DISPLAY=" + display_ + " timeout 30 xdotool " + args + " 2>&1";
  FILE* p = popen(cmd.c_str(), "r");
  std::string out;
  if (!p) {
    if (status)
      *status = -1;
    return out;
  }
  char buf[512];
  while (fgets(buf, sizeof(buf), p))
    out += buf;
  int rc = pclose(p);
  if (status)
    *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  return out;
}

GameProcess::GameProcess(const std::string& display, const std::string& data_home,
                         const std::vector<std::string>& args, const std::vector<std::string>& extra_env) {
  out_path_ = data_home + "/game.out";
  std::string exe = test_env::bin_dir() + "/torvane";
  pid_ = fork();
  if (pid_ == 0) {
    int out = open(out_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(out, 1);
    dup2(out, 2);
    // The real window: no headless switch, SDL on the X display.
    unsetenv("TORVANE_HEADLESS");
    unsetenv("WAYLAND_DISPLAY");
    setenv("SDL_VIDEODRIVER", "x11", 1);
    setenv("DISPLAY", display.c_str(), 1);
    setenv("XDG_DATA_HOME", data_home.c_str(), 1);
    // The X and GL libraries keep allocations for the process's life; the leak
    // checker looks at the engine in the headless runs.
    setenv("ASAN_OPTIONS", "detect_leaks=0:allocator_may_return_null=1", 1);
    for (const std::string& e : extra_env)
      putenv(strdup(e.c_str()));
    std::vector<char*> argv{(char*)exe.c_str()};
    for (const std::string& a : args)
      argv.push_back((char*)a.c_str());
    argv.push_back(nullptr);
    execv(exe.c_str(), argv.data());
    _exit(127);
  }
}

GameProcess::~GameProcess() {
  if (pid_ > 0 && !exited_) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
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
    std::string out = output();
    size_t at = out.size() > from ? out.find(text, from) : std::string::npos;
    if (at != std::string::npos)
      return at;
    if (ms_since(start) > timeout_ms)
      return std::string::npos;
    int status;
    if (!exited_ && waitpid(pid_, &status, WNOHANG) == pid_) {
      exited_ = true;
      exit_status_ = status;
    }
    if (exited_) {
      out = output();  // the last words
      at = out.size() > from ? out.find(text, from) : std::string::npos;
      return at;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

int GameProcess::waitForExit(int timeout_ms) {
  auto start = std::chrono::steady_clock::now();
  while (!exited_) {
    int status;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      exited_ = true;
      exit_status_ = status;
      break;
    }
    if (ms_since(start) > timeout_ms)
      return -1000;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return WIFEXITED(exit_status_) ? WEXITSTATUS(exit_status_) : -WTERMSIG(exit_status_);
}
