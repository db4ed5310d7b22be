// The Win32 subset over SDL2, headless: the message queue, key state, ToAscii, the
// SDL key translation, window geometry, raw input records and the message box.
#include <SDL2/SDL_events.h>
#include <SDL2/SDL_scancode.h>

#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/win32/sdl_glue.h"
#include "platform/win32/win32_internal.h"
#include "tests/support/test_env.h"

namespace {

std::vector<UINT> seen;
LRESULT recording_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  seen.push_back(msg);
  if (msg == WM_DESTROY)
    PostQuitMessage(7);
  return DefWindowProcA(hwnd, msg, wparam, lparam);
}

HWND make_window(DWORD style = WS_OVERLAPPEDWINDOW) {
  static bool registered = false;
  if (!registered) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = recording_proc;
    wc.lpszClassName = "LayerTest";
    EXPECT_NE(RegisterClassA(&wc), 0);
    EXPECT_EQ(RegisterClassA(&wc), 0) << "a class registers once";
    registered = true;
  }
  return CreateWindowExA(0, "LayerTest", "test", style, 100, 50, 400, 300, nullptr, nullptr, nullptr, nullptr);
}

void pump_all() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT)
      break;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}


TEST(Win32Layer, HeadlessWithoutDisplay) {
  EXPECT_TRUE(win32_headless());
  EXPECT_TRUE(win32_platform_start());
  HWND hwnd = make_window();
  ASSERT_TRUE(hwnd);
  EXPECT_EQ(win32_sdl_window(hwnd), nullptr);
  DestroyWindow(hwnd);
  pump_all();
}

TEST(Win32Layer, QueueOrderQuitLastAndCloseRoad) {
  HWND hwnd = make_window();
  seen.clear();
  PostMessageA(hwnd, WM_KEYDOWN, 'A', 0x1E0001);
  PostQuitMessage(3);
  PostMessageA(hwnd, WM_MOUSEMOVE, 0, 0);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(msg.message, (UINT)WM_KEYDOWN) << "peeking leaves it there";
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, (UINT)WM_KEYDOWN);
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, (UINT)WM_MOUSEMOVE) << "the quit comes when the queue is empty";
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, (UINT)WM_QUIT);
  EXPECT_EQ(msg.wParam, 3u);
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) << "once";
  PostMessageA(hwnd, WM_KEYUP, 'A', 0xC01E0001);
  pump_all();

  // Alt+F4: system key -> close command -> close -> destroy -> the procedure's quit.
  seen.clear();
  PostMessageA(hwnd, WM_SYSKEYDOWN, VK_F4, ((LPARAM)1 << 29) | 0x3E0001);
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  DispatchMessageA(&msg);
  std::vector<UINT> expected{WM_SYSKEYDOWN, WM_SYSCOMMAND, WM_CLOSE, WM_DESTROY};
  EXPECT_EQ(seen, expected);
  EXPECT_FALSE(IsWindow(hwnd));
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, (UINT)WM_QUIT);
  EXPECT_EQ(msg.wParam, 7u);
  EXPECT_FALSE(PostMessageA(hwnd, WM_NULL, 0, 0)) << "a destroyed window takes no messages";
}

TEST(Win32Layer, QuitSignalWithoutWindowPostsQuit) {
  win32_install_quit_signals();
  raise(SIGINT);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, (UINT)WM_QUIT);
}

TEST(Win32Layer, KeyStateFollowsRemovedMessages) {
  HWND hwnd = make_window();
  BYTE ks[256];
  PostMessageA(hwnd, WM_KEYDOWN, VK_SHIFT, 0x360001);  // right shift
  EXPECT_FALSE(GetKeyState(VK_SHIFT) & 0x8000) << "not before the message is taken";
  pump_all();
  EXPECT_TRUE(GetKeyState(VK_SHIFT) & 0x8000);
  EXPECT_TRUE(GetKeyState(VK_RSHIFT) & 0x8000);
  EXPECT_FALSE(GetKeyState(VK_LSHIFT) & 0x8000);
  PostMessageA(hwnd, WM_KEYDOWN, VK_CONTROL, 0x11D0001);  // right ctrl (extended)
  PostMessageA(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, 0);
  pump_all();
  GetKeyboardState(ks);
  EXPECT_TRUE(ks[VK_RCONTROL] & 0x80);
  EXPECT_TRUE(ks[VK_LBUTTON] & 0x80);
  PostMessageA(hwnd, WM_KEYUP, VK_SHIFT, 0xC0360001);
  PostMessageA(hwnd, WM_KEYUP, VK_CONTROL, 0xC11D0001);
  PostMessageA(hwnd, WM_LBUTTONUP, 0, 0);
  pump_all();
  GetKeyboardState(ks);
  EXPECT_FALSE(ks[VK_SHIFT] & 0x80);
  EXPECT_FALSE(ks[VK_CONTROL] & 0x80);
  EXPECT_FALSE(ks[VK_LBUTTON] & 0x80);

  // Locks toggle on presses, not on repeats or releases.
  bool caps = GetKeyState(VK_CAPITAL) & 1;
  PostMessageA(hwnd, WM_KEYDOWN, VK_CAPITAL, 0x3A0001);
  PostMessageA(hwnd, WM_KEYDOWN, VK_CAPITAL, 0x403A0001);
  PostMessageA(hwnd, WM_KEYUP, VK_CAPITAL, 0xC03A0001);
  pump_all();
  EXPECT_EQ((bool)(GetKeyState(VK_CAPITAL) & 1), !caps);
  PostMessageA(hwnd, WM_KEYDOWN, VK_CAPITAL, 0x3A0001);
  PostMessageA(hwnd, WM_KEYUP, VK_CAPITAL, 0xC03A0001);
  pump_all();
  EXPECT_EQ((bool)(GetKeyState(VK_CAPITAL) & 1), caps);
  EXPECT_EQ(GetKeyState(300), 0);
  DestroyWindow(hwnd);
  pump_all();
}

TEST(Win32Layer, TranslateMessagePostsTheCharacterNext) {
  HWND hwnd = make_window();
  seen.clear();
  PostMessageA(hwnd, WM_KEYDOWN, 'Q', 0x100001);
  PostMessageA(hwnd, WM_KEYUP, 'Q', 0xC0100001);
  pump_all();
  std::vector<UINT> expected{WM_KEYDOWN, WM_CHAR, WM_KEYUP};
  EXPECT_EQ(seen, expected);
  DestroyWindow(hwnd);
  pump_all();
}

TEST(Win32Layer, ToAsciiUsLayout) {
  struct Case {
    UINT vk;
    bool shift, ctrl, alt, caps;
    int ch;  // 0: no character
  } cases[] = {
      {'A', false, false, false, false, 'a'}, {'A', true, false, false, false, 'A'},
      {'A', false, false, false, true, 'A'},  {'A', true, false, false, true, 'a'},
      {'A', false, true, false, false, 1},    {'Z', false, true, false, false, 26},
      {'A', false, true, true, false, 0},     {'A', false, false, true, false, 'a'},
      {'1', false, false, false, false, '1'}, {'1', true, false, false, false, '!'},
      {'0', true, false, false, false, ')'},  {'2', false, true, false, false, 0},
      {VK_SPACE, false, false, false, false, ' '}, {VK_RETURN, false, false, false, false, 13},
      {VK_BACK, false, false, false, false, 8}, {VK_ESCAPE, false, false, false, false, 27},
      {VK_TAB, false, false, false, false, 9}, {VK_OEM_MINUS, true, false, false, false, '_'},
      {VK_OEM_2, false, false, false, false, '/'}, {VK_OEM_7, true, false, false, false, '"'},
      {VK_OEM_3, true, false, false, false, '~'}, {VK_OEM_4, false, true, false, false, 27},
      {VK_NUMPAD0 + 7, false, false, false, false, '7'}, {VK_DECIMAL, false, false, false, false, '.'},
      {VK_LEFT, false, false, false, false, 0}, {VK_F1, false, false, false, false, 0},
      {VK_SHIFT, true, false, false, false, 0},
  };
  for (const Case& c : cases) {
    BYTE ks[256] = {};
    if (c.shift) ks[VK_SHIFT] = 0x80;
    if (c.ctrl) ks[VK_CONTROL] = 0x80;
    if (c.alt) ks[VK_MENU] = 0x80;
    if (c.caps) ks[VK_CAPITAL] = 1;
    WORD out = 0xFFFF;
    int n = ToAscii(c.vk, 0, ks, &out, 0);
    if (c.ch) {
      EXPECT_EQ(n, 1) << c.vk;
      EXPECT_EQ(out, c.ch) << c.vk << " shift " << c.shift << " ctrl " << c.ctrl << " caps " << c.caps;
    } else {
      EXPECT_EQ(n, 0) << c.vk;
      EXPECT_EQ(out, 0xFFFF) << "left untouched";
    }
  }
}

TEST(Win32Layer, ScancodeTranslation) {
  struct Case {
    int sdl;
    bool num;
    BYTE vk;
    WORD scan;
  } cases[] = {
      {SDL_SCANCODE_A, false, 'A', 0x1E},      {SDL_SCANCODE_W, false, 'W', 0x11},
      {SDL_SCANCODE_1, false, '1', 0x02},      {SDL_SCANCODE_ESCAPE, false, VK_ESCAPE, 0x01},
      {SDL_SCANCODE_LEFT, false, VK_LEFT, 0x14B}, {SDL_SCANCODE_RCTRL, false, VK_CONTROL, 0x11D},
      {SDL_SCANCODE_LSHIFT, false, VK_SHIFT, 0x2A}, {SDL_SCANCODE_PRINTSCREEN, false, VK_SNAPSHOT, 0x137},
      {SDL_SCANCODE_KP_8, true, VK_NUMPAD0 + 8, 0x48}, {SDL_SCANCODE_KP_8, false, VK_UP, 0x48},
      {SDL_SCANCODE_KP_ENTER, false, VK_RETURN, 0x11C}, {SDL_SCANCODE_F12, false, VK_F12, 0x58},
      {SDL_SCANCODE_SEMICOLON, false, VK_OEM_1, 0x27}, {SDL_SCANCODE_UNKNOWN, false, 0, 0},
  };
  for (const Case& c : cases) {
    KeyTranslation kt = win32_translate_scancode(c.sdl, c.num);
    EXPECT_EQ(kt.vk, c.vk) << c.sdl;
    EXPECT_EQ(kt.scan, c.scan) << c.sdl;
  }
}

TEST(Win32Layer, GeometryAndCursor) {
  HWND hwnd = make_window();
  RECT outer, client;
  GetWindowRect(hwnd, &outer);
  GetClientRect(hwnd, &client);
  EXPECT_EQ(outer.left, 100);
  EXPECT_EQ(outer.right - outer.left, 400);
  RECT adjusted{0, 0, client.right, client.bottom};
  AdjustWindowRectEx(&adjusted, WS_OVERLAPPEDWINDOW, FALSE, WS_EX_APPWINDOW);
  EXPECT_EQ(adjusted.right - adjusted.left, 400) << "client plus frame gives the window";
  EXPECT_EQ(adjusted.bottom - adjusted.top, 300);
  RECT popup{0, 0, 10, 10};
  AdjustWindowRectEx(&popup, WS_POPUP, FALSE, 0);
  EXPECT_EQ(popup.right, 10) << "a popup has no frame";

  POINT pt{5, 6};
  ClientToScreen(hwnd, &pt);
  ScreenToClient(hwnd, &pt);
  EXPECT_EQ(pt.x, 5);
  EXPECT_EQ(pt.y, 6);

  ShowWindow(hwnd, SW_SHOWNORMAL);
  POINT inside{150, 100};
  EXPECT_EQ(WindowFromPoint(inside), hwnd);
  EXPECT_EQ(WindowFromPoint(POINT{1000, 700}), nullptr);

  // A clip holds the cursor inside; release frees it.
  RECT clip{100, 100, 200, 200};
  ClipCursor(&clip);
  SetCursorPos(500, 20);
  GetCursorPos(&pt);
  EXPECT_EQ(pt.x, 199);
  EXPECT_EQ(pt.y, 100);
  ClipCursor(nullptr);
  SetCursorPos(500, 20);
  GetCursorPos(&pt);
  EXPECT_EQ(pt.x, 500);

  SetWindowPos(hwnd, HWND_TOPMOST, 10, 20, 300, 200, SWP_FRAMECHANGED);
  GetWindowRect(hwnd, &outer);
  EXPECT_EQ(outer.left, 10);
  EXPECT_EQ(outer.bottom, 220);
  EXPECT_TRUE(GetWindowLongA(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST);
  SetCursor(nullptr);
  EXPECT_EQ(win32_current_cursor(), nullptr);
  SetCursor(LoadCursorA(nullptr, IDC_IBEAM));
  EXPECT_EQ(win32_current_cursor(), LoadCursorA(nullptr, IDC_IBEAM));
  DestroyWindow(hwnd);
  pump_all();
}

TEST(Win32Layer, RawInputRecords) {
  RAWINPUTDEVICE mouse{1, 2, 0, nullptr};
  EXPECT_TRUE(RegisterRawInputDevices(&mouse, 1, sizeof(mouse)));
  EXPECT_FALSE(RegisterRawInputDevices(&mouse, 1, 3));
  HRAWINPUT h = win32_store_raw_mouse(-4, 9, false);
  UINT size = 0;
  EXPECT_EQ(GetRawInputData(h, RID_INPUT, nullptr, &size, sizeof(RAWINPUTHEADER)), 0u);
  EXPECT_EQ(size, sizeof(RAWINPUT));
  RAWINPUT raw;
  EXPECT_EQ(GetRawInputData(h, RID_INPUT, &raw, &size, sizeof(RAWINPUTHEADER)), sizeof(RAWINPUT));
  EXPECT_EQ(raw.header.dwType, (DWORD)RIM_TYPEMOUSE);
  EXPECT_EQ(raw.data.mouse.lLastX, -4);
  EXPECT_EQ(raw.data.mouse.lLastY, 9);
  UINT small = 4;
  EXPECT_EQ(GetRawInputData(h, RID_INPUT, &raw, &small, sizeof(RAWINPUTHEADER)), (UINT)-1);
  EXPECT_EQ(GetRawInputData(nullptr, RID_INPUT, nullptr, &size, sizeof(RAWINPUTHEADER)), (UINT)-1);
}

std::vector<std::pair<LONG, LONG>> raw_motion_read;
LRESULT raw_reading_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == WM_INPUT) {
    RAWINPUT raw;
    UINT size = sizeof(raw);
    if (GetRawInputData((HRAWINPUT)lparam, RID_INPUT, &raw, &size, sizeof(RAWINPUTHEADER)) == sizeof(RAWINPUT))
      raw_motion_read.emplace_back(raw.data.mouse.lLastX, raw.data.mouse.lLastY);
    else
      raw_motion_read.emplace_back(0, -1);  // a record that could not be read
  }
  return DefWindowProcA(hwnd, msg, wparam, lparam);
}

TEST(Win32Layer, RawMotionQueuedInOnePumpIsReadAsQueued) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = raw_reading_proc;
  wc.lpszClassName = "RawReader";
  RegisterClassA(&wc);
  HWND hwnd = CreateWindowExA(0, "RawReader", "raw", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                              nullptr, nullptr);
  pump_all();
  // Far more motion than one burst of a fast mouse, all queued before any is read.
  for (int round = 0; round < 2; round++) {
    raw_motion_read.clear();
    const int count = 1000;
    for (int i = 1; i <= count; i++)
      win32_post(hwnd, WM_INPUT, 0, (LPARAM)win32_store_raw_mouse(i, -i, false));
    pump_all();
    ASSERT_EQ(raw_motion_read.size(), (size_t)count);
    long sum = 0;
    for (int i = 1; i <= count; i++) {
      EXPECT_EQ(raw_motion_read[i - 1], std::make_pair((LONG)i, (LONG)-i)) << "motion " << i << " round " << round;
      sum += raw_motion_read[i - 1].first;
    }
    EXPECT_EQ(sum, (long)count * (count + 1) / 2) << "no motion counted twice or lost";
  }
  // A record handled and released is gone.
  HRAWINPUT h = win32_store_raw_mouse(3, 4, false);
  win32_post(hwnd, WM_INPUT, 0, (LPARAM)h);
  pump_all();
  UINT size = 0;
  EXPECT_EQ(GetRawInputData(h, RID_INPUT, nullptr, &size, sizeof(RAWINPUTHEADER)), (UINT)-1);
  DestroyWindow(hwnd);
  pump_all();
}

TEST(Win32Layer, KeypadKeysReadNumLockFromTheirOwnEvent) {
  HWND hwnd = make_window();
  pump_all();
  struct Case {
    Uint16 mod;
    BYTE vk;
  } cases[] = {{KMOD_NUM, VK_NUMPAD0 + 8}, {KMOD_NONE, VK_UP}, {KMOD_NUM | KMOD_SHIFT, VK_NUMPAD0 + 8}};
  for (const Case& c : cases) {
    SDL_KeyboardEvent key{};
    key.type = SDL_KEYDOWN;
    key.keysym.scancode = SDL_SCANCODE_KP_8;
    key.keysym.mod = c.mod;
    win32_post_key(hwnd, key);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, hwnd, WM_KEYDOWN, WM_SYSKEYUP, PM_REMOVE));
    EXPECT_EQ(msg.wParam, (WPARAM)c.vk) << "mod " << c.mod;
    key.type = SDL_KEYUP;
    win32_post_key(hwnd, key);
    ASSERT_TRUE(PeekMessageA(&msg, hwnd, WM_KEYDOWN, WM_SYSKEYUP, PM_REMOVE));
    EXPECT_EQ(msg.wParam, (WPARAM)c.vk) << "mod " << c.mod;
  }
  DestroyWindow(hwnd);
  pump_all();
}

TEST(Win32Layer, MessageBoxHeadlessGoesToStandardError) {
  testing::internal::CaptureStderr();
  EXPECT_EQ(MessageBoxA(nullptr, "something broke", "Title - FATAL ERROR", MB_OK | MB_ICONERROR), IDOK);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Title - FATAL ERROR: something broke\n");
}

// Each priority the game asks for (every class and thread level it uses) is recorded
// and reported back, and the process's real scheduling stays as it was: a lowered
// priority could not be raised again without privileges.
TEST(Win32Layer, PriorityIsRecorded) {
  struct Scheduling {
    int process_nice, thread_nice, policy;
    bool operator==(const Scheduling&) const = default;
  };
  auto scheduling = [] {
    errno = 0;
    Scheduling s{getpriority(PRIO_PROCESS, 0), getpriority(PRIO_PROCESS, (id_t)syscall(SYS_gettid)),
                 sched_getscheduler(0)};
    EXPECT_EQ(errno, 0);
    return s;
  };
  const Scheduling before = scheduling();
  struct Case {
    DWORD priority_class;
    int thread_priority;
  } cases[] = {{IDLE_PRIORITY_CLASS, THREAD_PRIORITY_NORMAL},
               {ABOVE_NORMAL_PRIORITY_CLASS, THREAD_PRIORITY_ABOVE_NORMAL},
               {HIGH_PRIORITY_CLASS, THREAD_PRIORITY_HIGHEST},
               {IDLE_PRIORITY_CLASS, THREAD_PRIORITY_IDLE},
               {NORMAL_PRIORITY_CLASS, THREAD_PRIORITY_NORMAL}};
  for (const Case& c : cases) {
    EXPECT_TRUE(SetPriorityClass(GetCurrentProcess(), c.priority_class));
    EXPECT_TRUE(SetThreadPriority(GetCurrentThread(), c.thread_priority));
    EXPECT_EQ(GetPriorityClass(GetCurrentProcess()), c.priority_class);
    EXPECT_EQ(GetThreadPriority(GetCurrentThread()), c.thread_priority);
    EXPECT_TRUE(scheduling() == before) << "class " << c.priority_class << ", thread " << c.thread_priority;
  }
}

}  // namespace
