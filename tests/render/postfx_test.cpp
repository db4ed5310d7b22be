// The backdrop and the post-effect passes: their constants, the depth bands the slice
// passes leave in the post-effect target for a scene of known depth, and the final
// composite with its shadow and the game-over colour.
#include "world_fixture.h"

#include <cmath>
#include <functional>

#include "engine/render/background.h"
#include "engine/render/d3d_states.h"
#include "engine/render/d3d_textures.h"
#include "engine/render/d3d_vbuf.h"
#include "engine/render/debug_vis.h"
#include "engine/render/postfx.h"
#include "engine/render/scene_view.h"

namespace {

class PostfxTest : public WorldTest {
 protected:
  void TearDown() override {
    close_postfx();
    close_background();
    close_debug_vis();
    destroy_texture(scene_image);
    scene_image = nullptr;
    postfx_final_color = _mm_setzero_ps();
    WorldTest::TearDown();
  }
  void start(int w, int h, int scale) {
    startWorld(w, h);
    setCamera(0, 0, scale);
    init_debug_vis();
    init_postfx();
    scene_image = create_screen_render_target();
    ASSERT_NE(scene_image, nullptr);
  }
  // The scene image cleared to `color` with its depth at the far plane.
  void beginScene(D3dColor color) {
    set_texture_target(scene_image, 0, true);
    clear_view(color);
    set_zenable(true);
    set_zwrite(true);
    set_blend_none();
    start_draw_debug_vis();
  }
  // A world rectangle at depth z, given in screen pixels (columns x0..x1, rows y0..y1
  // from the top, end exclusive).
  void rect(int x0, int y0, int x1, int y1, float z, D3dColor c) {
    float s = float(camScale), top = float(d3d_ht) / s;
    __m128 a = v_make(x0 / s, top - y1 / s, z, 0), b = v_make(x1 / s, top - y0 / s, z, 0);
    __m128 ab = v_make(x1 / s, top - y1 / s, z, 0), ba = v_make(x0 / s, top - y0 / s, z, 0);
    draw_debug_vis_tri(a, ab, b, c);
    draw_debug_vis_tri(a, b, ba, c);
  }
};

TEST_F(PostfxTest, SlicesMarkNearBackAndFarBands) {
  start(64, 48, 2);
  beginScene(0xFF000000);
  // One band of rows per depth; the last rows keep the far plane.
  const float depths[] = {-30, 0, 17.5f, 18.5f, 20, 49.5f, 50.5f, 300};
  for (int i = 0; i < 8; i++)
    rect(0, i * 5, 64, i * 5 + 5, depths[i], 0xFF808080);
  end_draw_debug_vis();
  apply_postfx();
  std::vector<uint32_t> mask = readTexture(get_postfx_target());
  const uint32_t red = 0x00FF0000, green = 0x0000FF00, none = 0;
  const uint32_t want[9] = {red, red, red, green, green, green, none, none, none};
  for (int band = 0; band < 9; band++)
    for (int row = band * 5; row < std::min(48, band * 5 + 5); row++)
      for (int x = 0; x < 64; x += 7)
        ASSERT_EQ(mask[size_t(row) * 64 + x], want[band]) << "band " << band << " row " << row << " x " << x;
}

TEST_F(PostfxTest, SlicesDoNotDependOnTheDepthStatesLeftBefore) {
  start(32, 32, 2);
  beginScene(0xFF000000);
  rect(0, 0, 32, 16, 20, 0xFF808080);
  end_draw_debug_vis();
  // A frame that ends with depth testing off and depth writes on.
  set_zenable(false);
  set_zwrite(true);
  apply_postfx();
  std::vector<uint32_t> mask = readTexture(get_postfx_target());
  EXPECT_EQ(mask[5 * 32 + 5], 0x0000FF00u);
  EXPECT_EQ(mask[25 * 32 + 5], 0u);
  // The slices must not have written depth: a second pass marks the same bands.
  apply_postfx();
  EXPECT_EQ(readTexture(get_postfx_target()), mask);
}

// Which kind of scene each pixel holds in the composite test.
enum Region { NEAR, BACK, FAR };

TEST_F(PostfxTest, FinalCompositeShadowsWhatLiesDownRightOfTheNearWorld) {
  const int W = 64, H = 48, S = 2;
  start(W, H, S);
  const D3dColor near_color_ = 0xFFE0C040, back_color = 0xFF3080C0, far_color = 0xFF604020;
  auto region = [&](int x, int y) -> Region {
    if (x < 0 || y < 0)
      return FAR;
    if (x >= 16 && x < 28 && y >= 10 && y < 22)
      return NEAR;
    if (x >= 40 && x < 44 && y >= 30 && y < 40)
      return NEAR;
    return x < 48 ? BACK : FAR;
  };
  beginScene(far_color);
  rect(0, 0, 48, H, 20, back_color);
  rect(16, 10, 28, 22, 0, near_color_);
  rect(40, 30, 44, 40, 0, near_color_);
  end_draw_debug_vis();

  for (float game_over : {0.0f, 0.25f}) {
    postfx_final_color = _mm_set1_ps(game_over);
    apply_postfx();
    std::vector<uint32_t> px = readBackBuffer();
    for (int y = 0; y < H; y++)
      for (int x = 0; x < W; x++) {
        Region r = region(x, y);
        D3dColor base = r == NEAR ? near_color_ : r == BACK ? back_color : far_color;
        bool shaded = r != NEAR && region(x - S, y - S) == NEAR;
        float k = shaded ? (r == BACK ? 0.5f : 0.7f) : 1.0f;
        float rgb[3] = {channel(base, 16) * k, channel(base, 8) * k, channel(base, 0) * k};
        if (game_over > 0) {
          float grey = 0.299f * rgb[0] + 0.587f * rgb[1] + 0.114f * rgb[2];
          for (float& c : rgb)
            c = grey * 0.75f;
        }
        uint32_t want = 0xFF000000u | uint32_t(std::lround(rgb[0])) << 16 | uint32_t(std::lround(rgb[1])) << 8 |
                        uint32_t(std::lround(rgb[2]));
        ASSERT_TRUE(near_color(px[size_t(y) * W + x], want, 2))
            << "game over " << game_over << " pixel " << x << "," << y << " got " << std::hex
            << px[size_t(y) * W + x] << " want " << want;
      }
  }
}

TEST_F(PostfxTest, ConstantsOfTheBackdropAndTheFinalPass) {
  writeFlatTextures(128);
  start(1280, 720, 2);
  init_background();
  set_backbuffer_target();
  render_background(0, 0);
  EXPECT_EQ(vsConst(16), (std::vector<float>{160, -90, 0, 0}));
  EXPECT_EQ(vsConst(17), (std::vector<float>{0, 0, 0, 0}));
  EXPECT_EQ(vsConst(18), (std::vector<float>{0, 0, 0, 0}));
  render_background(0x00725020, 0x8099723F);
  EXPECT_EQ(vsConst(17), (std::vector<float>{0x72 / 255.0f, 0x50 / 255.0f, 0x20 / 255.0f, 0}));
  EXPECT_EQ(vsConst(18), (std::vector<float>{0x99 / 255.0f, 0x72 / 255.0f, 0x3F / 255.0f, 0x80 / 255.0f}));

  apply_postfx();
  std::vector<float> pc16 = psConst(16);
  EXPECT_FLOAT_EQ(pc16[0], 0.0015625f);
  EXPECT_NEAR(pc16[1], 0.0027778f, 1e-7);
  EXPECT_EQ(vsConst(16), (std::vector<float>{0.5f, -0.5f, 0.5f + 0.5f / 1280, 0.5f + 0.5f / 720}));
  EXPECT_EQ(psConst(17), (std::vector<float>{0, 0, 0, 0}));
}

TEST_F(PostfxTest, BackdropShadesBetweenItsTwoColoursOverTheWholeScreen) {
  writeFlatTextures(128);
  start(48, 32, 2);
  init_background();
  set_backbuffer_target();
  clear_view_color(0xFF00FF00);
  render_background(0x00102030, 0x00F0E0D0);
  float t = 128 / 255.0f;
  uint32_t want = 0xFF000000u;
  for (int shift : {16, 8, 0}) {
    float a = channel(0x102030, shift), b = channel(0xF0E0D0, shift);
    want |= uint32_t(std::lround(a + (b - a) * t)) << shift;
  }
  std::vector<uint32_t> px = readBackBuffer();
  for (size_t i = 0; i < px.size(); i++)
    ASSERT_TRUE(near_color(px[i], want, 1)) << i << ": " << std::hex << px[i] << " want " << want;
}

TEST_F(PostfxTest, TheGameTexturesLoadThroughTheEngineReader) {
  start(32, 32, 2);
  init_background();
  struct Case {
    Texture* t;
    int size;
  } cases[] = {{get_voxel_tile_tex(), 16}, {get_back_tile_tex(), 16}};
  for (const Case& c : cases) {
    ASSERT_NE(c.t, nullptr);
    EXPECT_EQ(get_texture_width(c.t), c.size);
    EXPECT_EQ(get_texture_format(c.t), 12) << "8-bit luminance";
  }
  // The voxel tile is lit from the top left: its top row is brighter than its bottom.
  int size = 0;
  std::vector<uint8_t> voxel = data_l8_texels("voxel-tile.dds", &size);
  ASSERT_EQ(size, 16);
  EXPECT_GT(voxel[0 * 16 + 8], 150);
  EXPECT_LT(voxel[15 * 16 + 8], 100);
  EXPECT_NEAR(voxel[8 * 16 + 8], 128, 12) << "the middle leaves colours as they are";
  std::vector<uint8_t> back = data_l8_texels("back-tile.dds", &size);
  int sum = 0;
  for (uint8_t b : back)
    sum += b;
  EXPECT_LT(sum / 256, 110) << "the back layer is drawn darker";
  std::vector<uint8_t> backdrop = data_l8_texels("background.dds", &size);
  EXPECT_EQ(size, 256);
  EXPECT_EQ(backdrop.size(), 256u * 256u);
}

}  // namespace
