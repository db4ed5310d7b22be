#include "script_runner.h"
#include "squirrel.h"
#include "libs/squirrel/tools/bounded_heap.h"
#include "sqstdaux.h"
#include "sqstdmath.h"
#include "sqstdstring.h"
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <fstream>
#include <sstream>

namespace {
ScriptResult* g_current = nullptr;

// Scripts run on a heap of bounded size, as under a memory limit.
const size_t kHeapBudget = 256u << 20;

void append(std::string& to, const SQChar* fmt, va_list ap) {
  char buf[4096];
  va_list copy;
  va_copy(copy, ap);
  int n = vsnprintf(buf, sizeof(buf), fmt, copy);
  va_end(copy);
  if (n < (int)sizeof(buf)) { to.append(buf, n > 0 ? n : 0); return; }
  std::string big(n + 1, '\0');
  vsnprintf(big.data(), big.size(), fmt, ap);
  to.append(big.data(), n);
}
void print_out(HSQUIRRELVM, const SQChar* fmt, ...) { va_list ap; va_start(ap, fmt); append(g_current->out, fmt, ap); va_end(ap); }
void print_err(HSQUIRRELVM, const SQChar* fmt, ...) { va_list ap; va_start(ap, fmt); append(g_current->err, fmt, ap); va_end(ap); }
}  // namespace

ScriptResult run_script_text(const std::string& text, const std::string& sourceName) {
  ScriptResult r;
  g_current = &r;
  bounded_heap_init(kHeapBudget);
  HSQUIRRELVM v = sq_open(1024);
  sq_setprintfunc(v, print_out, print_err);
  sqstd_seterrorhandlers(v);
  sq_pushroottable(v);
  sqstd_register_mathlib(v);
  sqstd_register_stringlib(v);
  sq_pop(v, 1);
  if (SQ_SUCCEEDED(sq_compilebuffer(v, text.data(), (SQInteger)text.size(), sourceName.c_str(), SQTrue))) {
    sq_pushroottable(v);
    r.ok = SQ_SUCCEEDED(sq_call(v, 1, SQFalse, SQTrue));
    sq_pop(v, 1);
  }
  sq_close(v);
  bounded_heap_close();
  g_current = nullptr;
  return r;
}

std::string read_text_file(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}
