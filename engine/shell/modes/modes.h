#pragma once
// The concrete game modes, one static instance of each behind the mode pointers of
// game_mode.h.
#include <xmmintrin.h>

#include "engine/core/dynarray.h"
#include "engine/gen/gen_runtime.h"
#include "engine/shared/level_map.h"
#include "engine/shell/modes/game_mode.h"

struct LevelRenderer;
struct Texture;

class PlayGameMode : public GameMode {
 public:
  void enter(GameMode* previous) override;
  void leave(GameMode* next) override;
  void update(float dt) override;
  void render(float t) override;
  void renderOverlay(float t) override;
  void onResize() override;
};

class TitleGameMode : public GameMode {
 public:
  void enter(GameMode* previous) override;
  void leave(GameMode* next) override;
  void update(float dt) override;
  void render(float t) override;
  void renderOverlay(float t) override;
  void onResize() override;
};

class PauseMenuMode : public GameMode {
 public:
  void enter(GameMode* previous) override;
  void leave(GameMode* next) override;
  void update(float dt) override;
  void render(float t) override;
  void renderOverlay(float t) override;
  void onResize() override;
};

class UpgradeGameMode : public GameMode {
 public:
  void enter(GameMode* previous) override;
  void leave(GameMode* next) override;
  void update(float dt) override;
  void render(float t) override;
  void renderOverlay(float t) override;
  void onResize() override;
};

class GameOverMode : public GameMode {
 public:
  float over_timer = 0;  // seconds before the game-over screen is completed

  void enter(GameMode* previous) override;
  void leave(GameMode* next) override;
  void update(float dt) override;
  void render(float t) override;
  void renderOverlay(float t) override;
  void onResize() override;
};

// The ride up the level's lift shaft between two levels.
class ElevatorGameMode : public GameMode {
 public:
  // The lift box in level cells, inclusive; lift_y1 is the row the ride advances.
  int lift_x0 = 0, lift_y0 = 0, lift_x1 = 0, lift_y1 = 0;
  int lift_rows = 0;   // the box's height when the ride began
  int lift_speed = 1;  // rows per update, growing to 4
  LevelRenderer* lift_renderer = nullptr;
  LevelCell* lift_cells = nullptr;  // the box's cells, row by row from lift_y0
  bool has_lift = false;            // false when the level had no lift to ride

  ~ElevatorGameMode();
  void enter(GameMode* previous) override;
  void leave(GameMode* next) override;
  void update(float dt) override;
  void render(float t) override;
  void renderOverlay(float t) override;
  void onResize() override;

  // Finds the lift and copies it; false when the level has none.
  bool findLift();
  void freeLift();
};

// The developer's level viewer.
class ViewLevelMode : public GameMode {
 public:
  __m128 view_pos = _mm_setzero_ps();
  __m128 saved_camera = _mm_setzero_ps();
  int frame_counter = 0;
  bool mouse_centred = false;
  DynArray<LevelGenPlacement> view_placements;
  Texture* map_texture = nullptr;  // 1024 x 132, one texel per 4 x 4 cells

  void enter(GameMode* previous) override;
  void leave(GameMode* next) override;
  void update(float dt) override;
  void render(float t) override;
  void renderOverlay(float t) override;
  void onResize() override;
  void onNewLevel() override;

  void rebuildMap();
};

extern PlayGameMode play_mode_instance;
extern TitleGameMode title_mode_instance;
extern PauseMenuMode pause_menu_mode_instance;
extern GameOverMode gameover_mode_instance;
extern ElevatorGameMode elevator_mode_instance;
extern UpgradeGameMode upgrade_mode_instance;
extern ViewLevelMode view_level_mode_instance;

// Every mode with an overlay of the world draws the module's debug objects first
// while debug drawing is on.
void render_debug_objects(float t);
