// "settings.cfg": reading, the typed accessors and the safe write-back.
#include "engine/core/settings.h"

#include <climits>
#include <sys/stat.h>

#include <string>

#include "engine/core/utils.h"
#include "temp_folder.h"

namespace {

const char HEADER[] = "// Game settings\n_CONFIG_VERSION_=1\n\n";

// A fresh per-user folder for every test; the settings forget what they read.
class SettingsTest : public ::testing::Test {
 protected:
  TempFolder home;
  std::string folder;  // the per-user folder
  std::string file;    // settings.cfg in it

  void SetUp() override {
    setenv("XDG_DATA_HOME", home.path.c_str(), 1);
    folder = home / "TORVANE";
    fs::create_directories(folder);
    file = folder + "/settings.cfg";
    ASSERT_EQ(std::string(get_appdata_folder_path("settings.cfg").c_str()), file);
    close_app_config();
  }
  void TearDown() override { close_app_config(); }

  std::string str(const char* key) {
    char buf[256];
    return get_config_str(key, buf, sizeof(buf)) ? std::string(buf) : std::string("<missing>");
  }
};

TEST_F(SettingsTest, ReadsTheFileFormat) {
  write_file(file, std::string(HEADER) +
                       "screen_wd = 1600  \r\n"
                       "lonely\n"
                       "a b=1\n"
                       "k=\"x\"\n"
                       "dup=first\n"
                       "dup=second\n"
                       "  // comment=1\n"
                       "url=http://x // y\n"
                       "empty=\n"
                       "after=2");
  EXPECT_EQ(str("screen_wd"), "1600");
  EXPECT_EQ(str("lonely"), "<missing>");
  EXPECT_EQ(str("a"), "<missing>");
  EXPECT_EQ(str("b"), "1");
  EXPECT_EQ(str("k"), "\"x\"");
  EXPECT_EQ(str("dup"), "first");
  EXPECT_EQ(str("url"), "http://x // y");
  EXPECT_EQ(str("empty"), "");
  EXPECT_EQ(str("after"), "2");
  EXPECT_EQ(str("_CONFIG_VERSION_"), "<missing>");
  EXPECT_EQ(setting_records.size(), 8);

  // Nothing changed: nothing is written.
  fs::remove(file);
  EXPECT_TRUE(flush_app_config());
  EXPECT_FALSE(fs::exists(file));
}

TEST_F(SettingsTest, FlushBeforeAnyAccessKeepsTheFile) {
  write_file(file, std::string(HEADER) + "screen_wd=1600\n");
  EXPECT_TRUE(flush_app_config());
  EXPECT_EQ(read_file(file), std::string(HEADER) + "screen_wd=1600\n");
  EXPECT_EQ(str("screen_wd"), "1600");
  EXPECT_FALSE(set_config_str(nullptr, "1"));
  EXPECT_EQ(str(nullptr), "<missing>");
}

TEST_F(SettingsTest, TypedGettersKeepDefaultsWhenMissingOrMalformed) {
  write_file(file, std::string(HEADER) + "w=true\nx=0x1\noct=010\nf=1.5e1\nbig=" + std::string(100, '7') + "\nn=  -3\n");
  int i = 42;
  bool b = false;
  float f = 9;
  EXPECT_FALSE(get_config_int("missing", &i));
  EXPECT_FALSE(get_config_bool("w", &b));
  EXPECT_FALSE(get_config_int("big", &i));  // longer than the 64-byte buffer
  EXPECT_FALSE(get_config_float("w", &f));
  EXPECT_EQ(i, 42);
  EXPECT_FALSE(b);
  EXPECT_EQ(f, 9);
  EXPECT_TRUE(get_config_bool("x", &b));
  EXPECT_TRUE(b);
  EXPECT_TRUE(get_config_int("oct", &i));
  EXPECT_EQ(i, 8);
  EXPECT_TRUE(get_config_float("f", &f));
  EXPECT_EQ(f, 15.0f);
  char small[4] = "abc";
  EXPECT_FALSE(get_config_str("oct", small, 3));  // "010" and its NUL need 4 bytes
  EXPECT_STREQ(small, "abc");
  EXPECT_TRUE(get_config_str("oct", small, 4));
  EXPECT_STREQ(small, "010");
}

// An integer setting out of the int range clamps to it instead of wrapping.
TEST_F(SettingsTest, IntegersOutOfRangeClamp) {
  write_file(file, std::string(HEADER) + "up=4294967297\ndown=-4294967297\nhex=0xFFFFFFFF\nedge=2147483647\n");
  struct Case {
    const char* key;
    int value;
  } cases[] = {{"up", INT_MAX}, {"down", INT_MIN}, {"hex", INT_MAX}, {"edge", INT_MAX}};
  for (const Case& c : cases) {
    int v = 0;
    EXPECT_TRUE(get_config_int(c.key, &v)) << c.key;
    EXPECT_EQ(v, c.value) << c.key;
  }
}

TEST_F(SettingsTest, NoFileStartsEmptyAndTheFirstFlushCreatesIt) {
  int v = 5;
  EXPECT_FALSE(get_config_int("screen_wd", &v));
  EXPECT_EQ(v, 5);
  EXPECT_FALSE(fs::exists(file));
  EXPECT_TRUE(flush_app_config());  // unsaved after a failed load: written even without changes
  EXPECT_EQ(read_file(file), HEADER);
}

TEST_F(SettingsTest, SettersFormatAndFlushWritesOnChange) {
  write_file(file, std::string(HEADER) + "dup=1\nk=\nlast=x\ndup=2\n");
  EXPECT_TRUE(set_config_float("half", 0.5f));
  EXPECT_TRUE(set_config_bool("on", true));
  EXPECT_TRUE(set_config_int("dup", -4));
  EXPECT_TRUE(set_config_str("text", "ab", 1));
  EXPECT_TRUE(set_config_str("nothing", nullptr));
  EXPECT_TRUE(flush_app_config());
  EXPECT_EQ(read_file(file), std::string(HEADER) + "dup=-4\nk=\nlast=x\ndup=2\nhalf=0.5\non=1\ntext=a\nnothing=\n");
  EXPECT_FALSE(fs::exists(file + ".tmp"));

  // Setting the value already held still counts as a change, written once.
  EXPECT_TRUE(set_config_int("dup", -4));
  EXPECT_TRUE(set_config_int("dup", -4));
  fs::remove(file);
  EXPECT_TRUE(flush_app_config());
  EXPECT_TRUE(fs::exists(file));
  fs::remove(file);
  EXPECT_TRUE(flush_app_config());
  EXPECT_FALSE(fs::exists(file));

  // What was written reads back.
  close_app_config();
  set_config_int("dup", -4);
  set_config_float("third", 1.0f / 3);
  EXPECT_TRUE(flush_app_config());
  close_app_config();
  int v = 0;
  EXPECT_TRUE(get_config_int("dup", &v));
  EXPECT_EQ(v, -4);
  EXPECT_EQ(str("third"), "0.333333");
}

TEST_F(SettingsTest, RefusesWhatTheFileCouldNotCarry) {
  struct Case {
    const char* key;
    std::string value;
  } refused[] = {
      {"a b", "1"},     {"a\tb", "1"},      {"a=b", "1"},         {"a\nb", "1"},
      {"//c", "1"},     {"_CONFIG_VERSION_", "1"},
      {"k", "1\nb=2"},  {"k", "1\rb=2"},    {" k", "1"},          {"k", " lead"},
      {"k", "trail "},  {"k", "tab\t"},     {"k", std::string("nul\0x", 5)},
  };
  for (const Case& c : refused)
    EXPECT_FALSE(set_config_str(c.key, c.value.data(), (int)c.value.size())) << c.key << "=" << c.value;
  EXPECT_EQ(setting_records.size(), 0);

  // Awkward but carried as they stand.
  struct Carried {
    const char* key;
    const char* value;
  } carried[] = {{"a//b", "x // y"}, {"q", "\"quoted\""}, {"e", "a=b=c"}, {"", "empty key"},
                 {"/k", "{ }"},      {"in", "mid dle"}};
  for (const Carried& c : carried)
    EXPECT_TRUE(set_config_str(c.key, c.value)) << c.key;
  ASSERT_TRUE(flush_app_config());
  close_app_config();
  for (const Carried& c : carried)
    EXPECT_EQ(str(c.key), c.value) << c.key;
  EXPECT_EQ(setting_records.size(), (int)(sizeof(carried) / sizeof(carried[0])));
}

TEST_F(SettingsTest, FailedWriteKeepsTheOldFileAndWaitsForTheNextChange) {
  write_file(file, std::string(HEADER) + "keep=1\n");
  std::string before = read_file(file);
  std::string longValue(4000, 'v');
  ASSERT_TRUE(set_config_str("long", longValue.c_str()));
  {
    FileSizeLimit limit(1024);  // the write fails part way
    EXPECT_FALSE(flush_app_config());
  }
  EXPECT_EQ(read_file(file), before);
  EXPECT_FALSE(fs::exists(file + ".tmp"));

  // The once-a-second flush does not try again on its own.
  EXPECT_TRUE(flush_app_config());
  EXPECT_EQ(read_file(file), before);

  // The next change tries again; the temporary file cannot even be created.
  fs::create_directories(file + ".tmp");
  ASSERT_TRUE(set_config_int("screen_wd", 640));
  EXPECT_FALSE(flush_app_config());
  EXPECT_EQ(read_file(file), before);
  fs::remove(file + ".tmp");
  EXPECT_TRUE(flush_app_config());
  EXPECT_EQ(read_file(file), before);

  // And the one after it writes the whole list.
  ASSERT_TRUE(set_config_int("screen_wd", 800));
  EXPECT_TRUE(flush_app_config());
  EXPECT_EQ(read_file(file), std::string(HEADER) + "keep=1\nlong=" + longValue + "\nscreen_wd=800\n");
}

TEST_F(SettingsTest, UnreadableFileIsNeverOverwritten) {
  // A link that leads nowhere but itself: it exists, yet cannot be read.
  fs::create_symlink("settings.cfg", file);
  int v = 7;
  EXPECT_FALSE(get_config_int("screen_wd", &v));
  EXPECT_TRUE(set_config_int("screen_wd", 1024));
  EXPECT_FALSE(flush_app_config());
  EXPECT_TRUE(fs::is_symlink(fs::symlink_status(file)));
  EXPECT_EQ(fs::read_symlink(file), "settings.cfg");
  EXPECT_FALSE(fs::exists(file + ".tmp"));
}

TEST_F(SettingsTest, FolderInThePlaceOfTheFileIsKept) {
  fs::create_directories(file);
  EXPECT_TRUE(set_config_int("x", 1));
  EXPECT_FALSE(flush_app_config());
  EXPECT_TRUE(fs::is_directory(file));
}

TEST_F(SettingsTest, LinkedFileIsWrittenThroughItsLink) {
  std::string target = home / "elsewhere.cfg";
  write_file(target, std::string(HEADER) + "a=1\n");
  fs::create_symlink(target, file);
  EXPECT_EQ(str("a"), "1");
  set_config_int("b", 2);
  EXPECT_TRUE(flush_app_config());
  EXPECT_TRUE(fs::is_symlink(fs::symlink_status(file)));
  EXPECT_EQ(read_file(target), std::string(HEADER) + "a=1\nb=2\n");
}

}  // namespace
