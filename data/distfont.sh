// Distance-field text: top-left-origin pixels to clip space through c[16]; the fill
// in the colour, the outline band and the drop shadow in the second colour, as the
// shape colour places them. Premultiplied alpha.
#include "d3d9.inc"

#ifdef VSH
layout(location = 0) in vec4 in_pos;
layout(location = 4) in vec4 in_color;
layout(location = 5) in vec4 in_color2;
layout(location = 6) in vec4 in_tex;
layout(location = 7) in vec4 in_shape;
layout(location = 0) out vec4 v_color;
layout(location = 1) out vec4 v_color2;
layout(location = 2) out vec2 v_uv;
layout(location = 3) flat out vec4 v_shape;

void main() {
  d3d9_set_position(vec4(in_pos.xy * c[16].xy + c[16].zw, 0.0, 1.0));
  v_color = in_color;
  v_color2 = in_color2;
  v_uv = in_tex.xy;
  v_shape = in_shape;
}
#endif

#ifdef PSH
#include "dist_field.inc"
layout(binding = 0) uniform sampler2D s0;
layout(location = 0) in vec4 v_color;
layout(location = 1) in vec4 v_color2;
layout(location = 2) in vec2 v_uv;
layout(location = 3) flat in vec4 v_shape;

void main() { d3d9_output(df_paint(s0, v_uv, v_shape, v_color, v_color2, v_color2)); }
#endif
