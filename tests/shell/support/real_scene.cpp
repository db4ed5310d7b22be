#include "real_scene.h"

#include <physfs.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>

#include "engine/core/utils.h"
#include "engine/core/watch.h"
#include "engine/gui/sys_font.h"
#include "engine/render/d3d_device.h"
#include "engine/render/d3d_textures.h"
#include "engine/render/dynVBWriter.h"
#include "engine/render/mesh.h"
#include "engine/shell/input.h"
#include "engine/shell/scene.h"
#include "engine/shell/shell.h"
#include "engine/shell/window.h"
#include "platform/d3d9/d3d9_platform.h"
#include "platform/win32/main_window.h"
#include "platform/win32/sdl_glue.h"

namespace {
std::string home;
}

const std::string& real_scene_home() { return home; }

bool start_real_scene(const std::string& game_dir, const std::string& extra_dir, int width, int height,
                      bool with_window) {
  home = "/tmp/torvane_scene_XXXXXX";
  if (!mkdtemp(home.data()))
    return false;
  setenv("XDG_DATA_HOME", home.c_str(), 1);
  init_time();
  if (!PHYSFS_isInit() && !PHYSFS_init(nullptr))
    return false;
  PHYSFS_permitSymbolicLinks(1);
  std::string user = home + "/TORVANE/";
  std::filesystem::create_directories(user);
  PHYSFS_setWriteDir(user.c_str());
  PHYSFS_mount(user.c_str(), nullptr, 0);
  PHYSFS_mount(game_dir.c_str(), nullptr, 1);
  if (!extra_dir.empty())
    PHYSFS_mount(extra_dir.c_str(), nullptr, 1);
  snprintf(app_path, sizeof(app_path), "%s", game_dir.c_str());
  init_file_notify();

  HWND window = nullptr;
  if (with_window) {
    register_window_class();
    isFullscreen = false;
    app_screen_wd = width;
    app_screen_ht = height;
    main_window = window = create_main_window();
    if (!window)
      return false;
    set_main_window(window);
    d3d9_register_window(window, win32_sdl_window(window));
    init_input(window);
  }
  connect_gui_input();
  connect_engine_hooks();
  if (!init_d3d(window, width, height))
    return false;
  common_vb_writer.create(65536, 4);
  init_font();
  init_scene();
  return true;
}

void close_real_scene() {
  close_scene();
  close_font();
  common_vb_writer.release();
  free_all_meshes();
  free_all_textures();
  close_d3d();
  close_file_notify();
  PHYSFS_deinit();
  if (!getenv("KEEP_SCENE_HOME"))
    std::filesystem::remove_all(home);
}
