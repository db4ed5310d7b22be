// Mouse: cursor shapes and visibility, clipping (the window grab), capture, cursor
// position and raw motion records.
#include <SDL2/SDL.h>

#include <algorithm>
#include <vector>

#include "platform/win32/win32_internal.h"

void win32_set_raw_mouse_registered(bool on);

namespace {

HCURSOR current_cursor = nullptr;
bool cursor_hidden = false;
bool clip_active = false;
RECT clip_rect = {};
HWND capture_window = nullptr;
bool grabs_suspended = false;
POINT virtual_cursor = {0, 0};

// Raw input records by handle - 1. A record is never overwritten while its message
// may still be read: the store grows instead, and slots come back when released.
std::vector<RAWINPUT> raw_records;
std::vector<bool> raw_in_use;
std::vector<int> raw_free_slots;

bool use_sdl() { return !win32_headless() && win32_platform_start(); }

SDL_SystemCursor system_cursor_for(uintptr_t id) {
  switch (id) {
    case 32513: return SDL_SYSTEM_CURSOR_IBEAM;
    case 32514: return SDL_SYSTEM_CURSOR_WAIT;
    case 32515: return SDL_SYSTEM_CURSOR_CROSSHAIR;
    case 32642: return SDL_SYSTEM_CURSOR_SIZENWSE;
    case 32643: return SDL_SYSTEM_CURSOR_SIZENESW;
    case 32644: return SDL_SYSTEM_CURSOR_SIZEWE;
    case 32645: return SDL_SYSTEM_CURSOR_SIZENS;
    case 32646: return SDL_SYSTEM_CURSOR_SIZEALL;
    case 32649: return SDL_SYSTEM_CURSOR_HAND;
    default: return SDL_SYSTEM_CURSOR_ARROW;
  }
}

SDL_Cursor* sdl_cursor(HCURSOR cursor) {
  static SDL_Cursor* cache[SDL_NUM_SYSTEM_CURSORS];
  SDL_SystemCursor which = system_cursor_for((uintptr_t)cursor);
  if (!cache[which])
    cache[which] = SDL_CreateSystemCursor(which);
  return cache[which];
}

// The window that a clip rectangle confines the cursor to: the first visible one.
HWND grab_window() {
  for (int i = 0; i < win32_window_count(); i++)
    if (win32_window_at(i)->sdl)
      return win32_window_at(i);
  return nullptr;
}

POINT clamp_to_clip(POINT pt) {
  if (!clip_active)
    return pt;
  pt.x = std::clamp(pt.x, clip_rect.left, std::max(clip_rect.left, clip_rect.right - 1));
  pt.y = std::clamp(pt.y, clip_rect.top, std::max(clip_rect.top, clip_rect.bottom - 1));
  return pt;
}

}  // namespace

POINT& win32_virtual_cursor() { return virtual_cursor; }
HCURSOR win32_current_cursor() { return cursor_hidden ? nullptr : current_cursor; }

void win32_reapply_mouse_state() {
  if (!use_sdl())
    return;
  if (HWND hwnd = grab_window())
    SDL_SetWindowGrab(hwnd->sdl, clip_active && !grabs_suspended ? SDL_TRUE : SDL_FALSE);
}

void win32_suspend_pointer_grabs(bool suspend) {
  grabs_suspended = suspend;
  win32_reapply_mouse_state();
  if (use_sdl() && capture_window)
    SDL_CaptureMouse(suspend ? SDL_FALSE : SDL_TRUE);
}

HCURSOR LoadCursorA(HINSTANCE, LPCSTR name) {
  // System cursors only: the handle is the resource id.
  return (HCURSOR)(uintptr_t)(name ? (uintptr_t)name : 32512);
}

HCURSOR SetCursor(HCURSOR cursor) {
  HCURSOR old = cursor_hidden ? nullptr : current_cursor;
  cursor_hidden = cursor == nullptr;
  if (cursor)
    current_cursor = cursor;
  if (use_sdl()) {
    if (cursor)
      SDL_SetCursor(sdl_cursor(cursor));
    SDL_ShowCursor(cursor ? SDL_ENABLE : SDL_DISABLE);
  }
  return old;
}

int ShowCursor(BOOL show) {
  SetCursor(show ? (current_cursor ? current_cursor : LoadCursorA(nullptr, IDC_ARROW)) : nullptr);
  return show ? 0 : -1;
}

BOOL ClipCursor(const RECT* rect) {
  clip_active = rect != nullptr;
  if (rect)
    clip_rect = *rect;
  win32_reapply_mouse_state();
  if (clip_active)
    virtual_cursor = clamp_to_clip(virtual_cursor);
  return TRUE;
}

BOOL GetClipCursor(RECT* rect) {
  if (!rect)
    return FALSE;
  *rect = clip_active ? clip_rect : win32_screen_rect();
  return TRUE;
}

// The fullscreen window shows the record's client pixels stretched over the desktop:
// screen positions on it are scaled between the two.
HWND fullscreen_window() {
  for (int i = 0; i < win32_window_count(); i++)
    if (win32_window_at(i)->fullscreen && win32_window_at(i)->sdl)
      return win32_window_at(i);
  return nullptr;
}

BOOL GetCursorPos(POINT* pt) {
  if (!pt)
    return FALSE;
  if (use_sdl()) {
    int x, y;
    SDL_GetGlobalMouseState(&x, &y);
    if (HWND full = fullscreen_window()) {
      int wx, wy;
      SDL_GetWindowPosition(full->sdl, &wx, &wy);
      x -= wx;
      y -= wy;
      win32_scale_from_sdl(full, &x, &y);
    }
    *pt = POINT{x, y};
  } else {
    *pt = virtual_cursor;
  }
  return TRUE;
}

BOOL SetCursorPos(int x, int y) {
  POINT pt = clamp_to_clip(POINT{x, y});
  virtual_cursor = pt;
  if (use_sdl()) {
    if (HWND full = fullscreen_window()) {
      int w, h, wx, wy;
      SDL_GetWindowSize(full->sdl, &w, &h);
      SDL_GetWindowPosition(full->sdl, &wx, &wy);
      RECT client = win32_client_screen_rect(full);
      int cw = std::max(1, (int)(client.right - client.left)), ch = std::max(1, (int)(client.bottom - client.top));
      pt.x = wx + (int)((int64_t)pt.x * w / cw);
      pt.y = wy + (int)((int64_t)pt.y * h / ch);
    }
    SDL_WarpMouseGlobal(pt.x, pt.y);
  }
  return TRUE;
}

HWND SetCapture(HWND hwnd) {
  HWND old = capture_window;
  capture_window = hwnd;
  if (use_sdl() && !grabs_suspended)
    SDL_CaptureMouse(SDL_TRUE);
  return old;
}

BOOL ReleaseCapture() {
  capture_window = nullptr;
  if (use_sdl())
    SDL_CaptureMouse(SDL_FALSE);
  return TRUE;
}

HWND GetCapture() { return capture_window; }

BOOL ClientToScreen(HWND hwnd, POINT* pt) {
  if (!IsWindow(hwnd) || !pt)
    return FALSE;
  RECT client = win32_client_screen_rect(hwnd);
  pt->x += client.left;
  pt->y += client.top;
  return TRUE;
}

BOOL ScreenToClient(HWND hwnd, POINT* pt) {
  if (!IsWindow(hwnd) || !pt)
    return FALSE;
  RECT client = win32_client_screen_rect(hwnd);
  pt->x -= client.left;
  pt->y -= client.top;
  return TRUE;
}

BOOL PtInRect(const RECT* rect, POINT pt) {
  return rect && pt.x >= rect->left && pt.x < rect->right && pt.y >= rect->top && pt.y < rect->bottom;
}

HWND WindowFromPoint(POINT pt) {
  if (use_sdl()) {
    // Only the window under the pointer has SDL's mouse focus; another program's
    // window on top takes it away.
    SDL_Window* focus = SDL_GetMouseFocus();
    HWND hwnd = focus ? win32_window_from_sdl_id(SDL_GetWindowID(focus)) : nullptr;
    return hwnd && PtInRect(&hwnd->rect, pt) ? hwnd : nullptr;
  }
  for (int i = win32_window_count() - 1; i >= 0; i--) {
    HWND hwnd = win32_window_at(i);
    if (hwnd->visible && !hwnd->minimized && PtInRect(&hwnd->rect, pt))
      return hwnd;
  }
  return nullptr;
}

BOOL RegisterRawInputDevices(const RAWINPUTDEVICE* devices, UINT count, UINT size) {
  if (!devices || count == 0 || size != sizeof(RAWINPUTDEVICE)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  for (UINT i = 0; i < count; i++)
    if (devices[i].usUsagePage == 1 && devices[i].usUsage == 2)
      win32_set_raw_mouse_registered((devices[i].dwFlags & RIDEV_REMOVE) == 0);
  return TRUE;
}

HRAWINPUT win32_store_raw_mouse(int dx, int dy, bool absolute) {
  int slot;
  if (!raw_free_slots.empty()) {
    slot = raw_free_slots.back();
    raw_free_slots.pop_back();
  } else {
    slot = (int)raw_records.size();
    raw_records.emplace_back();
    raw_in_use.push_back(false);
  }
  raw_in_use[slot] = true;
  RAWINPUT& r = raw_records[slot];
  r = RAWINPUT{};
  r.header.dwType = RIM_TYPEMOUSE;
  r.header.dwSize = sizeof(RAWINPUT);
  r.data.mouse.usFlags = absolute ? MOUSE_MOVE_ABSOLUTE : MOUSE_MOVE_RELATIVE;
  r.data.mouse.lLastX = dx;
  r.data.mouse.lLastY = dy;
  return (HRAWINPUT)(uintptr_t)(slot + 1);
}

UINT GetRawInputData(HRAWINPUT raw, UINT command, void* data, UINT* size, UINT header_size) {
  uintptr_t slot = (uintptr_t)raw;
  if (command != RID_INPUT || !size || header_size != sizeof(RAWINPUTHEADER) || slot < 1 ||
      slot > raw_records.size() || !raw_in_use[slot - 1]) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return (UINT)-1;
  }
  if (!data) {
    *size = sizeof(RAWINPUT);
    return 0;
  }
  if (*size < sizeof(RAWINPUT)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return (UINT)-1;
  }
  *(RAWINPUT*)data = raw_records[slot - 1];
  return sizeof(RAWINPUT);
}

void win32_release_raw_input(HRAWINPUT raw) {
  uintptr_t slot = (uintptr_t)raw;
  if (slot < 1 || slot > raw_records.size() || !raw_in_use[slot - 1])
    return;
  raw_in_use[slot - 1] = false;
  raw_free_slots.push_back((int)slot - 1);
}
