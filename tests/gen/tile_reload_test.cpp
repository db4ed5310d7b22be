// A tile reload that meets a broken tile: shown and logged, and the tiles in use stay
// (the records, the sets and what the module holds); once the file is mended the next
// reload takes the new tiles. At start-up the same files stay fatal (tiles_test.cpp).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "engine/core/watch.h"
#include "engine/gen/level_tiles.h"
#include "engine/gui/visual_log.h"
#include "gen_test_util.h"
#include "tests/support/error_shown.h"
#include "tests/support/stand_in_module.h"

namespace {

constexpr uint32_t WHITE = 0xFFFFFFFFu;

struct TileReload : ::testing::Test {
  TempDir dir;

  void SetUp() override {
    install_stand_in_module(STAND_IN_LEVEL);
    free_level_tiles();
    std::filesystem::copy(repo_data_dir() + "/tiles", dir.file("tiles"), std::filesystem::copy_options::recursive);
    mount_only(dir.path);
    load_level_tiles();
    set_error_message(nullptr);
    clear_changed_files();
    clear_module_calls();
  }
  void TearDown() override {
    free_level_tiles();
    unmount_all();
    set_error_message(nullptr);
    clear_changed_files();
    // Other tests of the program load the game's own tiles again.
    use_game_tiles_again();
  }
  static void use_game_tiles_again() {
    free_level_tiles();
    use_game_tiles();
  }

  std::string path(const std::string& rel) { return dir.file("tiles/" + rel); }
  void write(const std::string& rel, const std::string& body) { std::ofstream(path(rel), std::ios::binary) << body; }
  // A change under tiles/ as the watcher reports it, then the periodic reload.
  void reload_after_change(const std::string& rel) {
    String changed(path(rel).c_str());
    changed_files.push(&changed);
    reload_tiles();
    clear_changed_files();
  }
};

TEST_F(TileReload, BrokenTileKeepsTheTilesInUseUntilItIsMended) {
  struct Case {
    const char* name;
    std::function<void(TileReload&)> breakIt;
    const char* file;  // the file the case breaks, mended afterwards
    const char* message;
  } cases[] = {
      {"unreadable image", [](TileReload& t) { t.write("wall0_f.png", "not a png"); }, "wall0_f.png",
       "Error loading tile image wall0_f.png"},
      {"image of another size",
       [](TileReload& t) { write_test_png(t.path("mach1_f.png"), 3, 5, std::vector<uint32_t>(15, WHITE)); },
       "mach1_f.png", "Expected 16x16 tile image mach1_f.png, got 3x5"},
      {"unreadable description", [](TileReload& t) { t.write("floor0.cfg", std::string(100, '{') + "\n"); },
       "floor0.cfg", "Error loading tile config floor0.cfg"},
      {"missing twin", [](TileReload& t) { t.write("stairR.cfg", "flipped=nothing\n"); }, "stairR.cfg",
       "can't find flipped level tile 'nothing' (for stairR)"},
      {"set member gone", [](TileReload& t) { std::filesystem::remove(t.path("exit_f.png")), std::filesystem::remove(t.path("exit_c.png")); },
       "exit_f.png", "can't find level tile 'exit'"},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string original;
    {
      std::ifstream in(path(c.file), std::ios::binary);
      original.assign(std::istreambuf_iterator<char>(in), {});
    }
    std::string sibling = std::string(c.file) == "exit_f.png" ? "exit_c.png" : "";
    std::string sibling_original;
    if (!sibling.empty()) {
      std::ifstream in(path(sibling), std::ios::binary);
      sibling_original.assign(std::istreambuf_iterator<char>(in), {});
    }
    std::vector<LevelGenTile*> before(level_tiles.begin(), level_tiles.end());
    LevelGenTile* wall = load_level_tile("wall0");
    LevelGenTile* exit = tile_sets[TS_EXIT].tiles[0];
    uint8_t wall_cell = wall->foreground[0];

    c.breakIt(*this);
    reload_after_change(c.file);
    EXPECT_NE(error_shown().find(c.message), std::string::npos) << error_shown();
    EXPECT_EQ(std::vector<LevelGenTile*>(level_tiles.begin(), level_tiles.end()), before) << "the same records";
    EXPECT_EQ(load_level_tile("wall0"), wall);
    EXPECT_EQ(wall->foreground[0], wall_cell);
    EXPECT_EQ(tile_sets[TS_EXIT].count, 1);
    EXPECT_EQ(tile_sets[TS_EXIT].tiles[0], exit);
    EXPECT_EQ(tile_sets[TS_WALL].tiles[0], wall);
    EXPECT_TRUE(module_calls.empty()) << "the module keeps its tiles";

    // Mended: the next change reloads everything, and the module hears of it.
    write(c.file, original);
    if (!sibling.empty())
      write(sibling, sibling_original);
    set_error_message(nullptr);
    reload_after_change(c.file);
    EXPECT_FALSE(has_error_message()) << error_shown();
    EXPECT_EQ(level_tiles.size(), 83);
    EXPECT_NE(load_level_tile("wall0"), wall) << "new records";
    EXPECT_EQ(tile_sets[TS_WALL].tiles[0], load_level_tile("wall0"));
    ASSERT_EQ(module_calls.size(), 1u);
    EXPECT_EQ(module_calls[0].kind, ModuleCallKind::ReloadBossParts);
    clear_module_calls();
  }
}

// The log names the broken file too.
TEST_F(TileReload, FailedReloadIsLogged) {
  testing::internal::CaptureStdout();
  write("wall1_f.png", "");
  reload_after_change("wall1_f.png");
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("Error loading tile image wall1_f.png"), std::string::npos) << out;
}

}  // namespace
