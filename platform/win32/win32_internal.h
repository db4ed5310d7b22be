#pragma once
// State shared by the sources of the window layer.
#include <string>

#include "platform/win32/sdl_glue.h"

struct HWND__ {
  SDL_Window* sdl = nullptr;
  uint32_t sdl_id = 0;
  WNDPROC proc = nullptr;
  DWORD style = 0;
  DWORD ex_style = 0;
  RECT rect = {};  // outer rectangle in screen coordinates
  bool visible = false;
  bool minimized = false;
  bool maximized = false;
  bool fullscreen = false;  // the SDL window covers the display
  std::string title;
};

// Frame thickness added around the client area for a style (left, top, right, bottom).
RECT win32_frame_for_style(DWORD style);
// The client rectangle of a window in screen coordinates.
RECT win32_client_screen_rect(HWND hwnd);
// Every live window, first created first.
int win32_window_count();
HWND win32_window_at(int index);
// Pulls the current SDL window geometry into the record (after a user move or resize).
void win32_sync_from_sdl(HWND hwnd);
// Mouse coordinates of the SDL window in the record's client pixels (they differ
// only for the fullscreen window, which SDL shows at the desktop's size).
void win32_scale_from_sdl(HWND hwnd, int* x, int* y);

// Display and work area in screen coordinates.
RECT win32_screen_rect();
RECT win32_work_area();

// Keyboard: the SDL scancode's virtual key and PC scan code (bit 8 = extended key).
struct KeyTranslation {
  BYTE vk;
  WORD scan;
};
KeyTranslation win32_translate_scancode(int sdl_scancode, bool num_lock_on);
// Updates the synchronous key state as the queue hands out an input message.
void win32_track_key_message(const MSG& msg);
// Sets the lock toggles from the system state at start-up.
void win32_init_lock_toggles(bool caps, bool num, bool scroll);
// Posts the key message of one SDL key event; the keypad's keys follow the Num Lock
// state carried by the event itself, not the state after the whole pump.
struct SDL_KeyboardEvent;
void win32_post_key(HWND hwnd, const SDL_KeyboardEvent& key);

// Mouse: applies the cursor clip and visibility to SDL after window changes.
void win32_reapply_mouse_state();
// Lets go of the pointer grab of a clip and a capture while a message box shows (the
// box is a window of its own that must take clicks); false grabs again what is set.
void win32_suspend_pointer_grabs(bool suspend);
// Headless cursor position (screen coordinates).
POINT& win32_virtual_cursor();
// A raw input record stays readable while its WM_INPUT message waits in the queue
// and while that message is handled; the queue releases it when the next message is
// taken. A released record's slot serves a later one.
void win32_release_raw_input(HRAWINPUT raw);

// Queue: delivers a message to the window procedure now (sent message).
LRESULT win32_send(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);
// Queues a posted message.
void win32_post(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);
// Translates pending SDL events into sent and posted messages.
void win32_pump_sdl_events();

// The frame thickness of a captioned window.
constexpr int kFrameSide = 8;
constexpr int kFrameCaption = 23;
