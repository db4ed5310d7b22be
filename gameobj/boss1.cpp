// Boss1, the gunship: hovers over its arena following the hero, its two gun pods
// fire aimed shots and it drops bombs; the core can be hurt once both pods fell.
/*
import bosses
import bullet
import hero
import sound
import sprites
*/
#include "gameobj/bosses.h"
#include "gameobj/bullet.h"
#include "gameobj/hero.h"
#include "gameobj/sound.h"
#include "gameobj/sprites.h"

namespace {
constexpr float HOVER = 70, SPEED = 35, PATROL = 140;
constexpr float POD_RELOAD = 1.6f, CORE_RELOAD = 1.0f, BOMB_RELOAD = 3.5f, SHOT_SPEED = 140;
constexpr int POD_HEALTH = 40;
const float pod_offsets[2][2] = {{-15, -2}, {15, -2}};
}  // namespace

Boss1::Boss1() {
  setShape(-16, 0, 16, 14, 120);
  contact = 20;
}

void Boss1::setup() {
  homeX = x;
  int hit = 0;
  float ceiling = scan_level_y(x + ext[0], x + ext[2], y + ext[3], y + ext[3] + HOVER + 40, hit, nullptr);
  homeY = (hit & HIT_UP) ? std::fmin(y + HOVER, ceiling - ext[3] - 24) : y + HOVER;
  place(x, homeY);
  for (int i = 0; i < 2; i++) {
    BossPart* pod = spawn(BossPart_list, x + pod_offsets[i][0], y + pod_offsets[i][1]);
    pod->boss.set(this);
    pod->offsetX = pod_offsets[i][0], pod->offsetY = pod_offsets[i][1];
    pod->slot = i;
    pod->health = pod->maxHealth = POD_HEALTH;
  }
  shootTimer = POD_RELOAD;
  bombTimer = BOMB_RELOAD;
}

int Boss1::activationSound() const { return SND_BOSS1_ACTIVATED; }

bool Boss1::shielded() const {
  for (int i = 0; i < BossPart_list.size(); i++)
    if (BossPart_list[i]->alive() && BossPart_list[i]->boss.get() == this)
      return true;
  return false;
}

void Boss1::update(float dt) {
  tick(dt);
  if (dyingTime >= 0) {
    updateDying(dt, SND_BOSS1_DYING);
    return;
  }
  activateWhenInView();
  Hero* hero = the_hero();
  float ty = homeY + std::sin(age * 2.0f) * 3.0f;
  if (!activated || !hero || hero->dead) {
    moveTo(x, ty, 0);
    return;
  }
  float goal = clampf(hero->x, homeX - PATROL, homeX + PATROL);
  vx = approach(vx, goal > x ? SPEED : -SPEED, 60 * dt);
  if (std::fabs(goal - x) < 4)
    vx = approach(vx, 0, 120 * dt);
  int hit = moveTo(x + vx * dt, ty, 0);
  if (hit & (HIT_LEFT | HIT_RIGHT))
    vx = 0;
  if (!heroInView())
    return;  // it holds its fire until it is on the screen

  shootTimer -= dt;
  bombTimer -= dt;
  if (shootTimer <= 0) {
    bool pods = false;
    for (int i = 0; i < BossPart_list.size(); i++) {
      BossPart* pod = BossPart_list[i];
      if (!pod->alive() || pod->boss.get() != this)
        continue;
      pods = true;
      float a = std::atan2(hero->centreY() - pod->y, hero->x - pod->x);
      fire_bullet(BULLET_BOSS, pod->x, pod->y, std::cos(a) * SHOT_SPEED, std::sin(a) * SHOT_SPEED, 10);
    }
    if (!pods)
      shootAtHero(SHOT_SPEED);
    play_event_at(SND_BOSS1_SHOOT, x, y);
    shootTimer = pods ? POD_RELOAD : CORE_RELOAD;
  }
  if (bombTimer <= 0 && std::fabs(hero->x - x) < 40) {
    spawn(Bomb_list, x, y - 4);
    play_event_at(SND_BOSS1_DROP_BOMB, x, y);
    bombTimer = BOMB_RELOAD;
  }
}

void Boss1::shootAtHero(float speed) {
  Hero* hero = the_hero();
  float cy = y + 4;
  for (float spread : {-0.15f, 0.0f, 0.15f}) {
    float a = std::atan2(hero->centreY() - cy, hero->x - x) + spread;
    fire_bullet(BULLET_BOSS, x, cy, std::cos(a) * speed, std::sin(a) * speed, 10);
  }
}

void Boss1::render(float t) {
  uint32_t glow = dyingTime >= 0 && int(dyingTime * 10) % 2 ? 0x80F77622 : warningGlow(flash);
  draw_sprite(sprite_named("boss1/body"), drawX(t), drawY(t), -1.5f, false, SPRITE_PLAIN, glow);
}
