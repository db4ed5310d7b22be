// Controls: the six button bindings with their settings, the button queries through
// the real input road, and the "keybox" and "sound" GUI behaviours.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/core/settings.h"
#include "engine/gui/gui_behaviors.h"
#include "engine/gui/gui_host.h"
#include "engine/gui/gui_screen.h"
#include "engine/shell/controls.h"
#include "tests/support/game_window.h"
#include "tests/support/stand_in_module.h"

namespace {

class ControlsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The per-user folder exists, as start-up makes it; no settings file from an
    // earlier test of this program.
    close_app_config();
    std::string user = std::string(getenv("XDG_DATA_HOME")) + "/TORVANE";
    mkdir(user.c_str(), 0755);
    std::remove((user + "/settings.cfg").c_str());
    clear_behavior_registry();
    install_stand_in_module(STAND_IN_ALL);
  }
  void TearDown() override {
    close_app_config();
    clear_behavior_registry();
    uninstall_stand_in_module();
  }
};

std::vector<int> bindings() { return std::vector<int>(button_keys, button_keys + NUM_BUTTONS); }

TEST_F(ControlsTest, WithoutSettingsTheBindingsAreTheDefaults) {
  for (int& k : button_keys)
    k = -7;
  init_controls();
  EXPECT_EQ(bindings(), (std::vector<int>{'A', 'D', 'W', 1, 2, 27}));
}

// What a stored value of "B_jump" binds jump to (87, W, is the default).
TEST_F(ControlsTest, StoredBindingsNeedTheHashSign) {
  struct Case {
    const char* stored;
    int key;
  };
  const Case cases[] = {
      {"#32", 32},    // Space
      {"32", 87},     // no hash sign: the default stays
      {"#abc", 0},    // letters: key 0, which no query reports pressed
      {"#", 0},
      {"#65x", 65},   // leading digits only
      {"#-5", -5},
      {"", 87},
      {"x#32", 87},
  };
  for (const Case& c : cases) {
    close_app_config();
    set_config_str("B_jump", c.stored);
    init_controls();
    EXPECT_EQ(button_keys[BUTTON_JUMP], c.key) << "stored \"" << c.stored << "\"";
    EXPECT_EQ(button_keys[BUTTON_LEFT], 'A') << "other buttons keep their defaults";
  }
}

TEST_F(ControlsTest, SetButtonKeyStoresHashAndNumber) {
  init_controls();
  set_button_key(BUTTON_SHOOT_PRI, 17);
  EXPECT_EQ(button_keys[BUTTON_SHOOT_PRI], 17);
  char text[64] = {};
  ASSERT_TRUE(get_config_str("B_shootPri", text, sizeof(text)));
  EXPECT_STREQ(text, "#17");
  EXPECT_STREQ(get_button_key_name(BUTTON_SHOOT_PRI).c_str(), "Ctrl");

  // Read back at the next start.
  ASSERT_TRUE(flush_app_config());
  close_app_config();
  init_controls();
  EXPECT_EQ(button_keys[BUTTON_SHOOT_PRI], 17);

  // Buttons outside 0..5 change nothing.
  std::vector<int> before = bindings();
  set_button_key(6, 40);
  set_button_key(-1, 40);
  EXPECT_EQ(bindings(), before);
  EXPECT_FALSE(get_config_str("B_", text, sizeof(text)));
}

TEST_F(ControlsTest, NamesOfButtonsAndTheirKeys) {
  init_controls();
  const char* ui_names[NUM_BUTTONS] = {"Left", "Right", "Jump", "Shoot primary", "Shoot secondary", "Menu"};
  const char* key_names[NUM_BUTTONS] = {"A", "D", "W", "Left Mouse Button", "Right Mouse Button", "Escape"};
  for (int b = 0; b < NUM_BUTTONS; b++) {
    EXPECT_STREQ(get_button_ui_name(b), ui_names[b]);
    EXPECT_STREQ(get_button_key_name(b).c_str(), key_names[b]);
  }
  for (int b : {6, -1, 100}) {
    EXPECT_EQ(get_button_ui_name(b), nullptr);
    EXPECT_STREQ(get_button_key_name(b).c_str(), "");
  }
}

TEST_F(ControlsTest, ButtonQueriesAskTheBoundKey) {
  game_window::open();
  close_app_config();
  set_config_str("B_jump", "#32");
  init_controls();

  game_window::post_key(VK_SPACE, true);
  game_window::post_button(VK_LBUTTON, true);
  game_window::pump();
  EXPECT_TRUE(button_down(BUTTON_JUMP));
  EXPECT_TRUE(button_state(BUTTON_JUMP));
  EXPECT_FALSE(button_up(BUTTON_JUMP));
  EXPECT_TRUE(button_down(BUTTON_SHOOT_PRI));
  EXPECT_FALSE(button_down(BUTTON_LEFT));
  EXPECT_FALSE(button_down(BUTTON_MENU));
  for (int b : {6, -1}) {
    EXPECT_FALSE(button_down(b));
    EXPECT_FALSE(button_up(b));
    EXPECT_FALSE(button_state(b));
  }
  game_window::end_update();

  game_window::post_key(VK_SPACE, false);
  game_window::post_button(VK_LBUTTON, false);
  game_window::pump();
  EXPECT_FALSE(button_down(BUTTON_JUMP));
  EXPECT_TRUE(button_up(BUTTON_JUMP));
  EXPECT_FALSE(button_state(BUTTON_JUMP));
  EXPECT_TRUE(button_up(BUTTON_SHOOT_PRI));
  game_window::end_update();

  // The old key no longer counts.
  game_window::tap('W');
  game_window::pump();
  EXPECT_FALSE(button_down(BUTTON_JUMP));
  game_window::end_update();
}

TEST_F(ControlsTest, BehavioursAreRegisteredOnce) {
  KeyBoxBehavior earlier;
  register_behavior(&earlier, "keybox");
  init_controls();
  EXPECT_EQ(get_behavior("keybox"), &earlier) << "a name registered already is kept";
  EXPECT_EQ(get_behavior("sound"), &sound_behavior);
  EXPECT_EQ(keybox_behavior.mask, 1204u);
  EXPECT_EQ(sound_behavior.mask, 0u);
}

// ---- "keybox" -------------------------------------------------------------------------------

class InactiveElement : public GuiElement {
 public:
  bool isActive() override { return false; }
};

struct KeyBox {
  GuiElement* box;
  std::vector<int> codes;

  explicit KeyBox(GuiElement* element) : box(element) {
    box->rect = _mm_setr_ps(10, 10, 50, 50);
    box->addBehavior(&gui_hittest_box_handler);
    box->addBehavior(&keybox_behavior);
    box->clickSignal.connect([this](GuiElement* e, int code) {
      EXPECT_EQ(e, box);
      codes.push_back(code);
    });
  }
  ~KeyBox() { delete box; }

  int send(uint32_t mask, int type, int code, float x, float y) {
    GuiInput in;
    in.type = type;
    in.code = code;
    in.x = x;
    in.y = y;
    NewGuiInputEvent event(mask, in);
    return keybox_behavior.handle(event, box, GUI_ROUTE_DEPTH);
  }
};

TEST_F(ControlsTest, KeyBoxReportsTheKeyOrButtonPressedOverIt) {
  KeyBox k(new GuiElement);
  EXPECT_EQ(k.send(GUI_EVENT_KEY, GuiInput::KEY_DOWN, 'Q', 20, 20), GUI_HANDLED);
  EXPECT_EQ(k.send(GUI_EVENT_MOUSE_DOWN, GuiInput::MOUSE_DOWN, 2, 30, 40), GUI_HANDLED);
  EXPECT_EQ(k.send(GUI_EVENT_MOUSE_DOWN, GuiInput::MOUSE_DOWN, 4, 50, 50), GUI_HANDLED);
  EXPECT_EQ(k.codes, (std::vector<int>{'Q', 2, 4}));

  // Outside the box, or a key going up: handled, nothing reported.
  k.codes.clear();
  EXPECT_EQ(k.send(GUI_EVENT_KEY, GuiInput::KEY_DOWN, 'Q', 60, 20), GUI_HANDLED);
  EXPECT_EQ(k.send(GUI_EVENT_MOUSE_DOWN, GuiInput::MOUSE_DOWN, 1, 10, 10), GUI_HANDLED) << "the left edge is outside";
  EXPECT_EQ(k.send(GUI_EVENT_KEY, GuiInput::KEY_UP, 'Q', 20, 20), GUI_HANDLED);
  EXPECT_TRUE(k.codes.empty());
}

TEST_F(ControlsTest, KeyBoxHoverAndReset) {
  KeyBox k(new GuiElement);
  // The hover signal tells of each change, once.
  std::vector<bool> heard;
  k.box->hoverSignal.connect([&](GuiElement*, bool over) { heard.push_back(over); });
  k.box->setPressed(true);
  EXPECT_EQ(k.send(GUI_EVENT_ENTER, GuiInput::MOUSE_MOVE, 0, 20, 20), GUI_HANDLED);
  EXPECT_TRUE(k.box->isHovered());
  k.send(GUI_EVENT_ENTER, GuiInput::MOUSE_MOVE, 0, 21, 20);
  EXPECT_EQ(k.send(GUI_EVENT_LEAVE, GuiInput::MOUSE_MOVE, 0, 90, 90), GUI_HANDLED);
  EXPECT_FALSE(k.box->isHovered());
  EXPECT_EQ(heard, (std::vector<bool>{true, false}));
  k.send(GUI_EVENT_ENTER, GuiInput::MOUSE_MOVE, 0, 20, 20);
  EXPECT_EQ(k.send(GUI_EVENT_RESET, 0, 0, 0, 0), GUI_UNHANDLED);
  EXPECT_FALSE(k.box->isHovered());
  EXPECT_FALSE(k.box->isPressed());

  // Attaching and detaching clear both states as well.
  k.box->setPressed(true);
  k.box->setHovered(true);
  keybox_behavior.detach(k.box);
  EXPECT_FALSE(k.box->isPressed());
  EXPECT_FALSE(k.box->isHovered());
}

TEST_F(ControlsTest, InactiveKeyBoxTakesNothingButResets) {
  KeyBox k(new InactiveElement);
  EXPECT_EQ(k.send(GUI_EVENT_KEY, GuiInput::KEY_DOWN, 'Q', 20, 20), GUI_UNHANDLED);
  EXPECT_EQ(k.send(GUI_EVENT_ENTER, GuiInput::MOUSE_MOVE, 0, 20, 20), GUI_UNHANDLED);
  EXPECT_FALSE(k.box->isHovered());
  EXPECT_TRUE(k.codes.empty());
  k.box->setHovered(true);
  EXPECT_EQ(k.send(GUI_EVENT_RESET, 0, 0, 0, 0), GUI_UNHANDLED);
  EXPECT_FALSE(k.box->isHovered());
}

// The real road of a screen: the key pressed while the pointer is over the box.
TEST_F(ControlsTest, KeyBoxOnAScreenCapturesTheKeyUnderThePointer) {
  static std::vector<GuiInput> events;
  static size_t next = 0;
  events.clear();
  next = 0;
  gui_host.get_event = [](GuiInput* out) {
    if (next >= events.size())
      return false;
    *out = events[next++];
    return true;
  };
  register_std_behaviors();
  init_controls();
  BaseGuiScreen* screen = new BaseGuiScreen;
  screen->root = new GuiElement;
  screen->root->rect = _mm_setr_ps(0, 0, 200, 200);
  screen->root->addBehavior("solid_box");
  GuiElement* box = new GuiElement;
  box->rect = _mm_setr_ps(10, 10, 50, 50);
  screen->root->addChild(box);
  box->addBehavior("solid_box");
  ASSERT_TRUE(box->addBehavior("keybox"));
  std::vector<int> codes;
  box->clickSignal.connect([&](GuiElement*, int code) { codes.push_back(code); });

  auto input = [](int type, int code, float x, float y) {
    GuiInput in;
    in.type = type;
    in.code = code;
    in.x = x;
    in.y = y;
    return in;
  };
  events = {input(GuiInput::MOUSE_MOVE, 0, 20, 20), input(GuiInput::KEY_DOWN, 'K', 20, 20),
            input(GuiInput::MOUSE_MOVE, 0, 100, 100), input(GuiInput::KEY_DOWN, 'L', 100, 100)};
  screen->processInput();
  EXPECT_EQ(codes, (std::vector<int>{'K'}));
  screen->destroy();
  destroy_queued_gui_elements();
  gui_host = GuiHost();
}

// ---- "sound" --------------------------------------------------------------------------------

TEST_F(ControlsTest, SoundBehaviourPlaysTheInterfaceSounds) {
  GuiElement element;
  EXPECT_TRUE(element.addBehavior(&sound_behavior));
  element.hoverSignal.fire(&element, true);
  element.hoverSignal.fire(&element, false);
  element.pressSignal.fire();
  element.releaseSignal.fire();
  EXPECT_EQ(call_log, (std::vector<std::string>{"play_sound_event_no_pos(39)", "play_sound_event_no_pos(40)",
                                                "play_sound_event_no_pos(41)"}));
  GuiInput in;
  NewGuiInputEvent event(GUI_EVENT_KEY, in);
  EXPECT_EQ(sound_behavior.handle(event, &element, GUI_ROUTE_DEPTH), GUI_HANDLED);

  // Detaching leaves the sounds connected.
  call_log.clear();
  sound_behavior.detach(&element);
  element.pressSignal.fire();
  EXPECT_EQ(call_log, (std::vector<std::string>{"play_sound_event_no_pos(40)"}));
}

TEST_F(ControlsTest, SoundBehaviourAttachedTwicePlaysEachSoundTwice) {
  GuiElement element;
  sound_behavior.attach(&element);
  sound_behavior.attach(&element);
  element.hoverSignal.fire(&element, true);
  element.releaseSignal.fire();
  EXPECT_EQ(call_log, (std::vector<std::string>{"play_sound_event_no_pos(39)", "play_sound_event_no_pos(39)",
                                                "play_sound_event_no_pos(41)", "play_sound_event_no_pos(41)"}));
}

// ---- signal connection --------------------------------------------------------------------------

struct Counter {
  std::string* order = nullptr;
  std::vector<bool> flags;
  void bump() { *order += "method "; }
  void hover(GuiElement*, bool on) { flags.push_back(on); }
};

TEST_F(ControlsTest, ConnectedCallbacksRunNewestFirst) {
  Signal<> signal;
  std::string order;
  Counter c;
  c.order = &order;
  connect_signal(signal, static_cast<SignalCallback0*>(nullptr));  // ignored
  signal.connect([&] { order += "old "; });
  connect_signal(signal, &c, &Counter::bump);
  signal.connect([&] { order += "new "; });
  signal.fire();
  EXPECT_EQ(order, "new method old ");

  Signal<GuiElement*, bool> hover;
  connect_signal(hover, &c, &Counter::hover);
  hover.fire(nullptr, true);
  hover.fire(nullptr, false);
  EXPECT_EQ(c.flags, (std::vector<bool>{true, false}));
}

void connect_linked_node() {
  Signal<> a, b;
  a.connect([] {});
  SignalCallback0* middle = a.connect([] {});
  a.connect([] {});
  connect_signal(b, middle);
}

void connect_own_last_node() {
  Signal<> a;
  SignalCallback0* last = a.connect([] {});
  a.connect([] {});
  // The last node has no successor; linking it again would close the list into a loop.
  connect_signal(a, last);
}

TEST_F(ControlsTest, ConnectingALinkedNodeFailsItsCheck) {
  EXPECT_EXIT(connect_linked_node(), ::testing::ExitedWithCode(100), "failed ASSERT\\(!c->next\\)");
  EXPECT_EXIT(connect_own_last_node(), ::testing::ExitedWithCode(100),
              "failed ASSERT\\(!signal.contains\\(c\\)\\)");
}

}  // namespace
