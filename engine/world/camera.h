#pragma once
// The camera: follows the hero once per step with a five-step smoothing, and is
// interpolated between steps for each rendered frame.
#include <xmmintrin.h>

constexpr int CAM_HISTORY = 5;

extern __m128 cur_cam_pos;
extern __m128 prev_cam_pos;
extern __m128 cam_history[CAM_HISTORY];
extern __m128 free_cam_pos;

__m128 get_camera_pos();
void move_camera(__m128 pos, float);
void interp_camera(float t);
void reset_camera();
void update_camera(float);
// Where the camera wants to be for a hero at p aiming at g.
__m128 desired_camera_pos(__m128 p, __m128 g);
