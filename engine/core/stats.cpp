// Tracker registration, the per-pass store and reset, and the overlay's figures.
#include "engine/core/stats.h"

#include <cmath>

int update_time_ring[STATS_RING_SIZE];
int frame_time_ring[STATS_RING_SIZE];
int gpu_activity_ring[STATS_RING_SIZE];
int update_ring_pos;
int frame_ring_pos;
int last_fps;

void register_update_stats_tracker(UpdateStatsTracker* t) {
  if (!t)
    return;
  for (UpdateStatsTracker* listed : update_stats_trackers)
    if (listed == t)
      return;
  t->id = update_stats_trackers.size();
  update_stats_trackers.push(&t);
}

void reset_update_stats() {
  for (UpdateStatsTracker* t : update_stats_trackers)
    t->reset();
}

void store_update_stats() {
  for (UpdateStatsTracker* t : update_stats_trackers)
    t->store(update_ring_pos);
}

RingStats ring_stats(const int* ring) {
  RingStats r{ring[0], ring[0], ring[0]};
  for (int i = 1; i < STATS_RING_SIZE; i++) {
    r.sum += ring[i];
    if (ring[i] > r.maximum)
      r.maximum = ring[i];
    else if (ring[i] < r.minimum)
      r.minimum = ring[i];
  }
  return r;
}

__m128 hsv_to_rgb(float h, float s, float v, float a) {
  if (s == 0)
    return v_make(v, v, v, a);
  float x = (h - floorf(h)) * 6;
  int sector = (int)floorf(x);
  float f = x - sector;
  float p = (1 - s) * v;
  float q = (1 - f * s) * v;
  float t = (1 - (1 - f) * s) * v;
  switch (sector) {
    case 0: return v_make(v, t, p, a);
    case 1: return v_make(q, v, p, a);
    case 2: return v_make(p, v, t, a);
    case 3: return v_make(p, q, v, a);
    case 4: return v_make(t, p, v, a);
    default: return v_make(v, p, q, a);
  }
}

TrackerTotals compute_tracker_stats(UpdateStatsTracker& other) {
  // Golden-ratio hue steps keep neighbouring trackers apart in colour.
  float hue = 0.3f;
  for (UpdateStatsTracker* t : update_stats_trackers) {
    t->color = color_to_d3d(hsv_to_rgb(hue, 1, 1, 1));
    hue = hue + 0.618034f;
    hue -= floorf(hue);
    t->average = 0;
    t->maximum = 0;
  }
  other.color = color_to_d3d(hsv_to_rgb(hue, 1, 1, 1));
  other.average = 0;
  other.maximum = 0;

  int totalSum = 0, totalMax = 0;
  for (int j = 0; j < STATS_RING_SIZE; j++) {
    int total = update_time_ring[j];
    int rest = total;
    for (UpdateStatsTracker* t : update_stats_trackers) {
      int sample = t->samples[j];
      t->average += sample;
      if (sample > t->maximum)
        t->maximum = sample;
      rest -= sample;
    }
    other.samples[j] = rest;
    other.average += rest;
    if (rest > other.maximum)
      other.maximum = rest;
    totalSum += total;
    if (total > totalMax)
      totalMax = total;
  }
  for (UpdateStatsTracker* t : update_stats_trackers)
    t->average = ring_average(t->average);
  other.average = ring_average(other.average);
  return TrackerTotals{ring_average(totalSum), totalMax};
}
