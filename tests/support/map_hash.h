#pragma once
// The level map's hash under the name the hot-reload tests use; it lives with the map
// (engine/shared/level_map.h).
#include <cstdint>

#include "engine/shared/level_map.h"

inline uint64_t map_hash() { return level_map_hash(); }
