// The background layers drawn in pieces: the same picture as the whole sprite drawn
// at the layer's place, but nothing behind tile slots of the level that hide it, and
// no quad over the empty sky above a skyline.
#include <vector>

#include "engine/render/d3d_device.h"
#include "engine/render/d3d_shaders.h"
#include "engine/render/d3d_states.h"
#include "engine/render/d3d_vbuf.h"
#include "engine/render/dynVBWriter.h"
#include "engine/render/image.h"
#include "engine/render/scene_view.h"
#include "engine/render/sprite.h"
#include "engine/shell/scene.h"
#include "engine/world/camera.h"
#include "game_fixture.h"

extern int cur_view_x0, cur_view_y0, cur_view_x1, cur_view_y1;
extern float cur_view_cx, cur_view_cy;

namespace {

constexpr uint32_t CLEAR = 0xFF102030;
constexpr float CAM_X = 300, CAM_Y = 100;
// bg1/city1a: a 256 x 200 skyline, at parallax 0.2 put where the camera sees it.
constexpr const char* LAYER = "bg1/city1a";
constexpr float PARALLAX = 0.2f, BASE_X = 80 - CAM_X * (1 - PARALLAX), BASE_Y = 10 - CAM_Y * (1 - PARALLAX);

class BackgroundPictureTest : public GameTest {
 protected:
  static void SetUpTestSuite() {
    GameTest::SetUpTestSuite();
    // The vertex ring the batches draw through, as the game's start-up makes it.
    if (common_vb_writer.vbufs.empty())
      common_vb_writer.create(65536, 4);
  }
  void SetUp() override {
    GameTest::SetUp();
    init_sprites();
    // The pictures are looked up anew in the new atlas.
    gameobj_func_table.init_gameobj();
    set_scene_camera(CAM_X, CAM_Y);
    // The view the play scene publishes, 16 cells past each edge.
    int sw = d3d_wd / voxel_scale + 32, sh = d3d_ht / voxel_scale + 32;
    cur_view_cx = CAM_X, cur_view_cy = CAM_Y;
    cur_view_x0 = int(CAM_X) - sw / 2, cur_view_x1 = cur_view_x0 + sw;
    cur_view_y0 = int(CAM_Y) - sh / 2, cur_view_y1 = cur_view_y0 + sh;
  }
  void TearDown() override {
    gameobj_func_table.remove_all_gameobj();
    close_sprites();
    GameTest::TearDown();
  }

  // The sprite pass alone, through the scene's camera: what fill() puts in the batch.
  template <class F>
  std::vector<uint32_t> draw(F&& fill) {
    set_scene_camera(CAM_X, CAM_Y);
    EXPECT_TRUE(begin_scene());
    set_backbuffer_target();
    clear_view_color(CLEAR);
    clear_view_z();
    set_blend_none();
    set_zenable(true);
    start_sprite_render();
    fill();
    quads = 0;
    for (int g = 0; g < sprite_batch.groups.size(); g++)
      for (RenderBatchItem* it = sprite_batch.groups[g].first; it; it = it->next)
        quads += it->prims / 2, area += quad_area(it);
    end_sprite_render();
    end_scene();
    return read_back_buffer();
  }
  std::vector<uint32_t> draw_layer() {
    area = 0;
    return draw([] { gameobj_func_table.render_gameobj(0.05f); });
  }
  static float quad_area(RenderBatchItem* it) {
    const SpriteVertex* v = (const SpriteVertex*)it->vertices();
    return std::fabs((v[1].x - v[0].x) * (v[2].y - v[1].y));
  }



  // The world point under a back-buffer pixel.
  static void world_of(int px, int py, float& x, float& y) {
    x = CAM_X + (px + 0.5f - d3d_wd * 0.5f) / voxel_scale;
    y = CAM_Y - (py + 0.5f - d3d_ht * 0.5f) / voxel_scale;
  }
  // The lighting of the voxel tile is interpolated a little differently over a crop.
  static bool alike(uint32_t a, uint32_t b) {
    for (int shift : {0, 8, 16})
      if (std::abs(int((a >> shift) & 255) - int((b >> shift) & 255)) > 3)
        return false;
    return true;
  }

  int quads = 0;
  float area = 0;
};

TEST_F(BackgroundPictureTest, PiecesDrawTheWholePictureButNotBehindTheLevel) {
  clear_level();
  gameobj_func_table.add_background(LAYER, PARALLAX, BASE_X, BASE_Y, 250, 0, 0);
  Sprite* s = get_sprite(LAYER, false);
  ASSERT_TRUE(s);

  // Over open air: the same picture as the sprite drawn whole at the layer's place.
  std::vector<uint32_t> pieces = draw_layer();
  float piece_area = area;
  int piece_quads = quads;
  std::vector<uint32_t> whole = draw([&] {
    s->draw(_mm_setr_ps(BASE_X + CAM_X * (1 - PARALLAX) + s->ox, BASE_Y + CAM_Y * (1 - PARALLAX) + s->oy, 250, 1),
            false, false, 0xFFFFFFFF, 0);
  });
  save_picture("background_pieces.png", pieces);
  save_picture("background_whole.png", whole);
  int drawn = 0;
  for (size_t i = 0; i < whole.size(); i++) {
    ASSERT_TRUE(alike(pieces[i], whole[i])) << "pixel " << i % d3d_wd << "," << i / d3d_wd << std::hex << ": "
                                            << pieces[i] << " for " << whole[i];
    drawn += whole[i] != CLEAR;
  }
  EXPECT_GT(drawn, d3d_wd * d3d_ht / 10) << "the skyline is in view";
  EXPECT_GT(piece_quads, 1) << "cut into strips";
  EXPECT_LT(piece_area, 0.8f * s->wd * s->ht) << "the empty sky over the skyline is left out";

  // Every cell of the left half of the view drawn (a wall of the level), but for one
  // tile slot: a window.
  constexpr int wall_x1 = 272;  // a slot's edge
  for (int y = 0; y < 240; y++)
    for (int x = 96; x < wall_x1; x++)
      level_data[y][x].background = 7;
  constexpr int WIN_X = 160, WIN_Y = 64;
  for (int y = WIN_Y; y < WIN_Y + 16; y++)
    for (int x = WIN_X; x < WIN_X + 16; x++)
      level_data[y][x].background = 0;
  gameobj_func_table.reset_background();  // a new level: the slots are looked at anew
  gameobj_func_table.add_background(LAYER, PARALLAX, BASE_X, BASE_Y, 250, 0, 0);
  std::vector<uint32_t> behind = draw_layer();
  save_picture("background_behind_wall.png", behind);
  int in_window = 0;
  for (int py = 0; py < d3d_ht; py++)
    for (int px = 0; px < d3d_wd; px++) {
      float x, y;
      world_of(px, py, x, y);
      size_t i = size_t(py) * d3d_wd + px;
      // Pieces reach up to a picture's pixel (one cell) past the slots they show in.
      bool window = x >= WIN_X + 1 && x < WIN_X + 15 && y >= WIN_Y + 1 && y < WIN_Y + 15;
      bool near_window = x >= WIN_X - 1 && x < WIN_X + 17 && y >= WIN_Y - 1 && y < WIN_Y + 17;
      bool walled = x >= 97 && x < wall_x1 - 1 && y >= 1 && y < 239 && !near_window;
      if (walled)
        ASSERT_EQ(behind[i], CLEAR) << "nothing behind the wall at " << x << "," << y;
      else if (!(x >= 95 && x < wall_x1 + 1))
        ASSERT_TRUE(alike(behind[i], whole[i])) << "beside the wall at " << x << "," << y;
      if (window && whole[i] != CLEAR) {
        ASSERT_TRUE(alike(behind[i], whole[i])) << "through the window at " << x << "," << y;
        in_window++;
      }
    }
  EXPECT_GT(in_window, 50) << "the skyline shows through the window";
  EXPECT_LT(area, piece_area * 0.75f) << "less is drawn behind the wall";
}

}  // namespace
