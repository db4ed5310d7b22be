// A font or icon file the game cannot use, in place before the game starts: the title
// screen comes up without it, and the file and the reason stand in the log and on the
// screen. Each case runs the game in a folder of its own.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "engine/gui/visual_log.h"
#include "engine/shell/modes/game_mode.h"
#include "support/game_run.h"
#include "support/screens.h"

using namespace play;
namespace fs = std::filesystem;

namespace {

// Pixels of the error banner's yellow text in the middle of the screen's top.
int banner_ink(const Picture& p) {
  Rect top{float(p.width / 4), 0, float(p.width * 3 / 4), float(p.height / 6)};
  return count_colour(p, top, 0xFFEE00, 40);
}

}  // namespace

// The title screen, shown long enough for its interface to have been drawn.
TEST(FontFaultsChild, Title) {
  GAME_CHILD_ONLY();
  const char* logged = getenv("TORVANE_EXPECTED_ERROR");
  ASSERT_TRUE(logged);
  // On the screen the reason stands on a line of its own.
  std::string shown = logged;
  shown.replace(shown.find(": "), 2, "\n");
  Picture shot;
  bool done = false;
  run_entry({"-fullscr", "-360"}, 1, [&](int step) {
    if (step == 10) {
      EXPECT_EQ(cur_game_mode, title_mode);
      ASSERT_TRUE(has_error_message());
      EXPECT_NE(std::string(error_message_text.data).find(shown), std::string::npos) << error_message_text.data;
      request_screenshot();
    }
    if (step > 10 && !done && read_screenshot(shot)) {
      keep_picture(shot, std::string("font_fault_") + getenv("TORVANE_FAULT_NAME"));
      EXPECT_GT(banner_ink(shot), 200) << "the error on screen: " << shot.path;
      done = true;
    }
    if (done || step > 100)
      quit();
  });
  EXPECT_TRUE(done) << "no screenshot";
}

TEST(FontFaults, FileAndReasonAreLoggedAndShown) {
  struct File {
    const char* kind;         // as the message names it
    const char* path;         // under the game's folder
    const char* unreadable;   // the reason when the contents are at fault
  } files[] = {
      {"font", "fonts/regular.fnt", "not a font description, or its page texture is missing"},
      {"icons", "fonts/icons.txt", "not an icon description, or its page texture is missing"},
  };
  struct Fault {
    const char* name;
    std::function<void(const fs::path& path)> breaks;
    const char* reason;  // null: the file's own for contents at fault
  } faults[] = {
      {"random",
       [](const fs::path& p) {
         std::string junk;
         for (int i = 0; i < 3000; i++) junk += char(i * 7919 % 253);
         std::ofstream(p, std::ios::binary | std::ios::trunc) << junk;
       },
       nullptr},
      {"empty", [](const fs::path& p) { std::ofstream(p, std::ios::trunc); }, "the file is empty"},
      {"folder",
       [](const fs::path& p) {
         fs::remove(p);
         fs::create_directory(p);
       },
       "a folder stands in its place"},
      {"loop",
       [](const fs::path& p) {
         fs::remove(p);
         fs::create_symlink(p.filename(), p);
       },
       "infinite symbolic link loop"},
  };
  for (const File& file : files)
    for (const Fault& fault : faults) {
      std::string name = std::string(file.kind) + "_" + fault.name;
      std::string expected = std::string("Error loading ") + file.kind + " " + file.path + ": " +
                             (fault.reason ? fault.reason : file.unreadable);
      GameFolder folder = make_game_folder("font_fault_" + name);
      fault.breaks(folder.bin + file.path);
      GameResult r = run_game(folder, "FontFaultsChild.Title", {},
                              {"TORVANE_EXPECTED_ERROR=" + expected, "TORVANE_FAULT_NAME=" + name});
      EXPECT_EQ(r.exit_code, 0) << name << "\n" << tail(r.out, 40);
      EXPECT_NE(r.log.find("| " + expected + "\n"), std::string::npos) << name << "\n" << tail(r.log, 40);
    }
}
