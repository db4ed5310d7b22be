#pragma once
// The script class "vec4f" (one native four-float value) and the global script
// functions that build, measure and combine such values and treat them as
// quaternions (x, y, z, w with the scalar part in w).
#include <xmmintrin.h>

#include "engine/script/sqbind.h"

// The native object behind one "vec4f" instance: 16 bytes from the engine heap.
struct SqVec4f {
  __m128 v;

  // The index is the script's 64-bit integer, checked before it is narrowed.
  float get(SQInteger index);
  void set(SQInteger index, float value);
  __m128 unm();
  int cmp(const sqbind::SqObject& other, HSQUIRRELVM vm);
  sqbind::SqObject tostring(HSQUIRRELVM vm);
  void onLoaded() {}
};

// The attributes of __m128 do not matter to the argument traits below.
#pragma GCC diagnostic ignored "-Wignored-attributes"

namespace sqbind {
// A vector argument: the four floats of a "vec4f" instance.
template <>
struct Arg<__m128> {
  static constexpr int slots = 1;
  using Hold = SqVec4f*;
  static SqVec4f* get(HSQUIRRELVM v, SQInteger idx) { return getInst<SqVec4f>(v, idx); }
  static __m128 pass(Hold h) { return h->v; }
};

// An operand of the arithmetic metamethods, _cmp and _cloned: a number n gives
// (n, n, n, n), an array its elements 0..3, else it must be a "vec4f".
__m128 get_operand(HSQUIRRELVM v, const HSQOBJECT& o);
}  // namespace sqbind

void register_vec4f_bindings(HSQUIRRELVM vm);

