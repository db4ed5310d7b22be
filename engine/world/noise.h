#pragma once
// Deterministic noise over one shared permutation table: 1-D gradient noise, 4-D
// simplex noise, seamless 2-D noise, an older tiled 2-D noise and tiled cellular
// noise. reseed_noise reshuffles the tables from the game's random generator.
#include <cstdint>

struct Point2 {
  float x, y;
};

extern uint8_t noise_perm[512];
extern float noise_points[512];

float noise1(float x);
float noise4(float x, float y, float z, float w);
float tiled_noise2(float x, float y, float period);
float old_tiled_noise2(float x, float y, int period);
void tiled_voronoi_noise2_all9(float x, float y, int periodLog2, Point2* points, int* ids);
void tiled_voronoi_noise2_near4(float x, float y, int periodLog2, float* dists, int* ids, Point2* points);
void reseed_noise();
// Lattice cell of a coordinate: the floor, whole numbers to themselves; NaN and
// values beyond 2^30 clamp to +-2^30.
int noise_floor(float v);
