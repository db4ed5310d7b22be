// Background layers.
/*
import backgrounds
import background_pieces
import sprites
*/
#include "engine/render/sprite.h"
#include "gameobj/background_pieces.h"
#include "gameobj/backgrounds.h"
#include "gameobj/sprites.h"

BackgroundTile::BackgroundTile() { category = CAT_SCENERY; }

float background_offset(float base, float cam, float parallax) { return base + cam * (1.0f - parallax); }

// Repeated across the view when it repeats, and downwards or upwards to the view's
// edge when it fills; far layers stand behind the level.
void BackgroundTile::render(float) {
  Sprite* s = sprite_named(name);
  if (!s || s->wd <= 0 || s->ht <= 0)
    return;
  shell::View v = shell::view();
  float lx = background_offset(x, v.cx, parallax), ly = background_offset(y, v.cy, parallax);
  float w = float(s->wd), h = float(s->ht);
  float z = depth > 0 ? depth : 0.5f;
  float first = lx, last = lx;
  if (repeatX) {
    first = lx + std::floor((v.x0 - lx) / w) * w;
    last = v.x1 + w;
  }
  // A layer that fills downwards hangs from ly; the others stand on it.
  float bottom = fillY < 0 ? ly - h : ly;
  float lo = bottom, hi = bottom;
  if (fillY < 0)
    lo = bottom - std::ceil((bottom - v.y0) / h) * h;
  if (fillY > 0)
    hi = bottom + std::ceil((v.y1 - bottom - h) / h) * h;
  WorldRect view = {v.x0, v.y0, v.x1, v.y1};
  for (float by = lo; by <= hi + 0.5f; by += h) {
    if (by > v.y1 || by + h < v.y0)
      continue;
    for (float bx = first; bx <= last; bx += w)
      draw_background_picture(s, bx - s->ox, by, z, view);
  }
}
