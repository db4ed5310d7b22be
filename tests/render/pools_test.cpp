// Resource pools, draws, render targets and read-backs of the renderer.
#include "render_fixture.h"

#include "engine/render/d3d_textures.h"
#include "engine/render/d3d_vbuf.h"

using Lines = std::vector<std::string>;

static bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST_F(RenderTest, FullTexturePoolGivesNullAndALogLine) {
  startDevice(16, 16);
  std::vector<Texture*> all;
  for (int i = 0; i < MAX_TEXTURES; i++) {
    Texture* t = create_texture(1, 1, 1, 1);
    ASSERT_NE(t, nullptr) << i;
    all.push_back(t);
  }
  testing::internal::CaptureStdout();
  EXPECT_EQ(create_texture(1, 1, 1, 1), nullptr);
  EXPECT_TRUE(contains(testing::internal::GetCapturedStdout(), "reached MAX_TEXTURES"));
  destroy_texture(all[500]);
  EXPECT_EQ(create_dynamic_texture(2, 2, 1), all[500]);  // the freed slot is taken again
  destroy_texture(nullptr);                                // ignored
}

TEST_F(RenderTest, FullBufferPoolsGiveNullAndALogLine) {
  startDevice(16, 16);
  std::vector<VertexBuffer*> vbs;
  for (int i = 0; i < MAX_VBUFFERS; i++) vbs.push_back(create_vb(16, i & 1));
  ASSERT_NE(vbs.back(), nullptr);
  testing::internal::CaptureStdout();
  EXPECT_EQ(create_vb(16, true), nullptr);
  EXPECT_TRUE(contains(testing::internal::GetCapturedStdout(), "reached MAX_BUFFERS for VB"));
  release_vb(vbs[10]);
  EXPECT_EQ(create_vb(32, false), vbs[10]);

  std::vector<IndexBuffer*> ibs;
  for (int i = 0; i < MAX_IBUFFERS; i++) ibs.push_back(create_ib(6, true));
  ASSERT_NE(ibs.back(), nullptr);
  EXPECT_EQ(ibs[0]->size, 12u);
  testing::internal::CaptureStdout();
  EXPECT_EQ(create_ib(6, true), nullptr);
  EXPECT_TRUE(contains(testing::internal::GetCapturedStdout(), "reached MAX_BUFFERS for IB"));
  // Null handles are accepted everywhere.
  EXPECT_EQ(lock_vb(nullptr, 0, 0), nullptr);
  EXPECT_EQ(lock_ib(nullptr, 0, 0), nullptr);
  unlock_vb(nullptr);
  release_vb(nullptr);
  release_ib(nullptr);
}

TEST_F(RenderTest, BufferLocksDiscardOnlyDynamicBuffers) {
  startDevice(16, 16);
  VertexBuffer* st = create_vb(64, true);
  VertexBuffer* dyn = create_vb(64, false);
  record();
  ASSERT_NE(lock_vb(st, 16, 8), nullptr);
  unlock_vb(st);
  ASSERT_NE(lock_vb(dyn, 0, 0), nullptr);
  unlock_vb(dyn);
  EXPECT_EQ(stopRecording(), (Lines{"VB::Lock(16, 8, 0x800)", "VB::Unlock()", "VB::Lock(0, 0, 0x2800)", "VB::Unlock()"}));
  // Index buffers follow the same rule.
  IndexBuffer* st_ib = create_ib(6, true);
  IndexBuffer* dyn_ib = create_ib(6, false);
  record();
  ASSERT_NE(lock_ib(st_ib, 2, 4), nullptr);
  unlock_ib(st_ib);
  ASSERT_NE(lock_ib(dyn_ib, 0, 0), nullptr);
  unlock_ib(dyn_ib);
  EXPECT_EQ(stopRecording(), (Lines{"IB::Lock(2, 4, 0x800)", "IB::Unlock()", "IB::Lock(0, 0, 0x2800)", "IB::Unlock()"}));
}

TEST_F(RenderTest, EmptyDrawsMakeNoDeviceCall) {
  startDevice(16, 16);
  record();
  draw_prim(4, 0, 0);
  draw_prim(4, 0, -3);
  draw_indexed(4, 0, 0, 4, 0, 0);
  EXPECT_TRUE(stopRecording().empty());
}

TEST_F(RenderTest, RenderTargetsAndDepth) {
  startDevice(16, 16);
  Texture* t = create_render_target(8, 8, 1);
  record();
  set_texture_target(t, 1, true);  // target 1 leaves the depth surface alone
  set_texture_target(t, 0, true);
  set_texture_target(t, 0, false);
  set_texture_target(nullptr, 1, false);
  set_backbuffer_target();
  EXPECT_EQ(stopRecording(), (Lines{"SetRenderTarget(1, surface)", "SetRenderTarget(0, surface)",
                                     "SetDepthStencilSurface(surface)", "SetRenderTarget(0, surface)",
                                     "SetDepthStencilSurface(null)", "SetRenderTarget(1, null)",
                                     "SetRenderTarget(0, surface)", "SetDepthStencilSurface(null)"}));
}

TEST_F(RenderTest, ReadBacksAndUploads) {
  startDevice(16, 16);
  Texture* rt = create_render_target(4, 2, 1);
  set_texture_target(rt, 0, false);
  clear_view_color(0xFF102030);
  int pitch = 0;
  const uint32_t* px = (const uint32_t*)read_render_target(rt, &pitch);
  ASSERT_NE(px, nullptr);
  EXPECT_EQ(pitch, 16);
  EXPECT_EQ(px[7], 0xFF102030u);
  EXPECT_EQ(read_render_target(rt, &pitch), nullptr);  // the read-back surface is in use
  EXPECT_TRUE(end_read_render_target(rt));
  EXPECT_FALSE(end_read_render_target(rt));

  Texture* tex = create_texture(4, 2, 1, 1);
  uint32_t* up = (uint32_t*)begin_texture_upload(tex, &pitch);
  ASSERT_NE(up, nullptr);
  EXPECT_EQ(read_render_target(rt, &pitch), nullptr);   // one staging surface at a time
  EXPECT_EQ(begin_texture_upload(tex, &pitch), nullptr);
  for (int i = 0; i < 8; i++) up[i] = 0xFF000000u | i;
  EXPECT_TRUE(end_texture_upload(tex));
  copy_texture(tex, rt);
  px = (const uint32_t*)read_render_target(rt, &pitch);
  ASSERT_NE(px, nullptr);
  EXPECT_EQ(px[5], 0xFF000005u);
  end_read_render_target(rt);
}

TEST_F(RenderTest, ScreenSizedTexturesFollowTheBackBuffer) {
  startDevice(32, 16);
  Texture* screen = create_screen_render_target();
  ASSERT_NE(screen, nullptr);
  EXPECT_EQ(get_texture_width(screen), 32);
  EXPECT_EQ(get_texture_format(screen), 1);
  ASSERT_TRUE(resize_d3d(64, 24, true, false));
  EXPECT_EQ(get_texture_width(screen), 64);
  EXPECT_EQ(get_texture_height(screen), 24);
  D3DSURFACE_DESC desc;
  ASSERT_NE(screen->tex, nullptr);
  screen->tex->GetLevelDesc(0, &desc);
  EXPECT_EQ(desc.Width, 64u);
  EXPECT_EQ(resize_scene_calls, 1);
  // The same size and mode again changes nothing.
  EXPECT_TRUE(resize_d3d(64, 24, true, false));
  EXPECT_EQ(resize_scene_calls, 1);
}

// A creation the device refuses is logged with its code, gives null and leaves the slot
// free for the next creation.
TEST_F(RenderTest, RefusedCreationsLeaveTheSlotFree) {
  startDevice(16, 16);
  Texture* t = create_texture(2, 2, 1, 1);
  destroy_texture(t);
  testing::internal::CaptureStdout();
  EXPECT_EQ(create_texture(20000, 2, 1, 1), nullptr);
  EXPECT_EQ(create_texture(2, 2, 99, 1), nullptr);  // no such format code
  EXPECT_EQ(create_vb(0, true), nullptr);
  EXPECT_EQ(create_ib(0, true), nullptr);
  EXPECT_EQ(wrap_texture(nullptr), nullptr);
  std::string log = testing::internal::GetCapturedStdout();
  EXPECT_TRUE(contains(log, "error creating texture (code 0x8876086C)")) << log;
  EXPECT_TRUE(contains(log, "error creating VB (code 0x8876086C)")) << log;
  EXPECT_TRUE(contains(log, "error creating IB (code 0x8876086C)")) << log;
  EXPECT_TRUE(is_texture_slot_free(t));
  EXPECT_EQ(create_texture(4, 4, 1, 1), t);
  VertexBuffer* vb = create_vb(16, true);
  ASSERT_NE(vb, nullptr);
  release_vb(vb);
  EXPECT_EQ(create_vb(0, false), nullptr);
  EXPECT_EQ(create_vb(16, false), vb);
}
