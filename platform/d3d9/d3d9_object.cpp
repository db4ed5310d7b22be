// The Direct3D object: display modes, capability checks and device creation.
#include "platform/d3d9/d3d9_impl.h"

#include <SDL2/SDL.h>
#include <algorithm>
#include <vector>

HRESULT Direct3DCreate9Ex(UINT sdk_version, IDirect3D9Ex** out) {
  if (!out) return D3DERR_INVALIDCALL;
  *out = nullptr;
  if (sdk_version != D3D_SDK_VERSION) return D3DERR_NOTAVAILABLE;
  *out = new IDirect3D9Ex;
  return D3D_OK;
}

// Display modes: SDL's when a display is in use, else a fixed set of one virtual screen.
static bool sdl_video() { return !d3d9_is_headless() && SDL_WasInit(SDL_INIT_VIDEO); }

static const D3DDISPLAYMODEEX headless_modes[] = {
    {sizeof(D3DDISPLAYMODEEX), 640, 360, 60, D3DFMT_X8R8G8B8, D3DSCANLINEORDERING_PROGRESSIVE},
    {sizeof(D3DDISPLAYMODEEX), 1280, 720, 60, D3DFMT_X8R8G8B8, D3DSCANLINEORDERING_PROGRESSIVE},
    {sizeof(D3DDISPLAYMODEEX), 1600, 900, 60, D3DFMT_X8R8G8B8, D3DSCANLINEORDERING_PROGRESSIVE},
    {sizeof(D3DDISPLAYMODEEX), 1920, 1080, 60, D3DFMT_X8R8G8B8, D3DSCANLINEORDERING_PROGRESSIVE},
};

// What the headless adapter lists: the built-in set unless a test gave its own.
static std::vector<D3DDISPLAYMODEEX> test_modes;
static bool use_test_modes = false;

void d3d9_set_headless_modes(const D3DDISPLAYMODEEX* modes, int count) {
  use_test_modes = modes != nullptr;
  test_modes.assign(modes, modes ? modes + count : modes);
}

static UINT headless_mode_count() {
  return use_test_modes ? (UINT)test_modes.size() : sizeof(headless_modes) / sizeof(headless_modes[0]);
}

static const D3DDISPLAYMODEEX& headless_mode(UINT index) {
  return use_test_modes ? test_modes[index] : headless_modes[index];
}

static D3DDISPLAYMODEEX from_sdl(const SDL_DisplayMode& m) {
  return {sizeof(D3DDISPLAYMODEEX), (UINT)m.w, (UINT)m.h, (UINT)m.refresh_rate, D3DFMT_X8R8G8B8,
          D3DSCANLINEORDERING_PROGRESSIVE};
}

HRESULT IDirect3D9Ex::GetAdapterDisplayModeEx(UINT adapter, D3DDISPLAYMODEEX* mode, D3DDISPLAYROTATION* rotation) {
  if (adapter != 0 || !mode) return D3DERR_INVALIDCALL;
  if (rotation) *rotation = D3DDISPLAYROTATION_IDENTITY;
  SDL_DisplayMode m;
  if (sdl_video() && SDL_GetDesktopDisplayMode(0, &m) == 0) *mode = from_sdl(m);
  else *mode = headless_modes[3];
  return D3D_OK;
}

UINT IDirect3D9Ex::GetAdapterModeCountEx(UINT adapter, const D3DDISPLAYMODEFILTER* filter) {
  if (adapter != 0 || (filter && filter->Format != D3DFMT_X8R8G8B8)) return 0;
  if (sdl_video()) return std::max(0, SDL_GetNumDisplayModes(0));
  return headless_mode_count();
}

HRESULT IDirect3D9Ex::EnumAdapterModesEx(UINT adapter, const D3DDISPLAYMODEFILTER* filter, UINT index,
                                         D3DDISPLAYMODEEX* mode) {
  if (!mode || index >= GetAdapterModeCountEx(adapter, filter)) return D3DERR_INVALIDCALL;
  SDL_DisplayMode m;
  if (!sdl_video()) *mode = headless_mode(index);
  else if (SDL_GetDisplayMode(0, index, &m) == 0) *mode = from_sdl(m);
  else return D3DERR_INVALIDCALL;
  return D3D_OK;
}

HRESULT IDirect3D9Ex::CheckDeviceMultiSampleType(UINT adapter, D3DDEVTYPE, D3DFORMAT format, BOOL,
                                                 D3DMULTISAMPLE_TYPE ms, DWORD* quality_levels) {
  if (adapter != 0) return D3DERR_INVALIDCALL;
  const GlFormat* f = gl_format(format);
  if (!f || !f->renderable) return D3DERR_NOTAVAILABLE;
  // Non-maskable quality q gives 2 << q samples (capped by the driver): 2, 4, 8.
  if (quality_levels) *quality_levels = ms == D3DMULTISAMPLE_NONMASKABLE ? 3 : 1;
  return D3D_OK;
}

HRESULT IDirect3D9Ex::CheckDeviceFormat(UINT adapter, D3DDEVTYPE, D3DFORMAT, DWORD usage, D3DRESOURCETYPE rtype,
                                        D3DFORMAT check_format) {
  if (adapter != 0) return D3DERR_INVALIDCALL;
  const GlFormat* f = gl_format(check_format);
  if (!f) return D3DERR_NOTAVAILABLE;
  if ((usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_QUERY_POSTPIXELSHADER_BLENDING)) && !f->renderable)
    return D3DERR_NOTAVAILABLE;
  if ((usage & D3DUSAGE_QUERY_VERTEXTEXTURE) && f->block_bytes) return D3DERR_NOTAVAILABLE;
  return D3D_OK;
}

HRESULT IDirect3D9Ex::CreateDeviceEx(UINT adapter, D3DDEVTYPE, HWND focus, DWORD, D3DPRESENT_PARAMETERS* pp,
                                     D3DDISPLAYMODEEX*, IDirect3DDevice9Ex** device) {
  if (adapter != 0 || !pp || !device) return D3DERR_INVALIDCALL;
  *device = nullptr;
  HRESULT forced;
  if (d3d9_forced_result("CreateDeviceEx", &forced)) return forced;
  // One device at a time: its context is the current one.
  if (d3d9_live_device) return D3DERR_NOTAVAILABLE;
  IDirect3DDevice9Ex* dev = new IDirect3DDevice9Ex;
  dev->impl = new D3d9Device;
  dev->impl->owner = dev;
  if (!dev->impl->init(focus ? focus : pp->hDeviceWindow, pp)) {
    dev->Release();
    return D3DERR_NOTAVAILABLE;
  }
  *device = dev;
  return D3D_OK;
}
