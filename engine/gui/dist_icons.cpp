// Distance-field icon sets: the description file, lookup by name and icon quads.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "engine/core/mem.h"
#include "engine/gui/dist_font.h"
#include "engine/gui/dist_shape.h"
#include "engine/gui/font_description.h"
#include "engine/render/d3d_textures.h"

DistIcons::DistIcons() : texture(nullptr), batchState(nullptr) {}

DistIcons::~DistIcons() { clear(); }

void DistIcons::clear() {
  delete batchState;
  batchState = nullptr;
  free_texture(texture);
  texture = nullptr;
  for (DistIcon& i : icons) dlfree(i.name);
  icons.clearAndFree();
}

static char* copy_name(const char* name) {
  size_t n = strlen(name) + 1;
  char* copy = (char*)dlmalloc(n);
  if (copy) memcpy(copy, name, n);
  return copy;
}

static bool read_icons(DescriptionReader& in, DistIcons& set, char* page) {
  const char* line;
  int scaleW = 0, scaleH = 0, count = 0;
  if (!(line = in.next()) ||
      sscanf(line, "info file=\"%255[^\"]\" scaleW=%d scaleH=%d spread=%d", page, &scaleW, &scaleH, &set.spread) != 4)
    return false;
  if (scaleW <= 0 || scaleH <= 0 || set.spread <= 0) return false;
  set.invScaleW = 1.0f / scaleW;
  set.invScaleH = 1.0f / scaleH;
  if (!(line = in.next()) || sscanf(line, "icons count=%d", &count) != 1 || !valid_count(count)) return false;
  set.icons.resize(count);
  for (int i = 0; i < count; i++) {
    char name[256];
    float x, y;
    DistIcon& icon = set.icons[i];
    if (!(line = in.next()) || sscanf(line, "icon \"%255[^\"]\" %f %f %f %f %f %f %f %f", name, &icon.orgW, &icon.orgH,
                                      &x, &y, &icon.width, &icon.height, &icon.xoffset, &icon.yoffset) != 9)
      return false;
    icon.u = x * set.invScaleW;
    icon.v = y * set.invScaleH;
    icon.name = copy_name(name);
  }
  return true;
}

bool DistIcons::load(const char* path) {
  pageError.assign("");
  PHYSFS_File* file = open_description(path);
  if (!file) return false;
  PreviousPage previous(texture);
  clear();
  char page[256];
  DescriptionReader in(file);
  bool ok = read_icons(in, *this, page);
  PHYSFS_close(file);
  if (!ok) return false;
  texture = load_page_texture(page, pageError);
  if (!texture) {
    clear();
    return false;
  }
  if (dist_icon_shader)
    batchState = new DistFontBatchState(dist_icon_shader, dist_icon_vdecl, sizeof(DistIconVertex), texture);
  return true;
}

int DistIcons::getIconId(const char* name) {
  if (!name) return -1;
  for (int i = 0; i < icons.size(); i++)
    if (icons[i].name && strcmp(icons[i].name, name) == 0) return i;
  return -1;
}

float DistIcons::getOrgW(int index) { return index >= 0 && index < icons.size() ? icons[index].orgW : 0; }

float DistIcons::getOrgH(int index) { return index >= 0 && index < icons.size() ? icons[index].orgH : 0; }

void DistIcons::renderIcon(RenderBatch& batch, __m128 transform, float size, int index, float shape0, float shape1,
                           float shape2, float shape3, D3dColor c0, D3dColor c1, D3dColor c2, D3dColor c3,
                           D3dColor c4, BaseRenderBatchState* state) {
  if (index < 0 || index >= icons.size()) return;
  if (!state) state = batchState;
  if (!state) {
    log_missing_batch_state("renderIcon");
    return;
  }
  const DistIcon& icon = icons[index];
  float k = 1.0f / (spread * size);
  D3dColor shape = pack_shape((1 - (shape0 + 1) * 0.5f * k) * 0.5f, 0.5f - invScaleW * shape1 * 32,
                              0.5f - invScaleH * shape2 * 32, (1 - (shape3 + 1) * 0.5f * k) * 0.5f);
  float tx = v_x(transform), ty = v_y(transform), a = v_z(transform), b = v_w(transform);
  float left = icon.xoffset * size, right = (icon.xoffset + icon.width) * size;
  float top = -icon.yoffset * size, bottom = (icon.height - icon.yoffset) * size;
  auto map_x = [&](float lx, float ly) { return a * lx - b * ly + tx; };
  auto map_y = [&](float lx, float ly) { return b * lx + a * ly + ty; };
  float xs[4] = {map_x(left, top), map_x(right, top), map_x(right, bottom), map_x(left, bottom)};
  float ys[4] = {map_y(left, top), map_y(right, top), map_y(right, bottom), map_y(left, bottom)};
  float uL = icon.u, vT = icon.v, uR = icon.u + icon.width * invScaleW, vB = icon.v + icon.height * invScaleH;

  float s = (float)spread;
  __m128 rect = v_make(fminf(fminf(xs[0], xs[1]), fminf(xs[2], xs[3])) - s,
                       fminf(fminf(ys[0], ys[1]), fminf(ys[2], ys[3])) - s,
                       fmaxf(fmaxf(xs[0], xs[1]), fmaxf(xs[2], xs[3])) + s,
                       fmaxf(fmaxf(ys[0], ys[1]), fmaxf(ys[2], ys[3])) + s);
  auto vertex = [&](int corner, float u, float v) {
    return DistIconVertex{xs[corner], ys[corner], c0, shape, u, v, c1, c2, c3, c4};
  };
  DistIconVertex quad[6] = {vertex(0, uL, vT), vertex(1, uR, vT), vertex(2, uR, vB),
                            vertex(0, uL, vT), vertex(2, uR, vB), vertex(3, uL, vB)};
  memcpy(batch.add(state, rect, sizeof(quad), 2), quad, sizeof(quad));
}
