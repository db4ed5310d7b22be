// level_dump --seed S --level N --out FILE.png [--data DIR] [--no-flags] [--no-calls]
//            [--crop X0 X1] [--no-tint]
//
// Generates level N from generator state S with the game's tiles and templates (the
// game-object module's level calls are recorded; mark_level_tiles marks the solid
// tiles as the game's module does) and writes the cell map as a PNG, one pixel per
// cell, top row first, in palette colours: the foreground where there is one, else the
// background darkened; lift cells are tinted blue, other solid classes red. Prints
// "hash XXXXXXXXXXXXXXXX" of the map, then the slot flags and the module calls (left
// out with --no-flags, --no-calls). --crop writes only the cell columns X0..X1-1.
#include <physfs.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/gen/gen_runtime.h"
#include "engine/gen/level_compose.h"
#include "engine/render/image.h"
#include "engine/shared/level_map.h"
#include "engine/shared/palette.h"
#include "engine/shell/modes/game_flow.h"  // cur_level
#include "tests/support/stand_in_module.h"
#include "tests/support/vfs_mounts.h"

static uint32_t cell_colour(const LevelCell& c, bool tint) {
  uint32_t rgb;
  if (c.foreground)
    rgb = main_palette[c.foreground];
  else if (c.background)
    rgb = (main_palette[c.background] >> 1) & 0x7F7F7F;
  else
    rgb = 0x101018;
  if (tint && c.collision == 3)
    rgb = (rgb & 0xFEFEFE) / 2 + 0x000080;
  else if (tint && c.collision && c.collision != 1)
    rgb = (rgb & 0xFEFEFE) / 2 + 0x800000;
  return rgb;
}

static int usage() {
  fprintf(stderr, "usage: level_dump --seed S --level N --out FILE.png [--data DIR] [--no-flags] [--no-calls] [--crop X0 X1] [--no-tint]\n");
  return 2;
}

int main(int argc, char** argv) {
  uint64_t seed = 12345;
  int level = 1;
  const char* out = nullptr;
  std::string data = LEVEL_DUMP_DATA_DIR;
  bool flags = true, calls = true, tint = true;
  int x0 = 0, x1 = LEVEL_WIDTH;
  for (int i = 1; i < argc; i++) {
    auto next = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    const char* a = argv[i];
    const char* v = nullptr;
    if (!strcmp(a, "--seed") && (v = next()))
      seed = strtoull(v, nullptr, 0);
    else if (!strcmp(a, "--level") && (v = next()))
      level = atoi(v);
    else if (!strcmp(a, "--out") && (v = next()))
      out = v;
    else if (!strcmp(a, "--data") && (v = next()))
      data = v;
    else if (!strcmp(a, "--no-flags"))
      flags = false;
    else if (!strcmp(a, "--no-calls"))
      calls = false;
    else if (!strcmp(a, "--crop") && i + 2 < argc) {
      x0 = atoi(argv[++i]);
      x1 = atoi(argv[++i]);
    } else if (!strcmp(a, "--no-tint"))
      tint = false;
    else
      return usage();
  }
  if (!out || seed == 0 || x0 < 0 || x1 > LEVEL_WIDTH || x0 >= x1)
    return usage();

  if (!mount_game_data(argv[0], data.c_str())) {
    fprintf(stderr, "level_dump: cannot mount %s\n", data.c_str());
    return 1;
  }
  install_stand_in_module(STAND_IN_LEVEL);
  load_level_tiles();
  cur_level = level;
  game_rnd_seed = seed;
  generate_level();

  // The PNG goes through the virtual file system's write folder: the output's folder.
  std::string path = out;
  size_t slash = path.rfind('/');
  std::string dir = slash == std::string::npos ? "." : path.substr(0, slash);
  std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
  if (!PHYSFS_setWriteDir(dir.c_str())) {
    fprintf(stderr, "level_dump: cannot write to %s\n", dir.c_str());
    return 1;
  }
  int w = x1 - x0;
  std::vector<uint8_t> rgb(size_t(w) * LEVEL_HEIGHT * 3);
  for (int y = 0; y < LEVEL_HEIGHT; y++)
    for (int x = 0; x < w; x++) {
      uint32_t c = cell_colour(level_data[LEVEL_HEIGHT - 1 - y][x0 + x], tint);
      uint8_t* p = &rgb[(size_t(y) * w + x) * 3];
      p[0] = uint8_t(c >> 16);
      p[1] = uint8_t(c >> 8);
      p[2] = uint8_t(c);
    }
  if (!save_png(file.c_str(), w, LEVEL_HEIGHT, 3, rgb.data(), w * 3)) {
    fprintf(stderr, "level_dump: cannot write %s\n", out);
    return 1;
  }

  printf("hash %016llx\n", (unsigned long long)level_map_hash());
  if (flags) {
    printf("slot flags (top row first, hexadecimal, . for none):\n");
    for (int sy = SLOTS_Y - 1; sy >= 0; sy--) {
      printf("%2d ", sy);
      for (int sx = 0; sx < SLOTS_X; sx++) {
        uint16_t f = level_tile_map[sy][sx];
        if (f)
          printf("%3x", f);
        else
          printf("  .");
      }
      printf("\n");
    }
  }
  if (calls)
    for (const ModuleCall& c : module_calls)
      printf("%s\n", describe_call(c).c_str());
  free_level_tiles();
  PHYSFS_deinit();
  return 0;
}
