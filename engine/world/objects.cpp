// The object lists the module fills, the deletion queue, the base object's own
// operations and the script type tags of the module's classes.
#include "engine/core/strings.h"
#include "engine/script/sqbind.h"
#include "engine/world/gameobj_api.h"

#define GAMEOBJ_DEFINE_LIST(name) DynArray<name*> name##_list;
GAMEOBJ_LIST_NAMES(GAMEOBJ_DEFINE_LIST)
#undef GAMEOBJ_DEFINE_LIST

DynArray<BaseObject*> deleted_gameobjs;

// ---- type tags: one exported tag per scripted class of the module -------------------
class BossJoint;
class BossSubpartBehavior;
class WieldedItem;
class Boss;
template int sqbind::ClassTag<BaseObject>::uniqueTag;
template int sqbind::ClassTag<GameObj>::uniqueTag;
template int sqbind::ClassTag<BossJoint>::uniqueTag;
template int sqbind::ClassTag<BossSubpartBehavior>::uniqueTag;
template int sqbind::ClassTag<WieldedItem>::uniqueTag;
template int sqbind::ClassTag<Boss>::uniqueTag;
#define GAMEOBJ_CLASS_TAG(name) template int sqbind::ClassTag<name>::uniqueTag;
GAMEOBJ_LIST_NAMES(GAMEOBJ_CLASS_TAG)
#undef GAMEOBJ_CLASS_TAG

// ---- BaseObject ------------------------------------------------------------------------

BaseObject::~BaseObject() {
  if (scriptInstance._type != OT_NULL && scriptVM) {
    // The script may outlive the object: cut the instance's way back to it.
    HSQUIRRELVM vm = scriptVM;
    sq_pushobject(vm, scriptInstance);
    if (sq_gettype(vm, -1) == OT_WEAKREF) {
      sq_getweakrefval(vm, -1);
      sq_remove(vm, -2);
    }
    if (sq_gettype(vm, -1) == OT_INSTANCE)
      sq_setinstanceup(vm, -1, nullptr);
    sq_pop(vm, 1);
    sq_release(vm, &scriptInstance);
  }
  sq_resetobject(&scriptInstance);
  scriptVM = nullptr;

  WeakRefNode* node = weakHead;
  while (node) {
    WeakRefNode* next = node->next;
    node->target = nullptr;
    node->link = nullptr;
    node->next = nullptr;
    if (next == weakHead)
      break;
    node = next;
  }
  weakHead = nullptr;
}

void BaseObject::destroy() {
  if (flags != OBJ_LIVE)
    return;
  flags = OBJ_QUEUED;
  BaseObject* self = this;
  deleted_gameobjs.push(&self);
  onDestroy();
}

void BaseObject::push(HSQUIRRELVM) { throw sqbind::SquirrelError("Can't push BaseObject to script"); }

sqbind::SqObject BaseObject::toString(HSQUIRRELVM vm) {
  TempString<256> text;
  text.format("(%s : %p)", className(), (void*)this);
  return sqbind::SqObject(vm, text.str);
}
