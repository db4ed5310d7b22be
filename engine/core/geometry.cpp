// Geometric functions of the vector header that are too large to inline, and
// the three exported ones the game-object module calls.
#include "engine/core/geometry.h"

#include <cmath>

// Every formula keeps the order of its additions, so results repeat bit for bit
// in native code and in scripts.
__m128 quat_mul(__m128 a, __m128 b) {
  float ax = v_x(a), ay = v_y(a), az = v_z(a), aw = v_w(a);
  float bx = v_x(b), by = v_y(b), bz = v_z(b), bw = v_w(b);
  float x = ((aw * bx + az * by) - ay * bz) + ax * bw;
  float y = ((aw * by - az * bx) + ax * bz) + ay * bw;
  float z = ((ay * bx - ax * by) + aw * bz) + az * bw;
  float w = ((-ax * bx - ay * by) - az * bz) + aw * bw;
  return v_make(x, y, z, w);
}

__m128 quat_rotate(__m128 q, __m128 v) {
  __m128 t = v_add(v_cross3(v, q), v_mul(v_splat_w(q), v));
  __m128 r = v_add(v, v_scale(v_cross3(t, q), 2.0f));
  return v_with_lane(r, 3, v_w(v));
}

__m128 quat_from_axis_angle(__m128 axis, float angle) {
  __m128 n = v_div_or_zero(axis, v_len3(axis));
  float s, c;
  sincosf(angle * 0.5f, &s, &c);
  return v_with_lane(v_scale(n, s), 3, c);
}

Matrix44 matrix_identity() {
  Matrix44 r;
  r.row[0] = v_make(1, 0, 0, 0);
  r.row[1] = v_make(0, 1, 0, 0);
  r.row[2] = v_make(0, 0, 1, 0);
  r.row[3] = v_make(0, 0, 0, 1);
  return r;
}

__m128 matrix_transform(__m128 v, const Matrix44& m) {
  __m128 r = v_mul(v_splat_x(v), m.row[0]);
  r = v_add(r, v_mul(v_splat_y(v), m.row[1]));
  r = v_add(r, v_mul(v_splat_z(v), m.row[2]));
  return v_add(r, v_mul(v_splat_w(v), m.row[3]));
}

Matrix44 matrix_mul(const Matrix44& a, const Matrix44& b) {
  Matrix44 r;
  for (int i = 0; i < 4; i++)
    r.row[i] = matrix_transform(a.row[i], b);
  return r;
}

Matrix44 matrix_transpose(const Matrix44& m) {
  Matrix44 r = m;
  _MM_TRANSPOSE4_PS(r.row[0], r.row[1], r.row[2], r.row[3]);
  return r;
}

Matrix44 matrix_translation(float x, float y, float z) {
  Matrix44 r = matrix_identity();
  r.row[3] = v_make(x, y, z, 1);
  return r;
}

Matrix44 matrix_from_quat(__m128 q) {
  // Row i is the image of the i-th unit vector, as v x M needs.
  Matrix44 r;
  r.row[0] = quat_rotate(q, v_make(1, 0, 0, 0));
  r.row[1] = quat_rotate(q, v_make(0, 1, 0, 0));
  r.row[2] = quat_rotate(q, v_make(0, 0, 1, 0));
  r.row[3] = v_make(0, 0, 0, 1);
  return r;
}

__m128 compute_bounding_sphere(const __m128* spheres, int count) {
  if (count <= 0)
    return v_zero();
  __m128 lo = v_sub(spheres[0], v_splat_w(spheres[0]));
  __m128 hi = v_add(spheres[0], v_splat_w(spheres[0]));
  for (int i = 1; i < count; i++) {
    __m128 r = v_splat_w(spheres[i]);
    lo = v_min(lo, v_sub(spheres[i], r));
    hi = v_max(hi, v_add(spheres[i], r));
  }
  __m128 centre = v_and(v_scale(v_add(lo, hi), 0.5f), v_mask_xyz());
  float radius = 0;
  for (int i = 0; i < count; i++) {
    float reach = v_length3(v_sub(spheres[i], centre)) + v_w(spheres[i]);
    if (reach > radius)
      radius = reach;
  }
  return v_make(v_x(centre), v_y(centre), v_z(centre), radius);
}

__m128 quat_from_motion(__m128 a, __m128 b, __m128 c, const __m128& d) {
  // S = |n|^2 R with R a = c, R b = d, R n = m, from the dual basis of (a, b, n).
  __m128 n = v_cross3(a, b);
  __m128 m = v_cross3(c, d);
  __m128 bn = v_cross3(b, n);
  __m128 na = v_cross3(n, a);
  float k = v_dot3_x(n, n);
  float cv[3], dv[3], mv[3], bnv[3], nav[3], nv[3];
  for (int i = 0; i < 3; i++) {
    cv[i] = c[i];
    dv[i] = d[i];
    mv[i] = m[i];
    bnv[i] = bn[i];
    nav[i] = na[i];
    nv[i] = n[i];
  }
  float S[3][3];
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++)
      S[i][j] = cv[i] * bnv[j] + dv[i] * nav[j] + mv[i] * nv[j];

  float W = sqrtf(fabsf(k + S[0][0] + S[1][1] + S[2][2]));
  float X = sqrtf(fabsf(k + S[0][0] - S[1][1] - S[2][2]));
  float Y = sqrtf(fabsf(k - S[0][0] + S[1][1] - S[2][2]));
  float Z = sqrtf(fabsf(k - S[0][0] - S[1][1] + S[2][2]));

  // The largest magnitude keeps its sign; the others take the signs of the
  // off-diagonal terms relative to it.
  auto sign_by = [](float& value, float term) {
    if (term < 0)
      value = -value;
  };
  if (W >= X && W >= Y && W >= Z) {
    sign_by(X, S[2][1] - S[1][2]);
    sign_by(Y, S[0][2] - S[2][0]);
    sign_by(Z, S[1][0] - S[0][1]);
  } else if (X >= Y && X >= Z) {
    sign_by(W, S[2][1] - S[1][2]);
    sign_by(Y, S[0][1] + S[1][0]);
    sign_by(Z, S[0][2] + S[2][0]);
  } else if (Y >= Z) {
    sign_by(W, S[0][2] - S[2][0]);
    sign_by(X, S[0][1] + S[1][0]);
    sign_by(Z, S[1][2] + S[2][1]);
  } else {
    sign_by(W, S[1][0] - S[0][1]);
    sign_by(X, S[0][2] + S[2][0]);
    sign_by(Y, S[1][2] + S[2][1]);
  }

  return quat_norm(v_make(-X, -Y, -Z, W));
}

float ray_triangle_intersect(__m128 c0, __m128 c1, __m128 c2, const __m128& origin, const __m128& dir,
                             float* u, float* v) {
  __m128 e1 = v_sub(c1, c0);
  __m128 e2 = v_sub(c2, c0);
  __m128 p = v_cross3(dir, e2);
  float det = v_dot3_x(e1, p);
  if (det > -0.000001f && det < 0.000001f)
    return -1;
  float inv = 1.0f / det;
  __m128 s = v_sub(origin, c0);
  float uu = v_dot3_x(s, p) * inv;
  if (uu < 0 || uu > 1)
    return -1;
  __m128 q = v_cross3(s, e1);
  float vv = v_dot3_x(dir, q) * inv;
  if (vv < 0 || uu + vv > 1)
    return -1;
  float t = v_dot3_x(e2, q) * inv;
  if (!(t > 0))  // also a miss when t is not a number
    return -1;
  if (u)
    *u = uu;
  if (v)
    *v = vv;
  return t;
}

__m128 vector_on_sphere(float u, float v) {
  float z = 2 * v - 1;
  float r = sqrtf(1 - z * z);
  float angle = (float)(u * 2.0 * M_PI);
  float sin_a, cos_a;
  sincosf(angle, &sin_a, &cos_a);
  return v_make(r * cos_a, r * sin_a, z, 0);
}

__m128 vector_in_sphere(float u, float v, float s) {
  return v_scale(vector_on_sphere(u, v), powf(s, 0.33333334f));
}
