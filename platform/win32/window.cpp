// Window classes and windows: records with Windows' geometry rules, backed by SDL
// windows when a display is used.
#include <SDL2/SDL.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/win32/win32_internal.h"

void win32_set_platform_error(const char* text);

namespace {

struct WindowClass {
  std::string name;
  WNDCLASSA wc;
};

std::vector<WindowClass> classes;
std::vector<HWND> windows;  // live windows in creation order
std::vector<SDL_Window*> closed_sdl_windows;  // hidden, destroyed at the end
HWND focus_window = nullptr;

const WindowClass* find_class(const char* name) {
  for (const WindowClass& c : classes)
    if (name && c.name == name)
      return &c;
  return nullptr;
}

bool is_live(HWND hwnd) { return hwnd && std::find(windows.begin(), windows.end(), hwnd) != windows.end(); }

int width_of(const RECT& r) { return r.right - r.left; }
int height_of(const RECT& r) { return r.bottom - r.top; }

// A topmost popup at the screen's origin is the game's fullscreen window. There is no
// display-mode change here: the SDL window covers the desktop at its own resolution,
// the device scales its back buffer into it, and mouse positions are scaled back to
// the window's client size (see win32_scale_from_sdl).
bool covers_display(HWND hwnd) {
  RECT screen = win32_screen_rect();
  return (hwnd->style & WS_POPUP) && (hwnd->ex_style & WS_EX_TOPMOST) && hwnd->rect.left <= screen.left &&
         hwnd->rect.top <= screen.top;
}

// Pushes the record's geometry and style to the SDL window.
void apply_to_sdl(HWND hwnd) {
  if (!hwnd->sdl)
    return;
  bool fullscreen = covers_display(hwnd);
  if (hwnd->fullscreen && !fullscreen) {
    SDL_SetWindowFullscreen(hwnd->sdl, 0);
    hwnd->fullscreen = false;
  }
  SDL_SetWindowBordered(hwnd->sdl, (hwnd->style & WS_CAPTION) ? SDL_TRUE : SDL_FALSE);
  SDL_SetWindowResizable(hwnd->sdl, (hwnd->style & WS_THICKFRAME) ? SDL_TRUE : SDL_FALSE);
  SDL_SetWindowAlwaysOnTop(hwnd->sdl, (hwnd->ex_style & WS_EX_TOPMOST) ? SDL_TRUE : SDL_FALSE);
  if (fullscreen) {
    if (!hwnd->fullscreen) {
      // The window is given the display's bounds first: the switch itself is only a
      // request to the window manager, which may be missing or may keep the size of
      // the window as it was.
      RECT screen = win32_screen_rect();
      SDL_SetWindowPosition(hwnd->sdl, screen.left, screen.top);
      SDL_SetWindowSize(hwnd->sdl, std::max(1, width_of(screen)), std::max(1, height_of(screen)));
      SDL_SetWindowFullscreen(hwnd->sdl, SDL_WINDOW_FULLSCREEN_DESKTOP);
    }
    hwnd->fullscreen = true;
  } else {
    RECT client = win32_client_screen_rect(hwnd);
    SDL_SetWindowSize(hwnd->sdl, std::max(1, width_of(client)), std::max(1, height_of(client)));
    SDL_SetWindowPosition(hwnd->sdl, client.left, client.top);
  }
  if (hwnd->visible)
    SDL_ShowWindow(hwnd->sdl);
  else
    SDL_HideWindow(hwnd->sdl);
}

}  // namespace

RECT win32_frame_for_style(DWORD style) {
  if (style & WS_CAPTION)
    return RECT{kFrameSide, kFrameSide + kFrameCaption, kFrameSide, kFrameSide};
  if (style & WS_THICKFRAME)
    return RECT{kFrameSide, kFrameSide, kFrameSide, kFrameSide};
  return RECT{0, 0, 0, 0};
}

RECT win32_client_screen_rect(HWND hwnd) {
  RECT frame = win32_frame_for_style(hwnd->style);
  RECT r = hwnd->rect;
  r.left += frame.left;
  r.top += frame.top;
  r.right = std::max(r.left, r.right - frame.right);
  r.bottom = std::max(r.top, r.bottom - frame.bottom);
  return r;
}

int win32_window_count() { return (int)windows.size(); }
HWND win32_window_at(int index) { return windows[index]; }

void win32_sync_from_sdl(HWND hwnd) {
  if (!hwnd->sdl)
    return;
  Uint32 state = SDL_GetWindowFlags(hwnd->sdl);
  hwnd->minimized = state & SDL_WINDOW_MINIMIZED;
  if (hwnd->fullscreen)
    return;  // the record keeps the size the game gave it
  int x, y, w, h;
  SDL_GetWindowPosition(hwnd->sdl, &x, &y);
  SDL_GetWindowSize(hwnd->sdl, &w, &h);
  RECT frame = win32_frame_for_style(hwnd->style);
  hwnd->rect = RECT{x - frame.left, y - frame.top, x + w + frame.right, y + h + frame.bottom};
  Uint32 flags = SDL_GetWindowFlags(hwnd->sdl);
  hwnd->minimized = flags & SDL_WINDOW_MINIMIZED;
  hwnd->maximized = flags & SDL_WINDOW_MAXIMIZED;
  hwnd->visible = !(flags & SDL_WINDOW_HIDDEN);
}

SDL_Window* win32_sdl_window(HWND hwnd) { return is_live(hwnd) ? hwnd->sdl : nullptr; }

void win32_scale_from_sdl(HWND hwnd, int* x, int* y) {
  if (!hwnd->fullscreen || !hwnd->sdl)
    return;
  int w, h;
  SDL_GetWindowSize(hwnd->sdl, &w, &h);
  RECT client = win32_client_screen_rect(hwnd);
  if (w > 0 && h > 0) {
    *x = (int)((int64_t)*x * width_of(client) / w);
    *y = (int)((int64_t)*y * height_of(client) / h);
  }
}

HWND win32_window_from_sdl_id(uint32_t id) {
  for (HWND hwnd : windows)
    if (hwnd->sdl && hwnd->sdl_id == id)
      return hwnd;
  return nullptr;
}

ATOM RegisterClassA(const WNDCLASSA* wc) {
  if (!wc || !wc->lpszClassName || !wc->lpfnWndProc) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (find_class(wc->lpszClassName)) {
    SetLastError(ERROR_CLASS_ALREADY_EXISTS);
    return 0;
  }
  classes.push_back(WindowClass{wc->lpszClassName, *wc});
  classes.back().wc.lpszClassName = classes.back().name.c_str();
  return (ATOM)(0xC000 + classes.size());
}

HICON LoadIconA(HINSTANCE, LPCSTR name) {
  // The window system takes the icon from the desktop entry; the handle only marks
  // that an icon was asked for.
  return (HICON)(uintptr_t)(name ? 1 : 0);
}

HWND CreateWindowExA(DWORD ex_style, LPCSTR class_name, LPCSTR title, DWORD style, int x, int y, int width,
                     int height, HWND, HMENU, HINSTANCE, LPVOID) {
  const WindowClass* wc = find_class(class_name);
  if (!wc) {
    SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
    win32_set_platform_error("window class not registered");
    return nullptr;
  }
  if (!win32_platform_start())
    return nullptr;

  HWND hwnd = new HWND__;
  hwnd->proc = wc->wc.lpfnWndProc;
  hwnd->style = style;
  hwnd->ex_style = ex_style;
  hwnd->title = title ? title : "";
  RECT work = win32_work_area();
  if (x == CW_USEDEFAULT)
    x = work.left + width_of(work) / 8, y = work.top + height_of(work) / 8;
  if (width == CW_USEDEFAULT)
    width = width_of(work) * 3 / 4;
  if (height == CW_USEDEFAULT)
    height = height_of(work) * 3 / 4;
  hwnd->rect = RECT{x, y, x + std::max(0, width), y + std::max(0, height)};
  // A popup meant to cover the display has its size settled by the display.
  if ((style & WS_POPUP) && (ex_style & WS_EX_TOPMOST) && width <= 0 && height <= 0)
    hwnd->rect = win32_screen_rect();

  if (!win32_headless()) {
    RECT client = win32_client_screen_rect(hwnd);
    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | SDL_WINDOW_ALLOW_HIGHDPI;
    if (style & WS_THICKFRAME)
      flags |= SDL_WINDOW_RESIZABLE;
    if (!(style & WS_CAPTION))
      flags |= SDL_WINDOW_BORDERLESS;
    hwnd->sdl = SDL_CreateWindow(hwnd->title.c_str(), client.left, client.top, std::max(1, width_of(client)),
                                 std::max(1, height_of(client)), flags);
    if (!hwnd->sdl) {
      win32_set_platform_error((std::string("SDL_CreateWindow failed: ") + SDL_GetError()).c_str());
      delete hwnd;
      return nullptr;
    }
    hwnd->sdl_id = SDL_GetWindowID(hwnd->sdl);
  }
  windows.push_back(hwnd);
  win32_send(hwnd, WM_CREATE, 0, 0);
  if (style & WS_VISIBLE)
    ShowWindow(hwnd, SW_SHOW);
  else
    apply_to_sdl(hwnd);
  return hwnd;
}

BOOL DestroyWindow(HWND hwnd) {
  if (!is_live(hwnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  win32_send(hwnd, WM_DESTROY, 0, 0);
  windows.erase(std::find(windows.begin(), windows.end(), hwnd));
  if (focus_window == hwnd)
    focus_window = nullptr;
  // The SDL window is only hidden: the device may still hold a GL context made on
  // it, and releases its resources later in the shut-down. It goes at the end of
  // the process (win32_platform_stop).
  if (hwnd->sdl) {
    SDL_HideWindow(hwnd->sdl);
    closed_sdl_windows.push_back(hwnd->sdl);
  }
  // Every entry point looks a handle up among the live windows before using it, so
  // stale handles (in queued messages, say) are refused without being touched.
  delete hwnd;
  return TRUE;
}

BOOL IsWindow(HWND hwnd) { return is_live(hwnd); }

BOOL ShowWindow(HWND hwnd, int show_command) {
  if (!is_live(hwnd))
    return FALSE;
  BOOL was_visible = hwnd->visible;
  bool first_show = !hwnd->visible && show_command != SW_HIDE;
  hwnd->visible = show_command != SW_HIDE;
  if (show_command != SW_HIDE)
    hwnd->style |= WS_VISIBLE;
  else
    hwnd->style &= ~WS_VISIBLE;
  if (hwnd->sdl) {
    apply_to_sdl(hwnd);
    if (show_command == SW_MAXIMIZE)
      SDL_MaximizeWindow(hwnd->sdl);
    else if (show_command == SW_MINIMIZE || show_command == SW_SHOWMINIMIZED)
      SDL_MinimizeWindow(hwnd->sdl);
    else if (show_command == SW_RESTORE)
      SDL_RestoreWindow(hwnd->sdl);
    if (show_command != SW_HIDE)
      SDL_RaiseWindow(hwnd->sdl);
    return was_visible;
  }
  // Headless: play the window system's part. Size changes and the activation of a
  // window shown for the first time reach the procedure from the next message pump,
  // as they would from SDL.
  if (show_command == SW_MAXIMIZE) {
    RECT work = win32_work_area();
    RECT frame = win32_frame_for_style(hwnd->style);
    hwnd->rect = RECT{work.left - frame.left, work.top, work.right + frame.right, work.bottom + frame.bottom};
    hwnd->maximized = true;
    hwnd->minimized = false;
    RECT client = win32_client_screen_rect(hwnd);
    win32_post(hwnd, WM_SIZE, SIZE_MAXIMIZED, MAKELPARAM(width_of(client), height_of(client)));
  } else if (show_command == SW_MINIMIZE || show_command == SW_SHOWMINIMIZED) {
    hwnd->minimized = true;
    win32_post(hwnd, WM_SIZE, SIZE_MINIMIZED, 0);
    win32_post(hwnd, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 1), 0);
    first_show = false;
  } else if (show_command == SW_RESTORE && hwnd->minimized) {
    hwnd->minimized = false;
    RECT client = win32_client_screen_rect(hwnd);
    win32_post(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(width_of(client), height_of(client)));
    first_show = true;
  }
  if (first_show && show_command != SW_HIDE) {
    focus_window = hwnd;
    win32_post(hwnd, WM_ACTIVATE, WA_ACTIVE, 0);
  }
  return was_visible;
}

BOOL IsWindowVisible(HWND hwnd) { return is_live(hwnd) && hwnd->visible; }
BOOL IsIconic(HWND hwnd) { return is_live(hwnd) && hwnd->minimized; }

BOOL GetClientRect(HWND hwnd, RECT* rect) {
  if (!is_live(hwnd) || !rect)
    return FALSE;
  win32_sync_from_sdl(hwnd);
  RECT client = win32_client_screen_rect(hwnd);
  *rect = RECT{0, 0, width_of(client), height_of(client)};
  return TRUE;
}

BOOL GetWindowRect(HWND hwnd, RECT* rect) {
  if (!is_live(hwnd) || !rect)
    return FALSE;
  win32_sync_from_sdl(hwnd);
  *rect = hwnd->rect;
  return TRUE;
}

LONG GetWindowLongA(HWND hwnd, int index) {
  if (!is_live(hwnd))
    return 0;
  if (index == GWL_STYLE)
    return (LONG)hwnd->style;
  if (index == GWL_EXSTYLE)
    return (LONG)hwnd->ex_style;
  return 0;
}

LONG SetWindowLongA(HWND hwnd, int index, LONG value) {
  if (!is_live(hwnd))
    return 0;
  DWORD* field = index == GWL_STYLE ? &hwnd->style : index == GWL_EXSTYLE ? &hwnd->ex_style : nullptr;
  if (!field)
    return 0;
  LONG old = (LONG)*field;
  *field = (DWORD)value;
  if (index == GWL_STYLE)
    hwnd->visible = (*field & WS_VISIBLE) != 0;
  // Like Windows, a frame change shows only after SetWindowPos with SWP_FRAMECHANGED.
  return old;
}

BOOL SetWindowPos(HWND hwnd, HWND insert_after, int x, int y, int cx, int cy, UINT flags) {
  if (!is_live(hwnd))
    return FALSE;
  if (insert_after == HWND_TOPMOST)
    hwnd->ex_style |= WS_EX_TOPMOST;
  else if (insert_after == HWND_NOTOPMOST)
    hwnd->ex_style &= ~WS_EX_TOPMOST;
  RECT old_client = win32_client_screen_rect(hwnd);
  if (!(flags & SWP_NOMOVE)) {
    int w = width_of(hwnd->rect), h = height_of(hwnd->rect);
    hwnd->rect = RECT{x, y, x + w, y + h};
  }
  if (!(flags & SWP_NOSIZE)) {
    hwnd->rect.right = hwnd->rect.left + std::max(0, cx);
    hwnd->rect.bottom = hwnd->rect.top + std::max(0, cy);
  }
  if (flags & SWP_SHOWWINDOW)
    hwnd->visible = true, hwnd->style |= WS_VISIBLE;
  hwnd->minimized = false;
  apply_to_sdl(hwnd);
  win32_reapply_mouse_state();
  RECT client = win32_client_screen_rect(hwnd);
  if (hwnd->sdl == nullptr &&
      (width_of(client) != width_of(old_client) || height_of(client) != height_of(old_client)))
    win32_send(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(width_of(client), height_of(client)));
  return TRUE;
}

BOOL AdjustWindowRectEx(RECT* rect, DWORD style, BOOL, DWORD) {
  if (!rect)
    return FALSE;
  RECT frame = win32_frame_for_style(style);
  rect->left -= frame.left;
  rect->top -= frame.top;
  rect->right += frame.right;
  rect->bottom += frame.bottom;
  return TRUE;
}

BOOL SetWindowTextA(HWND hwnd, LPCSTR text) {
  if (!is_live(hwnd))
    return FALSE;
  hwnd->title = text ? text : "";
  if (hwnd->sdl)
    SDL_SetWindowTitle(hwnd->sdl, hwnd->title.c_str());
  return TRUE;
}

BOOL ValidateRect(HWND hwnd, const RECT*) { return is_live(hwnd); }

HWND SetFocus(HWND hwnd) {
  HWND old = focus_window;
  if (is_live(hwnd)) {
    focus_window = hwnd;
    if (hwnd->sdl)
      SDL_SetWindowInputFocus(hwnd->sdl);
  }
  return old;
}

HWND GetFocus() {
  if (!win32_headless() && win32_platform_start()) {
    SDL_Window* w = SDL_GetKeyboardFocus();
    return w ? win32_window_from_sdl_id(SDL_GetWindowID(w)) : nullptr;
  }
  return focus_window;
}

HWND GetActiveWindow() { return GetFocus(); }

LRESULT DefWindowProcA(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case WM_CLOSE:
      DestroyWindow(hwnd);
      return 0;
    case WM_SYSKEYDOWN:
      // Alt+F4 closes the window.
      if (wparam == VK_F4 && (lparam & (1 << 29)))
        win32_send(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
      return 0;
    case WM_SYSCOMMAND:
      if ((wparam & 0xFFF0) == SC_CLOSE)
        win32_send(hwnd, WM_CLOSE, 0, 0);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_SETCURSOR:
      if (LOWORD(lparam) == HTCLIENT)
        SetCursor(LoadCursorA(nullptr, IDC_ARROW));
      return 0;
    default:
      return 0;
  }
}

void win32_destroy_closed_windows() {
  for (SDL_Window* w : closed_sdl_windows)
    SDL_DestroyWindow(w);
  closed_sdl_windows.clear();
}
