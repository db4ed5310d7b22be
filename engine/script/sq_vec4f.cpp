// The script vector and quaternion API. Every formula keeps the order of operations
// written beside it, so results repeat bit for bit.
#include "engine/script/sq_vec4f.h"

#include <cmath>
#include <cstdio>

#include "engine/core/geometry.h"
#include "engine/core/mem.h"

using sqbind::SqObject;
using sqbind::SquirrelError;

// ---- instances ----------------------------------------------------------------------

static SqVec4f* new_vec(__m128 value) {
  SqVec4f* p = (SqVec4f*)dlmalloc(sizeof(SqVec4f));
  if (p)
    p->v = value;
  return p;
}

namespace sqbind {

void push(HSQUIRRELVM v, SqVec4f* vec) {
  push_instance(v, vec, ClassTag<SqVec4f>::tag(), "vec4f", releaseInstHook<SqVec4f>);
}

void push(HSQUIRRELVM v, __m128 value) {
  // A failed allocation pushes null (push_instance does so for a null object).
  push(v, new_vec(value));
}

__m128 get_operand(HSQUIRRELVM v, const HSQOBJECT& o) {
  if (o._type & SQOBJECT_NUMERIC)
    return v_splat(sq_objtofloat(&o));
  if (o._type == OT_ARRAY) {
    float x = get_float_at(v, o, 0);
    float y = get_float_at(v, o, 1);
    float z = get_float_at(v, o, 2);
    float w = get_float_at(v, o, 3);
    return v_make(x, y, z, w);
  }
  sq_pushobject(v, o);
  SqVec4f* p = getInstOrNull<SqVec4f>(v, -1);
  sq_poptop(v);
  if (!p)
    throw SquirrelError(get_inst_error_text);
  return p->v;
}

}  // namespace sqbind

static __m128 operand_at(HSQUIRRELVM v, SQInteger idx) {
  HSQOBJECT o;
  sq_getstackobj(v, idx, &o);
  return sqbind::get_operand(v, o);
}

// Four script arguments give (a, b, c, d); any other count of at least one (a, a, a, a).
// `a` has been read from slot 2; the others are read here.
static __m128 vec_from_args(HSQUIRRELVM vm, float a) {
  if (sq_gettop(vm) == 5) {
    float b = sqbind::get<float>(vm, 3);
    float c = sqbind::get<float>(vm, 4);
    float d = sqbind::get<float>(vm, 5);
    return v_make(a, b, c, d);
  }
  return v_splat(a);
}

static void vec4f_ctor(HSQUIRRELVM vm, float a) {
  __m128 value = vec_from_args(vm, a);
  SqVec4f* p = new_vec(value);
  sqbind::init_instance_of(p, vm);
}

// clone(): the copy is a new instance without a native object; it gets its own.
static SQInteger vec4f_cloned(HSQUIRRELVM vm) {
  __m128 value = operand_at(vm, 2);
  SqVec4f* p = new_vec(value);
  sqbind::init_instance_of(p, vm);
  return 0;
}

static unsigned checked_index(int index) {
  if ((unsigned)index > 3u)
    throw SquirrelError("vec4f index out of range");
  return (unsigned)index;
}

float SqVec4f::get(int index) {
  alignas(16) float f[4];
  _mm_store_ps(f, v);
  return f[checked_index(index)];
}

void SqVec4f::set(int index, float value) {
  alignas(16) float f[4];
  _mm_store_ps(f, v);
  f[checked_index(index)] = value;
  v = _mm_load_ps(f);
}

__m128 SqVec4f::unm() { return v_sub(v_zero(), v); }

int SqVec4f::cmp(const SqObject& other, HSQUIRRELVM vm) {
  __m128 o = sqbind::get_operand(vm, other.obj);
  if (_mm_movemask_ps(_mm_cmpeq_ps(v, o)) == 0xf)
    return 0;
  if (_mm_movemask_ps(_mm_cmpgt_ps(v, o)) == 0xf)
    return 1;
  return -1;
}

SqObject SqVec4f::tostring(HSQUIRRELVM vm) {
  alignas(16) float f[4];
  _mm_store_ps(f, v);
  TempString<256> text;
  text.format("vec4f(%g, %g, %g, %g)", f[0], f[1], f[2], f[3]);
  return SqObject(vm, text.c_str());
}

// The arithmetic metamethods: this op operand, lane-wise.
template <__m128 (*op)(__m128, __m128)>
static SQInteger vec4f_arith(HSQUIRRELVM vm) {
  SqVec4f* self = sqbind::getInst<SqVec4f>(vm, 1);
  __m128 o = operand_at(vm, 2);
  sqbind::push(vm, op(self->v, o));
  return 1;
}

// ---- formulas -----------------------------------------------------------------------

static __m128 splat_sqrt(__m128 s) { return _mm_sqrt_ps(s); }

__m128 sq_cross(__m128 a, __m128 b) {
  __m128 a_yzx = v_perm<1, 2, 0, 3>(a), a_zxy = v_perm<2, 0, 1, 3>(a);
  __m128 b_yzx = v_perm<1, 2, 0, 3>(b), b_zxy = v_perm<2, 0, 1, 3>(b);
  // lane 3: a.w b.w - a.w b.w
  return v_sub(v_mul(a_yzx, b_zxy), v_mul(a_zxy, b_yzx));
}

// v divided by the length `len` (splat); zero when the length is 0.
static __m128 div_or_zero(__m128 v, __m128 len) {
  if (v_x(len) == 0)
    return v_zero();
  return v_div(v, len);
}

__m128 sq_norm3(__m128 v) { return div_or_zero(v, splat_sqrt(v_dot3(v, v))); }
__m128 sq_norm3a(__m128 v) { return v_mul(v, _mm_rsqrt_ps(v_dot3(v, v))); }
__m128 sq_quat_norm(__m128 q) { return div_or_zero(q, splat_sqrt(v_dot4(q, q))); }

__m128 sq_quat_inv(__m128 q) {
  return v_xor(q, _mm_castsi128_ps(_mm_setr_epi32((int)0x80000000u, (int)0x80000000u, (int)0x80000000u, 0)));
}

__m128 sq_quat_mul(__m128 a, __m128 b) {
  float ax = v_x(a), ay = v_y(a), az = v_z(a), aw = v_w(a);
  float bx = v_x(b), by = v_y(b), bz = v_z(b), bw = v_w(b);
  float x = ((aw * bx + az * by) - ay * bz) + ax * bw;
  float y = ((aw * by - az * bx) + ax * bz) + ay * bw;
  float z = ((ay * bx - ax * by) + aw * bz) + az * bw;
  float w = ((-ax * bx - ay * by) - az * bz) + aw * bw;
  return v_make(x, y, z, w);
}

static __m128 with_w(__m128 xyz, float w) {
  alignas(16) float f[4];
  _mm_store_ps(f, xyz);
  f[3] = w;
  return _mm_load_ps(f);
}

__m128 sq_quat_rotate(__m128 q, __m128 v) {
  __m128 t = v_add(sq_cross(v, q), v_mul(v_splat_w(q), v));
  __m128 r = v_add(v, v_scale(sq_cross(t, q), 2.0f));
  return with_w(r, v_w(v));
}

__m128 sq_quat_arc(__m128 u, __m128 v) {
  __m128 c = sq_cross(v, u);
  float w = sqrtf(v_x(v_dot3(u, u)) * v_x(v_dot3(v, v))) + v_x(v_dot3(u, v));
  return sq_quat_norm(with_w(c, w));
}

__m128 sq_make_quat(__m128 axis, float angle) {
  __m128 len = splat_sqrt(v_dot3(axis, axis));
  __m128 n = div_or_zero(axis, len);
  float s, c;
  sincosf(angle * 0.5f, &s, &c);
  return with_w(v_scale(n, s), c);
}

// (sin(angle/2) in lane `axis`, zeros, cos(angle/2) in w).
template <int axis>
static __m128 quat_about(float angle) {
  alignas(16) float f[4] = {0, 0, 0, 0};
  sincosf(angle * 0.5f, &f[axis], &f[3]);
  return _mm_load_ps(f);
}

// ---- global script functions ----------------------------------------------------------

static SqVec4f* make4f(HSQUIRRELVM vm, float f) { return new_vec(vec_from_args(vm, f)); }
static __m128 f_cross(__m128 a, __m128 b) { return sq_cross(a, b); }
static __m128 f_norm3(__m128 v) { return sq_norm3(v); }
static __m128 f_norm3a(__m128 v) { return sq_norm3a(v); }
static __m128 f_dot3(__m128 a, __m128 b) { return v_dot3(a, b); }
static __m128 f_dot4(__m128 a, __m128 b) { return v_dot4(a, b); }
static __m128 f_len3(__m128 v) { return splat_sqrt(v_dot3(v, v)); }
static __m128 f_len3sq(__m128 v) { return v_dot3(v, v); }
static float f_len2xz_sq(__m128 v) { return v_z(v) * v_z(v) + v_x(v) * v_x(v); }
static float f_len2xz(__m128 v) { return sqrtf(f_len2xz_sq(v)); }
static float f_getx(__m128 v) { return v_x(v); }
static float f_gety(__m128 v) { return v_y(v); }
static float f_getz(__m128 v) { return v_z(v); }
static __m128 f_x4f(float f) { return x4f(f); }
static __m128 f_y4f(float f) { return y4f(f); }
static __m128 f_z4f(float f) { return z4f(f); }
static __m128 f_w4f(float f) { return w4f(f); }
static __m128 f_make_quat(__m128 axis, float angle) { return sq_make_quat(axis, angle); }
static __m128 f_quat_x(float a) { return quat_about<0>(a); }
static __m128 f_quat_y(float a) { return quat_about<1>(a); }
static __m128 f_quat_z(float a) { return quat_about<2>(a); }
static __m128 f_quat_norm(__m128 q) { return sq_quat_norm(q); }
static __m128 f_quat_inv(__m128 q) { return sq_quat_inv(q); }
static __m128 f_quat_mul(__m128 a, __m128 b) { return sq_quat_mul(a, b); }
static __m128 f_quat_rotate(__m128 q, __m128 v) { return sq_quat_rotate(q, v); }
static __m128 f_quat_arc(__m128 u, __m128 v) { return sq_quat_arc(u, v); }
static __m128 f_quat_interp(__m128 a, __m128 b, float t) {
  return sq_quat_norm(v_add(a, v_scale(v_sub(b, a), t)));
}
static __m128 f_quat_x_axis(__m128 q) {
  float x = v_x(q), y = v_y(q), z = v_z(q), w = v_w(q);
  return v_make(2 * (w * w + x * x) - 1, 2 * (x * y - w * z), 2 * (w * y + x * z), 0);
}
static __m128 f_quat_y_axis(__m128 q) {
  float x = v_x(q), y = v_y(q), z = v_z(q), w = v_w(q);
  return v_make(2 * (w * z + x * y), 2 * (w * w + y * y) - 1, 2 * (y * z - w * x), 0);
}
static __m128 f_quat_z_axis(__m128 q) {
  float x = v_x(q), y = v_y(q), z = v_z(q), w = v_w(q);
  return v_make(2 * (x * z - w * y), 2 * (w * x + y * z), 2 * (w * w + z * z) - 1, 0);
}
static __m128 f_vector_on_sphere(float u, float v) { return vector_on_sphere(u, v); }
static __m128 f_vector_in_sphere(float u, float v, float w) { return vector_in_sphere(u, v, w); }

void register_vec4f_bindings(HSQUIRRELVM vm) {
  {
    sqbind::ClassDef<SqVec4f> cls(vm, "vec4f");
    cls.def(vec4f_ctor)
        .def(vec4f_cloned, "_cloned")
        .def(&SqVec4f::unm, "_unm")
        .def(&SqVec4f::tostring, "_tostring")
        .def(&SqVec4f::cmp, "_cmp")
        .def(&SqVec4f::get, "_get")
        .def(&SqVec4f::set, "_set")
        .def(&SqVec4f::onLoaded, "onLoaded")
        .def(vec4f_arith<v_add>, "_add")
        .def(vec4f_arith<v_sub>, "_sub")
        .def(vec4f_arith<v_mul>, "_mul")
        .def(vec4f_arith<v_div>, "_div");
  }
  using sqbind::def;
  def(vm, make4f, "make4f");
  def(vm, f_cross, "cross");
  def(vm, f_norm3, "norm3");
  def(vm, f_norm3a, "norm3a");
  def(vm, f_dot3, "dot3");
  def(vm, f_dot4, "dot4");
  def(vm, f_len3, "len3");
  def(vm, f_len3sq, "len3Sq");
  def(vm, f_len2xz, "len2xz");
  def(vm, f_len2xz_sq, "len2xzSq");
  def(vm, f_getx, "getx");
  def(vm, f_gety, "gety");
  def(vm, f_getz, "getz");
  def(vm, f_x4f, "x4f");
  def(vm, f_y4f, "y4f");
  def(vm, f_z4f, "z4f");
  def(vm, f_w4f, "w4f");
  def(vm, f_make_quat, "make_quat");
  def(vm, f_quat_x, "quat_x");
  def(vm, f_quat_y, "quat_y");
  def(vm, f_quat_z, "quat_z");
  def(vm, f_quat_norm, "quat_norm");
  def(vm, f_quat_inv, "quat_inv");
  def(vm, f_quat_mul, "quat_mul");
  def(vm, f_quat_rotate, "quat_rotate");
  def(vm, f_quat_arc, "quat_arc");
  def(vm, f_quat_interp, "quat_interp");
  def(vm, f_quat_x_axis, "quat_x_axis");
  def(vm, f_quat_y_axis, "quat_y_axis");
  def(vm, f_quat_z_axis, "quat_z_axis");
  def(vm, f_vector_on_sphere, "vector_on_sphere");
  def(vm, f_vector_in_sphere, "vector_in_sphere");
}
