// String standard library: format, strip, split, escape, startswith/endswith, regexp.
#include "sqstdstring.h"
#include "sqvm.h"
#include <ctype.h>
#include <stdio.h>
#include <string.h>

// A conversion ("%-08.3f") is at most this long; its width and its precision take at most
// two digits each.
#define MAX_FORMAT_LEN 20
#define MAX_WFORMAT_LEN 2

// Reads the digits of a width or a precision; false when there are too many.
static bool format_digits(const SQChar* format, SQInteger fmtlen, SQInteger& i) {
  SQInteger start = i;
  while (i < fmtlen && isdigit((unsigned char)format[i])) i++;
  return i - start <= MAX_WFORMAT_LEN;
}

SQRESULT sqstd_format(HSQUIRRELVM v, SQInteger nformatstringidx, SQInteger* outlen, SQChar** output) {
  const SQChar* format;
  SQInteger fmtlen;
  if (SQ_FAILED(sq_getstringandsize(v, nformatstringidx, &format, &fmtlen))) return sq_throwerror(v, "format must be a string");
  SQInteger nparam = nformatstringidx + 1;
  sqvec<SQChar> out;
  SQInteger i = 0;
  while (i < fmtlen) {
    if (format[i] != '%') { out.push_back(format[i++]); continue; }
    if (i + 1 < fmtlen && format[i + 1] == '%') { out.push_back('%'); i += 2; continue; }
    if (nparam > sq_gettop(v)) return sq_throwerror(v, "not enough parameters for the given format string");
    // the conversion spec: flags, width, precision
    SQInteger start = i++;
    while (i < fmtlen && strchr("-+ #0", format[i])) i++;
    if (!format_digits(format, fmtlen, i)) return sq_throwerror(v, "width format too long");
    if (i < fmtlen && format[i] == '.') {
      i++;
      if (!format_digits(format, fmtlen, i)) return sq_throwerror(v, "precision format too long");
    }
    if (i - start + 1 > MAX_FORMAT_LEN) return sq_throwerror(v, "format too long");
    if (i >= fmtlen) return sq_throwerror(v, "invalid format");
    SQChar conv = format[i++];
    SQChar spec[MAX_FORMAT_LEN + 4];
    SQInteger n = i - 1 - start;
    memcpy(spec, format + start, (size_t)n);
    SQObjectType type = sq_gettype(v, nparam);
    SQChar buf[512];
    int written = 0;
    switch (conv) {
      case 'd': case 'i': case 'x': case 'X': case 'o': case 'u': case 'c': {
        if (type != OT_INTEGER && type != OT_FLOAT) return sq_throwerror(v, "integer expected for the specified format");
        SQInteger iv;
        sq_getinteger(v, nparam, &iv);
        if (conv == 'c') { spec[n++] = 'c'; spec[n] = 0; written = snprintf(buf, sizeof(buf), spec, (int)iv); }
        else { spec[n++] = 'l'; spec[n++] = 'l'; spec[n++] = conv; spec[n] = 0; written = snprintf(buf, sizeof(buf), spec, (long long)iv); }
        break;
      }
      case 'f': case 'g': case 'G': case 'e': case 'E': {
        if (type != OT_INTEGER && type != OT_FLOAT) return sq_throwerror(v, "float expected for the specified format");
        SQFloat fv;
        sq_getfloat(v, nparam, &fv);
        spec[n++] = conv; spec[n] = 0;
        written = snprintf(buf, sizeof(buf), spec, (double)fv);
        break;
      }
      case 's': {
        const SQChar* s;
        SQInteger slen;
        if (SQ_FAILED(sq_getstringandsize(v, nparam, &s, &slen))) return sq_throwerror(v, "string expected for the specified format");
        spec[n++] = 's'; spec[n] = 0;
        if (n == 2) {  // plain %s: copy directly, any length
          for (SQInteger k = 0; k < slen; k++) out.push_back(s[k]);
          nparam++;
          continue;
        }
        SQInteger need = slen + 128;
        sqvec<SQChar> big;
        big.resize((SQUnsignedInteger)need);
        written = snprintf(&big[0], (size_t)need, spec, s);
        for (int k = 0; k < written && k < need; k++) out.push_back(big[k]);
        nparam++;
        continue;
      }
      default: return sq_throwerror(v, "invalid format");
    }
    if (written < 0) return sq_throwerror(v, "invalid format");
    for (int k = 0; k < written && k < (int)sizeof(buf) - 1; k++) out.push_back(buf[k]);
    nparam++;
  }
  *outlen = (SQInteger)out.size();
  *output = sq_getscratchpad(v, *outlen + 1);
  if (*outlen) memcpy(*output, &out[0], *outlen);
  (*output)[*outlen] = 0;
  return SQ_OK;
}

static SQInteger str_format(HSQUIRRELVM v) {
  SQChar* dest;
  SQInteger len;
  if (SQ_FAILED(sqstd_format(v, 2, &len, &dest))) return SQ_ERROR;
  sq_pushstring(v, dest, len);
  return 1;
}
static SQInteger str_printf(HSQUIRRELVM v) {
  SQChar* dest;
  SQInteger len;
  if (SQ_FAILED(sqstd_format(v, 2, &len, &dest))) return SQ_ERROR;
  SQPRINTFUNCTION pf = sq_getprintfunc(v);
  if (pf) pf(v, "%s", dest);
  return 0;
}

static void strip_range(const SQChar* s, SQInteger len, bool left, bool right, SQInteger& a, SQInteger& b) {
  a = 0; b = len;
  if (left) while (a < b && isspace((unsigned char)s[a])) a++;
  if (right) while (b > a && isspace((unsigned char)s[b - 1])) b--;
}
static SQInteger strip_impl(HSQUIRRELVM v, bool left, bool right) {
  const SQChar* s;
  SQInteger len, a, b;
  sq_getstringandsize(v, 2, &s, &len);
  strip_range(s, len, left, right, a, b);
  sq_pushstring(v, s + a, b - a);
  return 1;
}
static SQInteger str_strip(HSQUIRRELVM v) { return strip_impl(v, true, true); }
static SQInteger str_lstrip(HSQUIRRELVM v) { return strip_impl(v, true, false); }
static SQInteger str_rstrip(HSQUIRRELVM v) { return strip_impl(v, false, true); }

static SQInteger str_split(HSQUIRRELVM v) {
  const SQChar *s, *seps;
  SQInteger len, nseps;
  sq_getstringandsize(v, 2, &s, &len);
  sq_getstringandsize(v, 3, &seps, &nseps);
  SQBool skipempty = SQFalse;
  if (sq_gettop(v) > 3) sq_getbool(v, 4, &skipempty);
  if (nseps == 0) return sq_throwerror(v, "empty separators string");
  sq_newarray(v, 0);
  SQInteger start = 0;
  for (SQInteger i = 0; i <= len; i++) {
    bool isSep = i < len && memchr(seps, s[i], (size_t)nseps) != nullptr;
    if (i == len || isSep) {
      if (!(skipempty && i == start)) {
        sq_pushstring(v, s + start, i - start);
        sq_arrayappend(v, -2);
      }
      start = i + 1;
    }
  }
  return 1;
}

static SQInteger str_escape(HSQUIRRELVM v) {
  const SQChar* s;
  SQInteger len;
  sq_getstringandsize(v, 2, &s, &len);
  sqvec<SQChar> out;
  for (SQInteger i = 0; i < len; i++) {
    unsigned char c = (unsigned char)s[i];
    const char* esc = nullptr;
    switch (c) {
      case '\a': esc = "\\a"; break;
      case '\b': esc = "\\b"; break;
      case '\t': esc = "\\t"; break;
      case '\n': esc = "\\n"; break;
      case '\v': esc = "\\v"; break;
      case '\f': esc = "\\f"; break;
      case '\r': esc = "\\r"; break;
      case '\\': esc = "\\\\"; break;
      case '"': esc = "\\\""; break;
      case '\'': esc = "\\'"; break;
      case 0: esc = "\\0"; break;
    }
    if (esc) { for (const char* p = esc; *p; p++) out.push_back(*p); continue; }
    if (c < 32 || c >= 127) {
      char buf[8];
      snprintf(buf, sizeof(buf), "\\x%02x", c);
      for (char* p = buf; *p; p++) out.push_back(*p);
      continue;
    }
    out.push_back((SQChar)c);
  }
  sq_pushstring(v, out.size() ? &out[0] : "", (SQInteger)out.size());
  return 1;
}

static SQInteger str_startswith(HSQUIRRELVM v) {
  const SQChar *s, *c;
  SQInteger ls, lc;
  sq_getstringandsize(v, 2, &s, &ls);
  sq_getstringandsize(v, 3, &c, &lc);
  sq_pushbool(v, lc <= ls && memcmp(s, c, (size_t)lc) == 0);
  return 1;
}
static SQInteger str_endswith(HSQUIRRELVM v) {
  const SQChar *s, *c;
  SQInteger ls, lc;
  sq_getstringandsize(v, 2, &s, &ls);
  sq_getstringandsize(v, 3, &c, &lc);
  sq_pushbool(v, lc <= ls && memcmp(s + ls - lc, c, (size_t)lc) == 0);
  return 1;
}

// ---- regexp class -------------------------------------------------------------------------
static SQInteger rex_release(SQUserPointer p, SQInteger) {
  sqstd_rex_free((SQRex*)p);
  return 1;
}
static SQRex* self_rex(HSQUIRRELVM v) {
  SQUserPointer p = nullptr;
  if (SQ_FAILED(sq_getinstanceup(v, 1, &p, nullptr)) || !p) return nullptr;
  return (SQRex*)p;
}
static SQInteger rex_constructor(HSQUIRRELVM v) {
  const SQChar* pattern;
  sq_getstring(v, 2, &pattern);
  const SQChar* err = nullptr;
  SQRex* r = sqstd_rex_compile(pattern, &err);
  if (!r) return sq_throwerror(v, err ? err : "invalid regular expression");
  sq_setinstanceup(v, 1, r);
  sq_setreleasehook(v, 1, rex_release);
  return 0;
}
static SQInteger rex_match(HSQUIRRELVM v) {
  SQRex* r = self_rex(v);
  if (!r) return sq_throwerror(v, "invalid regexp instance");
  const SQChar* s;
  sq_getstring(v, 2, &s);
  sq_pushbool(v, sqstd_rex_match(r, s));
  return 1;
}
static void push_range(HSQUIRRELVM v, SQInteger b, SQInteger e) {
  sq_newtable(v);
  sq_pushstring(v, "begin", -1); sq_pushinteger(v, b); sq_newslot(v, -3, SQFalse);
  sq_pushstring(v, "end", -1); sq_pushinteger(v, e); sq_newslot(v, -3, SQFalse);
}
static bool rex_search_from(HSQUIRRELVM v, SQRex* r, const SQChar*& s, SQInteger& len, const SQChar*& b, const SQChar*& e) {
  sq_getstringandsize(v, 2, &s, &len);
  SQInteger start = 0;
  if (sq_gettop(v) > 2) sq_getinteger(v, 3, &start);
  if (start < 0 || start > len) return false;
  return sqstd_rex_searchrange(r, s + start, s + len, &b, &e) != SQFalse;
}
static SQInteger rex_search(HSQUIRRELVM v) {
  SQRex* r = self_rex(v);
  if (!r) return sq_throwerror(v, "invalid regexp instance");
  const SQChar *s, *b, *e;
  SQInteger len;
  if (!rex_search_from(v, r, s, len, b, e)) return 0;
  push_range(v, b - s, e - s);
  return 1;
}
static SQInteger rex_capture(HSQUIRRELVM v) {
  SQRex* r = self_rex(v);
  if (!r) return sq_throwerror(v, "invalid regexp instance");
  const SQChar *s, *b, *e;
  SQInteger len;
  if (!rex_search_from(v, r, s, len, b, e)) return 0;
  SQInteger n = sqstd_rex_getsubexpcount(r);
  sq_newarray(v, 0);
  for (SQInteger i = 0; i < n; i++) {
    SQRexMatch m;
    sqstd_rex_getsubexp(r, i, &m);
    if (m.len >= 0 && m.begin) push_range(v, m.begin - s, m.begin - s + m.len);
    else push_range(v, 0, 0);
    sq_arrayappend(v, -2);
  }
  return 1;
}
static SQInteger rex_subexpcount(HSQUIRRELVM v) {
  SQRex* r = self_rex(v);
  if (!r) return sq_throwerror(v, "invalid regexp instance");
  sq_pushinteger(v, sqstd_rex_getsubexpcount(r));
  return 1;
}
static SQInteger rex_typeof(HSQUIRRELVM v) { sq_pushstring(v, "regexp", -1); return 1; }

static void reg_fn(HSQUIRRELVM v, const SQRegFunction& f) {
  sq_pushstring(v, f.name, -1);
  sq_newclosure(v, f.f, 0);
  sq_setparamscheck(v, f.nparamscheck, f.typemask);
  sq_setnativeclosurename(v, -1, f.name);
  sq_newslot(v, -3, SQFalse);
}

static const SQRegFunction g_rexMembers[] = {
  {"constructor", rex_constructor, 2, ".s"}, {"search", rex_search, -2, "xsn"}, {"match", rex_match, 2, "xs"},
  {"capture", rex_capture, -2, "xsn"}, {"subexpcount", rex_subexpcount, 1, "x"}, {"_typeof", rex_typeof, 1, "x"},
  {nullptr, nullptr, 0, nullptr}};

static const SQRegFunction g_stringlib[] = {
  {"format", str_format, -2, ".s"}, {"printf", str_printf, -2, ".s"}, {"strip", str_strip, 2, ".s"},
  {"lstrip", str_lstrip, 2, ".s"}, {"rstrip", str_rstrip, 2, ".s"}, {"split", str_split, -3, ".ssb"},
  {"escape", str_escape, 2, ".s"}, {"startswith", str_startswith, 3, ".ss"}, {"endswith", str_endswith, 3, ".ss"},
  {nullptr, nullptr, 0, nullptr}};

SQRESULT sqstd_register_stringlib(HSQUIRRELVM v) {
  sq_pushstring(v, "regexp", -1);
  sq_newclass(v, SQFalse);
  for (const SQRegFunction* f = g_rexMembers; f->name; f++) reg_fn(v, *f);
  sq_newslot(v, -3, SQFalse);
  for (const SQRegFunction* f = g_stringlib; f->name; f++) reg_fn(v, *f);
  return SQ_OK;
}
