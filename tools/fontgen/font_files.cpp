#include "font_files.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

[[noreturn]] void die(const std::string& what) {
  fprintf(stderr, "fontgen: %s\n", what.c_str());
  exit(1);
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; i++) out.push_back((uint8_t)(v >> (8 * i)));
}

void write_bytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write((const char*)bytes.data(), (std::streamsize)bytes.size());
  if (!out) die("cannot write " + path);
}

// The 128-byte header of an uncompressed DDS with a pitch.
std::vector<uint8_t> dds_header(int w, int h, int bits, uint32_t pfFlags, uint32_t r, uint32_t g, uint32_t b,
                                uint32_t a) {
  std::vector<uint8_t> out;
  put32(out, 0x20534444);  // "DDS "
  put32(out, 124);
  put32(out, 0x1 | 0x2 | 0x4 | 0x8 | 0x1000);  // caps, height, width, pitch, pixel format
  put32(out, (uint32_t)h);
  put32(out, (uint32_t)w);
  put32(out, (uint32_t)(w * bits / 8));
  put32(out, 0);  // depth
  put32(out, 1);  // mip levels
  for (int i = 0; i < 11; i++) put32(out, 0);
  put32(out, 32);
  put32(out, pfFlags);
  put32(out, 0);  // four-character code
  put32(out, (uint32_t)bits);
  put32(out, r);
  put32(out, g);
  put32(out, b);
  put32(out, a);
  put32(out, 0x1000);  // texture
  for (int i = 0; i < 4; i++) put32(out, 0);
  return out;
}

}  // namespace

Page pack_page(std::vector<PageRect>& rects, int width) {
  std::vector<PageRect*> order;
  for (PageRect& r : rects)
    if (!r.texels.empty()) order.push_back(&r);
  std::stable_sort(order.begin(), order.end(), [](PageRect* a, PageRect* b) { return a->height > b->height; });
  int x = 1, y = 1, rowHeight = 0;
  for (PageRect* r : order) {
    if (r->width + 2 > width) die("a rectangle is wider than its page");
    if (x + r->width + 1 > width) {
      x = 1;
      y += rowHeight + 1;
      rowHeight = 0;
    }
    r->x = x;
    r->y = y;
    x += r->width + 1;
    rowHeight = std::max(rowHeight, r->height);
  }
  Page page;
  page.width = width;
  page.height = 1;
  while (page.height < y + rowHeight + 1) page.height *= 2;
  page.texels.assign((size_t)page.width * page.height, 0);
  for (PageRect* r : order)
    for (int row = 0; row < r->height; row++)
      std::copy_n(&r->texels[(size_t)row * r->width], r->width,
                  &page.texels[(size_t)(r->y + row) * page.width + r->x]);
  return page;
}

void write_dds_l8(const std::string& path, const Page& page) {
  std::vector<uint8_t> out = dds_header(page.width, page.height, 8, 0x20000, 0xFF, 0, 0, 0);
  out.insert(out.end(), page.texels.begin(), page.texels.end());
  write_bytes(path, out);
}

void write_dds_white_alpha(const std::string& path, const Page& page) {
  std::vector<uint8_t> out = dds_header(page.width, page.height, 32, 0x41, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
  for (uint8_t a : page.texels) put32(out, (uint32_t)a << 24 | 0xFFFFFF);
  write_bytes(path, out);
}

void write_tga(const std::string& path, const std::vector<uint32_t>& pixels, int width, int height) {
  std::vector<uint8_t> out(18, 0);
  out[2] = 2;  // uncompressed true colour
  out[12] = (uint8_t)width;
  out[13] = (uint8_t)(width >> 8);
  out[14] = (uint8_t)height;
  out[15] = (uint8_t)(height >> 8);
  out[16] = 32;
  out[17] = 0x08;  // 8 alpha bits, bottom row first
  for (int y = height - 1; y >= 0; y--)
    for (int x = 0; x < width; x++) put32(out, pixels[(size_t)y * width + x]);
  write_bytes(path, out);
}

void write_font_description(const std::string& path, const FontDescription& font) {
  std::ostringstream s;
  s << "info face=\"" << font.face << "\" size=" << font.size << " spread=" << font.spread << "\n";
  s << "common lineHeight=" << font.lineHeight << " base=0 scaleW=" << font.pageWidth
    << " scaleH=" << font.pageHeight << "\n";
  s << "page id=0 file=\"" << font.pageFile << "\"\n";
  s << "chars count=" << font.glyphs.size() << "\n";
  char line[256];
  for (const PageRect& g : font.glyphs) {
    snprintf(line, sizeof(line), "char id=%d x=%d y=%d width=%d height=%d xoffset=%g yoffset=%g xadvance=%.3f\n",
             g.id, g.x, g.y, g.width, g.height, g.xoffset, g.yoffset, g.xadvance);
    s << line;
  }
  s << "kernings count=" << font.kerning.size() << "\n";
  for (const Kerning& k : font.kerning) {
    snprintf(line, sizeof(line), "kerning first=%d second=%d amount=%.3f\n", k.first, k.second, k.amount);
    s << line;
  }
  write_text(path, s.str());
}

void write_icon_description(const std::string& path, const std::string& pageFile, const Page& page, int spread,
                            const std::vector<PageRect>& icons) {
  std::ostringstream s;
  s << "info file=\"" << pageFile << "\" scaleW=" << page.width << " scaleH=" << page.height << " spread=" << spread
    << "\n";
  s << "icons count=" << icons.size() << "\n";
  char line[256];
  for (const PageRect& i : icons) {
    snprintf(line, sizeof(line), "icon \"%s\" %g %g %d %d %d %d %g %g\n", i.name.c_str(), i.orgW, i.orgH, i.x, i.y,
             i.width, i.height, i.xoffset, i.yoffset);
    s << line;
  }
  write_text(path, s.str());
}

void write_text(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  if (!out) die("cannot write " + path);
}

std::string read_text(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) die("cannot read " + path);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}
