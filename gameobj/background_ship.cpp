// Ships crossing the far sky.
/*
import backgrounds
import sprites
*/
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

void BackgroundShip::render(float t) {
  shell::View v = shell::view();
  draw_sprite(sprite_named(name), background_offset(drawX(t), v.cx, speed), background_offset(y, v.cy, speed),
              240 - speed * 100, !faceRight);
}
