// Render batches and the standard batch states.
#include "engine/render/renderBatch.h"

#include "engine/core/fatal.h"
#include "engine/core/geometry.h"
#include "engine/render/d3d_shaders.h"
#include "engine/render/d3d_states.h"
#include "engine/render/d3d_textures.h"
#include "engine/render/dynVBWriter.h"

#include <cstring>

// Each item is one arena allocation, 16-byte aligned: the header, then the vertex bytes
// the caller fills. Groups link their items through `next`, so regrouping never moves
// a byte; render copies every item once into the shared vertex ring.
//
// The check on the arena's answer keeps its line in this file: its report names the
// file and the line ("renderBatch.cpp(24): failed ASSERT(ne)"), and tools match it.
// The arena chains a new block instead of failing, so it is a consistency check only.


uint8_t* RenderBatch::add(BaseRenderBatchState* state, __m128 rect, int bytes, int prims) {
  RenderBatchItem* ne = (RenderBatchItem*)alloc.alloc(sizeof(RenderBatchItem) + bytes, 4);
  ASSERT(ne);
  ne->rect = rect;
  ne->bytes = bytes;
  ne->prims = prims;
  ne->next = nullptr;
  // Join the newest group of this state unless an item of a later group overlaps (a
  // shared edge on the new rectangle's low side counts as overlap, one on its high
  // side does not).
  for (int i = groups.size() - 1; i >= 0; i--) {
    RenderBatchGroup& g = groups[i];
    if (g.state == state) {
      g.rect = rect_union(g.rect, rect);
      g.last->next = ne;
      g.last = ne;
      return ne->vertices();
    }
    if (!rect_overlap(g.rect, rect)) continue;
    bool blocked = false;
    for (RenderBatchItem* it = g.first; it && !blocked; it = it->next) blocked = rect_overlap(it->rect, rect);
    if (blocked) break;
  }
  RenderBatchGroup& g = groups.push();
  g.rect = rect;
  g.state = state;
  g.first = g.last = ne;
  return ne->vertices();
}

RenderBatch::RenderBatch(unsigned capacity) : alloc(capacity) {}

RenderBatch::~RenderBatch() { groups.clearAndFree(); }

void RenderBatch::clear() {
  groups.clear();
  alloc.clear();
}

void RenderBatch::render() {
  DynVBWriter& w = common_vb_writer;
  const BaseRenderBatchState* prev = nullptr;
  for (RenderBatchGroup& g : groups) {
    g.state->apply(prev);
    for (RenderBatchItem* it = g.first; it; it = it->next) {
      if (w.used() + it->bytes > w.bufSize) {
        w.flush(false);
        if (w.used() + it->bytes > w.bufSize) fatal("batch vertex buffer is not large enough");
      }
      memcpy(w.writePtr, it->vertices(), it->bytes);
      w.writePtr += it->bytes;
      w.numPrims += it->prims;
    }
    g.state->finish();
    prev = g.state;
  }
}

// ---- states -------------------------------------------------------------------------

void BaseRenderBatchState::reset() {
  shader = nullptr;
  vdecl = nullptr;
  texture = nullptr;
}

void BaseRenderBatchState::apply(const BaseRenderBatchState* prev) {
  if (!prev || prev->shader != shader) set_shader(shader);
  if (!prev || prev->vdecl != vdecl) set_vdecl(vdecl);
  if (!prev || prev->texture != texture) set_texture(0, texture);
}

void BaseRenderBatchState::finish() { common_vb_writer.flush(true); }

void StdRenderBatchState::apply(const BaseRenderBatchState* prev) {
  BaseRenderBatchState::apply(prev);
  common_vb_writer.start(dyn_vb_draw_prims, 4, 0, stride);
}
