// The bridge to the game script: the script computes the hero's stats from the
// upgrade tree and hands them over through "apply_hero_stats".
/*
import hero
import script_table
*/
#include "engine/script/sqbind.h"
#include "gameobj/hero.h"
#include "gameobj/script_table.h"

namespace {

// apply_hero_stats(stats): the stats table of the upgrade tree; missing entries
// keep the base values.
void apply_hero_stats(HSQUIRRELVM vm, sqbind::SqObject table) {
  if (table.obj._type != OT_TABLE)
    throw sqbind::SquirrelError("apply_hero_stats: a table of stats expected");
  HeroStats s;
  float dual = 0, plasma = 0;
  table_number(vm, table.obj, "max_health", s.maxHealth);
  table_number(vm, table.obj, "damage", s.damage);
  table_number(vm, table.obj, "fire_rate", s.fireRate);
  table_number(vm, table.obj, "jump", s.jump);
  table_number(vm, table.obj, "dual_wield", dual);
  table_number(vm, table.obj, "plasma_gun", plasma);
  s.dualWield = dual != 0;
  s.plasmaGun = plasma != 0;
  current_hero_stats() = s;
  if (Hero* hero = the_hero())
    hero->applyStats(s);
}

}  // namespace

void bind_gameobj(HSQUIRRELVM vm) { sqbind::def(vm, apply_hero_stats, "apply_hero_stats"); }
