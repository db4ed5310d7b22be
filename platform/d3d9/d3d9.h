#pragma once
// Direct3D 9Ex as the renderer calls it: the interfaces, methods, states, formats and
// result codes it uses, implemented over OpenGL 4.5 core (platform/d3d9/*.cpp).
//
// Pixels land where Direct3D 9 puts them: row 0 is the top row of every surface, pixel
// centres sit on whole coordinates, and clip-space depth runs 0..1. Render and sampler
// states start at Direct3D's defaults.
#include "platform/wintypes/wintypes.h"

#define D3D_SDK_VERSION 32
#define MAKEFOURCC(a, b, c, d) ((DWORD)(BYTE)(a) | ((DWORD)(BYTE)(b) << 8) | ((DWORD)(BYTE)(c) << 16) | ((DWORD)(BYTE)(d) << 24))

// Result codes.
#define D3D_OK S_OK
#define D3DERR_WASSTILLDRAWING ((HRESULT)0x8876021C)
#define D3DERR_OUTOFVIDEOMEMORY ((HRESULT)0x8876017C)
#define D3DERR_NOTAVAILABLE ((HRESULT)0x8876086A)
#define D3DERR_DEVICELOST ((HRESULT)0x88760868)
#define D3DERR_INVALIDCALL ((HRESULT)0x8876086C)
#define D3DERR_DEVICEREMOVED ((HRESULT)0x88760870)
#define D3DERR_DEVICEHUNG ((HRESULT)0x88760874)
#define S_PRESENT_OCCLUDED ((HRESULT)0x08760868)
#define S_PRESENT_MODE_CHANGED ((HRESULT)0x0876087F)

typedef DWORD D3DCOLOR;

enum D3DFORMAT : uint32_t {
  D3DFMT_UNKNOWN = 0,
  D3DFMT_R8G8B8 = 20,
  D3DFMT_A8R8G8B8 = 21,
  D3DFMT_X8R8G8B8 = 22,
  D3DFMT_R5G6B5 = 23,
  D3DFMT_X1R5G5B5 = 24,
  D3DFMT_A1R5G5B5 = 25,
  D3DFMT_A4R4G4B4 = 26,
  D3DFMT_G16R16 = 34,
  D3DFMT_L8 = 50,
  D3DFMT_D24S8 = 75,
  D3DFMT_D16 = 80,
  D3DFMT_VERTEXDATA = 100,
  D3DFMT_INDEX16 = 101,
  D3DFMT_INDEX32 = 102,
  D3DFMT_R16F = 111,
  D3DFMT_G16R16F = 112,
  D3DFMT_A16B16G16R16F = 113,
  D3DFMT_R32F = 114,
  D3DFMT_G32R32F = 115,
  D3DFMT_A32B32G32R32F = 116,
  D3DFMT_DXT1 = MAKEFOURCC('D', 'X', 'T', '1'),
  D3DFMT_DXT2 = MAKEFOURCC('D', 'X', 'T', '2'),
  D3DFMT_DXT3 = MAKEFOURCC('D', 'X', 'T', '3'),
  D3DFMT_DXT4 = MAKEFOURCC('D', 'X', 'T', '4'),
  D3DFMT_DXT5 = MAKEFOURCC('D', 'X', 'T', '5'),
};

enum D3DDEVTYPE : uint32_t { D3DDEVTYPE_HAL = 1 };
enum D3DRESOURCETYPE : uint32_t { D3DRTYPE_SURFACE = 1, D3DRTYPE_TEXTURE = 3, D3DRTYPE_VERTEXBUFFER = 6, D3DRTYPE_INDEXBUFFER = 7 };
enum D3DPOOL : uint32_t { D3DPOOL_DEFAULT = 0, D3DPOOL_MANAGED = 1, D3DPOOL_SYSTEMMEM = 2, D3DPOOL_SCRATCH = 3 };
enum D3DMULTISAMPLE_TYPE : uint32_t { D3DMULTISAMPLE_NONE = 0, D3DMULTISAMPLE_NONMASKABLE = 1 };
enum D3DSWAPEFFECT : uint32_t { D3DSWAPEFFECT_DISCARD = 1, D3DSWAPEFFECT_FLIP = 2, D3DSWAPEFFECT_COPY = 3, D3DSWAPEFFECT_FLIPEX = 5 };
enum D3DSCANLINEORDERING : uint32_t { D3DSCANLINEORDERING_UNKNOWN = 0, D3DSCANLINEORDERING_PROGRESSIVE = 1, D3DSCANLINEORDERING_INTERLACED = 2 };
enum D3DDISPLAYROTATION : uint32_t { D3DDISPLAYROTATION_IDENTITY = 1 };
enum D3DBACKBUFFER_TYPE : uint32_t { D3DBACKBUFFER_TYPE_MONO = 0 };
enum D3DQUERYTYPE : uint32_t { D3DQUERYTYPE_EVENT = 8 };
enum D3DTEXTUREFILTERTYPE : uint32_t { D3DTEXF_NONE = 0, D3DTEXF_POINT = 1, D3DTEXF_LINEAR = 2 };
enum D3DPRIMITIVETYPE : uint32_t {
  D3DPT_POINTLIST = 1,
  D3DPT_LINELIST = 2,
  D3DPT_LINESTRIP = 3,
  D3DPT_TRIANGLELIST = 4,
  D3DPT_TRIANGLESTRIP = 5,
  D3DPT_TRIANGLEFAN = 6,
};
enum D3DTRANSFORMSTATETYPE : uint32_t { D3DTS_VIEW = 2, D3DTS_PROJECTION = 3, D3DTS_WORLD = 256 };

#define D3DCREATE_SOFTWARE_VERTEXPROCESSING 0x00000020u
#define D3DCREATE_HARDWARE_VERTEXPROCESSING 0x00000040u
#define D3DPRESENT_INTERVAL_DEFAULT 0x00000000u
#define D3DPRESENT_INTERVAL_ONE 0x00000001u
#define D3DPRESENT_INTERVAL_IMMEDIATE 0x80000000u
#define D3DPRESENT_DONOTWAIT 0x00000001u

#define D3DUSAGE_RENDERTARGET 0x00000001u
#define D3DUSAGE_DEPTHSTENCIL 0x00000002u
#define D3DUSAGE_WRITEONLY 0x00000008u
#define D3DUSAGE_DYNAMIC 0x00000200u
#define D3DUSAGE_QUERY_POSTPIXELSHADER_BLENDING 0x00080000u
#define D3DUSAGE_QUERY_VERTEXTEXTURE 0x00100000u

#define D3DLOCK_READONLY 0x00000010u
#define D3DLOCK_NOSYSLOCK 0x00000800u
#define D3DLOCK_NOOVERWRITE 0x00001000u
#define D3DLOCK_DISCARD 0x00002000u

#define D3DISSUE_END (1u << 0)
#define D3DISSUE_BEGIN (1u << 1)
#define D3DGETDATA_FLUSH (1u << 0)

#define D3DCLEAR_TARGET 0x00000001u
#define D3DCLEAR_ZBUFFER 0x00000002u
#define D3DCLEAR_STENCIL 0x00000004u

#define D3DFVF_XYZ 0x002u

#define D3DSTREAMSOURCE_INDEXEDDATA (1u << 30)
#define D3DSTREAMSOURCE_INSTANCEDATA (2u << 30)

enum D3DRENDERSTATETYPE : uint32_t {
  D3DRS_ZENABLE = 7,
  D3DRS_FILLMODE = 8,
  D3DRS_SHADEMODE = 9,
  D3DRS_ZWRITEENABLE = 14,
  D3DRS_ALPHATESTENABLE = 15,
  D3DRS_LASTPIXEL = 16,
  D3DRS_SRCBLEND = 19,
  D3DRS_DESTBLEND = 20,
  D3DRS_CULLMODE = 22,
  D3DRS_ZFUNC = 23,
  D3DRS_ALPHAREF = 24,
  D3DRS_ALPHAFUNC = 25,
  D3DRS_DITHERENABLE = 26,
  D3DRS_ALPHABLENDENABLE = 27,
  D3DRS_FOGENABLE = 28,
  D3DRS_SPECULARENABLE = 29,
  D3DRS_STENCILENABLE = 52,
  D3DRS_STENCILFAIL = 53,
  D3DRS_STENCILZFAIL = 54,
  D3DRS_STENCILPASS = 55,
  D3DRS_STENCILFUNC = 56,
  D3DRS_STENCILREF = 57,
  D3DRS_STENCILMASK = 58,
  D3DRS_STENCILWRITEMASK = 59,
  D3DRS_TEXTUREFACTOR = 60,
  D3DRS_LIGHTING = 137,
  D3DRS_COLORWRITEENABLE = 168,
  D3DRS_BLENDOP = 171,
  D3DRS_SCISSORTESTENABLE = 174,
  D3DRS_SLOPESCALEDEPTHBIAS = 175,
  D3DRS_TWOSIDEDSTENCILMODE = 185,
  D3DRS_SRGBWRITEENABLE = 194,
  D3DRS_DEPTHBIAS = 195,
  D3DRS_SEPARATEALPHABLENDENABLE = 206,
  D3DRS_SRCBLENDALPHA = 207,
  D3DRS_DESTBLENDALPHA = 208,
  D3DRS_BLENDOPALPHA = 209,
};
#define D3D9_RENDER_STATE_COUNT 210

enum D3DZBUFFERTYPE : uint32_t { D3DZB_FALSE = 0, D3DZB_TRUE = 1 };
enum D3DFILLMODE : uint32_t { D3DFILL_POINT = 1, D3DFILL_WIREFRAME = 2, D3DFILL_SOLID = 3 };
enum D3DCULL : uint32_t { D3DCULL_NONE = 1, D3DCULL_CW = 2, D3DCULL_CCW = 3 };
enum D3DBLEND : uint32_t {
  D3DBLEND_ZERO = 1,
  D3DBLEND_ONE = 2,
  D3DBLEND_SRCCOLOR = 3,
  D3DBLEND_INVSRCCOLOR = 4,
  D3DBLEND_SRCALPHA = 5,
  D3DBLEND_INVSRCALPHA = 6,
  D3DBLEND_DESTALPHA = 7,
  D3DBLEND_INVDESTALPHA = 8,
  D3DBLEND_DESTCOLOR = 9,
  D3DBLEND_INVDESTCOLOR = 10,
  D3DBLEND_SRCALPHASAT = 11,
};
enum D3DBLENDOP : uint32_t { D3DBLENDOP_ADD = 1, D3DBLENDOP_SUBTRACT = 2, D3DBLENDOP_REVSUBTRACT = 3, D3DBLENDOP_MIN = 4, D3DBLENDOP_MAX = 5 };
enum D3DCMPFUNC : uint32_t {
  D3DCMP_NEVER = 1,
  D3DCMP_LESS = 2,
  D3DCMP_EQUAL = 3,
  D3DCMP_LESSEQUAL = 4,
  D3DCMP_GREATER = 5,
  D3DCMP_NOTEQUAL = 6,
  D3DCMP_GREATEREQUAL = 7,
  D3DCMP_ALWAYS = 8,
};
enum D3DSTENCILOP : uint32_t {
  D3DSTENCILOP_KEEP = 1,
  D3DSTENCILOP_ZERO = 2,
  D3DSTENCILOP_REPLACE = 3,
  D3DSTENCILOP_INCRSAT = 4,
  D3DSTENCILOP_DECRSAT = 5,
  D3DSTENCILOP_INVERT = 6,
  D3DSTENCILOP_INCR = 7,
  D3DSTENCILOP_DECR = 8,
};

enum D3DSAMPLERSTATETYPE : uint32_t {
  D3DSAMP_ADDRESSU = 1,
  D3DSAMP_ADDRESSV = 2,
  D3DSAMP_ADDRESSW = 3,
  D3DSAMP_BORDERCOLOR = 4,
  D3DSAMP_MAGFILTER = 5,
  D3DSAMP_MINFILTER = 6,
  D3DSAMP_MIPFILTER = 7,
  D3DSAMP_MIPMAPLODBIAS = 8,
  D3DSAMP_MAXMIPLEVEL = 9,
  D3DSAMP_MAXANISOTROPY = 10,
  D3DSAMP_SRGBTEXTURE = 11,
};
#define D3D9_SAMPLER_STATE_COUNT 14
enum D3DTEXTUREADDRESS : uint32_t {
  D3DTADDRESS_WRAP = 1,
  D3DTADDRESS_MIRROR = 2,
  D3DTADDRESS_CLAMP = 3,
  D3DTADDRESS_BORDER = 4,
  D3DTADDRESS_MIRRORONCE = 5,
};

enum D3DTEXTURESTAGESTATETYPE : uint32_t {
  D3DTSS_COLOROP = 1,
  D3DTSS_COLORARG1 = 2,
  D3DTSS_COLORARG2 = 3,
  D3DTSS_ALPHAOP = 4,
  D3DTSS_ALPHAARG1 = 5,
  D3DTSS_ALPHAARG2 = 6,
};
#define D3DTOP_MODULATE 4u
#define D3DTA_DIFFUSE 0x00000000u
#define D3DTA_TEXTURE 0x00000002u

// Vertex declarations.
enum D3DDECLTYPE : uint8_t {
  D3DDECLTYPE_FLOAT1 = 0,
  D3DDECLTYPE_FLOAT2 = 1,
  D3DDECLTYPE_FLOAT3 = 2,
  D3DDECLTYPE_FLOAT4 = 3,
  D3DDECLTYPE_D3DCOLOR = 4,
  D3DDECLTYPE_UBYTE4 = 5,
  D3DDECLTYPE_SHORT2 = 6,
  D3DDECLTYPE_SHORT4 = 7,
  D3DDECLTYPE_UBYTE4N = 8,
  D3DDECLTYPE_SHORT2N = 9,
  D3DDECLTYPE_SHORT4N = 10,
  D3DDECLTYPE_USHORT2N = 11,
  D3DDECLTYPE_USHORT4N = 12,
  D3DDECLTYPE_FLOAT16_2 = 15,
  D3DDECLTYPE_FLOAT16_4 = 16,
  D3DDECLTYPE_UNUSED = 17,
};
enum D3DDECLMETHOD : uint8_t { D3DDECLMETHOD_DEFAULT = 0 };
enum D3DDECLUSAGE : uint8_t {
  D3DDECLUSAGE_POSITION = 0,
  D3DDECLUSAGE_BLENDWEIGHT = 1,
  D3DDECLUSAGE_BLENDINDICES = 2,
  D3DDECLUSAGE_NORMAL = 3,
  D3DDECLUSAGE_PSIZE = 4,
  D3DDECLUSAGE_TEXCOORD = 5,
  D3DDECLUSAGE_TANGENT = 6,
  D3DDECLUSAGE_BINORMAL = 7,
  D3DDECLUSAGE_COLOR = 10,
};

struct D3DVERTEXELEMENT9 {
  WORD Stream;
  WORD Offset;
  BYTE Type;
  BYTE Method;
  BYTE Usage;
  BYTE UsageIndex;
};
#define D3DDECL_END() {0xFF, 0, D3DDECLTYPE_UNUSED, 0, 0, 0}

struct D3DPRESENT_PARAMETERS {
  UINT BackBufferWidth;
  UINT BackBufferHeight;
  D3DFORMAT BackBufferFormat;
  UINT BackBufferCount;
  D3DMULTISAMPLE_TYPE MultiSampleType;
  DWORD MultiSampleQuality;
  D3DSWAPEFFECT SwapEffect;
  HWND hDeviceWindow;
  BOOL Windowed;
  BOOL EnableAutoDepthStencil;
  D3DFORMAT AutoDepthStencilFormat;
  DWORD Flags;
  UINT FullScreen_RefreshRateInHz;
  UINT PresentationInterval;
};

struct D3DDISPLAYMODEEX {
  UINT Size;
  UINT Width;
  UINT Height;
  UINT RefreshRate;
  D3DFORMAT Format;
  D3DSCANLINEORDERING ScanLineOrdering;
};

struct D3DDISPLAYMODEFILTER {
  UINT Size;
  D3DFORMAT Format;
  D3DSCANLINEORDERING ScanLineOrdering;
};

struct D3DLOCKED_RECT {
  INT Pitch;
  void* pBits;
};

struct D3DSURFACE_DESC {
  D3DFORMAT Format;
  D3DRESOURCETYPE Type;
  DWORD Usage;
  D3DPOOL Pool;
  D3DMULTISAMPLE_TYPE MultiSampleType;
  DWORD MultiSampleQuality;
  UINT Width;
  UINT Height;
};

struct D3DVIEWPORT9 {
  DWORD X, Y, Width, Height;
  float MinZ, MaxZ;
};

struct D3DRECT {
  LONG x1, y1, x2, y2;
};

struct D3DMATRIX {
  float m[4][4];
};

struct RGNDATA;

// ---------------------------------------------------------------------------------
// Interfaces. Every object is reference counted: it starts with one reference and is
// destroyed by the Release that drops the last one.

class D3d9Device;
struct D3d9GlTexture;

class D3d9Object {
public:
  ULONG AddRef() { return ++refs; }
  ULONG Release();

protected:
  D3d9Object() = default;
  virtual ~D3d9Object() = default;
  D3d9Object(const D3d9Object&) = delete;
  D3d9Object& operator=(const D3d9Object&) = delete;
  ULONG refs = 1;
};

class IDirect3DSurface9;

class IDirect3DTexture9 : public D3d9Object {
public:
  DWORD GetLevelCount();
  HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc);
  HRESULT GetSurfaceLevel(UINT level, IDirect3DSurface9** surface);
  HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags);
  HRESULT UnlockRect(UINT level);

  // Layer internals.
  struct Impl;
  Impl* impl = nullptr;
  ~IDirect3DTexture9() override;
};

class IDirect3DSurface9 : public D3d9Object {
public:
  HRESULT GetDesc(D3DSURFACE_DESC* desc);
  HRESULT LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags);
  HRESULT UnlockRect();

  struct Impl;
  Impl* impl = nullptr;
  ~IDirect3DSurface9() override;
};

class IDirect3DVertexBuffer9 : public D3d9Object {
public:
  HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags);
  HRESULT Unlock();

  struct Impl;
  Impl* impl = nullptr;
  ~IDirect3DVertexBuffer9() override;
};

class IDirect3DIndexBuffer9 : public D3d9Object {
public:
  HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags);
  HRESULT Unlock();

  struct Impl;
  Impl* impl = nullptr;
  ~IDirect3DIndexBuffer9() override;
};

class IDirect3DVertexDeclaration9 : public D3d9Object {
public:
  // With elements null only the count (the end element included) is given.
  HRESULT GetDeclaration(D3DVERTEXELEMENT9* elements, UINT* count);

  struct Impl;
  Impl* impl = nullptr;
  ~IDirect3DVertexDeclaration9() override;
};

class IDirect3DVertexShader9 : public D3d9Object {
public:
  struct Impl;
  Impl* impl = nullptr;
  ~IDirect3DVertexShader9() override;
};

class IDirect3DPixelShader9 : public D3d9Object {
public:
  struct Impl;
  Impl* impl = nullptr;
  ~IDirect3DPixelShader9() override;
};

class IDirect3DQuery9 : public D3d9Object {
public:
  HRESULT Issue(DWORD flags);
  // S_OK once the GPU passed the point of the last Issue(D3DISSUE_END), else S_FALSE.
  HRESULT GetData(void* data, DWORD size, DWORD flags);

  struct Impl;
  Impl* impl = nullptr;
  ~IDirect3DQuery9() override;
};

class IDirect3DDevice9Ex : public D3d9Object {
public:
  HRESULT BeginScene();
  HRESULT EndScene();
  HRESULT Present(const RECT* src, const RECT* dst, HWND window, const RGNDATA* dirty);
  HRESULT PresentEx(const RECT* src, const RECT* dst, HWND window, const RGNDATA* dirty, DWORD flags);
  HRESULT CheckDeviceState(HWND window);
  HRESULT ResetEx(D3DPRESENT_PARAMETERS* pp, D3DDISPLAYMODEEX* fullscreen_mode);
  UINT GetAvailableTextureMem();

  HRESULT CreateQuery(D3DQUERYTYPE type, IDirect3DQuery9** query);
  HRESULT CreateTexture(UINT w, UINT h, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                        IDirect3DTexture9** texture, HANDLE* shared);
  HRESULT CreateRenderTarget(UINT w, UINT h, D3DFORMAT format, D3DMULTISAMPLE_TYPE ms, DWORD quality,
                             BOOL lockable, IDirect3DSurface9** surface, HANDLE* shared);
  HRESULT CreateDepthStencilSurface(UINT w, UINT h, D3DFORMAT format, D3DMULTISAMPLE_TYPE ms, DWORD quality,
                                    BOOL discard, IDirect3DSurface9** surface, HANDLE* shared);
  HRESULT CreateOffscreenPlainSurface(UINT w, UINT h, D3DFORMAT format, D3DPOOL pool, IDirect3DSurface9** surface,
                                      HANDLE* shared);
  HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool, IDirect3DVertexBuffer9** vb,
                             HANDLE* shared);
  HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool, IDirect3DIndexBuffer9** ib,
                            HANDLE* shared);
  HRESULT CreateVertexDeclaration(const D3DVERTEXELEMENT9* elements, IDirect3DVertexDeclaration9** decl);
  // The "byte code" is the NUL-terminated GLSL text of one stage (see d3dcompiler.h).
  HRESULT CreateVertexShader(const DWORD* code, IDirect3DVertexShader9** shader);
  HRESULT CreatePixelShader(const DWORD* code, IDirect3DPixelShader9** shader);

  HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value);
  HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value);
  HRESULT SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value);
  HRESULT GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value);
  HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value);
  HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix);
  HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix);
  HRESULT SetScissorRect(const RECT* rect);
  HRESULT SetViewport(const D3DVIEWPORT9* viewport);
  HRESULT GetViewport(D3DVIEWPORT9* viewport);

  HRESULT SetTexture(DWORD sampler, IDirect3DTexture9* texture);
  HRESULT SetVertexDeclaration(IDirect3DVertexDeclaration9* decl);
  HRESULT SetFVF(DWORD fvf);
  HRESULT SetStreamSource(UINT stream, IDirect3DVertexBuffer9* vb, UINT offset, UINT stride);
  HRESULT SetStreamSourceFreq(UINT stream, UINT setting);
  HRESULT SetIndices(IDirect3DIndexBuffer9* ib);
  HRESULT SetVertexShader(IDirect3DVertexShader9* shader);
  HRESULT SetPixelShader(IDirect3DPixelShader9* shader);
  HRESULT SetVertexShaderConstantF(UINT first, const float* data, UINT count);
  HRESULT SetPixelShaderConstantF(UINT first, const float* data, UINT count);

  HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, UINT first_vertex, UINT prims);
  HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT base_vertex, UINT min_index, UINT num_vertices,
                               UINT start_index, UINT prims);
  HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT prims, const void* data, UINT stride);
  HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil);

  HRESULT GetBackBuffer(UINT swap_chain, UINT index, D3DBACKBUFFER_TYPE type, IDirect3DSurface9** surface);
  HRESULT SetRenderTarget(DWORD index, IDirect3DSurface9* surface);
  HRESULT GetRenderTarget(DWORD index, IDirect3DSurface9** surface);
  HRESULT SetDepthStencilSurface(IDirect3DSurface9* surface);
  HRESULT GetDepthStencilSurface(IDirect3DSurface9** surface);
  HRESULT StretchRect(IDirect3DSurface9* src, const RECT* src_rect, IDirect3DSurface9* dst, const RECT* dst_rect,
                      D3DTEXTUREFILTERTYPE filter);
  HRESULT UpdateSurface(IDirect3DSurface9* src, const RECT* src_rect, IDirect3DSurface9* dst, const POINT* dst_point);
  HRESULT GetRenderTargetData(IDirect3DSurface9* render_target, IDirect3DSurface9* dst);
  HRESULT GetFrontBufferData(UINT swap_chain, IDirect3DSurface9* dst);

  D3d9Device* impl = nullptr;
  ~IDirect3DDevice9Ex() override;
};

class IDirect3D9Ex : public D3d9Object {
public:
  HRESULT GetAdapterDisplayModeEx(UINT adapter, D3DDISPLAYMODEEX* mode, D3DDISPLAYROTATION* rotation);
  UINT GetAdapterModeCountEx(UINT adapter, const D3DDISPLAYMODEFILTER* filter);
  HRESULT EnumAdapterModesEx(UINT adapter, const D3DDISPLAYMODEFILTER* filter, UINT index, D3DDISPLAYMODEEX* mode);
  HRESULT CheckDeviceMultiSampleType(UINT adapter, D3DDEVTYPE type, D3DFORMAT format, BOOL windowed,
                                     D3DMULTISAMPLE_TYPE ms, DWORD* quality_levels);
  HRESULT CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapter_format, DWORD usage,
                            D3DRESOURCETYPE rtype, D3DFORMAT check_format);
  HRESULT CreateDeviceEx(UINT adapter, D3DDEVTYPE type, HWND focus, DWORD behavior, D3DPRESENT_PARAMETERS* pp,
                         D3DDISPLAYMODEEX* fullscreen_mode, IDirect3DDevice9Ex** device);
};

HRESULT Direct3DCreate9Ex(UINT sdk_version, IDirect3D9Ex** out);
