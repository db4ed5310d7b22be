// Class registration, type tags, native instances and the call trampolines.
#include <cstring>

#include "engine/core/mem.h"
#include "engine/script/sq_perf_timer.h"
#include "script_fixture.h"

using sqbind::SqObject;
using sqbind::SquirrelError;

namespace {

int live_items = 0;

// A small native class hierarchy with a counting release hook.
struct Item {
  int value;
  int get() { return value; }
  void add(int n) { value += n; }
  float scaled(float f, int n) { return value * f + n; }
  const char* kind() { return "item"; }
  // What a reload binds in place of get and add.
  int twice() { return value * 2; }
  void subtract(int n) { value -= n; }
};
struct SpecialItem : Item {};
struct Unrelated {
  int x;
};

SQInteger release_item(SQUserPointer p, SQInteger) {
  live_items--;
  dlfree(p);
  return 0;
}

Item* new_item(int v) {
  Item* p = (Item*)dlmalloc(sizeof(Item));
  p->value = v;
  live_items++;
  return p;
}

void item_ctor(HSQUIRRELVM vm, int v) { sqbind::init_instance(new_item(v), vm, release_item); }

int sum3(int a, float b, int c) { return a + (int)b + c; }
void throws_native(int) { throw SquirrelError("native failure"); }
int read_order(SqObject a, Item* b) { return a.isNull() ? -1 : (b ? b->value : 0); }

}  // namespace

class SqClassTest : public ScriptTest {
 protected:
  void bindItems() {
    sqbind::ClassDef<Item>(vm, "Item")
        .def(item_ctor)
        .def(&Item::get, "get")
        .def(&Item::add, "add")
        .def(&Item::scaled, "scaled")
        .def(&Item::kind, "kind");
    sqbind::ClassDef<SpecialItem>(vm, "SpecialItem", "Item");
    sqbind::ClassDef<Unrelated>(vm, "Unrelated");
    sqbind::def(vm, sum3, "sum3");
    sqbind::def(vm, throws_native, "throws_native");
    sqbind::def(vm, read_order, "read_order");
  }
};

TEST_F(SqClassTest, RegisteringTwiceReusesTheClass) {
  openVM();
  SqObject a = sqbind::create_class(vm, "vec4f", nullptr, sqbind::ClassTag<SqVec4f>::tag());
  SqObject b = sqbind::create_class(vm, "vec4f", nullptr, sqbind::ClassTag<SqVec4f>::tag());
  EXPECT_EQ(a.obj._type, OT_CLASS);
  EXPECT_EQ(a.obj._unVal.pClass, b.obj._unVal.pClass);
  // Both places hold it: the root table by name and the registry by tag.
  sq_pushregistrytable(vm);
  sq_pushuserpointer(vm, sqbind::ClassTag<SqVec4f>::tag());
  ASSERT_TRUE(SQ_SUCCEEDED(sq_get(vm, -2)));
  HSQOBJECT reg;
  sq_getstackobj(vm, -1, &reg);
  EXPECT_EQ(reg._unVal.pClass, a.obj._unVal.pClass);
  sq_pop(vm, 2);
}

TEST_F(SqClassTest, MissingBaseClassIsFatal) {
  EXPECT_EXIT(
      {
        openVM();
        sqbind::create_class(vm, "Child", "NoSuchBase", sqbind::ClassTag<Unrelated>::tag());
      },
      ::testing::ExitedWithCode(100), "no base class 'NoSuchBase' bound for 'Child'");
}

TEST_F(SqClassTest, TypeChecksFollowInheritance) {
  openVM();
  bindItems();
  ASSERT_TRUE(run("plain <- Item(3)\nspecial <- SpecialItem(4)\nother <- Unrelated()"));
  struct Case {
    const char* global;
    bool asItem, asSpecial;
  } cases[] = {{"plain", true, false}, {"special", true, true}, {"other", false, false}};
  for (const Case& c : cases) {
    sq_pushroottable(vm);
    sq_pushstring(vm, c.global, -1);
    sq_get(vm, -2);
    EXPECT_EQ(sqbind::getInstOrNull<Item>(vm, -1) != nullptr, c.asItem) << c.global;
    EXPECT_EQ(sqbind::getInstOrNull<SpecialItem>(vm, -1) != nullptr, c.asSpecial) << c.global;
    if (!c.asItem) {
      try {
        sqbind::getInst<Item>(vm, -1);
        ADD_FAILURE() << "no exception";
      } catch (const SquirrelError& e) {
        EXPECT_STREQ(e.message, "getInst: invalid argument type");
      }
    }
    sq_pop(vm, 2);
  }
  // The base class's methods run on the derived instance.
  EXPECT_EQ(evalInt("special.get()"), 4);
}

TEST_F(SqClassTest, MethodsReadArgumentsAndPushResults) {
  openVM();
  bindItems();
  ASSERT_TRUE(run("it <- Item(5)\nit.add(2)"));
  EXPECT_EQ(evalInt("it.get()"), 7);
  EXPECT_FLOAT_EQ(evalFloat("it.scaled(0.5, 1)"), 4.5f);
  EXPECT_EQ(evalString("it.kind()"), "item");
  EXPECT_EQ(evalInt("sum3(1, 2.9, 3)"), 6);
  EXPECT_EQ(evalInt("sum3(1.7, 2, 3)"), 6) << "floats are truncated for int arguments";
}

TEST_F(SqClassTest, BadArgumentsThrowToTheNativeCaller) {
  openVM();
  bindItems();
  ASSERT_TRUE(run("it <- Item(5)"));
  struct Case {
    const char* expr;
    const char* error;
  } cases[] = {
      {"sum3(1, \"x\", 3)", "sq_get*() failed (type error)"},
      {"it.add(null)", "sq_get*() failed (type error)"},
      {"read_order(1, it)", ""},
      {"read_order(1, 5)", "getInst: invalid argument type"},
      // The last argument is read first.
      {"read_order(null, 5)", "getInst: invalid argument type"},
      {"throws_native(1)", "native failure"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(nativeError(c.expr), c.error) << c.expr;
  // The VM is still usable after a native error unwound through it.
  EXPECT_EQ(evalInt("it.get() + sum3(1, 1, 1)"), 8);
}

TEST_F(SqClassTest, NativeErrorUnwindsThroughNestedScriptCalls) {
  openVM();
  bindItems();
  ASSERT_TRUE(run("function inner() { local t = [1]; throws_native(1) }\n"
                  "function outer() { try { inner() } catch (e) { return \"caught by script\" } }"));
  SQInteger top = sq_gettop(vm);
  EXPECT_EQ(nativeError("outer()"), "native failure") << "a script catch must not see native errors";
  EXPECT_EQ(sq_gettop(vm), top);
  EXPECT_EQ(evalInt("sum3(2, 2, 2)"), 6);
}

TEST_F(SqClassTest, WrongThisIsAScriptError) {
  openVM();
  bindItems();
  ASSERT_TRUE(run("it <- Item(5)\nother <- Unrelated()"));
  std::string log = capture_log([&] {
    EXPECT_TRUE(run("local r = null\ntry { Item.get.call(other) } catch (e) { r = e }\nerr <- r"));
  });
  (void)log;
  std::string err = evalString("err");
  char expected[256];
  snprintf(expected, sizeof(expected), "invalid 'this' (tag %p) in C++ method call for ",
           sqbind::ClassTag<Unrelated>::tag());
  EXPECT_EQ(err.rfind(expected, 0), 0u) << err;
  char own[64];
  snprintf(own, sizeof(own), "(tag %p)", sqbind::ClassTag<Item>::tag());
  EXPECT_NE(err.find(own), std::string::npos) << err;
  EXPECT_NE(err.find("Item"), std::string::npos) << err;
}

TEST_F(SqClassTest, VecMethodOnATimerNamesBothTags) {
  openVM();
  std::string err;
  capture_log([&] {
    ASSERT_TRUE(run("local r = null\ntry { vec4f.onLoaded.call(PerfTimer()) } catch (e) { r = e }\nerr <- r"));
  });
  err = evalString("err");
  char expected[128];
  snprintf(expected, sizeof(expected), "invalid 'this' (tag %p)", sqbind::ClassTag<SqPerfTimer>::tag());
  EXPECT_EQ(err.rfind(expected, 0), 0u) << err;
  char own[64];
  snprintf(own, sizeof(own), "SqVec4f (tag %p)", sqbind::ClassTag<SqVec4f>::tag());
  EXPECT_NE(err.find(own), std::string::npos) << err;
}

TEST_F(SqClassTest, InstancesPushedAndReleased) {
  openVM();
  bindItems();
  SQInteger top = sq_gettop(vm);
  ASSERT_TRUE(sqbind::push_instance(vm, nullptr, sqbind::ClassTag<Item>::tag(), "Item", nullptr));
  EXPECT_EQ(sq_gettype(vm, -1), OT_NULL);
  sq_poptop(vm);

  int before = live_items;
  Item* owned = new_item(9);
  ASSERT_TRUE(sqbind::push_instance(vm, owned, sqbind::ClassTag<Item>::tag(), "Item", release_item));
  EXPECT_EQ(sqbind::getInst<Item>(vm, -1), owned);
  sq_poptop(vm);
  EXPECT_EQ(live_items, before) << "the release hook frees the object with the instance";

  Item kept{4};
  ASSERT_TRUE(sqbind::push_instance(vm, &kept, sqbind::ClassTag<Item>::tag(), "Item", nullptr));
  sq_poptop(vm);
  EXPECT_EQ(kept.value, 4);
  EXPECT_EQ(sq_gettop(vm), top);

  // A class that was never registered in this VM.
  struct Nowhere {};
  Nowhere n;
  std::string log = capture_log([&] {
    EXPECT_THROW(sqbind::push_instance(vm, &n, sqbind::ClassTag<Nowhere>::tag(), "Nowhere", nullptr),
                 SquirrelError);
  });
  EXPECT_NE(log.find("failed to create Nowhere"), std::string::npos);
  EXPECT_EQ(sq_gettop(vm), top);
}

TEST_F(SqClassTest, ScriptConstructedInstancesAreFreedWithTheScript) {
  openVM();
  bindItems();
  int before = live_items;
  ASSERT_TRUE(run("list <- []\nfor (local i = 0; i < 10; i++) list.append(Item(i))"));
  EXPECT_EQ(live_items, before + 10);
  ASSERT_TRUE(run("list = null"));
  EXPECT_EQ(live_items, before);
}

// A reload binds the class again, here with other natives under the same names:
// instances made before it keep their native objects and call the new methods, as
// do new ones; names bound only the first time stay.
TEST_F(SqClassTest, RedefiningMethodsWhileInstancesLive) {
  openVM();
  bindItems();
  ASSERT_TRUE(run("it <- Item(5)"));
  EXPECT_EQ(evalInt("it.get()"), 5);
  sqbind::ClassDef<Item>(vm, "Item")
      .def(item_ctor)
      .def(&Item::twice, "get")
      .def(&Item::subtract, "add");
  EXPECT_EQ(evalInt("it.get()"), 10) << "the live instance calls the new method";
  ASSERT_TRUE(run("it.add(2)"));
  EXPECT_EQ(evalInt("it.get()"), 6);
  ASSERT_TRUE(run("it2 <- Item(6)"));
  EXPECT_EQ(evalInt("it2.get()"), 12);
  EXPECT_EQ(evalString("it.kind()"), "item");
}

TEST_F(SqClassTest, NativesInTablesAndOnTop) {
  openVM();
  ASSERT_TRUE(run("lib <- {}"));
  sq_pushroottable(vm);
  sq_pushstring(vm, "lib", -1);
  sq_get(vm, -2);
  SqObject lib(vm, -1);
  sq_pop(vm, 2);
  sqbind::def(vm, lib, sum3, "sum");
  sqbind::def_native(vm, lib, [](HSQUIRRELVM v) -> SQInteger {
    sq_pushinteger(v, 42);
    return 1;
  }, "answer");
  lib.push(vm);
  sqbind::def_on_top(vm, sum3, "sum_again");
  EXPECT_EQ(sq_gettype(vm, -1), OT_TABLE);
  sq_poptop(vm);
  EXPECT_EQ(evalInt("lib.sum(1, 2, 3) + lib.answer() + lib.sum_again(0, 0, 1)"), 49);
}
