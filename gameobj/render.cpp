// Drawing the world's objects: inside the sprite pass, back to front, and the boss's
// mesh inside the level pass.
/*
import actor
import bosses
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

// Back to front.
#define RENDER_ORDER(X)                                                                                 \
  X(BackgroundTile) X(BackgroundShip) X(ExitFx) X(Lift) X(HeartBonus) X(UpBonus) X(ExplBarrel)          \
  X(EnemyHWheels) X(EnemyTWheels) X(EnemyHFly) X(EnemyVFly) X(EnemySimpleJumper) X(EnemySimpleSpike)    \
  X(EnemyMagnetSpikes) X(Boss1) X(Boss2) X(BossPart) X(Bomb) X(Hero) X(Pistol) X(PlasmaGun) X(EmptyHand) \
  X(Bullet) X(ExplosionParticle)

namespace {
template <class T>
void render_all(DynArray<T*>& list, float t) {
  for (int i = 0; i < list.size(); i++)
    if (list[i]->alive())
      list[i]->render(t);
}
}  // namespace

void render_gameobj(float t) {
#define RENDER(name) render_all(name##_list, t);
  RENDER_ORDER(RENDER)
#undef RENDER
}

void render_boss(float t) { render_boss_mesh(t); }
