// Exact Euclidean distance transform (lower envelope of parabolas, one pass per axis).
#include "distance_field.h"

#include <algorithm>
#include <cmath>

namespace {

const float far_away = 1e20f;

// Squared distance transform of one line: d[q] = min over p of (q - p)^2 + f[p].
void transform_line(const float* f, float* d, int n, std::vector<int>& v, std::vector<float>& z) {
  v.resize(n);
  z.resize(n + 1);
  int k = 0;
  v[0] = 0;
  z[0] = -far_away;
  z[1] = far_away;
  for (int q = 1; q < n; q++) {
    float s;
    for (;;) {
      int p = v[k];
      s = ((f[q] + (float)q * q) - (f[p] + (float)p * p)) / (2.0f * (q - p));
      if (s > z[k] || k == 0) break;
      k--;
    }
    if (s <= z[k]) s = z[k];
    k++;
    v[k] = q;
    z[k] = s;
    z[k + 1] = far_away;
  }
  k = 0;
  for (int q = 0; q < n; q++) {
    while (z[k + 1] < q) k++;
    float dq = (float)(q - v[k]);
    d[q] = dq * dq + f[v[k]];
  }
}

// Squared distance from every pixel to the nearest pixel where `feature` holds.
std::vector<float> squared_distance(const Mask& m, uint8_t feature) {
  std::vector<float> grid((size_t)m.w * m.h);
  for (size_t i = 0; i < grid.size(); i++) grid[i] = m.px[i] == feature ? 0.0f : far_away;
  int n = std::max(m.w, m.h);
  std::vector<float> f(n), d(n), z;
  std::vector<int> v;
  for (int x = 0; x < m.w; x++) {
    for (int y = 0; y < m.h; y++) f[y] = grid[(size_t)y * m.w + x];
    transform_line(f.data(), d.data(), m.h, v, z);
    for (int y = 0; y < m.h; y++) grid[(size_t)y * m.w + x] = d[y];
  }
  for (int y = 0; y < m.h; y++) {
    float* row = &grid[(size_t)y * m.w];
    std::copy(row, row + m.w, f.begin());
    transform_line(f.data(), row, m.w, v, z);
  }
  return grid;
}

}  // namespace

std::vector<float> signed_distance(const Mask& m) {
  std::vector<float> to_inside = squared_distance(m, 1);
  std::vector<float> to_outside = squared_distance(m, 0);
  std::vector<float> out(to_inside.size());
  for (size_t i = 0; i < out.size(); i++) {
    // Pixel centres lie half a pixel from the edge between two pixels.
    if (m.px[i])
      out[i] = -(std::sqrt(std::min(to_outside[i], 1e12f)) - 0.5f);
    else
      out[i] = std::sqrt(std::min(to_inside[i], 1e12f)) - 0.5f;
  }
  return out;
}

std::vector<uint8_t> distance_texels(const Mask& m, int ss, int spread) {
  int w = m.w / ss, h = m.h / ss;
  std::vector<float> d = signed_distance(m);
  std::vector<uint8_t> out((size_t)w * h);
  for (int y = 0; y < h; y++) {
    for (int x = 0; x < w; x++) {
      // The texel centre falls between four mask pixels: average them.
      int cx = x * ss + ss / 2, cy = y * ss + ss / 2;
      float sum = 0;
      for (int dy = -1; dy <= 0; dy++)
        for (int dx = -1; dx <= 0; dx++) sum += d[(size_t)(cy + dy) * m.w + (cx + dx)];
      float texels = sum / 4 / ss;
      float value = std::clamp(0.5f - texels / (2.0f * spread), 0.0f, 1.0f);
      out[(size_t)y * w + x] = (uint8_t)std::lround(value * 255.0f);
    }
  }
  return out;
}
