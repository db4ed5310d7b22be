// The hero: controls, movement through the level, weapons, pickups, damage.
/*
import hero
import bonuses
import effects
import enemies
import sound
import view
import sprites
*/
#include "gameobj/hero.h"

#include "gameobj/bonuses.h"
#include "gameobj/effects.h"
#include "gameobj/enemies.h"
#include "gameobj/sound.h"
#include "gameobj/view.h"
#include "gameobj/sprites.h"

using namespace hero_tuning;

Hero* the_hero() { return Hero_list.isEmpty() ? nullptr : Hero_list[0]; }

HeroStats& current_hero_stats() {
  static HeroStats stats;
  return stats;
}

Hero::Hero() {
  category = CAT_HERO;
  // A hair under 12 cells: standing keeps the feet 0.01 over the floor, and a gap of
  // 12 cells (a step up under a ceiling) must let the hero through.
  setShape(-3, 0, 3, HEIGHT, 100);
}

void Hero::applyStats(const HeroStats& s) {
  int newMax = int(s.maxHealth + 0.5f);
  if (newMax < 1)
    newMax = 1;
  // A bigger maximum adds its difference to the health left.
  if (!dead && newMax > maxHealth)
    health += newMax - maxHealth;
  maxHealth = newMax;
  if (health > maxHealth)
    health = maxHealth;
  stats = s;
  arm();
}

template <class T>
static T* make_item(DynArray<T*>& list, Hero* hero) {
  T* item = spawn(list, hero->x, hero->y);
  item->owner.set(hero);
  return item;
}

void Hero::arm() {
  if (dead)
    return;
  if (!primary)
    primary.set(make_item(Pistol_list, this));
  bool wantPlasma = stats.plasmaGun;
  WieldedItem* second = secondary.get();
  bool hasPlasma = second && second->kind == 1;
  if (second && hasPlasma != wantPlasma) {
    second->destroy();
    secondary.reset();
  }
  if (!secondary) {
    WieldedItem* item;
    if (wantPlasma)
      item = make_item(PlasmaGun_list, this);
    else
      item = make_item(EmptyHand_list, this);
    item->kind = wantPlasma ? 1 : 0;
    secondary.set(item);
  }
}

void Hero::respawn(float nx, float ny) {
  place(nx, ny);
  vx = vy = 0;
  dead = false;
  deadTime = 0;
  levelTime = 0;
  jumping = false;
  invulnerable = ARRIVAL_SHIELD;
  coyote = jumpBuffer = 0;
  health = maxHealth;
  aimX = nx + 40;
  aimY = gunY();
  faceRight = true;
  arm();
}

void Hero::onDestroy() {
  if (primary)
    primary->destroy();
  if (secondary)
    secondary->destroy();
}

void Hero::updateAim() {
  float px, py;
  if (pointer_pos(px, py)) {
    __m128 cam = get_camera_pos();
    screen_to_world(px, py, v_x(cam), v_y(cam), aimX, aimY);
  } else {
    aimX = x + (faceRight ? 40.0f : -40.0f);
    aimY = gunY();
  }
  if (std::fabs(aimX - x) > 0.5f)
    faceRight = aimX >= x;
}

void Hero::updateMovement(float dt) {
  int dir = int(shell::held(shell::BUTTON_RIGHT)) - int(shell::held(shell::BUTTON_LEFT));
  float accel = onGround ? GROUND_ACCEL : AIR_ACCEL;
  vx = approach(vx, dir * RUN_SPEED, accel * dt);
  runPhase = dir && onGround ? runPhase + dt : 0;

  coyote = onGround ? COYOTE_TIME : coyote - dt;
  jumpBuffer = shell::pressed(shell::BUTTON_JUMP) ? JUMP_BUFFER : jumpBuffer - dt;
  if (jumpBuffer > 0 && coyote > 0) {
    vy = JUMP_SPEED * std::sqrt(stats.jump > 0.1f ? stats.jump : 0.1f);
    jumping = true;
    coyote = jumpBuffer = 0;
    onGround = false;
    play_event_at(SND_HERO_JUMP, x, y);
  }
  // Letting go of jump early makes a short hop.
  if (jumping && vy > 0 && !shell::held(shell::BUTTON_JUMP)) {
    vy *= JUMP_CUT;
    jumping = false;
  }
  if (vy <= 0)
    jumping = false;

  vy = std::fmax(vy - GRAVITY * dt, -MAX_FALL);
  // A lift under the hero moves it itself.
  bool wasOnGround = onGround;
  int hit = moveTo(x + vx * dt, y + vy * dt, onGround || vy <= 0 ? STEP_HEIGHT : 0);
  // Walking down a slope keeps the feet on it, so the hero can jump from every step
  // of the way instead of tumbling down from ledge to ledge. (The move went down
  // before it went across: the ground it reported may be behind the hero now.)
  if (wasOnGround && vy <= 0)
    stepDown(STEP_HEIGHT);
  if ((hit & HIT_UP) && vy > 0)
    vy = 0;
  if (hit & (HIT_LEFT | HIT_RIGHT))
    vx = 0;
  if (onGround && vy < 0)
    vy = 0;
}

void Hero::touchObjects() {
  __m128 reach = v_add(box(), _mm_setr_ps(-0.5f, -0.5f, 0.5f, 0.5f));
  Actor* worst = nullptr;
  for_each_near(reach, [&](Actor* a) {
    if (a->category == CAT_PICKUP)
      static_cast<Bonus*>(a)->collect(this);
    else if (a->contact > 0 && (!worst || a->contact > worst->contact))
      worst = a;
  });
  // What hurt the hero by touching it backs off, instead of staying on it.
  if (worst && hurt(worst->contact, worst->x, worst->centreY()))
    if (Enemy* enemy = dynamic_cast<Enemy*>(worst))
      enemy->bounceFrom(x, centreY());
  ExitFx* exit = the_exit();
  // The exit's lift cells sit inside the tile's frame, 2 cells thick.
  constexpr float REACH = 3;
  if (!dead && exit && exit->victoryTime < 0 &&
      exit->touches(v_add(box(), _mm_setr_ps(-REACH, -REACH, REACH, REACH))))
    shell::exit_reached();
}

void Hero::update(float dt) {
  age += dt;
  levelTime += dt;
  if (dead) {
    deadTime += dt;
    return;
  }
  invulnerable = std::fmax(invulnerable - dt, 0.0f);
  shotFlash = std::fmax(shotFlash - dt, 0.0f);
  flash = std::fmax(flash - dt, 0.0f);
  updateAim();
  updateMovement(dt);
  touchObjects();
  if (dead)
    return;
  if (y < FALL_DEATH_Y) {
    health = 0;
    die();
    return;
  }
  // A click pressed and let go between two steps still pulls the trigger once.
  if (primary)
    primary->trigger(shell::held(shell::BUTTON_SHOOT_PRI) || shell::pressed(shell::BUTTON_SHOOT_PRI), dt);
  if (secondary)
    secondary->trigger(shell::held(shell::BUTTON_SHOOT_SEC) || shell::pressed(shell::BUTTON_SHOOT_SEC), dt);
}

// The first levels forgive while a player learns: enemies hurt at half strength on
// level 1, a tenth more each level, fully from level 6; and the hero stays
// untouchable longer after a hit (twice as long on level 1), so that a jumper that
// keeps coming back cannot wear it down while the player looks around.
static float early_level_ease() { return std::fmax(0.0f, float(6 - shell::level()) / 5.0f); }

static int damage_on_this_level(int damage) {
  float share = 1.0f - 0.5f * early_level_ease();
  return std::max(1, int(std::lround(float(damage) * share)));
}

static float hurt_time_on_this_level() { return HURT_TIME * (1.0f + early_level_ease()); }

bool Hero::hurt(int damage, float fromX, float fromY) {
  if (dead || invulnerable > 0 || damage <= 0)
    return false;
  health -= damage_on_this_level(damage);
  invulnerable = hurt_time_on_this_level();
  flash = 0.2f;
  // Knocked away from what hit it.
  vx = (x >= fromX ? 1.0f : -1.0f) * 90.0f;
  vy = 110;
  onGround = false;
  shell::shake(3, 3);
  play_event_at(SND_HERO_HURT, x, y);
  if (health <= 0)
    die();
  return true;
}

void Hero::die() {
  dead = true;
  if (health > 0)
    health = 0;
  vx = vy = 0;
  spawn_explosion(x, centreY(), 2, -1);
  throw_debris(x, centreY(), 24, 0xFF0095E9, 70);
  throw_debris(x, centreY(), 12, 0xFFE8B796, 60);
  shell::shake(6, 6);
  if (primary)
    primary->destroy();
  if (secondary)
    secondary->destroy();
}

// Depths of the sprite pass: nearer objects have smaller z.
namespace {
constexpr float HERO_Z = -3;
}

void Hero::render(float t) {
  if (dead)
    return;
  // Untouchable after a hit: blinking.
  if (invulnerable > 0 && int(invulnerable * 12) % 2)
    return;
  Sprite* body;
  if (invulnerable > hurt_time_on_this_level() - 0.3f)
    body = sprite_frame("hero/hurt", 0);
  else if (!onGround)
    body = sprite_frame(vy > 0 ? "hero/jump" : "hero/fall", 0);
  else if (std::fabs(vx) > 5)
    body = sprite_frame("hero/run", int(runPhase * 12));
  else if (shotFlash > 0)
    body = sprite_frame("hero/shoot", shotFlash > 0.15f ? 0 : 1);
  else
    body = sprite_frame("hero/idle", int(age * 2));
  draw_sprite(body, drawX(t), drawY(t), HERO_Z, !faceRight, SPRITE_PLAIN, flash > 0 ? 0x90FF0044 : NO_FLASH);
}
