#include "text_fixture.h"

#include <physfs.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "engine/gui/bitmap_font.h"
#include "engine/gui/dist_font.h"
#include "engine/gui/sys_font.h"
#include "engine/render/d3d_device.h"
#include "engine/render/d3d_shaders.h"
#include "engine/render/d3d_textures.h"
#include "engine/render/d3d_vbuf.h"
#include "engine/render/dynVBWriter.h"
#include "engine/render/image.h"
#include "engine/render/render_hooks.h"
#include "engine/render/renderBatch.h"
#include "engine/gui/splash.h"
#include "tests/support/surface_pixels.h"
#include "tests/support/vfs_mounts.h"

static std::string source_dir() {
  const char* dir = getenv("TORVANE_SOURCE_DIR");
  return dir ? dir : "../..";
}

void TextTest::SetUp() {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // The shell's side of the renderer: splash frames draw the splash.
  render_hooks = RenderHooks{};
  render_hooks.render_splash = draw_splash;
  isFullscreen = true;
  app_use_vsync = false;
  if (!PHYSFS_isInit()) {
    ASSERT_TRUE(PHYSFS_init(nullptr));
  }
  PHYSFS_permitSymbolicLinks(1);
  const char* base = getenv("XDG_DATA_HOME");
  home = std::string(base && *base ? base : "/tmp") + "/text-home/";
  std::filesystem::remove_all(home);
  std::filesystem::create_directories(home);
  ASSERT_TRUE(PHYSFS_setWriteDir(home.c_str()));
  ASSERT_TRUE(PHYSFS_mount(home.c_str(), nullptr, 1));
  ASSERT_TRUE(PHYSFS_mount((source_dir() + "/data/").c_str(), nullptr, 1));
}

void TextTest::startDevice(int w, int h) {
  isFullscreen = true;
  ASSERT_TRUE(init_d3d(nullptr, w, h));
  ASSERT_EQ(d3d_wd, w);
  ASSERT_EQ(d3d_ht, h);
  common_vb_writer.create(65536, 4);
}

void TextTest::TearDown() {
  // The text layer's handles die with the device: forget them for the next test.
  dist_font_shader = dist_icon_shader = gui_bitmap_shader = nullptr;
  dist_font_vdecl = dist_icon_vdecl = ui_vdecl = nullptr;
  if (!common_vb_writer.vbufs.isEmpty()) common_vb_writer.release();
  if (d3d) {
    free_all_textures();
    release_all_shaders();
    close_d3d();
  }
  unmount_all();
}

void TextTest::writeFile(const std::string& vfs_path, const std::string& bytes) {
  std::string full = home + vfs_path;
  std::filesystem::create_directories(std::filesystem::path(full).parent_path());
  std::ofstream out(full, std::ios::binary);
  out.write(bytes.data(), (std::streamsize)bytes.size());
}

std::vector<uint32_t> TextTest::readBackBuffer() { return back_buffer_pixels(d3d, d3d_wd, d3d_ht); }

void TextTest::keepPicture(const std::string& name) {
  const char* folder = getenv("TORVANE_TEXT_PICTURES");
  if (!folder || !*folder) return;
  std::vector<uint32_t> px = readBackBuffer();
  std::vector<uint8_t> rgba(px.size() * 4);
  for (size_t i = 0; i < px.size(); i++) {
    rgba[i * 4 + 0] = (uint8_t)red(px[i]);
    rgba[i * 4 + 1] = (uint8_t)green(px[i]);
    rgba[i * 4 + 2] = (uint8_t)blue(px[i]);
    rgba[i * 4 + 3] = 255;
  }
  ASSERT_TRUE(save_png("picture.png", d3d_wd, d3d_ht, 4, rgba.data(), d3d_wd * 4));
  std::filesystem::copy_file(home + "picture.png", std::string(folder) + "/" + name + ".png",
                             std::filesystem::copy_options::overwrite_existing);
}

void TextTest::beginFrame(D3dColor clear) {
  ASSERT_EQ(d3d->BeginScene(), D3D_OK);
  set_backbuffer_target();
  clear_view_color(clear);
}

void TextTest::endFrame() { d3d->EndScene(); }

static void put32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; i++) out.push_back((char)(v >> (8 * i)));
}

std::string l8_dds(int w, int h, const std::vector<uint8_t>& texels) {
  std::string out;
  put32(out, 0x20534444);
  put32(out, 124);
  put32(out, 0x1 | 0x2 | 0x4 | 0x8 | 0x1000);
  put32(out, (uint32_t)h);
  put32(out, (uint32_t)w);
  put32(out, (uint32_t)w);
  put32(out, 0);
  put32(out, 1);
  for (int i = 0; i < 11; i++) put32(out, 0);
  put32(out, 32);
  put32(out, 0x20000);
  put32(out, 0);
  put32(out, 8);
  put32(out, 0xFF);
  put32(out, 0);
  put32(out, 0);
  put32(out, 0);
  put32(out, 0x1000);
  for (int i = 0; i < 4; i++) put32(out, 0);
  out.append((const char*)texels.data(), texels.size());
  return out;
}

std::string tga32(int w, int h, const std::vector<uint32_t>& top_first) {
  std::string out(18, '\0');
  out[2] = 2;
  out[12] = (char)(w & 0xFF);
  out[13] = (char)(w >> 8);
  out[14] = (char)(h & 0xFF);
  out[15] = (char)(h >> 8);
  out[16] = 32;
  out[17] = 0x08;
  for (int y = h - 1; y >= 0; y--)
    for (int x = 0; x < w; x++) put32(out, top_first[(size_t)y * w + x]);
  return out;
}

int batch_items(RenderBatch& batch) {
  int n = 0;
  for (RenderBatchGroup& g : batch.groups)
    for (RenderBatchItem* it = g.first; it; it = it->next) n++;
  return n;
}
