// Distance-field icons: top-left-origin pixels to clip space through c[16]; the fill
// in c0 shaded by a vertical gradient from c3 (top) to c4 (bottom), the outline band
// in c1 and the drop shadow in c2, as the shape colour places them. Premultiplied.
#include "d3d9.inc"

#ifdef VSH
layout(location = 0) in vec4 in_pos;
layout(location = 4) in vec4 in_c0;
layout(location = 5) in vec4 in_shape;
layout(location = 6) in vec4 in_tex;
layout(location = 7) in vec4 in_c1;
layout(location = 8) in vec4 in_c2;
layout(location = 9) in vec4 in_c3;
layout(location = 10) in vec4 in_c4;
layout(location = 0) out vec4 v_fill;
layout(location = 1) flat out vec4 v_outline;
layout(location = 2) flat out vec4 v_shadow;
layout(location = 3) out vec2 v_uv;
layout(location = 4) flat out vec4 v_shape;

void main() {
  d3d9_set_position(vec4(in_pos.xy * c[16].xy + c[16].zw, 0.0, 1.0));
  // Quads are written as top-left, top-right, bottom-right, top-left, bottom-right,
  // bottom-left: vertices 2, 4 and 5 of each six are the bottom edge.
  int corner = gl_VertexID % 6;
  float t = (corner == 2 || corner == 4 || corner == 5) ? 1.0 : 0.0;
  v_fill = in_c0 * mix(in_c3, in_c4, t);
  v_outline = in_c1;
  v_shadow = in_c2;
  v_uv = in_tex.xy;
  v_shape = in_shape;
}
#endif

#ifdef PSH
#include "dist_field.inc"
layout(binding = 0) uniform sampler2D s0;
layout(location = 0) in vec4 v_fill;
layout(location = 1) flat in vec4 v_outline;
layout(location = 2) flat in vec4 v_shadow;
layout(location = 3) in vec2 v_uv;
layout(location = 4) flat in vec4 v_shape;

void main() { d3d9_output(df_paint(s0, v_uv, v_shape, v_fill, v_outline, v_shadow)); }
#endif
