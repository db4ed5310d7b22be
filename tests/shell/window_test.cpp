// The game window headless: creation geometry, activation and priority, cursor clip
// and shape, Alt+Enter and set_fullscreen requests, mode switches with a real device,
// Alt+F4 ending in the quit message.
#include <gtest/gtest.h>

#include "engine/render/d3d_device.h"
#include "engine/shell/input.h"
#include "engine/shell/main_loop.h"
#include "engine/shell/shell.h"
#include "engine/shell/window.h"
#include "platform/d3d9/d3d9_platform.h"
#include "platform/win32/sdl_glue.h"
#include "tests/support/test_env.h"

namespace {

int width(const RECT& r) { return r.right - r.left; }
int height(const RECT& r) { return r.bottom - r.top; }

void drain_queue() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
    if (msg.message != WM_QUIT)
      DispatchMessageA(&msg);
}

class WindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { register_window_class(); }
  void SetUp() override {
    shouldHideMouse = false;
    mouse_cursor_type = 0;
    window_mode_change_pending = false;
    process_priority_level = 0;
  }
  HWND make_window(bool fullscreen, int wd, int ht) {
    isFullscreen = fullscreen;
    app_screen_wd = wd;
    app_screen_ht = ht;
    main_window = create_main_window();
    EXPECT_TRUE(main_window);
    init_input(main_window);
    drain_queue();
    return main_window;
  }
};

TEST_F(WindowTest, WindowedCreationCentresTheConfiguredSize) {
  HWND hwnd = make_window(false, 640, 360);
  RECT client, outer, work;
  GetClientRect(hwnd, &client);
  GetWindowRect(hwnd, &outer);
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  EXPECT_EQ(width(client), 640);
  EXPECT_EQ(height(client), 360);
  POINT origin{0, 0};
  ClientToScreen(hwnd, &origin);
  EXPECT_EQ(origin.x, work.left + (width(work) - 640) / 2);
  EXPECT_EQ(origin.y, work.top + (height(work) - 360) / 2);
  EXPECT_EQ((DWORD)GetWindowLongA(hwnd, GWL_STYLE) & WS_OVERLAPPEDWINDOW, WS_OVERLAPPEDWINDOW);
  EXPECT_TRUE(IsWindowVisible(hwnd));
  DestroyWindow(hwnd);
  drain_queue();
}

TEST_F(WindowTest, WindowedWithoutSizeIsMaximised) {
  HWND hwnd = make_window(false, 0, 0);
  RECT client, work;
  GetClientRect(hwnd, &client);
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  EXPECT_EQ(width(client), width(work));
  EXPECT_GT(height(client), height(work) / 2);
  DestroyWindow(hwnd);
  drain_queue();
}

TEST_F(WindowTest, ActivationSetsPriorityAndFullscreenClip) {
  HWND hwnd = make_window(true, 0, 0);
  RECT outer;
  GetWindowRect(hwnd, &outer);
  EXPECT_EQ(width(outer), GetSystemMetrics(SM_CXSCREEN)) << "the popup covers the screen";
  struct Case {
    WPARAM wparam;
    int level;
    bool active;
    DWORD priority_class;
    int thread_priority;
  } cases[] = {
      {WA_ACTIVE, 0, true, NORMAL_PRIORITY_CLASS, 0},
      {WA_INACTIVE, 0, false, IDLE_PRIORITY_CLASS, 0},
      {WA_CLICKACTIVE, 1, true, ABOVE_NORMAL_PRIORITY_CLASS, 1},
      {MAKEWPARAM(WA_ACTIVE, 1), 1, false, IDLE_PRIORITY_CLASS, 0},  // minimised: not active
      {WA_ACTIVE, 2, true, HIGH_PRIORITY_CLASS, 2},
      {WA_ACTIVE, 7, true, HIGH_PRIORITY_CLASS, 2},  // unchanged: nothing happens
  };
  for (const Case& c : cases) {
    process_priority_level = c.level;
    SendMessageA(hwnd, WM_ACTIVATE, c.wparam, 0);
    EXPECT_EQ(isAppActive, c.active) << c.wparam;
    EXPECT_EQ(GetPriorityClass(GetCurrentProcess()), c.priority_class) << c.wparam << " level " << c.level;
    EXPECT_EQ(GetThreadPriority(GetCurrentThread()), c.thread_priority) << c.wparam;
    RECT clip;
    GetClipCursor(&clip);
    RECT expected = c.active ? outer : RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    EXPECT_EQ(clip.left, expected.left);
    EXPECT_EQ(clip.right, expected.right) << "fullscreen clips while active";
  }
  set_process_priority(0);
  EXPECT_EQ(get_process_priority(), 0);
  EXPECT_EQ(GetPriorityClass(GetCurrentProcess()), NORMAL_PRIORITY_CLASS);
  SendMessageA(hwnd, WM_ACTIVATE, WA_INACTIVE, 0);
  DestroyWindow(hwnd);
  drain_queue();
}

TEST_F(WindowTest, CursorShapeHidingAndClip) {
  HWND hwnd = make_window(false, 640, 360);
  SendMessageA(hwnd, WM_ACTIVATE, WA_ACTIVE, 0);
  shouldHideMouse = true;
  SendMessageA(hwnd, WM_SETCURSOR, (WPARAM)hwnd, MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(win32_current_cursor(), nullptr) << "hidden over the client area";
  RECT clip, outer;
  GetClipCursor(&clip);
  GetWindowRect(hwnd, &outer);
  EXPECT_EQ(clip.left, outer.left);
  EXPECT_EQ(clip.bottom, outer.bottom);
  struct Case {
    int type;
    LPCSTR shape;
  } cases[] = {{0, IDC_ARROW},  {1, IDC_IBEAM},    {2, IDC_SIZEALL},  {3, IDC_SIZENS}, {4, IDC_SIZEWE},
               {5, IDC_SIZENESW}, {6, IDC_SIZENWSE}, {7, IDC_ARROW}, {-1, IDC_ARROW}};
  for (const Case& c : cases) {
    mouse_cursor_type = c.type;
    SendMessageA(hwnd, WM_SETCURSOR, (WPARAM)hwnd, MAKELPARAM(HTCAPTION, WM_MOUSEMOVE));
    EXPECT_EQ(win32_current_cursor(), LoadCursorA(nullptr, c.shape)) << "over the frame: type " << c.type;
  }
  shouldHideMouse = false;
  SendMessageA(hwnd, WM_SETCURSOR, (WPARAM)hwnd, MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_NE(win32_current_cursor(), nullptr);
  GetClipCursor(&clip);
  EXPECT_EQ(clip.right, GetSystemMetrics(SM_CXSCREEN)) << "released when neither hidden nor fullscreen";
  SendMessageA(hwnd, WM_ACTIVATE, WA_INACTIVE, 0);
  DestroyWindow(hwnd);
  drain_queue();
}

TEST_F(WindowTest, AltEnterAndSetFullscreenOnlyRequestASwitch) {
  HWND hwnd = make_window(false, 640, 360);
  LPARAM alt = (LPARAM)1 << 29;
  PostMessageA(hwnd, WM_SYSKEYDOWN, VK_RETURN, alt | (0x1C << 16));
  PostMessageA(hwnd, WM_SYSKEYDOWN, VK_RETURN, alt | (0x1C << 16));
  processInput();
  EXPECT_TRUE(window_mode_change_pending);
  EXPECT_TRUE(fullscreen_request) << "both presses ask for the mode opposite to the one in force";
  InputEvent e;
  EXPECT_FALSE(getEvent(&e)) << "Alt+Enter makes no input event";
  window_mode_change_pending = false;
  set_fullscreen(false);
  EXPECT_TRUE(window_mode_change_pending);
  EXPECT_FALSE(fullscreen_request);
  window_mode_change_pending = false;

  // Alt alone and F10 are ordinary key events.
  PostMessageA(hwnd, WM_SYSKEYDOWN, VK_MENU, alt | (0x38 << 16));
  PostMessageA(hwnd, WM_SYSKEYUP, VK_MENU, alt | (0x38 << 16) | ((LPARAM)3 << 30));
  PostMessageA(hwnd, WM_SYSKEYDOWN, VK_F10, 0x44 << 16);
  processInput();
  EXPECT_TRUE(keyDown(VK_MENU));
  EXPECT_TRUE(keyUp(VK_MENU));
  EXPECT_TRUE(keyDown(VK_F10));
  PostMessageA(hwnd, WM_SYSKEYUP, VK_F10, (0x44 << 16) | ((LPARAM)3 << 30));
  processInput();
  reset_frame_input();
  DestroyWindow(hwnd);
  drain_queue();
}

TEST_F(WindowTest, AltF4ClosesTheWindowAndPostsQuit) {
  HWND hwnd = make_window(false, 640, 360);
  quit_requested = false;
  PostMessageA(hwnd, WM_SYSKEYDOWN, VK_F4, ((LPARAM)1 << 29) | (0x3E << 16));
  processInput();
  EXPECT_FALSE(IsWindow(hwnd));
  EXPECT_FALSE(isAppActive);
  EXPECT_TRUE(quit_requested);
  quit_requested = false;
}

TEST_F(WindowTest, CloseBoxAndQuitSignalEndInQuit) {
  HWND hwnd = make_window(false, 640, 360);
  quit_requested = false;
  win32_install_quit_signals();
  raise(SIGTERM);
  processInput();
  EXPECT_FALSE(IsWindow(hwnd)) << "SIGTERM closes the window as the close box does";
  EXPECT_TRUE(quit_requested);
  quit_requested = false;
}

// Mode switches against a real (headless) device.
TEST_F(WindowTest, SwitchesBetweenFullscreenAndWindowed) {
  HWND hwnd = make_window(true, 0, 0);
  d3d9_register_window(hwnd, win32_sdl_window(hwnd));
  ASSERT_TRUE(init_d3d(hwnd, 0, 0));
  drain_queue();
  int full_wd = d3d_wd, full_ht = d3d_ht;
  ASSERT_GT(full_wd, 0);

  // To windowed in a game that started fullscreen with no configured size: half the
  // back buffer is the client area, centred in the work area as at a windowed start,
  // in the default windowed style.
  set_fullscreen(false);
  window_mode_change_pending = false;
  apply_window_mode();
  drain_queue();
  EXPECT_FALSE(isFullscreen);
  RECT client, work;
  GetClientRect(hwnd, &client);
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  EXPECT_EQ(width(client), full_wd / 2);
  EXPECT_EQ(height(client), full_ht / 2);
  POINT origin{0, 0};
  ClientToScreen(hwnd, &origin);
  EXPECT_EQ(origin.x, work.left + (width(work) - full_wd / 2) / 2);
  EXPECT_EQ(origin.y, work.top + (height(work) - full_ht / 2) / 2);
  EXPECT_EQ((DWORD)GetWindowLongA(hwnd, GWL_STYLE), WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPSIBLINGS);
  EXPECT_EQ((DWORD)GetWindowLongA(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST, 0u);
  EXPECT_EQ(d3d_wd, full_wd / 2) << "the size the resize asked for stands";
  EXPECT_EQ(d3d_ht, full_ht / 2);
  RECT first_outer, outer;
  GetWindowRect(hwnd, &first_outer);
  int windowed_wd = d3d_wd, windowed_ht = d3d_ht;

  // Minimising sends no resize; restoring resizes to the client.
  SendMessageA(hwnd, WM_SIZE, SIZE_MINIMIZED, 0);
  EXPECT_EQ(d3d_wd, windowed_wd);
  SendMessageA(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(400, 300));
  EXPECT_EQ(d3d_wd, 400);
  EXPECT_EQ(d3d_ht, 300);
  SendMessageA(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(windowed_wd, windowed_ht));

  // Back to fullscreen: popup, topmost, covering the screen, cursor confined.
  SendMessageA(hwnd, WM_ACTIVATE, WA_ACTIVE, 0);
  set_fullscreen(true);
  apply_window_mode();
  EXPECT_TRUE(isFullscreen);
  EXPECT_EQ((DWORD)GetWindowLongA(hwnd, GWL_STYLE), WS_POPUP | WS_VISIBLE);
  EXPECT_TRUE((DWORD)GetWindowLongA(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST);
  GetWindowRect(hwnd, &outer);
  EXPECT_EQ(width(outer), d3d_wd);
  RECT clip;
  GetClipCursor(&clip);
  EXPECT_EQ(clip.right, outer.right);
  EXPECT_EQ(windowed_client_wd, windowed_wd) << "the windowed size was saved";
  int fullscreen_wd = d3d_wd, fullscreen_ht = d3d_ht;
  SendMessageA(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(400, 300));
  EXPECT_EQ(d3d_wd, fullscreen_wd) << "a size message in fullscreen leaves the device alone";
  EXPECT_EQ(d3d_ht, fullscreen_ht);

  // And windowed again: the saved client size and rectangle come back.
  set_fullscreen(false);
  apply_window_mode();
  EXPECT_FALSE(isFullscreen);
  EXPECT_EQ(d3d_wd, windowed_wd);
  EXPECT_EQ(d3d_ht, windowed_ht);
  GetWindowRect(hwnd, &outer);
  EXPECT_EQ(outer.left, first_outer.left);
  EXPECT_EQ(outer.top, first_outer.top);
  EXPECT_EQ(width(outer), width(first_outer));
  EXPECT_EQ(height(outer), height(first_outer));
  GetClipCursor(&clip);
  EXPECT_EQ(clip.right, GetSystemMetrics(SM_CXSCREEN)) << "clip released";
  SendMessageA(hwnd, WM_ACTIVATE, WA_INACTIVE, 0);
  close_d3d();
}

// A game with a configured size comes back from fullscreen centred in the work area
// at that size, wherever its window was before.
TEST_F(WindowTest, BackToWindowedCentresTheConfiguredSize) {
  HWND hwnd = make_window(false, 640, 360);
  d3d9_register_window(hwnd, win32_sdl_window(hwnd));
  ASSERT_TRUE(init_d3d(hwnd, 640, 360));
  drain_queue();
  RECT outer;
  GetWindowRect(hwnd, &outer);
  set_window_pos(10, 12, width(outer), height(outer));
  drain_queue();

  set_fullscreen(true);
  window_mode_change_pending = false;
  apply_window_mode();
  ASSERT_TRUE(isFullscreen);
  set_fullscreen(false);
  window_mode_change_pending = false;
  apply_window_mode();
  drain_queue();
  ASSERT_FALSE(isFullscreen);

  RECT client, work;
  GetClientRect(hwnd, &client);
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  EXPECT_EQ(width(client), 640);
  EXPECT_EQ(height(client), 360);
  POINT origin{0, 0};
  ClientToScreen(hwnd, &origin);
  EXPECT_EQ(origin.x, work.left + (width(work) - 640) / 2) << "centred, not where the window was moved";
  EXPECT_EQ(origin.y, work.top + (height(work) - 360) / 2);
  EXPECT_EQ(d3d_wd, 640) << "the saved client size";
  EXPECT_EQ(d3d_ht, 360);
  close_d3d();
  DestroyWindow(hwnd);
  drain_queue();
}

}  // namespace
