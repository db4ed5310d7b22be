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

static SqVec4f* new_vec(vec4float value) {
  SqVec4f* p = (SqVec4f*)dlmalloc(sizeof(SqVec4f));
  if (p)
    p->v = value;
  return p;
}

namespace sqbind {

// The script takes ownership of the vector; one it cannot take is freed.
void push(HSQUIRRELVM v, SqVec4f* vec) {
  hand_over_or_free(vec, [&] {
    push_instance(v, vec, ClassTag<SqVec4f>::tag(), "vec4f", releaseInstHook<SqVec4f>);
  });
}

void push(HSQUIRRELVM v, vec4float value) {
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
static vec4float vec_from_args(HSQUIRRELVM vm, float a) {
  if (sq_gettop(vm) == 5) {
    float b = sqbind::get<float>(vm, 3);
    float c = sqbind::get<float>(vm, 4);
    float d = sqbind::get<float>(vm, 5);
    return vec4float(a, b, c, d);
  }
  return vec4float(a, a, a, a);
}

static void vec4f_ctor(HSQUIRRELVM vm, float a) {
  SqVec4f* p = new_vec(vec_from_args(vm, a));
  sqbind::init_instance_of(p, vm);
}

// clone(): the copy is a new instance without a native object; it gets its own.
static SQInteger vec4f_cloned(HSQUIRRELVM vm) {
  SqVec4f* p = new_vec(operand_at(vm, 2));
  sqbind::init_instance_of(p, vm);
  return 0;
}

static unsigned checked_index(SQInteger index) {
  if (index < 0 || index > 3)
    throw SquirrelError("vec4f index out of range");
  return (unsigned)index;
}

float SqVec4f::get(SQInteger index) { return v_lane(v, checked_index(index)); }

void SqVec4f::set(SQInteger index, float value) { v = v_with_lane(v, checked_index(index), value); }

vec4float SqVec4f::unm() { return v_neg(v); }

int SqVec4f::cmp(const SqObject& other, HSQUIRRELVM vm) {
  __m128 o = sqbind::get_operand(vm, other.obj);
  if (v_sign_bits(v_cmpeq(v, o)) == 0xF)
    return 0;
  if (v_sign_bits(v_cmpgt(v, o)) == 0xF)
    return 1;
  return -1;
}

SqObject SqVec4f::tostring(HSQUIRRELVM vm) {
  TempString<256> text;
  text.format("vec4f(%g, %g, %g, %g)", v_x(v), v_y(v), v_z(v), v_w(v));
  return SqObject(vm, text.c_str());
}

// The arithmetic metamethods: this op operand, lane-wise.
template <__m128 (*op)(__m128, __m128)>
static SQInteger vec4f_arith(HSQUIRRELVM vm) {
  SqVec4f* self = sqbind::getInst<SqVec4f>(vm, 1);
  __m128 o = operand_at(vm, 2);
  sqbind::push(vm, vec4float(op(self->v, o)));
  return 1;
}

// ---- formulas -----------------------------------------------------------------------
// Cross products, lengths, normalisation and the quaternion product, rotation and
// conjugate are the engine's own (engine/core/geometry.h); the rest are only
// scripts' and keep the order of operations written beside them.

static __m128 quat_arc(__m128 u, __m128 v) {
  __m128 c = v_cross3(v, u);
  float w = sqrtf(v_dot3_x(u, u) * v_dot3_x(v, v)) + v_dot3_x(u, v);
  return quat_norm(v_with_lane(c, 3, w));
}

// (sin(angle/2) in lane `axis`, zeros, cos(angle/2) in w).
template <int axis>
static __m128 quat_about(float angle) {
  alignas(16) float f[4] = {0, 0, 0, 0};
  sincosf(angle * 0.5f, &f[axis], &f[3]);
  return _mm_load_ps(f);
}

static __m128 f_norm3a(__m128 v) { return v_mul(v, _mm_rsqrt_ps(v_dot3(v, v))); }
static __m128 f_len3sq(__m128 v) { return v_dot3(v, v); }
static float f_len2xz_sq(__m128 v) { return v_z(v) * v_z(v) + v_x(v) * v_x(v); }
static float f_len2xz(__m128 v) { return sqrtf(f_len2xz_sq(v)); }
static __m128 f_quat_interp(__m128 a, __m128 b, float t) { return quat_norm(v_add(a, v_scale(v_sub(b, a), t))); }
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

// ---- global script functions ----------------------------------------------------------

// The attributes of __m128 do not matter to the templates below.
#pragma GCC diagnostic ignored "-Wignored-attributes"

// A formula as scripts call it: its vectors come and go as vec4float.
template <class T>
struct ScriptSide {
  using type = T;
};
template <>
struct ScriptSide<__m128> {
  using type = vec4float;
};
template <auto formula>
struct ScriptForm;
template <class R, class... A, R (*formula)(A...)>
struct ScriptForm<formula> {
  static typename ScriptSide<R>::type call(typename ScriptSide<A>::type... args) { return formula(args...); }
};
template <auto formula>
constexpr auto script_form = &ScriptForm<formula>::call;

static SqVec4f* make4f(HSQUIRRELVM vm, float f) { return new_vec(vec_from_args(vm, f)); }

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
  def(vm, script_form<v_cross3>, "cross");
  def(vm, script_form<v_norm3>, "norm3");
  // The processor's approximate reciprocal square root; no test for zero length.
  def(vm, script_form<f_norm3a>, "norm3a");
  def(vm, script_form<v_dot3>, "dot3");
  def(vm, script_form<v_dot4>, "dot4");
  def(vm, script_form<v_len3>, "len3");
  def(vm, script_form<f_len3sq>, "len3Sq");
  def(vm, script_form<f_len2xz>, "len2xz");
  def(vm, script_form<f_len2xz_sq>, "len2xzSq");
  def(vm, script_form<v_x>, "getx");
  def(vm, script_form<v_y>, "gety");
  def(vm, script_form<v_z>, "getz");
  def(vm, script_form<x4f>, "x4f");
  def(vm, script_form<y4f>, "y4f");
  def(vm, script_form<z4f>, "z4f");
  def(vm, script_form<w4f>, "w4f");
  def(vm, script_form<quat_from_axis_angle>, "make_quat");
  def(vm, script_form<quat_about<0>>, "quat_x");
  def(vm, script_form<quat_about<1>>, "quat_y");
  def(vm, script_form<quat_about<2>>, "quat_z");
  def(vm, script_form<quat_norm>, "quat_norm");
  def(vm, script_form<quat_conj>, "quat_inv");
  def(vm, script_form<quat_mul>, "quat_mul");
  def(vm, script_form<quat_rotate>, "quat_rotate");
  def(vm, script_form<quat_arc>, "quat_arc");
  def(vm, script_form<f_quat_interp>, "quat_interp");
  def(vm, script_form<f_quat_x_axis>, "quat_x_axis");
  def(vm, script_form<f_quat_y_axis>, "quat_y_axis");
  def(vm, script_form<f_quat_z_axis>, "quat_z_axis");
  def(vm, script_form<vector_on_sphere>, "vector_on_sphere");
  def(vm, script_form<vector_in_sphere>, "vector_in_sphere");
}
