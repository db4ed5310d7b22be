// The base object: deferred destruction, weak pointers, script detachment.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine/script/sqbind.h"
#include "engine/world/gameobj_api.h"

namespace {

struct CountingObject : GameObj {
  int destroyed = 0;
  void onDestroy() override { destroyed++; }
  const char* className() override { return "Hero"; }
};

TEST(BaseObject, DestroyQueuesOnceAndNotifiesOnce) {
  CountingObject* o = new CountingObject();
  o->destroy();
  o->destroy();
  EXPECT_EQ(o->flags, OBJ_QUEUED);
  EXPECT_EQ(o->destroyed, 1);
  ASSERT_EQ(deleted_gameobjs.size(), 1);
  EXPECT_EQ(deleted_gameobjs[0], o);
  deleted_gameobjs.clear();
  delete o;
}

TEST(BaseObject, DeletionClearsEveryWeakPointer) {
  GameObj* o = new GameObj();
  WeakRefNode nodes[3];
  for (int i = 0; i < 3; i++)
    nodes[i] = {o, (void*)0x1, &nodes[(i + 1) % 3]};
  o->weakHead = &nodes[0];
  delete o;
  for (const WeakRefNode& n : nodes) {
    EXPECT_EQ(n.target, nullptr);
    EXPECT_EQ(n.link, nullptr);
    EXPECT_EQ(n.next, nullptr);
  }
  GameObj* plain = new GameObj();
  delete plain;  // no weak pointers, no script instance: no VM touched
}

TEST(BaseObject, ScriptSideLosesTheObjectAndStringsNameIt) {
  HSQUIRRELVM vm = sq_open(1024);
  sq_pushroottable(vm);
  sq_pushstring(vm, "Thing", -1);
  sq_newclass(vm, SQFalse);
  sq_newslot(vm, -3, SQFalse);
  sq_pushstring(vm, "Thing", -1);
  sq_get(vm, -2);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_createinstance(vm, -1)));
  CountingObject* o = new CountingObject();
  sq_setinstanceup(vm, -1, o);
  sq_getstackobj(vm, -1, &o->scriptInstance);
  sq_addref(vm, &o->scriptInstance);
  o->scriptVM = vm;
  HSQOBJECT held;
  sq_getstackobj(vm, -1, &held);
  sq_addref(vm, &held);
  sq_settop(vm, 0);

  sqbind::SqObject text = o->toString(vm);
  const SQChar* s = nullptr;
  text.push(vm);
  sq_getstring(vm, -1, &s);
  char expect[64];
  snprintf(expect, sizeof(expect), "(Hero : %p)", (void*)o);
  EXPECT_STREQ(s, expect);
  sq_pop(vm, 1);
  EXPECT_THROW(o->push(vm), sqbind::SquirrelError);

  delete o;
  sq_pushobject(vm, held);
  SQUserPointer up = (SQUserPointer)0x1;
  sq_getinstanceup(vm, -1, &up, nullptr);
  EXPECT_EQ(up, nullptr) << "the script's instance no longer reaches the object";
  sq_pop(vm, 1);
  sq_release(vm, &held);
  text.release(vm);
  sq_close(vm);
}

}  // namespace
