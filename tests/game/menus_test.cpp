// The menus' side of the protocol with the game modes, by keyboard.
#include "game_fixture.h"

#include <dlfcn.h>

#include <vector>

#include "engine/core/settings.h"
#include "engine/gen/level_tiles.h"
#include "engine/gui/gui_screen.h"
#include "engine/shell/shell.h"
#include "gameobj/ui.h"
#include "tests/support/game_window.h"

namespace {

class MenuTest : public GameTest {
 protected:
  static void SetUpTestSuite() {
    GameTest::SetUpTestSuite();
    load_level_tiles();
  }
  static void TearDownTestSuite() { free_level_tiles(); }
};

TEST_F(MenuTest, ExitMarkerStaysOnTheScreenAndHoldsItsText) {
  // The marker for an exit out of sight: the whole box on the screen and wide enough
  // for its text after the arrow, whatever way the exit lies and however far.
  using BoxFn = __m128 (*)(float, float, float, float, float, float);
  auto marker_box = reinterpret_cast<BoxFn>(dlsym(gameobj_module, "_Z15exit_marker_boxffffff"));
  ASSERT_TRUE(marker_box);
  constexpr float W = 1280, H = 720, S = 3;
  struct Case {
    const char* way;
    float px, py;
  } cases[] = {{"right", 5000, 360}, {"left", -5000, 360}, {"above", 640, -9000}, {"below", 640, 9000},
               {"up and right", 3000, -3000}, {"down and left", -900, 4000}, {"just off the right", 1290, 300}};
  for (float text_w : {60.0f, 140.0f, 260.0f}) {
    for (const Case& c : cases) {
      alignas(16) float box[4];
      _mm_store_ps(box, marker_box(W, H, c.px, c.py, text_w, S));
      SCOPED_TRACE(std::string(c.way) + ", text " + std::to_string(int(text_w)));
      EXPECT_GE(box[0], 0);
      EXPECT_GE(box[1], 0);
      EXPECT_LE(box[2], W);
      EXPECT_LE(box[3], H);
      EXPECT_GE(box[2] - (box[0] + 15 * S), text_w) << "the text runs out of its box";
      // Its middle on the side of the screen the exit lies.
      float cx = (box[0] + box[2]) / 2, cy = (box[1] + box[3]) / 2;
      EXPECT_EQ(cx > W / 2, c.px > W / 2);
      EXPECT_EQ(cy > H / 2, c.py > H / 2);
    }
  }
}

TEST_F(MenuTest, EnterOnTheTitleStartsANewGame) {
  build_yard();
  reset_game();
  should_close_game_menu = true;
  set_game_mode(title_mode);
  EXPECT_FALSE(should_close_game_menu) << "opening a screen clears the signal";
  EXPECT_TRUE(cur_game_screen);
  step();
  EXPECT_EQ(cur_game_mode, title_mode);
  EXPECT_TRUE(played(33)) << "title_screen starts the music";
  press(VK_RETURN);
  step();
  EXPECT_EQ(cur_game_mode, play_mode);
  EXPECT_EQ(cur_level, 1);
  EXPECT_TRUE(hero());
}

// The pointer alone picks: motion over an item highlights it, with no key or button
// pressed while it moves, on the title, the Controls screen's key boxes and the pause
// menu.
TEST_F(MenuTest, MotionAloneMovesTheHighlight) {
  auto focus_of = [] {
    auto* menu = static_cast<MenuScreen*>(cur_game_screen);
    return menu ? menu->focus : -1;
  };
  auto centre_of = [](int item) {
    auto* menu = static_cast<MenuScreen*>(cur_game_screen);
    alignas(16) float r[4];
    _mm_store_ps(r, menu->items[item]->rect);
    return std::pair<int, int>{int((r[0] + r[2]) / 2), int((r[1] + r[3]) / 2)};
  };
  auto move_to = [](int x, int y) { PostMessageA(main_window, WM_MOUSEMOVE, 0, MAKELPARAM(x, y)); };
  // The pointer moved onto each item in turn: the highlight follows it.
  auto hover_each = [&](std::initializer_list<int> order, const char* what) {
    for (int item : order) {
      auto [x, y] = centre_of(item);
      move_to(x - 3, y);
      move_to(x, y);
      step();
      EXPECT_EQ(focus_of(), item) << what << " " << item;
    }
  };

  build_yard();
  reset_game();
  set_game_mode(title_mode);
  step();
  ASSERT_EQ(focus_of(), 0);
  hover_each({2, 1, 2, 0}, "over item");

  move_to(0, 0);
  press(VK_DOWN);
  press(VK_RETURN);
  step();
  release(VK_DOWN);
  release(VK_RETURN);
  step();
  ASSERT_EQ(cur_game_screen, game_controls_screen) << "Controls";
  ASSERT_EQ(focus_of(), 0);
  hover_each({3, 5, 1}, "over key box");
  move_to(0, 0);
  press(VK_ESCAPE);
  step();
  release(VK_ESCAPE);
  step();
  ASSERT_EQ(cur_game_screen, main_menu_screen);

  start_at(100, yard::FLOOR);
  press(VK_ESCAPE);
  step();
  release(VK_ESCAPE);
  step();
  ASSERT_EQ(cur_game_mode, pause_menu_mode);
  ASSERT_EQ(focus_of(), 0);
  auto [x, y] = centre_of(1);
  move_to(x, y - 2);
  step();
  move_to(x, y);
  step();
  EXPECT_EQ(focus_of(), 1);
}

TEST_F(MenuTest, MenuButtonPausesAndEscapeContinues) {
  Hero* h = start_at(100, yard::FLOOR);
  step(2);
  press(VK_ESCAPE);
  step();
  EXPECT_EQ(cur_game_mode, pause_menu_mode);
  EXPECT_TRUE(game_paused);
  float y = h->y;
  release(VK_ESCAPE);
  step(5);
  EXPECT_EQ(h->y, y) << "the world stands still";
  press(VK_ESCAPE);
  step();
  EXPECT_EQ(cur_game_mode, play_mode);
  EXPECT_FALSE(game_paused);
}

TEST_F(MenuTest, PauseMenuLeadsBackToTheTitle) {
  start_at(100, yard::FLOOR);
  press(VK_ESCAPE);
  step();
  release(VK_ESCAPE);
  ASSERT_EQ(cur_game_mode, pause_menu_mode);
  press(VK_DOWN);
  press(VK_RETURN);
  step();
  EXPECT_EQ(cur_game_mode, title_mode);
  EXPECT_FALSE(game_paused);
  EXPECT_TRUE(cur_game_screen);
}

TEST_F(MenuTest, GameOverScreenTakesNoChoiceBeforeItsTimer) {
  Hero* h = start_at(100, yard::FLOOR);
  h->invulnerable = 0;  // the arrival shield is over
  h->hurt(1000, 90, yard::FLOOR);
  step();
  ASSERT_EQ(cur_game_mode, gameover_mode);
  press(VK_RETURN);
  step();
  EXPECT_EQ(cur_game_mode, gameover_mode) << "the screen is not up yet";
  step(25);
  press(VK_RETURN);
  step();
  EXPECT_EQ(cur_game_mode, play_mode) << "New game";
  EXPECT_GT(hero()->health, 0);
}

// The crosshair belongs to play, the arrow to the menus: also once a new game has
// started from the game-over screen, whose screen the game-over mode leaves behind.
TEST_F(MenuTest, PointerIsAnArrowOnlyInMenus) {
  // The module's rule for the pointer's picture (true: the menus' arrow).
  auto menu_shown = reinterpret_cast<bool (*)()>(dlsym(gameobj_module, "_Z10menu_shownv"));
  ASSERT_TRUE(menu_shown);
  Hero* h = start_at(100, yard::FLOOR);
  step();
  EXPECT_FALSE(menu_shown()) << "in play";
  press(VK_ESCAPE);
  step();
  release(VK_ESCAPE);
  ASSERT_EQ(cur_game_mode, pause_menu_mode);
  EXPECT_TRUE(menu_shown()) << "paused";
  press(VK_ESCAPE);
  step();
  release(VK_ESCAPE);
  ASSERT_EQ(cur_game_mode, play_mode);
  EXPECT_FALSE(menu_shown()) << "back in play";
  h->invulnerable = 0;
  h->hurt(1000, 90, yard::FLOOR);
  step(27);
  ASSERT_EQ(cur_game_mode, gameover_mode);
  EXPECT_TRUE(menu_shown()) << "game over";
  press(VK_RETURN);
  step();
  release(VK_RETURN);
  ASSERT_EQ(cur_game_mode, play_mode) << "New game";
  EXPECT_FALSE(menu_shown()) << "in the new game";
}

TEST_F(MenuTest, ControlsScreenRebindsAButton) {
  build_yard();
  reset_game();
  set_game_mode(title_mode);
  press(VK_DOWN);
  press(VK_RETURN);
  step();
  ASSERT_TRUE(game_controls_screen) << "Controls";
  EXPECT_EQ(cur_game_screen, game_controls_screen);
  // The first box is "Left": Enter, then the new key.
  press(VK_RETURN);
  step();
  press('J');
  step();
  EXPECT_EQ(button_keys[BUTTON_LEFT], 'J');
  release('J');
  set_button_key(BUTTON_LEFT, 'A');
  press(VK_ESCAPE);
  step();
  EXPECT_TRUE(main_menu_screen) << "back on the title";
  EXPECT_EQ(cur_game_screen, main_menu_screen);
}

// The controls screen opened from the title, laid out; the bindings of the test are
// the defaults, and the defaults come back after it.
class ControlsScreenTest : public MenuTest {
 protected:
  static constexpr int DEFAULTS[NUM_BUTTONS] = {'A', 'D', 'W', VK_LBUTTON, VK_RBUTTON, VK_ESCAPE};

  void SetUp() override {
    MenuTest::SetUp();
    bind_defaults();
  }
  void TearDown() override {
    MenuTest::TearDown();
    bind_defaults();
  }
  static void bind_defaults() {
    for (int b = 0; b < NUM_BUTTONS; b++)
      set_button_key(b, DEFAULTS[b]);
  }

  void open_controls() {
    build_yard();
    reset_game();
    set_game_mode(title_mode);
    press(VK_DOWN);
    press(VK_RETURN);
    step();
    release(VK_DOWN);
    release(VK_RETURN);
    step();  // the new screen's first update lays it out
    ASSERT_TRUE(game_controls_screen);
    ASSERT_EQ(cur_game_screen, game_controls_screen);
  }
  static GuiElement* panel() { return game_controls_screen->root->children[0]; }
  // The key boxes in button order.
  static std::vector<UiButton*> key_boxes() {
    std::vector<UiButton*> out;
    NewGuiEventHandler* keybox = get_behavior("keybox");
    for (int i = 0; i < panel()->children.size(); i++)
      if (panel()->children[i]->hasBehavior(keybox))
        out.push_back(static_cast<UiButton*>(panel()->children[i]));
    return out;
  }
  // The line under the title.
  static UiLabel* hint() { return static_cast<UiLabel*>(panel()->children[0]); }
  static std::string drawn_key(int button) { return key_boxes()[size_t(button)]->detail.c_str(); }
  static void point_at(int button) {
    UiButton* box = key_boxes()[size_t(button)];
    int x = int((box->px0() + box->px1()) / 2), y = int((box->py0() + box->py1()) / 2);
    PostMessageA(main_window, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
  }
  static void pointer_away() { PostMessageA(main_window, WM_MOUSEMOVE, 0, 0); }
  // The box of a button picked with the keyboard, waiting for its key.
  void pick(int button) {
    pointer_away();
    for (int i = 0; i < button; i++)
      press(VK_DOWN);
    press(VK_RETURN);
    step();
    for (int vk : {VK_DOWN, VK_RETURN})
      release(vk);
    step();
  }
  static std::string stored(const char* settings_key) {
    char text[64] = {};
    return get_config_str(settings_key, text, sizeof(text)) ? text : "(none)";
  }
  static std::vector<int> bindings() { return std::vector<int>(button_keys, button_keys + NUM_BUTTONS); }
};

// The Menu button's key leaves for the title and binds nothing: over a box, and
// while a box waits for its key; also when Menu is on another key.
TEST_F(ControlsScreenTest, TheMenuKeyLeavesAndBindsNothing) {
  struct Case {
    const char* how;
    int menu_key;
    bool waiting;  // Jump picked with Enter (else the pointer over it)
  } cases[] = {{"pointing at Jump", VK_ESCAPE, false},
               {"Jump waiting for its key", VK_ESCAPE, true},
               {"pointing at Jump, Menu on M", 'M', false},
               {"Jump waiting for its key, Menu on M", 'M', true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.how);
    set_button_key(BUTTON_MENU, c.menu_key);
    std::vector<int> before = bindings();
    open_controls();
    if (c.waiting) {
      pick(BUTTON_JUMP);
      ASSERT_TRUE(static_cast<UiKeyBox*>(key_boxes()[BUTTON_JUMP])->waiting) << "Jump waits for its key";
    } else {
      point_at(BUTTON_JUMP);
      step();
    }
    press(c.menu_key);
    step();
    release(c.menu_key);
    step();
    EXPECT_EQ(bindings(), before);
    EXPECT_EQ(stored("B_jump"), "#87");
    EXPECT_TRUE(main_menu_screen) << "back on the title";
    EXPECT_EQ(cur_game_screen, main_menu_screen);
    pointer_away();
    set_game_mode(nullptr);
    bind_defaults();
  }
}

// A key that another button holds is swapped: that button takes the old key of the
// one being bound. Both bindings are stored, both boxes show their new key, and the
// line under the title names the other button's change.
TEST_F(ControlsScreenTest, AKeyOfAnotherButtonSwapsTheTwo) {
  struct Case {
    const char* how;
    int button, key;
    bool by_pointer;  // else picked with Enter
    int other;
    const char* button_setting;
    const char* other_setting;
    std::string button_stored, other_stored, button_drawn, other_drawn, note;
  } cases[] = {
      {"W on Left, pointing", BUTTON_LEFT, 'W', true, BUTTON_JUMP, "B_left", "B_jump", "#87", "#65", "W", "A",
       "Swapped: Jump is now on A"},
      {"A on Menu, picked", BUTTON_MENU, 'A', false, BUTTON_LEFT, "B_menu", "B_left", "#65", "#27", "A", "Escape",
       "Swapped: Left is now on Escape"},
      {"right button on Shoot primary, pointing", BUTTON_SHOOT_PRI, VK_RBUTTON, true, BUTTON_SHOOT_SEC, "B_shootPri",
       "B_shootSec", "#2", "#1", "Right Mouse Button", "Left Mouse Button",
       "Swapped: Shoot secondary is now on Left Mouse Button"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.how);
    open_controls();
    if (c.by_pointer) {
      point_at(c.button);
      step();
    } else {
      pick(c.button);
    }
    if (c.key == VK_RBUTTON) {
      UiButton* box = key_boxes()[size_t(c.button)];
      int x = int((box->px0() + box->px1()) / 2), y = int((box->py0() + box->py1()) / 2);
      game_window::post_button(VK_RBUTTON, true, x, y);
      step();
      game_window::post_button(VK_RBUTTON, false, x, y);
    } else {
      press(c.key);
      step();
      release(c.key);
    }
    step();
    ASSERT_EQ(cur_game_screen, game_controls_screen) << "still on the controls screen";
    EXPECT_EQ(button_keys[c.button], c.key);
    EXPECT_EQ(button_keys[c.other], DEFAULTS[c.button]);
    for (int b = 0; b < NUM_BUTTONS; b++)
      if (b != c.button && b != c.other)
        EXPECT_EQ(button_keys[b], DEFAULTS[b]) << "button " << b << " keeps its key";
    EXPECT_EQ(stored(c.button_setting), c.button_stored);
    EXPECT_EQ(stored(c.other_setting), c.other_stored);
    EXPECT_EQ(drawn_key(c.button), c.button_drawn);
    EXPECT_EQ(drawn_key(c.other), c.other_drawn);
    EXPECT_EQ(std::string(hint()->text.c_str()), c.note);
    EXPECT_EQ(hint()->color, ui_color::TITLE);
    pointer_away();
    set_game_mode(nullptr);
    bind_defaults();
  }
}

// A key no other button holds binds only its own button, and the hint stays.
TEST_F(ControlsScreenTest, AFreeKeyBindsOnlyItsButton) {
  open_controls();
  point_at(BUTTON_JUMP);
  step();
  press(VK_SPACE);
  step();
  release(VK_SPACE);
  step();
  std::vector<int> want(DEFAULTS, DEFAULTS + NUM_BUTTONS);
  want[BUTTON_JUMP] = VK_SPACE;
  EXPECT_EQ(bindings(), want);
  EXPECT_EQ(stored("B_jump"), "#32");
  EXPECT_EQ(drawn_key(BUTTON_JUMP), "Space");
  EXPECT_EQ(hint()->color, ui_color::DIM) << hint()->text.c_str();
}

// Print Screen takes a screenshot of the screen: over a box or while a box waits for
// its key it binds nothing, and the box still takes the next key.
TEST_F(ControlsScreenTest, PrintScreenBindsNothing) {
  for (bool waiting : {false, true}) {
    SCOPED_TRACE(waiting ? "Jump waiting for its key" : "pointing at Jump");
    open_controls();
    if (waiting) {
      pick(BUTTON_JUMP);
    } else {
      point_at(BUTTON_JUMP);
      step();
    }
    press(VK_SNAPSHOT);
    step();
    release(VK_SNAPSHOT);
    step();
    EXPECT_EQ(bindings(), std::vector<int>(DEFAULTS, DEFAULTS + NUM_BUTTONS));
    EXPECT_EQ(stored("B_jump"), "#87");
    EXPECT_EQ(cur_game_screen, game_controls_screen);
    press(VK_SPACE);
    step();
    release(VK_SPACE);
    step();
    EXPECT_EQ(button_keys[BUTTON_JUMP], VK_SPACE);
    pointer_away();
    set_game_mode(nullptr);
    bind_defaults();
  }
}

// A box takes a key only when the player chose it: the pointer moved onto it, or it
// was picked with Enter. Opened with the pointer resting where a box appears (the
// Controls item of the title clicked, or Enter with the pointer over it), the keys
// that move the highlight and pick a box bind nothing.
TEST_F(ControlsScreenTest, OnlyABoxThePlayerChoseTakesAKey) {
  struct Case {
    const char* how;
    bool opened_by_click;    // else Enter with the pointer resting over Controls
    int pointed_at;          // the box the pointer then moves onto, or -1
    std::vector<int> keys;
    int bound_button;        // the button that takes the last key, or -1
  } cases[] = {
      {"clicked open, Down", true, -1, {VK_DOWN}, -1},
      {"opened with Enter, Down Down Enter", false, -1, {VK_DOWN, VK_DOWN, VK_RETURN}, -1},
      {"opened with Enter, Down Down Enter, K", false, -1, {VK_DOWN, VK_DOWN, VK_RETURN, 'K'}, BUTTON_JUMP},
      {"clicked open, Down Down Enter, K", true, -1, {VK_DOWN, VK_DOWN, VK_RETURN, 'K'}, BUTTON_JUMP},
      {"clicked open, pointer onto Right, K", true, BUTTON_RIGHT, {'K'}, BUTTON_RIGHT},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.how);
    build_yard();
    reset_game();
    set_game_mode(title_mode);
    step();
    auto* title = static_cast<MenuScreen*>(cur_game_screen);
    ASSERT_TRUE(title);
    UiButton* item = title->items[1];
    int x = int((item->px0() + item->px1()) / 2), y = int((item->py0() + item->py1()) / 2);
    PostMessageA(main_window, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
    if (c.opened_by_click) {
      game_window::post_button(VK_LBUTTON, true, x, y);
      step();
      game_window::post_button(VK_LBUTTON, false, x, y);
      step();
    } else {
      step();
      press(VK_RETURN);
      step();
      release(VK_RETURN);
    }
    step();
    ASSERT_EQ(cur_game_screen, game_controls_screen) << "Controls";
    GuiElement* under = hit_test(game_controls_screen->root, float(x), float(y));
    ASSERT_TRUE(under && under->hasBehavior(get_behavior("keybox"))) << "the pointer rests over a key box";
    if (c.pointed_at >= 0) {
      point_at(c.pointed_at);
      step();
    }
    for (int vk : c.keys) {
      press(vk);
      step();
      release(vk);
      step();
    }
    std::vector<int> want(DEFAULTS, DEFAULTS + NUM_BUTTONS);
    if (c.bound_button >= 0)
      want[c.bound_button] = c.keys.back();
    EXPECT_EQ(bindings(), want);
    EXPECT_EQ(stored("B_shootPri"), "#1");
    EXPECT_EQ(stored("B_jump"), c.bound_button == BUTTON_JUMP ? "#75" : "#87");
    EXPECT_EQ(cur_game_screen, game_controls_screen);
    press(VK_ESCAPE);
    step();
    release(VK_ESCAPE);
    step();
    EXPECT_EQ(cur_game_screen, main_menu_screen) << "Escape leaves";
    EXPECT_EQ(bindings(), want) << "and binds nothing";
    pointer_away();
    set_game_mode(nullptr);
    bind_defaults();
  }
}

// The pause menu leaves with the Menu button's key too, whatever key that is.
TEST_F(ControlsScreenTest, TheMenuKeyPausesAndContinuesWhateverItIs) {
  set_button_key(BUTTON_MENU, 'M');
  start_at(100, yard::FLOOR);
  press('M');
  step();
  release('M');
  step();
  ASSERT_EQ(cur_game_mode, pause_menu_mode);
  press(VK_ESCAPE);
  step();
  release(VK_ESCAPE);
  EXPECT_EQ(cur_game_mode, pause_menu_mode) << "Escape is no longer the Menu key";
  press('M');
  step();
  release('M');
  EXPECT_EQ(cur_game_mode, play_mode);
}

TEST_F(MenuTest, ReloadKeepsEveryLiveObject) {
  Hero* h = start_at(100, yard::FLOOR);
  gameobj_func_table.add_enemy(KIND_HWHEELS, 300, yard::FLOOR);
  step(5);
  float hx = h->x, ex = EnemyHWheels_list[0]->x;
  EXPECT_TRUE(reload_gameobj(true));
  ASSERT_EQ(Hero_list.size(), 1);
  EXPECT_EQ(hero(), h);
  EXPECT_EQ(h->x, hx);
  EXPECT_EQ(EnemyHWheels_list[0]->x, ex);
  step(5);
  EXPECT_NE(EnemyHWheels_list[0]->x, ex) << "still rolling under the new module";
  EXPECT_EQ(cur_game_mode, play_mode);
}

}  // namespace
