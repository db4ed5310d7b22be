// Built-in global functions and the default delegates of every type.
#include "sqvm.h"
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <ctype.h>
#include <math.h>
#include <utility>

#define ARG(i) v->stackAt(i)
static SQInteger ret_obj(HSQUIRRELVM v, const SQObject& o) { v->push(o); return 1; }
static SQInteger throw_msg(HSQUIRRELVM v, const SQChar* msg) { return sq_throwerror(v, msg); }

// ---- globals ------------------------------------------------------------------------------
static SQInteger base_print(HSQUIRRELVM v) {
  SQObjectPtr s;
  if (!v->toString(ARG(2), s)) return SQ_ERROR;
  if (v->_sharedState->_printFunc) v->_sharedState->_printFunc(v, "%s", _string(s)->_val);
  return 0;
}
static SQInteger base_error(HSQUIRRELVM v) {
  SQObjectPtr s;
  if (!v->toString(ARG(2), s)) return SQ_ERROR;
  if (v->_sharedState->_errorFunc) v->_sharedState->_errorFunc(v, "%s", _string(s)->_val);
  return 0;
}
static SQInteger base_array(HSQUIRRELVM v) {
  SQInteger n = tointeger(ARG(2));
  if (n < 0) return throw_msg(v, "negative size");
  if (n > 16 * 1024 * 1024) return throw_msg(v, "array too big");
  SQArray* a = SQArray::create(v->_sharedState, 0);
  SQObjectPtr ao(a);
  SQObjectPtr fill;
  if (sq_gettop(v) > 2) fill = ARG(3);
  a->_values.resize((SQUnsignedInteger)n, fill);
  return ret_obj(v, ao);
}
static SQInteger base_seterrorhandler(HSQUIRRELVM v) { v->_errorhandler = ARG(2); return 0; }
static SQInteger base_callee(HSQUIRRELVM v) {
  SQInteger n = (SQInteger)v->_calls.size();
  if (n < 2) return throw_msg(v, "no closure in the calls stack");
  return ret_obj(v, v->_calls[n - 2]._closure);
}
static SQInteger base_setdebughook(HSQUIRRELVM v) { v->setDebugHooks(ARG(2), nullptr); return 0; }
static SQInteger base_enabledebuginfo(HSQUIRRELVM v) { v->_sharedState->_debugInfo = !sq_isfalse(ARG(2)); return 0; }
static SQInteger base_getroottable(HSQUIRRELVM v) { return ret_obj(v, v->_roottable); }
static SQInteger base_setroottable(HSQUIRRELVM v) {
  SQObjectPtr old = v->_roottable;
  sq_push(v, 2);
  if (SQ_FAILED(sq_setroottable(v))) return SQ_ERROR;
  return ret_obj(v, old);
}
static SQInteger base_getconsttable(HSQUIRRELVM v) { return ret_obj(v, v->_sharedState->_consts); }
static SQInteger base_setconsttable(HSQUIRRELVM v) {
  SQObjectPtr old = v->_sharedState->_consts;
  sq_push(v, 2);
  if (SQ_FAILED(sq_setconsttable(v))) return SQ_ERROR;
  return ret_obj(v, old);
}
static SQInteger base_assert(HSQUIRRELVM v) {
  if (!sq_isfalse(ARG(2))) return 0;
  if (sq_gettop(v) > 2) {
    SQObjectPtr s;
    if (!v->toString(ARG(3), s)) return SQ_ERROR;
    return throw_msg(v, _string(s)->_val);
  }
  return throw_msg(v, "assertion failed");
}
static SQInteger base_compilestring(HSQUIRRELVM v) {
  const SQChar* src = _string(ARG(2))->_val;
  SQInteger len = _string(ARG(2))->_len;
  const SQChar* name = sq_gettop(v) > 2 && sq_type(ARG(3)) == OT_STRING ? _string(ARG(3))->_val : "unnamedbuffer";
  if (SQ_FAILED(sq_compilebuffer(v, src, len, name, SQFalse))) return SQ_ERROR;
  return 1;
}
static SQInteger base_collectgarbage(HSQUIRRELVM v) { return ret_obj(v, SQObjectPtr(sq_collectgarbage(v))); }
static SQInteger base_resurrectunreachable(HSQUIRRELVM v) { if (SQ_FAILED(sq_resurrectunreachable(v))) return SQ_ERROR; return 1; }
static SQInteger base_type(HSQUIRRELVM v) { return ret_obj(v, SQObjectPtr(SQString::create(v->_sharedState, sq_type_name(sq_type(ARG(2)))))); }
static SQInteger base_getstackinfos(HSQUIRRELVM v) {
  SQInteger level = tointeger(ARG(2));
  SQStackInfos si;
  // level 0 is getstackinfos itself, 1 its caller
  if (SQ_FAILED(sq_stackinfos(v, level, &si))) return 0;
  SQSharedState* ss = v->_sharedState;
  SQTable* t = SQTable::create(ss, 4);
  SQObjectPtr to(t);
  t->newSlot(SQObjectPtr(ss->str("func")), SQObjectPtr(ss->str(si.funcname)));
  t->newSlot(SQObjectPtr(ss->str("src")), SQObjectPtr(ss->str(si.source)));
  t->newSlot(SQObjectPtr(ss->str("line")), SQObjectPtr(si.line));
  SQTable* locals = SQTable::create(ss, 0);
  t->newSlot(SQObjectPtr(ss->str("locals")), SQObjectPtr(locals));
  for (SQUnsignedInteger i = 0;; i++) {
    const SQChar* name = sq_getlocal(v, level, i);
    if (!name) break;
    SQObjectPtr val = v->top();
    v->pop();
    locals->newSlot(SQObjectPtr(ss->str(name)), val);
  }
  return ret_obj(v, to);
}
static SQInteger base_newthread(HSQUIRRELVM v) {
  SQObjectPtr fn = ARG(2);
  HSQUIRRELVM t = sq_newthread(v, 1024);
  t->push(fn);
  return 1;
}
static SQInteger base_suspend(HSQUIRRELVM v) {
  if (sq_gettop(v) > 1) v->push(ARG(2)); else v->pushNull();
  sq_suspendvm(v);
  return SQ_SUSPEND_FLAG;
}

// ---- registration -------------------------------------------------------------------------
bool sq_compile_typemask(sqvec<SQInteger>& res, const SQChar* typemask);

// Each table ends with a null name.
static void reg_all(SQSharedState* ss, SQTable* t, const SQRegFunction* fns) {
  for (const SQRegFunction* f = fns; f->name; f++) {
    SQNativeClosure* nc = SQNativeClosure::create(ss, f->f, 0);
    SQObjectPtr o(nc);
    nc->_nparamscheck = f->nparamscheck;
    nc->_name = ss->str(f->name);
    if (f->typemask) sq_compile_typemask(nc->_typecheck, f->typemask);
    t->newSlot(SQObjectPtr(ss->str(f->name)), o);
  }
}

static const SQRegFunction g_baseFns[] = {
  {"print", base_print, 2, nullptr},
  {"error", base_error, 2, nullptr},
  {"array", base_array, -2, ".n"},
  {"seterrorhandler", base_seterrorhandler, 2, nullptr},
  {"callee", base_callee, 0, nullptr},
  {"setdebughook", base_setdebughook, 2, nullptr},
  {"enabledebuginfo", base_enabledebuginfo, 2, nullptr},
  {"getroottable", base_getroottable, 0, nullptr},
  {"setroottable", base_setroottable, 2, nullptr},
  {"getconsttable", base_getconsttable, 0, nullptr},
  {"setconsttable", base_setconsttable, 2, nullptr},
  {"assert", base_assert, -2, nullptr},
  {"compilestring", base_compilestring, -2, ".ss"},
  {"collectgarbage", base_collectgarbage, 0, nullptr},
  {"resurrectunreachable", base_resurrectunreachable, 0, nullptr},
  {"type", base_type, 2, nullptr},
  {"getstackinfos", base_getstackinfos, 2, ".n"},
  {"newthread", base_newthread, 2, ".c"},
  {"suspend", base_suspend, -1, nullptr},
  {nullptr, nullptr, 0, nullptr}};

void sq_register_base_lib(SQVM* v) {
  SQSharedState* ss = v->_sharedState;
  SQTable* t = _table(v->_roottable);
  reg_all(ss, t, g_baseFns);
  t->newSlot(SQObjectPtr(ss->str("_versionnumber_")), SQObjectPtr((SQInteger)SQUIRREL_VERSION_NUMBER));
  t->newSlot(SQObjectPtr(ss->str("_version_")), SQObjectPtr(ss->str(SQUIRREL_VERSION)));
  t->newSlot(SQObjectPtr(ss->str("_charsize_")), SQObjectPtr((SQInteger)sizeof(SQChar)));
  t->newSlot(SQObjectPtr(ss->str("_intsize_")), SQObjectPtr((SQInteger)sizeof(SQInteger)));
  t->newSlot(SQObjectPtr(ss->str("_floatsize_")), SQObjectPtr((SQInteger)sizeof(SQFloat)));
}

// ---- shared delegate functions ------------------------------------------------------------
static SQInteger obj_weakref(HSQUIRRELVM v) { sq_weakref(v, 1); return 1; }
static SQInteger obj_tostring(HSQUIRRELVM v) { if (SQ_FAILED(sq_tostring(v, 1))) return SQ_ERROR; return 1; }
static SQInteger obj_len(HSQUIRRELVM v) { return ret_obj(v, SQObjectPtr(sq_getsize(v, 1))); }
// Functions that change their object in place return null (table.setdelegate, documented
// to return its object, is the exception).
static SQInteger obj_clear(HSQUIRRELVM v) { if (SQ_FAILED(sq_clear(v, 1))) return SQ_ERROR; return 0; }
static SQInteger obj_rawget(HSQUIRRELVM v) { if (SQ_FAILED(sq_rawget(v, 1))) return SQ_ERROR; return 1; }
static SQInteger obj_rawset(HSQUIRRELVM v) { if (SQ_FAILED(sq_rawset(v, 1))) return SQ_ERROR; return 0; }
static SQInteger obj_rawin(HSQUIRRELVM v) {
  SQObjectPtr self = ARG(1), key = ARG(2), res;
  bool found = false;
  switch (sq_type(self)) {
    case OT_TABLE: found = _table(self)->findNode(key) != nullptr; break;
    case OT_CLASS: found = _class(self)->_members->findNode(key) != nullptr; break;
    case OT_INSTANCE: found = _instance(self)->_class->_members->findNode(key) != nullptr; break;
    default: break;
  }
  sq_pushbool(v, found);
  return 1;
}

// ---- numbers ------------------------------------------------------------------------------
static SQInteger num_tofloat(HSQUIRRELVM v) {
  SQObjectPtr& o = ARG(1);
  if (sq_type(o) == OT_BOOL) return ret_obj(v, SQObjectPtr((SQFloat)(_integer(o) ? 1 : 0)));
  return ret_obj(v, SQObjectPtr(tofloat(o)));
}
static SQInteger num_tointeger(HSQUIRRELVM v) {
  SQObjectPtr& o = ARG(1);
  if (sq_type(o) == OT_BOOL) return ret_obj(v, SQObjectPtr((SQInteger)(_integer(o) ? 1 : 0)));
  return ret_obj(v, SQObjectPtr(tointeger(o)));
}
static SQInteger num_tochar(HSQUIRRELVM v) {
  SQChar c = (SQChar)tointeger(ARG(1));
  return ret_obj(v, SQObjectPtr(SQString::create(v->_sharedState, &c, 1)));
}

// ---- strings ------------------------------------------------------------------------------
// The number at the start of s: a float when it has a '.' or an exponent (in bases where
// 'e' is not a digit), else an integer in the given base. False when s starts with none.
static bool str_to_number(const SQChar* s, SQInteger base, SQObjectPtr& out) {
  bool isFloat = strchr(s, '.') != nullptr || (base <= 13 && strpbrk(s, "eE") != nullptr);
  char* end = nullptr;
  if (isFloat) {
    double d = strtod(s, &end);
    if (end == s) return false;
    out = SQObjectPtr((SQFloat)d);
    return true;
  }
  long long i = strtoll(s, &end, (int)base);
  if (end == s) return false;
  out = SQObjectPtr((SQInteger)i);
  return true;
}
static SQInteger str_tointeger(HSQUIRRELVM v) {
  SQInteger base = 10;
  if (sq_gettop(v) > 1) { base = tointeger(ARG(2)); if (base < 2 || base > 36) return throw_msg(v, "invalid base"); }
  SQObjectPtr res;
  if (!str_to_number(_string(ARG(1))->_val, base, res)) return throw_msg(v, "cannot convert the string");
  if (sq_type(res) == OT_FLOAT) res = SQObjectPtr(sq_float_to_integer(_float(res)));
  return ret_obj(v, res);
}
static SQInteger str_tofloat(HSQUIRRELVM v) {
  SQObjectPtr res;
  if (!str_to_number(_string(ARG(1))->_val, 10, res)) return throw_msg(v, "cannot convert the string");
  return ret_obj(v, SQObjectPtr(tofloat(res)));
}
// The range of a slice (negative indexes count from the end); the error raised when
// it is reversed or reaches outside the sequence.
static const SQChar* slice_range(HSQUIRRELVM v, SQInteger len, SQInteger& start, SQInteger& end) {
  start = sq_gettop(v) > 1 ? tointeger(ARG(2)) : 0;
  end = sq_gettop(v) > 2 ? tointeger(ARG(3)) : len;
  if (start < 0) start += len;
  if (end < 0) end += len;
  if (start > end) return "wrong indexes";
  if (start < 0 || end > len) return "slice out of range";
  return nullptr;
}
static SQInteger str_slice(HSQUIRRELVM v) {
  SQString* s = _string(ARG(1));
  SQInteger a, b;
  if (const SQChar* err = slice_range(v, s->_len, a, b)) return throw_msg(v, err);
  return ret_obj(v, SQObjectPtr(SQString::create(v->_sharedState, s->_val + a, b - a)));
}
static SQInteger str_find(HSQUIRRELVM v) {
  SQString* s = _string(ARG(1));
  SQString* sub = _string(ARG(2));
  SQInteger start = sq_gettop(v) > 2 ? tointeger(ARG(3)) : 0;
  if (start < 0 || start > s->_len) return 0;
  for (SQInteger i = start; i + sub->_len <= s->_len; i++)
    if (memcmp(s->_val + i, sub->_val, sub->_len) == 0) return ret_obj(v, SQObjectPtr(i));
  return 0;
}
static SQInteger str_case(HSQUIRRELVM v, bool upper) {
  SQString* s = _string(ARG(1));
  SQInteger a = 0, b = s->_len;
  if (sq_gettop(v) > 1) {
    if (const SQChar* err = slice_range(v, s->_len, a, b)) return throw_msg(v, err);
  }
  SQChar* buf = v->_sharedState->scratch(s->_len + 1);
  memcpy(buf, s->_val, s->_len);
  for (SQInteger i = a; i < b; i++) buf[i] = (SQChar)(upper ? toupper((unsigned char)buf[i]) : tolower((unsigned char)buf[i]));
  return ret_obj(v, SQObjectPtr(SQString::create(v->_sharedState, buf, s->_len)));
}
static SQInteger str_tolower(HSQUIRRELVM v) { return str_case(v, false); }
static SQInteger str_toupper(HSQUIRRELVM v) { return str_case(v, true); }

// ---- tables -------------------------------------------------------------------------------
static SQInteger table_rawdelete(HSQUIRRELVM v) { if (SQ_FAILED(sq_rawdeleteslot(v, 1, SQTrue))) return SQ_ERROR; return 1; }
static SQInteger table_setdelegate(HSQUIRRELVM v) {
  if (SQ_FAILED(sq_setdelegate(v, 1))) return SQ_ERROR;
  v->push(ARG(1));
  return 1;
}
static SQInteger table_getdelegate(HSQUIRRELVM v) { if (SQ_FAILED(sq_getdelegate(v, 1))) return SQ_ERROR; return 1; }
static SQInteger table_filter(HSQUIRRELVM v) {
  SQObjectPtr self = ARG(1), fn = ARG(2);
  SQTable* src = _table(self);
  SQTable* res = SQTable::create(v->_sharedState, 0);
  SQObjectPtr ro(res), k, val;
  for (SQInteger it = 0; (it = src->next(it, k, val)) >= 0;) {
    SQObjectPtr r;
    SQObject args[2] = {k, val};
    if (!v->callMeta(fn, self, 2, args, r)) return SQ_ERROR;
    if (!sq_isfalse(r)) res->newSlot(k, val);
  }
  return ret_obj(v, ro);
}
static SQInteger table_keys_values(HSQUIRRELVM v, bool keys) {
  SQTable* src = _table(ARG(1));
  SQArray* a = SQArray::create(v->_sharedState, 0);
  SQObjectPtr ao(a), k, val;
  for (SQInteger it = 0; (it = src->next(it, k, val)) >= 0;) a->_values.push_back(keys ? k : val);
  return ret_obj(v, ao);
}
static SQInteger table_keys(HSQUIRRELVM v) { return table_keys_values(v, true); }
static SQInteger table_values(HSQUIRRELVM v) { return table_keys_values(v, false); }

// ---- arrays -------------------------------------------------------------------------------
static SQInteger array_append(HSQUIRRELVM v) { _array(ARG(1))->_values.push_back(ARG(2)); return 0; }
static SQInteger array_extend(HSQUIRRELVM v) {
  SQArray* a = _array(ARG(1));
  SQObjectPtr other = ARG(2);
  SQArray* b = _array(other);
  SQInteger n = b->size();
  for (SQInteger i = 0; i < n; i++) a->_values.push_back(b->_values[i]);
  return 0;
}
static SQInteger array_pop(HSQUIRRELVM v) {
  SQArray* a = _array(ARG(1));
  if (a->_values.empty()) return throw_msg(v, "empty array");
  SQObjectPtr val = a->_values.back();
  a->_values.pop_back();
  return ret_obj(v, val);
}
static SQInteger array_top(HSQUIRRELVM v) {
  SQArray* a = _array(ARG(1));
  if (a->_values.empty()) return throw_msg(v, "top() on a empty array");
  return ret_obj(v, a->_values.back());
}
static SQInteger array_insert(HSQUIRRELVM v) {
  SQArray* a = _array(ARG(1));
  SQInteger i = tointeger(ARG(2));
  if (i < 0 || i > a->size()) return throw_msg(v, "index out of range");
  a->_values.insert((SQUnsignedInteger)i, ARG(3));
  return 0;
}
static SQInteger array_remove(HSQUIRRELVM v) {
  SQArray* a = _array(ARG(1));
  SQInteger i = tointeger(ARG(2));
  if (i < 0 || i >= a->size()) return throw_msg(v, "idx out of range");
  SQObjectPtr val = a->_values[i];
  a->_values.remove((SQUnsignedInteger)i);
  return ret_obj(v, val);
}
static SQInteger array_resize(HSQUIRRELVM v) {
  SQArray* a = _array(ARG(1));
  SQInteger n = tointeger(ARG(2));
  if (n < 0) return throw_msg(v, "sizes must be positive");
  if (n > 16 * 1024 * 1024) return throw_msg(v, "array too big");
  SQObjectPtr fill;
  if (sq_gettop(v) > 2) fill = ARG(3);
  a->_values.resize((SQUnsignedInteger)n, fill);
  return 0;
}
static SQInteger array_reverse(HSQUIRRELVM v) { sq_arrayreverse(v, 1); return 0; }
static SQInteger array_slice(HSQUIRRELVM v) {
  SQArray* a = _array(ARG(1));
  SQInteger s, e;
  if (const SQChar* err = slice_range(v, a->size(), s, e)) return throw_msg(v, err);
  SQArray* r = SQArray::create(v->_sharedState, 0);
  SQObjectPtr ro(r);
  for (SQInteger i = s; i < e; i++) r->_values.push_back(a->_values[i]);
  return ret_obj(v, ro);
}
static SQInteger array_find(HSQUIRRELVM v) {
  SQArray* a = _array(ARG(1));
  for (SQInteger i = 0; i < a->size(); i++)
    if (v->isEqual(a->_values[i], ARG(2))) return ret_obj(v, SQObjectPtr(i));
  return 0;
}
// The callbacks below run over the elements the array had when the call began; one that
// shrinks the array ends the walk early. Each gets the array as 'this' and a fixed list of
// arguments: map and apply the value, reduce the value so far and the next, filter the
// index and the value.
static SQInteger array_map(HSQUIRRELVM v) {
  SQObjectPtr self = ARG(1), fn = ARG(2);
  SQArray* a = _array(self);
  SQArray* r = SQArray::create(v->_sharedState, 0);
  SQObjectPtr ro(r);
  for (SQInteger i = 0, n = a->size(); i < n && i < a->size(); i++) {
    SQObjectPtr out;
    SQObject args[1] = {a->_values[i]};
    if (!v->callMeta(fn, self, 1, args, out)) return SQ_ERROR;
    r->_values.push_back(out);
  }
  return ret_obj(v, ro);
}
static SQInteger array_apply(HSQUIRRELVM v) {
  SQObjectPtr self = ARG(1), fn = ARG(2);
  SQArray* a = _array(self);
  for (SQInteger i = 0, n = a->size(); i < n && i < a->size(); i++) {
    SQObjectPtr out;
    SQObject args[1] = {a->_values[i]};
    if (!v->callMeta(fn, self, 1, args, out)) return SQ_ERROR;
    if (i < a->size()) a->_values[i] = out;
  }
  return 0;
}
static SQInteger array_reduce(HSQUIRRELVM v) {
  SQObjectPtr self = ARG(1), fn = ARG(2);
  SQArray* a = _array(self);
  SQInteger i = 0;
  SQObjectPtr acc;
  if (sq_gettop(v) > 2) acc = ARG(3);
  else {
    if (a->size() == 0) return 0;
    acc = a->_values[0];
    i = 1;
  }
  for (SQInteger n = a->size(); i < n && i < a->size(); i++) {
    SQObjectPtr out, cur = a->_values[i];
    SQObject args[2] = {acc, cur};
    if (!v->callMeta(fn, self, 2, args, out)) return SQ_ERROR;
    acc = out;
  }
  return ret_obj(v, acc);
}
static SQInteger array_filter(HSQUIRRELVM v) {
  SQObjectPtr self = ARG(1), fn = ARG(2);
  SQArray* a = _array(self);
  SQArray* r = SQArray::create(v->_sharedState, 0);
  SQObjectPtr ro(r);
  for (SQInteger i = 0, n = a->size(); i < n && i < a->size(); i++) {
    SQObjectPtr out, val = a->_values[i];
    SQObject args[2] = {SQObjectPtr(i), val};
    if (!v->callMeta(fn, self, 2, args, out)) return SQ_ERROR;
    if (!sq_isfalse(out)) r->_values.push_back(val);
  }
  return ret_obj(v, ro);
}
struct SortCtx { HSQUIRRELVM v; SQObjectPtr fn; };
static bool sort_compare(SortCtx& c, const SQObjectPtr& a, const SQObjectPtr& b, SQInteger& r) {
  if (sq_type(c.fn) == OT_NULL) return c.v->compare(a, b, r);
  SQObjectPtr out;
  SQObject args[2] = {a, b};
  if (!c.v->callMeta(c.fn, c.v->_roottable, 2, args, out)) return false;
  if (!sq_isnumeric(out)) { c.v->raiseError("numeric value expected as return value of the compare function"); return false; }
  r = tointeger(out);
  return true;
}
// Heap sort in the exact shape scripts can observe through the order of equal keys: the
// children of index r are 2r and 2r+1 (so index 0 is its own first child), and a sift stops
// at the first parent not smaller than its larger child. A comparison that fails leaves the
// work array whole.
static bool sift_down(SortCtx& c, sqvec<SQObjectPtr>& arr, SQInteger root, SQInteger bottom) {
  while (root * 2 <= bottom) {
    SQInteger child = root * 2, r;
    if (child != bottom) {
      if (!sort_compare(c, arr[child], arr[child + 1], r)) return false;
      if (r <= 0) child++;
    }
    if (!sort_compare(c, arr[root], arr[child], r)) return false;
    if (r >= 0) return true;
    if (child == root) { c.v->raiseError("inconsistent compare function"); return false; }
    std::swap(arr[root], arr[child]);
    root = child;
  }
  return true;
}
static SQInteger array_sort(HSQUIRRELVM v) {
  SQObjectPtr self = ARG(1);
  SortCtx c{v, sq_gettop(v) > 1 ? SQObjectPtr(ARG(2)) : SQObjectPtr()};
  SQArray* a = _array(self);
  // sort a copy so that a compare function touching the array cannot break the sort
  sqvec<SQObjectPtr> work;
  for (SQInteger i = 0; i < a->size(); i++) work.push_back(a->_values[i]);
  SQInteger n = (SQInteger)work.size();
  for (SQInteger i = n / 2; i >= 0; i--) if (!sift_down(c, work, i, n - 1)) return SQ_ERROR;
  for (SQInteger i = n - 1; i > 0; i--) {
    std::swap(work[0], work[i]);
    if (!sift_down(c, work, 0, i - 1)) return SQ_ERROR;
  }
  a->_values.resize(0);
  for (SQInteger i = 0; i < n; i++) a->_values.push_back(work[i]);
  return 0;
}

// ---- functions ----------------------------------------------------------------------------
// call and pcall differ only in whether an error reaches the error handler.
static SQInteger closure_call_impl(HSQUIRRELVM v, bool raise) {
  SQObjectPtr fn = ARG(1), res;
  SQInteger n = sq_gettop(v) - 1;
  if (n < 1) return throw_msg(v, "wrong number of parameters");
  if (!v->call(fn, n, v->_stackbase + 1, res, raise)) return SQ_ERROR;
  return ret_obj(v, res);
}
static SQInteger closure_call(HSQUIRRELVM v) { return closure_call_impl(v, true); }
static SQInteger closure_pcall(HSQUIRRELVM v) { return closure_call_impl(v, false); }
static SQInteger closure_acall_impl(HSQUIRRELVM v, bool raise) {
  SQObjectPtr fn = ARG(1), arr = ARG(2), res;
  SQArray* a = _array(arr);
  if (a->size() < 1) return throw_msg(v, "wrong number of parameters");
  SQInteger base = v->_top;
  for (SQInteger i = 0; i < a->size(); i++) v->push(a->_values[i]);
  bool ok = v->call(fn, a->size(), base, res, raise);
  v->setTop(base);
  if (!ok) return SQ_ERROR;
  return ret_obj(v, res);
}
static SQInteger closure_acall(HSQUIRRELVM v) { return closure_acall_impl(v, true); }
static SQInteger closure_pacall(HSQUIRRELVM v) { return closure_acall_impl(v, false); }
static SQInteger closure_bindenv(HSQUIRRELVM v) { if (SQ_FAILED(sq_bindenv(v, 1))) return SQ_ERROR; return 1; }
static SQInteger closure_setroot(HSQUIRRELVM v) { if (SQ_FAILED(sq_setclosureroot(v, 1))) return SQ_ERROR; return 0; }
static SQInteger closure_getroot(HSQUIRRELVM v) { if (SQ_FAILED(sq_getclosureroot(v, 1))) return SQ_ERROR; return 1; }
static SQInteger closure_getinfos(HSQUIRRELVM v) {
  SQObjectPtr o = ARG(1);
  SQSharedState* ss = v->_sharedState;
  SQTable* t = SQTable::create(ss, 0);
  SQObjectPtr to(t);
  if (sq_type(o) == OT_CLOSURE) {
    SQFunctionProto* p = _closure(o)->_proto;
    SQArray* params = SQArray::create(ss, 0);
    SQArray* defs = SQArray::create(ss, 0);
    // a function with ... lists its hidden vargv parameter before the "..."
    SQInteger nnamed = p->_nparams + (p->_varparams ? 1 : 0);
    for (SQUnsignedInteger i = 0; i < p->_locals.size(); i++) {
      SQLocalVarInfo& lv = p->_locals[i];
      if (lv.pos < nnamed && lv.startPc == 0) {
        if ((SQInteger)params->_values.size() <= lv.pos) params->_values.resize(lv.pos + 1);
        params->_values[lv.pos] = lv.name;
      }
    }
    if (p->_varparams) params->_values.push_back(SQObjectPtr(ss->str("...")));
    for (SQInteger i = 0; i < _closure(o)->_ndefaults; i++) defs->_values.push_back(_closure(o)->_defaults[i]);
    t->newSlot(SQObjectPtr(ss->str("native")), SQObjectPtr(false));
    t->newSlot(SQObjectPtr(ss->str("name")), p->_name);
    t->newSlot(SQObjectPtr(ss->str("src")), p->_sourcename);
    t->newSlot(SQObjectPtr(ss->str("parameters")), SQObjectPtr(params));
    t->newSlot(SQObjectPtr(ss->str("varargs")), SQObjectPtr((SQInteger)(p->_varparams ? 1 : 0)));
    t->newSlot(SQObjectPtr(ss->str("defparams")), SQObjectPtr(defs));
  } else {
    SQNativeClosure* nc = _nativeclosure(o);
    t->newSlot(SQObjectPtr(ss->str("native")), SQObjectPtr(true));
    t->newSlot(SQObjectPtr(ss->str("name")), nc->_name);
    t->newSlot(SQObjectPtr(ss->str("paramscheck")), SQObjectPtr(nc->_nparamscheck));
    SQArray* tc = SQArray::create(ss, 0);
    for (SQUnsignedInteger i = 0; i < nc->_typecheck.size(); i++) tc->_values.push_back(SQObjectPtr(nc->_typecheck[i]));
    t->newSlot(SQObjectPtr(ss->str("typecheck")), SQObjectPtr(tc));
  }
  return ret_obj(v, to);
}

// ---- generators ---------------------------------------------------------------------------
static SQInteger generator_getstatus(HSQUIRRELVM v) {
  static const char* names[] = {"suspended", "running", "dead"};
  return ret_obj(v, SQObjectPtr(v->_sharedState->str(names[_generator(ARG(1))->_state])));
}

// ---- threads ------------------------------------------------------------------------------
static SQInteger thread_call(HSQUIRRELVM v) {
  SQObjectPtr self = ARG(1);
  SQVM* t = _thread(self);
  if (t->_state != SQ_VMSTATE_IDLE) return throw_msg(v, "wrong thread state");
  if (t->_top < 1) return throw_msg(v, "the thread has no function");
  SQObjectPtr fn = t->_stack[0];
  SQInteger n = sq_gettop(v);
  t->setTop(1);
  SQInteger base = t->_top;
  t->push(t->_roottable);
  for (SQInteger i = 2; i <= n; i++) t->push(ARG(i));
  SQObjectPtr res;
  t->_state = SQ_VMSTATE_RUNNING;
  bool ok = t->call(fn, n, base, res, true);
  if (!ok) {
    t->_state = SQ_VMSTATE_IDLE;
    t->setTop(1);
    v->_lasterror = t->_lasterror;
    return SQ_ERROR;
  }
  if (t->_state != SQ_VMSTATE_SUSPENDED) { t->_state = SQ_VMSTATE_IDLE; t->setTop(1); }
  return ret_obj(v, res);
}
static SQInteger thread_wakeup_impl(HSQUIRRELVM v, bool throwing) {
  SQObjectPtr self = ARG(1);
  SQVM* t = _thread(self);
  if (t->_state == SQ_VMSTATE_IDLE) return throw_msg(v, "cannot wakeup a idle thread");
  if (t->_state == SQ_VMSTATE_RUNNING) return throw_msg(v, "cannot wakeup a running thread");
  SQObjectPtr val;
  bool has = sq_gettop(v) > 1;
  if (has) val = ARG(2);
  if (!t->wakeup(has, val, true, true, throwing)) {
    v->_lasterror = t->_lasterror;
    t->setTop(1);
    return SQ_ERROR;
  }
  SQObjectPtr res = t->_suspendValue;
  if (t->_state == SQ_VMSTATE_IDLE) t->setTop(1);
  return ret_obj(v, res);
}
static SQInteger thread_wakeup(HSQUIRRELVM v) { return thread_wakeup_impl(v, false); }
static SQInteger thread_wakeupthrow(HSQUIRRELVM v) { return thread_wakeup_impl(v, true); }
static SQInteger thread_getstatus(HSQUIRRELVM v) {
  static const char* names[] = {"idle", "running", "suspended"};
  return ret_obj(v, SQObjectPtr(v->_sharedState->str(names[_thread(ARG(1))->_state])));
}
static SQInteger thread_getstackinfos(HSQUIRRELVM v) {
  SQVM* t = _thread(ARG(1));
  SQStackInfos si;
  if (SQ_FAILED(sq_stackinfos(t, tointeger(ARG(2)), &si))) return 0;
  SQSharedState* ss = v->_sharedState;
  SQTable* tb = SQTable::create(ss, 3);
  SQObjectPtr to(tb);
  tb->newSlot(SQObjectPtr(ss->str("func")), SQObjectPtr(ss->str(si.funcname)));
  tb->newSlot(SQObjectPtr(ss->str("src")), SQObjectPtr(ss->str(si.source)));
  tb->newSlot(SQObjectPtr(ss->str("line")), SQObjectPtr(si.line));
  return ret_obj(v, to);
}

// ---- classes and instances ----------------------------------------------------------------
static SQInteger class_getattributes(HSQUIRRELVM v) { if (SQ_FAILED(sq_getattributes(v, 1))) return SQ_ERROR; return 1; }
static SQInteger class_setattributes(HSQUIRRELVM v) { if (SQ_FAILED(sq_setattributes(v, 1))) return SQ_ERROR; return 1; }
static SQInteger class_instance(HSQUIRRELVM v) { if (SQ_FAILED(sq_createinstance(v, 1))) return SQ_ERROR; return 1; }
static SQInteger class_getbase(HSQUIRRELVM v) { if (SQ_FAILED(sq_getbase(v, 1))) return SQ_ERROR; return 1; }
static SQInteger class_newmember_impl(HSQUIRRELVM v, bool raw) {
  SQInteger top = sq_gettop(v);
  SQObjectPtr self = ARG(1), key = ARG(2), val = ARG(3), attrs;
  bool bstatic = false;
  if (top > 3) attrs = ARG(4);
  if (top > 4) bstatic = !sq_isfalse(ARG(5));
  if (!v->classNewMember(_class(self), key, val, attrs, bstatic, raw)) return SQ_ERROR;
  return 0;
}
static SQInteger class_newmember(HSQUIRRELVM v) { return class_newmember_impl(v, false); }
static SQInteger class_rawnewmember(HSQUIRRELVM v) { return class_newmember_impl(v, true); }
static SQInteger instance_getclass(HSQUIRRELVM v) { if (SQ_FAILED(sq_getclass(v, 1))) return SQ_ERROR; return 1; }

// ---- weak references ----------------------------------------------------------------------
static SQInteger weakref_ref(HSQUIRRELVM v) { if (SQ_FAILED(sq_getweakrefval(v, 1))) return SQ_ERROR; return 1; }

// ---- the default delegates ----------------------------------------------------------------
static const SQRegFunction g_numberDelegateFns[] = {
  {"tofloat", num_tofloat, 1, "n|b"},
  {"tointeger", num_tointeger, 1, "n|b"},
  {"tostring", obj_tostring, 1, "."},
  {"tochar", num_tochar, 1, "n|b"},
  {"weakref", obj_weakref, 1, nullptr},
  {nullptr, nullptr, 0, nullptr}};

static const SQRegFunction g_stringDelegateFns[] = {
  {"len", obj_len, 1, "s"},
  {"tointeger", str_tointeger, -1, "sn"},
  {"tofloat", str_tofloat, 1, "s"},
  {"tostring", obj_tostring, 1, "."},
  {"slice", str_slice, -1, "snn"},
  {"find", str_find, -2, "ssn"},
  {"tolower", str_tolower, -1, "snn"},
  {"toupper", str_toupper, -1, "snn"},
  {"weakref", obj_weakref, 1, nullptr},
  {nullptr, nullptr, 0, nullptr}};

static const SQRegFunction g_tableDelegateFns[] = {
  {"len", obj_len, 1, "t"},
  {"rawget", obj_rawget, 2, "t"},
  {"rawset", obj_rawset, 3, "t"},
  {"rawdelete", table_rawdelete, 2, "t"},
  {"rawin", obj_rawin, 2, "t"},
  {"weakref", obj_weakref, 1, nullptr},
  {"tostring", obj_tostring, 1, "."},
  {"clear", obj_clear, 1, "."},
  {"setdelegate", table_setdelegate, 2, ".t|o"},
  {"getdelegate", table_getdelegate, 1, "."},
  {"filter", table_filter, 2, "tc"},
  {"keys", table_keys, 1, "t"},
  {"values", table_values, 1, "t"},
  {nullptr, nullptr, 0, nullptr}};

static const SQRegFunction g_arrayDelegateFns[] = {
  {"len", obj_len, 1, "a"},
  {"append", array_append, 2, "a"},
  {"push", array_append, 2, "a"},
  {"extend", array_extend, 2, "aa"},
  {"pop", array_pop, 1, "a"},
  {"top", array_top, 1, "a"},
  {"insert", array_insert, 3, "an"},
  {"remove", array_remove, 2, "an"},
  {"resize", array_resize, -2, "an"},
  {"sort", array_sort, -1, "ac"},
  {"reverse", array_reverse, 1, "a"},
  {"slice", array_slice, -1, "ann"},
  {"weakref", obj_weakref, 1, nullptr},
  {"tostring", obj_tostring, 1, "."},
  {"clear", obj_clear, 1, "."},
  {"map", array_map, 2, "ac"},
  {"apply", array_apply, 2, "ac"},
  {"reduce", array_reduce, -2, "ac"},
  {"filter", array_filter, 2, "ac"},
  {"find", array_find, 2, "a."},
  {nullptr, nullptr, 0, nullptr}};

static const SQRegFunction g_closureDelegateFns[] = {
  {"call", closure_call, -1, "c"},
  {"pcall", closure_pcall, -1, "c"},
  {"acall", closure_acall, 2, "ca"},
  {"pacall", closure_pacall, 2, "ca"},
  {"weakref", obj_weakref, 1, nullptr},
  {"tostring", obj_tostring, 1, "."},
  {"bindenv", closure_bindenv, 2, "c x|y|t"},
  {"getinfos", closure_getinfos, 1, "c"},
  {"setroot", closure_setroot, 2, "ct"},
  {"getroot", closure_getroot, 1, "c"},
  {nullptr, nullptr, 0, nullptr}};

static const SQRegFunction g_generatorDelegateFns[] = {
  {"getstatus", generator_getstatus, 1, "g"},
  {"weakref", obj_weakref, 1, nullptr},
  {"tostring", obj_tostring, 1, "."},
  {nullptr, nullptr, 0, nullptr}};

static const SQRegFunction g_threadDelegateFns[] = {
  {"call", thread_call, -1, "v"},
  {"wakeup", thread_wakeup, -1, "v"},
  {"wakeupthrow", thread_wakeupthrow, -2, "v"},
  {"getstatus", thread_getstatus, 1, "v"},
  {"weakref", obj_weakref, 1, nullptr},
  {"getstackinfos", thread_getstackinfos, 2, "vn"},
  {"tostring", obj_tostring, 1, "."},
  {nullptr, nullptr, 0, nullptr}};

static const SQRegFunction g_classDelegateFns[] = {
  {"getattributes", class_getattributes, 2, "y."},
  {"setattributes", class_setattributes, 3, "y.."},
  {"rawget", obj_rawget, 2, "y"},
  {"rawset", obj_rawset, 3, "y"},
  {"rawin", obj_rawin, 2, "y"},
  {"weakref", obj_weakref, 1, nullptr},
  {"tostring", obj_tostring, 1, "."},
  {"instance", class_instance, 1, "y"},
  {"getbase", class_getbase, 1, "y"},
  {"newmember", class_newmember, -3, "y"},
  {"rawnewmember", class_rawnewmember, -3, "y"},
  {nullptr, nullptr, 0, nullptr}};

static const SQRegFunction g_instanceDelegateFns[] = {
  {"getclass", instance_getclass, 1, "x"},
  {"rawget", obj_rawget, 2, "x"},
  {"rawset", obj_rawset, 3, "x"},
  {"rawin", obj_rawin, 2, "x"},
  {"weakref", obj_weakref, 1, nullptr},
  {"tostring", obj_tostring, 1, "."},
  {nullptr, nullptr, 0, nullptr}};

static const SQRegFunction g_weakrefDelegateFns[] = {
  {"ref", weakref_ref, 1, "r"},
  {"weakref", obj_weakref, 1, nullptr},
  {"tostring", obj_tostring, 1, "."},
  {nullptr, nullptr, 0, nullptr}};

struct DefaultDelegate { SQObjectPtr SQSharedState::*slot; const SQRegFunction* fns; };
static const DefaultDelegate g_defaultDelegates[] = {
  {&SQSharedState::_numberDelegate, g_numberDelegateFns},
  {&SQSharedState::_stringDelegate, g_stringDelegateFns},
  {&SQSharedState::_tableDelegate, g_tableDelegateFns},
  {&SQSharedState::_arrayDelegate, g_arrayDelegateFns},
  {&SQSharedState::_closureDelegate, g_closureDelegateFns},
  {&SQSharedState::_generatorDelegate, g_generatorDelegateFns},
  {&SQSharedState::_threadDelegate, g_threadDelegateFns},
  {&SQSharedState::_classDelegate, g_classDelegateFns},
  {&SQSharedState::_instanceDelegate, g_instanceDelegateFns},
  {&SQSharedState::_weakrefDelegate, g_weakrefDelegateFns},
};

void sq_init_default_delegates(SQSharedState* ss, SQVM*) {
  for (const DefaultDelegate& d : g_defaultDelegates) {
    SQTable* t = SQTable::create(ss, 0);
    ss->*d.slot = SQObjectPtr(t);
    reg_all(ss, t, d.fns);
  }
}
