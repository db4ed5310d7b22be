#include "gen_test_util.h"

#include <physfs.h>
#include <png.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "engine/shared/level_map.h"
#include "tests/support/stand_in_module.h"

void write_test_png(const std::string& path, int w, int h, const std::vector<uint32_t>& px) {
  FILE* f = fopen(path.c_str(), "wb");
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_init_io(png, f);
  png_set_IHDR(png, info, w, h, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  std::vector<uint8_t> row(size_t(w) * 4);
  for (int y = 0; y < h; y++) {
    for (int x = 0; x < w; x++) {
      uint32_t p = px[size_t(y) * w + x];
      row[4 * x] = uint8_t(p >> 16);
      row[4 * x + 1] = uint8_t(p >> 8);
      row[4 * x + 2] = uint8_t(p);
      row[4 * x + 3] = uint8_t(p >> 24);
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  fclose(f);
}

void unmount_all() {
  if (PHYSFS_isInit())
    PHYSFS_deinit();
}

void mount_only(const std::string& dir) {
  unmount_all();
  PHYSFS_init("gen_test");
  PHYSFS_permitSymbolicLinks(1);
  PHYSFS_setWriteDir(dir.c_str());
  // Mounted with the separator at the end, as the game mounts its folders, so real
  // paths (folder + virtual path) come out whole.
  std::string root = dir.back() == '/' ? dir : dir + "/";
  PHYSFS_mount(root.c_str(), nullptr, 1);
}

std::string repo_data_dir() {
  const char* src = getenv("TORVANE_SOURCE_DIR");
  return src ? std::string(src) + "/data" : std::string(GEN_TEST_DATA_DIR);
}

void use_game_tiles() {
  install_stand_in_module(STAND_IN_LEVEL);
  static bool loaded = false;
  if (loaded && level_tiles.size() == 83 && find_level_tile("z2stairL"))
    return;
  free_level_tiles();
  mount_only(repo_data_dir());
  load_level_tiles();
  loaded = true;
}

int draws_between(uint64_t from, uint64_t to, int limit) {
  uint64_t s = from;
  for (int i = 0; i <= limit; i++) {
    if (s == to)
      return i;
    rnd_raw_step(s);
  }
  return -1;
}

TestTile::TestTile(const char* n, int w, int h, std::vector<uint8_t> bg, std::vector<uint8_t> fg,
                   std::vector<uint8_t> coll, int dx, int dy)
    : b(std::move(bg)), f(std::move(fg)), c(std::move(coll)), name(n) {
  tile.width = w;
  tile.height = h;
  tile.dx = dx;
  tile.dy = dy;
  tile.name = name.data();
  tile.background = b.empty() ? nullptr : b.data();
  tile.foreground = f.empty() ? nullptr : f.data();
  tile.collision = c.empty() ? nullptr : c.data();
}
