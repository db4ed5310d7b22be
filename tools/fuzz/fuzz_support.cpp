#include "tools/fuzz/fuzz_support.h"

#include <physfs.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "engine/gui/font_description.h"
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

std::string fuzz_page_named(const char* path, int line, const char* pattern) {
  PHYSFS_File* file = open_description(path);
  if (!file)
    return "";
  DescriptionReader in(file);
  const char* text = nullptr;
  for (int i = 0; i <= line && (text = in.next()); i++) {
  }
  char page[256];
  bool named = text && sscanf(text, pattern, page) >= 1;
  PHYSFS_close(file);
  return named ? page : "";
}

namespace {

// Relative, without empty, "." or ".." parts, and without the characters the file
// system refuses in a path.
bool is_plain_path(const std::string& path) {
  if (path.empty() || path.find_first_of(":\\") != std::string::npos)
    return false;
  size_t start = 0;
  for (;;) {
    size_t end = path.find('/', start);
    std::string part = path.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (part.empty() || part == "." || part == "..")
      return false;
    if (end == std::string::npos)
      return true;
    start = end + 1;
  }
}

}  // namespace

bool fuzz_put_page(const std::string& page) {
  if (!is_plain_path(page))
    return false;
  std::filesystem::path file = fuzz_folder() + page + ".dds";
  std::error_code ec;
  std::filesystem::create_directories(file.parent_path(), ec);
  // The header of an uncompressed 4 x 4 L8 texture, then its 16 texels.
  const uint32_t header[32] = {0x20534444, 124, 0x1 | 0x2 | 0x4 | 0x8 | 0x1000, 4, 4, 4, 0, 1, 0, 0, 0, 0, 0, 0,
                               0, 0, 0, 0, 0, 32, 0x20000, 0, 8, 0xFF, 0, 0, 0, 0x1000, 0, 0, 0, 0};
  const uint8_t texels[16] = {};
  FILE* f = ec ? nullptr : fopen(file.c_str(), "wb");
  bool ok = f && fwrite(header, sizeof(header), 1, f) == 1 && fwrite(texels, sizeof(texels), 1, f) == 1;
  if (f && fclose(f) != 0)
    ok = false;
  if (!ok) {
    std::filesystem::remove(file, ec);
    return false;
  }
  fuzz_init_device();
  return true;
}

void fuzz_check_failed(const char* file, int line, const char* condition) {
  fprintf(stderr, "%s(%d): fuzz check failed: %s\n", file, line, condition);
  abort();
}
