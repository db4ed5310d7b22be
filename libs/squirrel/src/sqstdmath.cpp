// Math standard library.
#include "sqstdmath.h"
#include "sqvm.h"
#include <math.h>
#include <stdlib.h>

static SQFloat arg_float(HSQUIRRELVM v, SQInteger i) { SQFloat f = 0; sq_getfloat(v, i, &f); return f; }

#define MATH_FN1(name, expr)                                         \
  static SQInteger math_##name(HSQUIRRELVM v) {                      \
    SQFloat x = arg_float(v, 2);                                     \
    sq_pushfloat(v, (SQFloat)(expr));                                \
    return 1;                                                        \
  }
MATH_FN1(sqrt, sqrt(x))
MATH_FN1(sin, sin(x))
MATH_FN1(cos, cos(x))
MATH_FN1(asin, asin(x))
MATH_FN1(acos, acos(x))
MATH_FN1(log, log(x))
MATH_FN1(log10, log10(x))
MATH_FN1(tan, tan(x))
MATH_FN1(atan, atan(x))
MATH_FN1(floor, floor(x))
MATH_FN1(ceil, ceil(x))
MATH_FN1(exp, exp(x))
MATH_FN1(fabs, fabs(x))

static SQInteger math_atan2(HSQUIRRELVM v) { sq_pushfloat(v, (SQFloat)atan2(arg_float(v, 2), arg_float(v, 3))); return 1; }
static SQInteger math_pow(HSQUIRRELVM v) { sq_pushfloat(v, (SQFloat)pow(arg_float(v, 2), arg_float(v, 3))); return 1; }
static SQInteger math_srand(HSQUIRRELVM v) {
  SQInteger seed = 0;
  sq_getinteger(v, 2, &seed);
  srand((unsigned int)seed);
  return 0;
}
static SQInteger math_rand(HSQUIRRELVM v) { sq_pushinteger(v, rand()); return 1; }
static SQInteger math_abs(HSQUIRRELVM v) {
  SQInteger n = 0;
  sq_getinteger(v, 2, &n);
  sq_pushinteger(v, n < 0 ? (SQInteger)(0 - (SQUnsignedInteger)n) : n);
  return 1;
}

static const SQRegFunction g_mathlib[] = {
  {"sqrt", math_sqrt, 2, ".n"}, {"sin", math_sin, 2, ".n"}, {"cos", math_cos, 2, ".n"},
  {"asin", math_asin, 2, ".n"}, {"acos", math_acos, 2, ".n"}, {"log", math_log, 2, ".n"},
  {"log10", math_log10, 2, ".n"}, {"tan", math_tan, 2, ".n"}, {"atan", math_atan, 2, ".n"},
  {"atan2", math_atan2, 3, ".nn"}, {"pow", math_pow, 3, ".nn"}, {"floor", math_floor, 2, ".n"},
  {"ceil", math_ceil, 2, ".n"}, {"exp", math_exp, 2, ".n"}, {"srand", math_srand, 2, ".n"},
  {"rand", math_rand, 1, nullptr}, {"fabs", math_fabs, 2, ".n"}, {"abs", math_abs, 2, ".n"},
  {nullptr, nullptr, 0, nullptr}};

SQRESULT sqstd_register_mathlib(HSQUIRRELVM v) {
  for (const SQRegFunction* f = g_mathlib; f->name; f++) {
    sq_pushstring(v, f->name, -1);
    sq_newclosure(v, f->f, 0);
    sq_setparamscheck(v, f->nparamscheck, f->typemask);
    sq_setnativeclosurename(v, -1, f->name);
    sq_newslot(v, -3, SQFalse);
  }
  sq_pushstring(v, "RAND_MAX", -1);
  sq_pushinteger(v, RAND_MAX);
  sq_newslot(v, -3, SQFalse);
  sq_pushstring(v, "PI", -1);
  sq_pushfloat(v, (SQFloat)3.14159265358979323846);
  sq_newslot(v, -3, SQFalse);
  return SQ_OK;
}
