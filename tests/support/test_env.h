#pragma once
// What the shell and profiler tests share: the paths the test entry sets up (else
// derived from the test program's place, build/tests/<test>), and the lock through
// which everything that listens on the profiler port takes turns.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

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

// The test program's own writable folder (created on first use).
inline std::string data_home() {
  std::string dir = from_env_or("XDG_DATA_HOME", build_dir() + "/test-home/shell-fallback");
  mkdir((build_dir() + "/test-home").c_str(), 0755);
  mkdir(dir.c_str(), 0755);
  return dir;
}

// Held while something listens on the profiler port, so parallel tests never find
// the port taken. The port is the machine's: the lock is one for every build folder
// whose tests may run at the same time.
class ProfilerPortLock {
 public:
  ProfilerPortLock() : fd_(open("/tmp/torvane-profiler-port.lock", O_CREAT | O_RDWR, 0666)) {
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
