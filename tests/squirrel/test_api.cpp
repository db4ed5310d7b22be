// The C API as the engine uses it: stack discipline, references, weak references, type
// tags, release hooks, error handlers, exceptions through sq_call, debug queries.
#include "squirrel.h"
#include "sqstdaux.h"
#include "sqstdmath.h"
#include "sqstdstring.h"
#include <gtest/gtest.h>
#include <stdarg.h>
#include <stdexcept>
#include <string>

namespace {

std::string g_out, g_err;
void cap_print(HSQUIRRELVM, const SQChar* fmt, ...) {
  char buf[2048]; va_list ap; va_start(ap, fmt); vsnprintf(buf, sizeof(buf), fmt, ap); va_end(ap); g_out += buf;
}
void cap_error(HSQUIRRELVM, const SQChar* fmt, ...) {
  char buf[2048]; va_list ap; va_start(ap, fmt); vsnprintf(buf, sizeof(buf), fmt, ap); va_end(ap); g_err += buf;
}

struct Vm {
  HSQUIRRELVM v;
  Vm() {
    g_out.clear();
    g_err.clear();
    v = sq_open(1024);
    sq_setprintfunc(v, cap_print, cap_error);
  }
  ~Vm() { sq_close(v); }
  // Compiles and runs text with the root table as 'this'; returns the call's result.
  SQRESULT run(const char* text) {
    SQInteger top = sq_gettop(v);
    if (SQ_FAILED(sq_compilebuffer(v, text, (SQInteger)strlen(text), "test", SQTrue))) return SQ_ERROR;
    sq_pushroottable(v);
    SQRESULT r = sq_call(v, 1, SQFalse, SQTrue);
    sq_settop(v, top);
    return r;
  }
  void setGlobalFunc(const char* name, SQFUNCTION f) {
    sq_pushroottable(v);
    sq_pushstring(v, name, -1);
    sq_newclosure(v, f, 0);
    sq_newslot(v, -3, SQFalse);
    sq_pop(v, 1);
  }
  bool getGlobal(const char* name) {
    sq_pushroottable(v);
    sq_pushstring(v, name, -1);
    if (SQ_FAILED(sq_get(v, -2))) { sq_pop(v, 1); return false; }
    sq_remove(v, -2);
    return true;
  }
};

TEST(SquirrelApi, TypeCodesCarryTheirBits) {
  EXPECT_EQ((int)OT_INTEGER, 0x05000002);
  EXPECT_TRUE(OT_FLOAT & SQOBJECT_NUMERIC);
  EXPECT_FALSE(OT_STRING & SQOBJECT_NUMERIC);
  EXPECT_TRUE(ISREFCOUNTED(OT_TABLE));
  EXPECT_FALSE(ISREFCOUNTED(OT_USERPOINTER));
  EXPECT_EQ(sizeof(SQInteger), 8u);
  EXPECT_EQ(sizeof(SQFloat), 4u);
}

TEST(SquirrelApi, StackDiscipline) {
  Vm vm;
  HSQUIRRELVM v = vm.v;
  EXPECT_EQ(sq_gettop(v), 0);
  sq_pushinteger(v, 1);
  sq_pushfloat(v, 2.5f);
  sq_pushstring(v, "three", -1);
  sq_pushbool(v, SQTrue);
  sq_pushnull(v);
  EXPECT_EQ(sq_gettop(v), 5);
  EXPECT_EQ(sq_gettype(v, 1), OT_INTEGER);
  EXPECT_EQ(sq_gettype(v, -4), OT_FLOAT);
  const SQChar* s = nullptr;
  ASSERT_TRUE(SQ_SUCCEEDED(sq_getstring(v, 3, &s)));
  EXPECT_STREQ(s, "three");
  SQInteger i = 0;
  EXPECT_TRUE(SQ_FAILED(sq_getinteger(v, 3, &i)));  // a string is not an integer
  sq_remove(v, 2);
  EXPECT_EQ(sq_gettop(v), 4);
  EXPECT_EQ(sq_gettype(v, 2), OT_STRING);
  sq_push(v, 1);
  EXPECT_EQ(sq_gettype(v, -1), OT_INTEGER);
  sq_settop(v, 2);
  EXPECT_EQ(sq_gettop(v), 2);
  sq_poptop(v);
  sq_pop(v, 1);
  EXPECT_EQ(sq_gettop(v), 0);
}

TEST(SquirrelApi, CallLeavesClosureAndPushesResult) {
  Vm vm;
  HSQUIRRELVM v = vm.v;
  ASSERT_TRUE(SQ_SUCCEEDED(vm.run("function add(a, b) { return a + b; }")));
  ASSERT_TRUE(vm.getGlobal("add"));
  sq_pushroottable(v);
  sq_pushinteger(v, 40);
  sq_pushinteger(v, 2);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_call(v, 3, SQTrue, SQTrue)));
  EXPECT_EQ(sq_gettop(v), 2);  // closure + result
  SQInteger r = 0;
  sq_getinteger(v, -1, &r);
  EXPECT_EQ(r, 42);
  EXPECT_EQ(sq_gettype(v, 1), OT_CLOSURE);
  sq_pop(v, 2);
}

TEST(SquirrelApi, TablesArraysAndIteration) {
  Vm vm;
  HSQUIRRELVM v = vm.v;
  sq_newtable(v);
  for (int k = 0; k < 3; k++) {
    sq_pushinteger(v, k);
    sq_pushinteger(v, k * 10);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_newslot(v, -3, SQFalse)));
  }
  EXPECT_EQ(sq_getsize(v, -1), 3);
  sq_pushnull(v);
  SQInteger sum = 0, count = 0;
  while (SQ_SUCCEEDED(sq_next(v, -2))) {
    SQInteger val;
    sq_getinteger(v, -1, &val);
    sum += val;
    count++;
    sq_pop(v, 2);
  }
  sq_pop(v, 1);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(sum, 30);
  sq_pushinteger(v, 1);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_deleteslot(v, -2, SQTrue)));
  SQInteger removed;
  sq_getinteger(v, -1, &removed);
  EXPECT_EQ(removed, 10);
  sq_pop(v, 2);

  sq_newarray(v, 0);
  for (int k = 0; k < 4; k++) { sq_pushinteger(v, k); sq_arrayappend(v, -2); }
  EXPECT_EQ(sq_getsize(v, -1), 4);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_arraypop(v, -1, SQTrue)));
  SQInteger popped;
  sq_getinteger(v, -1, &popped);
  EXPECT_EQ(popped, 3);
  sq_pop(v, 1);
  sq_arrayreverse(v, -1);
  sq_pushinteger(v, 0);
  sq_get(v, -2);
  SQInteger first;
  sq_getinteger(v, -1, &first);
  EXPECT_EQ(first, 2);
  sq_pop(v, 2);
  EXPECT_EQ(sq_gettop(v), 0);
}

TEST(SquirrelApi, ReferencesKeepObjectsAliveUntilReleased) {
  Vm vm;
  HSQUIRRELVM v = vm.v;
  HSQOBJECT obj;
  sq_newtable(v);
  sq_getstackobj(v, -1, &obj);
  sq_addref(v, &obj);
  sq_addref(v, &obj);
  EXPECT_EQ(sq_getrefcount(v, &obj), 2u);
  sq_weakref(v, -1);
  HSQOBJECT weak;
  sq_getstackobj(v, -1, &weak);
  sq_addref(v, &weak);
  sq_pop(v, 2);
  // still alive: held by the references
  sq_pushobject(v, weak);
  sq_getweakrefval(v, -1);
  EXPECT_EQ(sq_gettype(v, -1), OT_TABLE);
  sq_pop(v, 2);
  EXPECT_FALSE(sq_release(v, &obj));
  EXPECT_TRUE(sq_release(v, &obj));
  // the last reference went: the weak reference reads null
  sq_pushobject(v, weak);
  sq_getweakrefval(v, -1);
  EXPECT_EQ(sq_gettype(v, -1), OT_NULL);
  sq_pop(v, 2);
  sq_release(v, &weak);
}

TEST(SquirrelApi, ScriptWeakReferenceReadsNullAfterRelease) {
  Vm vm;
  ASSERT_TRUE(SQ_SUCCEEDED(vm.run("local t = {}; local w = t.weakref(); ::before <- (w.ref() == t); t = null; ::after <- w.ref();")));
  ASSERT_TRUE(vm.getGlobal("before"));
  SQBool b;
  sq_getbool(vm.v, -1, &b);
  EXPECT_TRUE(b);
  ASSERT_TRUE(vm.getGlobal("after"));
  EXPECT_EQ(sq_gettype(vm.v, -1), OT_NULL);
}

int g_hookCalls = 0;
SQUserPointer g_hookPtr = nullptr;
SQInteger count_hook(SQUserPointer p, SQInteger) { g_hookCalls++; g_hookPtr = p; return 1; }

SQInteger native_ctor(HSQUIRRELVM v) {
  static int payload;
  sq_setinstanceup(v, 1, &payload);
  sq_setreleasehook(v, 1, count_hook);
  return 0;
}

// Creates class Base (tag 'base') with a native constructor and Derived extends Base.
void make_tagged_classes(Vm& vm, SQUserPointer baseTag, SQUserPointer derivedTag) {
  HSQUIRRELVM v = vm.v;
  sq_pushroottable(v);
  sq_pushstring(v, "Base", -1);
  sq_newclass(v, SQFalse);
  sq_settypetag(v, -1, baseTag);
  sq_pushstring(v, "constructor", -1);
  sq_newclosure(v, native_ctor, 0);
  sq_newslot(v, -3, SQFalse);
  sq_newslot(v, -3, SQFalse);
  sq_pushstring(v, "Derived", -1);
  sq_pushstring(v, "Base", -1);
  sq_get(v, -3);
  sq_newclass(v, SQTrue);
  sq_settypetag(v, -1, derivedTag);
  sq_newslot(v, -3, SQFalse);
  sq_pop(v, 1);
}

TEST(SquirrelApi, TypeTagsAreCheckedUpTheBaseChain) {
  Vm vm;
  static int baseTag, derivedTag, otherTag;
  make_tagged_classes(vm, &baseTag, &derivedTag);
  ASSERT_TRUE(SQ_SUCCEEDED(vm.run("::d <- Derived(); ::b <- Base();")));
  HSQUIRRELVM v = vm.v;
  SQUserPointer up = nullptr;
  ASSERT_TRUE(vm.getGlobal("d"));
  EXPECT_TRUE(SQ_SUCCEEDED(sq_getinstanceup(v, -1, &up, &derivedTag)));
  EXPECT_TRUE(SQ_SUCCEEDED(sq_getinstanceup(v, -1, &up, &baseTag)));
  EXPECT_NE(up, nullptr);
  EXPECT_TRUE(SQ_FAILED(sq_getinstanceup(v, -1, &up, &otherTag)));
  EXPECT_TRUE(SQ_SUCCEEDED(sq_getinstanceup(v, -1, &up, nullptr)));
  SQUserPointer tag = nullptr;
  sq_gettypetag(v, -1, &tag);
  EXPECT_EQ(tag, &derivedTag);
  sq_pop(v, 1);
  ASSERT_TRUE(vm.getGlobal("b"));
  EXPECT_TRUE(SQ_FAILED(sq_getinstanceup(v, -1, &up, &derivedTag)));  // a base is not a derived
  sq_pop(v, 1);
}

TEST(SquirrelApi, ReleaseHookFiresExactlyOnceWhenTheLastReferenceGoes) {
  Vm vm;
  static int baseTag, derivedTag;
  make_tagged_classes(vm, &baseTag, &derivedTag);
  g_hookCalls = 0;
  ASSERT_TRUE(SQ_SUCCEEDED(vm.run("local a = Base(); local b = a; a = null;")));
  EXPECT_EQ(g_hookCalls, 1);
  // kept in a cycle: released by the collector, once
  g_hookCalls = 0;
  ASSERT_TRUE(SQ_SUCCEEDED(vm.run("local t = { inst = Derived() }; t.self <- t;")));
  EXPECT_EQ(g_hookCalls, 0);
  EXPECT_GE(sq_collectgarbage(vm.v), 2);
  EXPECT_EQ(g_hookCalls, 1);
  EXPECT_EQ(sq_collectgarbage(vm.v), 0);
  EXPECT_EQ(g_hookCalls, 1);
  // still referenced when the VM closes: released then
  g_hookCalls = 0;
  ASSERT_TRUE(SQ_SUCCEEDED(vm.run("::keep <- Base();")));
  sq_close(vm.v);
  EXPECT_EQ(g_hookCalls, 1);
  vm.v = sq_open(64);
}

TEST(SquirrelApi, UserdataHookAndTypeTag) {
  Vm vm;
  HSQUIRRELVM v = vm.v;
  g_hookCalls = 0;
  static int tag;
  SQUserPointer p = sq_newuserdata(v, 24);
  memset(p, 7, 24);
  sq_settypetag(v, -1, &tag);
  sq_setreleasehook(v, -1, count_hook);
  SQUserPointer got = nullptr, gotTag = nullptr;
  ASSERT_TRUE(SQ_SUCCEEDED(sq_getuserdata(v, -1, &got, &gotTag)));
  EXPECT_EQ(got, p);
  EXPECT_EQ(gotTag, &tag);
  EXPECT_EQ(sq_getsize(v, -1), 24);
  sq_pop(v, 1);
  EXPECT_EQ(g_hookCalls, 1);
  EXPECT_EQ(g_hookPtr, p);
}

SQInteger throwing_native(HSQUIRRELVM) { throw std::runtime_error("native failure"); }

TEST(SquirrelApi, CppExceptionUnwindsThroughCallAndLeavesTheVmUsable) {
  Vm vm;
  HSQUIRRELVM v = vm.v;
  vm.setGlobalFunc("boom", throwing_native);
  ASSERT_TRUE(SQ_SUCCEEDED(vm.run("function deep(n) { if (n == 0) { local t = [1, 2]; return boom(); } return deep(n - 1) + 1; }")));
  ASSERT_TRUE(vm.getGlobal("deep"));
  SQInteger top = sq_gettop(v);
  sq_pushroottable(v);
  sq_pushinteger(v, 5);
  EXPECT_THROW(sq_call(v, 2, SQTrue, SQTrue), std::runtime_error);
  // the caller restores its own stack; the VM's frames are gone
  sq_settop(v, top - 1);
  EXPECT_EQ(sq_gettop(v), 0);
  SQStackInfos si;
  EXPECT_TRUE(SQ_FAILED(sq_stackinfos(v, 0, &si)));
  // many more unwinds than the VM allows nested calls: no state leaks from them
  for (int k = 0; k < 300; k++) {
    sq_pushroottable(v);
    sq_pushstring(v, "deep", -1);
    sq_get(v, -2);
    sq_pushroottable(v);
    sq_pushinteger(v, 2);
    EXPECT_THROW(sq_call(v, 2, SQTrue, SQTrue), std::runtime_error);
    sq_settop(v, 0);
  }
  // a script try/catch does not swallow a C++ exception: it still reaches the native caller
  EXPECT_THROW(vm.run("function ok(n) { try { boom(); } catch (e) {} return n * 2; } ::res <- ok(21);"), std::runtime_error);
  sq_settop(v, 0);
  ASSERT_TRUE(SQ_SUCCEEDED(vm.run("function ok2(n) { return n * 2; } ::res <- ok2(21);")));
  ASSERT_TRUE(vm.getGlobal("res"));
  SQInteger r = 0;
  sq_getinteger(v, -1, &r);
  EXPECT_EQ(r, 21 * 2);
}

std::string g_compileSource, g_compileDesc;
SQInteger g_compileLine = -1, g_compileColumn = -1;
void compile_error(HSQUIRRELVM, const SQChar* desc, const SQChar* source, SQInteger line, SQInteger column) {
  g_compileDesc = desc; g_compileSource = source; g_compileLine = line; g_compileColumn = column;
}

TEST(SquirrelApi, CompilerErrorHandlerGetsSourceLineAndColumn) {
  Vm vm;
  HSQUIRRELVM v = vm.v;
  sq_setcompilererrorhandler(v, compile_error);
  const char* text = "local a = 1;\nlocal b = ;\n";
  EXPECT_TRUE(SQ_FAILED(sq_compilebuffer(v, text, (SQInteger)strlen(text), "broken.nut", SQTrue)));
  EXPECT_EQ(g_compileSource, "broken.nut");
  EXPECT_EQ(g_compileLine, 2);
  EXPECT_EQ(g_compileColumn, 11);
  EXPECT_FALSE(g_compileDesc.empty());
  sq_getlasterror(v);
  EXPECT_EQ(sq_gettype(v, -1), OT_STRING);
  sq_pop(v, 1);
  // raiseerror false: the handler is not called
  g_compileLine = -1;
  EXPECT_TRUE(SQ_FAILED(sq_compilebuffer(v, text, (SQInteger)strlen(text), "broken.nut", SQFalse)));
  EXPECT_EQ(g_compileLine, -1);
}

std::string g_handled;
SQInteger record_error(HSQUIRRELVM v) {
  const SQChar* s = nullptr;
  if (SQ_SUCCEEDED(sq_getstring(v, 2, &s))) g_handled = s;
  return 0;
}

TEST(SquirrelApi, RuntimeErrorHandlerAndLastError) {
  Vm vm;
  HSQUIRRELVM v = vm.v;
  sq_newclosure(v, record_error, 0);
  sq_seterrorhandler(v);
  g_handled.clear();
  EXPECT_TRUE(SQ_FAILED(vm.run("throw \"bad thing\";")));
  EXPECT_EQ(g_handled, "bad thing");
  sq_getlasterror(v);
  const SQChar* s;
  sq_getstring(v, -1, &s);
  EXPECT_STREQ(s, "bad thing");
  sq_pop(v, 1);
  // a caught error does not reach the handler
  g_handled.clear();
  EXPECT_TRUE(SQ_SUCCEEDED(vm.run("try { throw \"x\"; } catch (e) {}")));
  EXPECT_EQ(g_handled, "");
  sq_reseterror(v);
  sq_getlasterror(v);
  EXPECT_EQ(sq_gettype(v, -1), OT_NULL);
  sq_pop(v, 1);
}

SQInteger g_infoLine = -1;
std::string g_infoFunc, g_localName;
SQInteger inspect_native(HSQUIRRELVM v) {
  SQStackInfos si;
  if (SQ_SUCCEEDED(sq_stackinfos(v, 1, &si))) { g_infoLine = si.line; g_infoFunc = si.funcname; }
  const SQChar* name = sq_getlocal(v, 1, 1);
  if (name) { g_localName = name; sq_pop(v, 1); }
  return 0;
}

TEST(SquirrelApi, StackInfosAndLocals) {
  Vm vm;
  vm.setGlobalFunc("inspect", inspect_native);
  ASSERT_TRUE(SQ_SUCCEEDED(vm.run("function probe(arg) {\n  local x = 1;\n  inspect();\n}\nprobe(3);")));
  EXPECT_EQ(g_infoFunc, "probe");
  EXPECT_EQ(g_infoLine, 3);
  EXPECT_EQ(g_localName, "arg");
}

SQInteger sum_native(HSQUIRRELVM v) {
  SQInteger n = sq_gettop(v), s = 0;
  for (SQInteger i = 2; i <= n; i++) { SQInteger x; sq_getinteger(v, i, &x); s += x; }
  sq_pushinteger(v, s);
  return 1;
}

TEST(SquirrelApi, ParamsCheckRejectsWrongCallsWithAnError) {
  Vm vm;
  HSQUIRRELVM v = vm.v;
  sq_pushroottable(v);
  sq_pushstring(v, "sum2", -1);
  sq_newclosure(v, sum_native, 0);
  sq_setparamscheck(v, 3, ".nn");
  sq_newslot(v, -3, SQFalse);
  sq_pop(v, 1);
  ASSERT_TRUE(SQ_SUCCEEDED(vm.run("::r <- sum2(2, 3);")));
  ASSERT_TRUE(vm.getGlobal("r"));
  SQInteger r;
  sq_getinteger(v, -1, &r);
  EXPECT_EQ(r, 5);
  sq_pop(v, 1);
  EXPECT_TRUE(SQ_FAILED(vm.run("sum2(1);")));
  EXPECT_TRUE(SQ_FAILED(vm.run("sum2(1, \"x\");")));
}

TEST(SquirrelApi, ClassesMembersAndHandles) {
  Vm vm;
  HSQUIRRELVM v = vm.v;
  ASSERT_TRUE(SQ_SUCCEEDED(vm.run("class P { x = 1; y = 2; function sum() { return x + y; } }")));
  ASSERT_TRUE(vm.getGlobal("P"));
  HSQMEMBERHANDLE hy;
  sq_pushstring(v, "y", -1);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_getmemberhandle(v, -2, &hy)));
  ASSERT_TRUE(SQ_SUCCEEDED(sq_createinstance(v, -1)));
  sq_pushinteger(v, 40);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_setbyhandle(v, -2, &hy)));
  ASSERT_TRUE(SQ_SUCCEEDED(sq_getbyhandle(v, -1, &hy)));
  SQInteger y;
  sq_getinteger(v, -1, &y);
  EXPECT_EQ(y, 40);
  sq_pop(v, 1);
  sq_pushstring(v, "sum", -1);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_get(v, -2)));
  sq_push(v, -2);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_call(v, 1, SQTrue, SQTrue)));
  SQInteger s;
  sq_getinteger(v, -1, &s);
  EXPECT_EQ(s, 41);
  sq_pop(v, 2);
  sq_push(v, -2);
  EXPECT_TRUE(sq_instanceof(v));
  sq_pop(v, 3);
  EXPECT_EQ(sq_gettop(v), 0);
}

TEST(SquirrelApi, ThreadsSuspendAndWakeUp) {
  Vm vm;
  HSQUIRRELVM v = vm.v;
  ASSERT_TRUE(SQ_SUCCEEDED(vm.run("function worker(a) { local b = suspend(a * 2); return a + b; }")));
  HSQUIRRELVM t = sq_newthread(v, 256);
  ASSERT_TRUE(vm.getGlobal("worker"));
  sq_move(t, v, -1);
  sq_pop(v, 1);
  sq_pushroottable(t);
  sq_pushinteger(t, 5);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_call(t, 2, SQTrue, SQTrue)));
  EXPECT_EQ(sq_getvmstate(t), SQ_VMSTATE_SUSPENDED);
  sq_pushinteger(t, 100);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_wakeupvm(t, SQTrue, SQTrue, SQTrue, SQFalse)));
  SQInteger r;
  sq_getinteger(t, -1, &r);
  EXPECT_EQ(r, 105);
  EXPECT_EQ(sq_getvmstate(t), SQ_VMSTATE_IDLE);
  sq_pop(v, 1);  // the thread object
}

int g_allocs = 0, g_frees = 0;
void* count_malloc(SQUnsignedInteger n) { g_allocs++; return malloc(n); }
void* count_realloc(void* p, SQUnsignedInteger, SQUnsignedInteger n) { if (!p) g_allocs++; return realloc(p, n); }
void count_free(void* p, SQUnsignedInteger) { if (p) g_frees++; free(p); }

TEST(SquirrelApi, EveryAllocationGoesThroughTheHooks) {
  sq_setallocator(count_malloc, count_realloc, count_free);
  g_allocs = g_frees = 0;
  {
    Vm vm;
    ASSERT_TRUE(SQ_SUCCEEDED(vm.run("local a = []; for (local i = 0; i < 100; i++) a.append({ v = i, s = \"x\" + i });")));
  }
  sq_setallocator(nullptr, nullptr, nullptr);
  EXPECT_GT(g_allocs, 100);
  EXPECT_EQ(g_allocs, g_frees);  // nothing leaked, nothing freed behind the hooks' back
}

// From the n-th allocation after arming on, every allocation fails (-1: none fails).
int g_allocsBeforeFailing = -1;
bool allocation_allowed() {
  if (g_allocsBeforeFailing == 0) return false;
  if (g_allocsBeforeFailing > 0) g_allocsBeforeFailing--;
  return true;
}
void* failing_malloc(SQUnsignedInteger n) { return allocation_allowed() ? malloc(n) : nullptr; }
void* failing_realloc(void* p, SQUnsignedInteger, SQUnsignedInteger n) { return allocation_allowed() ? realloc(p, n) : nullptr; }
void plain_free(void* p, SQUnsignedInteger) { free(p); }

// Whichever allocation of a compile fails (in the compiler or in making the closure it
// returns), the compile is an error for the host, never an exception thrown at it.
TEST(SquirrelApi, CompilingWithoutMemoryIsAnError) {
  const std::string src = "local f = function(x) { return x + 1; }; return f(1);";
  bool compiled = false;
  for (int n = 0; n < 2000 && !compiled; n++) {
    sq_setallocator(failing_malloc, failing_realloc, plain_free);
    g_allocsBeforeFailing = -1;
    HSQUIRRELVM v = sq_open(64);
    g_allocsBeforeFailing = n;
    SQRESULT r = SQ_ERROR;
    EXPECT_NO_THROW(r = sq_compilebuffer(v, src.data(), (SQInteger)src.size(), "t", SQFalse)) << "failing from allocation " << n;
    g_allocsBeforeFailing = -1;
    if (SQ_SUCCEEDED(r)) { compiled = true; sq_pop(v, 1); }
    sq_close(v);
    sq_setallocator(nullptr, nullptr, nullptr);
  }
  EXPECT_TRUE(compiled);
}

TEST(SquirrelApi, StdlibRegistersIntoTheTableOnTop) {
  Vm vm;
  HSQUIRRELVM v = vm.v;
  sq_pushroottable(v);
  sqstd_register_mathlib(v);
  sqstd_register_stringlib(v);
  sq_pop(v, 1);
  sqstd_seterrorhandlers(v);
  ASSERT_TRUE(SQ_SUCCEEDED(vm.run("print(format(\"%d-%s\", floor(2.5), strip(\" ok \")));")));
  EXPECT_EQ(g_out, "2-ok");
  EXPECT_TRUE(SQ_FAILED(vm.run("function f() { local z = 0; return 1 / z; } f();")));
  EXPECT_NE(g_err.find("AN ERROR HAS OCCURRED [division by zero]"), std::string::npos);
  EXPECT_NE(g_err.find("*FUNCTION [f()] test line [1]"), std::string::npos);
  EXPECT_NE(g_err.find("[z] 0"), std::string::npos);
}

TEST(SquirrelApi, CallStackNamesUserdataAndUserPointersByType) {
  Vm vm;
  HSQUIRRELVM v = vm.v;
  sqstd_seterrorhandlers(v);
  sq_pushroottable(v);
  sq_pushstring(v, "ud", -1);
  sq_newuserdata(v, 8);
  sq_newslot(v, -3, SQFalse);
  sq_pushstring(v, "up", -1);
  sq_pushuserpointer(v, &vm);
  sq_newslot(v, -3, SQFalse);
  sq_pop(v, 1);
  EXPECT_TRUE(SQ_FAILED(vm.run("function f() { local u = ud, p = up; throw \"x\"; } f();")));
  EXPECT_NE(g_err.find("[u] USERDATA\n"), std::string::npos) << g_err;
  EXPECT_NE(g_err.find("[p] USERPOINTER\n"), std::string::npos) << g_err;
}

TEST(SquirrelApi, RegexpCApi) {
  const SQChar* err = nullptr;
  SQRex* r = sqstd_rex_compile("(\\d+)-(\\d+)", &err);
  ASSERT_NE(r, nullptr);
  const SQChar* text = "ab 12-345 cd";
  const SQChar *b, *e;
  ASSERT_TRUE(sqstd_rex_search(r, text, &b, &e));
  EXPECT_EQ(std::string(b, e), "12-345");
  EXPECT_EQ(sqstd_rex_getsubexpcount(r), 3);
  SQRexMatch m;
  ASSERT_TRUE(sqstd_rex_getsubexp(r, 2, &m));
  EXPECT_EQ(std::string(m.begin, m.len), "345");
  EXPECT_FALSE(sqstd_rex_match(r, text));
  EXPECT_TRUE(sqstd_rex_match(r, "1-2"));
  sqstd_rex_free(r);
  EXPECT_EQ(sqstd_rex_compile("(", &err), nullptr);
  EXPECT_NE(err, nullptr);
}

SQInteger read_free_vars(HSQUIRRELVM v) {
  // one argument, then the two free variables
  EXPECT_EQ(sq_gettop(v), 4);
  SQInteger arg, a, b;
  sq_getinteger(v, 2, &arg);
  sq_getinteger(v, 3, &a);
  sq_getinteger(v, 4, &b);
  sq_pushinteger(v, arg * 100 + a * 10 + b);
  return 1;
}

TEST(SquirrelApi, NativeFreeVariablesFollowTheArguments) {
  Vm vm;
  HSQUIRRELVM v = vm.v;
  sq_pushroottable(v);
  sq_pushstring(v, "withvars", -1);
  sq_pushinteger(v, 4);
  sq_pushinteger(v, 2);
  sq_newclosure(v, read_free_vars, 2);
  sq_setparamscheck(v, 2, ".n");
  sq_newslot(v, -3, SQFalse);
  sq_pop(v, 1);
  ASSERT_TRUE(SQ_SUCCEEDED(vm.run("::r <- withvars(7);")));
  ASSERT_TRUE(vm.getGlobal("r"));
  SQInteger r;
  sq_getinteger(v, -1, &r);
  EXPECT_EQ(r, 742);
  sq_pop(v, 1);
  ASSERT_TRUE(vm.getGlobal("withvars"));
  sq_pushinteger(v, 9);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_setfreevariable(v, -2, 1)));
  EXPECT_NE(sq_getfreevariable(v, -1, 1), nullptr);
  SQInteger fv;
  sq_getinteger(v, -1, &fv);
  EXPECT_EQ(fv, 9);
  sq_pop(v, 2);
}

SQInteger callee_native(HSQUIRRELVM v) {
  sq_getcallee(v);
  return 1;
}
SQInteger throw_table(HSQUIRRELVM v) {
  sq_newtable(v);
  sq_pushstring(v, "code", -1);
  sq_pushinteger(v, 7);
  sq_newslot(v, -3, SQFalse);
  return sq_throwobject(v);
}

TEST(SquirrelApi, ObjectManipulationRoundTrips) {
  Vm vm;
  HSQUIRRELVM v = vm.v;
  // raw access skips delegates
  ASSERT_TRUE(SQ_SUCCEEDED(vm.run("::d <- { inherited = 1 }; ::t <- { own = 2 }.setdelegate(::d);")));
  ASSERT_TRUE(vm.getGlobal("t"));
  sq_pushstring(v, "inherited", -1);
  EXPECT_TRUE(SQ_SUCCEEDED(sq_get(v, -2)));
  sq_pop(v, 1);
  sq_pushstring(v, "inherited", -1);
  EXPECT_TRUE(SQ_FAILED(sq_rawget(v, -2)));
  sq_pushstring(v, "raw", -1);
  sq_pushinteger(v, 3);
  EXPECT_TRUE(SQ_SUCCEEDED(sq_rawset(v, -3)));
  sq_pushstring(v, "raw", -1);
  EXPECT_TRUE(SQ_SUCCEEDED(sq_rawdeleteslot(v, -2, SQTrue)));
  SQInteger raw;
  sq_getinteger(v, -1, &raw);
  EXPECT_EQ(raw, 3);
  sq_pop(v, 1);
  sq_getdelegate(v, -1);
  EXPECT_EQ(sq_gettype(v, -1), OT_TABLE);
  sq_pop(v, 1);
  // clone is shallow and independent
  ASSERT_TRUE(SQ_SUCCEEDED(sq_clone(v, -1)));
  sq_pushstring(v, "own", -1);
  sq_pushinteger(v, 99);
  sq_set(v, -3);
  sq_pop(v, 1);
  sq_pushstring(v, "own", -1);
  sq_get(v, -2);
  SQInteger own;
  sq_getinteger(v, -1, &own);
  EXPECT_EQ(own, 2);
  sq_pop(v, 2);
  // typeof, tostring, tobool, cmp
  sq_pushinteger(v, 5);
  sq_typeof(v, -1);
  const SQChar* s;
  sq_getstring(v, -1, &s);
  EXPECT_STREQ(s, "integer");
  sq_pop(v, 1);
  sq_tostring(v, -1);
  sq_getstring(v, -1, &s);
  EXPECT_STREQ(s, "5");
  sq_pop(v, 1);
  SQBool b;
  sq_tobool(v, -1, &b);
  EXPECT_TRUE(b);
  sq_pushinteger(v, 9);
  EXPECT_LT(sq_cmp(v), 0);
  sq_pop(v, 2);
  // arrays
  sq_newarray(v, 2);
  sq_pushinteger(v, 1);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_arrayinsert(v, -2, 0)));
  ASSERT_TRUE(SQ_SUCCEEDED(sq_arrayresize(v, -1, 5)));
  EXPECT_EQ(sq_getsize(v, -1), 5);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_arrayremove(v, -1, 0)));
  EXPECT_TRUE(SQ_FAILED(sq_arrayremove(v, -1, 10)));
  EXPECT_EQ(sq_getsize(v, -1), 4);
  sq_pop(v, 1);
  // raw object helpers
  HSQOBJECT o;
  sq_pushfloat(v, 2.5f);
  sq_getstackobj(v, -1, &o);
  EXPECT_FLOAT_EQ(sq_objtofloat(&o), 2.5f);
  EXPECT_EQ(sq_objtointeger(&o), 2);
  EXPECT_TRUE(sq_objtobool(&o));
  sq_pop(v, 1);
  sq_resetobject(&o);
  EXPECT_EQ(o._type, OT_NULL);
  // a native can return its own closure, and throw any object
  vm.setGlobalFunc("me", callee_native);
  vm.setGlobalFunc("throwtable", throw_table);
  ASSERT_TRUE(SQ_SUCCEEDED(vm.run("::same <- (me() == me); try { throwtable(); } catch (e) { ::code <- e.code; }")));
  ASSERT_TRUE(vm.getGlobal("same"));
  sq_getbool(v, -1, &b);
  EXPECT_TRUE(b);
  ASSERT_TRUE(vm.getGlobal("code"));
  SQInteger code;
  sq_getinteger(v, -1, &code);
  EXPECT_EQ(code, 7);
  sq_pop(v, 2);
  // registry and foreign pointers
  sq_pushregistrytable(v);
  EXPECT_EQ(sq_gettype(v, -1), OT_TABLE);
  sq_pop(v, 1);
  int marker;
  sq_setforeignptr(v, &marker);
  sq_setsharedforeignptr(v, &marker);
  EXPECT_EQ(sq_getforeignptr(v), &marker);
  EXPECT_EQ(sq_getsharedforeignptr(v), &marker);
  EXPECT_EQ(sq_gettop(v), 0);
}

TEST(SquirrelApi, ClosureQueriesAndBinding) {
  Vm vm;
  HSQUIRRELVM v = vm.v;
  ASSERT_TRUE(SQ_SUCCEEDED(vm.run("local k = 5; function named(a, b) { return this.tag + a + b + k; }")));
  ASSERT_TRUE(vm.getGlobal("named"));
  SQInteger np = 0, nf = 0;
  ASSERT_TRUE(SQ_SUCCEEDED(sq_getclosureinfo(v, -1, &np, &nf)));
  EXPECT_EQ(np, 3);
  EXPECT_EQ(nf, 1);
  sq_getclosurename(v, -1);
  const SQChar* s;
  sq_getstring(v, -1, &s);
  EXPECT_STREQ(s, "named");
  sq_pop(v, 1);
  EXPECT_STREQ(sq_getfreevariable(v, -1, 0), "k");
  sq_pop(v, 1);
  sq_newtable(v);
  sq_pushstring(v, "tag", -1);
  sq_pushinteger(v, 100);
  sq_newslot(v, -3, SQFalse);
  HSQOBJECT env;
  sq_getstackobj(v, -1, &env);
  sq_addref(v, &env);  // the closure holds its environment weakly
  ASSERT_TRUE(SQ_SUCCEEDED(sq_bindenv(v, -2)));
  sq_pushroottable(v);  // ignored: the bound environment wins
  sq_pushinteger(v, 1);
  sq_pushinteger(v, 2);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_call(v, 3, SQTrue, SQTrue)));
  SQInteger r;
  sq_getinteger(v, -1, &r);
  EXPECT_EQ(r, 108);
  sq_settop(v, 0);
  sq_release(v, &env);
}

std::string g_hookLog;
void native_hook(HSQUIRRELVM, SQInteger type, const SQChar*, SQInteger line, const SQChar* fname) {
  g_hookLog += (char)type + std::to_string(line) + (fname ? fname : "?") + " ";
}

TEST(SquirrelApi, NativeDebugHookSeesCallsLinesAndReturns) {
  Vm vm;
  HSQUIRRELVM v = vm.v;
  sq_enabledebuginfo(v, SQTrue);
  ASSERT_TRUE(SQ_SUCCEEDED(vm.run("function f(a) {\n  local b = a;\n  return b;\n}")));
  sq_setnativedebughook(v, native_hook);
  g_hookLog.clear();
  ASSERT_TRUE(vm.getGlobal("f"));
  sq_pushroottable(v);
  sq_pushinteger(v, 1);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_call(v, 2, SQFalse, SQTrue)));
  sq_pop(v, 1);
  sq_setnativedebughook(v, nullptr);
  EXPECT_EQ(g_hookLog, "c1f l2f l3f r3f ");
}

TEST(SquirrelApi, DeepDataStructuresAreReleasedWithoutRecursionLimits) {
  Vm vm;
  // a deep chain of tables: freeing it must not exhaust the C stack
  ASSERT_TRUE(SQ_SUCCEEDED(vm.run("local head = null; for (local i = 0; i < 300000; i++) head = { next = head }; head = null;")));
  ASSERT_TRUE(SQ_SUCCEEDED(vm.run("local a = []; for (local i = 0; i < 100000; i++) a = [a]; ::deep <- a;")));
  sq_pushroottable(vm.v);
  sq_pushstring(vm.v, "deep", -1);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_deleteslot(vm.v, -2, SQFalse)));
  sq_pop(vm.v, 1);
}

TEST(SquirrelApi, CycleCollectorFreesOnlyUnreachableCycles) {
  Vm vm;
  ASSERT_TRUE(SQ_SUCCEEDED(vm.run("::kept <- {}; ::kept.self <- ::kept; local lost = {}; lost.self <- lost; local w = lost.weakref(); ::probe <- w; lost = null;")));
  EXPECT_GE(sq_collectgarbage(vm.v), 1);
  // the root table slot holds a weak reference: reading it gives what it points to
  ASSERT_TRUE(SQ_SUCCEEDED(vm.run("::r1 <- ::probe; ::r2 <- ::kept.self == ::kept;")));
  ASSERT_TRUE(vm.getGlobal("r1"));
  EXPECT_EQ(sq_gettype(vm.v, -1), OT_NULL);
  ASSERT_TRUE(vm.getGlobal("r2"));
  SQBool b;
  sq_getbool(vm.v, -1, &b);
  EXPECT_TRUE(b);
  sq_pop(vm.v, 2);
}

}  // namespace
