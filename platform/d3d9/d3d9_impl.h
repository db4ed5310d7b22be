#pragma once
// Internals of the Direct3D layer shared by its source files.
#include "platform/d3d9/d3d9.h"
#include "platform/d3d9/d3d9_platform.h"

#include <epoxy/gl.h>
#include <cstdarg>
#include <string>
#include <vector>

// ---- formats ----------------------------------------------------------------------
struct GlFormat {
  D3DFORMAT d3d;
  GLenum internal;    // sized internal format
  GLenum format;      // upload format (or 0 for compressed)
  GLenum type;        // upload type
  int bytes_per_pixel;  // 0 for block-compressed formats
  int block_bytes;      // bytes per 4x4 block (compressed only)
  GLint swizzle[4];     // what the shader reads for r, g, b, a
  bool renderable;
};
const GlFormat* gl_format(D3DFORMAT format);
// Bytes of one row of pixels (of 4x4 blocks for compressed formats) and the row count.
int format_pitch(const GlFormat* f, int width);
int format_rows(const GlFormat* f, int height);
// A8R8G8B8 and X8R8G8B8 have Direct3D's memory order, B, G, R, A. Textures that are
// never drawn into ask the driver for storage in that order, so their texels go up as
// they are, copied. Render targets have sized storage, which GL only offers as R, G, B,
// A; the driver would convert B, G, R, A texels into it one at a time (many times
// slower), so for them the rows are reordered here into `staging`, many texels a step,
// and go up as R, G, B, A bytes.
bool is_bgra8(const GlFormat* f);
// Texels to upload as the driver stores them: w x h texels, rows `pitch` bytes apart,
// into storage of B, G, R, A order or not.
struct UploadTexels {
  const void* data;
  GLenum format, type;
  GLint row_length;  // in texels; 0 when rows are packed
};
UploadTexels upload_texels(const GlFormat* f, bool bgra_storage, const uint8_t* texels, int pitch, int w, int h,
                           std::vector<uint8_t>& staging);

// ---- recording --------------------------------------------------------------------
extern std::vector<std::string>* d3d9_recorder;
void d3d9_record(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
// A result forced by d3d9_force_result for this method: true (and *hr set) while one
// is pending.
bool d3d9_forced_result(const char* method, HRESULT* hr);
#define D3D9_REC(...)                  \
  do {                                 \
    if (d3d9_recorder) [[unlikely]]    \
      d3d9_record(__VA_ARGS__);        \
  } while (0)

// ---- GL context ---------------------------------------------------------------------
struct GlContext;
// Creates a GL 4.5 core context, on the registered SDL window of `window` or
// surfaceless; null on failure (the reason is logged to standard error).
GlContext* gl_context_create(HWND window);
void gl_context_destroy(GlContext* ctx);
void gl_context_make_current(GlContext* ctx);
bool gl_context_has_window(GlContext* ctx);
void gl_context_drawable_size(GlContext* ctx, int* w, int* h);
void gl_context_swap(GlContext* ctx, GLuint back_texture, int w, int h, int interval);
// True while the window shows nothing of what is presented to it: minimised or
// hidden, as the window layer (or, for a window registered without it, SDL) tells.
// No window, or a handle that is no window, can always be presented to.
bool d3d9_window_occluded(HWND window);

// ---- resources ----------------------------------------------------------------------
struct TexLevel {
  int width = 0, height = 0, pitch = 0, rows = 0;
  std::vector<uint8_t> cpu;  // the CPU copy (locks, system-memory pools)
  bool locked = false;
  bool lock_readonly = false;
  RECT dirty = {};  // what the last lock may have changed, uploaded at its unlock
};

struct IDirect3DTexture9::Impl {
  D3d9Device* dev = nullptr;
  const GlFormat* fmt = nullptr;
  D3DFORMAT format = D3DFMT_UNKNOWN;
  DWORD usage = 0;
  D3DPOOL pool = D3DPOOL_DEFAULT;
  GLuint tex = 0;  // 0 for system-memory and scratch textures
  std::vector<TexLevel> levels;
  bool gpu() const { return tex != 0; }
  // The driver keeps the texels in B, G, R, A order (see is_bgra8).
  bool bgra_storage() const { return is_bgra8(fmt) && !(usage & D3DUSAGE_RENDERTARGET); }
};
void texture_upload_level(IDirect3DTexture9* t, UINT level);
void texture_download_level(IDirect3DTexture9* t, UINT level);

// A surface is a texture level, an own GL image (render target or depth surface,
// possibly multisampled) or CPU memory (system-memory and scratch surfaces).
struct IDirect3DSurface9::Impl {
  D3d9Device* dev = nullptr;
  IDirect3DTexture9* owner = nullptr;  // texture level surface: holds a reference
  UINT level = 0;
  // own storage
  const GlFormat* fmt = nullptr;
  D3DFORMAT format = D3DFMT_UNKNOWN;
  DWORD usage = 0;
  D3DPOOL pool = D3DPOOL_DEFAULT;
  int width = 0, height = 0, samples = 0;
  D3DMULTISAMPLE_TYPE ms = D3DMULTISAMPLE_NONE;
  DWORD ms_quality = 0;
  GLuint tex = 0, rb = 0;
  TexLevel cpu;
  bool is_depth = false;
};
// The GL image behind a surface for framebuffer attachment: a texture (level) or a
// renderbuffer; false for CPU surfaces.
struct GlImage {
  GLuint name = 0;
  bool renderbuffer = false;
  GLint level = 0;
  int width = 0, height = 0, samples = 0;
  bool depth = false;
  bool bgra_storage = false;
};
bool surface_gl_image(IDirect3DSurface9* s, GlImage* out);
TexLevel* surface_cpu(IDirect3DSurface9* s);
const GlFormat* surface_format(IDirect3DSurface9* s);
IDirect3DSurface9* make_texture_surface(IDirect3DTexture9* t, UINT level);

struct IDirect3DVertexBuffer9::Impl {
  D3d9Device* dev = nullptr;
  GLuint buf = 0;
  UINT size = 0;
  DWORD usage = 0;
  std::vector<uint8_t> cpu;
  UINT lock_offset = 0, lock_size = 0;
  bool locked = false;
  // Written bytes not yet given to GL: uploaded when a draw needs them, so a ring
  // buffer locked whole but filled in part costs only what was drawn.
  UINT dirty_lo = 0, dirty_hi = 0;
  bool orphan = false;  // the next upload takes fresh storage (a discarding lock)
  UINT gl_size = 0;     // bytes of the GL storage
  // Dynamic buffers live in the device's streaming ring: their bytes [0, valid_hi) are
  // at stream_base there, in a region of stream_cap bytes handed out at stream_at.
  bool streamed = false;
  size_t stream_base = 0;
  uint64_t stream_at = 0;
  UINT stream_cap = 0, valid_hi = 0;
};
// Gives GL the written bytes of a vertex buffer up to `needed_hi` (all of them for ~0u).
void vertex_buffer_upload(IDirect3DVertexBuffer9* vb, UINT needed_hi);
struct IDirect3DIndexBuffer9::Impl {
  D3d9Device* dev = nullptr;
  GLuint buf = 0;
  UINT size = 0;
  DWORD usage = 0;
  D3DFORMAT format = D3DFMT_INDEX16;
  std::vector<uint8_t> cpu;
  UINT lock_offset = 0, lock_size = 0;
  bool locked = false;
};
struct IDirect3DVertexDeclaration9::Impl {
  std::vector<D3DVERTEXELEMENT9> elements;  // with the end element
};
struct IDirect3DVertexShader9::Impl {
  GLuint program = 0;
  D3d9Device* dev = nullptr;
};
// A pixel shader is two programs: without the alpha test, and with it (data/d3d9.inc).
struct IDirect3DPixelShader9::Impl {
  GLuint program = 0;
  D3d9Device* dev = nullptr;
  GLuint alpha_test_program = 0;
};
struct IDirect3DQuery9::Impl {
  D3d9Device* dev = nullptr;
  GLsync fence = nullptr;
};

// ---- the device ---------------------------------------------------------------------
constexpr int D3D9_SAMPLERS = 16;
constexpr int D3D9_STREAMS = 16;
constexpr int D3D9_VS_CONSTS = 256;
constexpr int D3D9_PS_CONSTS = 224;
constexpr int D3D9_RENDER_TARGETS = 4;

// The streaming ring: one persistently mapped GL buffer that dynamic vertex buffers are
// copied into, region after region; four fenced segments keep the CPU from writing
// where the GPU still reads.
struct StreamRing {
  GLuint buf = 0;
  uint8_t* ptr = nullptr;
  size_t size = 0;
  size_t head = 0;
  uint64_t total = 0;  // bytes handed out so far
  int segment = 0;     // the segment head is in
  GLsync fences[4] = {};
};
bool stream_ring_init(StreamRing& ring, size_t size);
void stream_ring_release(StreamRing& ring);
// Offset of n fresh bytes (aligned to 256).
size_t stream_ring_alloc(StreamRing& ring, size_t n);

struct StreamBinding {
  IDirect3DVertexBuffer9* vb = nullptr;
  UINT offset = 0, stride = 0, freq = 1;
};

class D3d9Device {
public:
  IDirect3DDevice9Ex* owner = nullptr;
  GlContext* ctx = nullptr;
  HWND window = nullptr;
  D3DPRESENT_PARAMETERS pp{};
  int bb_width = 0, bb_height = 0;
  IDirect3DTexture9* back_buffer = nullptr;  // RGBA8 offscreen colour image
  GLuint front_copy = 0;                     // what the last present showed
  int front_width = 0, front_height = 0;
  bool in_scene = false;

  DWORD rs[D3D9_RENDER_STATE_COUNT] = {};
  DWORD ss[D3D9_SAMPLERS][D3D9_SAMPLER_STATE_COUNT] = {};
  bool rs_dirty = true;
  bool ss_dirty[D3D9_SAMPLERS] = {};
  D3DMATRIX transforms[3];  // world, view, projection
  D3DVIEWPORT9 viewport{};
  RECT scissor{};

  IDirect3DTexture9* textures[D3D9_SAMPLERS] = {};
  IDirect3DVertexDeclaration9* vdecl = nullptr;
  DWORD fvf = 0;
  StreamBinding streams[D3D9_STREAMS];
  IDirect3DIndexBuffer9* indices = nullptr;
  IDirect3DVertexShader9* vs = nullptr;
  IDirect3DPixelShader9* ps = nullptr;
  float vs_consts[D3D9_VS_CONSTS][4] = {};
  float ps_consts[D3D9_PS_CONSTS][4] = {};
  int vs_dirty_lo = 0, vs_dirty_hi = D3D9_VS_CONSTS;  // dirty register range [lo, hi)
  int ps_dirty_lo = 0, ps_dirty_hi = D3D9_PS_CONSTS;
  IDirect3DSurface9* targets[D3D9_RENDER_TARGETS] = {};
  IDirect3DSurface9* depth = nullptr;
  bool fbo_dirty = true;
  bool pipeline_dirty = true;
  bool alpha_test_bound = false;  // the pipeline holds the pixel shader's alpha-test program

  // GL objects
  GLuint fbo = 0, blit_read = 0, blit_draw = 0;
  GLuint vao = 0, pipeline = 0;
  GLuint samplers[D3D9_SAMPLERS] = {};
  GLuint ubo_vs = 0, ubo_ps = 0, ubo_layer = 0;
  GLuint up_buffer = 0;  // user-memory draws
  StreamRing stream;
  float layer_shadow[8] = {-1};        // the layer block as last uploaded
  GLuint bound_textures[D3D9_SAMPLERS] = {};  // GL textures bound to the units
  UINT up_size = 0;
  IDirect3DVertexDeclaration9* fvf_xyz_decl = nullptr;
  GLint max_samples = 1;
  size_t texture_bytes = 0;
  std::vector<uint8_t> upload_staging;  // texels reordered for upload_texels

  bool init(HWND focus, D3DPRESENT_PARAMETERS* params);
  bool reset(D3DPRESENT_PARAMETERS* params);
  void shutdown();
  bool create_back_buffer();
  void release_back_buffer();
  void set_defaults();
  void make_current() const;

  // Brings GL up to date with the recorded state before a draw or a clear.
  bool apply_framebuffer();
  void apply_draw_state();
  bool apply_vertex_input(UINT vertex_end);
  void upload_constants();
  // Whether the alpha test can drop a pixel: the pixel shader's program then has to apply it.
  bool alpha_test_active() const;
  int samples_for(D3DMULTISAMPLE_TYPE ms, DWORD quality) const;
};

// The alphas that pass the alpha test of comparison `func` (D3DCMP_NEVER to
// D3DCMP_GREATEREQUAL) against the byte `ref`, as data/d3d9.inc reads them: those from
// out[0] up to (not including) out[1], or those outside when out[2] is 1; out[3] is 0.
void alpha_test_range(DWORD func, DWORD ref, float out[4]);

// The device whose GL context exists; resources of a device already gone skip their
// GL clean-up (the context took their GL objects with it).
extern D3d9Device* d3d9_live_device;
inline bool device_alive(D3d9Device* dev) { return dev && dev == d3d9_live_device; }

// Blits between GL images through the device's two blit framebuffers; rectangles are
// in D3D surface coordinates (row 0 at the top, which is also GL's first row here).
bool device_blit(D3d9Device* dev, const GlImage& src, const RECT& sr, const GlImage& dst, const RECT& dr,
                 GLenum filter);
