// Debris particles.
#include "engine/world/junk.h"

#include <emmintrin.h>

#include "engine/core/fatal.h"
#include "engine/render/d3d_shaders.h"
#include "engine/render/d3d_states.h"
#include "engine/render/dynVBWriter.h"

DynArray<JunkRecord> junk_records;
Shader* junk_shader = nullptr;
IDirect3DVertexDeclaration9* junk_vdecl = nullptr;

namespace {

constexpr int SQUARE_BYTES = 6 * sizeof(JunkVertex);
constexpr uint32_t TRIANGLE_LIST = 4;

}  // namespace

JunkVertex junk_vertex(int x, int y, int z, uint32_t color) {
  return {int16_t(x & 0x7FFF), int16_t(y), int16_t(z), int16_t(x >> 15), color};
}

void add_junk(__m128 pos, __m128 vel, uint32_t color, float life, float gravity) {
  JunkRecord& r = junk_records.push();
  r = JunkRecord{pos, vel, color, life, gravity};
}

void init_junk() {
  static const VDeclElement elements[] = {
      {0, 0, 7, 0, 0},   // SHORT4 position
      {8, 0, 5, 2, 0},   // D3DCOLOR colour
      {0, 255, 0, 0, 0},
  };
  junk_vdecl = create_vdecl(elements);
  junk_shader = create_shader("pixel.sh", nullptr);
}

void close_junk() {
  junk_records.clearAndFree();
  if (junk_shader)
    destroy_shader(junk_shader);
  junk_shader = nullptr;
}

void clear_junk() { junk_records.clear(); }

void update_junk(float dt) {
  int i = 0;
  while (i < junk_records.size()) {
    JunkRecord& r = junk_records[i];
    alignas(16) float v[4];
    _mm_store_ps(v, r.vel);
    v[1] -= r.gravity * dt;
    r.vel = _mm_load_ps(v);
    r.pos = _mm_add_ps(r.pos, _mm_mul_ps(r.vel, _mm_set1_ps(dt)));
    r.life -= dt;
    if (r.life <= 0)
      junk_records.removeUnordered(i, 1);  // the moved record is processed next
    else
      i++;
  }
}

void render_junk(float t) {
  // Reported under a fixed place, so the text stays the same from build to build.
  if (common_vb_writer.startPtr)
    assert_failed("!common_vb_writer.started()", "junk", 145);
  set_vdecl(junk_vdecl);
  set_shader(junk_shader);
  set_cull_mode(0);
  common_vb_writer.start(dyn_vb_draw_prims, TRIANGLE_LIST, 0, sizeof(JunkVertex));
  __m128 scale = _mm_set1_ps(16.0f);
  __m128 tv = _mm_set1_ps(t);
  for (const JunkRecord& r : junk_records) {
    if (!(r.life - t > 0))
      continue;
    alignas(16) int q[4];
    // Rounded to nearest, ties to even (the default rounding mode).
    _mm_store_si128((__m128i*)q, _mm_cvtps_epi32(_mm_mul_ps(_mm_add_ps(r.pos, _mm_mul_ps(r.vel, tv)), scale)));
    if (common_vb_writer.used() + SQUARE_BYTES > common_vb_writer.bufSize)
      common_vb_writer.flush(false);
    int x0 = q[0] - 8, x1 = q[0] + 8, y0 = q[1] - 8, y1 = q[1] + 8;
    JunkVertex* v = (JunkVertex*)common_vb_writer.writePtr;
    v[0] = junk_vertex(x0, y0, q[2], r.color);
    v[1] = junk_vertex(x1, y0, q[2], r.color);
    v[2] = junk_vertex(x1, y1, q[2], r.color);
    v[3] = junk_vertex(x0, y0, q[2], r.color);
    v[4] = junk_vertex(x1, y1, q[2], r.color);
    v[5] = junk_vertex(x0, y1, q[2], r.color);
    common_vb_writer.writePtr += SQUARE_BYTES;
    common_vb_writer.numPrims += 2;
  }
  common_vb_writer.flush(true);
  set_cull_mode(1);
}
