// Vector, colour, quaternion and matrix functions.
#include "engine/core/geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

namespace {

struct V {
  float x, y, z, w;
};
V lanes(__m128 v) { return {v_x(v), v_y(v), v_z(v), v_w(v)}; }

#define EXPECT_VEC_NEAR(actual, ex, ey, ez, ew, tol)        \
  do {                                                       \
    V a_ = lanes(actual);                                    \
    EXPECT_NEAR(a_.x, ex, tol);                              \
    EXPECT_NEAR(a_.y, ey, tol);                              \
    EXPECT_NEAR(a_.z, ez, tol);                              \
    EXPECT_NEAR(a_.w, ew, tol);                              \
  } while (0)

std::mt19937 rng(1234);
float uniform(float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(rng); }
__m128 random_vec() { return v_make(uniform(-5, 5), uniform(-5, 5), uniform(-5, 5), 0); }
__m128 random_quat() {
  __m128 axis = v_normalize3(random_vec());
  return quat_from_axis_angle(axis, uniform(-3.1f, 3.1f));
}
float dist3(__m128 a, __m128 b) { return v_length3(v_sub(a, b)); }

TEST(Vector, LanesAndPermutations) {
  __m128 v = v_make(1, 2, 3, 4);
  struct Case {
    __m128 got;
    V want;
  } cases[] = {
      {v_perm_wzyw(v), {4, 3, 2, 4}}, {v_perm_wzyx(v), {4, 3, 2, 1}}, {v_perm_yxww(v), {2, 1, 4, 4}},
      {v_perm_yxwz(v), {2, 1, 4, 3}}, {v_perm_zwxw(v), {3, 4, 1, 4}}, {v_perm_zwxy(v), {3, 4, 1, 2}},
      {v_perm_xzyw(v), {1, 3, 2, 4}}, {v_perm_yxzw(v), {2, 1, 3, 4}}, {v_perm_zyxw(v), {3, 2, 1, 4}},
      {v_splat_x(v), {1, 1, 1, 1}},   {v_splat_y(v), {2, 2, 2, 2}},   {v_splat_z(v), {3, 3, 3, 3}},
      {v_splat_w(v), {4, 4, 4, 4}},   {v_zero(), {0, 0, 0, 0}},       {x4f(7), {7, 0, 0, 0}},
      {y4f(7), {0, 7, 0, 0}},         {z4f(7), {0, 0, 7, 0}},         {w4f(7), {0, 0, 0, 7}},
      {v_sub(v, v_splat(1)), {0, 1, 2, 3}},
      {v_xor(v, v_sign_mask()), {-1, -2, -3, -4}},
      {v_sum4(v), {10, 10, 10, 10}},
      {v_dot3(v, v_make(1, 1, 1, 100)), {6, 6, 6, 6}},  // w takes no part
      {v_cross3(v_make(1, 0, 0, 9), v_make(0, 1, 0, 9)), {0, 0, 1, 0}},
  };
  for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); i++) {
    V g = lanes(cases[i].got);
    const V& w = cases[i].want;
    EXPECT_TRUE(g.x == w.x && g.y == w.y && g.z == w.z && g.w == w.w)
        << "case " << i << ": " << g.x << " " << g.y << " " << g.z << " " << g.w;
  }
}

TEST(Vector, CrossProductProperties) {
  for (int i = 0; i < 200; i++) {
    __m128 a = random_vec(), b = random_vec();
    __m128 c = v_cross3(a, b);
    float scale = v_length3(a) * v_length3(b);
    EXPECT_NEAR(v_dot3_x(c, a), 0, 1e-4f * scale * v_length3(a));
    EXPECT_NEAR(v_dot3_x(c, b), 0, 1e-4f * scale * v_length3(b));
    EXPECT_VEC_NEAR(v_add(c, v_cross3(b, a)), 0, 0, 0, 0, 1e-4f * scale);
  }
}

TEST(Color, PacksWithClampRoundingAndNaN) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  struct Case {
    float r, g, b, a;
    D3dColor want;
  } cases[] = {
      {1, 0, 0, 0, 0x00FF0000},       {0, 1, 0, 0, 0x0000FF00},        {0, 0, 1, 0, 0x000000FF},
      {0, 0, 0, 1, 0xFF000000},       {2, -1, 0.25f, 1.5f, 0xFFFF0040},  // clamped; 63.75 -> 64
      {0.5f, 0, 0, 0, 0x00800000},    // 127.5: ties to even -> 128
      {nan, nan, 0, nan, 0xFFFFFF00},  // NaN counts as 1
      {-0.0f, 1e-9f, 0.998f, 0.002f, 0x010000FE},
  };
  for (const Case& c : cases)
    EXPECT_EQ(color_to_d3d(v_make(c.r, c.g, c.b, c.a)), c.want) << c.r << " " << c.g << " " << c.b << " " << c.a;
  // A tie whose lower neighbour is even goes down: find a channel whose product
  // with 255 is exactly 2.5.
  float c = 2.5f / 255.0f;
  while (c * 255.0f < 2.5f)
    c = nextafterf(c, 1);
  while (c * 255.0f > 2.5f)
    c = nextafterf(c, 0);
  ASSERT_EQ(c * 255.0f, 2.5f);
  EXPECT_EQ(color_to_d3d(v_make(0, 0, c, 0)), 0x00000002u);
}

TEST(Rect, OverlapCountsTheRightAndTopEdgesOnly) {
  __m128 a = v_make(0, 0, 10, 10);
  struct Case {
    __m128 b;
    bool want;
  } cases[] = {
      {v_make(5, 5, 6, 6), true},      {v_make(-5, -5, 15, 15), true},
      {v_make(10, 0, 20, 10), true},   // touches a's right edge
      {v_make(0, 10, 10, 20), true},   // touches a's top edge
      {v_make(-10, 0, 0, 10), false},  // touches a's left edge
      {v_make(0, -10, 10, 0), false},  // touches a's bottom edge
      {v_make(11, 0, 20, 10), false},  {v_make(0, 11, 10, 20), false},
  };
  for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); i++)
    EXPECT_EQ(rect_overlap(a, cases[i].b), cases[i].want) << "case " << i;
}

TEST(BoundingSphere, Cases) {
  EXPECT_VEC_NEAR(compute_bounding_sphere(nullptr, 0), 0, 0, 0, 0, 0);
  __m128 one[] = {v_make(1, 2, 3, 4)};
  EXPECT_VEC_NEAR(compute_bounding_sphere(one, -1), 0, 0, 0, 0, 0);
  EXPECT_VEC_NEAR(compute_bounding_sphere(one, 1), 1, 2, 3, 4, 1e-6f);
  __m128 points[] = {v_make(0, 0, 0, 0), v_make(4, 0, 0, 0), v_make(0, 2, 0, 0)};
  EXPECT_VEC_NEAR(compute_bounding_sphere(points, 3), 2, 1, 0, sqrtf(5), 1e-5f);
}

TEST(BoundingSphere, EnclosesEverySphere) {
  for (int round = 0; round < 50; round++) {
    __m128 spheres[8];
    int n = 1 + round % 8;
    for (int i = 0; i < n; i++)
      spheres[i] = v_add(random_vec(), w4f(uniform(0, 2)));
    __m128 s = compute_bounding_sphere(spheres, n);
    for (int i = 0; i < n; i++)
      EXPECT_LE(dist3(spheres[i], s) + v_w(spheres[i]), v_w(s) + 1e-4f);
  }
}

TEST(Quaternion, RotationPreservesLengthAndAngles) {
  for (int i = 0; i < 200; i++) {
    __m128 q = random_quat();
    __m128 a = random_vec(), b = random_vec();
    __m128 ra = quat_rotate(q, a), rb = quat_rotate(q, b);
    EXPECT_NEAR(v_length3(ra), v_length3(a), 1e-4f * (1 + v_length3(a)));
    EXPECT_NEAR(v_dot3_x(ra, rb), v_dot3_x(a, b), 1e-3f * (1 + v_length3(a) * v_length3(b)));
    // The matrix form agrees, and a rotation matrix times its transpose is the identity.
    Matrix44 m = matrix_from_quat(q);
    __m128 ma = matrix_transform(v_and(a, v_mask_xyz()), m);
    EXPECT_LT(dist3(ma, ra), 1e-4f * (1 + v_length3(a)));
    Matrix44 id = matrix_mul(m, matrix_transpose(m));
    for (int r = 0; r < 4; r++)
      for (int c = 0; c < 4; c++)
        EXPECT_NEAR(id.m[r][c], r == c ? 1.0f : 0.0f, 1e-5f);
  }
}

TEST(QuatFromMotion, SpecialCases) {
  __m128 a = v_make(1, 0, 0, 0), b = v_make(0, 1, 0, 0);
  EXPECT_VEC_NEAR(quat_from_motion(a, b, a, b), 0, 0, 0, 1, 1e-6f);
  EXPECT_VEC_NEAR(quat_from_motion(a, v_scale(a, 3), a, b), 0, 0, 0, 0, 0);
  EXPECT_VEC_NEAR(quat_from_motion(a, v_zero(), a, b), 0, 0, 0, 0, 0);

  // A quarter turn about x, both ways: W and X are equal, W stays positive and
  // x takes the turn's sign (returned conjugated).
  const float h = sqrtf(0.5f);
  __m128 y = v_make(0, 1, 0, 0), z = v_make(0, 0, 1, 0);
  EXPECT_VEC_NEAR(quat_from_motion(y, z, z, v_neg(y)), -h, 0, 0, h, 1e-6f);
  EXPECT_VEC_NEAR(quat_from_motion(y, z, v_neg(z), y), h, 0, 0, h, 1e-6f);
}

TEST(QuatFromMotion, RecoversRandomRotations) {
  for (int i = 0; i < 300; i++) {
    __m128 q = random_quat();
    __m128 a = random_vec(), b = random_vec();
    if (v_length3(v_cross3(a, b)) < 0.5f)
      continue;
    __m128 c = quat_rotate(q, a), d = quat_rotate(q, b);
    __m128 r = quat_from_motion(a, b, c, d);
    EXPECT_NEAR(v_x(v_dot4(r, r)), 1.0f, 1e-5f);
    // The result is the conjugate of the rotating quaternion (up to sign).
    __m128 rot = quat_conj(r);
    EXPECT_LT(dist3(quat_rotate(rot, a), c), 2e-3f * (1 + v_length3(a)));
    EXPECT_LT(dist3(quat_rotate(rot, b), d), 2e-3f * (1 + v_length3(b)));
    EXPECT_NEAR(fabsf(v_x(v_dot4(rot, q))), 1.0f, 1e-3f);
  }
}

TEST(RayTriangle, Cases) {
  __m128 c0 = v_make(0, 0, 0, 0), c1 = v_make(1, 0, 0, 0), c2 = v_make(0, 1, 0, 0);
  __m128 down = v_make(0, 0, -1, 0);
  struct Case {
    __m128 origin, dir;
    float t, u, v;  // t -1: a miss
  } cases[] = {
      {v_make(0.25f, 0.25f, 2, 1), down, 2, 0.25f, 0.25f},
      {v_make(0.25f, 0.25f, 2, 1), v_scale(down, 2), 1, 0.25f, 0.25f},  // t in lengths of dir
      {v_make(0.25f, 0.25f, -2, 1), v_neg(down), 2, 0.25f, 0.25f},       // back face
      {v_make(0, 0.5f, 1, 1), down, 1, 0, 0.5f},                          // edge u = 0
      {v_make(0.5f, 0, 1, 1), down, 1, 0.5f, 0},                          // edge v = 0
      {v_make(0.5f, 0.5f, 1, 1), down, 1, 0.5f, 0.5f},                    // edge u + v = 1
      {v_make(0.25f, 0.25f, 0, 1), down, -1, 0, 0},                       // origin on the triangle
      {v_make(0.25f, 0.25f, -2, 1), down, -1, 0, 0},                      // triangle behind
      {v_make(0.75f, 0.75f, 2, 1), down, -1, 0, 0},                       // outside
      {v_make(-0.1f, 0.5f, 2, 1), down, -1, 0, 0},
      {v_make(0.25f, 0.25f, 2, 1), v_make(1, 0, 0, 0), -1, 0, 0},         // parallel
  };
  for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); i++) {
    const Case& c = cases[i];
    float u = 42, v = 43;
    float t = ray_triangle_intersect(c0, c1, c2, c.origin, c.dir, &u, &v);
    EXPECT_NEAR(t, c.t, 1e-6f) << "case " << i;
    if (c.t < 0) {
      EXPECT_EQ(u, 42) << "case " << i;
      EXPECT_EQ(v, 43) << "case " << i;
    } else {
      EXPECT_NEAR(u, c.u, 1e-6f) << "case " << i;
      EXPECT_NEAR(v, c.v, 1e-6f) << "case " << i;
    }
  }
  EXPECT_NEAR(ray_triangle_intersect(c0, c1, c2, v_make(0.25f, 0.25f, 2, 1), down, nullptr, nullptr), 2, 1e-6f);
}

TEST(RandomDirections, SphereAndBall) {
  EXPECT_VEC_NEAR(vector_on_sphere(0, 0.5f), 1, 0, 0, 0, 1e-6f);
  EXPECT_VEC_NEAR(vector_on_sphere(0.3f, 0), 0, 0, -1, 0, 1e-6f);
  EXPECT_VEC_NEAR(vector_on_sphere(0.7f, 1), 0, 0, 1, 0, 1e-6f);
  EXPECT_VEC_NEAR(vector_on_sphere(0.25f, 0.5f), 0, 1, 0, 0, 1e-6f);
  EXPECT_VEC_NEAR(vector_in_sphere(0.4f, 0.6f, 0), 0, 0, 0, 0, 0);
  for (int i = 0; i <= 20; i++)
    for (int j = 0; j <= 20; j++) {
      float u = i / 20.0f, v = j / 20.0f, s = (i + j) / 40.0f;
      EXPECT_NEAR(v_length3(vector_on_sphere(u, v)), 1, 1e-5f);
      EXPECT_NEAR(v_length3(vector_in_sphere(u, v, s)), cbrtf(s), 1e-5f);
    }
}

TEST(Matrix, IdentityTranslationAndProducts) {
  Matrix44 id = matrix_identity();
  __m128 p = v_make(1, 2, 3, 1), dir = v_make(1, 2, 3, 0);
  EXPECT_VEC_NEAR(matrix_transform(p, id), 1, 2, 3, 1, 0);
  Matrix44 t = matrix_translation(10, 20, 30);
  EXPECT_VEC_NEAR(matrix_transform(p, t), 11, 22, 33, 1, 0);    // points move
  EXPECT_VEC_NEAR(matrix_transform(dir, t), 1, 2, 3, 0, 0);     // directions do not
  // Row-vector order: v x (a x b) is v x a, then x b.
  for (int i = 0; i < 50; i++) {
    Matrix44 a = matrix_mul(matrix_from_quat(random_quat()), matrix_translation(uniform(-3, 3), 1, 2));
    Matrix44 b = matrix_mul(matrix_translation(0, uniform(-3, 3), 0), matrix_from_quat(random_quat()));
    __m128 v = v_add(random_vec(), w4f(1));
    __m128 both = matrix_transform(v, matrix_mul(a, b));
    __m128 stepwise = matrix_transform(matrix_transform(v, a), b);
    EXPECT_LT(dist3(both, stepwise), 1e-4f * (1 + v_length3(v)));
  }
}

}  // namespace
