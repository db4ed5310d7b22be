// Class tables of the stand-in module's objects.
/*
import objects
*/
#include "gameobj/objects.h"

#include <new>

namespace {

// Class slots 28..45 belong to classes the stand-in never creates.
template <int N>
class SpareObject : public StandInObject<GameObj> {
 public:
  const char* className() override { return "SpareObject"; }
};

// The class table of T, read from an object built in place and never destroyed.
template <class T>
void* class_table_of() {
  alignas(T) static unsigned char storage[sizeof(T)];
  T* obj = ::new (storage) T();
  return *reinterpret_cast<void**>(obj);
}

template <int... N>
void add_spares(void** tables, int first, std::integer_sequence<int, N...>) {
  ((tables[first + N] = class_table_of<SpareObject<N>>()), ...);
}

}  // namespace

void** module_class_tables() {
  static void* tables[GAMEOBJ_VTABLE_COUNT];
  if (tables[1])
    return tables;
  int i = 1;
#define GAMEOBJ_TABLE(name) tables[i++] = class_table_of<name>();
  GAMEOBJ_LIST_NAMES(GAMEOBJ_TABLE)
#undef GAMEOBJ_TABLE
  add_spares(tables, i, std::make_integer_sequence<int, GAMEOBJ_VTABLE_COUNT - 1 - GAMEOBJ_LIST_COUNT>());
  return tables;
}
