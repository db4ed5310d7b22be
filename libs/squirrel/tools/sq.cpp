// sq FILE [ARGS...]: runs a script with the math and string libraries. Errors go to
// stderr with the call stack, and the exit code is 1; so does a FILE that is no
// regular file (a folder, say), named with what is wrong.
#include "squirrel.h"
#include "sqstdaux.h"
#include "sqstdmath.h"
#include "sqstdstring.h"
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <malloc.h>
#include <sys/stat.h>
#include <new>
#include <string>

static void print_func(HSQUIRRELVM, const SQChar* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  vfprintf(stdout, fmt, ap);
  va_end(ap);
}
static void error_func(HSQUIRRELVM, const SQChar* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  vfprintf(stderr, fmt, ap);
  va_end(ap);
}

static int run(int argc, char** argv);

int main(int argc, char** argv) {
  // the VM turns a failed allocation in a script into a script error; this catches one
  // outside any script (opening the VM, reading the arguments)
  try {
    return run(argc, argv);
  } catch (const std::bad_alloc&) {
    fprintf(stderr, "out of memory\n");
    return 1;
  }
}

static int run(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: sq FILE [ARGS...]\n");
    return 1;
  }
  struct stat st;
  if (stat(argv[1], &st) == 0 && !S_ISREG(st.st_mode)) {
    fprintf(stderr, "sq: FILE: '%s' is not a regular file\n", argv[1]);
    return 1;
  }
  FILE* f = fopen(argv[1], "rb");
  if (!f) {
    fprintf(stderr, "sq: FILE: cannot open '%s'\n", argv[1]);
    return 1;
  }
  std::string text;
  char buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof(buf), f)) > 0) text.append(buf, n);
  bool unread = ferror(f) != 0;
  fclose(f);
  if (unread) {
    fprintf(stderr, "sq: FILE: cannot read '%s'\n", argv[1]);
    return 1;
  }
  if (text.size() >= 2 && text[0] == '#' && text[1] == '!') text[0] = '/', text[1] = '/';

  // Scripts free and re-create large tables often: keep freed memory in the heap rather
  // than mapping and unmapping it (and faulting its pages in) each time.
  mallopt(M_MMAP_THRESHOLD, 16 * 1024 * 1024);
  mallopt(M_TRIM_THRESHOLD, 64 * 1024 * 1024);

  HSQUIRRELVM v = sq_open(1024);
  sq_setprintfunc(v, print_func, error_func);
  sqstd_seterrorhandlers(v);
  sq_pushroottable(v);
  sqstd_register_mathlib(v);
  sqstd_register_stringlib(v);
  sq_pop(v, 1);

  int rc = 0;
  if (SQ_FAILED(sq_compilebuffer(v, text.data(), (SQInteger)text.size(), argv[1], SQTrue))) {
    rc = 1;
  } else {
    sq_pushroottable(v);
    for (int i = 2; i < argc; i++) sq_pushstring(v, argv[i], -1);
    if (SQ_FAILED(sq_call(v, argc - 1, SQFalse, SQTrue))) rc = 1;
    sq_pop(v, 1);
  }
  fflush(stdout);
  sq_close(v);
  return rc;
}
