// Program entry: start-up in a fixed order, the main loop, the orderly shut-down.
#include <physfs.h>

#include <cerrno>
#include <clocale>
#include <cstring>
#include <ctime>
#include <system_error>

#include "engine/core/fatal.h"
#include "engine/core/log.h"
#include "engine/core/mem.h"
#include "engine/core/settings.h"
#include "engine/core/user_folder_check.h"
#include "engine/core/utils.h"
#include "engine/core/vfs.h"
#include "engine/core/watch.h"
#include "engine/gui/splash.h"
#include "engine/gui/sys_font.h"
#include "engine/render/d3d_device.h"
#include "engine/render/d3d_states.h"
#include "engine/render/d3d_textures.h"
#include "engine/render/dynVBWriter.h"
#include "engine/render/mesh.h"
#include "engine/shared/level_map.h"  // game_rnd_seed
#include "engine/shell/input.h"
#include "engine/shell/main_loop.h"
#include "engine/shell/scene.h"
#include "engine/shell/shell.h"
#include "engine/shell/steam_glue.h"
#include "engine/shell/window.h"
#include "engine/world/level_sweep.h"
#include "platform/d3d9/d3d9_platform.h"
#include "platform/win32/gpu_activity.h"
#include "platform/win32/main_window.h"
#include "platform/win32/program_path.h"
#include "platform/win32/sdl_glue.h"

HINSTANCE app_instance = nullptr;
const char app_title[] = "TORVANE! 0.20";
HWND main_window = nullptr;

void* physfs_malloc(unsigned long long size) { return (size >> 32) ? nullptr : dlmalloc((size_t)size); }

void* physfs_realloc(void* block, unsigned long long size) { return (size >> 32) ? nullptr : dlrealloc(block, (size_t)size); }

void physfs_free(void* block) { dlfree(block); }

namespace {

PHYSFS_Allocator physfs_allocator = {nullptr, nullptr, physfs_malloc, physfs_realloc, physfs_free};

// The fatal-error box goes through the window layer's message box, with no owner.
// The game ends after it: a fullscreen window, always on top and holding the cursor,
// is hidden first, so that the box shows above everything and the pointer reaches it.
void show_error_box(const char* title, const char* text) {
  if (main_window && isFullscreen) {
    ClipCursor(nullptr);
    ShowWindow(main_window, SW_HIDE);
  }
  MessageBoxA(nullptr, text, title, MB_OK | MB_ICONERROR);
}

void close_all_systems_steps() {
  debug("closing...");
  close_scene();
  debug("closed scene");
  close_steam();
  debug("closed Steam API");
  close_font();
  common_vb_writer.release();
  close_gpu_activity();
  debug("closed misc stuff");
  free_all_meshes();
  debug("freed all meshes");
  free_all_textures();
  debug("freed all textures");
  close_d3d();
  debug("closed d3d");
  // A setting changed in the last second would be lost otherwise.
  flush_app_config();
  close_file_notify();
  reset_frame_input();
  PHYSFS_deinit();
  debug("closed all systems");
}

void log_start_time() {
  char text[200];
  time_t now = time(nullptr);
  struct tm local;
  localtime_r(&now, &local);
  locale_t c_locale = newlocale(LC_ALL_MASK, "C", (locale_t)0);
  if (c_locale) {
    strftime_l(text, sizeof(text), "Log started %x %X in v0.20", &local, c_locale);
    freelocale(c_locale);
  } else {
    strftime(text, sizeof(text), "Log started %x %X in v0.20", &local);
  }
  debug("%s", text);
}

// The per-user folder (or the stand-in that check_user_folder chose) becomes the
// write folder. Nothing is written beside the executable: when no folder can be
// written, screenshots and the shader cache are not kept.
void set_up_file_system(const char* user_dir) {
  if (!PHYSFS_setWriteDir(user_dir))
    debug("no write folder: %s", vfs_last_error());
  PHYSFS_mount(user_dir, nullptr, 0);
  PHYSFS_mount(PHYSFS_getBaseDir(), nullptr, 1);
}

void start_up_and_run() {
  log_start_time();
  debug("physfs base dir: %s", PHYSFS_getBaseDir());
  debug("physfs write dir: %s", PHYSFS_getWriteDir() ? PHYSFS_getWriteDir() : "(none)");
  debug("app path: '%s'", app_path);

  // Seeded from the main loop's clock: a test that injects the clock fixes the seed.
  game_rnd_seed = (uint64_t)main_loop_services.now();
  if (game_rnd_seed == 0)
    game_rnd_seed = 1;
  set_update_rate(20, 5);
  int64_t start_stamp = get_ref_time();

  if (!register_raw_input())
    fatal("failed to register raw input, error code: %08X", GetLastError());
  register_window_class();
  load_settings();
  isFullscreen = fullscreen_setting;
  apply_process_priority();

  // A display that is named but can't be opened ends the start here, rather than
  // letting the game run on with nothing shown.
  if (!win32_platform_start())
    fatal("%s", win32_platform_error());
  main_window = create_main_window();
  if (!main_window)
    fatal("Error creating the game window: %s", win32_platform_error());
  set_main_window(main_window);
  d3d9_register_window(main_window, win32_sdl_window(main_window));
  RECT client;
  GetClientRect(main_window, &client);

  int width = app_screen_wd, height = app_screen_ht;
  if (!isFullscreen) {
    if (width <= 0)
      width = client.right - client.left;
    if (height <= 0)
      height = client.bottom - client.top;
  }
  init_input(main_window);
  connect_gui_input();
  init_steam();
  if (!init_d3d(main_window, width, height))
    fatal("Error initializing Direct3D9Ex");
  if (isFullscreen)
    clip_cursor_to_window(main_window);
  common_vb_writer.create(65536, 4);
  init_font();
  show_splash("Loading...", -1.0f);
  init_scene();

  debug("total start-up time: %d ms", get_time_msec(get_ref_time() - start_stamp));
  debug("free video memory: %u MB", get_free_texmem() / 1048576u);
  run_main_loop();
  close_all_systems();
}

}  // namespace

void close_all_systems() {
  // The shared shut-down lock refuses a nested call from the thread that holds it.
  if (!run_close_all_systems())
    throw std::system_error(std::make_error_code(std::errc::resource_deadlock_would_occur),
                            "close_all_systems called during the shut-down");
}

int WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  app_instance = instance;
  init_time();
  set_error_box_handler(show_error_box);
  set_close_all_systems(close_all_systems_steps);
  connect_engine_hooks();
  win32_install_quit_signals();

  PHYSFS_setAllocator(&physfs_allocator);
  if (!get_exe_path(app_path, sizeof(app_path)))
    app_path[0] = 0;
  // Before anything is logged: the log goes to the folder chosen here.
  check_user_folder();
  if (!PHYSFS_init(nullptr))
    fatal("physfs initialization failed: %s", vfs_last_error());
  PHYSFS_permitSymbolicLinks(1);
  TempString<260> user_dir = get_appdata_folder_path("");
  set_up_file_system(user_dir.c_str());

  init_file_notify();
  watch_real_dir(PHYSFS_getBaseDir());
  watch_real_dir(user_dir.c_str());
  set_except_report_handler();

  try {
    start_up_and_run();
  } catch (...) {
    fatal("Oops! The game crashed. See log file for more info.");
  }
  win32_platform_stop();
  return 0;
}
