#pragma once
// Keys and mouse buttons through the real road for the shell's and the game's tests:
// messages posted to a headless game window, pumped by processInput into the window
// procedure, read back through the per-update queries.
#include "engine/render/d3d_device.h"
#include "engine/shell/input.h"
#include "engine/shell/main_loop.h"
#include "engine/shell/shell.h"
#include "engine/shell/window.h"

namespace game_window {

inline LPARAM key_lparam(bool up) {
  LPARAM l = 1;
  if (up)
    l |= ((LPARAM)1 << 30) | ((LPARAM)1 << 31);
  return l;
}

// Makes the window (windowed, 640 x 360) the game's main window, its messages
// reaching the input layer; null when it cannot be made.
inline HWND make() {
  register_window_class();
  isFullscreen = false;
  app_screen_wd = 640;
  app_screen_ht = 360;
  main_window = create_main_window();
  if (main_window)
    init_input(main_window);
  return main_window;
}

// Makes the window once per program; every call after the first only empties the
// input of the last update.
inline void open() {
  static bool made = false;
  if (!made) {
    make();
    made = true;
  }
  processInput();
  reset_frame_input();
}

inline void post_key(int vk, bool down) {
  PostMessageA(main_window, down ? WM_KEYDOWN : WM_KEYUP, (WPARAM)vk, key_lparam(!down));
}

inline void post_button(int button, bool down, int x = 10, int y = 10) {
  UINT msg = button == VK_LBUTTON ? (down ? WM_LBUTTONDOWN : WM_LBUTTONUP)
             : button == VK_RBUTTON ? (down ? WM_RBUTTONDOWN : WM_RBUTTONUP)
                                    : (down ? WM_MBUTTONDOWN : WM_MBUTTONUP);
  PostMessageA(main_window, msg, 0, MAKELPARAM(x, y));
}

// The messages reach the input state.
inline void pump() { processInput(); }

// Presses and releases within one update.
inline void tap(int vk) {
  post_key(vk, true);
  post_key(vk, false);
}

// The end of an update: the went-down and went-up bits are dropped.
inline void end_update() { reset_frame_input(); }

}  // namespace game_window
