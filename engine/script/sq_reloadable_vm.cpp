// The reloadable script VM and the natives every engine VM offers.
#include "engine/script/sq_reloadable_vm.h"

#include <physfs.h>
#include <strings.h>

#include <cstdio>

#include <sqstdmath.h>
#include <sqstdstring.h>

#include "engine/core/log.h"
#include "engine/core/utils.h"
#include "engine/core/vfs.h"
#include "engine/core/watch.h"

static const char* const registry_key = "SqReloadableVM";

// ---- error reports --------------------------------------------------------------------

static void reload_vm_compiler_error(HSQUIRRELVM, const char* desc, const char* source, SQInteger line,
                                     SQInteger column) {
  debug("%s(%d,%d): error: %s", source, (int)line, (int)column, desc);
}

static SQInteger reload_vm_runtime_error(HSQUIRRELVM vm) {
  if (!sq_getprintfunc(vm))
    return 0;
  debug_start_line();
  debug_("%7.2f| script error:", get_time_sec(get_time_since_start()));
  sqbind::print_error_call_stack(vm);
  return 0;
}

// ---- natives ----------------------------------------------------------------------------

static void native_include(const char* path, HSQUIRRELVM vm) {
  sq_pushregistrytable(vm);
  sq_pushstring(vm, registry_key, -1);
  if (SQ_FAILED(sq_get(vm, -2))) {
    sq_poptop(vm);
    debug("getReg '%s' failed", registry_key);
    throw sqbind::SquirrelError(vm);
  }
  SQUserPointer p = nullptr;
  if (SQ_FAILED(sq_getuserpointer(vm, -1, &p))) {
    sq_pop(vm, 2);
    throw sqbind::SquirrelError(sqbind::type_error_text);
  }
  sq_pop(vm, 2);
  SqReloadableVM* rvm = (SqReloadableVM*)p;
  ASSERT(rvm);
  rvm->include(path);
}

// Ends the line begun, also when an argument's _tostring throws a native error.
struct LogLineEnd {
  ~LogLineEnd() {
    debug_("\n");
    debug_flush();
  }
};

static void native_debug(HSQUIRRELVM vm) {
  SQInteger n = sq_gettop(vm);
  debug_start_line();
  debug_("%7.2f|", get_time_sec(get_time_since_start()));
  LogLineEnd line_end;
  for (SQInteger i = 2; i <= n; i++) {
    if (SQ_FAILED(sq_tostring(vm, i)))
      continue;
    const SQChar* text = nullptr;
    if (SQ_SUCCEEDED(sq_getstring(vm, -1, &text)))
      debug_(" %s", text);
    sq_poptop(vm);
  }
}

static void native_debug_tp(HSQUIRRELVM vm) {
  SQStackInfos si;
  if (SQ_FAILED(sq_stackinfos(vm, 1, &si))) {
    debug("unknown(0): TRACE (VM %p)", (void*)vm);
    return;
  }
  TempString<260> source("unknown");
  if (si.source)
    source = get_real_path(si.source);
  debug("%s(%d): TRACE in %s()", source.c_str(), (int)si.line, si.funcname ? si.funcname : "unknown");
}

static sqbind::SqObject native_enumerate_files(const char* path, HSQUIRRELVM vm) {
  sq_newarray(vm, 0);
  char** names = vfs_enumerate_files(path);
  for (char** n = names; n && *n; n++) {
    sq_pushstring(vm, *n, -1);
    sq_arrayappend(vm, -2);
  }
  PHYSFS_freeList(names);
  sqbind::SqObject list(vm, -1);
  sq_poptop(vm);
  return list;
}

static bool native_is_directory(const char* path) { return vfs_is_directory(path); }

// ---- SqReloadableVM -----------------------------------------------------------------------

bool SqReloadableVM::init(int stack_size) {
  close();
  vm = sqbind::create_vm(stack_size);
  if (!vm)
    return false;
  sq_setcompilererrorhandler(vm, reload_vm_compiler_error);
  sq_newclosure(vm, reload_vm_runtime_error, 0);
  sq_seterrorhandler(vm);

  sq_pushregistrytable(vm);
  sq_pushstring(vm, registry_key, -1);
  sq_pushuserpointer(vm, this);
  sq_newslot(vm, -3, SQFalse);
  sq_poptop(vm);
  return registerNatives();
}

void SqReloadableVM::close() {
  if (!vm)
    return;
  sqbind::close_vm(vm);
  vm = nullptr;
  files.clearAndFree();
}

bool SqReloadableVM::include(const char* name) {
  if (!vm)
    return false;
  for (LoadedFile& f : files)
    if (strcasecmp(f.name.c_str(), name) == 0)
      return true;
  LoadedFile& f = files.push();
  f.name = name;
  f.realPath = get_real_path(name).c_str();
  f.modTime = vfs_last_mod_time(name);
  // Run by name: the record may move while the file includes others.
  return sqbind::vfs_run_file(vm, name);
}

bool SqReloadableVM::filesChanged() {
  for (const LoadedFile& f : files)
    if (was_real_file_changed(f.realPath.c_str()) && vfs_last_mod_time(f.name.c_str()) != f.modTime)
      return true;
  return false;
}

bool SqReloadableVM::rerunFiles(bool force) {
  for (int i = 0; i < files.size(); i++) {
    int64_t t = vfs_last_mod_time(files[i].name.c_str());
    if (!force && t == files[i].modTime)
      continue;
    files[i].modTime = t;
    // A copy of the name: running the file may append records and move the list.
    String name = files[i].name;
    if (!sqbind::vfs_run_file(vm, name.c_str()))
      return false;
  }
  return true;
}

bool SqReloadableVM::registerNatives() {
  struct Native {
    const char* name;
    SQFUNCTION dispatch;
    void* fn;
  };
  using namespace sqbind::detail;
  const Native natives[] = {
      {"include", function_dispatch<void, const char*, HSQUIRRELVM>, (void*)native_include},
      {"debug", function_dispatch<void, HSQUIRRELVM>, (void*)native_debug},
      {"debug_tp", function_dispatch<void, HSQUIRRELVM>, (void*)native_debug_tp},
      {"enumerate_files", function_dispatch<sqbind::SqObject, const char*, HSQUIRRELVM>,
       (void*)native_enumerate_files},
      {"is_directory", function_dispatch<bool, const char*>, (void*)native_is_directory},
  };
  for (const Native& n : natives) {
    sq_pushroottable(vm);
    new_function_slot(vm, n.name, n.dispatch, n.fn);
    sq_poptop(vm);
  }
  sq_pushroottable(vm);
  sqstd_register_mathlib(vm);
  sqstd_register_stringlib(vm);
  sq_poptop(vm);
  return true;
}
