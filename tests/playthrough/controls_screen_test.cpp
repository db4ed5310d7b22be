// The controls screen played through the game's entry: Escape over a key box leaves
// for the title and binds nothing; a key another button holds swaps the two, the
// screenshot shows both new keys and the line that tells of the swap, and the
// settings file keeps both bindings after the game has closed. The keys that move the
// highlight, with the pointer resting where a box appeared, bind nothing.
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

// The centre of a title item (the panel's buttons).
bool title_item_centre(int item, int& x, int& y) {
  MenuLayout m;
  if (!read_menu_layout(m) || m.buttons.size() <= size_t(item))
    return false;
  x = centre_x(m.buttons[size_t(item)]), y = centre_y(m.buttons[size_t(item)]);
  return true;
}

// The pointer over one of the controls screen's key boxes.
bool over_a_key_box(int x, int y) {
  MenuLayout m;
  if (!read_menu_layout(m) || m.others.size() != size_t(NUM_BUTTONS) + 1)
    return false;
  for (int b = 0; b < NUM_BUTTONS; b++) {
    const Rect& r = m.others[size_t(b) + 1];
    if (x >= r[0] && x < r[2] && y >= r[1] && y < r[3])
      return true;
  }
  return false;
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

// Plays the stages through the game's entry; the last one, "quit", ends the game.
void play_until_quit(std::vector<Stage> stages) {
  StageRunner runner(std::move(stages));
  int result = run_entry({"-fullscr", "-360"}, CLOCK_START, [&](int step) { runner(step); });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(runner.current_name(), "quit");
}

// Runs the child test `child` as the game of a fresh folder: the settings file it left.
std::string settings_after(const std::string& folder_name, const std::string& child) {
  GameFolder folder = make_game_folder(folder_name);
  GameResult r = run_game(folder, child);
  EXPECT_EQ(r.exit_code, 0) << tail(r.out);
  EXPECT_EQ(r.signal, 0);
  return read_whole_file(folder.user() + "settings.cfg");
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
  play_until_quit(std::move(stages));
}

TEST(Playthrough, ControlsScreenSwapsAKeyAndLeavesWithEscape) {
  // Both bindings of the swap are in the settings file the game left behind.
  std::string settings = settings_after("controls", "PlaythroughChild.Controls");
  EXPECT_NE(settings.find("B_left=#87\n"), std::string::npos) << settings;
  EXPECT_NE(settings.find("B_jump=#65\n"), std::string::npos) << settings;
  EXPECT_EQ(settings.find("#27"), std::string::npos) << "Escape stayed Menu's default, never stored\n" << settings;
}

// The pointer rests where the title's Controls item was, over a key box once the
// controls screen is up. Opened with a click, then Down; opened with Enter, then Down
// Down Enter: the highlight moves and a box is picked, nothing is bound.
TEST(PlaythroughChild, ControlsKeysOverARestingPointer) {
  GAME_CHILD_ONLY();
  int x = 0, y = 0;
  auto tap_keys = [](int n, std::initializer_list<int> keys) {
    int i = 0;
    for (int vk : keys)
      if (n == 2 + 2 * i++)
        tap(vk);
    return n > 2 + 2 * int(keys.size());
  };
  std::vector<Stage> stages = {
      {"title screen", 100, [&](int n) { return n >= 10 && title_shown(); }},
      {"Controls clicked", 20, [&](int n) {
         if (n == 0) {
           EXPECT_TRUE(title_item_centre(1, x, y));
           click(x, y);
         }
         return n > 2 && controls_shown();
       }},
      {"Down", 20, [&](int n) {
         if (n == 0)
           EXPECT_TRUE(over_a_key_box(x, y)) << "the pointer rests over a key box";
         if (!tap_keys(n, {VK_DOWN}))
           return false;
         EXPECT_TRUE(controls_shown());
         EXPECT_EQ(bindings(), DEFAULT_KEYS) << "Down moved the highlight";
         tap(VK_ESCAPE);
         return true;
       }},
      {"back on the title", 20, [&](int n) { return n > 2 && title_shown(); }},
      {"Controls with Enter", 20, [&](int n) {
         if (n == 2)
           tap(VK_DOWN);
         if (n == 4)
           tap(VK_RETURN);
         return n > 5 && controls_shown();
       }},
      {"Down Down Enter", 20, [&](int n) {
         if (n == 0)
           EXPECT_TRUE(over_a_key_box(x, y)) << "the pointer rests over a key box";
         if (!tap_keys(n, {VK_DOWN, VK_DOWN, VK_RETURN}))
           return false;
         EXPECT_TRUE(controls_shown());
         EXPECT_EQ(bindings(), DEFAULT_KEYS) << "the keys picked a box";
         tap(VK_ESCAPE);
         return true;
       }},
      {"leaving", 20, [&](int n) {
         if (n < 3 || !title_shown())
           return false;
         EXPECT_EQ(bindings(), DEFAULT_KEYS) << "Escape left";
         return true;
       }},
      {"quit", 20, [&](int n) {
         if (n == 0)
           pointer_to(1, 1);
         if (n == 2) {
           tap(VK_DOWN);
           tap(VK_DOWN);
           tap(VK_RETURN);
         }
         return false;
       }},
  };
  play_until_quit(std::move(stages));
}

TEST(Playthrough, ControlsKeysOverARestingPointerBindNothing) {
  std::string settings = settings_after("controls_resting", "PlaythroughChild.ControlsKeysOverARestingPointer");
  EXPECT_EQ(settings.find("B_"), std::string::npos) << "no binding stored\n" << settings;
}
