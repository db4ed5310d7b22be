// Input events and key queries, fed through the real road: messages posted to the
// game window, pumped by processInput into the window procedure.
#include <cstring>

#include <gtest/gtest.h>

#include "engine/gui/gui_host.h"
#include "engine/render/d3d_device.h"
#include "engine/shell/input.h"
#include "engine/shell/main_loop.h"
#include "engine/shell/shell.h"
#include "engine/shell/window.h"
#include "platform/win32/sdl_glue.h"
#include "tests/support/game_window.h"
#include "tests/support/test_env.h"

namespace {

LPARAM key_lparam(int scan, bool repeat = false, bool up = false, bool alt = false) {
  LPARAM l = 1 | ((LPARAM)scan << 16);
  if (alt)
    l |= (LPARAM)1 << 29;
  if (repeat || up)
    l |= (LPARAM)1 << 30;
  if (up)
    l |= (LPARAM)1 << 31;
  return l;
}

class InputTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(game_window::make()); }
  void SetUp() override {
    d3d_wd = 640;
    d3d_ht = 360;
    isFullscreen = false;
    blockKeyboardInput(false);
    blockMouseInput(false);
    pump();
    release_all_keys();
    reset_frame_input();
    reset_raw_mouse_delta();
  }
  void post(UINT msg, WPARAM w, LPARAM l) { PostMessageA(main_window, msg, w, l); }
  void pump() { processInput(); }
  void key(int vk, int scan, bool down) {
    post(down ? WM_KEYDOWN : WM_KEYUP, vk, key_lparam(scan, false, !down));
  }
  void release_all_keys() {
    for (int vk : {VK_SHIFT, VK_CONTROL, VK_MENU, (int)'A', (int)'B'})
      if (GetKeyState(vk) & 0x8000)
        post(WM_KEYUP, vk, key_lparam(0, false, true));
    for (UINT up : {WM_LBUTTONUP, WM_RBUTTONUP, WM_MBUTTONUP})
      post(up, 0, 0);
    pump();
  }
  std::vector<InputEvent> drain() {
    std::vector<InputEvent> out;
    InputEvent e;
    while (getEvent(&e))
      out.push_back(e);
    return out;
  }
};

TEST_F(InputTest, PressAndReleaseBetweenUpdatesGivesBothAndResetClears) {
  key('A', 0x1E, true);
  key('A', 0x1E, false);
  pump();
  EXPECT_TRUE(keyDown('A'));
  EXPECT_TRUE(keyUp('A'));
  EXPECT_FALSE(getKeyState('A')) << "released by now";
  EXPECT_EQ(getKey(), 'A');
  EXPECT_EQ(getChar(), 'a');
  reset_frame_input();
  EXPECT_FALSE(keyDown('A'));
  EXPECT_FALSE(keyUp('A'));
  EXPECT_EQ(getKey(), 0);
  EXPECT_EQ(getChar(), 0);
  EXPECT_TRUE(drain().empty());
}

TEST_F(InputTest, HeldKeyWentDownInOneUpdateOnly) {
  key('B', 0x30, true);
  pump();
  EXPECT_TRUE(keyDown('B'));
  EXPECT_TRUE(getKeyState('B'));
  reset_frame_input();
  post(WM_KEYDOWN, 'B', key_lparam(0x30, true));  // auto-repeat
  pump();
  EXPECT_FALSE(keyDown('B')) << "auto-repeats don't count as going down";
  EXPECT_TRUE(getKeyState('B'));
  auto events = drain();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].type, IE_KEY_DOWN);
  EXPECT_EQ(events[0].ch, 'b') << "repeats still carry the character";
  EXPECT_TRUE(events[0].mods & INPUT_MOD_REPEAT);
  key('B', 0x30, false);
  pump();
}

TEST_F(InputTest, KeyEventFieldsCharactersAndModifiers) {
  key(VK_SHIFT, 0x2A, true);
  key('A', 0x1E, true);
  pump();
  auto events = drain();
  ASSERT_EQ(events.size(), 2u);
  const InputEvent& a = events[1];
  EXPECT_EQ(a.type, IE_KEY_DOWN);
  EXPECT_EQ(a.code, 'A');
  EXPECT_EQ(a.scan, 0x1E);
  EXPECT_EQ(a.ch, 'A') << "shifted";
  EXPECT_EQ(a.mods, INPUT_MOD_SHIFT);
  EXPECT_EQ(a.wheel, 0);
  key('A', 0x1E, false);
  key(VK_SHIFT, 0x2A, false);
  // Extended keys keep their extended bit in the scan code.
  post(WM_KEYDOWN, VK_LEFT, key_lparam(0x14B));
  pump();
  events = drain();
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[0].ch, 'A') << "the key-up translates too";
  EXPECT_EQ(events[2].scan, 0x14B);
  EXPECT_EQ(events[2].ch, 0) << "no character for an arrow";
  post(WM_KEYUP, VK_LEFT, key_lparam(0x14B, false, true));
  pump();
}

TEST_F(InputTest, ModifierBitsFromHeldKeysLocksAndButtons) {
  auto tap = [&](int vk, int scan) {
    key(vk, scan, true);
    key(vk, scan, false);
  };
  auto mods_of_next_key = [&]() {
    reset_frame_input();
    key('B', 0x30, true);
    key('B', 0x30, false);
    pump();
    auto events = drain();
    EXPECT_EQ(events.size(), 2u);
    return events.empty() ? -1 : events[0].mods;
  };
  struct Case {
    int vk, scan, bit;
  } locks[] = {{VK_CAPITAL, 0x3A, INPUT_MOD_CAPS}, {VK_SCROLL, 0x46, INPUT_MOD_SCROLL}, {VK_NUMLOCK, 0x145, INPUT_MOD_NUM}};
  for (const Case& c : locks) {
    int before = mods_of_next_key() & c.bit;
    tap(c.vk, c.scan);
    pump();
    EXPECT_NE(mods_of_next_key() & c.bit, before) << "lock key " << c.vk << " toggles its bit";
    tap(c.vk, c.scan);
    pump();
    EXPECT_EQ(mods_of_next_key() & c.bit, before) << "and back";
  }
  key(VK_CONTROL, 0x1D, true);
  key(VK_MENU, 0x38, true);
  post(WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(5, 5));
  post(WM_MBUTTONDOWN, MK_MBUTTON, MAKELPARAM(5, 5));
  pump();
  int held = mods_of_next_key();
  EXPECT_EQ(held & (INPUT_MOD_CTRL | INPUT_MOD_ALT | INPUT_MOD_RBUTTON | INPUT_MOD_MBUTTON),
            INPUT_MOD_CTRL | INPUT_MOD_ALT | INPUT_MOD_RBUTTON | INPUT_MOD_MBUTTON);
  EXPECT_EQ(held & (INPUT_MOD_SHIFT | INPUT_MOD_LBUTTON | INPUT_MOD_REPEAT), 0);
  key(VK_CONTROL, 0x1D, false);
  key(VK_MENU, 0x38, false);
  post(WM_RBUTTONUP, 0, MAKELPARAM(5, 5));
  post(WM_MBUTTONUP, 0, MAKELPARAM(5, 5));
  pump();
  reset_frame_input();
}

TEST_F(InputTest, TextInputPeeksKeyDownCharactersInOrder) {
  int buffer[8];
  key('A', 0x1E, true);
  key('A', 0x1E, false);
  post(WM_KEYDOWN, VK_LEFT, key_lparam(0x14B));
  key('B', 0x30, true);
  pump();
  int n = peekTextInput(buffer, 8);
  ASSERT_EQ(n, 3);
  EXPECT_EQ(buffer[0], 'a');
  EXPECT_EQ(buffer[1], 0) << "zeros included";
  EXPECT_EQ(buffer[2], 'b');
  EXPECT_EQ(peekTextInput(buffer, 2), 2) << "at most the capacity";
  EXPECT_EQ(drain().size(), 4u) << "peeking removes nothing";
  post(WM_KEYUP, VK_LEFT, key_lparam(0x14B, false, true));
  key('B', 0x30, false);
  pump();
}

TEST_F(InputTest, MouseButtonsPositionsAndCapture) {
  post(WM_MOUSEMOVE, 0, MAKELPARAM(100, 50));
  post(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 50));
  post(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM((WORD)-5, 900));  // dragged outside the window
  pump();
  EXPECT_TRUE(keyDown(VK_LBUTTON)) << "a left click is key 1 going down";
  EXPECT_EQ(GetCapture(), main_window);
  EXPECT_TRUE(isMouseOver()) << "captured";
  float x, y;
  getMousePos(&x, &y);
  EXPECT_EQ(x, 0.0f);
  EXPECT_EQ(y, 359.0f) << "held to the back buffer";
  post(WM_LBUTTONUP, 0, MAKELPARAM(700, 700));
  pump();
  EXPECT_TRUE(keyUp(VK_LBUTTON));
  EXPECT_EQ(GetCapture(), nullptr);
  auto events = drain();
  ASSERT_EQ(events.size(), 4u);
  EXPECT_EQ(events[0].type, IE_MOUSE_MOVE);
  EXPECT_EQ(events[1].type, IE_BUTTON_DOWN);
  EXPECT_EQ(events[1].code, 1);
  EXPECT_TRUE(events[2].mods & INPUT_MOD_LBUTTON) << "the button is held during the drag";
  EXPECT_EQ(events[3].type, IE_BUTTON_UP);
  EXPECT_EQ(events[3].x, 0.0f) << "the release takes the last position inside the back buffer";
  EXPECT_EQ(events[3].y, 359.0f);
  // The cursor was put back there.
  POINT pt;
  GetCursorPos(&pt);
  ScreenToClient(main_window, &pt);
  EXPECT_EQ(pt.x, 0);
  EXPECT_EQ(pt.y, 359);
  for (auto [down, up, code] : {std::tuple{WM_RBUTTONDOWN, WM_RBUTTONUP, 2}, std::tuple{WM_MBUTTONDOWN, WM_MBUTTONUP, 4}}) {
    post(down, 0, MAKELPARAM(10, 10));
    post(up, 0, MAKELPARAM(10, 10));
    pump();
    EXPECT_TRUE(keyDown(code)) << code;
    EXPECT_TRUE(keyUp(code)) << code;
    reset_frame_input();
  }
}

TEST_F(InputTest, WheelStepsAndFineDeltasAccumulate) {
  POINT screen{20, 30};
  ClientToScreen(main_window, &screen);
  LPARAM at = MAKELPARAM(screen.x, screen.y);
  struct Case {
    int delta;
    int steps;
  } cases[] = {{120, 1}, {-120, -1}, {240, 2}, {60, 0}, {60, 1}, {-60, 0}, {-30, 0}, {-30, -1}, {30, 0}, {-120, -1}};
  int total = 0;
  for (const Case& c : cases) {
    post(WM_MOUSEWHEEL, MAKEWPARAM(0, (WORD)(SHORT)c.delta), at);
    pump();
    auto events = drain();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].type, IE_WHEEL);
    EXPECT_EQ(events[0].wheel, c.steps) << c.delta;
    EXPECT_EQ(events[0].code, 0);
    EXPECT_EQ(events[0].x, 20.0f) << "screen position turned into client position";
    EXPECT_EQ(events[0].y, 30.0f);
    total += c.steps;
  }
  EXPECT_EQ(getMouseWheel(), total);
  reset_frame_input();
  EXPECT_EQ(getMouseWheel(), 0);
}

TEST_F(InputTest, BlockedKeyboardAndMouse) {
  key('A', 0x1E, true);
  post(WM_MOUSEMOVE, 0, MAKELPARAM(5, 6));
  post(WM_LBUTTONDOWN, 0, MAKELPARAM(5, 6));
  pump();
  blockKeyboardInput(true);
  EXPECT_FALSE(keyDown('A'));
  EXPECT_FALSE(getKeyState('A'));
  EXPECT_EQ(getKey(), 0);
  EXPECT_EQ(getChar(), 0);
  int buffer[4];
  EXPECT_EQ(peekTextInput(buffer, 4), 0);
  bool state[256];
  getKeyboardState(state);
  EXPECT_FALSE(state['A']);
  EXPECT_TRUE(keyDown(VK_LBUTTON)) << "mouse buttons follow the mouse block";
  auto events = drain();
  ASSERT_EQ(events.size(), 2u) << "key events are dropped, mouse events stay";
  EXPECT_EQ(events[0].type, IE_MOUSE_MOVE);
  EXPECT_EQ(events[1].type, IE_BUTTON_DOWN);
  blockKeyboardInput(false);

  post(WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 0);
  pump();
  blockMouseInput(true);
  EXPECT_TRUE(isMouseBlocked());
  EXPECT_FALSE(keyDown(VK_LBUTTON));
  EXPECT_EQ(getMouseWheel(), 0);
  post(WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 0);
  pump();
  EXPECT_EQ(drain().size(), 0u) << "wheel events are queued but dropped while blocked";
  blockMouseInput(false);
  EXPECT_EQ(getMouseWheel(), 1) << "the count was cleared once, when the block was set";
  key('A', 0x1E, false);
  post(WM_LBUTTONUP, 0, 0);
  pump();
}

TEST_F(InputTest, RawMotionAccumulatesUntilReset) {
  post(WM_INPUT, 0, (LPARAM)win32_store_raw_mouse(3, -2, false));
  post(WM_INPUT, 0, (LPARAM)win32_store_raw_mouse(4, 1, false));
  post(WM_INPUT, 0, (LPARAM)win32_store_raw_mouse(100, 100, true));  // absolute: ignored
  pump();
  float dx, dy;
  get_raw_mouse_delta(&dx, &dy);
  EXPECT_EQ(dx, 7.0f);
  EXPECT_EQ(dy, -1.0f);
  reset_frame_input();
  get_raw_mouse_delta(&dx, &dy);
  EXPECT_EQ(dx, 7.0f) << "survives the frame reset";
  reset_update_time();
  get_raw_mouse_delta(&dx, &dy);
  EXPECT_EQ(dx, 0.0f);
  EXPECT_EQ(dy, 0.0f);
}

TEST_F(InputTest, GuiRuntimeReadsTheSameQueue) {
  connect_gui_input();
  post(WM_MOUSEMOVE, 0, MAKELPARAM(30, 40));
  key('A', 0x1E, true);
  pump();
  GuiInput in;
  ASSERT_TRUE(gui_get_event(&in));
  EXPECT_EQ(in.type, GuiInput::MOUSE_MOVE);
  EXPECT_EQ(in.x, 30.0f);
  ASSERT_TRUE(gui_get_event(&in));
  EXPECT_EQ(in.type, GuiInput::KEY_DOWN);
  EXPECT_EQ(in.code, 'A');
  EXPECT_EQ(in.character, (uint32_t)'a');
  EXPECT_FALSE(gui_get_event(&in));
  float x, y;
  gui_get_mouse_pos(&x, &y);
  EXPECT_EQ(y, 40.0f);
  EXPECT_TRUE(gui_is_mouse_over() == isMouseOver());
  int w, h;
  gui_get_screen_size(&w, &h);
  EXPECT_EQ(w, 640);
  EXPECT_EQ(h, 360);
  key('A', 0x1E, false);
  pump();
}

TEST_F(InputTest, MouseOverFollowsTheCursorAndSetMousePosMovesIt) {
  ClipCursor(nullptr);
  POINT origin{0, 0};
  ClientToScreen(main_window, &origin);
  struct Case {
    int x, y;  // client position of the cursor
    bool fullscreen;
    bool over;
  } cases[] = {
      {10, 10, false, true},   {639, 359, false, true}, {640, 10, false, false}, {10, -3, false, false},
      {-1, 100, false, false}, {10, -3, true, true},  // fullscreen: always over
  };
  for (const Case& c : cases) {
    isFullscreen = c.fullscreen;
    SetCursorPos(origin.x + c.x, origin.y + c.y);
    pump();
    EXPECT_EQ(isMouseOver(), c.over) << c.x << "," << c.y << (c.fullscreen ? " fullscreen" : "");
  }
  isFullscreen = false;

  post(WM_MOUSEMOVE, 0, MAKELPARAM(50, 60));
  pump();
  setMousePos(12.7f, 20.2f);
  POINT pt;
  GetCursorPos(&pt);
  EXPECT_EQ(pt.x, origin.x + 12) << "truncated";
  EXPECT_EQ(pt.y, origin.y + 20);
  float x, y;
  getMousePos(&x, &y);
  EXPECT_EQ(x, 50.0f) << "the stored position waits for the next mouse move";
  EXPECT_EQ(y, 60.0f);
}

TEST_F(InputTest, OutOfRangeKeys) {
  EXPECT_FALSE(keyDown(300));
  EXPECT_FALSE(keyUp(-1));
  EXPECT_FALSE(getKeyState(256));
}

TEST(KeyNames, Table) {
  struct Case {
    int key;
    const char* name;
  } cases[] = {{65, "A"},       {90, "Z"},          {48, "0"},           {3, "#03"},       {0, "#00"},
               {255, "#FF"},    {10, "#0A"},        {300, "?"},          {-1, "?"},        {1, "Left Mouse Button"},
               {13, "Enter"},   {96, "NumPad 0"},   {105, "NumPad 9"},   {112, "F1"},      {123, "F12"},
               {124, "#7C"},    {186, "Semicolon"}, {222, "Apostrophe"}, {108, "#6C"},     {17, "Ctrl"}};
  for (const Case& c : cases)
    EXPECT_STREQ(getKeyName(c.key), c.name) << c.key;
}

}  // namespace
