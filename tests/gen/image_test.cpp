// PNG and TGA readers and writers over the virtual file system.
#include <gtest/gtest.h>

#include <png.h>

#include <cstring>
#include <fstream>

#include "engine/core/stream.h"
#include "engine/render/image.h"
#include "gen_test_util.h"

namespace {

struct GenImages : ::testing::Test {
  TempDir dir;
  void SetUp() override { mount_only(dir.path); }
  void TearDown() override { unmount_all(); }
};

TEST_F(GenImages, PngRoundTripKeepsPixelsAndStoresBottomRowFirst) {
  // 3 x 2 picture, top row first as a viewer sees it.
  const uint32_t top_first[6] = {0xFFFF0000u, 0x80112233u, 0xFF00FF00u, 0x00000000u, 0xFF0000FFu, 0xFFFFFFFFu};
  uint8_t rgba[24];
  for (int i = 0; i < 6; i++) {
    rgba[4 * i] = uint8_t(top_first[i] >> 16);
    rgba[4 * i + 1] = uint8_t(top_first[i] >> 8);
    rgba[4 * i + 2] = uint8_t(top_first[i]);
    rgba[4 * i + 3] = uint8_t(top_first[i] >> 24);
  }
  ASSERT_TRUE(save_png("pic.png", 3, 2, 4, rgba, 12));
  int w = 0, h = 0;
  DynArray<uint32_t> px;
  ASSERT_TRUE(load_png("pic.png", &w, &h, px));
  EXPECT_EQ(w, 3);
  EXPECT_EQ(h, 2);
  ASSERT_EQ(px.size(), 6);
  for (int i = 0; i < 3; i++) {
    EXPECT_EQ(px[i], top_first[3 + i]);      // row 0 = bottom row of the picture
    EXPECT_EQ(px[3 + i], top_first[i]);
  }
  EXPECT_FALSE(load_png("missing.png", &w, &h, px));
  px.clearAndFree();
}

TEST_F(GenImages, TwoByTwoRedTopLeftIsEntryTwo) {
  write_test_png(dir.file("red.png"), 2, 2, {0xFFFF0000u, 0xFF000000u, 0xFF000000u, 0xFF000000u});
  int w, h;
  DynArray<uint32_t> px;
  ASSERT_TRUE(load_png("red.png", &w, &h, px));
  EXPECT_EQ(px[2], 0xFFFF0000u);
  px.clearAndFree();
}

// Writes a one-pixel-wide grey or 16-bit PNG with libpng.
void write_png_kind(const std::string& path, int color_type, int depth, const std::vector<uint8_t>& row, int w) {
  FILE* f = fopen(path.c_str(), "wb");
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_init_io(png, f);
  png_set_IHDR(png, info, w, 1, depth, color_type, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_write_row(png, row.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  fclose(f);
}

TEST_F(GenImages, GreyLoadsOpaqueAndSixteenBitIsRefused) {
  write_png_kind(dir.file("grey.png"), PNG_COLOR_TYPE_GRAY, 8, {0x40, 0xC0}, 2);
  write_png_kind(dir.file("rgb.png"), PNG_COLOR_TYPE_RGB, 8, {1, 2, 3}, 1);
  write_png_kind(dir.file("deep.png"), PNG_COLOR_TYPE_RGB, 16, {0, 1, 0, 2, 0, 3}, 1);
  int w, h;
  DynArray<uint32_t> px;
  ASSERT_TRUE(load_png("grey.png", &w, &h, px));
  EXPECT_EQ(px[0], 0xFF404040u);
  EXPECT_EQ(px[1], 0xFFC0C0C0u);
  ASSERT_TRUE(load_png("rgb.png", &w, &h, px));
  EXPECT_EQ(px[0], 0xFF010203u);
  testing::internal::CaptureStdout();
  EXPECT_FALSE(load_png("deep.png", &w, &h, px));
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("PNG bits: 16  channels: 3  color type: 2"), std::string::npos) << out;
  px.clearAndFree();
}

TEST_F(GenImages, TgaRoundTripReversesRows) {
  const uint32_t top_first[6] = {1, 2, 3, 4, 5, 0xFFEEDDCCu};
  ASSERT_TRUE(save_tga("pic.tga", top_first, 3, 2, 12));
  std::ifstream f(dir.file("pic.tga"), std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(f)), {});
  ASSERT_EQ(bytes.size(), 18u + 24u);
  EXPECT_EQ(bytes[2], 2);
  EXPECT_EQ(bytes[12], 3);
  EXPECT_EQ(bytes[14], 2);
  EXPECT_EQ(bytes[16], 32);
  EXPECT_EQ(bytes[17], 0x08);
  int w, h;
  DynArray<uint32_t> px;
  ASSERT_TRUE(load_tga("pic.tga", &w, &h, px));
  EXPECT_EQ(w, 3);
  EXPECT_EQ(h, 2);
  EXPECT_EQ(px[0], 4u);
  EXPECT_EQ(px[5], 3u);
  // The array shrinks to a smaller image.
  const uint32_t one = 7;
  ASSERT_TRUE(save_tga("one.tga", &one, 1, 1, 4));
  ASSERT_TRUE(load_tga("one.tga", &w, &h, px));
  EXPECT_EQ(px.size(), 1);
  px.clearAndFree();
}

TEST_F(GenImages, BadTgaHeadersThrowAndLoadGivesFalse) {
  struct Case {
    uint8_t type, depth;
    uint16_t w, h;
    const char* message;
  } cases[] = {{2, 24, 1, 1, "unsupported TGA format"},
               {10, 32, 1, 1, "unsupported TGA format"},
               {2, 32, 0, 1, "zero-sized TGA image"},
               {2, 32, 4, 0, "zero-sized TGA image"},
               {2, 32, 65535, 65535, "TGA image too large"}};
  for (const Case& c : cases) {
    uint8_t header[18] = {};
    header[2] = c.type;
    header[12] = uint8_t(c.w);
    header[13] = uint8_t(c.w >> 8);
    header[14] = uint8_t(c.h);
    header[15] = uint8_t(c.h >> 8);
    header[16] = c.depth;
    std::ofstream(dir.file("bad.tga"), std::ios::binary).write((const char*)header, 18);
    PhysFSFileInputStream in("bad.tga");
    int w, h;
    DynArray<uint32_t> px;
    try {
      read_tga(in, &w, &h, px);
      ADD_FAILURE() << "no exception for " << c.message;
    } catch (const InputStream::Exception& e) {
      EXPECT_STREQ(e.message, c.message);
      EXPECT_EQ(e.position, 18);
    }
    in.close();
    EXPECT_FALSE(load_tga("bad.tga", &w, &h, px));
  }
  int w, h;
  DynArray<uint32_t> px;
  EXPECT_FALSE(load_tga("absent.tga", &w, &h, px));
}

}  // namespace
