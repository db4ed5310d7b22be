#pragma once
// The one Direct3D device of the program: creation, display modes, frames, presenting,
// device checks, resets and shut-down. Every other renderer module works on `d3d`.
#include "platform/d3d9/d3d9.h"
#include "engine/core/dynarray.h"

extern IDirect3D9Ex* d3d9;       // the Direct3D object; null while there is none
extern IDirect3DDevice9Ex* d3d;  // the device; null while there is none
extern int d3d_wd, d3d_ht;       // back-buffer size as last created or reset
extern bool d3d_limit_buffered_frames;  // skip a frame while the GPU is two behind
extern bool app_use_aa;                 // multisampling wanted ("-aa"/"-noaa")
extern bool d3d_no_scene_target;        // no separate scene colour surface
extern D3DFORMAT d3d_backbuffer_format;
extern D3DMULTISAMPLE_TYPE d3d_multisample_type;
extern DWORD d3d_multisample_quality;
extern IDirect3DSurface9* d3d_scene_color;  // null while d3d_no_scene_target is set
extern IDirect3DSurface9* d3d_scene_depth;
extern IDirect3DQuery9* flush_query;
extern bool isFullscreen;   // the display mode wanted and, after resize_d3d, in use
extern bool app_use_vsync;  // present on the vertical blank ("vsync", "-vs"/"-novs")

struct D3dMode {
  int width, height;
};

bool init_d3d(HWND window, int width, int height);
void choose_d3d_mode(D3DPRESENT_PARAMETERS& pp, D3DDISPLAYMODEEX& mode, int& width, int& height);
void get_d3d_modes(DynArray<D3dMode>& out);
bool render_d3d(float t);
bool present_frame(bool wait);
bool check_d3d_device();
bool resize_d3d(int width, int height, bool fullscreen, bool force);
void present_splash();
void close_d3d();

// A scene outside render_d3d: begin_scene is false without a device or on failure.
bool begin_scene();
void end_scene();

// Own pixel-format codes 1..12 <-> Direct3D formats; anything else maps to 0.
D3DFORMAT to_d3d_format(int code);
int from_d3d_format(D3DFORMAT format);
bool check_rt_format(int code);
bool check_vertex_texture_format(int code);

// The last present result (0: frames may be rendered); for the shell's checks.
HRESULT get_present_state();
