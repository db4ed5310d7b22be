// Debris drawn through the vertex ring on a headless device: one run of whole
// squares, flushed as the ring's buffers fill.
#include <gtest/gtest.h>
#include <physfs.h>

#include <string>
#include <vector>

#include "engine/render/d3d_device.h"
#include "engine/render/dynVBWriter.h"
#include "engine/world/junk.h"
#include "platform/d3d9/d3d9_platform.h"

namespace {

class JunkRenderTest : public ::testing::Test {
 protected:
  std::vector<std::string> calls;

  void SetUp() override {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    if (!PHYSFS_isInit()) {
      ASSERT_TRUE(PHYSFS_init(nullptr));
    }
    std::string src = getenv("TORVANE_SOURCE_DIR") ? getenv("TORVANE_SOURCE_DIR") : "../..";
    ASSERT_TRUE(PHYSFS_mount((src + "/data/").c_str(), nullptr, 1));
    isFullscreen = true;
    ASSERT_TRUE(init_d3d(nullptr, 64, 64));
    common_vb_writer.create(65536, 4);
    init_junk();
    ASSERT_NE(junk_shader, nullptr);
  }
  void TearDown() override {
    d3d9_set_call_recorder(nullptr);
    close_junk();
    common_vb_writer.release();
    close_d3d();
    PHYSFS_deinit();
  }
  // The primitive counts of the draws of one render_junk.
  std::vector<int> draws(float t) {
    calls.clear();
    d3d9_set_call_recorder(&calls);
    render_junk(t);
    d3d9_set_call_recorder(nullptr);
    std::vector<int> prims;
    for (const std::string& c : calls) {
      unsigned type, first, n;
      if (sscanf(c.c_str(), "DrawPrimitive(%u, %u, %u)", &type, &first, &n) == 3) {
        EXPECT_EQ(type, 4u) << "triangle lists";
        prims.push_back(int(n));
      }
    }
    return prims;
  }
};

TEST_F(JunkRenderTest, ThousandSquaresFlushWithoutSplittingOne) {
  for (int i = 0; i < 1000; i++)
    add_junk(_mm_setr_ps(i * 0.5f, 10, 0, 0), _mm_setzero_ps(), 0xFF00FF00, 1.0f, 0);
  std::vector<int> prims = draws(0.0f);
  ASSERT_GE(prims.size(), 2u) << "72,000 bytes do not fit one 65,536-byte buffer";
  int total = 0;
  for (int n : prims) {
    EXPECT_EQ(n % 2, 0) << "whole squares per draw";
    total += n;
  }
  EXPECT_EQ(total, 2000);
  EXPECT_EQ(common_vb_writer.startPtr, nullptr) << "the run is closed";
}

TEST_F(JunkRenderTest, RecordsThatDieBeforeTheNextStepAreNotDrawn) {
  add_junk(_mm_setr_ps(5, 5, 0, 0), _mm_setzero_ps(), 0xFFFFFFFF, 0.03f, 0);
  std::vector<int> later = draws(0.04f);
  EXPECT_TRUE(later.empty());
  std::vector<int> sooner = draws(0.02f);
  ASSERT_EQ(sooner.size(), 1u);
  EXPECT_EQ(sooner[0], 2);
  clear_junk();
  EXPECT_TRUE(draws(0.0f).empty()) << "nothing to draw, the run still opens and closes";
}

TEST_F(JunkRenderTest, RingAlreadyInUseIsFatal) {
  common_vb_writer.start(dyn_vb_draw_prims, 4, 0, 12);
  EXPECT_EXIT(render_junk(0), testing::ExitedWithCode(100), "junk\\(145\\): failed ASSERT\\(!common_vb_writer.started\\(\\)\\)");
  common_vb_writer.flush(true);
}

}  // namespace
