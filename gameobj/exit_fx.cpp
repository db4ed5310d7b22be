// The level's exit: found where the elevator will find its lift, or opened by a
// beaten boss; and, after the last boss, the victory clock that ends the game.
/*
import effects
import sound
import sprites
*/
#include "engine/gen/gen_runtime.h"
#include "gameobj/effects.h"
#include "gameobj/sound.h"
#include "gameobj/sprites.h"

namespace {
constexpr float VICTORY_SHOWN = 6.0f;  // seconds of the victory screen
constexpr int LIFT_CELL = 3;
constexpr int EXIT_WINDOW = 32;

bool is_lift_cell(int x, int y) { return level_data[y][x].collision == LIFT_CELL; }

// The box of the lift cells within the window around (xp, yp), as the elevator takes it.
void lift_box_around(int xp, int yp, float box[4]) {
  int x0 = xp, y0 = yp, x1 = xp, y1 = yp;
  for (int y = std::max(yp - EXIT_WINDOW, 0); y <= std::min(yp + EXIT_WINDOW, LEVEL_HEIGHT - 1); y++)
    for (int x = std::max(xp - EXIT_WINDOW, 0); x <= std::min(xp + EXIT_WINDOW, LEVEL_WIDTH - 1); x++)
      if (is_lift_cell(x, y)) {
        x0 = std::min(x0, x), x1 = std::max(x1, x);
        y0 = std::min(y0, y), y1 = std::max(y1, y);
      }
  box[0] = float(x0), box[1] = float(y0), box[2] = float(x1 + 1), box[3] = float(y1 + 1);
}

void make_exit(const float box[4]) {
  for (int i = 0; i < ExitFx_list.size(); i++)
    ExitFx_list[i]->destroy();
  ExitFx* fx = spawn(ExitFx_list, (box[0] + box[2]) * 0.5f, box[3]);
  for (int k = 0; k < 4; k++)
    fx->exitBox[k] = box[k];
}
}  // namespace

ExitFx::ExitFx() { category = CAT_SCENERY; }

ExitFx* the_exit() {
  for (int i = 0; i < ExitFx_list.size(); i++)
    if (ExitFx_list[i]->alive())
      return ExitFx_list[i];
  return nullptr;
}

bool ExitFx::touches(__m128 b) const {
  return boxes_touch(b, _mm_setr_ps(exitBox[0], exitBox[1], exitBox[2], exitBox[3]));
}

void ExitFx::update(float dt) {
  age += dt;
  if (victoryTime < 0)
    return;
  victoryTime += dt;
  if (victoryTime >= VICTORY_SHOWN) {
    victoryTime = -2;  // shown; the title screen takes over
    shell::main_menu();
  }
}

bool find_level_exit() {
  // The rightmost column holding a lift cell, and its lowest lift cell.
  int xp = -1, yp = -1;
  for (int y = 0; y < LEVEL_HEIGHT; y++)
    for (int x = LEVEL_WIDTH - 1; x > xp; x--)
      if (is_lift_cell(x, y)) {
        xp = x, yp = y;
        break;
      }
  if (xp < 0)
    return false;
  float box[4];
  lift_box_around(xp, yp, box);
  make_exit(box);
  return true;
}

void open_boss_exit() {
  __m128 at = put_exit_tile();
  int x0 = int(v_x(at)), y0 = int(v_y(at));
  float box[4] = {float(x0), float(y0), float(x0 + 16), float(y0 + 16)};
  for (int y = y0; y < y0 + 16 && y < LEVEL_HEIGHT; y++)
    for (int x = x0; x < x0 + 16 && x < LEVEL_WIDTH; x++)
      if (x >= 0 && y >= 0 && is_lift_cell(x, y)) {
        lift_box_around(x, y, box);
        y = LEVEL_HEIGHT;
        break;
      }
  make_exit(box);
  ExitFx* fx = the_exit();
  throw_debris(fx->x, fx->y + 8, 30, 0xFF2CE8F5, 60);
}

// Arrows rising over the open exit.
void ExitFx::render(float t) {
  if (victoryTime >= 0)
    return;
  float cx = (exitBox[0] + exitBox[2]) * 0.5f;
  draw_sprite(sprite_frame("fx/exit", int(age * 8)), cx, exitBox[3] + 2, -0.5f, false);
}
