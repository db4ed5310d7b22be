// Buffer pools, draws, clears, render targets and read-backs.
#include "engine/render/d3d_vbuf.h"

#include "engine/core/fatal.h"
#include "engine/core/log.h"
#include "engine/render/d3d_device.h"
#include "engine/render/d3d_textures.h"
#include "platform/d3d9/d3d9_platform.h"
#include "platform/win32/main_window.h"

#include <algorithm>

static VertexBuffer vbuffers[MAX_VBUFFERS];
static IndexBuffer ibuffers[MAX_IBUFFERS];
static IDirect3DSurface9* readback_surface = nullptr;
static IDirect3DSurface9* capture_surface = nullptr;

template <class T>
static void release(T*& p) {
  if (p) p->Release();
  p = nullptr;
}

static DWORD buffer_usage(bool is_static) {
  return is_static ? D3DUSAGE_WRITEONLY : D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY;
}

// ---- buffers ------------------------------------------------------------------------

IDirect3DVertexBuffer9* create_d3d_vb(int bytes, bool is_static) {
  IDirect3DVertexBuffer9* vb = nullptr;
  HRESULT hr = d3d->CreateVertexBuffer(bytes, buffer_usage(is_static), 0, D3DPOOL_DEFAULT, &vb, nullptr);
  if (FAILED(hr)) {
    debug("error creating VB (code 0x%08X)", (unsigned)hr);
    return nullptr;
  }
  return vb;
}

IDirect3DIndexBuffer9* create_d3d_ib(int bytes, bool is_static) {
  IDirect3DIndexBuffer9* ib = nullptr;
  HRESULT hr =
      d3d->CreateIndexBuffer(bytes, buffer_usage(is_static), D3DFMT_INDEX16, D3DPOOL_DEFAULT, &ib, nullptr);
  if (FAILED(hr)) {
    debug("error creating IB (code 0x%08X)", (unsigned)hr);
    return nullptr;
  }
  return ib;
}

// The first unused slot of a buffer pool; null and a log line when all are taken.
template <class Slot, int N>
static Slot* free_slot(Slot (&pool)[N], const char* kind) {
  Slot* slot = std::find_if(pool, pool + N, [](const Slot& b) { return !b.used; });
  if (slot != pool + N) return slot;
  debug("reached MAX_BUFFERS for %s", kind);
  return nullptr;
}

VertexBuffer* create_vb(int size, bool is_static) {
  ASSERT(d3d);
  VertexBuffer* slot = free_slot(vbuffers, "VB");
  if (!slot) return nullptr;
  IDirect3DVertexBuffer9* vb = create_d3d_vb(size, is_static);
  if (!vb) return nullptr;
  *slot = VertexBuffer{vb, (uint32_t)size, is_static, true};
  return slot;
}

IndexBuffer* create_ib(int count, bool is_static) {
  ASSERT(d3d);
  IndexBuffer* slot = free_slot(ibuffers, "IB");
  if (!slot) return nullptr;
  IDirect3DIndexBuffer9* ib = create_d3d_ib(count * 2, is_static);
  if (!ib) return nullptr;
  *slot = IndexBuffer{ib, (uint32_t)count * 2, is_static, true};
  return slot;
}

// A dynamic buffer is locked with discard (its old contents are not kept), a static
// one without.
template <class D3dBuffer>
static void* lock_buffer(D3dBuffer* buffer, bool is_static, int offset, int size) {
  if (!buffer) return nullptr;
  void* p = nullptr;
  DWORD flags = D3DLOCK_NOSYSLOCK | (is_static ? 0 : D3DLOCK_DISCARD);
  return SUCCEEDED(buffer->Lock(offset, size, &p, flags)) ? p : nullptr;
}

void* lock_vb(VertexBuffer* vb, int offset, int size) {
  return vb ? lock_buffer(vb->vb, vb->isStatic, offset, size) : nullptr;
}

void* lock_ib(IndexBuffer* ib, int offset, int size) {
  return ib ? lock_buffer(ib->ib, ib->isStatic, offset, size) : nullptr;
}

void unlock_vb(VertexBuffer* vb) {
  if (vb && vb->vb) vb->vb->Unlock();
}

void unlock_ib(IndexBuffer* ib) {
  if (ib && ib->ib) ib->ib->Unlock();
}

void set_vb_stream(int stream, VertexBuffer* vb, int offset, int stride) {
  d3d->SetStreamSource(stream, vb ? vb->vb : nullptr, offset, stride);
}

void set_ib(IndexBuffer* ib) { d3d->SetIndices(ib ? ib->ib : nullptr); }

void release_vb(VertexBuffer* vb) {
  if (!vb) return;
  release(vb->vb);
  vb->used = false;
}

void release_ib(IndexBuffer* ib) {
  if (!ib) return;
  release(ib->ib);
  ib->used = false;
}

void release_all_buffers() {
  for (VertexBuffer& b : vbuffers) release_vb(&b);
  for (IndexBuffer& b : ibuffers) release_ib(&b);
  release(readback_surface);
  release_front_buffer_capture();
}

void unbind_buffers_for_reset() {
  d3d->SetIndices(nullptr);
  for (int s = 0; s < 16; s++) d3d->SetStreamSource(s, nullptr, 0, 0);
}

// ---- draws and clears ---------------------------------------------------------------

void draw_prim(int type, int first_vertex, int count) {
  if (count <= 0) return;
  HRESULT hr = d3d->DrawPrimitive((D3DPRIMITIVETYPE)type, first_vertex, count);
  if (FAILED(hr)) debug("draw_prim failed (code 0x%08X)", (unsigned)hr);
}

void draw_indexed(int type, int base_vertex, int min_index, int num_vertices, int start_index, int count) {
  if (count <= 0) return;
  HRESULT hr =
      d3d->DrawIndexedPrimitive((D3DPRIMITIVETYPE)type, base_vertex, min_index, num_vertices, start_index, count);
  if (FAILED(hr)) debug("draw_indexed failed (code 0x%08X)", (unsigned)hr);
}

void draw_postfx() {
  static const float quad[4][3] = {{-1, -1, 0}, {-1, 1, 0}, {1, -1, 0}, {1, 1, 0}};
  d3d->SetFVF(D3DFVF_XYZ);
  d3d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, 12);
}

void clear_view(D3dColor color) {
  d3d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, color, 1.0f, 0);
}

void clear_view_color(D3dColor color) { d3d->Clear(0, nullptr, D3DCLEAR_TARGET, color, 1.0f, 0); }

void clear_view_z() { d3d->Clear(0, nullptr, D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0, 1.0f, 0); }

// ---- render targets -----------------------------------------------------------------

void set_backbuffer_target() {
  IDirect3DSurface9* bb = nullptr;
  if (FAILED(d3d->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &bb))) return;
  d3d->SetRenderTarget(0, bb);
  d3d->SetDepthStencilSurface(nullptr);
  bb->Release();
}

void set_scene_target() {
  if (d3d_scene_color) d3d->SetRenderTarget(0, d3d_scene_color);
  else set_backbuffer_target();
  d3d->SetDepthStencilSurface(d3d_scene_depth);
}

void set_texture_target(Texture* t, int index, bool scene_depth) {
  if (!t) {
    d3d->SetRenderTarget(index, nullptr);
    return;
  }
  IDirect3DSurface9* s = nullptr;
  if (!t->tex || FAILED(t->tex->GetSurfaceLevel(0, &s))) return;
  d3d->SetRenderTarget(index, s);
  s->Release();
  if (index == 0) d3d->SetDepthStencilSurface(scene_depth ? d3d_scene_depth : nullptr);
}

void set_viewport(int x, int y, int w, int h) {
  D3DVIEWPORT9 vp = {(DWORD)x, (DWORD)y, (DWORD)w, (DWORD)h, 0.0f, 1.0f};
  d3d->SetViewport(&vp);
}

// ---- copies and read-backs ----------------------------------------------------------

static bool stretch_to_texture(IDirect3DSurface9* from, Texture* to) {
  IDirect3DSurface9* dst = nullptr;
  if (!to->tex || FAILED(to->tex->GetSurfaceLevel(0, &dst))) return false;
  HRESULT hr = d3d->StretchRect(from, nullptr, dst, nullptr, D3DTEXF_POINT);
  dst->Release();
  return SUCCEEDED(hr);
}

void copy_texture(Texture* fromTex, Texture* toTex) {
  ASSERT(fromTex);
  ASSERT(toTex);
  IDirect3DSurface9* src = nullptr;
  if (!fromTex->tex || FAILED(fromTex->tex->GetSurfaceLevel(0, &src))) return;
  stretch_to_texture(src, toTex);
  src->Release();
}

bool copy_backbuffer_to_texture(Texture* t) {
  ASSERT(t);
  IDirect3DSurface9* bb = nullptr;
  if (FAILED(d3d->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &bb))) return false;
  bool ok = stretch_to_texture(bb, t);
  bb->Release();
  return ok;
}

bool copy_scene_to_texture(Texture* t) {
  ASSERT(t);
  // Without a scene colour surface the scene is drawn where set_scene_target puts it.
  if (!d3d_scene_color) return copy_backbuffer_to_texture(t);
  return stretch_to_texture(d3d_scene_color, t);
}

static bool level0_desc(Texture* t, D3DSURFACE_DESC* desc) {
  return t && t->tex && SUCCEEDED(t->tex->GetLevelDesc(0, desc));
}

static void* lock_readback(int* pitch) {
  D3DLOCKED_RECT lr;
  if (FAILED(readback_surface->LockRect(&lr, nullptr, 0))) return nullptr;
  *pitch = lr.Pitch;
  return lr.pBits;
}

// The one system-memory surface of read-backs and uploads, sized and formatted as the
// texture's top level; false while it is in use by another read-back or upload.
static bool create_readback_surface(Texture* t) {
  D3DSURFACE_DESC desc;
  if (readback_surface || !level0_desc(t, &desc)) return false;
  return SUCCEEDED(d3d->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format, D3DPOOL_SYSTEMMEM,
                                                    &readback_surface, nullptr));
}

void* read_render_target(Texture* t, int* pitch) {
  if (!create_readback_surface(t)) return nullptr;
  IDirect3DSurface9* rt = nullptr;
  void* bits = nullptr;
  if (SUCCEEDED(t->tex->GetSurfaceLevel(0, &rt))) {
    if (SUCCEEDED(d3d->GetRenderTargetData(rt, readback_surface))) bits = lock_readback(pitch);
    rt->Release();
  }
  if (!bits) release(readback_surface);
  return bits;
}

bool end_read_render_target(Texture* t) {
  if (!t || !readback_surface) return false;
  bool ok = SUCCEEDED(readback_surface->UnlockRect());
  release(readback_surface);
  return ok;
}

void* begin_texture_upload(Texture* t, int* pitch) {
  if (!create_readback_surface(t)) return nullptr;
  void* bits = lock_readback(pitch);
  if (!bits) release(readback_surface);
  return bits;
}

bool end_texture_upload(Texture* t) {
  if (!t || !t->tex || !readback_surface) return false;
  readback_surface->UnlockRect();
  IDirect3DSurface9* dst = nullptr;
  HRESULT hr = t->tex->GetSurfaceLevel(0, &dst);
  if (SUCCEEDED(hr)) {
    hr = d3d->UpdateSurface(readback_surface, nullptr, dst, nullptr);
    dst->Release();
  }
  release(readback_surface);
  if (FAILED(hr)) {
    debug("UpdateSurface failed, code 0x%08X", (unsigned)hr);
    return false;
  }
  return true;
}

void* capture_front_buffer(int* w, int* h, int* pitch) {
  release_front_buffer_capture();
  D3DDISPLAYMODEEX desktop = {sizeof(desktop)};
  if (!d3d9 || FAILED(d3d9->GetAdapterDisplayModeEx(0, &desktop, nullptr))) return nullptr;
  POINT origin = d3d9_client_origin((HWND)get_main_window());
  int x0 = std::max<int>(origin.x, 0), y0 = std::max<int>(origin.y, 0);
  int width = d3d_wd - (origin.x < 0 ? -origin.x : 0);
  int height = d3d_ht - (origin.y < 0 ? -origin.y : 0);
  width = std::min<int>(width, (int)desktop.Width - x0);
  height = std::min<int>(height, (int)desktop.Height - y0);
  if (width < 1 || height < 1) return nullptr;
  if (FAILED(d3d->CreateOffscreenPlainSurface(desktop.Width, desktop.Height, D3DFMT_A8R8G8B8, D3DPOOL_SCRATCH,
                                              &capture_surface, nullptr)))
    return nullptr;
  RECT r = {x0, y0, x0 + width, y0 + height};
  D3DLOCKED_RECT lr;
  if (FAILED(d3d->GetFrontBufferData(0, capture_surface)) ||
      FAILED(capture_surface->LockRect(&lr, &r, D3DLOCK_READONLY))) {
    release(capture_surface);
    return nullptr;
  }
  *w = width;
  *h = height;
  *pitch = lr.Pitch;
  return lr.pBits;
}

void release_front_buffer_capture() {
  if (!capture_surface) return;
  capture_surface->UnlockRect();
  release(capture_surface);
}
