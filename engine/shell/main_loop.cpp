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

void run_main_loop() {
  static const profiler::BlockDescriptor* main_loop_desc = block_desc("main loop");
  static const profiler::BlockDescriptor* render_loop_desc = block_desc("render loop");
  static const profiler::BlockDescriptor* sleep_desc = block_desc("sleep");
  static const profiler::BlockDescriptor* frame_desc =
      profiler::registerDescription("FRAME", kLoopColor, __FILE__, __LINE__, profiler::BlockKind::Frame);

  const MainLoopServices& s = main_loop_services;
  const int64_t tps = s.ticks_per_sec();
  const int64_t S = update_step_ticks;
  const int L = max_catchup_updates;
  const int64_t stall_limit = tps / 2;  // 500 ms

  bool frame_pending = false;
  bool second_passed = false;
  int n = 0;
  int64_t render_start = 0;
  update_clock = s.now();
  int64_t fps_second_start = update_clock;
  int frames_this_second = 0;
  last_update_ticks = 0;
  update_ring_pos = 0;
  frame_ring_pos = 0;
  memset(update_time_ring, 0, sizeof(update_time_ring));
  memset(frame_time_ring, 0, sizeof(frame_time_ring));
  memset(gpu_activity_ring, 0, sizeof(gpu_activity_ring));

  while (!quit_requested) {
    // ---- one update pass ----
    profiler::beginBlock(main_loop_desc);
    update_time_ring[update_ring_pos] = (int)ticks_to_usec(last_update_ticks, tps);
    store_update_stats();
    update_ring_pos = (update_ring_pos + 1) % STATS_RING_SIZE;
    if (window_mode_change_pending) {
      window_mode_change_pending = false;
      apply_window_mode();
    }
    s.process_input();
    update_start_time = s.now();
    reset_update_stats();
    time_dt = (float)((double)S / (double)tps);
    time_ik = 1.0f;
    if (second_passed) {
      second_passed = false;
      if (periodicPerf.id < 0)
        register_update_stats_tracker(&periodicPerf);
      int64_t stamp = s.now();
      s.periodic();
      periodicPerf.accumulated += s.now() - stamp;
    }
    s.update(time_dt);
    reset_frame_input();
    if (quit_requested) {
      profiler::endBlock();
      break;
    }

    // ---- frames until the next update is due ----
    for (;;) {
      profiler::ScopedBlock render_loop_block(render_loop_desc);
      s.file_notify();
      bool presented_now = false;
      if (frame_pending) {
        if (s.present(false)) {
          presented_now = true;
          profiler::storeEvent(frame_desc);
          frame_pending = false;
          int64_t presented = s.now();
          int64_t d = presented - render_start;
          frame_time_ring[frame_ring_pos] = (int)ticks_to_usec(d, tps);
          frame_prediction.add(d);
          int gpu = 0;
          gpu_activity_ring[frame_ring_pos] = get_gpu_activity(&gpu) ? gpu : -1;
          frame_ring_pos = (frame_ring_pos + 1) % STATS_RING_SIZE;
          frames_this_second++;
          if (presented - fps_second_start >= tps) {
            last_fps = frames_this_second;
            fps_second_start = presented;
            frames_this_second = 0;
            second_passed = true;
          }
        }
      }
      // With no frame to present, or a present that failed, ask the device: one that
      // can't draw (minimised, hidden, a display mode that failed to reset) makes the
      // loop wait instead of spinning on presents that keep failing.
      if (!presented_now && !s.check_device()) {
        int64_t behind = s.now() - update_clock;
        if (behind > 0) {
          profiler::ScopedBlock sleep_block(sleep_desc);
          s.sleep((int)(behind * 1000 / tps) / 2);
        }
      }
      s.process_input();

      int64_t T = s.now();
      int64_t e = T - update_clock;
      if (e <= -S) {
        update_clock = T;
        e = 0;
      }
      if (e > stall_limit) {
        update_clock = T - S;
        e = S;
      }
      int64_t p = std::min(frame_prediction.sum / 5, S / 2);

      bool render_now = false;
      if (e + p >= S) {
        if (frame_pending) {
          update_clock += S;
          break;
        }
        n++;
        if (n <= L) {
          update_clock += S;
          break;
        }
        render_now = true;
      } else if (!frame_pending) {
        render_now = true;
      }
      if (render_now) {
        int64_t t = std::clamp<int64_t>(e + p / 2, 0, S);
        time_dt = (float)((double)t / (double)tps);
        time_ik = time_dt / (float)((double)S / (double)tps);
        frame_pending = s.render(time_dt);
        if (frame_pending)
          render_start = T;
      }
      if (n > L) {
        // Too far behind: drop the backlog and start counting again from now.
        n = 0;
        update_clock = s.now();
        break;
      }
      n = -1;
      if (quit_requested)
        break;
    }
    profiler::endBlock();
  }

  if (frame_pending)
    s.present(true);
  reset_frame_input();
}
