#include "render_fixture.h"

#include "engine/core/watch.h"
#include "engine/render/d3d_device.h"
#include "engine/render/d3d_shaders.h"
#include "engine/render/d3d_textures.h"
#include "engine/render/dynVBWriter.h"
#include "engine/render/render_hooks.h"
#include "tests/support/surface_pixels.h"
#include "tests/support/vfs_mounts.h"

#include <physfs.h>
#include <cstdlib>
#include <fstream>
#include <sys/stat.h>

// ---- the renderer's hooks, which the shell fills in the game ----------------------------
std::function<void(float)> on_render_scene;
int resize_scene_calls = 0;
std::function<void()> on_resize_scene;
int render_splash_calls = 0, pump_messages_calls = 0;

static void connect_render_hooks() {
  render_hooks.render_scene = [](float t) {
    if (on_render_scene) on_render_scene(t);
  };
  render_hooks.render_splash = [] { render_splash_calls++; };
  render_hooks.resize_scene = [] {
    resize_scene_calls++;
    if (on_resize_scene) on_resize_scene();
  };
  render_hooks.pump_messages = [] { pump_messages_calls++; };
}

std::string source_dir() {
  const char* dir = getenv("TORVANE_SOURCE_DIR");
  return dir ? dir : "../..";
}

std::string make_temp_dir() {
  const char* base = getenv("XDG_DATA_HOME");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/render-XXXXXX";
  mkdir(base && *base ? base : "/tmp", 0755);
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back(0);
  if (!mkdtemp(buf.data())) return "";
  return std::string(buf.data()) + "/";
}

void RenderTest::SetUp() {
  // Death tests run in a fresh process: a forked child would inherit the GL driver's
  // state without its worker threads.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  if (!PHYSFS_isInit()) ASSERT_TRUE(PHYSFS_init(nullptr));
  PHYSFS_permitSymbolicLinks(1);
  home = make_temp_dir();
  ASSERT_FALSE(home.empty());
  ASSERT_TRUE(PHYSFS_setWriteDir(home.c_str()));
  ASSERT_TRUE(PHYSFS_mount(home.c_str(), nullptr, 1));
  ASSERT_TRUE(PHYSFS_mount((source_dir() + "/data/").c_str(), nullptr, 1));
  ASSERT_TRUE(PHYSFS_mount((source_dir() + "/tests/render/fixtures/").c_str(), nullptr, 1));
  connect_render_hooks();
  app_use_vsync = false;
  isFullscreen = false;
  on_render_scene = nullptr;
  resize_scene_calls = 0;
  on_resize_scene = nullptr;
  set_error_message(nullptr);
  d3d9_compiler_disabled = false;
  d3d9_set_client_origin(nullptr);
  for (const char* method : {"CreateDeviceEx", "ResetEx", "PresentEx", "CheckDeviceState"})
    d3d9_force_result(method, D3D_OK, 0);
  clear_changed_files();
}

void RenderTest::startDevice(int w, int h) {
  isFullscreen = true;
  ASSERT_TRUE(init_d3d(nullptr, w, h));
  ASSERT_EQ(d3d_wd, w);
  ASSERT_EQ(d3d_ht, h);
}

void RenderTest::TearDown() {
  d3d9_set_call_recorder(nullptr);
  if (!common_vb_writer.vbufs.isEmpty()) common_vb_writer.release();
  if (d3d) {
    free_all_textures();
    close_d3d();
  }
  unmount_all();
}

std::vector<uint32_t> RenderTest::readBackBuffer() { return back_buffer_pixels(d3d, d3d_wd, d3d_ht); }

void RenderTest::writeFile(const std::string& vfs_path, const std::string& bytes) {
  std::string full = home + vfs_path;
  std::string dir = full.substr(0, full.rfind('/'));
  std::string cmd = "mkdir -p '" + dir + "'";
  ASSERT_EQ(system(cmd.c_str()), 0);
  std::ofstream out(full, std::ios::binary);
  out.write(bytes.data(), bytes.size());
}

