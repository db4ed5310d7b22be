// The elevator ride between two levels: the level's lift carries the hero up its
// shaft to the top row, drawn as a growing column of copies of the lift; at the top
// the level number advances and the upgrade screen opens.
#include <algorithm>
#include <cstring>

#include "engine/core/log.h"
#include "engine/core/mem.h"
#include "engine/render/level_renderer.h"
#include "engine/shell/modes/game_flow.h"
#include "engine/shell/modes/modes.h"
#include "engine/world/gameobj_host.h"
#include "engine/world/junk.h"
#include "engine/world/level_sweep.h"

namespace {

constexpr uint8_t LIFT_CELL = 3;
constexpr int TOP_ROW = LEVEL_HEIGHT - 1;
constexpr int LIFT_REACH = 32;  // lift cells further from the first one found are not part of it
constexpr int MAX_LIFT_SPEED = 4;

bool is_lift(int x, int y) { return level_data[y][x].collision == LIFT_CELL; }

}  // namespace

ElevatorGameMode::~ElevatorGameMode() { freeLift(); }

// Also run at process exit, after the renderer has closed: nothing is asked of it
// when there is nothing to free.
void ElevatorGameMode::freeLift() {
  if (lift_renderer)
    destroy_renderer(lift_renderer);
  dlfree(lift_cells);
  lift_cells = nullptr;
}

bool ElevatorGameMode::findLift() {
  // The rightmost column holding a lift cell, at its lowest lift row.
  int xp = -1, yp = -1;
  for (int x = LEVEL_WIDTH - 1; x >= 0 && xp < 0; x--)
    for (int y = 0; y < LEVEL_HEIGHT; y++)
      if (is_lift(x, y)) {
        xp = x;
        yp = y;
        break;
      }
  freeLift();
  if (xp < 0) {
    debug("no lift in level %d, skipping the elevator ride", cur_level);
    return false;
  }

  int wx0 = std::max(xp - LIFT_REACH, 0), wx1 = std::min(xp + LIFT_REACH, LEVEL_WIDTH - 1);
  int wy0 = std::max(yp - LIFT_REACH, 0), wy1 = std::min(yp + LIFT_REACH, TOP_ROW);
  lift_x0 = lift_x1 = xp;
  lift_y0 = lift_y1 = yp;
  for (int y = wy0; y <= wy1; y++)
    for (int x = wx0; x <= wx1; x++)
      if (is_lift(x, y)) {
        lift_x0 = std::min(lift_x0, x);
        lift_x1 = std::max(lift_x1, x);
        lift_y0 = std::min(lift_y0, y);
        lift_y1 = std::max(lift_y1, y);
      }

  int w = lift_x1 - lift_x0 + 1;
  lift_rows = lift_y1 - lift_y0 + 1;
  lift_cells = (LevelCell*)dlmalloc((size_t)w * (size_t)lift_rows * sizeof(LevelCell));
  if (!lift_cells) {
    debug("no memory for the lift of level %d, skipping the elevator ride", cur_level);
    return false;
  }
  for (int r = 0; r < lift_rows; r++)
    memcpy(lift_cells + r * w, &level_data[lift_y0 + r][lift_x0], (size_t)w * sizeof(LevelCell));
  lift_renderer = create_level_renderer(lift_cells, (int)sizeof(LevelCell), w * (int)sizeof(LevelCell), w,
                                        lift_rows, 0, 0);
  return true;
}

void ElevatorGameMode::enter(GameMode*) {
  GameObjFuncTable& m = gameobj_func_table;
  m.remove_all_enemies();
  m.reset_bullets();
  clear_junk();
  m.reset_explosions();
  m.play_sound_event_no_pos(SOUND_ELEVATOR);

  has_lift = findLift();
  if (has_lift) {
    // Open the shaft above the lift; its background and collision stay.
    for (int y = lift_y1 + 1; y <= TOP_ROW; y++)
      for (int x = lift_x0; x <= lift_x1; x++)
        level_data[y][x].foreground = 0;
    invalidate_level(lift_x0, lift_y1, lift_x1, TOP_ROW);
  }
  lift_speed = 1;
}

void ElevatorGameMode::leave(GameMode*) { freeLift(); }

void ElevatorGameMode::update(float dt) {
  GameObjFuncTable& m = gameobj_func_table;
  m.delete_gameobj();
  // At the top, or with no lift to ride: on as after a ride.
  if (!has_lift || lift_y1 >= TOP_ROW) {
    advance_level();
    set_game_mode(upgrade_mode);
    return;
  }
  for (int i = 0; i < lift_speed && lift_y1 < TOP_ROW; i++)
    lift_y1++;
  alignas(16) float p[4];
  _mm_store_ps(p, m.get_hero_pos());
  m.move_hero(_mm_setr_ps((float)(lift_x0 + lift_x1) * 0.5f, (float)lift_y1, p[2], 1.0f));
  if (lift_speed < MAX_LIFT_SPEED)
    lift_speed++;
}

void ElevatorGameMode::render(float t) {
  render_play_scene(t);
  if (!has_lift)
    return;
  start_level_rendering();
  alignas(16) float p[4];
  _mm_store_ps(p, gameobj_func_table.interp_hero_pos(t));
  // Copies of the lift, one above the other, from just below the hero down to the
  // lift's first row.
  for (float y = p[1] - (float)lift_rows; y - (float)lift_y0 > 0.0f; y -= (float)lift_rows) {
    Matrix44 tm = matrix_identity();
    tm.row[3] = _mm_setr_ps((float)lift_x0, y, 0.0f, 1.0f);
    set_level_tm(tm);
    render_all(lift_renderer, 0.0f);
  }
  end_level_rendering();
}

void ElevatorGameMode::renderOverlay(float t) { render_debug_objects(t); }

void ElevatorGameMode::onResize() {}
