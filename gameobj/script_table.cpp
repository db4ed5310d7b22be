// Fields of the game script's tables.
/*
import script_table
*/
#include "gameobj/script_table.h"

#include <cstring>

namespace {

// Calls read with table[key] on top of the stack; false when there is no such field.
template <class F>
bool with_field(HSQUIRRELVM vm, const HSQOBJECT& table, const char* key, F&& read) {
  SQInteger top = sq_gettop(vm);
  sq_pushobject(vm, table);
  sq_pushstring(vm, key, -1);
  bool ok = SQ_SUCCEEDED(sq_get(vm, -2)) && read();
  sq_settop(vm, top);
  return ok;
}

}  // namespace

bool table_number(HSQUIRRELVM vm, const HSQOBJECT& table, const char* key, float& out) {
  return with_field(vm, table, key, [&] {
    SQFloat value;
    if (SQ_FAILED(sq_getfloat(vm, -1, &value)))
      return false;
    out = value;
    return true;
  });
}

bool table_text(HSQUIRRELVM vm, const HSQOBJECT& table, const char* key, String& out) {
  return with_field(vm, table, key, [&] {
    const SQChar* text = nullptr;
    if (SQ_FAILED(sq_getstring(vm, -1, &text)))
      return false;
    out = text;
    return true;
  });
}

void table_text_list(HSQUIRRELVM vm, const HSQOBJECT& table, const char* key, String& out) {
  TempString<256> text;
  with_field(vm, table, key, [&] {
    if (sq_gettype(vm, -1) != OT_ARRAY)
      return false;
    sq_pushnull(vm);
    while (SQ_SUCCEEDED(sq_next(vm, -2))) {
      const SQChar* s = nullptr;
      if (SQ_SUCCEEDED(sq_getstring(vm, -1, &s)) && strlen(text.str) + strlen(s) + 3 < sizeof(text.str)) {
        if (text.str[0])
          strcat(text.str, ", ");
        strcat(text.str, s);
      }
      sq_pop(vm, 2);
    }
    return true;
  });
  out = text.str;
}
