// The type tags of every class bound into the script VMs, defined here so that the
// executable exports them: the game-object module's classes take their tags from
// these exports, which therefore stay the same across module reloads.
#include "engine/script/sq_perf_timer.h"
#include "engine/script/sq_vec4f.h"

#define TORVANE_MODULE_CLASSES(X)                                                                  \
  X(BaseObject) X(BossJoint) X(BossSubpartBehavior) X(GameObj) X(WieldedItem) X(BackgroundShip)     \
  X(BackgroundTile) X(Bomb) X(Boss) X(Boss1) X(Boss2) X(Boss2Joint) X(BossPart) X(BossPosJoint)     \
  X(Bullet) X(EmptyHand) X(EnemyHFly) X(EnemyHWheels) X(EnemyMagnetSpikes) X(EnemySimpleJumper)     \
  X(EnemySimpleSpike) X(EnemyTWheels) X(EnemyVFly) X(ExitFx) X(ExplBarrel) X(ExplosionParticle)     \
  X(HeartBonus) X(Hero) X(Lift) X(LockSubpartBehavior) X(Pistol) X(PlasmaGun) X(UpBonus)

#define DECLARE_CLASS(name) struct name;
TORVANE_MODULE_CLASSES(DECLARE_CLASS)

#define DEFINE_TAG(name) template int sqbind::ClassTag<name>::uniqueTag;
TORVANE_MODULE_CLASSES(DEFINE_TAG)
DEFINE_TAG(SqVec4f)
DEFINE_TAG(SqPerfTimer)
