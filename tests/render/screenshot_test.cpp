// Screenshots: the shown picture as a PNG under "shots/", one file per shot however
// fast they follow, and a save that fails says why and leaves no file behind.
//
// This program defines write itself, ahead of the C library's, so that a disk that
// fills up part way through a shot can be played: writes into "shots/" then stop with
// "no space left on the device" once the allowance is used up.
#include "render_fixture.h"

#include "engine/render/d3d_vbuf.h"
#include "engine/render/image.h"
#include "engine/render/screenshot.h"

#include <dirent.h>
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace {

// Bytes the disk still takes into "shots/"; below 0 it takes everything.
std::atomic<long> shots_disk_space{-1};

bool writes_into_shots(int fd) {
  char link[64], target[4096];
  snprintf(link, sizeof(link), "/proc/self/fd/%d", fd);
  ssize_t n = readlink(link, target, sizeof(target) - 1);
  if (n <= 0)
    return false;
  target[n] = 0;
  return strstr(target, "/shots/") != nullptr;
}

}  // namespace

extern "C" ssize_t write(int fd, const void* bytes, size_t count) {
  using WriteFn = ssize_t (*)(int, const void*, size_t);
  static WriteFn real_write = (WriteFn)dlsym(RTLD_NEXT, "write");
  long space = shots_disk_space.load();
  if (space < 0 || !writes_into_shots(fd))
    return real_write(fd, bytes, count);
  if (space == 0) {
    errno = ENOSPC;
    return -1;
  }
  ssize_t done = real_write(fd, bytes, std::min<size_t>(count, (size_t)space));
  if (done > 0)
    shots_disk_space -= done;
  return done;
}

namespace {

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The file names in a folder of the per-user folder, sorted.
std::vector<std::string> files_in(const std::string& dir) {
  std::vector<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d))
      if (e->d_name[0] != '.')
        names.push_back(e->d_name);
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// A fixed local time, 2031-02-03 04:05:06.
bool fixed_time(struct tm* out) {
  *out = {};
  out->tm_year = 131;
  out->tm_mon = 1;
  out->tm_mday = 3;
  out->tm_hour = 4;
  out->tm_min = 5;
  out->tm_sec = 6;
  return true;
}

class ScreenshotTest : public RenderTest {
protected:
  void SetUp() override {
    RenderTest::SetUp();
    saved_time = screenshot_local_time;
  }
  void TearDown() override {
    screenshot_local_time = saved_time;
    shots_disk_space = -1;
    RenderTest::TearDown();
  }
  // Shows a picture of one colour and takes a screenshot of it; gives the log.
  std::string shoot(uint32_t color) {
    on_render_scene = [color](float) { clear_view_color(color); };
    EXPECT_TRUE(render_d3d(0));
    EXPECT_TRUE(present_frame(true));
    testing::internal::CaptureStdout();
    take_screenshot();
    return testing::internal::GetCapturedStdout();
  }
  // The colour of the saved shot's first pixel, 0 when it does not load.
  uint32_t shot_color(const std::string& name) {
    int w = 0, h = 0;
    DynArray<uint32_t> pixels;
    return load_png(("shots/" + name).c_str(), &w, &h, pixels) && w > 0 ? pixels[0] : 0;
  }
  bool (*saved_time)(struct tm*) = nullptr;
};

}  // namespace

TEST_F(ScreenshotTest, SavesTheShownPictureAsPng) {
  startDevice(20, 10);
  on_render_scene = [](float) {
    clear_view_color(0x80102030);
    D3DRECT r = {0, 0, 5, 2};
    d3d->Clear(1, &r, D3DCLEAR_TARGET, 0xFFFFFFFF, 1, 0);
  };
  ASSERT_TRUE(render_d3d(0));
  ASSERT_TRUE(present_frame(true));
  testing::internal::CaptureStdout();
  take_screenshot();
  std::string log = testing::internal::GetCapturedStdout();
  EXPECT_TRUE(contains(log, "screenshot captured to 'shots/shot")) << log;
  std::vector<std::string> names = files_in(home + "shots");
  ASSERT_EQ(names.size(), 1u);
  const std::string& name = names[0];
  // shot<year>_<month>_<day>_<hour>_<minute>_<second>.png
  ASSERT_EQ(name.size(), strlen("shot2026_12_10_13_14_15.png")) << name;
  int w = 0, h = 0;
  DynArray<uint32_t> pixels;
  ASSERT_TRUE(load_png(("shots/" + name).c_str(), &w, &h, pixels));
  ASSERT_EQ(w, 20);
  ASSERT_EQ(h, 10);
  // Bottom row first; alpha made opaque.
  EXPECT_EQ(pixels[(h - 1) * w + 0], 0xFFFFFFFFu);
  EXPECT_EQ(pixels[(h - 1) * w + 5], 0xFF102030u);
  EXPECT_EQ(pixels[0], 0xFF102030u);
}

// Shots within one second keep one file each: the first has the time's name, the
// next ones "-2", "-3", ... before ".png".
TEST_F(ScreenshotTest, ShotsWithinOneSecondKeepAFileEach) {
  startDevice(8, 4);
  screenshot_local_time = fixed_time;
  const uint32_t colors[] = {0xFF112233, 0xFF445566, 0xFF778899};
  const char* const names[] = {"shot2031_02_03_04_05_06.png", "shot2031_02_03_04_05_06-2.png",
                               "shot2031_02_03_04_05_06-3.png"};
  for (int i = 0; i < 3; i++) {
    std::string log = shoot(colors[i]);
    EXPECT_TRUE(contains(log, std::string("screenshot captured to 'shots/") + names[i] + "'")) << log;
  }
  std::vector<std::string> expected(std::begin(names), std::end(names));
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(files_in(home + "shots"), expected);
  for (int i = 0; i < 3; i++)
    EXPECT_EQ(shot_color(names[i]), colors[i]) << names[i];
}

// Without the local time every screenshot goes to "shots/shot.png", replacing the last.
TEST_F(ScreenshotTest, WithoutLocalTimeReplacesShotPng) {
  startDevice(8, 4);
  screenshot_local_time = [](struct tm*) { return false; };
  for (uint32_t color : {0xFF112233u, 0xFF445566u}) {
    std::string log = shoot(color);
    EXPECT_TRUE(contains(log, "screenshot captured to 'shots/shot.png'")) << log;
  }
  EXPECT_EQ(shot_color("shot.png"), 0xFF445566u);
  EXPECT_EQ(files_in(home + "shots"), std::vector<std::string>{"shot.png"});
}

// A shot that cannot be saved says why, in the log and on the screen, and leaves no
// file (a full disk would leave a partial or empty one).
TEST_F(ScreenshotTest, AFailedSaveShowsItsReasonAndLeavesNoFile) {
  struct Case {
    const char* name;
    std::function<void(const std::string& shots)> breaks;
    const char* reason;
  } cases[] = {
      {"shots is a file", [](const std::string& shots) { std::ofstream(shots) << "not a folder"; },
       "a file stands where the folder 'shots' belongs"},
      {"disk full at the first byte", [](const std::string&) { shots_disk_space = 0; }, "no space"},
      {"disk full part way", [](const std::string&) { shots_disk_space = 100; }, "no space"},
  };
  screenshot_local_time = fixed_time;
  const std::string expected = "failed to save screenshot to 'shots/shot2031_02_03_04_05_06.png': ";
  const std::string shown = "failed to save screenshot to\n'shots/shot2031_02_03_04_05_06.png':\n";
  startDevice(64, 32);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string shots = home + "shots";
    std::filesystem::remove_all(shots);
    set_error_message(nullptr);
    c.breaks(shots);
    std::string log = shoot(0xFF203040);
    shots_disk_space = -1;
    EXPECT_TRUE(contains(log, expected + c.reason)) << log;
    EXPECT_FALSE(contains(log, "captured to")) << log;
    EXPECT_TRUE(contains(error_shown(), shown + c.reason)) << error_shown();
    EXPECT_EQ(files_in(shots), std::vector<std::string>{}) << "no partial file";
  }
}
