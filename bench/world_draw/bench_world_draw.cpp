// One frame of the play scene's world drawing, headless at 1280 x 720, in the game's
// order: both layers of a generated level, the backdrop behind them, 300 sprites, debris
// and the post-effects (six full-screen passes). In the same run, the floor: six
// full-screen passes into the frame's targets, drawn by floor.sh (one point read of a
// screen-sized texture, written opaque through d3d9.inc's output helper), each shaded
// in full (the frame's backdrop, depth-tested behind the level, shades only its holes):
//   backdrop            scene image, scene depth attached, depth test off
//   level layers (2)    scene image, depth test on, the first writing depth
//   depth slices (2)    post-effect target, scene depth, depth test on, no writes
//   final composite     back buffer, no depth, reading the scene image
// The first five read a texture the frame never draws into, so that no pass waits for
// another before the last, as in the frame. The scene's depth stays attached where the
// frame has it: llvmpipe drops every earlier draw of a target without depth once an
// opaque full-screen draw covers it, which would leave one pass shaded of five.
// Every measured frame waits for the device to finish (glFinish, which sleeps).
//   BM_WorldFrame      the frame
//   BM_FloorPasses     the floor
//   BM_FrameAndFloor   both, alternately in each iteration; reports frame_ms,
//                      floor_ms and their ratio (the figure to keep at or below 1.3),
//                      and the same in CPU time of all the process's threads
//   BM_FramePart       each part of the frame alone
// With WORLD_DRAW_PICTURE=file.png the frame's picture is written there first.
#include <benchmark/benchmark.h>
#include <epoxy/gl.h>
#include <physfs.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "engine/gen/level_compose.h"
#include "engine/gen/level_tiles.h"
#include "engine/render/background.h"
#include "engine/render/d3d_device.h"
#include "engine/render/d3d_shaders.h"
#include "engine/render/d3d_states.h"
#include "engine/render/d3d_textures.h"
#include "engine/render/d3d_vbuf.h"
#include "engine/render/dynVBWriter.h"
#include "engine/render/image.h"
#include "engine/render/level_renderer.h"
#include "engine/render/postfx.h"
#include "engine/render/scene_view.h"
#include "engine/render/sprite.h"
#include "engine/shared/level_map.h"
#include "engine/shared/palette.h"
#include "engine/shell/modes/game_flow.h"
#include "engine/world/junk.h"
#include "tests/support/draw_time.h"
#include "tests/support/fill_count.h"
#include "tests/support/stand_in_module.h"

namespace {

constexpr int W = 1280, H = 720, SCALE = 4, SPRITES = 300, DEBRIS = 300;

// A position kept in a vector (__m128 drops its alignment attribute in templates).
struct alignas(16) Vec4f {
  float v[4];
};

struct World {
  bool ready = false;
  int left = 0, bottom = 0;
  std::vector<Sprite*> sprites;
  std::vector<Vec4f> positions;
  Shader* floor = nullptr;
  Texture* floor_source = nullptr;  // what the floor's passes read
};

World world;

// A sprite of random palette pixels with a clear border, written to the write folder.
void write_sprite(const char* name, int w, int h, std::mt19937& rng) {
  std::vector<uint8_t> rgba(size_t(w) * h * 4);
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) {
      bool clear = x == 0 || y == 0 || x == w - 1 || y == h - 1 || rng() % 7 == 0;
      uint32_t c = clear ? 0 : main_palette[1 + rng() % 32];
      uint8_t* p = &rgba[(size_t(y) * w + x) * 4];
      p[0] = uint8_t(c >> 16);
      p[1] = uint8_t(c >> 8);
      p[2] = uint8_t(c);
      p[3] = uint8_t(c >> 24);
    }
  save_png(name, w, h, 4, rgba.data(), w * 4);
}

// The play scene's camera: the screen's bottom-left corner at (left, bottom).
void set_camera(int left, int bottom) {
  float w = float(W) / SCALE, h = float(H) / SCALE;
  float cx = left + w / 2 + 0.5f / SCALE, cy = bottom + h / 2 - 0.5f / SCALE;
  Matrix44 proj = matrix_identity();
  proj.m[0][0] = 2 / w;
  proj.m[1][1] = 2 / h;
  proj.m[2][2] = 1 / 1999.0f;
  proj.m[3][2] = -1 / 1999.0f;
  set_view_tm(matrix_translation(-cx, -cy, 180));
  set_proj_tm(proj);
  Matrix44 g;
  get_glob_tm(g);
  set_vs_consts(0, &g.m[0][0], 4);
}

void draw_world_frame();

bool setup() {
  if (world.ready)
    return true;
  std::string src = BENCH_SOURCE_DIR;
  // A per-user folder of its own (the sprites and the shader cache), gone at exit.
  static char home_dir[] = "/tmp/bench_world_draw-XXXXXX";
  if (!mkdtemp(home_dir))
    return false;
  atexit([] { std::filesystem::remove_all(home_dir); });
  std::string home = std::string(home_dir) + "/";
  PHYSFS_init(nullptr);
  PHYSFS_permitSymbolicLinks(1);
  PHYSFS_setWriteDir(home.c_str());
  PHYSFS_mount(home.c_str(), nullptr, 1);
  PHYSFS_mount((src + "/data/").c_str(), nullptr, 1);
  PHYSFS_mount((src + "/bench/world_draw/").c_str(), nullptr, 1);
  d3d_no_scene_target = true;
  voxel_scale = SCALE;  // as the game's layout sets it for this screen
  if (!init_d3d(nullptr, W, H))
    return false;
  common_vb_writer.create(65536, 4);

  install_stand_in_module(STAND_IN_LEVEL);
  load_level_tiles();
  cur_level = 3;
  game_rnd_seed = 0x9E3779B97F4A7C15ull;
  generate_level();
  // The view: centred on the hero's start, as a level begins.
  float hx = LEVEL_WIDTH / 2, hy = LEVEL_HEIGHT / 2;
  for (const ModuleCall& c : module_calls)
    if (c.kind == ModuleCallKind::Hero) {
      hx = c.f[0];
      hy = c.f[1];
    }
  world.left = std::clamp(int(hx) - W / SCALE / 2, 1, LEVEL_WIDTH - W / SCALE - 1);
  world.bottom = std::clamp(int(hy) - H / SCALE / 2, 1, LEVEL_HEIGHT - H / SCALE - 1);

  // Sprites of the game's sizes: bullets, bonuses, enemies and big ones.
  std::mt19937 rng(11);
  PHYSFS_mkdir("sprites");
  write_sprite("sprites/bullet.png", 4, 4, rng);
  write_sprite("sprites/bonus.png", 8, 8, rng);
  write_sprite("sprites/enemy.png", 16, 16, rng);
  write_sprite("sprites/big.png", 24, 24, rng);
  init_sprites();
  init_background();
  init_postfx();
  init_level_rendering();
  init_junk();
  level_renderer = create_level_renderer(&level_data[0][0], 3, 3 * LEVEL_WIDTH, LEVEL_WIDTH, LEVEL_HEIGHT,
                                         W / SCALE + 2, H / SCALE + 2);
  scene_image = create_screen_render_target();
  world.floor = create_shader("floor.sh", nullptr);

  // Half of them bullets, a fifth bonuses, a fifth enemies, a tenth big.
  const char* names[10] = {"bullet", "bullet", "bullet", "bullet", "bullet", "bonus", "bonus", "enemy", "enemy", "big"};
  std::uniform_real_distribution<float> x(0, W / SCALE), y(0, H / SCALE);
  for (int i = 0; i < SPRITES; i++) {
    world.sprites.push_back(get_sprite(names[i % 10], true));
    world.positions.push_back(Vec4f{{world.left + x(rng), world.bottom + y(rng), 0, 0}});
  }
  for (int i = 0; i < DEBRIS; i++)
    add_junk(v_make(world.left + x(rng), world.bottom + y(rng), -1, 0), v_make(1, 2, 0, 0),
             main_palette[1 + rng() % 32], 1e9f, 0);
  world.floor_source = create_screen_render_target();
  world.ready = scene_image && world.floor && world.floor_source;
  if (world.ready) {
    // A picture of the frame to read: the floor source.
    draw_world_frame();
    copy_backbuffer_to_texture(world.floor_source);
  }
  return world.ready;
}

// Waits until the rasteriser has drawn everything. glFinish sleeps until then, where
// the engine's flush_gpu polls a query: the polling thread's spinning would count in the
// process's CPU time.
void finish_device() { glFinish(); }

// The frame's parts, in drawing order.
void begin_scene_pass() {
  set_camera(world.left, world.bottom);
  set_texture_target(scene_image, 0, true);
  clear_view_z();
}

void backdrop_pass() { render_background(0x00725020, 0x0099723F); }

void level_pass() {
  start_level_rendering();
  int lw = W / SCALE + 2, lh = H / SCALE + 2;
  render_area(level_renderer, world.left - 1, world.bottom - 1, world.left - 1 + lw, world.bottom - 1 + lh, 0);
  end_level_rendering();
}

void sprite_pass() {
  start_sprite_render();
  for (size_t i = 0; i < world.sprites.size(); i++)
    world.sprites[i]->draw(_mm_load_ps(world.positions[i].v), i % 2 == 1, false, 0xFFFFFFFF, 0);
  end_sprite_render();
}

void debris_pass() { render_junk(0); }

// The frame's parts in drawing order.
void (*const parts[])() = {level_pass, backdrop_pass, sprite_pass, debris_pass, apply_postfx};

// The frame's parts before part `part`, over the colour a whole frame left.
void draw_parts_before(int part) {
  draw_world_frame();
  begin_scene_pass();
  for (int i = 0; i < part; i++)
    parts[i]();
  finish_device();
}

void draw_world_frame() {
  begin_scene_pass();
  for (auto part : parts)
    part();
  finish_device();
}

void draw_floor() {
  set_shader(world.floor);
  set_blend_none();
  set_atest(0);
  set_texture_filter(0, false);
  set_texture(0, world.floor_source);
  set_texture_target(scene_image, 0, true);
  set_zenable(false);
  draw_postfx();
  set_zenable(true);
  set_zwrite(true);
  draw_postfx();
  set_zwrite(false);
  draw_postfx();
  set_texture_target(get_postfx_target(), 0, true);
  draw_postfx();
  draw_postfx();
  set_zwrite(true);
  set_texture(0, scene_image);
  set_backbuffer_target();
  draw_postfx();
  finish_device();
}

// One part of the frame alone, over the colour a whole frame left and the depth the
// frame's parts before it leave.
void BM_FramePart(benchmark::State& state) {
  if (!setup())
    return state.SkipWithError("no device");
  static const char* const names[] = {"level", "backdrop", "sprites", "debris", "postfx"};
  state.SetLabel(names[state.range(0)]);
  static int part;
  part = int(state.range(0));
  draw_parts_before(part);
  Fill fill = fill_of(W, H, [] {
    parts[part]();
    finish_device();
  });
  state.counters["shaded"] = fill.shaded;
  state.counters["written"] = fill.written;
  Spent spent;
  for (auto _ : state) {
    draw_parts_before(part);
    state.SetIterationTime(time_of(spent, [] {
      parts[part]();
      finish_device();
    }));
  }
  state.counters["cpu_ms"] = spent.cpu / double(state.iterations()) * 1000;
}
BENCHMARK(BM_FramePart)->DenseRange(0, 4)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_WorldFrame(benchmark::State& state) {
  if (!setup())
    return state.SkipWithError("no device");
  for (auto _ : state)
    draw_world_frame();
}
BENCHMARK(BM_WorldFrame)->Unit(benchmark::kMillisecond);

void BM_FloorPasses(benchmark::State& state) {
  if (!setup())
    return state.SkipWithError("no device");
  for (auto _ : state)
    draw_floor();
}
BENCHMARK(BM_FloorPasses)->Unit(benchmark::kMillisecond);

void BM_FrameAndFloor(benchmark::State& state) {
  if (!setup())
    return state.SkipWithError("no device");
  Spent frame, floor;
  for (auto _ : state)
    state.SetIterationTime(time_of(frame, draw_world_frame) + time_of(floor, draw_floor));
  double n = double(state.iterations());
  state.counters["frame_ms"] = frame.wall / n * 1000;
  state.counters["floor_ms"] = floor.wall / n * 1000;
  state.counters["ratio"] = frame.wall / floor.wall;
  // The rasteriser's threads' work, which other programs on the machine disturb less.
  state.counters["frame_cpu_ms"] = frame.cpu / n * 1000;
  state.counters["floor_cpu_ms"] = floor.cpu / n * 1000;
  state.counters["cpu_ratio"] = frame.cpu / floor.cpu;
  // The main thread's own work: while it records a pass, the rasteriser waits for it.
  state.counters["frame_main_cpu_ms"] = frame.main_cpu / n * 1000;
}
BENCHMARK(BM_FrameAndFloor)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(3.0);

// The back buffer after one frame, as an opaque RGB picture.
bool write_frame_picture(const char* path) {
  if (!setup())
    return false;
  draw_world_frame();
  Texture* copy = create_screen_render_target();
  int pitch = 0;
  const uint8_t* bits = copy && copy_backbuffer_to_texture(copy) ? (const uint8_t*)read_render_target(copy, &pitch) : nullptr;
  std::vector<uint8_t> rgba(size_t(W) * H * 4);
  for (int y = 0; bits && y < H; y++)
    for (int x = 0; x < W; x++) {
      const uint8_t* p = bits + size_t(y) * pitch + x * 4;  // B, G, R, A
      uint8_t* q = &rgba[(size_t(y) * W + x) * 4];
      q[0] = p[2];
      q[1] = p[1];
      q[2] = p[0];
      q[3] = 255;
    }
  if (bits)
    end_read_render_target(copy);
  destroy_texture(copy);
  if (!bits)
    return false;
  // Saved in the bench's own write folder, then copied to the path asked for.
  if (!save_png("frame.png", W, H, 4, rgba.data(), W * 4))
    return false;
  std::error_code error;
  std::filesystem::copy_file(std::string(PHYSFS_getWriteDir()) + "frame.png", path,
                             std::filesystem::copy_options::overwrite_existing, error);
  return !error;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (const char* picture = getenv("WORLD_DRAW_PICTURE"))
    if (!write_frame_picture(picture))
      fprintf(stderr, "bench_world_draw: the picture could not be written to %s\n", picture);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
