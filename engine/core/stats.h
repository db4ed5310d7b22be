#pragma once
// Update-statistics trackers: named stopwatches for engine activities. The time
// between start and stop adds up over one pass of the main loop and is stored,
// in microseconds, into the tracker's ring of 100 samples at the next pass.
// Trackers enter update_stats_trackers at their first start; only listed ones
// are stored, reset and drawn by the statistics overlay.
//
// The game-object module starts and stops trackers with its own copy of the
// inline start and stop, so the field order and widths here are shared with it.
#include <cstdint>

#include "engine/core/dynarray.h"
#include "engine/core/geometry.h"
#include "engine/core/strings.h"
#include "engine/core/utils.h"

constexpr int STATS_RING_SIZE = 100;

struct UpdateStatsTracker;
// Appends t to the list and sets its id to its position; nothing for null or a
// tracker already listed.
void register_update_stats_tracker(UpdateStatsTracker* t);

struct UpdateStatsTracker {
  int32_t id = -1;                          // position in update_stats_trackers, -1 until registered
  int64_t startStamp = 0;                   // get_ref_time() of the last start
  int64_t accumulated = 0;                  // ticks summed by stop since the last reset
  int32_t samples[STATS_RING_SIZE] = {};    // microseconds per main-loop pass, by update_ring_pos
  TempString<256> name;
  int32_t average = 0;                      // overlay working field
  int32_t maximum = 0;                      // overlay working field, never below 0
  D3dColor color = 0;                       // assigned by the overlay at each draw

  explicit UpdateStatsTracker(const char* trackerName) : name(trackerName) {}

  void start() {
    if (id < 0)
      register_update_stats_tracker(this);
    startStamp = get_ref_time();
  }
  // Adds the time since start to the total; returns it (ticks).
  int64_t stop() {
    int64_t elapsed = get_ref_time() - startStamp;
    accumulated += elapsed;
    return elapsed;
  }
  void reset() { accumulated = 0; }
  int store(int slot) { return samples[slot] = get_time_usec(accumulated); }
};

// Registered trackers in order of registration; holds pointers, owns nothing.
extern DynArray<UpdateStatsTracker*> update_stats_trackers;

// Timing rings filled by the main loop. A write position names the slot written
// next, the oldest sample.
extern int update_time_ring[STATS_RING_SIZE];   // microseconds of each pass's update work
extern int frame_time_ring[STATS_RING_SIZE];    // microseconds per presented frame
extern int gpu_activity_ring[STATS_RING_SIZE];  // GPU load in percent, -1 when unavailable
extern int update_ring_pos;
extern int frame_ring_pos;
extern int last_fps;  // frames presented in the last whole second

// Reset of every listed tracker (after the message pump, before a pass's work).
void reset_update_stats();
// Store of every listed tracker at update_ring_pos (top of each pass).
void store_update_stats();

// ---- the statistics overlay --------------------------------------------------
// Drawing needs the system font, which lives above the core: the text and GUI
// subsystem installs the overlay with set_update_stats_overlay. Until then
// draw_update_stats draws nothing.
using UpdateStatsOverlayFunc = void (*)();
void set_update_stats_overlay(UpdateStatsOverlayFunc draw);
// Draws the overlay: through the installed overlay function when there is one,
// else with the layout below on the installed canvas; nothing without either.
void draw_update_stats();

// What the overlay's layout draws with: the back buffer's size and the system
// font's immediate text and rectangles, in pixels with the origin at the bottom
// left and y growing upwards. drawText aligns with alignX -1 left edge at x,
// 0 centred, 1 right edge at x; alignY 1 top edge at y, 0 centred, -1 bottom
// edge at y. The text layer fills it in and installs it with set_stats_canvas.
struct StatsCanvas {
  int width = 0;       // d3d_wd
  int height = 0;      // d3d_ht
  int cellHeight = 8;  // the system font's cell height in pixels
  void (*pushTextState)() = nullptr;
  void (*popTextState)() = nullptr;
  void (*setTextLayout)(int lineSpacing, int charSpacing, int fontScale) = nullptr;
  void (*drawText)(const char* text, int len, int x, int y, int alignX, int alignY, D3dColor color) = nullptr;
  void (*drawRect)(int x0, int y0, int x1, int y1, D3dColor color) = nullptr;
  unsigned (*freeTexmem)() = nullptr;     // free texture memory in bytes
  int (*updateStepUsec)() = nullptr;      // the main loop's update step
};
// Null removes it. The canvas must stay valid while installed. A canvas that lacks
// one of the operations is refused (false), leaving the installed one in place.
bool set_stats_canvas(const StatsCanvas* canvas);

// The overlay's parts, drawn on the installed canvas (nothing without one).
// One bar graph of a 100-sample ring: bars below `limit` green, others red,
// scaled so that 2 * scaleRef is the graph's full height.
void draw_stats_graph(const int* ring, int pos, int scaleRef, int limit, bool alignRight);
// The update times stacked by tracker, with the legend.
void draw_tracker_stats();
// One legend row: maximum, average and name in the tracker's colour.
void draw_tracker_legend(UpdateStatsTracker* t, int y);

// Sum, maximum and minimum of a 100-sample ring. Slot 0 seeds both extremes; a
// sample that raises the maximum is not compared for the minimum.
struct RingStats {
  int sum;
  int maximum;
  int minimum;
};
RingStats ring_stats(const int* ring);
// (sum + 50) / 100, truncating toward zero.
inline int ring_average(int sum) { return (sum + 50) / STATS_RING_SIZE; }

// Four-float colour (r, g, b, a) of a hue, saturation and value.
__m128 hsv_to_rgb(float h, float s, float v, float a);

// The overlay's figures for the stacked update graph: assigns each listed
// tracker and `other` its colour, fills other's samples with the update time
// minus the listed trackers' samples (it may go negative), and sets average and
// maximum (never below 0) of every listed tracker and of `other`. Returns the
// figures of the update time itself (average, maximum at least 0).
struct TrackerTotals {
  int average;
  int maximum;
};
TrackerTotals compute_tracker_stats(UpdateStatsTracker& other);
