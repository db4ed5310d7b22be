// Sprites of the atlas drawn in the interface, at whole-number scales.
#include <cstring>
#include <utility>

#include "engine/gui/ui_draw.h"
#include "engine/render/d3d_shaders.h"
#include "engine/render/sprite.h"

BitmapFontBatchState ui_sprite_state(nullptr, nullptr, sizeof(UiVertex), nullptr);

void init_bitmap_fonts() {
  create_ui_vdecl();
  gui_bitmap_shader = create_shader("guiBitmap.sh", nullptr);
  ui_sprite_state.shader = gui_bitmap_shader;
  ui_sprite_state.vdecl = ui_vdecl;
  ui_sprite_state.stride = sizeof(UiVertex);
  ui_sprite_state.texture = get_sprites_tex();
}

void Sprite::drawUI(__m128 rect, D3dColor color, int scale, bool mirror) {
  // Centred in rect at the sprite's own size times scale; rect's size is not used.
  float x = (v_x(rect) + v_z(rect)) / 2 - wd * scale / 2.0f;
  float y = (v_y(rect) + v_w(rect)) / 2 - ht * scale / 2.0f;
  drawCroppedUI(x, y, 0, 0, 0, 0, color, scale, mirror);
}

void Sprite::drawCroppedUI(float x, float y, int cropLeft, int cropTop, int cropRight, int cropBottom,
                           D3dColor color, int scale, bool mirror) {
  int W = wd * scale - cropLeft - cropRight, H = ht * scale - cropTop - cropBottom;
  // A crop that leaves no area draws nothing.
  if (W <= 0 || H <= 0 || spriteTexSize <= 0) return;
  float t = 1.0f / ((float)spriteTexSize * scale);
  float u0 = uMin / 16384.0f + cropLeft * t, u1 = uMax / 16384.0f - cropRight * t;
  float v0 = vMin / 16384.0f + cropBottom * t, v1 = vMax / 16384.0f - cropTop * t;
  if (mirror) std::swap(u0, u1);
  // The atlas's v runs from the sprite's bottom (v0) to its top (v1).
  float x1 = x + W, y1 = y + H;
  UiVertex v[6] = {{x, y1, color, u0, v0}, {x1, y1, color, u1, v0}, {x1, y, color, u1, v1},
                   {x, y1, color, u0, v0}, {x1, y, color, u1, v1}, {x, y, color, u0, v1}};
  uint8_t* out = gui_batch.add(&ui_sprite_state, v_make(x, y, x1, y1), sizeof(v), 2);
  if (out) memcpy(out, v, sizeof(v));
}
