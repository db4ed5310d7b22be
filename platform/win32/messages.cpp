// The message queue: posted messages, the quit flag, sent messages, and SDL events
// turned into the messages the window procedure expects.
#include <SDL2/SDL.h>

#include <atomic>
#include <cmath>
#include <csignal>
#include <deque>

#include "platform/win32/win32_internal.h"

namespace {

std::deque<MSG> posted;
bool quit_posted = false;
int quit_code = 0;

volatile sig_atomic_t quit_signal_pending = 0;
volatile int64_t quit_signal_msec = 0;  // when the pending request came

DWORD now_msec() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return (DWORD)(ts.tv_sec * 1000 + ts.tv_nsec / 1000000);
}

void on_quit_signal(int sig) {
  DWORD now = now_msec();
  if (quit_signal_pending) {
    // A repeat within a moment is the same request delivered twice (to the process
    // and to its group). A request left unanswered for seconds means the program no
    // longer pumps messages: the repeat ends it the default way.
    if ((int64_t)(now - (DWORD)quit_signal_msec) >= 2000) {
      signal(sig, SIG_DFL);
      raise(sig);
    }
    return;
  }
  quit_signal_msec = now;
  quit_signal_pending = 1;
}

// A quit signal closes the windows as the close box would.
void handle_quit_signal() {
  if (!quit_signal_pending)
    return;
  quit_signal_pending = 0;
  if (win32_window_count() == 0) {
    PostQuitMessage(0);
    return;
  }
  while (win32_window_count() > 0) {
    int before = win32_window_count();
    win32_send(win32_window_at(0), WM_CLOSE, 0, 0);
    if (win32_window_count() == before)
      break;  // the window refused to close
  }
}

bool message_matches(const MSG& m, HWND hwnd, UINT lo, UINT hi) {
  if (hwnd && m.hwnd != hwnd)
    return false;
  if (lo == 0 && hi == 0)
    return true;
  return m.message >= lo && m.message <= hi;
}

WPARAM mouse_key_flags(Uint32 buttons) {
  WPARAM flags = 0;
  if (buttons & SDL_BUTTON_LMASK)
    flags |= MK_LBUTTON;
  if (buttons & SDL_BUTTON_RMASK)
    flags |= MK_RBUTTON;
  if (buttons & SDL_BUTTON_MMASK)
    flags |= MK_MBUTTON;
  SDL_Keymod mods = SDL_GetModState();
  if (mods & KMOD_SHIFT)
    flags |= MK_SHIFT;
  if (mods & KMOD_CTRL)
    flags |= MK_CONTROL;
  return flags;
}

bool raw_mouse_registered = false;

}  // namespace

void win32_post_key(HWND hwnd, const SDL_KeyboardEvent& key) {
  // The event's own modifiers: by the time it is read the pump may have seen Num
  // Lock pressed after it.
  bool num_lock = key.keysym.mod & KMOD_NUM;
  KeyTranslation kt = win32_translate_scancode(key.keysym.scancode, num_lock);
  if (kt.vk == 0)
    return;
  bool alt_down = (key.keysym.mod & KMOD_ALT) || kt.vk == VK_MENU;
  bool down = key.type == SDL_KEYDOWN;
  LPARAM lparam = 1 | ((LPARAM)(kt.scan & 0x1FF) << 16);
  if (alt_down)
    lparam |= (LPARAM)1 << 29;
  if (!down || key.repeat)
    lparam |= (LPARAM)1 << 30;
  if (!down)
    lparam |= (LPARAM)1 << 31;
  // Alt combinations and F10 are system keys, as the window manager of Windows has it.
  bool system = (alt_down && !(key.keysym.mod & KMOD_CTRL)) || kt.vk == VK_F10;
  UINT msg = down ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN) : (system ? WM_SYSKEYUP : WM_KEYUP);
  win32_post(hwnd, msg, kt.vk, lparam);
}

namespace {

void translate_window_event(HWND hwnd, const SDL_WindowEvent& ev) {
  switch (ev.event) {
    case SDL_WINDOWEVENT_CLOSE:
      win32_send(hwnd, WM_CLOSE, 0, 0);
      break;
    case SDL_WINDOWEVENT_SIZE_CHANGED: {
      win32_sync_from_sdl(hwnd);
      if (hwnd->minimized || hwnd->fullscreen)
        break;
      WPARAM kind = hwnd->maximized ? SIZE_MAXIMIZED : SIZE_RESTORED;
      win32_send(hwnd, WM_SIZE, kind, MAKELPARAM(ev.data1, ev.data2));
      break;
    }
    case SDL_WINDOWEVENT_MOVED:
      win32_sync_from_sdl(hwnd);
      break;
    case SDL_WINDOWEVENT_MINIMIZED:
      win32_sync_from_sdl(hwnd);
      hwnd->minimized = true;
      win32_send(hwnd, WM_SIZE, SIZE_MINIMIZED, 0);
      win32_send(hwnd, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 1), 0);
      break;
    case SDL_WINDOWEVENT_RESTORED:
    case SDL_WINDOWEVENT_MAXIMIZED: {
      bool was_minimized = hwnd->minimized;
      win32_sync_from_sdl(hwnd);
      hwnd->minimized = false;
      RECT client;
      GetClientRect(hwnd, &client);
      WPARAM kind = ev.event == SDL_WINDOWEVENT_MAXIMIZED ? SIZE_MAXIMIZED : SIZE_RESTORED;
      win32_send(hwnd, WM_SIZE, kind, MAKELPARAM(client.right, client.bottom));
      if (was_minimized && SDL_GetKeyboardFocus() == hwnd->sdl)
        win32_send(hwnd, WM_ACTIVATE, WA_ACTIVE, 0);
      break;
    }
    case SDL_WINDOWEVENT_FOCUS_GAINED:
      win32_send(hwnd, WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, hwnd->minimized ? 1 : 0), 0);
      break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
      win32_send(hwnd, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, hwnd->minimized ? 1 : 0), 0);
      break;
    case SDL_WINDOWEVENT_SHOWN:
      hwnd->visible = true;
      break;
    case SDL_WINDOWEVENT_HIDDEN:
      hwnd->visible = false;
      break;
    case SDL_WINDOWEVENT_EXPOSED:
      win32_send(hwnd, WM_PAINT, 0, 0);
      break;
    default:
      break;
  }
}

void translate_event(const SDL_Event& ev) {
  switch (ev.type) {
    case SDL_QUIT:
      quit_signal_pending = 1;  // the desktop asked the program to end
      return;
    case SDL_WINDOWEVENT:
      if (HWND hwnd = win32_window_from_sdl_id(ev.window.windowID))
        translate_window_event(hwnd, ev.window);
      return;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      if (HWND hwnd = win32_window_from_sdl_id(ev.key.windowID))
        win32_post_key(hwnd, ev.key);
      return;
    case SDL_MOUSEMOTION: {
      HWND hwnd = win32_window_from_sdl_id(ev.motion.windowID);
      if (!hwnd)
        return;
      if (raw_mouse_registered && (ev.motion.xrel || ev.motion.yrel))
        win32_post(hwnd, WM_INPUT, 0, (LPARAM)win32_store_raw_mouse(ev.motion.xrel, ev.motion.yrel, false));
      int x = ev.motion.x, y = ev.motion.y;
      win32_scale_from_sdl(hwnd, &x, &y);
      win32_send(hwnd, WM_SETCURSOR, (WPARAM)hwnd, MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
      win32_post(hwnd, WM_MOUSEMOVE, mouse_key_flags(ev.motion.state), MAKELPARAM(x, y));
      return;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      HWND hwnd = win32_window_from_sdl_id(ev.button.windowID);
      if (!hwnd)
        return;
      bool down = ev.type == SDL_MOUSEBUTTONDOWN;
      UINT msg;
      if (ev.button.button == SDL_BUTTON_LEFT)
        msg = down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
      else if (ev.button.button == SDL_BUTTON_RIGHT)
        msg = down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
      else if (ev.button.button == SDL_BUTTON_MIDDLE)
        msg = down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
      else
        return;
      int x = ev.button.x, y = ev.button.y;
      win32_scale_from_sdl(hwnd, &x, &y);
      win32_post(hwnd, msg, mouse_key_flags(SDL_GetMouseState(nullptr, nullptr)), MAKELPARAM(x, y));
      return;
    }
    case SDL_MOUSEWHEEL: {
      HWND hwnd = win32_window_from_sdl_id(ev.wheel.windowID);
      if (!hwnd)
        return;
      float notches = ev.wheel.preciseY;
      if (ev.wheel.direction == SDL_MOUSEWHEEL_FLIPPED)
        notches = -notches;
      int delta = (int)lroundf(notches * WHEEL_DELTA);
      if (delta == 0)
        return;
      POINT pt;
      GetCursorPos(&pt);
      WPARAM wparam = MAKEWPARAM(mouse_key_flags(SDL_GetMouseState(nullptr, nullptr)), (WORD)(SHORT)delta);
      win32_post(hwnd, WM_MOUSEWHEEL, wparam, MAKELPARAM(pt.x, pt.y));
      return;
    }
    default:
      return;
  }
}

}  // namespace

void win32_set_raw_mouse_registered(bool on) { raw_mouse_registered = on; }

LRESULT win32_send(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (!IsWindow(hwnd) || !hwnd->proc)
    return 0;
  return hwnd->proc(hwnd, msg, wparam, lparam);
}

void win32_post(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  MSG m{};
  m.hwnd = hwnd;
  m.message = msg;
  m.wParam = wparam;
  m.lParam = lparam;
  m.time = now_msec();
  posted.push_back(m);
}

void win32_pump_sdl_events() {
  if (!win32_headless() && win32_platform_start()) {
    SDL_Event ev;
    while (SDL_PollEvent(&ev))
      translate_event(ev);
  }
  handle_quit_signal();
}

void win32_install_quit_signals() {
  // Any part of the program that starts SDL later (sound, say) must leave these
  // signals to us.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  struct sigaction sa {};
  sa.sa_handler = on_quit_signal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
}

BOOL PeekMessageA(MSG* msg, HWND hwnd, UINT filter_min, UINT filter_max, UINT remove) {
  // The raw record of the WM_INPUT taken last has been handled by now.
  static HRAWINPUT raw_taken = nullptr;
  if ((remove & PM_REMOVE) && raw_taken) {
    win32_release_raw_input(raw_taken);
    raw_taken = nullptr;
  }
  if (posted.empty())
    win32_pump_sdl_events();
  for (auto it = posted.begin(); it != posted.end(); ++it) {
    if (!message_matches(*it, hwnd, filter_min, filter_max))
      continue;
    *msg = *it;
    if (remove & PM_REMOVE) {
      posted.erase(it);
      win32_track_key_message(*msg);
      if (msg->message == WM_INPUT)
        raw_taken = (HRAWINPUT)msg->lParam;
    }
    return TRUE;
  }
  if (quit_posted && (filter_min == 0 && filter_max == 0)) {
    *msg = MSG{};
    msg->message = WM_QUIT;
    msg->wParam = (WPARAM)quit_code;
    msg->time = now_msec();
    if (remove & PM_REMOVE)
      quit_posted = false;
    return TRUE;
  }
  return FALSE;
}

BOOL TranslateMessage(const MSG* msg) {
  if (!msg || (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN))
    return FALSE;
  BYTE state[256];
  GetKeyboardState(state);
  WORD ch = 0;
  UINT scan = (UINT)((msg->lParam >> 16) & 0xFF);
  if (ToAscii((UINT)msg->wParam, scan, state, &ch, 0) != 1)
    return FALSE;
  MSG m = *msg;
  m.message = msg->message == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR;
  m.wParam = ch;
  posted.push_front(m);
  return TRUE;
}

LRESULT DispatchMessageA(const MSG* msg) {
  if (!msg || !msg->hwnd)
    return 0;
  return win32_send(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

BOOL PostMessageA(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (hwnd && !IsWindow(hwnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  win32_post(hwnd, msg, wparam, lparam);
  return TRUE;
}

LRESULT SendMessageA(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) { return win32_send(hwnd, msg, wparam, lparam); }

void PostQuitMessage(int exit_code) {
  quit_posted = true;
  quit_code = exit_code;
}
