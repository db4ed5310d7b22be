#pragma once
// The stand-in module's screens: empty GUI screens behind every factory slot, and
// menus that close on the first key or mouse button pressed.
/*
import gameobj_api
*/
#include "engine/gui/gui_screen.h"

// Fills the screen factory slots (the module's link_gui).
void link_screens();
void open_menu();
void open_game_over_menu();
void show_game_over(bool timer_done);
void update_menu(float dt);
void set_game_ui_screen(BaseGuiScreen* screen);
