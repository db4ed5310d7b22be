// The backdrop: a noise image tiled at four world units per texel across the screen
// (c16 = (screen width, -screen height) in texels), shading from colour A (c17) where it
// is dark to colour B (c18) where it is bright. Drawn at the far plane. A full-screen
// quad has w = 1: its coordinates are interpolated without a division by w.
#include "d3d9.inc"

#ifdef VSH
layout(binding = 0) uniform sampler2D s0;
layout(location = 0) in vec3 in_pos;
layout(location = 0) noperspective out vec2 v_uv;
layout(location = 1) flat out vec3 v_color_a;
layout(location = 2) flat out vec3 v_color_b;

void main() {
  d3d9_set_position(vec4(in_pos.xy, 1.0, 1.0));
  v_uv = in_pos.xy * c[16].xy * 0.5 / vec2(textureSize(s0, 0));
  v_color_a = c[17].rgb;
  v_color_b = c[18].rgb;
}
#endif

#ifdef PSH
layout(binding = 0) uniform sampler2D s0;
layout(location = 0) noperspective in vec2 v_uv;
layout(location = 1) flat in vec3 v_color_a;
layout(location = 2) flat in vec3 v_color_b;

void main() { d3d9_output(vec4(mix(v_color_a, v_color_b, texture(s0, v_uv).r), 1.0)); }
#endif
