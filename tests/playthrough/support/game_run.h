#pragma once
// The real program under a test: a game folder of the test's own (a link to the test
// program as its executable, copies of the data, the module and its sources), the
// game started through its entry in a child process, with the main loop's clock and
// update replaced so that it runs as fast as the machine allows and always the same
// way, and a driver that reads the game after every update and posts its input.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace play {

// ---- the parent's side ----------------------------------------------------------------

struct GameFolder {
  std::string root;     // everything of one run
  std::string bin;      // the game's folder: the executable, data, gameobj.so (ends in '/')
  std::string sources;  // the module's sources, "../gameobj/" seen from bin (ends in '/')
  std::string home;     // XDG_DATA_HOME of the run; the per-user folder is home/TORVANE
  std::string user() const { return home + "/TORVANE/"; }
};

// A fresh game folder under the test's own per-user folder.
GameFolder make_game_folder(const std::string& name);

struct GameResult {
  int exit_code = -1;  // -1 when the child was killed
  int signal = 0;
  std::string out;     // the child's standard output and error
  std::string log;     // the game's log.txt
};

// Runs the test `child_test` ("Suite.Name") of this program as the game of `folder`.
// `settings` lines go into the per-user "settings.cfg"; `env` adds "NAME=value" texts.
GameResult run_game(const GameFolder& folder, const std::string& child_test,
                    const std::vector<std::string>& settings = {}, const std::vector<std::string>& env = {});

// A file's bytes; empty when it cannot be read.
std::string read_whole_file(const std::string& path);

// The child's output, for failure messages: its last lines.
std::string tail(const std::string& text, int lines = 60);

// ---- the child's side -------------------------------------------------------------------

// Skips a test unless it runs as the game of run_game.
#define GAME_CHILD_ONLY()                \
  if (!getenv("TORVANE_TEST_CHILD"))     \
  GTEST_SKIP() << "runs only as the game of another test"

// Called after every update of the main loop with the number of updates run.
using UpdateHook = std::function<void(int step)>;

// The game's entry with the injected clock (each frame takes one update's time, so
// one frame follows each update) and `after_update` run after each update. The
// command line words follow the program name. Returns WinMain's result.
int run_entry(const std::vector<std::string>& words, uint64_t clock_start, UpdateHook after_update);

// The game's folder as the running game finds it: its executable's (ends in '/').
std::string game_folder();

// The number of updates run so far.
int updates_done();

// ---- input, as the window's messages -------------------------------------------------

void key(int vk, bool down);
void tap(int vk);
// Moves the pointer to a client pixel (origin top left).
void pointer_to(int x, int y);
// A left click at a client pixel.
void click(int x, int y);
// Asks the window to close (the main loop ends after this update).
void quit();

// ---- what the game wrote -----------------------------------------------------------------

// The log's lines written since the last call of take_log_lines.
std::vector<std::string> take_log_lines();
// Every log line seen so far through take_log_lines, and whether one contains `text`.
const std::vector<std::string>& log_lines_seen();
bool logged(const std::string& text);

// A picture as a screenshot holds it: rows from the top, 0xRRGGBB.
struct Picture {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;
  std::string path;  // the file it was read from
  uint32_t at(int x, int y) const { return pixels[size_t(y) * width + x]; }
};

// Reads a PNG file; false when it is missing or no picture.
bool load_picture(const std::string& path, Picture& out);

// Presses and releases Print Screen; the shot is taken in the next update.
void request_screenshot();
// The newest screenshot written since request_screenshot, read back; false when there is none yet.
bool read_screenshot(Picture& out);

}  // namespace play
