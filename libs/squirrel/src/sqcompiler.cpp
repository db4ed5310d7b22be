// Single-pass compiler: Squirrel source to stack-machine byte code.
#include "sqlexer.h"
#include "sqcstack.h"
#include "sqopcodes.h"
#include <stdio.h>
#include <string.h>
#include <stdarg.h>

namespace {

enum ExprKind { E_VALUE, E_LOCAL, E_OUTER, E_FIELD, E_FIELDK, E_GLOBAL };

struct ExprDesc {
  ExprKind kind = E_VALUE;
  SQInteger idx = 0;     // local slot, outer index, literal index
  bool isBase = false;   // the object is 'base': calls pass 'this'
  bool isString = false; // a string literal, or a concatenation that starts with one
};

struct LocalVar {
  SQObjectPtr name;
  SQInteger slot;
  SQInteger startPc;
};

// Where the last few instructions since the last jump target start: all the peephole
// looks back at.
struct RecentOps {
  static const SQInteger DEPTH = 4;
  SQInteger starts[DEPTH];
  SQInteger count = 0;
  void push(SQInteger at) {
    if (count == DEPTH) { memmove(starts, starts + 1, sizeof(SQInteger) * (DEPTH - 1)); count--; }
    starts[count++] = at;
  }
  // the n-th from the end (0: the last), -1 when not known
  SQInteger at(SQInteger n) const { return n < count ? starts[count - 1 - n] : -1; }
};

// Code compiled where it is written and emitted elsewhere (a loop's test and increment
// go after its body). It moves whole, so jumps inside it keep their offsets.
struct MovedCode {
  sqvec<SQUnsignedInteger32> code;
  sqvec<SQLineInfo> lines;   // pcs relative to the start
  RecentOps recent;  // straight instructions at its end, relative
};

struct LoopInfo {
  sqvec<SQInteger> breaks;
  sqvec<SQInteger> continues;
  SQInteger depth;      // stack depth to restore on break/continue
  SQInteger traps;      // open traps when the loop started
  bool isSwitch;
};

struct FuncState {
  FuncState* parent = nullptr;
  SQFunctionProto* proto = nullptr;
  SQObjectPtr protoRef;
  sqvec<LocalVar> locals;
  SQInteger top = 0;      // static stack depth
  SQInteger traps = 0;    // open try blocks
  SQTable* literalMap = nullptr;
  SQObjectPtr literalMapRef;
  sqvec<LoopInfo*> loops;
  SQInteger lastLine = -1;
  RecentOps recent;  // instructions since the last jump target (for peephole)
  SQInteger lastCallPc = -1;  // the last call (a return right after it is a tail call)
  sqvec<SQInteger> jumpsHere;  // plain jumps patched to jumpsHerePc
  SQInteger jumpsHerePc = -1;
};

struct Compiler {
  SQVM* _vm;
  SQSharedState* _ss;
  SQLexer _lex;
  FuncState* _fs = nullptr;
  SQInteger _depth = 0;
  SQObjectPtr _sourcename;

  Compiler(SQVM* v) : _vm(v), _ss(v->_sharedState) {}

  [[noreturn]] void error(const SQChar* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(_lex._errbuf, sizeof(_lex._errbuf), fmt, ap);
    va_end(ap);
    throw SQCompileError{_lex._errbuf};
  }

  SQInteger tok() const { return _lex._tok; }
  void lex() { _lex.lex(); }

  void expect(SQInteger t) {
    if (tok() != t) {
      if (t == TK_IDENTIFIER && tok() == TK_CONSTRUCTOR) { lex(); return; }
      const SQChar* name = sq_token_name(t);
      if (name) error("expected '%s'", name);
      error("expected '%c'", (int)t);
    }
    lex();
  }

  SQObjectPtr expectIdentifier() {
    if (tok() == TK_CONSTRUCTOR) { lex(); return SQObjectPtr(_ss->_constructorName); }
    if (tok() != TK_IDENTIFIER) error("expected 'IDENTIFIER'");
    SQObjectPtr s = _lex._str;
    lex();
    return s;
  }

  // A ';' just read ends a statement too: the one of a function body that was a single
  // statement also ends the statement around the function (local f = function() return 1;).
  bool isEndOfStatement() {
    return _lex._prevNewline || tok() == TK_EOF || tok() == '}' || tok() == ';' || _lex._prevTok == ';';
  }
  void optionalSemicolon() {
    if (tok() == ';') { lex(); return; }
    if (!isEndOfStatement()) error("end of statement expected (; or lf)");
  }

  // Each expression, prefix operator and statement is one level of recursion here. A
  // program 1,000 brackets or blocks deep compiles (the statement and expression around
  // the outermost bracket are levels too, hence the headroom); deeper is refused, as is
  // any depth once the C stack runs low (a thread with a small stack).
  static const SQInteger MAX_NESTING = 1024;
  struct DepthGuard {
    Compiler* c;
    DepthGuard(Compiler* cc) : c(cc) {
      if (++c->_depth > MAX_NESTING || sq_c_stack_low()) c->error("expression or block nested too deeply");
    }
    ~DepthGuard() { c->_depth--; }
  };

  // ---- emission ----
  SQInteger pc() const { return (SQInteger)_fs->proto->_code.size(); }
  void adjust(SQInteger delta) {
    _fs->top += delta;
    if (_fs->top > _fs->proto->_stacksize) _fs->proto->_stacksize = _fs->top;
    if (_fs->top > 4000) error("too many locals or temporaries in function");
  }
  SQInteger emit(SQInteger op, SQInteger arg, SQInteger delta) {
    if (arg > SQ_ARG_MAX || arg < -SQ_ARG_MAX) error("function too large");
    SQInteger at = pc();
    _fs->recent.push(at);
    _fs->proto->_code.push_back(SQ_MAKE(op, arg));
    adjust(delta);
    return at;
  }
  void emitWord(SQUnsignedInteger32 w) { _fs->proto->_code.push_back(w); }
  void emitWord(SQInteger w) { _fs->proto->_code.push_back((SQUnsignedInteger32)(SQInt32)w); }
  // The peephole looks back over the straight code since the last jump target. opStart(n)
  // is where the n-th instruction from the end starts (0: the last), -1 past the label.
  SQInteger opStart(SQInteger n) const {
    return _fs->recent.at(n);
  }
  SQInteger opAt(SQInteger n) const {
    SQInteger at = opStart(n);
    return at < 0 ? -1 : SQ_OP(_fs->proto->_code[at]);
  }
  SQInteger argAt(SQInteger n) const { return SQ_ARG(_fs->proto->_code[opStart(n)]); }
  SQUnsignedInteger32& wordAt(SQInteger n) { return _fs->proto->_code[opStart(n)]; }
  // Words the n-th instruction from the end takes.
  SQInteger opSize(SQInteger n) const { return (n == 0 ? pc() : opStart(n - 1)) - opStart(n); }
  SQInteger lastOp() const { return opAt(0); }
  // Removes the last n instructions; the caller fixes the stack depth.
  void dropOps(SQInteger n) {
    SQInteger at = opStart(n - 1);
    _fs->proto->_code._size = (SQUnsignedInteger)at;
    _fs->recent.count -= n;
    while (!_fs->proto->_lines.empty() && _fs->proto->_lines.back().pc > at) _fs->proto->_lines.pop_back();
  }
  void markLabel() { _fs->recent.count = 0; }  // a jump target: no peephole across it
  void patchJump(SQInteger at, SQInteger target) {
    SQUnsignedInteger32& w = _fs->proto->_code[at];
    // the offset counts from the end of the instruction; some keep it in an extra word
    SQInteger words = 1, offsetWord = -1;
    switch (SQ_OP(w)) {
      case OP_FOREACH: case OP_JCMP: words = 2; offsetWord = 1; break;
      case OP_JCMPLK: words = 3; offsetWord = 2; break;
      case OP_FORLOOPK: words = 4; offsetWord = 3; break;
    }
    SQInteger off = target - (at + words);
    if (off > SQ_ARG_MAX || off < -SQ_ARG_MAX) error("jump too long");
    if (offsetWord > 0) _fs->proto->_code[at + offsetWord] = (SQUnsignedInteger32)(SQInt32)off;
    else w = SQ_MAKE(SQ_OP(w), off);
  }
  void cutCode(SQInteger from, MovedCode& m) {
    for (SQInteger i = from; i < pc(); i++) m.code.push_back(_fs->proto->_code[i]);
    for (SQInteger i = _fs->recent.count - 1; i >= 0; i--)
      if (_fs->recent.at(i) >= from) m.recent.push(_fs->recent.at(i) - from);
    while (!_fs->proto->_lines.empty() && _fs->proto->_lines.back().pc >= from) {
      SQLineInfo li = _fs->proto->_lines.back();
      li.pc -= from;
      m.lines.insert(0, li);
      _fs->proto->_lines.pop_back();
    }
    _fs->proto->_code._size = (SQUnsignedInteger)from;
    _fs->lastLine = -1;
    _fs->lastCallPc = -1;
    _fs->jumpsHerePc = -1;  // positions past 'from' are reused
    markLabel();
  }
  // Emits moved code at a jump target.
  void pasteCode(const MovedCode& m) {
    markLabel();
    SQInteger base = pc();
    for (SQUnsignedInteger i = 0; i < m.lines.size(); i++) {
      SQLineInfo li{m.lines[i].pc + base, m.lines[i].line};
      if (!_fs->proto->_lines.empty() && _fs->proto->_lines.back().pc == li.pc) _fs->proto->_lines.back().line = li.line;
      else _fs->proto->_lines.push_back(li);
    }
    for (SQUnsignedInteger i = 0; i < m.code.size(); i++) _fs->proto->_code.push_back(m.code[i]);
    for (SQInteger i = m.recent.count - 1; i >= 0; i--) _fs->recent.push(m.recent.at(i) + base);
    _fs->lastLine = -1;
  }
  void patchHere(SQInteger at) {
    patchJump(at, pc());
    markLabel();
    // remember plain jumps that land here: a return emitted here can take their place
    if (SQ_OP(_fs->proto->_code[at]) != OP_JMP) return;
    if (_fs->jumpsHerePc != pc()) { _fs->jumpsHere._size = 0; _fs->jumpsHerePc = pc(); }
    _fs->jumpsHere.push_back(at);
  }
  void emitJumpBack(SQInteger op, SQInteger target, SQInteger delta) {
    SQInteger at = emit(op, 0, delta);
    patchJump(at, target);
  }
  void line() {
    SQInteger l = _lex._tokLine;
    if (l != _fs->lastLine) {
      _fs->lastLine = l;
      SQLineInfo li{pc(), l};
      if (!_fs->proto->_lines.empty() && _fs->proto->_lines.back().pc == li.pc) _fs->proto->_lines.back().line = l;
      else _fs->proto->_lines.push_back(li);
    }
  }
  SQInteger literal(const SQObject& o) {
    SQObjectPtr idx;
    if (sq_type(o) != OT_TABLE && _fs->literalMap->get(o, idx)) return _integer(idx);
    SQInteger n = (SQInteger)_fs->proto->_literals.size();
    if (n >= SQ_LITERAL_MAX) error("too many literals in function");
    _fs->proto->_literals.push_back(SQObjectPtr(o));
    if (sq_type(o) != OT_TABLE) _fs->literalMap->newSlot(o, SQObjectPtr(n));
    return n;
  }
  void pushValue(const SQObject& o) {
    switch (sq_type(o)) {
      case OT_NULL: emit(OP_PUSHNULL, 0, 1); return;
      case OT_BOOL: emit(_integer(o) ? OP_PUSHTRUE : OP_PUSHFALSE, 0, 1); return;
      case OT_INTEGER:
        if (_integer(o) >= -SQ_ARG_MAX && _integer(o) <= SQ_ARG_MAX) { emit(OP_PUSHINT, _integer(o), 1); return; }
        break;
      default: break;
    }
    emit(OP_PUSHK, literal(o), 1);
  }
  void pushString(const SQChar* s) { pushValue(SQObjectPtr(SQString::create(_ss, s))); }

  // ---- scopes and locals ----
  SQInteger declareLocal(const SQObject& name) {
    // the value is already on top of the stack
    LocalVar& lv = _fs->locals.push_back();
    lv.name = name;
    lv.slot = _fs->top - 1;
    lv.startPc = pc();
    return lv.slot;
  }
  SQInteger findLocal(FuncState* fs, const SQObject& name) {
    for (SQInteger i = (SQInteger)fs->locals.size() - 1; i >= 0; i--)
      if (sq_type(fs->locals[i].name) == OT_STRING && _string(fs->locals[i].name) == _string(name)) return fs->locals[i].slot;
    return -1;
  }
  SQInteger findOuter(FuncState* fs, const SQObject& name) {
    for (SQUnsignedInteger i = 0; i < fs->proto->_outers.size(); i++)
      if (_string(fs->proto->_outers[i].name) == _string(name)) return (SQInteger)i;
    if (!fs->parent) return -1;
    SQInteger slot = findLocal(fs->parent, name);
    SQInteger from = 1;
    if (slot < 0) { slot = findOuter(fs->parent, name); from = 0; }
    if (slot < 0) return -1;
    SQOuterInfo& oi = fs->proto->_outers.push_back();
    oi.name = name;
    oi.fromLocal = from;
    oi.index = slot;
    return (SQInteger)fs->proto->_outers.size() - 1;
  }
  struct Scope { SQInteger nlocals; SQInteger top; };
  Scope beginScope() { return Scope{(SQInteger)_fs->locals.size(), _fs->top}; }
  void endScope(const Scope& s) {
    closeLocals(s.nlocals);
    if (_fs->top > s.top) {
      emit(OP_POPTO, s.top, 0);
      _fs->top = s.top;
    }
  }
  void closeLocals(SQInteger nlocals) {
    while ((SQInteger)_fs->locals.size() > nlocals) {
      LocalVar& lv = _fs->locals.back();
      SQLocalVarInfo& info = _fs->proto->_locals.push_back();
      info.name = lv.name;
      info.pos = lv.slot;
      info.startPc = lv.startPc;
      info.endPc = pc();
      _fs->locals.pop_back();
    }
  }

  // ---- expressions ----
  void materialize(ExprDesc& e) {
    switch (e.kind) {
      case E_VALUE: break;
      case E_LOCAL: emitLoadLocal(e.idx); break;
      case E_OUTER: emit(OP_LOADO, e.idx, 1); break;
      case E_FIELD:
        if (lastOp() == OP_LOADL2) {
          // "local[local]" in one instruction
          wordAt(0) = SQ_MAKE(OP_GETLL, argAt(0));
          adjust(-1);
        } else {
          emit(OP_GET, 0, -1);
        }
        break;
      case E_FIELDK:
        if (lastOp() == OP_LOADL) {
          // "local.key" in one instruction
          wordAt(0) = SQ_MAKE(OP_GETLK, argAt(0));
          emitWord(e.idx);
        } else {
          emit(OP_GETK, e.idx, 0);
        }
        break;
      case E_GLOBAL: emit(OP_GETG, e.idx, 1); break;
    }
    e.kind = E_VALUE;
  }
  void emitLoadLocal(SQInteger slot) {
    if (lastOp() == OP_LOADL && argAt(0) < 2048 && slot < 2048) {
      wordAt(0) = SQ_MAKE(OP_LOADL2, argAt(0) | (slot << 12));
      adjust(1);
      return;
    }
    emit(OP_LOADL, slot, 1);
  }
  void expression() {
    ExprDesc e = expr();
    materialize(e);
  }
  // exp, exp: both are evaluated, the value is the right one.
  void commaExpression() {
    expression();
    while (tok() == ',') {
      lex();
      emit(OP_POP, 0, -1);
      expression();
    }
  }

  static bool isAssignOp(SQInteger t) {
    return t == '=' || t == TK_NEWSLOT || t == TK_PLUSEQ || t == TK_MINUSEQ || t == TK_MULEQ || t == TK_DIVEQ || t == TK_MODEQ;
  }
  static SQInteger compoundOp(SQInteger t) {
    switch (t) {
      case TK_PLUSEQ: return OP_ADD;
      case TK_MINUSEQ: return OP_SUB;
      case TK_MULEQ: return OP_MUL;
      case TK_DIVEQ: return OP_DIV;
      case TK_MODEQ: return OP_MOD;
    }
    return -1;
  }

  ExprDesc expr() {
    DepthGuard g(this);
    ExprDesc e = ternary();
    if (!isAssignOp(tok())) return e;
    SQInteger op = tok();
    if (e.kind == E_VALUE) error("can't assign expression");
    lex();
    if (op == TK_NEWSLOT) {
      if (e.kind == E_FIELDK) { emit(OP_PUSHK, e.idx, 1); }
      else if (e.kind == E_GLOBAL) { emit(OP_LOADL, 0, 1); emit(OP_PUSHK, e.idx, 1); }
      else if (e.kind != E_FIELD) error("can't 'create' a local slot");
      expression();
      emit(OP_NEWSLOT, 0, -2);
      return ExprDesc();
    }
    if (op == '=') {
      switch (e.kind) {
        case E_LOCAL: expression(); emit(OP_STOREL, e.idx, 0); break;
        case E_OUTER: expression(); emit(OP_STOREO, e.idx, 0); break;
        case E_FIELD:
          if (lastOp() == OP_LOADL2) {
            // local[local] = value: the locals are read when the value is stored
            SQInteger locals = argAt(0);
            dropOps(1);
            adjust(-2);
            expression();
            emit(OP_SETLL, 0, 0);
            emitWord(locals);
          } else {
            expression();
            emit(OP_SET, 0, -2);
          }
          break;
        case E_FIELDK:
          if (lastOp() == OP_LOADL) {
            // local.key = value: the local is read when the value is stored
            SQInteger slot = argAt(0);
            dropOps(1);
            adjust(-1);
            expression();
            emit(OP_SETLK, slot, 0);
            emitWord(e.idx);
          } else {
            expression();
            emit(OP_SETK, e.idx, -1);
          }
          break;
        case E_GLOBAL: expression(); emit(OP_SETG, e.idx, 0); break;
        default: break;
      }
      return ExprDesc();
    }
    SQInteger aop = compoundOp(op);
    switch (e.kind) {
      case E_LOCAL: expression(); emit(fusedArithOp(OP_COMPOUNDL_ADD, aop - OP_ADD), e.idx | ((aop - OP_ADD) << 12), 0); break;
      case E_OUTER: emit(OP_LOADO, e.idx, 1); expression(); emit(aop, 0, -1); emit(OP_STOREO, e.idx, 0); break;
      case E_FIELD: emit(OP_DUP2, 0, 2); emit(OP_GET, 0, -1); expression(); emit(aop, 0, -1); emit(OP_SET, 0, -2); break;
      case E_FIELDK: emit(OP_DUP, 0, 1); emit(OP_GETK, e.idx, 0); expression(); emit(aop, 0, -1); emit(OP_SETK, e.idx, -1); break;
      case E_GLOBAL: emit(OP_GETG, e.idx, 1); expression(); emit(aop, 0, -1); emit(OP_SETG, e.idx, 0); break;
      default: break;
    }
    return ExprDesc();
  }

  ExprDesc ternary() {
    ExprDesc e = binary(1);
    if (tok() != '?') return e;
    materialize(e);
    lex();
    SQInteger jz = emitCondJump(false);
    expression();
    SQInteger jend = emit(OP_JMP, 0, 0);
    adjust(-1);
    patchHere(jz);
    expect(':');
    expression();
    patchHere(jend);
    return ExprDesc();
  }

  static int precedence(SQInteger t) {
    switch (t) {
      case TK_OR: return 1;
      case TK_AND: return 2;
      case '|': return 3;
      case '^': return 4;
      case '&': return 5;
      case TK_EQ: case TK_NE: case TK_3WAYSCMP: return 6;
      case '<': case '>': case TK_LE: case TK_GE: case TK_IN: case TK_INSTANCEOF: return 7;
      case TK_SHIFTL: case TK_SHIFTR: case TK_USHIFTR: return 8;
      case '+': case '-': return 9;
      case '*': case '/': case '%': return 10;
    }
    return 0;
  }
  static SQInteger binaryOpcode(SQInteger t) {
    switch (t) {
      case '|': return OP_BOR;
      case '^': return OP_BXOR;
      case '&': return OP_BAND;
      case TK_EQ: return OP_EQ;
      case TK_NE: return OP_NE;
      case TK_3WAYSCMP: return OP_CMP3;
      case '<': return OP_LT;
      case '>': return OP_GT;
      case TK_LE: return OP_LE;
      case TK_GE: return OP_GE;
      case TK_IN: return OP_IN;
      case TK_INSTANCEOF: return OP_INSTANCEOF;
      case TK_SHIFTL: return OP_SHL;
      case TK_SHIFTR: return OP_SHR;
      case TK_USHIFTR: return OP_USHR;
      case '+': return OP_ADD;
      case '-': return OP_SUB;
      case '*': return OP_MUL;
      case '/': return OP_DIV;
      case '%': return OP_MOD;
    }
    return -1;
  }

  // A fused arithmetic form has one opcode for each of + - * / (from its _ADD one) and a
  // generic one, after them, that reads the op from its argument.
  static SQInteger fusedArithOp(SQInteger addForm, SQInteger op) { return op <= OP_DIV - OP_ADD ? addForm + op : addForm + 4; }

  // Emits an arithmetic op (counted from OP_ADD) on the two values just compiled, fused
  // with the loads of its operands when they are a local and a number constant, or locals.
  void emitArith(SQInteger op) {
    SQInteger k = -1;  // literal index of a constant right operand
    if (lastOp() == OP_PUSHINT) k = literal(SQObjectPtr((SQInteger)argAt(0)));
    else if (lastOp() == OP_PUSHK && sq_isnumeric(_fs->proto->_literals[argAt(0)])) k = argAt(0);
    if (k >= 0) {
      dropOps(1);
      adjust(-1);
      if (lastOp() == OP_LOADL) {
        SQInteger slot = argAt(0);
        dropOps(1);
        emit(fusedArithOp(OP_LBINK_ADD, op), slot | (op << 12), 0);
      } else {
        emit(fusedArithOp(OP_BINK_ADD, op), op, 0);
      }
      emitWord(k);
    } else if (lastOp() == OP_LOADL2) {
      SQInteger locals = argAt(0);
      wordAt(0) = SQ_MAKE(fusedArithOp(OP_LBINL_ADD, op), op);
      emitWord(locals);
      adjust(-1);
    } else if (lastOp() == OP_LOADL) {
      wordAt(0) = SQ_MAKE(fusedArithOp(OP_BINL_ADD, op), argAt(0) | (op << 12));
      adjust(-1);
    } else {
      emit(OP_ADD + op, 0, -1);
    }
  }

  ExprDesc binary(int minPrec) {
    ExprDesc l = unary();
    // "string" + x + y ...: '+' after a string is always a concatenation, so the operands
    // wait on the stack and are joined at once
    SQInteger joined = 0;
    for (;;) {
      SQInteger t = tok();
      int p = precedence(t);
      if (p == 0 || p < minPrec) break;
      materialize(l);
      lex();
      if (t == '+' && l.isString) {
        ExprDesc r = binary(p + 1);
        materialize(r);
        joined = joined ? joined + 1 : 2;
        continue;
      }
      if (joined) { emit(OP_CONCATN, joined, 1 - joined); joined = 0; }
      l.isString = false;
      if (t == TK_AND || t == TK_OR) {
        SQInteger j = emit(t == TK_AND ? OP_ANDJ : OP_ORJ, 0, -1);
        ExprDesc r = binary(p + 1);
        materialize(r);
        patchHere(j);
      } else {
        ExprDesc r = binary(p + 1);
        materialize(r);
        SQInteger op = binaryOpcode(t);
        if (op >= OP_ADD && op <= OP_USHR) emitArith(op - OP_ADD);
        else emit(op, 0, -1);
      }
      l.kind = E_VALUE;
    }
    if (joined) emit(OP_CONCATN, joined, 1 - joined);
    return l;
  }

  ExprDesc unary() {
    if (!isPrefixOperator(tok())) return postfix();
    DepthGuard g(this);
    switch (tok()) {
      case '-': {
        lex();
        if (tok() == TK_INTEGER) { SQInteger v = _lex._int; lex(); ExprDesc e = postfixOnValue(SQObjectPtr((SQInteger)(0 - (SQUnsignedInteger)v))); return e; }
        if (tok() == TK_FLOAT) { SQFloat v = _lex._float; lex(); return postfixOnValue(SQObjectPtr(-v)); }
        ExprDesc e = unary(); materialize(e); emit(OP_NEG, 0, 0); return ExprDesc();
      }
      case '!': { lex(); ExprDesc e = unary(); materialize(e); emit(OP_NOT, 0, 0); return ExprDesc(); }
      case '~': { lex(); ExprDesc e = unary(); materialize(e); emit(OP_BNOT, 0, 0); return ExprDesc(); }
      case TK_TYPEOF: { lex(); ExprDesc e = unary(); materialize(e); emit(OP_TYPEOF, 0, 0); return ExprDesc(); }
      case TK_RESUME: { lex(); ExprDesc e = unary(); materialize(e); emit(OP_RESUME, 0, 0); return ExprDesc(); }
      case TK_CLONE: { lex(); ExprDesc e = unary(); materialize(e); emit(OP_CLONE, 0, 0); return ExprDesc(); }
      case TK_DELETE: {
        lex();
        ExprDesc e = unary();
        if (e.kind == E_FIELDK) { emit(OP_PUSHK, e.idx, 1); }
        else if (e.kind == E_GLOBAL) { emit(OP_LOADL, 0, 1); emit(OP_PUSHK, e.idx, 1); }
        else if (e.kind == E_LOCAL || e.kind == E_OUTER) error("cannot delete an (outer) local");
        else if (e.kind != E_FIELD) error("can't delete an expression");
        emit(OP_DELETE, 0, -1);
        return ExprDesc();
      }
      case TK_PLUSPLUS: case TK_MINUSMINUS: {
        SQInteger delta = tok() == TK_PLUSPLUS ? 1 : -1;
        lex();
        ExprDesc e = unary();
        emitInc(e, delta, false);
        return ExprDesc();
      }
    }
    return postfix();
  }

  static bool isPrefixOperator(SQInteger t) {
    return t == '-' || t == '!' || t == '~' || t == TK_TYPEOF || t == TK_RESUME || t == TK_CLONE ||
           t == TK_DELETE || t == TK_PLUSPLUS || t == TK_MINUSMINUS;
  }

  ExprDesc postfixOnValue(const SQObjectPtr& v) {
    pushValue(v);
    ExprDesc e;
    return suffixes(e);
  }

  void emitInc(ExprDesc& e, SQInteger delta, bool post) {
    SQUnsignedInteger32 w = (SQUnsignedInteger32)(SQInt32)((delta << 2) | (post ? 1 : 0));
    switch (e.kind) {
      case E_LOCAL: emit(OP_INCL, e.idx, 1); break;
      case E_OUTER: emit(OP_INCO, e.idx, 1); break;
      case E_FIELD: emit(OP_INCF, 0, -1); break;
      case E_FIELDK: emit(OP_PUSHK, e.idx, 1); emit(OP_INCF, 0, -1); break;
      case E_GLOBAL: emit(OP_INCG, e.idx, 1); break;
      default: error("can't '++' or '--' an expression");
    }
    emitWord(w);
    e.kind = E_VALUE;
  }

  ExprDesc postfix() {
    ExprDesc e = primary();
    e = suffixes(e);
    if ((tok() == TK_PLUSPLUS || tok() == TK_MINUSMINUS) && !_lex._prevNewline) {
      SQInteger delta = tok() == TK_PLUSPLUS ? 1 : -1;
      lex();
      emitInc(e, delta, true);
    }
    return e;
  }

  ExprDesc suffixes(ExprDesc e) {
    for (;;) {
      if (tok() == '.' || tok() == '(' || (tok() == '[' && !_lex._prevNewline)) e.isString = false;
      switch (tok()) {
        case '.': {
          lex();
          materialize(e);
          SQObjectPtr id = expectIdentifier();
          bool wasBase = e.isBase;
          e.kind = E_FIELDK;
          e.idx = literal(id);
          e.isBase = wasBase;
          break;
        }
        case '[': {
          if (_lex._prevNewline) return e;  // a new statement that starts with an array literal
          lex();
          materialize(e);
          bool wasBase = e.isBase;
          expression();
          expect(']');
          e.kind = E_FIELD;
          e.isBase = wasBase;
          break;
        }
        case '(': {
          lex();
          line();
          // arrange [function this]
          if (e.isBase && (e.kind == E_FIELD || e.kind == E_FIELDK)) {
            materialize(e);
            emit(OP_LOADL, 0, 1);
          } else if (e.kind == E_FIELD) {
            emit(OP_PREPCALL, 0, 0);
          } else if (e.kind == E_FIELDK && lastOp() == OP_LOADL) {
            wordAt(0) = SQ_MAKE(OP_PREPCALLLK, argAt(0));
            emitWord(e.idx);
            adjust(1);
          } else if (e.kind == E_FIELDK) {
            emit(OP_PREPCALLK, e.idx, 1);
          } else {
            materialize(e);
            // a global function: the function and 'this' in one instruction
            if (lastOp() == OP_GETG) { wordAt(0) = SQ_MAKE(OP_PREPCALLG, argAt(0)); adjust(1); }
            else emit(OP_LOADL, 0, 1);
          }
          SQInteger nargs = 1;
          while (tok() != ')') {
            expression();
            nargs++;
            if (tok() == ',') { lex(); if (tok() == ')') error("expression expected, found ')'"); }
            else if (tok() != ')') error("expected ')' or ','");
          }
          lex();
          // post-call initializer: f(...) { slot = value, ... } is not part of this dialect
          _fs->lastCallPc = emit(OP_CALL, nargs, -nargs);
          e = ExprDesc();
          break;
        }
        default:
          return e;
      }
    }
  }

  const SQObjectPtr* constLookup(const SQObject& name) {
    SQTableNode* n = _table(_ss->_consts)->findNode(name);
    return n ? &n->val : nullptr;
  }

  ExprDesc primary() {
    ExprDesc e;
    switch (tok()) {
      case TK_STRING_LITERAL: pushValue(_lex._str); lex(); e.isString = true; return e;
      case TK_INTEGER: pushValue(SQObjectPtr(_lex._int)); lex(); return e;
      case TK_FLOAT: pushValue(SQObjectPtr(_lex._float)); lex(); return e;
      case TK_TRUE: emit(OP_PUSHTRUE, 0, 1); lex(); return e;
      case TK_FALSE: emit(OP_PUSHFALSE, 0, 1); lex(); return e;
      case TK_NULL: emit(OP_PUSHNULL, 0, 1); lex(); return e;
      case TK___LINE__: pushValue(SQObjectPtr(_lex._tokLine)); lex(); return e;
      case TK___FILE__: pushValue(_sourcename); lex(); return e;
      case TK_THIS: lex(); e.kind = E_LOCAL; e.idx = 0; return e;
      case TK_BASE: lex(); emit(OP_PUSHBASE, 0, 1); e.isBase = true; return e;
      case TK_DOUBLE_COLON: {
        lex();
        emit(OP_PUSHROOT, 0, 1);
        SQObjectPtr id = expectIdentifier();
        e.kind = E_FIELDK;
        e.idx = literal(id);
        return e;
      }
      case TK_IDENTIFIER: case TK_CONSTRUCTOR: {
        SQObjectPtr id = expectIdentifier();
        SQInteger slot = findLocal(_fs, id);
        if (slot >= 0) { e.kind = E_LOCAL; e.idx = slot; return e; }
        SQInteger o = findOuter(_fs, id);
        if (o >= 0) { e.kind = E_OUTER; e.idx = o; return e; }
        if (const SQObjectPtr* c = constLookup(id)) { pushValue(*c); return e; }
        e.kind = E_GLOBAL;
        e.idx = literal(id);
        return e;
      }
      case '(': lex(); commaExpression(); expect(')'); return e;
      case '[': {
        lex();
        SQInteger n = 0;
        SQInteger at = emit(OP_NEWARRAY, 0, 1);
        while (tok() != ']') {
          expression();
          emit(OP_APPENDA, 0, -1);
          n++;
          if (tok() == ',') lex();
        }
        lex();
        _fs->proto->_code[at] = SQ_MAKE(OP_NEWARRAY, n < SQ_ARG_MAX ? n : 0);
        return e;
      }
      case '{': lex(); tableBody('}', false); return e;
      case TK_FUNCTION: lex(); functionExpr(SQObjectPtr(), false); return e;
      case '@': lex(); functionExpr(SQObjectPtr(), true); return e;
      case TK_CLASS: lex(); classExpr(); return e;
      case TK_RAWCALL: error("rawcall is not supported");
      default:
        error("expression expected");
    }
  }

  // table literal: the table is pushed, then each slot
  void tableBody(SQInteger terminator, bool isClass) {
    if (!isClass) emit(OP_NEWTABLE, 0, 1);
    while (tok() != terminator) {
      bool hasAttrs = false, isStatic = false;
      if (isClass) {
        if (tok() == TK_ATTR_OPEN) { lex(); tableBody(TK_ATTR_CLOSE, false); hasAttrs = true; }
        else emit(OP_PUSHNULL, 0, 1);
        if (tok() == TK_STATIC) { isStatic = true; lex(); }
      }
      switch (tok()) {
        case TK_FUNCTION: case TK_CONSTRUCTOR: {
          bool isCtor = tok() == TK_CONSTRUCTOR;
          lex();
          SQObjectPtr id = isCtor ? SQObjectPtr(_ss->_constructorName) : expectIdentifier();
          pushValue(id);
          functionExpr(id, false);
          break;
        }
        case '[': lex(); expression(); expect(']'); expect('='); expression(); break;
        case TK_STRING_LITERAL:
          if (!isClass) {  // JSON style "key": value
            pushValue(_lex._str); lex(); expect(':'); expression(); break;
          }
          [[fallthrough]];
        default: {
          SQObjectPtr id = expectIdentifier();
          pushValue(id);
          expect('=');
          expression();
        }
      }
      if (isClass) {
        (void)hasAttrs;
        emit(OP_NEWMEMBER, isStatic ? 1 : 0, -3);
      } else {
        emit(OP_NEWSLOTT, 0, -2);
      }
      if (tok() == ',' || tok() == ';') lex();
    }
    lex();
  }

  void classExpr() {
    // class [extends base] [</ attrs />] { body }
    SQInteger flags = 0;
    if (tok() == TK_EXTENDS) { lex(); expression(); flags |= 1; }
    if (tok() == TK_ATTR_OPEN) { lex(); tableBody(TK_ATTR_CLOSE, false); flags |= 2; }
    expect('{');
    emit(OP_CLASS, flags, 1 - ((flags & 1) ? 1 : 0) - ((flags & 2) ? 1 : 0));
    tableBody('}', true);
  }

  void functionExpr(const SQObjectPtr& name, bool lambda) {
    FuncState fs;
    beginFunction(fs, name);
    expect('(');
    SQInteger ndefaults = 0;
    while (tok() != ')') {
      if (tok() == TK_VARPARAMS) {
        if (ndefaults) error("function with default parameters cannot have variable number of parameters");
        lex();
        fs.proto->_varparams = true;
        adjust(1);
        declareLocal(SQObjectPtr(SQString::create(_ss, "vargv")));
        if (tok() != ')') error("expected ')'");
        break;
      }
      SQObjectPtr p = expectIdentifier();
      adjust(1);
      declareLocal(p);
      fs.proto->_nparams++;
      if (tok() == '=') {
        lex();
        // default values are evaluated by the enclosing function when the closure is made
        FuncState* inner = _fs;
        _fs = inner->parent;
        expression();
        _fs = inner;
        ndefaults++;
      } else if (ndefaults) {
        error("expected '='");
      }
      if (tok() == ',') lex();
      else if (tok() != ')') error("expected ')' or ','");
    }
    lex();
    fs.proto->_ndefaults = ndefaults;
    if (lambda) {
      line();
      expression();
      emit(OP_RETURN, 0, -1);
    } else {
      statement();  // usually a block, but any statement will do: function f(x) return x;
      emit(OP_RETURNNULL, 0, 0);
    }
    endFunction(fs);
    FuncState* parent = _fs;
    SQInteger idx = (SQInteger)parent->proto->_functions.size();
    parent->proto->_functions.push_back(fs.protoRef);
    emit(OP_CLOSURE, idx, 1 - ndefaults);
  }

  void beginFunction(FuncState& fs, const SQObjectPtr& name) {
    fs.parent = _fs;
    fs.proto = new SQFunctionProto();
    fs.protoRef = SQObjectPtr(fs.proto);
    fs.proto->_name = name;
    fs.proto->_sourcename = _sourcename;
    fs.proto->_lineDefined = _lex._tokLine;
    fs.proto->_nparams = 1;
    fs.literalMap = SQTable::create(_ss, 0);
    fs.literalMapRef = SQObjectPtr(fs.literalMap);
    _fs = &fs;
    adjust(1);
    declareLocal(SQObjectPtr(SQString::create(_ss, "this")));
  }
  void endFunction(FuncState& fs) {
    closeLocals(0);
    fs.proto->_code.shrink();
    fs.proto->_literals.shrink();
    fs.proto->_stacksize += 2;
    _fs = fs.parent;
    fs.literalMapRef.Null();
  }

  // ---- statements ----
  void statements(SQInteger terminator) {
    while (tok() != terminator) {
      if (tok() == TK_EOF) error("expression expected");  // the script ends inside a block
      listStatement();
    }
  }
  // A return or yield ends where its expression ends (function(x) return x + 1), so only
  // inside a list of statements must the next one start apart from it.
  void listStatement() {
    bool endsWithExpression = tok() == TK_RETURN || tok() == TK_YIELD;
    statement();
    if (endsWithExpression) optionalSemicolon();
  }

  void statement() {
    DepthGuard g(this);
    line();
    if (_ss->_debugInfo && tok() != '{' && tok() != ';') emit(OP_LINE, _lex._tokLine, 0);
    switch (tok()) {
      case ';': lex(); return;
      case TK_IF: ifStatement(); return;
      case TK_WHILE: whileStatement(); return;
      case TK_DO: doWhileStatement(); return;
      case TK_FOR: forStatement(); return;
      case TK_FOREACH: foreachStatement(); return;
      case TK_SWITCH: switchStatement(); return;
      case TK_LOCAL: localStatement(); return;
      case TK_RETURN: case TK_YIELD: {
        bool isYield = tok() == TK_YIELD;
        lex();
        if (isYield) _fs->proto->_generator = true;
        if (!isEndOfStatement()) {
          commaExpression();
          // "return f(...)" outside a try runs f in this frame; when the callee cannot
          // take the frame over, the call is an ordinary one and the return follows it
          if (!isYield && _fs->traps == 0 && _fs->lastCallPc >= 0 && _fs->lastCallPc == pc() - 1) {
            SQUnsignedInteger32& w = _fs->proto->_code[_fs->lastCallPc];
            if (SQ_OP(w) == OP_CALL) w = SQ_MAKE(OP_TAILCALL, SQ_ARG(w));
          }
          SQInteger ret = emit(isYield ? OP_YIELD : OP_RETURN, 0, isYield ? 0 : -1);
          // "return c ? a : b": the jump that ends a branch returns at once
          if (!isYield && _fs->jumpsHerePc == ret) {
            for (SQUnsignedInteger i = 0; i < _fs->jumpsHere.size(); i++) _fs->proto->_code[_fs->jumpsHere[i]] = SQ_MAKE(OP_RETURN, 0);
          }
          if (isYield) emit(OP_POP, 0, -1);
        } else {
          if (isYield) { emit(OP_PUSHNULL, 0, 1); emit(OP_YIELD, 0, 0); emit(OP_POP, 0, -1); }
          else emit(OP_RETURNNULL, 0, 0);
        }
        if (tok() == ';') lex();
        return;
      }
      case TK_BREAK: case TK_CONTINUE: {
        bool isBreak = tok() == TK_BREAK;
        lex();
        LoopInfo* loop = nullptr;
        for (SQInteger i = (SQInteger)_fs->loops.size() - 1; i >= 0; i--) {
          if (isBreak || !_fs->loops[i]->isSwitch) { loop = _fs->loops[i]; break; }
        }
        if (!loop) error(isBreak ? "'break' has to be in a loop block" : "'continue' has to be in a loop block");
        if (_fs->traps > loop->traps) emit(OP_POPTRAP, _fs->traps - loop->traps, 0);
        if (_fs->top > loop->depth) emit(OP_POPTO, loop->depth, 0);
        SQInteger j = emit(OP_JMP, 0, 0);
        (isBreak ? loop->breaks : loop->continues).push_back(j);
        optionalSemicolon();
        return;
      }
      case TK_FUNCTION: functionStatement(); return;
      case TK_CLASS: classStatement(); return;
      case TK_ENUM: enumStatement(); return;
      case TK_CONST: constStatement(); return;
      case '{': braceBlock(); return;
      case TK_TRY: tryStatement(); return;
      case TK_THROW: lex(); expression(); emit(OP_THROW, 0, -1); optionalSemicolon(); return;
      default: {
        ExprDesc e = expr();
        materialize(e);
        while (tok() == ',') {
          lex();
          emit(OP_POP, 0, -1);
          expression();
        }
        dropValue();
        optionalSemicolon();
      }
    }
  }

  void condition() {
    expect('(');
    commaExpression();
    expect(')');
  }

  // An expression statement: its value is not needed. Instructions that leave it on the
  // stack get their form that does not; anything else is popped.
  void dropValue() {
    switch (lastOp()) {
      case OP_STOREL: wordAt(0) = SQ_MAKE(OP_SETL, argAt(0)); break;
      case OP_COMPOUNDL_ADD: case OP_COMPOUNDL_SUB: case OP_COMPOUNDL_MUL: case OP_COMPOUNDL_DIV: case OP_COMPOUNDL:
        wordAt(0) = SQ_MAKE(lastOp(), argAt(0) | COMPOUND_DROP);
        break;
      case OP_SET: wordAt(0) = SQ_MAKE(OP_SET, 1); break;
      case OP_SETK: case OP_SETG: wordAt(0) = SQ_MAKE(lastOp(), argAt(0) | SQ_DROP_VALUE); break;
      case OP_INCL: case OP_INCO: _fs->proto->_code[pc() - 1] |= 2; break;
      case OP_SETLK: _fs->proto->_code[pc() - 1] |= SQ_DROP_VALUE; break;
      case OP_SETLL: wordAt(0) = SQ_MAKE(OP_SETLL, 1); break;
      default: emit(OP_POP, 0, -1); return;
    }
    adjust(-1);
  }

  // Emits the jump taken when the value on the stack is false (or true), fused with the
  // comparison that made it, and with the local and constant it compared.
  SQInteger emitCondJump(bool ifTrue) {
    SQInteger op = lastOp();
    if (op < OP_EQ || op > OP_GE || op == OP_CMP3) return emit(ifTrue ? OP_JNZ : OP_JZ, 0, -1);
    SQInteger kind = (op - OP_EQ) | (ifTrue ? JUMP_IF_TRUE : 0);
    dropOps(1);
    adjust(1);  // the comparison's pop: the fused jump pops both operands
    if (lastOp() == OP_PUSHINT && opAt(1) == OP_LOADL) {
      SQInteger k = argAt(0), slot = argAt(1);
      dropOps(2);
      adjust(-2);
      SQInteger at = emit(OP_JCMPLK, slot | (kind << 12), 0);
      emitWord(k);
      emitWord((SQInteger)0);
      return at;
    }
    SQInteger at = emit(OP_JCMP, kind, -2);
    emitWord((SQInteger)0);
    return at;
  }

  void ifStatement() {
    sqvec<SQInteger> ends;
    for (;;) {
      lex();
      condition();
      SQInteger jz = emitCondJump(false);
      blockStatement();
      if (tok() != TK_ELSE) { patchHere(jz); break; }
      ends.push_back(emit(OP_JMP, 0, 0));
      patchHere(jz);
      lex();
      if (tok() != TK_IF) { blockStatement(); break; }
      line();
      if (_ss->_debugInfo) emit(OP_LINE, _lex._tokLine, 0);
    }
    for (SQUnsignedInteger i = 0; i < ends.size(); i++) patchHere(ends[i]);
  }
  // The body of a control statement; braces there open no extra level of nesting.
  void blockStatement() {
    Scope s = beginScope();
    if (tok() == '{') { line(); braceBlock(); }
    else statement();
    endScope(s);
  }
  void braceBlock() {
    lex();
    Scope s = beginScope();
    statements('}');
    lex();
    endScope(s);
  }

  LoopInfo* beginLoop(LoopInfo& li, bool isSwitch) {
    li.depth = _fs->top;
    li.traps = _fs->traps;
    li.isSwitch = isSwitch;
    _fs->loops.push_back(&li);
    return &li;
  }
  void endLoop(LoopInfo& li, SQInteger continueTarget, SQInteger breakTarget) {
    for (SQUnsignedInteger i = 0; i < li.continues.size(); i++) patchJump(li.continues[i], continueTarget);
    for (SQUnsignedInteger i = 0; i < li.breaks.size(); i++) patchJump(li.breaks[i], breakTarget);
    _fs->loops.pop_back();
    markLabel();
  }

  // Loops test after the body: one conditional jump a round. The test is compiled where it
  // is written and moved there; a jump in front of the body reaches it the first time.
  void whileStatement() {
    lex();
    expect('(');
    MovedCode test;
    compileMoved(test, true);
    expect(')');
    SQInteger jtest = emit(OP_JMP, 0, 0);
    markLabel();
    SQInteger body = pc();
    LoopInfo li;
    beginLoop(li, false);
    blockStatement();
    SQInteger testPc = pc();
    patchJump(jtest, testPc);
    emitLoopTest(test, body);
    endLoop(li, testPc, pc());
  }

  void doWhileStatement() {
    lex();
    markLabel();
    SQInteger start = pc();
    LoopInfo li;
    beginLoop(li, false);
    blockStatement();
    expect(TK_WHILE);
    markLabel();
    SQInteger cont = pc();
    condition();
    patchJump(emitCondJump(true), start);
    endLoop(li, cont, pc());
  }

  void forStatement() {
    lex();
    Scope outer = beginScope();
    expect('(');
    if (tok() == TK_LOCAL) localStatementNoSemicolon();
    else if (tok() != ';') { commaExpression(); dropValue(); }
    expect(';');
    MovedCode test, step;
    bool hasTest = tok() != ';';
    if (hasTest) compileMoved(test, true);
    expect(';');
    if (tok() != ')') compileMoved(step, false);
    expect(')');
    CountedLoop counted;
    if (hasTest && countedLoop(test, step, counted)) {
      // for (...; i < K; i++): a test that skips the loop, then one instruction a round
      // steps i and tests it
      SQInteger skip = emit(OP_JCMPLK, counted.slot | (counted.kind << 12), 0);
      emitWord(counted.limit);
      emitWord((SQInteger)0);
      markLabel();
      SQInteger body = pc();
      LoopInfo li;
      beginLoop(li, false);
      blockStatement();
      markLabel();
      SQInteger contPc = emit(OP_FORLOOPK, counted.slot | ((counted.kind | JUMP_IF_TRUE) << 12), 0);
      emitWord(counted.step);
      emitWord(counted.limit);
      emitWord((SQInteger)0);
      patchJump(contPc, body);
      patchJump(skip, pc());
      endLoop(li, contPc, pc());
      endScope(outer);
      return;
    }
    SQInteger jtest = hasTest ? emit(OP_JMP, 0, 0) : -1;
    markLabel();
    SQInteger body = pc();
    LoopInfo li;
    beginLoop(li, false);
    blockStatement();
    SQInteger contPc = pc();
    pasteCode(step);
    if (hasTest) {
      patchJump(jtest, pc());
      emitLoopTest(test, body);
    } else {
      emitJumpBack(OP_JMP, body, 0);
    }
    endLoop(li, contPc, pc());
    endScope(outer);
  }
  // A loop whose test compares a local with a small constant and whose step only adds a
  // constant to that local.
  struct CountedLoop { SQInteger slot, kind, limit, step; };
  static bool countedLoop(const MovedCode& test, const MovedCode& step, CountedLoop& out) {
    if (test.code.size() != 3 || step.code.size() != 2) return false;
    SQUnsignedInteger32 load = test.code[0], limit = test.code[1], cmp = test.code[2];
    if (SQ_OP(load) != OP_LOADL || SQ_OP(limit) != OP_PUSHINT) return false;
    if (SQ_OP(cmp) < OP_EQ || SQ_OP(cmp) > OP_GE || SQ_OP(cmp) == OP_CMP3) return false;
    // the step: "local++" or "local--" whose value is dropped
    if (SQ_OP(step.code[0]) != OP_INCL || SQ_ARG(step.code[0]) != SQ_ARG(load) || !(step.code[1] & 2)) return false;
    out.slot = SQ_ARG(load);
    out.kind = SQ_OP(cmp) - OP_EQ;
    out.limit = SQ_ARG(limit);
    out.step = ((SQInt32)step.code[1]) >> 2;
    return true;
  }
  // Compiles a loop's test (its value stays for the jump) or step (value dropped) and takes
  // it out of the code.
  void compileMoved(MovedCode& m, bool isTest) {
    markLabel();
    SQInteger from = pc();
    commaExpression();
    if (!isTest) dropValue();
    cutCode(from, m);
    if (isTest) adjust(-1);
  }
  void emitLoopTest(const MovedCode& test, SQInteger body) {
    pasteCode(test);
    adjust(1);
    patchJump(emitCondJump(true), body);
  }

  void foreachStatement() {
    lex();
    expect('(');
    SQObjectPtr keyName, valName = expectIdentifier();
    if (tok() == ',') { lex(); keyName = valName; valName = expectIdentifier(); }
    expect(TK_IN);
    Scope outer = beginScope();
    expression();
    SQInteger base = _fs->top - 1;
    declareLocal(SQObjectPtr(SQString::create(_ss, "@container")));
    emit(OP_PUSHNULL, 0, 1); declareLocal(SQObjectPtr(SQString::create(_ss, "@iterator")));
    emit(OP_PUSHNULL, 0, 1); declareLocal(sq_type(keyName) == OT_NULL ? SQObjectPtr(SQString::create(_ss, "@key")) : keyName);
    emit(OP_PUSHNULL, 0, 1); declareLocal(valName);
    expect(')');
    markLabel();
    SQInteger loopPc = pc();
    SQInteger fe = emit(OP_FOREACH, base, 0);
    emitWord((SQInteger)0);
    LoopInfo li;
    beginLoop(li, false);
    blockStatement();
    emitJumpBack(OP_JMP, loopPc, 0);
    patchJump(fe, pc());
    markLabel();
    endLoop(li, loopPc, pc());
    endScope(outer);
  }

  void switchStatement() {
    lex();
    condition();
    SQInteger slot = _fs->top - 1;
    Scope outer = beginScope();
    expect('{');
    LoopInfo li;
    beginLoop(li, true);
    SQInteger skip = -1, fall = -1;
    bool hasDefault = false;
    while (tok() == TK_CASE) {
      lex();
      if (skip >= 0) patchHere(skip);
      emit(OP_LOADL, slot, 1);
      expression();
      expect(':');
      emit(OP_EQ, 0, -1);
      skip = emitCondJump(false);
      if (fall >= 0) patchHere(fall);
      Scope s = beginScope();
      while (tok() != TK_CASE && tok() != TK_DEFAULT && tok() != '}') { if (tok() == TK_EOF) error("expression expected"); listStatement(); }
      endScope(s);
      fall = emit(OP_JMP, 0, 0);
    }
    if (skip >= 0) patchHere(skip);
    if (fall >= 0) patchHere(fall);
    if (tok() == TK_DEFAULT) {
      hasDefault = true;
      lex();
      expect(':');
      Scope s = beginScope();
      statements('}');
      endScope(s);
    }
    (void)hasDefault;
    expect('}');
    markLabel();
    endLoop(li, pc(), pc());
    endScope(outer);
    emit(OP_POP, 0, -1);
  }

  void localStatementNoSemicolon() {
    lex();
    if (tok() == TK_FUNCTION) {
      // local f = function ...: the name is not visible inside the body
      lex();
      SQObjectPtr name = expectIdentifier();
      functionExpr(name, false);
      declareLocal(name);
      return;
    }
    for (;;) {
      SQObjectPtr name = expectIdentifier();
      if (tok() == '=') { lex(); expression(); }
      else emit(OP_PUSHNULL, 0, 1);
      declareLocal(name);
      if (tok() != ',') break;
      lex();
    }
  }
  void localStatement() {
    localStatementNoSemicolon();
    optionalSemicolon();
  }

  void functionStatement() {
    lex();
    // function a::b::c() : the last name is the slot, the rest the target object
    sqvec<SQObjectPtr> names;
    names.push_back(expectIdentifier());
    while (tok() == TK_DOUBLE_COLON) { lex(); names.push_back(expectIdentifier()); }
    if (names.size() == 1) {
      emit(OP_LOADL, 0, 1);
    } else {
      ExprDesc e = identifierExpr(names[0]);
      materialize(e);
      for (SQUnsignedInteger i = 1; i + 1 < names.size(); i++) emit(OP_GETK, literal(names[i]), 0);
    }
    SQObjectPtr id = names.back();
    pushValue(id);
    functionExpr(id, false);
    emit(OP_NEWSLOT, 0, -2);
    emit(OP_POP, 0, -1);
  }
  ExprDesc identifierExpr(const SQObjectPtr& id) {
    ExprDesc e;
    SQInteger slot = findLocal(_fs, id);
    if (slot >= 0) { e.kind = E_LOCAL; e.idx = slot; return e; }
    SQInteger o = findOuter(_fs, id);
    if (o >= 0) { e.kind = E_OUTER; e.idx = o; return e; }
    e.kind = E_GLOBAL;
    e.idx = literal(id);
    return e;
  }

  void classStatement() {
    lex();
    ExprDesc e = primaryNameChain();
    if (e.kind == E_LOCAL || e.kind == E_OUTER || e.kind == E_VALUE) error("invalid class name");
    if (e.kind == E_FIELDK) emit(OP_PUSHK, e.idx, 1);
    else if (e.kind == E_GLOBAL) { emit(OP_LOADL, 0, 1); emit(OP_PUSHK, e.idx, 1); }
    classExpr();
    emit(OP_NEWSLOT, 0, -2);
    emit(OP_POP, 0, -1);
  }
  ExprDesc primaryNameChain() {
    SQObjectPtr id = expectIdentifier();
    ExprDesc e = identifierExpr(id);
    while (tok() == '.') {
      lex();
      materialize(e);
      SQObjectPtr k = expectIdentifier();
      e.kind = E_FIELDK;
      e.idx = literal(k);
    }
    return e;
  }

  SQObjectPtr constantValue() {
    bool neg = false;
    if (tok() == '-') { neg = true; lex(); }
    SQObjectPtr v;
    switch (tok()) {
      case TK_INTEGER: v = SQObjectPtr(neg ? (SQInteger)(0 - (SQUnsignedInteger)_lex._int) : _lex._int); break;
      case TK_FLOAT: v = SQObjectPtr(neg ? -_lex._float : _lex._float); break;
      case TK_STRING_LITERAL: if (neg) error("scalar expected : integer, float"); v = _lex._str; break;
      case TK_TRUE: case TK_FALSE: if (neg) error("scalar expected : integer, float"); v = SQObjectPtr(tok() == TK_TRUE); break;
      default: error("scalar expected : integer, float or string");
    }
    lex();
    return v;
  }

  void constStatement() {
    lex();
    SQObjectPtr id = expectIdentifier();
    expect('=');
    SQObjectPtr v = constantValue();
    optionalSemicolon();
    _table(_ss->_consts)->newSlot(id, v);
  }

  void enumStatement() {
    lex();
    SQObjectPtr id = expectIdentifier();
    expect('{');
    SQObjectPtr table(SQTable::create(_ss, 0));
    // members without a value count up from 0, whatever values the others have
    SQInteger next = 0;
    while (tok() != '}') {
      SQObjectPtr key = expectIdentifier();
      SQObjectPtr v;
      if (tok() == '=') { lex(); v = constantValue(); }
      else v = SQObjectPtr(next++);
      _table(table)->newSlot(key, v);
      if (tok() == ',') lex();
    }
    lex();
    _table(_ss->_consts)->newSlot(id, table);
  }

  void tryStatement() {
    lex();
    SQInteger trap = emit(OP_PUSHTRAP, 0, 0);
    _fs->traps++;
    blockStatement();
    _fs->traps--;
    emit(OP_POPTRAP, 1, 0);
    SQInteger jend = emit(OP_JMP, 0, 0);
    expect(TK_CATCH);
    patchHere(trap);
    expect('(');
    SQObjectPtr name = expectIdentifier();
    expect(')');
    Scope s = beginScope();
    adjust(1);
    declareLocal(name);
    blockStatement();
    endScope(s);
    patchHere(jend);
  }

  bool compile(SQLEXREADFUNC rd, SQUserPointer up, const SQChar* sourcename, SQObjectPtr& out) {
    _sourcename = SQString::create(_ss, sourcename ? sourcename : "unnamed");
    FuncState fs;
    try {
      _lex.init(_ss, rd, up);
      beginFunction(fs, SQObjectPtr(SQString::create(_ss, "main")));
      fs.proto->_varparams = true;
      adjust(1);
      declareLocal(SQObjectPtr(SQString::create(_ss, "vargv")));
      lex();
      statements(TK_EOF);
      emit(OP_RETURNNULL, 0, 0);
      endFunction(fs);
      out = fs.protoRef;
      return true;
    } catch (const SQCompileError& e) {
      return failed(e.msg, SQString::create(_ss, e.msg));
    } catch (const std::bad_alloc&) {
      return failed("out of memory", _ss->_outOfMemory);
    }
  }
  bool failed(const SQChar* msg, const SQObjectPtr& error) {
    _fs = nullptr;
    if (_ss->_compilerErrorHandler)
      _ss->_compilerErrorHandler(_vm, msg, _string(_sourcename)->_val, _lex._tokLine, _lex._tokCol);
    _vm->_lasterror = error;
    return false;
  }
};

}  // namespace

bool sq_compile_source(SQVM* v, SQLEXREADFUNC read, SQUserPointer up, const SQChar* sourcename, bool raiseerror, SQObjectPtr& out) {
  Compiler c(v);
  SQCOMPILERERROR saved = v->_sharedState->_compilerErrorHandler;
  if (!raiseerror) v->_sharedState->_compilerErrorHandler = nullptr;
  bool ok = c.compile(read, up, sourcename, out);
  v->_sharedState->_compilerErrorHandler = saved;
  return ok;
}
