// Update-statistics trackers, their rings and the overlay's figures.
#include "engine/core/stats.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Trackers are never unregistered, so each test works on trackers of its own
// and looks only at them.
UpdateStatsTracker alpha("alpha");
UpdateStatsTracker beta("beta");
UpdateStatsTracker never("never started");

TEST(Trackers, StartRegistersOnceAndIdIsThePosition) {
  EXPECT_EQ(never.id, -1);
  EXPECT_STREQ(alpha.name, "alpha");
  alpha.start();
  alpha.stop();
  int count = update_stats_trackers.size();
  EXPECT_EQ(update_stats_trackers[alpha.id], &alpha);
  register_update_stats_tracker(&alpha);
  register_update_stats_tracker(nullptr);
  alpha.start();
  EXPECT_EQ(update_stats_trackers.size(), count);
  beta.start();
  EXPECT_EQ(beta.id, count);
  EXPECT_EQ(update_stats_trackers[beta.id], &beta);
  for (int i = 0; i < update_stats_trackers.size(); i++) {
    EXPECT_EQ(update_stats_trackers[i]->id, i);
    EXPECT_NE(update_stats_trackers[i], &never);
  }
  EXPECT_EQ(never.id, -1);
}

TEST(Trackers, StopAccumulatesAndStoreWritesMicroseconds) {
  alpha.start();
  alpha.reset();
  alpha.startStamp = get_ref_time() - time_ticks_per_sec() / 1000 * 3;  // started 3 ms ago
  int64_t elapsed = alpha.stop();
  EXPECT_GE(elapsed, time_ticks_per_sec() / 1000 * 3);
  EXPECT_EQ(alpha.accumulated, elapsed);
  alpha.accumulated = time_ticks_per_sec() / 1000 * 7;  // 7 ms
  update_ring_pos = 42;
  store_update_stats();
  EXPECT_EQ(alpha.samples[42], 7000);
  reset_update_stats();
  EXPECT_EQ(alpha.accumulated, 0);
  EXPECT_EQ(alpha.store(43), 0);
  EXPECT_EQ(alpha.samples[42], 7000);
}

TEST(Overlay, RingStats) {
  int ring[STATS_RING_SIZE];
  for (int i = 0; i < STATS_RING_SIZE; i++)
    ring[i] = 10 + i % 7;
  ring[50] = 99;
  ring[70] = 2;
  RingStats s = ring_stats(ring);
  int sum = 0;
  for (int v : ring)
    sum += v;
  EXPECT_EQ(s.sum, sum);
  EXPECT_EQ(s.maximum, 99);
  EXPECT_EQ(s.minimum, 2);
  for (int& v : ring)
    v = -1;  // the GPU figure never available
  s = ring_stats(ring);
  EXPECT_EQ(s.maximum, -1);
  EXPECT_EQ(s.minimum, -1);
  struct Case {
    int sum, average;
  } averages[] = {{0, 0}, {49, 0}, {50, 1}, {149, 1}, {150, 2}, {-149, 0}, {-151, -1}};
  for (const Case& c : averages)
    EXPECT_EQ(ring_average(c.sum), c.average) << c.sum;
}

TEST(Overlay, HsvToRgb) {
  struct Case {
    float h, s, v;
    float r, g, b;
  } cases[] = {
      {0.0f, 1, 1, 1, 0, 0},     {1.0f / 6, 1, 1, 1, 1, 0},   {2.0f / 6, 1, 1, 0, 1, 0},
      {0.5f, 1, 1, 0, 1, 1},     {4.0f / 6, 1, 1, 0, 0, 1},   {5.0f / 6, 1, 1, 1, 0, 1},
      {0.3f, 1, 1, 0.2f, 1, 0},  {1.3f, 1, 1, 0.2f, 1, 0},    {-0.7f, 1, 1, 0.2f, 1, 0},
      {0.7f, 0, 0.25f, 0.25f, 0.25f, 0.25f},                  {0.0f, 0.5f, 0.8f, 0.8f, 0.4f, 0.4f},
  };
  for (const Case& c : cases) {
    __m128 rgb = hsv_to_rgb(c.h, c.s, c.v, 0.5f);
    EXPECT_NEAR(v_x(rgb), c.r, 1e-5f) << c.h;
    EXPECT_NEAR(v_y(rgb), c.g, 1e-5f) << c.h;
    EXPECT_NEAR(v_z(rgb), c.b, 1e-5f) << c.h;
    EXPECT_EQ(v_w(rgb), 0.5f);
  }
}

TEST(Overlay, TrackerFiguresAndTheOtherRow) {
  alpha.start();
  beta.start();
  for (UpdateStatsTracker* t : update_stats_trackers)
    memset(t->samples, 0, sizeof(t->samples));
  for (int j = 0; j < STATS_RING_SIZE; j++) {
    update_time_ring[j] = 1000;
    alpha.samples[j] = 300;
    beta.samples[j] = j == 5 ? 900 : 100;  // slot 5: the trackers exceed the update time
  }
  UpdateStatsTracker other("other");
  TrackerTotals totals = compute_tracker_stats(other);
  EXPECT_EQ(totals.average, 1000);
  EXPECT_EQ(totals.maximum, 1000);
  EXPECT_EQ(alpha.average, 300);
  EXPECT_EQ(alpha.maximum, 300);
  EXPECT_EQ(beta.average, (100 * 99 + 900 + 50) / 100);
  EXPECT_EQ(beta.maximum, 900);
  EXPECT_EQ(other.samples[0], 600);
  EXPECT_EQ(other.samples[5], -200);
  EXPECT_EQ(other.average, (600 * 99 - 200 + 50) / 100);
  EXPECT_EQ(other.maximum, 600);
  // Colours follow the golden-ratio hue walk from 0.3, "other" after the last.
  float hue = 0.3f;
  for (UpdateStatsTracker* t : update_stats_trackers) {
    EXPECT_EQ(t->color, color_to_d3d(hsv_to_rgb(hue, 1, 1, 1))) << t->name.c_str();
    hue += 0.618034f;
    hue -= floorf(hue);
  }
  EXPECT_EQ(other.color, color_to_d3d(hsv_to_rgb(hue, 1, 1, 1)));
  EXPECT_EQ(update_stats_trackers[0]->color, 0xFF33FF00u);

  // An idle update ring: maxima stay at 0, never negative.
  for (int j = 0; j < STATS_RING_SIZE; j++)
    update_time_ring[j] = 0;
  totals = compute_tracker_stats(other);
  EXPECT_EQ(totals.maximum, 0);
  EXPECT_LT(other.average, 0);
  EXPECT_EQ(other.maximum, 0);
}

int overlay_calls = 0;
void count_overlay() { overlay_calls++; }

TEST(Overlay, DrawGoesToTheInstalledOverlay) {
  draw_update_stats();  // nothing installed: nothing happens
  set_update_stats_overlay(count_overlay);
  draw_update_stats();
  draw_update_stats();
  EXPECT_EQ(overlay_calls, 2);
  set_update_stats_overlay(nullptr);
  draw_update_stats();
  EXPECT_EQ(overlay_calls, 2);
}

// ---- the overlay's layout on a recording canvas -------------------------------

struct DrawnText {
  std::string text;
  int x, y, alignX, alignY;
  D3dColor color;
};
struct DrawnRect {
  int x0, y0, x1, y1;
  D3dColor color;
};
std::vector<DrawnText> texts;
std::vector<DrawnRect> rects;
int pushes = 0, pops = 0, layout_scale = 0;

StatsCanvas recording_canvas(int width, int height) {
  texts.clear();
  rects.clear();
  pushes = pops = layout_scale = 0;
  StatsCanvas c;
  c.width = width;
  c.height = height;
  c.cellHeight = 8;
  c.pushTextState = [] { pushes++; };
  c.popTextState = [] { pops++; };
  c.setTextLayout = [](int line, int chr, int scale) {
    EXPECT_EQ(line, 0);
    EXPECT_EQ(chr, 0);
    layout_scale = scale;
  };
  c.drawText = [](const char* text, int len, int x, int y, int ax, int ay, D3dColor color) {
    texts.push_back({len < 0 ? std::string(text) : std::string(text, (size_t)len), x, y, ax, ay, color});
  };
  c.drawRect = [](int x0, int y0, int x1, int y1, D3dColor color) { rects.push_back({x0, y0, x1, y1, color}); };
  c.freeTexmem = []() -> unsigned { return 5u << 20; };
  c.updateStepUsec = [] { return 16666; };
  return c;
}

// The first text drawn with these characters (and at this x when one is given).
const DrawnText* find_text(const char* text, int x = -1) {
  for (const DrawnText& t : texts)
    if (t.text == text && (x < 0 || t.x == x))
      return &t;
  return nullptr;
}

struct CanvasGuard {
  explicit CanvasGuard(const StatsCanvas& c) { set_stats_canvas(&c); }
  ~CanvasGuard() { set_stats_canvas(nullptr); }
};

TEST(OverlayLayout, StatsGraphBarsBandAndTheOneLabel) {
  // 400 x 400: bars 2 pixels wide, the graph 100 high.
  StatsCanvas c = recording_canvas(400, 400);
  CanvasGuard guard(c);
  int ring[STATS_RING_SIZE] = {};

  // All zeros: the band up to the limit, and the first bar labelled "0".
  draw_stats_graph(ring, 0, 1000, 1000, false);
  ASSERT_EQ(rects.size(), 2u + STATS_RING_SIZE);
  EXPECT_EQ(rects[0].x0, 0);
  EXPECT_EQ(rects[0].x1, 200);
  EXPECT_EQ(rects[0].y1, 100);
  EXPECT_EQ(rects[0].color, 0x40000000u);
  EXPECT_EQ(rects[1].y1, 50);
  EXPECT_EQ(rects[1].color, 0x20008000u);
  // Bar 0 is the oldest at write position 0: half-bright green.
  EXPECT_EQ(rects[2].x0, 2);
  EXPECT_EQ(rects[2].x1, 4);
  EXPECT_EQ(rects[2].y1, 0);
  EXPECT_EQ(rects[2].color, 0xFF004000u);
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0].text, "0");
  EXPECT_EQ(texts[0].x, 2);
  EXPECT_EQ(texts[0].y, 50);
  EXPECT_EQ(texts[0].alignX, -1);
  EXPECT_EQ(texts[0].alignY, -1);

  // A sample beyond twice the reference is drawn at full height in red; only the
  // first of two equal maxima is labelled; a limit above 2 * reference has no band.
  texts.clear();
  rects.clear();
  ring[3] = 5000;
  ring[7] = 5000;
  ring[4] = 500;
  draw_stats_graph(ring, 0, 1000, 2001, true);
  ASSERT_EQ(rects.size(), 1u + STATS_RING_SIZE);
  EXPECT_EQ(rects[0].x0, 200);
  const DrawnRect& bar3 = rects[1 + 3];
  EXPECT_EQ(bar3.x0, 200 + 1 + 1 + 3 * 2);
  EXPECT_EQ(bar3.y1, 100);
  EXPECT_EQ(bar3.color, 0xFF420000u);  // red 0.5 * (3 * 0.005 + 0.5)
  EXPECT_EQ(rects[1 + 4].y1, 25);
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0].text, "5000");
  EXPECT_EQ(texts[0].x, 208);
  EXPECT_EQ(texts[0].y, 100);
  EXPECT_EQ(texts[0].alignX, 1);
}

TEST(OverlayLayout, PanelFiguresAndGpuRowsOnlyWhenAvailable) {
  // 640 high: font scale 640 / (40 * 8) = 2, line height 16.
  StatsCanvas c = recording_canvas(1000, 640);
  CanvasGuard guard(c);
  for (int i = 0; i < STATS_RING_SIZE; i++) {
    frame_time_ring[i] = 7;
    update_time_ring[i] = 3;
    gpu_activity_ring[i] = -1;
  }
  frame_time_ring[10] = 120;
  last_fps = 60;
  draw_update_stats();
  EXPECT_EQ(pushes, 1);
  EXPECT_EQ(pops, 1);
  EXPECT_EQ(layout_scale, 2);
  const DrawnText* fps = find_text("60", 1000);
  ASSERT_TRUE(fps);
  EXPECT_EQ(fps->x, 1000);
  EXPECT_EQ(fps->y, 640);
  EXPECT_EQ(fps->alignX, 1);
  EXPECT_EQ(fps->alignY, 1);
  const DrawnText* label = find_text("FPS");
  ASSERT_TRUE(label);
  EXPECT_EQ(label->x, 1000 - 11 * 16);
  const DrawnText* update = find_text("update\ntime");
  ASSERT_TRUE(update);
  EXPECT_EQ(update->y, 640 - (6 * 8 + 4) * 2);
  EXPECT_EQ(update->alignY, 0);
  const DrawnText* frameMax = find_text("120", 1000);
  ASSERT_TRUE(frameMax);
  EXPECT_EQ(frameMax->y, 640 - (8 + 4) * 2);
  const DrawnText* frameAvg = find_text("08", 1000);  // (7 * 99 + 120 + 50) / 100
  ASSERT_TRUE(frameAvg);
  EXPECT_EQ(frameAvg->y, 640 - (2 * 8 + 4) * 2);
  EXPECT_TRUE(find_text("  5 MB", 1000));
  EXPECT_FALSE(find_text("GPU\nload"));
  for (const DrawnText& t : texts)
    EXPECT_EQ(t.text.find('%'), std::string::npos) << t.text;

  texts.clear();
  for (int i = 0; i < STATS_RING_SIZE; i++)
    gpu_activity_ring[i] = 40;
  gpu_activity_ring[0] = 90;
  draw_update_stats();
  const DrawnText* gpu = find_text("GPU\nload");
  ASSERT_TRUE(gpu);
  EXPECT_EQ(gpu->y, 640 - (11 * 8 + 4) * 2);
  const DrawnText* gpuMax = find_text(" 90%", 1000);
  ASSERT_TRUE(gpuMax);
  EXPECT_EQ(gpuMax->y, 640 - 10 * 16);
  EXPECT_TRUE(find_text(" 41%", 1000));  // (40 * 99 + 90 + 50) / 100
}

UpdateStatsTracker gamma("gamma");  // listed for the rest of the run, so not a local

TEST(OverlayLayout, StackedGraphOtherRowAndDivisor) {
  gamma.start();
  for (UpdateStatsTracker* t : update_stats_trackers)
    memset(t->samples, 0, sizeof(t->samples));
  int n = update_stats_trackers.size();
  ASSERT_EQ(update_stats_trackers[n - 1], &gamma);
  // 400 x 400: font scale 1, line height 8, bars 2 wide, graph 100 high.
  StatsCanvas c = recording_canvas(400, 400);
  CanvasGuard guard(c);

  // Trackers above the update time: "other" goes negative and its segment is
  // empty; the trackers' stack starts at 0 and is not clipped at the top.
  for (int j = 0; j < STATS_RING_SIZE; j++) {
    update_time_ring[j] = 100;
    gamma.samples[j] = 150;
  }
  draw_tracker_stats();
  int perSlot = 1 + n;
  ASSERT_EQ(rects.size(), 1u + (size_t)(STATS_RING_SIZE * perSlot));
  EXPECT_EQ(rects[0].x1, 200);
  const DrawnRect& otherSeg = rects[1];
  EXPECT_EQ(otherSeg.y0, 0);
  EXPECT_EQ(otherSeg.y1, 0);
  const DrawnRect& gammaSeg = rects[2];  // the last listed tracker stacks first
  EXPECT_EQ(gammaSeg.y0, 0);
  EXPECT_EQ(gammaSeg.y1, 150);
  EXPECT_EQ(gammaSeg.x1, 2);
  // Legend: listed trackers from h + (n + 3) L down, then "other", then the total.
  const DrawnText* name = find_text("gamma");
  ASSERT_TRUE(name);
  EXPECT_EQ(name->x, 15 * 8);
  EXPECT_EQ(name->y, 100 + (n + 3) * 8 - (n - 1) * 8);
  EXPECT_EQ(name->color, gamma.color);
  const DrawnText* other = find_text("other");
  ASSERT_TRUE(other);
  EXPECT_EQ(other->y, 100 + 3 * 8);
  const DrawnText* total = find_text("total");
  ASSERT_TRUE(total);
  EXPECT_EQ(total->y, 100 + 2 * 8);
  EXPECT_EQ(total->color, 0xFFFFFFFFu);

  // An idle update ring divides by 1, so a 1-microsecond sample fills the graph.
  rects.clear();
  for (int j = 0; j < STATS_RING_SIZE; j++) {
    update_time_ring[j] = 0;
    gamma.samples[j] = 1;
  }
  draw_tracker_stats();
  EXPECT_EQ(rects[2].y1, 100);
}

TEST(OverlayLayout, NothingWithoutACanvas) {
  texts.clear();
  rects.clear();
  int ring[STATS_RING_SIZE] = {};
  draw_stats_graph(ring, 0, 1, 1, false);
  draw_tracker_stats();
  draw_update_stats();
  EXPECT_TRUE(texts.empty());
  EXPECT_TRUE(rects.empty());
}

}  // namespace
