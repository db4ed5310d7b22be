// The level renderer.
#include "engine/render/level_renderer.h"

#include <cstring>
#include <initializer_list>

#include "engine/core/fatal.h"
#include "engine/core/log.h"
#include "engine/render/background.h"
#include "engine/render/d3d_shaders.h"
#include "engine/render/d3d_states.h"
#include "engine/render/d3d_textures.h"
#include "engine/render/dynVBWriter.h"
#include "engine/render/palette_rows.h"
#include "engine/render/tile_shades.h"
#include "engine/shared/level_map.h"
#include "engine/shared/palette.h"

static Shader* level_shader = nullptr;
static Shader* tile_shades_shader = nullptr;  // the tile's shades from pixel constants
static IDirect3DVertexDeclaration9* level_vdecl = nullptr;
static Matrix44 level_tm;
static Matrix44 saved_glob_tm;
static Texture* bound_layer = nullptr;
// Cells land on whole pixels under the current transform: the tile's shades can come
// from the constants.
static bool cells_on_pixels = false;

constexpr uint32_t TRIANGLE_LIST = 4;
constexpr int QUAD_BYTES = 6 * sizeof(LevelVertex);

void init_level_rendering() {
  static const VDeclElement elements[] = {
      {0, 0, 3, 0, 0},   // FLOAT3 position
      {12, 0, 6, 3, 0},  // SHORT2 texture coordinate
      {0, 255, 0, 0, 0},
  };
  level_vdecl = create_vdecl(elements);
  level_shader = create_shader("level.sh", nullptr);
  tile_shades_shader = create_shader("level.sh", "TILE_SHADES\0" "1\0");
}

void close_level_rendering() {
  for (Shader** s : {&level_shader, &tile_shades_shader}) {
    if (*s)
      destroy_shader(*s);
    *s = nullptr;
  }
}

// ---- renderers ---------------------------------------------------------------------

static int next_power_of_two(int v) {
  int p = 1;
  while (p < v)
    p *= 2;
  return p;
}

LevelRenderer* level_renderer = nullptr;

LevelRenderer* create_level_renderer(LevelCell* cells, int cellStride, int rowStride, int wd, int ht, int texWd,
                                     int texHt) {
  LevelRenderer* r = new LevelRenderer{cells, cellStride, rowStride, wd, ht, nullptr, nullptr, 0, 0};
  reset_renderer(r, texWd, texHt);
  return r;
}

static void destroy_textures(LevelRenderer* r) {
  destroy_texture(r->texLayer0);
  destroy_texture(r->texLayer1);
  r->texLayer0 = r->texLayer1 = nullptr;
}

void destroy_renderer(LevelRenderer*& r) {
  if (!r)
    return;
  destroy_textures(r);
  delete r;
  r = nullptr;
}

void reset_renderer(LevelRenderer* r, int texWd, int texHt) {
  if (!r)
    return;
  destroy_textures(r);
  if (texWd < 1 || texWd > r->wd)
    texWd = r->wd;
  if (texHt < 1 || texHt > r->ht)
    texHt = r->ht;
  r->texWd = next_power_of_two(texWd);
  r->texHt = next_power_of_two(texHt);
  debug("creating %dx%d level textures", r->texWd, r->texHt);
  r->texLayer0 = create_dynamic_texture(r->texWd, r->texHt, 1);
  r->texLayer1 = create_dynamic_texture(r->texWd, r->texHt, 1);
  if (!r->texLayer0 || !r->texLayer1)
    fatal("Can't create dynamic textures for the level");
}

void invalidate_renderer(LevelRenderer*, int, int, int, int) {}
void invalidate_all_renderer(LevelRenderer*) {}

// ---- the level pass ----------------------------------------------------------------

void start_level_rendering() {
  // Reported under a fixed place, so the text stays the same from build to build.
  if (common_vb_writer.startPtr)
    assert_failed("!common_vb_writer.started()", "levelRenderer.cpp", 64);
  get_glob_tm(saved_glob_tm);
  level_tm = matrix_identity();
  cells_on_pixels = grid_on_pixels(saved_glob_tm, 1);
  set_vdecl(level_vdecl);
  set_shader(level_shader);
  set_cull_mode(0);
  set_atest(128);
  // Opaque layers, whatever was drawn before them.
  set_blend_none();
  // The layers are drawn front to back, and the post-effects read their depth.
  set_zenable(true);
  set_zwrite(true);
  set_texture_filter(0, false);
  set_texture_filter(1, true);
  set_texture_address(1, 0, -1, -1);
  bound_layer = nullptr;
  common_vb_writer.start(dyn_vb_draw_prims, TRIANGLE_LIST, 0, sizeof(LevelVertex));
}

static bool is_identity(const Matrix44& m) {
  Matrix44 id = matrix_identity();
  return memcmp(&m, &id, sizeof(m)) == 0;
}

static void set_transform_consts(const Matrix44& m) { set_vs_consts(0, &m.m[0][0], 4); }

void set_level_tm(const Matrix44& m) {
  if (memcmp(&m, &level_tm, sizeof(m)) == 0)
    return;
  common_vb_writer.flush(false);
  level_tm = m;
  Matrix44 tm = matrix_mul(m, saved_glob_tm);
  set_transform_consts(tm);
  bool on_pixels = grid_on_pixels(tm, 1);
  if (on_pixels != cells_on_pixels)
    bound_layer = nullptr;  // the next quad chooses its shader again
  cells_on_pixels = on_pixels;
}

void end_level_rendering() {
  common_vb_writer.flush(true);
  bound_layer = nullptr;
  set_cull_mode(1);
  set_atest(0);
  if (!is_identity(level_tm))
    set_transform_consts(saved_glob_tm);
}

// Rows from y0 up, one texel per cell, the palette colour of the given cell byte.
static void convert_layer(const LevelRenderer* r, uint8_t* dst, int pitch, int x0, int y0, int cols, int rows,
                          int byte) {
  const size_t cell_stride = size_t(r->cellStride), row_stride = size_t(r->rowStride);
  const uint8_t* row = (const uint8_t*)r->cells + size_t(x0) * cell_stride + size_t(y0) * row_stride + byte;
  for (int y = 0; y < rows; y++, row += row_stride, dst += pitch)
    palette_row(row, cell_stride, cols, (uint32_t*)dst);
}

static void draw_layer_quad(const LevelRenderer* r, Texture* layer, Texture* tile, float z, float x0, float y0,
                            int cols, int rows) {
  DynVBWriter& w = common_vb_writer;
  if (layer != bound_layer) {
    w.flush(false);
    set_texture(0, layer);
    set_texture(1, tile);
    set_shader(cells_on_pixels && set_tile_shade_consts(tile) ? tile_shades_shader : level_shader);
    alignas(16) float c16[4] = {float(r->texWd), -float(r->texHt), 0, 0};
    set_vs_consts(16, c16, 1);
    bound_layer = layer;
  }
  if (w.used() + QUAD_BYTES > w.bufSize)
    w.flush(false);
  int16_t u = int16_t(cols * (16384 / r->texWd)), v = int16_t(rows * (16384 / r->texHt));
  float x1 = x0 + float(cols), y1 = y0 + float(rows);
  LevelVertex* q = (LevelVertex*)w.writePtr;
  q[0] = {x0, y0, z, 0, 0};
  q[1] = {x1, y0, z, u, 0};
  q[2] = {x1, y1, z, u, v};
  q[3] = {x0, y0, z, 0, 0};
  q[4] = {x1, y1, z, u, v};
  q[5] = {x0, y1, z, 0, v};
  w.writePtr += QUAD_BYTES;
  w.numPrims += 2;
}

void render_area(LevelRenderer* r, int x0, int y0, int x1, int y1, float z) {
  if (!r)
    return;
  x0 = x0 > 0 ? x0 : 0;
  y0 = y0 > 0 ? y0 : 0;
  x1 = x1 < r->wd - 1 ? x1 : r->wd - 1;
  y1 = y1 < r->ht - 1 ? y1 : r->ht - 1;
  if (x0 > x1 || y0 > y1)
    return;
  x1 = x1 < x0 + r->texWd - 1 ? x1 : x0 + r->texWd - 1;
  y1 = y1 < y0 + r->texHt - 1 ? y1 : y0 + r->texHt - 1;
  // Quads still in the ring that show these textures must be drawn before they are
  // overwritten (a second rectangle of the same renderer in one pass).
  if (bound_layer == r->texLayer0 || bound_layer == r->texLayer1)
    common_vb_writer.flush(false);
  int cols = x1 - x0 + 1, rows = y1 - y0 + 1;
  // Only the cells drawn are converted and uploaded.
  int pitch0 = 0, pitch1 = 0;
  uint8_t* dst0 = (uint8_t*)lock_texture_area(r->texLayer0, &pitch0, cols, rows);
  if (!dst0)
    return;
  uint8_t* dst1 = (uint8_t*)lock_texture_area(r->texLayer1, &pitch1, cols, rows);
  if (!dst1) {
    unlock_texture(r->texLayer0, 0);
    return;
  }
  convert_layer(r, dst0, pitch0, x0, y0, cols, rows, 0);
  convert_layer(r, dst1, pitch1, x0, y0, cols, rows, 1);
  unlock_texture(r->texLayer1, 0);
  unlock_texture(r->texLayer0, 0);
  // Front to back: the depth test then rejects the background cells behind foreground
  // ones before they are shaded. The picture is the same as back to front.
  draw_layer_quad(r, r->texLayer1, get_voxel_tile_tex(), z, float(x0), float(y0), cols, rows);
  draw_layer_quad(r, r->texLayer0, get_back_tile_tex(), z + 20, float(x0), float(y0), cols, rows);
}

void render_all(LevelRenderer* r, float z) {
  if (r)
    render_area(r, 0, 0, r->wd - 1, r->ht - 1, z);
}
