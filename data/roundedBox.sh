// Rounded boxes: a filled box of the given centre, size and corner radii in the
// colour, its edge smoothed over the edge width, over a second layer in the second
// colour (the box moved by the layer offset, grown by the spread, blurred over the
// blur width; none when the spread is negative). Premultiplied alpha.
#include "d3d9.inc"

#ifdef VSH
layout(location = 0) in vec4 in_pos;
layout(location = 4) in vec4 in_color;
layout(location = 5) in vec4 in_color2;
layout(location = 6) in vec4 in_box;      // centre x, y, width, height
layout(location = 7) in vec4 in_corners;  // radii / 255: top left, top right, bottom right, bottom left
layout(location = 8) in vec4 in_layer;    // offset x, y and blur (+128) / 255, edge / 255
layout(location = 9) in vec4 in_spread;
layout(location = 0) out vec2 v_pos;
layout(location = 1) flat out vec4 v_box;
layout(location = 2) flat out vec4 v_radii;
layout(location = 3) flat out vec4 v_color;
layout(location = 4) flat out vec4 v_color2;
layout(location = 5) flat out vec4 v_layer;  // offset x, y, blur, edge in pixels
layout(location = 6) flat out float v_spread;

void main() {
  d3d9_set_position(vec4(in_pos.xy * c[17].xy + c[17].zw, 0.0, 1.0));
  v_pos = in_pos.xy;
  v_box = in_box;
  v_radii = floor(in_corners * 255.0 + 0.5);
  v_color = in_color;
  v_color2 = in_color2;
  vec4 bytes = floor(in_layer * 255.0 + 0.5);
  v_layer = vec4(bytes.xyz - 128.0, max(bytes.w, 0.5));
  v_spread = in_spread.x;
}
#endif

#ifdef PSH
layout(location = 0) in vec2 v_pos;
layout(location = 1) flat in vec4 v_box;
layout(location = 2) flat in vec4 v_radii;
layout(location = 3) flat in vec4 v_color;
layout(location = 4) flat in vec4 v_color2;
layout(location = 5) flat in vec4 v_layer;
layout(location = 6) flat in float v_spread;

// Signed distance to a box of half size h with the corner radius of p's quadrant
// (y down: top left, top right, bottom right, bottom left).
float box_distance(vec2 p, vec2 h, vec4 radii) {
  float r = p.x < 0.0 ? (p.y < 0.0 ? radii.x : radii.w) : (p.y < 0.0 ? radii.y : radii.z);
  r = min(r, min(h.x, h.y));
  vec2 q = abs(p) - h + r;
  return length(max(q, 0.0)) + min(max(q.x, q.y), 0.0) - r;
}

void main() {
  vec2 half_size = max(v_box.zw * 0.5, vec2(0.0));
  float edge = v_layer.w;
  float d = box_distance(v_pos - v_box.xy, half_size, v_radii);
  float fill = clamp(0.5 - d / edge, 0.0, 1.0) * v_color.a;
  vec4 color = vec4(v_color.rgb * fill, fill);
  if (v_spread >= 0.0) {
    float blur = max(v_layer.z, 0.0);
    float sd = box_distance(v_pos - v_box.xy - v_layer.xy, half_size + v_spread, v_radii + v_spread);
    float cover = blur > 0.5 ? 1.0 - smoothstep(-blur, blur, sd) : clamp(0.5 - sd / edge, 0.0, 1.0);
    float a = cover * v_color2.a;
    color += vec4(v_color2.rgb * a, a) * (1.0 - color.a);
  }
  d3d9_output(color);
}
#endif
