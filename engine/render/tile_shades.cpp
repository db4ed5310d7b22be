// The detail tiles' shades at the pixels of one world unit, as pixel constants.
#include "engine/render/tile_shades.h"

#include <physfs.h>

#include <cmath>
#include <vector>

#include "engine/core/vfs.h"
#include "engine/render/d3d_device.h"
#include "engine/render/d3d_shaders.h"
#include "engine/render/dds.h"
#include "engine/render/scene_view.h"

namespace {

constexpr int TILE_SIDE = 16;

struct KnownTile {
  Texture* texture;
  std::vector<uint8_t> texels;  // TILE_SIDE x TILE_SIDE, row 0 at the top
};

std::vector<KnownTile> known_tiles;

// The shades last put in the constants, so a pass that binds the same tile again
// uploads nothing.
const KnownTile* loaded_tile = nullptr;
int loaded_scale = 0;

std::vector<uint8_t> read_file(const char* name) {
  std::vector<uint8_t> bytes;
  PHYSFS_File* file = PHYSFS_openRead(name);
  if (!file)
    return bytes;
  int64_t length = PHYSFS_fileLength(file);
  if (length > 0) {
    bytes.resize(size_t(length));
    if (vfs_read(file, bytes.data(), 1, uint32_t(length)) != length)
      bytes.clear();
  }
  PHYSFS_close(file);
  return bytes;
}

// The sampler's linear filtering with wrap addressing at (u, v), in texture
// coordinates, rounded to the 8 bits the sampler returns for these texels.
float sample_linear_wrap(const std::vector<uint8_t>& texels, float u, float v) {
  float x = u * TILE_SIDE - 0.5f, y = v * TILE_SIDE - 0.5f;
  float x0 = std::floor(x), y0 = std::floor(y);
  float fx = x - x0, fy = y - y0;
  auto at = [&](int col, int row) {
    col &= TILE_SIDE - 1;
    row &= TILE_SIDE - 1;
    return float(texels[size_t(row) * TILE_SIDE + col]);
  };
  int c = int(x0), r = int(y0);
  float top = at(c, r) + (at(c + 1, r) - at(c, r)) * fx;
  float bottom = at(c, r + 1) + (at(c + 1, r + 1) - at(c, r + 1)) * fx;
  return std::nearbyint(top + (bottom - top) * fy) / 255.0f;
}

bool near_whole(double v) { return std::fabs(v - std::nearbyint(v)) < 1e-3; }

}  // namespace

void remember_tile_texels(Texture* tile, const char* file) {
  if (!tile)
    return;
  std::vector<uint8_t> bytes = read_file(file);
  DdsInfo dds;
  if (bytes.empty() || !parse_dds(bytes.data(), bytes.size(), &dds))
    return;
  size_t count = size_t(TILE_SIDE) * TILE_SIDE;
  if (dds.format != D3DFMT_L8 || dds.width != TILE_SIDE || dds.height != TILE_SIDE ||
      size_t(dds.data - bytes.data()) + count > bytes.size())
    return;
  known_tiles.push_back({tile, std::vector<uint8_t>(dds.data, dds.data + count)});
  loaded_tile = nullptr;
}

void forget_tile_texels() {
  known_tiles.clear();
  loaded_tile = nullptr;
}

bool set_tile_shade_consts(Texture* tile) {
  int s = voxel_scale;
  if (s < 1 || s > TILE_SHADE_MAX_SCALE)
    return false;
  const KnownTile* known = nullptr;
  for (const KnownTile& k : known_tiles)
    if (k.texture == tile)
      known = &k;
  if (!known)
    return false;
  if (known == loaded_tile && s == loaded_scale)
    return true;
  // Pixel (i, j) of a unit samples the tile at the pixel's centre, ((i + 0.5) / s,
  // (j + 0.5) / s); the shaders double the sample.
  alignas(16) float shades[4 * (224 - TILE_SHADE_FIRST_REG)] = {};
  for (int j = 0; j < s; j++)
    for (int i = 0; i < s; i++)
      shades[j * s + i] = 2.0f * sample_linear_wrap(known->texels, (i + 0.5f) / s, (j + 0.5f) / s);
  alignas(16) float scale[4] = {float(s), 0, 0, 0};
  set_ps_consts(TILE_SHADE_SCALE_REG, scale, 1);
  set_ps_consts(TILE_SHADE_FIRST_REG, shades, (s * s + 3) / 4);
  loaded_tile = known;
  loaded_scale = s;
  return true;
}

bool grid_on_pixels(const Matrix44& m, float grid) {
  D3DVIEWPORT9 vp = {};
  if (!d3d || voxel_scale < 1 || d3d->GetViewport(&vp) != D3D_OK || !vp.Width || !vp.Height)
    return false;
  // Rows are multiplied as row vectors: clip x = x m00 + y m10 + z m20 + m30, and so on.
  // Depth must not move points across the screen, nor may w vary.
  if (m.m[1][0] != 0 || m.m[2][0] != 0 || m.m[0][1] != 0 || m.m[2][1] != 0 || m.m[0][3] != 0 ||
      m.m[1][3] != 0 || m.m[2][3] != 0 || m.m[3][3] != 1)
    return false;
  double half_w = vp.Width * 0.5, half_h = vp.Height * 0.5;
  double s = voxel_scale;
  // Pixels per world unit, and where the world's origin lands in pixels from the
  // viewport's top left corner: pixel centres lie on whole numbers, their edges halfway.
  if (std::fabs(m.m[0][0] * half_w - s) > 1e-4 * s || std::fabs(m.m[1][1] * half_h - s) > 1e-4 * s)
    return false;
  double step = s * grid;
  return near_whole(step) && near_whole((m.m[3][0] + 1.0) * half_w + 0.5) &&
         near_whole((1.0 - m.m[3][1]) * half_h + 0.5);
}
