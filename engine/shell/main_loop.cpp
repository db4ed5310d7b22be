// The fixed-step main loop.
#include "engine/render/mesh.h"
#include "engine/shell/main_loop.h"

#include <algorithm>
#include <cstring>

#include "engine/core/log.h"
#include "engine/core/settings.h"
#include "engine/core/stats.h"
#include "engine/core/utils.h"
#include "engine/core/watch.h"
#include "engine/render/d3d_device.h"
#include "engine/render/d3d_shaders.h"
#include "engine/render/d3d_textures.h"
#include "engine/shell/input.h"
#include "engine/shell/scene.h"
#include "engine/shell/steam_glue.h"
#include "engine/shell/window.h"
#include "libs/profiler/profiler.h"
#include "platform/win32/gpu_activity.h"

float time_dt = 0;
float time_ik = 0;
bool quit_requested = false;
int64_t update_step_ticks = 1;
int max_catchup_updates = 0;
int64_t update_clock = 0;
int64_t update_start_time = 0;
int64_t last_update_ticks = 0;

namespace {

constexpr profiler::color_t kLoopColor = 0xFFFFECB3;

UpdateStatsTracker periodicPerf("periodic");

void sleep_msec(int msec) { Sleep((DWORD)msec); }

int64_t ticks_to_usec(int64_t ticks, int64_t tps) { return ticks * 1000000 / tps; }

const profiler::BlockDescriptor* block_desc(const char* name) {
  return profiler::registerDescription(name, kLoopColor, __FILE__, __LINE__, profiler::BlockKind::Block);
}

// The render-to-present durations of the last five presented frames, oldest first,
// and their sum: the prediction of how long the next frame takes.
struct FrameTimePrediction {
  int64_t slots[5] = {};
  int64_t sum = 0;
  void add(int64_t d) {
    sum += d - slots[0];
    memmove(slots, slots + 1, sizeof(slots) - sizeof(slots[0]));
    slots[4] = d;
  }
};
FrameTimePrediction frame_prediction;

}  // namespace

const MainLoopServices default_main_loop_services = {
    get_ref_time, time_ticks_per_sec, processInput, start_scene_update, render_d3d, present_frame,
    check_d3d_device, sleep_msec, run_periodic_work, update_file_notify,
};
MainLoopServices main_loop_services = default_main_loop_services;

void set_update_rate(int updates_per_second, int catchup_limit) {
  int64_t rate = std::max(updates_per_second, 1);
  update_step_ticks = std::max<int64_t>(main_loop_services.ticks_per_sec() / rate, 1);
  max_catchup_updates = std::max(catchup_limit, 0);
}

int get_update_step_usec() { return (int)ticks_to_usec(update_step_ticks, main_loop_services.ticks_per_sec()); }

void end_update_timing() { last_update_ticks = main_loop_services.now() - update_start_time; }

void reset_update_time() {
  update_start_time = main_loop_services.now();
  reset_raw_mouse_delta();
}

void processInput() {
  PROFILE_BLOCK("processInput", kLoopColor);
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      quit_requested = true;
      continue;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  run_steam_callbacks();
  update_mouse_over();
}

// The message pump run before each splash frame.
void pump_messages() { processInput(); }

void run_periodic_work() {
  if (use_dev_tools) {
    reload_shaders(false);
    reload_textures(false);
    reload_meshes(false);
  }
  on_periodic_check();
  flush_app_config();
  clear_changed_files();
}

namespace {

// The loop's state from one step to the next.
struct LoopState {
  const MainLoopServices& services;
  int64_t ticks_per_sec;
  int64_t step_ticks;         // one update
  int catchup_limit;          // updates that may run back to back before a frame is shown
  int64_t stall_limit;        // a longer gap (a breakpoint, a suspended process) is not caught up
  const profiler::BlockDescriptor* render_loop_block;
  const profiler::BlockDescriptor* sleep_block;
  const profiler::BlockDescriptor* frame_event;

  bool frame_pending = false;  // rendered and not yet presented
  int64_t render_start = 0;    // when the pending frame's render began
  bool second_passed = false;  // the once-a-second work is due
  // Updates run back to back since frames were last drawn between updates; -1 after a
  // pass of the frame loop that stayed for another frame.
  int catchup_updates = 0;
  int64_t fps_second_start = 0;
  int frames_this_second = 0;
};

void clear_loop_stats() {
  last_update_ticks = 0;
  update_ring_pos = 0;
  frame_ring_pos = 0;
  memset(update_time_ring, 0, sizeof(update_time_ring));
  memset(frame_time_ring, 0, sizeof(frame_time_ring));
  memset(gpu_activity_ring, 0, sizeof(gpu_activity_ring));
}

void run_periodic_work_if_due(LoopState& loop) {
  if (!loop.second_passed)
    return;
  loop.second_passed = false;
  if (periodicPerf.id < 0)
    register_update_stats_tracker(&periodicPerf);
  int64_t stamp = loop.services.now();
  loop.services.periodic();
  periodicPerf.accumulated += loop.services.now() - stamp;
}

// One fixed step: the statistics of the last one, a pending window-mode change, input,
// the once-a-second work when due, then the scene's update.
void run_update(LoopState& loop) {
  update_time_ring[update_ring_pos] = (int)ticks_to_usec(last_update_ticks, loop.ticks_per_sec);
  store_update_stats();
  update_ring_pos = (update_ring_pos + 1) % STATS_RING_SIZE;
  if (window_mode_change_pending) {
    window_mode_change_pending = false;
    apply_window_mode();
  }
  loop.services.process_input();
  update_start_time = loop.services.now();
  reset_update_stats();
  time_dt = (float)((double)loop.step_ticks / (double)loop.ticks_per_sec);
  time_ik = 1.0f;
  run_periodic_work_if_due(loop);
  loop.services.update(time_dt);
  reset_frame_input();
}

// A presented frame's render-to-present time, GPU figure and frame count; a whole
// second of frames makes the frame rate and the once-a-second work due.
void count_presented_frame(LoopState& loop, int64_t presented) {
  int64_t duration = presented - loop.render_start;
  frame_time_ring[frame_ring_pos] = (int)ticks_to_usec(duration, loop.ticks_per_sec);
  frame_prediction.add(duration);
  int gpu = 0;
  gpu_activity_ring[frame_ring_pos] = get_gpu_activity(&gpu) ? gpu : -1;
  frame_ring_pos = (frame_ring_pos + 1) % STATS_RING_SIZE;
  loop.frames_this_second++;
  if (presented - loop.fps_second_start >= loop.ticks_per_sec) {
    last_fps = loop.frames_this_second;
    loop.fps_second_start = presented;
    loop.frames_this_second = 0;
    loop.second_passed = true;
  }
}

// True when the pending frame went to the screen.
bool present_pending_frame(LoopState& loop) {
  if (!loop.frame_pending || !loop.services.present(false))
    return false;
  profiler::storeEvent(loop.frame_event);
  loop.frame_pending = false;
  count_presented_frame(loop, loop.services.now());
  return true;
}

// With no frame to present, or a present that failed, ask the device: one that can't
// draw (minimised, hidden, a display mode that failed to reset) makes the loop wait
// instead of spinning on presents that keep failing.
void wait_while_device_cannot_draw(LoopState& loop) {
  if (loop.services.check_device())
    return;
  int64_t behind = loop.services.now() - update_clock;
  if (behind > 0) {
    profiler::ScopedBlock sleep_block(loop.sleep_block);
    loop.services.sleep((int)(behind * 1000 / loop.ticks_per_sec) / 2);
  }
}

// Ticks since the last update's time on the update clock. A clock a whole step behind
// it, or further ahead than the stall limit, moves the update clock to now.
int64_t ticks_since_update(const LoopState& loop, int64_t now) {
  int64_t since = now - update_clock;
  if (since <= -loop.step_ticks) {
    update_clock = now;
    since = 0;
  }
  if (since > loop.stall_limit) {
    update_clock = now - loop.step_ticks;
    since = loop.step_ticks;
  }
  return since;
}

// A frame interpolated to the point of the step where it is expected to be seen:
// halfway through its predicted render time.
void render_frame(LoopState& loop, int64_t now, int64_t since_update, int64_t predicted) {
  int64_t t = std::clamp<int64_t>(since_update + predicted / 2, 0, loop.step_ticks);
  time_dt = (float)((double)t / (double)loop.ticks_per_sec);
  time_ik = time_dt / (float)((double)loop.step_ticks / (double)loop.ticks_per_sec);
  loop.frame_pending = loop.services.render(time_dt);
  if (loop.frame_pending)
    loop.render_start = now;
}

// Renders a frame when one fits before the next update; true when the next update is
// due (or the loop is to end).
bool frame_step(LoopState& loop, int64_t now) {
  int64_t since_update = ticks_since_update(loop, now);
  int64_t predicted = std::min(frame_prediction.sum / 5, loop.step_ticks / 2);
  bool render_now = false;
  if (since_update + predicted >= loop.step_ticks) {
    // The next update is due before another frame could be shown.
    if (loop.frame_pending) {
      update_clock += loop.step_ticks;
      return true;
    }
    loop.catchup_updates++;
    if (loop.catchup_updates <= loop.catchup_limit) {
      update_clock += loop.step_ticks;
      return true;
    }
    // As many updates ran back to back as may: a frame first.
    render_now = true;
  } else if (!loop.frame_pending) {
    render_now = true;
  }
  if (render_now)
    render_frame(loop, now, since_update, predicted);
  if (loop.catchup_updates > loop.catchup_limit) {
    // Too far behind: drop the backlog and start counting again from now.
    loop.catchup_updates = 0;
    update_clock = loop.services.now();
    return true;
  }
  loop.catchup_updates = -1;
  return quit_requested;
}

// Presents, waits and renders until the next update is due.
void run_frames_until_update(LoopState& loop) {
  for (;;) {
    profiler::ScopedBlock render_loop_block(loop.render_loop_block);
    loop.services.file_notify();
    if (!present_pending_frame(loop))
      wait_while_device_cannot_draw(loop);
    loop.services.process_input();
    if (frame_step(loop, loop.services.now()))
      return;
  }
}

}  // namespace

void run_main_loop() {
  static const profiler::BlockDescriptor* main_loop_desc = block_desc("main loop");
  static const profiler::BlockDescriptor* render_loop_desc = block_desc("render loop");
  static const profiler::BlockDescriptor* sleep_desc = block_desc("sleep");
  static const profiler::BlockDescriptor* frame_desc =
      profiler::registerDescription("FRAME", kLoopColor, __FILE__, __LINE__, profiler::BlockKind::Frame);

  const MainLoopServices& services = main_loop_services;
  const int64_t ticks_per_sec = services.ticks_per_sec();
  LoopState loop{services, ticks_per_sec, update_step_ticks, max_catchup_updates, ticks_per_sec / 2,
                 render_loop_desc, sleep_desc, frame_desc};
  update_clock = services.now();
  loop.fps_second_start = update_clock;
  clear_loop_stats();

  while (!quit_requested) {
    profiler::beginBlock(main_loop_desc);
    run_update(loop);
    if (!quit_requested)
      run_frames_until_update(loop);
    profiler::endBlock();
  }

  if (loop.frame_pending)
    services.present(true);
  reset_frame_input();
}
