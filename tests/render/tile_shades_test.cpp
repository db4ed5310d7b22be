// The detail tiles' shades from pixel constants: where the world's units lie on whole
// pixels, and the level's picture with tiles of sharp, random texels at an odd scale,
// against the filtered tiles the test computes; off the pixel grid the level pass reads
// the tile textures.
#include "world_fixture.h"

#include <cmath>
#include <random>

#include "engine/render/background.h"
#include "engine/render/d3d_shaders.h"
#include "engine/render/d3d_states.h"
#include "engine/render/d3d_vbuf.h"
#include "engine/render/level_renderer.h"
#include "engine/render/scene_view.h"
#include "engine/render/tile_shades.h"
#include "engine/shared/level_map.h"
#include "engine/shared/palette.h"

namespace {

class TileShadesTest : public WorldTest {
 protected:
  void TearDown() override {
    destroy_renderer(r);
    close_level_rendering();
    close_background();
    WorldTest::TearDown();
  }
  // Detail tiles of random texels in the per-user folder, and the level pass.
  void startLevel(int w, int h) {
    startWorld(w, h);
    std::mt19937 rng(7);
    for (std::vector<uint8_t>* tile : {&voxel, &back}) {
      tile->resize(256);
      for (uint8_t& t : *tile)
        t = uint8_t(rng());
    }
    writeFile("voxel-tile.dds", l8_dds_bytes(16, voxel));
    writeFile("back-tile.dds", l8_dds_bytes(16, back));
    writeFile("background.dds", l8_dds_bytes(16, std::vector<uint8_t>(256, 128)));
    init_background();
    init_level_rendering();
  }
  std::vector<uint8_t> voxel, back;
  LevelRenderer* r = nullptr;
};

TEST_F(TileShadesTest, GridOnPixelsOnlyWhereUnitsLieOnWholePixels) {
  startWorld(64, 48);
  struct Case {
    float left, bottom;
    int scale;
    float grid;
    bool want;
  } cases[] = {
      {0, 0, 2, 1, true},       {-10, -5, 2, 1, true},   {0.5f, 0, 2, 1, true},   {0, -0.5f, 2, 1, true},
      {0.25f, 0, 2, 1, false},  {0, 0.25f, 2, 1, false}, {0, 0, 2, 0.5f, true},   {0, 0, 4, 0.25f, true},
      {0, 0, 2, 0.25f, false},  {0, 0, 3, 1, true},      {1.0f / 3, 0, 3, 1, true}, {0.1f, 0, 3, 1, false},
  };
  for (const Case& c : cases) {
    setCamera(c.left, c.bottom, c.scale);
    Matrix44 g;
    get_glob_tm(g);
    EXPECT_EQ(grid_on_pixels(g, c.grid), c.want)
        << "camera " << c.left << "," << c.bottom << " scale " << c.scale << " grid " << c.grid;
  }
  setCamera(0, 0, 2);
  Matrix44 g;
  get_glob_tm(g);
  voxel_scale = 3;
  EXPECT_FALSE(grid_on_pixels(g, 1)) << "two pixels a unit where the layout says three";
  voxel_scale = 2;
  Matrix44 turned = g;
  turned.m[1][0] = 0.01f;
  EXPECT_FALSE(grid_on_pixels(turned, 1)) << "a turned world";
  Matrix44 deep = g;
  deep.m[2][0] = 0.01f;
  EXPECT_FALSE(grid_on_pixels(deep, 1)) << "depth that moves points across the screen";
}

// Every pixel of a cell shows its colour lit by its own sample of the tile: a mistake
// in the order of the shades (rows, columns, the tile's upright) shows with random texels.
// Cameras off the cells' corners catch a pixel's place in its cell found wrongly.
TEST_F(TileShadesTest, LevelLayersShowTheFilteredTileAtEveryPixelOfACell) {
  const int CW = 20, CH = 12, W = 80, H = 48;
  startLevel(W, H);
  struct Case {
    int scale;
    float left, bottom;
  } cases[] = {{3, 0, 0}, {3, 1.0f / 3, -2.0f / 3}, {4, 0, 0}, {4, 0.25f, 0.75f}, {4, -1.5f, 2.25f}, {2, 0.5f, -0.5f}};
  for (const Case& k : cases) {
    SCOPED_TRACE(testing::Message() << "scale " << k.scale << " camera " << k.left << "," << k.bottom);
    const int S = k.scale;
    std::vector<LevelCell> cells(size_t(CW) * CH, LevelCell{0, 0, 0});
    for (int y = 0; y < CH; y++)
      for (int x = 0; x < CW; x++) {
        LevelCell& c = cells[size_t(y) * CW + x];
        c.background = x % 5 ? uint8_t(1 + (x + 2 * y) % 30) : 0;
        c.foreground = (x + y) % 3 == 0 ? uint8_t(2 + (3 * x + y) % 29) : 0;
      }
    r = create_level_renderer(cells.data(), 3, 3 * CW, CW, CH, 0, 0);
    setCamera(k.left, k.bottom, S);
    alignas(16) float zero[4] = {};
    set_ps_consts(TILE_SHADE_SCALE_REG, zero, 1);
    drawLevelOnScene(r);
    EXPECT_EQ(psConst(TILE_SHADE_SCALE_REG)[0], float(S)) << "the shades came from the constants";
    std::vector<uint32_t> px = readBackBuffer();

    auto shade = [&](const std::vector<uint8_t>& tile, int i, int j) {
      return 2 * std::nearbyint(sample_wrap_bilinear(tile, 16, (i + 0.5f) / S, (j + 0.5f) / S)) / 255;
    };
    auto lit = [](uint32_t color, float k) {
      uint32_t out = 0xFF000000u;
      for (int s : {0, 8, 16})
        out |= uint32_t(std::min(255L, std::lround(channel(color, s) * k))) << s;
      return out;
    };
    int wrong = 0;
    for (int j = 0; j < H; j++)
      for (int i = 0; i < W; i++) {
        // The pixel's centre in the world, its cell, and its place in the cell from the
        // cell's top left.
        double wx = k.left + (i + 0.5) / S, wy = k.bottom + double(H) / S - (j + 0.5) / S;
        int cx = int(std::floor(wx)), cy = int(std::floor(wy));
        int si = int((wx - cx) * S), sj = int((cy + 1 - wy) * S);
        uint32_t want = 0xFF000000u;
        if (cx >= 0 && cx < CW && cy >= 0 && cy < CH) {
          const LevelCell& c = cells[size_t(cy) * CW + cx];
          want = c.foreground   ? lit(main_palette[c.foreground], shade(voxel, si, sj))
                 : c.background ? lit(main_palette[c.background], shade(back, si, sj))
                                : 0xFF000000u;
        }
        uint32_t got = px[size_t(j) * W + i];
        if (!near_color(got, want, 2) && wrong++ < 10)
          ADD_FAILURE() << "pixel " << i << "," << j << " got " << std::hex << got << " want " << want;
      }
    destroy_renderer(r);
  }
}

// A level moved by part of a pixel samples the tiles between their pixels' centres:
// the pass reads the textures, and the constants stay as they were.
TEST_F(TileShadesTest, LevelOffThePixelGridReadsTheTiles) {
  startLevel(32, 32);
  std::vector<LevelCell> cells(64, LevelCell{5, 7, 0});
  r = create_level_renderer(cells.data(), 3, 3 * 8, 8, 8, 0, 0);
  setCamera(0, 0, 4);
  alignas(16) float zero[4] = {};
  set_ps_consts(TILE_SHADE_SCALE_REG, zero, 1);
  set_scene_target();
  clear_view(0xFF000000);
  start_level_rendering();
  set_level_tm(matrix_translation(0, 0.1f, 0));
  render_all(r, 0);
  end_level_rendering();
  EXPECT_EQ(psConst(TILE_SHADE_SCALE_REG)[0], 0.0f);
  // Moved by whole pixels, the constants serve again.
  start_level_rendering();
  set_level_tm(matrix_translation(0, 0.25f, 0));
  render_all(r, 0);
  end_level_rendering();
  EXPECT_EQ(psConst(TILE_SHADE_SCALE_REG)[0], 4.0f);
}

}  // namespace
