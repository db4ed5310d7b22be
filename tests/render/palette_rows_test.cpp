// Rows of level cells to palette colours: the fast path for the level's own layout
// against a plain lookup, over every length of row up to a few blocks and every byte
// of the cell, with cells read from a buffer that ends at the row's last cell.
#include "engine/render/palette_rows.h"
#include "engine/shared/palette.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <vector>

TEST(PaletteRowsTest, EveryCellTakesItsPaletteColour) {
  std::mt19937 rng(5);
  for (size_t stride : {size_t(3), size_t(4), size_t(1)}) {
    for (size_t byte = 0; byte < stride; byte++) {
      for (int count = 0; count <= 200; count++) {
        // Exactly the row's cells, so reading past them trips the address sanitizer.
        size_t bytes = count ? (count - 1) * stride + byte + 1 : 0;
        std::unique_ptr<uint8_t[]> cells(new uint8_t[bytes]);
        for (size_t i = 0; i < bytes; i++)
          cells[i] = uint8_t(rng());
        std::vector<uint32_t> out(count + 1, 0xDEADBEEFu);
        palette_row(cells.get() + byte, stride, count, out.data());
        for (int x = 0; x < count; x++)
          ASSERT_EQ(out[x], main_palette[cells[x * stride + byte]])
              << "stride " << stride << ", byte " << byte << ", " << count << " cells, cell " << x;
        ASSERT_EQ(out[count], 0xDEADBEEFu) << "written past " << count << " cells";
      }
    }
  }
}

// Every palette index at every position of a block of 64 cells (most indices share one
// colour, so random cells alone would miss a lookup into the wrong entry).
TEST(PaletteRowsTest, EveryIndexInEveryPositionOfABlock) {
  std::vector<uint8_t> cells(3 * 300);
  std::vector<uint32_t> out(300);
  for (int shift = 0; shift < 256; shift += 37) {
    for (int i = 0; i < 300; i++)
      cells[3 * i] = uint8_t(i + shift);
    palette_row(cells.data(), 3, 300, out.data());
    for (int i = 0; i < 300; i++)
      ASSERT_EQ(out[i], main_palette[uint8_t(i + shift)]) << "cell " << i << ", shift " << shift;
  }
}
