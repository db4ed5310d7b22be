// The controls screen: one key box per button. Point at a box and press the key
// (or mouse button) to bind it, or pick a box with the keyboard, press Enter and
// then the key. A key another button holds is swapped: that button takes the old
// key. The Menu button's key leaves for the title and binds nothing, and Print Screen
// stays the screenshot key.
/*
import menus
import shell_api
import sound
*/
#include "engine/world/gameobj_api.h"
#include "gameobj/menus.h"
#include "gameobj/shell_api.h"
#include "gameobj/sound.h"

namespace {

constexpr int BACK = 100;
constexpr const char* HINT = "Point at a box and press a key, or pick it with Enter";

// The button other than `except` that `key` is bound to, or -1.
int button_bound_to(int key, int except) {
  for (int b = 0; b < shell::NUM_BUTTONS; b++)
    if (b != except && shell::bound_key(b) == key)
      return b;
  return -1;
}

class ControlsScreen : public MenuScreen {
 public:
  UiLabel* hint = nullptr;

  ControlsScreen() {
    makePanel(240, 180, "CONTROLS");
    hint = addLabel(panel, HINT, 0, 22, 240, 6);
    hint->color = ui_color::DIM;
    for (int b = 0; b < shell::NUM_BUTTONS; b++)
      addKeyBox(b, 36 + b * 19);
    addItem("Back", BACK, 36 + shell::NUM_BUTTONS * 19 + 4)->icon = "arrow_left";
    refresh();
    game_controls_screen = this;
  }
  ~ControlsScreen() override {
    if (game_controls_screen == this)
      game_controls_screen = nullptr;
  }

  UiKeyBox* keyBox(int index) { return index < shell::NUM_BUTTONS ? static_cast<UiKeyBox*>(items[index]) : nullptr; }

  void refresh() {
    for (int b = 0; b < shell::NUM_BUTTONS; b++) {
      UiKeyBox* box = keyBox(b);
      const char* name = shell::ui_name(b);
      box->text = name ? name : "?";
      box->detail = shell::key_name(b).str;
      box->waiting = false;
    }
  }

  UiKeyBox* waitingBox() {
    for (int b = 0; b < shell::NUM_BUTTONS; b++)
      if (keyBox(b)->waiting)
        return keyBox(b);
    return nullptr;
  }

  // The Menu key leaves instead. After a swap the hint line names the other box's
  // new key, which changed as well.
  void onKeyBound(UiKeyBox* box, int code) override {
    // Print Screen takes the screenshot: a picture of this screen binds nothing.
    if (code == KEY_PRINT_SCREEN)
      return;
    if (code == shell::menu_key()) {
      pendingAction = ACTION_BACK;  // leaves outside the event dispatch
      return;
    }
    int old_key = shell::bound_key(box->button);
    int other = button_bound_to(code, box->button);
    shell::bind_key(box->button, code);
    if (other >= 0)
      shell::bind_key(other, old_key);
    play_event(SND_UI_CLICK);
    refresh();
    showSwap(other);
    setFocus(box->button, false);
  }

  void showSwap(int other) {
    if (other < 0) {
      hint->text = HINT;
      hint->color = ui_color::DIM;
      return;
    }
    const char* name = shell::ui_name(other);
    TempString<300> text;
    text.format("Swapped: %s is now on %s", name ? name : "?", shell::key_name(other).str);
    hint->text = text.str;
    hint->color = ui_color::TITLE;
  }

  void onKey(int code) override {
    UiKeyBox* box = waitingBox();
    if (box && code != shell::menu_key()) {
      onKeyBound(box, code);
      return;
    }
    MenuScreen::onKey(code);
  }

  void onAction(int action) override {
    if (action == BACK) {
      onBack();
      return;
    }
    if (UiKeyBox* box = keyBox(action))
      box->waiting = true;
  }

  void onBack() override {
    play_event(SND_UI_BACK);
    show_menu_screen(make_title_screen());
  }
};

}  // namespace

MenuScreen* make_controls_screen() { return new ControlsScreen(); }
