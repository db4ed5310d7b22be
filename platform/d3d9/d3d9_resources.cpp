// Textures, surfaces, buffers, declarations, shaders and queries of the device.
#include "platform/d3d9/d3d9_impl.h"
#include "platform/d3d9/d3d9_glsl.h"

#include <algorithm>
#include <initializer_list>
#include <cstdio>
#include <cstring>
#include <sched.h>

ULONG D3d9Object::Release() {
  ULONG left = --refs;
  if (left == 0) delete this;
  return left;
}

// ---- textures -----------------------------------------------------------------------

static void alloc_cpu(TexLevel& l) {
  if (l.cpu.empty()) l.cpu.assign((size_t)l.pitch * l.rows, 0);
}

void texture_upload_level(IDirect3DTexture9* t, UINT level) {
  IDirect3DTexture9::Impl* ti = t->impl;
  TexLevel& l = ti->levels[level];
  if (!ti->gpu() || l.cpu.empty()) return;
  ti->dev->make_current();
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  if (ti->fmt->block_bytes) {
    glCompressedTextureSubImage2D(ti->tex, level, 0, 0, l.width, l.height, ti->fmt->internal,
                                  (GLsizei)l.cpu.size(), l.cpu.data());
    return;
  }
  // Only the rectangle the lock changed: a lock of part of a large texture every frame
  // (the level's layers) should not copy the rest.
  const RECT& d = l.dirty;
  int w = d.right - d.left, h = d.bottom - d.top;
  if (w <= 0 || h <= 0) return;
  const uint8_t* first = l.cpu.data() + (size_t)d.top * l.pitch + (size_t)d.left * ti->fmt->bytes_per_pixel;
  UploadTexels up = upload_texels(ti->fmt, ti->bgra_storage(), first, l.pitch, w, h, ti->dev->upload_staging);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, up.row_length);
  glTextureSubImage2D(ti->tex, level, d.left, d.top, w, h, up.format, up.type, up.data);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
}

void texture_download_level(IDirect3DTexture9* t, UINT level) {
  IDirect3DTexture9::Impl* ti = t->impl;
  TexLevel& l = ti->levels[level];
  alloc_cpu(l);
  if (!ti->gpu()) return;
  ti->dev->make_current();
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  if (ti->fmt->block_bytes)
    glGetCompressedTextureImage(ti->tex, level, (GLsizei)l.cpu.size(), l.cpu.data());
  else
    glGetTextureImage(ti->tex, level, ti->fmt->format, ti->fmt->type, (GLsizei)l.cpu.size(), l.cpu.data());
}

IDirect3DTexture9::~IDirect3DTexture9() {
  if (!impl) return;
  if (impl->tex && device_alive(impl->dev)) {
    impl->dev->make_current();
    glDeleteTextures(1, &impl->tex);
    for (GLuint& bound : impl->dev->bound_textures)  // GL unbound it; the name may come back
      if (bound == impl->tex) bound = 0;
    size_t bytes = 0;
    for (TexLevel& l : impl->levels) bytes += (size_t)l.pitch * l.rows;
    impl->dev->texture_bytes -= std::min(bytes, impl->dev->texture_bytes);
  }
  delete impl;
}

DWORD IDirect3DTexture9::GetLevelCount() { return (DWORD)impl->levels.size(); }

HRESULT IDirect3DTexture9::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) {
  if (level >= impl->levels.size() || !desc) return D3DERR_INVALIDCALL;
  *desc = {impl->format, D3DRTYPE_SURFACE, impl->usage, impl->pool, D3DMULTISAMPLE_NONE, 0,
           (UINT)impl->levels[level].width, (UINT)impl->levels[level].height};
  return D3D_OK;
}

IDirect3DSurface9* make_texture_surface(IDirect3DTexture9* t, UINT level) {
  IDirect3DSurface9* s = new IDirect3DSurface9;
  s->impl = new IDirect3DSurface9::Impl;
  s->impl->dev = t->impl->dev;
  s->impl->owner = t;
  s->impl->level = level;
  t->AddRef();
  return s;
}

HRESULT IDirect3DTexture9::GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) {
  if (!surface || level >= impl->levels.size()) return D3DERR_INVALIDCALL;
  *surface = make_texture_surface(this, level);
  return D3D_OK;
}

static HRESULT lock_level(IDirect3DTexture9* t, TexLevel& l, UINT level, D3DLOCKED_RECT* locked, const RECT* rect,
                          DWORD flags) {
  IDirect3DTexture9::Impl* ti = t->impl;
  if (!locked || l.locked) return D3DERR_INVALIDCALL;
  // Only CPU-side pools, dynamic and managed textures can be locked, as under Direct3D.
  if (ti->pool == D3DPOOL_DEFAULT && !(ti->usage & D3DUSAGE_DYNAMIC)) return D3DERR_INVALIDCALL;
  alloc_cpu(l);
  // A managed texture's copy always holds its contents; a dynamic one is read back
  // unless the lock discards.
  if (ti->gpu() && !(flags & D3DLOCK_DISCARD) && ti->pool != D3DPOOL_MANAGED) texture_download_level(t, level);
  RECT whole = {0, 0, l.width, l.height};
  l.dirty = whole;
  if (rect && !ti->fmt->block_bytes)
    l.dirty = {std::clamp<LONG>(rect->left, 0, l.width), std::clamp<LONG>(rect->top, 0, l.height),
               std::clamp<LONG>(rect->right, 0, l.width), std::clamp<LONG>(rect->bottom, 0, l.height)};
  int x = rect ? rect->left : 0, y = rect ? rect->top : 0;
  if (ti->fmt->block_bytes) {
    x /= 4;
    y /= 4;
  }
  size_t bpp = ti->fmt->block_bytes ? ti->fmt->block_bytes : ti->fmt->bytes_per_pixel;
  locked->Pitch = l.pitch;
  locked->pBits = l.cpu.data() + (size_t)y * l.pitch + x * bpp;
  l.locked = true;
  l.lock_readonly = flags & D3DLOCK_READONLY;
  D3D9_REC("LockRect(tex, %u, 0x%X)", level, flags);
  return D3D_OK;
}

HRESULT IDirect3DTexture9::LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) {
  if (level >= impl->levels.size()) return D3DERR_INVALIDCALL;
  return lock_level(this, impl->levels[level], level, locked, rect, flags);
}

HRESULT IDirect3DTexture9::UnlockRect(UINT level) {
  if (level >= impl->levels.size() || !impl->levels[level].locked) return D3DERR_INVALIDCALL;
  TexLevel& l = impl->levels[level];
  l.locked = false;
  if (!l.lock_readonly) texture_upload_level(this, level);
  // A dynamic texture's copy keeps its memory for the next lock, which discards or reads
  // the contents back: allocating and clearing it anew for every lock (the level's
  // layers, every frame) showed in the main thread's profile.
  D3D9_REC("UnlockRect(tex, %u)", level);
  return D3D_OK;
}

// Levels given by B, G, R, A texels of an unsized format, from which the driver chooses
// storage in that order. Binding a texture is the only way to define them: the texture
// unit's binding is put back after.
static void create_bgra_storage(IDirect3DTexture9::Impl* ti) {
  GLint bound = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  glGenTextures(1, &ti->tex);
  glBindTexture(GL_TEXTURE_2D, ti->tex);
  for (size_t i = 0; i < ti->levels.size(); i++)
    glTexImage2D(GL_TEXTURE_2D, (GLint)i, GL_RGBA, ti->levels[i].width, ti->levels[i].height, 0, GL_BGRA,
                 GL_UNSIGNED_INT_8_8_8_8_REV, nullptr);
  glBindTexture(GL_TEXTURE_2D, (GLuint)bound);
}

HRESULT IDirect3DDevice9Ex::CreateTexture(UINT w, UINT h, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                          IDirect3DTexture9** texture, HANDLE*) {
  D3D9_REC("CreateTexture(%u, %u, %u, 0x%X, %u, %u)", w, h, levels, usage, (unsigned)format, (unsigned)pool);
  if (!texture) return D3DERR_INVALIDCALL;
  *texture = nullptr;
  const GlFormat* f = gl_format(format);
  if (!f || w == 0 || h == 0 || w > 16384 || h > 16384) return D3DERR_INVALIDCALL;
  if ((usage & D3DUSAGE_RENDERTARGET) && (pool != D3DPOOL_DEFAULT || !f->renderable)) return D3DERR_INVALIDCALL;
  UINT full = 1;
  for (UINT s = std::max(w, h); s > 1; s >>= 1) full++;
  if (levels == 0 || levels > full) levels = full;
  IDirect3DTexture9* t = new IDirect3DTexture9;
  t->impl = new IDirect3DTexture9::Impl;
  IDirect3DTexture9::Impl* ti = t->impl;
  ti->dev = impl;
  ti->fmt = f;
  ti->format = format;
  ti->usage = usage;
  ti->pool = pool;
  size_t bytes = 0;
  for (UINT i = 0; i < levels; i++) {
    TexLevel l;
    l.width = std::max(1u, w >> i);
    l.height = std::max(1u, h >> i);
    l.pitch = format_pitch(f, l.width);
    l.rows = format_rows(f, l.height);
    bytes += (size_t)l.pitch * l.rows;
    ti->levels.push_back(std::move(l));
  }
  if (pool == D3DPOOL_DEFAULT || pool == D3DPOOL_MANAGED) {
    impl->make_current();
    while (glGetError() != GL_NO_ERROR) {
    }
    if (ti->bgra_storage())
      create_bgra_storage(ti);
    else {
      glCreateTextures(GL_TEXTURE_2D, 1, &ti->tex);
      glTextureStorage2D(ti->tex, levels, f->internal, w, h);
    }
    glTextureParameteriv(ti->tex, GL_TEXTURE_SWIZZLE_RGBA, f->swizzle);
    glTextureParameteri(ti->tex, GL_TEXTURE_MAX_LEVEL, levels - 1);
    if (glGetError() != GL_NO_ERROR) {
      t->Release();
      return D3DERR_OUTOFVIDEOMEMORY;
    }
    impl->texture_bytes += bytes;
  }
  *texture = t;
  return D3D_OK;
}

// ---- surfaces -----------------------------------------------------------------------

IDirect3DSurface9::~IDirect3DSurface9() {
  if (!impl) return;
  if (impl->owner) impl->owner->Release();
  if ((impl->tex || impl->rb) && device_alive(impl->dev)) {
    impl->dev->make_current();
    if (impl->tex) glDeleteTextures(1, &impl->tex);
    if (impl->rb) glDeleteRenderbuffers(1, &impl->rb);
  }
  delete impl;
}

const GlFormat* surface_format(IDirect3DSurface9* s) { return s->impl->owner ? s->impl->owner->impl->fmt : s->impl->fmt; }

bool surface_gl_image(IDirect3DSurface9* s, GlImage* out) {
  IDirect3DSurface9::Impl* si = s->impl;
  if (si->owner) {
    IDirect3DTexture9::Impl* ti = si->owner->impl;
    if (!ti->gpu()) return false;
    const TexLevel& l = ti->levels[si->level];
    *out = {ti->tex, false, (GLint)si->level, l.width, l.height, 0, false, ti->bgra_storage()};
    return true;
  }
  if (!si->tex && !si->rb) return false;
  *out = {si->tex ? si->tex : si->rb, si->rb != 0, 0, si->width, si->height, si->samples, si->is_depth};
  return true;
}

TexLevel* surface_cpu(IDirect3DSurface9* s) {
  IDirect3DSurface9::Impl* si = s->impl;
  if (si->owner) return si->owner->impl->gpu() ? nullptr : &si->owner->impl->levels[si->level];
  return (si->tex || si->rb) ? nullptr : &si->cpu;
}

HRESULT IDirect3DSurface9::GetDesc(D3DSURFACE_DESC* desc) {
  if (!desc) return D3DERR_INVALIDCALL;
  if (impl->owner) return impl->owner->GetLevelDesc(impl->level, desc);
  *desc = {impl->format, D3DRTYPE_SURFACE, impl->usage, impl->pool, impl->ms, impl->ms_quality, (UINT)impl->width,
           (UINT)impl->height};
  return D3D_OK;
}

HRESULT IDirect3DSurface9::LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) {
  if (impl->owner) return impl->owner->LockRect(impl->level, locked, rect, flags);
  TexLevel* l = surface_cpu(this);
  if (!l || !locked || l->locked) return D3DERR_INVALIDCALL;
  alloc_cpu(*l);
  int x = rect ? rect->left : 0, y = rect ? rect->top : 0;
  locked->Pitch = l->pitch;
  locked->pBits = l->cpu.data() + (size_t)y * l->pitch + (size_t)x * impl->fmt->bytes_per_pixel;
  l->locked = true;
  D3D9_REC("LockRect(surface, 0x%X)", flags);
  return D3D_OK;
}

HRESULT IDirect3DSurface9::UnlockRect() {
  if (impl->owner) return impl->owner->UnlockRect(impl->level);
  TexLevel* l = surface_cpu(this);
  if (!l || !l->locked) return D3DERR_INVALIDCALL;
  l->locked = false;
  D3D9_REC("UnlockRect(surface)");
  return D3D_OK;
}

static IDirect3DSurface9* new_own_surface(D3d9Device* dev, UINT w, UINT h, D3DFORMAT format, const GlFormat* f,
                                          D3DPOOL pool, DWORD usage) {
  IDirect3DSurface9* s = new IDirect3DSurface9;
  s->impl = new IDirect3DSurface9::Impl;
  IDirect3DSurface9::Impl* si = s->impl;
  si->dev = dev;
  si->fmt = f;
  si->format = format;
  si->pool = pool;
  si->usage = usage;
  si->width = w;
  si->height = h;
  si->cpu.width = w;
  si->cpu.height = h;
  si->cpu.pitch = format_pitch(f, w);
  si->cpu.rows = format_rows(f, h);
  return s;
}

static HRESULT create_gl_surface(D3d9Device* dev, UINT w, UINT h, D3DFORMAT format, D3DMULTISAMPLE_TYPE ms,
                                 DWORD quality, DWORD usage, IDirect3DSurface9** surface) {
  const GlFormat* f = gl_format(format);
  if (!surface) return D3DERR_INVALIDCALL;
  *surface = nullptr;
  if (!f || !f->renderable || w == 0 || h == 0) return D3DERR_INVALIDCALL;
  IDirect3DSurface9* s = new_own_surface(dev, w, h, format, f, D3DPOOL_DEFAULT, usage);
  IDirect3DSurface9::Impl* si = s->impl;
  si->ms = ms;
  si->ms_quality = quality;
  si->samples = dev->samples_for(ms, quality);
  si->is_depth = usage & D3DUSAGE_DEPTHSTENCIL;
  dev->make_current();
  while (glGetError() != GL_NO_ERROR) {
  }
  if (si->samples > 0 || si->is_depth) {
    glCreateRenderbuffers(1, &si->rb);
    glNamedRenderbufferStorageMultisample(si->rb, si->samples, f->internal, w, h);
  } else {
    glCreateTextures(GL_TEXTURE_2D, 1, &si->tex);
    glTextureStorage2D(si->tex, 1, f->internal, w, h);
  }
  if (glGetError() != GL_NO_ERROR) {
    s->Release();
    return D3DERR_OUTOFVIDEOMEMORY;
  }
  *surface = s;
  return D3D_OK;
}

HRESULT IDirect3DDevice9Ex::CreateRenderTarget(UINT w, UINT h, D3DFORMAT format, D3DMULTISAMPLE_TYPE ms,
                                               DWORD quality, BOOL lockable, IDirect3DSurface9** surface, HANDLE*) {
  D3D9_REC("CreateRenderTarget(%u, %u, %u, %u, %u)", w, h, (unsigned)format, (unsigned)ms, quality);
  return create_gl_surface(impl, w, h, format, ms, quality, D3DUSAGE_RENDERTARGET, surface);
}

HRESULT IDirect3DDevice9Ex::CreateDepthStencilSurface(UINT w, UINT h, D3DFORMAT format, D3DMULTISAMPLE_TYPE ms,
                                                      DWORD quality, BOOL discard, IDirect3DSurface9** surface,
                                                      HANDLE*) {
  D3D9_REC("CreateDepthStencilSurface(%u, %u, %u, %u, %u)", w, h, (unsigned)format, (unsigned)ms, quality);
  return create_gl_surface(impl, w, h, format, ms, quality, D3DUSAGE_DEPTHSTENCIL, surface);
}

HRESULT IDirect3DDevice9Ex::CreateOffscreenPlainSurface(UINT w, UINT h, D3DFORMAT format, D3DPOOL pool,
                                                        IDirect3DSurface9** surface, HANDLE*) {
  D3D9_REC("CreateOffscreenPlainSurface(%u, %u, %u, %u)", w, h, (unsigned)format, (unsigned)pool);
  if (!surface) return D3DERR_INVALIDCALL;
  *surface = nullptr;
  const GlFormat* f = gl_format(format);
  if (!f || f->block_bytes || w == 0 || h == 0 || pool == D3DPOOL_DEFAULT) return D3DERR_INVALIDCALL;
  *surface = new_own_surface(impl, w, h, format, f, pool, 0);
  return D3D_OK;
}

// ---- buffers ------------------------------------------------------------------------

template <class Impl>
static HRESULT lock_buffer(Impl* b, UINT offset, UINT size, void** data, DWORD flags) {
  if (!data || b->locked) return D3DERR_INVALIDCALL;
  if (size == 0 && offset == 0) size = b->size;
  if (offset > b->size || size > b->size - offset) return D3DERR_INVALIDCALL;
  if (b->cpu.size() != b->size) b->cpu.assign(b->size, 0);
  b->lock_offset = offset;
  b->lock_size = size;
  b->locked = true;
  *data = b->cpu.data() + offset;
  return D3D_OK;
}

template <class Impl>
static HRESULT unlock_buffer(Impl* b) {
  if (!b->locked) return D3DERR_INVALIDCALL;
  b->locked = false;
  if (b->lock_size) {
    b->dev->make_current();
    // A whole-buffer write gets fresh storage, so the driver never waits for draws
    // still reading the old contents.
    if (b->lock_offset == 0 && b->lock_size == b->size)
      glNamedBufferData(b->buf, b->size, b->cpu.data(), (b->usage & D3DUSAGE_DYNAMIC) ? GL_STREAM_DRAW : GL_STATIC_DRAW);
    else
      glNamedBufferSubData(b->buf, b->lock_offset, b->lock_size, b->cpu.data() + b->lock_offset);
  }
  return D3D_OK;
}

template <class Impl>
static void delete_buffer(Impl* b) {
  if (!b) return;
  if (b->buf && device_alive(b->dev)) {
    b->dev->make_current();
    glDeleteBuffers(1, &b->buf);
  }
  delete b;
}

template <class Impl>
static bool create_buffer(Impl* b, D3d9Device* dev, UINT length, DWORD usage) {
  b->dev = dev;
  b->size = length;
  b->usage = usage;
  dev->make_current();
  while (glGetError() != GL_NO_ERROR) {
  }
  glCreateBuffers(1, &b->buf);
  glNamedBufferData(b->buf, length, nullptr, (usage & D3DUSAGE_DYNAMIC) ? GL_STREAM_DRAW : GL_STATIC_DRAW);
  if constexpr (requires { b->gl_size; }) b->gl_size = length;
  return glGetError() == GL_NO_ERROR;
}

IDirect3DVertexBuffer9::~IDirect3DVertexBuffer9() { delete_buffer(impl); }
HRESULT IDirect3DVertexBuffer9::Lock(UINT offset, UINT size, void** data, DWORD flags) {
  D3D9_REC("VB::Lock(%u, %u, 0x%X)", offset, size, flags);
  if (impl && !impl->locked && (flags & D3DLOCK_DISCARD)) {
    impl->orphan = true;
    impl->dirty_lo = impl->dirty_hi = 0;
  }
  return lock_buffer(impl, offset, size, data, flags);
}
HRESULT IDirect3DVertexBuffer9::Unlock() {
  D3D9_REC("VB::Unlock()");
  Impl* b = impl;
  if (!b->locked) return D3DERR_INVALIDCALL;
  b->locked = false;
  if (b->lock_size) {
    UINT lo = b->lock_offset, hi = b->lock_offset + b->lock_size;
    if (b->dirty_lo < b->dirty_hi) {
      lo = std::min(lo, b->dirty_lo);
      hi = std::max(hi, b->dirty_hi);
    }
    b->dirty_lo = lo;
    b->dirty_hi = hi;
  }
  return D3D_OK;
}

// Dynamic buffers: copied into the streaming ring. A region stays in use until the
// ring has moved on by half its size; a buffer drawn again after that is copied anew.
static void stream_upload(IDirect3DVertexBuffer9::Impl* b, StreamRing& ring, UINT needed_hi) {
  UINT written = std::max(b->valid_hi, b->dirty_lo < b->dirty_hi ? b->dirty_hi : 0u);
  UINT hi = std::min(needed_hi, written);
  bool region_ok = b->streamed && !b->orphan && ring.total - b->stream_at < ring.size / 2;
  if (region_ok && hi <= b->valid_hi) return;
  if (!region_ok || hi > b->stream_cap) {
    UINT keep = b->orphan ? 0 : b->valid_hi;  // earlier bytes the buffer still holds
    UINT n = std::max(hi, keep);
    if (n == 0) return;
    UINT cap = std::min(b->size, (n + 4095) & ~4095u);
    b->stream_base = stream_ring_alloc(ring, cap);
    b->stream_at = ring.total;
    b->stream_cap = cap;
    std::memcpy(ring.ptr + b->stream_base, b->cpu.data(), n);
    b->valid_hi = n;
    b->streamed = true;
    b->orphan = false;
  } else {
    UINT lo = std::min(b->dirty_lo, b->valid_hi);
    std::memcpy(ring.ptr + b->stream_base + lo, b->cpu.data() + lo, hi - lo);
    b->valid_hi = hi;
  }
  if (b->dirty_lo < hi) b->dirty_lo = hi;
}

void vertex_buffer_upload(IDirect3DVertexBuffer9* vb, UINT needed_hi) {
  IDirect3DVertexBuffer9::Impl* b = vb->impl;
  StreamRing& ring = b->dev->stream;
  if ((b->usage & D3DUSAGE_DYNAMIC) && ring.ptr && b->size <= ring.size / 8) {
    stream_upload(b, ring, std::min(needed_hi, b->size));
    return;
  }
  if (b->dirty_lo >= b->dirty_hi) return;
  UINT hi = std::min(std::max(needed_hi, b->dirty_lo), b->dirty_hi);
  if (hi <= b->dirty_lo) return;
  GLenum usage = (b->usage & D3DUSAGE_DYNAMIC) ? GL_STREAM_DRAW : GL_STATIC_DRAW;
  if (b->orphan || hi > b->gl_size) {
    // Fresh storage sized to what is drawn (the CPU copy holds every byte before it):
    // draws still reading the old contents are never waited for.
    UINT n = std::min(b->size, (hi + 4095) & ~4095u);
    glNamedBufferData(b->buf, n, b->cpu.data(), usage);
    b->gl_size = n;
    b->orphan = false;
  } else {
    glNamedBufferSubData(b->buf, b->dirty_lo, hi - b->dirty_lo, b->cpu.data() + b->dirty_lo);
  }
  b->dirty_lo = hi;
}

IDirect3DIndexBuffer9::~IDirect3DIndexBuffer9() { delete_buffer(impl); }
HRESULT IDirect3DIndexBuffer9::Lock(UINT offset, UINT size, void** data, DWORD flags) {
  D3D9_REC("IB::Lock(%u, %u, 0x%X)", offset, size, flags);
  return lock_buffer(impl, offset, size, data, flags);
}
HRESULT IDirect3DIndexBuffer9::Unlock() {
  D3D9_REC("IB::Unlock()");
  return unlock_buffer(impl);
}

HRESULT IDirect3DDevice9Ex::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                               IDirect3DVertexBuffer9** vb, HANDLE*) {
  D3D9_REC("CreateVertexBuffer(%u, 0x%X, %u)", length, usage, (unsigned)pool);
  if (!vb || length == 0) return D3DERR_INVALIDCALL;
  IDirect3DVertexBuffer9* b = new IDirect3DVertexBuffer9;
  b->impl = new IDirect3DVertexBuffer9::Impl;
  if (!create_buffer(b->impl, impl, length, usage)) {
    b->Release();
    *vb = nullptr;
    return D3DERR_OUTOFVIDEOMEMORY;
  }
  *vb = b;
  return D3D_OK;
}

HRESULT IDirect3DDevice9Ex::CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                              IDirect3DIndexBuffer9** ib, HANDLE*) {
  D3D9_REC("CreateIndexBuffer(%u, 0x%X, %u, %u)", length, usage, (unsigned)format, (unsigned)pool);
  if (!ib || length == 0 || (format != D3DFMT_INDEX16 && format != D3DFMT_INDEX32)) return D3DERR_INVALIDCALL;
  IDirect3DIndexBuffer9* b = new IDirect3DIndexBuffer9;
  b->impl = new IDirect3DIndexBuffer9::Impl;
  b->impl->format = format;
  if (!create_buffer(b->impl, impl, length, usage)) {
    b->Release();
    *ib = nullptr;
    return D3DERR_OUTOFVIDEOMEMORY;
  }
  *ib = b;
  return D3D_OK;
}

// ---- declarations -------------------------------------------------------------------

IDirect3DVertexDeclaration9::~IDirect3DVertexDeclaration9() { delete impl; }

HRESULT IDirect3DVertexDeclaration9::GetDeclaration(D3DVERTEXELEMENT9* elements, UINT* count) {
  if (!count) return D3DERR_INVALIDCALL;
  if (elements) std::copy(impl->elements.begin(), impl->elements.end(), elements);
  *count = (UINT)impl->elements.size();
  return D3D_OK;
}

HRESULT IDirect3DDevice9Ex::CreateVertexDeclaration(const D3DVERTEXELEMENT9* elements,
                                                    IDirect3DVertexDeclaration9** decl) {
  if (!elements || !decl) return D3DERR_INVALIDCALL;
  IDirect3DVertexDeclaration9::Impl* di = new IDirect3DVertexDeclaration9::Impl;
  for (;; elements++) {
    di->elements.push_back(*elements);
    if (elements->Stream == 0xFF) break;
    bool known_type = elements->Type <= D3DDECLTYPE_FLOAT16_4 && elements->Type != 13 && elements->Type != 14;
    if (elements->Stream >= D3D9_STREAMS || !known_type || di->elements.size() > 64) {
      delete di;
      *decl = nullptr;
      return D3DERR_INVALIDCALL;
    }
  }
  D3D9_REC("CreateVertexDeclaration(%u)", (unsigned)di->elements.size());
  IDirect3DVertexDeclaration9* d = new IDirect3DVertexDeclaration9;
  d->impl = di;
  *decl = d;
  return D3D_OK;
}

// ---- shaders ------------------------------------------------------------------------

// The compiler has already shown the driver's messages for code it made; code from
// elsewhere (a cache) has only standard error.
static void report_build_failure(GLenum stage, const std::string& messages) {
  fprintf(stderr, "d3d9: %s shader failed to build:\n%s", stage == GL_VERTEX_SHADER ? "vertex" : "pixel",
          messages.c_str());
}

// A shader's GL programs, deleted with the shader while the device that built it lives.
static void delete_programs(D3d9Device* dev, std::initializer_list<GLuint> programs) {
  if (!device_alive(dev)) return;
  dev->make_current();
  for (GLuint p : programs)
    if (p) glDeleteProgram(p);
}

IDirect3DVertexShader9::~IDirect3DVertexShader9() {
  if (impl) delete_programs(impl->dev, {impl->program});
  delete impl;
}

IDirect3DPixelShader9::~IDirect3DPixelShader9() {
  if (impl) delete_programs(impl->dev, {impl->program, impl->alpha_test_program});
  delete impl;
}

HRESULT IDirect3DDevice9Ex::CreateVertexShader(const DWORD* code, IDirect3DVertexShader9** shader) {
  D3D9_REC("CreateVertexShader()");
  if (!shader) return D3DERR_INVALIDCALL;
  *shader = nullptr;
  if (!code) return D3DERR_INVALIDCALL;
  std::string messages;
  GLuint program = glsl_build_program(impl, GL_VERTEX_SHADER, (const char*)code, &messages);
  if (!program) {
    report_build_failure(GL_VERTEX_SHADER, messages);
    return D3DERR_INVALIDCALL;
  }
  *shader = new IDirect3DVertexShader9;
  (*shader)->impl = new IDirect3DVertexShader9::Impl{program, impl};
  return D3D_OK;
}

HRESULT IDirect3DDevice9Ex::CreatePixelShader(const DWORD* code, IDirect3DPixelShader9** shader) {
  D3D9_REC("CreatePixelShader()");
  if (!shader) return D3DERR_INVALIDCALL;
  *shader = nullptr;
  if (!code) return D3DERR_INVALIDCALL;
  std::string messages;
  GLuint plain = 0, alpha_tested = 0;
  if (!glsl_build_pixel_programs(impl, (const char*)code, &plain, &alpha_tested, &messages)) {
    report_build_failure(GL_FRAGMENT_SHADER, messages);
    return D3DERR_INVALIDCALL;
  }
  *shader = new IDirect3DPixelShader9;
  (*shader)->impl = new IDirect3DPixelShader9::Impl{plain, impl, alpha_tested};
  return D3D_OK;
}

// ---- queries ------------------------------------------------------------------------

IDirect3DQuery9::~IDirect3DQuery9() {
  if (impl && impl->fence && device_alive(impl->dev)) {
    impl->dev->make_current();
    glDeleteSync(impl->fence);
  }
  delete impl;
}

HRESULT IDirect3DQuery9::Issue(DWORD flags) {
  D3D9_REC("Query::Issue(%u)", flags);
  if (!(flags & D3DISSUE_END)) return D3D_OK;
  impl->dev->make_current();
  if (impl->fence) glDeleteSync(impl->fence);
  impl->fence = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
  return D3D_OK;
}

HRESULT IDirect3DQuery9::GetData(void* data, DWORD size, DWORD flags) {
  if (!impl->fence) return S_OK;
  impl->dev->make_current();
  GLenum r = glClientWaitSync(impl->fence, (flags & D3DGETDATA_FLUSH) ? GL_SYNC_FLUSH_COMMANDS_BIT : 0, 0);
  if (r == GL_ALREADY_SIGNALED || r == GL_CONDITION_SATISFIED) {
    if (data && size >= sizeof(BOOL)) *(BOOL*)data = TRUE;
    return S_OK;
  }
  if (r == GL_WAIT_FAILED) return D3DERR_DEVICELOST;
  sched_yield();  // callers poll in a loop: leave the CPU to the rasteriser's threads
  return S_FALSE;
}

HRESULT IDirect3DDevice9Ex::CreateQuery(D3DQUERYTYPE type, IDirect3DQuery9** query) {
  D3D9_REC("CreateQuery(%u)", (unsigned)type);
  if (type != D3DQUERYTYPE_EVENT) return D3DERR_NOTAVAILABLE;
  if (!query) return D3D_OK;  // asking whether the type is supported
  *query = new IDirect3DQuery9;
  (*query)->impl = new IDirect3DQuery9::Impl;
  (*query)->impl->dev = impl;
  return D3D_OK;
}
