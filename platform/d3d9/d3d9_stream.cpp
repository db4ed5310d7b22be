// The streaming ring that dynamic vertex buffers are drawn from.
#include "platform/d3d9/d3d9_impl.h"

bool stream_ring_init(StreamRing& ring, size_t size) {
  const GLbitfield flags = GL_MAP_WRITE_BIT | GL_MAP_PERSISTENT_BIT | GL_MAP_COHERENT_BIT;
  glCreateBuffers(1, &ring.buf);
  glNamedBufferStorage(ring.buf, size, nullptr, flags);
  ring.ptr = (uint8_t*)glMapNamedBufferRange(ring.buf, 0, size, flags);
  if (!ring.ptr) {
    // Without a mapping dynamic buffers keep storage of their own.
    glDeleteBuffers(1, &ring.buf);
    ring = StreamRing{};
    return false;
  }
  ring.size = size;
  return true;
}

void stream_ring_release(StreamRing& ring) {
  if (!ring.buf) return;
  for (GLsync& f : ring.fences) {
    if (f) glDeleteSync(f);
    f = nullptr;
  }
  glUnmapNamedBuffer(ring.buf);
  glDeleteBuffers(1, &ring.buf);
  ring = StreamRing{};
}

// Moves head into segment s: the segment it leaves gets a fence behind the draws issued
// so far, and the one it enters is written only once the GPU has passed its fence.
static void enter_segment(StreamRing& ring, int s) {
  if (s == ring.segment) return;
  if (ring.fences[ring.segment]) glDeleteSync(ring.fences[ring.segment]);
  ring.fences[ring.segment] = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
  ring.segment = s;
  if (GLsync f = ring.fences[s]) {
    while (glClientWaitSync(f, GL_SYNC_FLUSH_COMMANDS_BIT, 1000000000) == GL_TIMEOUT_EXPIRED) {
    }
    glDeleteSync(f);
    ring.fences[s] = nullptr;
  }
}

size_t stream_ring_alloc(StreamRing& ring, size_t n) {
  n = (n + 255) & ~(size_t)255;
  size_t seg = ring.size / 4;
  size_t start = ring.head;
  if (start + n > ring.size) {
    ring.total += ring.size - start;
    start = 0;
  }
  for (size_t s = start / seg; s <= (start + n - 1) / seg; s++) enter_segment(ring, (int)s);
  ring.head = start + n;
  ring.total += n;
  return start;
}
