// Writing textures through the shared system-memory copy.
#include "render_fixture.h"

#include "engine/render/d3d_textures.h"
#include "engine/render/d3d_vbuf.h"

#include <algorithm>
#include <cstring>

static bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Fills level 0 of a texture through lock_texture and reads it back through a render
// target copy.
static std::vector<uint32_t> roundtrip(Texture* t, int w, int h, uint32_t base) {
  int pitch = 0;
  uint8_t* p = (uint8_t*)lock_texture(t, &pitch, 0);
  EXPECT_NE(p, nullptr);
  if (!p) return {};
  EXPECT_GE(pitch, w * 4);
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) ((uint32_t*)(p + y * pitch))[x] = base + y * w + x;
  EXPECT_TRUE(unlock_texture(t, 0));
  Texture* rt = create_render_target(w, h, 1);
  copy_texture(t, rt);
  const uint8_t* px = (const uint8_t*)read_render_target(rt, &pitch);
  std::vector<uint32_t> out(w * h);
  for (int y = 0; y < h; y++) memcpy(&out[y * w], px + y * pitch, w * 4);
  end_read_render_target(rt);
  destroy_texture(rt);
  return out;
}

static std::vector<uint32_t> expected(int w, int h, uint32_t base) {
  std::vector<uint32_t> v(w * h);
  for (int i = 0; i < w * h; i++) v[i] = base + i;
  return v;
}

TEST_F(RenderTest, LockedTexelsReachTheTexture) {
  startDevice(16, 16);
  Texture* a = create_texture(4, 3, 1, 1);
  EXPECT_EQ(roundtrip(a, 4, 3, 0xFF000100), expected(4, 3, 0xFF000100));
  Texture* dyn = create_dynamic_texture(5, 2, 1);
  EXPECT_EQ(roundtrip(dyn, 5, 2, 0xFF020000), expected(5, 2, 0xFF020000));
}

// A dynamic texture locked by its top-left area takes the new texels there and keeps
// the rest; an area beyond the texture is cut to it.
TEST_F(RenderTest, AreaLockChangesOnlyTheArea) {
  startDevice(16, 16);
  const int w = 6, h = 4;
  struct Case {
    int area_w, area_h;
  } cases[] = {{3, 2}, {6, 1}, {1, 4}, {9, 7}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.area_w << " x " << c.area_h);
    Texture* dyn = create_dynamic_texture(w, h, 1);
    ASSERT_EQ(roundtrip(dyn, w, h, 0xFF000000), expected(w, h, 0xFF000000));
    int pitch = 0;
    uint8_t* p = (uint8_t*)lock_texture_area(dyn, &pitch, c.area_w, c.area_h);
    ASSERT_NE(p, nullptr);
    int cols = std::min(c.area_w, w), rows = std::min(c.area_h, h);
    for (int y = 0; y < rows; y++)
      for (int x = 0; x < cols; x++) ((uint32_t*)(p + y * pitch))[x] = 0xFF7F0000u + y * w + x;
    ASSERT_TRUE(unlock_texture(dyn, 0));
    Texture* rt = create_render_target(w, h, 1);
    copy_texture(dyn, rt);
    const uint8_t* px = (const uint8_t*)read_render_target(rt, &pitch);
    ASSERT_NE(px, nullptr);
    for (int y = 0; y < h; y++)
      for (int x = 0; x < w; x++) {
        uint32_t base = x < cols && y < rows ? 0xFF7F0000u : 0xFF000000u;
        EXPECT_EQ(((const uint32_t*)(px + y * pitch))[x], base + y * w + x) << x << ", " << y;
      }
    end_read_render_target(rt);
    destroy_texture(rt);
    destroy_texture(dyn);
  }
}

TEST_F(RenderTest, OneNonDynamicLockAtATime) {
  startDevice(16, 16);
  Texture* a = create_texture(4, 4, 1, 1);
  Texture* b = create_texture(4, 4, 1, 1);
  int pitch = 0;
  testing::internal::CaptureStdout();
  ASSERT_NE(lock_texture(a, &pitch, 0), nullptr);
  EXPECT_EQ(lock_texture(b, &pitch, 0), nullptr);
  EXPECT_FALSE(unlock_texture(b, 0));
  EXPECT_TRUE(unlock_texture(a, 0));
  EXPECT_FALSE(unlock_texture(a, 0));
  EXPECT_EQ(lock_texture(nullptr, &pitch, 0), nullptr);
  std::string log = testing::internal::GetCapturedStdout();
  EXPECT_TRUE(contains(log, "error: tempTex is already used in lock_texture()"));
  EXPECT_TRUE(contains(log, "error: mismatched texture in unlock_texture()"));
  EXPECT_TRUE(contains(log, "error: unmatched unlock_texture()"));
  EXPECT_TRUE(contains(log, "error: invalid texture in lock_texture()"));
}

// The copy made for a texture is never reused for a different texture that later got
// the same slot, nor for a texture made anew at another size in place.
TEST_F(RenderTest, LockCopyIsNotSharedAcrossSlotReuse) {
  startDevice(16, 16);
  Texture* small = create_texture(2, 2, 1, 1);
  EXPECT_EQ(roundtrip(small, 2, 2, 0xFF000010), expected(2, 2, 0xFF000010));
  destroy_texture(small);
  Texture* big = create_texture(8, 4, 1, 1);
  ASSERT_EQ(big, small);  // same slot
  EXPECT_EQ(roundtrip(big, 8, 4, 0xFF001000), expected(8, 4, 0xFF001000));

  // move_texture gives the slot another device texture: the next lock starts afresh.
  Texture* other = create_texture(3, 3, 1, 1);
  move_texture(big, other);
  EXPECT_EQ(get_texture_width(big), 3);
  EXPECT_EQ(roundtrip(big, 3, 3, 0xFF300000), expected(3, 3, 0xFF300000));
}

TEST_F(RenderTest, LevelsWrittenIntoTheCopyStay) {
  startDevice(16, 16);
  Texture* t = create_texture(4, 4, 1, 2);
  int pitch = 0;
  uint32_t* p = (uint32_t*)lock_texture(t, &pitch, 1);
  ASSERT_NE(p, nullptr);
  p[0] = 0xFFABCDEF;
  ASSERT_TRUE(unlock_texture(t, 1));
  p = (uint32_t*)lock_texture(t, &pitch, 1);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p[0], 0xFFABCDEFu);
  unlock_texture(t, 1);
  // The level viewer's form of the call locks level 0.
  EXPECT_NE(lock_texture(t, &pitch, 1, 0), nullptr);
  EXPECT_EQ(pitch, 16);
  unlock_texture(t, 0);
}

// A texture destroyed, or moved over, while it is locked takes its copy along: the next
// texture can still be written.
TEST_F(RenderTest, LockCopyDiesWithItsTexture) {
  startDevice(16, 16);
  struct Case {
    const char* name;
    void (*drop)(Texture* locked);
  } cases[] = {
      {"destroyed", [](Texture* t) { destroy_texture(t); }},
      {"moved over", [](Texture* t) { move_texture(t, create_texture(2, 2, 1, 1)); }},
      {"moved away", [](Texture* t) { move_texture(create_texture(2, 2, 1, 1), t); }},
  };
  for (const Case& c : cases) {
    Texture* locked = create_texture(4, 4, 1, 1);
    int pitch = 0;
    ASSERT_NE(lock_texture(locked, &pitch, 0), nullptr) << c.name;
    c.drop(locked);
    Texture* next = create_texture(3, 2, 1, 1);
    EXPECT_EQ(roundtrip(next, 3, 2, 0xFF000400), expected(3, 2, 0xFF000400)) << c.name;
    destroy_texture(next);
  }
}
