#pragma once
// Paths the shell and profiler tests need, from the test environment when it is set
// and otherwise derived from the test program's own place in the build folder
// (build/tests/<test>): the game's folder build/bin and a per-test data home.
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <sys/stat.h>

namespace test_env {

inline std::string build_dir() {
  char exe[4096];
  ssize_t n = readlink("/proc/self/exe", exe, sizeof(exe) - 1);
  if (n <= 0)
    return ".";
  std::string path(exe, (size_t)n);
  path = path.substr(0, path.rfind('/'));  // build/tests
  return path.substr(0, path.rfind('/'));  // build
}

inline std::string from_env_or(const char* name, const std::string& fallback) {
  const char* value = getenv(name);
  return value && value[0] ? std::string(value) : fallback;
}

// build/bin: the executable, the reader tool and the data links.
inline std::string bin_dir() { return from_env_or("TORVANE_BIN_DIR", build_dir() + "/bin"); }

// A writable folder of this test program's own (created on first use).
inline std::string data_home() {
  std::string dir = from_env_or("XDG_DATA_HOME", build_dir() + "/test-home/shell-fallback");
  mkdir((build_dir() + "/test-home").c_str(), 0755);
  mkdir(dir.c_str(), 0755);
  return dir;
}

}  // namespace test_env

namespace test_env {

// Makes the environment the test runner is meant to give (headless, a data home of
// the test's own, the game's folder) where it was not passed on. Call it from a
// static initialiser, before anything reads the environment.
inline bool ensure_env() {
  setenv("TORVANE_HEADLESS", "1", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  setenv("SDL_VIDEODRIVER", "dummy", 0);
  if (!getenv("XDG_DATA_HOME") || !getenv("XDG_DATA_HOME")[0])
    setenv("XDG_DATA_HOME", data_home().c_str(), 1);
  if (!getenv("TORVANE_BIN_DIR") || !getenv("TORVANE_BIN_DIR")[0])
    setenv("TORVANE_BIN_DIR", bin_dir().c_str(), 1);
  return true;
}

}  // namespace test_env

#include <fcntl.h>
#include <sys/file.h>

namespace test_env {

// Everything that listens on the profiler port takes turns through this lock, so
// parallel tests never find the port taken.
class ProfilerPortLock {
 public:
  ProfilerPortLock() : fd_(open((build_dir() + "/test-home/profiler-port.lock").c_str(), O_CREAT | O_RDWR, 0644)) {
    if (fd_ >= 0)
      flock(fd_, LOCK_EX);
  }
  ~ProfilerPortLock() {
    if (fd_ >= 0)
      close(fd_);
  }
  ProfilerPortLock(const ProfilerPortLock&) = delete;
  ProfilerPortLock& operator=(const ProfilerPortLock&) = delete;

 private:
  int fd_;
};

}  // namespace test_env
