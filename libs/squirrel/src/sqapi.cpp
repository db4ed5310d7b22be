// The C API: stack-based access to the VM for the embedding program.
#include "sqvm.h"
#include <stdio.h>
#include <stdarg.h>

#define STK(i) v->stackAt(i)
static SQRESULT api_error(HSQUIRRELVM v, const SQChar* msg) { v->raiseError("%s", msg); return SQ_ERROR; }
#define CHECK_TYPE(o, t, msg) if (sq_type(o) != (t)) return api_error(v, msg)

// ---- vm -----------------------------------------------------------------------------------
HSQUIRRELVM sq_open(SQInteger initialstacksize) {
  SQSharedState* ss = sq_new_shared_state();
  SQVM* v = SQVM::create(ss);
  v->_uiRef++;  // held by the embedding program until sq_close
  v->_isMain = true;
  ss->_rootVM = v;
  v->growStack(initialstacksize > 0 ? initialstacksize : 1024);
  v->_roottable = SQTable::create(ss, 0);
  sq_init_default_delegates(ss, v);
  sq_register_base_lib(v);
  return v;
}

HSQUIRRELVM sq_newthread(HSQUIRRELVM friendvm, SQInteger initialstacksize) {
  SQSharedState* ss = friendvm->_sharedState;
  SQVM* v = SQVM::create(ss);
  v->growStack(initialstacksize > 0 ? initialstacksize : 256);
  v->_roottable = friendvm->_roottable;
  v->_errorhandler = friendvm->_errorhandler;
  friendvm->push(SQObjectPtr(v));
  return v;
}

void sq_close(HSQUIRRELVM v) {
  SQSharedState* ss = v->_sharedState;
  SQVM* root = ss->_rootVM;
  if (ss->_releaseHook) ss->_releaseHook(ss->_foreignPtr, 0);
  if (root->_releaseHook) root->_releaseHook(root->_foreignPtr, 0);
  root->_uiRef--;  // the program's reference; the collector's own keeps it alive meanwhile
  sq_free_shared_state(ss);
}

SQInteger sq_getversion() { return SQUIRREL_VERSION_NUMBER; }
void sq_seterrorhandler(HSQUIRRELVM v) { v->_errorhandler = v->top(); v->pop(); }
void sq_setforeignptr(HSQUIRRELVM v, SQUserPointer p) { v->_foreignPtr = p; }
SQUserPointer sq_getforeignptr(HSQUIRRELVM v) { return v->_foreignPtr; }
void sq_setsharedforeignptr(HSQUIRRELVM v, SQUserPointer p) { v->_sharedState->_foreignPtr = p; }
SQUserPointer sq_getsharedforeignptr(HSQUIRRELVM v) { return v->_sharedState->_foreignPtr; }
void sq_setvmreleasehook(HSQUIRRELVM v, SQRELEASEHOOK hook) { v->_releaseHook = hook; }
SQRELEASEHOOK sq_getvmreleasehook(HSQUIRRELVM v) { return v->_releaseHook; }
void sq_setsharedreleasehook(HSQUIRRELVM v, SQRELEASEHOOK hook) { v->_sharedState->_releaseHook = hook; }
SQRELEASEHOOK sq_getsharedreleasehook(HSQUIRRELVM v) { return v->_sharedState->_releaseHook; }
void sq_setprintfunc(HSQUIRRELVM v, SQPRINTFUNCTION printfunc, SQPRINTFUNCTION errfunc) {
  v->_sharedState->_printFunc = printfunc;
  v->_sharedState->_errorFunc = errfunc;
}
SQPRINTFUNCTION sq_getprintfunc(HSQUIRRELVM v) { return v->_sharedState->_printFunc; }
SQPRINTFUNCTION sq_geterrorfunc(HSQUIRRELVM v) { return v->_sharedState->_errorFunc; }

SQRESULT sq_suspendvm(HSQUIRRELVM v) {
  v->_suspendRequest = true;
  return SQ_SUSPEND_FLAG;
}
SQRESULT sq_wakeupvm(HSQUIRRELVM v, SQBool wakeupret, SQBool retval, SQBool raiseerror, SQBool throwerror) {
  SQObjectPtr val;
  if (wakeupret || throwerror) { val = v->top(); v->pop(); }
  if (!v->wakeup(wakeupret || throwerror, val, retval, raiseerror, throwerror)) return SQ_ERROR;
  if (retval) v->push(v->_suspendValue);
  return SQ_OK;
}
SQInteger sq_getvmstate(HSQUIRRELVM v) { return v->_state; }

// ---- compiler -----------------------------------------------------------------------------
// A failed allocation anywhere in a compile (the compiler's own, the closure's) is an
// error of the call, not an exception for the embedding program.
SQRESULT sq_compile(HSQUIRRELVM v, SQLEXREADFUNC read, SQUserPointer p, const SQChar* sourcename, SQBool raiseerror) {
  try {
    SQObjectPtr proto;
    if (!sq_compile_source(v, read, p, sourcename, raiseerror != 0, proto)) return SQ_ERROR;
    v->push(SQObjectPtr(SQClosure::create(v->_sharedState, _funcproto(proto), v->currentRootRef())));
    return SQ_OK;
  } catch (const std::bad_alloc&) {
    v->raiseErrorObj(v->_sharedState->_outOfMemory);
    return SQ_ERROR;
  }
}

struct BufState { const SQChar* buf; SQInteger ptr; SQInteger size; };
static SQInteger buf_lexfeed(SQUserPointer file) {
  BufState* b = (BufState*)file;
  if (b->size == b->ptr) return 0;
  SQInteger c = (unsigned char)b->buf[b->ptr++];
  return c == 0 ? ' ' : c;  // an embedded zero must not end the text early
}
SQRESULT sq_compilebuffer(HSQUIRRELVM v, const SQChar* s, SQInteger size, const SQChar* sourcename, SQBool raiseerror) {
  BufState b{s, 0, size < 0 ? 0 : size};
  return sq_compile(v, buf_lexfeed, &b, sourcename, raiseerror);
}
void sq_enabledebuginfo(HSQUIRRELVM v, SQBool enable) { v->_sharedState->_debugInfo = enable != 0; }
void sq_notifyallexceptions(HSQUIRRELVM v, SQBool enable) { v->_sharedState->_notifyAllExceptions = enable != 0; }
void sq_setcompilererrorhandler(HSQUIRRELVM v, SQCOMPILERERROR f) { v->_sharedState->_compilerErrorHandler = f; }

// ---- stack --------------------------------------------------------------------------------
void sq_push(HSQUIRRELVM v, SQInteger idx) { SQObjectPtr o = STK(idx); v->push(o); }
void sq_pop(HSQUIRRELVM v, SQInteger n) { v->pop(n); }
void sq_poptop(HSQUIRRELVM v) { v->pop(); }
void sq_remove(HSQUIRRELVM v, SQInteger idx) {
  SQInteger abs = idx >= 0 ? v->_stackbase + idx - 1 : v->_top + idx;
  for (SQInteger i = abs; i < v->_top - 1; i++) v->_stack[i] = std::move(v->_stack[i + 1]);
  v->pop();
}
SQInteger sq_gettop(HSQUIRRELVM v) { return v->_top - v->_stackbase; }
void sq_settop(HSQUIRRELVM v, SQInteger newtop) { v->setTop(v->_stackbase + newtop); }
SQRESULT sq_reservestack(HSQUIRRELVM v, SQInteger nsize) {
  if (nsize < 0) return SQ_ERROR;
  v->growStack(v->_top + nsize);
  return SQ_OK;
}
SQInteger sq_cmp(HSQUIRRELVM v) {
  SQInteger res = 0;
  if (!v->compare(STK(-2), STK(-1), res)) return 0;
  return res;
}
void sq_move(HSQUIRRELVM dest, HSQUIRRELVM src, SQInteger idx) { SQObjectPtr o = src->stackAt(idx); dest->push(o); }

// ---- object creation ----------------------------------------------------------------------
SQUserPointer sq_newuserdata(HSQUIRRELVM v, SQUnsignedInteger size) {
  SQUserData* u = SQUserData::create(v->_sharedState, (SQInteger)size);
  v->push(SQObjectPtr(u));
  return u->_data;
}
void sq_newtable(HSQUIRRELVM v) { v->push(SQObjectPtr(SQTable::create(v->_sharedState, 0))); }
void sq_newtableex(HSQUIRRELVM v, SQInteger cap) { v->push(SQObjectPtr(SQTable::create(v->_sharedState, cap))); }
void sq_newarray(HSQUIRRELVM v, SQInteger size) { v->push(SQObjectPtr(SQArray::create(v->_sharedState, size))); }
void sq_newclosure(HSQUIRRELVM v, SQFUNCTION func, SQUnsignedInteger nfreevars) {
  SQNativeClosure* nc = SQNativeClosure::create(v->_sharedState, func, (SQInteger)nfreevars);
  for (SQInteger i = (SQInteger)nfreevars - 1; i >= 0; i--) { nc->_outers[i] = v->top(); v->pop(); }
  v->push(SQObjectPtr(nc));
}

static SQInteger typemask_for(SQChar c) {
  switch (c) {
    case 'o': return _RT_NULL;
    case 'i': return _RT_INTEGER;
    case 'f': return _RT_FLOAT;
    case 'n': return _RT_FLOAT | _RT_INTEGER;
    case 's': return _RT_STRING;
    case 't': return _RT_TABLE;
    case 'a': return _RT_ARRAY;
    case 'u': return _RT_USERDATA;
    case 'c': return _RT_CLOSURE | _RT_NATIVECLOSURE;
    case 'g': return _RT_GENERATOR;
    case 'p': return _RT_USERPOINTER;
    case 'v': return _RT_THREAD;
    case 'x': return _RT_INSTANCE;
    case 'y': return _RT_CLASS;
    case 'b': return _RT_BOOL;
    case 'r': return _RT_WEAKREF;
    case '.': return -1;
  }
  return 0;
}
bool sq_compile_typemask(sqvec<SQInteger>& res, const SQChar* typemask) {
  SQInteger mask = 0;
  for (const SQChar* p = typemask; *p; p++) {
    SQInteger m = typemask_for(*p);
    if (*p == ' ') continue;
    if (m == 0) return false;
    if (m == -1) { res.push_back(-1); continue; }
    mask |= m;
    if (p[1] == '|') { p++; if (!p[1]) return false; continue; }
    res.push_back(mask);
    mask = 0;
  }
  return true;
}
SQRESULT sq_setparamscheck(HSQUIRRELVM v, SQInteger nparamscheck, const SQChar* typemask) {
  SQObjectPtr& o = STK(-1);
  if (sq_type(o) != OT_NATIVECLOSURE) return api_error(v, "native closure expected");
  SQNativeClosure* nc = _nativeclosure(o);
  nc->_nparamscheck = nparamscheck;
  nc->_typecheck.resize(0);
  if (typemask) {
    if (!sq_compile_typemask(nc->_typecheck, typemask)) return api_error(v, "invalid typemask");
    if (nparamscheck == SQ_MATCHTYPEMASKSTRING) nc->_nparamscheck = (SQInteger)nc->_typecheck.size();
  } else if (nparamscheck == SQ_MATCHTYPEMASKSTRING) {
    nc->_nparamscheck = 0;
  }
  return SQ_OK;
}

SQRESULT sq_bindenv(HSQUIRRELVM v, SQInteger idx) {
  SQObjectPtr o = STK(idx);
  SQObjectPtr env = STK(-1);
  if (!is_rc(env) || sq_type(env) == OT_STRING) return api_error(v, "invalid environment");
  SQWeakRef* w = _refcounted(env)->getWeakRef(sq_type(env));
  SQObjectPtr res;
  if (sq_type(o) == OT_CLOSURE) { SQClosure* c = _closure(o)->clone(); c->setEnv(w); res = SQObjectPtr(c); }
  else if (sq_type(o) == OT_NATIVECLOSURE) {
    SQNativeClosure* c = _nativeclosure(o)->clone();
    w->_uiRef++;
    if (c->_env) { SQObject ow; ow._type = OT_WEAKREF; ow._unVal.pWeakRef = c->_env; release_obj(ow); }
    c->_env = w;
    res = SQObjectPtr(c);
  } else return api_error(v, "the target is not a closure");
  v->pop();
  v->push(res);
  return SQ_OK;
}
SQRESULT sq_setclosureroot(HSQUIRRELVM v, SQInteger idx) {
  SQObjectPtr o = STK(idx), root = STK(-1);
  if (sq_type(o) != OT_CLOSURE) return api_error(v, "the target is not a closure");
  if (sq_type(root) != OT_TABLE) return api_error(v, "invalid type");
  _closure(o)->setRoot(_table(root)->getWeakRef(OT_TABLE));
  v->pop();
  return SQ_OK;
}
SQRESULT sq_getclosureroot(HSQUIRRELVM v, SQInteger idx) {
  SQObjectPtr o = STK(idx);
  if (sq_type(o) != OT_CLOSURE) return api_error(v, "the target is not a closure");
  v->push(v->closureRoot(_closure(o)));
  return SQ_OK;
}

void sq_pushstring(HSQUIRRELVM v, const SQChar* s, SQInteger len) {
  if (!s) { v->pushNull(); return; }
  v->push(SQObjectPtr(SQString::create(v->_sharedState, s, len)));
}
void sq_pushfloat(HSQUIRRELVM v, SQFloat f) { v->push(SQObjectPtr(f)); }
void sq_pushinteger(HSQUIRRELVM v, SQInteger n) { v->push(SQObjectPtr(n)); }
void sq_pushbool(HSQUIRRELVM v, SQBool b) { v->push(SQObjectPtr(b != 0)); }
void sq_pushuserpointer(HSQUIRRELVM v, SQUserPointer p) { v->push(SQObjectPtr(p)); }
void sq_pushnull(HSQUIRRELVM v) { v->pushNull(); }
void sq_pushthread(HSQUIRRELVM v, HSQUIRRELVM thread) { v->push(SQObjectPtr(thread)); }

SQObjectType sq_gettype(HSQUIRRELVM v, SQInteger idx) { return sq_type(STK(idx)); }
SQRESULT sq_typeof(HSQUIRRELVM v, SQInteger idx) {
  SQObjectPtr res, o = STK(idx);
  if (!v->typeOf(o, res)) return SQ_ERROR;
  v->push(res);
  return SQ_OK;
}
SQInteger sq_getsize(HSQUIRRELVM v, SQInteger idx) {
  SQObjectPtr& o = STK(idx);
  switch (sq_type(o)) {
    case OT_STRING: return _string(o)->_len;
    case OT_TABLE: return _table(o)->countOf();
    case OT_ARRAY: return _array(o)->size();
    case OT_USERDATA: return _userdata(o)->_size;
    case OT_INSTANCE: return _instance(o)->_class->_udsize;
    case OT_CLASS: return _class(o)->_udsize;
    default: return api_error(v, "type not supported");
  }
}
SQHash sq_gethash(HSQUIRRELVM v, SQInteger idx) { return sq_hash_object(STK(idx)); }
SQRESULT sq_getbase(HSQUIRRELVM v, SQInteger idx) {
  SQObjectPtr o = STK(idx);
  CHECK_TYPE(o, OT_CLASS, "invalid type, class expected");
  if (_class(o)->_base) v->push(SQObjectPtr(_class(o)->_base)); else v->pushNull();
  return SQ_OK;
}
SQBool sq_instanceof(HSQUIRRELVM v) {
  SQObjectPtr& inst = STK(-2);
  SQObjectPtr& cl = STK(-1);
  if (sq_type(inst) != OT_INSTANCE || sq_type(cl) != OT_CLASS) return api_error(v, "invalid param type");
  return _instance(inst)->instanceOf(_class(cl)) ? SQTrue : SQFalse;
}
SQRESULT sq_tostring(HSQUIRRELVM v, SQInteger idx) {
  SQObjectPtr o = STK(idx), res;
  if (!v->toString(o, res)) return SQ_ERROR;
  v->push(res);
  return SQ_OK;
}
void sq_tobool(HSQUIRRELVM v, SQInteger idx, SQBool* b) { *b = sq_isfalse(STK(idx)) ? SQFalse : SQTrue; }
SQRESULT sq_getstring(HSQUIRRELVM v, SQInteger idx, const SQChar** c) {
  SQObjectPtr& o = STK(idx);
  CHECK_TYPE(o, OT_STRING, "wrong argument type");
  *c = _string(o)->_val;
  return SQ_OK;
}
SQRESULT sq_getstringandsize(HSQUIRRELVM v, SQInteger idx, const SQChar** c, SQInteger* size) {
  SQObjectPtr& o = STK(idx);
  CHECK_TYPE(o, OT_STRING, "wrong argument type");
  *c = _string(o)->_val;
  *size = _string(o)->_len;
  return SQ_OK;
}
SQRESULT sq_getinteger(HSQUIRRELVM v, SQInteger idx, SQInteger* i) {
  SQObjectPtr& o = STK(idx);
  if (sq_isnumeric(o)) { *i = tointeger(o); return SQ_OK; }
  if (sq_type(o) == OT_BOOL) { *i = _integer(o) ? 1 : 0; return SQ_OK; }
  return SQ_ERROR;
}
SQRESULT sq_getfloat(HSQUIRRELVM v, SQInteger idx, SQFloat* f) {
  SQObjectPtr& o = STK(idx);
  if (sq_isnumeric(o)) { *f = tofloat(o); return SQ_OK; }
  return SQ_ERROR;
}
SQRESULT sq_getbool(HSQUIRRELVM v, SQInteger idx, SQBool* b) {
  SQObjectPtr& o = STK(idx);
  if (sq_type(o) == OT_BOOL) { *b = _integer(o) ? SQTrue : SQFalse; return SQ_OK; }
  return SQ_ERROR;
}
SQRESULT sq_getthread(HSQUIRRELVM v, SQInteger idx, HSQUIRRELVM* thread) {
  SQObjectPtr& o = STK(idx);
  CHECK_TYPE(o, OT_THREAD, "wrong argument type");
  *thread = _thread(o);
  return SQ_OK;
}
SQRESULT sq_getuserpointer(HSQUIRRELVM v, SQInteger idx, SQUserPointer* p) {
  SQObjectPtr& o = STK(idx);
  CHECK_TYPE(o, OT_USERPOINTER, "wrong argument type");
  *p = _userpointer(o);
  return SQ_OK;
}
SQRESULT sq_getuserdata(HSQUIRRELVM v, SQInteger idx, SQUserPointer* p, SQUserPointer* typetag) {
  SQObjectPtr& o = STK(idx);
  CHECK_TYPE(o, OT_USERDATA, "wrong argument type");
  *p = _userdata(o)->_data;
  if (typetag) *typetag = _userdata(o)->_typetag;
  return SQ_OK;
}
SQRESULT sq_settypetag(HSQUIRRELVM v, SQInteger idx, SQUserPointer typetag) {
  SQObjectPtr& o = STK(idx);
  switch (sq_type(o)) {
    case OT_USERDATA: _userdata(o)->_typetag = typetag; return SQ_OK;
    case OT_CLASS: _class(o)->_typetag = typetag; return SQ_OK;
    default: return api_error(v, "invalid object type");
  }
}
SQRESULT sq_getobjtypetag(const HSQOBJECT* o, SQUserPointer* typetag) {
  switch (sq_type(*o)) {
    case OT_INSTANCE: *typetag = _instance(*o)->_class->_typetag; return SQ_OK;
    case OT_USERDATA: *typetag = _userdata(*o)->_typetag; return SQ_OK;
    case OT_CLASS: *typetag = _class(*o)->_typetag; return SQ_OK;
    default: return SQ_ERROR;
  }
}
SQRESULT sq_gettypetag(HSQUIRRELVM v, SQInteger idx, SQUserPointer* typetag) {
  if (SQ_FAILED(sq_getobjtypetag(&STK(idx), typetag))) return SQ_ERROR;
  return SQ_OK;
}
void sq_setreleasehook(HSQUIRRELVM v, SQInteger idx, SQRELEASEHOOK hook) {
  SQObjectPtr& o = STK(idx);
  switch (sq_type(o)) {
    case OT_USERDATA: _userdata(o)->_hook = hook; break;
    case OT_INSTANCE: _instance(o)->_hook = hook; break;
    case OT_CLASS: _class(o)->_hook = hook; break;
    default: break;
  }
}
SQRELEASEHOOK sq_getreleasehook(HSQUIRRELVM v, SQInteger idx) {
  SQObjectPtr& o = STK(idx);
  switch (sq_type(o)) {
    case OT_USERDATA: return _userdata(o)->_hook;
    case OT_INSTANCE: return _instance(o)->_hook;
    case OT_CLASS: return _class(o)->_hook;
    default: return nullptr;
  }
}
SQChar* sq_getscratchpad(HSQUIRRELVM v, SQInteger minsize) { return v->_sharedState->scratch(minsize < 1 ? 1 : minsize); }

SQRESULT sq_getclosureinfo(HSQUIRRELVM v, SQInteger idx, SQInteger* nparams, SQInteger* nfreevars) {
  SQObjectPtr& o = STK(idx);
  if (sq_type(o) == OT_CLOSURE) {
    *nparams = _closure(o)->_proto->_nparams;
    *nfreevars = _closure(o)->_nouters;
    return SQ_OK;
  }
  if (sq_type(o) == OT_NATIVECLOSURE) {
    *nparams = _nativeclosure(o)->_nparamscheck;
    *nfreevars = _nativeclosure(o)->_nouters;
    return SQ_OK;
  }
  return api_error(v, "the object is not a closure");
}
SQRESULT sq_getclosurename(HSQUIRRELVM v, SQInteger idx) {
  SQObjectPtr o = STK(idx);
  if (sq_type(o) == OT_CLOSURE) { v->push(_closure(o)->_proto->_name); return SQ_OK; }
  if (sq_type(o) == OT_NATIVECLOSURE) { v->push(_nativeclosure(o)->_name); return SQ_OK; }
  return api_error(v, "the target is not a closure");
}
SQRESULT sq_setnativeclosurename(HSQUIRRELVM v, SQInteger idx, const SQChar* name) {
  SQObjectPtr& o = STK(idx);
  CHECK_TYPE(o, OT_NATIVECLOSURE, "the object is not a nativeclosure");
  _nativeclosure(o)->_name = SQString::create(v->_sharedState, name);
  return SQ_OK;
}
SQRESULT sq_setinstanceup(HSQUIRRELVM v, SQInteger idx, SQUserPointer p) {
  SQObjectPtr& o = STK(idx);
  CHECK_TYPE(o, OT_INSTANCE, "the object is not a class instance");
  _instance(o)->_userpointer = p;
  return SQ_OK;
}
SQRESULT sq_getinstanceup(HSQUIRRELVM v, SQInteger idx, SQUserPointer* p, SQUserPointer typetag) {
  SQObjectPtr& o = STK(idx);
  if (sq_type(o) != OT_INSTANCE) return api_error(v, "the object is not a class instance");
  SQInstance* inst = _instance(o);
  if (typetag) {
    SQClass* c = inst->_class;
    while (c && c->_typetag != typetag) c = c->_base;
    if (!c) return api_error(v, "invalid type tag");
  }
  *p = inst->_userpointer;
  return SQ_OK;
}
SQRESULT sq_setclassudsize(HSQUIRRELVM v, SQInteger idx, SQInteger udsize) {
  SQObjectPtr& o = STK(idx);
  CHECK_TYPE(o, OT_CLASS, "the object is not a class");
  if (_class(o)->_locked) return api_error(v, "the class is locked");
  if (udsize < 0) return api_error(v, "invalid size");
  _class(o)->_udsize = udsize;
  return SQ_OK;
}
SQRESULT sq_newclass(HSQUIRRELVM v, SQBool hasbase) {
  SQClass* base = nullptr;
  if (hasbase) {
    SQObjectPtr& b = STK(-1);
    if (sq_type(b) != OT_CLASS) return api_error(v, "invalid base type");
    base = _class(b);
  }
  SQObjectPtr res, attrs;
  if (!v->createClass(base, attrs, res)) return SQ_ERROR;
  if (hasbase) v->pop();
  v->push(res);
  return SQ_OK;
}
SQRESULT sq_createinstance(HSQUIRRELVM v, SQInteger idx) {
  SQObjectPtr& o = STK(idx);
  CHECK_TYPE(o, OT_CLASS, "the object is not a class");
  v->push(SQObjectPtr(_class(o)->createInstance()));
  return SQ_OK;
}
SQRESULT sq_setattributes(HSQUIRRELVM v, SQInteger idx) {
  SQObjectPtr o = STK(idx);
  CHECK_TYPE(o, OT_CLASS, "the object is not a class");
  SQObjectPtr key = STK(-2), val = STK(-1), old;
  if (sq_type(key) == OT_NULL) {
    old = _class(o)->_attributes;
    _class(o)->_attributes = val;
  } else {
    if (!_class(o)->getAttributes(key, old)) return api_error(v, "wrong index");
    _class(o)->setAttributes(key, val);
  }
  v->pop(2);
  v->push(old);
  return SQ_OK;
}
SQRESULT sq_getattributes(HSQUIRRELVM v, SQInteger idx) {
  SQObjectPtr o = STK(idx);
  CHECK_TYPE(o, OT_CLASS, "the object is not a class");
  SQObjectPtr key = STK(-1), res;
  if (sq_type(key) == OT_NULL) res = _class(o)->_attributes;
  else if (!_class(o)->getAttributes(key, res)) return api_error(v, "wrong index");
  v->pop();
  v->push(res);
  return SQ_OK;
}
SQRESULT sq_getclass(HSQUIRRELVM v, SQInteger idx) {
  SQObjectPtr o = STK(idx);
  CHECK_TYPE(o, OT_INSTANCE, "the object is not a class instance");
  v->push(SQObjectPtr(_instance(o)->_class));
  return SQ_OK;
}
void sq_weakref(HSQUIRRELVM v, SQInteger idx) {
  SQObjectPtr o = STK(idx);
  if (!is_rc(o) || sq_type(o) == OT_WEAKREF) { v->push(o); return; }
  v->push(SQObjectPtr(_refcounted(o)->getWeakRef(sq_type(o))));
}
SQRESULT sq_getdefaultdelegate(HSQUIRRELVM v, SQObjectType t) {
  SQObject o; o._type = t; o._unVal.raw = 0;
  SQObjectPtr d;
  if (!v->getDefaultDelegate(o, d)) return api_error(v, "the type doesn't have a default delegate");
  v->push(d);
  return SQ_OK;
}
SQRESULT sq_getmemberhandle(HSQUIRRELVM v, SQInteger idx, HSQMEMBERHANDLE* handle) {
  SQObjectPtr o = STK(idx);
  CHECK_TYPE(o, OT_CLASS, "the object is not a class");
  SQObjectPtr key = STK(-1);
  SQTableNode* n = _class(o)->_members->findNode(key);
  if (!n) return api_error(v, "wrong index");
  handle->_static = member_kind(n->val) == MEMBER_METHOD ? SQTrue : SQFalse;
  handle->_index = member_index(n->val);
  v->pop();
  return SQ_OK;
}
static SQObjectPtr* handle_slot(HSQUIRRELVM v, SQObjectPtr& o, const HSQMEMBERHANDLE* h) {
  if (sq_type(o) == OT_INSTANCE) {
    SQInstance* i = _instance(o);
    if (h->_static) return h->_index < (SQInteger)i->_class->_methods.size() ? &i->_class->_methods[h->_index].val : nullptr;
    return h->_index < i->_nvalues ? &i->_values[h->_index] : nullptr;
  }
  if (sq_type(o) == OT_CLASS) {
    SQClass* c = _class(o);
    if (h->_static) return h->_index < (SQInteger)c->_methods.size() ? &c->_methods[h->_index].val : nullptr;
    return h->_index < (SQInteger)c->_fields.size() ? &c->_fields[h->_index].val : nullptr;
  }
  return nullptr;
}
SQRESULT sq_getbyhandle(HSQUIRRELVM v, SQInteger idx, const HSQMEMBERHANDLE* handle) {
  SQObjectPtr o = STK(idx);
  SQObjectPtr* slot = handle_slot(v, o, handle);
  if (!slot) return api_error(v, "wrong type or handle");
  SQObjectPtr val = *slot;
  v->push(val);
  return SQ_OK;
}
SQRESULT sq_setbyhandle(HSQUIRRELVM v, SQInteger idx, const HSQMEMBERHANDLE* handle) {
  SQObjectPtr o = STK(idx);
  SQObjectPtr* slot = handle_slot(v, o, handle);
  if (!slot) return api_error(v, "wrong type or handle");
  *slot = v->top();
  v->pop();
  return SQ_OK;
}

// ---- object manipulation ------------------------------------------------------------------
void sq_pushroottable(HSQUIRRELVM v) { v->push(v->_roottable); }
void sq_pushregistrytable(HSQUIRRELVM v) { v->push(v->_sharedState->_registry); }
void sq_pushconsttable(HSQUIRRELVM v) { v->push(v->_sharedState->_consts); }
SQRESULT sq_setroottable(HSQUIRRELVM v) {
  SQObjectPtr o = v->top();
  if (sq_type(o) != OT_TABLE && sq_type(o) != OT_NULL) return api_error(v, "invalid type");
  v->_roottable = o;
  v->pop();
  return SQ_OK;
}
SQRESULT sq_setconsttable(HSQUIRRELVM v) {
  SQObjectPtr o = v->top();
  if (sq_type(o) != OT_TABLE) return api_error(v, "invalid type, expected table");
  v->_sharedState->_consts = o;
  v->pop();
  return SQ_OK;
}
SQRESULT sq_newslot(HSQUIRRELVM v, SQInteger idx, SQBool bstatic) {
  SQObjectPtr self = STK(idx);
  if (sq_gettop(v) < 3) return api_error(v, "not enough params in the stack");
  SQObjectPtr key = STK(-2), val = STK(-1);
  if (sq_type(self) != OT_TABLE && sq_type(self) != OT_CLASS) { v->pop(2); return api_error(v, "invalid type"); }
  bool ok = v->newSlot(self, key, val, bstatic != 0, false);
  v->pop(2);
  return ok ? SQ_OK : SQ_ERROR;
}
SQRESULT sq_deleteslot(HSQUIRRELVM v, SQInteger idx, SQBool pushval) {
  SQObjectPtr self = STK(idx), key = STK(-1), res;
  v->pop();
  if (sq_type(self) != OT_TABLE) return api_error(v, "invalid type");
  if (!v->deleteSlot(self, key, res, false)) return SQ_ERROR;
  if (pushval) v->push(res);
  return SQ_OK;
}
SQRESULT sq_rawdeleteslot(HSQUIRRELVM v, SQInteger idx, SQBool pushval) {
  SQObjectPtr self = STK(idx), key = STK(-1), res;
  v->pop();
  if (sq_type(self) != OT_TABLE) return api_error(v, "invalid type");
  if (_table(self)->get(key, res)) _table(self)->remove(key);
  if (pushval) v->push(res);
  return SQ_OK;
}
SQRESULT sq_set(HSQUIRRELVM v, SQInteger idx) {
  SQObjectPtr self = STK(idx), key = STK(-2), val = STK(-1);
  v->pop(2);
  if (sq_type(key) == OT_NULL) return api_error(v, "null is not a valid key");
  return v->set(self, key, val, false) ? SQ_OK : SQ_ERROR;
}
SQRESULT sq_get(HSQUIRRELVM v, SQInteger idx) {
  SQObjectPtr self = STK(idx), key = STK(-1), res;
  v->pop();
  if (v->get(self, key, res, false, true)) { v->push(res); return SQ_OK; }
  return SQ_ERROR;
}
SQRESULT sq_rawget(HSQUIRRELVM v, SQInteger idx) {
  SQObjectPtr self = STK(idx), key = STK(-1), res;
  v->pop();
  bool ok = false;
  switch (sq_type(self)) {
    case OT_TABLE: ok = _table(self)->get(key, res); res = sq_slot_value(res); break;
    case OT_CLASS: ok = _class(self)->get(key, res); break;
    case OT_INSTANCE: ok = _instance(self)->get(key, res); break;
    case OT_ARRAY: ok = v->get(self, key, res, true, false); break;
    default: return api_error(v, "rawget works only on array/table/instance and class");
  }
  if (!ok) return api_error(v, "the index doesn't exist");
  v->push(res);
  return SQ_OK;
}
SQRESULT sq_rawset(HSQUIRRELVM v, SQInteger idx) {
  SQObjectPtr self = STK(idx), key = STK(-2), val = STK(-1);
  v->pop(2);
  if (sq_type(key) == OT_NULL) return api_error(v, "null key");
  switch (sq_type(self)) {
    case OT_TABLE: _table(self)->newSlot(key, val); return SQ_OK;
    case OT_CLASS: { SQObjectPtr a; return v->classNewMember(_class(self), key, val, a, false, true) ? SQ_OK : SQ_ERROR; }
    case OT_INSTANCE: if (_instance(self)->set(key, val)) return SQ_OK; return api_error(v, "the index doesn't exist");
    case OT_ARRAY: return v->set(self, key, val, true) ? SQ_OK : SQ_ERROR;
    default: return api_error(v, "rawset works only on array/table/class and instance");
  }
}
static SQRESULT new_member(HSQUIRRELVM v, SQInteger idx, SQBool bstatic, bool raw) {
  SQObjectPtr self = STK(idx);
  CHECK_TYPE(self, OT_CLASS, "new member only works with classes");
  SQObjectPtr key = STK(-3), val = STK(-2), attrs = STK(-1);
  v->pop(3);
  return v->classNewMember(_class(self), key, val, attrs, bstatic != 0, raw) ? SQ_OK : SQ_ERROR;
}
SQRESULT sq_newmember(HSQUIRRELVM v, SQInteger idx, SQBool bstatic) { return new_member(v, idx, bstatic, false); }
SQRESULT sq_rawnewmember(HSQUIRRELVM v, SQInteger idx, SQBool bstatic) { return new_member(v, idx, bstatic, true); }

SQRESULT sq_arrayappend(HSQUIRRELVM v, SQInteger idx) {
  SQObjectPtr a = STK(idx);
  CHECK_TYPE(a, OT_ARRAY, "the object is not an array");
  _array(a)->_values.push_back(v->top());
  v->pop();
  return SQ_OK;
}
SQRESULT sq_arraypop(HSQUIRRELVM v, SQInteger idx, SQBool pushval) {
  SQObjectPtr a = STK(idx);
  CHECK_TYPE(a, OT_ARRAY, "the object is not an array");
  SQArray* arr = _array(a);
  if (arr->_values.empty()) return api_error(v, "empty array");
  SQObjectPtr val = arr->_values.back();
  arr->_values.pop_back();
  if (pushval) v->push(val);
  return SQ_OK;
}
SQRESULT sq_arrayresize(HSQUIRRELVM v, SQInteger idx, SQInteger newsize) {
  SQObjectPtr a = STK(idx);
  CHECK_TYPE(a, OT_ARRAY, "the object is not an array");
  if (newsize < 0) return api_error(v, "negative size");
  _array(a)->_values.resize((SQUnsignedInteger)newsize);
  return SQ_OK;
}
SQRESULT sq_arrayreverse(HSQUIRRELVM v, SQInteger idx) {
  SQObjectPtr a = STK(idx);
  CHECK_TYPE(a, OT_ARRAY, "the object is not an array");
  SQArray* arr = _array(a);
  SQInteger n = arr->size();
  for (SQInteger i = 0; i < n / 2; i++) {
    SQObjectPtr t = std::move(arr->_values[i]);
    arr->_values[i] = std::move(arr->_values[n - 1 - i]);
    arr->_values[n - 1 - i] = std::move(t);
  }
  return SQ_OK;
}
SQRESULT sq_arrayremove(HSQUIRRELVM v, SQInteger idx, SQInteger itemidx) {
  SQObjectPtr a = STK(idx);
  CHECK_TYPE(a, OT_ARRAY, "the object is not an array");
  if (itemidx < 0 || itemidx >= _array(a)->size()) return api_error(v, "index out of range");
  _array(a)->_values.remove((SQUnsignedInteger)itemidx);
  return SQ_OK;
}
SQRESULT sq_arrayinsert(HSQUIRRELVM v, SQInteger idx, SQInteger destpos) {
  SQObjectPtr a = STK(idx);
  CHECK_TYPE(a, OT_ARRAY, "the object is not an array");
  if (destpos < 0 || destpos > _array(a)->size()) return api_error(v, "index out of range");
  _array(a)->_values.insert((SQUnsignedInteger)destpos, v->top());
  v->pop();
  return SQ_OK;
}
SQRESULT sq_setdelegate(HSQUIRRELVM v, SQInteger idx) {
  SQObjectPtr self = STK(idx), mt = STK(-1);
  if (sq_type(self) != OT_TABLE && sq_type(self) != OT_USERDATA) return api_error(v, "wrong type");
  if (sq_type(mt) != OT_TABLE && sq_type(mt) != OT_NULL) return api_error(v, "invalid delegate");
  if (!((SQDelegable*)_refcounted(self))->setDelegate(sq_type(mt) == OT_TABLE ? _table(mt) : nullptr))
    return api_error(v, "delegate cycle");
  v->pop();
  return SQ_OK;
}
SQRESULT sq_getdelegate(HSQUIRRELVM v, SQInteger idx) {
  SQObjectPtr self = STK(idx);
  if (sq_type(self) != OT_TABLE && sq_type(self) != OT_USERDATA) return api_error(v, "wrong type");
  SQTable* d = ((SQDelegable*)_refcounted(self))->_delegate;
  if (d) v->push(SQObjectPtr(d)); else v->pushNull();
  return SQ_OK;
}
SQRESULT sq_clone(HSQUIRRELVM v, SQInteger idx) {
  SQObjectPtr o = STK(idx), res;
  if (!v->clone(o, res)) return SQ_ERROR;
  v->push(res);
  return SQ_OK;
}
SQRESULT sq_setfreevariable(HSQUIRRELVM v, SQInteger idx, SQUnsignedInteger nval) {
  SQObjectPtr o = STK(idx);
  SQObjectPtr val = v->top();
  if (sq_type(o) == OT_CLOSURE) {
    SQClosure* c = _closure(o);
    if ((SQInteger)nval >= c->_nouters) return api_error(v, "invalid free var index");
    c->_outers[nval]->ref() = val;
  } else if (sq_type(o) == OT_NATIVECLOSURE) {
    SQNativeClosure* c = _nativeclosure(o);
    if ((SQInteger)nval >= c->_nouters) return api_error(v, "invalid free var index");
    c->_outers[nval] = val;
  } else return api_error(v, "invalid type");
  v->pop();
  return SQ_OK;
}
const SQChar* sq_getfreevariable(HSQUIRRELVM v, SQInteger idx, SQUnsignedInteger nval) {
  SQObjectPtr o = STK(idx);
  if (sq_type(o) == OT_CLOSURE) {
    SQClosure* c = _closure(o);
    if ((SQInteger)nval >= c->_nouters) return nullptr;
    SQObjectPtr val = c->_outers[nval]->ref();
    v->push(val);
    return _string(c->_proto->_outers[nval].name)->_val;
  }
  if (sq_type(o) == OT_NATIVECLOSURE) {
    SQNativeClosure* c = _nativeclosure(o);
    if ((SQInteger)nval >= c->_nouters) return nullptr;
    SQObjectPtr val = c->_outers[nval];
    v->push(val);
    return "@NATIVE";
  }
  return nullptr;
}
SQRESULT sq_next(HSQUIRRELVM v, SQInteger idx) {
  SQObjectPtr o = STK(idx), iter = STK(-1), key, val;
  bool done = false;
  switch (sq_type(o)) {
    case OT_TABLE: {
      SQInteger i = sq_type(iter) == OT_INTEGER ? _integer(iter) : 0;
      SQInteger n = _table(o)->next(i, key, val);
      if (n < 0) return SQ_ERROR;
      val = sq_slot_value(val);
      STK(-1) = SQObjectPtr(n);
      break;
    }
    case OT_ARRAY: {
      SQInteger i = sq_type(iter) == OT_INTEGER ? _integer(iter) : 0;
      if (i >= _array(o)->size()) return SQ_ERROR;
      key = SQObjectPtr(i);
      val = sq_slot_value(_array(o)->_values[i]);
      STK(-1) = SQObjectPtr(i + 1);
      break;
    }
    case OT_GENERATOR: {
      SQGenerator* g = _generator(o);
      if (g->_state == GEN_DEAD) return SQ_ERROR;
      v->push(o);
      if (!v->resumeGenerator(g, v->_top - 1)) return SQ_ERROR;
      val = v->top();
      v->pop();
      if (g->_state == GEN_DEAD) return SQ_ERROR;
      SQInteger i = sq_type(iter) == OT_INTEGER ? _integer(iter) : 0;
      key = SQObjectPtr(i);
      STK(-1) = SQObjectPtr(i + 1);
      break;
    }
    default: {
      if (!v->iterate(o, iter, key, val, done)) return SQ_ERROR;
      if (done) return SQ_ERROR;
      STK(-1) = iter;
      break;
    }
  }
  v->push(key);
  v->push(val);
  return SQ_OK;
}
SQRESULT sq_getweakrefval(HSQUIRRELVM v, SQInteger idx) {
  SQObjectPtr o = STK(idx);
  CHECK_TYPE(o, OT_WEAKREF, "the object must be a weakref");
  v->push(_weakref(o)->_obj);
  return SQ_OK;
}
SQRESULT sq_clear(HSQUIRRELVM v, SQInteger idx) {
  SQObjectPtr o = STK(idx);
  switch (sq_type(o)) {
    case OT_TABLE: _table(o)->clear(); return SQ_OK;
    case OT_ARRAY: _array(o)->_values.resize(0); return SQ_OK;
    default: return api_error(v, "clear only works on table and array");
  }
}

// ---- calls --------------------------------------------------------------------------------
// An allocation that fails outside the interpreter (which reports its own) is an error of
// the call, not an exception for the embedding program.
static bool call_reporting_memory(HSQUIRRELVM v, const SQObjectPtr& callee, SQInteger params, SQInteger base, SQObjectPtr& res, bool raiseerror) {
  try {
    return v->call(callee, params, base, res, raiseerror);
  } catch (const std::bad_alloc&) {
    v->setTop(base + params);
    v->raiseErrorObj(v->_sharedState->_outOfMemory);
    if (raiseerror) v->callErrorHandler(v->_lasterror);
    return false;
  }
}

SQRESULT sq_call(HSQUIRRELVM v, SQInteger params, SQBool retval, SQBool raiseerror) {
  SQObjectPtr res;
  SQInteger base = v->_top - params;
  SQObjectPtr callee = v->_stack[base - 1];
  if (call_reporting_memory(v, callee, params, base, res, raiseerror != 0)) {
    if (v->_state == SQ_VMSTATE_SUSPENDED) return SQ_OK;
    v->pop(params);
    if (retval) v->push(res);
    return SQ_OK;
  }
  v->pop(params);
  return SQ_ERROR;
}
SQRESULT sq_resume(HSQUIRRELVM v, SQBool retval, SQBool raiseerror) {
  SQObjectPtr g = v->top();
  if (sq_type(g) != OT_GENERATOR) return api_error(v, "only generators can be resumed");
  v->push(g);
  if (!v->resumeGenerator(_generator(g), v->_top - 1)) { return SQ_ERROR; }
  SQObjectPtr res = v->top();
  v->pop();
  if (retval) v->push(res);
  return SQ_OK;
}
SQRESULT sq_tailcall(HSQUIRRELVM v, SQInteger nparams) {
  // run as a regular call; the native then returns its result
  if (SQ_FAILED(sq_call(v, nparams, SQTrue, SQTrue))) return SQ_ERROR;
  return 1;
}
SQRESULT sq_getcallee(HSQUIRRELVM v) {
  if (v->_calls.size() < 1) return api_error(v, "no closure in the calls stack");
  v->push(v->_calls.back()._closure);
  return SQ_OK;
}
SQRESULT sq_throwerror(HSQUIRRELVM v, const SQChar* err) {
  v->_lasterror = SQString::create(v->_sharedState, err);
  v->_errorHandled = false;
  return SQ_ERROR;
}
SQRESULT sq_throwobject(HSQUIRRELVM v) {
  v->_lasterror = v->top();
  v->_errorHandled = false;
  v->pop();
  return SQ_ERROR;
}
void sq_reseterror(HSQUIRRELVM v) { v->_lasterror.Null(); }
void sq_getlasterror(HSQUIRRELVM v) { v->push(v->_lasterror); }

// ---- raw objects --------------------------------------------------------------------------
SQRESULT sq_getstackobj(HSQUIRRELVM v, SQInteger idx, HSQOBJECT* po) { *po = STK(idx); return SQ_OK; }
void sq_pushobject(HSQUIRRELVM v, HSQOBJECT obj) { v->push(obj); }
void sq_addref(HSQUIRRELVM v, HSQOBJECT* po) {
  if (!is_rc(*po)) return;
  SQTable* refs = _table(v->_sharedState->_refsTable);
  SQObjectPtr count;
  SQInteger n = refs->get(*po, count) ? _integer(count) : 0;
  refs->newSlot(*po, SQObjectPtr(n + 1));
}
SQBool sq_release(HSQUIRRELVM v, HSQOBJECT* po) {
  if (!is_rc(*po)) return SQTrue;
  SQTable* refs = _table(v->_sharedState->_refsTable);
  SQObjectPtr count;
  if (!refs->get(*po, count)) return SQTrue;
  SQInteger n = _integer(count) - 1;
  if (n <= 0) { refs->remove(*po); return SQTrue; }
  refs->newSlot(*po, SQObjectPtr(n));
  return SQFalse;
}
SQUnsignedInteger sq_getrefcount(HSQUIRRELVM v, HSQOBJECT* po) {
  if (!is_rc(*po)) return 0;
  SQObjectPtr count;
  return _table(v->_sharedState->_refsTable)->get(*po, count) ? (SQUnsignedInteger)_integer(count) : 0;
}
void sq_resetobject(HSQOBJECT* po) { po->_type = OT_NULL; po->_unVal.raw = 0; }
const SQChar* sq_objtostring(const HSQOBJECT* o) { return sq_type(*o) == OT_STRING ? _string(*o)->_val : nullptr; }
SQBool sq_objtobool(const HSQOBJECT* o) { return sq_isfalse(*o) ? SQFalse : SQTrue; }
SQInteger sq_objtointeger(const HSQOBJECT* o) { return sq_isnumeric(*o) ? tointeger(*o) : 0; }
SQFloat sq_objtofloat(const HSQOBJECT* o) { return sq_isnumeric(*o) ? tofloat(*o) : 0; }
SQUserPointer sq_objtouserpointer(const HSQOBJECT* o) { return sq_type(*o) == OT_USERPOINTER ? _userpointer(*o) : nullptr; }

// ---- gc -----------------------------------------------------------------------------------
SQInteger sq_collectgarbage(HSQUIRRELVM v) { return sq_collect_cycles(v->_sharedState, false); }
SQRESULT sq_resurrectunreachable(HSQUIRRELVM v) {
  SQSharedState* ss = v->_sharedState;
  ss->_unreachable.resize(0);
  sq_collect_cycles(ss, true);
  if (ss->_unreachable.empty()) { v->pushNull(); return SQ_OK; }
  SQArray* a = SQArray::create(ss, 0);
  for (SQUnsignedInteger i = 0; i < ss->_unreachable.size(); i++) a->_values.push_back(ss->_unreachable[i]);
  ss->_unreachable.resize(0);
  v->push(SQObjectPtr(a));
  return SQ_OK;
}

SQRESULT sq_writeclosure(HSQUIRRELVM v, SQWRITEFUNC, SQUserPointer) { return api_error(v, "bytecode serialization is not supported"); }
SQRESULT sq_readclosure(HSQUIRRELVM v, SQREADFUNC, SQUserPointer) { return api_error(v, "bytecode serialization is not supported"); }

// ---- debug --------------------------------------------------------------------------------
SQRESULT sq_stackinfos(HSQUIRRELVM v, SQInteger level, SQStackInfos* si) {
  SQInteger n = (SQInteger)v->_calls.size();
  if (level < 0 || level >= n) return SQ_ERROR;
  SQCallInfo& ci = v->_calls[n - 1 - level];
  si->funcname = "unknown";
  si->source = "NATIVE";
  si->line = -1;
  if (sq_type(ci._closure) == OT_CLOSURE) {
    SQFunctionProto* p = _closure(ci._closure)->_proto;
    if (sq_type(p->_name) == OT_STRING) si->funcname = _string(p->_name)->_val;
    if (sq_type(p->_sourcename) == OT_STRING) si->source = _string(p->_sourcename)->_val;
    SQInteger pc = ci._ip ? (SQInteger)(ci._ip - p->_code._vals) - 1 : 0;
    si->line = p->lineAt(pc < 0 ? 0 : pc);
  } else if (sq_type(ci._closure) == OT_NATIVECLOSURE) {
    SQNativeClosure* nc = _nativeclosure(ci._closure);
    if (sq_type(nc->_name) == OT_STRING) si->funcname = _string(nc->_name)->_val;
  }
  return SQ_OK;
}
SQRESULT sq_getfunctioninfo(HSQUIRRELVM v, SQInteger level, SQFunctionInfo* fi) {
  SQInteger n = (SQInteger)v->_calls.size();
  if (level < 0 || level >= n) return api_error(v, "the level is out of range");
  SQCallInfo& ci = v->_calls[n - 1 - level];
  if (sq_type(ci._closure) != OT_CLOSURE) return api_error(v, "the object is not a closure");
  SQFunctionProto* p = _closure(ci._closure)->_proto;
  fi->funcid = p;
  fi->name = sq_type(p->_name) == OT_STRING ? _string(p->_name)->_val : "unknown";
  fi->source = sq_type(p->_sourcename) == OT_STRING ? _string(p->_sourcename)->_val : "unknown";
  fi->line = p->_lineDefined;
  return SQ_OK;
}
const SQChar* sq_getlocal(HSQUIRRELVM v, SQUnsignedInteger level, SQUnsignedInteger idx) {
  SQInteger n = (SQInteger)v->_calls.size();
  if ((SQInteger)level >= n) return nullptr;
  SQCallInfo& ci = v->_calls[n - 1 - (SQInteger)level];
  if (sq_type(ci._closure) != OT_CLOSURE) return nullptr;
  SQFunctionProto* p = _closure(ci._closure)->_proto;
  SQInteger pc = ci._ip ? (SQInteger)(ci._ip - p->_code._vals) - 1 : 0;
  // locals alive at pc, in declaration order
  SQUnsignedInteger k = 0;
  for (SQUnsignedInteger i = 0; i < p->_locals.size(); i++) {
    SQLocalVarInfo& lv = p->_locals[i];
    if (lv.startPc <= pc + 1 && lv.endPc >= pc) {
      if (k == idx) {
        SQObjectPtr val = v->_stack[ci._base + lv.pos];
        v->push(val);
        return _string(lv.name)->_val;
      }
      k++;
    }
  }
  return nullptr;
}
void sq_setdebughook(HSQUIRRELVM v) {
  SQObjectPtr o = v->top();
  if (sq_type(o) == OT_CLOSURE || sq_type(o) == OT_NATIVECLOSURE || sq_type(o) == OT_NULL) v->setDebugHooks(o, nullptr);
  v->pop();
}
void sq_setnativedebughook(HSQUIRRELVM v, SQDEBUGHOOK hook) { v->setDebugHooks(SQObjectPtr(), hook); }
