// Counted handles to script objects, slot readers, closures of native functions and
// the call path of script functions bound by name.
#include <cxxabi.h>

#include <cstdlib>
#include <cstring>

#include "engine/core/log.h"
#include "engine/script/sqbind.h"

namespace sqbind {

const char* const type_error_text = "sq_get*() failed (type error)";
const char* const get_inst_error_text = "getInst: invalid argument type";

SquirrelError::SquirrelError(HSQUIRRELVM vm) : message("unknown error") {
  sq_getlasterror(vm);
  const SQChar* text = nullptr;
  if (SQ_SUCCEEDED(sq_getstring(vm, -1, &text)) && text)
    message = text;  // the VM keeps it alive as its last error
  sq_poptop(vm);
}

// ---- SqObject --------------------------------------------------------------------

// sq_getstackobj takes any index on faith: a slot that does not exist (0, or past
// the top either way) is refused here instead of read from beyond the stack.
static SQRESULT get_stack_object(HSQUIRRELVM v, SQInteger idx, HSQOBJECT* po) {
  SQInteger top = sq_gettop(v);
  if (idx == 0 || idx > top || -idx > top)
    return SQ_ERROR;
  return sq_getstackobj(v, idx, po);
}

SqObject::SqObject(HSQUIRRELVM v, SQInteger idx) {
  reset();
  if (SQ_SUCCEEDED(get_stack_object(v, idx, &obj))) {
    sq_addref(v, &obj);
    vm = v;
  } else {
    reset();
  }
}

SqObject::SqObject(HSQUIRRELVM v, const char* text) {
  reset();
  sq_pushstring(v, text, -1);
  sq_getstackobj(v, -1, &obj);
  sq_addref(v, &obj);
  vm = v;
  sq_poptop(v);
}

SqObject::SqObject(const SqObject& other) : obj(other.obj), vm(other.vm) {
  if (vm)
    sq_addref(vm, &obj);
}

SqObject& SqObject::operator=(const SqObject& other) {
  if (this != &other)
    set(other.vm, other.obj);
  return *this;
}

void SqObject::set(HSQUIRRELVM v, const HSQOBJECT& o) {
  // Take the new reference first: the old object may be what keeps the new one alive.
  HSQOBJECT copy = o;
  if (v)
    sq_addref(v, &copy);
  release(vm);
  obj = copy;
  vm = v;
}

void SqObject::setWeakRef(HSQUIRRELVM v, const HSQOBJECT& o) {
  if (o._type == OT_WEAKREF) {
    set(v, o);
    return;
  }
  HSQOBJECT target = o;
  sq_addref(v, &target);  // keeps the target alive while the old content goes
  release(vm);
  sq_pushobject(v, target);
  sq_weakref(v, -1);
  fetch(v, -1);
  sq_pop(v, 2);
  sq_release(v, &target);
}

void SqObject::addRef(HSQUIRRELVM v) {
  sq_addref(v, &obj);
  vm = v;
}

void SqObject::decRef(HSQUIRRELVM v) { sq_release(v, &obj); }

void SqObject::release(HSQUIRRELVM v) {
  if (v)
    sq_release(v, &obj);
  reset();
}

SQRESULT SqObject::fetch(HSQUIRRELVM v, SQInteger idx) {
  SQRESULT r = get_stack_object(v, idx, &obj);
  if (SQ_SUCCEEDED(r)) {
    sq_addref(v, &obj);
    vm = v;
  }
  return r;
}

SQRESULT SqObject::fetchRaw(HSQUIRRELVM v, SQInteger idx) { return get_stack_object(v, idx, &obj); }

void SqObject::pushDeref(HSQUIRRELVM v) const {
  sq_pushobject(v, obj);
  if (obj._type == OT_WEAKREF && SQ_SUCCEEDED(sq_getweakrefval(v, -1)))
    sq_remove(v, -2);
}

// ---- slot readers -----------------------------------------------------------------

void pop_value_and_container(HSQUIRRELVM v) { sq_pop(v, 2); }

// Reads the value at idx; the value and its container go also when the read throws.
template <class T>
static T get_and_pop(HSQUIRRELVM v, SQInteger idx) {
  StackRestore restore(v, sq_gettop(v) - 2);
  return get<T>(v, idx);
}

int get_and_pop_int(HSQUIRRELVM v, SQInteger idx) { return get_and_pop<int>(v, idx); }
float get_and_pop_float(HSQUIRRELVM v, SQInteger idx) { return get_and_pop<float>(v, idx); }
SqObject get_and_pop_object(HSQUIRRELVM v, SQInteger idx) { return get_and_pop<SqObject>(v, idx); }

float get_float_at(HSQUIRRELVM v, const HSQOBJECT& container, SQInteger key) {
  StackRestore restore(v, sq_gettop(v));
  sq_pushobject(v, container);
  sq_pushinteger(v, key);
  if (SQ_FAILED(sq_get(v, -2)))
    throw SquirrelError(v);
  return get<float>(v, -1);
}

// ---- closures ------------------------------------------------------------------------

void def_native(HSQUIRRELVM v, const SqObject& table, SQFUNCTION fn, const char* name) {
  table.pushDeref(v);
  sq_pushstring(v, name, -1);
  sq_newclosure(v, fn, 0);
  sq_newslot(v, -3, SQFalse);
  sq_poptop(v);
}

namespace detail {

void push_function_closure(HSQUIRRELVM v, SQFUNCTION dispatch, void* fn) {
  sq_pushuserpointer(v, fn);
  sq_newclosure(v, dispatch, 1);
}

void push_method_closure(HSQUIRRELVM v, SQFUNCTION dispatch, const void* bytes, size_t size) {
  void* ud = sq_newuserdata(v, size);
  ASSERT(ud);
  memcpy(ud, bytes, size);
  sq_newclosure(v, dispatch, 1);
}

HSQOBJECT take_free_variable(HSQUIRRELVM v) {
  HSQOBJECT fv;
  sq_resetobject(&fv);
  SQInteger top = sq_gettop(v);
  if (SQ_FAILED(sq_getcallee(v)))
    return fv;
  if (sq_getfreevariable(v, -1, 0)) {
    sq_getstackobj(v, -1, &fv);  // the closure keeps it alive
    sq_poptop(v);
  }
  sq_poptop(v);
  // The VM passes free variables on the stack after the arguments; drop it there.
  // Scripts cannot make such a value, so an argument never matches it.
  HSQOBJECT last;
  if (fv._type != OT_NULL && top >= 2 && SQ_SUCCEEDED(sq_getstackobj(v, top, &last)) &&
      last._type == fv._type && last._unVal.raw == fv._unVal.raw)
    sq_poptop(v);
  return fv;
}

void* free_variable_pointer(HSQUIRRELVM v, const HSQOBJECT& fv) {
  if (fv._type == OT_USERPOINTER)
    return fv._unVal.pUserPointer;
  if (fv._type != OT_USERDATA)
    return nullptr;
  sq_pushobject(v, fv);
  SQUserPointer p = nullptr;
  if (SQ_FAILED(sq_getuserdata(v, -1, &p, nullptr)))
    p = nullptr;
  sq_poptop(v);
  return p;
}

void new_slot_checked(HSQUIRRELVM v, SQInteger target) {
  SQRESULT res = sq_newslot(v, target, SQFalse);
  ASSERT(SQ_SUCCEEDED(res));
}

const char* demangled(const std::type_info& type, char* buffer, size_t size) {
  int status = 0;
  char* name = abi::__cxa_demangle(type.name(), nullptr, nullptr, &status);
  snprintf(buffer, size, "%s", status == 0 && name ? name : type.name());
  free(name);
  return buffer;
}

SQInteger throw_invalid_this(HSQUIRRELVM v, SQUserPointer own_tag, const std::type_info& cls,
                             const std::type_info& method) {
  dump_get_instance_error(v, 1);
  SQUserPointer found = nullptr;
  if (SQ_FAILED(sq_gettypetag(v, 1, &found)))
    found = nullptr;
  char cls_name[128], method_name[256];
  // The text must outlive this frame: sq_throwerror copies it into the VM.
  TempString<512> text;
  text.format("invalid 'this' (tag %p) in C++ method call for %s (tag %p), %s", found,
              demangled(cls, cls_name, sizeof(cls_name)), own_tag,
              demangled(method, method_name, sizeof(method_name)));
  return sq_throwerror(v, text);
}

// ---- SqFunc ------------------------------------------------------------------------

void bind_function(HSQUIRRELVM v, const HSQOBJECT& env_obj, const char* name, SqObject& env,
                   SqObject& closure) {
  env.setWeakRef(v, env_obj);
  env.pushDeref(v);
  sq_pushstring(v, name, -1);
  if (SQ_SUCCEEDED(sq_get(v, -2))) {
    closure.fetch(v, -1);
    sq_poptop(v);
  }
  sq_poptop(v);
}

bool function_is_null(HSQUIRRELVM v, const SqObject& closure, const SqObject& env) {
  if (closure.isNull() || env.isNull() || !v)
    return true;
  env.push(v);
  if (SQ_FAILED(sq_getweakrefval(v, -1))) {
    sq_poptop(v);
    return true;
  }
  bool gone = sq_gettype(v, -1) == OT_NULL;
  sq_pop(v, 2);
  return gone;
}

SQInteger prepare_call(HSQUIRRELVM v, const SqObject& closure, const SqObject& env) {
  SQInteger top = sq_gettop(v);
  closure.push(v);
  env.push(v);
  if (SQ_FAILED(sq_getweakrefval(v, -1))) {
    sq_settop(v, top);
    throw SquirrelError("SqFunc: can't deref weakptr to object");
  }
  sq_remove(v, -2);  // the weak reference; its target lies above the closure
  return top;
}

void finish_call(HSQUIRRELVM v, SQInteger nargs) {
  if (SQ_FAILED(sq_call(v, nargs + 1, SQTrue, SQTrue)))
    throw SquirrelError("SqFunc<> call failed");
}

}  // namespace detail
}  // namespace sqbind

namespace sqbind {
HSQUIRRELVM any_open_vm();
}

void sq_debug_object(const HSQOBJECT* o) {
  HSQUIRRELVM vm = sqbind::any_open_vm();
  switch (o->_type) {
    case OT_NATIVECLOSURE:
      // The API does not hand out a native closure's function; its address names it.
      debug("(native func %p)", (void*)o->_unVal.pNativeClosure);
      break;
    case OT_INSTANCE: {
      SQUserPointer up = nullptr;
      SQRELEASEHOOK hook = nullptr;
      if (vm) {
        sq_pushobject(vm, *o);
        sq_getinstanceup(vm, -1, &up, nullptr);
        hook = sq_getreleasehook(vm, -1);
        sq_poptop(vm);
      }
      debug("(instance UP=%p hook=%p)", up, (void*)hook);
      break;
    }
    default: {
      const SQChar* s = o->_type == OT_STRING ? sq_objtostring(o) : nullptr;
      debug("%s", s ? s : "");
      break;
    }
  }
}
