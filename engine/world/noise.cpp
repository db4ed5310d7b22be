// Noise functions.
#include "engine/world/noise.h"

#include <array>
#include <cmath>

#include "engine/shared/level_map.h"

// clang-format off
// The built-in permutation of 0..255.
#define DEFAULT_NOISE_PERM \
  66, 17, 77, 210, 212, 206, 97, 118, 99, 183, 134, 81, 129, 127, 176, 174, 122, 225, 216, 102, 135, 153, 168, \
  233, 125, 65, 14, 31, 200, 44, 133, 28, 146, 6, 98, 171, 61, 184, 192, 20, 68, 23, 33, 218, 9, 111, 193, 24, \
  227, 215, 40, 15, 46, 254, 235, 137, 188, 35, 1, 30, 196, 47, 90, 203, 224, 198, 166, 57, 19, 170, 110, 214, \
  189, 208, 239, 2, 222, 114, 85, 32, 71, 63, 173, 245, 149, 8, 164, 38, 251, 92, 209, 155, 126, 117, 11, 244, \
  138, 56, 52, 106, 180, 29, 48, 53, 243, 252, 121, 124, 162, 242, 73, 50, 70, 51, 59, 182, 255, 177, 41, 231, \
  100, 89, 236, 150, 42, 26, 130, 94, 228, 143, 109, 12, 237, 82, 151, 249, 108, 93, 172, 253, 181, 88, 156, 219, \
  195, 234, 123, 45, 145, 248, 241, 157, 104, 25, 39, 113, 223, 154, 186, 84, 141, 115, 67, 217, 226, 246, 69, \
  83, 139, 220, 199, 13, 16, 54, 34, 230, 201, 36, 64, 207, 232, 87, 240, 159, 7, 211, 160, 49, 112, 247, 205, \
  202, 131, 105, 116, 178, 72, 80, 21, 158, 147, 3, 86, 148, 213, 37, 95, 161, 175, 27, 204, 10, 190, 179, 144, \
  58, 197, 76, 120, 62, 136, 163, 167, 107, 91, 165, 60, 101, 140, 132, 79, 142, 169, 55, 18, 185, 238, 78, 22, \
  75, 152, 250, 191, 4, 229, 5, 103, 187, 0, 96, 119, 74, 221, 128, 194, 43

// Stored twice over, so that two chained lookups never wrap.
uint8_t noise_perm[512] = {DEFAULT_NOISE_PERM, DEFAULT_NOISE_PERM};
#undef DEFAULT_NOISE_PERM
// clang-format on

namespace {

// The built-in feature points: four fixed values, then a fixed sequence in [0, 1).
constexpr std::array<float, 512> make_points() {
  std::array<float, 512> p{};
  p[0] = 0.118245f;
  p[1] = 0.024383f;
  p[2] = 0.053721f;
  p[3] = 0.372283f;
  uint64_t s = 0x9E3779B97F4A7C15ull;
  for (int i = 4; i < 512; i++) {
    s ^= s >> 12;
    s ^= s << 25;
    s ^= s >> 27;
    uint32_t bits = uint32_t((s * 0x2545F4914F6CDD1Dull) >> 40);  // 24 bits
    p[i] = float(bits) / 16777216.0f;
  }
  return p;
}
constexpr std::array<float, 512> initial_points = make_points();

}  // namespace

float noise_points[512] = {};
static const bool noise_points_filled = [] {
  for (int i = 0; i < 512; i++)
    noise_points[i] = initial_points[i];
  return true;
}();

namespace {

const float grad2[8][2] = {{0, 1}, {0, -1}, {-1, -1}, {1, -1}, {1, 0}, {-1, 0}, {-1, 1}, {1, 1}};

// 4-D gradients: one component 0 (first to last), the other three +-1 with the
// signs counted in binary, + before -, the first most significant.
struct Grad4Table {
  float g[32][4];
  constexpr Grad4Table() : g{} {
    for (int zero = 0; zero < 4; zero++)
      for (int signs = 0; signs < 8; signs++) {
        float* v = g[zero * 8 + signs];
        int bit = 2;
        for (int k = 0; k < 4; k++) {
          if (k == zero) {
            v[k] = 0;
            continue;
          }
          v[k] = (signs >> bit) & 1 ? -1.0f : 1.0f;
          bit--;
        }
      }
  }
};
constexpr Grad4Table grad4;

float grad1(int h) { return (h & 8) ? -float((h & 7) + 1) : float((h & 7) + 1); }

float pow4(float q) {
  q *= q;
  return q * q;
}

Point2 feature_point(int h) { return {noise_points[2 * h], noise_points[2 * h + 1]}; }

}  // namespace

int noise_floor(float v) {
  double d = double(v) - 0.49999988;
  if (!(d > -1073741824.0))
    return -1073741824;
  if (d > 1073741824.0)
    return 1073741824;
  return int(__builtin_nearbyint(d));
}

float noise1(float x) {
  // Floats this large are whole numbers, where the noise is 0 (NaN too).
  if (!(std::fabs(x) < 8388608.0f))
    return 0.0f;
  int i = noise_floor(x);
  float t = x - float(i);
  float g0 = grad1(noise_perm[i & 255]);
  float g1 = grad1(noise_perm[(i + 1) & 255]);
  float t1 = t - 1.0f;
  return 0.4f * (g0 * pow4(1.0f - t * t) * t + g1 * pow4(1.0f - t1 * t1) * t1);
}

float noise4(float x, float y, float z, float w) {
  const float F = 0.309017f, G = 0.1381966f;
  float s = (x + y + z + w) * F;
  int c[4] = {noise_floor(x + s), noise_floor(y + s), noise_floor(z + s), noise_floor(w + s)};
  // Four cells of up to +-2^30 can pass the int range: sum them in 64 bits
  // (the same float for every sum that fits).
  float t = float(int64_t(c[0]) + c[1] + c[2] + c[3]) * G;
  float p0[4] = {x - (float(c[0]) - t), y - (float(c[1]) - t), z - (float(c[2]) - t), w - (float(c[3]) - t)};
  int rank[4] = {0, 0, 0, 0};
  for (int a = 0; a < 4; a++)
    for (int b = a + 1; b < 4; b++) {
      if (p0[a] > p0[b])
        rank[a]++;
      else
        rank[b]++;
    }
  int ii = c[0] & 255, jj = c[1] & 255, kk = c[2] & 255, ll = c[3] & 255;
  float sum = 0;
  for (int corner = 0; corner <= 4; corner++) {
    int step[4];
    float off[4];
    for (int k = 0; k < 4; k++) {
      step[k] = corner == 0 ? 0 : corner == 4 ? 1 : rank[k] >= 4 - corner;
      off[k] = p0[k] - float(step[k]) + float(corner) * G;
    }
    if (corner == 4)
      for (int k = 0; k < 4; k++)
        off[k] = p0[k] - 1.0f + 4.0f * G;
    float q = 0.6f - (off[0] * off[0] + off[1] * off[1] + off[2] * off[2] + off[3] * off[3]);
    if (q < 0)
      continue;
    int h = noise_perm[ii + step[0] + noise_perm[jj + step[1] + noise_perm[kk + step[2] + noise_perm[ll + step[3]]]]] & 31;
    const float* g = grad4.g[h];
    sum += pow4(q) * (g[0] * off[0] + g[1] * off[1] + g[2] * off[2] + g[3] * off[3]);
  }
  return 27.0f * sum;
}

float tiled_noise2(float x, float y, float period) {
  float r = float(double(period) * 0.15915494309189535);
  float ax = float((double(x) * 6.283185307179586) * (1.0 / double(period)));
  float ay = float((double(y) * 6.283185307179586) * (1.0 / double(period)));
  return noise4(r * cosf(ax), r * cosf(ay), r * sinf(ax), r * sinf(ay));
}

float old_tiled_noise2(float x, float y, int period) {
  int m = period - 1;
  int i = noise_floor(x), j = noise_floor(y);
  float fx = x - float(i), fy = y - float(j);
  float sum = 0;
  for (int b = 0; b < 2; b++)
    for (int a = 0; a < 2; a++) {
      int h = noise_perm[noise_perm[((j + b) & m) & 255] + (((i + a) & m) & 255)] & 7;
      float dx = fx - float(a), dy = fy - float(b);
      float q = 1.0f - dx * dx - dy * dy;
      if (q <= 0)
        continue;
      sum += pow4(q) * (grad2[h][0] * dx + grad2[h][1] * dy);
    }
  return 2.75f * sum;
}

namespace {

// The nine cells around (x, y): the vector to each feature point and its cell id.
// A period of 2^n needs n in 0..30 to fit an int; n beyond either end takes
// the nearest of them.
template <class F>
void voronoi_cells(float x, float y, int n, F&& visit) {
  n = n < 0 ? 0 : n > 30 ? 30 : n;
  int m = int((1u << n) - 1u);
  int i = noise_floor(x), j = noise_floor(y);
  float fx = x - float(i), fy = y - float(j);
  for (int dy = -1; dy <= 1; dy++)
    for (int dx = -1; dx <= 1; dx++) {
      int h = noise_perm[noise_perm[((j + dy) & m) & 255] + (((i + dx) & m) & 255)];
      Point2 f = feature_point(h);
      Point2 v = {float(dx) + f.x - fx, float(dy) + f.y - fy};
      // Row bits beyond the id's high half fall off (periods above 2^16).
      int id = int((unsigned((j + dy) & m) << 16) | unsigned((i + dx) & m));
      visit((dy + 1) * 3 + (dx + 1), v, id);
    }
}

}  // namespace

void tiled_voronoi_noise2_all9(float x, float y, int periodLog2, Point2* points, int* ids) {
  voronoi_cells(x, y, periodLog2, [&](int k, Point2 v, int id) {
    if (points)
      points[k] = v;
    if (ids)
      ids[k] = id;
  });
}

void tiled_voronoi_noise2_near4(float x, float y, int periodLog2, float* dists, int* ids, Point2* points) {
  float d[4] = {3.4028235e38f, 3.4028235e38f, 3.4028235e38f, 3.4028235e38f};
  int id4[4] = {0, 0, 0, 0};
  Point2 p4[4] = {};
  voronoi_cells(x, y, periodLog2, [&](int, Point2 v, int id) {
    float dist = v.y * v.y + v.x * v.x;
    int at = 0;
    while (at < 4 && !(d[at] > dist))
      at++;
    if (at == 4)
      return;
    for (int k = 3; k > at; k--) {
      d[k] = d[k - 1];
      id4[k] = id4[k - 1];
      p4[k] = p4[k - 1];
    }
    d[at] = dist;
    id4[at] = id;
    p4[at] = v;
  });
  for (int k = 0; k < 4; k++) {
    if (dists)
      dists[k] = d[k];
    if (ids)
      ids[k] = id4[k];
    if (points)
      points[k] = p4[k];
  }
}

void reseed_noise() {
  for (int i = 0; i < 256; i++)
    noise_perm[i] = uint8_t(i);
  for (int pass = 0; pass < 4; pass++)
    for (int i = 0; i < 256; i++) {
      int j = rnd_u32(game_rnd_seed) & 255;
      uint8_t t = noise_perm[i];
      noise_perm[i] = noise_perm[j];
      noise_perm[j] = t;
    }
  for (int i = 0; i < 256; i++)
    noise_perm[256 + i] = noise_perm[i];
  for (int i = 0; i < 512; i++)
    noise_points[i] = rnd_float(game_rnd_seed);
}
