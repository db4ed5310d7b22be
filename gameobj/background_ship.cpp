// Ships crossing the far sky.
/*
import backgrounds
import background_pieces
import sprites
*/
#include "engine/render/sprite.h"
#include "gameobj/background_pieces.h"
#include "gameobj/backgrounds.h"
#include "gameobj/sprites.h"

namespace {
constexpr float DRIFT = 60;       // units per second at speed 1
constexpr float SKY_SPAN = 500;   // a ship leaving this far from the view comes back on the other side
}

BackgroundShip::BackgroundShip() { category = CAT_SCENERY; }

void BackgroundShip::update(float dt) {
  age += dt;
  x += (faceRight ? 1.0f : -1.0f) * speed * DRIFT * dt;
  // Seen from the camera the ship stands at x - cam * speed.
  float cam = v_x(get_camera_pos());
  float rel = x - cam * speed;
  if (rel > SKY_SPAN)
    x -= 2 * SKY_SPAN, prevX = x;
  else if (rel < -SKY_SPAN)
    x += 2 * SKY_SPAN, prevX = x;
}

// Only a ship in view and not behind the level is drawn.
void BackgroundShip::render(float t) {
  Sprite* s = sprite_named(name);
  if (!s)
    return;
  shell::View v = shell::view();
  float sx = background_offset(drawX(t), v.cx, speed), sy = background_offset(y, v.cy, speed);
  if (background_box_shows(sx - s->ox, sy - s->oy, float(s->wd), float(s->ht), WorldRect{v.x0, v.y0, v.x1, v.y1}))
    draw_sprite(s, sx, sy, 240 - speed * 100, !faceRight);
}
