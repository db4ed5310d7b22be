// The fixed-step loop through an injected clock and renderer: update cadence,
// catch-up limit and dropped backlog, stalls, the interpolation factor and frame
// prediction, the once-a-second work, a device that can't present, and quitting.
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cmath>
#include <string>
#include <vector>

#include <physfs.h>

#include <gtest/gtest.h>

#include "engine/core/log.h"
#include "engine/core/settings.h"
#include "engine/core/stats.h"
#include "engine/core/watch.h"
#include "engine/shell/main_loop.h"
#include "tests/support/test_env.h"

namespace {

constexpr int64_t TPS = 1000000;  // microsecond ticks
constexpr int64_t MS = 1000;
constexpr int64_t STEP = 50 * MS;

// A scripted world around the loop: time moves only when the fakes say so.
struct FakeWorld {
  int64_t clock = 1000 * MS;
  int64_t pump_cost = 0;
  int64_t update_cost = 0;
  int64_t render_cost = 0;
  int64_t gpu_busy = 0;          // a present succeeds only this long after its render
  bool present_works = true;
  bool device_ok = true;
  int quit_after_updates = 40;
  int quit_in_pump_of_update = -1;  // the pump of this update pass asks to quit
  int max_calls = 2000000;       // guard against a loop that never ends

  // The stall: update number stall_at (1-based) takes stall_ticks (negative: the
  // clock jumps back).
  int stall_at = -1;
  int64_t stall_ticks = 0;

  int updates = 0, renders = 0, presents = 0, waited_presents = 0, periodic = 0, sleeps = 0, calls = 0;
  int64_t last_render_time = 0;
  std::string events;                 // U update, R render, P present
  std::vector<int64_t> update_nominal;  // update_clock at each update
  std::vector<int64_t> update_elapsed;  // now - previous nominal time, at each update
  std::vector<int> renders_at_update;   // frames rendered before each update
  std::vector<float> render_dt, render_ik;
  std::vector<int64_t> render_e;  // clock - update_clock when the frame was asked for
  std::vector<int> sleep_msec;
  std::vector<int64_t> sleep_behind;  // clock - update_clock when the sleep was asked for

  void guard() {
    if (++calls > max_calls)
      quit_requested = true;
  }
};

FakeWorld* world = nullptr;

int64_t fake_now() {
  world->guard();
  return world->clock;
}
int64_t fake_tps() { return TPS; }
// The update pass's pump is the first one to see a new nominal update time.
int64_t pump_seen_clock = 0;
int update_pass_pumps = 0;
void fake_pump() {
  world->clock += world->pump_cost;
  if (update_clock != pump_seen_clock) {
    pump_seen_clock = update_clock;
    if (++update_pass_pumps == world->quit_in_pump_of_update)
      quit_requested = true;
  }
}
void fake_update(float dt) {
  world->updates++;
  world->events += 'U';
  world->update_nominal.push_back(update_clock);
  world->update_elapsed.push_back(world->clock - (update_clock - STEP));
  world->renders_at_update.push_back(world->renders);
  EXPECT_FLOAT_EQ(dt, 0.05f);
  EXPECT_FLOAT_EQ(time_ik, 1.0f);
  world->clock += world->update_cost;
  if (world->updates == world->stall_at)
    world->clock += world->stall_ticks;
  end_update_timing();
  if (world->updates >= world->quit_after_updates)
    quit_requested = true;
}
bool fake_render(float t) {
  world->renders++;
  world->events += 'R';
  world->render_dt.push_back(t);
  world->render_ik.push_back(time_ik);
  world->render_e.push_back(world->clock - update_clock);
  world->last_render_time = world->clock;
  world->clock += world->render_cost;
  return true;
}
bool fake_present(bool wait) {
  if (wait) {
    world->waited_presents++;
    return true;
  }
  if (!world->present_works || world->clock - world->last_render_time < world->gpu_busy) {
    world->clock += MS / 10;  // a failed try still takes a little time
    return false;
  }
  world->presents++;
  world->events += 'P';
  return true;
}
bool fake_check_device() { return world->device_ok; }
void fake_sleep(int msec) {
  world->sleeps++;
  world->sleep_msec.push_back(msec);
  world->sleep_behind.push_back(world->clock - update_clock);
  world->clock += msec * MS;
}
void fake_periodic() { world->periodic++; }
void fake_file_notify() {}

class MainLoopTest : public ::testing::Test {
 protected:
  FakeWorld w;
  void SetUp() override {
    world = &w;
    main_loop_services = MainLoopServices{fake_now,   fake_tps,          fake_pump,  fake_update,   fake_render,
                                          fake_present, fake_check_device, fake_sleep, fake_periodic, fake_file_notify};
    quit_requested = false;
    pump_seen_clock = 0;
    update_pass_pumps = 0;
    set_update_rate(20, 5);
  }
  void TearDown() override {
    main_loop_services = default_main_loop_services;
    quit_requested = false;
    world = nullptr;
  }
  void run() {
    run_main_loop();
    ASSERT_LT(w.calls, w.max_calls) << "the loop did not end by itself";
  }
};

TEST_F(MainLoopTest, UpdateRateTable) {
  struct Case {
    int rate, limit;
    int64_t step;
    int catchup;
  } cases[] = {{20, 5, 50000, 5}, {0, -3, 1000000, 0}, {-7, 2, 1000000, 2}, {3, 0, 333333, 0}, {2000000, 1, 1, 1}};
  for (const Case& c : cases) {
    set_update_rate(c.rate, c.limit);
    EXPECT_EQ(update_step_ticks, c.step) << c.rate;
    EXPECT_EQ(max_catchup_updates, c.catchup) << c.limit;
  }
  set_update_rate(20, 5);
  EXPECT_EQ(get_update_step_usec(), 50000);
}

TEST_F(MainLoopTest, OneUpdatePerStepWithFramesBetween) {
  w.pump_cost = MS;
  w.render_cost = 4 * MS;
  w.quit_after_updates = 41;
  int64_t start = w.clock;
  run();
  EXPECT_EQ(w.updates, 41);
  // Each regular update advances the nominal clock by exactly one step.
  for (size_t i = 1; i < w.update_nominal.size(); i++)
    EXPECT_EQ(w.update_nominal[i] - w.update_nominal[i - 1], STEP) << i;
  // 40 steps take two seconds of the clock, give or take one frame.
  EXPECT_NEAR((double)(w.clock - start), 2.0 * TPS, 10.0 * MS);
  // Frames fill the time between updates.
  EXPECT_GT(w.renders, 41 * 5);
  EXPECT_EQ(w.events.find("UU"), std::string::npos) << "no update follows another while keeping up";
}

TEST_F(MainLoopTest, UpdateRingHoldsTheWorkTimeOfThePreviousUpdate) {
  w.pump_cost = MS;
  w.render_cost = 4 * MS;
  w.update_cost = 3 * MS;  // the pump before the work is not counted
  w.quit_after_updates = 10;
  update_time_ring[0] = 777;
  run();
  // Each update pass records the update before it; the first has none yet.
  EXPECT_EQ(update_ring_pos, 10);
  EXPECT_EQ(update_time_ring[0], 0);
  for (int i = 1; i < 10; i++)
    EXPECT_EQ(update_time_ring[i], 3000) << i;
  EXPECT_EQ(last_update_ticks, 3 * MS);
}

TEST_F(MainLoopTest, StallOfFourTenthsRunsSixUpdatesThenDropsTheBacklog) {
  w.pump_cost = MS;
  w.render_cost = 2 * MS;
  w.stall_at = 10;
  w.stall_ticks = 400 * MS;
  w.quit_after_updates = 20;
  run();
  // Update 10 and five catch-up updates run back to back, then one frame, then one
  // update at once (the clock restarted at the frame), then frames again.
  size_t at = 0;
  for (int u = 0; u < 10; u++)
    at = w.events.find('U', at) + 1;
  std::string after = w.events.substr(at - 1, 8);
  EXPECT_EQ(after, "UUUUUURU") << w.events;
  EXPECT_EQ(w.events.find("UUUUUUU"), std::string::npos) << "never more than six updates back to back";
  // Update 16 starts right after the frame (the clock restarted there), update 17
  // one step after it.
  EXPECT_LE(w.update_elapsed[15], STEP + 2 * MS);
  EXPECT_EQ(w.update_nominal[16] - w.update_nominal[15], STEP);
}

TEST_F(MainLoopTest, StallOverHalfASecondRunsExactlyOneUpdate) {
  w.pump_cost = MS;
  w.render_cost = 2 * MS;
  w.stall_at = 10;
  w.stall_ticks = 2 * TPS;  // a window drag
  w.quit_after_updates = 14;
  run();
  size_t at = 0;
  for (int u = 0; u < 10; u++)
    at = w.events.find('U', at) + 1;
  // After the stalled update 10: one update due at once, then frames.
  EXPECT_EQ(w.events.substr(at - 1, 3), "UUR") << w.events;
  EXPECT_NEAR((double)w.update_elapsed[10], (double)STEP, 1.0 * MS) << "the clock restarts one step back";
}

TEST_F(MainLoopTest, PredictionHeldToHalfAStepAndInterpolation) {
  // Every frame needs 40 ms from render to present (the device is busy meanwhile).
  w.pump_cost = MS;
  w.gpu_busy = 40 * MS;
  w.quit_after_updates = 30;
  run();
  // With the prediction at its cap of 25 ms the update becomes due at e = 25 ms,
  // without waiting for the pending frame.
  // (The clock moves in pumps of 1 ms and failed presents of 0.1 ms, and the update
  // pass pumps once before the update itself.)
  for (size_t i = 15; i < w.update_elapsed.size(); i++) {
    EXPECT_GE(w.update_elapsed[i], 25 * MS) << i;
    EXPECT_LE(w.update_elapsed[i], 27 * MS + MS / 2) << i;
  }
  // A frame is drawn for e + p/2 held to 0 .. one step, and time_ik is its
  // fraction of the step.
  ASSERT_GT(w.render_dt.size(), 20u);
  for (size_t i = 10; i < w.render_dt.size(); i++) {
    int64_t t = std::clamp<int64_t>(w.render_e[i] + 25 * MS / 2, 0, STEP);
    EXPECT_NEAR(w.render_dt[i], (float)t / TPS, 1e-6) << i;
    EXPECT_NEAR(w.render_ik[i], w.render_dt[i] / 0.05f, 1e-5) << i;
  }
}

TEST_F(MainLoopTest, ClockBeforeLastUpdateRestartsAtHalfAPredictedFrame) {
  w.pump_cost = MS;
  w.render_cost = 10 * MS;  // frames of 11 ms with the pump: prediction 11 ms
  w.stall_at = 10;
  w.stall_ticks = -3 * STEP;  // after update 10 the clock reads three steps earlier
  w.quit_after_updates = 20;
  run();
  // The frame after the jump is drawn for e = 0 plus half the prediction.
  ASSERT_GT(w.render_dt.size(), (size_t)w.renders_at_update[9]);
  EXPECT_NEAR(w.render_dt[w.renders_at_update[9]], 0.0055f, 0.0006f);
}

TEST_F(MainLoopTest, OnceASecondWorkCountsPresentedFrames) {
  w.pump_cost = MS;
  w.render_cost = 5 * MS;
  w.quit_after_updates = 75;  // 3.7 s
  run();
  EXPECT_EQ(w.periodic, 3);
  EXPECT_GT(last_fps, 20);
  // The frame ring holds the render-to-present time of each frame (5 ms + a pump).
  EXPECT_NEAR(frame_time_ring[(frame_ring_pos + 99) % 100], 6000, 1500);
  EXPECT_EQ(gpu_activity_ring[(frame_ring_pos + 99) % 100], -1) << "no GPU figure here";
}

TEST_F(MainLoopTest, DeviceThatCannotPresentSleepsAndKeepsUpdating) {
  w.pump_cost = MS / 10;
  w.present_works = false;
  w.device_ok = false;  // minimised: the device says it can't present
  w.quit_after_updates = 60;  // 3 s
  int64_t start = w.clock;
  run();
  EXPECT_EQ(w.presents, 0);
  EXPECT_EQ(w.periodic, 0) << "no presented frames, no once-a-second work";
  EXPECT_GT(w.sleeps, 100) << "a present that keeps failing must not spin";
  for (int ms : w.sleep_msec)
    EXPECT_LE(ms, 25);
  // Each sleep is half the whole milliseconds since the last update's nominal time,
  // and only when that time is behind the clock.
  for (size_t i = 0; i < w.sleep_msec.size(); i++) {
    EXPECT_GT(w.sleep_behind[i], 0) << i;
    EXPECT_EQ(w.sleep_msec[i], (int)(w.sleep_behind[i] / MS) / 2) << i << ": " << w.sleep_behind[i] << " ticks behind";
  }
  EXPECT_NEAR((double)(w.clock - start), 3.0 * TPS, 60.0 * MS) << "updates keep their pace";
  EXPECT_LT(w.calls, 5000) << "the loop sleeps instead of spinning";
}

TEST_F(MainLoopTest, BusyDeviceIsRetriedWithoutSleeping) {
  w.pump_cost = MS;
  w.gpu_busy = 8 * MS;  // presents fail for a while, the device itself is fine
  w.quit_after_updates = 30;
  run();
  EXPECT_EQ(w.sleeps, 0);
  EXPECT_GT(w.presents, 30);
}

TEST_F(MainLoopTest, QuitSeenInUpdatePumpLetsThatUpdateFinish) {
  w.pump_cost = MS;
  w.render_cost = 3 * MS;
  w.quit_in_pump_of_update = 5;
  w.quit_after_updates = 1000;
  run();
  EXPECT_EQ(w.updates, 5);
  EXPECT_EQ(w.events.back(), 'U') << "the loop leaves right after that update";
}

TEST_F(MainLoopTest, QuitPresentsThePendingFrameWaiting) {
  w.pump_cost = MS;
  w.gpu_busy = 1000 * MS;  // never presentable without waiting
  w.device_ok = true;
  w.quit_after_updates = 3;
  run();
  EXPECT_EQ(w.waited_presents, 1);
}

TEST_F(MainLoopTest, AlreadyQuittingRunsNothing) {
  quit_requested = true;
  run_main_loop();
  EXPECT_EQ(w.updates, 0);
  EXPECT_EQ(w.renders, 0);
}

std::string read_text(const std::string& path) {
  std::string text;
  if (FILE* f = fopen(path.c_str(), "rb")) {
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof(buf), f)) > 0)
      text.append(buf, n);
    fclose(f);
  }
  return text;
}

// The once-a-second work writes pending settings and forgets the collected file
// changes every time, developer keys or not.
TEST(PeriodicWork, FlushesSettingsAndClearsChangesEverySecond) {
  std::string home = getenv("XDG_DATA_HOME");
  std::string watched = home + "/periodic/";
  mkdir(home.c_str(), 0755);
  mkdir((home + "/TORVANE").c_str(), 0755);
  mkdir(watched.c_str(), 0755);
  std::string changed = watched + "changed.txt";
  // With the developer keys on the scene's reloads ask the virtual file system.
  ASSERT_TRUE(PHYSFS_init(nullptr));
  ASSERT_TRUE(PHYSFS_mount(home.c_str(), nullptr, 1));
  for (bool dev_keys : {false, true}) {
    use_dev_tools = dev_keys;
    init_file_notify();
    watch_real_dir(watched.c_str());
    FILE* f = fopen(changed.c_str(), "wb");
    ASSERT_TRUE(f);
    fputs("x", f);
    fclose(f);
    update_file_notify();
    ASSERT_TRUE(was_real_file_changed(changed.c_str()));
    close_app_config();
    set_config_int("periodic_probe", dev_keys ? 2 : 1);

    run_periodic_work();
    EXPECT_FALSE(was_real_file_changed(changed.c_str())) << "dev keys " << dev_keys;
    std::string settings = read_text(home + "/TORVANE/settings.cfg");
    EXPECT_NE(settings.find(dev_keys ? "periodic_probe=2" : "periodic_probe=1"), std::string::npos)
        << "dev keys " << dev_keys << "\n" << settings;
    close_file_notify();
  }
  use_dev_tools = false;
  close_app_config();
  PHYSFS_deinit();
}

}  // namespace
