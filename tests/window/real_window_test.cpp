// The real game in a real SDL2 window on a virtual X display, driven by keys that
// xdotool sends to the focused window, as a player's would. The title screen shows:
// Print Screen writes a screenshot whose pixels hold the title's texts where the
// fonts' own layout puts them. Enter on the title starts a game (the HUD shows),
// Escape in play opens the pause menu, Escape or Enter there closes it again, and
// Down and Enter go back to the title. Alt+Enter switches to fullscreen and back, and
// Alt+F4 quits: exit code 0, the log ending with the last shut-down step.
// Started fullscreen, Alt+Enter twice gives a centred window of half the screen's size
// and then the whole screen again, each showing the whole picture with the world behind the title menu. A start-up that
// is fatal shows its error box centred, and a click on OK ends the game with code 100.
//
// The menus' layout comes from the same game run headless at the same back-buffer
// size (a child of this program, reading the screens the module built), since the
// window's game is another process. Without Xvfb the tests say so and skip.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "engine/render/d3d_device.h"
#include "engine/shell/controls.h"
#include "engine/shell/modes/game_mode.h"
#include "platform/win32/windows.h"
#include "support/game_run.h"
#include "support/screens.h"
#include "support/stages.h"
#include "tests/support/game_process.h"
#include "tests/support/test_env.h"
#include "tests/support/xvfb_session.h"

using namespace play;

namespace {

const char* const title = "TORVANE! 0.20";
constexpr int screen_w = 1280, screen_h = 1024;

std::string fresh_home(const std::string& name) {
  std::string dir = test_env::data_home() + "/" + name;
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::string last_line(const std::string& text) {
  size_t end = text.find_last_not_of('\n');
  if (end == std::string::npos)
    return "";
  size_t start = text.rfind('\n', end);
  start = start == std::string::npos ? 0 : start + 1;
  return text.substr(start, end + 1 - start);
}

// The back buffer's size from the device's start-up line "init d3d ok (WxH)".
bool back_buffer_size(const std::string& out, int* w, int* h) {
  size_t at = out.find("init d3d ok (");
  return at != std::string::npos && sscanf(out.c_str() + at, "init d3d ok (%dx%d)", w, h) == 2;
}

// ---- the menus' texts, from the game run headless ------------------------------------

struct Layouts {
  int width = 0, height = 0;
  std::vector<TextSpot> title;  // the title screen's texts, its heading first
  TextSpot pause;               // the pause menu's heading
};

}  // namespace

// Title, a new game, the pause menu: where each menu's texts stand, written to the
// file that TORVANE_LAYOUTS names, a line each ("size W H", "title <spot>", "pause
// <spot>").
TEST(RealWindowChild, Layouts) {
  GAME_CHILD_ONLY();
  std::ofstream out(getenv("TORVANE_LAYOUTS"));
  MenuLayout m;
  int paused = 0;
  std::vector<Stage> stages = {
      {"title", 100, [&](int n) {
         if (n < 5 || cur_game_mode != title_mode || !read_menu_layout(m))
           return false;
         out << "size " << d3d_wd << " " << d3d_ht << "\n";
         EXPECT_EQ(m.buttons.size(), 3u);
         for (const TextSpot& t : title_screen_texts(m))
           out << "title " << text_spot_line(t) << "\n";
         tap(VK_RETURN);
         return true;
       }},
      {"play", 100, [&](int) {
         if (cur_game_mode != play_mode)
           return false;
         tap(button_keys[BUTTON_MENU]);
         return true;
       }},
      // The menu is laid out when it is first drawn.
      {"pause", 100, [&](int) {
         if (cur_game_mode != pause_menu_mode || ++paused < 5 || !read_menu_layout(m))
           return false;
         out << "pause " << text_spot_line(panel_title_text(m, "PAUSED")) << "\n";
         return true;
       }},
  };
  StageRunner runner(stages);
  // Fullscreen at the window's size (TORVANE_LAYOUTS_SIZE, "-360" when unset): without
  // a window the windowed size would be the desktop's.
  const char* size = getenv("TORVANE_LAYOUTS_SIZE");
  EXPECT_EQ(run_entry({"-fullscr", size ? size : "-360"}, 0x717E, [&](int step) { runner(step); }), 0);
  EXPECT_TRUE(runner.completed()) << "stopped in '" << runner.current_name() << "'";
}

namespace {

// The layouts at the size that the size option gives ("-360", "-1080", ...).
Layouts layouts_of_the_game(const std::string& size = "-360") {
  Layouts l;
  GameFolder folder = make_game_folder("window_layouts");
  std::string file = folder.root + "/layouts.txt";
  GameResult r =
      run_game(folder, "RealWindowChild.Layouts", {}, {"TORVANE_LAYOUTS=" + file, "TORVANE_LAYOUTS_SIZE=" + size});
  EXPECT_EQ(r.exit_code, 0) << tail(r.out);
  std::ifstream in(file);
  for (std::string line; std::getline(in, line);) {
    std::string word = line.substr(0, line.find(' '));
    std::string rest = line.substr(std::min(line.size(), word.size() + 1));
    TextSpot t;
    if (word == "size") {
      sscanf(rest.c_str(), "%d %d", &l.width, &l.height);
    } else if (word == "title" || word == "pause") {
      EXPECT_TRUE(parse_text_spot(rest, t)) << line;
      if (word == "title")
        l.title.push_back(t);
      else
        l.pause = t;
    }
  }
  return l;
}

// The window is started at 640x360: centred on the virtual screen, all of it shows.
// (Without a window manager nothing maximises a window of the default size, which the
// game places for a maximised start.)
struct Geometry {
  int x = 0, y = 0, width = 0, height = 0;
};

// The world drawn behind the screens fills the picture up to its edges, where the menus
// leave it uncovered: most of the picture's left and right tenths are not black.
::testing::AssertionResult world_shows(const Picture& shot) {
  int strip = std::max(1, shot.width / 10), lit = 0, all = 0;
  for (int y = 0; y < shot.height; y++)
    for (int x : {0, shot.width - strip})
      for (int i = 0; i < strip; i++, all++)
        lit += !near_colour(shot.at(x + i, y), 0xFF000000, 24);
  if (lit * 2 < all)
    return ::testing::AssertionFailure() << "no world at the edges of " << shot.path << " (" << lit << " of " << all
                                         << " pixels lit)";
  return ::testing::AssertionSuccess();
}

class RealWindow : public ::testing::Test {
 protected:
  std::unique_ptr<XvfbSession> x;
  std::string window;  // the X window id of the game's window
  size_t shot_mark = 0;
  int screen_width = screen_w, screen_height = screen_h;

  void SetUp() override {
    x = std::make_unique<XvfbSession>(screen_width, screen_height);
    if (!x->ok())
      GTEST_SKIP() << "skipped: Xvfb cannot start (" << x->error() << ")";
  }

  // Waits for the game's window and gives it the keyboard focus.
  void findWindow(GameProcess& game) {
    ASSERT_NE(game.waitForOutput("total start-up time", 60000), std::string::npos) << game.output();
    int status = -1;
    std::string ids = x->xdotool(std::string("search --sync --name '") + title + "'", &status);
    ASSERT_EQ(status, 0) << ids << game.output();
    window = ids.substr(0, ids.find('\n'));
    ASSERT_FALSE(window.empty());
    EXPECT_NE(x->xdotool("getwindowname " + window).find(title), std::string::npos);
    x->xdotool("windowfocus --sync " + window, &status);
    ASSERT_EQ(status, 0);
    // The pointer starts in the middle of the screen, where the game would draw its
    // cursor over the menus: it goes to the screen's corner, outside the window.
    x->xdotool("mousemove --sync 0 0", &status);
    ASSERT_EQ(status, 0);
  }

  // Where the X server has the game's window, and its size.
  Geometry windowGeometry() {
    Geometry g;
    std::string out = x->xdotool("getwindowgeometry --shell " + window);
    auto value = [&](const char* name) {
      size_t at = out.find(std::string(name) + "=");
      return at == std::string::npos ? -1 : atoi(out.c_str() + at + strlen(name) + 1);
    };
    g = Geometry{value("X"), value("Y"), value("WIDTH"), value("HEIGHT")};
    return g;
  }

  void key(const std::string& keys) {
    int status = -1;
    std::string out = x->xdotool("key --delay 60 " + keys, &status);
    ASSERT_EQ(status, 0) << out;
  }

  // Print Screen, and the screenshot the game says it wrote, read back.
  void takeShot(GameProcess& game, const std::string& home, Picture& shot) {
    key("Print");
    const std::string said = "screenshot captured to '";
    size_t at = game.waitForOutput(said, 20000, shot_mark);
    ASSERT_NE(at, std::string::npos) << game.output();
    std::string out = game.output();
    size_t name_end = out.find('\'', at + said.size());
    ASSERT_NE(name_end, std::string::npos);
    std::string name = out.substr(at + said.size(), name_end - at - said.size());
    shot_mark = name_end;
    ASSERT_EQ(name.rfind("shots/shot", 0), 0u) << name;
    ASSERT_TRUE(load_picture(home + "/TORVANE/" + name, shot)) << "a PNG picture: " << name;
  }

  // Takes shots until one shows what `shows` looks for (the key that leads there acts
  // within a few frames, and the first frames may not be drawn yet), for up to 30 s.
  // The picture is kept as "<name>.png"; the result is the last shot's.
  ::testing::AssertionResult waitForScreen(GameProcess& game, const std::string& home, const std::string& name,
                                           const std::function<::testing::AssertionResult(const Picture&)>& shows) {
    auto start = std::chrono::steady_clock::now();
    ::testing::AssertionResult result = ::testing::AssertionFailure() << "no screenshot";
    for (;;) {
      Picture shot;
      takeShot(game, home, shot);
      if (::testing::Test::HasFatalFailure())
        return ::testing::AssertionFailure() << "no screenshot of " << name;
      result = shows(shot);
      if (result || std::chrono::steady_clock::now() - start > std::chrono::seconds(30)) {
        keep_picture(shot, name);
        return result << " (" << name << ")";
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
  }
};

TEST_F(RealWindow, AltEnterSwitchesToFullscreenAndBackAndAltF4Quits) {
  std::string home = fresh_home("modes");
  GameProcess game({{"-win", "-360"}, home, "", x->display(), {}});
  findWindow(game);
  int w = 0, h = 0;
  ASSERT_TRUE(back_buffer_size(game.output(), &w, &h)) << game.output();

  size_t mark = game.output().size();
  key("alt+Return");
  // The chosen size (-360) holds in both modes.
  std::string fullscreen = "resized d3d to " + std::to_string(w) + "x" + std::to_string(h) + " fullscreen";
  size_t at = game.waitForOutput(fullscreen, 20000, mark);
  ASSERT_NE(at, std::string::npos) << "no switch to fullscreen\n" << game.output().substr(mark);

  key("alt+Return");
  std::string windowed = "resized d3d to " + std::to_string(w) + "x" + std::to_string(h) + " windowed";
  ASSERT_NE(game.waitForOutput(windowed, 20000, at), std::string::npos)
      << "no switch back to the window\n" << game.output().substr(mark);

  key("alt+F4");
  EXPECT_EQ(game.waitForExit(30000), 0) << game.output();
  std::string log = read_file(home + "/TORVANE/log.txt");
  EXPECT_NE(last_line(log).find("closed all systems"), std::string::npos) << log;
}

TEST_F(RealWindow, TheTitleShowsAndEnterAndEscapeReachTheMenus) {
  Layouts l = layouts_of_the_game();
  ASSERT_EQ(l.title.size(), 5u) << "the title's texts";
  ASSERT_FALSE(l.pause.text.empty()) << "the pause menu's title";

  std::string home = fresh_home("menus");
  GameProcess game({{"-win", "-360"}, home, "", x->display(), {}});
  findWindow(game);
  int w = 0, h = 0;
  ASSERT_TRUE(back_buffer_size(game.output(), &w, &h)) << game.output();
  ASSERT_EQ(w, l.width) << "the layouts are the window's";
  ASSERT_EQ(h, l.height);

  auto title_screen = [&](const Picture& shot) {
    if (shot.width != w || shot.height != h)
      return ::testing::AssertionFailure() << "a shot of " << shot.width << "x" << shot.height << ", not the window's";
    return texts_show(shot, l.title);
  };
  // In play the HUD's health bar shows and neither menu does.
  auto play = [&](const Picture& shot) {
    float fill = health_bar_fill(shot);
    if (fill <= 0)
      return ::testing::AssertionFailure() << "no health bar in " << shot.path;
    ::testing::AssertionResult bar = health_bar_shows(shot, fill);
    if (!bar)
      return bar;
    ::testing::AssertionResult no_title = text_gone(shot, l.title[0]);
    if (!no_title)
      return no_title;
    return text_gone(shot, l.pause);
  };
  auto pause = [&](const Picture& shot) { return text_shows(shot, l.pause); };

  // The first screen, before any key.
  EXPECT_TRUE(waitForScreen(game, home, "window_title", title_screen));
  key("Return");  // the first item: a new game
  EXPECT_TRUE(waitForScreen(game, home, "window_play", play));
  key("Escape");
  EXPECT_TRUE(waitForScreen(game, home, "window_pause", pause));
  key("Escape");  // the pause menu's way back
  EXPECT_TRUE(waitForScreen(game, home, "window_play_again", play));
  key("Escape");
  EXPECT_TRUE(waitForScreen(game, home, "window_pause_again", pause));
  key("Return");  // its first item: continue
  EXPECT_TRUE(waitForScreen(game, home, "window_continued", play));
  key("Escape");
  EXPECT_TRUE(waitForScreen(game, home, "window_pause_third", pause));
  key("Down Return");  // the main menu
  EXPECT_TRUE(waitForScreen(game, home, "window_title_again", title_screen));

  key("alt+F4");
  EXPECT_EQ(game.waitForExit(30000), 0) << game.output();
  std::string log = read_file(home + "/TORVANE/log.txt");
  EXPECT_NE(last_line(log).find("closed all systems"), std::string::npos) << log;
}

// The desktop of a common screen, so that a game started fullscreen draws at the size
// that the headless game of the layouts has with "-1080".
class RealDesktopWindow : public RealWindow {
 protected:
  RealDesktopWindow() {
    screen_width = 1920;
    screen_height = 1080;
  }
};

// Started fullscreen with no size of its own, the game goes through a game to the title,
// whose menu then stands over the world's last picture. Alt+Enter gives a window whose
// client area is half the screen, centred, then the whole screen again: each time the
// window shows a picture of its own size, and the world is still behind the menu.
TEST_F(RealDesktopWindow, AltEnterFromAFullscreenStartShowsTheWholePictureInBothModes) {
  Layouts l = layouts_of_the_game("-1080");
  ASSERT_EQ(l.width, screen_width) << "the layouts are the desktop's";
  ASSERT_EQ(l.title.size(), 5u) << "the title's texts";
  ASSERT_FALSE(l.pause.text.empty()) << "the pause menu's title";

  std::string home = fresh_home("fullscreen_start");
  GameProcess game({{"-fullscr"}, home, "", x->display(), {}});
  findWindow(game);
  int w = 0, h = 0;
  ASSERT_TRUE(back_buffer_size(game.output(), &w, &h)) << game.output();
  ASSERT_EQ(w, screen_width) << "a fullscreen start with no size takes the desktop's";
  ASSERT_EQ(h, screen_height);

  auto play = [&](const Picture& shot) {
    return health_bar_fill(shot) > 0 ? ::testing::AssertionSuccess()
                                     : ::testing::AssertionFailure() << "no health bar in " << shot.path;
  };
  auto pause = [&](const Picture& shot) { return text_shows(shot, l.pause); };
  // The shot is the window's size, and the world shows behind the menu.
  auto whole_picture = [&](const Picture& shot) {
    Geometry g = windowGeometry();
    if (shot.width != g.width || shot.height != g.height)
      return ::testing::AssertionFailure() << "a shot of " << shot.width << "x" << shot.height << " in a window of "
                                           << g.width << "x" << g.height;
    return world_shows(shot);
  };
  auto title_fullscreen = [&](const Picture& shot) {
    Geometry g = windowGeometry();
    if (g.x != 0 || g.y != 0 || g.width != screen_width || g.height != screen_height)
      return ::testing::AssertionFailure() << "the window is " << g.width << "x" << g.height << " at " << g.x << ","
                                           << g.y << ", not the screen";
    ::testing::AssertionResult whole = whole_picture(shot);
    return whole ? texts_show(shot, l.title) : whole;
  };
  // The client area is the half-size back buffer the switch asked for, centred on the
  // screen as a windowed start is (no window manager: the X window is the client area).
  auto title_windowed = [&](const Picture& shot) {
    Geometry g = windowGeometry();
    int x = (screen_width - w / 2) / 2, y = (screen_height - h / 2) / 2;
    if (g.width != w / 2 || g.height != h / 2 || g.x != x || g.y != y)
      return ::testing::AssertionFailure() << "a window of " << g.width << "x" << g.height << " at " << g.x << ","
                                           << g.y << ", not " << w / 2 << "x" << h / 2 << " at " << x << "," << y;
    return whole_picture(shot);
  };

  key("Return");  // a new game
  ASSERT_TRUE(waitForScreen(game, home, "fullscreen_play", play));
  key("Escape");
  ASSERT_TRUE(waitForScreen(game, home, "fullscreen_pause", pause));
  key("Down Return");  // the main menu
  ASSERT_TRUE(waitForScreen(game, home, "fullscreen_title", title_fullscreen));

  size_t mark = game.output().size();
  key("alt+Return");
  std::string windowed = "resized d3d to " + std::to_string(w / 2) + "x" + std::to_string(h / 2) + " windowed";
  size_t at = game.waitForOutput(windowed, 20000, mark);
  ASSERT_NE(at, std::string::npos) << "no switch to a window\n" << game.output().substr(mark);
  EXPECT_TRUE(waitForScreen(game, home, "fullscreen_start_windowed", title_windowed));

  key("alt+Return");
  std::string fullscreen = "resized d3d to " + std::to_string(w) + "x" + std::to_string(h) + " fullscreen";
  ASSERT_NE(game.waitForOutput(fullscreen, 20000, at), std::string::npos)
      << "no switch back to fullscreen\n" << game.output().substr(mark);
  EXPECT_TRUE(waitForScreen(game, home, "fullscreen_start_fullscreen_again", title_fullscreen));

  key("alt+F4");
  EXPECT_EQ(game.waitForExit(30000), 0) << game.output();
}

// The error box of a fatal start-up, found among the X server's windows by its title:
// where it stands, or a width of 0 while it is not there.
Geometry error_box_geometry(const XvfbSession& x) {
  Geometry g;
  std::string list = x.xwininfo("-root -children");
  size_t at = list.find("\"TORVANE! 0.20 - FATAL ERROR\"");
  if (at == std::string::npos)
    return g;
  // "<id> "<name>": (<class>)  WxH+X+Y  +X+Y"
  size_t size = list.find(")", at);
  if (size == std::string::npos || sscanf(list.c_str() + size + 1, " %dx%d+%d+%d", &g.width, &g.height, &g.x, &g.y) != 4)
    return Geometry{};
  return g;
}

// A start-up that is fatal (here: no sound device) shows the error box centred across
// the screen, in the upper half, whatever the window's mode, and a click on its OK
// button (centred in the box's lower part) ends the game with code 100 at once.
TEST_F(RealWindow, AFatalStartUpShowsItsBoxCentredAndAClickOnOkEndsTheGame) {
  int status = -1;
  x->xwininfo("-version", &status);
  if (status != 0)
    GTEST_SKIP() << "skipped: xwininfo is not installed";
  struct Case {
    const char* mode;
    std::vector<std::string> args;
  };
  const Case cases[] = {{"fullscreen", {"-fullscr"}}, {"windowed", {"-win", "-360"}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    std::string home = fresh_home(std::string("fatal_") + c.mode);
    GameProcess game({c.args, home, "", x->display(), {"SDL_AUDIODRIVER=no_such_driver"}});
    ASSERT_NE(game.waitForOutput("ERROR: error initializing SoLoud: ", 60000), std::string::npos) << game.output();
    // The box is mapped first and placed a moment later (which a loaded machine shows):
    // wait for it to be placed, or for the time to run out with it where it stands.
    auto centred = [](const Geometry& g) { return g.width > 0 && std::abs(g.x + g.width / 2 - screen_w / 2) <= 1; };
    Geometry box;
    for (int i = 0; i < 200 && !centred(box); i++) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      box = error_box_geometry(*x);
    }
    ASSERT_GT(box.width, 0) << "no error box\n" << x->xwininfo("-root -children");
    EXPECT_NEAR(box.x + box.width / 2, screen_w / 2, 1) << "the box is centred across the screen";
    EXPECT_GE(box.y, 0);
    EXPECT_LE(box.y + box.height / 2, screen_h / 2) << "the box stands in the upper half";

    std::string click = "mousemove --sync " + std::to_string(box.x + box.width / 2) + " " +
                        std::to_string(box.y + box.height - 28) + " click 1";
    x->xdotool(click, &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(game.waitForExit(5000), 100) << "the click on OK ends the game\n" << game.output();
  }
}

}  // namespace
