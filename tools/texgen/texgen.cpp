// Writes the backdrop and the detail tiles as 8-bit luminance DDS files, from the
// engine's seamless noise with its built-in permutation, so every run gives the same
// bytes:
//   background.dds  256 x 256: soft clouds; the background shader shades it between
//                   two colours, four world units per texel.
//   voxel-tile.dds  16 x 16: one voxel (a sprite pixel or a level cell) as a bevelled
//                   block, lit from the top left; 128 is the unlit middle.
//   back-tile.dds   16 x 16: one cell of the level's back layer, flatter and darker.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/world/noise.h"

namespace {

struct Image {
  int size;
  std::vector<float> v;  // row 0 first (the top of the picture)
  explicit Image(int s) : size(s), v(size_t(s) * s) {}
  float& at(int x, int y) { return v[size_t(y) * size + x]; }
};

// Octaves of seamless noise over the image, the first of `period` lattice cells.
float fbm(float x, float y, int size, float period, int octaves) {
  float sum = 0, amp = 1, norm = 0;
  for (int o = 0; o < octaves; o++) {
    float p = period * float(1 << o);
    sum += amp * tiled_noise2(x * p / float(size), y * p / float(size), p);
    norm += amp;
    amp *= 0.5f;
  }
  return sum / norm;
}

// Values stretched so that the given fractions of the darkest and brightest pixels
// reach lo and hi.
void stretch(Image& img, float lo, float hi) {
  std::vector<float> sorted = img.v;
  std::sort(sorted.begin(), sorted.end());
  float a = sorted[sorted.size() / 50], b = sorted[sorted.size() - 1 - sorted.size() / 50];
  for (float& f : img.v)
    f = lo + (hi - lo) * std::clamp((f - a) / (b - a), 0.0f, 1.0f);
}

Image backdrop() {
  Image img(256);
  for (int y = 0; y < img.size; y++)
    for (int x = 0; x < img.size; x++)
      img.at(x, y) = fbm(float(x), float(y), img.size, 4, 5);
  stretch(img, 0.0f, 255.0f);
  return img;
}

// A block seen from the front: the bevel's light and shade by the distance to each
// edge, with a little grain.
Image block(float middle, float light, float shade, float bevel, float grain, float period) {
  Image img(16);
  for (int y = 0; y < 16; y++)
    for (int x = 0; x < 16; x++) {
      float fx = (x + 0.5f) / 16, fy = (y + 0.5f) / 16;
      float top = std::max(0.0f, 1 - fy / bevel), left = std::max(0.0f, 1 - fx / bevel);
      float bottom = std::max(0.0f, 1 - (1 - fy) / bevel), right = std::max(0.0f, 1 - (1 - fx) / bevel);
      float lit = std::max(top, left * 0.7f), dark = std::max(bottom, right * 0.7f);
      float v = middle + light * lit - shade * dark;
      img.at(x, y) = v + grain * tiled_noise2(fx * period, fy * period, period);
    }
  return img;
}

bool write_l8_dds(const std::string& path, const Image& img) {
  uint32_t h[32] = {};
  h[0] = 0x20534444;  // "DDS "
  h[1] = 124;
  h[2] = 0x1 | 0x2 | 0x4 | 0x8 | 0x1000;  // caps, height, width, pitch, pixel format
  h[3] = uint32_t(img.size);
  h[4] = uint32_t(img.size);
  h[5] = uint32_t(img.size);  // pitch
  h[19] = 32;                 // pixel format size
  h[20] = 0x20000;            // luminance
  h[22] = 8;
  h[23] = 0xFF;
  h[27] = 0x1000;  // texture
  std::vector<uint8_t> bytes(img.v.size());
  for (size_t i = 0; i < bytes.size(); i++)
    bytes[i] = uint8_t(std::lround(std::clamp(img.v[i], 0.0f, 255.0f)));
  FILE* f = fopen(path.c_str(), "wb");
  if (!f)
    return false;
  bool ok = fwrite(h, 4, 32, f) == 32 && fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: texgen <data folder>\n");
    return 2;
  }
  std::string dir = std::string(argv[1]) + "/";
  struct Output {
    const char* name;
    Image img;
  } outputs[] = {
      {"background.dds", backdrop()},
      {"voxel-tile.dds", block(128, 60, 62, 0.3f, 6, 4)},
      {"back-tile.dds", block(84, 16, 22, 0.2f, 10, 2)},
  };
  for (const Output& o : outputs) {
    if (!write_l8_dds(dir + o.name, o.img)) {
      fprintf(stderr, "texgen: cannot write %s%s\n", dir.c_str(), o.name);
      return 1;
    }
    printf("wrote %s%s\n", dir.c_str(), o.name);
  }
  return 0;
}
