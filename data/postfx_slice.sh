// One depth slice of the post-effect target: a full-screen quad lying in the world
// plane z = c16.x (through the frame's transform), written with pixel constant 16
// wherever the scene's depth is at or behind that plane. The frame draws it at z = 18
// with (0, 1, 0, 0) and at z = 50 with zero over a target cleared to (1, 0, 0, 0), which
// leaves three bands:
//   red   (1, 0, 0, 0): the scene is nearer than z = 18 (the level's foreground at
//                       z = 0, sprites);
//   green (0, 1, 0, 0): between z = 18 and 50 (the level's back layer at z = 20);
//   zero  (0, 0, 0, 0): beyond z = 50 (nothing but the backdrop).
#include "d3d9.inc"
#include "world.inc"

#ifdef VSH
layout(location = 0) in vec3 in_pos;

void main() {
  vec4 plane = world_to_clip(vec3(0.0, 0.0, c[16].x));
  d3d9_set_position(vec4(in_pos.xy, plane.z / plane.w, 1.0));
}
#endif

#ifdef PSH
void main() { d3d9_output(c[16]); }
#endif
