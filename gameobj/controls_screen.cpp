// The controls screen: one key box per button. Point at a box and press the key
// (or mouse button) to bind it, or pick a box with the keyboard, press Enter and
// then the key. Escape leaves for the title.
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

class ControlsScreen : public MenuScreen {
 public:
  ControlsScreen() {
    makePanel(240, 180, "CONTROLS");
    addLabel(panel, "Point at a box and press a key, or pick it with Enter", 0, 22, 240, 6)->color = ui_color::DIM;
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

  void onKeyBound(UiKeyBox* box, int code) override {
    shell::bind_key(box->button, code);
    play_event(SND_UI_CLICK);
    refresh();
    setFocus(box->button, false);
  }

  void onKey(int code) override {
    if (UiKeyBox* box = waitingBox()) {
      if (code == KEY_ESCAPE) {
        box->waiting = false;
        play_event(SND_UI_BACK);
      } else {
        onKeyBound(box, code);
      }
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
