// The system font's resources and render states: "font.tga" into a texture and a
// glyph table, the shader "font.sh", the layout state and its stack.
#include "engine/gui/sys_font.h"

#include <physfs.h>

#include "engine/core/fatal.h"
#include "engine/core/log.h"
#include "engine/gui/stats_canvas.h"
#include "engine/render/d3d_device.h"
#include "engine/render/d3d_shaders.h"
#include "engine/render/d3d_states.h"
#include "engine/render/d3d_textures.h"
#include "engine/render/dynVBWriter.h"
#include "engine/render/image.h"

FontGlyph font_glyphs[256];
int font_cell_height = 8;
int font_scale = 1;
int line_gap = 0;
int char_gap = 0;

static float font_texel_scale[2];
static Texture* font_texture = nullptr;
static Shader* font_shader = nullptr;
static IDirect3DVertexDeclaration9* font_vdecl = nullptr;
static FontBatchState font_batch_state(nullptr, nullptr, 0, nullptr);
static DynArray<TextState> text_state_stack;

static const VDeclElement font_vertex_layout[] = {
    {0, 0, 6, 0, 0},   // position: two shorts
    {4, 0, 5, 2, 0},   // colour
    {8, 0, 6, 3, 0},   // texture coordinates: two shorts, in texels
    {0, 255, 0, 0, 0},
};

static int scale_for_height(int height) {
  int scale = height / (30 * font_cell_height);
  return scale > 1 ? scale : 1;
}

// The size a TGA header announces, for telling an empty image from a broken file.
static bool read_tga_size(const char* path, int* w, int* h) {
  PHYSFS_File* f = PHYSFS_openRead(path);
  if (!f) return false;
  uint8_t header[18];
  bool ok = PHYSFS_readBytes(f, header, sizeof(header)) == (PHYSFS_sint64)sizeof(header);
  PHYSFS_close(f);
  if (!ok) return false;
  *w = header[12] | header[13] << 8;
  *h = header[14] | header[15] << 8;
  return true;
}

// Byte c's cell: column c mod 16, and its first row counted in delivered order
// (bottom row of the image first), so bytes 0..15 are the top row of the image.
static void build_glyph_table(const DynArray<uint32_t>& pixels, int w) {
  int cellW = w / 16, cellH = font_cell_height;
  for (int c = 0; c < 256; c++) {
    int cx = (c % 16) * cellW, cy = (15 - c / 16) * cellH;
    auto inked = [&](int col) {
      for (int row = cy; row < cy + cellH; row++)
        if (pixels[row * w + col] >> 24) return true;
      return false;
    };
    int left = cx;
    while (left < cx + cellW && !inked(left)) left++;
    if (left == cx + cellW) {
      font_glyphs[c] = {cx, cy, cx + cellW / 2 + 1, cy + cellH};
      continue;
    }
    int right = cx + cellW - 1;
    while (right > left && !inked(right)) right--;
    font_glyphs[c] = {left, cy, right + 1, cy + cellH};
  }
}

void init_font() {
  DynArray<uint32_t> pixels;
  int w = 0, h = 0;
  if (!load_tga("font.tga", &w, &h, pixels)) {
    // The reader refuses an image of no pixels; that is a wrong grid, not a lost file.
    if (read_tga_size("font.tga", &w, &h) && (w == 0 || h == 0))
      fatal("expected 16x16 font grid in font.tga, got %dx%d image", w, h);
    fatal("can't load font.tga");
  }
  if (w == 0 || h == 0 || w % 16 || h % 16) fatal("expected 16x16 font grid in font.tga, got %dx%d image", w, h);
  font_cell_height = h / 16;
  font_texel_scale[0] = 1.0f / w;
  font_texel_scale[1] = 1.0f / h;
  font_scale = scale_for_height(d3d_ht);
  debug("font scale: %d", font_scale);
  build_glyph_table(pixels, w);

  font_texture = create_texture(w, h, 1, 1);
  if (!font_texture) fatal("can't create font texture");
  int pitch = 0;
  uint8_t* ptr = (uint8_t*)lock_texture(font_texture, &pitch, 0);
  ASSERT(ptr);
  for (int row = 0; row < h; row++) memcpy(ptr + (size_t)row * pitch, &pixels[row * w], (size_t)w * 4);
  unlock_texture(font_texture, 0);

  font_vdecl = create_vdecl(font_vertex_layout);
  font_shader = create_shader("font.sh", nullptr);
  font_batch_state.shader = font_shader;
  font_batch_state.vdecl = font_vdecl;
  font_batch_state.stride = sizeof(SysFontVertex);
  font_batch_state.texture = font_texture;
  install_stats_canvas();
}

void close_font() {
  remove_stats_canvas();
  font_batch_state.shader = nullptr;
  font_batch_state.vdecl = nullptr;
  font_batch_state.texture = nullptr;
  destroy_shader(font_shader);
  destroy_texture(font_texture);
  font_shader = nullptr;
  font_texture = nullptr;
}

void update_font_scale() {
  font_scale = scale_for_height(d3d_ht);
  debug("font scale: %d", font_scale);
  update_stats_canvas_size();
}

StdRenderBatchState* get_font_batch_state() { return &font_batch_state; }

void push_text_state() { text_state_stack.push() = TextState{line_gap, char_gap, font_scale}; }

void pop_text_state() {
  const TextState& s = text_state_stack.last();
  line_gap = s.line_gap;
  char_gap = s.char_gap;
  font_scale = s.font_scale;
  text_state_stack.remove(text_state_stack.size() - 1, 1);
}

// ---- render states ---------------------------------------------------------------

// Constant 16 maps bottom-left-origin pixels to clip space; 17 turns texels into
// texture coordinates.
static void set_text_states(float texelScaleX, float texelScaleY) {
  set_texture_filter(0, false);
  float W = (float)d3d_wd, H = (float)d3d_ht;
  const float c16[4] = {2 / W, 2 / H, -1 - 0.5f / W, 0.5f / H - 1};
  const float c17[4] = {texelScaleX, texelScaleY, 0, 0};
  set_vs_consts(16, c16, 1);
  set_vs_consts(17, c17, 1);
  set_cull_mode(0);
  set_zenable(false);
  set_zwrite(false);
  set_blend_alpha();
  set_atest(1);
}

static void start_text(Texture* tex, float texelScaleX, float texelScaleY) {
  set_vdecl(font_vdecl);
  set_shader(font_shader);
  set_texture(0, tex);
  set_text_states(texelScaleX, texelScaleY);
  common_vb_writer.start(dyn_vb_draw_prims, D3DPT_TRIANGLELIST, 0, sizeof(SysFontVertex));
}

void start_draw_text() { start_text(font_texture, font_texel_scale[0], font_texel_scale[1]); }

void start_draw_tex_text(Texture* tex, int texWidth, int texHeight) {
  start_text(tex, 1.0f / texWidth, 1.0f / texHeight);
}

void end_draw_text() {
  common_vb_writer.flush(true);
  set_cull_mode(1);
  set_zenable(true);
  set_zwrite(true);
  set_blend_none();
  set_atest(0);
  set_texture_filter(0, true);
}

void end_draw_tex_text() { end_draw_text(); }

void FontBatchState::apply(const BaseRenderBatchState* prev) {
  StdRenderBatchState::apply(prev);
  set_text_states(font_texel_scale[0], font_texel_scale[1]);
}

void FontBatchState::finish() { end_draw_text(); }
