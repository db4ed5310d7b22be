#pragma once
// The ring of dynamic vertex buffers through which all immediate drawing goes. A
// client starts a run with a draw callback, copies whole primitives to writePtr
// (flushing first when they would not fit) and ends the run with a final flush; the
// writer draws each full buffer and moves on to the next one of the ring.
#include "engine/core/dynarray.h"

#include <cstdint>

struct VertexBuffer;

typedef void (*DynVBRenderFunc)(int prims, uint32_t param);

// The ring's buffers; `empty` names the test the writer's checks are written with.
struct DynVBRing : DynArray<VertexBuffer*> {
  bool empty() const { return isEmpty(); }
};

class DynVBWriter {
public:
  uint8_t* writePtr;  // next free byte of the locked buffer; null when none is locked
  int32_t numPrims;   // primitives written since the buffer was locked
  uint8_t* startPtr;  // start of the locked buffer; null while no run is open
  DynVBRing vbufs;
  int32_t bufSize;
  DynVBRenderFunc renderFunc;
  uint32_t renderParam;
  int32_t stream;
  int32_t stride;
  int32_t curBuf;

  DynVBWriter();
  void create(int size, int count);
  void start(DynVBRenderFunc func, uint32_t param, int stream, int stride);
  void flush(bool final);
  void release();

  // Bytes used in the locked buffer.
  int used() const { return (int)(writePtr - startPtr); }

private:
  void lockCurrent();
};

extern DynVBWriter common_vb_writer;

// The standard callback: draw_prim with primitive type = param, first vertex 0.
void dyn_vb_draw_prims(int prims, uint32_t param);
