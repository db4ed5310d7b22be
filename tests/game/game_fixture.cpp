#include "game_fixture.h"

#include <dlfcn.h>
#include <physfs.h>

#include <cstring>

#include "engine/core/utils.h"
#include "engine/gen/level_tiles.h"
#include "engine/gui/gui_screen.h"
#include "engine/render/d3d_device.h"
#include "engine/render/d3d_shaders.h"
#include "engine/render/d3d_states.h"
#include "engine/render/image.h"
#include "engine/script/game_script.h"
#include "engine/shared/level_map.h"
#include "engine/shell/input.h"
#include "engine/shell/main_loop.h"
#include "engine/shell/scene.h"
#include "engine/shell/shell.h"
#include "engine/shell/window.h"
#include "engine/world/camera.h"
#include "tests/support/game_window.h"
#include "tests/support/surface_pixels.h"

namespace {

bool is_mouse_button(int vk) { return vk == VK_LBUTTON || vk == VK_RBUTTON || vk == VK_MBUTTON; }

// The module's record of the sound events it played (looked up anew: a reload
// brings a new image).
int take_events(int* ids, int capacity) {
  using TakeEvents = int (*)(int*, int);
  auto take = (TakeEvents)dlsym(gameobj_module, "take_played_events");
  return take ? take(ids, capacity) : 0;
}

}  // namespace

void GameTest::SetUpTestSuite() {
  // Once per program, whichever suite comes first.
  static bool ready = false;
  if (ready)
    return;
  ready = true;
  ASSERT_TRUE(game_window::make());
  connect_gui_input();
  connect_engine_hooks();

  // The game's data, as the game mounts its folder; the per-user folder for what
  // the renderer writes (the shader cache).
  PHYSFS_init("game_rules_test");
  PHYSFS_permitSymbolicLinks(1);
  ASSERT_TRUE(PHYSFS_setWriteDir(TORVANE_TEST_HOME));
  std::string data = std::string(TORVANE_TEST_SOURCE_DIR) + "/data/";
  ASSERT_TRUE(PHYSFS_mount(data.c_str(), nullptr, 1));

  // A device for the level renderers (the elevator copies its lift into one).
  ASSERT_TRUE(init_d3d(main_window, 640, 360));
  snprintf(app_path, sizeof(app_path), "%s/", TORVANE_TEST_BIN_DIR);
  ASSERT_TRUE(load_gameobj_dll("gameobj.so"));
  ASSERT_TRUE(dlsym(gameobj_module, "take_played_events"));
  gameobj_func_table.init_new_gui();
  init_controls();
  gameobj_func_table.init_bullets();
  gameobj_func_table.init_gameobj();
}

void GameTest::SetUp() {
  set_game_mode(nullptr);
  gameobj_func_table.remove_all_gameobj();
  destroy_queued_gui_elements();
  clear_level();
  memset(level_tile_map, 0, sizeof(level_tile_map));
  cur_level = 1;
  up_points = 0;
  reached_exit = false;
  game_paused = false;
  screen_shake_x = screen_shake_y = 0;
  sounds();
}

void GameTest::TearDown() {
  for (int vk : {int('A'), int('D'), int('W'), 1, 2, VK_ESCAPE})
    if (getKeyState(vk))
      release(vk);
  // The pointer goes back to the corner, over no menu item of the next test.
  PostMessageA(main_window, WM_MOUSEMOVE, 0, 0);
  processInput();
  reset_frame_input();
  set_game_mode(nullptr);
  if (gameobj_func_table.close_game_menu)
    gameobj_func_table.close_game_menu();
  gameobj_func_table.remove_all_gameobj();
  destroy_queued_gui_elements();
}

void GameTest::press(int vk) {
  if (is_mouse_button(vk))
    game_window::post_button(vk, true, 0, 0);
  else
    game_window::post_key(vk, true);
}

void GameTest::release(int vk) {
  if (is_mouse_button(vk))
    game_window::post_button(vk, false, 0, 0);
  else
    game_window::post_key(vk, false);
}

void GameTest::step(int n) {
  for (int i = 0; i < n; i++) {
    processInput();
    start_scene_update(0.05f);
    reset_frame_input();
    for (int id : sounds())
      sounds_heard.push_back(id);
  }
}

void GameTest::menu_step() {
  processInput();
  gameobj_func_table.update_game_menu(0.05f);
  destroy_queued_gui_elements();
  reset_frame_input();
  for (int id : sounds())
    sounds_heard.push_back(id);
}

void GameTest::aim_at(float x, float y) {
  __m128 cam = get_camera_pos();
  float s = float(std::max(1, d3d_ht / 180));
  int px = int((x - v_x(cam)) * s + d3d_wd * 0.5f), py = int(d3d_ht * 0.5f - (y - v_y(cam)) * s);
  PostMessageA(main_window, WM_MOUSEMOVE, 0, (LPARAM)(px & 0xFFFF) | ((LPARAM)(py & 0xFFFF) << 16));
}

void GameTest::set_scene_camera(float cx, float cy) {
  update_screen_layout();
  move_camera(_mm_setr_ps(cx, cy, 0, 1), 0);
  move_camera(_mm_setr_ps(cx, cy, 0, 1), 0);
  interp_camera(0);
  set_proj_tm(cur_proj_tm);
  set_view_matrices(0);
  set_view_tm(cur_view_tm);
  Matrix44 glob;
  get_glob_tm(glob);
  set_vs_consts(0, &glob.m[0][0], 4);
}

std::vector<uint32_t> GameTest::read_back_buffer() { return back_buffer_pixels(d3d, d3d_wd, d3d_ht); }

void GameTest::save_picture(const char* name, const std::vector<uint32_t>& px) {
  std::vector<uint8_t> rgba(px.size() * 4);
  for (size_t i = 0; i < px.size(); i++) {
    rgba[i * 4] = uint8_t(px[i] >> 16), rgba[i * 4 + 1] = uint8_t(px[i] >> 8);
    rgba[i * 4 + 2] = uint8_t(px[i]), rgba[i * 4 + 3] = 255;
  }
  save_png(name, d3d_wd, d3d_ht, 4, rgba.data(), d3d_wd * 4);
}

std::vector<int> GameTest::sounds() {
  int ids[64];
  int n = take_events(ids, 64);
  return std::vector<int>(ids, ids + n);
}

void GameTest::clear_level() { memset(level_data, 0, sizeof(level_data)); }

void GameTest::fill(int x0, int y0, int x1, int y1, int collision) {
  for (int y = y0; y <= y1; y++)
    for (int x = x0; x <= x1; x++) {
      level_data[y][x].collision = uint8_t(collision);
      level_data[y][x].foreground = collision ? 5 : 0;
    }
}

void GameTest::build_yard() {
  using namespace yard;
  clear_level();
  fill(0, 0, 599, 19, 2);
  fill(int(PIT_X0), 0, int(PIT_X1) - 1, 19, 0);
  fill(int(WALL_X), 20, int(WALL_X) + 9, 79, 2);
  fill(LIFT_X, 4, LIFT_X + 15, 19, 3);
  fill(LIFT_X - 8, 100, LIFT_X + 23, 109, 2);
  fill(int(EXIT_X), 20, int(EXIT_X) + 15, 35, 3);
}

Hero* GameTest::start_at(float x, float y) {
  build_yard();
  reset_game();
  gameobj_func_table.add_lift(yard::LIFT_X, 20, 16, 1);
  return play_from(x, y);
}

Hero* GameTest::start_in_level(float x, float y) {
  reset_game();
  return play_from(x, y);
}

Hero* GameTest::play_from(float x, float y) {
  gameobj_func_table.reset_hero(x, y);
  gameobj_func_table.mark_level_tiles();
  set_game_mode(play_mode);
  sounds();
  sounds_heard.clear();
  return hero();
}

float GameTest::run_both_ways() {
  Hero* h = hero();
  float x = h->x;
  press('D');
  step(20);
  release('D');
  float right = h->x;
  press('A');
  step(20);
  release('A');
  step(2);
  return std::fmax(right - x, right - h->x);
}

void GeneratedLevelTest::SetUpTestSuite() {
  GameTest::SetUpTestSuite();
  load_level_tiles();
}

void GeneratedLevelTest::TearDownTestSuite() { free_level_tiles(); }

void GeneratedLevelTest::start_level(int level) {
  reset_game();
  cur_level = level;
  start_new_level();
  set_game_mode(play_mode);
}

void GeneratedLevelTest::start_level(int level, uint64_t seed) {
  game_rnd_seed = seed;
  start_level(level);
}
