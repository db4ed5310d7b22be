// Update-statistics trackers, their rings and the overlay's figures.
#include "engine/core/stats.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

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

}  // namespace
