// World sprites: the atlas texel (point sampled) lit by the voxel tile, which repeats
// once per atlas pixel (c16 = (atlas side, -atlas side): texture coordinates to atlas
// pixels, the tile upright), multiplied by colour 0 and blended toward colour 1's rgb by
// colour 1's alpha (a hit flash). Pixels of alpha 0 fall to the alpha test. Built with
// PLAIN_COLORS for quads of colour 0 white and colour 1 transparent, the colour steps are
// left out: they change nothing then. Built with TILE_SHADES where every atlas pixel
// covers whole screen pixels, the tile's shades come from pixel constants (tile.inc).
// The colours are the same at a quad's four corners, so they are not interpolated; the
// world's projection is orthographic (w = 1), so neither are positions divided by w.
#include "d3d9.inc"
#include "world.inc"

#ifdef VSH
layout(location = 0) in vec3 in_pos;
layout(location = 4) in vec4 in_color0;
layout(location = 5) in vec4 in_color1;
layout(location = 6) in vec2 in_uv;
layout(location = 0) noperspective out vec2 v_uv;
layout(location = 1) noperspective out vec2 v_tile;
layout(location = 2) flat out vec4 v_color0;
layout(location = 3) flat out vec4 v_color1;

void main() {
  d3d9_set_position(world_to_clip(in_pos));
  v_uv = in_uv * (1.0 / 16384.0);
  v_tile = v_uv * c[16].xy;
  v_color0 = in_color0;
  v_color1 = in_color1;
}
#endif

#ifdef PSH
layout(binding = 0) uniform sampler2D s0;
layout(binding = 1) uniform sampler2D s1;
#include "tile.inc"
layout(location = 0) noperspective in vec2 v_uv;
layout(location = 1) noperspective in vec2 v_tile;
layout(location = 2) flat in vec4 v_color0;
layout(location = 3) flat in vec4 v_color1;

void main() {
  vec4 texel = texture(s0, v_uv);
  float shade = tile_shade(v_tile);
  vec4 color = vec4(texel.rgb * shade, texel.a);
#ifndef PLAIN_COLORS
  color *= v_color0;
  color.rgb = mix(color.rgb, v_color1.rgb, v_color1.a);
#endif
  d3d9_output(color);
}
#endif
