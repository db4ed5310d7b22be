// The game's pictures: every sprite the module and the level composition name is in
// the atlas, as the game loads it (through the game folder's links to data/).
#include <dirent.h>
#include <physfs.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "engine/render/sprite.h"
#include "game_fixture.h"

namespace {

// Sprite names in the string literals of the sources of a folder.
std::set<std::string> sprite_names_in(const std::string& dir, const std::regex& pattern) {
  std::set<std::string> names;
  DIR* d = opendir(dir.c_str());
  if (!d)
    return names;
  while (dirent* e = readdir(d)) {
    std::string file = e->d_name;
    if (file.size() < 5 || file.substr(file.size() - 4) != ".cpp")
      continue;
    std::ifstream in(dir + "/" + file);
    std::stringstream text;
    text << in.rdbuf();
    std::string s = text.str();
    for (std::sregex_iterator it(s.begin(), s.end(), pattern), end; it != end; ++it)
      names.insert((*it)[1]);
  }
  closedir(d);
  return names;
}

class SpritesTest : public GameTest {
 protected:
  std::string data = std::string(TORVANE_TEST_SOURCE_DIR) + "/data/";
  std::string bin = std::string(TORVANE_TEST_BIN_DIR) + "/";

  // The game's folder in place of data/: sprites/ is a link to data/sprites.
  void SetUp() override {
    GameTest::SetUp();
    ASSERT_TRUE(PHYSFS_unmount(data.c_str()));
    ASSERT_TRUE(PHYSFS_mount(bin.c_str(), nullptr, 1));
    init_sprites();
  }
  void TearDown() override {
    close_sprites();
    PHYSFS_unmount(bin.c_str());
    PHYSFS_mount(data.c_str(), nullptr, 1);
    GameTest::TearDown();
  }
};

TEST_F(SpritesTest, EverySpriteTheGameNamesIsInTheAtlas) {
  std::regex module_names("\"((hero|weapon|bullet|fx|enemy|boss1|boss2|bonus|lift|ui)/[a-z0-9_]+)\"");
  std::set<std::string> names = sprite_names_in(std::string(TORVANE_TEST_SOURCE_DIR) + "/gameobj", module_names);
  EXPECT_GT(names.size(), 30u);
  std::set<std::string> layers = sprite_names_in(std::string(TORVANE_TEST_SOURCE_DIR) + "/engine/gen",
                                                 std::regex("\"(bg[12]/[a-z0-9_]+)\""));
  EXPECT_GE(layers.size(), 20u);
  names.insert(layers.begin(), layers.end());
  for (const std::string& name : names) {
    Sprite* s = get_sprite(name.c_str(), false);
    ASSERT_TRUE(s) << name << " is missing";
    EXPECT_GT(s->wd, 0) << name;
    EXPECT_GT(s->ht, 0) << name;
  }
}

TEST_F(SpritesTest, AnimationsAreCutIntoTheirFrames) {
  struct Strip {
    const char* name;
    int frames;
    int width;
  } strips[] = {{"hero/run", 6, 16}, {"hero/idle", 2, 16}, {"fx/explosion", 8, 16}, {"fx/explosion_big", 8, 32},
                {"enemy/hwheels", 2, 14}, {"bullet/plasma", 2, 9}};
  for (const Strip& strip : strips) {
    Sprite* s = get_sprite(strip.name, false);
    ASSERT_TRUE(s) << strip.name;
    ASSERT_EQ(s->frames.size(), strip.frames) << strip.name;
    for (Sprite* f : s->frames) {
      EXPECT_EQ(f->wd, strip.width) << strip.name;
      EXPECT_EQ(f->anim, s);
    }
  }
  // The hero stands on its pivot: the feet's centre.
  Sprite* idle = get_sprite("hero/idle0000", false);
  ASSERT_TRUE(idle);
  EXPECT_EQ(idle->ox, 8);
  EXPECT_EQ(idle->oy, 0);
}

}  // namespace
