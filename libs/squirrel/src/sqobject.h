// Internal object model of the Squirrel VM: values, reference counting, heap objects.
#pragma once
#include "squirrel.h"
#include <string.h>
#include <stdint.h>
#include <new>
#include <utility>

#define sq_raw_type(o) ((o)._type)
#define is_rc(o) (((o)._type & SQOBJECT_REF_COUNTED) != 0)

struct SQSharedState;
struct SQCollectable;

// Plain growable array over the library's allocator; elements are moved with memcpy, so
// T must be trivially relocatable (every value type in this library is).
template <class T> struct sqvec {
  T* _vals = nullptr;
  SQUnsignedInteger _size = 0;
  SQUnsignedInteger _alloc = 0;
  sqvec() {}
  sqvec(const sqvec&) = delete;
  sqvec& operator=(const sqvec&) = delete;
  ~sqvec() { freeAll(); }
  void freeAll() {
    for (SQUnsignedInteger i = 0; i < _size; i++) _vals[i].~T();
    if (_vals) sq_vm_free(_vals, _alloc * sizeof(T));
    _vals = nullptr; _size = _alloc = 0;
  }
  void reserve(SQUnsignedInteger n) {
    if (n <= _alloc) return;
    _vals = (T*)sq_vm_realloc(_vals, _alloc * sizeof(T), n * sizeof(T));
    _alloc = n;
  }
  void grow() { reserve(_alloc ? _alloc * 2 : 4); }
  T& push_back(const T& v) {
    if (_size == _alloc) return growAndPush(v);
    new (&_vals[_size]) T(v);
    return _vals[_size++];
  }
  T& push_back() { if (_size == _alloc) grow(); new (&_vals[_size]) T(); return _vals[_size++]; }
  // Room for one more element, not constructed: the caller constructs it in place.
  T* pushRaw() { if (_size == _alloc) grow(); return &_vals[_size++]; }
  void pop_back() { _size--; _vals[_size].~T(); }
  void resize(SQUnsignedInteger n, const T& fill = T()) {
    if (n <= _alloc) { setSize(n, fill); return; }
    T copy(fill);  // fill may be one of our elements
    reserve(n);
    setSize(n, copy);
  }
  void insert(SQUnsignedInteger at, const T& v) {
    T copy(v);
    if (_size == _alloc) grow();
    memmove((void*)&_vals[at + 1], (void*)&_vals[at], (_size - at) * sizeof(T));
    new (&_vals[at]) T(std::move(copy));
    _size++;
  }
  void remove(SQUnsignedInteger at) {
    _vals[at].~T();
    memmove((void*)&_vals[at], (void*)&_vals[at + 1], (_size - at - 1) * sizeof(T));
    _size--;
  }
  void shrink() {
    if (_size == _alloc) return;
    if (_size == 0) { freeAll(); return; }
    _vals = (T*)sq_vm_realloc(_vals, _alloc * sizeof(T), _size * sizeof(T));
    _alloc = _size;
  }
  T& operator[](SQUnsignedInteger i) const { return _vals[i]; }
  T& back() const { return _vals[_size - 1]; }
  SQUnsignedInteger size() const { return _size; }
  bool empty() const { return _size == 0; }
 private:
  void setSize(SQUnsignedInteger n, const T& fill) {
    for (SQUnsignedInteger i = _size; i < n; i++) new (&_vals[i]) T(fill);
    for (SQUnsignedInteger i = n; i < _size; i++) _vals[i].~T();
    _size = n;
  }
  // v may be one of our elements (a.extend(a)): it is copied before the storage moves.
  __attribute__((noinline)) T& growAndPush(const T& v) {
    T copy(v);
    grow();
    new (&_vals[_size]) T(std::move(copy));
    return _vals[_size++];
  }
};

struct SQRefCounted {
  SQUnsignedInteger32 _uiRef = 0;
  SQInt32 _gcRefs = 0;  // scratch of the cycle collector (packed beside the count)
  SQWeakRef* _weakref = nullptr;
  virtual ~SQRefCounted();
  // Frees the object; called when the last reference goes.
  virtual void destroy() = 0;
  SQWeakRef* getWeakRef(SQObjectType type);
  static void* operator new(size_t size) { return sq_vm_malloc(size); }
  static void* operator new(size_t, void* p) { return p; }
  static void operator delete(void*) {}
};

void sq_release_object(SQRefCounted* r);
inline void addref_obj(const SQObject& o) { if (is_rc(o)) o._unVal.pRefCounted->_uiRef++; }
inline void release_obj(const SQObject& o) {
  if (is_rc(o) && --o._unVal.pRefCounted->_uiRef == 0) sq_release_object(o._unVal.pRefCounted);
}

// The raw word of a float value: its bits, zero above. Built in a register and stored at
// once: a narrow store into a word read whole right after stalls the load.
inline SQUnsignedInteger sq_float_word(SQFloat f) {
  SQUnsignedInteger32 bits;
  memcpy(&bits, &f, sizeof(bits));
  return bits;
}

struct SQObjectPtr : public SQObject {
  SQObjectPtr() { _type = OT_NULL; _unVal.raw = 0; }
  SQObjectPtr(const SQObjectPtr& o) { _type = o._type; _unVal = o._unVal; addref_obj(*this); }
  SQObjectPtr(SQObjectPtr&& o) noexcept { _type = o._type; _unVal = o._unVal; o._type = OT_NULL; o._unVal.raw = 0; }
  SQObjectPtr(const SQObject& o) { _type = o._type; _unVal = o._unVal; addref_obj(*this); }
  explicit SQObjectPtr(SQInteger i) { _type = OT_INTEGER; _unVal.raw = 0; _unVal.nInteger = i; }
  explicit SQObjectPtr(int i) { _type = OT_INTEGER; _unVal.raw = 0; _unVal.nInteger = i; }
  explicit SQObjectPtr(SQFloat f) { _type = OT_FLOAT; _unVal.raw = sq_float_word(f); }
  explicit SQObjectPtr(bool b) { _type = OT_BOOL; _unVal.raw = 0; _unVal.nInteger = b ? 1 : 0; }
  explicit SQObjectPtr(SQUserPointer p) { _type = OT_USERPOINTER; _unVal.raw = 0; _unVal.pUserPointer = p; }
  SQObjectPtr(SQObjectType t, SQRefCounted* r) { _type = t; _unVal.raw = 0; _unVal.pRefCounted = r; r->_uiRef++; }
  SQObjectPtr(SQString* s);
  SQObjectPtr(SQTable* t);
  SQObjectPtr(SQArray* a);
  SQObjectPtr(SQClosure* c);
  SQObjectPtr(SQNativeClosure* c);
  SQObjectPtr(SQClass* c);
  SQObjectPtr(SQInstance* i);
  SQObjectPtr(SQGenerator* g);
  SQObjectPtr(SQUserData* u);
  SQObjectPtr(SQWeakRef* w);
  SQObjectPtr(SQVM* v);
  SQObjectPtr(SQFunctionProto* f);
  ~SQObjectPtr() { release_obj(*this); }
  SQObjectPtr& operator=(const SQObjectPtr& o) {
    SQObject old = *this; _type = o._type; _unVal = o._unVal; addref_obj(*this); release_obj(old); return *this;
  }
  SQObjectPtr& operator=(SQObjectPtr&& o) noexcept {
    if (this != &o) { SQObject old = *this; _type = o._type; _unVal = o._unVal; o._type = OT_NULL; o._unVal.raw = 0; release_obj(old); }
    return *this;
  }
  SQObjectPtr& operator=(const SQObject& o) {
    SQObject old = *this; _type = o._type; _unVal = o._unVal; addref_obj(*this); release_obj(old); return *this;
  }
  void setInt(SQInteger i) { if (is_rc(*this)) { SQObject old = *this; _type = OT_INTEGER; _unVal.raw = 0; _unVal.nInteger = i; release_obj(old); } else { _type = OT_INTEGER; _unVal.raw = 0; _unVal.nInteger = i; } }
  void setFloat(SQFloat f) { if (is_rc(*this)) { SQObject old = *this; _type = OT_FLOAT; _unVal.raw = sq_float_word(f); release_obj(old); } else { _type = OT_FLOAT; _unVal.raw = sq_float_word(f); } }
  void setBool(bool b) { SQObject old = *this; _type = OT_BOOL; _unVal.raw = 0; _unVal.nInteger = b; release_obj(old); }
  void Null() { SQObject old = *this; _type = OT_NULL; _unVal.raw = 0; release_obj(old); }
};

#define _integer(o) ((o)._unVal.nInteger)
#define _float(o) ((o)._unVal.fFloat)
#define _string(o) ((o)._unVal.pString)
#define _table(o) ((o)._unVal.pTable)
#define _array(o) ((o)._unVal.pArray)
#define _closure(o) ((o)._unVal.pClosure)
#define _nativeclosure(o) ((o)._unVal.pNativeClosure)
#define _generator(o) ((o)._unVal.pGenerator)
#define _class(o) ((o)._unVal.pClass)
#define _instance(o) ((o)._unVal.pInstance)
#define _userdata(o) ((o)._unVal.pUserData)
#define _userpointer(o) ((o)._unVal.pUserPointer)
#define _weakref(o) ((o)._unVal.pWeakRef)
#define _thread(o) ((o)._unVal.pThread)
#define _funcproto(o) ((o)._unVal.pFunctionProto)
#define _refcounted(o) ((o)._unVal.pRefCounted)
#define _rawval(o) ((o)._unVal.raw)
#define tofloat(o) ((sq_type(o) == OT_INTEGER) ? (SQFloat)_integer(o) : _float(o))
// A float out of the integer range (or NaN) converts to 0 instead of undefined behaviour.
inline SQInteger sq_float_to_integer(SQFloat f) {
  if (!(f >= -9.2233720368547758e18f && f < 9.2233720368547758e18f)) return 0;
  return (SQInteger)f;
}
#define tointeger(o) ((sq_type(o) == OT_FLOAT) ? sq_float_to_integer(_float(o)) : _integer(o))
#define sq_isfalse(o) (((o)._type & SQOBJECT_CANBEFALSE) && (sq_type(o) == OT_FLOAT ? _float(o) == 0.0f : _integer(o) == 0))

struct SQString : SQRefCounted {
  SQSharedState* _ss;
  SQString* _nextInBucket;
  SQInteger _len;
  SQHash _hash;
  SQChar _val[1];
  void destroy() override;
  static SQString* create(SQSharedState* ss, const SQChar* s, SQInteger len = -1);
};

struct SQWeakRef : SQRefCounted {
  SQObject _obj;
  void destroy() override;
};

// Objects that can form reference cycles take part in the cycle collector.
struct SQCollectable : SQRefCounted {
  SQCollectable* _gcPrev = nullptr;
  SQCollectable* _gcNext = nullptr;
  SQSharedState* _ss = nullptr;
  void linkGc(SQSharedState* ss);
  void unlinkGc();
  ~SQCollectable() override;
  // Visits every reference this object holds.
  virtual void forEachRef(void (*fn)(SQObject&, void*), void* ctx) = 0;
  // Drops every reference this object holds (breaks cycles).
  virtual void finalize() = 0;
};

struct SQDelegable : SQCollectable {
  SQTable* _delegate = nullptr;
  bool setDelegate(SQTable* t);
  ~SQDelegable() override;
};

struct SQTableNode {
  SQObjectPtr key;
  SQObjectPtr val;
};

struct SQTable : SQDelegable {
  SQTableNode* _nodes = nullptr;
  SQUnsignedInteger32 _numNodes = 0;  // power of two or 0
  SQUnsignedInteger32 _count = 0;      // live keys
  SQUnsignedInteger32 _used = 0;       // live keys plus tombstones
  static SQTable* create(SQSharedState* ss, SQInteger capacity);
  ~SQTable() override;
  void destroy() override;
  void forEachRef(void (*fn)(SQObject&, void*), void* ctx) override;
  void finalize() override;
  SQTableNode* findNode(const SQObject& key) const;
  bool get(const SQObject& key, SQObjectPtr& out) const {
    SQTableNode* n = findNode(key);
    if (!n) return false;
    out = n->val;
    return true;
  }
  // Sets an existing slot only.
  bool set(const SQObject& key, const SQObject& val) {
    SQTableNode* n = findNode(key);
    if (!n) return false;
    n->val = val;
    return true;
  }
  void newSlot(const SQObject& key, const SQObject& val);
  bool remove(const SQObject& key);
  void clear();
  SQInteger next(SQInteger idx, SQObjectPtr& key, SQObjectPtr& val) const;
  SQTable* clone();
  SQInteger countOf() const { return (SQInteger)_count; }
  void rehash(SQUnsignedInteger newSize);
};

// Hashing and lookup are inline: they sit on the interpreter's hottest paths.
inline SQHash sq_hash_object(const SQObject& o) {
  switch (sq_type(o)) {
    case OT_STRING: return _string(o)->_hash;
    case OT_FLOAT: { SQHash h = 0; memcpy(&h, &_float(o), sizeof(SQFloat)); return h * 0x9E3779B97F4A7C15ULL; }
    default: { SQHash h = (SQHash)_rawval(o); h ^= h >> 33; h *= 0xff51afd7ed558ccdULL; h ^= h >> 33; return h; }
  }
}

// A tombstone is a node whose key is null and value is 'true'.
inline bool node_empty(const SQTableNode& n) { return sq_type(n.key) == OT_NULL && sq_type(n.val) == OT_NULL; }
inline bool keys_equal(const SQObject& a, const SQObject& b) {
  return sq_type(a) == sq_type(b) && _rawval(a) == _rawval(b);
}

inline SQTableNode* SQTable::findNode(const SQObject& key) const {
  if (!_numNodes) return nullptr;
  SQUnsignedInteger mask = _numNodes - 1;
  SQUnsignedInteger i = sq_hash_object(key) & mask;
  for (;;) {
    SQTableNode& n = _nodes[i];
    if (keys_equal(n.key, key)) return sq_type(key) == OT_NULL ? nullptr : &n;
    if (node_empty(n)) return nullptr;
    i = (i + 1) & mask;
  }
}

struct SQArray : SQCollectable {
  sqvec<SQObjectPtr> _values;
  static SQArray* create(SQSharedState* ss, SQInteger size);
  void destroy() override;
  void forEachRef(void (*fn)(SQObject&, void*), void* ctx) override;
  void finalize() override;
  SQInteger size() const { return (SQInteger)_values.size(); }
};

struct SQLineInfo { SQInteger pc; SQInteger line; };
struct SQLocalVarInfo { SQObjectPtr name; SQInteger pos; SQInteger startPc; SQInteger endPc; };
struct SQOuterInfo { SQObjectPtr name; SQInteger fromLocal; SQInteger index; };

struct SQFunctionProto : SQRefCounted {
  sqvec<SQUnsignedInteger32> _code;
  sqvec<SQObjectPtr> _literals;
  sqvec<SQObjectPtr> _functions;  // nested prototypes
  sqvec<SQOuterInfo> _outers;
  sqvec<SQLocalVarInfo> _locals;
  sqvec<SQLineInfo> _lines;
  SQObjectPtr _name;
  SQObjectPtr _sourcename;
  SQInteger _nparams = 0;        // including 'this'
  SQInteger _ndefaults = 0;
  SQInteger _stacksize = 0;
  bool _varparams = false;
  bool _generator = false;
  SQInteger _lineDefined = 0;
  void destroy() override;
  SQInteger lineAt(SQInteger pc) const;
};

struct SQOuter : SQCollectable {
  SQVM* _vm = nullptr;       // owning thread while open
  SQInteger _idx = 0;        // stack slot while open
  SQObjectPtr _value;        // value once closed
  SQOuter* _nextOpen = nullptr;
  void destroy() override;
  void forEachRef(void (*fn)(SQObject&, void*), void* ctx) override;
  void finalize() override;
  SQObjectPtr& ref();
};

struct SQClosure : SQCollectable {
  SQFunctionProto* _proto = nullptr;
  SQWeakRef* _env = nullptr;
  SQWeakRef* _root = nullptr;
  SQClass* _base = nullptr;
  SQInteger _nouters = 0;
  SQInteger _ndefaults = 0;
  SQObjectPtr* _defaults = nullptr;   // after the outers, same block
  SQOuter* _outers[1];
  static SQClosure* create(SQSharedState* ss, SQFunctionProto* proto, SQWeakRef* root);
  SQClosure* clone();
  ~SQClosure() override;
  void destroy() override;
  void forEachRef(void (*fn)(SQObject&, void*), void* ctx) override;
  void finalize() override;
  void setEnv(SQWeakRef* w);
  void setRoot(SQWeakRef* w);
  void setBase(SQClass* c);
};

struct SQNativeClosure : SQCollectable {
  SQFUNCTION _function = nullptr;
  SQInteger _nparamscheck = 0;
  sqvec<SQInteger> _typecheck;
  SQObjectPtr _name;
  SQWeakRef* _env = nullptr;
  SQInteger _nouters = 0;
  SQObjectPtr _outers[1];
  static SQNativeClosure* create(SQSharedState* ss, SQFUNCTION f, SQInteger nouters);
  SQNativeClosure* clone();
  ~SQNativeClosure() override;
  void destroy() override;
  void forEachRef(void (*fn)(SQObject&, void*), void* ctx) override;
  void finalize() override;
};

enum SQMetaMethod {
  MT_ADD, MT_SUB, MT_MUL, MT_DIV, MT_UNM, MT_MODULO, MT_SET, MT_GET, MT_TYPEOF, MT_NEXTI, MT_CMP,
  MT_CALL, MT_CLONED, MT_NEWSLOT, MT_DELSLOT, MT_TOSTRING, MT_NEWMEMBER, MT_INHERITED, MT_LAST
};

// A class member's value in the members table is an integer: index << 2 | kind.
enum { MEMBER_FIELD = 1, MEMBER_METHOD = 2 };
#define member_kind(o) (_integer(o) & 3)
#define member_index(o) (_integer(o) >> 2)
#define make_member(kind, idx) SQObjectPtr((SQInteger)(((idx) << 2) | (kind)))

struct SQClassMember { SQObjectPtr val; SQObjectPtr attrs; };

struct SQClass : SQCollectable {
  SQClass* _base = nullptr;
  SQTable* _members = nullptr;
  sqvec<SQClassMember> _fields;   // instance slots (default values)
  sqvec<SQClassMember> _methods;  // methods and static values, shared
  SQObjectPtr _metamethods[MT_LAST];
  SQObjectPtr _attributes;
  SQObjectPtr _constructor;
  SQUserPointer _typetag = nullptr;
  SQRELEASEHOOK _hook = nullptr;
  SQInteger _udsize = 0;
  bool _locked = false;
  static SQClass* create(SQSharedState* ss, SQClass* base);
  ~SQClass() override;
  void destroy() override;
  void forEachRef(void (*fn)(SQObject&, void*), void* ctx) override;
  void finalize() override;
  bool newSlot(SQSharedState* ss, const SQObject& key, const SQObject& val, bool bstatic);
  bool get(const SQObject& key, SQObjectPtr& out);
  bool getAttributes(const SQObject& key, SQObjectPtr& out);
  bool setAttributes(const SQObject& key, const SQObject& val);
  SQInstance* createInstance();
};

struct SQInstance : SQCollectable {
  SQClass* _class = nullptr;
  SQUserPointer _userpointer = nullptr;
  SQRELEASEHOOK _hook = nullptr;
  SQInteger _nvalues = 0;
  SQObjectPtr _values[1];
  ~SQInstance() override;
  void destroy() override;
  void forEachRef(void (*fn)(SQObject&, void*), void* ctx) override;
  void finalize() override;
  bool get(const SQObject& key, SQObjectPtr& out);
  bool set(const SQObject& key, const SQObject& val);
  bool instanceOf(SQClass* c) const;
  void callHook();
};

struct SQUserData : SQDelegable {
  SQInteger _size = 0;
  SQRELEASEHOOK _hook = nullptr;
  SQUserPointer _typetag = nullptr;
  alignas(16) char _data[1];
  static SQUserData* create(SQSharedState* ss, SQInteger size);
  ~SQUserData() override;
  void destroy() override;
  void forEachRef(void (*fn)(SQObject&, void*), void* ctx) override;
  void finalize() override;
};

// Allocates an object with a variable tail (size bytes in total).
template <class T> T* sq_alloc_var(size_t size) {
  void* mem = sq_vm_malloc(size);
  memset(mem, 0, size);
  return new (mem) T();
}

// What a container slot gives when read: a weak reference there stands for the object it
// points to (null once that is gone).
inline const SQObject& sq_slot_value(const SQObject& o) {
  return sq_type(o) == OT_WEAKREF ? _weakref(o)->_obj : o;
}

const SQChar* sq_type_name(SQObjectType t);
bool sq_is_equal(const SQObject& a, const SQObject& b);  // raw identity/number equality
