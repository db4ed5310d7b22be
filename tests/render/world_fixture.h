#pragma once
// The world drawing on a headless device: the vertex ring, a camera like the play
// scene's, sprite pictures and detail tiles written by the test, and read-backs.
#include "render_fixture.h"

#include <cstdint>
#include <string>
#include <vector>

#include "engine/core/geometry.h"

struct LevelRenderer;
struct Texture;

// One 8-bit luminance DDS file of size x size texels, row 0 first.
std::string l8_dds_bytes(int size, const std::vector<uint8_t>& texels);
// The texels of an 8-bit luminance DDS file of the repository's data/ folder.
std::vector<uint8_t> data_l8_texels(const std::string& name, int* size);
// Bilinear sample with wrap addressing of size x size texels at texture coordinates
// (u, v), as the device filters (texel centres at (i + 0.5) / size).
float sample_wrap_bilinear(const std::vector<uint8_t>& texels, int size, float u, float v);

int channel(uint32_t color, int shift);
// True when every colour channel of a and b differs by at most `tolerance`.
bool near_color(uint32_t a, uint32_t b, int tolerance);

class WorldTest : public RenderTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The device at w x h with the vertex ring made.
  void startWorld(int w, int h);
  // The play scene's camera: `scale` pixels per world unit, the screen's bottom-left
  // corner at world (left, bottom), pixel centres half a pixel inside; sets the view,
  // the projection and the frame's transform constants.
  void setCamera(float left, float bottom, int scale);
  // The pixel (column, row from the top) whose centre lies at world (x + 0.5 / s, ...)
  // for the world point (x, y) of the current camera.
  int pixelX(float x) const;
  int pixelY(float y) const;

  // Every cell of the level renderer drawn into the scene image, cleared to black first,
  // with the depth test and depth writes the play scene has on.
  void drawLevelOnScene(LevelRenderer* renderer);

  // A PNG under the per-user folder (pixels 0xAARRGGBB, bottom row first).
  void writePng(const std::string& vfs_path, int w, int h, const std::vector<uint32_t>& bottom_first);
  void setMtime(const std::string& vfs_path, long seconds_from_now);
  // Flat detail tiles and backdrop (all texels `value`) in the per-user folder, which
  // hides data/'s.
  void writeFlatTextures(uint8_t value);
  // Pixels (0xAARRGGBB, top row first) of any texture, through a render-target copy.
  std::vector<uint32_t> readTexture(Texture* t);

  // Shader constant registers as the device holds them.
  std::vector<float> vsConst(int reg) const;
  std::vector<float> psConst(int reg) const;

  float camLeft = 0, camBottom = 0;
  int camScale = 1;
};
