// The statistics overlay: frame-time graph, stacked update-time graph with its
// legend, and the panel of figures, laid out on the canvas the text layer installs.
#include <cstdint>
#include <cstdio>

#include "engine/core/log.h"
#include "engine/core/stats.h"

namespace {

UpdateStatsOverlayFunc update_stats_overlay = nullptr;
const StatsCanvas* canvas = nullptr;

const D3dColor panel_color = 0x40000000;
const D3dColor limit_band_color = 0x20008000;
const D3dColor white = 0xFFFFFFFF;

// The font scale of the overlay, from the back buffer's height: max(1, ht / (40 cells)).
int font_scale() {
  int cells = 40 * canvas->cellHeight;
  return cells > 0 && canvas->height / cells > 1 ? canvas->height / cells : 1;
}
// Line height L: the font's cell height times the scale.
int line_height() { return canvas->cellHeight * font_scale(); }

int bar_width() { return canvas->width / 200 > 1 ? canvas->width / 200 : 1; }
int graph_height() { return canvas->height / 4; }

void text_at(const char* text, int x, int y, int alignX, int alignY, D3dColor color) {
  canvas->drawText(text, -1, x, y, alignX, alignY, color);
}

void number_at(const char* fmt, int value, int x, int y, int alignX, int alignY, D3dColor color) {
  char text[32];
  snprintf(text, sizeof(text), fmt, value);
  text_at(text, x, y, alignX, alignY, color);
}

// Older bars darker: 0.5 for the oldest (the write position) up to 0.995.
float age_brightness(int slot, int pos) {
  int age = ((slot - pos) % STATS_RING_SIZE + STATS_RING_SIZE) % STATS_RING_SIZE;
  return age * 0.005f + 0.5f;
}

D3dColor dimmed(__m128 rgba, float b) {
  return color_to_d3d(v_mul(rgba, v_make(b, b, b, 1)));
}

// value * h / divisor without overflowing int on large samples.
int scaled(int value, int h, int64_t divisor) { return (int)((int64_t)value * h / divisor); }

void draw_update_stats_layout() {
  const StatsCanvas& c = *canvas;
  int wd = c.width, ht = c.height, cell = c.cellHeight;
  int scale = font_scale();
  const int L = line_height();
  int half = cell / 2;

  c.pushTextState();
  c.setTextLayout(0, 0, scale);

  RingStats frame = ring_stats(frame_time_ring);
  RingStats update = ring_stats(update_time_ring);
  RingStats gpu = ring_stats(gpu_activity_ring);

  int step = c.updateStepUsec();
  draw_stats_graph(frame_time_ring, frame_ring_pos, step, step, true);
  draw_tracker_stats();

  c.drawRect(wd - 12 * L, ht - 14 * L, wd, ht, panel_color);
  int left = wd - 11 * L;
  number_at("%d", last_fps, wd, ht, 1, 1, white);
  text_at("FPS", left, ht, -1, 1, white);
  text_at("frame\ntime", left, ht - 3 * L, -1, 0, white);
  text_at("update\ntime", left, ht - (6 * cell + half) * scale, -1, 0, white);
  text_at("tex\nmem", left, ht - 9 * L, -1, 0, white);
  number_at("%02d", frame.maximum, wd, ht - (1 * cell + half) * scale, 1, 1, white);
  number_at("%02d", ring_average(frame.sum), wd, ht - (2 * cell + half) * scale, 1, 1, white);
  number_at("%02d", frame.minimum, wd, ht - (3 * cell + half) * scale, 1, 1, white);
  number_at("%02d", update.maximum, wd, ht - 5 * L, 1, 1, white);
  number_at("%02d", ring_average(update.sum), wd, ht - 6 * L, 1, 1, white);
  number_at("%02d", update.minimum, wd, ht - 7 * L, 1, 1, white);
  number_at("%3d MB", (int)(c.freeTexmem() >> 20), wd, ht - (8 * cell + half) * scale, 1, 1, white);
  // The GPU figure is -1 throughout while it is unavailable.
  if (gpu.maximum >= 0) {
    text_at("GPU\nload", left, ht - (11 * cell + half) * scale, -1, 0, white);
    number_at("%3d%%", gpu.maximum, wd, ht - 10 * L, 1, 1, white);
    number_at("%3d%%", ring_average(gpu.sum), wd, ht - 11 * L, 1, 1, white);
    number_at("%3d%%", gpu.minimum, wd, ht - 12 * L, 1, 1, white);
  }
  c.popTextState();
}

}  // namespace

void set_update_stats_overlay(UpdateStatsOverlayFunc draw) { update_stats_overlay = draw; }

bool set_stats_canvas(const StatsCanvas* c) {
  // The layout calls every operation: a canvas missing one would crash mid-frame.
  if (c && !(c->pushTextState && c->popTextState && c->setTextLayout && c->drawText && c->drawRect &&
             c->freeTexmem && c->updateStepUsec)) {
    debug("statistics canvas refused: it lacks an operation");
    return false;
  }
  canvas = c;
  return true;
}

void draw_update_stats() {
  if (update_stats_overlay)
    update_stats_overlay();
  else if (canvas)
    draw_update_stats_layout();
}

void draw_stats_graph(const int* ring, int pos, int scaleRef, int limit, bool alignRight) {
  if (!canvas)
    return;
  int w = bar_width(), h = graph_height();
  int x0 = alignRight ? canvas->width - STATS_RING_SIZE * w : 0;
  // A reference of 0 or less would divide by zero; such a scale shows nothing.
  int64_t fullScale = scaleRef > 0 ? 2 * (int64_t)scaleRef : 1;
  canvas->drawRect(x0, 0, x0 + STATS_RING_SIZE * w, h, panel_color);
  if (limit <= 2 * (int64_t)scaleRef)
    canvas->drawRect(x0, 0, x0 + STATS_RING_SIZE * w, scaled(limit, h, fullScale), limit_band_color);

  int m = 0;
  for (int i = 0; i < STATS_RING_SIZE; i++)
    if (ring[i] > m)
      m = ring[i];
  bool labelled = false;
  for (int i = 0; i < STATS_RING_SIZE; i++) {
    int left = x0 + 1 + w / 2 + i * w;
    int64_t height = (int64_t)ring[i] * h / fullScale;
    int top = height < h ? (int)height : h;
    __m128 rgba = ring[i] < limit ? v_make(0, 0.5f, 0, 1) : v_make(0.5f, 0, 0, 1);
    canvas->drawRect(left, 0, left + w, top, dimmed(rgba, age_brightness(i, pos)));
    if (!labelled && ring[i] >= m) {
      labelled = true;
      number_at("%d", ring[i], left + (w - 2) / 2, top > h / 2 ? top : h / 2, alignRight ? 1 : -1, -1, white);
    }
  }
}

void draw_tracker_legend(UpdateStatsTracker* t, int y) {
  if (!canvas || !t)
    return;
  const int L = line_height();
  number_at("%d", t->maximum, 7 * L, y, 1, 1, t->color);
  number_at("%d", t->average, 14 * L, y, 1, 1, t->color);
  text_at(t->name, 15 * L, y, -1, 1, t->color);
}

void draw_tracker_stats() {
  if (!canvas)
    return;
  static UpdateStatsTracker other("other");
  TrackerTotals totals = compute_tracker_stats(other);
  const int L = line_height();
  int n = update_stats_trackers.size();
  int w = bar_width(), h = graph_height();

  int y = h + (n + 3) * L;
  for (UpdateStatsTracker* t : update_stats_trackers) {
    draw_tracker_legend(t, y);
    y -= L;
  }
  draw_tracker_legend(&other, y);
  y -= L;
  number_at("%d", totals.maximum, 7 * L, y, 1, 1, white);
  number_at("%d", totals.average, 14 * L, y, 1, 1, white);
  text_at("total", 15 * L, y, -1, 1, white);

  canvas->drawRect(0, 0, STATS_RING_SIZE * w, h, panel_color);
  int64_t d = totals.maximum > 0 ? totals.maximum : 1;
  for (int j = 0; j < STATS_RING_SIZE; j++) {
    int x0 = j * w, x1 = (j + 1) * w;
    float b = age_brightness(j, update_ring_pos);
    // Segments are not clipped: trackers adding up to more than the largest
    // update time rise above the graph.
    int sum = other.samples[j] > 0 ? other.samples[j] : 0;
    int top = (int)(sum * (int64_t)h / d);
    canvas->drawRect(x0, 0, x1, top, dimmed(d3d_to_color(other.color), b));
    for (int k = n - 1; k >= 0; k--) {
      UpdateStatsTracker* t = update_stats_trackers[k];
      int bottom = top;
      sum += t->samples[j];
      top = (int)(sum * (int64_t)h / d);
      canvas->drawRect(x0, bottom, x1, top, dimmed(d3d_to_color(t->color), b));
    }
  }
}
