// The texture pool, locking, sampling modes and device-reset support.
#include "engine/render/d3d_textures.h"

#include "engine/core/fatal.h"
#include "engine/core/log.h"
#include "engine/render/d3d_device.h"

#include <cstring>

static Texture textures[MAX_TEXTURES];
static uint32_t next_serial = 1;

// The shared system-memory copy through which non-dynamic textures are written. It is
// keyed by slot and serial, so a slot given to another texture (or a texture made
// anew at another size) never writes into a copy made for what was there before.
static IDirect3DTexture9* temp_tex = nullptr;
static Texture* temp_owner = nullptr;
static uint32_t temp_serial = 0;
static bool temp_locked = false;

static void release_temp();

// A texture that goes away (or gets another device texture) takes the lock copy made
// for it along, also while locked: else the copy stayed locked for good and no other
// texture could be written through it.
static void forget_temp_for(const Texture* t) {
  if (temp_tex && temp_owner == t) release_temp();
}

static Texture* find_free_slot() {
  for (Texture& t : textures)
    if (!t.used) return &t;
  debug("reached MAX_TEXTURES");
  return nullptr;
}

Texture* create_pool_texture(int w, int h, int levels, uint32_t usage, D3DFORMAT format, D3DPOOL pool) {
  Texture* t = find_free_slot();
  if (!t) return nullptr;
  t->width = w;
  t->height = h;
  t->levels = levels;
  t->usage = usage;
  t->format = format;
  t->pool = pool;
  if (w == 0 && h == 0) {
    w = d3d_wd;
    h = d3d_ht;
  }
  HRESULT hr = d3d->CreateTexture(w, h, levels, usage, format, pool, &t->tex, nullptr);
  if (FAILED(hr)) {
    t->tex = nullptr;
    debug("error creating texture (code 0x%08X)", (unsigned)hr);
    return nullptr;
  }
  t->used = true;
  t->serial = next_serial++;
  return t;
}

Texture* create_texture(int w, int h, int format_code, int levels) {
  return create_pool_texture(w, h, levels, 0, to_d3d_format(format_code), D3DPOOL_DEFAULT);
}

Texture* create_dynamic_texture(int w, int h, int format_code) {
  return create_pool_texture(w, h, 1, D3DUSAGE_DYNAMIC, to_d3d_format(format_code), D3DPOOL_DEFAULT);
}

Texture* create_render_target(int w, int h, int format_code) {
  return create_pool_texture(w, h, 1, D3DUSAGE_RENDERTARGET, to_d3d_format(format_code), D3DPOOL_DEFAULT);
}

Texture* create_screen_render_target() { return create_render_target(0, 0, 1); }

Texture* wrap_texture(IDirect3DTexture9* tex) {
  if (!tex) return nullptr;
  Texture* t = find_free_slot();
  if (!t) return nullptr;
  *t = Texture{tex, 0, 0, 0, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, true, next_serial++};
  return t;
}

static void release_device_texture(Texture* t) {
  if (t->tex) t->tex->Release();
  t->tex = nullptr;
}

void destroy_texture(Texture* t) {
  if (!t) return;
  forget_temp_for(t);
  release_device_texture(t);
  t->used = false;
}

int get_texture_width(Texture* t) { return !t ? 0 : t->width ? t->width : d3d_wd; }
int get_texture_height(Texture* t) { return !t ? 0 : t->height ? t->height : d3d_ht; }
IDirect3DTexture9* get_d3d_texture(Texture* t) { return t ? t->tex : nullptr; }
int get_texture_format(Texture* t) { return t ? from_d3d_format(t->format) : 0; }
bool is_texture_slot_free(Texture* t) { return !t->used; }

void move_texture(Texture* dst, Texture* src) {
  if (!dst || !src) return;
  forget_temp_for(dst);
  forget_temp_for(src);
  release_device_texture(dst);
  *dst = *src;
  dst->serial = next_serial++;
  src->tex = nullptr;
  src->used = false;
}

// ---- locking ------------------------------------------------------------------------

static bool is_dynamic(Texture* t) { return t->usage & D3DUSAGE_DYNAMIC; }

static void release_temp() {
  if (temp_tex) temp_tex->Release();
  temp_tex = nullptr;
  temp_owner = nullptr;
  temp_serial = 0;
  temp_locked = false;
}

static void* lock_dynamic(Texture* t, int* pitch, int level, const RECT* area) {
  D3DLOCKED_RECT lr;
  HRESULT hr = t->tex->LockRect(level, &lr, area, D3DLOCK_DISCARD | D3DLOCK_NOSYSLOCK);
  if (FAILED(hr)) {
    debug("error locking texture (code 0x%08X)", (unsigned)hr);
    return nullptr;
  }
  *pitch = lr.Pitch;
  return lr.pBits;
}

void* lock_texture(Texture* t, int* pitch, int level) {
  if (!t || !t->tex) {
    debug("error: invalid texture in lock_texture()");
    return nullptr;
  }
  D3DLOCKED_RECT lr;
  if (is_dynamic(t))
    return lock_dynamic(t, pitch, level, nullptr);
  if (temp_locked) {
    debug("error: tempTex is already used in lock_texture()");
    return nullptr;
  }
  if (temp_tex && (temp_owner != t || temp_serial != t->serial)) release_temp();
  if (!temp_tex) {
    D3DSURFACE_DESC desc;
    t->tex->GetLevelDesc(0, &desc);
    HRESULT hr = d3d->CreateTexture(desc.Width, desc.Height, t->tex->GetLevelCount(), 0, desc.Format,
                                    D3DPOOL_SYSTEMMEM, &temp_tex, nullptr);
    if (FAILED(hr)) {
      temp_tex = nullptr;
      debug("error creating system memory texture for locking, code %08X", (unsigned)hr);
      return nullptr;
    }
    temp_owner = t;
    temp_serial = t->serial;
  }
  HRESULT hr = temp_tex->LockRect(level, &lr, nullptr, 0);
  if (FAILED(hr)) {
    debug("error locking system memory texture (code %X)", (unsigned)hr);
    return nullptr;
  }
  temp_locked = true;
  *pitch = lr.Pitch;
  return lr.pBits;
}

void* lock_texture(Texture* t, int* pitch, int, int level) { return lock_texture(t, pitch, level); }

void* lock_texture_area(Texture* t, int* pitch, int w, int h) {
  if (!t || !t->tex || !is_dynamic(t))
    return lock_texture(t, pitch, 0);
  RECT area = {0, 0, w, h};
  return lock_dynamic(t, pitch, 0, &area);
}

bool unlock_texture(Texture* t, int level) {
  if (t && t->tex && is_dynamic(t)) {
    HRESULT hr = t->tex->UnlockRect(level);
    if (FAILED(hr)) {
      debug("UnlockRect failed, code 0x%08X", (unsigned)hr);
      return false;
    }
    return true;
  }
  if (!temp_locked) {
    debug("error: unmatched unlock_texture()");
    return false;
  }
  if (!t || temp_owner != t || temp_serial != t->serial) {
    debug("error: mismatched texture in unlock_texture()");
    return false;
  }
  temp_locked = false;
  if (FAILED(temp_tex->UnlockRect(level))) {
    debug("error unlocking tempTex");
    return false;
  }
  IDirect3DSurface9 *dst = nullptr, *src = nullptr;
  if (FAILED(t->tex->GetSurfaceLevel(level, &dst))) {
    debug("error getting texture surface level %d", level);
    return false;
  }
  if (FAILED(temp_tex->GetSurfaceLevel(level, &src))) {
    debug("error getting tempTex surface level %d", level);
    dst->Release();
    return false;
  }
  HRESULT hr = d3d->UpdateSurface(src, nullptr, dst, nullptr);
  src->Release();
  dst->Release();
  if (FAILED(hr)) {
    debug("UpdateSurface failed, code 0x%08X", (unsigned)hr);
    return false;
  }
  return true;
}

// ---- sampling -----------------------------------------------------------------------

void set_texture(int stage, Texture* t) {
  if (t) d3d->SetTexture(stage, t->tex);
}

static DWORD address_mode(int code) {
  return code == 0 ? D3DTADDRESS_WRAP : code == 2 ? D3DTADDRESS_BORDER : D3DTADDRESS_CLAMP;
}

void set_texture_address(int stage, int u, int v, int w) {
  if (v < 0) v = u;
  if (w < 0) w = v;
  d3d->SetSamplerState(stage, D3DSAMP_ADDRESSU, address_mode(u));
  d3d->SetSamplerState(stage, D3DSAMP_ADDRESSV, address_mode(v));
  d3d->SetSamplerState(stage, D3DSAMP_ADDRESSW, address_mode(w));
}

void set_texture_filter(int stage, bool linear) {
  DWORD f = linear ? D3DTEXF_LINEAR : D3DTEXF_POINT;
  d3d->SetSamplerState(stage, D3DSAMP_MAGFILTER, f);
  d3d->SetSamplerState(stage, D3DSAMP_MINFILTER, f);
  d3d->SetSamplerState(stage, D3DSAMP_MIPFILTER, f);
}

// ---- device reset and shut-down -----------------------------------------------------

static bool is_screen_sized(const Texture& t) {
  return t.used && t.pool == D3DPOOL_DEFAULT && t.width == 0 && t.height == 0;
}

void release_screen_textures() {
  for (int s = 0; s < 32; s++) d3d->SetTexture(s, nullptr);
  for (Texture& t : textures)
    if (is_screen_sized(t) && t.tex) release_device_texture(&t);
}

void recreate_screen_textures() {
  for (Texture& t : textures) {
    if (!is_screen_sized(t)) continue;
    HRESULT hr = d3d->CreateTexture(d3d_wd, d3d_ht, t.levels, t.usage, t.format, t.pool, &t.tex, nullptr);
    t.serial = next_serial++;
    if (FAILED(hr)) {
      t.tex = nullptr;
      debug("error recreating texture (code 0x%08X)", (unsigned)hr);
    }
  }
}

void release_all_pool_textures() {
  release_temp();
  for (Texture& t : textures) destroy_texture(&t);
}
