#pragma once
// The renderer on a headless device, with a fresh per-user folder mounted first in the
// virtual file system (then data/ and the test fixtures), the call recorder at hand and
// the callbacks of the shell stubbed.
#include "platform/d3d9/d3d9_platform.h"
#include "engine/core/error_message.h"
#include "engine/render/d3d_device.h"
#include "tests/support/error_shown.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

extern std::function<void(float)> on_render_scene;
extern int resize_scene_calls;
extern int render_splash_calls, pump_messages_calls;
extern std::function<void()> on_resize_scene;  // run by resize_scene

std::string source_dir();
std::string make_temp_dir();

class RenderTest : public ::testing::Test {
protected:
  std::string home;  // the per-user folder: write directory, searched first
  std::vector<std::string> calls;

  void SetUp() override;
  void TearDown() override;
  // Starts the device at w x h (a fullscreen request keeps the size exact).
  void startDevice(int w, int h);
  void record() {
    calls.clear();
    d3d9_set_call_recorder(&calls);
  }
  std::vector<std::string> stopRecording() {
    d3d9_set_call_recorder(nullptr);
    return calls;
  }
  // Pixels (0xAARRGGBB, top row first) of the back buffer.
  std::vector<uint32_t> readBackBuffer();
  void writeFile(const std::string& vfs_path, const std::string& bytes);
};
