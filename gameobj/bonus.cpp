// Bonuses: lie where they were put (falling to the floor), taken on touch.
/*
import bonuses
import hero
import sound
import sprites
*/
#include "gameobj/bonuses.h"
#include "gameobj/hero.h"
#include "gameobj/sound.h"
#include "gameobj/sprites.h"

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

namespace {
void draw_bonus(Bonus* b, const char* picture, float t) {
  float bob = std::sin(b->age * 4) * 1.0f;
  draw_sprite(sprite_frame(picture, int(b->age * 3)), b->drawX(t), b->drawY(t) + 1 + bob, -0.5f, false);
}
}  // namespace

void HeartBonus::render(float t) { draw_bonus(this, "bonus/heart", t); }
void UpBonus::render(float t) { draw_bonus(this, "bonus/up", t); }
