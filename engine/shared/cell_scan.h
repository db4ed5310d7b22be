// Fast tests over runs of level cells: whether any of 16 consecutive cells has a
// non-zero byte in one layer.
#pragma once

#include <emmintrin.h>

#include <cstdint>

#include "engine/shared/level_map.h"

// Byte masks selecting one layer of 16 interleaved cells (48 bytes).
struct LayerMasks {
  __m128i m[3];
};

inline LayerMasks layer_masks(int layer) {
  alignas(16) uint8_t bytes[48];
  for (int i = 0; i < 48; i++)
    bytes[i] = i % 3 == layer ? 0xFF : 0;
  LayerMasks lm;
  for (int k = 0; k < 3; k++)
    lm.m[k] = _mm_load_si128((const __m128i*)(bytes + 16 * k));
  return lm;
}

// True when one of the 16 cells starting at `cells` has a non-zero byte in the layer.
inline bool any16(const LevelCell* cells, const LayerMasks& lm) {
  const __m128i* p = (const __m128i*)cells;
  __m128i v = _mm_or_si128(_mm_or_si128(_mm_and_si128(_mm_loadu_si128(p), lm.m[0]),
                                        _mm_and_si128(_mm_loadu_si128(p + 1), lm.m[1])),
                           _mm_and_si128(_mm_loadu_si128(p + 2), lm.m[2]));
  return _mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_setzero_si128())) != 0xFFFF;
}
