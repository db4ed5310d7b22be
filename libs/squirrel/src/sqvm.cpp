// The interpreter loop, calls, errors, and the generic object operations (get, set,
// arithmetic, comparison, metamethods) the byte code and the API rely on.
#include "sqvm.h"
#include "sqopcodes.h"
#include "sqcstack.h"
#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <math.h>
#include <exception>

static const SQInteger MAX_CALL_DEPTH = 20000;
static const SQInteger MAX_NATIVE_NESTING = 180;
static const SQInteger MAX_STACK = 4 * 1024 * 1024;

// ---- construction ---------------------------------------------------------------------------
SQVM* SQVM::create(SQSharedState* ss) {
  SQVM* v = new SQVM();
  v->linkGc(ss);
  v->_sharedState = ss;
  v->growStack(256);
  return v;
}
SQVM::~SQVM() { finalize(); }
void SQVM::destroy() { this->~SQVM(); sq_vm_free(this, sizeof(SQVM)); }
void SQVM::finalize() {
  closeOuters(0);
  _calls.freeAll();
  _traps.freeAll();
  setTop(0);
  _roottable.Null(); _lasterror.Null(); _errorhandler.Null(); _suspendValue.Null();
  setDebugHooks(SQObjectPtr(), nullptr);
}
void SQVM::forEachRef(void (*fn)(SQObject&, void*), void* ctx) {
  for (SQInteger i = 0; i < _top; i++) fn(_stack[i], ctx);
  for (SQUnsignedInteger i = 0; i < _calls.size(); i++) fn(_calls[i]._closure, ctx);
  fn(_roottable, ctx); fn(_lasterror, ctx); fn(_errorhandler, ctx); fn(_debughook, ctx); fn(_suspendValue, ctx);
}

void SQVM::growStack(SQInteger needed) {
  if (needed <= _stackSize) return;
  if (needed > MAX_STACK) throw std::bad_alloc();
  SQInteger n = _stackSize ? _stackSize : 64;
  while (n < needed) n *= 2;
  _stackVec.resize((SQUnsignedInteger)n);
  _stack = &_stackVec[0];
  _stackSize = n;
}

SQWeakRef* SQVM::currentRootRef() {
  return sq_type(_roottable) == OT_TABLE ? _table(_roottable)->getWeakRef(OT_TABLE) : nullptr;
}

const SQObject& SQVM::closureRoot(const SQClosure* c) const {
  if (c->_root && sq_type(c->_root->_obj) != OT_NULL) return c->_root->_obj;
  return _roottable;
}

// ---- errors -------------------------------------------------------------------------------
void SQVM::raiseError(const SQChar* fmt, ...) {
  SQChar buf[512];
  va_list ap;
  va_start(ap, fmt);
  vsnprintf(buf, sizeof(buf), fmt, ap);
  va_end(ap);
  _lasterror = SQString::create(_sharedState, buf);
  _errorHandled = false;
}
void SQVM::raiseErrorObj(const SQObject& o) { _lasterror = o; _errorHandled = false; }
void SQVM::raiseIdxError(const SQObject& key) {
  if (sq_type(key) == OT_STRING) raiseError("the index '%.200s' does not exist", _string(key)->_val);
  else { SQObjectPtr s(printable(key)); raiseError("the index '%.200s' does not exist", _string(s)->_val); }
}

void SQVM::callErrorHandler(const SQObject& err) {
  if (_errorHandled || _inErrorHandler) return;
  _errorHandled = true;
  if (sq_type(_errorhandler) == OT_NULL) return;
  SQObjectPtr handler = _errorhandler, ret, e(err);
  SQObjectPtr saved = _lasterror;
  SQObject args[1] = {e};
  // an error inside the handler does not call the handler again
  _inErrorHandler = true;
  struct Reset { bool& f; ~Reset() { f = false; } } reset{_inErrorHandler};
  SQInteger top = _top;
  try {
    callMeta(handler, _roottable, 1, args, ret, false);
  } catch (const std::bad_alloc&) {
    setTop(top);  // a handler short of memory reports nothing more
  }
  _lasterror = saved;
  _errorHandled = true;
}

void SQVM::callDebugHook(SQInteger type, SQInteger line) {
  if (!hookActive() || _calls.empty()) return;
  const SQChar* src = "NATIVE";
  const SQChar* fname = "unknown";
  SQCallInfo& ci = _calls.back();
  if (sq_type(ci._closure) == OT_CLOSURE) {
    SQFunctionProto* p = _closure(ci._closure)->_proto;
    if (sq_type(p->_sourcename) == OT_STRING) src = _string(p->_sourcename)->_val;
    if (sq_type(p->_name) == OT_STRING) fname = _string(p->_name)->_val;
  }
  _inDebugHook = true;
  struct Reset { bool& f; ~Reset() { f = false; } } reset{_inDebugHook};
  SQObjectPtr saved = _lasterror;
  if (_nativeDebugHook) {
    _nativeDebugHook(this, type, src, line, fname);
  } else {
    SQObjectPtr hook = _debughook, ret;
    SQObjectPtr keep[4] = {SQObjectPtr(type), SQObjectPtr(_sharedState->str(src)), SQObjectPtr(line), SQObjectPtr(_sharedState->str(fname))};
    SQObject args[4] = {keep[0], keep[1], keep[2], keep[3]};
    callMeta(hook, _roottable, 4, args, ret, false);
  }
  _lasterror = saved;
}

// ---- outers -------------------------------------------------------------------------------
SQOuter* SQVM::findOuter(SQInteger slot) {
  SQOuter** pp = &_openOuters;
  while (*pp && (*pp)->_idx > slot) pp = &(*pp)->_nextOpen;
  if (*pp && (*pp)->_idx == slot) return *pp;
  SQOuter* o = new SQOuter();
  o->linkGc(_sharedState);
  o->_vm = this;
  o->_idx = slot;
  o->_nextOpen = *pp;
  *pp = o;
  return o;
}
void SQVM::closeOuters(SQInteger fromSlot) {
  while (_openOuters && _openOuters->_idx >= fromSlot) {
    SQOuter* o = _openOuters;
    _openOuters = o->_nextOpen;
    o->_value = _stack[o->_idx];
    o->_vm = nullptr;
    o->_nextOpen = nullptr;
  }
}

// ---- calls --------------------------------------------------------------------------------
bool SQVM::enterNative() {
  if (_sharedState->_nativeNesting >= MAX_NATIVE_NESTING || sq_c_stack_low()) {
    raiseError("native stack overflow");
    return false;
  }
  _nativeCalls++;
  _sharedState->_nativeNesting++;
  return true;
}

static bool check_type_mask(SQInteger mask, const SQObject& o) { return (mask & (SQInteger)sq_type(o) & _RT_MASK) != 0; }

// "integer|float": the names of the types a parameter mask accepts, one for each (a
// closure and a native closure are both "function": "function|function").
static void type_mask_names(SQInteger mask, SQChar* out, size_t size) {
  static const SQObjectType types[] = {OT_NULL, OT_INTEGER, OT_FLOAT, OT_BOOL, OT_STRING, OT_TABLE, OT_ARRAY,
    OT_USERDATA, OT_CLOSURE, OT_NATIVECLOSURE, OT_GENERATOR, OT_USERPOINTER, OT_THREAD, OT_FUNCPROTO, OT_CLASS,
    OT_INSTANCE, OT_WEAKREF, OT_OUTER};
  size_t len = 0;
  out[0] = 0;
  for (SQObjectType t : types) {
    if (!(mask & _RAW_TYPE(t)) || len + 1 >= size) continue;
    len += (size_t)snprintf(out + len, size - len, "%s%s", len ? "|" : "", sq_type_name(t));
  }
}

bool SQVM::callNative(SQNativeClosure* nc, SQInteger nargs, SQInteger base, SQObjectPtr& ret, bool& suspended) {
  SQInteger check = nc->_nparamscheck;
  if ((check > 0 && nargs != check) || (check < 0 && nargs < -check)) {
    raiseError("wrong number of parameters");
    return false;
  }
  SQInteger ntc = (SQInteger)nc->_typecheck.size();
  for (SQInteger i = 0; i < nargs && i < ntc; i++) {
    if (nc->_typecheck[i] != -1 && !check_type_mask(nc->_typecheck[i], _stack[base + i])) {
      SQChar expected[256];
      type_mask_names(nc->_typecheck[i], expected, sizeof(expected));
      raiseError("parameter %d has an invalid type '%s' ; expected: '%s'", (int)i, sq_type_name(sq_type(_stack[base + i])), expected);
      return false;
    }
  }
  // natives get some room past the script limit so that an error handler can still run
  if ((SQInteger)_calls.size() >= MAX_CALL_DEPTH + 64) { raiseError("stack overflow"); return false; }
  if (!enterNative()) return false;
  if (nc->_env) _stack[base] = nc->_env->_obj;
  new (_calls.pushRaw()) SQCallInfo(nullptr, SQObjectPtr(nc), base, base - 1);
  _calls.back()._root = true;
  SQInteger savedBase = _stackbase;
  SQInteger ncalls = (SQInteger)_calls.size();
  struct Restore {
    SQVM* v; SQInteger savedBase, ncalls, ntraps;
    ~Restore() {
      while ((SQInteger)v->_calls.size() >= ncalls) v->_calls.pop_back();
      while ((SQInteger)v->_traps.size() > ntraps) v->_traps.pop_back();
      v->_stackbase = savedBase;
      v->leaveNative();
    }
  } restore{this, savedBase, ncalls, (SQInteger)_traps.size()};
  _stackbase = base;
  // free variables of a native closure follow its arguments on the stack
  setTop(base + nargs);
  for (SQInteger i = 0; i < nc->_nouters; i++) push(nc->_outers[i]);
  SQInteger r = nc->_function(this);
  if (r == SQ_SUSPEND_FLAG || _suspendRequest) {
    _suspendRequest = false;
    suspended = true;
    // the value handed to the resumer is the top of the stack
    if (_top > base) ret = _stack[_top - 1]; else ret.Null();
    return true;
  }
  if (r < 0) {
    if (_errorHandled && sq_type(_lasterror) == OT_NULL) _lasterror = SQString::create(_sharedState, "unknown error");
    return false;
  }
  if (r > 0) {
    if (_top <= base) { raiseError("native function returned a value but left the stack empty"); return false; }
    ret = _stack[_top - 1];
  } else {
    ret.Null();
  }
  return true;
}

bool SQVM::startCall(SQInteger target, SQInteger nargs, bool& pushedFrame, bool& suspended) {
  pushedFrame = false;
  suspended = false;
  SQObjectPtr callee = _stack[target];  // a copy: the stack may move while we grow it
  SQInteger base = target + 1;
  switch (sq_type(callee)) {
    case OT_CLOSURE: {
      SQClosure* c = _closure(callee);
      SQFunctionProto* p = c->_proto;
      SQInteger np = p->_nparams;
      if (nargs != np) {
        if (nargs < np && np - nargs <= c->_ndefaults) {
          for (SQInteger i = nargs; i < np; i++) {
            if (base + i >= _stackSize) growStack(base + i + 1);
            _stack[base + i] = c->_defaults[c->_ndefaults - (np - i)];
          }
        } else if (!(p->_varparams && nargs > np)) {
          raiseError("wrong number of parameters");
          return false;
        }
      }
      if ((SQInteger)_calls.size() >= MAX_CALL_DEPTH) { raiseError("stack overflow"); return false; }
      // a bound environment replaces 'this' (null once the object is gone)
      if (c->_env) _stack[base] = c->_env->_obj;
      SQInteger ntop = base + np;
      if (p->_varparams) {
        SQInteger extra = nargs > np ? nargs - np : 0;
        SQArray* va = SQArray::create(_sharedState, extra);
        for (SQInteger i = 0; i < extra; i++) va->_values[i] = std::move(_stack[base + np + i]);
        if (base + np >= _stackSize) growStack(base + np + 1);
        _stack[base + np] = SQObjectPtr(va);
        ntop++;
        for (SQInteger i = ntop; i < base + nargs; i++) _stack[i].Null();
      }
      if (p->_generator) {
        SQGenerator* g = new SQGenerator();
        g->linkGc(_sharedState);
        g->_closure = callee;
        for (SQInteger i = base; i < ntop; i++) g->_stack.push_back(_stack[i]);
        g->_ip = &p->_code[0];
        SQObjectPtr gen(g);
        _stack[target] = gen;
        setTop(target + 1);
        return true;
      }
      if (base + p->_stacksize + 8 > _stackSize) growStack(base + p->_stacksize + 8);
      setTop(ntop);
      SQCallInfo& ci = _calls.push_back();
      ci._ip = &p->_code[0];
      ci._closure = callee;
      ci._base = base;
      ci._target = target;
      ci._ntraps = 0;
      ci._root = false;
      ci._generator = false;
      ci._gen = nullptr;
      pushedFrame = true;
      return true;
    }
    case OT_NATIVECLOSURE: {
      SQObjectPtr ret;  // callee, a copy, keeps the function alive meanwhile
      if (!callNative(_nativeclosure(callee), nargs, base, ret, suspended)) return false;
      if (suspended) { _suspendValue = ret; return true; }
      _stack[target] = std::move(ret);
      setTop(target + 1);
      return true;
    }
    case OT_CLASS: {
      SQClass* cls = _class(callee);
      SQObjectPtr inst(cls->createInstance());
      SQObjectPtr ctor = cls->_constructor;
      if (sq_type(ctor) != OT_NULL) {
        _stack[base] = inst;
        SQObjectPtr ret;
        if (!call(ctor, nargs, base, ret, true)) return false;
      }
      _stack[target] = inst;
      setTop(target + 1);
      return true;
    }
    case OT_TABLE: case OT_INSTANCE: case OT_USERDATA: {
      SQObjectPtr mm;
      if (getMetaMethod(callee, MT_CALL, mm)) {
        // _call(this, args...) with the object as environment
        SQObjectPtr self = callee;
        _stack[target] = self;
        SQObjectPtr ret;
        if (!call(mm, nargs + 1, target, ret, true)) return false;
        _stack[target] = std::move(ret);
        setTop(target + 1);
        return true;
      }
      break;
    }
    default: break;
  }
  raiseError("attempt to call '%s'", sq_type_name(sq_type(callee)));
  return false;
}

// Calls 'callee' with nargs values starting at stack[stackbase] ('this' first). The stack
// above the arguments is used for the call; on return the top is where it was.
bool SQVM::call(const SQObject& calleeRef, SQInteger nargs, SQInteger stackbase, SQObjectPtr& ret, bool raiseerror) {
  SQObjectPtr callee = calleeRef;  // may live on the stack, which can move
  SQInteger oldTop = _top;
  SQInteger target = _top;
  if (target + nargs + 1 > _stackSize) growStack(target + nargs + 1);
  _stack[target] = callee;
  for (SQInteger i = 0; i < nargs; i++) _stack[target + 1 + i] = _stack[stackbase + i];
  _top = target + 1 + nargs;
  bool pushed = false, suspended = false;
  bool ok = startCall(target, nargs, pushed, suspended);
  if (ok && pushed) {
    _calls.back()._root = true;
    if (hookActive()) callDebugHook('c', _closure(_calls.back()._closure)->_proto->_lineDefined);
    ok = execute((SQInteger)_calls.size() - 1, raiseerror);
    if (ok && _state == SQ_VMSTATE_SUSPENDED) { ret = _suspendValue; return true; }
  }
  if (ok && suspended) { ret = _suspendValue; return true; }
  if (ok) ret = _stack[target];
  setTop(oldTop);
  return ok;
}

bool SQVM::callMeta(const SQObject& fn, const SQObject& self, SQInteger nargs, const SQObject* args, SQObjectPtr& ret, bool raiseerror) {
  SQInteger base = _top;
  push(self);
  for (SQInteger i = 0; i < nargs; i++) push(args[i]);
  bool ok = call(fn, nargs + 1, base, ret, raiseerror);
  setTop(base);
  return ok;
}

// ---- generators ---------------------------------------------------------------------------
bool SQVM::resumeGenerator(SQGenerator* g, SQInteger target) {
  if (g->_state == GEN_DEAD) { raiseError("resuming dead generator"); return false; }
  if (g->_state == GEN_RUNNING) { raiseError("resuming active generator"); return false; }
  SQObjectPtr keep(g);
  SQFunctionProto* p = _closure(g->_closure)->_proto;
  SQInteger base = _top;
  SQInteger n = (SQInteger)g->_stack.size();
  // the room the frame needs, taken before anything moves out of the generator
  if (base + p->_stacksize + n + 8 > _stackSize) growStack(base + p->_stacksize + n + 8);
  _traps.reserve(_traps.size() + g->_traps.size());
  _calls.reserve(_calls.size() + 1);
  for (SQInteger i = 0; i < n; i++) _stack[base + i] = std::move(g->_stack[i]);
  g->_stack.resize(0);
  _top = base + n;
  // reopen the outers that referred to the frame
  for (SQUnsignedInteger i = 0; i < g->_outers.size(); i++) {
    SQOuter* o = g->_outers[i];
    o->_vm = this;
    o->_idx = base + o->_idx;
    _stack[o->_idx] = o->_value;
    o->_value.Null();
    SQOuter** pp = &_openOuters;
    while (*pp && (*pp)->_idx > o->_idx) pp = &(*pp)->_nextOpen;
    o->_nextOpen = *pp;
    *pp = o;
    SQObject ob; ob._type = OT_OUTER; ob._unVal.pOuter = o; release_obj(ob);
  }
  g->_outers._size = 0;
  SQInteger depth = (SQInteger)_calls.size();
  for (SQUnsignedInteger i = 0; i < g->_traps.size(); i++) {
    SQExceptionTrap t = g->_traps[i];
    t._stackTop += base;
    t._callDepth = depth;
    _traps.push_back(t);
  }
  SQCallInfo& ci = _calls.push_back();
  ci._ip = g->_ip;
  ci._closure = g->_closure;
  ci._base = base;
  ci._target = target;
  ci._ntraps = (SQInteger)g->_traps.size();
  g->_traps.resize(0);
  ci._root = true;
  ci._generator = true;
  ci._gen = g;
  g->_state = GEN_RUNNING;
  return execute((SQInteger)_calls.size() - 1, true);
}

// ---- execution ----------------------------------------------------------------------------
// Whether a call of c with nargs values ('this' included) binds its parameters.
static bool accepts_args(SQClosure* c, SQInteger nargs) {
  SQFunctionProto* p = c->_proto;
  if (p->_generator) return false;
  if (nargs == p->_nparams) return true;
  if (nargs < p->_nparams) return p->_nparams - nargs <= c->_ndefaults;
  return p->_varparams;
}

// ---- fast paths of the interpreter ----------------------------------------------------------
// Slots at and above the top of the stack hold no counted reference (a pop clears them or
// leaves a number), so a push writes there without releasing anything.
static inline void push_onto(SQObjectPtr* slot, const SQObject& o) {
  slot->_type = o._type;
  slot->_unVal = o._unVal;
  addref_obj(*slot);
}
// Where a slot read finds its value without delegates or metamethods: a table's own slot,
// an instance's field or its class's method or static. Null when the generic path must run.
static inline __attribute__((always_inline)) const SQObject* fast_get(const SQObject& self, const SQObject& key) {
  if (sq_type(self) == OT_TABLE) {
    SQTableNode* n = _table(self)->findNode(key);
    return n ? &n->val : nullptr;
  }
  if (sq_type(self) == OT_INSTANCE) {
    SQInstance* inst = _instance(self);
    SQTableNode* n = inst->_class->_members->findNode(key);
    if (!n) return nullptr;
    return member_kind(n->val) == MEMBER_FIELD ? &inst->_values[member_index(n->val)] : &inst->_class->_methods[member_index(n->val)].val;
  }
  return nullptr;
}
// obj[key] for an array and an integer in range, or a table's own slot.
static inline __attribute__((always_inline)) const SQObject* fast_index(const SQObject& self, const SQObject& key) {
  if (sq_type(self) == OT_ARRAY) {
    SQArray* a = _array(self);
    if (sq_type(key) == OT_INTEGER && (SQUnsignedInteger)_integer(key) < a->_values.size()) return &a->_values[_integer(key)];
    return nullptr;
  }
  return fast_get(self, key);
}
// The slot an assignment obj.key = v writes without the generic path: an existing slot of a
// table, or a field of an instance.
static inline __attribute__((always_inline)) SQObjectPtr* fast_set_slot(const SQObject& self, const SQObject& key) {
  if (sq_type(self) == OT_TABLE) {
    SQTableNode* n = _table(self)->findNode(key);
    return n ? &n->val : nullptr;
  }
  if (sq_type(self) == OT_INSTANCE) {
    SQInstance* inst = _instance(self);
    SQTableNode* n = inst->_class->_members->findNode(key);
    if (n && member_kind(n->val) == MEMBER_FIELD) return &inst->_values[member_index(n->val)];
  }
  return nullptr;
}

// The slot obj[key] = v writes without the generic path: an array element in range, or an
// existing slot of a table.
static inline SQObjectPtr* fast_set_index(const SQObject& self, const SQObject& key) {
  if (sq_type(self) == OT_ARRAY) {
    SQArray* a = _array(self);
    if (sq_type(key) == OT_INTEGER && (SQUnsignedInteger)_integer(key) < a->_values.size()) return &a->_values[_integer(key)];
    return nullptr;
  }
  if (sq_type(self) == OT_TABLE) {
    SQTableNode* n = _table(self)->findNode(key);
    return n ? &n->val : nullptr;
  }
  return nullptr;
}

// Arithmetic on two numbers, the op counted from OP_ADD: the result replaces a (a number,
// so nothing is released). False for what needs the generic path: other types, integer
// division by 0 or -1, bitwise ops on floats.
static inline __attribute__((always_inline)) bool numeric_arith(SQInteger op, SQObject& a, const SQObject& b) {
  if (sq_type(a) == OT_INTEGER && sq_type(b) == OT_INTEGER) {
    SQInteger x = _integer(a), y = _integer(b);
    SQUnsignedInteger ux = (SQUnsignedInteger)x, uy = (SQUnsignedInteger)y;
    switch (op) {
      case OP_ADD - OP_ADD: _integer(a) = (SQInteger)(ux + uy); return true;
      case OP_SUB - OP_ADD: _integer(a) = (SQInteger)(ux - uy); return true;
      case OP_MUL - OP_ADD: _integer(a) = (SQInteger)(ux * uy); return true;
      case OP_DIV - OP_ADD: if (y == 0 || y == -1) return false; _integer(a) = x / y; return true;
      case OP_MOD - OP_ADD: if (y == 0 || y == -1) return false; _integer(a) = x % y; return true;
      case OP_BAND - OP_ADD: _integer(a) = x & y; return true;
      case OP_BOR - OP_ADD: _integer(a) = x | y; return true;
      case OP_BXOR - OP_ADD: _integer(a) = x ^ y; return true;
      case OP_SHL - OP_ADD: _integer(a) = (SQInteger)(ux << (y & 63)); return true;
      case OP_SHR - OP_ADD: _integer(a) = x >> (y & 63); return true;
      case OP_USHR - OP_ADD: _integer(a) = (SQInteger)(ux >> (y & 63)); return true;
    }
    return false;
  }
  if (!(sq_type(a) & sq_type(b) & SQOBJECT_NUMERIC)) return false;
  SQFloat x = tofloat(a), y = tofloat(b), r;
  switch (op) {
    case OP_ADD - OP_ADD: r = x + y; break;
    case OP_SUB - OP_ADD: r = x - y; break;
    case OP_MUL - OP_ADD: r = x * y; break;
    case OP_DIV - OP_ADD: r = x / y; break;
    case OP_MOD - OP_ADD: r = fmodf(x, y); break;
    default: return false;
  }
  a._type = OT_FLOAT;
  a._unVal.raw = sq_float_word(r);
  return true;
}
// The generic arithmetic's name for an op counted from OP_ADD.
static const int g_arithChars[] = {'+', '-', '*', '/', '%', '&', '|', '^', 'L', 'R', 'U'};

static inline SQObject int_object(SQInteger k) {
  SQObject o;
  o._type = OT_INTEGER;
  o._unVal.raw = 0;
  o._unVal.nInteger = k;
  return o;
}

// Whether a comparison kind (counted from OP_EQ) holds for two integers.
static inline bool int_compare_holds(SQInteger kind, SQInteger x, SQInteger y) {
  switch (kind) {
    case OP_EQ - OP_EQ: return x == y;
    case OP_NE - OP_EQ: return x != y;
    case OP_LT - OP_EQ: return x < y;
    case OP_LE - OP_EQ: return x <= y;
    case OP_GT - OP_EQ: return x > y;
    default: return x >= y;
  }
}

bool SQVM::compareHolds(SQInteger kind, const SQObject& a, const SQObject& b, bool& res) {
  if (kind == OP_EQ - OP_EQ || kind == OP_NE - OP_EQ) {
    res = isEqual(a, b) == (kind == OP_EQ - OP_EQ);
    return true;
  }
  SQInteger c;
  if (!compare(a, b, c)) return false;
  switch (kind) {
    case OP_LT - OP_EQ: res = c < 0; break;
    case OP_LE - OP_EQ: res = c <= 0; break;
    case OP_GT - OP_EQ: res = c > 0; break;
    default: res = c >= 0; break;
  }
  return true;
}

bool SQVM::execute(SQInteger entryFrame, bool raiseerror) {
  if (!enterNative()) {
    // drop the frame that was pushed for us
    while ((SQInteger)_calls.size() > entryFrame) {
      SQCallInfo& c = _calls.back();
      closeOuters(c._base);
      setTop(c._target + 1);
      _calls.pop_back();
    }
    return false;
  }
  // A C++ exception thrown by a native function unwinds through here: drop our frames and
  // restore the stack so that the VM stays usable.
  struct Guard {
    SQVM* v; SQInteger entry; int uncaught;
    ~Guard() {
      v->leaveNative();
      if (std::uncaught_exceptions() > uncaught) {
        while ((SQInteger)v->_calls.size() > entry) {
          SQCallInfo& c = v->_calls.back();
          while (c._ntraps-- > 0) v->_traps.pop_back();
          v->closeOuters(c._base);
          SQInteger t = c._target;
          if (c._generator && c._gen) c._gen->_state = GEN_DEAD;
          v->_calls.pop_back();
          v->setTop(t);
        }
      }
    }
  } guard{this, entryFrame, std::uncaught_exceptions()};
  // An allocation that fails inside the loop raises "out of memory" where the instruction
  // ran, as any script error: a try there catches it. Whatever may allocate records the
  // frame's position (SYNC) first, so the error path finds the stack and the frame in
  // order; the stack's slots above _top hold no references. (The handler lives out here:
  // inside the loop's function it would slow every instruction down.)
  bool outOfMemory = false;
  for (;;) {
    try {
      return run(entryFrame, raiseerror, outOfMemory);
    } catch (const std::bad_alloc&) {
      raiseErrorObj(_sharedState->_outOfMemory);
      outOfMemory = true;
    }
  }
}

bool SQVM::run(SQInteger entryFrame, bool raiseerror, bool startInError) {
  // the execution budget is set before scripts run (sq_setopslimit), never by them
  const bool limitOps = _sharedState->_limitOps;
  SQCallInfo* ci;
  SQObjectPtr* stk;
  SQObjectPtr* sp;
  SQUnsignedInteger32* ip;
  SQObjectPtr* lits;
  SQClosure* clo;

#define LOADFRAME()                                   \
  ci = &_calls.back();                                \
  clo = _closure(ci->_closure);                       \
  lits = clo->_proto->_literals._vals;                \
  ip = ci->_ip;                                       \
  stk = _stack + ci->_base;                           \
  sp = _stack + _top;
#define SYNC() (ci->_ip = ip, _top = sp - _stack)
#define RELOAD() (ci = &_calls.back(), stk = _stack + ci->_base, sp = _stack + _top)

  // Threaded dispatch: each handler ends in its own indirect jump (GCC duplicates the
  // computed goto below into the handlers), which predicts far better than one switch.
  // Only our compiler makes byte code, so every opcode is below OP_LAST.
  static void* const dispatch[OP_LAST] = {
#define SQ_OPCODE_LABEL(name) &&L_OP_##name,
    SQ_OPCODES(SQ_OPCODE_LABEL)
#undef SQ_OPCODE_LABEL
  };
  SQUnsignedInteger32 w;
  if (startInError) goto error;
  LOADFRAME();
  for (;;) {
    w = *ip++;
    switch (SQ_OP(w)) {
      case OP_PUSHNULL: L_OP_PUSHNULL: (sp++)->Null(); break;
      case OP_PUSHTRUE: L_OP_PUSHTRUE: *sp++ = SQObjectPtr(true); break;
      case OP_PUSHFALSE: L_OP_PUSHFALSE: *sp++ = SQObjectPtr(false); break;
      case OP_PUSHINT: L_OP_PUSHINT: (sp++)->setInt(SQ_ARG(w)); break;
      case OP_PUSHK: L_OP_PUSHK: push_onto(sp++, lits[SQ_ARG(w)]); break;
      case OP_LOADL: L_OP_LOADL: push_onto(sp++, stk[SQ_ARG(w)]); break;
      case OP_LOADL2: L_OP_LOADL2: { SQInteger a = SQ_ARG(w); push_onto(sp, stk[a & 0xFFF]); push_onto(sp + 1, stk[a >> 12]); sp += 2; break; }
      case OP_STOREL: L_OP_STOREL: stk[SQ_ARG(w)] = sp[-1]; break;
      case OP_SETL: L_OP_SETL: stk[SQ_ARG(w)] = std::move(*--sp); break;
      case OP_LOADO: L_OP_LOADO: *sp++ = clo->_outers[SQ_ARG(w)]->ref(); break;
      case OP_STOREO: L_OP_STOREO: clo->_outers[SQ_ARG(w)]->ref() = sp[-1]; break;
      case OP_POP: L_OP_POP: (--sp)->Null(); break;
      case OP_DUP: L_OP_DUP: *sp = sp[-1]; sp++; break;
      case OP_DUP2: L_OP_DUP2: sp[0] = sp[-2]; sp[1] = sp[-1]; sp += 2; break;
      case OP_POPTO: L_OP_POPTO: {
        SQInteger t = ci->_base + SQ_ARG(w);
        if (_openOuters && _openOuters->_idx >= t) closeOuters(t);
        SQObjectPtr* nt = _stack + t;
        while (sp > nt) (--sp)->Null();
        break;
      }
      case OP_GETLK: L_OP_GETLK: {
        const SQObjectPtr& self = stk[SQ_ARG(w)];
        const SQObjectPtr& key = lits[(SQInt32)*ip++];
        if (const SQObject* v = fast_get(self, key)) { push_onto(sp++, sq_slot_value(*v)); break; }
        SQObjectPtr res, s2 = self;
        SYNC();
        if (!get(s2, key, res, false, true)) goto error;
        RELOAD();
        *sp++ = std::move(res);
        break;
      }
      case OP_GETK: L_OP_GETK: {
        SQObjectPtr& self = sp[-1];
        const SQObjectPtr& key = lits[SQ_ARG(w)];
        if (const SQObject* v = fast_get(self, key)) { self = sq_slot_value(*v); break; }
        SQObjectPtr res, s2 = self;
        SYNC();
        if (!get(s2, key, res, false, true)) goto error;
        RELOAD();
        sp[-1] = std::move(res);
        break;
      }
      case OP_GET: L_OP_GET: {
        SQObjectPtr& self = sp[-2];
        SQObjectPtr& key = sp[-1];
        if (const SQObject* v = fast_index(self, key)) { self = sq_slot_value(*v); (--sp)->Null(); break; }
        SQObjectPtr res, s2 = self, k2 = key;
        SYNC();
        if (!get(s2, k2, res, false, true)) goto error;
        RELOAD();
        sp[-2] = std::move(res);
        (--sp)->Null();
        break;
      }
      case OP_GETLL: L_OP_GETLL: {
        SQInteger a = SQ_ARG(w);
        const SQObjectPtr& self = stk[a & 0xFFF];
        const SQObjectPtr& key = stk[a >> 12];
        if (const SQObject* v = fast_index(self, key)) { push_onto(sp++, sq_slot_value(*v)); break; }
        SQObjectPtr res, s2 = self, k2 = key;
        SYNC();
        if (!get(s2, k2, res, false, true)) goto error;
        RELOAD();
        *sp++ = std::move(res);
        break;
      }
      case OP_SET: L_OP_SET: {
        // [obj key value] -> [value], or nothing with SQ_ARG 1
        SQObjectPtr& self = sp[-3];
        SQObjectPtr& key = sp[-2];
        if (SQObjectPtr* slot = fast_set_index(self, key)) *slot = sp[-1];
        else {
          SYNC();
          { SQObjectPtr s2 = self, k2 = key, v2 = sp[-1]; if (!set(s2, k2, v2, false)) goto error; }
          RELOAD();
        }
        if (SQ_ARG(w)) { (--sp)->Null(); (--sp)->Null(); (--sp)->Null(); break; }
        sp[-3] = std::move(sp[-1]);
        (--sp)->Null();
        (--sp)->Null();
        break;
      }
      case OP_SETLL: L_OP_SETLL: {
        // [value] -> [value], or nothing with SQ_ARG 1
        SQInteger locals = *ip++;
        const SQObjectPtr& self = stk[locals & 0xFFF];
        const SQObjectPtr& key = stk[locals >> 12];
        if (SQObjectPtr* slot = fast_set_index(self, key)) *slot = sp[-1];
        else {
          SYNC();
          { SQObjectPtr s2 = self, k2 = key, v2 = sp[-1]; if (!set(s2, k2, v2, false)) goto error; }
          RELOAD();
        }
        if (SQ_ARG(w)) (--sp)->Null();
        break;
      }
      case OP_SETLK: L_OP_SETLK: {
        // [value] -> [value], or nothing with SQ_DROP_VALUE
        const SQObjectPtr& self = stk[SQ_ARG(w)];
        SQInteger k = (SQInt32)*ip++;
        const SQObjectPtr& key = lits[k & ~SQ_DROP_VALUE];
        if (SQObjectPtr* slot = fast_set_slot(self, key)) *slot = sp[-1];
        else {
          SYNC();
          { SQObjectPtr s2 = self, v2 = sp[-1]; if (!set(s2, key, v2, false)) goto error; }
          RELOAD();
        }
        if (k & SQ_DROP_VALUE) (--sp)->Null();
        break;
      }
      case OP_SETK: L_OP_SETK: {
        // [obj value] -> [value], or nothing with SQ_DROP_VALUE
        SQObjectPtr& self = sp[-2];
        const SQObjectPtr& key = lits[SQ_ARG(w) & ~SQ_DROP_VALUE];
        if (SQObjectPtr* slot = fast_set_slot(self, key)) *slot = sp[-1];
        else {
          SYNC();
          { SQObjectPtr s2 = self, v2 = sp[-1]; if (!set(s2, key, v2, false)) goto error; }
          RELOAD();
        }
        if (SQ_ARG(w) & SQ_DROP_VALUE) { (--sp)->Null(); (--sp)->Null(); break; }
        sp[-2] = std::move(sp[-1]);
        (--sp)->Null();
        break;
      }
      case OP_NEWSLOT: L_OP_NEWSLOT: {
        SYNC();
        { SQObjectPtr a3 = sp[-3], a2 = sp[-2], a1 = sp[-1]; if (!newSlot(a3, a2, a1, false, false)) goto error; }
        RELOAD();
        sp[-3] = std::move(sp[-1]);
        (--sp)->Null();
        (--sp)->Null();
        break;
      }
      case OP_DELETE: L_OP_DELETE: {
        SQObjectPtr res;
        SYNC();
        { SQObjectPtr a2 = sp[-2], a1 = sp[-1]; if (!deleteSlot(a2, a1, res, false)) goto error; }
        RELOAD();
        sp[-2] = std::move(res);
        (--sp)->Null();
        break;
      }
      // a name that is no local: a slot of 'this', else of the root table; a call of it
      // passes 'this' on
      case OP_PREPCALLG: L_OP_PREPCALLG:
        if (const SQObject* v = fast_get(stk[0], lits[SQ_ARG(w)])) {
          push_onto(sp, sq_slot_value(*v));
          push_onto(sp + 1, stk[0]);
          sp += 2;
          break;
        }
        goto getg_generic;
      case OP_GETG: L_OP_GETG:
        if (const SQObject* v = fast_get(stk[0], lits[SQ_ARG(w)])) { push_onto(sp++, sq_slot_value(*v)); break; }
      getg_generic: {
        SQObjectPtr res;
        SYNC();
        { SQObjectPtr self2 = stk[0], root = closureRoot(clo); if (!getGlobal(self2, root, lits[SQ_ARG(w)], res)) goto error; }
        RELOAD();
        *sp++ = std::move(res);
        if (SQ_OP(w) == OP_PREPCALLG) push_onto(sp++, stk[0]);
        break;
      }
      case OP_SETG: L_OP_SETG: {
        // [value] -> [value], or nothing with SQ_DROP_VALUE
        const SQObjectPtr& key = lits[SQ_ARG(w) & ~SQ_DROP_VALUE];
        if (SQObjectPtr* slot = fast_set_slot(stk[0], key)) *slot = sp[-1];
        else {
          SYNC();
          { SQObjectPtr self2 = stk[0], v2 = sp[-1], root = closureRoot(clo); if (!setGlobal(self2, root, key, v2)) goto error; }
          RELOAD();
        }
        if (SQ_ARG(w) & SQ_DROP_VALUE) (--sp)->Null();
        break;
      }
      case OP_PUSHROOT: L_OP_PUSHROOT: {
        *sp++ = closureRoot(clo);
        break;
      }
      case OP_PUSHBASE: L_OP_PUSHBASE: {
        if (clo->_base) *sp++ = SQObjectPtr(clo->_base); else (sp++)->Null();
        break;
      }
#define ARITH_HANDLER(OPNAME)                                                      \
      case OP_##OPNAME: L_OP_##OPNAME:                                               \
        if (numeric_arith(OP_##OPNAME - OP_ADD, sp[-2], sp[-1])) {                   \
          sq_type(*--sp) = OT_NULL; /* a number: nothing to release */               \
          break;                                                                     \
        }                                                                            \
        goto arith_generic;
      ARITH_HANDLER(ADD)
      ARITH_HANDLER(SUB)
      ARITH_HANDLER(MUL)
      ARITH_HANDLER(DIV)
#undef ARITH_HANDLER
      case OP_MOD: L_OP_MOD: case OP_BAND: L_OP_BAND: case OP_BOR: L_OP_BOR: case OP_BXOR: L_OP_BXOR:
      case OP_SHL: L_OP_SHL: case OP_SHR: L_OP_SHR: case OP_USHR: L_OP_USHR:
        if (numeric_arith(SQ_OP(w) - OP_ADD, sp[-2], sp[-1])) { sq_type(*--sp) = OT_NULL; break; }
      arith_generic: {
        SQObjectPtr res;
        SYNC();
        { SQObjectPtr a2 = sp[-2], a1 = sp[-1]; if (!arith(g_arithChars[SQ_OP(w) - OP_ADD], a2, a1, res)) goto error; }
        RELOAD();
        sp[-2] = std::move(res);
        (--sp)->Null();
        break;
      }
      // Fused arithmetic: an opcode for each of + - * / (the op a constant, so the number
      // path is straight code) and a generic one; all keep the op in their argument too, for
      // the generic path that metamethods, strings and errors take.
#define FUSED_CASES(FORM, GENERIC_OP, FAST)                              \
      case OP_##FORM##_ADD: L_OP_##FORM##_ADD: FAST(OP_ADD - OP_ADD)     \
      case OP_##FORM##_SUB: L_OP_##FORM##_SUB: FAST(OP_SUB - OP_ADD)     \
      case OP_##FORM##_MUL: L_OP_##FORM##_MUL: FAST(OP_MUL - OP_ADD)     \
      case OP_##FORM##_DIV: L_OP_##FORM##_DIV: FAST(OP_DIV - OP_ADD)     \
      case OP_##FORM: L_OP_##FORM: FAST(GENERIC_OP)
      // a number local goes onto the free slot above the top (no reference there) as is
#define PUSH_LOCAL_ARITH(OP, X, Y)                                       \
      if (sq_isnumeric(X)) {                                             \
        sp->_type = (X)._type;                                           \
        sp->_unVal = (X)._unVal;                                         \
        if (numeric_arith(OP, *sp, Y)) { ip++; sp++; break; }           \
        sq_type(*sp) = OT_NULL;                                          \
      }

      // top op constant
#define BINK_FAST(OP) if (numeric_arith(OP, sp[-1], lits[*ip])) { ip++; break; } goto bink_generic;
      FUSED_CASES(BINK, SQ_ARG(w), BINK_FAST)
      bink_generic: {
        SQObjectPtr res, a2 = sp[-1], k = lits[*ip++];
        SYNC();
        if (!arith(g_arithChars[SQ_ARG(w)], a2, k, res)) goto error;
        RELOAD();
        sp[-1] = std::move(res);
        break;
      }
      // top op local
#define BINL_FAST(OP) if (numeric_arith(OP, sp[-1], stk[SQ_ARG(w) & 0xFFF])) break; goto binl_generic;
      FUSED_CASES(BINL, SQ_ARG(w) >> 12, BINL_FAST)
      binl_generic: {
        SQObjectPtr res, a2 = sp[-1], y2 = stk[SQ_ARG(w) & 0xFFF];
        SYNC();
        if (!arith(g_arithChars[SQ_ARG(w) >> 12], a2, y2, res)) goto error;
        RELOAD();
        sp[-1] = std::move(res);
        break;
      }
      // pushes local op constant
#define LBINK_FAST(OP) PUSH_LOCAL_ARITH(OP, stk[SQ_ARG(w) & 0xFFF], lits[*ip]) goto lbink_generic;
      FUSED_CASES(LBINK, SQ_ARG(w) >> 12, LBINK_FAST)
      lbink_generic: {
        SQObjectPtr res, x2 = stk[SQ_ARG(w) & 0xFFF], y2 = lits[*ip++];
        SYNC();
        if (!arith(g_arithChars[SQ_ARG(w) >> 12], x2, y2, res)) goto error;
        RELOAD();
        *sp++ = std::move(res);
        break;
      }
      // pushes local op local
#define LBINL_FAST(OP) PUSH_LOCAL_ARITH(OP, stk[*ip & 0xFFF], stk[*ip >> 12]) goto lbinl_generic;
      FUSED_CASES(LBINL, SQ_ARG(w), LBINL_FAST)
      lbinl_generic: {
        SQInteger locals = *ip++;
        SQObjectPtr res, x2 = stk[locals & 0xFFF], y2 = stk[locals >> 12];
        SYNC();
        if (!arith(g_arithChars[SQ_ARG(w)], x2, y2, res)) goto error;
        RELOAD();
        *sp++ = std::move(res);
        break;
      }
      // local op= top
#define COMPOUNDL_FAST(OP)                                               \
      if (numeric_arith(OP, stk[SQ_ARG(w) & 0xFFF], sp[-1])) {          \
        if (SQ_ARG(w) & COMPOUND_DROP) sq_type(*--sp) = OT_NULL;         \
        else sp[-1] = stk[SQ_ARG(w) & 0xFFF];                            \
        break;                                                           \
      }                                                                  \
      goto compoundl_generic;
      FUSED_CASES(COMPOUNDL, (SQ_ARG(w) >> 12) & 15, COMPOUNDL_FAST)
      compoundl_generic: {
        SQInteger a = SQ_ARG(w);
        SQObjectPtr res;
        SYNC();
        { SQObjectPtr x2 = stk[a & 0xFFF], b2 = sp[-1]; if (!arith(g_arithChars[(a >> 12) & 15], x2, b2, res)) goto error; }
        RELOAD();
        stk[a & 0xFFF] = res;
        if (a & COMPOUND_DROP) (--sp)->Null();
        else sp[-1] = std::move(res);
        break;
      }
#undef FUSED_CASES
#undef PUSH_LOCAL_ARITH
#undef BINK_FAST
#undef BINL_FAST
#undef LBINK_FAST
#undef LBINL_FAST
#undef COMPOUNDL_FAST
      case OP_CONCATN: L_OP_CONCATN: {
        SQInteger n = SQ_ARG(w);
        SQObjectPtr res;
        SYNC();
        if (!concatValues(_top - n, n, res)) goto error;
        RELOAD();
        for (SQInteger i = 1; i < n; i++) (--sp)->Null();
        sp[-1] = std::move(res);
        break;
      }
      case OP_NEG: L_OP_NEG: {
        SQObjectPtr res;
        SYNC();
        { SQObjectPtr a1 = sp[-1]; if (!unaryMinus(a1, res)) goto error; }
        RELOAD();
        sp[-1] = std::move(res);
        break;
      }
      case OP_NOT: L_OP_NOT: sp[-1].setBool(sq_isfalse(sp[-1])); break;
      case OP_BNOT: L_OP_BNOT: {
        if (sq_type(sp[-1]) != OT_INTEGER) { SYNC(); raiseError("attempt to perform a bitwise op on a %s", sq_type_name(sq_type(sp[-1]))); goto error; }
        _integer(sp[-1]) = ~_integer(sp[-1]);
        break;
      }
      case OP_EQ: L_OP_EQ: case OP_NE: L_OP_NE: {
        bool eq = isEqual(sp[-2], sp[-1]);
        sp[-2].setBool(SQ_OP(w) == OP_EQ ? eq : !eq);
        (--sp)->Null();
        break;
      }
      case OP_LT: L_OP_LT: case OP_LE: L_OP_LE: case OP_GT: L_OP_GT: case OP_GE: L_OP_GE: {
        bool r;
        if (sq_type(sp[-2]) == OT_INTEGER && sq_type(sp[-1]) == OT_INTEGER) r = int_compare_holds(SQ_OP(w) - OP_EQ, _integer(sp[-2]), _integer(sp[-1]));
        else {
          SQObjectPtr a2 = sp[-2], b2 = sp[-1];
          SYNC();
          if (!compareHolds(SQ_OP(w) - OP_EQ, a2, b2, r)) goto error;
          RELOAD();
        }
        sp[-2].setBool(r);
        (--sp)->Null();
        break;
      }
      case OP_CMP3: L_OP_CMP3: {
        SQInteger c;
        SQObjectPtr a2 = sp[-2], b2 = sp[-1];
        SYNC();
        if (!compare(a2, b2, c)) goto error;
        RELOAD();
        sp[-2].setInt(c);
        (--sp)->Null();
        break;
      }
      case OP_JCMP: L_OP_JCMP: {
        SQInteger kind = SQ_ARG(w);
        SQInt32 off = (SQInt32)*ip++;
        bool r;
        if (sq_type(sp[-2]) == OT_INTEGER && sq_type(sp[-1]) == OT_INTEGER) {
          r = int_compare_holds(kind & 7, _integer(sp[-2]), _integer(sp[-1]));
          sp -= 2;
        } else {
          SQObjectPtr a2 = std::move(sp[-2]), b2 = std::move(sp[-1]);
          sp -= 2;
          SYNC();
          if (!compareHolds(kind & 7, a2, b2, r)) goto error;
          RELOAD();
        }
        if (r == ((kind & JUMP_IF_TRUE) != 0)) {
          if (off < 0 && limitOps && --_sharedState->_opsLeft < 0) { SYNC(); raiseError("execution budget exhausted"); goto error; }
          ip += off;
        }
        break;
      }
      case OP_FORLOOPK: L_OP_FORLOOPK: {
        SQObjectPtr& x = stk[SQ_ARG(w) & 0xFFF];
        SQInteger step = (SQInt32)*ip++;
        if (sq_type(x) == OT_INTEGER) {
          _integer(x) = (SQInteger)((SQUnsignedInteger)_integer(x) + (SQUnsignedInteger)step);
          SQInteger k = (SQInt32)ip[0];
          SQInt32 off = (SQInt32)ip[1];
          ip += 2;
          if (!int_compare_holds((SQ_ARG(w) >> 12) & 7, _integer(x), k)) break;
          if (limitOps && --_sharedState->_opsLeft < 0) { SYNC(); raiseError("execution budget exhausted"); goto error; }
          ip += off;
          break;
        }
        SQObjectPtr res, old = x;
        SYNC();
        if (!arith('+', old, int_object(step), res)) goto error;
        RELOAD();
        stk[SQ_ARG(w) & 0xFFF] = res;
        goto L_OP_JCMPLK;  // the test, on the same words
      }
      case OP_JCMPLK: L_OP_JCMPLK: {
        SQInteger a = SQ_ARG(w), kind = a >> 12;
        const SQObjectPtr& x = stk[a & 0xFFF];
        SQInteger k = (SQInt32)ip[0];
        SQInt32 off = (SQInt32)ip[1];
        ip += 2;
        bool r;
        if (sq_type(x) == OT_INTEGER) r = int_compare_holds(kind & 7, _integer(x), k);
        else {
          SQObjectPtr x2 = x;
          SYNC();
          if (!compareHolds(kind & 7, x2, int_object(k), r)) goto error;
          RELOAD();
        }
        if (r == ((kind & JUMP_IF_TRUE) != 0)) {
          if (off < 0 && limitOps && --_sharedState->_opsLeft < 0) { SYNC(); raiseError("execution budget exhausted"); goto error; }
          ip += off;
        }
        break;
      }
      case OP_IN: L_OP_IN: {
        bool r;
        SYNC();
        { SQObjectPtr a1 = sp[-1], a2 = sp[-2]; if (!exists(a1, a2, r)) goto error; }
        RELOAD();
        sp[-2].setBool(r);
        (--sp)->Null();
        break;
      }
      case OP_INSTANCEOF: L_OP_INSTANCEOF: {
        if (sq_type(sp[-1]) != OT_CLASS) { SYNC(); raiseError("cannot apply instanceof between a %s and a %s", sq_type_name(sq_type(sp[-2])), sq_type_name(sq_type(sp[-1]))); goto error; }
        bool r = sq_type(sp[-2]) == OT_INSTANCE && _instance(sp[-2])->instanceOf(_class(sp[-1]));
        sp[-2].setBool(r);
        (--sp)->Null();
        break;
      }
      case OP_TYPEOF: L_OP_TYPEOF: {
        SQObjectPtr res;
        SYNC();
        { SQObjectPtr a1 = sp[-1]; if (!typeOf(a1, res)) goto error; }
        RELOAD();
        sp[-1] = std::move(res);
        break;
      }
      case OP_CLONE: L_OP_CLONE: {
        SQObjectPtr res;
        SYNC();
        { SQObjectPtr a1 = sp[-1]; if (!clone(a1, res)) goto error; }
        RELOAD();
        sp[-1] = std::move(res);
        break;
      }
      case OP_RESUME: L_OP_RESUME: {
        if (sq_type(sp[-1]) != OT_GENERATOR) { SYNC(); raiseError("trying to resume a '%s',only genenerator can be resumed", sq_type_name(sq_type(sp[-1]))); goto error; }
        SYNC();
        SQObjectPtr g = sp[-1];
        if (!resumeGenerator(_generator(g), _top - 1)) goto error;
        RELOAD();
        break;
      }
      case OP_INCL: L_OP_INCL: case OP_INCO: L_OP_INCO: case OP_INCF: L_OP_INCF: case OP_INCG: L_OP_INCG: {
        SQInt32 word = (SQInt32)*ip++;
        SQInteger delta = word >> 2;
        bool post = word & 1;
        if (word & 2) {  // the value is not used (a local or a free variable)
          SQObjectPtr* t = SQ_OP(w) == OP_INCL ? &stk[SQ_ARG(w)] : &clo->_outers[SQ_ARG(w)]->ref();
          if (sq_type(*t) == OT_INTEGER) { _integer(*t) = (SQInteger)((SQUnsignedInteger)_integer(*t) + (SQUnsignedInteger)delta); break; }
          SQObjectPtr res, d(delta), old = *t;
          SYNC();
          if (!arith('+', old, d, res)) goto error;
          RELOAD();
          (SQ_OP(w) == OP_INCL ? stk[SQ_ARG(w)] : clo->_outers[SQ_ARG(w)]->ref()) = res;
          break;
        }
        SQInteger op = SQ_OP(w);
        if (op == OP_INCL || op == OP_INCO) {
          SQObjectPtr& target = op == OP_INCL ? stk[SQ_ARG(w)] : clo->_outers[SQ_ARG(w)]->ref();
          if (sq_type(target) == OT_INTEGER) {
            SQInteger old = _integer(target);
            _integer(target) = (SQInteger)((SQUnsignedInteger)old + (SQUnsignedInteger)delta);
            (sp++)->setInt(post ? old : _integer(target));
            break;
          }
          SQObjectPtr old = target, res, d(delta);
          SYNC();
          if (!arith('+', old, d, res)) goto error;
          RELOAD();
          SQObjectPtr& target2 = op == OP_INCL ? stk[SQ_ARG(w)] : clo->_outers[SQ_ARG(w)]->ref();
          target2 = res;
          *sp++ = post ? old : res;
          break;
        }
        SQObjectPtr old, res, d(delta);
        SYNC();
        if (op == OP_INCF) {
          SQObjectPtr self = sp[-2], key = sp[-1];
          if (!get(self, key, old, false, true)) goto error;
          if (!arith('+', old, d, res)) goto error;
          if (!set(self, key, res, false)) goto error;
          RELOAD();
          sp[-2] = post ? old : res;
          (--sp)->Null();
        } else {
          SQObjectPtr root = closureRoot(clo);
          SQObjectPtr self = stk[0];
          const SQObjectPtr& key = lits[SQ_ARG(w)];
          if (!getGlobal(self, root, key, old)) goto error;
          if (!arith('+', old, d, res)) goto error;
          if (!setGlobal(self, root, key, res)) goto error;
          RELOAD();
          *sp++ = post ? old : res;
        }
        break;
      }
      case OP_JMP: L_OP_JMP:
        if (SQ_ARG(w) < 0 && limitOps && --_sharedState->_opsLeft < 0) { SYNC(); raiseError("execution budget exhausted"); goto error; }
        ip += SQ_ARG(w);
        break;
      case OP_JZ: L_OP_JZ: { bool f = sq_isfalse(sp[-1]); (--sp)->Null(); if (f) ip += SQ_ARG(w); break; }
      case OP_JNZ: L_OP_JNZ: {
        bool f = sq_isfalse(sp[-1]);
        (--sp)->Null();
        if (f) break;
        if (SQ_ARG(w) < 0 && limitOps && --_sharedState->_opsLeft < 0) { SYNC(); raiseError("execution budget exhausted"); goto error; }
        ip += SQ_ARG(w);
        break;
      }
      case OP_ANDJ: L_OP_ANDJ: if (sq_isfalse(sp[-1])) ip += SQ_ARG(w); else (--sp)->Null(); break;
      case OP_ORJ: L_OP_ORJ: if (!sq_isfalse(sp[-1])) ip += SQ_ARG(w); else (--sp)->Null(); break;
      case OP_PREPCALLLK: L_OP_PREPCALLLK: {
        // [] -> [function obj], obj a local
        const SQObjectPtr& self = stk[SQ_ARG(w)];
        const SQObjectPtr& key = lits[(SQInt32)*ip++];
        if (const SQObject* v = fast_get(self, key)) { push_onto(sp, sq_slot_value(*v)); push_onto(sp + 1, self); sp += 2; break; }
        SQObjectPtr fn, s2 = self;
        SYNC();
        if (!get(s2, key, fn, false, true)) goto error;
        RELOAD();
        sp[0] = std::move(fn);
        sp[1] = std::move(s2);
        sp += 2;
        break;
      }
      case OP_PREPCALLK: L_OP_PREPCALLK: {
        // [obj] -> [function obj]
        const SQObjectPtr& key = lits[SQ_ARG(w)];
        if (const SQObject* v = fast_get(sp[-1], key)) { *sp = sp[-1]; sp[-1] = sq_slot_value(*v); sp++; break; }
        SQObjectPtr fn, self = sp[-1];
        SYNC();
        if (!get(self, key, fn, false, true)) goto error;
        RELOAD();
        sp[-1] = std::move(fn);
        *sp++ = std::move(self);
        break;
      }
      case OP_PREPCALL: L_OP_PREPCALL: {
        // [obj key] -> [function obj]
        SQObjectPtr self = sp[-2], key = sp[-1], fn;
        if (const SQObject* v = fast_get(self, key)) fn = sq_slot_value(*v);
        else {
          SYNC();
          if (!get(self, key, fn, false, true)) goto error;
          RELOAD();
        }
        sp[-2] = std::move(fn);
        sp[-1] = std::move(self);
        break;
      }
      case OP_TAILCALL: L_OP_TAILCALL: {
        // The callee takes this frame over when it is a script function that accepts the
        // arguments; otherwise this is an ordinary call and the OP_RETURN after it runs.
        SQInteger nargs = SQ_ARG(w);
        SQObjectPtr* callee = sp - nargs - 1;
        if (sq_type(*callee) != OT_CLOSURE || ci->_generator || !accepts_args(_closure(*callee), nargs)) goto L_OP_CALL;
        if (limitOps && --_sharedState->_opsLeft < 0) { SYNC(); raiseError("execution budget exhausted"); goto error; }
        if (hookActive()) { SYNC(); callDebugHook('r', clo->_proto->lineAt(ip - clo->_proto->_code._vals - 1)); RELOAD(); callee = sp - nargs - 1; }
        SQInteger dst = ci->_target;
        bool root = ci->_root;
        if (_openOuters && _openOuters->_idx >= ci->_base) closeOuters(ci->_base);
        for (SQInteger i = 0; i <= nargs; i++) _stack[dst + i] = std::move(callee[i]);
        _top = sp - _stack;
        setTop(dst + nargs + 1);
        _calls.pop_back();
        bool pushed, suspended;
        if (!startCall(dst, nargs, pushed, suspended)) goto error;
        _calls.back()._root = root;
        LOADFRAME();
        if (hookActive()) { SYNC(); callDebugHook('c', clo->_proto->_lineDefined); RELOAD(); }
        break;
      }
      case OP_CALL: L_OP_CALL: {
        if (limitOps && --_sharedState->_opsLeft < 0) { SYNC(); raiseError("execution budget exhausted"); goto error; }
        SQInteger nargs = SQ_ARG(w);
        SQInteger target = (sp - _stack) - nargs - 1;
        SYNC();
        SQObjectPtr& callee = _stack[target];
        if (sq_type(callee) == OT_CLOSURE) {
          // inline fast path for script closures
          SQClosure* c = _closure(callee);
          SQFunctionProto* p = c->_proto;
          if (nargs == p->_nparams && !p->_varparams && !p->_generator && !c->_env &&
              (SQInteger)_calls.size() < MAX_CALL_DEPTH && target + 1 + p->_stacksize + 8 <= _stackSize) {
            new (_calls.pushRaw()) SQCallInfo(p->_code._vals, callee, target + 1, target);
            LOADFRAME();
            if (hookActive()) { SYNC(); callDebugHook('c', clo->_proto->_lineDefined); RELOAD(); }
            break;
          }
        }
        bool pushed, suspended;
        if (!startCall(target, nargs, pushed, suspended)) goto error;
        if (suspended) {
          if (_nativeCalls != 1 || (SQInteger)_calls.size() <= 0) {
            raiseError("cannot suspend through native calls/metamethods");
            goto error;
          }
          _state = SQ_VMSTATE_SUSPENDED;
          _suspendTarget = target;
          _suspendEntry = entryFrame;
          ci = &_calls.back();
          ci->_ip = ip;
          return true;
        }
        if (pushed) {
          LOADFRAME();
          if (hookActive()) { SYNC(); callDebugHook('c', clo->_proto->_lineDefined); RELOAD(); }
        }
        else {
          ci = &_calls.back();
          RELOAD();
        }
        break;
      }
      case OP_CLOSURE: L_OP_CLOSURE: {
        SYNC();
        SQFunctionProto* p = _funcproto(clo->_proto->_functions[SQ_ARG(w)]);
        SQClosure* nc = SQClosure::create(_sharedState, p, currentRootRef());
        SQObjectPtr ncref(nc);
        for (SQUnsignedInteger i = 0; i < p->_outers.size(); i++) {
          SQOuterInfo& oi = p->_outers[i];
          SQOuter* o = oi.fromLocal ? findOuter(ci->_base + oi.index) : clo->_outers[oi.index];
          o->_uiRef++;
          nc->_outers[i] = o;
        }
        SQInteger nd = p->_ndefaults;
        for (SQInteger i = 0; i < nd; i++) nc->_defaults[i] = std::move(sp[-nd + i]);
        for (SQInteger i = 0; i < nd; i++) (--sp)->Null();
        *sp++ = std::move(ncref);
        break;
      }
      case OP_NEWTABLE: L_OP_NEWTABLE: SYNC(); *sp++ = SQObjectPtr(SQTable::create(_sharedState, SQ_ARG(w))); break;
      case OP_NEWARRAY: L_OP_NEWARRAY: {
        SYNC();
        SQObjectPtr a(SQArray::create(_sharedState, 0));
        _array(a)->_values.reserve(SQ_ARG(w));
        *sp++ = std::move(a);
        break;
      }
      case OP_APPENDA: L_OP_APPENDA: SYNC(); _array(sp[-2])->_values.push_back(std::move(sp[-1])); (--sp)->Null(); break;
      case OP_NEWSLOTT: L_OP_NEWSLOTT: {
        SYNC();
        if (sq_type(sp[-2]) == OT_NULL) { raiseError("null cannot be used as index"); goto error; }
        if (sq_type(sp[-2]) == OT_FLOAT && isnan(_float(sp[-2]))) { raiseError("NaN cannot be used as index"); goto error; }
        _table(sp[-3])->newSlot(sp[-2], sp[-1]);
        (--sp)->Null(); (--sp)->Null();
        break;
      }
      case OP_CLASS: L_OP_CLASS: {
        SQInteger flags = SQ_ARG(w);
        SQObjectPtr attrs, base;
        if (flags & 2) { attrs = std::move(sp[-1]); (--sp)->Null(); }
        if (flags & 1) { base = std::move(sp[-1]); (--sp)->Null(); }
        if ((flags & 1) && sq_type(base) != OT_CLASS) { SYNC(); raiseError("trying to inherit from a %s", sq_type_name(sq_type(base))); goto error; }
        SQObjectPtr res;
        SYNC();
        if (!createClass((flags & 1) ? _class(base) : nullptr, attrs, res)) goto error;
        RELOAD();
        *sp++ = std::move(res);
        break;
      }
      case OP_NEWMEMBER: L_OP_NEWMEMBER: {
        SYNC();
        SQObjectPtr cls = sp[-4];
        { SQObjectPtr k = sp[-2], val = sp[-1], at = sp[-3]; if (!classNewMember(_class(cls), k, val, at, SQ_ARG(w) & 1, false)) goto error; }
        RELOAD();
        (--sp)->Null(); (--sp)->Null(); (--sp)->Null();
        break;
      }
      case OP_RETURN: L_OP_RETURN: case OP_RETURNNULL: L_OP_RETURNNULL: {
        if (hookActive()) { SYNC(); callDebugHook('r', clo->_proto->lineAt(ip - clo->_proto->_code._vals - 1)); RELOAD(); }
        SQObjectPtr ret;
        if (SQ_OP(w) == OP_RETURN) ret = std::move(*--sp);
        SQInteger target = ci->_target;
        bool root = ci->_root;
        if (_openOuters && _openOuters->_idx >= ci->_base) closeOuters(ci->_base);
        while (ci->_ntraps > 0) { _traps.pop_back(); ci->_ntraps--; }
        if (ci->_generator) ci->_gen->finalize();
        // the frame's slots, the callee's included, let their values go
        for (SQObjectPtr* last = _stack + target; sp > last;) (--sp)->Null();
        *sp = std::move(ret);
        _top = target + 1;
        _calls.pop_back();
        if (root) return true;
        LOADFRAME();
        break;
      }
      case OP_YIELD: L_OP_YIELD: {
        SYNC();
        if (!ci->_generator) { raiseError("yield outside a generator"); goto error; }
        SQGenerator* g = ci->_gen;
        {
          // the room the frame needs in the generator, taken before anything moves
          SQInteger nouters = 0;
          for (SQOuter* o = _openOuters; o && o->_idx >= ci->_base; o = o->_nextOpen) nouters++;
          g->_outers.reserve(g->_outers.size() + nouters);
          g->_stack.reserve(g->_stack.size() + (sp - stk) + 1);
          g->_traps.reserve(g->_traps.size() + ci->_ntraps);
        }
        SQObjectPtr val = std::move(sp[-1]);
        (--sp)->Null();
        SQInteger base = ci->_base;
        _top = sp - _stack;
        // outers open on the frame are closed now and reopened on resume
        while (_openOuters && _openOuters->_idx >= base) {
          SQOuter* o = _openOuters;
          _openOuters = o->_nextOpen;
          o->_value = _stack[o->_idx];
          o->_idx -= base;
          o->_vm = nullptr;
          o->_nextOpen = nullptr;
          o->_uiRef++;
          g->_outers.push_back(o);
        }
        for (SQInteger i = base; i < _top; i++) g->_stack.push_back(std::move(_stack[i]));
        g->_stack.push_back();  // the value of the yield expression once resumed
        for (SQInteger i = 0; i < ci->_ntraps; i++) {
          SQExceptionTrap t = _traps[_traps.size() - ci->_ntraps + i];
          t._stackTop -= base;
          g->_traps.push_back(t);
        }
        for (SQInteger i = 0; i < ci->_ntraps; i++) _traps.pop_back();
        g->_ip = ip;
        g->_state = GEN_SUSPENDED;
        SQInteger target = ci->_target;
        setTop(target);
        _stack[target] = std::move(val);
        _top = target + 1;
        _calls.pop_back();
        return true;  // generator frames are always run by their own execute
      }
      case OP_THROW: L_OP_THROW: {
        SYNC();
        raiseErrorObj(sp[-1]);
        goto error;
      }
      case OP_FOREACH: L_OP_FOREACH: {
        SQInteger a = SQ_ARG(w);
        SQInt32 off = (SQInt32)*ip++;
        SQObjectPtr& cont = stk[a];
        SQObjectPtr& iter = stk[a + 1];
        if (sq_type(cont) == OT_ARRAY) {
          SQInteger i = sq_type(iter) == OT_INTEGER ? _integer(iter) : 0;
          SQArray* arr = _array(cont);
          if (i >= arr->size()) { ip += off; break; }
          stk[a + 2].setInt(i);
          stk[a + 3] = sq_slot_value(arr->_values[i]);
          iter.setInt(i + 1);
          break;
        }
        if (sq_type(cont) == OT_TABLE) {
          SQInteger i = sq_type(iter) == OT_INTEGER ? _integer(iter) : 0;
          SQInteger n = _table(cont)->next(i, stk[a + 2], stk[a + 3]);
          if (n < 0) { ip += off; break; }
          if (sq_type(stk[a + 3]) == OT_WEAKREF) stk[a + 3] = sq_slot_value(stk[a + 3]);
          iter.setInt(n);
          break;
        }
        SQObjectPtr k, v, c = cont, it = iter;
        bool done = false;
        SYNC();
        if (sq_type(c) == OT_GENERATOR) {
          SQGenerator* g = _generator(c);
          if (g->_state == GEN_DEAD) { ip += off; break; }
          push(c);
          if (!resumeGenerator(g, _top - 1)) goto error;
          v = _stack[_top - 1];
          setTop(_top - 1);
          RELOAD();
          if (g->_state == GEN_DEAD) { ip += off; break; }
          SQInteger i = sq_type(it) == OT_INTEGER ? _integer(it) : 0;
          stk[a + 2].setInt(i);
          stk[a + 3] = v;
          stk[a + 1].setInt(i + 1);
          break;
        }
        if (!iterate(c, it, k, v, done)) goto error;
        RELOAD();
        if (done) { ip += off; break; }
        stk[a + 1] = it;
        stk[a + 2] = k;
        stk[a + 3] = v;
        break;
      }
      case OP_LINE: L_OP_LINE:
        if (hookActive()) { SYNC(); callDebugHook('l', SQ_ARG(w)); RELOAD(); }
        break;
      case OP_PUSHTRAP: L_OP_PUSHTRAP: {
        SYNC();
        SQExceptionTrap t;
        t._stackTop = sp - _stack;
        t._ip = ip + SQ_ARG(w);
        t._callDepth = (SQInteger)_calls.size() - 1;
        _traps.push_back(t);
        ci->_ntraps++;
        break;
      }
      case OP_POPTRAP: L_OP_POPTRAP: {
        for (SQInteger i = 0; i < SQ_ARG(w); i++) { _traps.pop_back(); ci->_ntraps--; }
        break;
      }
      default:
        SYNC();
        raiseError("invalid instruction");
        goto error;
    }
    w = *ip++;
    goto *dispatch[SQ_OP(w)];

  error: {
      // ci->_ip and _top are in sync here
      SQObjectPtr err = _lasterror;
      SQInteger trapFrame = -1;
      if (!_traps.empty() && _traps.back()._callDepth >= entryFrame) trapFrame = _traps.back()._callDepth;
      // the handler sees errors that no try/catch of this thread will take
      if ((_traps.empty() || _sharedState->_notifyAllExceptions) && raiseerror) callErrorHandler(err);
      if (trapFrame >= 0) {
        while ((SQInteger)_calls.size() - 1 > trapFrame) {
          SQCallInfo& c = _calls.back();
          while (c._ntraps-- > 0) _traps.pop_back();
          closeOuters(c._base);
          if (c._generator) c._gen->finalize();
          _calls.pop_back();
        }
        SQExceptionTrap t = _traps.back();
        _traps.pop_back();
        _calls.back()._ntraps--;
        closeOuters(t._stackTop);
        setTop(t._stackTop);
        push(err);
        _calls.back()._ip = t._ip;
        LOADFRAME();
        continue;
      }
      // no handler here: unwind our frames and report to the caller
      while ((SQInteger)_calls.size() > entryFrame) {
        SQCallInfo& c = _calls.back();
        while (c._ntraps-- > 0) _traps.pop_back();
        closeOuters(c._base);
        if (c._generator) c._gen->finalize();
        SQInteger t = c._target;
        _calls.pop_back();
        setTop(t);
      }
      _lasterror = err;
      return false;
    }
  }
}

// ---- threads ------------------------------------------------------------------------------
bool SQVM::wakeup(bool hasValue, const SQObject& value, bool retval, bool raiseerror, bool throwerror) {
  if (_state != SQ_VMSTATE_SUSPENDED) { raiseError("cannot resume a vm that is not running any code"); return false; }
  _state = SQ_VMSTATE_RUNNING;
  SQInteger target = _suspendTarget;
  setTop(target + 1);
  _stack[target] = hasValue ? SQObjectPtr(value) : SQObjectPtr();
  SQInteger entry = _suspendEntry;
  SQCallInfo& ci = _calls.back();
  (void)ci;
  bool ok;
  if (throwerror) {
    // the error is raised at the suspension point
    setTop(target);
    raiseErrorObj(value);
    // resume the loop in error state through a tiny trampoline: a throw instruction
    static SQUnsignedInteger32 throwCode[1] = {SQ_MAKE(OP_THROW, 0)};
    push(value);
    SQUnsignedInteger32* saved = _calls.back()._ip;
    _calls.back()._ip = throwCode;
    (void)saved;
    ok = execute(entry, raiseerror);
  } else {
    ok = execute(entry, raiseerror);
  }
  if (!ok) { _state = SQ_VMSTATE_IDLE; return false; }
  if (_state == SQ_VMSTATE_SUSPENDED) return true;
  _state = SQ_VMSTATE_IDLE;
  _suspendValue = _stack[_top - 1];
  return true;
}

