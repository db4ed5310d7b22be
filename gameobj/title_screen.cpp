// The title screen: new game, controls, quit.
/*
import menus
import sound
*/
#include "engine/world/gameobj_api.h"
#include "gameobj/menus.h"
#include "gameobj/sound.h"

namespace {

enum { NEW_GAME, CONTROLS, QUIT };

class TitleScreen : public MenuScreen {
 public:
  TitleScreen() {
    makePanel(150, 96, "TORVANE!");
    addLabel(panel, "an elevator to the top", 0, 24, 150, 7)->color = ui_color::DIM;
    addItem("New game", NEW_GAME, 38)->icon = "play";
    addItem("Controls", CONTROLS, 57)->icon = "keyboard";
    addItem("Quit", QUIT, 76)->icon = "cross";
    main_menu_screen = this;
  }
  ~TitleScreen() override {
    if (main_menu_screen == this)
      main_menu_screen = nullptr;
  }
  void onAction(int action) override {
    switch (action) {
      case NEW_GAME:
        should_close_game_menu = true;  // the title mode starts the game
        break;
      case CONTROLS:
        show_menu_screen(make_controls_screen());
        break;
      case QUIT:
        quit_from_menu();
        break;
    }
  }
};

}  // namespace

MenuScreen* make_title_screen() { return new TitleScreen(); }

