#pragma once
// What the rest of the program sets up around the Direct3D layer: the window the device
// presents to, the headless switch and the call recorder used by tests.
#include "platform/wintypes/wintypes.h"
#include <string>
#include <vector>

struct SDL_Window;
struct D3DDISPLAYMODEEX;

// The SDL window behind a window handle (created with SDL_WINDOW_OPENGL) is found
// through the window layer's win32_sdl_window, or through a registration made here;
// CreateDeviceEx for that handle then makes a GL 4.5 core context on it and presents
// into it. An unknown handle, or headless mode, gives an
// EGL surfaceless context and presents nowhere. While the device's window is
// minimised or hidden (the window layer's IsIconic / IsWindowVisible, or SDL's flags for
// a window registered without it), CheckDeviceState and PresentEx answer
// S_PRESENT_OCCLUDED and presents are dropped; a device without a window never is.
void d3d9_register_window(HWND window, SDL_Window* sdl_window);
void d3d9_unregister_window(HWND window);

// True when no display is used: TORVANE_HEADLESS=1, or neither DISPLAY nor
// WAYLAND_DISPLAY is set.
bool d3d9_is_headless();

// The window's client origin in screen coordinates ((0, 0) headless or unknown).
POINT d3d9_client_origin(HWND window);
// Test seam: while set, every window's client origin is *origin (a window moved partly
// or wholly off the screen); null ends it.
void d3d9_set_client_origin(const POINT* origin);

// Test seam: while set, every device call appends one line describing it (name and
// arguments, e.g. "SetRenderState(ALPHABLENDENABLE, 1)") to *lines. Null stops it.
void d3d9_set_call_recorder(std::vector<std::string>* lines);
// The names the recorder uses for render and sampler states ("ALPHABLENDENABLE").
const char* d3d9_render_state_name(DWORD state);
const char* d3d9_sampler_state_name(DWORD state);

// Test seam: the display modes reported without a display (count modes, copied), in
// place of the built-in set; null restores that set. The desktop mode stays the
// built-in one.
void d3d9_set_headless_modes(const D3DDISPLAYMODEEX* modes, int count);

// Test seam: the next `count` calls of the named device method ("CreateDeviceEx",
// "ResetEx", "PresentEx", "CheckDeviceState") do nothing and answer hr, as a device in
// trouble would. A count of 0 ends it.
void d3d9_force_result(const char* method, HRESULT hr, int count);

// Test seam: when set before the compiler is looked up, the built-in shader compiler
// reports itself missing, as on a machine without one.
extern bool d3d9_compiler_disabled;
