#pragma once
// sqbind: the layer between native code and the Squirrel VMs. Counted handles to
// script objects (SqObject), script functions bound by name (SqFunc), classes with
// type tags, native instances, and call trampolines generated per native signature.
//
// Errors: a bad argument inside a native call throws sqbind::SquirrelError, which
// unwinds through sq_call to the native code that started the script call. Only a
// missing native target and a wrong 'this' become script errors (sq_throwerror).
// Failures while registering classes or defining functions are fatal.
#include <array>
#include <cstddef>
#include <cstdint>
#include <tuple>
#include <type_traits>
#include <typeinfo>
#include <utility>
#include <xmmintrin.h>

#include <squirrel.h>

#include "engine/core/fatal.h"
#include "engine/core/mem.h"
#include "engine/core/strings.h"

struct SqVec4f;
struct vec4float;

namespace sqbind {

// The layer's one exception type, thrown and caught by value. `message` is not
// owned: a literal of the program or a string held by the VM (its last error).
struct SquirrelError {
  const char* message;
  explicit SquirrelError(const char* text) : message(text) {}
  // The VM's last error as text, or "unknown error" when it is not a string.
  explicit SquirrelError(HSQUIRRELVM vm);
};

// Sets the VM's stack back to a height when the scope ends, however it ends: a
// native error unwinding through sq_call skips every pop written after the call.
class StackRestore {
 public:
  StackRestore(HSQUIRRELVM v, SQInteger height) : vm(v), height(height) {}
  ~StackRestore() { sq_settop(vm, height); }
  StackRestore(const StackRestore&) = delete;
  StackRestore& operator=(const StackRestore&) = delete;

 private:
  HSQUIRRELVM vm;
  SQInteger height;
};

extern const char* const type_error_text;   // "sq_get*() failed (type error)"
extern const char* const get_inst_error_text;  // "getInst: invalid argument type"

// ---- counted handle to one script object ---------------------------------------
// Invariant: vm is non-null exactly when the handle holds one reference (sq_addref)
// to the object; an empty handle is OT_NULL with no VM.
class SqObject {
 public:
  HSQOBJECT obj;  // type, then the 64-bit value
  HSQUIRRELVM vm;

  SqObject() { reset(); }
  // From a stack slot, with a reference; stays empty when the slot cannot be read.
  SqObject(HSQUIRRELVM v, SQInteger idx);
  // A new script string holding the text; the stack is left as it was.
  SqObject(HSQUIRRELVM v, const char* text);
  SqObject(HSQUIRRELVM v, const TempString<260>& text) : SqObject(v, text.c_str()) {}
  SqObject(const SqObject& other);
  SqObject& operator=(const SqObject& other);
  ~SqObject() { release(vm); }

  // Holds `o` with a reference taken in `v` (none when `v` is null); the old
  // content is released afterwards.
  void set(HSQUIRRELVM v, const HSQOBJECT& o);
  // Holds a weak reference to `o` (or `o` itself when it is not reference counted).
  void setWeakRef(HSQUIRRELVM v, const HSQOBJECT& o);
  void addRef(HSQUIRRELVM v);
  void decRef(HSQUIRRELVM v);
  // Releases through `v` when it is set, then empties the handle.
  void release(HSQUIRRELVM v);
  // Empties the handle without releasing anything.
  void reset() {
    sq_resetobject(&obj);
    vm = nullptr;
  }
  // Reads a slot into an empty handle, taking a reference on success.
  SQRESULT fetch(HSQUIRRELVM v, SQInteger idx);
  // Reads a slot without taking a reference.
  SQRESULT fetchRaw(HSQUIRRELVM v, SQInteger idx);

  void push(HSQUIRRELVM v) const { sq_pushobject(v, obj); }
  // Pushes the object; a weak reference that resolves is replaced by its target.
  void pushDeref(HSQUIRRELVM v) const;

  HSQUIRRELVM getVM() const { return vm; }
  bool isNull() const { return obj._type == OT_NULL; }
  bool isArray() const { return obj._type == OT_ARRAY; }
  bool isNumeric() const { return (obj._type & SQOBJECT_NUMERIC) != 0; }
};

// ---- type tags and classes -------------------------------------------------------
// The address of ClassTag<T>::uniqueTag is class T's type tag and its registry key.
template <class T>
struct ClassTag {
  static int uniqueTag;
  static SQUserPointer tag() { return (SQUserPointer)&uniqueTag; }
};
template <class T>
int ClassTag<T>::uniqueTag = 0;

// Creates the class (or reuses the root table's class of that name), tags it and
// stores it as root[name] and registry[tag]. Failures are fatal.
SqObject create_class(HSQUIRRELVM vm, const char* name, const char* base_name, SQUserPointer tag);
// Pushes a new instance of the class registered under `tag` around `object` (null
// for a null object). Throws SquirrelError when the class or instance cannot be made.
bool push_instance(HSQUIRRELVM vm, void* object, SQUserPointer tag, const char* class_name,
                   SQRELEASEHOOK hook);
// Binds `object` to the instance under construction at stack slot 1.
bool init_instance(void* object, HSQUIRRELVM vm, SQRELEASEHOOK hook);

template <class T>
SQInteger releaseInstHook(SQUserPointer p, SQInteger /*size*/);

// Runs `bind`, which hands an object the script is to own (freed by its release
// hook) to the script. When binding throws, nobody owns the object: it is freed.
template <class T, class F>
void hand_over_or_free(T* object, F&& bind) {
  try {
    bind();
  } catch (...) {
    releaseInstHook<T>(object, 0);
    throw;
  }
}

template <class T>
bool init_instance_of(T* object, HSQUIRRELVM vm) {
  T* p = object;
  ASSERT(p);
  hand_over_or_free(p, [&] { init_instance(p, vm, releaseInstHook<T>); });
  return true;
}

// The native object of an instance of a class tagged T (or derived from one).
template <class T>
T* getInstOrNull(HSQUIRRELVM vm, SQInteger idx) {
  SQUserPointer p = nullptr;
  if (SQ_FAILED(sq_getinstanceup(vm, idx, &p, ClassTag<T>::tag())))
    return nullptr;
  return (T*)p;
}
template <class T>
T* getInst(HSQUIRRELVM vm, SQInteger idx) {
  T* p = getInstOrNull<T>(vm, idx);
  if (!p)
    throw SquirrelError(get_inst_error_text);
  return p;
}

// ---- VM set-up, running files, diagnostics -------------------------------------------
HSQUIRRELVM create_vm(SQInteger stack_size);
void set_error_handlers(HSQUIRRELVM vm);
void close_vm(HSQUIRRELVM vm);
void script_print(HSQUIRRELVM vm, const char* fmt, ...);
void compiler_error_handler(HSQUIRRELVM vm, const char* desc, const char* source, SQInteger line,
                            SQInteger column);
SQInteger runtime_error_handler(HSQUIRRELVM vm);
void print_call_stack(HSQUIRRELVM vm, const char* error);
// In a runtime error handler: the call stack for the error value at slot 2 (its
// text, or "unknown"), when the stack holds a value.
void print_error_call_stack(HSQUIRRELVM vm);
bool compile_buffer(HSQUIRRELVM vm, const char* text, SQInteger length, const char* source);
bool vfs_compile_file(HSQUIRRELVM vm, const char* path);
bool vfs_run_file(HSQUIRRELVM vm, const char* path);
bool compile_file(HSQUIRRELVM vm, const char* path);
bool run_file(HSQUIRRELVM vm, const char* path);
void dump_get_instance_error(HSQUIRRELVM vm, SQInteger idx);

// Blocks the script VMs currently hold from the engine heap (for leak checks).
int64_t vm_heap_blocks();

// ---- reading stack slots ---------------------------------------------------------------
// Argument kinds: how one native parameter type is read from its slot. `slots` is 0
// for the VM itself, which takes no slot.
template <class T, class Enable = void>
struct Arg;

// A value read with one of the API's typed getters and converted to T.
template <class T, class Raw, SQRESULT (*read)(HSQUIRRELVM, SQInteger, Raw*)>
struct ScalarArg {
  static constexpr int slots = 1;
  using Hold = T;
  static T get(HSQUIRRELVM v, SQInteger idx) {
    Raw raw{};
    if (SQ_FAILED(read(v, idx, &raw)))
      throw SquirrelError(type_error_text);
    return (T)raw;
  }
  static T pass(Hold h) { return h; }
};
template <>
struct Arg<float> : ScalarArg<float, SQFloat, sq_getfloat> {};
template <>
struct Arg<int> : ScalarArg<int, SQInteger, sq_getinteger> {};
// The script's own 64-bit integer, for arguments that must be checked before narrowing.
template <>
struct Arg<SQInteger> : ScalarArg<SQInteger, SQInteger, sq_getinteger> {};
template <>
struct Arg<bool> : ScalarArg<bool, SQBool, sq_getbool> {};
template <>
struct Arg<const char*> : ScalarArg<const char*, const SQChar*, sq_getstring> {};
template <>
struct Arg<SqObject> {
  static constexpr int slots = 1;
  using Hold = SqObject;
  static SqObject get(HSQUIRRELVM v, SQInteger idx) {
    SqObject o;
    if (SQ_FAILED(o.fetch(v, idx)))
      throw SquirrelError(type_error_text);
    return o;
  }
  static const SqObject& pass(const Hold& h) { return h; }
};
template <>
struct Arg<const SqObject&> : Arg<SqObject> {};
template <>
struct Arg<HSQUIRRELVM> {
  static constexpr int slots = 0;
  using Hold = HSQUIRRELVM;
  static HSQUIRRELVM get(HSQUIRRELVM v, SQInteger) { return v; }
  static HSQUIRRELVM pass(Hold h) { return h; }
};
// A pointer to a bound native class: null for a script null, else the instance's
// native object, type-checked by the class's tag.
template <class T>
struct Arg<T*, std::enable_if_t<std::is_class_v<T>>> {
  static constexpr int slots = 1;
  using Hold = T*;
  static T* get(HSQUIRRELVM v, SQInteger idx) {
    if (sq_gettype(v, idx) == OT_NULL)
      return nullptr;
    return getInst<T>(v, idx);
  }
  static T* pass(Hold h) { return h; }
};
// A bound native class by reference: the instance must exist.
template <class T>
struct Arg<T&, std::enable_if_t<std::is_class_v<T>>> {
  static constexpr int slots = 1;
  using Hold = T*;
  static T* get(HSQUIRRELVM v, SQInteger idx) { return getInst<T>(v, idx); }
  static T& pass(Hold h) { return *h; }
};
template <class T>
struct Arg<const T&, std::enable_if_t<std::is_class_v<T> && !std::is_same_v<T, SqObject>>> : Arg<T&> {
  static const T& pass(T* h) { return *h; }
};

// Single-slot readers used by native code that reads results.
template <class T>
inline auto get(HSQUIRRELVM v, SQInteger idx) {
  return Arg<T>::get(v, idx);
}
// Reads the value at idx, then pops two slots (the value and the container that
// sq_get read it from).
int get_and_pop_int(HSQUIRRELVM v, SQInteger idx);
float get_and_pop_float(HSQUIRRELVM v, SQInteger idx);
SqObject get_and_pop_object(HSQUIRRELVM v, SQInteger idx);
void pop_value_and_container(HSQUIRRELVM v);
// container[key] as a float; a missing key throws the VM's last error.
float get_float_at(HSQUIRRELVM v, const HSQOBJECT& container, SQInteger key);

// ---- pushing results -------------------------------------------------------------------
inline void push(HSQUIRRELVM v, int i) { sq_pushinteger(v, i); }
inline void push(HSQUIRRELVM v, SQInteger i) { sq_pushinteger(v, i); }
inline void push(HSQUIRRELVM v, float f) { sq_pushfloat(v, f); }
inline void push(HSQUIRRELVM v, bool b) { sq_pushbool(v, b ? SQTrue : SQFalse); }
inline void push(HSQUIRRELVM v, const char* s) { sq_pushstring(v, s, -1); }
inline void push(HSQUIRRELVM v, const SqObject& o) { o.push(v); }
// SqVec4f pointers (the script takes ownership) and four-float values, each as a
// "vec4f" instance: defined with the vector bindings.
void push(HSQUIRRELVM v, SqVec4f* vec);
void push(HSQUIRRELVM v, vec4float value);

// ---- dispatch ----------------------------------------------------------------------------
namespace detail {

template <class T>
using Bare = std::remove_cv_t<std::remove_reference_t<T>>;
template <class T>
using ArgOf = Arg<std::conditional_t<std::is_same_v<Bare<T>, SqObject>, SqObject, T>>;

// Slot of each argument: the script's arguments start at slot 2; the VM takes none.
template <class... A>
constexpr auto arg_slots() {
  std::array<SQInteger, sizeof...(A) + 1> s{};
  [[maybe_unused]] SQInteger next = 2;
  [[maybe_unused]] int i = 0;
  ((s[i++] = next, next += ArgOf<A>::slots), ...);
  return s;
}

// Reads every argument, the last one first, then calls f with them.
template <class... A, class F, size_t... I>
decltype(auto) read_and_call(HSQUIRRELVM v, F&& f, std::index_sequence<I...>) {
  constexpr size_t N = sizeof...(A);
  constexpr auto slots = arg_slots<A...>();
  using Tuple = std::tuple<typename ArgOf<A>::Hold...>;
  Tuple held{};
  if constexpr (N > 0) {
    ((std::get<N - 1 - I>(held) =
          ArgOf<std::tuple_element_t<N - 1 - I, std::tuple<A...>>>::get(v, slots[N - 1 - I])),
     ...);
  }
  return f(ArgOf<A>::pass(std::get<I>(held))...);
}

// Pushes a result; 1 when something was pushed.
template <class R>
SQInteger push_result(HSQUIRRELVM v, R&& r) {
  push(v, std::forward<R>(r));
  return 1;
}

// Reads the arguments, calls `call` with them and pushes its result; the number of
// values pushed.
template <class R, class... A, class F>
SQInteger call_and_push(HSQUIRRELVM v, F&& call) {
  if constexpr (std::is_void_v<R>) {
    read_and_call<A...>(v, call, std::index_sequence_for<A...>{});
    return 0;
  } else {
    return push_result(v, read_and_call<A...>(v, call, std::index_sequence_for<A...>{}));
  }
}

template <class R, class... A>
SQInteger call_native(HSQUIRRELVM v, R (*fn)(A...)) {
  return call_and_push<R, A...>(v, [fn](auto&&... args) -> R {
    return fn(std::forward<decltype(args)>(args)...);
  });
}

// Free function: the function's address is the closure's free variable.
// The running native closure's free variable (null when it has none). Afterwards the
// stack holds 'this' and the script's arguments only.
HSQOBJECT take_free_variable(HSQUIRRELVM v);
// The user pointer, or the user data block, that the free variable holds (else null).
void* free_variable_pointer(HSQUIRRELVM v, const HSQOBJECT& fv);

template <class R, class... A>
SQInteger function_dispatch(HSQUIRRELVM v) {
  void* p = free_variable_pointer(v, take_free_variable(v));
  if (!p)
    return sq_throwerror(v, "no function stored for C++ call");
  return call_native(v, (R(*)(A...))p);
}

// Constructor: binds the native object to the instance at slot 1.
template <class T, class... A>
SQInteger ctor_dispatch(HSQUIRRELVM v) {
  void* p = free_variable_pointer(v, take_free_variable(v));
  if (!p)
    return sq_throwerror(v, "no function stored for C++ ctor call");
  call_native(v, (void (*)(A...))p);
  SQUserPointer ptr = nullptr;
  if (SQ_FAILED(sq_getinstanceup(v, 1, &ptr, ClassTag<T>::tag())))
    ptr = nullptr;
  ASSERT(ptr);
  return 0;
}

const char* demangled(const std::type_info& type, char* buffer, size_t size);
SQInteger throw_invalid_this(HSQUIRRELVM v, SQUserPointer own_tag, const std::type_info& cls,
                             const std::type_info& method);

// Member function: a user data block holding the member-function pointer.
template <class T, class M, class R, class... A>
SQInteger method_dispatch(HSQUIRRELVM v) {
  SQUserPointer self = nullptr;
  if (SQ_FAILED(sq_getinstanceup(v, 1, &self, ClassTag<T>::tag())) || !self)
    return throw_invalid_this(v, ClassTag<T>::tag(), typeid(T), typeid(M));
  void* ud = free_variable_pointer(v, take_free_variable(v));
  if (!ud)
    return sq_throwerror(v, "no method stored for C++ call");
  M method = *(M*)ud;
  T* obj = (T*)self;
  return call_and_push<R, A...>(v, [obj, method](auto&&... args) -> R {
    return (obj->*method)(std::forward<decltype(args)>(args)...);
  });
}

// Pushes a native closure of `dispatch` whose free variable is the function's address.
void push_function_closure(HSQUIRRELVM v, SQFUNCTION dispatch, void* fn);
// Pushes a native closure of `dispatch` whose free variable is a copy of `bytes`.
void push_method_closure(HSQUIRRELVM v, SQFUNCTION dispatch, const void* bytes, size_t size);

template <class T, class R, class... A>
void push_method(HSQUIRRELVM v, R (T::*m)(A...)) {
  using M = R (T::*)(A...);
  push_method_closure(v, method_dispatch<T, M, R, A...>, &m, sizeof(m));
}
template <class T, class R, class... A>
void push_method(HSQUIRRELVM v, R (T::*m)(A...) const) {
  using M = R (T::*)(A...) const;
  push_method_closure(v, method_dispatch<T, M, R, A...>, &m, sizeof(m));
}

// Pushes the name and the closure into the object at stack index `target` and
// makes the slot (static false).
void new_slot_checked(HSQUIRRELVM v, SQInteger target);

// Adds name = native closure of `dispatch` (free variable: fn) to the object on top.
inline void new_function_slot(HSQUIRRELVM v, const char* name, SQFUNCTION dispatch, void* fn) {
  sq_pushstring(v, name, -1);
  push_function_closure(v, dispatch, fn);
  sq_newslot(v, -3, SQFalse);
}

// Adds a member function of T, const or not, to the class; a failure is fatal.
template <class M>
void def_method(HSQUIRRELVM v, const SqObject& cls, M m, const char* name) {
  cls.push(v);
  sq_pushstring(v, name, -1);
  push_method(v, m);
  new_slot_checked(v, -3);
  sq_poptop(v);
}

}  // namespace detail

// ---- defining functions ------------------------------------------------------------------
// A native function in the root table.
template <class R, class... A>
void def(HSQUIRRELVM v, R (*fn)(A...), const char* name) {
  sq_pushroottable(v);
  detail::new_function_slot(v, name, detail::function_dispatch<R, A...>, (void*)fn);
  sq_poptop(v);
}
// A native function in the given table (dereferenced when it is a weak reference).
template <class R, class... A>
void def(HSQUIRRELVM v, const SqObject& table, R (*fn)(A...), const char* name) {
  table.pushDeref(v);
  detail::new_function_slot(v, name, detail::function_dispatch<R, A...>, (void*)fn);
  sq_poptop(v);
}
// A native function in the table on top of the stack, which stays there.
template <class R, class... A>
void def_on_top(HSQUIRRELVM v, R (*fn)(A...), const char* name) {
  detail::new_function_slot(v, name, detail::function_dispatch<R, A...>, (void*)fn);
}
// A member function of T in the given class.
template <class T, class R, class... A>
void def(HSQUIRRELVM v, const SqObject& cls, R (T::*m)(A...), const char* name) {
  detail::def_method(v, cls, m, name);
}
// A plain native closure (no free variable) in the given object.
void def_native(HSQUIRRELVM v, const SqObject& table, SQFUNCTION fn, const char* name);

// Defines one native class: its constructor, methods and metamethods.
template <class T>
class ClassDef {
 public:
  HSQUIRRELVM vm;
  const char* name;
  const char* baseName;
  SqObject classObject;

  ClassDef(HSQUIRRELVM v, const char* class_name, const char* base_name = nullptr)
      : vm(v), name(class_name), baseName(base_name) {
    classObject = create_class(v, class_name, base_name, ClassTag<T>::tag());
  }
  ~ClassDef() { classObject.release(vm); }
  ClassDef(const ClassDef&) = delete;
  ClassDef& operator=(const ClassDef&) = delete;

  // The constructor: a function that allocates the native object and binds it with
  // init_instance (it receives the calling VM among its arguments).
  template <class... A>
  ClassDef& def(void (*ctor)(A...)) {
    classObject.push(vm);
    detail::new_function_slot(vm, "constructor", detail::ctor_dispatch<T, A...>, (void*)ctor);
    sq_poptop(vm);
    return *this;
  }
  template <class R, class... A>
  ClassDef& def(R (T::*m)(A...), const char* member) {
    detail::def_method(vm, classObject, m, member);
    return *this;
  }
  template <class R, class... A>
  ClassDef& def(R (T::*m)(A...) const, const char* member) {
    detail::def_method(vm, classObject, m, member);
    return *this;
  }
  ClassDef& def(SQFUNCTION fn, const char* member) {
    def_native(vm, classObject, fn, member);
    return *this;
  }
};

template <class T>
SQInteger releaseInstHook(SQUserPointer p, SQInteger /*size*/) {
  if (p)
    dlfree(p);
  return 0;
}

}  // namespace sqbind

// ---- a script function bound by name ---------------------------------------------------
// `env` holds a weak reference to the object the function is called on (`this`), so
// it never keeps that object alive; `closure` holds the function strongly.
namespace sqbind::detail {
inline void push_arg(HSQUIRRELVM v, int i) { sq_pushinteger(v, i); }
inline void push_arg(HSQUIRRELVM v, float f) { sq_pushfloat(v, f); }
inline void push_arg(HSQUIRRELVM v, const char* s) { sq_pushstring(v, s, -1); }
// Pushes closure and resolved environment; throws when the environment is no weak
// reference. Returns the stack top before the call.
SQInteger prepare_call(HSQUIRRELVM v, const sqbind::SqObject& closure, const sqbind::SqObject& env);
// sq_call with the arguments pushed; throws "SqFunc<> call failed" on failure.
void finish_call(HSQUIRRELVM v, SQInteger nargs);
void bind_function(HSQUIRRELVM v, const HSQOBJECT& env_obj, const char* name, sqbind::SqObject& env,
                   sqbind::SqObject& closure);
bool function_is_null(HSQUIRRELVM v, const sqbind::SqObject& closure, const sqbind::SqObject& env);
}  // namespace sqbind::detail

template <class R>
class SqFunc {
 public:
  HSQUIRRELVM vm = nullptr;
  sqbind::SqObject env;
  sqbind::SqObject closure;

  SqFunc() = default;
  SqFunc(const SqFunc&) = delete;
  SqFunc& operator=(const SqFunc&) = delete;
  ~SqFunc() { reset(); }

  // Binds a function of the root table.
  void bind(HSQUIRRELVM v, const char* name) {
    sq_pushroottable(v);
    sqbind::SqObject root(v, -1);
    releaseHandles();
    vm = v;
    bindIn(root.obj, name);
    root.release(v);
    sq_poptop(v);
  }
  // Binds a function found in the given object (the environment).
  void bind(HSQUIRRELVM v, const HSQOBJECT& environment, const char* name) {
    releaseHandles();
    vm = v;
    bindIn(environment, name);
  }
  void setEnv(const HSQOBJECT& environment) { env.setWeakRef(vm, environment); }
  bool isNull() const { return sqbind::detail::function_is_null(vm, closure, env); }
  void reset() {
    releaseHandles();
    vm = nullptr;
  }

  // The stack is back at its height before the call on every way out: a result,
  // a failed call, an unreadable result or a native error unwinding through it.
  template <class... A>
  R operator()(A... args) {
    sqbind::StackRestore restore(vm, sqbind::detail::prepare_call(vm, closure, env));
    (sqbind::detail::push_arg(vm, args), ...);
    sqbind::detail::finish_call(vm, (SQInteger)sizeof...(A));
    if constexpr (!std::is_void_v<R>)
      return sqbind::get<R>(vm, -1);  // read before the restore pops it
  }

 private:
  void releaseHandles() {
    if (vm) {
      env.release(vm);
      closure.release(vm);
    }
    env.reset();
    closure.reset();
  }
  void bindIn(const HSQOBJECT& environment, const char* name) {
    sqbind::detail::bind_function(vm, environment, name, env, closure);
  }
};

// Logs one script value (exported for the module): a native closure, an instance
// with its user pointer and release hook, or the text of a string.
void sq_debug_object(const HSQOBJECT* o);
