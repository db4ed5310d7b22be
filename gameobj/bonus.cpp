// Bonuses: lie where they were put (falling to the floor), taken on touch.
/*
import bonuses
import hero
import sound
*/
#include "gameobj/bonuses.h"
#include "gameobj/hero.h"
#include "gameobj/sound.h"

Bonus::Bonus() {
  category = CAT_PICKUP;
  ext[0] = -4, ext[1] = 0, ext[2] = 4, ext[3] = 7;
}

void Bonus::update(float dt) {
  age += dt;
  if (onGround && vy == 0 && groundVy == 0)
    return;  // resting: nothing moves it
  vy = std::fmax(vy - 480 * dt, -300.0f);
  moveTo(x, y + vy * dt, 0);
  if (onGround)
    vy = 0;
}

bool HeartBonus::collect(Hero* hero) {
  if (!alive() || hero->dead || hero->health >= hero->maxHealth)
    return false;
  hero->health = std::min(hero->health + HEAL, hero->maxHealth);
  play_event_at(SND_BONUS_HEART, x, y);
  destroy();
  return true;
}

bool UpBonus::collect(Hero* hero) {
  if (!alive() || hero->dead)
    return false;
  shell::set_points(shell::points() + POINTS);
  play_event_at(SND_BONUS_UP, x, y);
  destroy();
  return true;
}
