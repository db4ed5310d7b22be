// The following camera.
#include "engine/world/camera.h"

#include <algorithm>

#include "engine/shared/game_state.h"
#include "engine/world/gameobj_api.h"

__m128 cur_cam_pos;
__m128 prev_cam_pos;
__m128 cam_history[CAM_HISTORY];
// Before the first reset the camera looks at the map from a distance.
__m128 free_cam_pos = {0, 0, -120, 1};

namespace {

float lane(__m128 v, int i) {
  alignas(16) float f[4];
  _mm_store_ps(f, v);
  return f[i];
}

__m128 raised_hero(__m128 p) { return _mm_setr_ps(lane(p, 0), lane(p, 1) + 9.0f, 0.0f, 1.0f); }

}  // namespace

__m128 get_camera_pos() { return cur_cam_pos; }

void move_camera(__m128 pos, float) {
  prev_cam_pos = cur_cam_pos;
  cur_cam_pos = pos;
}

void interp_camera(float t) {
  float f = game_paused ? 0.05f : t;
  free_cam_pos = _mm_add_ps(prev_cam_pos, _mm_mul_ps(_mm_sub_ps(cur_cam_pos, prev_cam_pos), _mm_set1_ps(f * 20.0f)));
}

void reset_camera() {
  __m128 c = raised_hero(gameobj_func_table.get_hero_pos());
  cur_cam_pos = prev_cam_pos = free_cam_pos = c;
  for (__m128& h : cam_history)
    h = c;
}

__m128 desired_camera_pos(__m128 p, __m128 g) {
  __m128 target = _mm_setr_ps(lane(g, 0), lane(g, 1), 0.0f, lane(g, 3));
  __m128 d = _mm_add_ps(target, _mm_mul_ps(_mm_set1_ps(0.6f), _mm_sub_ps(raised_hero(p), target)));
  alignas(16) float f[4];
  _mm_store_ps(f, d);
  f[1] = std::max(f[1], -150.0f);
  return _mm_load_ps(f);
}

void update_camera(float) {
  __m128 p = gameobj_func_table.get_hero_pos();
  __m128 g = gameobj_func_table.get_hero_target();
  prev_cam_pos = cur_cam_pos;
  __m128 d = desired_camera_pos(p, g);
  for (int i = 0; i < CAM_HISTORY - 1; i++)
    cam_history[i] = cam_history[i + 1];
  cam_history[CAM_HISTORY - 1] = d;
  __m128 sum = _mm_setzero_ps();
  for (const __m128& h : cam_history)
    sum = _mm_add_ps(sum, h);
  __m128 m = _mm_div_ps(sum, _mm_set1_ps(float(CAM_HISTORY)));
  float s = 0;
  for (const __m128& h : cam_history) {
    float dx = lane(h, 0) - lane(m, 0), dy = lane(h, 1) - lane(m, 1);
    s += dx * dx + dy * dy;
  }
  // A steady camera takes the new point at once; a moving one trails the average.
  cur_cam_pos = s < 1.0f ? d : m;
}
