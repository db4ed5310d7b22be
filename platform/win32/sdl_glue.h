#pragma once
// What the rest of the platform layer (the Direct3D layer above all) needs to know
// about the windows behind HWND: whether the program runs headless and which SDL
// window, if any, belongs to a window handle.
//
// Visible: every window is an SDL2 window created with SDL_WINDOW_OPENGL (the GL
// context attributes default to 4.5 core, double-buffered, and may be changed
// before the device creates its context). The device creates its GL context on
// win32_sdl_window(hwnd) and presents by blitting its offscreen back buffer to it.
// Headless (no DISPLAY and no WAYLAND_DISPLAY, or TORVANE_HEADLESS=1): SDL video is
// never started, windows are plain records and win32_sdl_window returns null.
#include "platform/win32/windows.h"

struct SDL_Window;

// True when no display is used (decided once, on first call).
bool win32_headless();

// Starts SDL video when a display is used; true headless or when it started.
// Called by every function that needs the display; a failure leaves the reason
// in win32_platform_error(): "can't open the display ':93' (SDL's reason)" when the
// named display can't be opened (SDL's drivers that show nothing are never used
// then), and it is not tried again.
bool win32_platform_start();

// The last platform failure (SDL's message), or an empty text.
const char* win32_platform_error();

// The SDL window of a window handle; null headless or for an unknown handle.
SDL_Window* win32_sdl_window(HWND hwnd);

// The window handle of an SDL window id, or null.
HWND win32_window_from_sdl_id(uint32_t id);

// SIGINT and SIGTERM close every window (WM_CLOSE, then the window procedure's
// WM_DESTROY posts the quit), or post the quit when no window exists; the request is
// carried out by the next PeekMessageA. A repeat arriving two seconds or more after an
// unanswered request ends the process the default way.
void win32_install_quit_signals();

// The cursor last given to SetCursor (null while hidden).
HCURSOR win32_current_cursor();

// Stores one raw mouse record and returns its handle for a WM_INPUT message; used for
// SDL relative motion, and by tests to inject raw motion.
HRAWINPUT win32_store_raw_mouse(int dx, int dy, bool absolute);

// Destroys the closed windows and stops SDL video (end of process, after the device
// is gone).
void win32_platform_stop();
