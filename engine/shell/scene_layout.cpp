// The screen layout: the whole-pixel scale of the world, the camera offset, the
// projection, and the camera matrix built from the interpolated camera.
#include <cmath>

#include "engine/core/log.h"
#include "engine/render/d3d_device.h"
#include "engine/render/level_renderer.h"
#include "engine/shell/modes/game_flow.h"
#include "engine/shell/scene.h"
#include "engine/world/camera.h"

// The screen layout and the first frame set these; until then the camera sits at the
// origin and the matrices are the identity.
__m128 camera_ofs = {0, 0, 0, 0};
// (0, 2, -1, 0) normalised: from above and in front.
__m128 light_dir = {0.0f, 0.894427191f, -0.447213595f, 0.0f};
namespace {
constexpr Matrix44 IDENTITY = {{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}}};
}
Matrix44 cur_proj_tm = IDENTITY;
Matrix44 cur_view_itm = IDENTITY;
Matrix44 cur_view_tm = IDENTITY;

void update_screen_layout() {
  // One more pixel per world unit for every 180 lines from 360 on.
  int s = 1;
  if (d3d_ht >= 360)
    for (int threshold = 360; threshold <= d3d_ht; threshold += 180)
      s++;
  voxel_scale = s;
  float k = 1.0f / (float)s;

  // Half a screen pixel, on the axes whose pixel count is even, puts pixel centres
  // on the world grid.
  float hx = (d3d_wd % 2 == 0) ? 0.5f * k : 0.0f;
  float hy = (d3d_ht % 2 == 0) ? 0.5f * k : 0.0f;
  camera_ofs = _mm_setr_ps(hx, hy, -180.0f, 0.0f);
  free_cam_pos = _mm_setr_ps((float)d3d_wd * 0.5f * k, (float)d3d_ht * 0.5f * k, 0.0f, 1.0f);

  Matrix44 p = {};
  p.m[0][0] = 2.0f / ((float)d3d_wd * k);
  p.m[1][1] = 2.0f / ((float)d3d_ht * k);
  p.m[2][2] = 1.0f / 1999.0f;
  p.m[3][2] = -1.0f / 1999.0f;
  p.m[3][3] = 1.0f;
  cur_proj_tm = p;
  debug("3d pixel scale: %d", s);
}

int level_view_cells_x() { return (d3d_wd - 1 + voxel_scale) / voxel_scale + 2; }
int level_view_cells_y() { return (d3d_ht - 1 + voxel_scale) / voxel_scale + 2; }

void reset_level_renderer() { reset_renderer(level_renderer, level_view_cells_x(), level_view_cells_y()); }

Matrix44 setup_scene_camera(float t) {
  Matrix44 m = matrix_identity();
  __m128 p = get_final_camera_pos(t);
  float s = (float)voxel_scale;
  __m128 scale = _mm_setr_ps(s, s, 1.0f, 1.0f);
  alignas(16) float v[4];
  _mm_store_ps(v, _mm_mul_ps(p, scale));
  for (float& f : v)
    f = nearbyintf(f);  // to nearest, ties to even
  p = _mm_div_ps(_mm_load_ps(v), scale);
  m.row[3] = _mm_add_ps(p, camera_ofs);
  return m;
}

Matrix44 inverse_matrix(const Matrix44& a) {
  const float(*m)[4] = a.m;
  // 2x2 sub-determinants of the upper and of the lower two rows.
  float s0 = m[0][0] * m[1][1] - m[1][0] * m[0][1];
  float s1 = m[0][0] * m[1][2] - m[1][0] * m[0][2];
  float s2 = m[0][0] * m[1][3] - m[1][0] * m[0][3];
  float s3 = m[0][1] * m[1][2] - m[1][1] * m[0][2];
  float s4 = m[0][1] * m[1][3] - m[1][1] * m[0][3];
  float s5 = m[0][2] * m[1][3] - m[1][2] * m[0][3];
  float c5 = m[2][2] * m[3][3] - m[3][2] * m[2][3];
  float c4 = m[2][1] * m[3][3] - m[3][1] * m[2][3];
  float c3 = m[2][1] * m[3][2] - m[3][1] * m[2][2];
  float c2 = m[2][0] * m[3][3] - m[3][0] * m[2][3];
  float c1 = m[2][0] * m[3][2] - m[3][0] * m[2][2];
  float c0 = m[2][0] * m[3][1] - m[3][0] * m[2][1];

  // The cofactors of the first row give the determinant.
  float a00 = m[1][1] * c5 - m[1][2] * c4 + m[1][3] * c3;
  float a01 = -(m[1][0] * c5 - m[1][2] * c2 + m[1][3] * c1);
  float a02 = m[1][0] * c4 - m[1][1] * c2 + m[1][3] * c0;
  float a03 = -(m[1][0] * c3 - m[1][1] * c1 + m[1][2] * c0);
  float det = m[0][0] * a00 + m[0][1] * a01 + m[0][2] * a02 + m[0][3] * a03;
  float r = 1.0f / det;

  Matrix44 out;
  out.m[0][0] = a00 * r;
  out.m[0][1] = (-m[0][1] * c5 + m[0][2] * c4 - m[0][3] * c3) * r;
  out.m[0][2] = (m[3][1] * s5 - m[3][2] * s4 + m[3][3] * s3) * r;
  out.m[0][3] = (-m[2][1] * s5 + m[2][2] * s4 - m[2][3] * s3) * r;
  out.m[1][0] = a01 * r;
  out.m[1][1] = (m[0][0] * c5 - m[0][2] * c2 + m[0][3] * c1) * r;
  out.m[1][2] = (-m[3][0] * s5 + m[3][2] * s2 - m[3][3] * s1) * r;
  out.m[1][3] = (m[2][0] * s5 - m[2][2] * s2 + m[2][3] * s1) * r;
  out.m[2][0] = a02 * r;
  out.m[2][1] = (-m[0][0] * c4 + m[0][1] * c2 - m[0][3] * c0) * r;
  out.m[2][2] = (m[3][0] * s4 - m[3][1] * s2 + m[3][3] * s0) * r;
  out.m[2][3] = (-m[2][0] * s4 + m[2][1] * s2 - m[2][3] * s0) * r;
  out.m[3][0] = a03 * r;
  out.m[3][1] = (m[0][0] * c3 - m[0][1] * c1 + m[0][2] * c0) * r;
  out.m[3][2] = (-m[3][0] * s3 + m[3][1] * s1 - m[3][2] * s0) * r;
  out.m[3][3] = (m[2][0] * s3 - m[2][1] * s1 + m[2][2] * s0) * r;
  return out;
}

void set_view_matrices(float t) {
  cur_view_itm = setup_scene_camera(t);
  cur_view_tm = inverse_matrix(cur_view_itm);
}
