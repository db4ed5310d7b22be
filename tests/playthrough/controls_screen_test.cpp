// The controls screen played through the game's entry: Escape over a key box leaves
// for the title and binds nothing; a key another button holds swaps the two, the
// screenshot shows both new keys and the line that tells of the swap, and the
// settings file keeps both bindings after the game has closed.
#include <gtest/gtest.h>

#include "engine/gui/gui_screen.h"
#include "engine/world/gameobj_api.h"
#include "engine/shell/controls.h"
#include "engine/shell/modes/game_flow.h"
#include "engine/shell/modes/game_mode.h"
#include "gameobj/ui.h"
#include "platform/win32/windows.h"
#include "support/game_run.h"
#include "support/screens.h"
#include "support/stages.h"

using namespace play;

namespace {

constexpr uint64_t CLOCK_START = 0x5EED0002;
const std::vector<int> DEFAULT_KEYS = {'A', 'D', 'W', VK_LBUTTON, VK_RBUTTON, VK_ESCAPE};

std::vector<int> bindings() { return std::vector<int>(button_keys, button_keys + NUM_BUTTONS); }

// The centre of a button's key box (the panel's children after the line under the title).
bool key_box_centre(int button, int& x, int& y) {
  MenuLayout m;
  if (!read_menu_layout(m) || m.others.size() != size_t(NUM_BUTTONS) + 1)
    return false;
  x = centre_x(m.others[size_t(button) + 1]), y = centre_y(m.others[size_t(button) + 1]);
  return true;
}

bool controls_shown() { return game_controls_screen && cur_game_screen == game_controls_screen; }
bool title_shown() { return main_menu_screen && cur_game_screen == main_menu_screen && cur_game_mode == title_mode; }

// On the title (the pointer off its items): down to Controls and Enter.
bool open_controls(int n) {
  if (n == 0)
    pointer_to(1, 1);
  if (n == 2) {
    tap(VK_DOWN);
    tap(VK_RETURN);
  }
  return n > 2 && controls_shown();
}

}  // namespace

TEST(PlaythroughChild, Controls) {
  GAME_CHILD_ONLY();
  int x = 0, y = 0;
  Picture shot;
  bool shot_asked = false;

  std::vector<Stage> stages = {
      {"title screen", 100, [&](int n) { return n >= 10 && title_shown(); }},
      {"the controls screen", 20, open_controls},
      {"Escape over Jump", 20, [&](int n) {
         if (n == 0) {
           EXPECT_TRUE(key_box_centre(BUTTON_JUMP, x, y));
           pointer_to(x, y);
         }
         if (n == 2)
           tap(VK_ESCAPE);
         if (n < 3 || !title_shown())
           return false;
         EXPECT_EQ(bindings(), DEFAULT_KEYS) << "leaving bound nothing";
         return true;
       }},
      {"the controls screen again", 20, open_controls},
      {"W over Left", 40, [&](int n) {
         if (n == 0) {
           EXPECT_TRUE(key_box_centre(BUTTON_LEFT, x, y));
           pointer_to(x, y);
         }
         if (n == 2)
           tap('W');
         if (n < 4)
           return false;
         if (!shot_asked) {
           EXPECT_TRUE(controls_shown());
           EXPECT_EQ(button_keys[BUTTON_LEFT], 'W');
           EXPECT_EQ(button_keys[BUTTON_JUMP], 'A') << "Jump takes Left's old key";
           pointer_to(1, 1);  // the key box shows its key, not the pointer's highlight
           request_screenshot();
           shot_asked = true;
           return false;
         }
         if (!read_screenshot(shot))
           return false;
         keep_picture(shot, "controls_swapped");
         MenuLayout m;
         EXPECT_TRUE(read_menu_layout(m));
         EXPECT_TRUE(panel_title_shows(shot, m, "CONTROLS"));
         EXPECT_TRUE(texts_show(shot, controls_key_texts(m, {"Left", "Right", "Jump"}, {"W", "D", "A"})));
         EXPECT_TRUE(text_shows(shot, controls_hint_text(m, "Swapped: Jump is now on A", ui_color::TITLE)));
         tap(VK_ESCAPE);
         return true;
       }},
      {"back on the title", 20, [&](int n) {
         if (!title_shown())
           return false;
         if (n < 3)
           return false;
         tap(VK_DOWN);
         tap(VK_DOWN);
         tap(VK_RETURN);  // quit
         return true;
       }},
      {"quit", 20, [&](int) { return false; }},
  };
  StageRunner runner(stages);
  int result = run_entry({"-fullscr", "-360"}, CLOCK_START, [&](int step) { runner(step); });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(runner.current_name(), "quit");
}

TEST(Playthrough, ControlsScreenSwapsAKeyAndLeavesWithEscape) {
  GameFolder folder = make_game_folder("controls");
  GameResult r = run_game(folder, "PlaythroughChild.Controls");
  EXPECT_EQ(r.exit_code, 0) << tail(r.out);
  EXPECT_EQ(r.signal, 0);
  // Both bindings of the swap are in the settings file the game left behind.
  std::string settings = read_whole_file(folder.user() + "settings.cfg");
  EXPECT_NE(settings.find("B_left=#87\n"), std::string::npos) << settings;
  EXPECT_NE(settings.find("B_jump=#65\n"), std::string::npos) << settings;
  EXPECT_EQ(settings.find("#27"), std::string::npos) << "Escape stayed Menu's default, never stored\n" << settings;
}
