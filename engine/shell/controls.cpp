// Key bindings of the six game buttons and the "keybox" and "sound" GUI behaviours.
#include "engine/shell/controls.h"

#include <cstdio>
#include <cstdlib>

#include "engine/core/settings.h"
#include "engine/shell/input.h"
#include "engine/world/gameobj_api.h"

int button_keys[NUM_BUTTONS];

KeyBoxBehavior keybox_behavior;
SoundBehavior sound_behavior;

namespace {

struct ButtonInfo {
  const char* settings_key;
  int default_key;
  const char* ui_name;
};

const ButtonInfo buttons[NUM_BUTTONS] = {
    {"B_left", 'A', "Left"},
    {"B_right", 'D', "Right"},
    {"B_jump", 'W', "Jump"},
    {"B_shootPri", VK_LBUTTON, "Shoot primary"},
    {"B_shootSec", VK_RBUTTON, "Shoot secondary"},
    {"B_menu", VK_ESCAPE, "Menu"},
};

bool valid_button(int button) { return button >= 0 && button < NUM_BUTTONS; }

// Sound events of the interface.
constexpr int SOUND_UI_HOVER = 39;
constexpr int SOUND_UI_CLICK = 40;
constexpr int SOUND_UI_RELEASE = 41;

}  // namespace

void init_controls() {
  for (int i = 0; i < NUM_BUTTONS; i++) {
    button_keys[i] = buttons[i].default_key;
    char text[64];
    // A binding is stored as "#" and the key's number; anything else keeps the default.
    if (get_config_str(buttons[i].settings_key, text, sizeof(text)) && text[0] == '#')
      button_keys[i] = atoi(text + 1);
  }
  register_behavior(&keybox_behavior, "keybox");
  register_behavior(&sound_behavior, "sound");
}

void set_button_key(int button, int key) {
  if (!valid_button(button))
    return;
  button_keys[button] = key;
  char text[16];
  snprintf(text, sizeof(text), "#%d", key);
  set_config_str(buttons[button].settings_key, text);
}

bool button_down(int button) { return valid_button(button) && keyDown(button_keys[button]); }
bool button_up(int button) { return valid_button(button) && keyUp(button_keys[button]); }
bool button_state(int button) { return valid_button(button) && getKeyState(button_keys[button]); }

TempString<260> get_button_key_name(int button) {
  if (!valid_button(button))
    return TempString<260>();
  return TempString<260>(getKeyName(button_keys[button]));
}

const char* get_button_ui_name(int button) { return valid_button(button) ? buttons[button].ui_name : nullptr; }

// ---- "keybox" ----------------------------------------------------------------------------

int KeyBoxBehavior::handle(NewGuiEvent& event, GuiElement* element, int) {
  if (event.mask & GUI_EVENT_RESET) {
    element->setPressed(false);
    element->setHovered(false);
    return GUI_UNHANDLED;
  }
  if (!element->isActive())
    return GUI_UNHANDLED;
  if (event.mask & (GUI_EVENT_ENTER | GUI_EVENT_LEAVE)) {
    // The hover signal tells of the change, as a button's does: the menu's focus and
    // the hover sound follow it.
    bool hovered = (event.mask & GUI_EVENT_ENTER) != 0;
    bool changed = element->isHovered() != hovered;
    element->setHovered(hovered);
    if (changed)
      element->hoverSignal.fire(element, hovered);
    return GUI_HANDLED;
  }
  const GuiInput& in = static_cast<NewGuiInputEvent&>(event).input;
  bool key_pressed = (event.mask & GUI_EVENT_KEY) && in.type == GuiInput::KEY_DOWN;
  // Only a key or button pressed while the pointer is over the box is captured.
  if ((key_pressed || (event.mask & GUI_EVENT_MOUSE_DOWN)) && hit_test(element, in.x, in.y) == element)
    element->clickSignal.fire(element, in.code);
  return GUI_HANDLED;
}

void KeyBoxBehavior::attach(GuiElement* element) {
  element->setPressed(false);
  element->setHovered(false);
}

void KeyBoxBehavior::detach(GuiElement* element) {
  element->setPressed(false);
  element->setHovered(false);
}

// ---- "sound" -----------------------------------------------------------------------------

int SoundBehavior::handle(NewGuiEvent&, GuiElement*, int) { return GUI_HANDLED; }

// The callbacks stay with the element when the behaviour is detached.
void SoundBehavior::attach(GuiElement* element) {
  connect_signal(element->hoverSignal, this, &SoundBehavior::onHover);
  connect_signal(element->pressSignal, this, &SoundBehavior::onPress);
  connect_signal(element->releaseSignal, this, &SoundBehavior::onRelease);
}

void SoundBehavior::onHover(GuiElement*, bool hovered) {
  if (hovered)
    gameobj_func_table.play_sound_event_no_pos(SOUND_UI_HOVER);
}

void SoundBehavior::onPress() { gameobj_func_table.play_sound_event_no_pos(SOUND_UI_CLICK); }

void SoundBehavior::onRelease() { gameobj_func_table.play_sound_event_no_pos(SOUND_UI_RELEASE); }
