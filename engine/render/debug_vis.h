#pragma once
// Debug drawing: coloured lines and flat triangles in world space, written straight into
// the shared vertex ring between start_draw_debug_vis and end_draw_debug_vis. Lines and
// triangles share one ring run; switching kind flushes, so group shapes of one kind.
#include <cstdint>

#include "engine/core/geometry.h"

struct Shader;
struct IDirect3DVertexDeclaration9;

struct DebugVisVertex {
  float x, y, z;
  D3dColor color;
};
static_assert(sizeof(DebugVisVertex) == 16);

extern Shader* debug_vis_shader;
extern IDirect3DVertexDeclaration9* debug_vis_vdecl;
extern int debug_vis_prim_type;  // 4 triangle list or 2 line list: the open run's kind

void init_debug_vis();
void close_debug_vis();
void start_draw_debug_vis();
void end_draw_debug_vis();

void draw_debug_vis_line(__m128 a, __m128 b, D3dColor ca, D3dColor cb);
void draw_debug_vis_line(__m128 a, __m128 b, D3dColor color);
void draw_debug_vis_tri(__m128 a, __m128 b, __m128 c, D3dColor ca, D3dColor cb, D3dColor cc);
void draw_debug_vis_tri(__m128 a, __m128 b, __m128 c, D3dColor color);
void draw_debug_vis_cross_point(__m128 p, float size, D3dColor color);
void draw_debug_vis_wire_box(__m128 a, __m128 b, D3dColor color);
void draw_debug_vis_solid_box(__m128 a, __m128 b, D3dColor color, float grow);
void draw_debug_vis_cube(__m128 centre, float size, D3dColor color);
void draw_debug_vis_sphere(__m128 centre, float radius, D3dColor color, int segments);
void draw_debug_vis_sphere(const Matrix44& m, __m128 centreAndRadius, D3dColor color, int segments);
void draw_debug_vis_thick_line(__m128 a, __m128 b, float width, D3dColor ca, D3dColor cb);
void draw_debug_vis_transform_axes(const Matrix44& m, float length, unsigned char level);

// The eye position of the frame: the translation row of the inverse view transform.
__m128 debug_vis_eye_pos();
