// One frame of the play scene at 1280 x 720: a generated level with its tiles, the
// backdrop, sprites and the post-effects, read back and checked against colours the
// test computes from the cell map, the palette, the detail tiles and the backdrop
// image. The picture is saved as world_picture.png in the test's per-user folder.
#include "world_fixture.h"

#include <physfs.h>

#include <cmath>

#include "engine/gen/level_compose.h"
#include "engine/gen/level_tiles.h"
#include "engine/render/background.h"
#include "engine/render/d3d_states.h"
#include "engine/render/d3d_textures.h"
#include "engine/render/d3d_vbuf.h"
#include "engine/render/image.h"
#include "engine/render/level_renderer.h"
#include "engine/render/postfx.h"
#include "engine/render/scene_view.h"
#include "engine/render/sprite.h"
#include "engine/shared/level_map.h"
#include "engine/shared/palette.h"
#include "engine/shell/modes/game_flow.h"
#include "tests/support/stand_in_module.h"


namespace {

constexpr int W = 1280, H = 720, S = 4;
constexpr D3dColor COLOR_A = 0x00725020, COLOR_B = 0x0099723F;

// A small robot in palette colours (index per pixel, top row first; '.' is clear).
const char* const ROBOT[] = {
    "....3333....", "...333333...", "...39339c...", "...333333...", "....3333....", ".4444444444.",
    "44.444444.44", "44.444444.44", "44.444444.44", "...444444...", "...44..44...", "...44..44...",
    "...55..55...", "..555..555..",
};

uint8_t robot_index(char c) { return c == '3' ? 23 : c == '4' ? 22 : c == '5' ? 25 : c == '9' ? 9 : c == 'c' ? 12 : 0; }

struct Placed {
  int x, y;  // world position of the sprite's bottom-left corner
};

class WorldPictureTest : public WorldTest {
 protected:
  void TearDown() override {
    close_sprites();
    destroy_renderer(level_renderer);
    close_level_rendering();
    close_postfx();
    close_background();
    destroy_texture(scene_image);
    scene_image = nullptr;
    free_level_tiles();
    WorldTest::TearDown();
  }
};

TEST_F(WorldPictureTest, AGeneratedLevelWithBackdropSpritesAndPostEffects) {
  // The robot, 12 x 14, bottom row first in the file the registry reads.
  const int RW = 12, RH = 14;
  std::vector<uint32_t> robot(RW * RH);
  for (int y = 0; y < RH; y++)
    for (int x = 0; x < RW; x++)
      robot[size_t(RH - 1 - y) * RW + x] = main_palette[robot_index(ROBOT[y][x])];
  writePng("sprites/robot.png", RW, RH, robot);

  startWorld(W, H);
  install_stand_in_module(STAND_IN_LEVEL);
  load_level_tiles();
  cur_level = 3;
  game_rnd_seed = 0x9E3779B97F4A7C15ull;
  generate_level();
  // The view: centred on the hero's start.
  float hx = 2048, hy = 264;
  for (const ModuleCall& c : module_calls)
    if (c.kind == ModuleCallKind::Hero) {
      hx = c.f[0];
      hy = c.f[1];
    }
  const int vw = W / S, vh = H / S;
  int left = std::clamp(int(hx) - vw / 2, 0, LEVEL_WIDTH - vw), bottom = std::clamp(int(hy) - vh / 2, 0, LEVEL_HEIGHT - vh);
  setCamera(float(left), float(bottom), S);

  init_sprites();
  init_background();
  init_postfx();
  init_level_rendering();
  level_renderer = create_level_renderer(&level_data[0][0], 3, 3 * LEVEL_WIDTH, LEVEL_WIDTH, LEVEL_HEIGHT, vw + 2, vh + 2);
  scene_image = create_screen_render_target();
  ASSERT_NE(scene_image, nullptr);

  std::vector<Placed> robots;
  for (int i = 0; i < 6; i++)
    robots.push_back({left + 20 + i * 50, bottom + 30 + (i % 3) * 40});

  // The frame in the order the play scene draws it (render_play_scene): only depth
  // cleared, the level's layers, the backdrop at the far plane behind them, the
  // sprites, then the post-effects.
  set_texture_target(scene_image, 0, true);
  clear_view_z();
  start_level_rendering();
  int x0 = left - 1, y0 = bottom - 1;
  render_area(level_renderer, x0, y0, x0 + vw + 2, y0 + vh + 2, 0);
  end_level_rendering();
  render_background(COLOR_A, COLOR_B);
  start_sprite_render();
  Sprite* rs = get_sprite("robot", true);
  for (const Placed& p : robots)
    rs->draw(v_make(p.x + rs->ox, float(p.y), 0, 0), false, false, 0xFFFFFFFF, 0);
  end_sprite_render();
  apply_postfx();
  std::vector<uint32_t> px = readBackBuffer();

  // Save the picture to look at.
  std::vector<uint8_t> rgba(px.size() * 4);
  for (size_t i = 0; i < px.size(); i++) {
    rgba[i * 4] = uint8_t(px[i] >> 16);
    rgba[i * 4 + 1] = uint8_t(px[i] >> 8);
    rgba[i * 4 + 2] = uint8_t(px[i]);
    rgba[i * 4 + 3] = 255;
  }
  EXPECT_TRUE(save_png("world_picture.png", W, H, 4, rgba.data(), W * 4));
  printf("picture: %sworld_picture.png\n", home.c_str());

  // ---- what each pixel must show ---------------------------------------------------
  int tile_size = 0, back_size = 0, bg_size = 0;
  std::vector<uint8_t> voxel = data_l8_texels("voxel-tile.dds", &tile_size);
  std::vector<uint8_t> back = data_l8_texels("back-tile.dds", &back_size);
  std::vector<uint8_t> backdrop = data_l8_texels("background.dds", &bg_size);
  ASSERT_EQ(tile_size, 16);
  auto cell = [&](int i, int j) -> const LevelCell& {
    int cx = left + i / S, cy = bottom + (H - 1 - j) / S;
    return level_data[cy][cx];
  };
  auto in_robot = [&](int i, int j, int margin) {
    for (const Placed& p : robots) {
      int rx = (p.x - left) * S, ry = H - (p.y - bottom + RH) * S;
      if (i >= rx && i < rx + RW * S + margin && j >= ry && j < ry + RH * S + margin)
        return true;
    }
    return false;
  };
  auto lit = [](uint32_t color, float shade) {
    uint32_t out = 0xFF000000u;
    for (int s : {0, 8, 16})
      out |= uint32_t(std::min(255L, std::lround(channel(color, s) * shade))) << s;
    return out;
  };
  // The detail tile's shade at a pixel's place inside its world unit.
  auto tile_shade = [&](const std::vector<uint8_t>& tile, int i, int j) {
    return 2 * sample_wrap_bilinear(tile, 16, (i % S + 0.5f) / S, (j % S + 0.5f) / S) / 255;
  };
  int checked[4] = {}, wrong = 0;
  for (int j = S; j < H; j++)
    for (int i = S; i < W; i++) {
      if (in_robot(i, j, S + 1))
        continue;
      const LevelCell& c = cell(i, j);
      bool caster = cell(i - S, j - S).foreground != 0 || in_robot(i - S, j - S, 0);
      uint32_t want;
      int kind;
      if (c.foreground) {
        want = lit(main_palette[c.foreground], tile_shade(voxel, i, j));
        kind = 0;
      } else if (c.background) {
        want = lit(main_palette[c.background], tile_shade(back, i, j) * (caster ? 0.5f : 1.0f));
        kind = 1;
      } else {
        float u = (-1 + 2.0f * i / W) * (W / (4.0f * S)) * 0.5f / bg_size;
        float v = (1 - 2.0f * j / H) * (-H / (4.0f * S)) * 0.5f / bg_size;
        float t = sample_wrap_bilinear(backdrop, bg_size, u, v) / 255;
        want = 0xFF000000u;
        for (int s : {0, 8, 16}) {
          float a = channel(COLOR_A, s), b = channel(COLOR_B, s);
          want |= uint32_t(std::lround((a + (b - a) * t) * (caster ? 0.7f : 1.0f))) << s;
        }
        kind = 2;
      }
      checked[kind]++;
      if (!near_color(px[size_t(j) * W + i], want, 4) && wrong++ < 10)
        ADD_FAILURE() << "pixel " << i << "," << j << " kind " << kind << " got " << std::hex << px[size_t(j) * W + i]
                      << " want " << want;
    }
  // The robots: their opaque pixels in their colours, lit by the voxel tile.
  for (const Placed& p : robots)
    for (int y = 0; y < RH; y++)
      for (int x = 0; x < RW; x++) {
        uint8_t index = robot_index(ROBOT[y][x]);
        if (!index)
          continue;
        for (int b = 0; b < S; b++)
          for (int a = 0; a < S; a++) {
            int i = (p.x - left + x) * S + a, j = H - (p.y - bottom + RH) * S + y * S + b;
            uint32_t want = lit(main_palette[index], tile_shade(voxel, a, b));
            checked[3]++;
            if (!near_color(px[size_t(j) * W + i], want, 4) && wrong++ < 10)
              ADD_FAILURE() << "robot pixel " << i << "," << j << " got " << std::hex << px[size_t(j) * W + i]
                            << " want " << want;
          }
      }
  EXPECT_EQ(wrong, 0);
  // The view holds all kinds of pixels.
  for (int k = 0; k < 4; k++)
    EXPECT_GT(checked[k], 2000) << "kind " << k;
}

}  // namespace
