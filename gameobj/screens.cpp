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

void open_menu() { should_close_game_menu = false; }

void update_menu(float) {
  GuiInput event;
  while (gui_get_event(&event))
    if (event.type == GuiInput::KEY_DOWN || event.type == GuiInput::MOUSE_DOWN)
      should_close_game_menu = true;
}

void set_game_ui_screen(BaseGuiScreen* screen) { cur_game_screen = screen; }
