// A 1280x720 frame of a few thousand alpha-blended sprites drawn through a render
// batch and the vertex ring, headless; reports frames per second (GPU work included:
// every frame waits for the device to finish).
#include "engine/render/d3d_device.h"
#include "engine/render/d3d_shaders.h"
#include "engine/render/d3d_states.h"
#include "engine/render/d3d_textures.h"
#include "engine/render/d3d_vbuf.h"
#include "engine/render/dynVBWriter.h"
#include "engine/render/renderBatch.h"
#include "tests/support/bench_device.h"

#include <benchmark/benchmark.h>

#include <random>

namespace {

constexpr int W = 1280, H = 720;

struct Vertex {
  float x, y;
  uint32_t color;
  float u, v;
};

struct Sprite {
  int state;
  float x, y, size;
  uint32_t color;
};

struct Scene {
  Shader* shader = nullptr;
  IDirect3DVertexDeclaration9* decl = nullptr;
  Texture* textures[4] = {};
  StdRenderBatchState* states[4] = {};
};

Scene scene;

bool start() {
  if (!start_bench_device(W, H, {"tests/render/fixtures"})) return false;
  scene.shader = create_shader("quad.sh", nullptr);
  const VDeclElement els[] = {{0, 0, 2, 0, 0}, {8, 0, 5, 2, 0}, {12, 0, 2, 3, 0}, {0, 255, 0, 0, 0}};
  scene.decl = create_vdecl(els);
  std::mt19937 rng(7);
  for (int i = 0; i < 4; i++) {
    Texture* t = create_texture(32, 32, 1, 1);
    int pitch = 0;
    uint8_t* p = (uint8_t*)lock_texture(t, &pitch, 0);
    for (int y = 0; y < 32; y++)
      for (int x = 0; x < 32; x++) ((uint32_t*)(p + y * pitch))[x] = rng() | 0x40000000u;
    unlock_texture(t, 0);
    scene.textures[i] = t;
    scene.states[i] = new StdRenderBatchState(scene.shader, scene.decl, sizeof(Vertex), t);
  }
  return true;
}

std::vector<Sprite> make_sprites(int count, int textures) {
  std::mt19937 rng(99);
  std::vector<Sprite> sprites;
  for (int i = 0; i < count; i++)
    sprites.push_back({(int)(rng() % textures), (float)(rng() % W), (float)(rng() % H), 8.0f + rng() % 40,
                       0xFF000000u | (uint32_t)(rng() & 0xFFFFFF)});
  return sprites;
}

void draw_frame(RenderBatch& batch, const std::vector<Sprite>& sprites) {
  batch.clear();
  for (const Sprite& s : sprites) {
    float x0 = s.x - 0.5f, y0 = s.y - 0.5f, x1 = x0 + s.size, y1 = y0 + s.size;
    Vertex* v = (Vertex*)batch.add(scene.states[s.state], _mm_setr_ps(x0, y0, x1, y1), 6 * sizeof(Vertex), 2);
    v[0] = {x0, y0, s.color, 0, 0};
    v[1] = {x1, y0, s.color, 1, 0};
    v[2] = {x0, y1, s.color, 0, 1};
    v[3] = {x1, y0, s.color, 1, 0};
    v[4] = {x1, y1, s.color, 1, 1};
    v[5] = {x0, y1, s.color, 0, 1};
  }
  d3d->BeginScene();
  set_backbuffer_target();
  clear_view_color(0xFF203040);
  const float c0[4] = {2.0f / W, -2.0f / H, -1, 1};
  set_vs_consts(0, c0, 1);
  set_blend_alpha();
  batch.render();
  d3d->EndScene();
  present_frame(true);
  flush_gpu();
}

void BM_SpriteFrame(benchmark::State& state) {
  if (!d3d && !start()) {
    state.SkipWithError("no device");
    return;
  }
  std::vector<Sprite> sprites = make_sprites((int)state.range(0), (int)state.range(1));
  RenderBatch batch;
  int groups = 0;
  for (auto _ : state) {
    draw_frame(batch, sprites);
    groups = batch.groups.size();
  }
  state.counters["fps"] = benchmark::Counter((double)state.iterations(), benchmark::Counter::kIsRate);
  state.counters["groups"] = groups;
}

}  // namespace

// (sprites, textures): one texture batches into one group; four interleaved
// textures regroup only where sprites do not overlap.
BENCHMARK(BM_SpriteFrame)->Args({2000, 1})->Args({4000, 1})->Args({4000, 4})->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
