#pragma once
// Fixtures of the core tests: a fresh temporary folder, and the virtual file
// system mounted on one (read and write folder alike).
#include <gtest/gtest.h>
#include <physfs.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

inline void write_file(const std::string& path, const std::string& bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), (std::streamsize)bytes.size());
}

inline std::string read_file(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

// The virtual file system over a temporary folder, mounted at the root and set
// as the write folder.
class VfsTest : public ::testing::Test {
 protected:
  TempFolder dir;

  void SetUp() override {
    ASSERT_NE(PHYSFS_init(nullptr), 0) << PHYSFS_getErrorByCode(PHYSFS_getLastErrorCode());
    ASSERT_NE(PHYSFS_mount(dir.path.c_str(), nullptr, 1), 0);
    ASSERT_NE(PHYSFS_setWriteDir(dir.path.c_str()), 0);
  }
  void TearDown() override { PHYSFS_deinit(); }
};

// Limits the size of files this process may write (writes beyond it fail with
// EFBIG instead of raising SIGXFSZ); the old limit comes back at scope end.
struct FileSizeLimit {
  rlimit old{};
  void (*oldHandler)(int) = nullptr;

  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &old);
    oldHandler = signal(SIGXFSZ, SIG_IGN);
    rlimit lim = old;
    lim.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &lim);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, oldHandler);
  }
};
