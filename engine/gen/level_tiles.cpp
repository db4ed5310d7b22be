#include "engine/gen/level_tiles.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "engine/core/config.h"
#include "engine/core/error_message.h"
#include "engine/core/fatal.h"
#include "engine/core/log.h"
#include "engine/core/mem.h"
#include "engine/core/stream.h"
#include "engine/core/vfs.h"
#include "engine/core/watch.h"
#include "engine/render/image.h"
#include "engine/shared/gameobj_funcs.h"
#include "engine/shared/palette.h"

DynArray<LevelGenTile*> level_tiles;

// How a load meets a broken tile: at start-up the game cannot run without its tiles and
// the error is fatal; a reload records the first error and stops, and the tiles loaded
// before stay in use.
struct TileLoad {
  bool reload = false;
  TempString<512> error;
  bool failed() const { return error.str[0] != 0; }
};

// Reports a broken tile; false, so that callers can return it.
__attribute__((format(printf, 2, 3))) static bool tile_error(TileLoad& load, const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  char text[512];
  vsnprintf(text, sizeof(text), fmt, args);
  va_end(args);
  if (!load.reload)
    fatal("%s", text);
  if (!load.failed())
    load.error.assign(text);
  return false;
}

// Tile paths and names live in buffers of this size; longer ones are refused.
constexpr int TILE_PATH_SIZE = 256;
constexpr int TILE_NAME_SIZE = 260;

static char* copy_text(const char* s) {
  size_t n = strlen(s) + 1;
  char* p = (char*)dlmalloc(n);
  memcpy(p, s, n);
  return p;
}

static void destroy_tile(LevelGenTile* t) {
  delete t->config;
  dlfree(t->background);
  dlfree(t->foreground);
  dlfree(t->collision);
  dlfree(t->name);
  dlfree(t);
}

LevelGenTile* find_level_tile(const char* name) {
  for (LevelGenTile* t : level_tiles)
    if (!strcmp(t->name, name))
      return t;
  return nullptr;
}

LevelGenTile* load_level_tile(const char* name) {
  LevelGenTile* t = find_level_tile(name);
  if (!t)
    fatal("can't find level tile '%s'", name);
  return t;
}

static LevelGenTile* find_or_add_tile(const char* name) {
  if (LevelGenTile* t = find_level_tile(name))
    return t;
  LevelGenTile* t = (LevelGenTile*)dlmalloc(sizeof(LevelGenTile));
  *t = LevelGenTile{};
  t->name = copy_text(name);
  level_tiles.push(&t);
  return t;
}

// Formats into a fixed buffer; a text that does not fit is a broken tile that names the
// file, so no tile is ever loaded under a cut name.
static bool format_path(TileLoad& load, char* buf, int size, const char* what, const char* a, const char* b,
                        const char* c) {
  int n = snprintf(buf, size_t(size), "%s%s%s", a, b, c);
  if (n < 0 || n >= size)
    return tile_error(load, "tile %s too long: %s%s%s", what, a, b, c);
  return true;
}

// A tile's name: the folder prefix, then the first `stem_len` characters of the file
// name (the name without its layer suffix and extension).
static bool format_tile_name(TileLoad& load, char* name, size_t size, const char* prefix, const char* entry,
                             size_t stem_len) {
  if (!format_path(load, name, int(size), "name", prefix, "", ""))
    return false;
  size_t plen = strlen(name);
  if (plen + stem_len >= size)
    return tile_error(load, "tile name too long: %s%s", prefix, entry);
  memcpy(name + plen, entry, stem_len);
  name[plen + stem_len] = 0;
  return true;
}

static bool ends_with_nocase(const char* s, size_t len, const char* suffix) {
  size_t n = strlen(suffix);
  return len >= n && !strcasecmp(s + len - n, suffix);
}

// The collision class of a collision-image pixel.
static uint8_t collision_class(uint32_t pixel) {
  if ((pixel >> 24) < 128)
    return 0;
  bool r = ((pixel >> 16) & 0xFF) >= 128, g = ((pixel >> 8) & 0xFF) >= 128, b = (pixel & 0xFF) >= 128;
  if (!r && !g && !b) return 0;
  if (r && g && b) return 2;
  if (r && !g && !b) return 7;
  if (g && !r && !b) return 6;
  return 3;  // blue, cyan, magenta, yellow
}

static bool load_layer_image(TileLoad& load, const char* path, const char* entry, const char* name, char layer) {
  int wd = 0, ht = 0;
  DynArray<uint32_t> pixels;
  if (!load_png(path, &wd, &ht, pixels))
    return tile_error(load, "Error loading tile image %s", entry);
  ASSERT(pixels.size()==wd*ht);
  LevelGenTile* t = find_or_add_tile(name);
  if (t->width == 0 && t->height == 0) {
    t->width = wd;
    t->height = ht;
  }
  if (t->width != wd || t->height != ht)
    return tile_error(load, "Expected %dx%d tile image %s, got %dx%d", t->width, t->height, entry, wd, ht);
  uint8_t** dst;
  const char* duplicate;
  if (layer == 'b') {
    dst = &t->background;
    duplicate = "Duplicate background tile image %s";
  } else if (layer == 'f') {
    dst = &t->foreground;
    duplicate = "Duplicate foreground tile image %s";
  } else {
    dst = &t->collision;
    duplicate = "Duplicate tile collision map %s";
  }
  if (*dst)
    return tile_error(load, duplicate, entry);
  *dst = (uint8_t*)dlmalloc(size_t(wd) * size_t(ht) + 1);
  for (int i = 0; i < wd * ht; i++)
    (*dst)[i] = layer == 'c' ? collision_class(pixels[i]) : PACK_COLOR(pixels[i]);
  pixels.clearAndFree();
  return true;
}

static bool load_tile_config(TileLoad& load, const char* path, const char* entry, const char* name) {
  LevelGenTile* t = find_or_add_tile(name);
  if (t->config)
    return tile_error(load, "Duplicate tile config %s", entry);
  t->config = ConfigNode::fromFile(path);
  if (!t->config)
    return tile_error(load, "Error loading tile config %s", entry);
  return true;
}

// One entry of a tile folder: a sub-folder walked in turn, a layer image or a description.
static bool scan_tile_entry(TileLoad& load, const char* prefix, const char* entry);

static bool scan_tiles(TileLoad& load, const char* prefix) {
  char dir[TILE_PATH_SIZE];
  if (!format_path(load, dir, sizeof(dir), "path", "tiles/", prefix, ""))
    return false;
  PhysFSFileList list;
  for (const char* entry = list.start(dir); entry; entry = list.next())
    if (!scan_tile_entry(load, prefix, entry))
      return false;
  return true;
}

static bool scan_tile_entry(TileLoad& load, const char* prefix, const char* entry) {
  char path[TILE_PATH_SIZE], name[TILE_NAME_SIZE];
  if (!format_path(load, path, sizeof(path), "path", "tiles/", prefix, entry))
    return false;
  if (vfs_is_directory(path)) {
    if (entry[0] == '.')
      return true;
    char sub[TILE_PATH_SIZE];
    return format_path(load, sub, sizeof(sub), "path", prefix, entry, "/") && scan_tiles(load, sub);
  }
  size_t len = strlen(entry);
  if (len > 6 && ends_with_nocase(entry, len, ".png") && entry[len - 6] == '_') {
    char layer = char(entry[len - 5] | 0x20);
    if (layer != 'b' && layer != 'f' && layer != 'c')
      return true;
    return format_tile_name(load, name, sizeof(name), prefix, entry, len - 6) &&
           load_layer_image(load, path, entry, name, layer);
  }
  if (len > 4 && ends_with_nocase(entry, len, ".cfg"))
    return format_tile_name(load, name, sizeof(name), prefix, entry, len - 4) &&
           load_tile_config(load, path, entry, name);
  return true;
}

void scan_tile_dir(const char* prefix) {
  TileLoad load;
  scan_tiles(load, prefix);
}

// Foreground index of a collision class, at the edge of its region or inside it.
static uint8_t foreground_of_class(uint8_t k, bool interior) {
  switch (k) {
    case 2: return interior ? 20 : 21;
    case 3: return interior ? 5 : 6;
    case 6: return interior ? 18 : 17;
    case 7: return interior ? 9 : 8;
    default: return 26;
  }
}

static bool complete_tile(TileLoad& load, LevelGenTile* t) {
  if (!t->config)
    t->config = new ConfigNode();
  t->dx = t->config->getInt("dx", t->dx);
  t->dy = t->config->getInt("dy", t->dy);
  int w = t->width, h = t->height;
  size_t n = size_t(w) * size_t(h);
  if (!t->foreground && t->collision) {
    t->foreground = (uint8_t*)dlmalloc(n + 1);
    for (int r = 0; r < h; r++)
      for (int c = 0; c < w; c++) {
        const uint8_t* col = t->collision;
        uint8_t k = col[r * w + c];
        bool interior = k && r > 0 && r < h - 1 && c > 0 && c < w - 1 &&
                        col[r * w + c - 1] == k && col[r * w + c + 1] == k &&
                        col[(r + 1) * w + c] == k && col[(r - 1) * w + c] == k;
        t->foreground[r * w + c] = k ? foreground_of_class(k, interior) : 0;
      }
  } else if (!t->collision && t->foreground) {
    uint8_t k = uint8_t(t->config->getInt("collType", 1));
    t->collision = (uint8_t*)dlmalloc(n + 1);
    for (size_t i = 0; i < n; i++)
      t->collision[i] = t->foreground[i] ? k : 0;
  }
  if (!t->background && t->foreground) {
    t->background = (uint8_t*)dlmalloc(n + 1);
    for (size_t i = 0; i < n; i++) {
      uint32_t c = main_palette[t->foreground[i]];
      t->background[i] = PACK_COLOR((c & 0xFF000000u) | ((c >> 1) & 0x007F7F7Fu));
    }
  }
  if (const char* twin = t->config->getStr("flipped", nullptr)) {
    t->flipped = find_level_tile(twin);
    if (!t->flipped)
      return tile_error(load, "can't find flipped level tile '%s' (for %s)", twin, t->name);
  }
  return true;
}

static bool complete_tiles(TileLoad& load) {
  for (LevelGenTile* t : level_tiles)
    if (!complete_tile(load, t))
      return false;
  return true;
}

void complete_level_tiles() {
  TileLoad load;
  complete_tiles(load);
}

static bool bind_sets(TileLoad& load);

static bool load_tiles(TileLoad& load) {
  if (!scan_tiles(load, ""))
    return false;
  debug("loaded %d tiles", level_tiles.size());
  return complete_tiles(load) && bind_sets(load);
}

void load_level_tiles() {
  TileLoad load;
  load_tiles(load);
}

static void free_tiles(DynArray<LevelGenTile*>& tiles) {
  for (LevelGenTile* t : tiles)
    destroy_tile(t);
  tiles.clearAndFree();
}

void free_level_tiles() {
  free_tiles(level_tiles);
  for (TileSet& s : tile_sets)
    s.count = 0;
}

// The new tiles are read beside the ones in use, which go only once the new set is
// whole; a broken tile is shown and logged and the tiles in use stay.
void reload_tiles() {
  if (!was_physfs_dir_changed("tiles/"))
    return;
  // The whole set is read again: its error goes with a set that loads, and a failure
  // shows its own.
  DynArray<LevelGenTile*> in_use = static_cast<DynArray<LevelGenTile*>&&>(level_tiles);
  TileLoad load;
  load.reload = true;
  if (!load_tiles(load)) {
    free_tiles(level_tiles);
    level_tiles = static_cast<DynArray<LevelGenTile*>&&>(in_use);
    bind_tile_sets();
    debug("%s", load.error.c_str());
    set_source_error("tiles", load.error.c_str());
    return;
  }
  set_source_error("tiles", nullptr);
  free_tiles(in_use);
  gameobj_func_table.reload_boss_parts();
}

LevelGrid::LevelGrid(LevelGenTile& tile) {
  width = tile.width;
  height = tile.height;
  dx = tile.dx;
  dy = tile.dy;
  config = tile.config ? new ConfigNode(*tile.config) : new ConfigNode();
  int n = width * height;
  cells = (LevelCell*)dlmalloc(sizeof(LevelCell) * size_t(n) + 1);
  for (int i = 0; i < n; i++)
    cells[i] = LevelCell{tile.background ? tile.background[i] : uint8_t(0),
                         tile.foreground ? tile.foreground[i] : uint8_t(0),
                         tile.collision ? tile.collision[i] : uint8_t(0)};
}

LevelGrid::~LevelGrid() {
  dlfree(cells);
  delete config;
}

LevelGrid* grid_from_tile(const char* name) {
  LevelGenTile* t = find_level_tile(name);
  if (!t)
    fatal("can't find level tile '%s'", name);
  void* block = dlmalloc(sizeof(LevelGrid));
  return new (block) LevelGrid(*t);
}

// ---- tile sets -------------------------------------------------------------------

const char* const tile_set_names[NUM_TILE_SETS] = {
  "wall", "mach", "liftD", "back73", "z2wall", "hfloor", "liftU", "z2floor", "floor",
  "windowTLRB", "windowTLR", "windowTLB", "windowTL", "windowTRB", "windowTR", "windowTB",
  "windowT", "windowLRB", "windowLR", "windowLB", "windowL", "windowRB", "windowR", "windowB",
  "pipeH", "pipeV",
  "pipeTLRB", "pipeTLR", "pipeTLB", "pipeTL", "pipeTRB", "pipeTR", "pipeLRB", "pipeLB", "pipeRB",
  "back7", "plat", "z2stairR", "z2stairL", "wellbg", "exit", "stairR", "stairL",
};

const char* const bound_tile_names[] = {
  "wall0", "wall1", "wall2", "wall3",
  "mach1", "mach2", "mach3", "mach4", "mach5", "mach6", "mach7",
  "back0", "back1", "back2", "back3", "back4", "back5", "back6", "backS1", "backS2", "backS3",
  "z2wall0", "z2wall1", "z2wall2", "z2wall3", "liftD", "hfloor0", "hfloor1", "hfloor2", "liftU",
  "z2floor0", "z2floor1", "z2floor2", "z2floor3", "floor0", "floor1", "floor2", "floor3",
  "windowTLRB", "windowTLR", "windowTLB", "windowTL", "windowTRB", "windowTR", "windowTB",
  "windowT", "windowLRB", "windowLR", "windowLB", "windowL", "windowRB", "windowR", "windowB",
  "pipeH0", "pipeH1", "pipeV0", "pipeV1",
  "pipeTLRB", "pipeTLR", "pipeTLB", "pipeTL", "pipeTRB", "pipeTR", "pipeLRB", "pipeLB", "pipeRB",
  "plat0", "plat1", "plat2", "plat3", "plat4", "z2stairR", "z2stairL",
  "wellbg0", "wellbg1", "wellbg2", "wellbg3", "wellbg4", "wellbg5", "wellbg6",
  "exit", "stairR", "stairL",
};
const int num_bound_tile_names = int(sizeof(bound_tile_names) / sizeof(bound_tile_names[0]));

TileSet tile_sets[NUM_TILE_SETS];
static LevelGenTile* set_storage[256];

int find_tile_set(const char* name) {
  for (int i = 0; i < NUM_TILE_SETS; i++)
    if (!strcmp(tile_set_names[i], name))
      return i;
  return -1;
}

static LevelGenTile* looked_up[sizeof(bound_tile_names) / sizeof(bound_tile_names[0])];

static LevelGenTile* bound(const char* name) {
  for (int i = 0; i < num_bound_tile_names; i++)
    if (!strcmp(bound_tile_names[i], name))
      return looked_up[i];
  fatal("tile %s is not a bound set member", name);
}

void bind_tile_sets() {
  TileLoad load;
  bind_sets(load);
}

static bool bind_sets(TileLoad& load) {
  // Every name is looked up once, in the fixed order; a missing tile is a broken set.
  for (int i = 0; i < num_bound_tile_names; i++) {
    looked_up[i] = find_level_tile(bound_tile_names[i]);
    if (!looked_up[i])
      return tile_error(load, "can't find level tile '%s'", bound_tile_names[i]);
  }

  int used = 0;
  auto add = [&](int set, const char* name, int repeat) {
    for (int r = 0; r < repeat; r++) {
      ASSERT(used < 256);
      set_storage[used++] = bound(name);
    }
    tile_sets[set].count += repeat;
  };
  auto add_range = [&](int set, const char* prefix, int first, int last, int repeat) {
    char name[32];
    for (int i = first; i <= last; i++) {
      snprintf(name, sizeof(name), "%s%d", prefix, i);
      add(set, name, repeat);
    }
  };
  for (int s = 0; s < NUM_TILE_SETS; s++) {
    tile_sets[s].tiles = &set_storage[used];
    tile_sets[s].count = 0;
    switch (s) {
      case TS_WALL: add_range(s, "wall", 0, 3, 1); break;
      case TS_MACH: add_range(s, "mach", 1, 7, 1); break;
      case TS_BACK73:
        add_range(s, "back", 0, 6, 10);
        add_range(s, "backS", 1, 3, 1);
        break;
      case TS_Z2WALL: add_range(s, "z2wall", 0, 3, 1); break;
      case TS_HFLOOR: add_range(s, "hfloor", 0, 2, 1); break;
      case TS_Z2FLOOR: add_range(s, "z2floor", 0, 3, 1); break;
      case TS_FLOOR: add_range(s, "floor", 0, 3, 1); break;
      case TS_PIPE_H: add_range(s, "pipeH", 0, 1, 1); break;
      case TS_PIPE_V: add_range(s, "pipeV", 0, 1, 1); break;
      case TS_BACK7: add_range(s, "back", 0, 6, 1); break;
      case TS_PLAT: add_range(s, "plat", 0, 4, 1); break;
      case TS_WELLBG: add_range(s, "wellbg", 0, 6, 1); break;
      default: add(s, tile_set_names[s], 1); break;  // one tile named like its set
    }
  }
  return true;
}
