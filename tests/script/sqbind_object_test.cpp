// Handles to script objects and script functions bound by name.
#include "script_fixture.h"

using sqbind::SqObject;
using sqbind::SquirrelError;

class SqObjectTest : public ScriptTest {
 protected:
  // Reference count the VM's own reference table holds for a root-table value.
  SQUnsignedInteger refsOf(const char* global) {
    sq_pushroottable(vm);
    sq_pushstring(vm, global, -1);
    EXPECT_TRUE(SQ_SUCCEEDED(sq_get(vm, -2)));
    HSQOBJECT o;
    sq_getstackobj(vm, -1, &o);
    SQUnsignedInteger n = sq_getrefcount(vm, &o);
    sq_pop(vm, 2);
    return n;
  }
};

TEST_F(SqObjectTest, EmptyHandlesTakeNoReferences) {
  openVM();
  SqObject a;
  SqObject b(a);
  SqObject c;
  c = b;
  EXPECT_TRUE(a.isNull());
  EXPECT_EQ(b.getVM(), nullptr);
  EXPECT_EQ(c.getVM(), nullptr);
}

TEST_F(SqObjectTest, TextHandleHoldsAStringAndLeavesTheStack) {
  openVM();
  SQInteger top = sq_gettop(vm);
  SqObject s(vm, "abc");
  EXPECT_EQ(sq_gettop(vm), top);
  EXPECT_EQ(s.obj._type, OT_STRING);
  s.push(vm);
  EXPECT_EQ(sq_getsize(vm, -1), 3);
  sq_poptop(vm);
}

TEST_F(SqObjectTest, CopiesCountReferencesAndReleaseThem) {
  openVM();
  ASSERT_TRUE(run("t <- {}"));
  EXPECT_EQ(refsOf("t"), 0u);
  {
    sq_pushroottable(vm);
    sq_pushstring(vm, "t", -1);
    sq_get(vm, -2);
    SqObject a(vm, -1);
    sq_pop(vm, 2);
    EXPECT_EQ(refsOf("t"), 1u);
    SqObject b(a);
    SqObject c;
    c = b;
    c = c;  // self-assignment keeps the reference
    EXPECT_EQ(refsOf("t"), 3u);
    b.release(vm);
    EXPECT_EQ(refsOf("t"), 2u);
  }
  EXPECT_EQ(refsOf("t"), 0u);
}

// The reader takes every slot that exists, counted from either end, and throws for
// one that does not (0, or past the top either way); the slot constructor leaves its
// handle empty there instead.
TEST_F(SqObjectTest, SlotReaderThrowsOnlyForBadSlots) {
  openVM();
  SQInteger base = sq_gettop(vm);
  sq_pushinteger(vm, 7);
  sq_newarray(vm, 0);
  SQInteger top = sq_gettop(vm);
  SqObject number = sqbind::get<SqObject>(vm, -2);
  EXPECT_TRUE(number.isNumeric());
  EXPECT_EQ(number.getVM(), vm);
  EXPECT_TRUE(sqbind::get<SqObject>(vm, top).isArray());
  EXPECT_TRUE(sqbind::get<SqObject>(vm, base + 1).isNumeric());
  SqObject arr(vm, -1);
  EXPECT_TRUE(arr.isArray());

  for (SQInteger bad : {(SQInteger)0, top + 1, -(top + 1), top + 1000}) {
    try {
      sqbind::get<SqObject>(vm, bad);
      ADD_FAILURE() << "slot " << bad << " was read";
    } catch (const SquirrelError& e) {
      EXPECT_STREQ(e.message, "sq_get*() failed (type error)") << bad;
    }
    SqObject empty(vm, bad);
    EXPECT_TRUE(empty.isNull()) << bad;
    EXPECT_EQ(empty.getVM(), nullptr) << bad;
  }
  EXPECT_EQ(sq_gettop(vm), top);
  sq_pop(vm, 2);
}

TEST_F(SqObjectTest, WeakReferenceReadsNullAfterCollection) {
  openVM();
  ASSERT_TRUE(run("obj <- {}"));
  sq_pushroottable(vm);
  sq_pushstring(vm, "obj", -1);
  sq_get(vm, -2);
  HSQOBJECT target;
  sq_getstackobj(vm, -1, &target);
  SqObject weak;
  weak.setWeakRef(vm, target);
  sq_pop(vm, 2);
  EXPECT_EQ(weak.obj._type, OT_WEAKREF);
  EXPECT_EQ(refsOf("obj"), 0u) << "a weak reference must not keep the object alive";

  weak.pushDeref(vm);
  EXPECT_EQ(sq_gettype(vm, -1), OT_TABLE);
  sq_poptop(vm);

  ASSERT_TRUE(run("delete obj"));
  weak.pushDeref(vm);
  EXPECT_EQ(sq_gettype(vm, -1), OT_NULL);
  sq_poptop(vm);
}

// ---- SqFunc ------------------------------------------------------------------------

TEST_F(SqObjectTest, BoundFunctionsCallWithEveryForm) {
  openVM();
  ASSERT_TRUE(run(
      "calls <- []\n"
      "function noargs() { calls.append(\"noargs\") }\n"
      "function two(a, b) { calls.append(a * 10 + b) }\n"
      "function obj() { return [1, 2] }\n"
      "function named(s) { return s + \"!\" }\n"
      "function count(s, n) { return s.len() + n }\n"));
  SqFunc<void> f0;
  SqFunc<void> f2;
  SqFunc<SqObject> fo;
  SqFunc<SqObject> fs;
  SqFunc<int> fi;
  f0.bind(vm, "noargs");
  f2.bind(vm, "two");
  fo.bind(vm, "obj");
  fs.bind(vm, "named");
  fi.bind(vm, "count");
  SQInteger top = sq_gettop(vm);
  f0();
  f2(3, 4);
  SqObject arr = fo();
  SqObject text = fs("hi");
  EXPECT_EQ(fi("abcd", 3), 7);
  EXPECT_EQ(sq_gettop(vm), top) << "a successful call leaves the stack as it was";
  EXPECT_TRUE(arr.isArray());
  EXPECT_STREQ(sq_objtostring(&text.obj), "hi!");
  EXPECT_EQ(evalString("calls[0] + \",\" + calls[1]"), "noargs,34");
}

TEST_F(SqObjectTest, MissingNameGivesANullHandle) {
  openVM();
  SqFunc<void> f;
  EXPECT_TRUE(f.isNull());
  f.bind(vm, "no_such_function");
  EXPECT_TRUE(f.isNull());
  EXPECT_EQ(f.vm, vm);
}

TEST_F(SqObjectTest, HandleIsNullOnceItsEnvironmentIsCollected) {
  openVM();
  ASSERT_TRUE(run("env <- { function f() { return 5 } }"));
  sq_pushroottable(vm);
  sq_pushstring(vm, "env", -1);
  sq_get(vm, -2);
  HSQOBJECT env;
  sq_getstackobj(vm, -1, &env);
  SqFunc<int> f;
  f.bind(vm, env, "f");
  sq_pop(vm, 2);
  ASSERT_FALSE(f.isNull());
  EXPECT_EQ(f(), 5);
  ASSERT_TRUE(run("delete env"));
  EXPECT_FALSE(f.closure.isNull());
  EXPECT_TRUE(f.isNull());
}

TEST_F(SqObjectTest, CallErrorsThrowTheLayersTexts) {
  openVM();
  ASSERT_TRUE(run("function bad() { throw \"boom\" }\nfunction text() { return \"x\" }"));
  SqFunc<void> bad;
  bad.bind(vm, "bad");
  SQInteger top = sq_gettop(vm);
  std::string log;
  try {
    log = capture_log([&] { bad(); });
    FAIL() << "no exception";
  } catch (const SquirrelError& e) {
    EXPECT_STREQ(e.message, "SqFunc<> call failed");
  }
  EXPECT_EQ(sq_gettop(vm), top);

  SqFunc<int> text;
  text.bind(vm, "text");
  try {
    text();
    FAIL() << "no exception";
  } catch (const SquirrelError& e) {
    EXPECT_STREQ(e.message, "sq_get*() failed (type error)");
  }
  EXPECT_EQ(sq_gettop(vm), top);

  // A native error unwinding through the call reaches the caller as it was thrown.
  ASSERT_TRUE(run("function native_fails(a) { return dot3(vec4f(a), 1) }"));
  SqFunc<SqObject> native_fails;
  native_fails.bind(vm, "native_fails");
  try {
    native_fails("x");
    FAIL() << "no exception";
  } catch (const SquirrelError& e) {
    EXPECT_STREQ(e.message, "sq_get*() failed (type error)");
  }
  EXPECT_EQ(sq_gettop(vm), top);

  // An environment that is no weak reference (an integer is held as itself).
  SqFunc<void> f;
  f.bind(vm, "text");
  HSQOBJECT seven;
  sq_pushinteger(vm, 7);
  sq_getstackobj(vm, -1, &seven);
  sq_poptop(vm);
  f.setEnv(seven);
  try {
    f();
    FAIL() << "no exception";
  } catch (const SquirrelError& e) {
    EXPECT_STREQ(e.message, "SqFunc: can't deref weakptr to object");
  }
  EXPECT_EQ(sq_gettop(vm), top);
}

// Binding again after each reload of the script must not pile up references: the
// VM's heap returns to the same size.
TEST_F(SqObjectTest, RebindingAndReloadingLeaveNoReferencesBehind) {
  openVM();
  const std::string script = "function f(a, b) { return [a, b] }\nfunction g() { return {} }\n";
  SqFunc<SqObject> f;
  SqFunc<SqObject> g;
  auto cycle = [&] {
    ASSERT_TRUE(run(script));
    f.bind(vm, "f");
    g.bind(vm, "g");
    SqObject a = g();
    SqObject b = f(1, 2);
    SqObject c = b;
    sq_collectgarbage(vm);
  };
  for (int i = 0; i < 3; i++)
    cycle();
  int64_t blocks = sqbind::vm_heap_blocks();
  for (int i = 0; i < 50; i++)
    cycle();
  EXPECT_EQ(sqbind::vm_heap_blocks(), blocks);
  f.reset();
  g.reset();
  EXPECT_EQ(f.vm, nullptr);
  EXPECT_TRUE(f.closure.isNull());
}

TEST_F(SqObjectTest, ClosingTheVmReturnsEveryBlock) {
  int64_t before = sqbind::vm_heap_blocks();
  openVM();
  ASSERT_TRUE(run("a <- [vec4f(1), PerfTimer(), {x = [1, 2, 3]}]\nb <- {}\nb.self <- b"));
  sqbind::close_vm(vm);
  vm = nullptr;
  EXPECT_EQ(sqbind::vm_heap_blocks(), before);
}

TEST_F(SqObjectTest, ErrorFromVmTakesItsLastErrorText) {
  openVM();
  sq_throwerror(vm, "some failure");
  EXPECT_STREQ(SquirrelError(vm).message, "some failure");
  sq_newtable(vm);
  sq_throwobject(vm);
  EXPECT_STREQ(SquirrelError(vm).message, "unknown error");
}

TEST_F(SqObjectTest, ValueAndContainerReaders) {
  openVM();
  ASSERT_TRUE(run("t <- [1.5, 7, \"x\"]"));
  auto push_elem = [&](int i) {
    sq_pushroottable(vm);
    sq_pushstring(vm, "t", -1);
    sq_get(vm, -2);
    sq_remove(vm, -2);
    sq_pushinteger(vm, i);
    sq_get(vm, -2);
  };
  SQInteger top = sq_gettop(vm);
  push_elem(0);
  EXPECT_FLOAT_EQ(sqbind::get_and_pop_float(vm, -1), 1.5f);
  push_elem(1);
  EXPECT_EQ(sqbind::get_and_pop_int(vm, -1), 7);
  push_elem(2);
  SqObject x = sqbind::get_and_pop_object(vm, -1);
  EXPECT_STREQ(sq_objtostring(&x.obj), "x");
  EXPECT_EQ(sq_gettop(vm), top);
  // A value of the wrong kind throws, and the value and its container still go.
  push_elem(2);
  EXPECT_THROW(sqbind::get_and_pop_int(vm, -1), SquirrelError);
  EXPECT_EQ(sq_gettop(vm), top);
  push_elem(2);
  EXPECT_THROW(sqbind::get_and_pop_float(vm, -1), SquirrelError);
  EXPECT_EQ(sq_gettop(vm), top);

  sq_pushroottable(vm);
  sq_pushstring(vm, "t", -1);
  sq_get(vm, -2);
  SqObject t(vm, -1);
  sq_pop(vm, 2);
  EXPECT_FLOAT_EQ(sqbind::get_float_at(vm, t.obj, 1), 7.0f);
  EXPECT_THROW(sqbind::get_float_at(vm, t.obj, 2), SquirrelError);
  EXPECT_THROW(sqbind::get_float_at(vm, t.obj, 9), SquirrelError);
  EXPECT_EQ(sq_gettop(vm), top);
}
