// Shaders, vertex layouts and render states of distance-field text and icons.
#include <cstring>

#include "engine/core/log.h"
#include "engine/gui/dist_font.h"
#include "engine/gui/dist_shape.h"
#include "engine/render/d3d_device.h"
#include "engine/render/d3d_shaders.h"
#include "engine/render/d3d_states.h"
#include "engine/render/d3d_textures.h"

Shader* dist_font_shader = nullptr;
IDirect3DVertexDeclaration9* dist_font_vdecl = nullptr;
Shader* dist_icon_shader = nullptr;
IDirect3DVertexDeclaration9* dist_icon_vdecl = nullptr;

static const VDeclElement dist_text_layout[] = {
    {0, 0, 2, 0, 0},   // position
    {8, 0, 5, 2, 0},   // colour
    {12, 0, 5, 2, 1},  // second colour
    {16, 0, 2, 3, 0},  // texture coordinates
    {24, 0, 5, 3, 1},  // shape
    {0, 255, 0, 0, 0},
};

static const VDeclElement dist_icon_layout[] = {
    {0, 0, 2, 0, 0},   // position
    {8, 0, 5, 2, 0},   // c0
    {12, 0, 5, 2, 1},  // shape
    {16, 0, 2, 3, 0},  // texture coordinates
    {24, 0, 5, 3, 1},  // c1
    {28, 0, 5, 3, 2},  // c2
    {32, 0, 5, 3, 3},  // c3
    {36, 0, 5, 3, 4},  // c4
    {0, 255, 0, 0, 0},
};

void init_dist_fonts() {
  dist_font_vdecl = create_vdecl(dist_text_layout);
  dist_font_shader = create_shader("distfont.sh", nullptr);
}

void init_dist_icons() {
  dist_icon_vdecl = create_vdecl(dist_icon_layout);
  dist_icon_shader = create_shader("disticon.sh", nullptr);
}

void start_dist_font_render() {
  float w = (float)d3d_wd, h = (float)d3d_ht;
  const float c16[4] = {2 / w, -2 / h, -1 - 0.5f / w, 1 + 0.5f / h};
  set_vs_consts(16, c16, 1);
  set_cull_mode(0);
  set_zenable(false);
  set_zwrite(false);
  set_blend_prealpha();
  set_atest(0);
  set_texture_address(0, 0, -1, -1);
}

void end_dist_font_render() {
  set_cull_mode(1);
  set_zenable(true);
  set_zwrite(true);
  set_blend_none();
}

void log_missing_batch_state(const char* caller) {
  // One line per caller for the whole run: a frame loop would repeat it forever.
  static const char* logged[4];
  for (const char*& l : logged) {
    if (l && strcmp(l, caller) == 0) return;
    if (!l) {
      l = caller;
      debug("%s: no batch state (font loaded before its shader, or not loaded); nothing drawn", caller);
      return;
    }
  }
}
