// Stand-in screens and menus.
/*
import screens
*/
#include "gameobj/screens.h"

#include "engine/gui/gui_host.h"
#include "gameobj/gameobj_api.h"

namespace {

class StandInScreen : public BaseGuiScreen {};

template <BaseGuiScreen** instance>
BaseGuiScreen* create_screen() {
  BaseGuiScreen* screen = new StandInScreen();
  *instance = screen;
  return screen;
}

}  // namespace

void link_screens() {
#define GAMEOBJ_FACTORY(name) name##_Class::createScreen = create_screen<&name>;
  GAMEOBJ_SCREEN_NAMES(GAMEOBJ_FACTORY)
#undef GAMEOBJ_FACTORY
}

namespace {
// The game-over screen takes a key only once its timer has run out.
bool game_over_open = false;
bool game_over_done = false;
}  // namespace

void open_menu() {
  should_close_game_menu = false;
  game_over_open = false;
}

void open_game_over_menu() {
  open_menu();
  game_over_open = true;
  game_over_done = false;
}

void show_game_over(bool timer_done) { game_over_done = timer_done; }

void update_menu(float) {
  GuiInput event;
  while (gui_get_event(&event)) {
    bool pressed = event.type == GuiInput::KEY_DOWN || event.type == GuiInput::MOUSE_DOWN;
    if (pressed && (!game_over_open || game_over_done))
      should_close_game_menu = true;
  }
}

void set_game_ui_screen(BaseGuiScreen* screen) { cur_game_screen = screen; }
