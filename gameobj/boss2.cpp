// Boss2, the turret core: stands in its arena behind four orbiting armour plates
// and fires fans of shots. Once two plates are down the core can be hurt; when
// all four fall they come back once. Beating it wins the game.
/*
import bosses
import bullet
import effects
import hero
import sound
*/
#include "gameobj/bosses.h"
#include "gameobj/bullet.h"
#include "gameobj/effects.h"
#include "gameobj/hero.h"
#include "gameobj/sound.h"

namespace {
constexpr int PLATES = 4;
constexpr int PLATE_HEALTH = 30, REASSEMBLED_HEALTH = 20;
constexpr float ORBIT_RADIUS = 28;
constexpr float FAN_RELOAD = 2.4f, VOLLEY_RELOAD = 1.2f, REASSEMBLE_TIME = 5.0f, SHOT_SPEED = 120;

int plates_of(const Boss2* boss) {
  int n = 0;
  for (int i = 0; i < BossPart_list.size(); i++)
    if (BossPart_list[i]->alive() && BossPart_list[i]->boss.get() == boss)
      n++;
  return n;
}

void mount_plates(Boss2* boss, int health) {
  for (int i = 0; i < PLATES; i++) {
    BossPart* plate = spawn(BossPart_list, boss->x, boss->centreY());
    plate->boss.set(boss);
    plate->slot = 100 + i;  // orbiting plates are placed by their joints
    plate->ext[0] = plate->ext[1] = -5;
    plate->ext[2] = plate->ext[3] = 5;
    plate->health = plate->maxHealth = health;
    Boss2Joint* joint = spawn(Boss2Joint_list, boss->x, boss->centreY());
    joint->boss.set(boss);
    joint->part.set(plate);
    joint->angle = i * (6.2831853f / PLATES);
    joint->radius = ORBIT_RADIUS;
    joint->update(0);
  }
}
}  // namespace

Boss2::Boss2() {
  category = CAT_SOLID;
  setShape(-14, 0, 14, 26, 200);
  contact = 10;
}

void Boss2::setup() {
  homeX = x, homeY = y;
  mount_plates(this, PLATE_HEALTH);
  shootTimer = FAN_RELOAD;
  volleyTimer = VOLLEY_RELOAD;
}

int Boss2::activationSound() const { return SND_BOSS2_ACTIVATED; }

bool Boss2::shielded() const { return plates_of(this) > PLATES - 2; }

void Boss2::update(float dt) {
  tick(dt);
  if (dyingTime >= 0) {
    updateDying(dt, SND_BOSS2_DYING);
    if (!alive())
      if (ExitFx* exit = the_exit())
        exit->victoryTime = 0;  // the last boss: the game is won
    return;
  }
  vy = std::fmax(vy - 480 * dt, -300.0f);
  moveTo(x, y + vy * dt, 0);
  if (onGround)
    vy = 0;
  activateWhenInView();
  int plates = plates_of(this);
  spin += dt * (1.2f + (PLATES - plates) * 0.35f);
  if (plates == 0 && !reassembled) {
    if (reassembleTimer < 0)
      reassembleTimer = REASSEMBLE_TIME;
    reassembleTimer -= dt;
    if (reassembleTimer <= 0) {
      mount_plates(this, REASSEMBLED_HEALTH);
      reassembled = 1;
      play_event_at(SND_BOSS2_REASSEMBLE, x, centreY());
    }
  }
  Hero* hero = the_hero();
  if (!activated || !heroInView())
    return;  // it holds its fire until it is on the screen
  float cy = y + 20;
  float aim = std::atan2(hero->centreY() - cy, hero->x - x);
  shootTimer -= dt;
  volleyTimer -= dt;
  if (shootTimer <= 0) {
    for (int i = -2; i <= 2; i++) {
      float a = aim + i * 0.22f;
      fire_bullet(BULLET_BOSS, x, cy, std::cos(a) * SHOT_SPEED, std::sin(a) * SHOT_SPEED, 10);
    }
    play_event_at(SND_BOSS2_SHOOT, x, cy);
    shootTimer = FAN_RELOAD;
    volleyTimer = VOLLEY_RELOAD;
  } else if (volleyTimer <= 0) {
    // The plates facing the hero fire too.
    for (int i = 0; i < BossPart_list.size(); i++) {
      BossPart* plate = BossPart_list[i];
      if (!plate->alive() || plate->boss.get() != this || (plate->x - x) * (hero->x - x) <= 0)
        continue;
      float a = std::atan2(hero->centreY() - plate->y, hero->x - plate->x);
      fire_bullet(BULLET_BOSS, plate->x, plate->y, std::cos(a) * SHOT_SPEED, std::sin(a) * SHOT_SPEED, 8);
    }
    play_event_at(SND_BOSS2_SHOOT, x, cy);
    volleyTimer = VOLLEY_RELOAD * 2;
  }
}
