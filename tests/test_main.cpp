// Entry of every test program: the same headless, private environment whether a
// test runs under ctest or by hand, then GoogleTest.
#include <cstdlib>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  // A test that re-runs this program as a child has already set the child's
  // environment on top of ours: leave it as it is.
  if (getenv("TORVANE_TEST_ENV"))
    return testing::InitGoogleTest(&argc, argv), RUN_ALL_TESTS();
  setenv("TORVANE_TEST_ENV", "1", 1);
  // Never a real display, sound device or the user's own per-user folder.
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  setenv("TORVANE_HEADLESS", "1", 1);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  setenv("SDL_VIDEODRIVER", "dummy", 0);
  setenv("XDG_DATA_HOME", TORVANE_TEST_HOME, 1);
  setenv("TORVANE_SOURCE_DIR", TORVANE_TEST_SOURCE_DIR, 0);
  setenv("TORVANE_BIN_DIR", TORVANE_TEST_BIN_DIR, 0);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
