// libFuzzer target: compiles the input as a script and, when it compiles, runs it with a
// bounded execution budget. Any crash, leak or sanitizer report is a fault of the library.
#include "squirrel.h"
#include "sqstdaux.h"
#include "sqstdmath.h"
#include "sqstdstring.h"
#include "../src/sqvm.h"
#include <stddef.h>
#include <stdint.h>

static void quiet(HSQUIRRELVM, const SQChar*, ...) {}
static void quiet_compiler(HSQUIRRELVM, const SQChar*, const SQChar*, SQInteger, SQInteger) {}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  HSQUIRRELVM v = sq_open(256);
  sq_setprintfunc(v, quiet, quiet);
  sqstd_seterrorhandlers(v);
  sq_setcompilererrorhandler(v, quiet_compiler);
  sq_pushroottable(v);
  sqstd_register_mathlib(v);
  sqstd_register_stringlib(v);
  sq_pop(v, 1);
  sq_setopslimit(v, 20000);
  if (SQ_SUCCEEDED(sq_compilebuffer(v, (const SQChar*)data, (SQInteger)size, "fuzz", SQTrue))) {
    sq_pushroottable(v);
    sq_call(v, 1, SQFalse, SQTrue);
    sq_pop(v, 1);
    sq_collectgarbage(v);
  }
  sq_close(v);
  return 0;
}
