// System font: whole-pixel positions (origin bottom left, y up) to clip space through
// c[16], texel coordinates to texture coordinates through c[17]; the texel times the
// vertex colour. Solid rectangles carry the texture coordinate -1 on both axes and are
// drawn white, whatever the sampler's addressing makes of -1.
#include "d3d9.inc"

#ifdef VSH
layout(location = 0) in vec4 in_pos;
layout(location = 4) in vec4 in_color;
layout(location = 6) in vec4 in_tex;
layout(location = 0) out vec4 v_color;
layout(location = 1) out vec2 v_uv;
layout(location = 2) flat out float v_solid;

void main() {
  d3d9_set_position(vec4(in_pos.xy * c[16].xy + c[16].zw, 0.0, 1.0));
  v_color = in_color;
  v_uv = in_tex.xy * c[17].xy;
  v_solid = in_tex.x < 0.0 && in_tex.y < 0.0 ? 1.0 : 0.0;
}
#endif

#ifdef PSH
layout(binding = 0) uniform sampler2D s0;
layout(location = 0) in vec4 v_color;
layout(location = 1) in vec2 v_uv;
layout(location = 2) flat in float v_solid;

void main() {
  vec4 texel = v_solid > 0.5 ? vec4(1.0) : texture(s0, v_uv);
  d3d9_output(texel * v_color);
}
#endif
