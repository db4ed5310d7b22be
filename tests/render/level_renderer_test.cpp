// The level renderer: texture sizes, clipping, palette conversion read back from the
// layer textures, the quads, the pictures they give and the level transform.
#include "world_fixture.h"

#include <cmath>

#include "engine/core/fatal.h"
#include "engine/render/background.h"
#include "engine/render/d3d_states.h"
#include "engine/render/d3d_textures.h"
#include "engine/render/d3d_vbuf.h"
#include "engine/render/dynVBWriter.h"
#include "engine/render/level_renderer.h"
#include "engine/shared/level_map.h"
#include "engine/shared/palette.h"
#include "platform/d3d9/d3d9_impl.h"  // the bytes of a drawn ring buffer

namespace {

// The bytes of the ring buffer drawn last.
const uint8_t* previous_ring_buffer() {
  DynVBWriter& w = common_vb_writer;
  VertexBuffer* vb = w.vbufs[(w.curBuf + w.vbufs.size() - 1) % w.vbufs.size()];
  return vb->vb->impl->cpu.data();
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A small grid of cells the test fills.
struct Grid {
  int wd, ht;
  std::vector<LevelCell> cells;
  Grid(int w, int h) : wd(w), ht(h), cells(size_t(w) * h, LevelCell{0, 0, 0}) {}
  LevelCell& at(int x, int y) { return cells[size_t(y) * wd + x]; }
  LevelRenderer* renderer(int tw, int th) {
    return create_level_renderer(cells.data(), 3, 3 * wd, wd, ht, tw, th);
  }
};

class LevelRendererTest : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    startWorld(64, 48);
  }
  void TearDown() override {
    destroy_renderer(r);
    close_level_rendering();
    close_background();
    WorldTest::TearDown();
  }
  // The level pass with flat detail tiles, so cells show their palette colours (times
  // 2 x 128 / 255).
  void startFlat() {
    writeFlatTextures(128);
    init_background();
    init_level_rendering();
  }
  LevelRenderer* r = nullptr;
};

TEST_F(LevelRendererTest, TextureSidesAreThePowersOfTwoAtOrAboveTheRequest) {
  static LevelCell big[1];  // never read: only sizes are made
  struct Case {
    int gridW, gridH, askW, askH, texW, texH;
  } cases[] = {
      {4096, 528, 100, 60, 128, 64},   {4096, 528, 0, 0, 4096, 1024}, {4096, 528, 322, 182, 512, 256},
      {4096, 528, 9000, 600, 4096, 1024}, {4096, 528, -5, 1, 4096, 1},  {10, 6, 10, 6, 16, 8},
  };
  for (const Case& c : cases) {
    testing::internal::CaptureStdout();
    LevelRenderer* lr = create_level_renderer(big, 3, 3 * c.gridW, c.gridW, c.gridH, c.askW, c.askH);
    std::string log = testing::internal::GetCapturedStdout();
    EXPECT_EQ(lr->texWd, c.texW);
    EXPECT_EQ(lr->texHt, c.texH);
    EXPECT_EQ(get_texture_width(lr->texLayer0), c.texW);
    EXPECT_EQ(get_texture_height(lr->texLayer1), c.texH);
    char line[64];
    snprintf(line, sizeof line, "creating %dx%d level textures", c.texW, c.texH);
    EXPECT_TRUE(contains(log, line)) << log;
    Texture* old = lr->texLayer0;
    reset_renderer(lr, 1, 1);
    EXPECT_EQ(lr->texWd, 1);
    EXPECT_TRUE(is_texture_slot_free(old) || lr->texLayer0 == old) << "the old textures are released";
    destroy_renderer(lr);
    EXPECT_EQ(lr, nullptr);
  }
  // Null renderers are accepted everywhere.
  LevelRenderer* none = nullptr;
  destroy_renderer(none);
  reset_renderer(nullptr, 4, 4);
  render_area(nullptr, 0, 0, 4, 4, 0);
  render_all(nullptr, 0);
  invalidate_renderer(nullptr, 0, 0, 1, 1);
  invalidate_all_renderer(nullptr);
}

TEST_F(LevelRendererTest, ConvertsTheClippedRectangleThroughThePalette) {
  Grid g(10, 6);
  for (int y = 0; y < g.ht; y++)
    for (int x = 0; x < g.wd; x++)
      g.at(x, y) = LevelCell{uint8_t(1 + (x + 3 * y) % 32), uint8_t((x * y) % 5 ? 33 - x : 0), 0};
  g.at(4, 3).foreground = 200;  // outside the palette's colours: opaque magenta
  r = g.renderer(10, 6);
  ASSERT_EQ(r->texWd, 16);
  init_level_rendering();
  setCamera(0, 0, 4);
  start_level_rendering();
  render_area(r, -3, 2, 20, 4, 0);  // clipped to columns 0..9, rows 2..4
  end_level_rendering();
  std::vector<uint32_t> bg = readTexture(r->texLayer0), fg = readTexture(r->texLayer1);
  for (int y = 2; y <= 4; y++)
    for (int x = 0; x < 10; x++) {
      size_t texel = size_t(y - 2) * 16 + x;
      EXPECT_EQ(bg[texel], main_palette[g.at(x, y).background]) << x << "," << y;
      EXPECT_EQ(fg[texel], main_palette[g.at(x, y).foreground]) << x << "," << y;
    }
  EXPECT_EQ(fg[1 * 16 + 4], 0xFFFF00FFu);
  EXPECT_EQ(fg[0], 0x00000000u) << "index 0 is transparent";
}

TEST_F(LevelRendererTest, QuadsCoverTheCellsAndStopAtTheTextureSize) {
  Grid g(40, 6);
  r = g.renderer(16, 8);
  init_level_rendering();
  setCamera(0, 0, 1);
  struct Case {
    const char* name;
    int x0, y0, x1, y1;
    float px, py, cols, rows;
  } cases[] = {
      {"inside", 2, 1, 5, 3, 2, 1, 4, 3},
      {"clipped below and left", -4, -2, 3, 1, 0, 0, 4, 2},
      {"wider than the texture", 0, 0, 39, 5, 0, 0, 16, 6},
      {"taller than the grid", 30, 2, 31, 99, 30, 2, 2, 4},
  };
  for (const Case& c : cases) {
    start_level_rendering();
    render_area(r, c.x0, c.y0, c.x1, c.y1, 5);
    // The foreground quad first (front to back); binding the background layer drew it
    // from the ring's previous buffer, and the background quad waits in the current one.
    ASSERT_EQ(common_vb_writer.numPrims, 2) << c.name;
    const LevelVertex* quads[2] = {(const LevelVertex*)previous_ring_buffer(),
                                   (const LevelVertex*)common_vb_writer.startPtr};
    int16_t u = int16_t(c.cols * (16384 / 16)), w = int16_t(c.rows * (16384 / 8));
    // The foreground at z, then the background layer 20 units behind, two triangles each.
    for (int q = 0; q < 2; q++) {
      float z = q == 0 ? 5 : 25;
      LevelVertex want[6] = {{c.px, c.py, z, 0, 0},
                             {c.px + c.cols, c.py, z, u, 0},
                             {c.px + c.cols, c.py + c.rows, z, u, w},
                             {c.px, c.py, z, 0, 0},
                             {c.px + c.cols, c.py + c.rows, z, u, w},
                             {c.px, c.py + c.rows, z, 0, w}};
      for (int i = 0; i < 6; i++) {
        const LevelVertex& got = quads[q][i];
        EXPECT_EQ(got.x, want[i].x) << c.name << " quad " << q << " vertex " << i;
        EXPECT_EQ(got.y, want[i].y) << c.name << " quad " << q << " vertex " << i;
        EXPECT_EQ(got.z, want[i].z) << c.name;
        EXPECT_EQ(got.u, want[i].u) << c.name << " quad " << q << " vertex " << i;
        EXPECT_EQ(got.v, want[i].v) << c.name << " quad " << q << " vertex " << i;
      }
    }
    end_level_rendering();
  }
  // Nothing left after clipping: nothing is locked or drawn.
  start_level_rendering();
  record();
  render_area(r, 50, 0, 60, 3, 0);
  render_area(r, 3, 4, 2, 5, 0);
  render_area(r, 0, -9, 5, -1, 0);
  EXPECT_TRUE(stopRecording().empty());
  EXPECT_EQ(common_vb_writer.numPrims, 0);
  end_level_rendering();
}

TEST_F(LevelRendererTest, DrawsEachCellOnItsPixelsWithTheForegroundInFront) {
  startFlat();
  Grid g(16, 12);
  for (int y = 0; y < g.ht; y++)
    for (int x = 0; x < g.wd; x++) {
      LevelCell& c = g.at(x, y);
      c.background = x < 8 ? uint8_t(17) : 0;  // left half has a back wall
      c.foreground = (y % 4 == 1 && x > 3) ? uint8_t(9 + x % 3) : 0;
    }
  r = g.renderer(0, 0);
  setCamera(0, 0, 4);  // 64 x 48 pixels show 16 x 12 cells
  drawLevelOnScene(r);
  std::vector<uint32_t> px = readBackBuffer();
  float shade = 2 * 128 / 255.0f;
  auto lit = [&](uint32_t c) {
    uint32_t out = 0xFF000000u;
    for (int s : {0, 8, 16})
      out |= uint32_t(std::min(255.0f, std::round(channel(c, s) * shade))) << s;
    return out;
  };
  for (int y = 0; y < g.ht; y++)
    for (int x = 0; x < g.wd; x++) {
      const LevelCell& c = g.at(x, y);
      uint32_t want = c.foreground ? lit(main_palette[c.foreground])
                      : c.background ? lit(main_palette[c.background])
                                     : 0xFF000000u;
      for (int sy = 0; sy < 4; sy++)
        for (int sx = 0; sx < 4; sx++) {
          uint32_t got = px[size_t(pixelY(y + sy * 0.25f)) * 64 + pixelX(x + sx * 0.25f)];
          ASSERT_TRUE(near_color(got, want, 2)) << "cell " << x << "," << y << " got " << std::hex << got
                                                << " want " << want;
        }
    }
}

TEST_F(LevelRendererTest, LevelTransformChangesTheConstantsOnlyWhenItChanges) {
  Grid g(8, 8);
  r = g.renderer(8, 8);
  init_level_rendering();
  setCamera(-10, -5, 2);
  Matrix44 glob;
  get_glob_tm(glob);
  start_level_rendering();
  render_area(r, 0, 0, 3, 3, 0);
  record();
  set_level_tm(matrix_identity());
  EXPECT_TRUE(stopRecording().empty()) << "the identity after the start changes nothing";
  EXPECT_EQ(common_vb_writer.numPrims, 2);

  Matrix44 shift = matrix_translation(3, -2, 1);
  record();
  set_level_tm(shift);
  std::vector<std::string> calls = stopRecording();
  EXPECT_EQ(common_vb_writer.numPrims, 0) << "the quads before are drawn with the old transform";
  Matrix44 want = matrix_mul(shift, glob);
  for (int i = 0; i < 4; i++)
    EXPECT_EQ(vsConst(i), std::vector<float>(want.m[i], want.m[i] + 4)) << "row " << i;
  record();
  set_level_tm(shift);
  EXPECT_TRUE(stopRecording().empty());
  end_level_rendering();
  for (int i = 0; i < 4; i++)
    EXPECT_EQ(vsConst(i), std::vector<float>(glob.m[i], glob.m[i] + 4)) << "restored row " << i;
}

TEST_F(LevelRendererTest, StartingWithTheRingOpenIsAFailedCheck) {
  init_level_rendering();
  common_vb_writer.start(dyn_vb_draw_prims, 4, 0, 16);
  EXPECT_EXIT(start_level_rendering(), ::testing::ExitedWithCode(100),
              "levelRenderer.cpp\\(64\\): failed ASSERT\\(!common_vb_writer.started\\(\\)\\)");
  common_vb_writer.flush(true);
}

}  // namespace
