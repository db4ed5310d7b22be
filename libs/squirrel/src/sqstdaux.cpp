// Error handlers that report a runtime error with its call stack and locals.
#include "sqstdaux.h"
#include "sqvm.h"

// How a local's value appears: strings quoted, numbers and booleans as text, anything else
// by its type alone, so that the report is the same from run to run.
static const SQChar* container_name(SQObjectType t) {
  switch (t) {
    case OT_TABLE: return "TABLE";
    case OT_ARRAY: return "ARRAY";
    case OT_CLOSURE: return "CLOSURE";
    case OT_NATIVECLOSURE: return "NATIVECLOSURE";
    case OT_GENERATOR: return "GENERATOR";
    case OT_USERDATA: return "USERDATA";
    case OT_USERPOINTER: return "USERPOINTER";
    case OT_THREAD: return "THREAD";
    case OT_CLASS: return "CLASS";
    case OT_INSTANCE: return "INSTANCE";
    case OT_WEAKREF: return "WEAKREF";
    default: return nullptr;
  }
}

void sqstd_printcallstack(HSQUIRRELVM v) {
  SQPRINTFUNCTION pf = sq_geterrorfunc(v);
  if (!pf) return;
  SQStackInfos si;
  pf(v, "\nCALLSTACK\n");
  for (SQInteger level = 1; SQ_SUCCEEDED(sq_stackinfos(v, level, &si)); level++) {
    pf(v, "*FUNCTION [%s()] %s line [%lld]\n", si.funcname, si.source, (long long)si.line);
  }
  pf(v, "\nLOCALS\n");
  for (SQInteger level = 1; level < 10; level++) {
    SQStackInfos tmp;
    if (SQ_FAILED(sq_stackinfos(v, level, &tmp))) break;
    for (SQUnsignedInteger seq = 0;; seq++) {
      const SQChar* name = sq_getlocal(v, (SQUnsignedInteger)level, seq);
      if (!name) break;
      SQObjectPtr val = v->top();
      v->pop();
      if (sq_type(val) == OT_STRING) pf(v, "[%s] \"%s\"\n", name, _string(val)->_val);
      else if (const SQChar* container = container_name(sq_type(val))) pf(v, "[%s] %s\n", name, container);
      else pf(v, "[%s] %s\n", name, _string(v->printable(val, false))->_val);
    }
  }
}

static SQInteger aux_errorhandler(HSQUIRRELVM v) {
  SQPRINTFUNCTION pf = sq_geterrorfunc(v);
  if (pf && sq_gettop(v) >= 1) {
    const SQChar* msg = "?";
    SQObjectPtr err = v->stackAt(2);
    SQObjectPtr s = v->printable(err);
    msg = _string(s)->_val;
    pf(v, "\nAN ERROR HAS OCCURRED [%s]\n", msg);
    sqstd_printcallstack(v);
  }
  return 0;
}

static void aux_compiler_error(HSQUIRRELVM v, const SQChar* desc, const SQChar* source, SQInteger line, SQInteger column) {
  SQPRINTFUNCTION pf = sq_geterrorfunc(v);
  if (pf) pf(v, "%s line = (%lld) column = (%lld) : error %s\n", source, (long long)line, (long long)column, desc);
}

void sqstd_seterrorhandlers(HSQUIRRELVM v) {
  sq_setcompilererrorhandler(v, aux_compiler_error);
  sq_newclosure(v, aux_errorhandler, 0);
  sq_seterrorhandler(v);
}
