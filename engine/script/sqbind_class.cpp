// Script classes of native types: creation or reuse by name, the type tag, the two
// table entries (root table by name, registry by tag), and native instances.
#include "engine/core/log.h"
#include "engine/script/sqbind.h"

namespace sqbind {

SqObject create_class(HSQUIRRELVM vm, const char* name, const char* base_name, SQUserPointer tag) {
  sq_pushroottable(vm);
  sq_pushstring(vm, name, -1);
  sq_pushstring(vm, name, -1);
  if (SQ_FAILED(sq_get(vm, -3))) {
    // Not bound yet (sq_get removed the second name): make the class.
    bool has_base = false;
    if (base_name) {
      sq_pushstring(vm, base_name, -1);
      if (SQ_FAILED(sq_get(vm, -3)))
        fatal("no base class '%s' bound for '%s'", base_name, name);
      has_base = true;
    }
    if (SQ_FAILED(sq_newclass(vm, has_base ? SQTrue : SQFalse))) {
      sq_pop(vm, 2);
      fatal("can't create class '%s'", name);
    }
  }
  // An existing class is reused as it is: a script reload keeps its classes.
  SqObject cls(vm, -1);
  if (SQ_FAILED(sq_settypetag(vm, -1, tag))) {
    sq_pop(vm, 3);
    fatal("can't set type tag for class '%s'", name);
  }
  if (SQ_FAILED(sq_newslot(vm, -3, SQFalse)))
    fatal("can't register class '%s' in root table", name);
  sq_poptop(vm);

  sq_pushregistrytable(vm);
  sq_pushuserpointer(vm, tag);
  cls.push(vm);
  if (SQ_FAILED(sq_newslot(vm, -3, SQFalse)))
    fatal("can't register class '%s' in registry table", name);
  sq_poptop(vm);
  return cls;
}

bool push_instance(HSQUIRRELVM vm, void* object, SQUserPointer tag, const char* class_name,
                   SQRELEASEHOOK hook) {
  if (!object) {
    sq_pushnull(vm);
    return true;
  }
  SQInteger top = sq_gettop(vm);
  // Every failure leaves the stack as it was, logs and throws its own text.
  auto failure = [&](const char* error) {
    sq_settop(vm, top);
    debug("failed to create %s", class_name);
    return SquirrelError(error);
  };
  sq_pushregistrytable(vm);
  sq_pushuserpointer(vm, tag);
  if (SQ_FAILED(sq_get(vm, -2)))
    throw failure("can't get script class");
  sq_remove(vm, -2);
  if (SQ_FAILED(sq_createinstance(vm, -1)))
    throw failure("can't create script instance");
  sq_remove(vm, -2);
  if (SQ_FAILED(sq_setinstanceup(vm, -1, object)))
    throw failure("can't set instance user pointer");
  if (hook)
    sq_setreleasehook(vm, -1, hook);
  return true;
}

bool init_instance(void* object, HSQUIRRELVM vm, SQRELEASEHOOK hook) {
  if (SQ_FAILED(sq_setinstanceup(vm, 1, object))) {
    sq_poptop(vm);
    debug("failed to init scripted object %p", object);
    throw SquirrelError("can't set scripted instance user pointer");
  }
  if (hook)
    sq_setreleasehook(vm, 1, hook);
  return true;
}

}  // namespace sqbind
