// Image readers and writers over the virtual file system: PNG (read through libpng,
// written through stb_image_write) and uncompressed 32-bit TGA.
// Pixels are D3dColor values 0xAARRGGBB, bottom row first.
#pragma once

#include <cstdint>

#include "engine/core/dynarray.h"

class InputStream;
class OutputStream;

bool load_png(const char* path, int* width, int* height, DynArray<uint32_t>& pixels);
bool load_tga(const char* path, int* width, int* height, DynArray<uint32_t>& pixels);
// Throws InputStream::Exception on a bad file.
void read_tga(InputStream& in, int* width, int* height, DynArray<uint32_t>& pixels);
// Rows are written from the last one of the source back to the first.
void write_tga(OutputStream& out, const uint32_t* pixels, int width, int height, int pitch);
bool save_tga(const char* path, const uint32_t* pixels, int width, int height, int pitch);
// False when the file cannot be written whole; then no file is left at `path` and
// `why`, when given, tells the reason.
bool save_png(const char* path, int width, int height, int components, const uint8_t* pixels, int pitch,
              const char** why = nullptr);
