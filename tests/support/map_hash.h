#pragma once
// One number for the whole cell map, so that two generated levels compare at a glance
// (level_dump prints it; the tests compare it across runs and reloads).
#include <cstddef>
#include <cstdint>

#include "engine/shared/level_map.h"

// The FNV-1a hash of level_data's bytes.
inline uint64_t map_hash() {
  uint64_t h = 1469598103934665603ull;
  const uint8_t* p = (const uint8_t*)level_data;
  for (size_t i = 0; i < sizeof(level_data); i++)
    h = (h ^ p[i]) * 1099511628211ull;
  return h;
}
