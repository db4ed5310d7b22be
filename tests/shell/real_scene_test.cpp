// The real scene, headless, with our module loaded from the game's folder: start-up
// ends in the real title mode with the module's title screen open; Print Screen takes
// one shot of it; Return starts a game whose frames show the level.
#include <gtest/gtest.h>
#include <physfs.h>

#include <set>
#include <string>

#include "engine/gui/gui_screen.h"
#include "engine/render/d3d_device.h"
#include "engine/render/image.h"
#include "engine/shell/modes/game_flow.h"
#include "engine/shell/modes/game_mode.h"
#include "engine/shell/scene.h"
#include "engine/shell/window.h"
#include "tests/support/game_window.h"
#include "support/real_scene.h"

namespace {

constexpr int W = 1280, H = 720;

class RealSceneTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { started = start_real_scene(std::string(TORVANE_TEST_BIN_DIR) + "/", "", W, H, true); }
  static void TearDownTestSuite() {
    if (started)
      close_real_scene();
  }
  void SetUp() override {
    if (!started)
      GTEST_SKIP() << "the scene could not be started";
  }

  // One update of the main loop and one frame after it.
  void step() {
    game_window::pump();
    isAppActive = true;
    start_scene_update(0.05f);
    game_window::end_update();
    ASSERT_TRUE(render_d3d(0.025f));
    present_frame(true);
  }
  void press(int key) {
    game_window::post_key(key, true);
    step();
    game_window::post_key(key, false);
    step();
  }

  // The shots taken so far, by name.
  static std::set<std::string> shots() {
    std::set<std::string> names;
    char** list = PHYSFS_enumerateFiles("shots");
    for (char** n = list; n && *n; n++)
      names.insert(*n);
    PHYSFS_freeList(list);
    return names;
  }

  // Takes a shot with Print Screen; its pixels, top row first. Shot names count whole
  // seconds, so two shots within one second share a name: earlier shots are removed
  // first, and the release must leave exactly one.
  std::vector<uint32_t> screenshot(int* w, int* h) {
    for (const std::string& name : shots())
      PHYSFS_delete(("shots/" + name).c_str());
    press(VK_SNAPSHOT);
    std::set<std::string> after = shots();
    std::vector<uint32_t> out;
    EXPECT_EQ(after.size(), 1u) << "one shot per release";
    for (const std::string& name : after) {
      DynArray<uint32_t> pixels;
      EXPECT_TRUE(load_png(("shots/" + name).c_str(), w, h, pixels)) << name;
      for (int y = *h - 1; y >= 0; y--)
        out.insert(out.end(), pixels.begin() + y * *w, pixels.begin() + (y + 1) * *w);
      last_shot = real_scene_home() + "/TORVANE/shots/" + name;
    }
    return out;
  }

  // The colours of a rectangle of the picture.
  static std::set<uint32_t> colours(const std::vector<uint32_t>& p, int w, int x0, int y0, int x1, int y1) {
    std::set<uint32_t> out;
    for (int y = y0; y < y1; y++)
      for (int x = x0; x < x1; x++)
        out.insert(p[y * w + x] & 0xFFFFFF);
    return out;
  }

  static bool started;
  std::string last_shot;
};
bool RealSceneTest::started = false;

TEST_F(RealSceneTest, TitleScreenThenANewGame) {
  // Start-up ends in the title mode with the module's main menu open.
  EXPECT_EQ(cur_game_mode, title_mode);
  EXPECT_NE(cur_game_screen, nullptr);
  EXPECT_EQ(cur_level, 1);
  for (int i = 0; i < 10; i++)
    step();
  EXPECT_EQ(cur_game_mode, title_mode);

  int w = 0, h = 0;
  std::vector<uint32_t> title = screenshot(&w, &h);
  ASSERT_EQ(w, W);
  ASSERT_EQ(h, H);
  ASSERT_EQ(title.size(), (size_t)W * H);
  // No world was drawn before the title: its edges are empty, its middle holds the
  // menu (panels, text, icons).
  EXPECT_EQ(colours(title, w, 0, 0, 200, 100).size(), 1u) << last_shot;
  EXPECT_GT(colours(title, w, W / 2 - 200, H / 2 - 100, W / 2 + 200, H / 2 + 100).size(), 16u) << last_shot;
  printf("title screenshot: %s\n", last_shot.c_str());

  // Return chooses the first item: a new game.
  press(VK_RETURN);
  for (int i = 0; i < 5; i++)
    step();
  EXPECT_EQ(cur_game_mode, play_mode);
  EXPECT_GT(level_play_time, 0.0);
  std::vector<uint32_t> play = screenshot(&w, &h);
  ASSERT_EQ(play.size(), (size_t)W * H);
  EXPECT_GT(colours(play, w, 0, 0, W, H).size(), 64u) << "the level is drawn: " << last_shot;
  EXPECT_NE(colours(play, w, 0, 0, 200, 100).size(), 1u) << last_shot;
  printf("play screenshot: %s\n", last_shot.c_str());
}

}  // namespace
