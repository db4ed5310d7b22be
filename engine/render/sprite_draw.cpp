// Drawing world sprites: quads into the sprite batch, and the sprite pass.
#include <cmath>

#include "engine/core/geometry.h"

#include "engine/render/background.h"
#include "engine/render/d3d_shaders.h"
#include "engine/render/d3d_states.h"
#include "engine/render/d3d_textures.h"
#include "engine/render/scene_view.h"
#include "engine/render/sprite.h"
#include "engine/render/sprite_pass.h"
#include "engine/render/tile_shades.h"

void Sprite::render(__m128 pos, __m128 tm, D3dColor c0, D3dColor c1) {
  alignas(16) float p[4], m[4];
  _mm_store_ps(p, pos);
  _mm_store_ps(m, tm);
  float a = m[0], b = m[1], c = m[2], d = m[3];
  // The pivot snaps to the screen's pixel grid, so sprites never shimmer between pixels.
  float s = float(voxel_scale);
  float px = floorf(p[0] * s + 0.5f) / s, py = floorf(p[1] * s + 0.5f) / s;
  float x0 = px - (ox * a + oy * c), y0 = py - (ox * b + oy * d);
  float wx = wd * a, wy = wd * b, hx = ht * c, hy = ht * d;
  float cx = x0 + (wx + hx) * 0.5f, cy = y0 + (wy + hy) * 0.5f;
  float ex = (fabsf(wx) + fabsf(hx)) * 0.5f, ey = (fabsf(wy) + fabsf(hy)) * 0.5f;
  SpriteVertex* v = (SpriteVertex*)sprite_batch.add(state, _mm_setr_ps(cx - ex, cy - ey, cx + ex, cy + ey),
                                                    6 * sizeof(SpriteVertex), 2);
  float z = p[2];
  int16_t u0 = int16_t(uMin), v0 = int16_t(vMin), u1 = int16_t(uMax), v1 = int16_t(vMax);
  SpriteVertex p0 = {x0, y0, z, c0, c1, u0, v0};
  SpriteVertex p1 = {x0 + wx, y0 + wy, z, c0, c1, u1, v0};
  SpriteVertex p2 = {x0 + wx + hx, y0 + wy + hy, z, c0, c1, u1, v1};
  SpriteVertex p3 = {x0 + hx, y0 + hy, z, c0, c1, u0, v1};
  v[0] = p0;
  v[1] = p1;
  v[2] = p2;
  v[3] = p0;
  v[4] = p2;
  v[5] = p3;
}

void Sprite::draw(__m128 pos, __m128 dir, bool mirror, D3dColor c0, D3dColor c1) {
  alignas(16) float d[4];
  _mm_store_ps(d, dir);
  render(pos, mirror ? _mm_setr_ps(d[0], d[1], d[1], -d[0]) : _mm_setr_ps(d[0], d[1], -d[1], d[0]), c0, c1);
}

void Sprite::draw(__m128 pos, bool flipX, bool flipY, D3dColor c0, D3dColor c1) {
  render(pos, _mm_setr_ps(flipX ? -1.0f : 1.0f, 0, 0, flipY ? -1.0f : 1.0f), c0, c1);
}

void start_sprite_render() { sprite_batch.clear(); }

// True when every vertex of the batch's sprite groups has colour 0 white and colour 1
// transparent.
static bool plain_colors(RenderBatch& batch) {
  for (RenderBatchGroup& g : batch.groups) {
    if (g.state != &sprite_state)
      continue;
    for (RenderBatchItem* it = g.first; it; it = it->next) {
      const SpriteVertex* v = (const SpriteVertex*)it->vertices();
      for (int i = 0; i < it->bytes / int(sizeof(SpriteVertex)); i++)
        if (v[i].c0 != 0xFFFFFFFFu || (v[i].c1 >> 24) != 0)
          return false;
    }
  }
  return true;
}

static bool near_whole(float v) { return std::fabs(v - std::nearbyint(v)) < 1e-3f; }

// True when a quad's corner lies on the screen's pixel grid and its edges run along the
// axes, one world unit per atlas texel: each texel then covers whole pixels.
static bool quad_on_pixels(const SpriteVertex* v, float scale) {
  const SpriteVertex &p0 = v[0], &p1 = v[1], &p3 = v[5];
  float wx = p1.x - p0.x, wy = p1.y - p0.y, hx = p3.x - p0.x, hy = p3.y - p0.y;
  if (!near_whole(p0.x * scale) || !near_whole(p0.y * scale))
    return false;
  if (!(wy == 0 && hx == 0) && !(wx == 0 && hy == 0))
    return false;
  float texels_per_unit = float(spriteTexSize) / 16384.0f;
  float across = float(std::abs(p1.u - p0.u)) * texels_per_unit, up = float(std::abs(p3.v - p0.v)) * texels_per_unit;
  return std::fabs(std::fabs(wx + wy) - across) < 1e-3f && std::fabs(std::fabs(hx + hy) - up) < 1e-3f;
}

// True when every sprite quad of the batch lies on whole pixels under the frame's
// transform, so the tile's shades can come from the constants.
static bool quads_on_pixels(RenderBatch& batch) {
  Matrix44 g;
  get_glob_tm(g);
  float scale = float(voxel_scale);
  if (!grid_on_pixels(g, 1.0f / scale))
    return false;
  for (RenderBatchGroup& group : batch.groups) {
    if (group.state != &sprite_state)
      continue;
    for (RenderBatchItem* it = group.first; it; it = it->next) {
      const SpriteVertex* v = (const SpriteVertex*)it->vertices();
      for (int q = 0; q + 6 <= it->bytes / int(sizeof(SpriteVertex)); q += 6)
        if (!quad_on_pixels(v + q, scale))
          return false;
    }
  }
  return true;
}

void end_sprite_render() {
  set_cull_mode(0);
  set_atest(128);
  set_texture_filter(0, false);
  set_texture(1, get_voxel_tile_tex());
  set_texture_filter(1, true);
  set_texture_address(1, 0, -1, -1);
  alignas(16) float c16[4] = {float(spriteTexSize), -float(spriteTexSize), 0, 0};
  set_vs_consts(16, c16, 1);
  order_sprites_nearest_first(sprite_batch);
  bool tile_shades = quads_on_pixels(sprite_batch) && set_tile_shade_consts(get_voxel_tile_tex());
  sprite_state.shader = sprite_pass_shader(plain_colors(sprite_batch), tile_shades);
  sprite_batch.render();
  sprite_state.shader = sprite_pass_shader(false, false);
  set_cull_mode(1);
  set_atest(0);
}
