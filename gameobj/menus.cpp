// The menu entry points: opening, running, drawing and closing the current game
// screen, the screen factories the engine may call, and the tooltip.
/*
import menus
import hud
import shell_api
import sound
*/
#include "gameobj/menus.h"

#include "engine/script/game_script.h"
#include "engine/world/gameobj_api.h"
#include "gameobj/hud.h"
#include "gameobj/shell_api.h"
#include "gameobj/sound.h"
#include "platform/win32/windows.h"

MenuScreen* current_menu() { return dynamic_cast<MenuScreen*>(cur_game_screen); }

void show_menu_screen(MenuScreen* screen) {
  if (cur_game_screen && cur_game_screen != screen)
    cur_game_screen->destroy();
  cur_game_screen = screen;
  should_close_game_menu = false;
}

// Only while a menu mode runs: a screen left behind (the game-over screen once the
// new game has started) is no menu.
bool menu_shown() {
  return current_menu() && (shell::mode_is(&title_mode) || shell::mode_is(&pause_menu_mode) ||
                            shell::mode_is(&upgrade_mode) || shell::mode_is(&gameover_mode));
}

void quit_from_menu() { PostQuitMessage(0); }

void set_game_ui_screen(BaseGuiScreen* screen) { cur_game_screen = screen; }

void open_main_menu() {
  show_menu_screen(make_title_screen());
  play_event(SND_TITLE_SCREEN);
}

void open_game_menu() { show_menu_screen(make_pause_screen()); }

void open_upgrade_screen() {
  BaseGuiScreen* screen = make_upgrade_screen();
  show_menu_screen(static_cast<MenuScreen*>(screen));
}

void open_game_over_screen() { show_menu_screen(make_game_over_screen()); }

void close_game_menu() {
  if (cur_game_screen)
    cur_game_screen->destroy();
  cur_game_screen = nullptr;
}

// A module reload drops the screens: the mode that runs a menu gets its screen back.
static void reopen_lost_menu() {
  if (shell::mode_is(&title_mode))
    show_menu_screen(make_title_screen());
  else if (shell::mode_is(&pause_menu_mode))
    show_menu_screen(make_pause_screen());
  else if (shell::mode_is(&upgrade_mode))
    show_menu_screen(static_cast<MenuScreen*>(make_upgrade_screen()));
  else if (shell::mode_is(&gameover_mode))
    show_menu_screen(make_game_over_screen());
}

void update_game_menu(float dt) {
  if (!cur_game_screen)
    reopen_lost_menu();
  if (MenuScreen* menu = current_menu())
    menu->update(dt);
}

void draw_game_menu(float t) {
  if (MenuScreen* menu = current_menu())
    menu->draw(t);
  draw_tooltip();
}

// ---- screen factories ------------------------------------------------------------------

namespace {

// The slots no game screen uses still make a screen when asked.
template <BaseGuiScreen** instance>
class BlankScreen : public BaseGuiScreen {
 public:
  BlankScreen() { *instance = this; }
  ~BlankScreen() override {
    if (*instance == this)
      *instance = nullptr;
  }
};

template <BaseGuiScreen** instance>
BaseGuiScreen* make_blank() {
  return new BlankScreen<instance>();
}

BaseGuiScreen* factory_title() { return make_title_screen(); }
BaseGuiScreen* factory_pause() { return make_pause_screen(); }
BaseGuiScreen* factory_game_over() { return make_game_over_screen(); }
BaseGuiScreen* factory_controls() { return make_controls_screen(); }

}  // namespace

void link_screens() {
  credits_screen_Class::createScreen = make_blank<&credits_screen>;
  game_menu_screen_Class::createScreen = factory_pause;
  hud_screen_Class::createScreen = make_blank<&hud_screen>;
  game_over_screen_Class::createScreen = factory_game_over;
  upgrade_screen_Class::createScreen = make_upgrade_screen;
  alpha_warning_screen_Class::createScreen = make_blank<&alpha_warning_screen>;
  interworld_warning_screen_Class::createScreen = make_blank<&interworld_warning_screen>;
  main_menu_screen_Class::createScreen = factory_title;
  reserved_screen_Class::createScreen = make_blank<&reserved_screen>;
  game_options_screen_Class::createScreen = make_blank<&game_options_screen>;
  game_controls_screen_Class::createScreen = factory_controls;
  tooltip_screen_Class::createScreen = make_blank<&tooltip_screen>;
}
