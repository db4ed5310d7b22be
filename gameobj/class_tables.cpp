// The module's class tables in their fixed order: the 27 listed classes, then
// spare slots, and each class's size and alignment beside them. A rebuilt module must
// keep this order and every class's layout, so that a reload can re-point the live
// objects and keep their data; the host refuses one whose layouts differ.
/*
import hero
import weapons
import bullet
import enemies
import bonuses
import lift
import effects
import backgrounds
import bosses
*/
#include <new>
#include <utility>

#include "gameobj/backgrounds.h"
#include "gameobj/bonuses.h"
#include "gameobj/bosses.h"
#include "gameobj/bullet.h"
#include "gameobj/effects.h"
#include "gameobj/enemies.h"
#include "gameobj/hero.h"
#include "gameobj/lift.h"
#include "gameobj/weapons.h"

#ifndef GAMEOBJ_CLASS_COUNT
#define GAMEOBJ_CLASS_COUNT GAMEOBJ_VTABLE_COUNT
#endif

namespace {

// Slots after the listed classes belong to classes no object is made of.
template <int N>
class SpareObject : public Actor {
 public:
  const char* className() override { return "SpareObject"; }
  void unlist() override {}
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

template <class T>
constexpr GameObjClassLayout layout_of() {
  return {uint32_t(sizeof(T)), uint32_t(alignof(T))};
}

template <int... N>
constexpr void add_spare_layouts(GameObjClassLayout* layouts, int first, std::integer_sequence<int, N...>) {
  ((layouts[first + N] = layout_of<SpareObject<N>>()), ...);
}

// In the order of the class tables.
struct ClassLayouts {
  GameObjClassLayout at[GAMEOBJ_VTABLE_COUNT] = {};
  constexpr ClassLayouts() {
    int i = 1;
#define GAMEOBJ_LAYOUT(name) at[i++] = layout_of<name>();
    GAMEOBJ_LIST_NAMES(GAMEOBJ_LAYOUT)
#undef GAMEOBJ_LAYOUT
    add_spare_layouts(at, i, std::make_integer_sequence<int, GAMEOBJ_VTABLE_COUNT - 1 - GAMEOBJ_LIST_COUNT>());
  }
};
constexpr ClassLayouts class_layouts;

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

}  // namespace

extern "C" __attribute__((visibility("default"))) void** get_gameobj_vtables(int* count) {
  *count = GAMEOBJ_CLASS_COUNT;
  return module_class_tables();
}

// A test build goes without (GAMEOBJ_NO_CLASS_LAYOUTS), as a module from before the
// layouts were reported.
#ifndef GAMEOBJ_NO_CLASS_LAYOUTS
extern "C" __attribute__((visibility("default"))) const GameObjClassLayout* get_gameobj_class_layouts(int* count) {
  *count = GAMEOBJ_VTABLE_COUNT;
  return class_layouts.at;
}
#endif
