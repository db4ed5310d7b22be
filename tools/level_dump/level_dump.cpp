// level_dump --seed S --level N --out FILE.png [--data DIR] [--no-flags] [--no-calls]
//            [--crop X0 X1] [--no-tint]
//
// Generates level N (1 to 10) from generator state S (1 to 2^64-1) with the game's tiles and templates (the
// game-object module's level calls are recorded; mark_level_tiles marks the solid
// tiles as the game's module does) and writes the cell map as a PNG, one pixel per
// cell, top row first, in palette colours: the foreground where there is one, else the
// background darkened; lift cells are tinted blue, other solid classes red. Prints
// "hash XXXXXXXXXXXXXXXX" of the map, then the slot flags and the module calls (left
// out with --no-flags, --no-calls). --crop writes only the cell columns X0..X1-1
// (0 <= X0 < X1 <= the map's width). A bad argument is named on standard error and the
// exit code is 2.
#include <physfs.h>
#include <sys/stat.h>

#include <cstdint>
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
#include "tools/common/arg_checks.h"

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

namespace {

constexpr const char* TOOL = "level_dump";
constexpr uint64_t GAME_LEVELS = 10;  // the levels a game plays, 1 to 10

int usage() {
  fprintf(stderr, "usage: level_dump --seed S --level N --out FILE.png [--data DIR] [--no-flags] [--no-calls] [--crop X0 X1] [--no-tint]\n");
  return BAD_ARGUMENT;
}

int refuse(const char* name, const char* what) {
  fprintf(stderr, "%s: %s: %s\n", TOOL, name, what);
  return usage();
}

// The output: a file in an existing folder; a file already there is replaced, anything
// else of that name is refused.
bool output_arg(const char* path) {
  std::string p = path;
  size_t slash = p.rfind('/');
  std::string dir = slash == std::string::npos ? "." : p.substr(0, slash + 1);
  struct stat st;
  if (stat(path, &st) == 0)
    return regular_file_arg(TOOL, "--out", path);
  return folder_arg(TOOL, "--out", dir.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  uint64_t seed = 0, level = 0, x0 = 0, x1 = LEVEL_WIDTH;
  const char* out = nullptr;
  std::string data = LEVEL_DUMP_DATA_DIR;
  bool flags = true, calls = true, tint = true;
  for (int i = 1; i < argc; i++) {
    const char* a = argv[i];
    // The options that take values take the next one or two words whole.
    int values = !strcmp(a, "--crop") ? 2
                 : (!strcmp(a, "--seed") || !strcmp(a, "--level") || !strcmp(a, "--out") || !strcmp(a, "--data")) ? 1
                                                                                                                   : 0;
    if (i + values >= argc)
      return refuse(a, values == 2 ? "needs two values" : "needs a value");
    const char* v = values ? argv[i + 1] : nullptr;
    bool ok = true;
    if (!strcmp(a, "--seed"))
      ok = whole_number_arg(TOOL, a, v, 1, UINT64_MAX, seed);
    else if (!strcmp(a, "--level"))
      ok = whole_number_arg(TOOL, a, v, 1, GAME_LEVELS, level);
    else if (!strcmp(a, "--out"))
      ok = output_arg(out = v);
    else if (!strcmp(a, "--data"))
      ok = folder_arg(TOOL, a, (data = v).c_str());
    else if (!strcmp(a, "--crop"))
      ok = whole_number_arg(TOOL, "--crop X0", v, 0, LEVEL_WIDTH - 1, x0) &&
           whole_number_arg(TOOL, "--crop X1", argv[i + 2], x0 + 1, LEVEL_WIDTH, x1);
    else if (!strcmp(a, "--no-flags"))
      flags = false;
    else if (!strcmp(a, "--no-calls"))
      calls = false;
    else if (!strcmp(a, "--no-tint"))
      tint = false;
    else
      return refuse(a, "unknown argument");
    if (!ok)
      return usage();
    i += values;
  }
  if (!seed)
    return refuse("--seed", "missing");
  if (!level)
    return refuse("--level", "missing");
  if (!out)
    return refuse("--out", "missing");

  if (!mount_game_data(argv[0], data.c_str())) {
    fprintf(stderr, "level_dump: cannot mount %s\n", data.c_str());
    return 1;
  }
  install_stand_in_module(STAND_IN_LEVEL);
  load_level_tiles();
  cur_level = int(level);
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
  int w = int(x1 - x0);
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
