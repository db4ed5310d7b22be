// The shipped sound set: every event of the game has an entry in sound.nut's
// `events` table, and every file the script names is there and decodes.
#include <physfs.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "audio_fixture.h"
#include "engine/audio/sound_events.h"
#include "engine/audio/sound_files.h"

static std::string data_folder() {
  const char* source = getenv("TORVANE_SOURCE_DIR");
  return std::string(source ? source : "../..") + "/data";
}

static std::string read_script() {
  std::ifstream in(data_folder() + "/sound/sound.nut");
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(SoundData, EventsTableNamesEveryEventOnce) {
  std::string script = read_script();
  ASSERT_FALSE(script.empty());
  size_t table = script.find("events <- {");
  ASSERT_NE(table, std::string::npos);
  std::string body = script.substr(table);
  std::regex entry(R"(\n  (\w+) = )");
  std::multiset<std::string> keys;
  for (std::sregex_iterator it(body.begin(), body.end(), entry), end; it != end; ++it)
    keys.insert((*it)[1]);
  std::multiset<std::string> expected;
  for (int id = 0; id < NUM_SOUND_EVENTS; id++)
    if (sound_event_name[id])
      expected.insert(sound_event_name[id]);
  EXPECT_EQ(keys, expected);
}

TEST_F(AudioTest, EveryFileTheScriptNamesLoadsAndNoFileIsUnused) {
  ASSERT_NE(PHYSFS_mount(data_folder().c_str(), nullptr, 1), 0);
  std::string script = read_script();
  std::set<std::string> named;
  std::regex sampleCall(R"rx(sample\("(\w+)")rx");
  for (std::sregex_iterator it(script.begin(), script.end(), sampleCall), end; it != end; ++it) {
    std::string name = (*it)[1];
    named.insert(name + ".ogg");
    EXPECT_NE(load_sample(("sound/sfx/" + name + ".ogg").c_str(), 1.0f), 0) << name;
  }
  EXPECT_NE(load_music("sound/music/theme.ogg", 0.0f), 0);
  EXPECT_EQ(missing_sound_files, 0);

  std::set<std::string> files;
  for (auto& entry : std::filesystem::directory_iterator(data_folder() + "/sound/sfx"))
    files.insert(entry.path().filename().string());
  EXPECT_EQ(files, named);
}
