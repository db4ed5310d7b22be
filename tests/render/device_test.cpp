// The device: frames, presenting, resets, display modes, multisampling and the capture
// of the front buffer.
#include "render_fixture.h"

#include "engine/render/d3d_textures.h"
#include "engine/render/d3d_vbuf.h"
#include "engine/render/d3d_device.h"

#include <physfs.h>

using Lines = std::vector<std::string>;

static bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST_F(RenderTest, FrameRendersTheSceneBetweenBeginAndEnd) {
  startDevice(16, 16);
  record();
  on_render_scene = [](float t) {
    EXPECT_FLOAT_EQ(t, 0.25f);
    clear_view_color(0xFF00FF00);
  };
  ASSERT_TRUE(render_d3d(0.25f));
  Lines got = stopRecording();
  Lines want = {"BeginScene()",
                "SetRenderState(CULLMODE, 3)",
                "SetRenderState(LIGHTING, 0)",
                "SetTextureStageState(0, 1, 4)",
                "SetTextureStageState(0, 2, 2)",
                "SetTextureStageState(0, 3, 0)",
                "SetTextureStageState(0, 4, 4)",
                "SetTextureStageState(0, 5, 2)",
                "SetTextureStageState(0, 6, 0)",
                "Clear(0, 0x1, 0xFF00FF00, 1, 0)",
                "EndScene()",
                "Query::Issue(1)"};
  EXPECT_EQ(got, want);
  EXPECT_TRUE(present_frame(false));
  EXPECT_EQ(readBackBuffer()[0], 0xFF00FF00u);
  EXPECT_TRUE(check_d3d_device());
}

TEST_F(RenderTest, StartUpLogAndDefaultSamplerStates) {
  testing::internal::CaptureStdout();
  startDevice(16, 16);
  std::string log = testing::internal::GetCapturedStdout();
  EXPECT_TRUE(contains(log, "starting d3d in 16x16"));
  EXPECT_TRUE(contains(log, "shader compiler available"));
  EXPECT_TRUE(contains(log, "init d3d ok (16x16)"));
  DWORD v = 0;
  d3d->GetSamplerState(15, D3DSAMP_MINFILTER, &v);
  EXPECT_EQ(v, (DWORD)D3DTEXF_LINEAR);
  d3d->GetSamplerState(15, D3DSAMP_ADDRESSV, &v);
  EXPECT_EQ(v, (DWORD)D3DTADDRESS_CLAMP);
}

TEST_F(RenderTest, ModeChoice) {
  ASSERT_EQ(Direct3DCreate9Ex(D3D_SDK_VERSION, &d3d9), D3D_OK);
  D3DPRESENT_PARAMETERS pp;
  D3DDISPLAYMODEEX mode;
  // Fullscreen 0 x 0 takes the desktop size; the closest mode is chosen.
  isFullscreen = true;
  int w = 0, h = 0;
  choose_d3d_mode(pp, mode, w, h);
  D3DDISPLAYMODEEX desktop = {sizeof(desktop)};
  d3d9->GetAdapterDisplayModeEx(0, &desktop, nullptr);
  EXPECT_EQ(w, (int)desktop.Width);
  EXPECT_EQ(h, (int)desktop.Height);
  EXPECT_EQ(pp.SwapEffect, D3DSWAPEFFECT_DISCARD);
  w = 1300, h = 700;
  choose_d3d_mode(pp, mode, w, h);
  EXPECT_EQ(mode.Width, 1280u);
  EXPECT_EQ(pp.BackBufferWidth, 1300u);
  // Windowed: flip-ex, size left to the window; the interval follows vsync.
  isFullscreen = false;
  app_use_vsync = true;
  w = h = 0;
  choose_d3d_mode(pp, mode, w, h);
  EXPECT_EQ(pp.SwapEffect, D3DSWAPEFFECT_FLIPEX);
  EXPECT_EQ(pp.PresentationInterval, D3DPRESENT_INTERVAL_ONE);
  EXPECT_EQ(pp.BackBufferWidth, 0u);
  app_use_vsync = false;
  DynArray<D3dMode> modes;
  get_d3d_modes(modes);
  EXPECT_GE(modes.size(), 1);
  for (int i = 0; i < modes.size(); i++)
    for (int j = 0; j < i; j++)
      EXPECT_FALSE(modes[i].width == modes[j].width && modes[i].height == modes[j].height);
  d3d9->Release();
  d3d9 = nullptr;
}

// "-aa" keeps its setting and its log line; the scene depth surface takes the
// multisampling of the colour targets it is used with: single-sampled textures when
// there is no scene colour surface.
TEST_F(RenderTest, SceneDepthMatchesTheColourTargets) {
  app_use_aa = true;
  struct Case {
    bool no_scene_target;
    bool depth_multisampled;
  } cases[] = {{true, false}, {false, true}};
  for (const Case& c : cases) {
    d3d_no_scene_target = c.no_scene_target;
    testing::internal::CaptureStdout();
    startDevice(16, 16);
    EXPECT_TRUE(contains(testing::internal::GetCapturedStdout(), "AA quality 3"));
    EXPECT_EQ(d3d_multisample_type, D3DMULTISAMPLE_NONMASKABLE);
    D3DSURFACE_DESC desc;
    d3d_scene_depth->GetDesc(&desc);
    EXPECT_EQ(desc.MultiSampleType != D3DMULTISAMPLE_NONE, c.depth_multisampled);
    EXPECT_EQ(d3d_scene_color != nullptr, !c.no_scene_target);
    if (d3d_scene_color) {
      d3d_scene_color->GetDesc(&desc);
      EXPECT_EQ(desc.MultiSampleType, D3DMULTISAMPLE_NONMASKABLE);
    }
    // The scene drawn with the scene depth reaches a texture: directly when textures
    // are the scene's targets, resolved from the scene colour surface otherwise.
    Texture* t = create_screen_render_target();
    if (c.no_scene_target) {
      set_texture_target(t, 0, true);
      clear_view(0xFF0000FF);
    } else {
      set_scene_target();
      clear_view(0xFF0000FF);
      EXPECT_TRUE(copy_scene_to_texture(t));
    }
    int pitch = 0;
    set_backbuffer_target();
    const uint32_t* px = (const uint32_t*)read_render_target(t, &pitch);
    ASSERT_NE(px, nullptr);
    EXPECT_EQ(px[0], 0xFF0000FFu) << "no_scene_target " << c.no_scene_target;
    end_read_render_target(t);
    close_d3d();
  }
  app_use_aa = false;
  d3d_no_scene_target = false;
}

TEST_F(RenderTest, ResizeGuardAndWindowedKeepSize) {
  startDevice(32, 16);
  isFullscreen = false;
  on_render_scene = nullptr;
  int calls_before = resize_scene_calls;
  ASSERT_TRUE(resize_d3d(0, 0, false, true));  // windowed 0 x 0 keeps the size
  EXPECT_EQ(d3d_wd, 32);
  EXPECT_EQ(d3d_ht, 16);
  EXPECT_EQ(resize_scene_calls, calls_before + 1);
}

// An unchanged size and mode without force resets nothing; a resize asked for while one
// runs (from the scene's resize callback) is refused, and the guard is gone afterwards.
TEST_F(RenderTest, ResizeSkipsNoChangeAndRefusesReentry) {
  startDevice(32, 16);
  testing::internal::CaptureStdout();
  record();
  EXPECT_TRUE(resize_d3d(32, 16, true, false));
  EXPECT_EQ(stopRecording(), Lines{});
  EXPECT_EQ(resize_scene_calls, 0);

  bool inner = true;
  on_resize_scene = [&] { inner = resize_d3d(8, 8, true, true); };
  EXPECT_TRUE(resize_d3d(24, 12, true, false));
  EXPECT_FALSE(inner);
  EXPECT_EQ(d3d_wd, 24);
  EXPECT_EQ(d3d_ht, 12);
  on_resize_scene = nullptr;
  EXPECT_TRUE(resize_d3d(16, 8, true, false));
  EXPECT_EQ(d3d_wd, 16);
  EXPECT_EQ(resize_scene_calls, 2);
  std::string log = testing::internal::GetCapturedStdout();
  EXPECT_TRUE(contains(log, "=== resizing d3d to 24x12 fullscreen")) << log;
  EXPECT_TRUE(contains(log, "resized d3d to 24x12 fullscreen")) << log;
  EXPECT_FALSE(contains(log, "resizing d3d to 32x16")) << log;
  EXPECT_FALSE(contains(log, "resizing d3d to 8x8")) << log;
}

// The closest mode wins; at the same distance the higher refresh rate, and at the same
// refresh rate the later mode. Display sizes are listed once each.
TEST_F(RenderTest, ModeTiesAndDistinctSizes) {
  ASSERT_EQ(Direct3DCreate9Ex(D3D_SDK_VERSION, &d3d9), D3D_OK);
  auto mode = [](UINT w, UINT h, UINT hz) {
    return D3DDISPLAYMODEEX{sizeof(D3DDISPLAYMODEEX), w, h, hz, D3DFMT_X8R8G8B8, D3DSCANLINEORDERING_PROGRESSIVE};
  };
  // 1290 x 710 is as far from 1280 x 720 as from 1300 x 700.
  struct Case {
    const char* name;
    std::vector<D3DDISPLAYMODEEX> modes;
    const char* log;
  } cases[] = {
      {"higher refresh later", {mode(640, 360, 144), mode(1280, 720, 60), mode(1300, 700, 75)},
       "best mode #2: 1300x700 75Hz"},
      {"higher refresh first", {mode(1280, 720, 75), mode(1300, 700, 60), mode(640, 360, 144)},
       "best mode #0: 1280x720 75Hz"},
      {"same refresh: the later", {mode(1280, 720, 60), mode(1300, 700, 60), mode(1920, 1080, 60)},
       "best mode #1: 1300x700 60Hz"},
      {"closest beats refresh", {mode(1300, 700, 144), mode(1288, 712, 30)}, "best mode #1: 1288x712 30Hz"},
  };
  isFullscreen = true;
  for (Case& c : cases) {
    d3d9_set_headless_modes(c.modes.data(), (int)c.modes.size());
    D3DPRESENT_PARAMETERS pp;
    D3DDISPLAYMODEEX chosen;
    int w = 1290, h = 710;
    testing::internal::CaptureStdout();
    choose_d3d_mode(pp, chosen, w, h);
    std::string log = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(contains(log, c.log)) << c.name << "\n" << log;
    EXPECT_EQ(pp.BackBufferWidth, 1290u) << c.name;
    EXPECT_EQ(pp.FullScreen_RefreshRateInHz, chosen.RefreshRate) << c.name;
  }
  D3DDISPLAYMODEEX rates[] = {mode(800, 600, 60), mode(800, 600, 75), mode(1024, 768, 60), mode(800, 600, 85)};
  d3d9_set_headless_modes(rates, 4);
  DynArray<D3dMode> sizes;
  get_d3d_modes(sizes);
  ASSERT_EQ(sizes.size(), 2);
  EXPECT_EQ(sizes[0].width, 800);
  EXPECT_EQ(sizes[1].height, 768);
  d3d9_set_headless_modes(nullptr, 0);
  d3d9->Release();
  d3d9 = nullptr;
}

// Device creation falls back from flip-ex to discard, then to software vertex
// processing, and gives up with a logged code.
TEST_F(RenderTest, DeviceCreationFallsBackThenGivesUp) {
  isFullscreen = false;
  d3d9_force_result("CreateDeviceEx", D3DERR_NOTAVAILABLE, 2);
  testing::internal::CaptureStdout();
  EXPECT_TRUE(init_d3d(nullptr, 16, 16));
  std::string log = testing::internal::GetCapturedStdout();
  EXPECT_TRUE(contains(log, "failed FLIPEX, trying DISCARD")) << log;
  EXPECT_TRUE(contains(log, "failed HARDWARE_VERTEXPROCESSING, trying software one")) << log;
  EXPECT_TRUE(contains(log, "init d3d ok")) << log;

  d3d9_force_result("CreateDeviceEx", D3DERR_NOTAVAILABLE, 3);
  testing::internal::CaptureStdout();
  EXPECT_FALSE(init_d3d(nullptr, 16, 16));
  log = testing::internal::GetCapturedStdout();
  EXPECT_TRUE(contains(log, "error creating d3d device, code 8876086A")) << log;
  EXPECT_EQ(d3d, nullptr);
  EXPECT_EQ(d3d9, nullptr);
}

// Presenting: "still drawing" keeps the present state, occlusion stops frames until the
// device check finds the device fine again, a mode change resets, anything else is fatal.
TEST_F(RenderTest, PresentStatesAndDeviceChecks) {
  startDevice(16, 16);
  d3d_limit_buffered_frames = false;
  ASSERT_TRUE(render_d3d(0));
  d3d9_force_result("PresentEx", D3DERR_WASSTILLDRAWING, 1);
  EXPECT_FALSE(present_frame(false));
  EXPECT_EQ(get_present_state(), D3D_OK);
  EXPECT_TRUE(render_d3d(0));

  d3d9_force_result("PresentEx", S_PRESENT_OCCLUDED, 1);
  EXPECT_TRUE(present_frame(false));
  EXPECT_EQ(get_present_state(), S_PRESENT_OCCLUDED);
  EXPECT_FALSE(render_d3d(0));
  EXPECT_TRUE(check_d3d_device());
  EXPECT_EQ(get_present_state(), D3D_OK);
  EXPECT_TRUE(render_d3d(0));

  d3d9_force_result("CheckDeviceState", S_PRESENT_MODE_CHANGED, 1);
  testing::internal::CaptureStdout();
  EXPECT_TRUE(check_d3d_device());
  std::string log = testing::internal::GetCapturedStdout();
  EXPECT_TRUE(contains(log, "mode changed, calling resize_d3d()")) << log;
  EXPECT_TRUE(contains(log, "resized d3d to 16x16 fullscreen")) << log;
  EXPECT_EQ(resize_scene_calls, 1);
  d3d_limit_buffered_frames = true;

  EXPECT_EXIT(
      ([] {
        d3d9_force_result("CheckDeviceState", D3DERR_DEVICEHUNG, 1);
        check_d3d_device();
      })(),
      ::testing::ExitedWithCode(100), "Critical Direct3D failure \\(code 88760874\\)");
}

// A failed reset is logged and returns false; in windowed mode the next try uses the
// discard swap effect. A later reset succeeds again.
TEST_F(RenderTest, FailedResetFallsBackToDiscard) {
  startDevice(16, 16);
  d3d9_force_result("ResetEx", D3DERR_DEVICELOST, 1);
  testing::internal::CaptureStdout();
  EXPECT_FALSE(resize_d3d(24, 8, false, false));
  std::string log = testing::internal::GetCapturedStdout();
  EXPECT_TRUE(contains(log, "Reset failed (code 0x88760868)")) << log;
  EXPECT_EQ(resize_scene_calls, 0);
  D3DPRESENT_PARAMETERS pp;
  D3DDISPLAYMODEEX mode;
  int w = 24, h = 8;
  choose_d3d_mode(pp, mode, w, h);
  EXPECT_EQ(pp.SwapEffect, D3DSWAPEFFECT_DISCARD);
  EXPECT_TRUE(resize_d3d(24, 8, false, true));
  EXPECT_EQ(d3d_wd, 24);
  EXPECT_NE(d3d_scene_depth, nullptr);
}

// The capture is the window's part of the screen: a window partly off the left or the
// bottom right edge is cut there, one wholly off the screen gives nothing.
TEST_F(RenderTest, FrontBufferCaptureIsCutToTheScreen) {
  startDevice(20, 10);
  on_render_scene = [](float) {
    clear_view_color(0xFF000000);
    D3DRECT r = {5, 0, 6, 1};
    d3d->Clear(1, &r, D3DCLEAR_TARGET, 0xFFFFFFFF, 1, 0);
  };
  ASSERT_TRUE(render_d3d(0));
  ASSERT_TRUE(present_frame(true));
  D3DDISPLAYMODEEX desktop = {sizeof(desktop)};
  ASSERT_EQ(d3d9->GetAdapterDisplayModeEx(0, &desktop, nullptr), D3D_OK);
  int dw = desktop.Width, dh = desktop.Height;
  struct Case {
    const char* name;
    POINT origin;
    int w, h;
    uint32_t first;
  } cases[] = {
      {"on screen", {0, 0}, 20, 10, 0xFF000000},
      {"5 left of the screen", {-5, 0}, 15, 10, 0xFFFFFFFF},
      {"past the bottom right", {dw - 4, dh - 3}, 4, 3, 0xFF000000},
      {"wholly left", {-20, 0}, 0, 0, 0},
      {"wholly below", {0, dh}, 0, 0, 0},
  };
  for (const Case& c : cases) {
    d3d9_set_client_origin(&c.origin);
    int w = -1, h = -1, pitch = 0;
    const uint32_t* px = (const uint32_t*)capture_front_buffer(&w, &h, &pitch);
    if (!c.w) {
      EXPECT_EQ(px, nullptr) << c.name;
      continue;
    }
    ASSERT_NE(px, nullptr) << c.name;
    EXPECT_EQ(w, c.w) << c.name;
    EXPECT_EQ(h, c.h) << c.name;
    EXPECT_EQ(px[0], c.first) << c.name;
  }
  release_front_buffer_capture();
  d3d9_set_client_origin(nullptr);
}

// A splash frame pumps the messages, draws the splash inside a scene and presents; a
// scene outside render_d3d begins and ends through the two small functions.
TEST_F(RenderTest, SplashFrameAndLooseScenes) {
  int pumps = pump_messages_calls, splashes = render_splash_calls;
  present_splash();  // no device: messages only
  EXPECT_EQ(pump_messages_calls, pumps + 1);
  EXPECT_EQ(render_splash_calls, splashes);
  EXPECT_FALSE(begin_scene());
  end_scene();

  startDevice(16, 16);
  record();
  present_splash();
  EXPECT_EQ(stopRecording(), (Lines{"BeginScene()", "SetRenderState(CULLMODE, 3)", "EndScene()", "PresentEx(0x0)"}));
  EXPECT_EQ(render_splash_calls, splashes + 1);
  EXPECT_EQ(pump_messages_calls, pumps + 2);
  EXPECT_TRUE(begin_scene());
  end_scene();
}
