#pragma once
// Reading the game script's tables: a field as a number or a text, and a list of
// texts joined. The VM's stack is left as it was.
#include <squirrel.h>

#include "engine/core/strings.h"

// False (and out unchanged) when the field is absent or of another type.
bool table_number(HSQUIRRELVM vm, const HSQOBJECT& table, const char* key, float& out);
bool table_text(HSQUIRRELVM vm, const HSQOBJECT& table, const char* key, String& out);
// The texts of an array field joined with ", " (empty without one).
void table_text_list(HSQUIRRELVM vm, const HSQOBJECT& table, const char* key, String& out);
