#pragma once
// Render batches: 2D draw items recorded with their render state and the rectangle
// they cover, drawn later regrouped by state. An item is never drawn before an earlier
// item that it overlaps, so the picture equals drawing every item in the order added.
#include "engine/core/arena.h"
#include "engine/core/dynarray.h"

#include <xmmintrin.h>
#include <cstdint>

struct Shader;
struct Texture;
class IDirect3DVertexDeclaration9;

// A render state of batched drawing: binds its shader, declaration and texture
// (sampler 0), skipping what the state applied just before already bound.
class BaseRenderBatchState {
public:
  Shader* shader;
  IDirect3DVertexDeclaration9* vdecl;
  int32_t stride;
  Texture* texture;

  BaseRenderBatchState(Shader* shader, IDirect3DVertexDeclaration9* vdecl, int32_t stride, Texture* texture)
      : shader(shader), vdecl(vdecl), stride(stride), texture(texture) {}
  virtual ~BaseRenderBatchState() = default;
  // Forgets the handles (keeps the stride).
  virtual void reset();
  virtual void apply(const BaseRenderBatchState* prev);
  // Closes the vertex-ring run that apply opened.
  virtual void finish();
};

// The state of most batches: apply also starts a triangle-list run on common_vb_writer.
// Derived states must leave the run started after apply and close it in finish.
class StdRenderBatchState : public BaseRenderBatchState {
public:
  using BaseRenderBatchState::BaseRenderBatchState;
  ~StdRenderBatchState() override = default;
  void apply(const BaseRenderBatchState* prev) override;
};

struct RenderBatchItem {
  __m128 rect;  // x0, y0, x1, y1
  int32_t bytes;
  int32_t prims;
  RenderBatchItem* next;
  uint8_t* vertices() { return (uint8_t*)(this + 1); }
};

struct RenderBatchGroup {
  __m128 rect;  // union of the items' rectangles
  BaseRenderBatchState* state;
  RenderBatchItem* first;
  RenderBatchItem* last;
};

class RenderBatch {
public:
  AccumAlloc alloc;
  DynArray<RenderBatchGroup> groups;

  explicit RenderBatch(unsigned capacity = 32768);
  ~RenderBatch();
  // Room for one item's vertex bytes, valid until clear; rect (x0 <= x1, y0 <= y1)
  // must enclose everything the vertices draw, prims is their triangle count.
  uint8_t* add(BaseRenderBatchState* state, __m128 rect, int bytes, int prims);
  void clear();
  void render();
};
