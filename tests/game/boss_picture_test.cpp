// Boss2's core drawn as a mesh in the level pass, seen through the scene's camera:
// the core stands where the boss stands and its barrel turns towards the hero.
#include <vector>

#include "engine/render/d3d_device.h"
#include "engine/render/d3d_shaders.h"
#include "engine/render/d3d_states.h"
#include "engine/render/d3d_vbuf.h"
#include "engine/render/debug_vis.h"
#include "engine/render/image.h"
#include "engine/shell/scene.h"
#include "engine/world/camera.h"
#include "game_fixture.h"

namespace {

constexpr uint32_t CLEAR = 0xFF102030;

class BossPictureTest : public GameTest {
 protected:
  static void SetUpTestSuite() {
    GameTest::SetUpTestSuite();
    init_debug_vis();
  }

  // The frame as the scene draws the world: its camera on (cx, cy), the mode's
  // level pass with the boss.
  std::vector<uint32_t> draw_boss_frame(float cx, float cy) {
    set_scene_camera(cx, cy);
    EXPECT_TRUE(begin_scene());
    set_backbuffer_target();
    clear_view_color(CLEAR);
    gameobj_func_table.render_boss(0);
    end_scene();
    return read_back_buffer();
  }

  // The pixel of a world point, as the camera on (cx, cy) shows it.
  static uint32_t at(const std::vector<uint32_t>& px, float cx, float cy, float x, float y) {
    int s = voxel_scale;
    int sx = int(d3d_wd / 2 + (x - cx) * s), sy = int(d3d_ht / 2 - (y - cy) * s);
    return px[size_t(sy) * d3d_wd + sx];
  }
  // The core's blue-grey steel, lit or in shade.
  static bool is_steel(uint32_t c) {
    int r = (c >> 16) & 255, g = (c >> 8) & 255, b = c & 255;
    return c != CLEAR && b > r && g > r && b > 40 && b < 200;
  }
};

TEST_F(BossPictureTest, CoreMeshStandsOnTheBossAndAimsItsBarrelAtTheHero) {
  // The hero right of the boss, then left of it.
  for (float side : {1.0f, -1.0f}) {
    ASSERT_TRUE(start_at(100, yard::FLOOR));
    gameobj_func_table.remove_all_enemies();
    gameobj_func_table.delete_gameobj();
    gameobj_func_table.add_enemy(KIND_BOSS2, 300, yard::FLOOR);
    ASSERT_EQ(Boss2_list.size(), 1);
    Boss2* boss = Boss2_list[0];
    step(2);
    gameobj_func_table.reset_hero(boss->x + side * 60, boss->y + 11 + 13 - 7.5f);
    // The core's centre: 13 over the boss's feet.
    float cx = boss->x, cy = boss->y + 13;
    std::vector<uint32_t> px = draw_boss_frame(cx, cy);
    save_picture(side > 0 ? "boss2_aims_right.png" : "boss2_aims_left.png", px);
    EXPECT_EQ(at(px, cx, cy, cx + 60, cy + 40), CLEAR) << "nothing far from the core";
    uint32_t eye = at(px, cx, cy, cx, cy);
    EXPECT_GT((eye >> 16) & 255, 150u) << std::hex << eye << ": the eye glows";
    EXPECT_TRUE(is_steel(at(px, cx, cy, cx - 8, cy - 4))) << std::hex << at(px, cx, cy, cx - 8, cy - 4);
    // The barrel runs from the turret (11 over the centre) towards the hero.
    EXPECT_TRUE(is_steel(at(px, cx, cy, cx + side * 12, cy + 11))) << side;
    EXPECT_EQ(at(px, cx, cy, cx - side * 12, cy + 11), CLEAR) << side;
  }
}

}  // namespace
