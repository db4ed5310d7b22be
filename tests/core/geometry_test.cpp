// Vector, colour, quaternion and matrix functions.
#include "engine/core/geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <ostream>
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
__m128 random_quat() { return quat_from_axis_angle(random_vec(), uniform(-3.1f, 3.1f)); }
float dist3(__m128 a, __m128 b) { return v_length3(v_sub(a, b)); }

const float nan_f = std::numeric_limits<float>::quiet_NaN();
const float inf_f = std::numeric_limits<float>::infinity();

// The raw bits of the four lanes: compares masks, signed zeros and NaNs exactly.
struct Bits {
  uint32_t u[4];
  bool operator==(const Bits& o) const { return memcmp(u, o.u, sizeof(u)) == 0; }
};
Bits bits(__m128 v) {
  Bits b;
  memcpy(b.u, &v, sizeof(b.u));
  return b;
}
Bits bits_of(float x, float y, float z, float w) { return bits(v_make(x, y, z, w)); }
std::ostream& operator<<(std::ostream& os, const Bits& b) {
  char text[64];
  snprintf(text, sizeof(text), "%08x %08x %08x %08x", b.u[0], b.u[1], b.u[2], b.u[3]);
  return os << text;
}
const uint32_t T = 0xFFFFFFFFu;

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

// Lane-wise operations whose corner cases (signed zeros, NaN, masks) matter to
// callers, each checked bit for bit.
TEST(Vector, LaneWiseOperationsBitForBit) {
  __m128 a = v_make(1, -0.0f, nan_f, 3), b = v_make(2, 0.0f, 5, nan_f);
  struct Case {
    const char* what;
    Bits got, want;
  } cases[] = {
      {"a + b", bits(v_add(v_make(1, 2, 3, 4), v_make(0.5f, -2, inf_f, -4))), bits_of(1.5f, 0, inf_f, 0)},
      {"a / 0", bits(v_div(v_make(1, -1, 2, -2), v_make(0, 0, -0.0f, -0.0f))), bits_of(inf_f, -inf_f, -inf_f, inf_f)},
      {"a * s", bits(v_scale(v_make(1, -2, 0, 4), -0.5f)), bits_of(-0.5f, 1, -0.0f, -2)},
      {"-a gives +0 for a zero lane", bits(v_neg(v_make(0, -0.0f, 2, -3))), bits_of(0, 0, -2, 3)},
      {"a ^ sign mask flips zeros too", bits(v_xor(v_make(0, -0.0f, 2, -3), v_sign_mask())),
       bits_of(-0.0f, 0, -2, 3)},
      {"a == b", bits(v_cmpeq(v_make(1, -0.0f, nan_f, 3), v_make(1, 0.0f, nan_f, 4))), {{T, T, 0, 0}}},
      {"a > b", bits(v_cmpgt(v_make(2, 1, nan_f, 0), v_make(1, 1, 0, -0.0f))), {{T, 0, 0, 0}}},
      {"a >= b", bits(v_cmpge(v_make(2, 1, nan_f, 0), v_make(1, 1, 0, -0.0f))), {{T, T, 0, T}}},
      {"a & mask", bits(v_and(v_make(1, 2, 3, 4), v_mask_xyz())), bits_of(1, 2, 3, 0)},
      // Either operand NaN: the lane of b.
      {"min(a, b)", bits(v_min(a, b)), bits_of(1, 0.0f, 5, nan_f)},
      {"max(a, b)", bits(v_max(a, b)), bits_of(2, 0.0f, 5, nan_f)},
      {"min(b, a)", bits(v_min(b, a)), bits_of(1, -0.0f, nan_f, 3)},
      {"max(b, a)", bits(v_max(b, a)), bits_of(2, -0.0f, nan_f, 3)},
      {"with lane 2", bits(v_with_lane(v_make(1, 2, 3, 4), 2, -7)), bits_of(1, 2, -7, 4)},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.got, c.want) << c.what;

  __m128 sum = v_make(1, 2, 3, 4);
  v_add_to(sum, v_make(10, 20, 30, 40));
  EXPECT_EQ(bits(sum), bits_of(11, 22, 33, 44));
  for (int i = 0; i < 4; i++)
    EXPECT_EQ(v_lane(v_make(5, 6, 7, 8), i), 5.0f + i);
}

TEST(Vector, SignBits) {
  struct Case {
    __m128 v;
    int want;
  } cases[] = {
      {v_make(1, 2, 3, 4), 0x0},        {v_make(-1, 2, 3, 4), 0x1},
      {v_make(1, 2, 3, -4), 0x8},       {v_make(-0.0f, 0, -inf_f, 0), 0x5},
      {v_make(-nan_f, nan_f, 1, -1), 0x9},
      {v_cmpgt(v_make(2, 3, 4, 5), v_make(1, 2, 3, 4)), 0xF},
      {v_cmpeq(v_make(2, 3, 4, 5), v_make(2, 0, 4, 0)), 0x5},
  };
  for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); i++)
    EXPECT_EQ(v_sign_bits(cases[i].v), cases[i].want) << "case " << i;
}

// Horizontal sums add (x + y) and (z + w) first; values where any other order
// gives another float catch a changed order.
TEST(Vector, HorizontalSumsKeepTheirOrder) {
  struct Case {
    const char* what;
    __m128 got;
    float want;
  } cases[] = {
      {"dot3 = (x + y) + z", v_dot3(v_make(1e8f, -1e8f, 1, nan_f), v_make(1, 1, 1, 1)), 1},
      {"dot4 = (x + y) + (z + w)", v_dot4(v_make(1e8f, 1, -1e8f, 1), v_make(1, 1, 1, 1)), 0},
      {"sum4", v_sum4(v_make(1, 1e8f, 1, -1e8f)), 0},
      {"len4 squared", v_len4_sq(v_make(1, 2, 3, 4)), 30},
      {"len4", v_len4(v_make(1, 2, 2, 4)), 5},
      {"len3 ignores w", v_len3(v_make(2, 3, 6, 100)), 7},
  };
  for (const Case& c : cases)
    EXPECT_EQ(bits(c.got), bits_of(c.want, c.want, c.want, c.want)) << c.what;
}

TEST(Vector, Norm3DividesAllLanesAndZeroStaysZero) {
  EXPECT_EQ(bits(v_norm3(v_make(3, 0, 4, 10))), bits_of(3.0f / 5, 0, 4.0f / 5, 2));
  EXPECT_EQ(bits(v_norm3(v_make(0, 0, 0, 7))), bits_of(0, 0, 0, 0));
  EXPECT_EQ(bits(v_cross3(v_make(1, 2, 3, 4), v_make(4, 5, 6, 7))), bits_of(-3, 6, -3, 0));
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

// 0xAARRGGBB back to four floats: every byte value in every channel gives
// byte * (1 / 255.0f), and packing it again gives the same colour.
TEST(Color, UnpacksEveryByteExactlyAndRoundTrips) {
  for (uint32_t byte = 0; byte < 256; byte++) {
    float want = (float)byte * (1.0f / 255.0f);
    struct Case {
      D3dColor packed;
      int lane;
    } cases[] = {{byte << 16, 0}, {byte << 8, 1}, {byte, 2}, {byte << 24, 3}};
    for (const Case& c : cases) {
      __m128 rgba = d3d_to_color(c.packed);
      for (int lane = 0; lane < 4; lane++)
        EXPECT_EQ(v_lane(rgba, lane), lane == c.lane ? want : 0.0f) << std::hex << c.packed << " lane " << lane;
      EXPECT_EQ(color_to_d3d(rgba), c.packed);
    }
  }
  EXPECT_EQ(bits(d3d_to_color(0x80FF4000u)), bits_of(1, 64 / 255.0f, 0, 128 / 255.0f));
  EXPECT_EQ(color_to_d3d(d3d_to_color(0xDEADBEEFu)), 0xDEADBEEFu);
}

TEST(Rect, UnionTakesLowCornerMinimaAndHighCornerMaxima) {
  struct Case {
    __m128 a, b;
    Bits want;
  } cases[] = {
      {v_make(0, 0, 10, 10), v_make(5, -5, 20, 8), bits_of(0, -5, 20, 10)},
      {v_make(5, -5, 20, 8), v_make(0, 0, 10, 10), bits_of(0, -5, 20, 10)},
      {v_make(1, 1, 2, 2), v_make(1, 1, 2, 2), bits_of(1, 1, 2, 2)},
      {v_make(-3, -3, -1, -1), v_make(1, 1, 3, 3), bits_of(-3, -3, 3, 3)},   // disjoint
      {v_make(nan_f, 0, nan_f, 4), v_make(1, nan_f, 3, nan_f), bits_of(1, nan_f, 3, nan_f)},  // NaN: b
  };
  for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); i++)
    EXPECT_EQ(bits(rect_union(cases[i].a, cases[i].b)), cases[i].want) << "case " << i;
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

// The engine's one quaternion convention: b is applied first by quat_mul(a, b),
// a positive angle about +z turns x toward -y, rotation keeps v.w, and the
// conjugate undoes a rotation.
TEST(Quaternion, Conventions) {
  // The product, bit for bit, in its order of additions.
  EXPECT_EQ(bits(quat_mul(v_make(1, 2, 3, 4), v_make(5, 6, 7, 8))),
            bits_of(((4 * 5 + 3 * 6) - 2 * 7) + 1 * 8, ((4 * 6 - 3 * 5) + 1 * 7) + 2 * 8,
                    ((2 * 5 - 1 * 6) + 4 * 7) + 3 * 8, ((-1 * 5 - 2 * 6) - 3 * 7) + 4 * 8));
  EXPECT_EQ(bits(quat_conj(v_make(0, 0, 0, 1))), bits_of(-0.0f, -0.0f, -0.0f, 1));
  EXPECT_EQ(bits(quat_norm(v_zero())), bits_of(0, 0, 0, 0));
  EXPECT_VEC_NEAR(quat_rotate(quat_from_axis_angle(z4f(1), (float)M_PI / 2), x4f(1)), 0, -1, 0, 0, 1e-6f);
  EXPECT_VEC_NEAR(quat_rotate(quat_from_axis_angle(x4f(3), (float)M_PI), v_make(0, 1, 0, 9)), 0, -1, 0, 9, 1e-6f);
  EXPECT_VEC_NEAR(quat_from_axis_angle(v_zero(), 1), 0, 0, 0, cosf(0.5f), 0);
  for (int i = 0; i < 100; i++) {
    __m128 a = random_quat(), b = random_quat(), v = random_vec();
    EXPECT_LT(dist3(quat_rotate(quat_mul(a, b), v), quat_rotate(a, quat_rotate(b, v))), 1e-4f * (1 + v_length3(v)));
    EXPECT_LT(dist3(quat_rotate(quat_conj(a), quat_rotate(a, v)), v), 1e-4f * (1 + v_length3(v)));
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
    // The result rotates with quat_rotate and is the original rotation (up to sign).
    EXPECT_LT(dist3(quat_rotate(r, a), c), 2e-3f * (1 + v_length3(a)));
    EXPECT_LT(dist3(quat_rotate(r, b), d), 2e-3f * (1 + v_length3(b)));
    EXPECT_NEAR(fabsf(v_x(v_dot4(r, q))), 1.0f, 1e-3f);
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
