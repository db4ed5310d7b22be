// Level composition: builds the whole level for cur_level from fixed pieces, the filled
// room-cell grid and the coordinate lists the placed templates filled.
#pragma once

// Rebuilds level_data, level_tile_map and level_placements for cur_level.
void generate_level();
