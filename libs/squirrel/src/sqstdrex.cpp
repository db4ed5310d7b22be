// Regular expressions: a pattern is parsed to a tree, compiled to a small program and run
// by a backtracking matcher with bounded depth and step count, so that no pattern or text
// can exhaust the stack or hang the program.
#include "sqstdstring.h"
#include "sqobject.h"
#include <ctype.h>
#include <string.h>

namespace {

enum RexOp { R_CHAR, R_ANY, R_CLASS, R_BOL, R_EOL, R_WORDB, R_NWORDB, R_BALANCED, R_SPLIT, R_JMP, R_SAVE, R_MATCH };
// a: char, class index, target, save slot or opening char; b: second target or closing char
struct RexInst { RexOp op; SQInteger a, b; };
struct RexClass { unsigned char bits[32]; };

enum NodeType { N_CHAR, N_ANY, N_CLASS, N_BOL, N_EOL, N_WORDB, N_NWORDB, N_BALANCED, N_CONCAT, N_ALT, N_GROUP, N_REPEAT, N_EMPTY };
struct RexNode { NodeType type; SQInteger a = 0, b = 0; SQInteger left = -1, right = -1; };  // children by index

}  // namespace

struct SQRex {
  sqvec<RexNode> nodes;
  sqvec<RexInst> prog;
  sqvec<RexClass> classes;
  SQInteger ngroups = 1;  // group 0 is the whole match
  const SQChar* pat = nullptr;
  const SQChar* error = nullptr;
  // match state
  const SQChar* bol = nullptr;
  const SQChar* eol = nullptr;
  sqvec<const SQChar*> caps;
  SQInteger steps = 0;
};

namespace {

struct RexError {};

struct Parser {
  SQRex* r;
  const SQChar* p;
  int depth = 0;
  [[noreturn]] void fail(const SQChar* msg) { r->error = msg; throw RexError(); }
  SQInteger node(NodeType t, SQInteger a = 0, SQInteger b = 0, SQInteger l = -1, SQInteger rr = -1) {
    if (r->nodes.size() > 20000) fail("expression too big");
    RexNode& n = r->nodes.push_back();
    n.type = t; n.a = a; n.b = b; n.left = l; n.right = rr;
    return (SQInteger)r->nodes.size() - 1;
  }
  SQInteger alt() {
    if (++depth > 200) fail("expression nested too deeply");
    SQInteger left = concat();
    while (*p == '|') {
      p++;
      if (!*p || *p == '|' || *p == ')') fail("letter expected");  // an empty alternative
      SQInteger right = concat();
      left = node(N_ALT, 0, 0, left, right);
    }
    depth--;
    return left;
  }
  SQInteger concat() {
    SQInteger cur = node(N_EMPTY);
    while (*p && *p != '|' && *p != ')') {
      SQInteger n = repeat();
      cur = node(N_CONCAT, 0, 0, cur, n);
    }
    return cur;
  }
  SQInteger number() {
    if (!isdigit((unsigned char)*p)) fail("number expected");
    SQInteger n = 0;
    while (isdigit((unsigned char)*p)) { n = n * 10 + (*p - '0'); if (n > 0xFFFF) fail("overflow in numeric constant"); p++; }
    return n;
  }
  SQInteger repeat() {
    SQInteger a = atom();
    for (;;) {
      SQInteger mn, mx;
      if (*p == '*') { mn = 0; mx = -1; p++; }
      else if (*p == '+') { mn = 1; mx = -1; p++; }
      else if (*p == '?') { mn = 0; mx = 1; p++; }
      else if (*p == '{') {
        p++;
        mn = number();
        mx = mn;
        if (*p == ',') { p++; mx = *p == '}' ? -1 : number(); }
        if (*p != '}') fail(", or } expected");
        p++;
        if (mx >= 0 && mx < mn) fail("invalid range");
      } else return a;
      a = node(N_REPEAT, mn, mx, a);
    }
  }
  void classSet(RexClass& c, int ch) { c.bits[(unsigned char)ch >> 3] |= (unsigned char)(1 << (ch & 7)); }
  bool predefined(SQChar e, RexClass& c) {
    bool neg = isupper((unsigned char)e);
    int (*fn)(int) = nullptr;
    switch (tolower((unsigned char)e)) {
      case 'a': fn = isalpha; break;
      case 'w': fn = nullptr; break;
      case 's': fn = isspace; break;
      case 'd': fn = isdigit; break;
      case 'x': fn = isxdigit; break;
      case 'c': fn = iscntrl; break;
      case 'p': fn = ispunct; break;
      case 'l': fn = islower; break;
      case 'u': fn = isupper; break;
      default: return false;
    }
    if (e == 'l' || e == 'u' || e == 'L' || e == 'U') neg = false;
    for (int ch = 1; ch < 256; ch++) {
      bool in = fn ? fn(ch) != 0 : (isalnum(ch) || ch == '_');
      if (in != neg) classSet(c, ch);
    }
    return true;
  }
  // One bound of a range in a class, escapes read; false for a predefined class (\d).
  bool classChar(RexClass& cls, int& ch) {
    if (!*p) fail("letter expected");
    if (*p != '\\') { ch = (unsigned char)*p++; return true; }
    p++;
    if (!*p) fail("letter expected");
    if (predefined(*p, cls)) { p++; return false; }
    ch = (unsigned char)escapeChar(*p++);
    return true;
  }
  // The class after '[', up to and past its ']'.
  RexClass charClass() {
    RexClass cls;
    memset(&cls, 0, sizeof(cls));
    bool neg = false;
    if (*p == '^') { neg = true; p++; }
    if (*p == ']') fail("empty class");
    while (*p != ']') {
      int lo, hi;
      bool single = classChar(cls, lo);
      if (*p != '-' || p[1] == ']') {  // a '-' before the ']' is itself
        if (single) classSet(cls, lo);
        continue;
      }
      p++;
      if (!*p) fail("unfinished range");
      if (!single || !classChar(cls, hi)) fail("cannot use character classes in ranges");
      if (hi < lo) fail("invalid range");
      for (int ch = lo; ch <= hi; ch++) classSet(cls, ch);
    }
    p++;
    if (neg) for (int i = 0; i < 32; i++) cls.bits[i] = (unsigned char)~cls.bits[i];
    return cls;
  }
  SQChar escapeChar(SQChar e) {
    switch (e) {
      case 't': return '\t';
      case 'n': return '\n';
      case 'r': return '\r';
      case 'f': return '\f';
      case 'v': return '\v';
      default: return e;
    }
  }
  SQInteger newClass(const RexClass& c) {
    r->classes.push_back(c);
    return (SQInteger)r->classes.size() - 1;
  }
  SQInteger atom() {
    SQChar c = *p;
    switch (c) {
      case '(': {
        p++;
        SQInteger group = -1;
        if (p[0] == '?' && p[1] == ':') p += 2;
        else group = r->ngroups++;
        SQInteger inner = alt();
        if (*p != ')') fail("expected paren");
        p++;
        return node(N_GROUP, group, 0, inner);
      }
      case '[': p++; return node(N_CLASS, newClass(charClass()));
      case '.': p++; return node(N_ANY);
      case '^': p++; return node(N_BOL);
      case '$': p++; return node(N_EOL);
      case '\\': {
        p++;
        SQChar e = *p;
        if (!e) fail("letter expected");
        p++;
        if (e == 'b') return node(N_WORDB);
        if (e == 'B') return node(N_NWORDB);
        if (e == 'm') {
          // \mXY: a run from X to its matching Y
          if (!p[0] || !p[1]) fail("balanced chars expected");
          if (p[0] == p[1]) fail("open/close char can't be the same");
          p += 2;
          return node(N_BALANCED, (unsigned char)p[-2], (unsigned char)p[-1]);
        }
        RexClass cls;
        memset(&cls, 0, sizeof(cls));
        if (predefined(e, cls)) return node(N_CLASS, newClass(cls));
        return node(N_CHAR, (unsigned char)escapeChar(e));
      }
      case '*': case '+': case '?': case '{': case ')': fail("unexpected character");
      default: p++; return node(N_CHAR, (unsigned char)c);
    }
  }
};

struct Codegen {
  SQRex* r;
  SQInteger emit(RexOp op, SQInteger a = 0, SQInteger b = 0) {
    if (r->prog.size() > 100000) { r->error = "expression too big"; throw RexError(); }
    RexInst& i = r->prog.push_back();
    i.op = op; i.a = a; i.b = b;
    return (SQInteger)r->prog.size() - 1;
  }
  void gen(SQInteger ni, int depth) {
    if (depth > 400) { r->error = "expression nested too deeply"; throw RexError(); }
    RexNode n = r->nodes[ni];
    switch (n.type) {
      case N_EMPTY: break;
      case N_CHAR: emit(R_CHAR, n.a); break;
      case N_ANY: emit(R_ANY); break;
      case N_CLASS: emit(R_CLASS, n.a); break;
      case N_BOL: emit(R_BOL); break;
      case N_EOL: emit(R_EOL); break;
      case N_WORDB: emit(R_WORDB); break;
      case N_NWORDB: emit(R_NWORDB); break;
      case N_BALANCED: emit(R_BALANCED, n.a, n.b); break;
      case N_CONCAT: gen(n.left, depth + 1); gen(n.right, depth + 1); break;
      case N_ALT: {
        SQInteger split = emit(R_SPLIT);
        r->prog[split].a = split + 1;
        gen(n.left, depth + 1);
        SQInteger jmp = emit(R_JMP);
        r->prog[split].b = (SQInteger)r->prog.size();
        gen(n.right, depth + 1);
        r->prog[jmp].a = (SQInteger)r->prog.size();
        break;
      }
      case N_GROUP:
        if (n.a >= 0) emit(R_SAVE, n.a * 2);
        gen(n.left, depth + 1);
        if (n.a >= 0) emit(R_SAVE, n.a * 2 + 1);
        break;
      case N_REPEAT: {
        SQInteger mn = n.a, mx = n.b;
        for (SQInteger i = 0; i < mn; i++) gen(n.left, depth + 1);
        if (mx < 0) {
          SQInteger split = emit(R_SPLIT);
          r->prog[split].a = split + 1;
          gen(n.left, depth + 1);
          emit(R_JMP, split);
          r->prog[split].b = (SQInteger)r->prog.size();
        } else {
          sqvec<SQInteger> splits;
          for (SQInteger i = mn; i < mx; i++) {
            SQInteger split = emit(R_SPLIT);
            r->prog[split].a = split + 1;
            splits.push_back(split);
            gen(n.left, depth + 1);
          }
          for (SQUnsignedInteger i = 0; i < splits.size(); i++) r->prog[splits[i]].b = (SQInteger)r->prog.size();
        }
        break;
      }
    }
  }
};

const SQInteger REX_MAX_DEPTH = 4000;
const SQInteger REX_MAX_STEPS = 2000000;

bool is_word(SQChar c) { return isalnum((unsigned char)c) || c == '_'; }

bool run(SQRex* r, SQInteger pc, const SQChar* sp, SQInteger depth, const SQChar** end) {
  if (depth > REX_MAX_DEPTH) return false;
  for (;;) {
    if (++r->steps > REX_MAX_STEPS) return false;
    const RexInst& in = r->prog[pc];
    switch (in.op) {
      case R_CHAR: if (sp < r->eol && (unsigned char)*sp == in.a) { sp++; pc++; continue; } return false;
      case R_ANY: if (sp < r->eol) { sp++; pc++; continue; } return false;
      case R_CLASS: {
        if (sp >= r->eol) return false;
        unsigned char ch = (unsigned char)*sp;
        if (!(r->classes[in.a].bits[ch >> 3] & (1 << (ch & 7)))) return false;
        sp++; pc++;
        continue;
      }
      case R_BOL: if (sp == r->bol) { pc++; continue; } return false;
      case R_EOL: if (sp == r->eol) { pc++; continue; } return false;
      case R_WORDB: case R_NWORDB: {
        bool a = sp > r->bol && is_word(sp[-1]);
        bool b = sp < r->eol && is_word(*sp);
        if ((a != b) == (in.op == R_WORDB)) { pc++; continue; }
        return false;
      }
      case R_BALANCED: {
        if (sp >= r->eol || (unsigned char)*sp != in.a) return false;
        // each character scanned counts as a step, as the other instructions do
        SQInteger open = 1;
        for (sp++; sp < r->eol && open > 0; sp++) {
          if (++r->steps > REX_MAX_STEPS) return false;
          if ((unsigned char)*sp == in.b) open--;
          else if ((unsigned char)*sp == in.a) open++;
        }
        if (open > 0) return false;
        pc++;
        continue;
      }
      case R_JMP: pc = in.a; continue;
      case R_SPLIT:
        if (run(r, in.a, sp, depth + 1, end)) return true;
        pc = in.b;
        continue;
      case R_SAVE: {
        // a repeated group keeps the span of its first round: once its end is set, the
        // later rounds leave it
        if (r->caps[in.a | 1]) { pc++; continue; }
        const SQChar* old = r->caps[in.a];
        r->caps[in.a] = sp;
        if (run(r, pc + 1, sp, depth + 1, end)) return true;
        r->caps[in.a] = old;
        return false;
      }
      case R_MATCH: *end = sp; return true;
    }
  }
}

}  // namespace

SQRex* sqstd_rex_compile(const SQChar* pattern, const SQChar** error) {
  SQRex* r = (SQRex*)sq_vm_malloc(sizeof(SQRex));
  new (r) SQRex();
  r->pat = pattern;
  try {
    Parser ps{r, pattern};
    SQInteger root = ps.alt();
    if (*ps.p) ps.fail("unexpected character");
    Codegen cg{r};
    cg.gen(root, 0);
    cg.emit(R_MATCH);
  } catch (const RexError&) {
    if (error) *error = r->error;
    sqstd_rex_free(r);
    return nullptr;
  }
  r->caps.resize((SQUnsignedInteger)r->ngroups * 2, nullptr);
  return r;
}

void sqstd_rex_free(SQRex* exp) {
  if (!exp) return;
  exp->~SQRex();
  sq_vm_free(exp, sizeof(SQRex));
}

static bool rex_at(SQRex* r, const SQChar* at, const SQChar** end) {
  for (SQUnsignedInteger i = 0; i < r->caps.size(); i++) r->caps[i] = nullptr;
  r->steps = 0;
  if (!run(r, 0, at, 0, end)) return false;
  r->caps[0] = at;
  r->caps[1] = *end;
  return true;
}

SQBool sqstd_rex_match(SQRex* exp, const SQChar* text) {
  exp->bol = text;
  exp->eol = text + strlen(text);
  const SQChar* end;
  // the whole text must match: try the longest alternatives by requiring the end
  for (SQUnsignedInteger i = 0; i < exp->caps.size(); i++) exp->caps[i] = nullptr;
  exp->steps = 0;
  if (!run(exp, 0, text, 0, &end)) return SQFalse;
  if (end == exp->eol) { exp->caps[0] = text; exp->caps[1] = end; return SQTrue; }
  // an earlier alternative matched less: retry anchored at the end
  RexInst saved = exp->prog.back();
  exp->prog.back().op = R_EOL;
  exp->prog.push_back(saved);
  bool ok = rex_at(exp, text, &end);
  exp->prog.pop_back();
  exp->prog.back() = saved;
  return ok ? SQTrue : SQFalse;
}

SQBool sqstd_rex_searchrange(SQRex* exp, const SQChar* text_begin, const SQChar* text_end, const SQChar** out_begin, const SQChar** out_end) {
  exp->bol = text_begin;
  exp->eol = text_end;
  for (const SQChar* p = text_begin; p <= text_end; p++) {
    const SQChar* end;
    if (rex_at(exp, p, &end)) {
      if (out_begin) *out_begin = p;
      if (out_end) *out_end = end;
      return SQTrue;
    }
  }
  return SQFalse;
}

SQBool sqstd_rex_search(SQRex* exp, const SQChar* text, const SQChar** out_begin, const SQChar** out_end) {
  return sqstd_rex_searchrange(exp, text, text + strlen(text), out_begin, out_end);
}

SQInteger sqstd_rex_getsubexpcount(SQRex* exp) { return exp->ngroups; }

SQBool sqstd_rex_getsubexp(SQRex* exp, SQInteger n, SQRexMatch* subexp) {
  if (n < 0 || n >= exp->ngroups) return SQFalse;
  const SQChar* b = exp->caps[n * 2];
  const SQChar* e = exp->caps[n * 2 + 1];
  subexp->begin = b;
  subexp->len = (b && e && e >= b) ? e - b : -1;
  return SQTrue;
}
