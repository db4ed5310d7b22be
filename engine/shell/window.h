#pragma once
// The game window: creation, the window procedure, fullscreen and windowed switching
// at a safe moment of the main loop, the cursor clip and shape.
#include "platform/win32/windows.h"

extern bool isAppActive;
extern bool shouldHideMouse;
extern int mouse_cursor_type;  // 0 arrow .. 6 north-west/south-east
extern bool window_mode_change_pending;
extern bool fullscreen_request;
extern int windowed_client_wd, windowed_client_ht;
extern RECT windowed_rect;
extern DWORD windowed_style;

LRESULT window_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);

// Creates and shows the game window in the mode of isFullscreen; null on failure.
HWND create_main_window();

// A client area of that size centred in the work area, as a window rectangle of `style`.
RECT centered_window_rect(DWORD style, int client_wd, int client_ht);

void set_fullscreen(bool fullscreen);
void apply_window_mode();
void set_window_pos(int x, int y, int width, int height);
void clip_cursor_to_window(HWND hwnd);

// The cursor handle of a mouse_cursor_type (the arrow for unknown values).
HCURSOR cursor_for_type(int type);
