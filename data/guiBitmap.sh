// Interface sprites from the atlas and bitmap-font text: top-left-origin pixels to
// clip space through c[17]; the texel times the vertex colour, premultiplied. c16 is
// the texture's size with the height negated for the sprite atlas: sprites are lit by
// the voxel tile (sampler 1), repeating once per atlas pixel as in the world's sprite
// pass; the GUI's own font (positive height) is drawn flat.
#include "d3d9.inc"

#ifdef VSH
layout(location = 0) in vec4 in_pos;
layout(location = 4) in vec4 in_color;
layout(location = 6) in vec4 in_tex;
layout(location = 0) out vec4 v_color;
layout(location = 1) out vec2 v_uv;
layout(location = 2) out vec2 v_tile;
layout(location = 3) flat out float v_lit;

void main() {
  d3d9_set_position(vec4(in_pos.xy * c[17].xy + c[17].zw, 0.0, 1.0));
  v_color = in_color;
  v_uv = in_tex.xy;
  v_tile = in_tex.xy * c[16].xy;
  v_lit = c[16].y < 0.0 ? 1.0 : 0.0;
}
#endif

#ifdef PSH
layout(binding = 0) uniform sampler2D s0;
layout(binding = 1) uniform sampler2D s1;
layout(location = 0) in vec4 v_color;
layout(location = 1) in vec2 v_uv;
layout(location = 2) in vec2 v_tile;
layout(location = 3) flat in float v_lit;

void main() {
  vec4 texel = texture(s0, v_uv);
  float shade = mix(1.0, texture(s1, v_tile).r * 2.0, v_lit);
  vec4 color = vec4(texel.rgb * shade, texel.a) * v_color;
  d3d9_output(vec4(color.rgb * color.a, color.a));
}
#endif
