// The benchmark's floor: one full-screen pass that reads one texture per pixel.
#include "d3d9.inc"

#ifdef VSH
layout(location = 0) in vec3 in_pos;
layout(location = 0) out vec2 v_uv;

void main() {
  d3d9_set_position(vec4(in_pos.xy, 0.0, 1.0));
  v_uv = in_pos.xy * vec2(0.5, -0.5) + 0.5;
}
#endif

#ifdef PSH
layout(binding = 0) uniform sampler2D s0;
layout(location = 0) in vec2 v_uv;

void main() { d3d9_output(texture(s0, v_uv)); }
#endif
