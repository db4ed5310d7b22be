#include "tools/fuzz/fuzz_support.h"

#include <physfs.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "engine/render/d3d_device.h"

namespace {

std::string folder;

void remove_folder() { std::filesystem::remove_all(folder); }

}  // namespace

void fuzz_init_folder() {
  if (!folder.empty())
    return;
  const char* tmp = getenv("TMPDIR");
  std::string pattern = std::string(tmp && tmp[0] ? tmp : "/tmp") + "/torvane-fuzz-XXXXXX";
  if (!mkdtemp(pattern.data())) {
    perror("fuzz: mkdtemp");
    abort();
  }
  folder = pattern + "/";
  atexit(remove_folder);
  // The per-user folder is <XDG_DATA_HOME>/TORVANE: readers of user files look there.
  setenv("XDG_DATA_HOME", pattern.c_str(), 1);
  std::filesystem::create_directory(folder + "TORVANE");
  if (!PHYSFS_isInit() && !PHYSFS_init(nullptr))
    abort();
  if (!PHYSFS_setWriteDir(pattern.c_str()) || !PHYSFS_mount(pattern.c_str(), nullptr, 1)) {
    fprintf(stderr, "fuzz: cannot mount %s\n", pattern.c_str());
    abort();
  }
}

const std::string& fuzz_folder() {
  fuzz_init_folder();
  return folder;
}

const char* fuzz_put_file(const char* name, const uint8_t* data, size_t size) {
  std::string path = fuzz_folder() + name;
  FILE* f = fopen(path.c_str(), "wb");
  if (!f || fwrite(data, 1, size, f) != size || fclose(f) != 0) {
    perror("fuzz: writing the input");
    abort();
  }
  return name;
}

extern bool isFullscreen;

void fuzz_init_device() {
  static bool started = false;
  if (started)
    return;
  started = true;
  fuzz_init_folder();
  setenv("TORVANE_HEADLESS", "1", 1);
  isFullscreen = true;  // no window: the device sizes its back buffer itself
  if (!init_d3d(nullptr, 64, 64)) {
    fprintf(stderr, "fuzz: no device\n");
    abort();
  }
}

void fuzz_check_failed(const char* file, int line, const char* condition) {
  fprintf(stderr, "%s(%d): fuzz check failed: %s\n", file, line, condition);
  abort();
}
