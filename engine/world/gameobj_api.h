// The game-object module's contract, included by the engine and by the module: the
// entry-point table, the module's class-table list, the objects both sides share,
// their per-class lists, the screens, and the engine functions and globals the
// module calls.
#pragma once

#include <xmmintrin.h>

#include <cstdint>

#include <squirrel.h>

#include "engine/core/dynarray.h"
#include "engine/script/game_script.h"
#include "engine/shared/gameobj_funcs.h"

struct GameObj;
class BaseGuiScreen;
class String;
namespace sqbind { class SqObject; }

// The functions the module exports under these C names (and get_gameobj_class_layouts
// below).
typedef void* (*GetGameObjFuncByNameFn)(const char* name);
typedef void** (*GetGameObjVtablesFn)(int* count);
typedef void (*LinkGuiFn)();

// Size of the module's class-table list; a module reporting another count cannot be
// linked. Index 0 is never matched, 1..45 are the module's object classes.
constexpr int GAMEOBJ_VTABLE_COUNT = 46;

// The size and alignment of each class, beside its class table (index 0 unused). A
// reloaded module keeps the live objects' data, so each of its classes must have the
// layout of the one it replaces. Exported as get_gameobj_class_layouts; a module
// without it is checked by its class count alone.
struct GameObjClassLayout {
  uint32_t size;
  uint32_t align;
};
typedef const GameObjClassLayout* (*GetGameObjClassLayoutsFn)(int* count);

// ---- objects shared with the module --------------------------------------------------

// The head of a circular list of weak-pointer nodes; a node is three words
// {object, link, next}. Zeroing a node makes its weak pointer read null.
struct WeakRefNode {
  void* target;
  void* link;
  WeakRefNode* next;
};
struct WeakRefTarget {
  WeakRefNode* weakHead = nullptr;
};

// Values of BaseObject::flags.
enum : int {
  OBJ_LIVE = 0,
  OBJ_QUEUED = 1,     // destroy() has queued it in deleted_gameobjs
  OBJ_RELINKING = 2,  // set only while a relink re-points the object
};

// handleRequest codes answered by every object of the game module.
enum : int {
  GAMEOBJ_REQUEST_GENERATION = 1,  // the build generation of the object's class table
};

// The base of every script-visible game object. The virtual order is shared with
// the module: destructor, destroy, onDestroy, onLoaded, onScriptCtor, handleRequest,
// className, classFlags, push, toString.
class BaseObject : public WeakRefTarget {
 public:
  HSQOBJECT scriptInstance;   // the null object when there is none
  HSQUIRRELVM scriptVM = nullptr;
  int flags = OBJ_LIVE;
  int userWord = 0;           // the module's

  BaseObject() { sq_resetobject(&scriptInstance); }
  BaseObject(const BaseObject&) = delete;
  BaseObject& operator=(const BaseObject&) = delete;

  virtual ~BaseObject();
  virtual void destroy();
  virtual void onDestroy() {}
  virtual void onLoaded() {}
  virtual void onScriptCtor() {}
  virtual int handleRequest(int request) { return 0; }
  virtual const char* className() { return "BaseObject"; }
  virtual int classFlags() { return 0; }
  virtual void push(HSQUIRRELVM vm);
  virtual sqbind::SqObject toString(HSQUIRRELVM vm);

  // Objects live in engine heap blocks on both sides of the module boundary.
  static void* operator new(size_t size) { return dlmalloc(size); }
  static void operator delete(void* p) { dlfree(p); }
};

// The module's game-object base: the engine reads and writes these two fields
// (proximity hash, collision); the module adds its own after them.
struct GameObj : BaseObject {
  __m128 bbox = _mm_setzero_ps();  // x0, y0, x1, y1 in level cells
  int proximityBucket = -1;        // -1 when in no bucket
};

// Per-class object lists, exported by the engine, filled by the module. One list per
// class in this order; the relink walks them all.
#define GAMEOBJ_LIST_NAMES(X)                                                        \
  X(BackgroundShip) X(BackgroundTile) X(Bomb) X(Boss1) X(Boss2) X(Boss2Joint)       \
  X(BossPart) X(BossPosJoint) X(Bullet) X(EmptyHand) X(EnemyHFly) X(EnemyHWheels)   \
  X(EnemyMagnetSpikes) X(EnemySimpleJumper) X(EnemySimpleSpike) X(EnemyTWheels)     \
  X(EnemyVFly) X(ExitFx) X(ExplBarrel) X(ExplosionParticle) X(HeartBonus) X(Hero)   \
  X(Lift) X(LockSubpartBehavior) X(Pistol) X(PlasmaGun) X(UpBonus)

#define GAMEOBJ_DECLARE_LIST(name) \
  class name;                      \
  extern DynArray<name*> name##_list;
GAMEOBJ_LIST_NAMES(GAMEOBJ_DECLARE_LIST)
#undef GAMEOBJ_DECLARE_LIST

constexpr int GAMEOBJ_LIST_COUNT = 27;

// Objects queued by BaseObject::destroy, deleted by the module's delete_gameobj.
extern DynArray<BaseObject*> deleted_gameobjs;

// Tuning values the engine exports for the module: the shots' wall destruction and
// the hero's rate of fire in shots per second.
extern int bullet_wall_destr;
extern float hero_shoot_rate;

// The 12 screen pairs: a factory slot the module fills in link_gui, and the live
// instance (or null). The host zeroes the factory slots when it unlinks the module.
#define GAMEOBJ_SCREEN_NAMES(X)                                                     \
  X(credits_screen) X(game_menu_screen) X(hud_screen) X(game_over_screen)          \
  X(upgrade_screen) X(alpha_warning_screen) X(interworld_warning_screen)             \
  X(main_menu_screen) X(reserved_screen) X(game_options_screen)                     \
  X(game_controls_screen) X(tooltip_screen)

// upgrade_screen and its factory are declared and defined with the game script, which
// rebuilds the upgrade screen; the host declares and defines the other eleven.
#define GAMEOBJ_HOST_SCREEN_NAMES(X)                                               \
  X(credits_screen) X(game_menu_screen) X(hud_screen) X(game_over_screen)          \
  X(alpha_warning_screen) X(interworld_warning_screen) X(main_menu_screen)          \
  X(reserved_screen) X(game_options_screen) X(game_controls_screen) X(tooltip_screen)
#define GAMEOBJ_DECLARE_SCREEN(name)          \
  extern BaseGuiScreen* name;                 \
  struct name##_Class {                       \
    static BaseGuiScreen* (*createScreen)();  \
  };
GAMEOBJ_HOST_SCREEN_NAMES(GAMEOBJ_DECLARE_SCREEN)
#undef GAMEOBJ_DECLARE_SCREEN

constexpr int GAMEOBJ_SCREEN_COUNT = 12;

// Engine functions and globals the module calls, resolved from the executable when
// the module is loaded: the world services (sweeps and level edits, box collision,
// proximity hash, camera, debris, noise), the level map, and the game flow's menu flag.
extern BaseGuiScreen* cur_game_screen;

#include "engine/shared/game_state.h"  // should_close_game_menu
#include "engine/shared/level_map.h"
#include "engine/world/camera.h"
#include "engine/world/collision.h"
#include "engine/world/junk.h"
#include "engine/world/level_sweep.h"
#include "engine/world/noise.h"
#include "engine/world/proximity.h"
