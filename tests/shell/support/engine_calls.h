#pragma once
// The engine services around the shell, replaced in a test program by recorders (the
// program links with --wrap for each, see tests/shell/CMakeLists.txt). Each call is
// logged in call_log; the ones that need no device, files or module run their real
// body after being logged, the others only answer from engine_fakes.
#include <set>
#include <string>

#include "engine/core/geometry.h"

struct Texture;

struct EngineFakes {
  bool no_scene_image = false;  // create_screen_render_target fails
  bool module_reloaded = false;  // what reload_gameobj answers
  bool mouse_over = true;
  float mouse_x = 0, mouse_y = 0;
  // What lock_texture hands out (1024 x 132 texels, pitch 4096 bytes).
  uint32_t lock_buffer[132][1024];
  bool lock_fails = false;
  bool create_texture_fails = false;
  // The cells of the last level renderer made, and its size.
  const void* renderer_cells = nullptr;
  int renderer_width = 0, renderer_height = 0;
  Matrix44 view_tm = {}, proj_tm = {};
};
extern EngineFakes engine_fakes;
extern Texture fake_scene_image;
extern Texture fake_texture;

// The wrapped functions that run their real body too (by name). reset_engine_calls
// puts back the defaults: the game flow and layout, controls, debris steps, camera
// interpolation and the text state stack.
extern std::set<std::string> real_engine_calls;
void reset_engine_calls();
