// The tile library: file naming, layer derivation, mirror twins, the fatal messages for
// broken tile data, tile sets, and the game's own tiles.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <fstream>

#include "engine/core/config.h"
#include "engine/core/watch.h"
#include "engine/gen/level_tiles.h"
#include "engine/shared/palette.h"
#include "gen_test_util.h"
#include "tests/support/stand_in_module.h"

namespace {

constexpr uint32_t WHITE = 0xFFFFFFFFu, BLACK = 0xFF000000u, CLEAR = 0;

struct GenTiles : ::testing::Test {
  TempDir dir;
  void SetUp() override {
    install_stand_in_module(STAND_IN_LEVEL);
    free_level_tiles();
    mkdir(dir.file("tiles").c_str(), 0755);
  }
  void TearDown() override {
    free_level_tiles();
    unmount_all();
  }
  void png(const std::string& rel, int w, int h, const std::vector<uint32_t>& px) {
    write_test_png(dir.file("tiles/" + rel), w, h, px);
  }
  void text(const std::string& rel, const std::string& body) { std::ofstream(dir.file("tiles/" + rel)) << body; }
  void subdir(const std::string& rel) { mkdir(dir.file("tiles/" + rel).c_str(), 0755); }
  void scan() {
    mount_only(dir.path);
    scan_tile_dir("");
  }
  // Loads and completes without binding the game's tile sets, which the fixtures lack.
  void load() {
    scan();
    complete_level_tiles();
  }
};

TEST_F(GenTiles, CollisionAloneGivesForegroundAndBackground) {
  png("wall0_c.png", 3, 3, std::vector<uint32_t>(9, WHITE));
  png("small_c.png", 2, 2, std::vector<uint32_t>(4, WHITE));
  png("mixed_c.png", 3, 1, {0xFFFF0000u, BLACK, 0xFF0000FFu});
  load();
  LevelGenTile* t = find_level_tile("wall0");
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->dx, 0);
  EXPECT_EQ(t->dy, 0);
  ASSERT_NE(t->config, nullptr);
  EXPECT_EQ(t->config->entries.size(), 0);
  for (int i = 0; i < 9; i++)
    EXPECT_EQ(t->foreground[i], i == 4 ? 20 : 21) << i;
  // Background: the foreground colour halved, matched back to the palette.
  uint32_t c = main_palette[21];
  EXPECT_EQ(t->background[0], PACK_COLOR((c & 0xFF000000u) | ((c >> 1) & 0x7F7F7F)));
  for (int i = 0; i < 4; i++)
    EXPECT_EQ(find_level_tile("small")->foreground[i], 21);
  LevelGenTile* m = find_level_tile("mixed");
  EXPECT_EQ(m->foreground[0], 8);
  EXPECT_EQ(m->foreground[1], 0);
  EXPECT_EQ(m->foreground[2], 6);
  EXPECT_EQ(m->background[1], 0);
}

TEST_F(GenTiles, ForegroundAloneGivesCollisionOfCollType) {
  png("f_f.png", 2, 1, {WHITE, CLEAR});
  png("g_f.png", 1, 1, {WHITE});
  text("g.cfg", "collType=263\ndx=4\nflipped=f\n");
  png("bg_b.png", 1, 1, {WHITE});
  load();
  EXPECT_EQ(find_level_tile("f")->collision[0], 1);
  EXPECT_EQ(find_level_tile("f")->collision[1], 0);
  LevelGenTile* g = find_level_tile("g");
  EXPECT_EQ(g->collision[0], 263 & 0xFF);
  EXPECT_EQ(g->dx, 4);
  EXPECT_EQ(g->flipped, find_level_tile("f"));
  LevelGenTile* bg = find_level_tile("bg");
  EXPECT_EQ(bg->foreground, nullptr);
  EXPECT_EQ(bg->collision, nullptr);
}

TEST_F(GenTiles, NamesComeFromFolderAndFileAndDotFoldersAreSkipped) {
  subdir("sub");
  subdir("sub/deep");
  subdir(".hidden");
  png("sub/deep/pipe_f.png", 1, 1, {WHITE});
  png(".hidden/ghost_f.png", 1, 1, {WHITE});
  png(".dotfile_b.png", 1, 1, {WHITE});
  png("odd_x.png", 1, 1, {WHITE});     // unknown layer letter: ignored
  png("upper_B.png", 1, 1, {WHITE});   // upper-case letter: background
  text("readme.txt", "not a tile");
  scan();
  EXPECT_NE(find_level_tile("sub/deep/pipe"), nullptr);
  EXPECT_EQ(find_level_tile("ghost"), nullptr);
  EXPECT_EQ(find_level_tile(".hidden/ghost"), nullptr);
  EXPECT_NE(find_level_tile(".dotfile"), nullptr);
  EXPECT_EQ(find_level_tile("odd"), nullptr);
  ASSERT_NE(find_level_tile("upper"), nullptr);
  EXPECT_NE(find_level_tile("upper")->background, nullptr);
  EXPECT_EQ(level_tiles.size(), 3);
}

TEST_F(GenTiles, CollisionPixelsGiveClasses) {
  std::vector<uint32_t> px = {0x7FFFFFFFu, 0x80C86400u, 0xFF808000u, BLACK,
                              WHITE,       0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu,
                              0xFF00FFFFu, 0xFFFF00FFu, 0xFFFFFF00u, CLEAR};
  png("k_c.png", 12, 1, px);
  scan();
  const uint8_t expected[12] = {0, 7, 3, 0, 2, 7, 6, 3, 3, 3, 3, 0};
  LevelGenTile* t = find_level_tile("k");
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(0, memcmp(t->collision, expected, 12));
}

TEST_F(GenTiles, ConfigBeforeImageAttachesAndSizes) {
  text("a.cfg", "dx=3\ndy=-2\n");
  png("a_b.png", 2, 1, {WHITE, WHITE});
  scan();
  LevelGenTile* t = find_level_tile("a");
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->width, 2);
  EXPECT_EQ(t->height, 1);
  EXPECT_NE(t->config, nullptr);
}

struct GenTilesDeath : GenTiles {};

TEST_F(GenTilesDeath, BrokenTileDataIsFatalWithTheFileName) {
  struct Case {
    std::function<void(GenTilesDeath&)> make;
    const char* message;
  } cases[] = {
      {[](GenTilesDeath& d) {
         d.png("x_b.png", 16, 16, std::vector<uint32_t>(256, WHITE));
         d.png("x_f.png", 16, 17, std::vector<uint32_t>(272, WHITE));
       },
       "Expected 16x16 tile image x_f.png, got 16x17"},
      {[](GenTilesDeath& d) {
         d.png("x_b.png", 1, 1, {WHITE});
         d.png("x_B.png", 1, 1, {WHITE});
       },
       "Duplicate background tile image x_"},
      {[](GenTilesDeath& d) {
         d.png("y_c.png", 1, 1, {WHITE});
         d.png("y_C.png", 1, 1, {WHITE});
       },
       "Duplicate tile collision map y_"},
      {[](GenTilesDeath& d) {
         d.text("z.cfg", "a=1\n");
         d.text("z.CFG", "a=1\n");
       },
       "Duplicate tile config z."},
      {[](GenTilesDeath& d) { d.text("bad_f.png", "not a png"); }, "Error loading tile image bad_f.png"},
      {[](GenTilesDeath& d) { d.text("deep.cfg", std::string(100, '{') + "\n"); }, "Error loading tile config deep.cfg"},
  };
  for (Case& c : cases) {
    TempDir fresh;
    dir.path.swap(fresh.path);
    mkdir(dir.file("tiles").c_str(), 0755);
    c.make(*this);
    EXPECT_EXIT(scan(), ::testing::ExitedWithCode(100), c.message);
    dir.path.swap(fresh.path);
  }
}

TEST_F(GenTilesDeath, MissingTwinAndMissingSetMemberAreFatal) {
  text("wall0.cfg", "flipped=nothing\n");
  png("wall0_f.png", 1, 1, {WHITE});
  mount_only(dir.path);
  EXPECT_EXIT(load_level_tiles(), ::testing::ExitedWithCode(100),
              "can't find flipped level tile 'nothing' \\(for wall0\\)");
  TempDir other;
  mkdir((other.path + "/tiles").c_str(), 0755);
  write_test_png(other.path + "/tiles/wall0_f.png", 1, 1, {WHITE});
  free_level_tiles();
  mount_only(other.path);
  EXPECT_EXIT(load_level_tiles(), ::testing::ExitedWithCode(100), "can't find level tile 'wall1'");
  EXPECT_EXIT(load_level_tile("nope"), ::testing::ExitedWithCode(100), "can't find level tile 'nope'");
  EXPECT_EXIT(grid_from_tile("nope"), ::testing::ExitedWithCode(100), "can't find level tile 'nope'");
}

TEST_F(GenTilesDeath, OverlongTilePathIsFatalNotCut) {
  std::string folder(120, 'a');
  subdir(folder);
  subdir(folder + "/" + folder);
  png(folder + "/" + folder + "/" + std::string(30, 'b') + "_f.png", 1, 1, {WHITE});
  EXPECT_EXIT(scan(), ::testing::ExitedWithCode(100), "tile path too long: tiles/aaaa");
}

// The game's own tiles: every bound name loads, layers are derived where missing,
// and the mirror twins point both ways.
struct GenGameTiles : ::testing::Test {
  void SetUp() override { use_game_tiles(); }
};

TEST_F(GenGameTiles, EveryBoundTileIsThereWithItsSets) {
  EXPECT_EQ(num_bound_tile_names, 83);
  EXPECT_EQ(level_tiles.size(), 83);
  struct Case {
    int set, count;
    const char* first;
  } cases[] = {{TS_WALL, 4, "wall0"},       {TS_MACH, 7, "mach1"},   {TS_BACK73, 73, "back0"},
               {TS_Z2FLOOR, 4, "z2floor0"}, {TS_PIPE_V, 2, "pipeV0"}, {TS_BACK7, 7, "back0"},
               {TS_WELLBG, 7, "wellbg0"},   {TS_EXIT, 1, "exit"},    {TS_WINDOW_RB, 1, "windowRB"}};
  for (const Case& c : cases) {
    EXPECT_EQ(tile_sets[c.set].count, c.count) << tile_set_names[c.set];
    EXPECT_STREQ(tile_sets[c.set].tiles[0]->name, c.first);
  }
  EXPECT_STREQ(tile_sets[TS_BACK73].tiles[9]->name, "back0");
  EXPECT_STREQ(tile_sets[TS_BACK73].tiles[10]->name, "back1");
  EXPECT_STREQ(tile_sets[TS_BACK73].tiles[72]->name, "backS3");
}

TEST_F(GenGameTiles, LayersAreDerivedAndSolidsMatchTheirRole) {
  for (LevelGenTile* t : level_tiles) {
    ASSERT_GT(t->width, 0) << t->name;
    ASSERT_NE(t->config, nullptr) << t->name;
    bool solid = false;
    if (t->collision)
      for (int i = 0; i < t->width * t->height; i++)
        solid = solid || t->collision[i];
    bool want_solid = !strncmp(t->name, "wall", 4) || !strncmp(t->name, "z2wall", 6) ||
                      !strncmp(t->name, "mach", 4) || !strncmp(t->name, "lift", 4) ||
                      !strncmp(t->name, "hfloor", 6) || !strncmp(t->name, "plat", 4) ||
                      strstr(t->name, "stair") || !strcmp(t->name, "exit");
    EXPECT_EQ(solid, want_solid) << t->name;
    if (t->foreground) {
      EXPECT_NE(t->background, nullptr) << t->name;  // derived from the foreground
    }
  }
  // Lifts and the exit hold lift cells (class 3).
  EXPECT_EQ(load_level_tile("liftU")->collision[0], 3);
  EXPECT_EQ(load_level_tile("exit")->collision[8 * 16 + 8], 3);
  // Floor coverings sit on top of the slot below, as decoration.
  EXPECT_EQ(load_level_tile("floor0")->dy, 16);
  EXPECT_EQ(load_level_tile("floor0")->height, 2);
  EXPECT_EQ(load_level_tile("z2floor3")->collision[0], 0);
}

TEST_F(GenGameTiles, MirrorTwinsPointBothWaysAndAreMirrorImages) {
  const char* pairs[][2] = {{"stairR", "stairL"}, {"z2stairR", "z2stairL"}, {"mach3", "mach4"},
                            {"windowTL", "windowTR"}, {"pipeLB", "pipeRB"}};
  for (const auto& p : pairs) {
    LevelGenTile* a = load_level_tile(p[0]);
    LevelGenTile* b = load_level_tile(p[1]);
    EXPECT_EQ(a->flipped, b) << p[0];
    EXPECT_EQ(b->flipped, a) << p[1];
    const uint8_t* la = a->foreground ? a->foreground : a->background;
    const uint8_t* lb = b->foreground ? b->foreground : b->background;
    for (int r = 0; r < a->height; r++)
      for (int c = 0; c < a->width; c++)
        ASSERT_EQ(la[r * a->width + c], lb[r * a->width + a->width - 1 - c]) << p[0];
  }
  EXPECT_EQ(load_level_tile("wall0")->flipped, nullptr);
}

TEST_F(GenGameTiles, ReloadOnlyWhenTheTileFolderChanged) {
  clear_changed_files();
  clear_module_calls();
  LevelGenTile* before = load_level_tile("wall0");
  reload_tiles();
  EXPECT_TRUE(module_calls.empty());
  EXPECT_EQ(load_level_tile("wall0"), before);
  String changed((repo_data_dir() + "/tiles/wall0_f.png").c_str());
  changed_files.push(&changed);
  reload_tiles();
  ASSERT_EQ(module_calls.size(), 1u);
  EXPECT_EQ(module_calls[0].kind, ModuleCallKind::ReloadBossParts);
  EXPECT_EQ(level_tiles.size(), 83);
  EXPECT_EQ(tile_sets[TS_WALL].tiles[0], load_level_tile("wall0"));
  clear_changed_files();
}

TEST_F(GenGameTiles, GridIsAStandaloneCopy) {
  LevelGrid* g = grid_from_tile("liftU");
  LevelGenTile* t = load_level_tile("liftU");
  EXPECT_EQ(g->width, t->width);
  EXPECT_EQ(g->cells[5].foreground, t->foreground[5]);
  EXPECT_EQ(g->cells[5].collision, 3);
  EXPECT_NE(g->config, t->config);
  g->~LevelGrid();
  dlfree(g);
}

}  // namespace
