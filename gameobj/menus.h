#pragma once
// The game's screens and the menu entry points the game modes call: each mode's
// enter opens its screen, its update runs it and reads should_close_game_menu.
/*
import ui
*/
#include "gameobj/ui.h"

// Makes `screen` the current game screen, dropping the one shown before; clears
// the close signal.
void show_menu_screen(MenuScreen* screen);
MenuScreen* current_menu();
// A menu is on the screen (the pointer is an arrow, not the crosshair).
bool menu_shown();

// The screens (each also fills its exported instance pointer).
MenuScreen* make_title_screen();
MenuScreen* make_pause_screen();
MenuScreen* make_game_over_screen();
MenuScreen* make_controls_screen();
BaseGuiScreen* make_upgrade_screen();

// Asks the window to close: the main loop ends and the game shuts down in order.
void quit_from_menu();
