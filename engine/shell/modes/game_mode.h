#pragma once
// Game modes: the states of the game flow (title, play, pause menu, game over,
// elevator ride, upgrade screen, level viewer). Exactly one is current while the
// scene runs; the scene calls its update once per step and its render and overlay
// once per frame. Switching always goes through set_game_mode, which tells the old
// mode to leave and the new one to enter, each given the other.
#include "engine/shared/game_state.h"

// Mode objects are static and live for the whole run: no virtual destructor.
class GameMode {
 public:
  virtual void enter(GameMode* previous) = 0;
  virtual void leave(GameMode* next) = 0;
  virtual void update(float dt) = 0;
  virtual void render(float t) = 0;
  virtual void renderOverlay(float t) = 0;
  virtual void onResize() = 0;
  virtual void onNewLevel() {}

 protected:
  ~GameMode() = default;
};

// Null before the scene starts and after it closes.
extern GameMode* cur_game_mode;
// One pointer per mode; the engine switches only through these, so the module may
// read them at any time.
extern GameMode* title_mode;
extern GameMode* play_mode;
extern GameMode* pause_menu_mode;
extern GameMode* gameover_mode;
extern GameMode* elevator_mode;
extern GameMode* upgrade_mode;
extern GameMode* view_level_mode;

// A mode switching to itself does nothing; otherwise the old mode leaves (given the
// new one), then the new mode enters (given the old one).
void set_game_mode(GameMode* mode);
// The module's way back to the title screen.
void go_to_main_menu();
