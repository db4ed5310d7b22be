#pragma once
// Reserves the quads of one text or shape in a render batch. A text with more quads
// than one vertex-ring buffer holds goes in as several items with the same
// rectangle, since an item is copied into the ring whole.
#include <cstdint>

#include "engine/render/dynVBWriter.h"
#include "engine/render/renderBatch.h"

class BatchQuads {
public:
  // quads: the total to be written (nothing is reserved for 0 unless reserveEmpty).
  BatchQuads(RenderBatch& batch, BaseRenderBatchState* state, __m128 rect, int quadBytes, int quads,
             bool reserveEmpty = false)
      : batch(batch), state(state), rect(rect), quadBytes(quadBytes), remaining(quads) {
    int ring = common_vb_writer.bufSize;
    perItem = ring >= quadBytes ? ring / quadBytes : INT32_MAX;
    if (quads == 0 && reserveEmpty) batch.add(state, rect, 0, 0);
  }
  // Room for the next quad's bytes.
  uint8_t* next() {
    if (leftInItem == 0) {
      leftInItem = remaining < perItem ? remaining : perItem;
      out = batch.add(state, rect, leftInItem * quadBytes, leftInItem * 2);
    }
    uint8_t* quad = out;
    out += quadBytes;
    leftInItem--;
    remaining--;
    return quad;
  }

private:
  RenderBatch& batch;
  BaseRenderBatchState* state;
  __m128 rect;
  int quadBytes;
  int remaining;
  int perItem = 0;
  int leftInItem = 0;
  uint8_t* out = nullptr;
};
