// Display start-up, screen metrics, errors, priorities, sleeping and message boxes.
#include <SDL2/SDL.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "platform/win32/win32_internal.h"

namespace {

thread_local DWORD last_error = 0;
std::string platform_error;
bool video_started = false;
bool display_failed = false;  // once the display can't be opened, it isn't tried again
int headless_state = -1;  // -1 undecided, 0 display, 1 headless

DWORD process_priority_class = NORMAL_PRIORITY_CLASS;
std::atomic<int> thread_priority{0};

// Headless there is no real display: one virtual screen, the size of the device
// layer's headless desktop mode.
constexpr int kHeadlessScreenWd = 1920;
constexpr int kHeadlessScreenHt = 1080;

bool env_set(const char* name) {
  const char* value = getenv(name);
  return value && value[0];
}

// SDL falls back to video drivers that show nothing (offscreen, dummy) when no display
// answers; a game with a display named must show on it.
bool shows_on_the_display(const char* driver) {
  return driver && (strcmp(driver, "x11") == 0 || strcmp(driver, "wayland") == 0);
}

// Why the named display can't be used. SDL's text after a failed start of its video
// is not to be trusted (it may be garbage), so the display's own driver is asked again:
// its reason, or, when it works after all (SDL was told to use another driver), the
// driver asked for.
std::string display_failure() {
  const char* name = env_set("DISPLAY") ? getenv("DISPLAY") : getenv("WAYLAND_DISPLAY");
  std::string reason;
  if (SDL_VideoInit(env_set("DISPLAY") ? "x11" : "wayland") != 0) {
    reason = SDL_GetError();
  } else {
    SDL_VideoQuit();
    const char* asked = getenv("SDL_VIDEODRIVER");
    reason = std::string("SDL_VIDEODRIVER is '") + (asked ? asked : "") + "'";
  }
  return "can't open the display '" + std::string(name) + "' (" + reason + ")";
}

}  // namespace

bool win32_headless() {
  if (headless_state < 0) {
    const char* forced = getenv("TORVANE_HEADLESS");
    bool no_display = !env_set("DISPLAY") && !env_set("WAYLAND_DISPLAY");
    headless_state = ((forced && strcmp(forced, "1") == 0) || no_display) ? 1 : 0;
  }
  return headless_state == 1;
}

bool win32_platform_start() {
  if (win32_headless() || video_started)
    return true;
  if (display_failed)
    return false;
  // Quit requests come through our own signal handlers, so that the game shuts down
  // in order whether or not a window exists yet.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
  bool started = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
  if (!started || !shows_on_the_display(SDL_GetCurrentVideoDriver())) {
    if (started)
      SDL_QuitSubSystem(SDL_INIT_VIDEO);
    platform_error = display_failure();
    display_failed = true;
    return false;
  }
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 4);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 5);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_Keymod mods = SDL_GetModState();
  win32_init_lock_toggles(mods & KMOD_CAPS, mods & KMOD_NUM, false);
  video_started = true;
  return true;
}

void win32_destroy_closed_windows();

void win32_platform_stop() {
  if (!video_started)
    return;
  win32_destroy_closed_windows();
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
  video_started = false;
}

const char* win32_platform_error() { return platform_error.c_str(); }

void win32_set_platform_error(const char* text) { platform_error = text ? text : ""; }

RECT win32_screen_rect() {
  if (win32_headless() || !win32_platform_start())
    return RECT{0, 0, win32_headless() ? kHeadlessScreenWd : 0, win32_headless() ? kHeadlessScreenHt : 0};
  SDL_Rect r;
  if (SDL_GetDisplayBounds(0, &r) != 0)
    return RECT{0, 0, 0, 0};
  return RECT{r.x, r.y, r.x + r.w, r.y + r.h};
}

RECT win32_work_area() {
  if (win32_headless() || !win32_platform_start())
    return win32_screen_rect();
  SDL_Rect r;
  if (SDL_GetDisplayUsableBounds(0, &r) != 0)
    return win32_screen_rect();
  return RECT{r.x, r.y, r.x + r.w, r.y + r.h};
}

BOOL SystemParametersInfoA(UINT action, UINT, void* out, UINT) {
  if (action != SPI_GETWORKAREA || !out) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  RECT area = win32_work_area();
  if (area.right <= area.left || area.bottom <= area.top)
    return FALSE;
  *(RECT*)out = area;
  return TRUE;
}

int GetSystemMetrics(int index) {
  RECT screen = win32_screen_rect();
  if (index == SM_CXSCREEN)
    return screen.right - screen.left;
  if (index == SM_CYSCREEN)
    return screen.bottom - screen.top;
  return 0;
}

HMODULE GetModuleHandleA(LPCSTR) {
  // One module handle: the executable's.
  static char module_marker;
  return (HMODULE)&module_marker;
}

DWORD GetLastError() { return last_error; }
void SetLastError(DWORD code) { last_error = code; }

void Sleep(DWORD milliseconds) {
  timespec ts{(time_t)(milliseconds / 1000), (long)(milliseconds % 1000) * 1000000L};
  while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
  }
}

// Priorities are recorded only: a game has no business raising its own scheduling
// class here, and lowering it is left to the user.
HANDLE GetCurrentProcess() { return (HANDLE)(intptr_t)-1; }
HANDLE GetCurrentThread() { return (HANDLE)(intptr_t)-2; }

BOOL SetPriorityClass(HANDLE, DWORD priority_class) {
  process_priority_class = priority_class;
  return TRUE;
}

DWORD GetPriorityClass(HANDLE) { return process_priority_class; }

BOOL SetThreadPriority(HANDLE, int priority) {
  thread_priority = priority;
  return TRUE;
}

int GetThreadPriority(HANDLE) { return thread_priority; }

// The box is shown without a parent whatever the owner: SDL places a box that has one
// by the parent's position counted twice, off towards the lower right, and centres one
// without a parent on the display.
int MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT type) {
  text = text ? text : "";
  caption = caption ? caption : "";
  if (!win32_headless() && win32_platform_start()) {
    Uint32 flags = (type & MB_ICONERROR) == MB_ICONERROR         ? SDL_MESSAGEBOX_ERROR
                   : (type & MB_ICONWARNING) == MB_ICONWARNING ? SDL_MESSAGEBOX_WARNING
                                                               : SDL_MESSAGEBOX_INFORMATION;
    // A grab held by the game's window would keep every click away from the box.
    win32_suspend_pointer_grabs(true);
    int shown = SDL_ShowSimpleMessageBox(flags, caption, text, nullptr);
    win32_suspend_pointer_grabs(false);
    if (shown == 0)
      return IDOK;
  }
  fprintf(stderr, "%s: %s\n", caption, text);
  fflush(stderr);
  return IDOK;
}
