#pragma once
// Distance fields from high-resolution masks: a shape is drawn SS times larger than
// its texels, its exact Euclidean distance transform taken, and each texel gets the
// signed distance at its centre, mapped so that 0.5 is the edge.
#include <cstddef>
#include <cstdint>
#include <vector>

struct Mask {
  int w = 0, h = 0;
  std::vector<uint8_t> px;  // 1 inside, row 0 at the top
  Mask() = default;
  Mask(int w, int h) : w(w), h(h), px((size_t)w * h, 0) {}
  uint8_t& at(int x, int y) { return px[(size_t)y * w + x]; }
  uint8_t at(int x, int y) const { return px[(size_t)y * w + x]; }
};

// Signed distance in mask pixels from each pixel centre to the shape's edge, negative
// inside. A mask without any inside (or outside) pixel gives a large constant.
std::vector<float> signed_distance(const Mask& m);

// Texels of a mask drawn `ss` times larger than the result (m.w and m.h multiples of
// ss): byte = 255 * clamp(0.5 - d / (2 * spread), 0, 1) with d the signed distance in
// texels, so the edge is 128, `spread` texels inside 255 and `spread` outside 0.
std::vector<uint8_t> distance_texels(const Mask& m, int ss, int spread);
