#pragma once
// What the module uses of the game flow: the six buttons, the game modes, the
// level progress and the screen shake. The module also runs in hosts without the
// game flow (the module host's own tests): there these names are absent, so the
// module takes them as weak references, and the wrappers below answer "nothing
// there" for any that the host lacks.
#include "engine/core/strings.h"
#include "engine/shell/controls.h"
#include "engine/shell/modes/game_flow.h"
#include "engine/shell/modes/game_mode.h"

#define SHELL_LINK __attribute__((weak))

SHELL_LINK bool button_down(int button);
SHELL_LINK bool button_state(int button);
SHELL_LINK void set_button_key(int button, int key);
SHELL_LINK TempString<260> get_button_key_name(int button);
SHELL_LINK const char* get_button_ui_name(int button);
extern int button_keys[NUM_BUTTONS] SHELL_LINK;
SHELL_LINK void go_to_main_menu();
extern GameMode* cur_game_mode SHELL_LINK;
extern GameMode* title_mode SHELL_LINK;
extern GameMode* pause_menu_mode SHELL_LINK;
extern GameMode* gameover_mode SHELL_LINK;
extern GameMode* upgrade_mode SHELL_LINK;
extern int cur_level SHELL_LINK;
extern int up_points SHELL_LINK;
extern bool reached_exit SHELL_LINK;
extern float screen_shake_x SHELL_LINK;
extern float screen_shake_y SHELL_LINK;
extern bool use_vis_debug SHELL_LINK;
extern int cur_view_x0 SHELL_LINK, cur_view_y0 SHELL_LINK, cur_view_x1 SHELL_LINK, cur_view_y1 SHELL_LINK;
extern float cur_view_cx SHELL_LINK, cur_view_cy SHELL_LINK;

namespace shell {

constexpr int BUTTON_LEFT = ::BUTTON_LEFT, BUTTON_RIGHT = ::BUTTON_RIGHT, BUTTON_JUMP = ::BUTTON_JUMP,
              BUTTON_SHOOT_PRI = ::BUTTON_SHOOT_PRI, BUTTON_SHOOT_SEC = ::BUTTON_SHOOT_SEC,
              BUTTON_MENU = ::BUTTON_MENU, NUM_BUTTONS = ::NUM_BUTTONS;

inline bool pressed(int b) { return button_down ? button_down(b) : false; }
inline bool held(int b) { return button_state ? button_state(b) : false; }
inline void bind_key(int b, int key) {
  if (set_button_key)
    set_button_key(b, key);
}
inline TempString<260> key_name(int b) { return get_button_key_name ? get_button_key_name(b) : TempString<260>(); }
inline const char* ui_name(int b) { return get_button_ui_name ? get_button_ui_name(b) : nullptr; }
// The key bound to a button; -1 for no button or without a game flow.
inline int bound_key(int b) { return &button_keys && b >= 0 && b < NUM_BUTTONS ? button_keys[b] : -1; }
// The key that leaves a menu: the Menu button's, Escape without a game flow.
inline int menu_key() { return &button_keys ? button_keys[BUTTON_MENU] : 27; }

inline int level() { return &cur_level ? cur_level : 1; }
inline int points() { return &up_points ? up_points : 0; }
inline void set_points(int n) {
  if (&up_points)
    up_points = n;
}
inline void exit_reached() {
  if (&reached_exit)
    reached_exit = true;
}
// The level's exit was reached this step (by the hero, or by the developer's key).
inline bool exit_pending() { return &reached_exit && reached_exit; }
inline void cancel_exit() {
  if (&reached_exit)
    reached_exit = false;
}
inline bool debug_drawing() { return &use_vis_debug && use_vis_debug; }

// A shake at least this strong; the play step decays it.
inline void shake(float x, float y) {
  if (!&screen_shake_x || !&screen_shake_y)
    return;
  screen_shake_x = screen_shake_x > x ? screen_shake_x : x;
  screen_shake_y = screen_shake_y > y ? screen_shake_y : y;
}

// The frame's visible cell rectangle and view centre (the camera with its shake);
// zeros without a game flow.
struct View {
  float x0, y0, x1, y1, cx, cy;
};
inline View view() {
  if (!&cur_view_x0 || !&cur_view_cx)
    return View{0, 0, 0, 0, 0, 0};
  return View{float(cur_view_x0), float(cur_view_y0), float(cur_view_x1), float(cur_view_y1), cur_view_cx,
              cur_view_cy};
}

inline GameMode* mode() { return &cur_game_mode ? cur_game_mode : nullptr; }
// True when the mode behind the pointer is the current one.
inline bool mode_is(GameMode** m) { return m && *m && mode() == *m; }
inline void main_menu() {
  if (go_to_main_menu)
    go_to_main_menu();
}

}  // namespace shell
