#include "engine/gen/gen_runtime.h"

#include <cstring>

#include "engine/core/fatal.h"
#include "engine/core/log.h"
#include "engine/gen/gen_hooks.h"
#include "engine/gen/room_templates.h"
#include "engine/shared/gameobj_funcs.h"

uint8_t level_cells[GRID_ROWS * GRID_COLS];
DynArray<LevelGenPlacement> level_placements;

// The exit is remembered by tile name, not by pointer, so a tile reload between the
// choice and the stamping cannot leave it dangling.
static char exit_tile_name[260];
static int exit_slot_x, exit_slot_y;

static LevelInvalidateFunc level_invalidate_hook = nullptr;

static int attr_histogram[8];
static int class_histogram[ROOM_CLASS_COUNT];

const char* cell_attr_text(int attr, char buf[4]) {
  int n = 0;
  if (attr & CELL_H) buf[n++] = 'H';
  if (attr & CELL_U) buf[n++] = 'U';
  if (attr & CELL_D) buf[n++] = 'D';
  buf[n] = 0;
  return buf;
}

const LevelGenTemplate* pick_random(const LevelGenTemplate* const* list, int n) {
  if (!list || n < 1)
    return nullptr;
  if (n == 1)
    return list[0];
  return list[gen_draw() % uint32_t(n)];
}

LevelGenTile* pick_random_tile(LevelGenTile* const* tiles, int n) {
  if (!tiles || n < 1)
    return nullptr;
  if (n == 1)
    return tiles[0];
  return tiles[gen_draw() % uint32_t(n)];
}

void stamp_level_tile(const LevelGenTile* tile, int x, int y) {
  if (!tile)
    return;
  int ox = x + tile->dx, oy = y + tile->dy;
  int c0 = ox < 0 ? -ox : 0, r0 = oy < 0 ? -oy : 0;
  int c1 = tile->width, r1 = tile->height;
  if (ox + c1 > LEVEL_WIDTH) c1 = LEVEL_WIDTH - ox;
  if (oy + r1 > LEVEL_HEIGHT) r1 = LEVEL_HEIGHT - oy;
  if (c0 >= c1 || r0 >= r1)
    return;
  // The layers are independent: each non-zero byte replaces the map's byte of its layer.
  // One pass over the cells with all three layers keeps the writes together.
  static const uint8_t none[1] = {0};
  const uint8_t* bg = tile->background ? tile->background : none;
  const uint8_t* fg = tile->foreground ? tile->foreground : none;
  const uint8_t* co = tile->collision ? tile->collision : none;
  int bstep = tile->background ? 1 : 0, fstep = tile->foreground ? 1 : 0, cstep = tile->collision ? 1 : 0;
  for (int r = r0; r < r1; r++) {
    const uint8_t* b = bg + bstep * (r * tile->width + c0);
    const uint8_t* f = fg + fstep * (r * tile->width + c0);
    const uint8_t* k = co + cstep * (r * tile->width + c0);
    LevelCell* dst = &level_data[oy + r][ox + c0];
    for (int c = 0; c < c1 - c0; c++, b += bstep, f += fstep, k += cstep) {
      LevelCell& d = dst[c];
      d.background = *b ? *b : d.background;
      d.foreground = *f ? *f : d.foreground;
      d.collision = *k ? *k : d.collision;
    }
  }
}

void place_random_tiles(const TileSet& set, const ILevelGenCoords& coords) {
  int n = coords.numCoords();
  bool flipped = coords.isFlipped();
  for (int i = 0; i < n; i++) {
    LevelCoord c = coords.coord(i);
    LevelGenTile* tile = pick_random_tile(set.tiles, set.count);
    if (flipped && tile && tile->flipped)
      tile = tile->flipped;
    stamp_level_tile(tile, c.x * TILE_SLOT, c.y * TILE_SLOT);
  }
}

static void count_class(const LevelGenTemplate* t) {
  for (const int32_t* id = t->classIds; id && *id >= 0; id++)
    if (*id < ROOM_CLASS_COUNT)
      class_histogram[*id]++;
}

static void record_and_run(const LevelGenTemplate* t, int x, int y, bool mirrored) {
  LevelGenPlacement p = {t, x, y, mirrored ? 1 : 0};
  level_placements.push(&p);
  count_class(t);
  if (t->function)
    t->function(x, y, mirrored);
}

const LevelGenTemplate* place_template(const LevelGenTemplate* t, int x, int y) {
  if (!t)
    return nullptr;
  if (x < 0) x = (GRID_COLS - t->cellsWide) * CELL_SLOTS_X;
  if (y < 0) y = (GRID_ROWS - t->cellsHigh) * CELL_SLOTS_Y;
  bool mirrored = false;
  if (t->cellsWide == 1 && !t->noMirror)
    mirrored = (gen_draw() >> 15) & 1;
  if (t->pattern && t->cellsWide > 0 && t->cellsHigh > 0) {
    int c0 = x / CELL_SLOTS_X, r0 = y / CELL_SLOTS_Y;
    for (int pr = 0; pr < t->cellsHigh; pr++) {
      int r = r0 + t->cellsHigh - 1 - pr;
      for (int pc = 0; pc < t->cellsWide; pc++) {
        int c = c0 + pc;
        if (c >= 0 && c < GRID_COLS && r >= 0 && r < GRID_ROWS)
          level_cells[r * GRID_COLS + c] = t->pattern[pr * t->cellsWide + pc];
      }
    }
  }
  record_and_run(t, x, y, mirrored);
  return t;
}

const LevelGenTemplate* place_template_at_random_coord(const LevelGenTemplate* t, const ILevelGenCoords& coords) {
  if (!t)
    return nullptr;
  LevelCoord c = random_coord(coords);
  if (coords.isFlipped())
    c.x = c.x + 1 - t->tilesWide;
  bool mirrored = false;
  if (!t->noMirror)
    mirrored = (gen_draw() >> 15) & 1;
  record_and_run(t, c.x, c.y, mirrored);
  return t;
}

// Whether an open cell of attribute k accepts pattern byte p: a required H (or H+D)
// cell may also connect up; every other attribute must match exactly.
static bool attr_accepts(int k, int p) {
  if (k == 1 || k == 5)
    return p == k || (p & 5) == k;
  return p == k;
}

static bool template_fits(const LevelGenTemplate* t, int c, int r) {
  if (!t->pattern || c + t->cellsWide > GRID_COLS || r + t->cellsHigh > GRID_ROWS)
    return false;
  for (int pr = 0; pr < t->cellsHigh; pr++)
    for (int pc = 0; pc < t->cellsWide; pc++) {
      uint8_t cell = level_cells[(r + t->cellsHigh - 1 - pr) * GRID_COLS + c + pc];
      if (!(cell & CELL_OPEN) || !attr_accepts(cell & 7, t->pattern[pr * t->cellsWide + pc]))
        return false;
    }
  return true;
}

void fill_cells_with_templates(const LevelGenTemplate* const* list, int n) {
  DynArray<uint32_t> open;
  DynArray<const LevelGenTemplate*> candidates;
  open.reserve(100);
  for (int r = 0; r < GRID_ROWS; r++)
    for (int c = 0; c < GRID_COLS; c++) {
      uint8_t cell = level_cells[r * GRID_COLS + c];
      if (cell & CELL_OPEN) {
        attr_histogram[cell & 7]++;
        uint32_t p = (uint32_t(r) << 16) | uint32_t(c);
        open.push(&p);
      }
    }
  while (open.size() > 0) {
    uint32_t anchor = open[int(gen_draw() % uint32_t(open.size()))];
    int c = int(anchor & 0xFFFF), r = int(anchor >> 16);
    candidates.clear();
    for (int i = 0; i < n; i++)
      if (template_fits(list[i], c, r))
        candidates.push(&list[i]);
    if (candidates.size() == 0) {
      char buf[4];
      fatal("no applicable level generator templates for attr <%s>",
            cell_attr_text(level_cells[r * GRID_COLS + c] & 7, buf));
    }
    const LevelGenTemplate* chosen = candidates.size() == 1
        ? candidates[0] : candidates[int(gen_draw() % uint32_t(candidates.size()))];
    place_template(chosen, c * CELL_SLOTS_X, r * CELL_SLOTS_Y);
    // One walk from the end: an entry inside the footprint gets the last entry.
    for (int i = open.size() - 1; i >= 0; i--) {
      int oc = int(open[i] & 0xFFFF), orow = int(open[i] >> 16);
      if (oc >= c && oc < c + chosen->cellsWide && orow >= r && orow < r + chosen->cellsHigh)
        open.removeUnordered(i, 1);
    }
  }
  open.clearAndFree();
  candidates.clearAndFree();
}

static uint8_t& grid(int c, int r) { return level_cells[r * GRID_COLS + c]; }

void finish_cell_grid() {
  int last = GRID_COLS - 1;
  for (; last >= 0; last--) {
    bool all_open = true;
    for (int r = 0; r < GRID_ROWS; r++)
      all_open = all_open && grid(last, r) == CELL_OPEN;
    if (!all_open)
      break;
    for (int r = 0; r < GRID_ROWS; r++)
      grid(last, r) = 0;
  }

  int carry = -1;
  for (int m = 1; m <= GRID_COLS - 2; m++) {
    int lo = 4, hi = -1;
    bool forced = false;
    if (carry != -1) {
      lo = carry < 4 ? carry : 4;
      hi = carry;
    }
    for (int r = 0; r < GRID_ROWS; r++) {
      if ((grid(m - 1, r) & 9) == 1) {
        lo = r < lo ? r : lo;
        hi = r > hi ? r : hi;
      }
      if ((grid(m + 1, r) & 9) == 1) {
        lo = r < lo ? r : lo;
        hi = r > hi ? r : hi;
        forced = true;
      }
    }
    if (lo == hi) {
      carry = lo;
      if (!forced && rnd_float(game_rnd_seed) < 0.33f) {
        int r2;
        do
          r2 = int(rnd_raw_step(game_rnd_seed) & 3);
        while (r2 == lo);
        lo = r2 < lo ? r2 : lo;
        hi = r2 > hi ? r2 : hi;
        carry = r2;
      }
    }
    if (lo < hi && carry == -1)
      carry = rnd_range(lo, hi);
    for (int r = lo; r <= hi; r++) {
      uint8_t& cell = grid(m, r);
      if (!(cell & CELL_OPEN))
        continue;
      if (r == lo)
        cell = r < hi ? 11 : 9;
      else
        cell = r < hi ? 15 : 13;
    }
    if (forced)
      carry = -1;
    else if (carry != -1 && !(grid(m, carry) & CELL_OPEN))
      carry = -1;
  }

  if (last >= 2)
    for (int m = 1; m <= last - 1; m++)
      for (int r = 0; r < GRID_ROWS; r++) {
        uint16_t bits = (grid(m, r) & 7) == 0 ? TILE_CLOSED_CELL : TILE_CONNECTED_CELL;
        for (int y = 8 * r; y < 8 * r + 8; y++)
          for (int x = 10 * m; x < 10 * m + 10; x++)
            level_tile_map[y][x] |= bits;
      }
}

void reset_exit() {
  exit_tile_name[0] = 0;
  exit_slot_x = exit_slot_y = 0;
}

void choose_exit(const TileSet& set, const ILevelGenCoords& coords) {
  LevelCoord c = random_coord(coords);
  exit_slot_x = c.x;
  exit_slot_y = c.y;
  LevelGenTile* tile = pick_random_tile(set.tiles, set.count);
  exit_tile_name[0] = 0;
  if (tile && tile->name) {
    size_t len = strlen(tile->name);
    ASSERT(len < sizeof(exit_tile_name));
    memcpy(exit_tile_name, tile->name, len + 1);
  }
}

void set_level_invalidate_hook(LevelInvalidateFunc invalidate) {
  level_invalidate_hook = invalidate;
}

__m128 put_exit_tile() {
  int x = exit_slot_x * TILE_SLOT, y = exit_slot_y * TILE_SLOT;
  LevelGenTile* tile = exit_tile_name[0] ? find_level_tile(exit_tile_name) : nullptr;
  if (tile) {
    stamp_level_tile(tile, x, y);
    // Refresh the rectangle the tile really covers, offsets included.
    int x0 = x + tile->dx, y0 = y + tile->dy;
    if (level_invalidate_hook)
      level_invalidate_hook(x0, y0, x0 + tile->width, y0 + tile->height);
  }
  return _mm_setr_ps(float(x), float(y), 0.0f, 1.0f);
}

void place_hero_start(const ILevelGenCoords& coords) {
  LevelCoord c = random_coord(coords);
  gameobj_func_table.reset_hero(float(c.x * TILE_SLOT + 8), float(c.y * TILE_SLOT));
}

void add_enemies_at_random_coords(int kind, int n, const ILevelGenCoords& coords) {
  int count = coords.numCoords();
  int k = n < count ? n : count;
  if (k <= 0)
    return;
  // Few enemies per call: a small fixed list of chosen indices is enough, with a heap
  // list only for the rare larger request.
  int fixed[16];
  DynArray<int> more;
  int* chosen = fixed;
  if (k > 16) {
    more.resize(k);
    chosen = more.data;
  }
  int num_chosen = 0;
  while (num_chosen < k) {
    int i = int(gen_draw() % uint32_t(count));
    bool seen = false;
    for (int j = 0; j < num_chosen && !seen; j++)
      seen = chosen[j] == i;
    if (seen)
      continue;
    chosen[num_chosen++] = i;
    LevelCoord c = coords.coord(i);
    gameobj_func_table.add_enemy(kind, float(c.x * TILE_SLOT + 8), float(c.y * TILE_SLOT));
  }
  more.clearAndFree();
}

void add_lifts_at(int direction, const ILevelGenCoords& coords) {
  int n = coords.numCoords();
  for (int i = 0; i < n; i++) {
    LevelCoord c = coords.coord(i);
    int y = c.y * TILE_SLOT + (direction > 0 ? TILE_SLOT : 0);
    gameobj_func_table.add_lift(c.x * TILE_SLOT, y, TILE_SLOT, direction);
  }
}

static int dist2(LevelCoord a, LevelCoord b) {
  int dx = b.x - a.x, dy = b.y - a.y;
  return dx * dx + dy * dy;
}

static void closest_pair(const DynArray<int>& chosen, const ILevelGenCoords& coords, int& best, int& pi, int& pj) {
  best = 0x7FFFFFFF;
  pi = pj = 0;
  int k = chosen.size();
  for (int i = 0; i < k; i++)
    for (int j = i + 1; j < k; j++) {
      int d = dist2(coords.coord(chosen[i]), coords.coord(chosen[j]));
      if (d < best) {
        best = d;
        pi = i;
        pj = j;
      }
    }
}

void pick_spread_coords(int n, const ILevelGenCoords& coords, LevelGenGlobalCoordList& out) {
  int count = coords.numCoords();
  int k = n < count ? n : count;
  if (k <= 0)
    return;
  DynArray<int> chosen;
  chosen.resize(k);
  for (int i = 0; i < k; i++)
    chosen[i] = rnd_range(0, count - 1);
  int best, pi, pj;
  closest_pair(chosen, coords, best, pi, pj);
  for (int attempt = 0; attempt < 10 * k; attempt++) {
    if (gen_draw() & 0x100000) {
      int t = pi;
      pi = pj;
      pj = t;
    }
    int victim = pi;
    int cand = rnd_range(0, coords.numCoords() - 1);
    LevelCoord cc = coords.coord(cand);
    bool reject = false;
    for (int i = 0; i < k && !reject; i++)
      reject = i != victim && dist2(coords.coord(chosen[i]), cc) < best;
    if (reject)
      continue;
    chosen[victim] = cand;
    closest_pair(chosen, coords, best, pi, pj);
  }
  for (int i = 0; i < k; i++)
    out.add(coords.coord(chosen[i]));
  chosen.clearAndFree();
}

void print_level_histograms() {
  int open_total = 0;
  for (int n : attr_histogram)
    open_total += n;
  debug("=== attr histogram:");
  for (int a = 0; a < 8; a++)
    debug("  %c%c%c: %5.1f %%", (a & 1) ? 'H' : ' ', (a & 2) ? 'U' : ' ', (a & 4) ? 'D' : ' ',
          open_total ? 100.0 * attr_histogram[a] / open_total : 0.0);
  int placed_total = 0;
  for (int n : class_histogram)
    placed_total += n;
  debug("=== class histogram:");
  for (int i = 0; i < ROOM_CLASS_COUNT; i++)
    debug("%20s: %5.1f %%", level_template_classes[i],
          placed_total ? 100.0 * class_histogram[i] / placed_total : 0.0);
}
