// The bridge to the game script: the script computes the hero's stats from the
// upgrade tree and hands them over through "apply_hero_stats".
/*
import hero
*/
#include "engine/script/sqbind.h"
#include "gameobj/hero.h"

namespace {

// table[key] as a number; false (and out unchanged) when absent or not a number.
bool read_number(HSQUIRRELVM vm, const HSQOBJECT& table, const char* key, float& out) {
  SQInteger top = sq_gettop(vm);
  sq_pushobject(vm, table);
  sq_pushstring(vm, key, -1);
  bool ok = false;
  SQFloat value;
  if (SQ_SUCCEEDED(sq_get(vm, -2)) && SQ_SUCCEEDED(sq_getfloat(vm, -1, &value))) {
    out = value;
    ok = true;
  }
  sq_settop(vm, top);
  return ok;
}

// apply_hero_stats(stats): the stats table of the upgrade tree; missing entries
// keep the base values.
void apply_hero_stats(HSQUIRRELVM vm, sqbind::SqObject table) {
  if (table.obj._type != OT_TABLE)
    throw sqbind::SquirrelError("apply_hero_stats: a table of stats expected");
  HeroStats s;
  float dual = 0, plasma = 0;
  read_number(vm, table.obj, "max_health", s.maxHealth);
  read_number(vm, table.obj, "damage", s.damage);
  read_number(vm, table.obj, "fire_rate", s.fireRate);
  read_number(vm, table.obj, "jump", s.jump);
  read_number(vm, table.obj, "dual_wield", dual);
  read_number(vm, table.obj, "plasma_gun", plasma);
  s.dualWield = dual != 0;
  s.plasmaGun = plasma != 0;
  current_hero_stats() = s;
  if (Hero* hero = the_hero())
    hero->applyStats(s);
}

}  // namespace

void bind_gameobj(HSQUIRRELVM vm) { sqbind::def(vm, apply_hero_stats, "apply_hero_stats"); }
