// Direct3D formats as GL images. Memory layouts follow Direct3D (A8R8G8B8 is B, G, R, A
// in memory), so locked bytes are uploaded unchanged.
#include "platform/d3d9/d3d9_impl.h"

#include <cstring>

#define SW_RGBA {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA}
#define SW_RGB1 {GL_RED, GL_GREEN, GL_BLUE, GL_ONE}
#define SW_R111 {GL_RED, GL_ONE, GL_ONE, GL_ONE}
#define SW_RG11 {GL_RED, GL_GREEN, GL_ONE, GL_ONE}
#define SW_LLL1 {GL_RED, GL_RED, GL_RED, GL_ONE}

static const GlFormat formats[] = {
    {D3DFMT_A8R8G8B8, GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, 4, 0, SW_RGBA, true},
    {D3DFMT_X8R8G8B8, GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, 4, 0, SW_RGB1, true},
    {D3DFMT_A4R4G4B4, GL_RGBA4, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV, 2, 0, SW_RGBA, true},
    {D3DFMT_A1R5G5B5, GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, 2, 0, SW_RGBA, true},
    {D3DFMT_X1R5G5B5, GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, 2, 0, SW_RGB1, true},
    {D3DFMT_R5G6B5, GL_RGB565, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, 2, 0, SW_RGB1, true},
    {D3DFMT_G16R16, GL_RG16, GL_RG, GL_UNSIGNED_SHORT, 4, 0, SW_RG11, true},
    {D3DFMT_L8, GL_R8, GL_RED, GL_UNSIGNED_BYTE, 1, 0, SW_LLL1, false},
    {D3DFMT_R16F, GL_R16F, GL_RED, GL_HALF_FLOAT, 2, 0, SW_R111, true},
    {D3DFMT_G16R16F, GL_RG16F, GL_RG, GL_HALF_FLOAT, 4, 0, SW_RG11, true},
    {D3DFMT_A16B16G16R16F, GL_RGBA16F, GL_RGBA, GL_HALF_FLOAT, 8, 0, SW_RGBA, true},
    {D3DFMT_R32F, GL_R32F, GL_RED, GL_FLOAT, 4, 0, SW_R111, true},
    {D3DFMT_G32R32F, GL_RG32F, GL_RG, GL_FLOAT, 8, 0, SW_RG11, true},
    {D3DFMT_A32B32G32R32F, GL_RGBA32F, GL_RGBA, GL_FLOAT, 16, 0, SW_RGBA, true},
    {D3DFMT_DXT1, GL_COMPRESSED_RGBA_S3TC_DXT1_EXT, 0, 0, 0, 8, SW_RGBA, false},
    {D3DFMT_DXT3, GL_COMPRESSED_RGBA_S3TC_DXT3_EXT, 0, 0, 0, 16, SW_RGBA, false},
    {D3DFMT_DXT5, GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, 0, 0, 0, 16, SW_RGBA, false},
    {D3DFMT_D24S8, GL_DEPTH24_STENCIL8, GL_DEPTH_STENCIL, GL_UNSIGNED_INT_24_8, 4, 0, SW_RGBA, true},
    {D3DFMT_D16, GL_DEPTH_COMPONENT16, GL_DEPTH_COMPONENT, GL_UNSIGNED_SHORT, 2, 0, SW_RGBA, true},
};

const GlFormat* gl_format(D3DFORMAT format) {
  for (const GlFormat& f : formats)
    if (f.d3d == format) return &f;
  return nullptr;
}

int format_pitch(const GlFormat* f, int width) {
  if (f->block_bytes) return ((width + 3) / 4 > 0 ? (width + 3) / 4 : 1) * f->block_bytes;
  return width * f->bytes_per_pixel;
}

int format_rows(const GlFormat* f, int height) {
  if (f->block_bytes) return (height + 3) / 4 > 0 ? (height + 3) / 4 : 1;
  return height;
}

bool is_bgra8(const GlFormat* f) { return f->format == GL_BGRA && f->type == GL_UNSIGNED_INT_8_8_8_8_REV; }

UploadTexels upload_texels(const GlFormat* f, bool bgra_storage, const uint8_t* texels, int pitch, int w, int h,
                           std::vector<uint8_t>& staging) {
  if (!is_bgra8(f) || bgra_storage)
    return {texels, f->format, f->type, pitch / (f->bytes_per_pixel ? f->bytes_per_pixel : 1)};
  staging.resize((size_t)w * h * 4);
  uint32_t* out = (uint32_t*)staging.data();
  for (int y = 0; y < h; y++, out += w) {
    const uint8_t* row = texels + (size_t)y * pitch;
    for (int x = 0; x < w; x++) {
      uint32_t v;
      std::memcpy(&v, row + 4 * x, 4);
      // B, G, R, A in memory (A8R8G8B8 read as a little-endian word) to R, G, B, A.
      out[x] = (v & 0xFF00FF00u) | ((v >> 16) & 0xFFu) | ((v & 0xFFu) << 16);
    }
  }
  return {staging.data(), GL_RGBA, GL_UNSIGNED_BYTE, 0};
}
