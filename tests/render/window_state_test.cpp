// The device while the game window is minimised or hidden: it reports that it cannot
// present, frames stop until the window shows again, and the main loop sleeps instead
// of spinning. Headless windows of the window layer stand in for the game window.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine/render/d3d_device.h"
#include "engine/render/dynVBWriter.h"
#include "engine/shell/main_loop.h"
#include "engine/shell/shell.h"
#include "platform/win32/main_window.h"
#include "platform/win32/windows.h"

namespace {

LRESULT CALLBACK plain_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  return DefWindowProcA(hwnd, msg, wparam, lparam);
}

HWND make_window() {
  static bool registered = false;
  if (!registered) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = plain_proc;
    wc.lpszClassName = "RenderWindowState";
    EXPECT_NE(RegisterClassA(&wc), 0);
    registered = true;
  }
  return CreateWindowExA(0, "RenderWindowState", "test", WS_OVERLAPPEDWINDOW, 0, 0, 200, 150, nullptr, nullptr,
                         nullptr, nullptr);
}

void drain_messages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

constexpr int W = 32, H = 32;

class WindowStateTest : public ::testing::Test {
 protected:
  HWND hwnd = nullptr;

  void SetUp() override {
    hwnd = make_window();
    ASSERT_NE(hwnd, nullptr);
    ShowWindow(hwnd, SW_SHOWNORMAL);
    drain_messages();
    set_main_window(hwnd);
    connect_engine_hooks();  // the frames are the shell's, as in the game
    isFullscreen = true;  // keeps the back buffer at exactly W x H
    startDevice(hwnd);
  }
  void TearDown() override {
    main_loop_services = default_main_loop_services;
    quit_requested = false;
    closeDevice();
    set_main_window(nullptr);
    DestroyWindow(hwnd);
    drain_messages();
  }

  // The device and, as at start-up, the vertex ring that the frame's text is drawn through.
  void startDevice(HWND window) {
    ASSERT_TRUE(init_d3d(window, W, H));
    common_vb_writer.create(65536, 4);
  }
  void closeDevice() {
    if (!common_vb_writer.vbufs.isEmpty()) common_vb_writer.release();
    close_d3d();
  }

  // Clears the back buffer to one colour and presents it.
  bool presentColor(D3DCOLOR color) {
    EXPECT_EQ(d3d->Clear(0, nullptr, D3DCLEAR_TARGET, color, 1.0f, 0), D3D_OK);
    return present_frame(true);
  }
  // The top-left pixel of what the last shown present put on the screen.
  uint32_t shownPixel() {
    IDirect3DSurface9* sys = nullptr;
    EXPECT_EQ(d3d->CreateOffscreenPlainSurface(W, H, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &sys, nullptr), D3D_OK);
    EXPECT_EQ(d3d->GetFrontBufferData(0, sys), D3D_OK);
    D3DLOCKED_RECT lr;
    EXPECT_EQ(sys->LockRect(&lr, nullptr, D3DLOCK_READONLY), D3D_OK);
    uint32_t px = 0;
    std::memcpy(&px, lr.pBits, 4);
    sys->UnlockRect();
    sys->Release();
    return px;
  }
};

TEST_F(WindowStateTest, DeviceCannotPresentWhileMinimisedOrHidden) {
  struct Case {
    int show;
    bool can_present;
  } cases[] = {{SW_MINIMIZE, false}, {SW_RESTORE, true}, {SW_HIDE, false},
               {SW_SHOW, true},      {SW_SHOWMINIMIZED, false}, {SW_RESTORE, true}};
  for (const Case& c : cases) {
    ShowWindow(hwnd, c.show);
    drain_messages();
    EXPECT_EQ(d3d->CheckDeviceState(hwnd), c.can_present ? D3D_OK : S_PRESENT_OCCLUDED) << c.show;
    EXPECT_EQ(check_d3d_device(), c.can_present) << c.show;
  }
}

TEST_F(WindowStateTest, FramesStopWhileMinimisedAndResumeWhenRestored) {
  ASSERT_TRUE(presentColor(0xFF00FF00));
  EXPECT_EQ(shownPixel(), 0xFF00FF00u);

  ShowWindow(hwnd, SW_MINIMIZE);
  drain_messages();
  // The present is dropped but is no failure; its result blocks the following frames.
  EXPECT_TRUE(presentColor(0xFFFF0000));
  EXPECT_EQ(get_present_state(), S_PRESENT_OCCLUDED);
  EXPECT_EQ(shownPixel(), 0xFF00FF00u) << "a minimised window shows nothing new";
  EXPECT_FALSE(render_d3d(0));
  EXPECT_FALSE(check_d3d_device());
  EXPECT_EQ(get_present_state(), S_PRESENT_OCCLUDED) << "still blocked while minimised";
  EXPECT_FALSE(render_d3d(0));

  ShowWindow(hwnd, SW_RESTORE);
  drain_messages();
  EXPECT_TRUE(check_d3d_device());
  EXPECT_EQ(get_present_state(), 0);
  EXPECT_TRUE(render_d3d(0));
  EXPECT_TRUE(presentColor(0xFF0000FF));
  EXPECT_EQ(shownPixel(), 0xFF0000FFu);
}

TEST_F(WindowStateTest, WithoutWindowTheDeviceAlwaysPresents) {
  // A headless run without a game window: the device was made for no window.
  closeDevice();
  set_main_window(nullptr);
  startDevice(nullptr);
  ShowWindow(hwnd, SW_MINIMIZE);  // some other window: none of the device's business
  drain_messages();
  EXPECT_EQ(d3d->CheckDeviceState(nullptr), D3D_OK);
  EXPECT_TRUE(check_d3d_device());
  EXPECT_TRUE(presentColor(0xFF00FF00));
  EXPECT_EQ(get_present_state(), 0);
  EXPECT_TRUE(render_d3d(0));

  closeDevice();
  EXPECT_FALSE(check_d3d_device()) << "no device, nothing to present with";
}

TEST_F(WindowStateTest, WindowedDeviceTakesTheClientSize) {
  // Windowed, the back buffer is the window's client area, headless windows included.
  closeDevice();
  isFullscreen = false;
  SetWindowPos(hwnd, nullptr, 0, 0, 360, 210, SWP_NOMOVE | SWP_NOZORDER);
  drain_messages();
  RECT client;
  ASSERT_TRUE(GetClientRect(hwnd, &client));
  ASSERT_GT(client.right, 0);
  ASSERT_NE(client.right, 1280) << "a size the device would fall back to anyway";
  startDevice(hwnd);
  EXPECT_EQ(d3d_wd, client.right);
  EXPECT_EQ(d3d_ht, client.bottom);
  isFullscreen = true;
}

// ---- the main loop on the real device, with a scripted clock --------------------------

constexpr int64_t TPS = 1000000;  // microsecond ticks
constexpr int64_t MS = 1000;

struct LoopWorld {
  HWND hwnd = nullptr;
  int hide_command = SW_MINIMIZE, show_command = SW_RESTORE;
  int hide_at = 10, show_at = 30, quit_at = 40;  // update numbers
  int64_t clock = 5000 * MS;
  int updates = 0, calls = 0;

  // Per phase (0 shown, 1 hidden, 2 shown again).
  int phase = 0;
  int frames[3] = {}, presents[3] = {}, checks[3] = {}, sleeps[3] = {};
  int64_t slept[3] = {}, started[3] = {}, ended[3] = {};
};
LoopWorld* world = nullptr;

int64_t fake_now() {
  if (++world->calls > 200000) quit_requested = true;  // a loop that never ends
  return world->clock;
}
int64_t fake_tps() { return TPS; }
void fake_pump() { world->clock += MS; }
void scripted_update(float) {
  LoopWorld& w = *world;
  w.updates++;
  int next = w.updates == w.hide_at ? 1 : w.updates == w.show_at ? 2 : w.phase;
  if (next != w.phase) {
    w.ended[w.phase] = w.clock;
    w.phase = next;
    w.started[next] = w.clock;
    ShowWindow(w.hwnd, next == 1 ? w.hide_command : w.show_command);
  }
  if (w.updates >= w.quit_at) {
    w.ended[w.phase] = w.clock;
    quit_requested = true;
  }
}
bool counted_render(float t) {
  bool rendered = render_d3d(t);
  if (rendered) {
    world->frames[world->phase]++;
    world->clock += 2 * MS;
  }
  return rendered;
}
bool counted_present(bool wait) {
  bool presented = present_frame(wait);
  if (presented && get_present_state() == 0) world->presents[world->phase]++;
  return presented;
}
bool counted_check() {
  world->checks[world->phase]++;
  return check_d3d_device();
}
void fake_sleep(int msec) {
  world->sleeps[world->phase]++;
  world->slept[world->phase] += msec * MS;
  world->clock += msec * MS;
}
void no_periodic() {}
void no_file_notify() {}

TEST_F(WindowStateTest, MainLoopSleepsWhileTheWindowCannotBeSeen) {
  struct Case {
    int hide, show;
  } cases[] = {{SW_MINIMIZE, SW_RESTORE}, {SW_HIDE, SW_SHOW}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.hide);
    LoopWorld w;
    w.hwnd = hwnd;
    w.hide_command = c.hide;
    w.show_command = c.show;
    world = &w;
    main_loop_services = MainLoopServices{fake_now,      fake_tps,      fake_pump,  scripted_update, counted_render,
                                          counted_present, counted_check, fake_sleep, no_periodic,     no_file_notify};
    set_update_rate(20, 5);
    quit_requested = false;
    run_main_loop();
    world = nullptr;
    ASSERT_LT(w.calls, 200000) << "the loop did not end by itself";
    ASSERT_EQ(w.updates, w.quit_at);

    // Shown: frames fill the time between updates and the loop never sleeps.
    EXPECT_GT(w.presents[0], 5 * w.hide_at);
    EXPECT_EQ(w.sleeps[0], 0);
    // Hidden: at most the frame already under way is rendered and nothing reaches the
    // window; the loop asks the device each pass and sleeps a good part of the time.
    EXPECT_LE(w.frames[1], 1);
    EXPECT_EQ(w.presents[1], 0);
    int64_t hidden_time = w.ended[1] - w.started[1];
    EXPECT_GE(hidden_time, (w.show_at - w.hide_at - 1) * 50 * MS);
    EXPECT_GT(w.sleeps[1], w.show_at - w.hide_at);
    EXPECT_GE(w.slept[1] * 3, hidden_time) << "at least a third of the time asleep";
    EXPECT_LT(w.checks[1], 20 * (w.show_at - w.hide_at)) << "no spinning";
    // Shown again: frames come back at once.
    EXPECT_GT(w.presents[2], 5 * (w.quit_at - w.show_at - 1));
    EXPECT_EQ(get_present_state(), 0);
    drain_messages();
  }
}

}  // namespace
