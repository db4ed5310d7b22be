// Generic object operations of the VM: get, set, new slot, delete, arithmetic, comparison,
// conversion to string, typeof, clone and iteration, with their metamethods.
#include "sqvm.h"
#include <stdio.h>
#include <string.h>
#include <math.h>

// ---- object operations ----------------------------------------------------------------------
bool SQVM::getDefaultDelegate(const SQObject& self, SQObjectPtr& out) {
  SQSharedState* ss = _sharedState;
  switch (sq_type(self)) {
    case OT_TABLE: out = ss->_tableDelegate; return true;
    case OT_ARRAY: out = ss->_arrayDelegate; return true;
    case OT_STRING: out = ss->_stringDelegate; return true;
    case OT_INTEGER: case OT_FLOAT: case OT_BOOL: out = ss->_numberDelegate; return true;
    case OT_CLOSURE: case OT_NATIVECLOSURE: out = ss->_closureDelegate; return true;
    case OT_GENERATOR: out = ss->_generatorDelegate; return true;
    case OT_THREAD: out = ss->_threadDelegate; return true;
    case OT_CLASS: out = ss->_classDelegate; return true;
    case OT_INSTANCE: out = ss->_instanceDelegate; return true;
    case OT_WEAKREF: out = ss->_weakrefDelegate; return true;
    default: return false;
  }
}

bool SQVM::getMetaMethod(const SQObject& self, SQMetaMethod mm, SQObjectPtr& out) {
  switch (sq_type(self)) {
    case OT_INSTANCE:
      out = _instance(self)->_class->_metamethods[mm];
      return sq_type(out) != OT_NULL;
    case OT_TABLE: case OT_USERDATA: {
      SQTable* d = ((SQDelegable*)_refcounted(self))->_delegate;
      for (; d; d = d->_delegate)
        if (d->get(_sharedState->_metaNames[mm], out)) return true;
      return false;
    }
    default: return false;
  }
}

// A metamethod _get/_set reports a clean "not found" by throwing null.
static bool meta_not_found(SQVM* v) { return sq_type(v->_lasterror) == OT_NULL; }

bool SQVM::get(const SQObject& self, const SQObject& key, SQObjectPtr& out, bool raw, bool throwIfMissing) {
  switch (sq_type(self)) {
    case OT_TABLE: {
      SQTable* t = _table(self);
      if (t->get(key, out)) { out = sq_slot_value(out); return true; }
      if (!raw) {
        for (SQTable* d = t->_delegate; d; d = d->_delegate) {
          if (d->get(key, out)) { out = sq_slot_value(out); return true; }
        }
      }
      break;
    }
    case OT_ARRAY:
      if (sq_isnumeric(key)) {
        SQInteger i = tointeger(key);
        SQArray* a = _array(self);
        if (i >= 0 && i < a->size()) { out = sq_slot_value(a->_values[i]); return true; }
        if (throwIfMissing) { SQObjectPtr k(i); raiseIdxError(k); return false; }
        return false;
      }
      break;
    case OT_STRING:
      if (sq_isnumeric(key)) {
        SQInteger i = tointeger(key);
        SQString* s = _string(self);
        if (i < 0) i += s->_len;
        if (i >= 0 && i < s->_len) { out = SQObjectPtr((SQInteger)(unsigned char)s->_val[i]); return true; }
        if (throwIfMissing) { SQObjectPtr k(tointeger(key)); raiseIdxError(k); return false; }
        return false;
      }
      break;
    case OT_INSTANCE:
      if (_instance(self)->get(key, out)) return true;
      break;
    case OT_CLASS:
      if (_class(self)->get(key, out)) return true;
      break;
    case OT_USERDATA:
      if (!raw) {
        for (SQTable* d = _userdata(self)->_delegate; d; d = d->_delegate)
          if (d->get(key, out)) return true;
      }
      break;
    default: break;
  }
  if (!raw) {
    // a delegate is a table: through it, a table's or userdata's lookup reaches the table
    // default delegate before any _get
    if ((sq_type(self) == OT_TABLE || sq_type(self) == OT_USERDATA) && ((SQDelegable*)_refcounted(self))->_delegate &&
        _table(_sharedState->_tableDelegate)->get(key, out))
      return true;
    // _get metamethod
    SQObjectPtr mm;
    if (sq_type(self) != OT_CLASS && getMetaMethod(self, MT_GET, mm)) {
      SQObject args[1] = {key};
      if (callMeta(mm, self, 1, args, out, false)) return true;
      if (!meta_not_found(this)) { _metaFailed = true; return false; }
    }
    SQObjectPtr dd;
    if (getDefaultDelegate(self, dd) && _table(dd)->get(key, out)) return true;
  }
  if (throwIfMissing) {
    if (sq_type(self) == OT_NULL || (sq_type(self) & SQOBJECT_NUMERIC) == 0) {
      if (sq_type(self) != OT_TABLE && sq_type(self) != OT_INSTANCE && sq_type(self) != OT_CLASS &&
          sq_type(self) != OT_ARRAY && sq_type(self) != OT_STRING && sq_type(self) != OT_USERDATA) {
        SQObjectPtr ks(printable(key));
        raiseError("the index '%.200s' does not exist", _string(ks)->_val);
        return false;
      }
    }
    raiseIdxError(key);
  }
  return false;
}

bool SQVM::getGlobal(const SQObject& self, const SQObject& root, const SQObject& key, SQObjectPtr& out) {
  _metaFailed = false;
  if (get(self, key, out, false, false)) return true;
  // a _get that failed with an error (not a clean "throw null") ends the lookup
  if (_metaFailed) return false;
  if (sq_type(root) == OT_TABLE && _table(root)->get(key, out)) { out = sq_slot_value(out); return true; }
  if (sq_type(root) == OT_TABLE && get(root, key, out, false, false)) return true;
  raiseIdxError(key);
  return false;
}

bool SQVM::setGlobal(const SQObject& self, const SQObject& root, const SQObject& key, const SQObject& val) {
  bool inThis = false;
  if (sq_type(self) == OT_TABLE) inThis = _table(self)->findNode(key) != nullptr;
  else if (sq_type(self) == OT_INSTANCE) inThis = _instance(self)->_class->_members->findNode(key) != nullptr;
  if (inThis) return set(self, key, val, false);
  if (sq_type(root) == OT_TABLE && _table(root)->findNode(key)) return set(root, key, val, false);
  if (sq_type(self) == OT_TABLE || sq_type(self) == OT_INSTANCE) {
    // through delegates and _set
    if (set(self, key, val, false)) return true;
    return false;
  }
  raiseIdxError(key);
  return false;
}

bool SQVM::set(const SQObject& self, const SQObject& key, const SQObject& val, bool raw) {
  switch (sq_type(self)) {
    case OT_TABLE: {
      if (_table(self)->set(key, val)) return true;
      if (!raw) {
        for (SQTable* d = _table(self)->_delegate; d; d = d->_delegate)
          if (d->set(key, val)) return true;
      }
      break;
    }
    case OT_ARRAY: {
      if (!sq_isnumeric(key)) { raiseError("indexing %s with %s", "array", sq_type_name(sq_type(key))); return false; }
      SQInteger i = tointeger(key);
      SQArray* a = _array(self);
      if (i < 0 || i >= a->size()) { SQObjectPtr k(i); raiseIdxError(k); return false; }
      a->_values[i] = val;
      return true;
    }
    case OT_INSTANCE:
      if (_instance(self)->set(key, val)) return true;
      break;
    case OT_CLASS:
      // members of a class change only through '<-' (before it has instances)
      raiseError("trying to set 'class'");
      return false;
    case OT_USERDATA: break;
    default:
      raiseError("trying to set '%s'", sq_type_name(sq_type(self)));
      return false;
  }
  if (!raw) {
    SQObjectPtr mm;
    if (getMetaMethod(self, MT_SET, mm)) {
      SQObject args[2] = {key, val};
      SQObjectPtr ret;
      if (callMeta(mm, self, 2, args, ret, false)) return true;
      if (!meta_not_found(this)) return false;
    }
  }
  raiseIdxError(key);
  return false;
}

bool SQVM::newSlot(const SQObject& self, const SQObject& key, const SQObject& val, bool bstatic, bool raw) {
  if (sq_type(key) == OT_NULL) { raiseError("null cannot be used as index"); return false; }
  switch (sq_type(self)) {
    case OT_TABLE: {
      SQTable* t = _table(self);
      if (!raw && !t->findNode(key)) {
        SQObjectPtr mm;
        if (getMetaMethod(self, MT_NEWSLOT, mm)) {
          SQObject args[2] = {key, val};
          SQObjectPtr ret;
          return callMeta(mm, self, 2, args, ret);
        }
      }
      if (sq_type(key) == OT_FLOAT && isnan(_float(key))) { raiseError("NaN cannot be used as index"); return false; }
      t->newSlot(key, val);
      return true;
    }
    case OT_CLASS: {
      SQObjectPtr attrs;
      return classNewMember(_class(self), key, val, attrs, bstatic, raw);
    }
    case OT_INSTANCE: raiseError("class instances do not support the new slot operator"); return false;
    default:
      raiseError("indexing %s with %s", sq_type_name(sq_type(self)), sq_type_name(sq_type(key)));
      return false;
  }
}

bool SQVM::classNewMember(SQClass* c, const SQObject& key, const SQObject& val, const SQObject& attrs, bool bstatic, bool raw) {
  if (sq_type(key) == OT_NULL) { raiseError("null cannot be used as index"); return false; }
  if (!raw && sq_type(c->_metamethods[MT_NEWMEMBER]) != OT_NULL) {
    SQObjectPtr fn = c->_metamethods[MT_NEWMEMBER], ret, self(c);
    SQObject args[4] = {key, val, attrs, SQObjectPtr(bstatic)};
    return callMeta(fn, self, 4, args, ret);
  }
  // once instantiated, a class takes only methods and statics (the instances' layout is fixed)
  bool isFunc = sq_type(val) == OT_CLOSURE || sq_type(val) == OT_NATIVECLOSURE;
  if (c->_locked && !isFunc && !bstatic) {
    raiseError("trying to modify a class that has already been instantiated");
    return false;
  }
  c->newSlot(_sharedState, key, val, bstatic);
  if (sq_type(attrs) != OT_NULL) c->setAttributes(key, attrs);
  return true;
}

bool SQVM::createClass(SQClass* base, const SQObject& attrs, SQObjectPtr& out) {
  SQClass* c = SQClass::create(_sharedState, base);
  out = SQObjectPtr(c);
  c->_attributes = attrs;
  if (base && sq_type(base->_metamethods[MT_INHERITED]) != OT_NULL) {
    SQObjectPtr fn = base->_metamethods[MT_INHERITED], ret;
    SQObject args[1] = {attrs};
    if (!callMeta(fn, out, 1, args, ret)) return false;
  }
  return true;
}

bool SQVM::deleteSlot(const SQObject& self, const SQObject& key, SQObjectPtr& out, bool raw) {
  SQObjectType type = sq_type(self);
  if (type != OT_TABLE && type != OT_INSTANCE && type != OT_USERDATA && type != OT_CLASS) {
    raiseError("attempt to delete a slot from a %s", sq_type_name(type));
    return false;
  }
  if (!raw) {
    // a table's delegate, or an instance's class, may handle it
    SQObjectPtr mm;
    if (getMetaMethod(self, MT_DELSLOT, mm)) {
      SQObject args[1] = {key};
      return callMeta(mm, self, 1, args, out);
    }
  }
  if (type == OT_INSTANCE || type == OT_CLASS) { raiseError("cannot delete a slot from %s", sq_type_name(type)); return false; }
  if (type != OT_TABLE) { raiseIdxError(key); return false; }
  SQTable* t = _table(self);
  if (!t->get(key, out)) { raiseIdxError(key); return false; }
  t->remove(key);
  return true;
}

bool SQVM::exists(const SQObject& self, const SQObject& key, bool& res) {
  SQObjectPtr tmp;
  switch (sq_type(self)) {
    case OT_TABLE: case OT_INSTANCE: case OT_CLASS: case OT_ARRAY: case OT_STRING: case OT_USERDATA:
      // the object's own slots: no delegate, no _get
      res = get(self, key, tmp, true, false);
      return true;
    default:
      res = false;
      return true;
  }
}

static SQInteger int_shift(int op, SQInteger a, SQInteger b) {
  SQUnsignedInteger s = (SQUnsignedInteger)b & 63;
  switch (op) {
    case 'L': return (SQInteger)((SQUnsignedInteger)a << s);
    case 'R': return a >> s;
    default: return (SQInteger)((SQUnsignedInteger)a >> s);
  }
}

bool SQVM::arith(int op, const SQObject& a, const SQObject& b, SQObjectPtr& out) {
  SQObjectType ta = sq_type(a), tb = sq_type(b);
  if (ta == OT_INTEGER && tb == OT_INTEGER) {
    SQInteger x = _integer(a), y = _integer(b);
    switch (op) {
      case '+': out.setInt((SQInteger)((SQUnsignedInteger)x + (SQUnsignedInteger)y)); return true;
      case '-': out.setInt((SQInteger)((SQUnsignedInteger)x - (SQUnsignedInteger)y)); return true;
      case '*': out.setInt((SQInteger)((SQUnsignedInteger)x * (SQUnsignedInteger)y)); return true;
      case '/':
        if (y == 0) { raiseError("division by zero"); return false; }
        if (y == -1) { out.setInt((SQInteger)(0 - (SQUnsignedInteger)x)); return true; }
        out.setInt(x / y); return true;
      case '%':
        if (y == 0) { raiseError("modulo by zero"); return false; }
        if (y == -1) { out.setInt(0); return true; }
        out.setInt(x % y); return true;
      case '&': out.setInt(x & y); return true;
      case '|': out.setInt(x | y); return true;
      case '^': out.setInt(x ^ y); return true;
      case 'L': case 'R': case 'U': out.setInt(int_shift(op, x, y)); return true;
    }
  }
  if ((ta & SQOBJECT_NUMERIC) && (tb & SQOBJECT_NUMERIC)) {
    if (op == '&' || op == '|' || op == '^' || op == 'L' || op == 'R' || op == 'U') {
      raiseError("bitwise op between '%s' and '%s'", sq_type_name(ta), sq_type_name(tb));
      return false;
    }
    SQFloat x = tofloat(a), y = tofloat(b);
    switch (op) {
      case '+': out.setFloat(x + y); return true;
      case '-': out.setFloat(x - y); return true;
      case '*': out.setFloat(x * y); return true;
      case '/': out.setFloat(x / y); return true;
      case '%': out.setFloat(fmodf(x, y)); return true;
    }
  }
  if (op == '+' && (ta == OT_STRING || tb == OT_STRING)) return concat(a, b, out);
  SQMetaMethod mm;
  switch (op) {
    case '+': mm = MT_ADD; break;
    case '-': mm = MT_SUB; break;
    case '*': mm = MT_MUL; break;
    case '/': mm = MT_DIV; break;
    case '%': mm = MT_MODULO; break;
    default: mm = MT_LAST;
  }
  if (mm != MT_LAST) {
    SQObjectPtr fn;
    if (getMetaMethod(a, mm, fn)) {
      SQObject args[1] = {b};
      return callMeta(fn, a, 1, args, out);
    }
  }
  if (op == '&' || op == '|' || op == '^' || op == 'L' || op == 'R' || op == 'U')
    raiseError("bitwise op between '%s' and '%s'", sq_type_name(ta), sq_type_name(tb));
  else
    raiseError("arith op %c on between '%s' and '%s'", op, sq_type_name(ta), sq_type_name(tb));
  return false;
}

bool SQVM::unaryMinus(const SQObject& a, SQObjectPtr& out) {
  switch (sq_type(a)) {
    case OT_INTEGER: out.setInt((SQInteger)(0 - (SQUnsignedInteger)_integer(a))); return true;
    case OT_FLOAT: out.setFloat(-_float(a)); return true;
    default: {
      SQObjectPtr fn;
      if (getMetaMethod(a, MT_UNM, fn)) return callMeta(fn, a, 0, nullptr, out);
      raiseError("attempt to negate a %s", sq_type_name(sq_type(a)));
      return false;
    }
  }
}

bool SQVM::isEqual(const SQObject& a, const SQObject& b) {
  if (sq_type(a) == sq_type(b)) {
    if (sq_type(a) == OT_FLOAT) return _float(a) == _float(b);
    if (sq_type(a) == OT_BOOL) return (_integer(a) != 0) == (_integer(b) != 0);
    if (sq_type(a) == OT_NULL) return true;
    return _rawval(a) == _rawval(b);
  }
  if (sq_isnumeric(a) && sq_isnumeric(b)) return tofloat(a) == tofloat(b);
  return false;
}
bool sq_is_equal(const SQObject& a, const SQObject& b) {
  if (sq_type(a) == sq_type(b)) return sq_type(a) == OT_FLOAT ? _float(a) == _float(b) : sq_type(a) == OT_NULL || _rawval(a) == _rawval(b);
  if (sq_isnumeric(a) && sq_isnumeric(b)) return tofloat(a) == tofloat(b);
  return false;
}

// How a value appears in a comparison error: strings and numbers by value, the rest by type.
static SQObjectPtr compare_operand_text(SQSharedState* ss, const SQObject& o) {
  if (sq_type(o) == OT_STRING) return o;
  if (sq_isnumeric(o)) return SQObjectPtr(sq_format_number(ss, o));
  return SQObjectPtr(SQString::create(ss, sq_type_name(sq_type(o))));
}

bool SQVM::compare(const SQObject& a, const SQObject& b, SQInteger& res) {
  SQObjectType ta = sq_type(a), tb = sq_type(b);
  if (ta == tb) {
    switch (ta) {
      case OT_INTEGER: res = _integer(a) < _integer(b) ? -1 : _integer(a) > _integer(b) ? 1 : 0; return true;
      case OT_FLOAT: res = _float(a) < _float(b) ? -1 : _float(a) > _float(b) ? 1 : 0; return true;
      case OT_STRING: { int c = strcmp(_string(a)->_val, _string(b)->_val); res = c < 0 ? -1 : c > 0 ? 1 : 0; return true; }
      case OT_BOOL: res = (_integer(a) != 0) - (_integer(b) != 0); return true;
      case OT_NULL: res = 0; return true;
      default: break;
    }
  } else if (sq_isnumeric(a) && sq_isnumeric(b)) {
    SQFloat x = tofloat(a), y = tofloat(b);
    res = x < y ? -1 : x > y ? 1 : 0;
    return true;
  }
  if (ta == OT_TABLE || ta == OT_INSTANCE || ta == OT_USERDATA) {
    SQObjectPtr fn;
    if (getMetaMethod(a, MT_CMP, fn)) {
      SQObjectPtr r;
      SQObject args[1] = {b};
      if (!callMeta(fn, a, 1, args, r)) return false;
      if (!sq_isnumeric(r)) { raiseError("_cmp must return an integer"); return false; }
      res = tointeger(r);
      return true;
    }
  }
  // objects of one type without an order of their own compare by identity; null comes
  // before any other value
  if (ta == tb) { res = _rawval(a) == _rawval(b) ? 0 : _rawval(a) < _rawval(b) ? -1 : 1; return true; }
  if (ta == OT_NULL) { res = -1; return true; }
  if (tb == OT_NULL) { res = 1; return true; }
  SQObjectPtr sa = compare_operand_text(_sharedState, a), sb = compare_operand_text(_sharedState, b);
  raiseError("comparison between '%.50s' and '%.50s'", _string(sa)->_val, _string(sb)->_val);
  return false;
}

// Writes a number as text (at most SQ_NUMBER_TEXT_MAX characters, no terminator) and
// returns its length. Integers are written by hand: they are turned to text often.
SQInteger sq_format_number_to(SQChar* out, const SQObject& o) {
  if (sq_type(o) == OT_INTEGER) {
    SQInteger v = _integer(o);
    SQUnsignedInteger u = v < 0 ? 0 - (SQUnsignedInteger)v : (SQUnsignedInteger)v;
    SQChar digits[24];
    SQInteger n = 0;
    do { digits[n++] = (SQChar)('0' + u % 10); u /= 10; } while (u);
    SQInteger len = 0;
    if (v < 0) out[len++] = '-';
    while (n) out[len++] = digits[--n];
    return len;
  }
  SQChar buf[SQ_NUMBER_TEXT_MAX + 1];
  int n = snprintf(buf, sizeof(buf), "%g", (double)_float(o));
  memcpy(out, buf, (size_t)n);
  return n;
}

SQString* sq_format_number(SQSharedState* ss, const SQObject& o) {
  SQChar buf[SQ_NUMBER_TEXT_MAX];
  return SQString::create(ss, buf, sq_format_number_to(buf, o));
}

bool SQVM::toString(const SQObject& o, SQObjectPtr& out) {
  char buf[64];
  switch (sq_type(o)) {
    case OT_STRING: out = o; return true;
    case OT_INTEGER: case OT_FLOAT: out = sq_format_number(_sharedState, o); return true;
    case OT_BOOL: out = SQString::create(_sharedState, _integer(o) ? "true" : "false"); return true;
    case OT_NULL: out = SQString::create(_sharedState, "null"); return true;
    case OT_TABLE: case OT_INSTANCE: case OT_USERDATA: {
      SQObjectPtr fn;
      if (getMetaMethod(o, MT_TOSTRING, fn)) {
        if (!callMeta(fn, o, 0, nullptr, out)) return false;
        if (sq_type(out) != OT_STRING) { SQObjectPtr r = out; return toString(r, out); }
        return true;
      }
      break;
    }
    default: break;
  }
  snprintf(buf, sizeof(buf), "(%s : %p)", sq_type_name(sq_type(o)), (void*)_refcounted(o));
  out = SQString::create(_sharedState, buf);
  return true;
}

SQObjectPtr SQVM::printable(const SQObject& o, bool useMeta) {
  SQObjectPtr out;
  SQObjectPtr err = _lasterror;
  bool meta = sq_type(o) == OT_TABLE || sq_type(o) == OT_INSTANCE || sq_type(o) == OT_USERDATA;
  if ((meta && !useMeta) || !toString(o, out) || sq_type(out) != OT_STRING) {
    _lasterror = err;
    char buf[64];
    snprintf(buf, sizeof(buf), "(%s : %p)", sq_type_name(sq_type(o)), (void*)_refcounted(o));
    return SQObjectPtr(SQString::create(_sharedState, buf));
  }
  return out;
}

void sq_setopslimit(HSQUIRRELVM v, SQInteger ops) {
  v->_sharedState->_limitOps = ops >= 0;
  v->_sharedState->_opsLeft = ops;
}

static const SQInteger MAX_STRING_LEN = 64 * 1024 * 1024;

bool SQVM::concatValues(SQInteger first, SQInteger n, SQObjectPtr& out) {
  // what is neither a string nor a number becomes a string first (_tostring may run a
  // script, so the stack is indexed afresh each time)
  SQInteger textLen = 0, numbers = 0;
  for (SQInteger i = 0; i < n; i++) {
    SQObjectPtr v = _stack[first + i];
    if (sq_isnumeric(v)) { numbers++; continue; }
    if (sq_type(v) != OT_STRING) {
      SQObjectPtr text;
      if (!toString(v, text)) return false;
      _stack[first + i] = text;
      v = text;
    }
    textLen += _string(v)->_len;
    if (textLen > MAX_STRING_LEN) { raiseError("string too long"); return false; }
  }
  SQChar* buf = _sharedState->scratch(textLen + numbers * SQ_NUMBER_TEXT_MAX + 1);
  SQInteger len = 0;
  for (SQInteger i = 0; i < n; i++) {
    const SQObjectPtr& v = _stack[first + i];
    if (sq_type(v) == OT_STRING) {
      memcpy(buf + len, _string(v)->_val, (size_t)_string(v)->_len);
      len += _string(v)->_len;
    } else {
      len += sq_format_number_to(buf + len, v);
    }
  }
  if (len > MAX_STRING_LEN) { raiseError("string too long"); return false; }
  out = SQString::create(_sharedState, buf, len);
  return true;
}

bool SQVM::concat(const SQObject& a, const SQObject& b, SQObjectPtr& out) {
  SQObjectPtr sa, sb;
  if (!toString(a, sa) || !toString(b, sb)) return false;
  if (_string(sa)->_len + _string(sb)->_len > MAX_STRING_LEN) { raiseError("string too long"); return false; }
  out = sq_concat_strings(_sharedState, _string(sa)->_val, _string(sa)->_len, _string(sb)->_val, _string(sb)->_len);
  return true;
}

bool SQVM::typeOf(const SQObject& o, SQObjectPtr& out) {
  SQObjectPtr fn;
  if ((sq_type(o) == OT_TABLE || sq_type(o) == OT_INSTANCE || sq_type(o) == OT_USERDATA) && getMetaMethod(o, MT_TYPEOF, fn))
    return callMeta(fn, o, 0, nullptr, out);
  out = SQString::create(_sharedState, sq_type_name(sq_type(o)));
  return true;
}

// Lets a fresh copy finish itself: its _cloned metamethod, when it has one, runs on the copy
// with the original as its argument.
static bool callCloned(SQVM* v, const SQObjectPtr& copy, const SQObject& original) {
  SQObjectPtr fn;
  if (!v->getMetaMethod(copy, MT_CLONED, fn)) return true;
  SQObject args[1] = {original};
  SQObjectPtr r;
  return v->callMeta(fn, copy, 1, args, r);
}

bool SQVM::clone(const SQObject& o, SQObjectPtr& out) {
  switch (sq_type(o)) {
    case OT_TABLE: {
      out = SQObjectPtr(_table(o)->clone());
      return callCloned(this, out, o);
    }
    case OT_INSTANCE: {
      SQInstance* src = _instance(o);
      SQInstance* inst = src->_class->createInstance();
      out = SQObjectPtr(inst);
      for (SQInteger i = 0; i < src->_nvalues; i++) inst->_values[i] = src->_values[i];
      return callCloned(this, out, o);
    }
    case OT_ARRAY: {
      SQArray* src = _array(o);
      SQArray* a = SQArray::create(_sharedState, 0);
      out = SQObjectPtr(a);
      a->_values.reserve(src->_values.size());
      for (SQUnsignedInteger i = 0; i < src->_values.size(); i++) a->_values.push_back(src->_values[i]);
      return true;
    }
    default:
      raiseError("cloning a %s", sq_type_name(sq_type(o)));
      return false;
  }
}

bool SQVM::iterate(const SQObject& o, SQObjectPtr& iter, SQObjectPtr& key, SQObjectPtr& val, bool& done) {
  done = false;
  switch (sq_type(o)) {
    case OT_STRING: {
      SQInteger i = sq_type(iter) == OT_INTEGER ? _integer(iter) : 0;
      if (i >= _string(o)->_len) { done = true; return true; }
      key.setInt(i);
      val.setInt((unsigned char)_string(o)->_val[i]);
      iter.setInt(i + 1);
      return true;
    }
    case OT_CLASS: {
      SQInteger i = sq_type(iter) == OT_INTEGER ? _integer(iter) : 0;
      SQObjectPtr k, m;
      SQInteger n = _class(o)->_members->next(i, k, m);
      if (n < 0) { done = true; return true; }
      key = k;
      _class(o)->get(k, val);
      iter.setInt(n);
      return true;
    }
    case OT_INSTANCE: case OT_USERDATA: case OT_TABLE: {
      SQObjectPtr fn;
      if (getMetaMethod(o, MT_NEXTI, fn)) {
        SQObject args[1] = {iter};
        SQObjectPtr next;
        if (!callMeta(fn, o, 1, args, next)) return false;
        if (sq_type(next) == OT_NULL) { done = true; return true; }
        if (!get(o, next, val, false, true)) return false;
        key = next;
        iter = next;
        return true;
      }
      // an instance is walked only by its class's _nexti, never by its fields
      if (sq_type(o) == OT_INSTANCE) { raiseError("_nexti failed"); return false; }
      break;
    }
    default: break;
  }
  raiseError("cannot iterate %s", sq_type_name(sq_type(o)));
  return false;
}
