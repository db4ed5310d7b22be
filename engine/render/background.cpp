// The play scene's backdrop and the detail textures of the level and sprite passes.
#include "engine/render/background.h"

#include "engine/render/d3d_device.h"
#include "engine/render/d3d_shaders.h"
#include "engine/render/d3d_states.h"
#include "engine/render/d3d_textures.h"
#include "engine/render/d3d_vbuf.h"
#include "engine/render/scene_view.h"
#include "engine/render/tile_shades.h"

// A packed colour as a shader constant: each channel divided by 255.
static void color_constant(D3dColor c, float* out) {
  out[0] = float((c >> 16) & 255) / 255.0f;
  out[1] = float((c >> 8) & 255) / 255.0f;
  out[2] = float(c & 255) / 255.0f;
  out[3] = float(c >> 24) / 255.0f;
}

static Shader* background_shader = nullptr;
static Texture* background_tex = nullptr;
static Texture* voxel_tile_tex = nullptr;
static Texture* back_tile_tex = nullptr;

void init_background() {
  background_shader = create_shader("background.sh", nullptr);
  background_tex = load_dds_texture("background.dds");
  voxel_tile_tex = load_dds_texture("voxel-tile.dds");
  back_tile_tex = load_dds_texture("back-tile.dds");
  remember_tile_texels(voxel_tile_tex, "voxel-tile.dds");
  remember_tile_texels(back_tile_tex, "back-tile.dds");
}

void close_background() {
  forget_tile_texels();
  destroy_texture(background_tex);
  destroy_texture(voxel_tile_tex);
  destroy_texture(back_tile_tex);
  background_tex = voxel_tile_tex = back_tile_tex = nullptr;
  if (background_shader)
    destroy_shader(background_shader);
  background_shader = nullptr;
}

Texture* get_voxel_tile_tex() { return voxel_tile_tex; }
Texture* get_back_tile_tex() { return back_tile_tex; }

void render_background(D3dColor colorA, D3dColor colorB) {
  set_wireframe(false);
  set_shader(background_shader);
  set_texture(0, background_tex);
  set_texture_address(0, 0, -1, -1);
  set_texture_filter(0, true);
  float s = float(voxel_scale);
  alignas(16) float c[3][4] = {{float(d3d_wd) / (4 * s), -float(d3d_ht) / (4 * s), 0, 0}};
  color_constant(colorA, c[1]);
  color_constant(colorB, c[2]);
  set_vs_consts(16, c[0], 3);
  // Drawn at the far plane with the depth test and no depth writes: it shows wherever
  // nothing was drawn before it, so drawn after opaque world layers it is shaded only
  // where they leave holes. No blending. The world passes draw with depth writes on.
  set_blend_none();
  set_zenable(true);
  set_zwrite(false);
  draw_postfx();
  set_zwrite(true);
}
