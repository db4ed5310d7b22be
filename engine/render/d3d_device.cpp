// Device creation, presentation parameters, frames, presenting, checks and resets.
#include "engine/render/d3d_device.h"

#include "engine/core/fatal.h"
#include "engine/core/log.h"
#include "engine/render/d3d_shaders.h"
#include "engine/render/d3d_states.h"
#include "engine/render/d3d_textures.h"
#include "engine/render/d3d_vbuf.h"
#include "engine/render/render_hooks.h"
#include "libs/profiler/profiler.h"
#include "platform/win32/main_window.h"

#include <cstring>

IDirect3D9Ex* d3d9 = nullptr;
IDirect3DDevice9Ex* d3d = nullptr;
int d3d_wd = 0, d3d_ht = 0;
bool d3d_limit_buffered_frames = true;
bool app_use_aa = false;
bool d3d_no_scene_target = false;
D3DFORMAT d3d_backbuffer_format = D3DFMT_UNKNOWN;
D3DMULTISAMPLE_TYPE d3d_multisample_type = D3DMULTISAMPLE_NONE;
DWORD d3d_multisample_quality = 0;
IDirect3DSurface9* d3d_scene_color = nullptr;
IDirect3DSurface9* d3d_scene_depth = nullptr;
IDirect3DQuery9* flush_query = nullptr;
bool isFullscreen = false;
bool app_use_vsync = true;
RenderHooks render_hooks;

static HRESULT present_state = 0;
static bool use_flipex = true;
static IDirect3DQuery9* frame_queries[2] = {};
static int cur_frame_query = 0;
static bool in_resize = false;
static HWND d3d_window = nullptr;

HRESULT get_present_state() { return present_state; }

template <class T>
static void release(T*& p) {
  if (p) p->Release();
  p = nullptr;
}

// ---- formats ------------------------------------------------------------------------

static const D3DFORMAT own_formats[13] = {
    D3DFMT_UNKNOWN, D3DFMT_A8R8G8B8, D3DFMT_A4R4G4B4, D3DFMT_A1R5G5B5, D3DFMT_R5G6B5, D3DFMT_G16R16, D3DFMT_R16F,
    D3DFMT_G16R16F, D3DFMT_A16B16G16R16F, D3DFMT_R32F, D3DFMT_G32R32F, D3DFMT_A32B32G32R32F, D3DFMT_L8,
};

D3DFORMAT to_d3d_format(int code) { return code >= 1 && code <= 12 ? own_formats[code] : D3DFMT_UNKNOWN; }

int from_d3d_format(D3DFORMAT format) {
  for (int code = 1; code <= 12; code++)
    if (own_formats[code] == format) return code;
  return 0;
}

static bool check_texture_format(int code, DWORD usage) {
  return d3d9 && SUCCEEDED(d3d9->CheckDeviceFormat(0, D3DDEVTYPE_HAL, d3d_backbuffer_format, usage, D3DRTYPE_TEXTURE,
                                                   to_d3d_format(code)));
}

bool check_rt_format(int code) {
  return check_texture_format(code, D3DUSAGE_RENDERTARGET | D3DUSAGE_QUERY_POSTPIXELSHADER_BLENDING);
}

bool check_vertex_texture_format(int code) { return check_texture_format(code, D3DUSAGE_QUERY_VERTEXTEXTURE); }

// ---- presentation parameters --------------------------------------------------------

void choose_d3d_mode(D3DPRESENT_PARAMETERS& pp, D3DDISPLAYMODEEX& mode, int& width, int& height) {
  std::memset(&pp, 0, sizeof(pp));
  std::memset(&mode, 0, sizeof(mode));
  mode.Size = sizeof(mode);
  bool windowed = !isFullscreen;
  pp.Windowed = windowed;
  pp.SwapEffect = windowed && use_flipex ? D3DSWAPEFFECT_FLIPEX : D3DSWAPEFFECT_DISCARD;
  pp.PresentationInterval = app_use_vsync ? D3DPRESENT_INTERVAL_ONE : D3DPRESENT_INTERVAL_IMMEDIATE;
  pp.BackBufferFormat = D3DFMT_UNKNOWN;
  pp.hDeviceWindow = d3d_window;

  D3DDISPLAYMODEEX desktop = {sizeof(desktop)};
  if (SUCCEEDED(d3d9->GetAdapterDisplayModeEx(0, &desktop, nullptr))) {
    pp.BackBufferFormat = desktop.Format;
    if (!windowed && (width <= 0 || height <= 0)) {
      width = desktop.Width;
      height = desktop.Height;
    }
    mode = desktop;
  }

  if (!windowed) {
    if (pp.BackBufferFormat == D3DFMT_UNKNOWN) pp.BackBufferFormat = D3DFMT_X8R8G8B8;
    D3DDISPLAYMODEFILTER filter = {sizeof(filter), pp.BackBufferFormat, D3DSCANLINEORDERING_PROGRESSIVE};
    UINT count = d3d9->GetAdapterModeCountEx(0, &filter);
    int best = 0;
    long long best_score = -1;
    UINT best_refresh = 0;
    for (UINT i = 0; i < count; i++) {
      D3DDISPLAYMODEEX m = {sizeof(m)};
      if (FAILED(d3d9->EnumAdapterModesEx(0, &filter, i, &m))) continue;
      long long dx = (long long)m.Width - width, dy = (long long)m.Height - height;
      long long score = dx * dx + dy * dy;
      // Lower score wins; on a tie the higher refresh rate, then the later mode.
      if (best_score < 0 || score < best_score || (score == best_score && m.RefreshRate >= best_refresh)) {
        best = (int)i;
        best_score = score;
        best_refresh = m.RefreshRate;
      }
    }
    mode.Size = sizeof(mode);
    d3d9->EnumAdapterModesEx(0, &filter, best, &mode);
    debug("best mode #%d: %dx%d %dHz format %d", best, mode.Width, mode.Height, mode.RefreshRate, (int)mode.Format);
    pp.BackBufferWidth = width;
    pp.BackBufferHeight = height;
    pp.FullScreen_RefreshRateInHz = mode.RefreshRate;
  }

  pp.EnableAutoDepthStencil = FALSE;
  DWORD levels = 0;
  HRESULT hr = d3d9->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, pp.BackBufferFormat, windowed,
                                                D3DMULTISAMPLE_NONMASKABLE, &levels);
  if (SUCCEEDED(hr) && app_use_aa) {
    d3d_multisample_type = D3DMULTISAMPLE_NONMASKABLE;
    d3d_multisample_quality = levels - 1;
    debug("AA quality %d", (int)levels);
  } else {
    d3d_multisample_type = D3DMULTISAMPLE_NONE;
    d3d_multisample_quality = 0;
  }
}

// ---- scene surfaces and queries -----------------------------------------------------

static bool create_scene_surfaces() {
  if (!d3d_no_scene_target) {
    HRESULT hr = d3d->CreateRenderTarget(d3d_wd, d3d_ht, D3DFMT_A8R8G8B8, d3d_multisample_type,
                                         d3d_multisample_quality, FALSE, &d3d_scene_color, nullptr);
    if (FAILED(hr)) {
      debug("FAILED to create scene render target surface (code 0x%08X)", (unsigned)hr);
      return false;
    }
  }
  // The depth surface must match the multisampling of the colour targets it is used
  // with: the scene colour surface when there is one, else single-sampled textures.
  D3DMULTISAMPLE_TYPE ms = d3d_scene_color ? d3d_multisample_type : D3DMULTISAMPLE_NONE;
  DWORD quality = d3d_scene_color ? d3d_multisample_quality : 0;
  HRESULT hr = d3d->CreateDepthStencilSurface(d3d_wd, d3d_ht, D3DFMT_D24S8, ms, quality, FALSE, &d3d_scene_depth,
                                              nullptr);
  if (FAILED(hr)) {
    debug("FAILED to create scene z-buffer surface (code 0x%08X)", (unsigned)hr);
    return false;
  }
  return true;
}

static void release_scene_surfaces() {
  release(d3d_scene_depth);
  release(d3d_scene_color);
}

static void create_queries() {
  for (IDirect3DQuery9*& q : frame_queries) {
    if (SUCCEEDED(d3d->CreateQuery(D3DQUERYTYPE_EVENT, &q))) q->Issue(D3DISSUE_END);
  }
  d3d->CreateQuery(D3DQUERYTYPE_EVENT, &flush_query);
}

static void release_queries() {
  release(flush_query);
  release(frame_queries[0]);
  release(frame_queries[1]);
}

static void set_default_sampler_states() {
  for (DWORD s = 0; s < 16; s++) {
    d3d->SetSamplerState(s, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    d3d->SetSamplerState(s, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    d3d->SetSamplerState(s, D3DSAMP_MIPFILTER, D3DTEXF_LINEAR);
    d3d->SetSamplerState(s, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    d3d->SetSamplerState(s, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
    d3d->SetSamplerState(s, D3DSAMP_ADDRESSW, D3DTADDRESS_CLAMP);
  }
}

// ---- creation and shut-down ---------------------------------------------------------

bool init_d3d(HWND window, int width, int height) {
  close_d3d();
  present_state = 0;
  if (FAILED(Direct3DCreate9Ex(D3D_SDK_VERSION, &d3d9))) return false;
  d3d_window = window;
  use_flipex = true;
  D3DPRESENT_PARAMETERS pp;
  D3DDISPLAYMODEEX mode;
  choose_d3d_mode(pp, mode, width, height);
  DWORD behavior = D3DCREATE_HARDWARE_VERTEXPROCESSING;
  for (;;) {
    HRESULT hr = d3d9->CreateDeviceEx(0, D3DDEVTYPE_HAL, window, behavior, &pp, pp.Windowed ? nullptr : &mode, &d3d);
    if (SUCCEEDED(hr)) break;
    if (use_flipex && pp.Windowed) {
      debug("failed FLIPEX, trying DISCARD");
      use_flipex = false;
      pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    } else if (behavior == D3DCREATE_HARDWARE_VERTEXPROCESSING) {
      debug("failed HARDWARE_VERTEXPROCESSING, trying software one");
      behavior = D3DCREATE_SOFTWARE_VERTEXPROCESSING;
    } else {
      debug("error creating d3d device, code %08X", (unsigned)hr);
      close_d3d();
      return false;
    }
  }
  // In windowed mode the device took the window's client size.
  d3d_wd = pp.Windowed ? (int)pp.BackBufferWidth : width;
  d3d_ht = pp.Windowed ? (int)pp.BackBufferHeight : height;
  d3d_backbuffer_format = pp.BackBufferFormat;
  debug("starting d3d in %dx%d", d3d_wd, d3d_ht);
  if (!create_scene_surfaces()) {
    close_d3d();
    return false;
  }
  create_queries();
  set_default_sampler_states();
  load_shader_compiler();
  debug("init d3d ok (%dx%d)", d3d_wd, d3d_ht);
  return true;
}

void close_d3d() {
  debug("close d3d");
  release_queries();
  release_all_pool_textures();
  release_all_buffers();
  release_all_vdecls();
  release_all_shaders();
  unload_shader_compiler();
  release_scene_surfaces();
  release(d3d);
  release(d3d9);
}

// ---- frames -------------------------------------------------------------------------

bool begin_scene() { return d3d && SUCCEEDED(d3d->BeginScene()); }

void end_scene() {
  if (d3d) d3d->EndScene();
}

bool render_d3d(float t) {
  PROFILE_BLOCK("render_d3d", 0xFF4CAF50);
  if (!d3d) return false;
  IDirect3DQuery9* q = frame_queries[cur_frame_query];
  if (d3d_limit_buffered_frames && q) {
    HRESULT hr = q->GetData(nullptr, 0, D3DGETDATA_FLUSH);
    if (hr == S_FALSE || hr == D3DERR_DEVICELOST) return false;
  }
  if (present_state != 0) return false;
  if (render_hooks.prepare_scene_render) render_hooks.prepare_scene_render();
  if (FAILED(d3d->BeginScene())) return false;
  d3d->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
  d3d->SetRenderState(D3DRS_LIGHTING, FALSE);
  d3d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
  d3d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  d3d->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
  d3d->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
  d3d->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
  d3d->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
  if (render_hooks.render_scene) render_hooks.render_scene(t);
  d3d->EndScene();
  if (q) q->Issue(D3DISSUE_END);
  cur_frame_query ^= 1;
  return true;
}

bool present_frame(bool wait) {
  PROFILE_BLOCK("present_frame", 0xFF8BC34A);
  if (!d3d) return false;
  HRESULT hr = d3d->PresentEx(nullptr, nullptr, nullptr, nullptr, wait ? 0 : D3DPRESENT_DONOTWAIT);
  if (hr != D3DERR_WASSTILLDRAWING) present_state = hr;
  return SUCCEEDED(hr);
}

// False while frames cannot be shown, so that the main loop sleeps instead of
// rendering and presenting for nobody: without a device, and while the window is
// occluded (minimised or hidden), which leaves the present state blocking frames.
bool check_d3d_device() {
  if (!d3d) return false;
  HRESULT hr = d3d->CheckDeviceState((HWND)get_main_window());
  if (hr == S_OK) {
    present_state = 0;
    return true;
  }
  if (hr == S_PRESENT_OCCLUDED) return false;
  if (hr == S_PRESENT_MODE_CHANGED) {
    debug("mode changed, calling resize_d3d()");
    return resize_d3d(d3d_wd, d3d_ht, isFullscreen, true);
  }
  fatal("Critical Direct3D failure (code %08X)", (unsigned)hr);
}

// Sets the resize guard for one scope; an exception passing through clears it too.
struct ResizeGuard {
  ResizeGuard() { in_resize = true; }
  ~ResizeGuard() { in_resize = false; }
};

bool resize_d3d(int width, int height, bool fullscreen, bool force) {
  if (in_resize) return false;
  ResizeGuard guard;
  if (!d3d) return false;
  if (!fullscreen && (width == 0 || height == 0)) {
    width = d3d_wd;
    height = d3d_ht;
  }
  if (!force && width == d3d_wd && height == d3d_ht && fullscreen == isFullscreen) return true;
  debug("=== resizing d3d to %dx%d %s", width, height, fullscreen ? "fullscreen" : "windowed");
  unbind_buffers_for_reset();
  release_screen_textures();
  release_queries();
  release_scene_surfaces();

  isFullscreen = fullscreen;
  D3DPRESENT_PARAMETERS pp;
  D3DDISPLAYMODEEX mode;
  choose_d3d_mode(pp, mode, width, height);
  pp.BackBufferWidth = width;
  pp.BackBufferHeight = height;
  HRESULT hr = d3d->ResetEx(&pp, fullscreen ? &mode : nullptr);
  if (FAILED(hr)) {
    debug("Reset failed (code 0x%08X)", (unsigned)hr);
    if (!fullscreen) use_flipex = false;
    return false;
  }
  present_state = 0;
  d3d_wd = pp.BackBufferWidth;
  d3d_ht = pp.BackBufferHeight;
  d3d_backbuffer_format = pp.BackBufferFormat;
  recreate_screen_textures();
  if (!create_scene_surfaces()) {
    debug("failed to recreate scene RT");
    return false;
  }
  create_queries();
  set_default_sampler_states();
  debug("resized d3d to %dx%d %s", d3d_wd, d3d_ht, fullscreen ? "fullscreen" : "windowed");
  if (render_hooks.resize_scene) render_hooks.resize_scene();
  return true;
}

void present_splash() {
  if (render_hooks.pump_messages) render_hooks.pump_messages();
  if (!d3d) return;
  if (SUCCEEDED(d3d->BeginScene())) {
    d3d->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    if (render_hooks.render_splash) render_hooks.render_splash();
    d3d->EndScene();
  }
  d3d->Present(nullptr, nullptr, nullptr, nullptr);
}

void get_d3d_modes(DynArray<D3dMode>& out) {
  D3DDISPLAYMODEEX desktop = {sizeof(desktop)};
  D3DFORMAT format = D3DFMT_X8R8G8B8;
  if (SUCCEEDED(d3d9->GetAdapterDisplayModeEx(0, &desktop, nullptr))) format = desktop.Format;
  D3DDISPLAYMODEFILTER filter = {sizeof(filter), format, D3DSCANLINEORDERING_PROGRESSIVE};
  UINT count = d3d9->GetAdapterModeCountEx(0, &filter);
  for (UINT i = 0; i < count; i++) {
    D3DDISPLAYMODEEX m = {sizeof(m)};
    if (FAILED(d3d9->EnumAdapterModesEx(0, &filter, i, &m))) continue;
    bool known = false;
    for (const D3dMode& k : out) known |= k.width == (int)m.Width && k.height == (int)m.Height;
    if (!known) out.push() = D3dMode{(int)m.Width, (int)m.Height};
  }
}
