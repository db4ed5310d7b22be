#pragma once
// Debris ("junk"): one-unit coloured squares thrown by the module, moved once per
// step, drawn every frame at their extrapolated positions through the vertex ring,
// emptied between levels.
#include <cstdint>
#include <xmmintrin.h>

#include "engine/core/dynarray.h"

struct Shader;
struct IDirect3DVertexDeclaration9;

struct JunkRecord {
  __m128 pos;
  __m128 vel;
  uint32_t color;
  float life;
  float gravity;
};

// One corner of a debris square: x in sixteenths as s0 + 32768 * s3.
struct JunkVertex {
  int16_t s0, s1, s2, s3;
  uint32_t color;
};
static_assert(sizeof(JunkVertex) == 12);

extern DynArray<JunkRecord> junk_records;
extern Shader* junk_shader;
extern IDirect3DVertexDeclaration9* junk_vdecl;

void add_junk(__m128 pos, __m128 vel, uint32_t color, float life, float gravity);
void init_junk();
void close_junk();
void clear_junk();
void update_junk(float dt);
void render_junk(float t);
// The vertex of a point (X, Y, Z) in sixteenths of a unit.
JunkVertex junk_vertex(int x, int y, int z, uint32_t color);
