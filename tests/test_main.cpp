// Entry of every test program: the same headless, private environment whether a
// test runs under ctest or by hand, then GoogleTest.
#include <sys/stat.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

namespace {

// The per-user folder of this run: the program's own, and below it one folder per
// test filter, because ctest runs the cases of one program side by side, each as a
// process of its own with --gtest_filter naming it.
std::string private_home(int argc, char** argv) {
  std::string home = TORVANE_TEST_HOME;
  const char* prefix = "--gtest_filter=";
  for (int i = 1; i < argc; i++) {
    if (strncmp(argv[i], prefix, strlen(prefix)) != 0)
      continue;
    std::string name = argv[i] + strlen(prefix);
    for (char& c : name)
      if (!isalnum((unsigned char)c) && c != '.' && c != '_')
        c = '_';
    mkdir(home.c_str(), 0755);
    home += "/" + name;
    mkdir(home.c_str(), 0755);
  }
  return home;
}

}  // namespace

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
  setenv("XDG_DATA_HOME", private_home(argc, argv).c_str(), 1);
  setenv("TORVANE_SOURCE_DIR", TORVANE_TEST_SOURCE_DIR, 0);
  setenv("TORVANE_BIN_DIR", TORVANE_TEST_BIN_DIR, 0);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
