// One interface frame at 1280x720: 5,000 distance-field glyphs (100 lines of 50), 300
// icons and 500 rounded boxes with shadows. BM_BuildBatches times only the CPU work
// of filling the batches; BM_TextFrame also draws and presents the frame and waits for
// the device, and reports frames per second.
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "engine/gui/dist_font.h"
#include "engine/gui/ui_draw.h"
#include "engine/render/d3d_device.h"
#include "engine/render/d3d_states.h"
#include "engine/render/d3d_vbuf.h"
#include "engine/render/dynVBWriter.h"
#include "tests/support/bench_device.h"

namespace {

constexpr int W = 1280, H = 720;

struct Line {
  std::string text;
  float x, y, size;
  D3dColor color;
};
struct Icon {
  int id;
  float x, y, size;
};
struct Box {
  float x, y, w, h;
  D3dColor color;
};

struct Frame {
  DistFont font;
  DistIcons icons;
  std::vector<Line> lines;
  std::vector<Icon> iconList;
  std::vector<Box> boxes;
  RenderBatch boxBatch, textBatch;
};

Frame* frame = nullptr;

bool start() {
  if (!start_bench_device(W, H)) return false;
  init_dist_fonts();
  init_dist_icons();
  init_rounded_box_render();
  frame = new Frame;
  if (!frame->font.load("fonts/regular.fnt") || !frame->icons.load("fonts/icons.txt")) {
    delete frame;  // the next benchmark must not time a frame with no fonts
    frame = nullptr;
    return false;
  }

  std::mt19937 rng(11);
  const char* words[] = {"Torvane", "plasma", "level", "upgrade", "shield", "boss", "elevator", "score", "pistol",
                         "bomb"};
  for (int i = 0; i < 100; i++) {
    std::string text;
    while (text.size() < 50) text += std::string(words[rng() % 10]) + " ";
    text.resize(50);
    // Spaces take no quad: make every character a glyph.
    for (char& c : text)
      if (c == ' ') c = '-';
    frame->lines.push_back({text, (float)(rng() % 400), (float)(rng() % 700), 12.0f + rng() % 12,
                            0xFF000000u | (uint32_t)(rng() & 0xFFFFFF)});
  }
  for (int i = 0; i < 300; i++)
    frame->iconList.push_back({(int)(rng() % frame->icons.icons.size()), (float)(rng() % W), (float)(rng() % H),
                               0.3f + (rng() % 50) / 100.0f});
  for (int i = 0; i < 500; i++)
    frame->boxes.push_back({(float)(rng() % W), (float)(rng() % H), 20.0f + rng() % 120, 12.0f + rng() % 60,
                            0xC0000000u | (uint32_t)(rng() & 0xFFFFFF)});
  return true;
}

void build_batches(Frame& f) {
  f.boxBatch.clear();
  f.textBatch.clear();
  for (const Box& b : f.boxes)
    render_rounded_box(f.boxBatch, v_make(b.x, b.y, b.x + b.w, b.y + b.h), v_make(6, 6, 6, 6), b.color, 1, 3, 4, 6,
                       0x80000000, 0);
  for (const Line& l : f.lines)
    f.font.renderText(f.textBatch, v_make(l.x, l.y, l.x + 800, l.y + 40), TEXT_LEFT | TEXT_TOP, l.color, l.size,
                      l.text.c_str(), -1, 0, 0.1f, 0.1f, 2, 0xFF000000, nullptr);
  for (const Icon& i : f.iconList)
    f.icons.renderIcon(f.textBatch, v_make(i.x, i.y, 1, 0), i.size, i.id, 0, 0, 0, 1, 0xFFFFFFFF, 0xFF000000, 0,
                       0xFFFFFFFF, 0xFFC0C0C0, nullptr);
}

void BM_BuildBatches(benchmark::State& state) {
  if (!frame && !start()) {
    state.SkipWithError("no device or fonts");
    return;
  }
  for (auto _ : state) build_batches(*frame);
  int glyphs = 0;
  for (const Line& l : frame->lines) glyphs += (int)l.text.size();
  state.counters["glyphs"] = glyphs;
  state.counters["icons"] = (double)frame->iconList.size();
  state.counters["boxes"] = (double)frame->boxes.size();
  state.counters["text_groups"] = frame->textBatch.groups.size();
}

void BM_TextFrame(benchmark::State& state) {
  if (!frame && !start()) {
    state.SkipWithError("no device or fonts");
    return;
  }
  for (auto _ : state) {
    build_batches(*frame);
    d3d->BeginScene();
    set_backbuffer_target();
    clear_view_color(0xFF203040);
    start_gui_render();
    set_blend_prealpha();
    frame->boxBatch.render();
    end_gui_render();
    start_dist_font_render();
    frame->textBatch.render();
    end_dist_font_render();
    d3d->EndScene();
    present_frame(true);
    flush_gpu();
  }
  state.counters["fps"] = benchmark::Counter((double)state.iterations(), benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(BM_BuildBatches)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TextFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
