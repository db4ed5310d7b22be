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
  return run("xdotool", args, status);
}

std::string XvfbSession::xwininfo(const std::string& args, int* status) const {
  return run("xwininfo", args, status);
}

std::string XvfbSession::run(const std::string& tool, const std::string& args, int* status) const {
  std::string cmd = "DISPLAY=" + display_ + " timeout 30 " + tool + " " + args + " 2>&1";
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
