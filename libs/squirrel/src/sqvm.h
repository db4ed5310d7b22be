// The virtual machine (one per thread of execution) and the state its threads share.
#pragma once
#include "sqobject.h"

struct SQGenerator;

struct SQSharedState {
  SQString** _strings = nullptr;  // interned strings, chained buckets
  SQUnsignedInteger _numBuckets = 0;
  SQUnsignedInteger _numStrings = 0;
  SQCollectable* _gcChain = nullptr;  // every collectable object
  SQObjectPtr _registry;
  SQObjectPtr _consts;
  SQObjectPtr _refsTable;  // objects held through sq_addref: table obj -> count
  SQObjectPtr _metaNames[MT_LAST];
  SQObjectPtr _constructorName;
  SQObjectPtr _outOfMemory;  // the error raised when an allocation fails, made in advance
  SQObjectPtr _tableDelegate, _arrayDelegate, _stringDelegate, _numberDelegate, _closureDelegate,
      _generatorDelegate, _threadDelegate, _classDelegate, _instanceDelegate, _weakrefDelegate;
  SQCOMPILERERROR _compilerErrorHandler = nullptr;
  SQPRINTFUNCTION _printFunc = nullptr;
  SQPRINTFUNCTION _errorFunc = nullptr;
  SQUserPointer _foreignPtr = nullptr;
  SQRELEASEHOOK _releaseHook = nullptr;
  bool _debugInfo = false;  // line events for the debug hook (sq_enabledebuginfo)
  bool _limitOps = false;  // an execution budget: loops and calls fail once it is spent
  SQInteger _opsLeft = 0;
  SQInteger _nativeNesting = 0;  // C recursion of all threads: they run on one C stack
  bool _notifyAllExceptions = false;
  SQVM* _rootVM = nullptr;
  SQChar* _scratch = nullptr;
  SQInteger _scratchSize = 0;
  sqvec<SQObjectPtr> _unreachable;

  SQString* findString(const SQChar* s, SQInteger len, SQHash h);
  void addString(SQString* s);
  void growStrings();
  void removeString(SQString* s);
  SQChar* scratch(SQInteger size);
  SQString* str(const SQChar* s) { return SQString::create(this, s); }
};

struct SQCallInfo {
  SQCallInfo() {}
  // a script frame as a call starts it
  SQCallInfo(SQUnsignedInteger32* ip, const SQObject& closure, SQInteger base, SQInteger target)
      : _ip(ip), _closure{closure}, _base(base), _target(target) {}
  SQUnsignedInteger32* _ip = nullptr;
  SQObjectPtr _closure;      // closure or native closure being run
  SQInteger _base = 0;        // stack index of 'this' (local 0)
  SQInteger _prevTop = 0;     // stack top of the caller
  SQInteger _target = 0;      // stack slot that receives the return value (the callee slot)
  SQInteger _ntraps = 0;      // traps set by this frame
  bool _root = false;         // returns to a native caller (the execute loop exits here)
  bool _generator = false;    // frame of a resumed generator
  SQGenerator* _gen = nullptr;
};

struct SQExceptionTrap {
  SQInteger _stackTop;  // absolute
  SQUnsignedInteger32* _ip;
  SQInteger _callDepth;  // index of the frame that set the trap
};

struct SQVM : SQCollectable {
  SQSharedState* _sharedState = nullptr;
  sqvec<SQObjectPtr> _stackVec;  // stack storage (capacity == size)
  SQObjectPtr* _stack = nullptr;
  SQInteger _stackSize = 0;
  SQInteger _top = 0;
  SQInteger _stackbase = 0;  // base of the current native frame, for the API's indices
  sqvec<SQCallInfo> _calls;
  sqvec<SQExceptionTrap> _traps;
  SQOuter* _openOuters = nullptr;  // sorted by stack slot, highest first
  SQObjectPtr _roottable;
  SQObjectPtr _lasterror;
  SQObjectPtr _errorhandler;
  SQObjectPtr _debughook;
  SQDEBUGHOOK _nativeDebugHook = nullptr;
  SQUserPointer _foreignPtr = nullptr;
  SQRELEASEHOOK _releaseHook = nullptr;
  SQInteger _nativeCalls = 0;  // nesting of execute loops and natives on this thread
  // Counts a level of C recursion (an execute loop or a native call) on this thread and on
  // the C stack its threads share; false, with the error raised, when there is no room.
  bool enterNative();
  void leaveNative() { _nativeCalls--; _sharedState->_nativeNesting--; }
  SQInteger _state = SQ_VMSTATE_IDLE;
  SQInteger _suspendTarget = 0;  // slot receiving the wake-up value
  SQInteger _suspendEntry = 0;   // frame the suspended execute loop started from
  SQObjectPtr _suspendValue;
  bool _suspendRequest = false;  // set by sq_suspendvm, seen when the native returns
  bool _errorHandled = false;
  bool _inErrorHandler = false;
  bool _inDebugHook = false;
  bool _metaFailed = false;  // the last get() failed inside a _get metamethod
  bool _hooked = false;  // a debug hook is set (kept by setDebugHooks)
  bool hookActive() const { return _hooked && !_inDebugHook; }
  void setDebugHooks(const SQObject& scriptHook, SQDEBUGHOOK nativeHook) {
    _debughook = scriptHook;
    _nativeDebugHook = nativeHook;
    _hooked = sq_type(_debughook) != OT_NULL || _nativeDebugHook;
  }
  void callDebugHook(SQInteger type, SQInteger line);
  bool _isMain = false;

  static SQVM* create(SQSharedState* ss);
  ~SQVM() override;
  void destroy() override;
  void forEachRef(void (*fn)(SQObject&, void*), void* ctx) override;
  void finalize() override;

  // stack
  void growStack(SQInteger needed);
  void push(const SQObject& o) {
    if (_top >= _stackSize) { SQObjectPtr keep(o); growStack(_top + 1); _stack[_top++] = std::move(keep); return; }
    _stack[_top++] = o;
  }
  void pushNull() { if (_top >= _stackSize) growStack(_top + 1); _stack[_top++].Null(); }
  void pop() { _stack[--_top].Null(); }
  void pop(SQInteger n) { for (SQInteger i = 0; i < n; i++) _stack[--_top].Null(); }
  SQObjectPtr& top() { return _stack[_top - 1]; }
  SQObjectPtr& stackAt(SQInteger apiIdx) { return apiIdx >= 0 ? _stack[_stackbase + apiIdx - 1] : _stack[_top + apiIdx]; }
  void setTop(SQInteger t) { while (_top > t) _stack[--_top].Null(); if (t > _top) { if (t > _stackSize) growStack(t); _top = t; } }

  // errors
  void raiseError(const SQChar* fmt, ...);
  void raiseErrorObj(const SQObject& o);
  void raiseIdxError(const SQObject& key);
  void callErrorHandler(const SQObject& err);

  // calls: the callee sits at stack[_top - nargs - 1], followed by 'this' and the arguments.
  bool call(const SQObject& callee, SQInteger nargs, SQInteger stackbase, SQObjectPtr& ret, bool raiseerror);
  bool execute(SQInteger entryFrame, bool raiseerror);
  // The interpreter loop of execute; startInError: the last error was raised at the
  // current instruction, its handling comes first.
  __attribute__((noinline)) bool run(SQInteger entryFrame, bool raiseerror, bool startInError);
  // Starts the call of stack[target] with nargs values ('this' first) above it. A script
  // closure gets a new frame (pushedFrame); anything else runs now and leaves its result
  // in stack[target] with the top just above.
  bool startCall(SQInteger target, SQInteger nargs, bool& pushedFrame, bool& suspended);
  bool callNative(SQNativeClosure* nc, SQInteger nargs, SQInteger base, SQObjectPtr& ret, bool& suspended);
  bool tailCallNative(SQInteger nparams);
  void closeOuters(SQInteger fromSlot);
  SQOuter* findOuter(SQInteger slot);
  bool callMeta(const SQObject& fn, const SQObject& self, SQInteger nargs, const SQObject* args, SQObjectPtr& ret, bool raiseerror = true);

  // object operations
  bool get(const SQObject& self, const SQObject& key, SQObjectPtr& out, bool raw, bool throwIfMissing);
  bool set(const SQObject& self, const SQObject& key, const SQObject& val, bool raw);
  bool newSlot(const SQObject& self, const SQObject& key, const SQObject& val, bool bstatic, bool raw);
  bool deleteSlot(const SQObject& self, const SQObject& key, SQObjectPtr& out, bool raw);
  bool getGlobal(const SQObject& self, const SQObject& root, const SQObject& key, SQObjectPtr& out);
  bool setGlobal(const SQObject& self, const SQObject& root, const SQObject& key, const SQObject& val);
  bool arith(int op, const SQObject& a, const SQObject& b, SQObjectPtr& out);
  bool unaryMinus(const SQObject& a, SQObjectPtr& out);
  bool compare(const SQObject& a, const SQObject& b, SQInteger& res);
  // Whether a comparison kind (EQ NE LT LE GT GE, counted from OP_EQ) holds for a and b.
  bool compareHolds(SQInteger kind, const SQObject& a, const SQObject& b, bool& res);
  bool isEqual(const SQObject& a, const SQObject& b);
  bool toString(const SQObject& o, SQObjectPtr& out);
  bool typeOf(const SQObject& o, SQObjectPtr& out);
  bool clone(const SQObject& o, SQObjectPtr& out);
  bool exists(const SQObject& self, const SQObject& key, bool& res);
  bool iterate(const SQObject& o, SQObjectPtr& iter, SQObjectPtr& key, SQObjectPtr& val, bool& done);
  bool getDefaultDelegate(const SQObject& self, SQObjectPtr& out);
  bool getMetaMethod(const SQObject& self, SQMetaMethod mm, SQObjectPtr& out);
  bool concat(const SQObject& a, const SQObject& b, SQObjectPtr& out);
  // The n values from stack slot first as text, joined.
  bool concatValues(SQInteger first, SQInteger n, SQObjectPtr& out);
  bool createClass(SQClass* base, const SQObject& attrs, SQObjectPtr& out);
  bool classNewMember(SQClass* c, const SQObject& key, const SQObject& val, const SQObject& attrs, bool bstatic, bool raw);
  bool resumeGenerator(SQGenerator* g, SQInteger target);
  bool wakeup(bool hasValue, const SQObject& value, bool retval, bool raiseerror, bool throwerror);
  SQObjectPtr printable(const SQObject& o, bool useMeta = true);  // tostring that never fails (always a string)
  // A closure keeps the root table current when it was made (or the one set with setroot):
  // :: and its globals read that table, the thread's current one once that table is gone.
  SQWeakRef* currentRootRef();
  const SQObject& closureRoot(const SQClosure* c) const;
};

enum SQGeneratorState { GEN_SUSPENDED, GEN_RUNNING, GEN_DEAD };

struct SQGenerator : SQCollectable {
  SQObjectPtr _closure;
  sqvec<SQObjectPtr> _stack;  // saved frame: 'this', locals and temporaries
  SQUnsignedInteger32* _ip = nullptr;
  sqvec<SQExceptionTrap> _traps;  // relative to the frame
  sqvec<SQOuter*> _outers;        // outers that were open on the frame (slot relative)
  SQGeneratorState _state = GEN_SUSPENDED;
  void destroy() override;
  void forEachRef(void (*fn)(SQObject&, void*), void* ctx) override;
  void finalize() override;
  ~SQGenerator() override;
};

inline SQObjectPtr::SQObjectPtr(SQString* s) : SQObjectPtr(OT_STRING, s) {}
inline SQObjectPtr::SQObjectPtr(SQTable* t) : SQObjectPtr(OT_TABLE, t) {}
inline SQObjectPtr::SQObjectPtr(SQArray* a) : SQObjectPtr(OT_ARRAY, a) {}
inline SQObjectPtr::SQObjectPtr(SQClosure* c) : SQObjectPtr(OT_CLOSURE, c) {}
inline SQObjectPtr::SQObjectPtr(SQNativeClosure* c) : SQObjectPtr(OT_NATIVECLOSURE, c) {}
inline SQObjectPtr::SQObjectPtr(SQClass* c) : SQObjectPtr(OT_CLASS, c) {}
inline SQObjectPtr::SQObjectPtr(SQInstance* i) : SQObjectPtr(OT_INSTANCE, i) {}
inline SQObjectPtr::SQObjectPtr(SQGenerator* g) : SQObjectPtr(OT_GENERATOR, g) {}
inline SQObjectPtr::SQObjectPtr(SQUserData* u) : SQObjectPtr(OT_USERDATA, u) {}
inline SQObjectPtr::SQObjectPtr(SQWeakRef* w) : SQObjectPtr(OT_WEAKREF, w) {}
inline SQObjectPtr::SQObjectPtr(SQVM* v) : SQObjectPtr(OT_THREAD, v) {}
inline SQObjectPtr::SQObjectPtr(SQFunctionProto* f) : SQObjectPtr(OT_FUNCPROTO, f) {}

SQSharedState* sq_new_shared_state();
// Bounds the work scripts may do (loop iterations and calls); negative: no bound. Used by
// the fuzz targets so that a script that never ends is an error, not a hang.
void sq_setopslimit(HSQUIRRELVM v, SQInteger ops);
void sq_init_shared_state(SQSharedState* ss, SQVM* vm);
void sq_free_shared_state(SQSharedState* ss);
SQInteger sq_collect_cycles(SQSharedState* ss, bool resurrect);
void sq_register_base_lib(SQVM* v);
void sq_init_default_delegates(SQSharedState* ss, SQVM* v);
bool sq_compile_source(SQVM* v, SQLEXREADFUNC read, SQUserPointer up, const SQChar* sourcename, bool raiseerror, SQObjectPtr& out);
SQString* sq_format_number(SQSharedState* ss, const SQObject& o);
#define SQ_NUMBER_TEXT_MAX 32
SQInteger sq_format_number_to(SQChar* out, const SQObject& o);
SQString* sq_concat_strings(SQSharedState* ss, const SQChar* a, SQInteger alen, const SQChar* b, SQInteger blen);
