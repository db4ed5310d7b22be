// The sprite pass's drawing order: nearest first.
//
// Under the depth test "less or equal" with depth writes and no blending, each pixel
// ends up showing the nearest opaque texel drawn there, the last drawn of equal depth
// ("less": the first). A stable sort by depth keeps both, so the picture is the same,
// while every texel behind one drawn before it fails the depth test before shading. The
// play scene's backdrop layers, drawn far to near, overlap each other several times.
#include "engine/render/sprite_pass.h"

#include <algorithm>
#include <vector>

#include "engine/core/geometry.h"
#include "engine/render/d3d_device.h"
#include "engine/render/d3d_states.h"
#include "engine/render/renderBatch.h"
#include "engine/render/sprite.h"

namespace {

// Steps of the scene's depth buffer (24 bits) over the depth range.
constexpr double DEPTH_STEPS = 16777215.0;

DWORD render_state(D3DRENDERSTATETYPE state) {
  DWORD value = 0;
  d3d->GetRenderState(state, &value);
  return value;
}

bool nearest_wins() {
  DWORD func = render_state(D3DRS_ZFUNC);
  return render_state(D3DRS_ZENABLE) && render_state(D3DRS_ZWRITEENABLE) && !render_state(D3DRS_ALPHABLENDENABLE) &&
         !render_state(D3DRS_STENCILENABLE) && (func == D3DCMP_LESS || func == D3DCMP_LESSEQUAL);
}

// Depth per unit of z when the frame's transform makes depth = z * scale + offset at every
// x and y (w constant); 0 otherwise.
float depth_per_z() {
  Matrix44 g;
  get_glob_tm(g);
  bool flat = g.m[0][2] == 0 && g.m[1][2] == 0 && g.m[0][3] == 0 && g.m[1][3] == 0 && g.m[2][3] == 0 && g.m[3][3] > 0;
  return flat ? g.m[2][2] / g.m[3][3] : 0.0f;
}

// A sprite quad lies at the z of its vertices.
float depth_key(RenderBatchItem* item, float scale) { return ((const SpriteVertex*)item->vertices())->z * scale; }

// Reorders one group's items, unless two different depths lie too close for the depth
// buffer to tell apart (the order of those two could matter).
void order_group(RenderBatchGroup& g, float scale) {
  static std::vector<RenderBatchItem*> items;
  items.clear();
  for (RenderBatchItem* it = g.first; it; it = it->next)
    items.push_back(it);
  std::stable_sort(items.begin(), items.end(),
                   [scale](RenderBatchItem* a, RenderBatchItem* b) { return depth_key(a, scale) < depth_key(b, scale); });
  for (size_t i = 1; i < items.size(); i++) {
    double step = ((double)depth_key(items[i], scale) - depth_key(items[i - 1], scale)) * DEPTH_STEPS;
    if (step != 0 && step < 2)
      return;
  }
  if (items.empty())
    return;
  for (size_t i = 0; i + 1 < items.size(); i++)
    items[i]->next = items[i + 1];
  items.back()->next = nullptr;
  g.first = items.front();
  g.last = items.back();
}

}  // namespace

void order_sprites_nearest_first(RenderBatch& batch) {
  float scale = depth_per_z();
  if (scale == 0 || !nearest_wins())
    return;
  for (RenderBatchGroup& g : batch.groups)
    if (g.state == &sprite_state)
      order_group(g, scale);
}
