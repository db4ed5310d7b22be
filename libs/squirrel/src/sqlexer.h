// Tokenizer of Squirrel source text.
#pragma once
#include "sqvm.h"

enum SQToken {
  TK_EOF = 0,
  TK_IDENTIFIER = 258, TK_STRING_LITERAL, TK_INTEGER, TK_FLOAT,
  TK_EQ, TK_NE, TK_LE, TK_GE, TK_3WAYSCMP, TK_AND, TK_OR, TK_SHIFTL, TK_SHIFTR, TK_USHIFTR,
  TK_PLUSPLUS, TK_MINUSMINUS, TK_PLUSEQ, TK_MINUSEQ, TK_MULEQ, TK_DIVEQ, TK_MODEQ, TK_NEWSLOT,
  TK_DOUBLE_COLON, TK_VARPARAMS, TK_ATTR_OPEN, TK_ATTR_CLOSE,
  // keywords
  TK_WHILE, TK_DO, TK_IF, TK_ELSE, TK_BREAK, TK_CONTINUE, TK_RETURN, TK_NULL, TK_FUNCTION, TK_LOCAL,
  TK_FOR, TK_FOREACH, TK_IN, TK_TYPEOF, TK_BASE, TK_DELETE, TK_TRY, TK_CATCH, TK_THROW, TK_CLONE,
  TK_YIELD, TK_RESUME, TK_SWITCH, TK_CASE, TK_DEFAULT, TK_THIS, TK_CLASS, TK_EXTENDS, TK_CONSTRUCTOR,
  TK_INSTANCEOF, TK_TRUE, TK_FALSE, TK_STATIC, TK_ENUM, TK_CONST, TK___LINE__, TK___FILE__, TK_RAWCALL
};

struct SQCompileError {
  const SQChar* msg;
};

struct SQLexer {
  SQSharedState* _ss = nullptr;
  SQLEXREADFUNC _read = nullptr;
  SQUserPointer _up = nullptr;
  SQInteger _cur = 0;  // current character
  SQInteger _line = 1, _col = 0;
  SQInteger _tokLine = 1, _tokCol = 0;
  bool _prevNewline = false;  // a line break came before the current token
  SQInteger _tok = 0;
  SQInteger _prevTok = 0;
  sqvec<SQChar> _buf;
  SQInteger _int = 0;
  SQFloat _float = 0;
  SQObjectPtr _str;  // identifier or string value
  SQChar _errbuf[256];

  void init(SQSharedState* ss, SQLEXREADFUNC rd, SQUserPointer up);
  SQInteger lex();
  [[noreturn]] void error(const SQChar* fmt, ...);
 private:
  void next();
  void readString(SQInteger delim, bool verbatim);
  void readNumber();
  void readIdentifier();
  void skipBlockComment();
};

const SQChar* sq_token_name(SQInteger tok);
