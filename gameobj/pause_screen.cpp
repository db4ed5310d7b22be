// The pause menu over the frozen game: continue, or back to the title.
/*
import menus
import shell_api
*/
#include "engine/world/gameobj_api.h"
#include "gameobj/menus.h"
#include "gameobj/shell_api.h"

namespace {

enum { CONTINUE, MAIN_MENU };

class PauseScreen : public MenuScreen {
 public:
  PauseScreen() {
    makePanel(140, 70, "PAUSED");
    addItem("Continue", CONTINUE, 28)->icon = "play";
    addItem("Main menu", MAIN_MENU, 47)->icon = "arrow_left";
    game_menu_screen = this;
  }
  ~PauseScreen() override {
    if (game_menu_screen == this)
      game_menu_screen = nullptr;
  }
  void onAction(int action) override {
    if (action == CONTINUE)
      should_close_game_menu = true;
    else
      shell::main_menu();
  }
  // The menu button closes the pause menu again.
  void onBack() override { should_close_game_menu = true; }
};

}  // namespace

MenuScreen* make_pause_screen() { return new PauseScreen(); }
