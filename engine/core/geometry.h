#pragma once
// Four-float vector math on __m128 (lanes x, y, z, w), colours, rectangles,
// quaternions (x, y, z, w with the scalar part in w) and the 4x4 matrix.
// Everything here is pure: no state, no allocation, safe on any thread.
#include <emmintrin.h>
#include <xmmintrin.h>

#include <cstdint>

// Packed colour 0xAARRGGBB.
typedef uint32_t D3dColor;

// ---- construction and lane access -------------------------------------------

inline __m128 v_make(float x, float y, float z, float w) { return _mm_setr_ps(x, y, z, w); }
inline __m128 v_zero() { return _mm_setzero_ps(); }
inline __m128 v_splat(float s) { return _mm_set1_ps(s); }

inline __m128 x4f(float s) { return _mm_setr_ps(s, 0, 0, 0); }
inline __m128 y4f(float s) { return _mm_setr_ps(0, s, 0, 0); }
inline __m128 z4f(float s) { return _mm_setr_ps(0, 0, s, 0); }
inline __m128 w4f(float s) { return _mm_setr_ps(0, 0, 0, s); }

// Lane permutation: result lanes are (v[X], v[Y], v[Z], v[W]).
template <int X, int Y, int Z, int W>
inline __m128 v_perm(__m128 v) {
  return _mm_shuffle_ps(v, v, _MM_SHUFFLE(W, Z, Y, X));
}

inline __m128 v_splat_x(__m128 v) { return v_perm<0, 0, 0, 0>(v); }
inline __m128 v_splat_y(__m128 v) { return v_perm<1, 1, 1, 1>(v); }
inline __m128 v_splat_z(__m128 v) { return v_perm<2, 2, 2, 2>(v); }
inline __m128 v_splat_w(__m128 v) { return v_perm<3, 3, 3, 3>(v); }

inline float v_x(__m128 v) { return _mm_cvtss_f32(v); }
inline float v_y(__m128 v) { return _mm_cvtss_f32(v_splat_y(v)); }
inline float v_z(__m128 v) { return _mm_cvtss_f32(v_splat_z(v)); }
inline float v_w(__m128 v) { return _mm_cvtss_f32(v_splat_w(v)); }

// The permutations the engine's vector code uses, named by their result lanes.
inline __m128 v_perm_wzyw(__m128 v) { return v_perm<3, 2, 1, 3>(v); }
inline __m128 v_perm_wzyx(__m128 v) { return v_perm<3, 2, 1, 0>(v); }
inline __m128 v_perm_yxww(__m128 v) { return v_perm<1, 0, 3, 3>(v); }
inline __m128 v_perm_yxwz(__m128 v) { return v_perm<1, 0, 3, 2>(v); }
inline __m128 v_perm_zwxw(__m128 v) { return v_perm<2, 3, 0, 3>(v); }
inline __m128 v_perm_zwxy(__m128 v) { return v_perm<2, 3, 0, 1>(v); }
inline __m128 v_perm_xzyw(__m128 v) { return v_perm<0, 2, 1, 3>(v); }
inline __m128 v_perm_yxzw(__m128 v) { return v_perm<1, 0, 2, 3>(v); }
inline __m128 v_perm_zyxw(__m128 v) { return v_perm<2, 1, 0, 3>(v); }

// ---- lane-wise arithmetic -----------------------------------------------------
// g++ also accepts + - * / += and `* float` on __m128 directly, with the same
// lane-wise results; its unary minus, though, flips sign bits (0 becomes -0),
// which is why v_neg below subtracts from zero instead.

inline __m128 v_add(__m128 a, __m128 b) { return _mm_add_ps(a, b); }
inline __m128 v_sub(__m128 a, __m128 b) { return _mm_sub_ps(a, b); }
inline __m128 v_mul(__m128 a, __m128 b) { return _mm_mul_ps(a, b); }
inline __m128 v_div(__m128 a, __m128 b) { return _mm_div_ps(a, b); }
inline void v_add_to(__m128& a, __m128 b) { a = _mm_add_ps(a, b); }
inline __m128 v_scale(__m128 a, float s) { return _mm_mul_ps(a, _mm_set1_ps(s)); }
// 0 - a per lane: a zero lane gives +0.
inline __m128 v_neg(__m128 a) { return _mm_sub_ps(_mm_setzero_ps(), a); }
// Per lane; when either lane is NaN the lane of b is the result (minps/maxps
// return their second operand then).
inline __m128 v_min(__m128 a, __m128 b) { return _mm_min_ps(a, b); }
inline __m128 v_max(__m128 a, __m128 b) { return _mm_max_ps(a, b); }
inline __m128 v_sqrt(__m128 a) { return _mm_sqrt_ps(a); }

// ---- masks and bits ------------------------------------------------------------

// Per-lane comparisons: all bits set where true, zero where false (NaN: false).
inline __m128 v_cmpeq(__m128 a, __m128 b) { return _mm_cmpeq_ps(a, b); }
inline __m128 v_cmpgt(__m128 a, __m128 b) { return _mm_cmpgt_ps(a, b); }
inline __m128 v_cmpge(__m128 a, __m128 b) { return _mm_cmpge_ps(a, b); }
inline __m128 v_xor(__m128 a, __m128 b) { return _mm_xor_ps(a, b); }
inline __m128 v_and(__m128 a, __m128 b) { return _mm_and_ps(a, b); }
// Bit i is the sign bit of lane i; 0xF after a comparison means "all four lanes".
inline int v_sign_bits(__m128 a) { return _mm_movemask_ps(a); }

// Sign bits of all four lanes; v_xor with it flips every sign (0 becomes -0).
inline __m128 v_sign_mask() { return _mm_castsi128_ps(_mm_set1_epi32((int)0x80000000u)); }
// All bits set in x, y and z, w cleared.
inline __m128 v_mask_xyz() { return _mm_castsi128_ps(_mm_setr_epi32(-1, -1, -1, 0)); }

// One lane by index (0 x .. 3 w), and v with lane i replaced.
inline float v_lane(__m128 v, int i) {
  alignas(16) float f[4];
  _mm_store_ps(f, v);
  return f[i];
}
inline __m128 v_with_lane(__m128 v, int i, float value) {
  alignas(16) float f[4];
  _mm_store_ps(f, v);
  f[i] = value;
  return _mm_load_ps(f);
}

// ---- sums, lengths and products ------------------------------------------------
// Horizontal sums add neighbouring lanes first, then the pair sums:
// (x + y) + (z + w) in every lane, so all four lanes hold the same total.

inline __m128 v_sum4(__m128 v) {
  __m128 pairs = v_add(v, v_perm_yxwz(v));  // (x+y, x+y, z+w, z+w)
  return v_add(pairs, v_perm_zwxy(pairs));
}
inline __m128 v_dot4(__m128 a, __m128 b) { return v_sum4(v_mul(a, b)); }
// Three-lane dot product ((x + y) + z, w ignored), broadcast to all four lanes.
inline __m128 v_dot3(__m128 a, __m128 b) { return v_sum4(v_and(v_mul(a, b), v_mask_xyz())); }
inline float v_dot3_x(__m128 a, __m128 b) { return v_x(v_dot3(a, b)); }
// Lengths (and their squares) broadcast to all four lanes.
inline __m128 v_len3(__m128 v) { return v_sqrt(v_dot3(v, v)); }
inline __m128 v_len4(__m128 v) { return v_sqrt(v_dot4(v, v)); }
inline __m128 v_len4_sq(__m128 v) { return v_dot4(v, v); }
inline float v_length3(__m128 v) { return v_x(v_len3(v)); }

// Cross product of the x, y, z lanes: (a.y b.z - a.z b.y, a.z b.x - a.x b.z,
// a.x b.y - a.y b.x). Lane w is a.w b.w - a.w b.w: 0 for finite values.
inline __m128 v_cross3(__m128 a, __m128 b) {
  __m128 a_yzx = v_perm<1, 2, 0, 3>(a), a_zxy = v_perm<2, 0, 1, 3>(a);
  __m128 b_yzx = v_perm<1, 2, 0, 3>(b), b_zxy = v_perm<2, 0, 1, 3>(b);
  return v_sub(v_mul(a_yzx, b_zxy), v_mul(a_zxy, b_yzx));
}

// v divided lane-wise by the splat length `len`; the zero vector when it is 0.
inline __m128 v_div_or_zero(__m128 v, __m128 len) { return v_x(len) == 0 ? v_zero() : v_div(v, len); }
// v / |v.xyz| in all four lanes (w is divided too); zero for a zero length.
inline __m128 v_norm3(__m128 v) { return v_div_or_zero(v, v_len3(v)); }

// ---- colours and rectangles ---------------------------------------------------

// Four-float colour (r, g, b, a) to 0xAARRGGBB: each channel clamped as
// max(min(c, 1), 0), so NaN becomes 1, times 255, rounded to nearest with ties
// to even (the default SSE rounding).
inline D3dColor color_to_d3d(__m128 rgba) {
  __m128 c = v_max(v_min(rgba, _mm_set1_ps(1.0f)), v_zero());
  __m128i i = _mm_cvtps_epi32(v_scale(v_perm<2, 1, 0, 3>(c), 255.0f));
  i = _mm_packs_epi32(i, i);
  i = _mm_packus_epi16(i, i);
  return (D3dColor)_mm_cvtsi128_si32(i);
}

// 0xAARRGGBB to (r, g, b, a) in 0..1. Each byte stays in place (only masked)
// and is scaled by 1 / (255 * 2^bit position), which gives the same floats as
// byte * (1 / 255.0f) without any shifts.
inline __m128 d3d_to_color(D3dColor c) {
  __m128 bytes = _mm_setr_ps((float)(c & 0x00FF0000u), (float)(c & 0x0000FF00u), (float)(c & 0x000000FFu),
                             (float)(c & 0xFF000000u));
  return v_mul(bytes, _mm_setr_ps(1.0f / (255.0f * 65536.0f), 1.0f / (255.0f * 256.0f), 1.0f / 255.0f,
                                  1.0f / (255.0f * 16777216.0f)));
}

// Rectangles are (x0, y0, x1, y1). True when b overlaps a; b touching a's right
// or top edge counts, touching its left or bottom edge does not.
inline bool rect_overlap(__m128 a, __m128 b) {
  return v_x(b) <= v_z(a) && v_y(b) <= v_w(a) && v_z(b) > v_x(a) && v_w(b) > v_y(a);
}
// The rectangle around both: (min x0, min y0, max x1, max y1), NaN lanes from b.
inline __m128 rect_union(__m128 a, __m128 b) {
  return _mm_shuffle_ps(v_min(a, b), v_max(a, b), _MM_SHUFFLE(3, 2, 1, 0));
}

// ---- quaternions ---------------------------------------------------------------
// One convention throughout the engine, the script API's included:
// quat_rotate(q, v) turns v by the conjugate sandwich q* v q, so a positive
// angle about +z turns x toward -y, and quat_mul(a, b) composes with b applied
// first. quat_from_motion returns quaternions in this convention.

// The conjugate (-x, -y, -z, w) by flipping three sign bits (0 becomes -0); the
// inverse of a unit quaternion.
inline __m128 quat_conj(__m128 q) {
  return v_xor(q, _mm_castsi128_ps(_mm_setr_epi32((int)0x80000000u, (int)0x80000000u, (int)0x80000000u, 0)));
}
// q / |q| over all four lanes; zero for a zero quaternion.
inline __m128 quat_norm(__m128 q) { return v_div_or_zero(q, v_len4(q)); }
// Composition: quat_rotate(quat_mul(a, b), v) == quat_rotate(a, quat_rotate(b, v)).
__m128 quat_mul(__m128 a, __m128 b);
// v.xyz rotated by the unit quaternion q; w of the result is v.w.
__m128 quat_rotate(__m128 q, __m128 v);
// The rotation by `angle` radians about `axis` (normalised here; a zero axis
// gives (0, 0, 0, cos(angle / 2))).
__m128 quat_from_axis_angle(__m128 axis, float angle);

// ---- 4x4 matrix, row-vector style ----------------------------------------------

// Row-major; a point is multiplied from the left (v x M) and row 3 holds the
// translation.
struct Matrix44 {
  union {
    __m128 row[4];
    float m[4][4];
  };
};

Matrix44 matrix_identity();
// a then b: v x (a x b) = (v x a) x b.
Matrix44 matrix_mul(const Matrix44& a, const Matrix44& b);
// v x M with all four lanes of v.
__m128 matrix_transform(__m128 v, const Matrix44& m);
Matrix44 matrix_transpose(const Matrix44& m);
Matrix44 matrix_translation(float x, float y, float z);
// The rotation matrix that maps v to quat_rotate(q, v) in row-vector form.
Matrix44 matrix_from_quat(__m128 q);

// ---- exported geometric functions ---------------------------------------------

// Sphere (cx, cy, cz, r) around spheres (x, y, z, r): the centre of their box,
// the radius reaching the farthest one. Not the smallest such sphere.
__m128 compute_bounding_sphere(const __m128* spheres, int count);
// The unit quaternion q of the rotation carrying a to c and b to d:
// quat_rotate(q, a) is c (in the Hamilton sandwich p v p* it is the conjugate
// of p). (0, 0, 0, 0) when a and b are parallel or zero.
__m128 quat_from_motion(__m128 a, __m128 b, __m128 c, const __m128& d);
// Moeller-Trumbore: distance along the ray in lengths of dir, -1 on a miss. Both
// faces hit. u and v (weights of c1 and c2) are stored on a hit when not null.
float ray_triangle_intersect(__m128 c0, __m128 c1, __m128 c2, const __m128& origin, const __m128& dir,
                             float* u, float* v);
// Point on the unit sphere; uniform for u, v uniform in 0..1.
__m128 vector_on_sphere(float u, float v);
// Point in the unit ball; uniform for u, v, s uniform in 0..1.
__m128 vector_in_sphere(float u, float v, float s);
