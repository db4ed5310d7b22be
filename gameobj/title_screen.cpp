// The title screen: new game, controls, quit.
/*
import menus
import sound
import ui_draw
*/
#include <algorithm>

#include "engine/gui/gui_host.h"
#include "gameobj/gameobj_api.h"
#include "gameobj/menus.h"
#include "gameobj/sound.h"
#include "gameobj/ui_draw.h"

namespace {

enum { NEW_GAME, CONTROLS, QUIT };

class TitleScreen : public MenuScreen {
 public:
  TitleScreen() {
    makePanel(150, 96, "TORVANE!");
    addLabel(panel, "an elevator to the top", 0, 24, 150, 7)->color = ui_color::DIM;
    dimWorld = false;
    addItem("New game", NEW_GAME, 38)->icon = "play";
    addItem("Controls", CONTROLS, 57)->icon = "keyboard";
    addItem("Quit", QUIT, 76)->icon = "cross";
    main_menu_screen = this;
  }
  ~TitleScreen() override {
    if (main_menu_screen == this)
      main_menu_screen = nullptr;
  }
  void drawBackdrop(float) override { draw_title_backdrop(); }
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

// The city at dusk, as the first levels show it behind the tower.
void draw_title_backdrop() {
  int w, h;
  gui_get_screen_size(&w, &h);
  int k = std::max(1, h / 180);  // the world's pixel size
  float horizon = h * 0.72f;
  for (float bottom = horizon - 100 * k; bottom > 0; bottom -= 96 * k)
    ui_sprite_row("bg1/sky_tile", bottom, k);
  ui_sprite_row("bg1/horizon", horizon, k);
  for (float top = horizon; top < h; top += 64 * k)
    ui_sprite_row("bg1/horizon_below", top + 64 * k, k);
  ui_sprite_row("bg1/city1a", h + 60.0f * k, k);
  ui_sprite_row("bg1/city2a", h + 150.0f * k, k);
}
