// Level sweeps, the thick ray trace and level edits over level_data.
#include "engine/world/level_sweep.h"

#include <cmath>

#include "engine/core/stats.h"
#include "engine/render/level_renderer.h"
#include "engine/world/gameobj_api.h"

UpdateStatsTracker scanPerf("scan");
UpdateStatsTracker tracePerf("trace");

namespace {

constexpr double CELL_ROUND = 0.49999988;
constexpr double COORD_LIMIT = 1e6;

int clamped_round(double d) {
  if (!(d > -COORD_LIMIT))  // NaN too
    return -int(COORD_LIMIT);
  if (d > COORD_LIMIT)
    return int(COORD_LIMIT);
  return int(__builtin_nearbyint(d));
}

LevelCell& cell_at(int x, int y) { return level_data[y][x]; }

// Examines every cell of columns c0..c1 in rows r0..r1 (all of them, for the
// class-3 flag); true when one is solid.
bool cells_have_solid(int c0, int r0, int c1, int r1, int& hit) {
  bool solid = false;
  for (int r = r0; r <= r1; r++)
    for (int c = c0; c <= c1; c++) {
      uint8_t cls = cell_at(c, r).collision;
      solid |= cls != 0;
      if (cls == 3)
        hit |= HIT_CLASS3;
    }
  return solid;
}

bool column_has_solid(int c, int r0, int r1, int& hit) { return cells_have_solid(c, r0, c, r1, hit); }
bool row_has_solid(int r, int c0, int c1, int& hit) { return cells_have_solid(c0, r, c1, r, hit); }

// Times the enclosed sweep under a tracker.
struct TrackerScope {
  UpdateStatsTracker& tracker;
  explicit TrackerScope(UpdateStatsTracker& t) : tracker(t) { tracker.start(); }
  ~TrackerScope() { tracker.stop(); }
};

}  // namespace

int sweep_floor_index(float v) { return clamped_round(double(v) - CELL_ROUND); }
int sweep_ceil_index(float v) { return clamped_round(double(v) + CELL_ROUND); }

float scan_level_x(float x_from, float x_to, float y0, float y1, int& hit) {
  TrackerScope timing(scanPerf);
  int r0 = std::max(sweep_floor_index(y0), 0);
  int r1_open = sweep_ceil_index(y1) - 1;
  int r1 = std::min(r1_open, LEVEL_HEIGHT - 1);
  bool above = r1_open >= LEVEL_HEIGHT;
  int c_to = sweep_floor_index(x_to);
  // Columns outside the map never block, so the walks keep inside it.
  if (x_to >= x_from) {
    int last = std::min(c_to, LEVEL_WIDTH - 1);
    for (int c = std::max(sweep_ceil_index(x_from), 0); c <= last; c++) {
      if (column_has_solid(c, r0, r1, hit) || above) {
        hit |= HIT_RIGHT;
        return float(c) - 0.01f;
      }
    }
    return x_to;
  }
  int last = std::max(c_to, 0);
  for (int c = std::min(sweep_floor_index(x_from) - 1, LEVEL_WIDTH - 1); c >= last; c--) {
    if (column_has_solid(c, r0, r1, hit) || above) {
      hit |= HIT_LEFT;
      return float(c + 1) + 0.01f;
    }
  }
  return x_to;
}

float scan_level_y(float x0, float x1, float y_from, float y_to, int& hit, float* out) {
  TrackerScope timing(scanPerf);
  int c0 = std::max(sweep_floor_index(x0), 0);
  int c1 = std::min(sweep_ceil_index(x1) - 1, LEVEL_WIDTH - 1);
  int r_to = sweep_floor_index(y_to);
  auto report_ground = [out] {
    if (out)
      out[0] = out[1] = 0.0f;
  };
  if (y_to >= y_from) {
    int last = std::min(r_to, LEVEL_HEIGHT);
    for (int r = std::max(sweep_ceil_index(y_from), 0); r <= last; r++) {
      // Everything above the top row is solid.
      if (r >= LEVEL_HEIGHT || row_has_solid(r, c0, c1, hit)) {
        hit |= HIT_UP;
        report_ground();
        return float(r) - 0.01f;
      }
    }
    return y_to;
  }
  int last = std::max(r_to, 0);
  for (int r = std::min(sweep_floor_index(y_from) - 1, LEVEL_HEIGHT - 1); r >= last; r--) {
    if (row_has_solid(r, c0, c1, hit)) {
      hit |= HIT_DOWN;
      report_ground();
      return float(r + 1) + 0.01f;
    }
  }
  return y_to;
}

float scan_all_x(float x_from, float x_to, float y0, float y1, int& hit, GameObj* self) {
  int level_hit = 0;
  float level_result = scan_level_x(x_from, x_to, y0, y1, level_hit);
  if (self) {
    int obj_hit = 0;
    float obj_result = gameobj_func_table.scan_objects_x(obj_hit, self, x_from, level_result, y0, y1);
    if (obj_hit) {
      hit |= obj_hit;
      return obj_result;
    }
  }
  hit |= level_hit;
  return level_result;
}

float scan_all_y(float x0, float x1, float y_from, float y_to, int& hit, GameObj* self, float* out) {
  int level_hit = 0;
  float level_ground[2] = {0, 0};
  float level_result = scan_level_y(x0, x1, y_from, y_to, level_hit, level_ground);
  if (self) {
    int obj_hit = 0;
    float obj_ground[2] = {0, 0};
    float obj_result =
        gameobj_func_table.scan_objects_y(obj_hit, self, x0, x1, y_from, level_result, obj_ground);
    if (obj_hit) {
      hit |= obj_hit;
      if ((obj_hit & HIT_DOWN) && out)
        out[0] = obj_ground[0], out[1] = obj_ground[1];
      return obj_result;
    }
  }
  hit |= level_hit;
  if ((level_hit & HIT_DOWN) && out)
    out[0] = level_ground[0], out[1] = level_ground[1];
  return level_result;
}

bool trace_level(__m128 from, __m128 to, int r, __m128* out_pos, vec4i32* out_cell, float* out_t) {
  TrackerScope timing(tracePerf);
  alignas(16) float a[4], b[4];
  _mm_store_ps(a, from);
  _mm_store_ps(b, to);
  if (!std::isfinite(a[0]) || !std::isfinite(a[1]) || !std::isfinite(b[0]) || !std::isfinite(b[1]))
    return false;
  if (r < 0)
    r = 0;
  const float size[2] = {float(LEVEL_WIDTH), float(LEVEL_HEIGHT)};
  const float eps = 1.1920929e-07f;
  float d[2], delta[2], entry[2];
  int step[2];
  for (int k = 0; k < 2; k++) {
    d[k] = b[k] - a[k];
    step[k] = d[k] >= 0 ? 1 : -1;
    delta[k] = std::fabs(d[k]) > eps ? 1.0f / std::fabs(d[k]) : 1e30f;
    entry[k] = d[k] >= 0 ? -a[k] * delta[k] : (a[k] - size[k]) * delta[k];
  }
  int rx = delta[1] <= delta[0] ? r : 0;
  int ry = delta[1] <= delta[0] ? 0 : r;
  float t0 = std::max(0.0f, std::max(entry[0], entry[1]));
  if (t0 >= 1.0f)
    return false;

  int cell[2], end[2];
  float t_max[2];
  for (int k = 0; k < 2; k++) {
    float p = a[k] + d[k] * t0;
    int c = clamped_round(double(p) - 0.49999991);
    // Precision lost on far-away coordinates may land the entry point outside the
    // map: such a segment is not traced.
    if (c < -1 - r || c > int(size[k]) + r)
      return false;
    float f = p - float(c);
    cell[k] = c;
    // The end cell holding B is the last one walked; cell 0 included.
    end[k] = d[k] >= 0 ? std::min(sweep_floor_index(b[k]) + 1, int(size[k]))
                       : std::max(sweep_floor_index(b[k]) - 1, -1);
    if (d[k] >= 0 ? cell[k] >= end[k] : cell[k] <= end[k])
      return false;
    t_max[k] = d[k] >= 0 ? t0 + delta[k] * (1.0f - f) : t0 + delta[k] * f;
  }
  float t = t0;
  for (;;) {
    for (int y = cell[1] - ry; y <= cell[1] + ry; y++) {
      if (y < 0 || y >= LEVEL_HEIGHT)
        continue;
      for (int x = cell[0] - rx; x <= cell[0] + rx; x++) {
        if (x < 0 || x >= LEVEL_WIDTH || !cell_at(x, y).collision)
          continue;
        if (out_t)
          *out_t = t;
        if (out_pos)
          *out_pos = _mm_add_ps(from, _mm_mul_ps(_mm_sub_ps(to, from), _mm_set1_ps(t)));
        if (out_cell)
          *out_cell = {cell[0], cell[1], 0, 0};
        return true;
      }
    }
    int k = t_max[1] > t_max[0] ? 0 : 1;
    cell[k] += step[k];
    if (cell[k] == end[k])
      return false;
    t = t_max[k];
    t_max[k] += delta[k];
  }
}

void level_clear_box(int x0, int y0, int x1, int y1) {
  x0 = std::max(x0, 0);
  y0 = std::max(y0, 0);
  x1 = std::min(x1, LEVEL_WIDTH - 1);
  y1 = std::min(y1, LEVEL_HEIGHT - 1);
  for (int y = y0; y <= y1; y++)
    for (int x = x0; x <= x1; x++) {
      LevelCell& c = cell_at(x, y);
      if (c.collision < 2) {
        c.foreground = 0;
        c.collision = 0;
      }
    }
}

// The level renderer reads the cells whenever it draws, so these do nothing there.
void invalidate_level(int x0, int y0, int x1, int y1) { invalidate_renderer(level_renderer, x0, y0, x1, y1); }
void invalidate_all_level() { invalidate_all_renderer(level_renderer); }
