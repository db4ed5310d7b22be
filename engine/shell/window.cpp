// The game window: its class, creation, mode switches, cursor clip and shape, and the
// window procedure that turns messages into input events.
#include "engine/shell/window.h"

#include <cstdlib>

#include "engine/render/d3d_device.h"
#include "engine/shell/input.h"
#include "engine/shell/shell.h"

bool isAppActive = false;
bool shouldHideMouse = false;
int mouse_cursor_type = 0;
bool window_mode_change_pending = false;
bool fullscreen_request = false;
int windowed_client_wd = 0, windowed_client_ht = 0;
RECT windowed_rect = {0, 0, 0, 0};
DWORD windowed_style = WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPSIBLINGS;

namespace {

// Wheel movement below one notch (fine-grained wheels and touchpads) is kept until
// it adds up to a notch; a change of direction starts over.
int wheel_remainder = 0;

RECT work_area() {
  RECT area;
  if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0))
    area = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  return area;
}

void release_cursor_clip() { ClipCursor(nullptr); }

int wheel_steps(int delta) {
  if ((delta > 0 && wheel_remainder < 0) || (delta < 0 && wheel_remainder > 0))
    wheel_remainder = 0;
  wheel_remainder += delta;
  int steps = wheel_remainder / WHEEL_DELTA;  // toward zero
  wheel_remainder -= steps * WHEEL_DELTA;
  return steps;
}

int key_scan(LPARAM lparam) { return (int)((lparam >> 16) & 0x1FF); }

void on_activate(HWND hwnd, WPARAM wparam) {
  bool active = LOWORD(wparam) != 0 && HIWORD(wparam) == 0;
  if (active == isAppActive)
    return;
  isAppActive = active;
  if (active)
    apply_process_priority();
  else
    apply_idle_priority();
  if (isFullscreen) {
    if (active)
      clip_cursor_to_window(hwnd);
    else
      release_cursor_clip();
  }
}

void on_set_cursor(HWND hwnd, LPARAM lparam) {
  if (isAppActive && (shouldHideMouse || isFullscreen))
    clip_cursor_to_window(hwnd);
  else
    release_cursor_clip();
  if (isAppActive && shouldHideMouse && (LOWORD(lparam) == HTCLIENT || isFullscreen))
    SetCursor(nullptr);
  else
    SetCursor(cursor_for_type(mouse_cursor_type));
}

void on_raw_input(LPARAM lparam) {
  UINT size = 0;
  if (GetRawInputData((HRAWINPUT)lparam, RID_INPUT, nullptr, &size, sizeof(RAWINPUTHEADER)) != 0 || size == 0)
    return;
  alignas(RAWINPUT) unsigned char buffer[sizeof(RAWINPUT) * 2];
  if (size > sizeof(buffer))
    return;
  if (GetRawInputData((HRAWINPUT)lparam, RID_INPUT, buffer, &size, sizeof(RAWINPUTHEADER)) != size)
    return;
  const RAWINPUT* raw = (const RAWINPUT*)buffer;
  if (raw->header.dwType != RIM_TYPEMOUSE || (raw->data.mouse.usFlags & MOUSE_MOVE_ABSOLUTE))
    return;
  add_raw_mouse_delta(raw->data.mouse.lLastX, raw->data.mouse.lLastY);
}

void mouse_event(int type, int code, LPARAM lparam) {
  on_input_message(type, code, 0, 0, GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam));
}

}  // namespace

HCURSOR cursor_for_type(int type) {
  static const LPCSTR shapes[] = {IDC_ARROW, IDC_IBEAM, IDC_SIZEALL, IDC_SIZENS, IDC_SIZEWE, IDC_SIZENESW, IDC_SIZENWSE};
  LPCSTR shape = (type >= 0 && type <= 6) ? shapes[type] : IDC_ARROW;
  return LoadCursorA(nullptr, shape);
}

void register_window_class() {
  WNDCLASSA wc{};
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = window_proc;
  wc.hInstance = app_instance;
  wc.hIcon = LoadIconA(app_instance, "Icon");
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.lpszClassName = "TorvaneWindow";
  if (!RegisterClassA(&wc))
    exit(0);
}

RECT centered_window_rect(DWORD style, int client_wd, int client_ht) {
  RECT area = work_area();
  RECT r;
  r.left = area.left + (area.right - area.left - client_wd) / 2;
  r.top = area.top + (area.bottom - area.top - client_ht) / 2;
  r.right = r.left + client_wd;
  r.bottom = r.top + client_ht;
  AdjustWindowRectEx(&r, style, FALSE, WS_EX_APPWINDOW);
  return r;
}

HWND create_main_window() {
  if (isFullscreen) {
    HWND hwnd = CreateWindowExA(WS_EX_TOPMOST, "TorvaneWindow", app_title, WS_POPUP | WS_VISIBLE, 0, 0, 0, 0,
                                nullptr, nullptr, app_instance, nullptr);
    if (hwnd)
      ShowWindow(hwnd, SW_SHOW);
    return hwnd;
  }
  RECT r = centered_window_rect(WS_OVERLAPPEDWINDOW, app_screen_wd, app_screen_ht);
  int width = app_screen_wd > 0 ? r.right - r.left : CW_USEDEFAULT;
  int height = app_screen_ht > 0 ? r.bottom - r.top : CW_USEDEFAULT;
  HWND hwnd = CreateWindowExA(WS_EX_APPWINDOW, "TorvaneWindow", app_title, WS_OVERLAPPEDWINDOW, r.left, r.top,
                              width, height, nullptr, nullptr, app_instance, nullptr);
  if (hwnd)
    ShowWindow(hwnd, app_screen_wd <= 0 ? SW_MAXIMIZE : SW_SHOWNORMAL);
  return hwnd;
}

void set_fullscreen(bool fullscreen) {
  fullscreen_request = fullscreen;
  window_mode_change_pending = true;
}

void apply_window_mode() {
  bool target = fullscreen_request;
  int new_wd = 0, new_ht = 0;
  if (!isFullscreen) {
    RECT client;
    GetClientRect(main_window, &client);
    windowed_client_wd = client.right - client.left;
    windowed_client_ht = client.bottom - client.top;
    GetWindowRect(main_window, &windowed_rect);
    windowed_style = (DWORD)GetWindowLongA(main_window, GWL_STYLE);
  } else {
    new_wd = windowed_client_wd;
    new_ht = windowed_client_ht;
    if (new_wd == 0 || new_ht == 0) {
      new_wd = app_screen_wd;
      new_ht = app_screen_ht;
      if (new_wd == 0 || new_ht == 0) {
        new_wd = d3d_wd / 2;
        new_ht = d3d_ht / 2;
      }
    }
  }
  if (target) {
    new_wd = app_screen_wd;
    new_ht = app_screen_ht;
  }
  resize_d3d(new_wd, new_ht, target, true);

  SetWindowLongA(main_window, GWL_STYLE, (LONG)(isFullscreen ? (WS_POPUP | WS_VISIBLE) : windowed_style));
  if (isFullscreen) {
    SetWindowLongA(main_window, GWL_EXSTYLE, GetWindowLongA(main_window, GWL_EXSTYLE) | (LONG)WS_EX_TOPMOST);
    SetWindowPos(main_window, HWND_TOPMOST, 0, 0, d3d_wd, d3d_ht, SWP_FRAMECHANGED);
    clip_cursor_to_window(main_window);
  } else {
    // The window left for fullscreen comes back, unless a size is configured; with
    // neither (a fullscreen start) the device's new size is the client area. A size
    // is centred in the work area, as at a windowed start.
    RECT r = windowed_rect;
    if (app_screen_wd > 0)
      r = centered_window_rect(windowed_style, app_screen_wd, app_screen_ht);
    else if (r.left == r.right)
      r = centered_window_rect(windowed_style, d3d_wd, d3d_ht);
    SetWindowLongA(main_window, GWL_EXSTYLE, GetWindowLongA(main_window, GWL_EXSTYLE) & ~(LONG)WS_EX_TOPMOST);
    SetWindowPos(main_window, HWND_NOTOPMOST, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_FRAMECHANGED);
    release_cursor_clip();
  }
}

void set_window_pos(int x, int y, int width, int height) {
  SetWindowPos(main_window, HWND_NOTOPMOST, x, y, width, height, SWP_FRAMECHANGED);
}

void clip_cursor_to_window(HWND hwnd) {
  RECT r;
  if (GetWindowRect(hwnd, &r))
    ClipCursor(&r);
}

LRESULT window_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case WM_CREATE:
      return 0;
    case WM_DESTROY:
      isAppActive = false;
      PostQuitMessage(0);
      return 0;
    case WM_SIZE:
      if (wparam != SIZE_MINIMIZED && !isFullscreen)
        resize_d3d(LOWORD(lparam), HIWORD(lparam), false, false);
      return 0;
    case WM_ACTIVATE:
      on_activate(hwnd, wparam);
      return 0;
    case WM_PAINT:
      ValidateRect(hwnd, nullptr);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_SETCURSOR:
      on_set_cursor(hwnd, lparam);
      return 0;
    case WM_INPUT:
      on_raw_input(lparam);
      return 0;
    case WM_SYSKEYDOWN:
      if (wparam == VK_F4)
        return DefWindowProcA(hwnd, msg, wparam, lparam);
      if (wparam == VK_RETURN) {
        window_mode_change_pending = true;
        fullscreen_request = !isFullscreen;
        return 0;
      }
      [[fallthrough]];
    case WM_KEYDOWN:
      on_input_message(IE_KEY_DOWN, (int)wparam, key_scan(lparam), (lparam & (1 << 30)) ? INPUT_MOD_REPEAT : 0, -1, -1);
      return 0;
    case WM_KEYUP:
    case WM_SYSKEYUP:
      on_input_message(IE_KEY_UP, (int)wparam, key_scan(lparam), 0, -1, -1);
      return 0;
    case WM_MOUSEMOVE:
      mouse_event(IE_MOUSE_MOVE, 0, lparam);
      return 0;
    case WM_LBUTTONDOWN:
      SetFocus(hwnd);
      mouse_event(IE_BUTTON_DOWN, 1, lparam);
      return 0;
    case WM_LBUTTONUP:
      mouse_event(IE_BUTTON_UP, 1, lparam);
      return 0;
    case WM_RBUTTONDOWN:
      SetFocus(hwnd);
      mouse_event(IE_BUTTON_DOWN, 2, lparam);
      return 0;
    case WM_RBUTTONUP:
      mouse_event(IE_BUTTON_UP, 2, lparam);
      return 0;
    case WM_MBUTTONDOWN:
      SetFocus(hwnd);
      mouse_event(IE_BUTTON_DOWN, 4, lparam);
      return 0;
    case WM_MBUTTONUP:
      mouse_event(IE_BUTTON_UP, 4, lparam);
      return 0;
    case WM_MOUSEWHEEL:
      mouse_event(IE_WHEEL, wheel_steps(GET_WHEEL_DELTA_WPARAM(wparam)), lparam);
      return 0;
    default:
      return DefWindowProcA(hwnd, msg, wparam, lparam);
  }
}
