// The shared dynamic vertex-buffer ring.
//
// Buffers are dynamic and write-only: locking a whole buffer discards its old
// contents, so writing never waits for draws still reading them. The ring only
// advances after a draw, so a buffer that received nothing is used again.
//
// The consistency checks keep their lines in this file: their reports name the file
// and the line ("dynVBWriter.cpp(62): failed ASSERT(!startPtr)"), and tools and
// tests match them.
#include "engine/render/dynVBWriter.h"

#include "engine/core/fatal.h"
#include "engine/render/d3d_vbuf.h"

DynVBWriter common_vb_writer;

void dyn_vb_draw_prims(int prims, uint32_t param) { draw_prim((int)param, 0, prims); }

DynVBWriter::DynVBWriter()
    : writePtr(nullptr),
      numPrims(0),
      startPtr(nullptr),
      bufSize(0),
      renderFunc(nullptr),
      renderParam(0),
      stream(0),
      stride(0),
      curBuf(0) {}

// States of the writer: not created (empty ring), idle (ring made, startPtr null)
// and in a run (one buffer locked). create and release are legal only when idle,
// start only when idle, and a final flush ends the run. A run is fed by clients
// that copy whole primitives to writePtr, calling flush(false) first whenever the
// bytes would not fit, so a flush never splits a primitive.










void DynVBWriter::release() {
  ASSERT(!startPtr);
  for (VertexBuffer* vb : vbufs) release_vb(vb);
  vbufs.clearAndFree();
}


void DynVBWriter::lockCurrent() {
  startPtr = (uint8_t*)lock_vb(vbufs[curBuf], 0, 0);
  writePtr = startPtr;
  ASSERT(startPtr);
}




void DynVBWriter::start(DynVBRenderFunc func, uint32_t param, int stream_, int stride_) {
  ASSERT(!startPtr);
  ASSERT(!vbufs.empty());
  stream = stream_;
  stride = stride_;
  lockCurrent();
  renderFunc = func;
  renderParam = param;
  numPrims = 0;
}








void DynVBWriter::flush(bool final) {
  if (numPrims < 1 && !final) return;
  if (final && !startPtr) return;
  ASSERT(startPtr && renderFunc);
  unlock_vb(vbufs[curBuf]);
  writePtr = startPtr = nullptr;
  if (numPrims > 0) {
    set_vb_stream(stream, vbufs[curBuf], 0, stride);
    renderFunc(numPrims, renderParam);
    curBuf = (curBuf + 1) % vbufs.size();
  }
  numPrims = 0;
  if (final) {
    renderFunc = nullptr;
    return;
  }
  lockCurrent();
}

void DynVBWriter::create(int size, int count) {
  release();
  bufSize = size;
  vbufs.resize(count);
  for (VertexBuffer*& vb : vbufs) {
    vb = create_vb(size, false);
    if (!vb) fatal("can't create dynamic VB of size %d", size);
  }
  curBuf = 0;
  startPtr = writePtr = nullptr;
  numPrims = 0;
  renderFunc = nullptr;
}
