#include "engine/gen/level_compose.h"

#include <cstring>

#include "engine/core/log.h"
#include "engine/gen/room_templates.h"
#include "engine/shared/game_state.h"
#include "engine/shared/gameobj_funcs.h"

LevelGenTemplate level_root_template;
static const int32_t no_classes[1] = {-1};

static const LevelGenTemplate* pick_class(const char* cls) {
  TemplateList list = templates_of_class(find_template_class(cls));
  return pick_random(list.items, list.count);
}

static void place_ends(const char* left, const char* right, int w) {
  for (int r = 0; r < GRID_ROWS; r++)
    place_template(pick_class(left), 0, r * CELL_SLOTS_Y);
  for (int r = 0; r < GRID_ROWS; r++)
    place_template(pick_class(right), CELL_SLOTS_X * w, r * CELL_SLOTS_Y);
}

static void place_fixed_pieces(int z, bool boss, int w) {
  if (boss) {
    if (z == 0) {
      place_template(pick_class("start1"), 10, 0);
      place_template(pick_class("boss1"), (4 - 2) * 10, 0);
      place_ends("leftEnd1", "rightEnd1", w);
    } else if (z == 1) {
      place_template(pick_class("boss2"), 0, 0);
    }
    return;
  }
  if (z == 0) {
    place_template(pick_class("start1"), 10, 0);
    const LevelGenTemplate* exit = pick_class("exit1");
    place_template(exit, (w - exit->cellsWide) * 10, 0);
    place_ends("leftEnd1", "rightEnd1", w);
    return;
  }
  place_template(pick_class("start2"), 10, 0);
  static const int well_columns[3][2] = {{3, 5}, {6, 9}, {10, 12}};
  for (const auto& range : well_columns) {
    const LevelGenTemplate* well = pick_class("well2");
    int column = rnd_range(range[0], range[1]);
    place_template(well, column * 10, 0);
  }
  const LevelGenTemplate* exit = pick_class("exit2");
  place_template(exit, (w - exit->cellsWide) * 10, 0);
  if (z == 1)
    place_ends("leftEnd2", "rightEnd2", w);
}

static void place_floors(int z) {
  LevelGenGlobalCoordList& floors = level_coord_lists[COORDS_FLOOR];
  const TileSet& set = tile_sets[z == 1 ? TS_Z2FLOOR : TS_FLOOR];
  for (int i = 0; i < floors.numCoords(); i++) {
    LevelGenSingleCoord s(floors, i);
    if (is_collision_clear(s, 0, 17, 16, 1))
      place_random_tiles(set, s);
  }
}

// Window shapes in list order: bit 8 T, 4 L, 2 R, 1 B.
static const uint8_t window_shapes[15] = {15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1};

static void place_windows() {
  LevelGenGlobalCoordList& spots = level_coord_lists[COORDS_WINDOW];
  for (int i = 0; i < spots.numCoords(); i++) {
    LevelGenSingleCoord s(spots, i);
    if (!is_background_clear(s, 0, 0, 16, 16))
      continue;
    int shape = (!is_background_clear(s, 0, 16, 16, 1) ? 8 : 0) |
                (!is_background_clear(s, -1, 0, 1, 16) ? 4 : 0) |
                (!is_background_clear(s, 16, 0, 1, 16) ? 2 : 0) |
                (!is_background_clear(s, 0, -1, 16, 1) ? 1 : 0);
    for (int k = 0; k < 15; k++)
      if (window_shapes[k] == shape)
        level_coord_lists[COORDS_WINDOW_FIRST + k].add({s.x, s.y});
  }
  for (int k = 0; k < 15; k++) {
    LevelGenGlobalCoordList& list = level_coord_lists[COORDS_WINDOW_FIRST + k];
    for (int i = 0; i < list.numCoords(); i++)
      place_random_tiles(tile_sets[TS_WINDOW_TLRB + k], LevelGenSingleCoord(list, i));
  }
}

static int pipe_set(bool t, bool l, bool r, bool b) {
  int n = t + l + r + b;
  if (n == 0) return TS_PIPE_H;
  if (n == 1) return (l || r) ? TS_PIPE_H : TS_PIPE_V;
  if (t && l && r && b) return TS_PIPE_TLRB;
  if (t && l && r) return TS_PIPE_TLR;
  if (t && l && b) return TS_PIPE_TLB;
  if (t && l) return TS_PIPE_TL;
  if (t && r && b) return TS_PIPE_TRB;
  if (t && r) return TS_PIPE_TR;
  if (t && b) return TS_PIPE_V;
  if (l && r && b) return TS_PIPE_LRB;
  if (l && r) return TS_PIPE_H;
  if (l && b) return TS_PIPE_LB;
  return TS_PIPE_RB;  // r && b
}

static void place_pipes() {
  LevelGenGlobalCoordList& pipes = level_coord_lists[COORDS_PIPE];
  for (int i = 0; i < pipes.numCoords(); i++) {
    LevelGenSingleCoord s(pipes, i);
    bool t = coord_in_list(s, pipes, 0, 1), b = coord_in_list(s, pipes, 0, -1);
    bool l = coord_in_list(s, pipes, -1, 0), r = coord_in_list(s, pipes, 1, 0);
    if (t + b + l + r < 2) {
      t = t || !is_collision_clear(s, 0, 16, 16, 1);
      b = b || !is_collision_clear(s, 0, -1, 16, 1);
      l = l || !is_collision_clear(s, -1, 0, 1, 16);
      r = r || !is_collision_clear(s, 16, 0, 1, 16);
    }
    place_random_tiles(tile_sets[pipe_set(t, l, r, b)], s);
  }
}

static void place_lifts() {
  LevelGenGlobalCoordList& up = level_coord_lists[COORDS_LIFT_UP];
  for (int i = 0; i < up.numCoords(); i++)
    add_lifts_at(+1, LevelGenSingleCoord(up, i));
  LevelGenGlobalCoordList& down = level_coord_lists[COORDS_LIFT_DOWN];
  for (int i = 0; i < down.numCoords(); i++)
    add_lifts_at(-1, LevelGenSingleCoord(down, i));
}

struct BackgroundLayer {
  const char* name;
  float v[6];
};

static const BackgroundLayer backgrounds_zone1[] = {
  {"bg1/horizon", {0.1f, -200, -50, 250, 1, 0}},
  {"bg1/horizon_below", {0.1f, -200, -50, 250, 1, -1}},
  {"bg1/sky_tile", {0.1f, -200, 50, 250, 1, 1}},
  {"bg1/mountains", {0.12f, -250, -75, 250, 1, 0}},
  {"bg1/city1a", {0.2f, -300, -180, 250, 1, 0}},
  {"bg1/city1b", {0.22f, -300, -180, 250, 1, 0}},
  {"bg1/city2a", {0.3f, -400, -270, 250, 1, 0}},
  {"bg1/city2b", {0.33f, -400, -270, 250, 1, 0}},
};
static const BackgroundLayer backgrounds_zone2[] = {
  {"bg2/horizon", {0.1f, -200, -50, 250, 1, 0}},
  {"bg2/horizon_below", {0.1f, -200, -50, 250, 1, -1}},
  {"bg2/sky_tile", {0.1f, -200, 50, 250, 1, 1}},
  {"bg2/mountains", {0.12f, -250, -61, 250, 1, 0}},
  {"bg2/city1a", {0.2f, -300, -80, 250, 1, 0}},
  {"bg2/city1b", {0.22f, -300, -90, 250, 1, 0}},
  {"bg2/city2a", {0.3f, -400, -150, 250, 1, 0}},
  {"bg2/city2b", {0.35f, -400, -180, 250, 1, 0}},
  {"bg2/city3", {0.5f, -500, -320, 250, 1, 0}},
};

static void add_layer(const BackgroundLayer& b) {
  gameobj_func_table.add_background(b.name, b.v[0], b.v[1], b.v[2], b.v[3], b.v[4], b.v[5]);
}

static void add_backgrounds(int z, bool boss, int w) {
  if (z == 1) {
    for (const BackgroundLayer& b : backgrounds_zone2)
      add_layer(b);
  } else {
    int n = z == 0 ? 8 : 4;  // beyond zone 1 only the far layers
    for (int i = 0; i < n; i++)
      add_layer(backgrounds_zone1[i]);
  }
  for (int i = 1; i <= w; i++) {
    gameobj_func_table.add_background("bg1/pillar1v", 1, 160.0f * i, -32, 0, 0, -1);
    if (!boss)
      gameobj_func_table.add_background("bg1/pillar1v", 1, 160.0f * i, 528, 0, 0, 1);
  }
  if (z == 1) {
    for (int i = 0; i < 4; i++) gameobj_func_table.add_background_ship("bg2/ship3", 0.2f);
    for (int i = 0; i < 3; i++) gameobj_func_table.add_background_ship("bg2/ship1", 0.1f);
    for (int i = 0; i < 2; i++) gameobj_func_table.add_background_ship("bg2/ship2", 0.05f);
  }
}

// Picks up to n spread-out places of `list` and puts enemies of the kind chosen by
// `choose_kind` (called once per place, in place order) on them.
template <class ChooseKind>
static void spread_enemies(int n, LevelGenGlobalCoordList& list, ChooseKind choose_kind) {
  LevelGenGlobalCoordList places;
  pick_spread_coords(n, list, places);
  for (int i = 0; i < places.numCoords(); i++) {
    LevelGenSingleCoord s(places, i);
    int kind = choose_kind();
    add_enemies_at_random_coords(kind, 1, s);
  }
  places.coords.clearAndFree();
}

static int kind_of_seven() {
  uint32_t d = gen_draw();
  if (d < 0x24924925u) return 23;
  if (d < 0x49249249u) return 25;
  if (d < 0x6DB6DB6Eu) return 19;
  if (d < 0x92492492u) return 20;
  if (d < 0xB6DB6DB7u) return 22;
  if (d < 0xDB6DB6DBu) return 24;
  return 21;
}

static void populate_level_zero() {
  gameobj_func_table.mark_level_tiles();
  LevelGenGlobalCoordList& list = level_coord_lists[COORDS_ENEMY_FLOOR];
  collect_slots_by_tile_flags(list, 40, 32);
  remove_coords_by_tile_flags(list, 416, 416);
  remove_coords_by_tile_flags(list, 6, 0);
  spread_enemies(100, list, kind_of_seven);
}

static void place_bonuses() {
  LevelGenGlobalCoordList& bonus = level_coord_lists[COORDS_BONUS];
  debug("%d bonus places", bonus.numCoords());
  static const int kinds[2] = {31, 41};
  static const int counts[2][2] = {{2, 4}, {1, 2}};
  for (int k = 0; k < 2; k++) {
    int n = rnd_range(counts[k][0], counts[k][1]);
    LevelGenGlobalCoordList places;
    pick_spread_coords(n, bonus, places);
    for (int i = 0; i < places.numCoords(); i++) {
      LevelGenSingleCoord s(places, i);
      add_enemies_at_random_coords(kinds[k], 1, s);
      remove_coords(bonus, s);
    }
    places.coords.clearAndFree();
  }
}

static int pick_of_two(int a, int b) { return gen_draw() < 0x80000000u ? a : b; }
static int pick_of_three(int a, int b, int c) {
  uint32_t d = gen_draw();
  return d < 0x55555555u ? a : d < 0xAAAAAAABu ? b : c;
}

static void place_enemy_groups(int z) {
  gameobj_func_table.mark_level_tiles();
  bool first_level = cur_level == 1;

  LevelGenGlobalCoordList& g1 = level_coord_lists[COORDS_ENEMY_GROUP];
  collect_slots_by_tile_flags(g1, 56, 48);
  remove_coords_by_tile_flags(g1, 416, 416);
  remove_coords_by_tile_flags(g1, 6, 0);
  if (first_level)
    spread_enemies(rnd_range(5, 7), g1, [] { return 25; });
  else if (z == 0)
    spread_enemies(rnd_range(10, 15), g1, [] { return pick_of_two(25, 22); });
  else if (z == 1)
    spread_enemies(rnd_range(10, 15), g1, [] { return pick_of_two(24, 21); });
  else
    spread_enemies(rnd_range(10, 15), g1, [] { return 23; });

  LevelGenGlobalCoordList& g2 = level_coord_lists[COORDS_ENEMY_FLOOR];
  collect_slots_by_tile_flags(g2, 42, 34);
  remove_coords_by_tile_flags(g2, 416, 416);
  if (first_level)
    spread_enemies(rnd_range(10, 15), g2, [] { return 23; });
  else if (z == 0)
    spread_enemies(rnd_range(30, 45), g2, [] { return pick_of_two(20, 23); });
  else if (z == 1)
    spread_enemies(rnd_range(30, 45), g2, [] { return pick_of_two(24, 19); });
  else
    spread_enemies(rnd_range(30, 45), g2, [] { return 23; });

  LevelGenGlobalCoordList& g3 = level_coord_lists[COORDS_ENEMY_CLOSED];
  collect_slots_by_tile_flags(g3, 44, 36);
  remove_coords_by_tile_flags(g3, 416, 416);
  if (first_level)
    spread_enemies(rnd_range(7, 11), g3, [] { return 25; });
  else if (z == 0)
    spread_enemies(rnd_range(15, 22), g3, [] { return 25; });
  else if (z == 1)
    spread_enemies(rnd_range(15, 22), g3, [] { return pick_of_three(21, 19, 20); });
  else
    spread_enemies(rnd_range(15, 22), g3, [] { return 23; });
}

// The "Level" record's function: the arguments are not used.
static void compose_level(int, int, bool) {
  int z = (cur_level - 1) / 5, s = (cur_level - 1) % 5;
  bool boss = s == 4;
  int w = 14;
  if (cur_level == 0 || cur_level == 1)
    w = 7;
  else if (boss && z == 0)
    w = 4;
  else if (boss && z == 1)
    w = 5;

  place_fixed_pieces(z, boss, w);
  bool only_boss_room = boss && z == 1;
  if (!only_boss_room) {
    LevelGenCoordRect strip;
    strip.x0 = 9;
    strip.y0 = 32;
    strip.width = 10 * w - 8 > 0 ? 10 * w - 8 : 0;
    strip.height = 1;
    strip.count = strip.width;
    place_random_tiles(tile_sets[TS_MACH], strip);
    finish_cell_grid();
    TemplateList fill = templates_of_class(find_template_class(z == 0 ? "zone1" : "zone2"));
    fill_cells_with_templates(fill.items, fill.count);
  }
  place_floors(z);
  place_windows();
  place_pipes();
  place_lifts();
  add_backgrounds(z, boss, w);
  if (cur_level == 0) {
    populate_level_zero();
    return;
  }
  if (boss)
    return;
  place_bonuses();
  place_enemy_groups(z);
}

// The lists that outlive a level get their full size once, so that generating level
// after level never grows the heap: a list holds each slot at most once, and a level
// places a few hundred templates at most.
static void reserve_level_lists() {
  for (LevelGenGlobalCoordList& list : level_coord_lists)
    if (list.coords.capacity < SLOTS_X * SLOTS_Y)
      list.coords.reserve(SLOTS_X * SLOTS_Y);
  if (level_placements.capacity < 1024)
    level_placements.reserve(1024);
}

void generate_level() {
  init_room_templates();
  reserve_level_lists();
  if (!level_root_template.function)
    level_root_template = LevelGenTemplate{compose_level, 1, 1, 0, 0, nullptr, "Level", no_classes, 0};
  memset(level_cells, CELL_OPEN, sizeof(level_cells));
  memset(level_tile_map, 0, sizeof(level_tile_map));
  level_placements.clear();
  memset(level_data, 0, sizeof(level_data));
  clear_global_coord_lists();
  reset_exit();
  level_root_template.function(0, 0, false);
}
