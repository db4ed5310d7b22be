// Level layers: each cell's palette colour (point sampled from the layer texture, one
// texel per cell) lit by the layer's detail tile, which repeats once per cell (c16 =
// (texture width, -texture height): texture coordinates to cells, the tile upright).
// Empty cells have alpha 0 and fall to the alpha test before the tile is read. Built
// with TILE_SHADES where cells lie on whole pixels, the tile's shades come from pixel
// constants instead (tile.inc). The world's projection is orthographic (w = 1):
// coordinates need no division by w.
#include "d3d9.inc"
#include "world.inc"

#ifdef VSH
layout(location = 0) in vec3 in_pos;
layout(location = 6) in vec2 in_uv;
layout(location = 0) noperspective out vec2 v_uv;
layout(location = 1) noperspective out vec2 v_tile;

void main() {
  d3d9_set_position(world_to_clip(in_pos));
  v_uv = in_uv * (1.0 / 16384.0);
  v_tile = v_uv * c[16].xy;
}
#endif

#ifdef PSH
layout(binding = 0) uniform sampler2D s0;
layout(binding = 1) uniform sampler2D s1;
#include "tile.inc"
layout(location = 0) noperspective in vec2 v_uv;
layout(location = 1) noperspective in vec2 v_tile;

void main() {
  vec4 cell = texture(s0, v_uv);
  if (cell.a == 0.0)
    discard;
  float shade = tile_shade(v_tile);
  d3d9_output(vec4(cell.rgb * shade, cell.a));
}
#endif
