// Opening and closing script VMs, running script files, and the reports of compile
// and run-time errors (call stack and locals) through the engine log.
#include <cstdarg>
#include <cstdint>
#include <cstdio>

#include "engine/core/dynarray.h"
#include "engine/core/log.h"
#include "engine/core/mem.h"
#include "engine/core/stream.h"
#include "engine/core/utils.h"
#include "engine/script/sqbind.h"

namespace sqbind {

// ---- the VMs' heap ---------------------------------------------------------------------
// Every block of every VM comes from the engine's allocation hooks. The block count
// lets tests see that closing a VM or reloading scripts leaves nothing behind.
static int64_t vm_blocks = 0;

static void* vm_malloc(SQUnsignedInteger size) {
  void* p = dlmalloc((size_t)size);
  if (p)
    vm_blocks++;
  return p;
}

static void* vm_realloc(void* p, SQUnsignedInteger, SQUnsignedInteger size) {
  void* q = dlrealloc(p, (size_t)size);
  if (q && !p)
    vm_blocks++;
  return q;
}

static void vm_free(void* p, SQUnsignedInteger) {
  if (!p)
    return;
  vm_blocks--;
  dlfree(p);
}

int64_t vm_heap_blocks() { return vm_blocks; }

// The VMs open now. An object handle alone does not say which VM it lives in; the
// value dump reads instances through any open VM (the API only reads the object).
static HSQUIRRELVM open_vms[16];

static void remember_vm(HSQUIRRELVM vm, HSQUIRRELVM replacement) {
  for (HSQUIRRELVM& slot : open_vms)
    if (slot == vm) {
      slot = replacement;
      return;
    }
}

HSQUIRRELVM any_open_vm() {
  for (HSQUIRRELVM vm : open_vms)
    if (vm)
      return vm;
  return nullptr;
}

// ---- VMs ------------------------------------------------------------------------------------

HSQUIRRELVM create_vm(SQInteger stack_size) {
  sq_setallocator(vm_malloc, vm_realloc, vm_free);
  HSQUIRRELVM vm = sq_open(stack_size);
  if (!vm)
    return nullptr;
  sq_setprintfunc(vm, script_print, script_print);
  set_error_handlers(vm);
  remember_vm(nullptr, vm);
  return vm;
}

void set_error_handlers(HSQUIRRELVM vm) {
  sq_setcompilererrorhandler(vm, compiler_error_handler);
  sq_newclosure(vm, runtime_error_handler, 0);
  sq_seterrorhandler(vm);
}

void close_vm(HSQUIRRELVM vm) {
  if (!vm)
    return;
  remember_vm(vm, nullptr);
  sq_collectgarbage(vm);
  sq_close(vm);
}

void script_print(HSQUIRRELVM, const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  vdebug(fmt, args);
  va_end(args);
  fflush(stdout);
}

void compiler_error_handler(HSQUIRRELVM vm, const char* desc, const char* source, SQInteger line,
                            SQInteger column) {
  SQPRINTFUNCTION print = sq_getprintfunc(vm);
  if (print)
    print(vm, "%s(%d,%d): error: %s\n", source, (int)line, (int)column, desc);
}

void print_error_call_stack(HSQUIRRELVM vm) {
  if (sq_gettop(vm) < 1)
    return;
  const SQChar* text = nullptr;
  if (SQ_FAILED(sq_getstring(vm, 2, &text)) || !text)
    text = "unknown";
  print_call_stack(vm, text);
}

SQInteger runtime_error_handler(HSQUIRRELVM vm) {
  if (sq_getprintfunc(vm))
    print_error_call_stack(vm);
  return 0;
}

// One local's value after its name.
static void print_local(SQPRINTFUNCTION print, HSQUIRRELVM vm, const char* name) {
  switch (sq_gettype(vm, -1)) {
    case OT_NULL: print(vm, "[%s] NULL\n", name); break;
    case OT_INTEGER: {
      SQInteger i = 0;
      sq_getinteger(vm, -1, &i);
      print(vm, "[%s] %d\n", name, (int)i);
      break;
    }
    case OT_FLOAT: {
      SQFloat f = 0;
      sq_getfloat(vm, -1, &f);
      print(vm, "[%s] %.14g\n", name, (double)f);
      break;
    }
    case OT_BOOL: {
      SQBool b = 0;
      sq_getbool(vm, -1, &b);
      print(vm, "[%s] %s\n", name, b ? "true" : "false");
      break;
    }
    case OT_STRING: {
      const SQChar* s = nullptr;
      sq_getstring(vm, -1, &s);
      print(vm, "[%s] \"%s\"\n", name, s);
      break;
    }
    case OT_USERPOINTER: print(vm, "[%s] USERPOINTER\n", name); break;
    case OT_TABLE: print(vm, "[%s] TABLE\n", name); break;
    case OT_ARRAY: print(vm, "[%s] ARRAY\n", name); break;
    case OT_CLOSURE: print(vm, "[%s] CLOSURE\n", name); break;
    case OT_NATIVECLOSURE: print(vm, "[%s] NATIVECLOSURE\n", name); break;
    case OT_GENERATOR: print(vm, "[%s] GENERATOR\n", name); break;
    case OT_USERDATA: print(vm, "[%s] USERDATA\n", name); break;
    case OT_THREAD: print(vm, "[%s] THREAD\n", name); break;
    case OT_CLASS: print(vm, "[%s] CLASS\n", name); break;
    case OT_INSTANCE: print(vm, "[%s] INSTANCE\n", name); break;
    case OT_WEAKREF: print(vm, "[%s] WEAKREF\n", name); break;
    default: ASSERT(0);
  }
}

void print_call_stack(HSQUIRRELVM vm, const char* error) {
  SQPRINTFUNCTION print = sq_getprintfunc(vm);
  if (!print)
    return;
  print(vm, "\nCALLSTACK\n");
  SQStackInfos si;
  for (SQInteger level = 1; SQ_SUCCEEDED(sq_stackinfos(vm, level, &si)); level++) {
    const char* fn = si.funcname ? si.funcname : "unknown";
    TempString<260> source("unknown");
    if (si.source)
      source = get_real_path(si.source);
    if (level == 1)
      print(vm, "%s(%d): ERROR: %s (in %s())\n", source.c_str(), (int)si.line, error, fn);
    else
      print(vm, "%s(%d): function %s() (CALLSTACK)\n", source.c_str(), (int)si.line, fn);
  }
  print(vm, "\nLOCALS\n");
  for (SQUnsignedInteger level = 0; level < 20; level++) {
    for (SQUnsignedInteger i = 0;; i++) {
      const SQChar* name = sq_getlocal(vm, level, i);
      if (!name)
        break;
      print_local(print, vm, name);
      sq_poptop(vm);
    }
  }
}

// ---- compiling and running files ----------------------------------------------------

bool compile_buffer(HSQUIRRELVM vm, const char* text, SQInteger length, const char* source) {
  return SQ_SUCCEEDED(sq_compilebuffer(vm, text, length, source, SQTrue));
}

// Compiles a whole file's bytes; the closure stays on the stack.
static bool compile_bytes(HSQUIRRELVM vm, const DynArray<unsigned char>& bytes, const char* source) {
  return compile_buffer(vm, bytes.size() ? (const char*)bytes.data : "", bytes.size(), source);
}

// Calls the compiled closure on top with the root table as 'this'; the closure is
// gone afterwards, also when a native error unwinds through the call.
static bool run_compiled(HSQUIRRELVM vm) {
  StackRestore restore(vm, sq_gettop(vm) - 1);
  sq_pushroottable(vm);
  return SQ_SUCCEEDED(sq_call(vm, 1, SQFalse, SQTrue));
}

// The whole of an ordinary file, measured by seeking to its end. False when it
// cannot be opened, measured or read, or is too long to hold.
static bool load_standard_file(const char* path, DynArray<unsigned char>& bytes) {
  FILE* file = fopen(path, "rb");
  if (!file)
    return false;
  long length = fseek(file, 0, SEEK_END) == 0 ? ftell(file) : -1;
  bool ok = length >= 0 && length <= INT32_MAX && fseek(file, 0, SEEK_SET) == 0;
  if (ok) {
    bytes.resize((int)length);
    ok = fread(bytes.data, 1, (size_t)length, file) == (size_t)length;
  }
  fclose(file);
  return ok;
}

bool vfs_compile_file(HSQUIRRELVM vm, const char* path) {
  DynArray<unsigned char> bytes;
  return load_physfs_file(path, bytes) && compile_bytes(vm, bytes, path);
}

bool vfs_run_file(HSQUIRRELVM vm, const char* path) {
  return vfs_compile_file(vm, path) && run_compiled(vm);
}

bool compile_file(HSQUIRRELVM vm, const char* path) {
  DynArray<unsigned char> bytes;
  return load_standard_file(path, bytes) && compile_bytes(vm, bytes, path);
}

bool run_file(HSQUIRRELVM vm, const char* path) { return compile_file(vm, path) && run_compiled(vm); }

// ---- diagnostics ----------------------------------------------------------------------

void dump_get_instance_error(HSQUIRRELVM vm, SQInteger idx) {
  if (sq_gettype(vm, idx) == OT_INSTANCE) {
    SQUserPointer up = nullptr;
    sq_getinstanceup(vm, idx, &up, nullptr);
    debug("instance UP: %p", up);
    sq_getclass(vm, idx);
    while (sq_gettype(vm, -1) == OT_CLASS) {
      HSQOBJECT cls;
      sq_getstackobj(vm, -1, &cls);
      SQUserPointer tag = nullptr;
      sq_gettypetag(vm, -1, &tag);
      debug("  class %p tag %p", (void*)cls._unVal.pClass, tag);
      sq_getbase(vm, -1);
      sq_remove(vm, -2);
    }
    sq_poptop(vm);
  }
  sq_getlasterror(vm);
  const SQChar* text = nullptr;
  if (SQ_FAILED(sq_getstring(vm, -1, &text))) {
    sq_poptop(vm);
    throw SquirrelError(type_error_text);
  }
  debug("last error: %s", text);
  sq_poptop(vm);
}

}  // namespace sqbind
