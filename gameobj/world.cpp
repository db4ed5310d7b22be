// The world's entry points: stepping every object in a fixed order, deleting the
// queued ones, and clearing groups of objects at level starts.
/*
import actor
import hero
import weapons
import bullet
import enemies
import bonuses
import lift
import effects
import backgrounds
import background_pieces
import bosses
import level_bounds
import sprites
*/
#include "gameobj/background_pieces.h"
#include "gameobj/backgrounds.h"
#include "gameobj/bonuses.h"
#include "gameobj/bosses.h"
#include "gameobj/bullet.h"
#include "gameobj/effects.h"
#include "gameobj/enemies.h"
#include "gameobj/hero.h"
#include "gameobj/level_bounds.h"
#include "gameobj/lift.h"
#include "gameobj/sprites.h"
#include "gameobj/weapons.h"

// Stepping order: platforms before what rides them, the hero before its weapons,
// shots after whatever fired them.
#define UPDATE_ORDER(X)                                                                              \
  X(Lift) X(Hero) X(Pistol) X(PlasmaGun) X(EmptyHand) X(EnemyHWheels) X(EnemyTWheels) X(EnemyHFly)  \
  X(EnemyVFly) X(EnemySimpleJumper) X(EnemySimpleSpike) X(EnemyMagnetSpikes) X(Boss1) X(Boss2)       \
  X(Boss2Joint) X(BossPart) X(BossPosJoint) X(LockSubpartBehavior) X(Bomb) X(ExplBarrel) X(HeartBonus) \
  X(UpBonus) X(Bullet) X(ExplosionParticle) X(ExitFx) X(BackgroundShip) X(BackgroundTile)

namespace {

template <class T>
void snapshot(DynArray<T*>& list) {
  for (int i = 0; i < list.size(); i++)
    list[i]->prevX = list[i]->x, list[i]->prevY = list[i]->y;
}

// Objects made during the walk wait for the next step.
template <class T>
void update_all(DynArray<T*>& list, float dt) {
  int n = list.size();
  for (int i = 0; i < n; i++)
    if (list[i]->alive())
      list[i]->update(dt);
}

template <class T>
void destroy_all(DynArray<T*>& list) {
  for (int i = 0; i < list.size(); i++)
    list[i]->destroy();
}

template <class T>
void delete_all(DynArray<T*>& list) {
  while (!list.isEmpty())
    delete_actor(list.last());
}

}  // namespace

void delete_gameobj() {
  // Deleting never queues more, but take the queue as it stands anyway.
  for (int i = 0; i < deleted_gameobjs.size(); i++)
    delete_actor(static_cast<Actor*>(deleted_gameobjs[i]));
  deleted_gameobjs.clear();
}

void update_gameobj(float dt) {
  close_new_level_bounds();
#define SNAPSHOT(name) snapshot(name##_list);
  GAMEOBJ_LIST_NAMES(SNAPSHOT)
#undef SNAPSHOT
#define UPDATE(name) update_all(name##_list, dt);
  UPDATE_ORDER(UPDATE)
#undef UPDATE
  end_last_level_by_its_boss();
  update_camera(dt);
  delete_gameobj();
}

void update_explosions(float dt) {
  snapshot(ExplosionParticle_list);
  update_all(ExplosionParticle_list, dt);
}

void remove_all_gameobj() {
  forget_new_level();
  delete_gameobj();
#define DELETE_ALL(name) delete_all(name##_list);
  GAMEOBJ_LIST_NAMES(DELETE_ALL)
#undef DELETE_ALL
}

void remove_all_enemies() {
  destroy_all(EnemyHWheels_list);
  destroy_all(EnemyTWheels_list);
  destroy_all(EnemyHFly_list);
  destroy_all(EnemyVFly_list);
  destroy_all(EnemySimpleJumper_list);
  destroy_all(EnemySimpleSpike_list);
  destroy_all(EnemyMagnetSpikes_list);
  destroy_all(Boss1_list);
  destroy_all(Boss2_list);
  destroy_all(BossPart_list);
  destroy_all(Boss2Joint_list);
  destroy_all(BossPosJoint_list);
  destroy_all(LockSubpartBehavior_list);
  destroy_all(Bomb_list);
}

void remove_all_bonuses() {
  destroy_all(HeartBonus_list);
  destroy_all(UpBonus_list);
  destroy_all(ExplBarrel_list);
}

void reset_lifts() { destroy_all(Lift_list); }
void reset_bullets() { destroy_all(Bullet_list); }
// Every new level starts here, before the generator draws it.
void reset_background() {
  expect_new_level();
  destroy_all(BackgroundTile_list);
  destroy_all(BackgroundShip_list);
}
void reset_explosions() {
  destroy_all(ExplosionParticle_list);
  destroy_all(ExitFx_list);
}

// The play level opens once the atlas and meshes exist: pictures are looked up anew.
void init_gameobj() {
  seed_game_rand(game_rnd_seed ^ 0x5DEECE66Dull);
  forget_sprites();
  forget_background_pieces();
}

void close_gameobj() {
  remove_all_gameobj();
  forget_boss_mesh();
}

// ---- what the level generator adds -------------------------------------------------

void add_enemy(int kind, float x, float y) { spawn_enemy_kind(kind, x, y); }

void add_lift(int x, int y, int size, int direction) {
  Lift* lift = new Lift();
  Lift_list.push(&lift);
  if (!lift->setup(x, y, size, direction))
    delete_actor(lift);
}

void add_background(const char* name, float parallax, float x, float y, float depth, float repeat_x,
                    float fill_y) {
  BackgroundTile* bg = spawn(BackgroundTile_list, x, y);
  snprintf(bg->name, sizeof(bg->name), "%s", name ? name : "");
  bg->parallax = parallax;
  bg->depth = depth;
  bg->repeatX = repeat_x != 0;
  bg->fillY = fill_y > 0 ? 1 : (fill_y < 0 ? -1 : 0);
}

void add_background_ship(const char* name, float speed) {
  BackgroundShip* ship = spawn(BackgroundShip_list, game_randf(-500, 500), game_randf(200, 420));
  snprintf(ship->name, sizeof(ship->name), "%s", name ? name : "");
  ship->speed = speed;
  ship->faceRight = game_rand() & 1;
}

// The module's slot flags: no enemy near the hero's start (five slots either way, a
// first few seconds' run) or on a lift (obstacle), and wide floors for the walkers
// (group).
void mark_level_tiles() {
  mark_solid_tiles();
  auto mark_around = [](float x, float y, int rx, int ry) {
    int sx = int(std::floor(x / TILE_SLOT)), sy = int(std::floor(y / TILE_SLOT));
    for (int j = sy - ry; j <= sy + ry; j++)
      for (int i = sx - rx; i <= sx + rx; i++)
        if (i >= 0 && j >= 0 && i < SLOTS_X && j < SLOTS_Y)
          level_tile_map[j][i] |= TILE_MODULE_OBSTACLE;
  };
  if (Hero* hero = the_hero())
    mark_around(hero->x, hero->y, 5, 2);
  for (int i = 0; i < Lift_list.size(); i++)
    mark_around(Lift_list[i]->x, Lift_list[i]->y, 0, 0);
  for (int sy = 0; sy < SLOTS_Y; sy++)
    for (int sx = 1; sx + 1 < SLOTS_X; sx++)
      if ((level_tile_map[sy][sx - 1] & TILE_FLOOR) && (level_tile_map[sy][sx] & TILE_FLOOR) &&
          (level_tile_map[sy][sx + 1] & TILE_FLOOR))
        level_tile_map[sy][sx] |= TILE_MODULE_GROUP;
  // Boss levels get their exit when the boss falls.
  if (shell::level() % 5 != 0)
    find_level_exit();
}

// ---- the hero's entry points ---------------------------------------------------------

void init_hero() {
  if (the_hero())
    return;
  Hero* hero = spawn(Hero_list, 0, 0);
  hero->applyStats(current_hero_stats());
  hero->health = hero->maxHealth;
}

void close_hero() {
  // A hero already queued by destroy goes with the queue, never twice.
  if (Hero* hero = the_hero())
    hero->destroy();
  delete_gameobj();
}

void reset_hero(float x, float y) {
  init_hero();
  the_hero()->respawn(x, y);
  reset_camera();
}

void move_hero(__m128 pos) {
  Hero* hero = the_hero();
  if (!hero)
    return;
  hero->prevX = hero->x, hero->prevY = hero->y;
  hero->x = v_x(pos), hero->y = v_y(pos);
  hero->vx = hero->vy = 0;
  hero->moved();
  for (WieldedItem* item : {hero->primary.get(), hero->secondary.get()})
    if (item) {
      item->prevX = item->x, item->prevY = item->y;
      item->follow();
    }
  // The elevator moves the hero once per step: the camera rides along.
  update_camera(0.05f);
}

__m128 get_hero_pos() {
  Hero* hero = the_hero();
  return hero ? _mm_setr_ps(hero->x, hero->y, 0, 1) : _mm_setr_ps(0, 0, 0, 1);
}

__m128 interp_hero_pos(float t) {
  Hero* hero = the_hero();
  return hero ? _mm_setr_ps(hero->drawX(t), hero->drawY(t), 0, 1) : _mm_setr_ps(0, 0, 0, 1);
}

// The camera leans towards the crosshair, never more than this far.
__m128 get_hero_target() {
  Hero* hero = the_hero();
  if (!hero)
    return _mm_setr_ps(0, 0, 0, 1);
  constexpr float LEAN = 30;
  float dx = clampf((hero->aimX - hero->x) * 0.5f, -LEAN, LEAN);
  float dy = clampf((hero->aimY - hero->gunY()) * 0.5f, -LEAN, LEAN);
  return _mm_setr_ps(hero->x + dx, hero->y + 9 + dy, 0, 1);
}

int get_hero_health() {
  Hero* hero = the_hero();
  return hero ? hero->health : 0;
}
