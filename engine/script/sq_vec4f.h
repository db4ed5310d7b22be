#pragma once
// The script class "vec4f" (one native four-float value) and the global script
// functions that build, measure and combine such values and treat them as
// quaternions (x, y, z, w with the scalar part in w).
#include <xmmintrin.h>

#include "engine/script/sqbind.h"

// The engine's four-float value: x, y, z, w in lanes 0..3 of one SIMD value.
struct vec4float {
  __m128 v;

  vec4float() = default;  // the value is left unset
  vec4float(float x, float y, float z, float w) : v(_mm_setr_ps(x, y, z, w)) {}
  vec4float(__m128 value) : v(value) {}
  operator __m128() const { return v; }
};

// The native object behind one "vec4f" instance: one vec4float, 16 bytes from the
// engine heap.
struct SqVec4f : vec4float {
  // The index is the script's 64-bit integer, checked before it is narrowed.
  float get(SQInteger index);
  void set(SQInteger index, float value);
  vec4float unm();
  int cmp(const sqbind::SqObject& other, HSQUIRRELVM vm);
  sqbind::SqObject tostring(HSQUIRRELVM vm);
  void onLoaded() {}
};

namespace sqbind {
// A vector argument: the value of a "vec4f" instance.
template <>
struct Arg<vec4float> {
  static constexpr int slots = 1;
  using Hold = SqVec4f*;
  static SqVec4f* get(HSQUIRRELVM v, SQInteger idx) { return getInst<SqVec4f>(v, idx); }
  static vec4float pass(Hold h) { return *h; }
};

// An operand of the arithmetic metamethods, _cmp and _cloned: a number n gives
// (n, n, n, n), an array its elements 0..3, else it must be a "vec4f".
__m128 get_operand(HSQUIRRELVM v, const HSQOBJECT& o);
}  // namespace sqbind

void register_vec4f_bindings(HSQUIRRELVM vm);

