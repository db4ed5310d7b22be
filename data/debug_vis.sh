// Debug shapes: world positions through the frame's transform, flat vertex colours.
// Meshes whose vertices are a position and a colour (16 bytes) draw with it too.
#include "d3d9.inc"
#include "world.inc"

#ifdef VSH
layout(location = 0) in vec3 in_pos;
layout(location = 4) in vec4 in_color;
layout(location = 0) out vec4 v_color;

void main() {
  d3d9_set_position(world_to_clip(in_pos));
  v_color = in_color;
}
#endif

#ifdef PSH
layout(location = 0) in vec4 v_color;

void main() { d3d9_output(v_color); }
#endif
