// The game-over screen: shown once the mode's timer has run out; then a new game
// or back to the title.
/*
import menus
import shell_api
*/
#include "engine/world/gameobj_api.h"
#include "gameobj/menus.h"
#include "gameobj/shell_api.h"

namespace {

enum { NEW_GAME, MAIN_MENU };

class GameOverScreen : public MenuScreen {
 public:
  bool shown = false;

  GameOverScreen() {
    makePanel(150, 84, "GAME OVER");
    addLabel(panel, "", 0, 24, 150, 7)->color = ui_color::DIM;
    addItem("New game", NEW_GAME, 42)->icon = "play";
    addItem("Main menu", MAIN_MENU, 61)->icon = "arrow_left";
    panel->visible = false;
    game_over_screen = this;
  }
  ~GameOverScreen() override {
    if (game_over_screen == this)
      game_over_screen = nullptr;
  }
  void show(bool timer_done) {
    if (!panel)
      return;
    if (timer_done && !shown) {
      TempString<64> text;
      text.format("You reached level %d", shell::level());
      static_cast<UiLabel*>(panel->getChild(0))->text = text.str;
    }
    shown = timer_done;
    panel->visible = timer_done;
  }
  // Until the screen shows, nothing can be chosen.
  void update(float dt) override {
    if (!shown) {
      GuiInput ignored;
      while (gui_get_event(&ignored)) {
      }
      return;
    }
    MenuScreen::update(dt);
  }
  void onAction(int action) override {
    if (action == NEW_GAME)
      should_close_game_menu = true;  // the game-over mode starts the new game
    else
      shell::main_menu();
  }
};

}  // namespace

MenuScreen* make_game_over_screen() { return new GameOverScreen(); }

void show_game_over(bool timer_done) {
  if (auto* screen = dynamic_cast<GameOverScreen*>(current_menu()))
    screen->show(timer_done);
}
