#pragma once
// The shape colour of distance-field drawing: four thresholds and offsets packed as a
// D3dColor, each clamped to 0..1, times 255, rounded.
#include "engine/core/geometry.h"

inline D3dColor pack_shape(float alpha, float red, float green, float blue) {
  return color_to_d3d(v_make(red, green, blue, alpha));
}

// Drawing with no batch state given and none owned draws nothing; said once per caller.
void log_missing_batch_state(const char* caller);
