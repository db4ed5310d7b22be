// The soak: the driver plays random input through every mode over several levels
// (the developer key ends a level once it was played a while), and reports the heap
// in use after the warm-up and at the end. TORVANE_SOAK_STEPS sets the updates
// (1,000 by default; bench/soak.sh runs 20,000).
#include <gtest/gtest.h>
#include <malloc.h>

#include <cstdlib>
#include <string>

#include "engine/render/d3d_device.h"
#include "engine/shell/controls.h"
#include "engine/shell/modes/game_flow.h"
#include "engine/shell/modes/game_mode.h"
#include "platform/win32/windows.h"
#include "support/game_run.h"
#include "support/hero_driver.h"
#include "support/screens.h"

using namespace play;

namespace {

constexpr int LEVEL_UPDATES = 300;  // random play on a level before the developer key ends it
constexpr int HEAP_WINDOW = 100;    // updates averaged for each heap figure

int soak_steps() {
  const char* v = getenv("TORVANE_SOAK_STEPS");
  int n = v ? atoi(v) : 0;
  return n > 0 ? n : 1000;
}

// The soak's own random numbers: the same run every time.
struct Random {
  uint64_t s = 0x9E3779B97F4A7C15ull;
  uint32_t next() {
    s ^= s >> 12, s ^= s << 25, s ^= s >> 27;
    return uint32_t((s * 0x2545F4914F6CDD1Dull) >> 32);
  }
  bool chance(int per_thousand) { return int(next() % 1000) < per_thousand; }
  int below(int n) { return int(next() % uint32_t(n)); }
};

class RandomPlayer {
 public:
  int levelsStarted = 0, deaths = 0, levelsEnded = 0;

  void update() {
    GameMode* mode = cur_game_mode;
    if (mode != lastMode_) {
      enter(mode);
      lastMode_ = mode;
      inMode_ = 0;
    }
    inMode_++;
    if (mode == title_mode)
      title();
    else if (mode == play_mode)
      play();
    else if (mode == pause_menu_mode)
      pause();
    else if (mode == upgrade_mode)
      upgrade();
    else if (mode == gameover_mode)
      gameOver();
    else if (mode == view_level_mode)
      viewLevel();
  }

 private:
  void enter(GameMode* mode) {
    releaseAll();
    if (mode == play_mode && (lastMode_ == title_mode || lastMode_ == upgrade_mode || lastMode_ == gameover_mode)) {
      levelsStarted++;
      inLevel_ = 0;
    }
    if (mode == gameover_mode)
      deaths++;
    if (mode == elevator_mode)
      levelsEnded++;
  }
  void releaseAll() {
    for (int b = 0; b < NUM_BUTTONS; b++)
      hold(b, false);
    if (ctrl_)
      key(VK_CONTROL, false), ctrl_ = false;
  }
  void hold(int button, bool down) {
    if (held_[button] != down)
      key(button_keys[button], down), held_[button] = down;
  }

  void title() {
    if (inMode_ == 10)
      tap(VK_RETURN);  // new game; never the title's Quit
  }
  void play() {
    inLevel_++;
    // Ends the level with the developer key once played a while; a boss level has
    // no way out before its boss falls, so it is left through the main menu.
    float exit[4];
    bool has_exit = cur_level % 5 != 0 && find_exit_box(exit);
    if (inLevel_ > LEVEL_UPDATES && has_exit) {
      if (!ctrl_) {
        releaseAll();
        key(VK_CONTROL, true), ctrl_ = true;
      } else {
        tap(VK_F1);
      }
      return;
    }
    if (inLevel_ > 2 * LEVEL_UPDATES || rnd_.chance(2)) {
      releaseAll();
      tap(button_keys[BUTTON_MENU]);
      return;
    }
    if (rnd_.chance(150)) {
      int dir = rnd_.below(3) - 1;
      hold(BUTTON_LEFT, dir < 0);
      hold(BUTTON_RIGHT, dir > 0);
      pointer_to(rnd_.below(d3d_wd), rnd_.below(d3d_ht));
    }
    if (rnd_.chance(200))
      hold(BUTTON_JUMP, !held_[BUTTON_JUMP]);
    if (rnd_.chance(100))
      hold(BUTTON_SHOOT_PRI, !held_[BUTTON_SHOOT_PRI]);
    if (rnd_.chance(30))
      hold(BUTTON_SHOOT_SEC, !held_[BUTTON_SHOOT_SEC]);
    // Now and then a developer view: statistics, debug drawing, the level viewer, a shot.
    if (rnd_.chance(3))
      tap(VK_F1);
    if (rnd_.chance(3))
      tap(VK_F4);
    if (rnd_.chance(2))
      tap(VK_F5);
    if (rnd_.chance(2))
      tap(VK_SNAPSHOT);
  }
  void pause() {
    if (inMode_ != 8)
      return;
    if (inLevel_ > 2 * LEVEL_UPDATES || rnd_.chance(250))
      tap(VK_DOWN);  // main menu
    tap(VK_RETURN);
  }
  void upgrade() {
    MenuLayout m;
    if (!read_menu_layout(m) || m.buttons.empty())
      return;
    if (inMode_ < 20 && inMode_ % 4 == 0) {
      const Rect& b = m.buttons[size_t(rnd_.below(int(m.buttons.size() - 1))) + 1];
      click(centre_x(b), centre_y(b));
    } else if (inMode_ == 24) {
      click(centre_x(m.buttons[0]), centre_y(m.buttons[0]));  // Continue
    }
  }
  void gameOver() {
    if (inMode_ == 40)
      tap(VK_RETURN);
  }
  void viewLevel() {
    if (inMode_ % 3 == 0)
      pointer_to(d3d_wd / 2 + rnd_.below(41) - 20, d3d_ht / 2 + rnd_.below(41) - 20);
    if (inMode_ == 30)
      tap(VK_ESCAPE);
  }

  Random rnd_;
  GameMode* lastMode_ = nullptr;
  int inMode_ = 0, inLevel_ = 0;
  bool held_[NUM_BUTTONS] = {};
  bool ctrl_ = false;
};

size_t heap_in_use() { return mallinfo2().uordblks; }

double mean(const std::vector<size_t>& v, size_t from, size_t count) {
  double sum = 0;
  for (size_t i = from; i < from + count; i++)
    sum += double(v[i]);
  return sum / double(count);
}

}  // namespace

TEST(SoakChild, Play) {
  GAME_CHILD_ONLY();
  const int steps = soak_steps();
  const int warm_up = std::max(steps / 10, 100);
  RandomPlayer player;
  std::vector<size_t> heap;
  int result = run_entry({"-fullscr", "-360"}, 0x50A4, [&](int step) {
    if (step >= warm_up)
      heap.push_back(heap_in_use());
    if (step % (steps / 10 > 0 ? steps / 10 : 1) == 0)
      printf("soak update %d: level %d, heap in use %zu bytes\n", step, cur_level, heap_in_use());
    if (step >= steps) {
      quit();
      return;
    }
    player.update();
  });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(updates_done(), steps);
  ASSERT_GE(heap.size(), size_t(2 * HEAP_WINDOW));
  double after_warm_up = mean(heap, 0, HEAP_WINDOW), at_end = mean(heap, heap.size() - HEAP_WINDOW, HEAP_WINDOW);
  printf("soak: %d updates, %d levels started, %d levels ended, %d deaths\n", steps, player.levelsStarted,
         player.levelsEnded, player.deaths);
  printf("soak heap in use: after warm-up %.0f bytes, at the end %.0f bytes, growth %+.0f bytes\n", after_warm_up,
         at_end, at_end - after_warm_up);
  EXPECT_GE(player.levelsStarted, 3) << "several levels";
}

TEST(Soak, RandomPlayOverLevels) {
  GameFolder folder = make_game_folder("soak");
  GameResult r = run_game(folder, "SoakChild.Play", {"devkeys=1"});
  EXPECT_EQ(r.exit_code, 0) << tail(r.out);
  EXPECT_EQ(r.signal, 0) << tail(r.out);
  for (const char* what : {"soak: ", "soak heap in use: "}) {
    size_t at = r.out.find(what);
    if (at != std::string::npos)
      printf("%s\n", r.out.substr(at, r.out.find('\n', at) - at).c_str());
  }
}
