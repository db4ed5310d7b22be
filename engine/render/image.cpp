#include "engine/render/image.h"

#include <png.h>
#include <physfs.h>

#include <cstdint>
#include <cstring>

#include "engine/core/log.h"
#include "engine/core/stream.h"
#include "engine/core/vfs.h"

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-function"
#include <stb_image_write.h>
#pragma GCC diagnostic pop

// libpng read callback over an open PhysicsFS file: exactly the requested length or
// a libpng error.
static void png_physfs_read(png_structp png, png_bytep data, png_size_t length) {
  PHYSFS_File* file = (PHYSFS_File*)png_get_io_ptr(png);
  if (vfs_read(file, data, 1, uint32_t(length)) != int64_t(length))
    png_error(png, "error reading PNG file");
}

// Decodes with libpng; a libpng error longjmps back here. Kept apart from load_png so
// no object with a destructor lives across the setjmp.
static bool decode_png(PHYSFS_File* file, int* width, int* height, DynArray<uint32_t>& pixels) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!png)
    return false;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_set_read_fn(png, file, png_physfs_read);
  png_read_png(png, info,
               PNG_TRANSFORM_EXPAND | PNG_TRANSFORM_GRAY_TO_RGB | PNG_TRANSFORM_PACKING | PNG_TRANSFORM_BGR,
               nullptr);
  int w = int(png_get_image_width(png, info)), h = int(png_get_image_height(png, info));
  int depth = png_get_bit_depth(png, info), channels = png_get_channels(png, info);
  int type = png_get_color_type(png, info);
  bool rgba = type == PNG_COLOR_TYPE_RGBA && depth == 8 && channels == 4;
  bool rgb = type == PNG_COLOR_TYPE_RGB && depth == 8 && channels == 3;
  if (!rgba && !rgb) {
    debug("PNG bits: %d  channels: %d  color type: %d", depth, channels, type);
    png_error(png, "unsupported PNG image type");
  }
  png_bytepp rows = png_get_rows(png, info);
  pixels.resize(w * h);
  for (int y = 0; y < h; y++) {
    const uint8_t* src = rows[h - 1 - y];
    uint32_t* dst = pixels.data + size_t(y) * size_t(w);
    if (rgba) {
      memcpy(dst, src, size_t(w) * 4);
    } else {
      for (int x = 0; x < w; x++, src += 3)  // bytes B, G, R after the BGR transform
        dst[x] = 0xFF000000u | uint32_t(src[2]) << 16 | uint32_t(src[1]) << 8 | src[0];
    }
  }
  *width = w;
  *height = h;
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

bool load_png(const char* path, int* width, int* height, DynArray<uint32_t>& pixels) {
  PHYSFS_File* file = PHYSFS_openRead(path);
  if (!file)
    return false;
  bool ok = decode_png(file, width, height, pixels);
  PHYSFS_close(file);
  return ok;
}

static uint16_t get16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

void read_tga(InputStream& in, int* width, int* height, DynArray<uint32_t>& pixels) {
  uint8_t header[18];
  in.read(header, sizeof(header));
  if (header[2] != 2 || header[16] != 32)
    throw InputStream::Exception("unsupported TGA format", in.tell());
  int w = get16(header + 12), h = get16(header + 14);
  if (w == 0 || h == 0)
    throw InputStream::Exception("zero-sized TGA image", in.tell());
  // The pixel array counts in 32-bit ints and reads its bytes in one call: refuse
  // images whose byte count does not fit.
  if (int64_t(w) * h * 4 > INT32_MAX)
    throw InputStream::Exception("TGA image too large", in.tell());
  // The file must hold the pixels before room is made for them: a header alone
  // must not make the reader reserve gigabytes.
  int pixels_at = in.tell();
  in.seekEnd(0);
  int64_t available = int64_t(in.tell()) - pixels_at;
  in.seek(pixels_at);
  if (available < int64_t(w) * h * 4)
    throw InputStream::Exception("TGA file shorter than its image", pixels_at);
  *width = w;
  *height = h;
  int n = w * h;
  if (n < pixels.size()) {
    pixels.resize(n);
  } else if (n > pixels.size()) {
    pixels.reserve(n);
    pixels.resize(n);
  }
  in.read(pixels.data, n * 4);
}

bool load_tga(const char* path, int* width, int* height, DynArray<uint32_t>& pixels) {
  PhysFSFileInputStream in;
  if (!in.open(path))
    return false;
  try {
    read_tga(in, width, height, pixels);
  } catch (const InputStream::Exception&) {
    return false;
  }
  return true;
}

void write_tga(OutputStream& out, const uint32_t* pixels, int width, int height, int pitch) {
  uint8_t header[18] = {};
  header[2] = 2;
  header[12] = uint8_t(width);
  header[13] = uint8_t(width >> 8);
  header[14] = uint8_t(height);
  header[15] = uint8_t(height >> 8);
  header[16] = 32;
  header[17] = 0x08;
  out.write(header, sizeof(header));
  const uint8_t* base = (const uint8_t*)pixels;
  for (int y = height - 1; y >= 0; y--)
    out.write(base + size_t(y) * size_t(pitch), width * 4);
}

bool save_tga(const char* path, const uint32_t* pixels, int width, int height, int pitch) {
  PhysFSFileOutputStream out;
  if (!out.open(path, false))
    return false;
  try {
    write_tga(out, pixels, width, height, pitch);
  } catch (const OutputStream::Exception&) {
    return false;
  }
  return out.close();
}

// The reason of the file system's last failure; `fallback` when it gave none.
static const char* file_error(const char* fallback) {
  const char* why = vfs_last_error();
  return why ? why : fallback;
}

bool save_png(const char* path, int width, int height, int components, const uint8_t* pixels, int pitch,
              const char** why) {
  const char* unused;
  if (!why)
    why = &unused;
  int size = 0;
  unsigned char* png = stbi_write_png_to_mem(pixels, pitch, width, height, components, &size);
  if (!png) {
    *why = "the picture cannot be encoded";
    return false;
  }
  PHYSFS_File* file = PHYSFS_openWrite(path);
  if (!file) {
    STBIW_FREE(png);
    *why = file_error("the file cannot be made");
    return false;
  }
  // A write may take part of the bytes; the next one then tells why it stopped.
  int64_t written = 0, put = 0;
  while (written < size && (put = PHYSFS_writeBytes(file, png + written, PHYSFS_uint64(size - written))) > 0)
    written += put;
  bool ok = written == size;
  if (!ok)
    *why = file_error("the file was not written whole");
  if (!PHYSFS_close(file) && ok) {
    ok = false;
    *why = file_error("the file cannot be closed");
  }
  STBIW_FREE(png);
  // A full disk stops the write part way: no partial picture stays behind.
  if (!ok)
    PHYSFS_delete(path);
  return ok;
}
