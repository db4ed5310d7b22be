// Heap objects of the VM: strings, tables, arrays, functions, classes, instances, userdata,
// weak references; deterministic release and the cycle collector.
#include "sqvm.h"
#include <stdlib.h>
#include <stdio.h>

// ---- allocation -------------------------------------------------------------------------
static void* default_malloc(SQUnsignedInteger size) { return malloc(size); }
static void* default_realloc(void* p, SQUnsignedInteger, SQUnsignedInteger size) { return realloc(p, size); }
static void default_free(void* p, SQUnsignedInteger) { free(p); }
static SQMALLOCFUNC g_malloc = default_malloc;
static SQREALLOCFUNC g_realloc = default_realloc;
static SQFREEFUNC g_free = default_free;

void sq_setallocator(SQMALLOCFUNC m, SQREALLOCFUNC r, SQFREEFUNC f) {
  g_malloc = m ? m : default_malloc;
  g_realloc = r ? r : default_realloc;
  g_free = f ? f : default_free;
}
// Weak: an embedding program that defines these three itself takes over every allocation.
__attribute__((weak)) void* sq_vm_malloc(SQUnsignedInteger size) {
  void* p = g_malloc(size ? size : 1);
  if (!p) throw std::bad_alloc();
  return p;
}
__attribute__((weak)) void* sq_vm_realloc(void* p, SQUnsignedInteger oldsize, SQUnsignedInteger size) {
  void* q = g_realloc(p, oldsize, size ? size : 1);
  if (!q) throw std::bad_alloc();
  return q;
}
__attribute__((weak)) void sq_vm_free(void* p, SQUnsignedInteger size) { if (p) g_free(p, size); }

// ---- release ------------------------------------------------------------------------------
// Releasing a long chain of objects recursively would exhaust the C stack, so past a
// certain depth the objects whose count reached zero wait in a list, freed by the
// outermost release.
static int g_releaseDepth = 0;
static sqvec<SQRefCounted*>* g_pending = nullptr;

static bool defer_release(SQRefCounted* r) {
  try {
    if (!g_pending) { g_pending = (sqvec<SQRefCounted*>*)sq_vm_malloc(sizeof(sqvec<SQRefCounted*>)); new (g_pending) sqvec<SQRefCounted*>(); }
    g_pending->push_back(r);
    return true;
  } catch (const std::bad_alloc&) {
    return false;  // no memory for the list: the object goes now, deeper in the C stack
  }
}

void sq_release_object(SQRefCounted* r) {
  if (g_releaseDepth > 64 && defer_release(r)) return;
  g_releaseDepth++;
  r->destroy();
  if (g_releaseDepth == 1) {
    while (g_pending && !g_pending->empty()) {
      SQRefCounted* p = g_pending->back();
      g_pending->pop_back();
      p->destroy();
    }
  }
  g_releaseDepth--;
}

SQRefCounted::~SQRefCounted() {
  if (_weakref) {
    SQWeakRef* w = _weakref;
    _weakref = nullptr;
    w->_obj._type = OT_NULL;
    w->_obj._unVal.raw = 0;
    // made but never held: an allocation failed before its holder could take it
    if (w->_uiRef == 0) w->destroy();
  }
}

SQWeakRef* SQRefCounted::getWeakRef(SQObjectType type) {
  if (!_weakref) {
    _weakref = new SQWeakRef();
    _weakref->_obj._type = type;
    _weakref->_obj._unVal.pRefCounted = this;
  }
  return _weakref;
}

void SQWeakRef::destroy() {
  if (sq_type(_obj) != OT_NULL) _obj._unVal.pRefCounted->_weakref = nullptr;
  this->~SQWeakRef();
  sq_vm_free(this, sizeof(SQWeakRef));
}

// ---- strings ------------------------------------------------------------------------------
// Long strings are hashed from a sample of their characters (and their length): interning
// a long string built piece by piece then costs a fraction of its length.
static SQHash hash_string(const SQChar* s, SQInteger len) {
  SQHash h = 1469598103934665603ULL ^ (SQHash)len;
  SQInteger step = (len >> 5) + 1;
  for (SQInteger i = 0; i < len; i += step) { h ^= (unsigned char)s[i]; h *= 1099511628211ULL; }
  if (step > 1) { h ^= (unsigned char)s[len - 1]; h *= 1099511628211ULL; }
  return h;
}

SQString* SQString::create(SQSharedState* ss, const SQChar* s, SQInteger len) {
  if (len < 0) len = (SQInteger)strlen(s);
  SQHash h = hash_string(s, len);
  if (SQString* found = ss->findString(s, len, h)) return found;
  size_t size = sizeof(SQString) + len;
  void* mem = sq_vm_malloc(size);
  SQString* str = new (mem) SQString();
  str->_ss = ss;
  str->_len = len;
  str->_hash = h;
  memcpy(str->_val, s, len);
  str->_val[len] = 0;
  ss->addString(str);
  return str;
}

void SQString::destroy() {
  _ss->removeString(this);
  SQInteger len = _len;
  this->~SQString();
  sq_vm_free(this, sizeof(SQString) + len);
}

SQString* SQSharedState::findString(const SQChar* s, SQInteger len, SQHash h) {
  for (SQString* p = _strings[h & (_numBuckets - 1)]; p; p = p->_nextInBucket)
    if (p->_hash == h && p->_len == len && memcmp(p->_val, s, len) == 0) return p;
  return nullptr;
}

void SQSharedState::addString(SQString* s) {
  if (_numStrings >= _numBuckets) growStrings();
  SQString** b = &_strings[s->_hash & (_numBuckets - 1)];
  s->_nextInBucket = *b;
  *b = s;
  _numStrings++;
}

void SQSharedState::growStrings() {
  SQUnsignedInteger nb = _numBuckets * 2;
  SQString** nbk;
  try {
    nbk = (SQString**)sq_vm_malloc(nb * sizeof(SQString*));
  } catch (const std::bad_alloc&) {
    return;  // the chains grow longer instead; the string itself is already made
  }
  memset(nbk, 0, nb * sizeof(SQString*));
  for (SQUnsignedInteger i = 0; i < _numBuckets; i++) {
    for (SQString* p = _strings[i]; p;) {
      SQString* next = p->_nextInBucket;
      p->_nextInBucket = nbk[p->_hash & (nb - 1)];
      nbk[p->_hash & (nb - 1)] = p;
      p = next;
    }
  }
  sq_vm_free(_strings, _numBuckets * sizeof(SQString*));
  _strings = nbk;
  _numBuckets = nb;
}

void SQSharedState::removeString(SQString* s) {
  SQString** pp = &_strings[s->_hash & (_numBuckets - 1)];
  while (*pp != s) pp = &(*pp)->_nextInBucket;
  *pp = s->_nextInBucket;
  _numStrings--;
}

SQChar* SQSharedState::scratch(SQInteger size) {
  if (size > _scratchSize) {
    SQInteger ns = size + size / 2 + 64;
    _scratch = (SQChar*)sq_vm_realloc(_scratch, _scratchSize, ns);
    _scratchSize = ns;
  }
  return _scratch;
}

SQString* sq_concat_strings(SQSharedState* ss, const SQChar* a, SQInteger alen, const SQChar* b, SQInteger blen) {
  SQChar* buf = ss->scratch(alen + blen + 1);
  memcpy(buf, a, alen);
  memcpy(buf + alen, b, blen);
  return SQString::create(ss, buf, alen + blen);
}

// ---- collectables ---------------------------------------------------------------------------
void SQCollectable::linkGc(SQSharedState* ss) {
  _ss = ss;
  _gcNext = ss->_gcChain;
  _gcPrev = nullptr;
  if (ss->_gcChain) ss->_gcChain->_gcPrev = this;
  ss->_gcChain = this;
}
void SQCollectable::unlinkGc() {
  if (!_ss) return;
  if (_gcPrev) _gcPrev->_gcNext = _gcNext; else _ss->_gcChain = _gcNext;
  if (_gcNext) _gcNext->_gcPrev = _gcPrev;
  _ss = nullptr;
}
SQCollectable::~SQCollectable() { unlinkGc(); }

bool SQDelegable::setDelegate(SQTable* t) {
  // refuse a delegate chain that loops back to this object
  for (SQTable* p = t; p; p = p->_delegate)
    if ((SQDelegable*)p == this) return false;
  if (t) t->_uiRef++;
  SQTable* old = _delegate;
  _delegate = t;
  if (old) { SQObject o; o._type = OT_TABLE; o._unVal.pTable = old; release_obj(o); }
  return true;
}
SQDelegable::~SQDelegable() { setDelegate(nullptr); }

static void visit_delegate(SQDelegable* d, void (*fn)(SQObject&, void*), void* ctx) {
  if (d->_delegate) { SQObject o; o._type = OT_TABLE; o._unVal.pTable = d->_delegate; fn(o, ctx); }
}

// ---- tables -------------------------------------------------------------------------------

SQTable* SQTable::create(SQSharedState* ss, SQInteger capacity) {
  SQTable* t = new SQTable();
  t->linkGc(ss);
  if (capacity > 0) {
    SQUnsignedInteger n = 4;
    while (n * 3 < (SQUnsignedInteger)capacity * 4) n *= 2;
    t->rehash(n);
  }
  return t;
}

SQTable::~SQTable() {
  for (SQUnsignedInteger i = 0; i < _numNodes; i++) _nodes[i].~SQTableNode();
  sq_vm_free(_nodes, _numNodes * sizeof(SQTableNode));
}
void SQTable::destroy() { this->~SQTable(); sq_vm_free(this, sizeof(SQTable)); }
void SQTable::forEachRef(void (*fn)(SQObject&, void*), void* ctx) {
  visit_delegate(this, fn, ctx);
  for (SQUnsignedInteger i = 0; i < _numNodes; i++) { fn(_nodes[i].key, ctx); fn(_nodes[i].val, ctx); }
}
void SQTable::finalize() { setDelegate(nullptr); clear(); }

void SQTable::rehash(SQUnsignedInteger newSize) {
  if (newSize > 0x40000000u) throw std::bad_alloc();
  SQTableNode* old = _nodes;
  SQUnsignedInteger oldN = _numNodes;
  _nodes = (SQTableNode*)sq_vm_malloc(newSize * sizeof(SQTableNode));
  for (SQUnsignedInteger i = 0; i < newSize; i++) new (&_nodes[i]) SQTableNode();
  _numNodes = (SQUnsignedInteger32)newSize;
  _used = _count;
  SQUnsignedInteger mask = newSize - 1;
  for (SQUnsignedInteger i = 0; i < oldN; i++) {
    if (sq_type(old[i].key) != OT_NULL) {
      SQUnsignedInteger j = sq_hash_object(old[i].key) & mask;
      while (sq_type(_nodes[j].key) != OT_NULL) j = (j + 1) & mask;
      memcpy((void*)&_nodes[j], (void*)&old[i], sizeof(SQTableNode));
    } else {
      old[i].~SQTableNode();
    }
  }
  sq_vm_free(old, oldN * sizeof(SQTableNode));
}

void SQTable::newSlot(const SQObject& key, const SQObject& val) {
  if (SQTableNode* n = findNode(key)) { n->val = val; return; }
  if ((_used + 1) * 4 > _numNodes * 3) {
    // grow to at most half full (tombstones are dropped by the rehash)
    SQUnsignedInteger n = 4;
    while ((SQUnsignedInteger)(_count + 1) * 2 > n) n *= 2;
    rehash(n);
  }
  SQUnsignedInteger mask = _numNodes - 1;
  SQUnsignedInteger i = sq_hash_object(key) & mask;
  while (sq_type(_nodes[i].key) != OT_NULL) i = (i + 1) & mask;
  if (node_empty(_nodes[i])) _used++;
  _nodes[i].key = key;
  _nodes[i].val = val;
  _count++;
}

bool SQTable::remove(const SQObject& key) {
  SQTableNode* n = findNode(key);
  if (!n) return false;
  SQObjectPtr k = std::move(n->key), v = std::move(n->val);
  n->val.setBool(true);  // tombstone
  _count--;
  return true;
}

void SQTable::clear() {
  SQTableNode* old = _nodes;
  SQUnsignedInteger oldN = _numNodes;
  _nodes = nullptr; _numNodes = 0; _count = 0; _used = 0;
  for (SQUnsignedInteger i = 0; i < oldN; i++) old[i].~SQTableNode();
  sq_vm_free(old, oldN * sizeof(SQTableNode));
}

SQInteger SQTable::next(SQInteger idx, SQObjectPtr& key, SQObjectPtr& val) const {
  for (SQUnsignedInteger i = (SQUnsignedInteger)idx; i < _numNodes; i++) {
    if (sq_type(_nodes[i].key) != OT_NULL) {
      key = _nodes[i].key;
      val = _nodes[i].val;
      return (SQInteger)i + 1;
    }
  }
  return -1;
}

SQTable* SQTable::clone() {
  SQTable* t = SQTable::create(_ss, (SQInteger)_count);
  for (SQUnsignedInteger i = 0; i < _numNodes; i++)
    if (sq_type(_nodes[i].key) != OT_NULL) t->newSlot(_nodes[i].key, _nodes[i].val);
  t->setDelegate(_delegate);
  return t;
}

// ---- arrays -------------------------------------------------------------------------------
SQArray* SQArray::create(SQSharedState* ss, SQInteger size) {
  SQArray* a = new SQArray();
  a->linkGc(ss);
  if (size > 0) a->_values.resize(size);
  return a;
}
void SQArray::destroy() { this->~SQArray(); sq_vm_free(this, sizeof(SQArray)); }
void SQArray::forEachRef(void (*fn)(SQObject&, void*), void* ctx) {
  for (SQUnsignedInteger i = 0; i < _values.size(); i++) fn(_values[i], ctx);
}
void SQArray::finalize() { _values.freeAll(); }

// ---- function prototypes --------------------------------------------------------------------
void SQFunctionProto::destroy() { this->~SQFunctionProto(); sq_vm_free(this, sizeof(SQFunctionProto)); }
SQInteger SQFunctionProto::lineAt(SQInteger pc) const {
  SQInteger line = _lineDefined;
  for (SQUnsignedInteger i = 0; i < _lines.size() && _lines[i].pc <= pc; i++) line = _lines[i].line;
  return line;
}

// ---- outers -------------------------------------------------------------------------------
SQObjectPtr& SQOuter::ref() { return _vm ? _vm->_stack[_idx] : _value; }
void SQOuter::destroy() {
  // an open outer is still linked in its thread's list
  if (_vm) {
    SQOuter** pp = &_vm->_openOuters;
    while (*pp && *pp != this) pp = &(*pp)->_nextOpen;
    if (*pp) *pp = _nextOpen;
  }
  this->~SQOuter();
  sq_vm_free(this, sizeof(SQOuter));
}
void SQOuter::forEachRef(void (*fn)(SQObject&, void*), void* ctx) { fn(_value, ctx); }
void SQOuter::finalize() { _value.Null(); }

// ---- closures -----------------------------------------------------------------------------
static size_t closure_size(SQInteger nouters, SQInteger ndefaults) {
  return sizeof(SQClosure) + sizeof(SQOuter*) * (nouters ? nouters - 1 : 0) + sizeof(SQObjectPtr) * ndefaults + 16;
}

SQClosure* SQClosure::create(SQSharedState* ss, SQFunctionProto* proto, SQWeakRef* root) {
  SQInteger no = (SQInteger)proto->_outers.size(), nd = proto->_ndefaults;
  SQClosure* c = sq_alloc_var<SQClosure>(closure_size(no, nd));
  c->linkGc(ss);
  c->_proto = proto;
  proto->_uiRef++;
  c->_nouters = no;
  c->_ndefaults = nd;
  char* tail = (char*)&c->_outers[no ? no : 1];
  tail = (char*)(((uintptr_t)tail + 15) & ~(uintptr_t)15);
  c->_defaults = (SQObjectPtr*)tail;
  for (SQInteger i = 0; i < nd; i++) new (&c->_defaults[i]) SQObjectPtr();
  c->setRoot(root);
  return c;
}

static void set_weak(SQWeakRef*& slot, SQWeakRef* w) {
  if (w) w->_uiRef++;
  SQWeakRef* old = slot;
  slot = w;
  if (old) { SQObject o; o._type = OT_WEAKREF; o._unVal.pWeakRef = old; release_obj(o); }
}
void SQClosure::setEnv(SQWeakRef* w) { set_weak(_env, w); }
void SQClosure::setRoot(SQWeakRef* w) { set_weak(_root, w); }
void SQClosure::setBase(SQClass* c) {
  if (c) c->_uiRef++;
  SQClass* old = _base;
  _base = c;
  if (old) { SQObject o; o._type = OT_CLASS; o._unVal.pClass = old; release_obj(o); }
}

SQClosure* SQClosure::clone() {
  SQClosure* c = SQClosure::create(_ss, _proto, _root);
  for (SQInteger i = 0; i < _nouters; i++) { c->_outers[i] = _outers[i]; if (_outers[i]) _outers[i]->_uiRef++; }
  for (SQInteger i = 0; i < _ndefaults; i++) c->_defaults[i] = _defaults[i];
  c->setEnv(_env);
  c->setBase(_base);
  return c;
}

void SQClosure::finalize() {
  for (SQInteger i = 0; i < _nouters; i++) {
    if (SQOuter* o = _outers[i]) { _outers[i] = nullptr; SQObject ob; ob._type = OT_OUTER; ob._unVal.pOuter = o; release_obj(ob); }
  }
  for (SQInteger i = 0; i < _ndefaults; i++) _defaults[i].Null();
  setEnv(nullptr);
  setRoot(nullptr);
  setBase(nullptr);
}
SQClosure::~SQClosure() {
  finalize();
  if (_proto) { SQObject o; o._type = OT_FUNCPROTO; o._unVal.pFunctionProto = _proto; _proto = nullptr; release_obj(o); }
}
void SQClosure::destroy() {
  size_t size = closure_size(_nouters, _ndefaults);
  this->~SQClosure();
  sq_vm_free(this, size);
}
void SQClosure::forEachRef(void (*fn)(SQObject&, void*), void* ctx) {
  for (SQInteger i = 0; i < _nouters; i++) {
    if (_outers[i]) { SQObject o; o._type = OT_OUTER; o._unVal.pOuter = _outers[i]; fn(o, ctx); }
  }
  for (SQInteger i = 0; i < _ndefaults; i++) fn(_defaults[i], ctx);
  if (_base) { SQObject o; o._type = OT_CLASS; o._unVal.pClass = _base; fn(o, ctx); }
}

// ---- native closures ------------------------------------------------------------------------
static size_t nclosure_size(SQInteger n) { return sizeof(SQNativeClosure) + sizeof(SQObjectPtr) * (n ? n - 1 : 0); }
SQNativeClosure* SQNativeClosure::create(SQSharedState* ss, SQFUNCTION f, SQInteger nouters) {
  SQNativeClosure* c = sq_alloc_var<SQNativeClosure>(nclosure_size(nouters));
  for (SQInteger i = 1; i < nouters; i++) new (&c->_outers[i]) SQObjectPtr();
  c->linkGc(ss);
  c->_function = f;
  c->_nouters = nouters;
  return c;
}
SQNativeClosure* SQNativeClosure::clone() {
  SQNativeClosure* c = create(_ss, _function, _nouters);
  for (SQInteger i = 0; i < _nouters; i++) c->_outers[i] = _outers[i];
  c->_nparamscheck = _nparamscheck;
  for (SQUnsignedInteger i = 0; i < _typecheck.size(); i++) c->_typecheck.push_back(_typecheck[i]);
  c->_name = _name;
  set_weak(c->_env, _env);
  return c;
}
void SQNativeClosure::finalize() {
  for (SQInteger i = 0; i < _nouters; i++) _outers[i].Null();
  set_weak(_env, nullptr);
}
SQNativeClosure::~SQNativeClosure() {
  finalize();
  for (SQInteger i = 1; i < _nouters; i++) _outers[i].~SQObjectPtr();
}
void SQNativeClosure::destroy() {
  size_t size = nclosure_size(_nouters);
  this->~SQNativeClosure();
  sq_vm_free(this, size);
}
void SQNativeClosure::forEachRef(void (*fn)(SQObject&, void*), void* ctx) {
  for (SQInteger i = 0; i < _nouters; i++) fn(_outers[i], ctx);
}

// ---- classes ------------------------------------------------------------------------------
SQClass* SQClass::create(SQSharedState* ss, SQClass* base) {
  SQClass* c = new SQClass();
  c->linkGc(ss);
  c->_members = SQTable::create(ss, 0);
  c->_members->_uiRef++;
  if (base) {
    c->_base = base;
    base->_uiRef++;
    for (SQUnsignedInteger i = 0; i < base->_fields.size(); i++) c->_fields.push_back(base->_fields[i]);
    for (SQUnsignedInteger i = 0; i < base->_methods.size(); i++) c->_methods.push_back(base->_methods[i]);
    for (int i = 0; i < MT_LAST; i++) c->_metamethods[i] = base->_metamethods[i];
    SQTable* m = base->_members;
    SQObjectPtr k, v;
    for (SQInteger it = 0; (it = m->next(it, k, v)) >= 0;) c->_members->newSlot(k, v);
    c->_constructor = base->_constructor;
    c->_typetag = nullptr;
    c->_udsize = base->_udsize;
    c->_hook = base->_hook;
  }
  return c;
}
void SQClass::finalize() {
  _fields.freeAll();
  _methods.freeAll();
  for (int i = 0; i < MT_LAST; i++) _metamethods[i].Null();
  _attributes.Null();
  _constructor.Null();
  if (_members) { SQObject o; o._type = OT_TABLE; o._unVal.pTable = _members; _members = nullptr; release_obj(o); }
  if (_base) { SQObject o; o._type = OT_CLASS; o._unVal.pClass = _base; _base = nullptr; release_obj(o); }
}
SQClass::~SQClass() { finalize(); }
void SQClass::destroy() { this->~SQClass(); sq_vm_free(this, sizeof(SQClass)); }
void SQClass::forEachRef(void (*fn)(SQObject&, void*), void* ctx) {
  if (_base) { SQObject o; o._type = OT_CLASS; o._unVal.pClass = _base; fn(o, ctx); }
  if (_members) { SQObject o; o._type = OT_TABLE; o._unVal.pTable = _members; fn(o, ctx); }
  for (SQUnsignedInteger i = 0; i < _fields.size(); i++) { fn(_fields[i].val, ctx); fn(_fields[i].attrs, ctx); }
  for (SQUnsignedInteger i = 0; i < _methods.size(); i++) { fn(_methods[i].val, ctx); fn(_methods[i].attrs, ctx); }
  for (int i = 0; i < MT_LAST; i++) fn(_metamethods[i], ctx);
  fn(_attributes, ctx);
  fn(_constructor, ctx);
}

bool SQClass::get(const SQObject& key, SQObjectPtr& out) {
  SQTableNode* n = _members ? _members->findNode(key) : nullptr;
  if (!n) return false;
  out = sq_slot_value(member_kind(n->val) == MEMBER_FIELD ? _fields[member_index(n->val)].val : _methods[member_index(n->val)].val);
  return true;
}

bool SQClass::getAttributes(const SQObject& key, SQObjectPtr& out) {
  SQTableNode* n = _members ? _members->findNode(key) : nullptr;
  if (!n) return false;
  out = member_kind(n->val) == MEMBER_FIELD ? _fields[member_index(n->val)].attrs : _methods[member_index(n->val)].attrs;
  return true;
}
bool SQClass::setAttributes(const SQObject& key, const SQObject& val) {
  SQTableNode* n = _members ? _members->findNode(key) : nullptr;
  if (!n) return false;
  (member_kind(n->val) == MEMBER_FIELD ? _fields[member_index(n->val)].attrs : _methods[member_index(n->val)].attrs) = val;
  return true;
}

static const char* const g_metaNames[MT_LAST] = {"_add", "_sub", "_mul", "_div", "_unm", "_modulo", "_set", "_get",
  "_typeof", "_nexti", "_cmp", "_call", "_cloned", "_newslot", "_delslot", "_tostring", "_newmember", "_inherited"};

bool SQClass::newSlot(SQSharedState* ss, const SQObject& key, const SQObject& val, bool bstatic) {
  bool isFunc = sq_type(val) == OT_CLOSURE || sq_type(val) == OT_NATIVECLOSURE;
  if (sq_type(val) == OT_CLOSURE) {
    SQClosure* c = _closure(val);
    if (!c->_base) c->setBase(_base);
  }
  SQTableNode* n = _members->findNode(key);
  if (n) {
    (member_kind(n->val) == MEMBER_FIELD ? _fields[member_index(n->val)].val : _methods[member_index(n->val)].val) = val;
    goto metas;
  }
  if (bstatic || isFunc) {
    SQClassMember& m = _methods.push_back();
    m.val = val;
    _members->newSlot(key, make_member(MEMBER_METHOD, (SQInteger)_methods.size() - 1));
  } else {
    if (_locked) return false;
    SQClassMember& m = _fields.push_back();
    m.val = val;
    _members->newSlot(key, make_member(MEMBER_FIELD, (SQInteger)_fields.size() - 1));
  }
metas:
  if (sq_type(key) == OT_STRING) {
    if (_string(key) == _string(ss->_constructorName)) _constructor = val;
    else if (_string(key)->_len > 1 && _string(key)->_val[0] == '_') {
      for (int i = 0; i < MT_LAST; i++)
        if (_string(key) == _string(ss->_metaNames[i])) { _metamethods[i] = val; break; }
    }
  }
  return true;
}

static size_t instance_size(SQInteger nvalues, SQInteger udsize) {
  return sizeof(SQInstance) + sizeof(SQObjectPtr) * (nvalues ? nvalues - 1 : 0) + (udsize ? udsize + 16 : 0);
}

SQInstance* SQClass::createInstance() {
  SQInteger nv = (SQInteger)_fields.size();
  SQInstance* inst = sq_alloc_var<SQInstance>(instance_size(nv, _udsize));
  inst->_values[0].~SQObjectPtr();
  for (SQInteger i = 0; i < nv; i++) new (&inst->_values[i]) SQObjectPtr(_fields[i].val);
  if (nv == 0) new (&inst->_values[0]) SQObjectPtr();
  inst->_nvalues = nv;
  inst->linkGc(_ss);
  inst->_class = this;
  _uiRef++;
  inst->_hook = _hook;
  if (_udsize) {
    char* tail = (char*)&inst->_values[nv ? nv : 1];
    inst->_userpointer = (void*)(((uintptr_t)tail + 15) & ~(uintptr_t)15);
  }
  _locked = true;
  return inst;
}

// ---- instances ----------------------------------------------------------------------------
void SQInstance::callHook() {
  if (_hook) {
    SQRELEASEHOOK h = _hook;
    _hook = nullptr;
    h(_userpointer, _class ? _class->_udsize : 0);
  }
}
void SQInstance::finalize() {
  SQInteger n = _nvalues ? _nvalues : 1;
  for (SQInteger i = 0; i < n; i++) _values[i].Null();
}
SQInstance::~SQInstance() {
  callHook();
  finalize();
  if (_class) { SQObject o; o._type = OT_CLASS; o._unVal.pClass = _class; _class = nullptr; release_obj(o); }
}
void SQInstance::destroy() {
  SQInteger n = _nvalues;
  size_t size = instance_size(n, _class ? _class->_udsize : 0);
  this->~SQInstance();
  sq_vm_free(this, size);
}
void SQInstance::forEachRef(void (*fn)(SQObject&, void*), void* ctx) {
  if (_class) { SQObject o; o._type = OT_CLASS; o._unVal.pClass = _class; fn(o, ctx); }
  for (SQInteger i = 0; i < _nvalues; i++) fn(_values[i], ctx);
}
bool SQInstance::get(const SQObject& key, SQObjectPtr& out) {
  SQTableNode* n = _class->_members->findNode(key);
  if (!n) return false;
  out = sq_slot_value(member_kind(n->val) == MEMBER_FIELD ? _values[member_index(n->val)] : _class->_methods[member_index(n->val)].val);
  return true;
}
// Only fields: methods and statics belong to the class and are read-only here.
bool SQInstance::set(const SQObject& key, const SQObject& val) {
  SQTableNode* n = _class->_members->findNode(key);
  if (!n || member_kind(n->val) != MEMBER_FIELD) return false;
  _values[member_index(n->val)] = val;
  return true;
}
bool SQInstance::instanceOf(SQClass* c) const {
  for (SQClass* p = _class; p; p = p->_base)
    if (p == c) return true;
  return false;
}

// ---- userdata -----------------------------------------------------------------------------
SQUserData* SQUserData::create(SQSharedState* ss, SQInteger size) {
  SQUserData* u = sq_alloc_var<SQUserData>(sizeof(SQUserData) + size);
  u->linkGc(ss);
  u->_size = size;
  return u;
}
SQUserData::~SQUserData() {
  if (_hook) { SQRELEASEHOOK h = _hook; _hook = nullptr; h(_data, _size); }
}
void SQUserData::destroy() { SQInteger s = _size; this->~SQUserData(); sq_vm_free(this, sizeof(SQUserData) + s); }
void SQUserData::forEachRef(void (*fn)(SQObject&, void*), void* ctx) { visit_delegate(this, fn, ctx); }
void SQUserData::finalize() { setDelegate(nullptr); }

// ---- generators ---------------------------------------------------------------------------
void SQGenerator::finalize() {
  _stack.freeAll();
  for (SQUnsignedInteger i = 0; i < _outers.size(); i++) {
    SQObject o; o._type = OT_OUTER; o._unVal.pOuter = _outers[i]; release_obj(o);
  }
  _outers._size = 0;
  _outers.freeAll();
  _traps.freeAll();
  _closure.Null();
  _state = GEN_DEAD;
}
SQGenerator::~SQGenerator() { finalize(); }
void SQGenerator::destroy() { this->~SQGenerator(); sq_vm_free(this, sizeof(SQGenerator)); }
void SQGenerator::forEachRef(void (*fn)(SQObject&, void*), void* ctx) {
  fn(_closure, ctx);
  for (SQUnsignedInteger i = 0; i < _stack.size(); i++) fn(_stack[i], ctx);
  for (SQUnsignedInteger i = 0; i < _outers.size(); i++) { SQObject o; o._type = OT_OUTER; o._unVal.pOuter = _outers[i]; fn(o, ctx); }
}

// ---- helpers ------------------------------------------------------------------------------
const SQChar* sq_type_name(SQObjectType t) {
  switch (t) {
    case OT_NULL: return "null";
    case OT_INTEGER: return "integer";
    case OT_FLOAT: return "float";
    case OT_BOOL: return "bool";
    case OT_STRING: return "string";
    case OT_TABLE: return "table";
    case OT_ARRAY: return "array";
    case OT_USERDATA: return "userdata";
    case OT_CLOSURE: return "function";
    case OT_NATIVECLOSURE: return "function";
    case OT_GENERATOR: return "generator";
    case OT_USERPOINTER: return "userpointer";
    case OT_THREAD: return "thread";
    case OT_FUNCPROTO: return "function";
    case OT_CLASS: return "class";
    case OT_INSTANCE: return "instance";
    case OT_WEAKREF: return "weakref";
    case OT_OUTER: return "outer";
  }
  return "unknown";
}

// ---- shared state ---------------------------------------------------------------------------
SQSharedState* sq_new_shared_state() {
  SQSharedState* ss = (SQSharedState*)sq_vm_malloc(sizeof(SQSharedState));
  new (ss) SQSharedState();
  ss->_numBuckets = 256;
  ss->_strings = (SQString**)sq_vm_malloc(ss->_numBuckets * sizeof(SQString*));
  memset(ss->_strings, 0, ss->_numBuckets * sizeof(SQString*));
  for (int i = 0; i < MT_LAST; i++) ss->_metaNames[i] = SQString::create(ss, g_metaNames[i]);
  ss->_constructorName = SQString::create(ss, "constructor");
  ss->_outOfMemory = SQString::create(ss, "out of memory");
  ss->_registry = SQTable::create(ss, 0);
  ss->_consts = SQTable::create(ss, 0);
  ss->_refsTable = SQTable::create(ss, 0);
  return ss;
}

void sq_free_shared_state(SQSharedState* ss) {
  // Break every cycle, then drop the roots; what remains is freed by reference counting.
  ss->_unreachable.freeAll();
  for (SQCollectable* c = ss->_gcChain; c; c = c->_gcNext) c->_uiRef++;
  sqvec<SQCollectable*> all;
  for (SQCollectable* c = ss->_gcChain; c; c = c->_gcNext) all.push_back(c);
  for (SQUnsignedInteger i = 0; i < all.size(); i++) {
    if (SQInstance* inst = dynamic_cast<SQInstance*>(all[i])) inst->callHook();
  }
  for (SQUnsignedInteger i = 0; i < all.size(); i++) all[i]->finalize();
  ss->_registry.Null(); ss->_consts.Null(); ss->_refsTable.Null();
  ss->_tableDelegate.Null(); ss->_arrayDelegate.Null(); ss->_stringDelegate.Null(); ss->_numberDelegate.Null();
  ss->_closureDelegate.Null(); ss->_generatorDelegate.Null(); ss->_threadDelegate.Null(); ss->_classDelegate.Null();
  ss->_instanceDelegate.Null(); ss->_weakrefDelegate.Null();
  for (SQUnsignedInteger i = 0; i < all.size(); i++) {
    SQObject o; o._type = OT_TABLE; o._unVal.pRefCounted = all[i]; release_obj(o);
  }
  for (int i = 0; i < MT_LAST; i++) ss->_metaNames[i].Null();
  ss->_constructorName.Null();
  ss->_outOfMemory.Null();
  sq_vm_free(ss->_scratch, ss->_scratchSize);
  // strings still referenced from outside (leaked handles) keep their memory
  sq_vm_free(ss->_strings, ss->_numBuckets * sizeof(SQString*));
  ss->~SQSharedState();
  sq_vm_free(ss, sizeof(SQSharedState));
}

// ---- cycle collector ----------------------------------------------------------------------
// Trial deletion: subtracting the references collectables hold on each other leaves, on
// each object, the count of references from outside the heap (stacks, C handles, roots).
// Objects reachable from those are live; the rest only keep each other alive.
static void dec_child(SQObject& o, void*) {
  if (!is_rc(o)) return;
  switch (sq_type(o)) {
    case OT_STRING: case OT_WEAKREF: case OT_FUNCPROTO: return;
    default: static_cast<SQCollectable*>(_refcounted(o))->_gcRefs--;
  }
}
static void mark_child(SQObject& o, void* ctx) {
  if (!is_rc(o)) return;
  switch (sq_type(o)) {
    case OT_STRING: case OT_WEAKREF: case OT_FUNCPROTO: return;
    default: {
      SQCollectable* c = static_cast<SQCollectable*>(_refcounted(o));
      if (c->_gcRefs != -1000000) { c->_gcRefs = -1000000; ((sqvec<SQCollectable*>*)ctx)->push_back(c); }
    }
  }
}

SQInteger sq_collect_cycles(SQSharedState* ss, bool resurrect) {
  for (SQCollectable* c = ss->_gcChain; c; c = c->_gcNext) c->_gcRefs = (SQInt32)c->_uiRef;
  for (SQCollectable* c = ss->_gcChain; c; c = c->_gcNext) c->forEachRef(dec_child, nullptr);
  sqvec<SQCollectable*> work;
  for (SQCollectable* c = ss->_gcChain; c; c = c->_gcNext)
    if (c->_gcRefs > 0) { c->_gcRefs = -1000000; work.push_back(c); }
  while (!work.empty()) {
    SQCollectable* c = work.back();
    work.pop_back();
    c->forEachRef(mark_child, &work);
  }
  sqvec<SQCollectable*> garbage;
  for (SQCollectable* c = ss->_gcChain; c; c = c->_gcNext)
    if (c->_gcRefs != -1000000) { garbage.push_back(c); c->_uiRef++; }
  SQInteger n = (SQInteger)garbage.size();
  if (resurrect) {
    for (SQUnsignedInteger i = 0; i < garbage.size(); i++) {
      SQObject o; o._unVal.raw = 0; o._unVal.pRefCounted = garbage[i];
      o._type = OT_TABLE;
      if (dynamic_cast<SQArray*>(garbage[i])) o._type = OT_ARRAY;
      else if (dynamic_cast<SQClosure*>(garbage[i])) o._type = OT_CLOSURE;
      else if (dynamic_cast<SQNativeClosure*>(garbage[i])) o._type = OT_NATIVECLOSURE;
      else if (dynamic_cast<SQClass*>(garbage[i])) o._type = OT_CLASS;
      else if (dynamic_cast<SQInstance*>(garbage[i])) o._type = OT_INSTANCE;
      else if (dynamic_cast<SQGenerator*>(garbage[i])) o._type = OT_GENERATOR;
      else if (dynamic_cast<SQUserData*>(garbage[i])) o._type = OT_USERDATA;
      else if (dynamic_cast<SQVM*>(garbage[i])) o._type = OT_THREAD;
      else if (dynamic_cast<SQOuter*>(garbage[i])) o._type = OT_OUTER;
      if (o._type != OT_OUTER) ss->_unreachable.push_back(SQObjectPtr(o));
      garbage[i]->_uiRef--;
    }
    return n;
  }
  for (SQUnsignedInteger i = 0; i < garbage.size(); i++) {
    if (SQInstance* inst = dynamic_cast<SQInstance*>(garbage[i])) inst->callHook();
  }
  for (SQUnsignedInteger i = 0; i < garbage.size(); i++) garbage[i]->finalize();
  for (SQUnsignedInteger i = 0; i < garbage.size(); i++) {
    SQObject o; o._type = OT_TABLE; o._unVal.pRefCounted = garbage[i]; release_obj(o);
  }
  return n;
}
