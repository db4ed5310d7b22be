// Render states, transforms and vertex declarations on the one device.
#include "engine/render/d3d_states.h"

#include "engine/core/fatal.h"
#include "engine/core/log.h"
#include "engine/render/d3d_device.h"

#include <cmath>
#include <cstring>

static IDirect3DVertexDeclaration9* vdecls[MAX_VDECLS];

static void rs(D3DRENDERSTATETYPE state, DWORD value) { d3d->SetRenderState(state, value); }

static void set_blend(DWORD src, DWORD dst, DWORD op) {
  rs(D3DRS_ALPHABLENDENABLE, TRUE);
  rs(D3DRS_SEPARATEALPHABLENDENABLE, FALSE);
  rs(D3DRS_SRCBLEND, src);
  rs(D3DRS_DESTBLEND, dst);
  rs(D3DRS_BLENDOP, op);
}

void set_blend_none() { rs(D3DRS_ALPHABLENDENABLE, FALSE); }
void set_blend_alpha() { set_blend(D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DBLENDOP_ADD); }
void set_blend_prealpha() { set_blend(D3DBLEND_ONE, D3DBLEND_INVSRCALPHA, D3DBLENDOP_ADD); }
void set_blend_additive() { set_blend(D3DBLEND_ONE, D3DBLEND_ONE, D3DBLENDOP_ADD); }
void set_blend_smooth_add() { set_blend(D3DBLEND_ONE, D3DBLEND_INVSRCCOLOR, D3DBLENDOP_ADD); }
void set_blend_multiply() { set_blend(D3DBLEND_DESTCOLOR, D3DBLEND_ZERO, D3DBLENDOP_ADD); }
void set_blend_min() { set_blend(D3DBLEND_ONE, D3DBLEND_ONE, D3DBLENDOP_MIN); }
void set_blend_max() { set_blend(D3DBLEND_ONE, D3DBLEND_ONE, D3DBLENDOP_MAX); }

void set_blend_oit() {
  rs(D3DRS_ALPHABLENDENABLE, TRUE);
  rs(D3DRS_SEPARATEALPHABLENDENABLE, TRUE);
  rs(D3DRS_SRCBLEND, D3DBLEND_ONE);
  rs(D3DRS_DESTBLEND, D3DBLEND_ONE);
  rs(D3DRS_BLENDOP, D3DBLENDOP_ADD);
  rs(D3DRS_SRCBLENDALPHA, D3DBLEND_ZERO);
  rs(D3DRS_DESTBLENDALPHA, D3DBLEND_INVSRCALPHA);
}

void set_atest(int ref) {
  if (ref > 0) {
    rs(D3DRS_ALPHATESTENABLE, TRUE);
    rs(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
    rs(D3DRS_ALPHAREF, ref);
  } else {
    rs(D3DRS_ALPHATESTENABLE, FALSE);
  }
}

void set_color_write_mask(int mask) { rs(D3DRS_COLORWRITEENABLE, mask); }

void set_cull_mode(int mode) { rs(D3DRS_CULLMODE, mode == 0 ? D3DCULL_NONE : mode > 0 ? D3DCULL_CCW : D3DCULL_CW); }

void set_zenable(bool on) { rs(D3DRS_ZENABLE, on ? D3DZB_TRUE : D3DZB_FALSE); }
void set_zwrite(bool on) { rs(D3DRS_ZWRITEENABLE, on); }
void set_wireframe(bool on) { rs(D3DRS_FILLMODE, on ? D3DFILL_WIREFRAME : D3DFILL_SOLID); }

void set_stencil_test(int mask, int ref, int func) {
  if (!mask) {
    rs(D3DRS_STENCILENABLE, FALSE);
    return;
  }
  rs(D3DRS_STENCILENABLE, TRUE);
  rs(D3DRS_STENCILMASK, mask);
  rs(D3DRS_STENCILREF, ref);
  rs(D3DRS_STENCILFUNC, func);
}

void set_stencil_replace_bits(int bits) {
  rs(D3DRS_STENCILWRITEMASK, bits);
  rs(D3DRS_STENCILFAIL, D3DSTENCILOP_KEEP);
  rs(D3DRS_STENCILZFAIL, D3DSTENCILOP_KEEP);
  rs(D3DRS_STENCILPASS, bits ? D3DSTENCILOP_REPLACE : D3DSTENCILOP_KEEP);
}

void set_scissor(int x0, int y0, int x1, int y1) {
  rs(D3DRS_SCISSORTESTENABLE, TRUE);
  RECT r = {x0, y0, x1, y1};
  d3d->SetScissorRect(&r);
}

void set_scissor_off() { rs(D3DRS_SCISSORTESTENABLE, FALSE); }

// ---- transforms ---------------------------------------------------------------------

static D3DMATRIX to_d3d(const Matrix44& m) {
  D3DMATRIX r;
  std::memcpy(r.m, m.m, sizeof(r.m));
  return r;
}

void set_view_tm(const Matrix44& tm) {
  D3DMATRIX m = to_d3d(tm);
  d3d->SetTransform(D3DTS_VIEW, &m);
}

void set_proj_tm(const Matrix44& tm) {
  D3DMATRIX m = to_d3d(tm);
  d3d->SetTransform(D3DTS_PROJECTION, &m);
}

void make_proj_tm(Matrix44& out, float fov, float aspect, float zn, float zf) {
  float y_scale = 1.0f / tanf(fov * 0.5f);
  float x_scale = y_scale / aspect;
  float q = zf / (zf - zn);
  std::memset(out.m, 0, sizeof(out.m));
  out.m[0][0] = x_scale;
  out.m[1][1] = y_scale;
  out.m[2][2] = q;
  out.m[2][3] = 1;
  out.m[3][2] = -q * zn;
}

void set_proj_tm(float fov, float aspect, float zn, float zf) {
  Matrix44 m;
  make_proj_tm(m, fov, aspect, zn, zf);
  set_proj_tm(m);
}

void get_glob_tm(Matrix44& out) {
  Matrix44 view = matrix_identity(), proj = matrix_identity();
  D3DMATRIX m;
  if (SUCCEEDED(d3d->GetTransform(D3DTS_VIEW, &m))) std::memcpy(view.m, m.m, sizeof(m.m));
  if (SUCCEEDED(d3d->GetTransform(D3DTS_PROJECTION, &m))) std::memcpy(proj.m, m.m, sizeof(m.m));
  out = matrix_mul(view, proj);
}

// ---- vertex declarations ------------------------------------------------------------

static const BYTE decl_types[11] = {D3DDECLTYPE_UNUSED, D3DDECLTYPE_FLOAT1, D3DDECLTYPE_FLOAT2, D3DDECLTYPE_FLOAT3,
                                    D3DDECLTYPE_FLOAT4, D3DDECLTYPE_D3DCOLOR, D3DDECLTYPE_SHORT2, D3DDECLTYPE_SHORT4,
                                    D3DDECLTYPE_UBYTE4, D3DDECLTYPE_FLOAT16_2, D3DDECLTYPE_FLOAT16_4};
static const BYTE decl_usages[4] = {D3DDECLUSAGE_POSITION, D3DDECLUSAGE_NORMAL, D3DDECLUSAGE_COLOR,
                                    D3DDECLUSAGE_TEXCOORD};

IDirect3DVertexDeclaration9* create_vdecl(const VDeclElement* list) {
  D3DVERTEXELEMENT9 els[MAX_VDECL_LEN + 1];
  int i = 0;
  while (list[i].stream != 255) {
    const VDeclElement& e = list[i];
    els[i] = {e.stream, e.offset, e.type <= 10 ? decl_types[e.type] : (BYTE)D3DDECLTYPE_UNUSED,
              D3DDECLMETHOD_DEFAULT, e.usage <= 3 ? decl_usages[e.usage] : (BYTE)D3DDECLUSAGE_TANGENT, e.usageIndex};
    i++;
    ASSERT(i<MAX_VDECL_LEN);  // room for the end element
  }
  int n = i;
  els[n] = D3DDECL_END();
  UINT count = n + 1;
  for (IDirect3DVertexDeclaration9* d : vdecls) {
    if (!d) continue;
    D3DVERTEXELEMENT9 have[MAX_VDECL_LEN + 1];
    UINT have_count = 0;
    if (FAILED(d->GetDeclaration(nullptr, &have_count)) || have_count != count) continue;
    d->GetDeclaration(have, &have_count);
    if (std::memcmp(have, els, count * sizeof(D3DVERTEXELEMENT9)) == 0) return d;
  }
  for (IDirect3DVertexDeclaration9*& slot : vdecls) {
    if (slot) continue;
    HRESULT hr = d3d->CreateVertexDeclaration(els, &slot);
    if (FAILED(hr)) {
      slot = nullptr;
      debug("VSD:");
      for (int i = 0; i < n; i++)
        debug("  %4u %2u %2u %2u %2u", list[i].offset, list[i].stream, list[i].type, list[i].usage,
              list[i].usageIndex);
      fatal("failed to create vertex declaration (code 0x%08X)", (unsigned)hr);
    }
    return slot;
  }
  fatal("reached maximum vertex declaration count");
}

void set_vdecl(IDirect3DVertexDeclaration9* decl) { d3d->SetVertexDeclaration(decl); }

void release_all_vdecls() {
  for (IDirect3DVertexDeclaration9*& d : vdecls) {
    if (d) d->Release();
    d = nullptr;
  }
}

void set_instancing(int count) {
  if (count < 1) {
    d3d->SetStreamSourceFreq(0, 1);
    d3d->SetStreamSourceFreq(1, 1);
    return;
  }
  if (FAILED(d3d->SetStreamSourceFreq(0, D3DSTREAMSOURCE_INDEXEDDATA | count)) ||
      FAILED(d3d->SetStreamSourceFreq(1, D3DSTREAMSOURCE_INSTANCEDATA | 1)))
    fatal("failed SetStreamSourceFreq");
}

void flush_gpu() {
  ASSERT(flush_query);
  flush_query->Issue(D3DISSUE_END);
  while (flush_query->GetData(nullptr, 0, D3DGETDATA_FLUSH) == S_FALSE) {
  }
}

unsigned get_free_texmem() {
  ASSERT(d3d);
  return d3d->GetAvailableTextureMem();
}
