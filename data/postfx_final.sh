// The final composite onto the back buffer: the scene image (sampler 0) darkened where
// the near world (red in the post-effect target, sampler 1) lies one world unit up and
// to the left (c16 = one world unit in texture coordinates), that is a shadow cast down
// and right onto the level's back layer (green) and, fainter, onto the backdrop. Then
// the post-effect colour c17: its alpha (times 4) fades toward grey and its rgb darkens.
// That last step changes nothing while c17 is zero, as in play: it is built only with
// POST_COLOR defined.
// A full-screen quad has w = 1: its coordinates are interpolated without a division by w.
#include "d3d9.inc"

#ifdef VSH
layout(location = 0) in vec3 in_pos;
layout(location = 0) noperspective out vec2 v_uv;

void main() {
  d3d9_set_position(vec4(in_pos.xy, 0.0, 1.0));
  v_uv = in_pos.xy * c[16].xy + c[16].zw;
}
#endif

#ifdef PSH
layout(binding = 0) uniform sampler2D s0;
layout(binding = 1) uniform sampler2D s1;
layout(location = 0) noperspective in vec2 v_uv;

void main() {
  vec3 color = texture(s0, v_uv).rgb;
  vec2 here = texture(s1, v_uv).rg;
  float caster = texture(s1, v_uv - c[16].xy).r;
  float shadow = caster * (1.0 - here.r) * (here.g > 0.5 ? 0.5 : 0.3);
  color *= 1.0 - shadow;
#ifdef POST_COLOR
  float grey = dot(color, vec3(0.299, 0.587, 0.114));
  color = mix(color, vec3(grey), min(c[17].a * 4.0, 1.0)) * (1.0 - c[17].rgb);
#endif
  d3d9_output(vec4(color, 1.0));
}
#endif
