// The device: state, draws, clears, render targets, copies and presenting.
#include "platform/d3d9/d3d9_impl.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

D3d9Device* d3d9_live_device = nullptr;

// Binds to the layer's own uniform block (binding 2) of every shader (data/d3d9.inc).
struct LayerUniforms {
  float pixel_offset[4];  // clip-space shift per unit of w: (1/vp width, -1/vp height)
  float alpha_test[4];    // alphas that pass: from, up to, outside (1 for "not equal"), unused
};

template <class T>
static void set_ref(T*& slot, T* value) {
  if (slot == value) return;
  if (value) value->AddRef();
  if (slot) slot->Release();
  slot = value;
}

void D3d9Device::make_current() const { gl_context_make_current(ctx); }

int D3d9Device::samples_for(D3DMULTISAMPLE_TYPE ms, DWORD quality) const {
  if (ms == D3DMULTISAMPLE_NONE) return 0;
  int samples = ms == D3DMULTISAMPLE_NONMASKABLE ? 2 << std::min<DWORD>(quality, 4) : (int)ms;
  return std::min(samples, (int)max_samples);
}

bool D3d9Device::create_back_buffer() {
  IDirect3DTexture9* t = nullptr;
  if (FAILED(owner->CreateTexture(bb_width, bb_height, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &t,
                                  nullptr)))
    return false;
  back_buffer = t;
  glDeleteTextures(1, &front_copy);
  glCreateTextures(GL_TEXTURE_2D, 1, &front_copy);
  glTextureStorage2D(front_copy, 1, GL_RGBA8, bb_width, bb_height);
  front_width = bb_width;
  front_height = bb_height;
  return true;
}

void D3d9Device::release_back_buffer() {
  for (auto& t : targets) set_ref<IDirect3DSurface9>(t, nullptr);
  set_ref<IDirect3DSurface9>(depth, nullptr);
  if (back_buffer) back_buffer->Release();
  back_buffer = nullptr;
  fbo_dirty = true;
}

void D3d9Device::set_defaults() {
  std::memset(rs, 0, sizeof(rs));
  rs[D3DRS_ZENABLE] = pp.EnableAutoDepthStencil ? D3DZB_TRUE : D3DZB_FALSE;
  rs[D3DRS_FILLMODE] = D3DFILL_SOLID;
  rs[D3DRS_SHADEMODE] = 2;
  rs[D3DRS_ZWRITEENABLE] = TRUE;
  rs[D3DRS_LASTPIXEL] = TRUE;
  rs[D3DRS_SRCBLEND] = D3DBLEND_ONE;
  rs[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
  rs[D3DRS_CULLMODE] = D3DCULL_CCW;
  rs[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
  rs[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
  rs[D3DRS_STENCILFAIL] = rs[D3DRS_STENCILZFAIL] = rs[D3DRS_STENCILPASS] = D3DSTENCILOP_KEEP;
  rs[D3DRS_STENCILFUNC] = D3DCMP_ALWAYS;
  rs[D3DRS_STENCILMASK] = rs[D3DRS_STENCILWRITEMASK] = 0xFFFFFFFFu;
  rs[D3DRS_TEXTUREFACTOR] = 0xFFFFFFFFu;
  rs[D3DRS_LIGHTING] = TRUE;
  rs[D3DRS_COLORWRITEENABLE] = 0xF;
  rs[D3DRS_BLENDOP] = rs[D3DRS_BLENDOPALPHA] = D3DBLENDOP_ADD;
  rs[D3DRS_SRCBLENDALPHA] = D3DBLEND_ONE;
  rs[D3DRS_DESTBLENDALPHA] = D3DBLEND_ZERO;
  rs_dirty = true;
  for (int s = 0; s < D3D9_SAMPLERS; s++) {
    DWORD* v = ss[s];
    std::memset(v, 0, sizeof(ss[s]));
    v[D3DSAMP_ADDRESSU] = v[D3DSAMP_ADDRESSV] = v[D3DSAMP_ADDRESSW] = D3DTADDRESS_WRAP;
    v[D3DSAMP_MAGFILTER] = v[D3DSAMP_MINFILTER] = D3DTEXF_POINT;
    v[D3DSAMP_MIPFILTER] = D3DTEXF_NONE;
    v[D3DSAMP_MAXANISOTROPY] = 1;
    ss_dirty[s] = true;
    set_ref<IDirect3DTexture9>(textures[s], nullptr);
  }
  for (D3DMATRIX& m : transforms) {
    std::memset(&m, 0, sizeof(m));
    for (int i = 0; i < 4; i++) m.m[i][i] = 1;
  }
  set_ref<IDirect3DVertexDeclaration9>(vdecl, nullptr);
  fvf = 0;
  for (StreamBinding& s : streams) {
    set_ref<IDirect3DVertexBuffer9>(s.vb, nullptr);
    s = StreamBinding{};
  }
  set_ref<IDirect3DIndexBuffer9>(indices, nullptr);
  set_ref<IDirect3DVertexShader9>(vs, nullptr);
  set_ref<IDirect3DPixelShader9>(ps, nullptr);
  pipeline_dirty = true;
  for (auto& t : targets) set_ref<IDirect3DSurface9>(t, nullptr);
  targets[0] = make_texture_surface(back_buffer, 0);
  set_ref<IDirect3DSurface9>(depth, nullptr);
  fbo_dirty = true;
  viewport = {0, 0, (DWORD)bb_width, (DWORD)bb_height, 0.0f, 1.0f};
  scissor = {0, 0, bb_width, bb_height};
}

bool D3d9Device::init(HWND focus, D3DPRESENT_PARAMETERS* params) {
  window = focus;
  ctx = gl_context_create(focus);
  if (!ctx) return false;
  d3d9_live_device = this;
  make_current();
  glClipControl(GL_UPPER_LEFT, GL_ZERO_TO_ONE);
  glGetIntegerv(GL_MAX_SAMPLES, &max_samples);
  glCreateFramebuffers(1, &fbo);
  glCreateFramebuffers(1, &blit_read);
  glCreateFramebuffers(1, &blit_draw);
  glCreateVertexArrays(1, &vao);
  glBindVertexArray(vao);
  glCreateProgramPipelines(1, &pipeline);
  glBindProgramPipeline(pipeline);
  glCreateSamplers(D3D9_SAMPLERS, samplers);
  for (int i = 0; i < D3D9_SAMPLERS; i++) glBindSampler(i, samplers[i]);
  glCreateBuffers(1, &ubo_vs);
  glCreateBuffers(1, &ubo_ps);
  glCreateBuffers(1, &ubo_layer);
  glNamedBufferData(ubo_vs, sizeof(vs_consts), vs_consts, GL_STREAM_DRAW);
  glNamedBufferData(ubo_ps, sizeof(ps_consts), ps_consts, GL_STREAM_DRAW);
  glNamedBufferData(ubo_layer, sizeof(LayerUniforms), nullptr, GL_STREAM_DRAW);
  glBindBufferBase(GL_UNIFORM_BUFFER, 0, ubo_vs);
  glBindBufferBase(GL_UNIFORM_BUFFER, 1, ubo_ps);
  glBindBufferBase(GL_UNIFORM_BUFFER, 2, ubo_layer);
  glCreateBuffers(1, &up_buffer);
  stream_ring_init(stream, 16u << 20);
  glEnable(GL_FRAMEBUFFER_SRGB);
  glDisable(GL_FRAMEBUFFER_SRGB);
  const D3DVERTEXELEMENT9 xyz[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0}, D3DDECL_END()};
  owner->CreateVertexDeclaration(xyz, &fvf_xyz_decl);
  return reset(params);
}

bool D3d9Device::reset(D3DPRESENT_PARAMETERS* params) {
  make_current();
  release_back_buffer();
  pp = *params;
  int w = pp.BackBufferWidth, h = pp.BackBufferHeight;
  if (w <= 0 || h <= 0) {
    gl_context_drawable_size(ctx, &w, &h);
    if (w <= 0 || h <= 0) {
      w = 1280;
      h = 720;
    }
  }
  if (pp.BackBufferFormat == D3DFMT_UNKNOWN) pp.BackBufferFormat = D3DFMT_X8R8G8B8;
  pp.BackBufferWidth = params->BackBufferWidth = w;
  pp.BackBufferHeight = params->BackBufferHeight = h;
  bb_width = w;
  bb_height = h;
  if (!create_back_buffer()) return false;
  set_defaults();
  return true;
}

void D3d9Device::shutdown() {
  if (!ctx) return;
  make_current();
  set_defaults();
  release_back_buffer();
  if (fvf_xyz_decl) fvf_xyz_decl->Release();
  fvf_xyz_decl = nullptr;
  glDeleteFramebuffers(1, &fbo);
  glDeleteFramebuffers(1, &blit_read);
  glDeleteFramebuffers(1, &blit_draw);
  glDeleteVertexArrays(1, &vao);
  glDeleteProgramPipelines(1, &pipeline);
  glDeleteSamplers(D3D9_SAMPLERS, samplers);
  GLuint buffers[] = {ubo_vs, ubo_ps, ubo_layer, up_buffer};
  glDeleteBuffers(4, buffers);
  stream_ring_release(stream);
  glDeleteTextures(1, &front_copy);
  gl_context_destroy(ctx);
  ctx = nullptr;
  if (d3d9_live_device == this) d3d9_live_device = nullptr;
}

IDirect3DDevice9Ex::~IDirect3DDevice9Ex() {
  if (impl) impl->shutdown();
  delete impl;
}

// ---- applying state -----------------------------------------------------------------

bool D3d9Device::apply_framebuffer() {
  if (fbo_dirty) {
    GLenum bufs[D3D9_RENDER_TARGETS];
    int n = 0;
    for (int i = 0; i < D3D9_RENDER_TARGETS; i++) {
      GlImage img;
      GLenum att = GL_COLOR_ATTACHMENT0 + i;
      bool have = targets[i] && surface_gl_image(targets[i], &img);
      if (!have) glNamedFramebufferTexture(fbo, att, 0, 0);
      else if (img.renderbuffer) glNamedFramebufferRenderbuffer(fbo, att, GL_RENDERBUFFER, img.name);
      else glNamedFramebufferTexture(fbo, att, img.name, img.level);
      bufs[i] = have ? att : GL_NONE;
      if (have) n = i + 1;
    }
    glNamedFramebufferDrawBuffers(fbo, std::max(n, 1), bufs);
    GlImage img;
    if (depth && surface_gl_image(depth, &img))
      glNamedFramebufferRenderbuffer(fbo, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, img.name);
    else
      glNamedFramebufferRenderbuffer(fbo, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, 0);
    fbo_dirty = false;
  }
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, fbo);
  return glCheckNamedFramebufferStatus(fbo, GL_DRAW_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
}

static GLenum gl_blend(DWORD b) {
  switch (b) {
    case D3DBLEND_ZERO: return GL_ZERO;
    case D3DBLEND_ONE: return GL_ONE;
    case D3DBLEND_SRCCOLOR: return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR: return GL_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA: return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA: return GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_DESTALPHA: return GL_DST_ALPHA;
    case D3DBLEND_INVDESTALPHA: return GL_ONE_MINUS_DST_ALPHA;
    case D3DBLEND_DESTCOLOR: return GL_DST_COLOR;
    case D3DBLEND_INVDESTCOLOR: return GL_ONE_MINUS_DST_COLOR;
    case D3DBLEND_SRCALPHASAT: return GL_SRC_ALPHA_SATURATE;
  }
  return GL_ONE;
}

static GLenum gl_blend_op(DWORD op) {
  switch (op) {
    case D3DBLENDOP_SUBTRACT: return GL_FUNC_SUBTRACT;
    case D3DBLENDOP_REVSUBTRACT: return GL_FUNC_REVERSE_SUBTRACT;
    case D3DBLENDOP_MIN: return GL_MIN;
    case D3DBLENDOP_MAX: return GL_MAX;
  }
  return GL_FUNC_ADD;
}

static GLenum gl_cmp(DWORD f) {
  static const GLenum map[] = {GL_ALWAYS, GL_NEVER, GL_LESS, GL_EQUAL, GL_LEQUAL, GL_GREATER, GL_NOTEQUAL, GL_GEQUAL, GL_ALWAYS};
  return f <= 8 ? map[f] : GL_ALWAYS;
}

static GLenum gl_stencil_op(DWORD op) {
  static const GLenum map[] = {GL_KEEP, GL_KEEP, GL_ZERO, GL_REPLACE, GL_INCR, GL_DECR, GL_INVERT, GL_INCR_WRAP, GL_DECR_WRAP};
  return op <= 8 ? map[op] : GL_KEEP;
}

static GLenum gl_address(DWORD a) {
  switch (a) {
    case D3DTADDRESS_MIRROR: return GL_MIRRORED_REPEAT;
    case D3DTADDRESS_CLAMP: return GL_CLAMP_TO_EDGE;
    case D3DTADDRESS_BORDER: return GL_CLAMP_TO_BORDER;
    case D3DTADDRESS_MIRRORONCE: return GL_MIRROR_CLAMP_TO_EDGE;
  }
  return GL_REPEAT;
}

// Direct3D 9 turns a packed colour into floats as byte / 255, rounded once. The
// division is kept on purpose: multiplying by a rounded 1/255 (the engine's own
// unpacking) is one bit off for about half the byte values, which float targets
// and border colours would keep.
static void color_floats(D3DCOLOR c, float* out) {
  out[0] = ((c >> 16) & 255) / 255.0f;
  out[1] = ((c >> 8) & 255) / 255.0f;
  out[2] = (c & 255) / 255.0f;
  out[3] = (c >> 24) / 255.0f;
}

void D3d9Device::apply_draw_state() {
  glViewport(viewport.X, viewport.Y, viewport.Width, viewport.Height);
  glDepthRangef(viewport.MinZ, viewport.MaxZ);
  if (rs_dirty) {
    if (rs[D3DRS_ALPHABLENDENABLE]) {
      glEnable(GL_BLEND);
      bool sep = rs[D3DRS_SEPARATEALPHABLENDENABLE];
      glBlendFuncSeparate(gl_blend(rs[D3DRS_SRCBLEND]), gl_blend(rs[D3DRS_DESTBLEND]),
                          gl_blend(rs[sep ? D3DRS_SRCBLENDALPHA : D3DRS_SRCBLEND]),
                          gl_blend(rs[sep ? D3DRS_DESTBLENDALPHA : D3DRS_DESTBLEND]));
      glBlendEquationSeparate(gl_blend_op(rs[D3DRS_BLENDOP]), gl_blend_op(rs[sep ? D3DRS_BLENDOPALPHA : D3DRS_BLENDOP]));
    } else {
      glDisable(GL_BLEND);
    }
    DWORD mask = rs[D3DRS_COLORWRITEENABLE];
    glColorMask(mask & 1, (mask >> 1) & 1, (mask >> 2) & 1, (mask >> 3) & 1);
    if (rs[D3DRS_ZENABLE]) glEnable(GL_DEPTH_TEST);
    else glDisable(GL_DEPTH_TEST);
    glDepthMask(rs[D3DRS_ZWRITEENABLE] ? GL_TRUE : GL_FALSE);
    glDepthFunc(gl_cmp(rs[D3DRS_ZFUNC]));
    if (rs[D3DRS_STENCILENABLE]) glEnable(GL_STENCIL_TEST);
    else glDisable(GL_STENCIL_TEST);
    glStencilFunc(gl_cmp(rs[D3DRS_STENCILFUNC]), rs[D3DRS_STENCILREF], rs[D3DRS_STENCILMASK]);
    glStencilOp(gl_stencil_op(rs[D3DRS_STENCILFAIL]), gl_stencil_op(rs[D3DRS_STENCILZFAIL]),
                gl_stencil_op(rs[D3DRS_STENCILPASS]));
    glStencilMask(rs[D3DRS_STENCILWRITEMASK]);
    // Direct3D culls by the winding seen on screen (y down); with the upper-left
    // clip origin GL sees the same winding, so clockwise is front for CCW culling.
    if (rs[D3DRS_CULLMODE] == D3DCULL_NONE) {
      glDisable(GL_CULL_FACE);
    } else {
      glEnable(GL_CULL_FACE);
      glCullFace(GL_BACK);
      glFrontFace(rs[D3DRS_CULLMODE] == D3DCULL_CCW ? GL_CW : GL_CCW);
    }
    DWORD fill = rs[D3DRS_FILLMODE];
    glPolygonMode(GL_FRONT_AND_BACK, fill == D3DFILL_WIREFRAME ? GL_LINE : fill == D3DFILL_POINT ? GL_POINT : GL_FILL);
    rs_dirty = false;
  }
  if (rs[D3DRS_SCISSORTESTENABLE]) {
    glEnable(GL_SCISSOR_TEST);
    glScissor(scissor.left, scissor.top, std::max(0, scissor.right - scissor.left),
              std::max(0, scissor.bottom - scissor.top));
  } else {
    glDisable(GL_SCISSOR_TEST);
  }
  // Direct3D samples pixels at whole coordinates, GL half a pixel further: the clip
  // position moves right and down by half a pixel. With the upper-left clip origin GL
  // breaks ties on horizontal edges the other way round (the lower edge is inside), so
  // the vertical move stops one sub-pixel step (1/256) short, which puts an edge lying
  // exactly on a pixel centre on Direct3D's side of it.
  const float y_shift = 1.0f - 1.0f / 128.0f;
  // The alpha test's range matters only to the program that applies it; without it
  // the range stays zero, so changing the test's states costs no upload.
  bool alpha_test = alpha_test_active();
  LayerUniforms u = {{viewport.Width ? 1.0f / viewport.Width : 0.0f,
                      viewport.Height ? -y_shift / viewport.Height : 0.0f, 0, 0},
                     {0, 0, 0, 0}};
  if (alpha_test) alpha_test_range(rs[D3DRS_ALPHAFUNC], rs[D3DRS_ALPHAREF] & 255, u.alpha_test);
  // Uploaded only when it changed: a new uniform block makes the driver take a fresh
  // copy of the stage's constants.
  if (std::memcmp(&u, layer_shadow, sizeof(u)) != 0) {
    std::memcpy(layer_shadow, &u, sizeof(u));
    glNamedBufferData(ubo_layer, sizeof(u), &u, GL_STREAM_DRAW);
  }

  for (int s = 0; s < D3D9_SAMPLERS; s++) {
    if (!ss_dirty[s]) continue;
    const DWORD* v = ss[s];
    GLuint smp = samplers[s];
    glSamplerParameteri(smp, GL_TEXTURE_WRAP_S, gl_address(v[D3DSAMP_ADDRESSU]));
    glSamplerParameteri(smp, GL_TEXTURE_WRAP_T, gl_address(v[D3DSAMP_ADDRESSV]));
    glSamplerParameteri(smp, GL_TEXTURE_WRAP_R, gl_address(v[D3DSAMP_ADDRESSW]));
    float border[4];
    color_floats(v[D3DSAMP_BORDERCOLOR], border);
    glSamplerParameterfv(smp, GL_TEXTURE_BORDER_COLOR, border);
    bool min_lin = v[D3DSAMP_MINFILTER] >= D3DTEXF_LINEAR;
    GLenum min = min_lin ? GL_LINEAR : GL_NEAREST;
    if (v[D3DSAMP_MIPFILTER] == D3DTEXF_POINT) min = min_lin ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
    if (v[D3DSAMP_MIPFILTER] >= D3DTEXF_LINEAR) min = min_lin ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
    glSamplerParameteri(smp, GL_TEXTURE_MIN_FILTER, min);
    glSamplerParameteri(smp, GL_TEXTURE_MAG_FILTER, v[D3DSAMP_MAGFILTER] >= D3DTEXF_LINEAR ? GL_LINEAR : GL_NEAREST);
    glSamplerParameterf(smp, GL_TEXTURE_MIN_LOD, (float)v[D3DSAMP_MAXMIPLEVEL]);
    float bias;
    std::memcpy(&bias, &v[D3DSAMP_MIPMAPLODBIAS], 4);
    glSamplerParameterf(smp, GL_TEXTURE_LOD_BIAS, bias);
    ss_dirty[s] = false;
  }
  for (int s = 0; s < D3D9_SAMPLERS; s++) {
    GLuint tex = textures[s] ? textures[s]->impl->tex : 0;
    if (bound_textures[s] != tex) glBindTextureUnit(s, tex);
    bound_textures[s] = tex;
  }
  // The pixel shader's program without the alpha test unless the test can drop pixels.
  if (pipeline_dirty || alpha_test != alpha_test_bound) {
    GLuint ps_program = !ps ? 0 : alpha_test ? ps->impl->alpha_test_program : ps->impl->program;
    glUseProgramStages(pipeline, GL_VERTEX_SHADER_BIT, vs ? vs->impl->program : 0);
    glUseProgramStages(pipeline, GL_FRAGMENT_SHADER_BIT, ps_program);
    alpha_test_bound = alpha_test;
    pipeline_dirty = false;
  }
  upload_constants();
}

void alpha_test_range(DWORD func, DWORD ref, float out[4]) {
  int r = (int)ref;
  struct Bytes {
    int lowest, highest, outside;
  } bytes = {1, 0, 0};  // D3DCMP_NEVER: none
  switch (func) {
    case D3DCMP_LESS: bytes = {0, r - 1, 0}; break;
    case D3DCMP_EQUAL: bytes = {r, r, 0}; break;
    case D3DCMP_LESSEQUAL: bytes = {0, r, 0}; break;
    case D3DCMP_GREATER: bytes = {r + 1, 255, 0}; break;
    case D3DCMP_NOTEQUAL: bytes = {r, r, 1}; break;
    case D3DCMP_GREATEREQUAL: bytes = {r, 255, 0}; break;
  }
  // Alpha rounds to byte b from (b - 0.5) / 255 up to (b + 0.5) / 255; alphas below 0
  // and above 1 count as bytes 0 and 255, so the range is open at those ends.
  out[0] = bytes.lowest <= 0 ? -INFINITY : (bytes.lowest - 0.5f) / 255.0f;
  out[1] = bytes.highest >= 255 ? INFINITY : (bytes.highest + 0.5f) / 255.0f;
  out[2] = (float)bytes.outside;
  out[3] = 0;
}

bool D3d9Device::alpha_test_active() const {
  DWORD f = rs[D3DRS_ALPHAFUNC];
  return rs[D3DRS_ALPHATESTENABLE] && f >= D3DCMP_NEVER && f < D3DCMP_ALWAYS;
}

void D3d9Device::upload_constants() {
  // Fresh storage each time: the driver never waits for draws reading the old values.
  if (vs_dirty_lo < vs_dirty_hi) glNamedBufferData(ubo_vs, sizeof(vs_consts), vs_consts, GL_STREAM_DRAW);
  if (ps_dirty_lo < ps_dirty_hi) glNamedBufferData(ubo_ps, sizeof(ps_consts), ps_consts, GL_STREAM_DRAW);
  vs_dirty_lo = D3D9_VS_CONSTS;
  vs_dirty_hi = 0;
  ps_dirty_lo = D3D9_PS_CONSTS;
  ps_dirty_hi = 0;
}

static int usage_location(BYTE usage, BYTE index) {
  switch (usage) {
    case D3DDECLUSAGE_POSITION: return index == 0 ? 0 : -1;
    case D3DDECLUSAGE_BLENDWEIGHT: return 1;
    case D3DDECLUSAGE_BLENDINDICES: return 2;
    case D3DDECLUSAGE_NORMAL: return 3;
    case D3DDECLUSAGE_COLOR: return index < 2 ? 4 + index : -1;
    case D3DDECLUSAGE_TEXCOORD: return index < 8 ? 6 + index : -1;
    case D3DDECLUSAGE_TANGENT: return 14;
    case D3DDECLUSAGE_BINORMAL: return 15;
  }
  return -1;
}

bool D3d9Device::apply_vertex_input(UINT vertex_end) {
  IDirect3DVertexDeclaration9* decl = vdecl ? vdecl : (fvf == D3DFVF_XYZ ? fvf_xyz_decl : nullptr);
  if (!decl) return false;
  uint32_t used = 0;
  for (const D3DVERTEXELEMENT9& e : decl->impl->elements) {
    if (e.Stream == 0xFF) break;
    int loc = usage_location(e.Usage, e.UsageIndex);
    if (loc < 0 || (used & (1u << loc))) continue;
    used |= 1u << loc;
    GLint size = 4;
    GLenum type = GL_FLOAT;
    GLboolean norm = GL_FALSE;
    switch (e.Type) {
      case D3DDECLTYPE_FLOAT1: size = 1; break;
      case D3DDECLTYPE_FLOAT2: size = 2; break;
      case D3DDECLTYPE_FLOAT3: size = 3; break;
      case D3DDECLTYPE_D3DCOLOR: size = GL_BGRA; type = GL_UNSIGNED_BYTE; norm = GL_TRUE; break;
      case D3DDECLTYPE_UBYTE4: type = GL_UNSIGNED_BYTE; break;
      case D3DDECLTYPE_UBYTE4N: type = GL_UNSIGNED_BYTE; norm = GL_TRUE; break;
      case D3DDECLTYPE_SHORT2: size = 2; type = GL_SHORT; break;
      case D3DDECLTYPE_SHORT4: type = GL_SHORT; break;
      case D3DDECLTYPE_SHORT2N: size = 2; type = GL_SHORT; norm = GL_TRUE; break;
      case D3DDECLTYPE_SHORT4N: type = GL_SHORT; norm = GL_TRUE; break;
      case D3DDECLTYPE_USHORT2N: size = 2; type = GL_UNSIGNED_SHORT; norm = GL_TRUE; break;
      case D3DDECLTYPE_USHORT4N: type = GL_UNSIGNED_SHORT; norm = GL_TRUE; break;
      case D3DDECLTYPE_FLOAT16_2: size = 2; type = GL_HALF_FLOAT; break;
      case D3DDECLTYPE_FLOAT16_4: type = GL_HALF_FLOAT; break;
    }
    glEnableVertexArrayAttrib(vao, loc);
    glVertexArrayAttribFormat(vao, loc, size, type, norm, e.Offset);
    glVertexArrayAttribBinding(vao, loc, e.Stream);
  }
  for (int loc = 0; loc < 16; loc++)
    if (!(used & (1u << loc))) glDisableVertexArrayAttrib(vao, loc);
  for (int s = 0; s < D3D9_STREAMS; s++) {
    const StreamBinding& b = streams[s];
    if (b.vb) {
      // A plain draw reads the stream's vertices up to the last one it draws.
      bool bounded = vertex_end != ~0u && !(b.freq & (D3DSTREAMSOURCE_INSTANCEDATA | D3DSTREAMSOURCE_INDEXEDDATA));
      vertex_buffer_upload(b.vb, bounded ? b.offset + vertex_end * b.stride : ~0u);
    }
    if (b.vb && b.vb->impl->streamed)
      glVertexArrayVertexBuffer(vao, s, stream.buf, b.vb->impl->stream_base + b.offset, b.stride);
    else if (b.vb) glVertexArrayVertexBuffer(vao, s, b.vb->impl->buf, b.offset, b.stride);
    else glVertexArrayVertexBuffer(vao, s, 0, 0, 16);
    glVertexArrayBindingDivisor(vao, s, (b.freq & D3DSTREAMSOURCE_INSTANCEDATA) ? 1 : 0);
  }
  glVertexArrayElementBuffer(vao, indices ? indices->impl->buf : 0);
  return true;
}

// ---- state setters ------------------------------------------------------------------

HRESULT IDirect3DDevice9Ex::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
  D3D9_REC("SetRenderState(%s, %u)", d3d9_render_state_name(state), value);
  if (state >= D3D9_RENDER_STATE_COUNT) return D3DERR_INVALIDCALL;
  if (impl->rs[state] != value) {
    impl->rs[state] = value;
    impl->rs_dirty = true;
  }
  return D3D_OK;
}

HRESULT IDirect3DDevice9Ex::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) {
  if (state >= D3D9_RENDER_STATE_COUNT || !value) return D3DERR_INVALIDCALL;
  *value = impl->rs[state];
  return D3D_OK;
}

HRESULT IDirect3DDevice9Ex::SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) {
  D3D9_REC("SetSamplerState(%u, %s, %u)", sampler, d3d9_sampler_state_name(type), value);
  if (sampler >= D3D9_SAMPLERS || type >= D3D9_SAMPLER_STATE_COUNT) return D3DERR_INVALIDCALL;
  if (impl->ss[sampler][type] != value) {
    impl->ss[sampler][type] = value;
    impl->ss_dirty[sampler] = true;
  }
  return D3D_OK;
}

HRESULT IDirect3DDevice9Ex::GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) {
  if (sampler >= D3D9_SAMPLERS || type >= D3D9_SAMPLER_STATE_COUNT || !value) return D3DERR_INVALIDCALL;
  *value = impl->ss[sampler][type];
  return D3D_OK;
}

HRESULT IDirect3DDevice9Ex::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
  // Fixed-function texture stages do not exist under shaders; only recorded.
  D3D9_REC("SetTextureStageState(%u, %u, %u)", stage, (unsigned)type, value);
  return D3D_OK;
}

static int transform_slot(D3DTRANSFORMSTATETYPE state) {
  return state == D3DTS_WORLD ? 0 : state == D3DTS_VIEW ? 1 : state == D3DTS_PROJECTION ? 2 : -1;
}

HRESULT IDirect3DDevice9Ex::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) {
  D3D9_REC("SetTransform(%u)", (unsigned)state);
  int slot = transform_slot(state);
  if (slot < 0 || !matrix) return D3DERR_INVALIDCALL;
  impl->transforms[slot] = *matrix;
  return D3D_OK;
}

HRESULT IDirect3DDevice9Ex::GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) {
  int slot = transform_slot(state);
  if (slot < 0 || !matrix) return D3DERR_INVALIDCALL;
  *matrix = impl->transforms[slot];
  return D3D_OK;
}

HRESULT IDirect3DDevice9Ex::SetScissorRect(const RECT* r) {
  if (!r) return D3DERR_INVALIDCALL;
  D3D9_REC("SetScissorRect(%d, %d, %d, %d)", r->left, r->top, r->right, r->bottom);
  impl->scissor = *r;
  return D3D_OK;
}

HRESULT IDirect3DDevice9Ex::SetViewport(const D3DVIEWPORT9* v) {
  if (!v) return D3DERR_INVALIDCALL;
  D3D9_REC("SetViewport(%u, %u, %u, %u)", v->X, v->Y, v->Width, v->Height);
  impl->viewport = *v;
  return D3D_OK;
}

HRESULT IDirect3DDevice9Ex::GetViewport(D3DVIEWPORT9* v) {
  if (!v) return D3DERR_INVALIDCALL;
  *v = impl->viewport;
  return D3D_OK;
}

HRESULT IDirect3DDevice9Ex::SetTexture(DWORD sampler, IDirect3DTexture9* texture) {
  D3D9_REC("SetTexture(%u, %s)", sampler, texture ? "tex" : "null");
  if (sampler >= D3D9_SAMPLERS) return D3DERR_INVALIDCALL;
  if (texture && !texture->impl->gpu()) return D3DERR_INVALIDCALL;
  set_ref(impl->textures[sampler], texture);
  return D3D_OK;
}

HRESULT IDirect3DDevice9Ex::SetVertexDeclaration(IDirect3DVertexDeclaration9* decl) {
  D3D9_REC("SetVertexDeclaration(%s)", decl ? "decl" : "null");
  set_ref(impl->vdecl, decl);
  impl->fvf = 0;
  return D3D_OK;
}

HRESULT IDirect3DDevice9Ex::SetFVF(DWORD fvf) {
  D3D9_REC("SetFVF(0x%X)", fvf);
  if (fvf != 0 && fvf != D3DFVF_XYZ) return D3DERR_INVALIDCALL;
  set_ref<IDirect3DVertexDeclaration9>(impl->vdecl, nullptr);
  impl->fvf = fvf;
  return D3D_OK;
}

HRESULT IDirect3DDevice9Ex::SetStreamSource(UINT stream, IDirect3DVertexBuffer9* vb, UINT offset, UINT stride) {
  D3D9_REC("SetStreamSource(%u, %s, %u, %u)", stream, vb ? "vb" : "null", offset, stride);
  if (stream >= D3D9_STREAMS) return D3DERR_INVALIDCALL;
  StreamBinding& b = impl->streams[stream];
  set_ref(b.vb, vb);
  b.offset = offset;
  b.stride = stride;
  return D3D_OK;
}

HRESULT IDirect3DDevice9Ex::SetStreamSourceFreq(UINT stream, UINT setting) {
  D3D9_REC("SetStreamSourceFreq(%u, 0x%X)", stream, setting);
  if (stream >= D3D9_STREAMS) return D3DERR_INVALIDCALL;
  impl->streams[stream].freq = setting;
  return D3D_OK;
}

HRESULT IDirect3DDevice9Ex::SetIndices(IDirect3DIndexBuffer9* ib) {
  D3D9_REC("SetIndices(%s)", ib ? "ib" : "null");
  set_ref(impl->indices, ib);
  return D3D_OK;
}

HRESULT IDirect3DDevice9Ex::SetVertexShader(IDirect3DVertexShader9* shader) {
  D3D9_REC("SetVertexShader(%s)", shader ? "vs" : "null");
  if (impl->vs != shader) impl->pipeline_dirty = true;
  set_ref(impl->vs, shader);
  return D3D_OK;
}

HRESULT IDirect3DDevice9Ex::SetPixelShader(IDirect3DPixelShader9* shader) {
  D3D9_REC("SetPixelShader(%s)", shader ? "ps" : "null");
  if (impl->ps != shader) impl->pipeline_dirty = true;
  set_ref(impl->ps, shader);
  return D3D_OK;
}

// Stores count four-float constants from register first on of one stage's N
// registers and widens its dirty range; a range past the end is refused whole (the
// test is written so that a huge first or count cannot wrap around).
template <int N>
static HRESULT store_constants(float (&regs)[N][4], int& dirty_lo, int& dirty_hi, UINT first, const float* data,
                               UINT count) {
  if (!data || first > (UINT)N || count > (UINT)N - first) return D3DERR_INVALIDCALL;
  std::memcpy(regs[first], data, (size_t)count * 16);
  dirty_lo = std::min<int>(dirty_lo, first);
  dirty_hi = std::max<int>(dirty_hi, first + count);
  return D3D_OK;
}

HRESULT IDirect3DDevice9Ex::SetVertexShaderConstantF(UINT first, const float* data, UINT count) {
  D3D9_REC("SetVertexShaderConstantF(%u, %u)", first, count);
  return store_constants(impl->vs_consts, impl->vs_dirty_lo, impl->vs_dirty_hi, first, data, count);
}

HRESULT IDirect3DDevice9Ex::SetPixelShaderConstantF(UINT first, const float* data, UINT count) {
  D3D9_REC("SetPixelShaderConstantF(%u, %u)", first, count);
  return store_constants(impl->ps_consts, impl->ps_dirty_lo, impl->ps_dirty_hi, first, data, count);
}

// ---- draws and clears ---------------------------------------------------------------

static bool prim_mode(D3DPRIMITIVETYPE type, UINT prims, GLenum* mode, GLsizei* count) {
  switch (type) {
    case D3DPT_POINTLIST: *mode = GL_POINTS; *count = prims; return true;
    case D3DPT_LINELIST: *mode = GL_LINES; *count = prims * 2; return true;
    case D3DPT_LINESTRIP: *mode = GL_LINE_STRIP; *count = prims + 1; return true;
    case D3DPT_TRIANGLELIST: *mode = GL_TRIANGLES; *count = prims * 3; return true;
    case D3DPT_TRIANGLESTRIP: *mode = GL_TRIANGLE_STRIP; *count = prims + 2; return true;
    case D3DPT_TRIANGLEFAN: *mode = GL_TRIANGLE_FAN; *count = prims + 2; return true;
  }
  return false;
}

// A triangle list goes to GL in runs of at most this many vertices, all in one call.
// The software rasteriser sends a whole draw down its clipping path when any of its
// vertices lies off the screen, and that path does work in proportion to the draw's
// vertex count each time it passes a few dozen vertices on: a draw of a few hundred
// sprites, a few of them at the screen's edge, spent more on that than on its
// triangles. In runs, the cost stays in proportion to the vertices, and runs wholly on
// the screen keep the fast path. The triangles keep their order, so the picture is the
// same.
constexpr GLsizei TRIANGLE_RUN = 60;

static void draw_arrays(GLenum mode, GLint first, GLsizei count) {
  if (mode != GL_TRIANGLES || count <= TRIANGLE_RUN) {
    glDrawArrays(mode, first, count);
    return;
  }
  constexpr int RUNS = 64;
  GLint firsts[RUNS];
  GLsizei counts[RUNS];
  while (count > 0) {
    int runs = 0;
    for (; runs < RUNS && count > 0; runs++) {
      firsts[runs] = first;
      counts[runs] = std::min(count, TRIANGLE_RUN);
      first += counts[runs];
      count -= counts[runs];
    }
    glMultiDrawArrays(mode, firsts, counts, runs);
  }
}

// vertex_end: one past the last vertex a non-indexed draw reads (~0u: unknown).
static bool prepare_draw(D3d9Device* d, UINT vertex_end) {
  if (!d->vs || !d->ps) return false;  // no fixed-function pipeline here
  d->make_current();
  if (!d->apply_framebuffer()) return false;
  d->apply_draw_state();
  return d->apply_vertex_input(vertex_end);
}

HRESULT IDirect3DDevice9Ex::DrawPrimitive(D3DPRIMITIVETYPE type, UINT first_vertex, UINT prims) {
  D3D9_REC("DrawPrimitive(%u, %u, %u)", (unsigned)type, first_vertex, prims);
  GLenum mode;
  GLsizei count;
  if (!prim_mode(type, prims, &mode, &count)) return D3DERR_INVALIDCALL;
  if (!prepare_draw(impl, first_vertex + count)) return D3DERR_INVALIDCALL;
  draw_arrays(mode, (GLint)first_vertex, count);
  return D3D_OK;
}

HRESULT IDirect3DDevice9Ex::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT base_vertex, UINT min_index,
                                                 UINT num_vertices, UINT start_index, UINT prims) {
  D3D9_REC("DrawIndexedPrimitive(%u, %d, %u, %u, %u, %u)", (unsigned)type, base_vertex, min_index, num_vertices,
           start_index, prims);
  GLenum mode;
  GLsizei count;
  if (!prim_mode(type, prims, &mode, &count) || !impl->indices) return D3DERR_INVALIDCALL;
  if (!prepare_draw(impl, ~0u)) return D3DERR_INVALIDCALL;
  bool wide = impl->indices->impl->format == D3DFMT_INDEX32;
  const void* offset = (const void*)(uintptr_t)(start_index * (wide ? 4 : 2));
  GLenum itype = wide ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT;
  UINT freq = impl->streams[0].freq;
  if (freq & D3DSTREAMSOURCE_INDEXEDDATA)
    glDrawElementsInstancedBaseVertex(mode, count, itype, offset, freq & 0x3FFFFFFF, base_vertex);
  else
    glDrawElementsBaseVertex(mode, count, itype, offset, base_vertex);
  return D3D_OK;
}

HRESULT IDirect3DDevice9Ex::DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT prims, const void* data, UINT stride) {
  D3D9_REC("DrawPrimitiveUP(%u, %u, %u)", (unsigned)type, prims, stride);
  GLenum mode;
  GLsizei count;
  if (!data || !prim_mode(type, prims, &mode, &count)) return D3DERR_INVALIDCALL;
  impl->make_current();
  glNamedBufferData(impl->up_buffer, (GLsizeiptr)count * stride, data, GL_STREAM_DRAW);
  StreamBinding& s0 = impl->streams[0];
  set_ref<IDirect3DVertexBuffer9>(s0.vb, nullptr);
  s0 = StreamBinding{};
  bool ok = prepare_draw(impl, ~0u);
  if (ok) {
    glVertexArrayVertexBuffer(impl->vao, 0, impl->up_buffer, 0, stride);
    draw_arrays(mode, 0, count);
  }
  // As under Direct3D, stream 0 is left unbound after a draw from user memory.
  return ok ? D3D_OK : D3DERR_INVALIDCALL;
}

HRESULT IDirect3DDevice9Ex::Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                                  DWORD stencil) {
  D3D9_REC("Clear(%u, 0x%X, 0x%08X, %g, %u)", count, flags, color, z, stencil);
  D3d9Device* d = impl;
  d->make_current();
  if (!d->apply_framebuffer()) return D3DERR_INVALIDCALL;
  if ((flags & (D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) && !d->depth) return D3DERR_INVALIDCALL;
  float c[4];
  color_floats(color, c);
  glClearColor(c[0], c[1], c[2], c[3]);
  glClearDepthf(z);
  glClearStencil(stencil);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glDepthMask(GL_TRUE);
  glStencilMask(0xFF);
  d->rs_dirty = true;  // the masks above are restored by the next draw
  GLbitfield bits = ((flags & D3DCLEAR_TARGET) ? GL_COLOR_BUFFER_BIT : 0) |
                    ((flags & D3DCLEAR_ZBUFFER) ? GL_DEPTH_BUFFER_BIT : 0) |
                    ((flags & D3DCLEAR_STENCIL) ? GL_STENCIL_BUFFER_BIT : 0);
  // The cleared area is the viewport, cut by the scissor rectangle when it is on.
  RECT area = {(LONG)d->viewport.X, (LONG)d->viewport.Y, (LONG)(d->viewport.X + d->viewport.Width),
               (LONG)(d->viewport.Y + d->viewport.Height)};
  if (d->rs[D3DRS_SCISSORTESTENABLE]) {
    area.left = std::max(area.left, d->scissor.left);
    area.top = std::max(area.top, d->scissor.top);
    area.right = std::min(area.right, d->scissor.right);
    area.bottom = std::min(area.bottom, d->scissor.bottom);
  }
  glEnable(GL_SCISSOR_TEST);
  auto clear_rect = [&](const RECT& r) {
    if (r.right <= r.left || r.bottom <= r.top) return;
    glScissor(r.left, r.top, r.right - r.left, r.bottom - r.top);
    glClear(bits);
  };
  if (!count || !rects) {
    clear_rect(area);
  } else {
    for (DWORD i = 0; i < count; i++) {
      RECT r = {std::max<LONG>(rects[i].x1, area.left), std::max<LONG>(rects[i].y1, area.top),
                std::min<LONG>(rects[i].x2, area.right), std::min<LONG>(rects[i].y2, area.bottom)};
      clear_rect(r);
    }
  }
  return D3D_OK;
}

// ---- render targets and copies ------------------------------------------------------

HRESULT IDirect3DDevice9Ex::GetBackBuffer(UINT, UINT, D3DBACKBUFFER_TYPE, IDirect3DSurface9** surface) {
  if (!surface) return D3DERR_INVALIDCALL;
  *surface = make_texture_surface(impl->back_buffer, 0);
  return D3D_OK;
}

HRESULT IDirect3DDevice9Ex::SetRenderTarget(DWORD index, IDirect3DSurface9* surface) {
  D3D9_REC("SetRenderTarget(%u, %s)", index, surface ? "surface" : "null");
  if (index >= D3D9_RENDER_TARGETS || (index == 0 && !surface)) return D3DERR_INVALIDCALL;
  GlImage img;
  if (surface && !surface_gl_image(surface, &img)) return D3DERR_INVALIDCALL;
  set_ref(impl->targets[index], surface);
  impl->fbo_dirty = true;
  if (index == 0) {
    // Setting target 0 resets the viewport and the scissor rectangle to its size.
    impl->viewport = {0, 0, (DWORD)img.width, (DWORD)img.height, 0.0f, 1.0f};
    impl->scissor = {0, 0, img.width, img.height};
  }
  return D3D_OK;
}

HRESULT IDirect3DDevice9Ex::GetRenderTarget(DWORD index, IDirect3DSurface9** surface) {
  if (index >= D3D9_RENDER_TARGETS || !surface) return D3DERR_INVALIDCALL;
  *surface = impl->targets[index];
  if (!*surface) return D3DERR_NOTAVAILABLE;
  (*surface)->AddRef();
  return D3D_OK;
}

HRESULT IDirect3DDevice9Ex::SetDepthStencilSurface(IDirect3DSurface9* surface) {
  D3D9_REC("SetDepthStencilSurface(%s)", surface ? "surface" : "null");
  set_ref(impl->depth, surface);
  impl->fbo_dirty = true;
  return D3D_OK;
}

HRESULT IDirect3DDevice9Ex::GetDepthStencilSurface(IDirect3DSurface9** surface) {
  if (!surface) return D3DERR_INVALIDCALL;
  *surface = impl->depth;
  if (!*surface) return D3DERR_NOTAVAILABLE;
  (*surface)->AddRef();
  return D3D_OK;
}

bool device_blit(D3d9Device* dev, const GlImage& src, const RECT& sr, const GlImage& dst, const RECT& dr,
                 GLenum filter) {
  GLbitfield mask = src.depth ? (GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT) : GL_COLOR_BUFFER_BIT;
  GLenum att = src.depth ? GL_DEPTH_STENCIL_ATTACHMENT : GL_COLOR_ATTACHMENT0;
  auto attach = [&](GLuint fbo, const GlImage& img) {
    if (img.renderbuffer) glNamedFramebufferRenderbuffer(fbo, att, GL_RENDERBUFFER, img.name);
    else glNamedFramebufferTexture(fbo, att, img.name, img.level);
  };
  attach(dev->blit_read, src);
  attach(dev->blit_draw, dst);
  if (!src.depth) {
    glNamedFramebufferReadBuffer(dev->blit_read, GL_COLOR_ATTACHMENT0);
    glNamedFramebufferDrawBuffer(dev->blit_draw, GL_COLOR_ATTACHMENT0);
  }
  glDisable(GL_SCISSOR_TEST);
  GLint rw = 0;
  glGetIntegerv(GL_COLOR_WRITEMASK, &rw);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  dev->rs_dirty = true;
  while (glGetError() != GL_NO_ERROR) {
  }
  glBlitNamedFramebuffer(dev->blit_read, dev->blit_draw, sr.left, sr.top, sr.right, sr.bottom, dr.left, dr.top,
                         dr.right, dr.bottom, mask, src.depth ? GL_NEAREST : filter);
  bool ok = glGetError() == GL_NO_ERROR;
  glNamedFramebufferTexture(dev->blit_read, att, 0, 0);
  glNamedFramebufferTexture(dev->blit_draw, att, 0, 0);
  return ok;
}

HRESULT IDirect3DDevice9Ex::StretchRect(IDirect3DSurface9* src, const RECT* src_rect, IDirect3DSurface9* dst,
                                        const RECT* dst_rect, D3DTEXTUREFILTERTYPE filter) {
  D3D9_REC("StretchRect(%u)", (unsigned)filter);
  if (!src || !dst) return D3DERR_INVALIDCALL;
  GlImage s, d;
  if (!surface_gl_image(src, &s) || !surface_gl_image(dst, &d) || s.depth != d.depth) return D3DERR_INVALIDCALL;
  RECT sr = src_rect ? *src_rect : RECT{0, 0, s.width, s.height};
  RECT dr = dst_rect ? *dst_rect : RECT{0, 0, d.width, d.height};
  impl->make_current();
  return device_blit(impl, s, sr, d, dr, filter == D3DTEXF_LINEAR ? GL_LINEAR : GL_NEAREST) ? D3D_OK
                                                                                             : D3DERR_INVALIDCALL;
}

static GLuint pixel_row_length(const GlFormat* f, int pitch) {
  return f->bytes_per_pixel ? pitch / f->bytes_per_pixel : 0;
}

HRESULT IDirect3DDevice9Ex::UpdateSurface(IDirect3DSurface9* src, const RECT* src_rect, IDirect3DSurface9* dst,
                                          const POINT* dst_point) {
  D3D9_REC("UpdateSurface()");
  if (!src || !dst) return D3DERR_INVALIDCALL;
  TexLevel* from = surface_cpu(src);
  GlImage to;
  const GlFormat* f = surface_format(src);
  if (!from || !surface_gl_image(dst, &to) || to.renderbuffer || f != surface_format(dst) || from->locked)
    return D3DERR_INVALIDCALL;
  if (from->cpu.empty()) from->cpu.assign((size_t)from->pitch * from->rows, 0);
  RECT r = src_rect ? *src_rect : RECT{0, 0, from->width, from->height};
  POINT p = dst_point ? *dst_point : POINT{0, 0};
  if (r.left < 0 || r.top < 0 || r.right > from->width || r.bottom > from->height || r.right <= r.left ||
      r.bottom <= r.top || p.x < 0 || p.y < 0 || p.x + (r.right - r.left) > to.width ||
      p.y + (r.bottom - r.top) > to.height)
    return D3DERR_INVALIDCALL;
  impl->make_current();
  if (f->block_bytes) {
    if (r.left || r.top || p.x || p.y || r.right != to.width || r.bottom != to.height) return D3DERR_INVALIDCALL;
    glCompressedTextureSubImage2D(to.name, to.level, 0, 0, to.width, to.height, f->internal,
                                  (GLsizei)from->cpu.size(), from->cpu.data());
    return D3D_OK;
  }
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  const uint8_t* first = from->cpu.data() + (size_t)r.top * from->pitch + (size_t)r.left * f->bytes_per_pixel;
  int w = r.right - r.left, h = r.bottom - r.top;
  UploadTexels up = upload_texels(f, to.bgra_storage, first, from->pitch, w, h, impl->upload_staging);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, up.row_length);
  glTextureSubImage2D(to.name, to.level, p.x, p.y, w, h, up.format, up.type, up.data);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  return D3D_OK;
}

HRESULT IDirect3DDevice9Ex::GetRenderTargetData(IDirect3DSurface9* render_target, IDirect3DSurface9* dst) {
  D3D9_REC("GetRenderTargetData()");
  if (!render_target || !dst) return D3DERR_INVALIDCALL;
  GlImage from;
  TexLevel* to = surface_cpu(dst);
  const GlFormat* f = surface_format(render_target);
  if (!surface_gl_image(render_target, &from) || from.renderbuffer || !to || f != surface_format(dst) ||
      from.width != to->width || from.height != to->height || to->locked)
    return D3DERR_INVALIDCALL;
  if (to->cpu.empty()) to->cpu.assign((size_t)to->pitch * to->rows, 0);
  impl->make_current();
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glPixelStorei(GL_PACK_ROW_LENGTH, pixel_row_length(f, to->pitch));
  glGetTextureImage(from.name, from.level, f->format, f->type, (GLsizei)to->cpu.size(), to->cpu.data());
  glPixelStorei(GL_PACK_ROW_LENGTH, 0);
  return D3D_OK;
}

HRESULT IDirect3DDevice9Ex::GetFrontBufferData(UINT, IDirect3DSurface9* dst) {
  D3D9_REC("GetFrontBufferData()");
  TexLevel* to = dst ? surface_cpu(dst) : nullptr;
  if (!to || surface_format(dst)->d3d != D3DFMT_A8R8G8B8 || to->locked) return D3DERR_INVALIDCALL;
  to->cpu.assign((size_t)to->pitch * to->rows, 0);
  D3d9Device* d = impl;
  d->make_current();
  std::vector<uint8_t> shown((size_t)d->front_width * d->front_height * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTextureImage(d->front_copy, 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, (GLsizei)shown.size(), shown.data());
  // The screen holds the window's picture at the client origin; the rest is black.
  POINT o = d3d9_client_origin(d->window);
  for (int y = 0; y < d->front_height; y++) {
    int sy = o.y + y;
    if (sy < 0 || sy >= to->height) continue;
    int x0 = std::max<int>(0, -o.x), x1 = std::min<int>(d->front_width, to->width - o.x);
    if (x1 <= x0) continue;
    std::memcpy(to->cpu.data() + (size_t)sy * to->pitch + (size_t)(o.x + x0) * 4,
                shown.data() + ((size_t)y * d->front_width + x0) * 4, (size_t)(x1 - x0) * 4);
  }
  return D3D_OK;
}

// ---- frame --------------------------------------------------------------------------

HRESULT IDirect3DDevice9Ex::BeginScene() {
  D3D9_REC("BeginScene()");
  if (impl->in_scene) return D3DERR_INVALIDCALL;
  impl->in_scene = true;
  return D3D_OK;
}

HRESULT IDirect3DDevice9Ex::EndScene() {
  D3D9_REC("EndScene()");
  if (!impl->in_scene) return D3DERR_INVALIDCALL;
  impl->in_scene = false;
  return D3D_OK;
}

HRESULT IDirect3DDevice9Ex::Present(const RECT* src, const RECT* dst, HWND window, const RGNDATA* dirty) {
  return PresentEx(src, dst, window, dirty, 0);
}

HRESULT IDirect3DDevice9Ex::PresentEx(const RECT*, const RECT*, HWND window, const RGNDATA*, DWORD flags) {
  D3D9_REC("PresentEx(0x%X)", flags);
  HRESULT forced;
  if (d3d9_forced_result("PresentEx", &forced)) return forced;
  D3d9Device* d = impl;
  // A minimised or hidden window shows nothing: the frame is dropped and the caller
  // told so, as a success code, until the window can be seen again.
  if (d3d9_window_occluded(window ? window : d->window)) return S_PRESENT_OCCLUDED;
  d->make_current();
  GLuint back = d->back_buffer->impl->tex;
  glCopyImageSubData(back, GL_TEXTURE_2D, 0, 0, 0, 0, d->front_copy, GL_TEXTURE_2D, 0, 0, 0, 0, d->bb_width,
                     d->bb_height, 1);
  int interval = d->pp.PresentationInterval == D3DPRESENT_INTERVAL_IMMEDIATE ? 0 : 1;
  gl_context_swap(d->ctx, back, d->bb_width, d->bb_height, interval);
  d->fbo_dirty = true;  // the window's framebuffer was bound to present
  return D3D_OK;
}

HRESULT IDirect3DDevice9Ex::CheckDeviceState(HWND window) {
  HRESULT forced;
  if (d3d9_forced_result("CheckDeviceState", &forced)) return forced;
  return d3d9_window_occluded(window ? window : impl->window) ? S_PRESENT_OCCLUDED : D3D_OK;
}

HRESULT IDirect3DDevice9Ex::ResetEx(D3DPRESENT_PARAMETERS* pp, D3DDISPLAYMODEEX*) {
  D3D9_REC("ResetEx(%u, %u)", pp ? pp->BackBufferWidth : 0, pp ? pp->BackBufferHeight : 0);
  if (!pp) return D3DERR_INVALIDCALL;
  HRESULT forced;
  if (d3d9_forced_result("ResetEx", &forced)) return forced;
  return impl->reset(pp) ? D3D_OK : D3DERR_DEVICELOST;
}

UINT IDirect3DDevice9Ex::GetAvailableTextureMem() {
  const size_t budget = (size_t)2048 << 20;
  return (UINT)(budget - std::min(budget, impl->texture_bytes));
}
