// Interface images: top-left-origin pixels to clip space through c[17]; the texel
// times the vertex colour, premultiplied.
#include "d3d9.inc"

#ifdef VSH
layout(location = 0) in vec4 in_pos;
layout(location = 4) in vec4 in_color;
layout(location = 6) in vec4 in_tex;
layout(location = 0) out vec4 v_color;
layout(location = 1) out vec2 v_uv;

void main() {
  d3d9_set_position(vec4(in_pos.xy * c[17].xy + c[17].zw, 0.0, 1.0));
  v_color = in_color;
  v_uv = in_tex.xy;
}
#endif

#ifdef PSH
layout(binding = 0) uniform sampler2D s0;
layout(location = 0) in vec4 v_color;
layout(location = 1) in vec2 v_uv;

void main() {
  vec4 color = texture(s0, v_uv) * v_color;
  d3d9_output(vec4(color.rgb * color.a, color.a));
}
#endif
