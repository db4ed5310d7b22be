// Print Screen in the running game: two shots in successive updates keep a file each,
// and a shot that cannot be saved (a file stands where the shots folder belongs) says
// why in the log and on the screen, leaving the file as it was.
#include <gtest/gtest.h>
#include <physfs.h>

#include <filesystem>
#include <fstream>

#include "engine/gui/visual_log.h"
#include "platform/win32/windows.h"
#include "support/game_run.h"
#include "support/screens.h"
#include "tests/support/error_shown.h"

using namespace play;
namespace fs = std::filesystem;

namespace {

int lines_logged_with(const std::string& text) {
  int n = 0;
  for (const std::string& line : log_lines_seen())
    n += line.find(text) != std::string::npos;
  return n;
}

}  // namespace

TEST(ScreenshotsChild, Title) {
  GAME_CHILD_ONLY();
  const std::string in_its_place = "a file of the player's own";
  Picture shot;
  bool done = false;
  run_entry({"-fullscr", "-360"}, 1, [&](int step) {
    const fs::path shots = fs::path(PHYSFS_getWriteDir()) / "shots";
    if (step == 10 || step == 11)
      tap(VK_SNAPSHOT);
    if (step == 20) {
      EXPECT_EQ(lines_logged_with("screenshot captured to 'shots/shot"), 2);
      int files = 0;
      for (const fs::directory_entry& e : fs::directory_iterator(shots))
        files += e.is_regular_file();
      EXPECT_EQ(files, 2) << "one file for each shot";
      fs::remove_all(shots);
      std::ofstream(shots) << in_its_place;
      tap(VK_SNAPSHOT);
    }
    if (step == 25) {
      EXPECT_EQ(lines_logged_with("failed to save screenshot to 'shots/shot"), 1);
      std::string shown = error_shown();
      EXPECT_NE(shown.find("failed to save screenshot to\n'shots/shot"), std::string::npos) << shown;
      EXPECT_NE(shown.find(".png':\na file stands where the folder 'shots' belongs"), std::string::npos) << shown;
      EXPECT_EQ(read_whole_file(shots), in_its_place) << "the file in the way is left alone";
      // The folder back, a shot of the message on the screen.
      fs::remove(shots);
      request_screenshot();
    }
    if (step > 25 && !done && read_screenshot(shot)) {
      keep_picture(shot, "screenshot_failed");
      EXPECT_GT(banner_ink(shot), 200) << "the error on screen: " << shot.path;
      done = true;
    }
    if (done || step > 100)
      quit();
  });
  EXPECT_TRUE(done) << "no screenshot";
}

TEST(Screenshots, EachShotKeepsItsFileAndAFailedOneSaysWhy) {
  GameFolder folder = make_game_folder("screenshots");
  GameResult r = run_game(folder, "ScreenshotsChild.Title");
  EXPECT_EQ(r.exit_code, 0) << "signal " << r.signal << "\n" << tail(r.out, 40);
  size_t at = r.log.find("failed to save screenshot to '");
  ASSERT_NE(at, std::string::npos) << tail(r.log, 40);
  // The reason follows the name.
  std::string line = r.log.substr(at, r.log.find('\n', at) - at);
  EXPECT_NE(line.find(".png': "), std::string::npos) << line;
}
