// Font files the game cannot use. A description in place before the game starts: the
// title screen comes up without it, and the file and the reason stand in the log and
// on the screen. A page texture at start-up: fatal, as every texture the game starts
// with. A page broken while the game runs: a reloaded module's fonts keep the page
// they had. Each case runs the game in a folder of its own.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include "engine/gui/visual_log.h"
#include "engine/script/game_script.h"
#include "engine/shell/modes/game_mode.h"
#include "engine/world/gameobj_host.h"
#include "engine/shared/gameobj_funcs.h"
#include "support/game_run.h"
#include "support/screens.h"
#include "tests/support/error_shown.h"

using namespace play;
namespace fs = std::filesystem;

namespace {

// Bytes that are no texture, as a file filled with random bytes holds.
std::string junk_bytes() {
  std::string junk;
  for (int i = 0; i < 3000; i++) junk += char(i * 7919 % 253);
  return junk;
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
      EXPECT_NE(error_shown().find(shown), std::string::npos) << error_shown();
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
      {"font", "fonts/regular.fnt", "not a font description"},
      {"icons", "fonts/icons.txt", "not an icon description"},
  };
  struct Fault {
    const char* name;
    std::function<void(const fs::path& path)> breaks;
    const char* reason;  // null: the file's own for contents at fault
  } faults[] = {
      {"random", [](const fs::path& p) { std::ofstream(p, std::ios::binary | std::ios::trunc) << junk_bytes(); },
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

// The game up to its title screen, for a start-up that must not get there.
TEST(FontFaultsChild, Start) {
  GAME_CHILD_ONLY();
  run_entry({"-fullscr", "-360"}, 1, [&](int step) {
    if (step > 20)
      quit();
  });
}

// A page the game starts with that cannot be loaded ends the game with the texture
// loader's message, whether it is no texture or missing; a copy in the per-user folder
// shadows the game's own, as an edited copy would.
TEST(FontFaults, APageThatCannotBeLoadedAtStartUpIsFatal) {
  struct Case {
    const char* name;
    std::function<void(const GameFolder& f)> breaks;
    const char* message;
  } cases[] = {
      {"random",
       [](const GameFolder& f) {
         fs::create_directories(f.user() + "fonts");
         std::ofstream(f.user() + "fonts/regular.png.dds", std::ios::binary) << junk_bytes();
       },
       "Texture 'fonts/regular.png.dds' is not a DDS"},
      {"missing",
       [](const GameFolder& f) {
         std::ifstream in(f.bin + "fonts/icons.txt");
         std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
         text.replace(text.find("fonts/icons.png"), strlen("fonts/icons.png"), "fonts/gone.png");
         std::ofstream(f.bin + "fonts/icons.txt", std::ios::trunc) << text;
       },
       "Error loading file 'fonts/gone.png.dds'"},
  };
  for (const Case& c : cases) {
    GameFolder folder = make_game_folder(std::string("font_page_") + c.name);
    c.breaks(folder);
    GameResult r = run_game(folder, "FontFaultsChild.Start");
    EXPECT_EQ(r.exit_code, 100) << c.name << "\n" << tail(r.out, 40);
    EXPECT_NE(r.out.find(c.message), std::string::npos) << c.name << "\n" << tail(r.out, 40);
    EXPECT_NE(r.log.find(c.message), std::string::npos) << c.name << "\n" << tail(r.log, 40);
  }
}

// The title screen with its buttons; the page of their font is broken while the game
// runs (the texture reload keeps the old picture and says why), then the module is
// loaded again: its fonts take the page they had, the buttons keep their labels, and
// the message on the screen is the page's own.
TEST(FontFaultsChild, PageBrokenWhileRunning) {
  GAME_CHILD_ONLY();
  const std::string page_error = "Texture 'fonts/regular.png.dds' is not a DDS";
  Picture before, after;
  MenuLayout menu;
  int broken_at = -1, reloaded_at = -1;
  bool done = false;
  run_entry({"-fullscr", "-360"}, 1, [&](int step) {
    if (step == 10)
      request_screenshot();
    if (step > 10 && before.pixels.empty() && read_screenshot(before)) {
      ASSERT_TRUE(read_menu_layout(menu));
      ASSERT_FALSE(menu.buttons.empty());
      // Saved under another name and moved in place, dated ahead: the reload's
      // once-a-second check compares whole-second times.
      std::string path = game_folder() + "fonts/regular.png.dds";
      std::ofstream(path + ".part", std::ios::binary) << junk_bytes();
      fs::last_write_time(path + ".part", fs::file_time_type::clock::now() + std::chrono::seconds(100));
      fs::rename(path + ".part", path);
      broken_at = step;
    }
    if (broken_at >= 0 && reloaded_at < 0 && logged(page_error)) {
      // As the periodic check reloads a rebuilt module, the file it loads being the
      // one loaded already.
      ASSERT_TRUE(reload_gameobj(true));
      game_script_after_gameobj_reload();
      gameobj_func_table.open_main_menu();  // the reload closed the screens
      reloaded_at = step;
    }
    if (reloaded_at >= 0 && step == reloaded_at + 5)
      request_screenshot();
    if (reloaded_at >= 0 && step > reloaded_at + 5 && !done && read_screenshot(after)) {
      keep_picture(before, "font_page_before_reload");
      keep_picture(after, "font_page_after_reload");
      for (const Rect& button : menu.buttons)
        EXPECT_LT(changed_share(before, after, button), 0.02) << "the button's label stays: " << after.path;
      std::string shown = error_shown();
      EXPECT_NE(shown.find(page_error), std::string::npos) << shown;
      EXPECT_EQ(shown.find("Error loading font"), std::string::npos) << shown;
      done = true;
    }
    if (done || step > 400)
      quit();
  });
  EXPECT_GE(broken_at, 0) << "no first screenshot";
  EXPECT_GE(reloaded_at, 0) << "the broken page was never reported";
  EXPECT_TRUE(done) << "no screenshot after the reload";
}

TEST(FontFaults, AReloadedModuleKeepsTheFontPageItHad) {
  GameFolder folder = make_game_folder("font_page_reload");
  GameResult r = run_game(folder, "FontFaultsChild.PageBrokenWhileRunning", {"devkeys=1"});
  EXPECT_EQ(r.exit_code, 0) << tail(r.out, 60);
  EXPECT_EQ(r.log.find("Error loading font"), std::string::npos) << tail(r.log, 40);
}

// While the game runs, a font's description is made to name a page never loaded
// before, which is no texture, and the module is loaded again: that font fails with
// the page's file and reason, on the screen and in the log, and the game goes on.
TEST(FontFaultsChild, NewPageFailsOnModuleReload) {
  GAME_CHILD_ONLY();
  const std::string page_error = "Error loading font fonts/bold.fnt: Texture 'fonts/junk.png.dds' is not a DDS";
  std::string shown = page_error;
  shown.replace(shown.find(": "), 2, "\n");
  int reloaded_at = -1;
  run_entry({"-fullscr", "-360"}, 1, [&](int step) {
    if (step == 10) {
      std::string path = game_folder() + "fonts/bold.fnt";
      std::ifstream in(path);
      std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      text.replace(text.find("fonts/bold.png"), strlen("fonts/bold.png"), "fonts/junk.png");
      std::ofstream(path, std::ios::trunc) << text;
      std::ofstream(game_folder() + "fonts/junk.png.dds", std::ios::binary) << junk_bytes();
      ASSERT_TRUE(reload_gameobj(true));
      game_script_after_gameobj_reload();
      gameobj_func_table.open_main_menu();
      reloaded_at = step;
    }
    if (reloaded_at >= 0 && step == reloaded_at + 10) {
      EXPECT_EQ(cur_game_mode, title_mode);
      std::string message = error_shown();
      EXPECT_NE(message.find(shown), std::string::npos) << message;
      EXPECT_TRUE(logged(page_error));
      quit();
    }
  });
  EXPECT_GE(reloaded_at, 0) << "the module was never loaded again";
}

TEST(FontFaults, ANewPageThatFailsOnReloadFailsOnlyItsFont) {
  GameFolder folder = make_game_folder("font_page_new_on_reload");
  GameResult r = run_game(folder, "FontFaultsChild.NewPageFailsOnModuleReload", {"devkeys=1"});
  EXPECT_EQ(r.exit_code, 0) << tail(r.out, 60);
  EXPECT_NE(r.log.find("Error loading font fonts/bold.fnt: Texture 'fonts/junk.png.dds' is not a DDS"),
            std::string::npos)
      << tail(r.log, 40);
}
