// Debug drawing through the vertex ring.
#include "engine/render/debug_vis.h"

#include <emmintrin.h>

#include <cmath>
#include <cstring>

#include "engine/render/d3d_device.h"
#include "engine/render/d3d_shaders.h"
#include "engine/render/d3d_states.h"
#include "engine/render/dynVBWriter.h"

Shader* debug_vis_shader = nullptr;
IDirect3DVertexDeclaration9* debug_vis_vdecl = nullptr;
int debug_vis_prim_type = 4;

constexpr int LINE_LIST = 2;
constexpr int TRIANGLE_LIST = 4;

void init_debug_vis() {
  static const VDeclElement elements[] = {
      {0, 0, 3, 0, 0},   // FLOAT3 position
      {12, 0, 5, 2, 0},  // D3DCOLOR colour
      {0, 255, 0, 0, 0},
  };
  debug_vis_vdecl = create_vdecl(elements);
  debug_vis_shader = create_shader("debug_vis.sh", nullptr);
}

void close_debug_vis() {
  if (debug_vis_shader)
    destroy_shader(debug_vis_shader);
  debug_vis_shader = nullptr;
}

void start_draw_debug_vis() {
  set_vdecl(debug_vis_vdecl);
  set_shader(debug_vis_shader);
  set_cull_mode(0);
  debug_vis_prim_type = TRIANGLE_LIST;
  common_vb_writer.start(dyn_vb_draw_prims, TRIANGLE_LIST, 0, sizeof(DebugVisVertex));
}

void end_draw_debug_vis() {
  common_vb_writer.flush(true);
  set_cull_mode(1);
}

// ---- primitives --------------------------------------------------------------------

// Room for `bytes` more in a run of the given kind.
static uint8_t* reserve(int type, int bytes) {
  DynVBWriter& w = common_vb_writer;
  if (debug_vis_prim_type != type) {
    w.flush(true);
    w.start(dyn_vb_draw_prims, type, 0, sizeof(DebugVisVertex));
    debug_vis_prim_type = type;
  }
  if (w.bufSize - w.used() < bytes)
    w.flush(false);
  return w.writePtr;
}

// One vertex {x, y, z, colour}, streamed past the cache: the ring is only read by the
// draw.
static void put_vertex(uint8_t* at, __m128 p, D3dColor c) {
  __m128i v = _mm_castps_si128(p);
  v = _mm_insert_epi16(v, int(c & 0xFFFF), 6);
  v = _mm_insert_epi16(v, int(c >> 16), 7);
  if ((uintptr_t(at) & 15) == 0)
    _mm_stream_si128((__m128i*)at, v);
  else
    _mm_storeu_si128((__m128i*)at, v);
}

static void commit(int bytes) {
  common_vb_writer.writePtr += bytes;
  common_vb_writer.numPrims += 1;
}

void draw_debug_vis_line(__m128 a, __m128 b, D3dColor ca, D3dColor cb) {
  uint8_t* p = reserve(LINE_LIST, 32);
  put_vertex(p, a, ca);
  put_vertex(p + 16, b, cb);
  commit(32);
}

void draw_debug_vis_line(__m128 a, __m128 b, D3dColor color) { draw_debug_vis_line(a, b, color, color); }

void draw_debug_vis_tri(__m128 a, __m128 b, __m128 c, D3dColor ca, D3dColor cb, D3dColor cc) {
  uint8_t* p = reserve(TRIANGLE_LIST, 48);
  put_vertex(p, a, ca);
  put_vertex(p + 16, b, cb);
  put_vertex(p + 32, c, cc);
  commit(48);
}

void draw_debug_vis_tri(__m128 a, __m128 b, __m128 c, D3dColor color) {
  draw_debug_vis_tri(a, b, c, color, color, color);
}

// ---- shapes ------------------------------------------------------------------------

void draw_debug_vis_cross_point(__m128 p, float s, D3dColor color) {
  draw_debug_vis_line(v_sub(p, x4f(s)), v_add(p, x4f(s)), color);
  draw_debug_vis_line(v_sub(p, y4f(s)), v_add(p, y4f(s)), color);
  draw_debug_vis_line(v_sub(p, z4f(s)), v_add(p, z4f(s)), color);
}

// Corner i of the box [lo, hi]: bit 0 picks x, bit 1 y, bit 2 z from hi.
static __m128 box_corner(__m128 lo, __m128 hi, int i) {
  return v_make(i & 1 ? v_x(hi) : v_x(lo), i & 2 ? v_y(hi) : v_y(lo), i & 4 ? v_z(hi) : v_z(lo), 1);
}

void draw_debug_vis_wire_box(__m128 a, __m128 b, D3dColor color) {
  __m128 lo = v_min(a, b), hi = v_max(a, b);
  // Every edge joins two corners that differ in one bit.
  for (int i = 0; i < 8; i++)
    for (int bit = 1; bit < 8; bit <<= 1)
      if (!(i & bit))
        draw_debug_vis_line(box_corner(lo, hi, i), box_corner(lo, hi, i | bit), color);
}

void draw_debug_vis_solid_box(__m128 a, __m128 b, D3dColor color, float grow) {
  __m128 g = v_splat(grow);
  __m128 lo = v_sub(v_min(a, b), g), hi = v_add(v_max(a, b), g);
  // Each face: the corners with one bit fixed, as two triangles.
  static const int faces[6][4] = {{0, 2, 6, 4}, {1, 5, 7, 3}, {0, 4, 5, 1}, {2, 3, 7, 6}, {0, 1, 3, 2}, {4, 6, 7, 5}};
  for (const int* f : faces) {
    __m128 c0 = box_corner(lo, hi, f[0]), c1 = box_corner(lo, hi, f[1]);
    __m128 c2 = box_corner(lo, hi, f[2]), c3 = box_corner(lo, hi, f[3]);
    draw_debug_vis_tri(c0, c1, c2, color);
    draw_debug_vis_tri(c0, c2, c3, color);
  }
}

void draw_debug_vis_cube(__m128 centre, float size, D3dColor color) {
  draw_debug_vis_solid_box(centre, centre, color, size);
}

void draw_debug_vis_sphere(__m128 centre, float r, D3dColor color, int segments) {
  int n = segments > 2 ? segments : 2;
  auto point = [&](int i, int j) {
    float theta = float(i * M_PI / n), phi = float(j * M_PI / n);
    return v_add(centre, v_make(r * sinf(theta) * cosf(phi), r * cosf(theta), r * sinf(theta) * sinf(phi), 0));
  };
  __m128 top = v_add(centre, y4f(r)), bottom = v_sub(centre, y4f(r));
  for (int i = 1; i < n; i++) {
    for (int j = 0; j < 2 * n; j++) {
      __m128 p = point(i, j);
      draw_debug_vis_line(p, point(i, j + 1), color);
      draw_debug_vis_line(p, i == n - 1 ? bottom : point(i + 1, j), color);
      if (i == 1)
        draw_debug_vis_line(p, top, color);
    }
  }
}

void draw_debug_vis_sphere(const Matrix44& m, __m128 centreAndRadius, D3dColor color, int segments) {
  __m128 c = v_add(v_add(v_scale(m.row[0], v_x(centreAndRadius)), v_scale(m.row[1], v_y(centreAndRadius))),
                   v_add(v_scale(m.row[2], v_z(centreAndRadius)), m.row[3]));
  float r = v_w(centreAndRadius) * v_length3(m.row[0]);
  draw_debug_vis_sphere(c, r, color, segments);
}

__m128 debug_vis_eye_pos() {
  Matrix44 view = matrix_identity();
  D3DMATRIX m;
  if (d3d && SUCCEEDED(d3d->GetTransform(D3DTS_VIEW, &m)))
    memcpy(view.m, m.m, sizeof(m.m));
  // The eye e is the point the view maps to the origin: e x V = (0, 0, 0, 1). Solved by
  // Gauss-Jordan elimination with partial pivoting on the transposed system.
  double a[4][5];
  for (int r = 0; r < 4; r++) {
    for (int c = 0; c < 4; c++)
      a[r][c] = view.m[c][r];
    a[r][4] = r == 3 ? 1 : 0;
  }
  for (int col = 0; col < 4; col++) {
    int pivot = col;
    for (int r = col + 1; r < 4; r++)
      if (fabs(a[r][col]) > fabs(a[pivot][col]))
        pivot = r;
    if (a[pivot][col] == 0)
      return v_make(0, 0, 0, 1);
    for (int c = 0; c < 5; c++)
      std::swap(a[col][c], a[pivot][c]);
    for (int r = 0; r < 4; r++) {
      if (r == col)
        continue;
      double f = a[r][col] / a[col][col];
      for (int c = col; c < 5; c++)
        a[r][c] -= f * a[col][c];
    }
  }
  return v_make(float(a[0][4] / a[0][0]), float(a[1][4] / a[1][1]), float(a[2][4] / a[2][2]),
                float(a[3][4] / a[3][3]));
}

void draw_debug_vis_thick_line(__m128 a, __m128 b, float w, D3dColor ca, D3dColor cb) {
  __m128 e = v_sub(a, debug_vis_eye_pos());
  __m128 d = v_sub(b, a);
  __m128 s = v_scale(v_norm3(v_cross3(d, e)), w);
  __m128 t = v_scale(v_norm3(v_cross3(e, s)), w);
  draw_debug_vis_tri(v_sub(a, t), v_add(a, s), v_sub(a, s), ca);
  draw_debug_vis_tri(v_sub(a, s), v_add(a, s), v_sub(b, s), ca, ca, cb);
  draw_debug_vis_tri(v_sub(b, s), v_add(a, s), v_add(b, s), cb, ca, cb);
  draw_debug_vis_tri(v_sub(b, s), v_add(b, s), v_add(b, t), cb);
}

void draw_debug_vis_transform_axes(const Matrix44& m, float length, unsigned char level) {
  __m128 origin = m.row[3];
  uint32_t l = level;
  draw_debug_vis_line(origin, v_add(origin, v_scale(m.row[0], length)), 0xFFFF0000u | l * 0x101u);
  draw_debug_vis_line(origin, v_add(origin, v_scale(m.row[1], length)), 0xFF00FF00u | l * 0x10001u);
  draw_debug_vis_line(origin, v_add(origin, v_scale(m.row[2], length)), 0xFF0000FFu | l * 0x10100u);
}
