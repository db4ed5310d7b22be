// What both bosses share: waking up, taking damage only when unshielded, and
// blowing apart bit by bit before the exit opens.
/*
import bosses
import effects
import hero
import shell_api
import sound
import sprites
*/
#include "gameobj/bosses.h"
#include "gameobj/effects.h"
#include "gameobj/hero.h"
#include "gameobj/shell_api.h"
#include "gameobj/sound.h"
#include "gameobj/sprites.h"

namespace {
// The view shows 160 world units on each side of the camera at every window size. A
// boss wakes and fires only with the hero this near: the camera's lean and trail and
// the boss's own half-width stay inside the view.
constexpr float VIEW_HALF_WIDTH = 160, VIEW_MARGIN = 40;
constexpr float IN_VIEW_RANGE = VIEW_HALF_WIDTH - VIEW_MARGIN;
constexpr float DYING_TIME = 2.5f;
constexpr float BLAST_EVERY = 0.25f;
}  // namespace

Boss::Boss() { category = CAT_ENEMY; }

Boss* the_boss() {
  for (int i = 0; i < Boss1_list.size(); i++)
    if (Boss1_list[i]->alive())
      return Boss1_list[i];
  for (int i = 0; i < Boss2_list.size(); i++)
    if (Boss2_list[i]->alive())
      return Boss2_list[i];
  return nullptr;
}

bool Boss::hurt(int damage, float, float) {
  if (!alive() || dyingTime >= 0 || damage <= 0)
    return false;
  activate();
  flash = 0.1f;
  if (shielded()) {
    play_event_at(SND_BULLET_HITS_INDESTRUCTIBLE, x, centreY());
    return true;
  }
  health -= damage;
  play_event_at(SND_BOSS_PART_DAMAGED, x, centreY());
  if (health <= 0)
    fall();
  return true;
}

void Boss::fall() {
  health = 0;
  dyingTime = 0;
  contact = 0;
}

void end_last_level_by_its_boss() {
  if (shell::level() < LAST_LEVEL || !shell::exit_pending())
    return;
  shell::cancel_exit();
  Boss* boss = the_boss();
  if (boss && boss->dyingTime < 0)
    boss->fall();
}

uint32_t Boss::warningGlow(float flash_time) const {
  constexpr float WARNING = 0.45f;
  if (activated && dyingTime < 0 && shootTimer > 0 && shootTimer < WARNING && int(shootTimer * 16) % 2)
    return 0xA0FEAE34;
  return hit_flash(flash_time);
}

void Boss::activate() {
  if (activated)
    return;
  activated = 1;
  play_event(activationSound());
}

bool Boss::heroInView() const {
  Hero* hero = the_hero();
  if (!hero || hero->dead)
    return false;
  float dx = hero->x - x, dy = hero->y - y;
  return dx * dx + dy * dy < IN_VIEW_RANGE * IN_VIEW_RANGE;
}

void Boss::activateWhenInView() {
  if (!activated && heroInView())
    activate();
}

void Boss::updateDying(float dt, int dying_sound) {
  if (dyingTime == 0)
    play_event_at(dying_sound, x, centreY());
  float before = dyingTime;
  dyingTime += dt;
  if (int(before / BLAST_EVERY) != int(dyingTime / BLAST_EVERY))
    spawn_explosion(game_randf(x + ext[0], x + ext[2]), game_randf(y + ext[1], y + ext[3]), 1,
                    SND_BOSS_PART_EXPLODE);
  if (dyingTime < DYING_TIME)
    return;
  destroy();
  spawn_explosion(x, centreY(), 3, SND_BOSS_DEAD);
  throw_debris(x, centreY(), 40, 0xFF8B9BB4, 90);
  open_boss_exit();
}

void spawn_boss(int kind, float x, float y) {
  if (kind == 8)
    spawn(Boss1_list, x, y)->setup();
  else
    spawn(Boss2_list, x, y)->setup();
}
