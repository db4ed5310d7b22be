// The post-effect passes: two depth slices into the post-effect target, then the final
// composite of the scene image onto the back buffer.
#include "engine/render/postfx.h"

#include "engine/core/fatal.h"
#include "engine/render/d3d_device.h"
#include "engine/render/d3d_shaders.h"
#include "engine/render/d3d_states.h"
#include "engine/render/d3d_textures.h"
#include "engine/render/d3d_vbuf.h"
#include "engine/render/scene_view.h"

#include <initializer_list>

__m128 postfx_final_color = {0, 0, 0, 0};

// The final pass's shader applies the post-effect colour only when it is not zero: the
// step costs a fifth of the pass and changes nothing then.
static Shader* final_shader = nullptr;
static Shader* final_color_shader = nullptr;
static Shader* slice_shader = nullptr;
static Texture* postfx_target = nullptr;

void init_postfx() {
  final_shader = create_shader("postfx_final.sh", nullptr);
  final_color_shader = create_shader("postfx_final.sh", "POST_COLOR\0" "1\0");
  slice_shader = create_shader("postfx_slice.sh", nullptr);
  postfx_target = create_screen_render_target();
  if (!postfx_target)
    fatal("can't create shadow map texture");
  postfx_final_color = _mm_setzero_ps();
}

void close_postfx() {
  destroy_texture(postfx_target);
  postfx_target = nullptr;
  for (Shader* s : {final_shader, final_color_shader, slice_shader})
    if (s)
      destroy_shader(s);
  final_shader = final_color_shader = slice_shader = nullptr;
}

Texture* get_postfx_target() { return postfx_target; }

// One slice: a full-screen quad at world depth z, drawn where the scene lies behind it.
static void draw_slice(float z, float green) {
  alignas(16) float vc[4] = {z, 0, 0, 0}, pc[4] = {0, green, 0, 0};
  set_vs_consts(16, vc, 1);
  set_ps_consts(16, pc, 1);
  draw_postfx();
}

void apply_postfx() {
  set_wireframe(false);
  set_texture_target(postfx_target, 0, true);
  // The slices only read the scene's depth; they must not depend on the states the
  // frame happened to leave.
  set_zenable(true);
  set_zwrite(false);
  set_blend_none();
  set_atest(0);
  clear_view_color(0x00FF0000);
  set_shader(slice_shader);
  draw_slice(18, 1);
  draw_slice(50, 0);

  set_backbuffer_target();
  bool colored = _mm_movemask_ps(_mm_cmpneq_ps(postfx_final_color, _mm_setzero_ps())) != 0;
  set_shader(colored ? final_color_shader : final_shader);
  set_texture(0, scene_image);
  set_texture(1, postfx_target);
  set_texture_address(0, 1, -1, -1);
  set_texture_address(1, 1, -1, -1);
  // Every read lies on a texel centre: point sampling gives the same and costs less.
  set_texture_filter(0, false);
  set_texture_filter(1, false);
  float w = float(d3d_wd), h = float(d3d_ht), s = float(voxel_scale);
  alignas(16) float vc[4] = {0.5f, -0.5f, 0.5f + 0.5f / w, 0.5f + 0.5f / h};
  alignas(16) float pc[2][4] = {{s / w, s / h, 0, 0}};
  _mm_store_ps(pc[1], postfx_final_color);
  set_vs_consts(16, vc, 1);
  set_ps_consts(16, pc[0], 2);
  draw_postfx();
  set_zwrite(true);
}
