// The values the executable's exported globals hold before any code runs, read from
// the file the linker wrote: the globals with a constant value need no construction
// code, so their value must already stand in the image.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <initializer_list>

#include "executable_image.h"

namespace {

template <class T>
std::string bytes_of(std::initializer_list<T> values) {
  return std::string(reinterpret_cast<const char*>(values.begin()), values.size() * sizeof(T));
}

std::string floats(std::initializer_list<float> values) { return bytes_of(values); }

std::string identity_matrix() {
  return floats({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
}

std::string hex(const std::string& bytes) {
  std::string out;
  char two[4];
  for (unsigned char c : bytes) {
    snprintf(two, sizeof(two), "%02x ", c);
    out += two;
  }
  return out;
}

TEST(GlobalsValues, ConstantGlobalsStandInTheImageAndAreExported) {
  ExecutableImage image;
  ASSERT_TRUE(image.load(std::string(TORVANE_TEST_BIN_DIR) + "/torvane"));
  // (0, 2, -1, 0) normalised, each lane rounded once to single precision.
  float ly = float(2 / std::sqrt(5.0)), lz = float(-1 / std::sqrt(5.0));
  struct Case {
    const char* name;
    std::string value;
  } cases[] = {
      {"num_debug_log_files", bytes_of<int>({5})},
      {"cur_level", bytes_of<int>({1})},
      {"screen_shake_setting", floats({1.0f})},
      {"use_postfx", bytes_of<bool>({true})},
      {"app_use_vsync", bytes_of<bool>({true})},
      {"voxel_scale", bytes_of<int>({1})},
      {"game_rnd_seed", bytes_of<uint64_t>({12345})},
      {"bullet_wall_destr", bytes_of<int>({2})},
      {"hero_shoot_rate", floats({10.0f})},
      {"d3d_limit_buffered_frames", bytes_of<bool>({true})},
      {"splash_progress", floats({-1.0f})},
      {"free_cam_pos", floats({0, 0, -120, 1})},
      {"camera_ofs", floats({0, 0, 0, 0})},
      {"light_dir", floats({0, ly, lz, 0})},
      {"cur_view_tm", identity_matrix()},
      {"cur_view_itm", identity_matrix()},
      {"cur_proj_tm", identity_matrix()},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(image.exports(c.name)) << c.name;
    std::string held = image.initialBytes(c.name);
    if (held.size() < c.value.size()) {
      ADD_FAILURE() << c.name << " is not a global object of the executable";
      continue;
    }
    EXPECT_EQ(hex(held.substr(0, c.value.size())), hex(c.value)) << c.name;
  }
}

}  // namespace
