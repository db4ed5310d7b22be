// The real play frame at 1280 x 720, headless: the scene started as the game starts
// it (our module, the title's new game, a generated level and its objects), a few
// seconds of play, debris, then render_scene through the device's frame as the main
// loop draws it (GPU work included: every frame waits for the device). In the same
// run the fill floor: as many full-screen passes of a one-texture shader as the frame
// shades screens' worth of fragments (counted by the driver's pipeline statistics), each
// of them shaded in full, drawn into the frame's three targets as bench_world_draw's
// floor is.
//   BM_PlayFrame      the frame
//   BM_FillFloor      the floor
//   BM_FrameAndFloor  both, alternately in each iteration, so that the machine's drift
//                     over a run weighs on both alike; the closing lines report its
//                     frame time, floor and ratio (the figure to keep at or below 1.3)
// llvmpipe uses 8 rasteriser threads unless LP_NUM_THREADS says otherwise. With
// KEEP_SCENE_HOME=1 the picture of the measured frame is kept and its folder printed.
#include <benchmark/benchmark.h>
#include <epoxy/gl.h>
#include <physfs.h>
#include <stdlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include "engine/render/d3d_device.h"
#include "engine/render/d3d_shaders.h"
#include "engine/render/d3d_states.h"
#include "engine/render/d3d_textures.h"
#include "engine/render/d3d_vbuf.h"
#include "engine/render/postfx.h"
#include "engine/render/screenshot.h"
#include "engine/shell/modes/game_flow.h"
#include "engine/shell/modes/game_mode.h"
#include "engine/shell/scene.h"
#include "engine/world/camera.h"
#include "engine/world/junk.h"
#include "tests/shell/support/real_scene.h"
#include "tests/support/draw_time.h"
#include "tests/support/fill_count.h"

namespace {

constexpr int W = 1280, H = 720;
constexpr int DEBRIS = 400;

// The fragments one frame shades and the samples it writes, in screens' worth, and
// the floor's whole passes.
double frame_shaded = 0, frame_written = 0;
int floor_passes = 0;

Shader* floor_shader = nullptr;
Texture* floor_texture = nullptr;
// BM_FrameAndFloor's figures, for the closing lines.
double frame_ms = 0, floor_ms = 0;
// The rasteriser's threads' CPU time per frame: the process's less the main thread's,
// which spins while it waits for the device. Other programs on the machine disturb it
// less than the wall time.
double frame_raster_ms = 0, floor_raster_ms = 0;

bool start() {
  if (!start_real_scene(BENCH_BIN_DIR, BENCH_FLOOR_DIR, W, H, false))
    return false;

  // The title's new game, then three seconds of play.
  reset_game();
  start_new_level();
  set_game_mode(play_mode);
  for (int i = 0; i < 60; i++)
    start_scene_update(0.05f);

  // Debris scattered over the view, standing still.
  std::mt19937 rng(5);
  alignas(16) float cam[4];
  _mm_store_ps(cam, get_camera_pos());
  for (int i = 0; i < DEBRIS; i++) {
    float x = cam[0] + (float)(rng() % 300) - 150.0f, y = cam[1] + (float)(rng() % 160) - 80.0f;
    add_junk(_mm_setr_ps(x, y, 0, 1), _mm_setzero_ps(), 0xFF000000u | (rng() & 0xFFFFFF), 1000.0f, 0.0f);
  }

  // One frame's fill: the fragments its draws shade set the floor's number of passes.
  bool drawn = false;
  Fill fill = fill_of(W, H, [&] { drawn = render_d3d(0.025f); });
  if (!drawn)
    return false;
  present_frame(true);
  frame_written = fill.written;
  frame_shaded = fill.shaded;
  floor_passes = std::max(1, (int)std::lround(frame_shaded));

  // The world-drawing benchmark's floor shader: one texture read per pixel.
  floor_shader = create_shader("floor.sh", nullptr);
  floor_texture = create_texture(256, 256, 1, 1);
  int pitch = 0;
  auto* bits = (uint8_t*)lock_texture(floor_texture, &pitch, 0);
  for (int y = 0; bits && y < 256; y++)
    for (int x = 0; x < 256; x++)
      ((uint32_t*)(bits + y * pitch))[x] = 0xFF000000u | (rng() & 0xFFFFFF);
  unlock_texture(floor_texture, 0);
  return floor_shader && floor_texture;
}

void finish_frame() {
  present_frame(true);
  flush_gpu();
}

// One frame at a time t spread over a step, as the loop draws them; false when the
// frame could not be drawn.
bool draw_frame(int n) {
  float t = 0.005f + 0.01f * (float)(n % 5);
  if (!render_d3d(t))
    return false;
  finish_frame();
  return true;
}

// The floor's passes, each shaded in full, into the frame's targets in the frame's
// order: the scene image (with the scene's depth, its test off) for all but three, the
// post-effect target for two, then the back buffer for the last, which reads the scene
// image and so waits for the passes before it, as the frame's final pass does. With the
// depth attached llvmpipe keeps every pass: without it, an opaque full-screen draw
// drops the draws of its target before it.
bool draw_floor() {
  if (!begin_scene())
    return false;
  set_blend_none();
  set_zenable(false);
  set_atest(0);
  set_shader(floor_shader);
  set_texture(0, floor_texture);
  set_scene_target();
  for (int i = 0; i < std::max(1, floor_passes - 3); i++)
    draw_postfx();
  set_texture_target(get_postfx_target(), 0, true);
  draw_postfx();
  draw_postfx();
  set_backbuffer_target();
  set_texture(0, scene_image);
  draw_postfx();
  set_zenable(true);
  end_scene();
  finish_frame();
  return true;
}

void BM_PlayFrame(benchmark::State& state) {
  if (!d3d) {
    state.SkipWithError("no device");
    return;
  }
  int n = 0;
  Spent spent;
  for (auto _ : state) {
    bool drawn = false;
    time_of(spent, [&] { drawn = draw_frame(n++); });
    if (!drawn) {
      state.SkipWithError("the frame was not rendered");
      return;
    }
  }
  double count = (double)state.iterations();
  state.counters["fps"] = benchmark::Counter(count, benchmark::Counter::kIsRate);
  state.counters["raster_cpu_ms"] = spent.raster() / count * 1000;
  state.counters["main_cpu_ms"] = spent.main_cpu / count * 1000;
}

void BM_FillFloor(benchmark::State& state) {
  if (!d3d) {
    state.SkipWithError("no device");
    return;
  }
  // The fragments the floor shades, in screens' worth: its number of passes when
  // each is shaded in full.
  state.counters["shaded"] = fill_of(W, H, [] { draw_floor(); }).shaded;
  Spent spent;
  for (auto _ : state) {
    bool drawn = false;
    time_of(spent, [&] { drawn = draw_floor(); });
    if (!drawn) {
      state.SkipWithError("no scene");
      return;
    }
  }
  double count = (double)state.iterations();
  state.counters["fps"] = benchmark::Counter(count, benchmark::Counter::kIsRate);
  state.counters["passes"] = floor_passes;
  state.counters["raster_cpu_ms"] = spent.raster() / count * 1000;
}

void BM_FrameAndFloor(benchmark::State& state) {
  if (!d3d) {
    state.SkipWithError("no device");
    return;
  }
  Spent frame, floor;
  int n = 0;
  for (auto _ : state) {
    bool drawn = false, floor_drawn = false;
    double wall = time_of(frame, [&] { drawn = draw_frame(n++); });
    wall += time_of(floor, [&] { floor_drawn = draw_floor(); });
    if (!drawn || !floor_drawn) {
      state.SkipWithError("the frame or the floor was not rendered");
      return;
    }
    state.SetIterationTime(wall);
  }
  double count = (double)state.iterations();
  frame_ms = frame.wall / count * 1000;
  floor_ms = floor.wall / count * 1000;
  frame_raster_ms = frame.raster() / count * 1000;
  floor_raster_ms = floor.raster() / count * 1000;
  state.counters["frame_ms"] = frame_ms;
  state.counters["floor_ms"] = floor_ms;
  state.counters["ratio"] = frame.wall / floor.wall;
  state.counters["raster_ratio"] = frame.raster() / floor.raster();
}

}  // namespace

BENCHMARK(BM_PlayFrame)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
BENCHMARK(BM_FillFloor)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
BENCHMARK(BM_FrameAndFloor)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(6.0);

int main(int argc, char** argv) {
  setenv("LP_NUM_THREADS", "8", 0);
  setenv("TORVANE_HEADLESS", "1", 1);
  benchmark::Initialize(&argc, argv);
  if (!start())
    fprintf(stderr, "bench_frame: the scene could not be started\n");
  // One picture of the measured frame, to look at.
  if (d3d && render_d3d(0.025f)) {
    finish_frame();
    take_screenshot();
  }
  benchmark::RunSpecifiedBenchmarks();
  if (frame_ms > 0 && floor_ms > 0)
    printf("frame %.2f ms (it shades %.2f and writes %.2f screens of fragments), floor of %d full-screen passes "
           "%.2f ms, ratio %.2f (target at most 1.30); LP_NUM_THREADS=%s\n",
           frame_ms, frame_shaded, frame_written, floor_passes, floor_ms, frame_ms / floor_ms,
           getenv("LP_NUM_THREADS"));
  if (frame_raster_ms > 0 && floor_raster_ms > 0)
    printf("rasteriser CPU time: frame %.2f ms, floor %.2f ms, ratio %.2f\n", frame_raster_ms, floor_raster_ms,
           frame_raster_ms / floor_raster_ms);
  if (getenv("KEEP_SCENE_HOME"))
    printf("picture of the frame: %s/TORVANE/shots/\n", real_scene_home().c_str());
  if (d3d)
    close_real_scene();
  benchmark::Shutdown();
  return 0;
}
