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

// Back to front. The background layers place themselves against the view; the
// objects after them are culled by their boxes.
#define RENDER_ORDER(X)                                                                                 \
  X(ExitFx) X(Lift) X(HeartBonus) X(UpBonus) X(ExplBarrel)                                              \
  X(EnemyHWheels) X(EnemyTWheels) X(EnemyHFly) X(EnemyVFly) X(EnemySimpleJumper) X(EnemySimpleSpike)    \
  X(EnemyMagnetSpikes) X(Boss1) X(Boss2) X(BossPart) X(Bomb) X(Hero) X(Pistol) X(PlasmaGun) X(EmptyHand) \
  X(Bullet) X(ExplosionParticle)

namespace {

// The largest reach of an object's picture beyond its box.
constexpr float PICTURE_REACH = 24;

template <class T>
void render_all(DynArray<T*>& list, float t) {
  for (int i = 0; i < list.size(); i++)
    if (list[i]->alive())
      list[i]->render(t);
}

template <class T>
void render_in_view(DynArray<T*>& list, float t, __m128 view) {
  for (int i = 0; i < list.size(); i++)
    if (list[i]->alive() && boxes_touch(list[i]->bbox, view))
      list[i]->render(t);
}

}  // namespace

void render_gameobj(float t) {
  render_all(BackgroundTile_list, t);
  render_all(BackgroundShip_list, t);
  shell::View v = shell::view();
  // Without a game flow there is no view to cull by.
  __m128 view = v.x1 > v.x0 ? _mm_setr_ps(v.x0 - PICTURE_REACH, v.y0 - PICTURE_REACH, v.x1 + PICTURE_REACH,
                                          v.y1 + PICTURE_REACH)
                            : _mm_setr_ps(-1e9f, -1e9f, 1e9f, 1e9f);
#define RENDER(name) render_in_view(name##_list, t, view);
  RENDER_ORDER(RENDER)
#undef RENDER
}

void render_boss(float t) { render_boss_mesh(t); }
