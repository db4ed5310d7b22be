#pragma once
// The game's main window handle, set by the window layer when it creates the window.

void* get_main_window();
void set_main_window(void* window);
