// The settings read at start-up and the command-line words that override them.
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/core/log.h"
#include "engine/core/settings.h"
#include "engine/core/utils.h"
#include "engine/render/d3d_device.h"
#include "engine/render/d3d_shaders.h"
#include "engine/shell/shell.h"
#include "libs/profiler/profiler.h"
#include "tests/support/test_env.h"

namespace {

void write_settings(const char* body) {
  std::string dir = std::string(getenv("XDG_DATA_HOME")) + "/TORVANE";
  mkdir(dir.c_str(), 0755);
  std::string path = dir + "/settings.cfg";
  if (!body) {
    remove(path.c_str());
  } else {
    FILE* f = fopen(path.c_str(), "wb");
    ASSERT_TRUE(f);
    fprintf(f, "// Game settings\n_CONFIG_VERSION_=1\n\n%s", body);
    fclose(f);
  }
  close_app_config();
}

void load_with(std::vector<const char*> words) {
  std::vector<char*> argv{(char*)"torvane"};
  for (const char* w : words)
    argv.push_back((char*)w);
  argv.push_back(nullptr);
  set_command_line((int)argv.size() - 1, argv.data());
  load_settings();
  set_command_line(0, nullptr);
}

struct Expected {
  int wd, ht;
  bool fullscreen, vsync, aa;
};

void expect_globals(const Expected& e, const std::string& what) {
  EXPECT_EQ(app_screen_wd, e.wd) << what;
  EXPECT_EQ(app_screen_ht, e.ht) << what;
  EXPECT_EQ(fullscreen_setting, e.fullscreen) << what;
  EXPECT_EQ(app_use_vsync, e.vsync) << what;
  EXPECT_EQ(app_use_aa, e.aa) << what;
}

TEST(CommandLine, DefaultsWithoutSettingsFile) {
  write_settings(nullptr);
  use_dev_tools = false;
  d3d_no_scene_target = false;
  load_with({});
  expect_globals({0, 0, true, true, false}, "defaults");
  EXPECT_TRUE(d3d_no_scene_target);
  EXPECT_FALSE(use_dev_tools);
  EXPECT_STREQ(vs_profile, "vs_2_0");
  EXPECT_STREQ(ps_profile, "ps_2_0");
  EXPECT_FALSE(profiler::isEnabled()) << "no -profile, no profiling";
  EXPECT_TRUE(profiler::isThreadRegistered()) << "the main thread is registered all the same";
  EXPECT_STREQ(profiler::registerThread("x"), "Main");
}

TEST(CommandLine, WordTable) {
  write_settings(nullptr);
  struct Case {
    std::vector<const char*> words;
    Expected expected;
  } cases[] = {
      {{"-720"}, {1280, 720, true, true, false}},
      {{"-900"}, {1600, 900, true, true, false}},
      {{"-360"}, {640, 360, true, true, false}},
      {{"-1080"}, {1920, 1080, true, true, false}},
      {{"-720", "-1080"}, {1920, 1080, true, true, false}},
      {{"-win"}, {0, 0, false, true, false}},
      {{"-win", "-fullscr"}, {0, 0, true, true, false}},
      {{"-fullscr", "-win"}, {0, 0, false, true, false}},
      {{"-aa"}, {0, 0, true, true, true}},
      {{"-aa", "-noaa"}, {0, 0, true, true, false}},
      {{"-novs"}, {0, 0, true, false, false}},
      {{"-novs", "-vs"}, {0, 0, true, true, false}},
      // Whole words, case-sensitive; anything else is ignored.
      {{"-WIN", "-Aa", "-7200", "720", "--win", "-win ", "x-720", ""}, {0, 0, true, true, false}},
  };
  for (const Case& c : cases) {
    std::string what;
    for (const char* w : c.words)
      what += std::string("'") + w + "' ";
    load_with(c.words);
    expect_globals(c.expected, what);
  }
}

TEST(CommandLine, SettingsFileAndWordsOverridingIt) {
  write_settings("screen_wd=1024\nscreen_ht=600\nfullscreen=0\nvsync=0\ndevkeys=1\n");
  use_dev_tools = false;
  load_with({});
  expect_globals({1024, 600, false, false, false}, "file only");
  EXPECT_TRUE(use_dev_tools);
  load_with({"-900", "-fullscr", "-vs"});
  expect_globals({1600, 900, true, true, false}, "words override the file");

  // Settings without "fullscreen" or "vsync" keep the defaults; an unreadable number
  // leaves the default too.
  write_settings("screen_wd=abc\n");
  use_dev_tools = false;
  load_with({});
  expect_globals({0, 0, true, true, false}, "missing keys");
  write_settings(nullptr);
}

TEST(CommandLine, ProfileWordStartsProfilerAndListener) {
  test_env::ProfilerPortLock port_lock;
  write_settings(nullptr);
  load_with({"-profile"});
  EXPECT_TRUE(profiler::isEnabled());
  EXPECT_TRUE(profiler::isListening());
  profiler::stopListen();
  profiler::setEnabled(false);
}

}  // namespace
