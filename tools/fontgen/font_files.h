#pragma once
// Pages and description files: packing rectangles on a page, the L8 and A8R8G8B8
// DDS writers, the 32-bit TGA writer and the text descriptions of fonts and icons.
#include <cstdint>
#include <string>
#include <vector>

#include "glyphs.h"

struct Page {
  int width = 0, height = 0;
  std::vector<uint8_t> texels;  // width * height, row 0 at the top
};

// Places the rectangles with texels on a page `width` texels wide, one texel apart,
// tallest first in rows; the height is the next power of two that holds them.
Page pack_page(std::vector<PageRect>& rects, int width);

// Uncompressed DDS: L8 from the texels, or A8R8G8B8 white with the texels as alpha.
void write_dds_l8(const std::string& path, const Page& page);
void write_dds_white_alpha(const std::string& path, const Page& page);
// 32-bit TGA of 0xAARRGGBB pixels given top row first (stored bottom row first).
void write_tga(const std::string& path, const std::vector<uint32_t>& pixels, int width, int height);

struct FontDescription {
  std::string face;
  int size, spread, lineHeight;
  std::string pageFile;  // the texture is this name with ".dds" appended
  int pageWidth, pageHeight;
  std::vector<PageRect> glyphs;  // in code-point order
  std::vector<Kerning> kerning;
};
void write_font_description(const std::string& path, const FontDescription& font);

void write_icon_description(const std::string& path, const std::string& pageFile, const Page& page, int spread,
                            const std::vector<PageRect>& icons);

void write_text(const std::string& path, const std::string& text);
std::string read_text(const std::string& path);
