// DDS files into pool textures. At start-up DDS textures are trusted data: a file that
// cannot be used ends the program with a message naming it; a reload that fails keeps
// the texture it had. Every size is checked against the file before a byte is read.
#include "engine/core/fatal.h"
#include "engine/core/log.h"
#include "engine/core/mem.h"
#include "engine/core/strings.h"
#include "engine/core/vfs.h"
#include "engine/render/d3d_textures.h"
#include "engine/render/dds.h"

#include <physfs.h>
#include <algorithm>
#include <cstring>

namespace {

struct Reader {
  const uint8_t* p;
  const uint8_t* end;
  uint32_t u32() {
    if (end - p < 4) {
      p = end;
      return 0;
    }
    uint32_t v = p[0] | (p[1] << 8) | (p[2] << 16) | ((uint32_t)p[3] << 24);
    p += 4;
    return v;
  }
};

bool is_dxt(D3DFORMAT f) { return f == D3DFMT_DXT1 || f == D3DFMT_DXT3 || f == D3DFMT_DXT5; }

uint32_t dxt_level_size(D3DFORMAT f, int w, int h) {
  return (uint32_t)std::max(1, (w + 3) / 4) * std::max(1, (h + 3) / 4) * (f == D3DFMT_DXT1 ? 8 : 16);
}

}  // namespace

bool parse_dds(const uint8_t* bytes, size_t size, DdsInfo* out) {
  Reader r{bytes, bytes + size};
  if (r.u32() != 0x20534444 || size - 4 < 124) return false;
  uint32_t hsize = r.u32(), flags = r.u32(), height = r.u32(), width = r.u32(), pitch = r.u32();
  r.u32();  // depth
  uint32_t mips = r.u32();
  for (int i = 0; i < 11; i++) r.u32();
  uint32_t pf_size = r.u32(), pf_flags = r.u32(), fourcc = r.u32(), bits = r.u32();
  uint32_t rmask = r.u32(), gmask = r.u32(), bmask = r.u32(), amask = r.u32();
  uint32_t caps = r.u32() & ~0x2u, caps2 = r.u32();
  r.u32();
  r.u32();
  r.u32();
  const uint32_t required = 0x1 | 0x2 | 0x4 | 0x1000;
  if (hsize != 124 || pf_size != 32 || (flags & required) != required || !(caps & 0x1000) || caps2 != 0 ||
      ((flags & 0x8) && (flags & 0x80000)))
    return false;
  if (width == 0 || height == 0 || width > 16384 || height > 16384) return false;
  int levels = (caps & 0x400000) ? (int)mips : 1;
  D3DFORMAT format;
  uint32_t computed;
  uint32_t computed_flag;
  if (pf_flags & 0x4) {
    if (fourcc != D3DFMT_DXT1 && fourcc != D3DFMT_DXT3 && fourcc != D3DFMT_DXT5) return false;
    format = (D3DFORMAT)fourcc;
    computed = dxt_level_size(format, width, height);
    computed_flag = 0x80000;
  } else if (pf_flags & 0x40) {
    if (rmask != 0x00ff0000 || gmask != 0x0000ff00 || bmask != 0x000000ff || bits != 32) return false;
    if (pf_flags & 0x1) {
      if (amask != 0xff000000) return false;
      format = D3DFMT_A8R8G8B8;
    } else {
      format = D3DFMT_X8R8G8B8;
    }
    computed = (bits * width + 7) / 8;
    computed_flag = 0x8;
  } else if ((pf_flags & 0x20000) && bits == 8) {
    format = D3DFMT_L8;
    computed = width;
    computed_flag = 0x8;
  } else {
    return false;
  }
  // A pitch or linear size given by the file must describe the data this reader
  // takes, which is packed: anything else would read the levels out of step.
  if ((flags & (0x8 | 0x80000)) && pitch != computed) return false;
  flags |= computed_flag;
  if (levels < 1) levels = 1;
  // No more levels than the chain down to one pixel (or one block) holds: the count
  // comes from the file and may be anything.
  int limit = 1;
  if (is_dxt(format)) {
    for (uint32_t side = std::min(width, height); side > 4; side /= 2) limit++;
  } else {
    for (uint32_t side = std::max(width, height); side > 1; side /= 2) limit++;
  }
  levels = std::min(levels, limit);
  out->data = bytes + 128;
  out->width = width;
  out->height = height;
  out->format = format;
  out->levels = levels;
  // The top level's bytes as the loader copies them, whichever of pitch and linear
  // size the file gave.
  out->first_size = dds_level_size(format, width, height);
  return true;
}

uint32_t dds_level_size(D3DFORMAT format, int w, int h) {
  if (is_dxt(format)) return dxt_level_size(format, w, h);
  return (uint32_t)w * h * (format == D3DFMT_L8 ? 1 : 4);
}

uint64_t total_level_bytes(const DdsInfo& dds) {
  uint64_t total = 0;
  int w = dds.width, h = dds.height;
  for (int level = 0; level < dds.levels; level++) {
    total += dds_level_size(dds.format, w, h);
    w = std::max(1, w / 2);
    h = std::max(1, h / 2);
  }
  return total;
}

bool is_dds_data(const void* data, int size) { return size >= 4 && std::memcmp(data, "DDS ", 4) == 0; }

namespace {

// Reads the file's header, then only the levels it describes: a file of any size that
// is not a DDS costs one header read.
Texture* read_dds(const char* name, DdsLoadError& error) {
  TempString<260> path(name);
  PHYSFS_File* file = PHYSFS_openRead(path);
  int64_t length = file ? PHYSFS_fileLength(file) : -1;
  uint8_t header[128];
  if (length < 0 || vfs_read(file, header, 1, (uint32_t)std::min<int64_t>(length, sizeof(header))) !=
                        std::min<int64_t>(length, sizeof(header))) {
    if (file) PHYSFS_close(file);
    error.format("Error loading file '%s'", name);
    return nullptr;
  }
  DdsInfo dds;
  if (!parse_dds(header, (size_t)std::min<int64_t>(length, sizeof(header)), &dds)) {
    PHYSFS_close(file);
    error.format("Texture '%s' is not a DDS", name);
    return nullptr;
  }
  uint64_t data_size = total_level_bytes(dds);
  if (data_size > (uint64_t)length - 128) {
    PHYSFS_close(file);
    error.format("DDS texture '%s' is shorter than its header says", name);
    return nullptr;
  }
  uint8_t* data = (uint8_t*)dlmalloc((size_t)data_size);
  bool read = data && vfs_read(file, data, 1, (uint32_t)data_size) == (int64_t)data_size;
  PHYSFS_close(file);
  if (!read) {
    dlfree(data);
    error.format("Error loading file '%s'", name);
    return nullptr;
  }
  Texture* t = create_pool_texture(dds.width, dds.height, dds.levels, 0, dds.format, D3DPOOL_DEFAULT);
  if (!t) {
    dlfree(data);
    error.format("Error creating texture from '%s'", name);
    return nullptr;
  }
  const uint8_t* src = data;
  int w = dds.width, h = dds.height;
  for (int level = 0; level < dds.levels; level++) {
    int pitch = 0;
    uint8_t* dst = (uint8_t*)lock_texture(t, &pitch, level);
    if (!dst) {
      dlfree(data);
      destroy_texture(t);
      error.format("error locking texture '%s' (level %d)", name, level);
      return nullptr;
    }
    if (is_dxt(dds.format)) {
      uint32_t n = dxt_level_size(dds.format, w, h);
      std::memcpy(dst, src, n);
      src += n;
    } else {
      int row = dds.format == D3DFMT_L8 ? w : w * 4;
      for (int y = 0; y < h; y++, src += row, dst += pitch) std::memcpy(dst, src, row);
    }
    unlock_texture(t, level);
    w = std::max(1, w / 2);
    h = std::max(1, h / 2);
  }
  debug("loaded DDS texture '%s'", name);
  dlfree(data);
  return t;
}

}  // namespace

Texture* try_load_dds_texture(const char* name, DdsLoadError& error) {
  error.assign("");
  return read_dds(name, error);
}

Texture* load_dds_texture(const char* name) {
  DdsLoadError error;
  Texture* t = read_dds(name, error);
  if (!t)
    fatal("%s", error.c_str());
  return t;
}
