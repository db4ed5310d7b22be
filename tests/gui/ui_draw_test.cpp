// Interface primitives: the items and vertices of UI images, rounded boxes and lines.
#include <gtest/gtest.h>

#include <vector>

#include "engine/gui/ui_draw.h"
#include "engine/render/sprite.h"
#include "text_fixture.h"

namespace {

void expect_rect(__m128 got, float x0, float y0, float x1, float y1, const char* what) {
  EXPECT_FLOAT_EQ(v_x(got), x0) << what;
  EXPECT_FLOAT_EQ(v_y(got), y0) << what;
  EXPECT_FLOAT_EQ(v_z(got), x1) << what;
  EXPECT_FLOAT_EQ(v_w(got), y1) << what;
}

// The corners of the six vertices of a quad over (x0, y0)-(x1, y1).
template <class V>
void expect_corners(const std::vector<V>& v, float x0, float y0, float x1, float y1, const char* what) {
  ASSERT_EQ(v.size(), 6u) << what;
  const float c[6][2] = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y0}, {x1, y1}, {x0, y1}};
  for (int i = 0; i < 6; i++) {
    EXPECT_FLOAT_EQ(v[i].x, c[i][0]) << what << " vertex " << i;
    EXPECT_FLOAT_EQ(v[i].y, c[i][1]) << what << " vertex " << i;
  }
}

TEST(PackBytes, ClampsScalesAndRoundsEachLane) {
  EXPECT_EQ(pack_bytes(v_make(255, 0, 0, 0)), 0x00FF0000u);
  EXPECT_EQ(pack_bytes(v_make(0, 255, 0, 0)), 0x0000FF00u);
  EXPECT_EQ(pack_bytes(v_make(0, 0, 255, 0)), 0x000000FFu);
  EXPECT_EQ(pack_bytes(v_make(0, 0, 0, 255)), 0xFF000000u);
  // Clamped, and halves round up: 127.5 is 128, 0.5 is 1.
  EXPECT_EQ(pack_bytes(v_make(-3, 300, 127.5f, 0.5f)), 0x0100FF80u);
}

TEST(UiImage, OneQuadOverTheRectangle) {
  RenderBatch batch;
  StdRenderBatchState state(nullptr, nullptr, 0, nullptr);
  init_ui_image_state(state, nullptr, nullptr);
  EXPECT_EQ(state.stride, 20);
  render_ui_image(batch, state, v_make(10, 20, 30, 60), 0xFF123456, v_make(0.25f, 0.5f, 0.75f, 1));
  std::vector<UiVertex> v = batch_vertices<UiVertex>(batch);
  expect_corners(v, 10, 20, 30, 60, "image");
  const float uv[6][2] = {{0.25f, 0.5f}, {0.75f, 0.5f}, {0.75f, 1}, {0.25f, 0.5f}, {0.75f, 1}, {0.25f, 1}};
  for (int i = 0; i < 6; i++) {
    EXPECT_FLOAT_EQ(v[i].u, uv[i][0]);
    EXPECT_FLOAT_EQ(v[i].v, uv[i][1]);
    EXPECT_EQ(v[i].color, 0xFF123456u);
  }
  expect_rect(batch.groups[0].first->rect, 10, 20, 30, 60, "image");
  EXPECT_EQ(batch.groups[0].state, &state);
}

struct BoxCase {
  const char* name;
  float edge, dx, dy, blur, spread;
  float x0, y0, x1, y1;  // the item's area
  uint32_t layer;
};

TEST(RoundedBox, TheAreaHoldsTheSmoothedEdgeAndTheShadow) {
  // The box (100, 50)-(140, 70).
  const BoxCase cases[] = {
      {"edge grows the area", 2, 0, 0, 0, -1, 98, 48, 142, 72, 0x02808080},
      {"an edge below 0.5 is 0.5", 0.1f, 0, 0, 0, -1, 99.5f, 49.5f, 140.5f, 70.5f, 0x01808080},
      {"negative spread: no shadow area", 1, 30, 30, 5, -0.5f, 99, 49, 141, 71, 0x019E9E85},
      {"spread 0 already includes the shadow", 1, 30, 10, 4, 0, 99, 49, 174, 84, 0x019E8A84},
      {"shadow up and left, grown by blur and spread", 1, -20, -10, 2, 3, 75, 35, 141, 71, 0x016C7682},
  };
  for (const BoxCase& c : cases) {
    RenderBatch batch;
    render_rounded_box(batch, v_make(100, 50, 140, 70), v_make(1, 2, 3, 300), 0xFFFF0000, c.edge, c.dx, c.dy,
                       c.blur, 0x80000000, c.spread);
    std::vector<RoundedBoxVertex> v = batch_vertices<RoundedBoxVertex>(batch);
    expect_corners(v, c.x0, c.y0, c.x1, c.y1, c.name);
    expect_rect(batch.groups[0].first->rect, c.x0, c.y0, c.x1, c.y1, c.name);
    EXPECT_EQ(batch.groups[0].first->bytes, 264) << c.name;
    EXPECT_EQ(batch.groups[0].state, &rounded_box_state) << c.name;
    for (const RoundedBoxVertex& p : v) {
      EXPECT_FLOAT_EQ(p.cx, 120) << c.name;
      EXPECT_FLOAT_EQ(p.cy, 60) << c.name;
      EXPECT_FLOAT_EQ(p.w, 40) << c.name;
      EXPECT_FLOAT_EQ(p.h, 20) << c.name;
      // Radii 1, 2, 3 and 300 clamped to 255.
      EXPECT_EQ(p.corners, 0xFF010203u) << c.name;
      EXPECT_EQ(p.color, 0xFFFF0000u) << c.name;
      EXPECT_EQ(p.color2, 0x80000000u) << c.name;
      EXPECT_EQ(p.layer, c.layer) << c.name << std::hex << " " << p.layer;
      EXPECT_FLOAT_EQ(p.spread, c.spread) << c.name;
    }
  }
}

TEST(UiLine, ASegmentWidenedToEachSide) {
  RenderBatch batch;
  // Horizontal, 4 wide: the normal points down the y axis, two pixels long.
  render_ui_line(batch, v_make(10, 20, 50, 20), 4, 0xFF00FF00);
  std::vector<RoundedBoxVertex> v = batch_vertices<RoundedBoxVertex>(batch);
  ASSERT_EQ(v.size(), 6u);
  const float c[6][2] = {{10, 18}, {50, 18}, {50, 22}, {10, 18}, {50, 22}, {10, 22}};
  for (int i = 0; i < 6; i++) {
    EXPECT_FLOAT_EQ(v[i].x, c[i][0]) << i;
    EXPECT_FLOAT_EQ(v[i].y, c[i][1]) << i;
    EXPECT_FLOAT_EQ(v[i].cx, 30);
    EXPECT_FLOAT_EQ(v[i].cy, 20);
    EXPECT_FLOAT_EQ(v[i].w, 60);  // 3 x (20 + 0)
    EXPECT_FLOAT_EQ(v[i].h, 6);   // 3 x (0 + 2)
    EXPECT_EQ(v[i].corners, 0u);
    EXPECT_EQ(v[i].color2, 0u);
    EXPECT_EQ(v[i].layer, 0x00808080u);
    EXPECT_FLOAT_EQ(v[i].spread, 0);
  }
  expect_rect(batch.groups[0].first->rect, 9.5f, 17.5f, 50.5f, 22.5f, "line");

  // Diagonal: the quad is not extended past the segment's ends.
  batch.clear();
  render_ui_line(batch, v_make(0, 0, 30, 40), 10, 0xFF00FF00);
  v = batch_vertices<RoundedBoxVertex>(batch);
  ASSERT_EQ(v.size(), 6u);
  // n = (-20, 15) / 25 * 5 = (-4, 3).
  EXPECT_FLOAT_EQ(v[0].x, 4);
  EXPECT_FLOAT_EQ(v[0].y, -3);
  EXPECT_FLOAT_EQ(v[2].x, 26);
  EXPECT_FLOAT_EQ(v[2].y, 43);
  expect_rect(batch.groups[0].first->rect, 15 - 19 - 0.5f, 20 - 23 - 0.5f, 15 + 19 + 0.5f, 20 + 23 + 0.5f, "diag");
}

TEST(UiLine, ALineOfNoLengthDrawsNothing) {
  RenderBatch batch;
  render_ui_line(batch, v_make(10, 20, 10, 20), 4, 0xFF00FF00);
  EXPECT_EQ(batch.groups.size(), 0);
}

// A 10 x 6 sprite at atlas pixel (16, 32) of a 64-pixel atlas.
struct UiSpriteTest : ::testing::Test {
  Sprite sprite;
  int savedSize = 0;
  void SetUp() override {
    savedSize = spriteTexSize;
    spriteTexSize = 64;
    const int k = 16384 / 64;
    sprite.wd = 10;
    sprite.ht = 6;
    sprite.uMin = 16 * k;
    sprite.vMin = 32 * k;
    sprite.uMax = 26 * k;
    sprite.vMax = 38 * k;
    gui_batch.clear();
  }
  void TearDown() override {
    gui_batch.clear();
    spriteTexSize = savedSize;
  }
  std::vector<UiVertex> vertices() { return batch_vertices<UiVertex>(gui_batch); }
};

TEST_F(UiSpriteTest, DrawnAtItsSizeTimesTheScale) {
  sprite.drawCroppedUI(5, 7, 0, 0, 0, 0, 0xFF102030, 2, false);
  std::vector<UiVertex> v = vertices();
  ASSERT_EQ(v.size(), 6u);
  // The atlas's v runs from the sprite's bottom (v0, at y + H) to its top.
  const float u0 = 16 / 64.0f, u1 = 26 / 64.0f, v0 = 32 / 64.0f, v1 = 38 / 64.0f;
  const float want[6][4] = {{5, 19, u0, v0}, {25, 19, u1, v0}, {25, 7, u1, v1},
                            {5, 19, u0, v0}, {25, 7, u1, v1}, {5, 7, u0, v1}};
  for (int i = 0; i < 6; i++) {
    EXPECT_FLOAT_EQ(v[i].x, want[i][0]) << i;
    EXPECT_FLOAT_EQ(v[i].y, want[i][1]) << i;
    EXPECT_FLOAT_EQ(v[i].u, want[i][2]) << i;
    EXPECT_FLOAT_EQ(v[i].v, want[i][3]) << i;
    EXPECT_EQ(v[i].color, 0xFF102030u);
  }
  expect_rect(gui_batch.groups[0].first->rect, 5, 7, 25, 19, "sprite");
  EXPECT_EQ(gui_batch.groups[0].state, &ui_sprite_state);
}

TEST_F(UiSpriteTest, CroppingTrimsPixelsOfTheScaledSprite) {
  // Scale 2, crops in screen pixels: 20 - 2 - 4 = 14 wide, 12 - 3 - 1 = 8 high.
  sprite.drawCroppedUI(0, 0, 2, 3, 4, 1, 0xFFFFFFFF, 2, false);
  std::vector<UiVertex> v = vertices();
  ASSERT_EQ(v.size(), 6u);
  const float t = 1.0f / (64 * 2);
  EXPECT_FLOAT_EQ(v[0].x, 0);
  EXPECT_FLOAT_EQ(v[0].y, 8);
  EXPECT_FLOAT_EQ(v[2].x, 14);
  EXPECT_FLOAT_EQ(v[0].u, 16 / 64.0f + 2 * t);
  EXPECT_FLOAT_EQ(v[1].u, 26 / 64.0f - 4 * t);
  EXPECT_FLOAT_EQ(v[0].v, 32 / 64.0f + 1 * t);  // the bottom crop
  EXPECT_FLOAT_EQ(v[2].v, 38 / 64.0f - 3 * t);  // the top crop

  // Mirrored: u swapped, v kept.
  gui_batch.clear();
  sprite.drawCroppedUI(0, 0, 0, 0, 0, 0, 0xFFFFFFFF, 1, true);
  v = vertices();
  ASSERT_EQ(v.size(), 6u);
  EXPECT_FLOAT_EQ(v[0].u, 26 / 64.0f);
  EXPECT_FLOAT_EQ(v[1].u, 16 / 64.0f);
  EXPECT_FLOAT_EQ(v[0].v, 32 / 64.0f);
}

TEST_F(UiSpriteTest, CropsThatLeaveNoAreaDrawNothing) {
  sprite.drawCroppedUI(0, 0, 10, 0, 0, 0, 0xFFFFFFFF, 1, false);  // the full width
  sprite.drawCroppedUI(0, 0, 0, 4, 0, 2, 0xFFFFFFFF, 1, false);   // the full height
  sprite.drawCroppedUI(0, 0, 8, 0, 8, 0, 0xFFFFFFFF, 1, false);   // more than the width
  EXPECT_EQ(gui_batch.groups.size(), 0);
}

TEST_F(UiSpriteTest, DrawUICentresTheSpriteInTheRectangle) {
  // The rectangle's size is not used: 20 x 12 centred on (50, 25).
  sprite.drawUI(v_make(0, 0, 100, 50), 0xFFFFFFFF, 2, false);
  std::vector<UiVertex> v = vertices();
  ASSERT_EQ(v.size(), 6u);
  expect_rect(gui_batch.groups[0].first->rect, 40, 19, 60, 31, "centred");
}

}  // namespace
