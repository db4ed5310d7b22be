#include "world_fixture.h"

#include <fcntl.h>
#include <physfs.h>
#include <sys/stat.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>

#include "engine/render/d3d_device.h"
#include "engine/render/d3d_shaders.h"
#include "engine/render/d3d_states.h"
#include "engine/render/d3d_textures.h"
#include "engine/render/d3d_vbuf.h"
#include "engine/render/dynVBWriter.h"
#include "engine/render/image.h"
#include "engine/render/level_renderer.h"
#include "engine/render/scene_view.h"
#include "platform/d3d9/d3d9_impl.h"  // the constants the device holds

std::string l8_dds_bytes(int size, const std::vector<uint8_t>& texels) {
  uint32_t h[32] = {};
  h[0] = 0x20534444;
  h[1] = 124;
  h[2] = 0x1 | 0x2 | 0x4 | 0x1000;
  h[3] = h[4] = uint32_t(size);
  h[19] = 32;
  h[20] = 0x20000;
  h[22] = 8;
  h[23] = 0xFF;
  h[27] = 0x1000;
  std::string out((const char*)h, 128);
  out.append((const char*)texels.data(), texels.size());
  return out;
}

std::vector<uint8_t> data_l8_texels(const std::string& name, int* size) {
  std::ifstream in(source_dir() + "/data/" + name, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  std::string bytes = s.str();
  if (bytes.size() < 128)
    return {};
  uint32_t w;
  memcpy(&w, bytes.data() + 16, 4);
  *size = int(w);
  return std::vector<uint8_t>(bytes.begin() + 128, bytes.end());
}

float sample_wrap_bilinear(const std::vector<uint8_t>& t, int size, float u, float v) {
  float x = u * size - 0.5f, y = v * size - 0.5f;
  int x0 = int(std::floor(x)), y0 = int(std::floor(y));
  float fx = x - x0, fy = y - y0;
  auto at = [&](int i, int j) {
    i = ((i % size) + size) % size;
    j = ((j % size) + size) % size;
    return float(t[size_t(j) * size + i]);
  };
  float top = at(x0, y0) * (1 - fx) + at(x0 + 1, y0) * fx;
  float bottom = at(x0, y0 + 1) * (1 - fx) + at(x0 + 1, y0 + 1) * fx;
  return top * (1 - fy) + bottom * fy;
}

int channel(uint32_t color, int shift) { return int((color >> shift) & 255); }

bool near_color(uint32_t a, uint32_t b, int tolerance) {
  for (int shift : {0, 8, 16})
    if (std::abs(channel(a, shift) - channel(b, shift)) > tolerance)
      return false;
  return true;
}

void WorldTest::SetUp() { RenderTest::SetUp(); }

void WorldTest::TearDown() {
  voxel_scale = 1;
  d3d_no_scene_target = false;
  RenderTest::TearDown();
}

void WorldTest::startWorld(int w, int h) {
  d3d_no_scene_target = true;  // as the game runs: the scene's target is the back buffer
  startDevice(w, h);
  common_vb_writer.create(65536, 4);
}

void WorldTest::drawLevelOnScene(LevelRenderer* renderer) {
  set_scene_target();
  set_zenable(true);
  set_zwrite(true);
  clear_view(0xFF000000);
  start_level_rendering();
  render_all(renderer, 0);
  end_level_rendering();
}

void WorldTest::setCamera(float left, float bottom, int scale) {
  camLeft = left;
  camBottom = bottom;
  camScale = scale;
  voxel_scale = scale;
  float w = float(d3d_wd) / scale, h = float(d3d_ht) / scale;
  // Pixel i's centre (Direct3D's whole coordinate) lies at left + (i + 0.5) / scale.
  float cx = left + w / 2 + 0.5f / scale, cy = bottom + h / 2 - 0.5f / scale;
  Matrix44 view = matrix_translation(-cx, -cy, 180);
  Matrix44 proj = matrix_identity();
  const float zn = 1, zf = 2000;
  proj.m[0][0] = 2 / w;
  proj.m[1][1] = 2 / h;
  proj.m[2][2] = 1 / (zf - zn);
  proj.m[3][2] = -zn / (zf - zn);
  set_view_tm(view);
  set_proj_tm(proj);
  Matrix44 g;
  get_glob_tm(g);
  set_vs_consts(0, &g.m[0][0], 4);
}

int WorldTest::pixelX(float x) const { return int(std::floor((x - camLeft) * camScale)); }
int WorldTest::pixelY(float y) const { return d3d_ht - 1 - int(std::floor((y - camBottom) * camScale)); }

void WorldTest::writePng(const std::string& vfs_path, int w, int h, const std::vector<uint32_t>& bottom_first) {
  std::vector<uint8_t> rgba(size_t(w) * h * 4);
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) {
      uint32_t c = bottom_first[size_t(h - 1 - y) * w + x];
      uint8_t* p = &rgba[(size_t(y) * w + x) * 4];
      p[0] = uint8_t(c >> 16);
      p[1] = uint8_t(c >> 8);
      p[2] = uint8_t(c);
      p[3] = uint8_t(c >> 24);
    }
  std::string dir = vfs_path.substr(0, vfs_path.rfind('/'));
  if (dir != vfs_path) {
    ASSERT_TRUE(PHYSFS_mkdir(dir.c_str()));
  }
  ASSERT_TRUE(save_png(vfs_path.c_str(), w, h, 4, rgba.data(), w * 4));
}

void WorldTest::setMtime(const std::string& vfs_path, long seconds_from_now) {
  timespec t[2];
  t[0].tv_sec = t[1].tv_sec = time(nullptr) + seconds_from_now;
  t[0].tv_nsec = t[1].tv_nsec = 0;
  ASSERT_EQ(utimensat(AT_FDCWD, (home + vfs_path).c_str(), t, 0), 0);
}

void WorldTest::writeFlatTextures(uint8_t value) {
  for (const char* name : {"voxel-tile.dds", "back-tile.dds"})
    writeFile(name, l8_dds_bytes(16, std::vector<uint8_t>(256, value)));
  writeFile("background.dds", l8_dds_bytes(16, std::vector<uint8_t>(256, value)));
}

std::vector<uint32_t> WorldTest::readTexture(Texture* t) {
  int w = get_texture_width(t), h = get_texture_height(t);
  Texture* rt = create_render_target(w, h, 1);
  EXPECT_NE(rt, nullptr);
  copy_texture(t, rt);
  int pitch = 0;
  const uint8_t* bits = (const uint8_t*)read_render_target(rt, &pitch);
  std::vector<uint32_t> px(size_t(w) * h);
  if (bits)
    for (int y = 0; y < h; y++)
      memcpy(&px[size_t(y) * w], bits + size_t(y) * pitch, size_t(w) * 4);
  end_read_render_target(rt);
  destroy_texture(rt);
  return px;
}

std::vector<float> WorldTest::vsConst(int reg) const {
  const float* c = d3d9_live_device->vs_consts[reg];
  return {c[0], c[1], c[2], c[3]};
}

std::vector<float> WorldTest::psConst(int reg) const {
  const float* c = d3d9_live_device->ps_consts[reg];
  return {c[0], c[1], c[2], c[3]};
}
