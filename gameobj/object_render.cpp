// Sprite drawing of the objects (until the sprite atlas is available: nothing).
/*
import backgrounds
import bonuses
import bosses
import bullet
import effects
import enemies
import hero
import lift
import weapons
*/
#include "gameobj/backgrounds.h"
#include "gameobj/bonuses.h"
#include "gameobj/bosses.h"
#include "gameobj/bullet.h"
#include "gameobj/effects.h"
#include "gameobj/enemies.h"
#include "gameobj/hero.h"
#include "gameobj/lift.h"
#include "gameobj/weapons.h"

void Hero::render(float) {}
void Pistol::render(float) {}
void PlasmaGun::render(float) {}
void EmptyHand::render(float) {}
void Bullet::render(float) {}
void EnemyHWheels::render(float) {}
void EnemyTWheels::render(float) {}
void EnemyHFly::render(float) {}
void EnemyVFly::render(float) {}
void EnemySimpleJumper::render(float) {}
void EnemySimpleSpike::render(float) {}
void EnemyMagnetSpikes::render(float) {}
void HeartBonus::render(float) {}
void UpBonus::render(float) {}
void Lift::render(float) {}
void ExplosionParticle::render(float) {}
void ExplBarrel::render(float) {}
void ExitFx::render(float) {}
void BackgroundTile::render(float) {}
void BackgroundShip::render(float) {}
void Boss1::render(float) {}
void Boss2::render(float) {}
void BossPart::render(float) {}
void Bomb::render(float) {}
