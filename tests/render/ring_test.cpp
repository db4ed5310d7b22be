// The dynamic vertex-buffer ring: the device calls of runs, flushes and wrap-around.
#include "render_fixture.h"

#include "engine/render/d3d_vbuf.h"
#include "engine/render/dynVBWriter.h"

using Lines = std::vector<std::string>;

namespace {
int drawn_prims = 0;
void count_prims(int prims, uint32_t param) {
  drawn_prims += prims;
  dyn_vb_draw_prims(prims, param);
}
}  // namespace

class RingTest : public RenderTest {
protected:
  DynVBWriter& w = common_vb_writer;
  void SetUp() override {
    RenderTest::SetUp();
    startDevice(16, 16);
    w.create(96, 4);  // room for two triangles of 16-byte vertices
    drawn_prims = 0;
  }
  void writeTriangle() {
    if (w.used() + 48 > w.bufSize) w.flush(false);
    w.writePtr += 48;
    w.numPrims += 1;
  }
};

TEST_F(RingTest, WrapsAroundAfterFourFullBuffers) {
  record();
  w.start(count_prims, 4, 0, 16);
  for (int i = 0; i < 8; i++) writeTriangle();  // four full buffers
  EXPECT_EQ(w.curBuf, 3);
  writeTriangle();  // the fifth write flushes buffer 3 and lands in buffer 0 again
  EXPECT_EQ(w.curBuf, 0);
  w.flush(true);
  EXPECT_EQ(w.curBuf, 1);
  EXPECT_EQ(drawn_prims, 9);
  EXPECT_EQ(w.startPtr, nullptr);
  EXPECT_EQ(w.renderFunc, nullptr);
  Lines want;
  for (int i = 0; i < 5; i++) {
    want.push_back("VB::Lock(0, 0, 0x2800)");
    want.push_back("VB::Unlock()");
    want.push_back("SetStreamSource(0, vb, 0, 16)");
    want.push_back(i < 4 ? "DrawPrimitive(4, 0, 2)" : "DrawPrimitive(4, 0, 1)");
  }
  EXPECT_EQ(stopRecording(), want);
}

TEST_F(RingTest, ExactFitNeedsNoFlush) {
  w.start(count_prims, 4, 0, 16);
  writeTriangle();
  writeTriangle();  // exactly bufSize
  EXPECT_EQ(w.used(), w.bufSize);
  EXPECT_EQ(drawn_prims, 0);
  writeTriangle();  // would not fit: flushes first
  EXPECT_EQ(drawn_prims, 2);
  EXPECT_EQ(w.curBuf, 1);
  w.flush(true);
  EXPECT_EQ(drawn_prims, 3);
}

TEST_F(RingTest, FlushesWithNothingWritten) {
  w.start(count_prims, 4, 0, 16);
  uint8_t* locked = w.startPtr;
  record();
  w.flush(false);  // keeps the buffer locked, no draw, no advance
  EXPECT_EQ(w.startPtr, locked);
  EXPECT_EQ(w.curBuf, 0);
  w.flush(true);  // unlocks, draws nothing, keeps curBuf
  EXPECT_EQ(stopRecording(), (Lines{"VB::Unlock()"}));
  EXPECT_EQ(w.curBuf, 0);
  EXPECT_EQ(w.renderFunc, nullptr);
  record();
  w.flush(true);  // no run open: nothing
  EXPECT_TRUE(stopRecording().empty());
}

TEST_F(RingTest, MisuseIsFatalWithTheCheckedCondition) {
  struct Case {
    const char* name;
    std::function<void()> misuse;
    const char* message;
  } cases[] = {
      {"start twice", [] { common_vb_writer.start(dyn_vb_draw_prims, 4, 0, 16); common_vb_writer.start(dyn_vb_draw_prims, 4, 0, 16); },
       "dynVBWriter.cpp\\(62\\): failed ASSERT\\(!startPtr\\)"},
      {"create in a run", [] { common_vb_writer.start(dyn_vb_draw_prims, 4, 0, 16); common_vb_writer.create(64, 2); },
       "dynVBWriter.cpp\\(46\\): failed ASSERT\\(!startPtr\\)"},
      {"empty ring", [] { common_vb_writer.release(); common_vb_writer.start(dyn_vb_draw_prims, 4, 0, 16); },
       "dynVBWriter.cpp\\(63\\): failed ASSERT\\(!vbufs.empty\\(\\)\\)"},
      {"no callback", [] { common_vb_writer.start(nullptr, 4, 0, 16); common_vb_writer.numPrims = 1; common_vb_writer.flush(false); },
       "dynVBWriter.cpp\\(82\\): failed ASSERT\\(startPtr && renderFunc\\)"},
  };
  for (Case& c : cases) EXPECT_EXIT(c.misuse(), ::testing::ExitedWithCode(100), c.message) << c.name;
}

TEST_F(RingTest, ABufferThatCannotBeMadeIsFatal) {
  EXPECT_EXIT(
      ([] {
        common_vb_writer.release();
        common_vb_writer.create(0, 4);
      })(),
      ::testing::ExitedWithCode(100), "can't create dynamic VB of size 0");
}
