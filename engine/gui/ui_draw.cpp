// UI images, rounded boxes, lines and the interface pass's render states.
#include "engine/gui/ui_draw.h"

#include <cmath>
#include <cstring>

#include "engine/render/background.h"
#include "engine/render/d3d_device.h"
#include "engine/render/d3d_shaders.h"
#include "engine/render/d3d_states.h"
#include "engine/render/d3d_textures.h"

RenderBatch gui_batch(32768);
StdRenderBatchState rounded_box_state(nullptr, nullptr, sizeof(RoundedBoxVertex), nullptr);

static Shader* ui_image_shader = nullptr;

static const VDeclElement rounded_box_layout[] = {
    {0, 0, 2, 0, 0},   // position
    {8, 0, 4, 3, 0},   // box centre and size
    {24, 0, 5, 3, 1},  // corner radii
    {28, 0, 5, 2, 0},  // colour
    {32, 0, 5, 2, 1},  // second colour
    {36, 0, 5, 3, 2},  // layer: offset, blur, edge
    {40, 0, 1, 3, 3},  // layer spread
    {0, 255, 0, 0, 0},
};

uint32_t pack_bytes(__m128 v) {
  uint32_t out = 0;
  const int shifts[4] = {16, 8, 0, 24};  // x red, y green, z blue, w alpha
  for (int i = 0; i < 4; i++) {
    float f = v_lane(v, i);
    f = f > 0 ? (f < 255 ? f : 255) : 0;  // NaN gives 0
    out |= (uint32_t)std::floor(f + 0.5f) << shifts[i];
  }
  return out;
}

void init_ui_image_render() {
  ui_image_shader = create_shader("uiImage.sh", nullptr);
  create_ui_vdecl();
}

void init_ui_image_state(StdRenderBatchState& state, Texture* texture, Shader* shader) {
  state.shader = shader ? shader : ui_image_shader;
  state.vdecl = ui_vdecl;
  state.stride = sizeof(UiVertex);
  state.texture = texture;
}

void init_rounded_box_render() {
  rounded_box_state.shader = create_shader("roundedBox.sh", nullptr);
  rounded_box_state.vdecl = create_vdecl(rounded_box_layout);
  rounded_box_state.stride = sizeof(RoundedBoxVertex);
  rounded_box_state.texture = nullptr;
}

void render_ui_image(RenderBatch& batch, StdRenderBatchState& state, __m128 rect, D3dColor color, __m128 uv) {
  float x0 = v_x(rect), y0 = v_y(rect), x1 = v_z(rect), y1 = v_w(rect);
  float u0 = v_x(uv), v0 = v_y(uv), u1 = v_z(uv), v1 = v_w(uv);
  UiVertex v[6] = {{x0, y0, color, u0, v0}, {x1, y0, color, u1, v0}, {x1, y1, color, u1, v1},
                   {x0, y0, color, u0, v0}, {x1, y1, color, u1, v1}, {x0, y1, color, u0, v1}};
  memcpy(batch.add(&state, rect, sizeof(v), 2), v, sizeof(v));
}

// Six vertices at the area's corners, each carrying the box description.
static void add_box_item(RenderBatch& batch, __m128 area, const RoundedBoxVertex& box) {
  float x0 = v_x(area), y0 = v_y(area), x1 = v_z(area), y1 = v_w(area);
  const float corners[6][2] = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y0}, {x1, y1}, {x0, y1}};
  RoundedBoxVertex* out = (RoundedBoxVertex*)batch.add(&rounded_box_state, area, 6 * sizeof(RoundedBoxVertex), 2);
  for (int i = 0; i < 6; i++) {
    RoundedBoxVertex v = box;
    v.x = corners[i][0];
    v.y = corners[i][1];
    memcpy(out + i, &v, sizeof(v));
  }
}

void render_rounded_box(RenderBatch& batch, __m128 rect, __m128 corners, D3dColor color, float edge,
                        float shadowDx, float shadowDy, float shadowBlur, D3dColor shadowColor,
                        float shadowSpread) {
  edge = edge > 0.5f ? edge : 0.5f;
  __m128 area = v_add(rect, v_make(-edge, -edge, edge, edge));
  if (shadowSpread >= 0) {
    float grow = shadowBlur + shadowSpread;
    __m128 shadow = v_add(rect, v_make(shadowDx - grow, shadowDy - grow, shadowDx + grow, shadowDy + grow));
    __m128 lo = v_min(area, shadow), hi = v_max(area, shadow);
    area = _mm_shuffle_ps(lo, hi, _MM_SHUFFLE(3, 2, 1, 0));
  }
  float x0 = v_x(rect), y0 = v_y(rect), x1 = v_z(rect), y1 = v_w(rect);
  RoundedBoxVertex box;
  box.cx = (x0 + x1) / 2;
  box.cy = (y0 + y1) / 2;
  box.w = x1 - x0;
  box.h = y1 - y0;
  box.corners = pack_bytes(corners);
  box.color = color;
  box.color2 = shadowColor;
  // Offsets and blur with a bias of 127.5 (-127.5..127.5 pixels), the edge as it is.
  box.layer = pack_bytes(v_make(shadowDx + 127.5f, shadowDy + 127.5f, shadowBlur + 127.5f, edge));
  box.spread = shadowSpread;
  add_box_item(batch, area, box);
}

void render_ui_line(RenderBatch& batch, __m128 segment, float width, D3dColor color) {
  float x0 = v_x(segment), y0 = v_y(segment), x1 = v_z(segment), y1 = v_w(segment);
  float hx = (x1 - x0) / 2, hy = (y1 - y0) / 2;
  float len = std::sqrt(hx * hx + hy * hy);
  // No direction, no normal: nothing to draw.
  if (!(len > 0)) return;
  float nx = -hy * (width / 2) / len, ny = hx * (width / 2) / len;
  float cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
  float ex = std::fabs(hx) + std::fabs(nx), ey = std::fabs(hy) + std::fabs(ny);
  RoundedBoxVertex v;
  v.cx = cx;
  v.cy = cy;
  v.w = 3 * ex;
  v.h = 3 * ey;
  v.corners = 0;
  v.color = color;
  v.color2 = 0;
  v.layer = 0x00808080;  // offset and blur at their zero, edge 0
  v.spread = 0;
  const float points[6][2] = {{x0 - nx, y0 - ny}, {x1 - nx, y1 - ny}, {x1 + nx, y1 + ny},
                              {x0 - nx, y0 - ny}, {x1 + nx, y1 + ny}, {x0 + nx, y0 + ny}};
  __m128 rect = v_make(cx - ex - 0.5f, cy - ey - 0.5f, cx + ex + 0.5f, cy + ey + 0.5f);
  RoundedBoxVertex* out = (RoundedBoxVertex*)batch.add(&rounded_box_state, rect, 6 * sizeof(RoundedBoxVertex), 2);
  for (int i = 0; i < 6; i++) {
    v.x = points[i][0];
    v.y = points[i][1];
    memcpy(out + i, &v, sizeof(v));
  }
}

void start_gui_render() {
  float W = (float)d3d_wd, H = (float)d3d_ht;
  const float c17[4] = {2 / W, -2 / H, -1 - 0.5f / W, 1 + 0.5f / H};
  set_vs_consts(17, c17, 1);
  set_texture_filter(0, false);
  set_texture(1, get_voxel_tile_tex());
  set_texture_filter(1, true);
  set_texture_address(1, 0, -1, -1);
  set_cull_mode(0);
  set_zenable(false);
  set_zwrite(false);
  set_blend_none();
  set_atest(0);
  set_texture_address(0, 0, -1, -1);
}

void end_gui_render() {
  set_cull_mode(1);
  set_zenable(true);
  set_zwrite(true);
  set_blend_none();
}
