#include "sqlexer.h"
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <ctype.h>

static const struct { const char* name; SQInteger tok; } g_keywords[] = {
  {"while", TK_WHILE}, {"do", TK_DO}, {"if", TK_IF}, {"else", TK_ELSE}, {"break", TK_BREAK},
  {"continue", TK_CONTINUE}, {"return", TK_RETURN}, {"null", TK_NULL}, {"function", TK_FUNCTION},
  {"local", TK_LOCAL}, {"for", TK_FOR}, {"foreach", TK_FOREACH}, {"in", TK_IN}, {"typeof", TK_TYPEOF},
  {"base", TK_BASE}, {"delete", TK_DELETE}, {"try", TK_TRY}, {"catch", TK_CATCH}, {"throw", TK_THROW},
  {"clone", TK_CLONE}, {"yield", TK_YIELD}, {"resume", TK_RESUME}, {"switch", TK_SWITCH}, {"case", TK_CASE},
  {"default", TK_DEFAULT}, {"this", TK_THIS}, {"class", TK_CLASS}, {"extends", TK_EXTENDS},
  {"constructor", TK_CONSTRUCTOR}, {"instanceof", TK_INSTANCEOF}, {"true", TK_TRUE}, {"false", TK_FALSE},
  {"static", TK_STATIC}, {"enum", TK_ENUM}, {"const", TK_CONST}, {"__LINE__", TK___LINE__},
  {"__FILE__", TK___FILE__}, {"rawcall", TK_RAWCALL}};

const SQChar* sq_token_name(SQInteger tok) {
  for (auto& k : g_keywords) if (k.tok == tok) return k.name;
  switch (tok) {
    case TK_EOF: return "end of file";
    case TK_IDENTIFIER: return "IDENTIFIER";
    case TK_STRING_LITERAL: return "STRING_LITERAL";
    case TK_INTEGER: return "INTEGER";
    case TK_FLOAT: return "FLOAT";
  }
  return nullptr;
}

void SQLexer::init(SQSharedState* ss, SQLEXREADFUNC rd, SQUserPointer up) {
  _ss = ss; _read = rd; _up = up;
  _line = 1; _col = 0;
  next();
}

void SQLexer::error(const SQChar* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  vsnprintf(_errbuf, sizeof(_errbuf), fmt, ap);
  va_end(ap);
  throw SQCompileError{_errbuf};
}

void SQLexer::next() {
  SQInteger c = _read(_up);
  if (c == 0) c = TK_EOF;
  _cur = c;
  _col++;
}

#define CUR _cur
#define IS_EOB() (_cur == TK_EOF)

void SQLexer::skipBlockComment() {
  for (;;) {
    if (IS_EOB()) error("missing \"*/\" in comment");
    if (CUR == '*') { next(); if (CUR == '/') { next(); return; } continue; }
    if (CUR == '\n') { _line++; _col = 0; _prevNewline = true; }
    next();
  }
}

SQInteger SQLexer::lex() {
  _prevTok = _tok;
  _prevNewline = false;
  for (;;) {
    _tokLine = _line; _tokCol = _col;
    switch (CUR) {
      case '\n': _line++; _col = 0; _prevNewline = true; next(); continue;
      case ' ': case '\t': case '\r': case '\f': case '\v': next(); continue;
      case '#': while (CUR != '\n' && !IS_EOB()) next(); continue;
      case '/':
        next();
        if (CUR == '*') { next(); skipBlockComment(); continue; }
        if (CUR == '/') { while (CUR != '\n' && !IS_EOB()) next(); continue; }
        if (CUR == '=') { next(); return _tok = TK_DIVEQ; }
        if (CUR == '>') { next(); return _tok = TK_ATTR_CLOSE; }
        return _tok = '/';
      case '=': next(); if (CUR == '=') { next(); return _tok = TK_EQ; } return _tok = '=';
      case '<':
        next();
        if (CUR == '=') { next(); if (CUR == '>') { next(); return _tok = TK_3WAYSCMP; } return _tok = TK_LE; }
        if (CUR == '-') { next(); return _tok = TK_NEWSLOT; }
        if (CUR == '<') { next(); return _tok = TK_SHIFTL; }
        if (CUR == '/') { next(); return _tok = TK_ATTR_OPEN; }
        return _tok = '<';
      case '>':
        next();
        if (CUR == '=') { next(); return _tok = TK_GE; }
        if (CUR == '>') { next(); if (CUR == '>') { next(); return _tok = TK_USHIFTR; } return _tok = TK_SHIFTR; }
        return _tok = '>';
      case '!': next(); if (CUR == '=') { next(); return _tok = TK_NE; } return _tok = '!';
      case '@':
        next();
        if (CUR == '"') { readString('"', true); return _tok = TK_STRING_LITERAL; }
        return _tok = '@';
      case '"': case '\'': {
        SQInteger d = CUR;
        readString(d, false);
        return _tok;
      }
      case '{': case '}': case '(': case ')': case '[': case ']': case ';': case ',': case '?': case '^': case '~': {
        SQInteger t = CUR; next(); return _tok = t;
      }
      case '.':
        next();
        if (CUR != '.') return _tok = '.';
        next();
        if (CUR != '.') error("invalid token '..'");
        next();
        return _tok = TK_VARPARAMS;
      case '&': next(); if (CUR == '&') { next(); return _tok = TK_AND; } return _tok = '&';
      case '|': next(); if (CUR == '|') { next(); return _tok = TK_OR; } return _tok = '|';
      case ':': next(); if (CUR == ':') { next(); return _tok = TK_DOUBLE_COLON; } return _tok = ':';
      case '*': next(); if (CUR == '=') { next(); return _tok = TK_MULEQ; } return _tok = '*';
      case '%': next(); if (CUR == '=') { next(); return _tok = TK_MODEQ; } return _tok = '%';
      case '-':
        next();
        if (CUR == '=') { next(); return _tok = TK_MINUSEQ; }
        if (CUR == '-') { next(); return _tok = TK_MINUSMINUS; }
        return _tok = '-';
      case '+':
        next();
        if (CUR == '=') { next(); return _tok = TK_PLUSEQ; }
        if (CUR == '+') { next(); return _tok = TK_PLUSPLUS; }
        return _tok = '+';
      case TK_EOF: return _tok = TK_EOF;
      default:
        if (CUR >= '0' && CUR <= '9') { readNumber(); return _tok; }
        if (isalpha((int)CUR) || CUR == '_') { readIdentifier(); return _tok; }
        if (iscntrl((int)CUR)) error("unexpected character(control)");
        error("unexpected character '%c'", (int)CUR);
    }
  }
}

static void append_utf8(sqvec<SQChar>& b, SQUnsignedInteger cp) {
  if (cp < 0x80) b.push_back((SQChar)cp);
  else if (cp < 0x800) { b.push_back((SQChar)(0xC0 | (cp >> 6))); b.push_back((SQChar)(0x80 | (cp & 0x3F))); }
  else if (cp < 0x10000) { b.push_back((SQChar)(0xE0 | (cp >> 12))); b.push_back((SQChar)(0x80 | ((cp >> 6) & 0x3F))); b.push_back((SQChar)(0x80 | (cp & 0x3F))); }
  else { b.push_back((SQChar)(0xF0 | ((cp >> 18) & 7))); b.push_back((SQChar)(0x80 | ((cp >> 12) & 0x3F))); b.push_back((SQChar)(0x80 | ((cp >> 6) & 0x3F))); b.push_back((SQChar)(0x80 | (cp & 0x3F))); }
}

void SQLexer::readString(SQInteger delim, bool verbatim) {
  _buf.resize(0);
  next();
  for (;;) {
    if (IS_EOB()) error("unfinished string");
    if (CUR == delim) {
      next();
      if (verbatim && CUR == '"') { _buf.push_back('"'); next(); continue; }
      break;
    }
    if (CUR == '\n') {
      if (!verbatim) error("newline in a constant");
      _line++; _col = 0;
      _buf.push_back('\n'); next();
      continue;
    }
    if (CUR == '\\' && !verbatim) {
      next();
      switch (CUR) {
        case 'x': case 'u': case 'U': {
          SQInteger maxd = CUR == 'x' ? 2 : CUR == 'u' ? 4 : 8;
          bool utf = CUR != 'x';
          next();
          if (!isxdigit((int)CUR)) error("hexadecimal number expected");
          SQUnsignedInteger v = 0;
          for (SQInteger n = 0; n < maxd && isxdigit((int)CUR); n++) {
            v = v * 16 + (isdigit((int)CUR) ? CUR - '0' : (toupper((int)CUR) - 'A' + 10));
            next();
          }
          if (utf) append_utf8(_buf, v); else _buf.push_back((SQChar)v);
          continue;
        }
        case 't': _buf.push_back('\t'); break;
        case 'a': _buf.push_back('\a'); break;
        case 'b': _buf.push_back('\b'); break;
        case 'n': _buf.push_back('\n'); break;
        case 'r': _buf.push_back('\r'); break;
        case 'v': _buf.push_back('\v'); break;
        case 'f': _buf.push_back('\f'); break;
        case '0': _buf.push_back('\0'); break;
        case '\\': _buf.push_back('\\'); break;
        case '"': _buf.push_back('"'); break;
        case '\'': _buf.push_back('\''); break;
        default: error("unrecognised escaper char");
      }
      next();
      continue;
    }
    _buf.push_back((SQChar)CUR);
    next();
  }
  if (delim == '\'') {
    if (_buf.size() != 1) error("invalid character");
    _int = (SQInteger)(unsigned char)_buf[0];
    _tok = TK_INTEGER;
    return;
  }
  _str = SQString::create(_ss, _buf.size() ? &_buf[0] : "", (SQInteger)_buf.size());
  _tok = TK_STRING_LITERAL;
}

void SQLexer::readNumber() {
  _buf.resize(0);
  SQInteger first = CUR;
  next();
  if (first == '0' && (CUR == 'x' || CUR == 'X')) {
    next();
    SQUnsignedInteger v = 0;
    SQInteger digits = 0;
    while (isxdigit((int)CUR)) {
      v = v * 16 + (isdigit((int)CUR) ? CUR - '0' : (toupper((int)CUR) - 'A' + 10));
      digits++;
      next();
    }
    if (digits == 0) error("expected hex number");
    if (digits > 16) error("too many digits for an Hex number");
    _int = (SQInteger)v;
    _tok = TK_INTEGER;
    return;
  }
  if (first == '0' && CUR >= '0' && CUR <= '7') {
    // a leading zero makes an octal literal
    SQUnsignedInteger v = 0;
    while (CUR >= '0' && CUR <= '7') {
      if (v >> 61) error("octal number too big");
      v = v * 8 + (SQUnsignedInteger)(CUR - '0');
      next();
    }
    if (isdigit((int)CUR)) error("invalid octal number");
    if (isalpha((int)CUR) || CUR == '_' || CUR == '.') error("invalid number");
    _int = (SQInteger)v;
    _tok = TK_INTEGER;
    return;
  }
  _buf.push_back((SQChar)first);
  bool isFloat = false;
  while (isdigit((int)CUR)) { _buf.push_back((SQChar)CUR); next(); }
  if (CUR == '.') {
    isFloat = true;
    _buf.push_back('.'); next();
    while (isdigit((int)CUR)) { _buf.push_back((SQChar)CUR); next(); }
  }
  if (CUR == 'e' || CUR == 'E') {
    isFloat = true;
    _buf.push_back('e'); next();
    if (CUR == '+' || CUR == '-') { _buf.push_back((SQChar)CUR); next(); }
    if (!isdigit((int)CUR)) error("exponent expected");
    while (isdigit((int)CUR)) { _buf.push_back((SQChar)CUR); next(); }
  }
  if (isalpha((int)CUR) || CUR == '_') error("invalid number");
  _buf.push_back(0);
  if (isFloat) { _float = (SQFloat)strtod(&_buf[0], nullptr); _tok = TK_FLOAT; }
  else {
    SQUnsignedInteger v = 0;
    for (SQChar* p = &_buf[0]; *p; p++) v = v * 10 + (SQUnsignedInteger)(*p - '0');
    _int = (SQInteger)v;
    _tok = TK_INTEGER;
  }
}

void SQLexer::readIdentifier() {
  _buf.resize(0);
  while (isalnum((int)CUR) || CUR == '_') { _buf.push_back((SQChar)CUR); next(); }
  _buf.push_back(0);
  for (auto& k : g_keywords)
    if (strcmp(k.name, &_buf[0]) == 0) { _tok = k.tok; return; }
  _str = SQString::create(_ss, &_buf[0], (SQInteger)_buf.size() - 1);
  _tok = TK_IDENTIFIER;
}
