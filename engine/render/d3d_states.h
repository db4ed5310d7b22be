#pragma once
// Render states, transforms, vertex declarations and small device services. Nothing
// else (the game-object module included) touches render states directly.
#include "platform/d3d9/d3d9.h"
#include "engine/core/geometry.h"

#include <cstdint>

// One vertex element: offset, stream (255 ends a list), type code (1 FLOAT1 .. 10
// FLOAT16_4), usage code (0 POSITION, 1 NORMAL, 2 COLOR, 3 TEXCOORD, else TANGENT),
// usage index.
#pragma pack(push, 1)
struct VDeclElement {
  uint16_t offset;
  uint8_t stream;
  uint8_t type;
  uint8_t usage;
  uint8_t usageIndex;
};
#pragma pack(pop)
static_assert(sizeof(VDeclElement) == 6);

constexpr int MAX_VDECLS = 64;
constexpr int MAX_VDECL_LEN = 32;

void set_blend_none();
void set_blend_alpha();
void set_blend_prealpha();
void set_blend_additive();
void set_blend_smooth_add();
void set_blend_multiply();
void set_blend_min();
void set_blend_max();
void set_blend_oit();

void set_atest(int ref);
void set_color_write_mask(int mask);
void set_cull_mode(int mode);
void set_zenable(bool on);
void set_zwrite(bool on);
void set_wireframe(bool on);
void set_stencil_test(int mask, int ref, int func);
void set_stencil_replace_bits(int bits);
void set_scissor(int x0, int y0, int x1, int y1);
void set_scissor_off();

void set_view_tm(const Matrix44& tm);
void set_proj_tm(const Matrix44& tm);
void set_proj_tm(float fov, float aspect, float zn, float zf);
void get_glob_tm(Matrix44& out);
void make_proj_tm(Matrix44& out, float fov, float aspect, float zn, float zf);

IDirect3DVertexDeclaration9* create_vdecl(const VDeclElement* list);
void set_vdecl(IDirect3DVertexDeclaration9* decl);
void release_all_vdecls();
void set_instancing(int count);
void flush_gpu();
unsigned get_free_texmem();
