#include "fuzz_script_run.h"
#include "squirrel.h"
#include "sqstdaux.h"
#include "sqstdmath.h"
#include "sqstdstring.h"
#include "../src/sqvm.h"  // sq_setopslimit
#include "../tools/bounded_heap.h"

namespace {
// Running out takes a small fraction of a second even under the sanitizers.
const size_t kHeapBudget = 16u << 20;
const SQInteger kOpsLimit = 20000;

void quiet(HSQUIRRELVM, const SQChar*, ...) {}
void quiet_compiler(HSQUIRRELVM, const SQChar*, const SQChar*, SQInteger, SQInteger) {}

// The VM's last error as text ("error" when the value thrown is not a string).
std::string last_error(HSQUIRRELVM v) {
  sq_getlasterror(v);
  const SQChar* text = nullptr;
  std::string out = SQ_SUCCEEDED(sq_getstring(v, -1, &text)) ? text : "error";
  sq_pop(v, 1);
  return out;
}
}  // namespace

std::string fuzz_run_script(const char* text, size_t size) {
  bounded_heap_init(kHeapBudget);
  HSQUIRRELVM v = sq_open(256);
  sq_setprintfunc(v, quiet, quiet);
  sqstd_seterrorhandlers(v);
  sq_setcompilererrorhandler(v, quiet_compiler);
  sq_pushroottable(v);
  sqstd_register_mathlib(v);
  sqstd_register_stringlib(v);
  sq_pop(v, 1);
  sq_setopslimit(v, kOpsLimit);
  std::string error;
  if (SQ_SUCCEEDED(sq_compilebuffer(v, text, (SQInteger)size, "fuzz", SQTrue))) {
    sq_pushroottable(v);
    if (SQ_FAILED(sq_call(v, 1, SQFalse, SQTrue))) error = last_error(v);
    sq_pop(v, 1);
    sq_collectgarbage(v);
  } else {
    error = last_error(v);
  }
  sq_close(v);
  bounded_heap_close();
  return error;
}
