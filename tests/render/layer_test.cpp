// Pixels drawn by the Direct3D layer on llvmpipe, compared with what Direct3D 9 draws:
// expected values are computed here from the inputs.
#include "layer_fixture.h"
#include "platform/d3d9/d3d9_impl.h"  // the GL objects behind the interfaces

#include <cmath>
#include <cstring>

namespace {

uint32_t texel(int x, int y) { return 0xFF000000u | (x * 31 + 7) << 16 | (y * 53 + 11) << 8 | ((x * 17 + y * 29) & 255); }

std::vector<uint32_t> pattern(int w, int h) {
  std::vector<uint32_t> t(w * h);
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) t[y * w + x] = texel(x, y);
  return t;
}

int channel(uint32_t c, int shift) { return (c >> shift) & 255; }

}  // namespace

TEST_F(LayerTest, ClearFillsTheViewportOnly) {
  ASSERT_EQ(dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF336699, 1.0f, 0), D3D_OK);
  D3DVIEWPORT9 vp = {4, 2, 8, 3, 0, 1};
  dev->SetViewport(&vp);
  ASSERT_EQ(dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0x80FF0000, 1.0f, 0), D3D_OK);
  std::vector<uint32_t> px = readBackBuffer();
  for (int y = 0; y < H; y++)
    for (int x = 0; x < W; x++) {
      bool inside = x >= 4 && x < 12 && y >= 2 && y < 5;
      EXPECT_EQ(px[y * W + x], inside ? 0x80FF0000u : 0xFF336699u) << x << "," << y;
    }
}

TEST_F(LayerTest, ClearWithDepthFailsWithoutADepthSurface) {
  EXPECT_EQ(dev->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3DERR_INVALIDCALL);
}

// A quad whose corners sit half a pixel outside the target samples every texel at its
// centre, with point and with linear filtering alike (linear within one step of a
// channel: the rasteriser's sub-pixel precision, as on Direct3D hardware).
TEST_F(LayerTest, TexturedQuadReproducesTexelsOneToOne) {
  IDirect3DTexture9* tex = makeTexture(W, H, pattern(W, H));
  for (DWORD filter : {D3DTEXF_POINT, D3DTEXF_LINEAR}) {
    dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    dev->SetTexture(0, tex);
    dev->SetSamplerState(0, D3DSAMP_MAGFILTER, filter);
    dev->SetSamplerState(0, D3DSAMP_MINFILTER, filter);
    useShader(true);
    drawQuad(-0.5f, -0.5f, W - 0.5f, H - 0.5f, 0xFFFFFFFF);
    std::vector<uint32_t> px = readBackBuffer();
    for (int y = 0; y < H; y++)
      for (int x = 0; x < W; x++)
        for (int shift : {24, 16, 8, 0})
          ASSERT_NEAR(channel(px[y * W + x], shift), channel(texel(x, y), shift), filter == D3DTEXF_POINT ? 0 : 1)
              << "filter " << filter << " at " << x << "," << y;
  }
  tex->Release();
}

TEST_F(LayerTest, PointSamplingMagnifiesTexelsIntoBlocks) {
  IDirect3DTexture9* tex = makeTexture(W / 2, H / 2, pattern(W / 2, H / 2));
  dev->SetTexture(0, tex);
  useShader(true);
  drawQuad(-0.5f, -0.5f, W - 0.5f, H - 0.5f, 0xFFFFFFFF);
  std::vector<uint32_t> px = readBackBuffer();
  for (int y = 0; y < H; y++)
    for (int x = 0; x < W; x++) ASSERT_EQ(px[y * W + x], texel(x / 2, y / 2)) << x << "," << y;
  tex->Release();
}

// Pixel centres are on whole coordinates: a quad from 2 to 5 covers pixels 2, 3, 4
// (a centre on the left/top edge is in, one on the right/bottom edge is out).
TEST_F(LayerTest, PixelCentresOnWholeCoordinates) {
  dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
  useShader(false);
  drawQuad(2.0f, 1.0f, 5.0f, 3.0f, 0xFFFFFFFF);
  std::vector<uint32_t> px = readBackBuffer();
  for (int y = 0; y < H; y++)
    for (int x = 0; x < W; x++) {
      bool inside = x >= 2 && x < 5 && y >= 1 && y < 3;
      EXPECT_EQ(px[y * W + x], inside ? 0xFFFFFFFFu : 0xFF000000u) << x << "," << y;
    }
}

TEST_F(LayerTest, AlphaBlendingMatchesTheBlendEquation) {
  const uint32_t dst = 0xFF2050F0, src = 0x80F0A010;
  dev->Clear(0, nullptr, D3DCLEAR_TARGET, dst, 1.0f, 0);
  dev->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  dev->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  dev->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  useShader(false);
  drawQuad(-0.5f, -0.5f, W - 0.5f, H - 0.5f, src);
  float a = channel(src, 24) / 255.0f;
  uint32_t px = readBackBuffer()[3 * W + 5];
  for (int shift : {16, 8, 0}) {
    float want = channel(src, shift) * a + channel(dst, shift) * (1 - a);
    EXPECT_NEAR(channel(px, shift), want, 1.0) << "channel at bit " << shift;
  }
  // Additive blending of both colours saturates.
  dev->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
  dev->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
  drawQuad(-0.5f, -0.5f, W - 0.5f, H - 0.5f, 0xFFFFFFFF);
  EXPECT_EQ(readBackBuffer()[0], 0xFFFFFFFFu);
}

// The default cull mode (counter-clockwise) keeps triangles that run clockwise on the
// screen and drops the others.
TEST_F(LayerTest, CullingFollowsScreenWinding) {
  struct Case {
    DWORD cull;
    bool clockwise;
    bool drawn;
  } cases[] = {{D3DCULL_CCW, true, true},  {D3DCULL_CCW, false, false}, {D3DCULL_CW, true, false},
               {D3DCULL_CW, false, true},  {D3DCULL_NONE, false, true}};
  useShader(false);
  for (const Case& c : cases) {
    dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    dev->SetRenderState(D3DRS_CULLMODE, c.cull);
    QuadVertex cw[3] = {{-0.5f, -0.5f, 0xFFFFFFFF, 0, 0}, {W * 2.0f, -0.5f, 0xFFFFFFFF, 0, 0},
                        {-0.5f, H * 2.0f, 0xFFFFFFFF, 0, 0}};
    if (!c.clockwise) std::swap(cw[1], cw[2]);
    dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, cw, sizeof(QuadVertex));
    EXPECT_EQ(readBackBuffer()[0], c.drawn ? 0xFFFFFFFFu : 0xFF000000u) << "cull " << c.cull << " cw " << c.clockwise;
  }
}

TEST_F(LayerTest, AlphaTestDiscardsPixelsBelowTheReference) {
  dev->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
  dev->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
  dev->SetRenderState(D3DRS_ALPHAREF, 128);
  useShader(false);
  dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
  drawQuad(-0.5f, -0.5f, 7.5f, H - 0.5f, 0x7FFFFFFF);  // alpha 127: dropped
  drawQuad(7.5f, -0.5f, W - 0.5f, H - 0.5f, 0x80FFFFFF);  // alpha 128: kept
  std::vector<uint32_t> px = readBackBuffer();
  EXPECT_EQ(px[0], 0xFF000000u);
  EXPECT_EQ(px[W - 1], 0x80FFFFFFu);
}

// Every pixel shader is two programs (data/d3d9.inc): with the alpha test while it can
// drop pixels, without it otherwise. The cases run one after another on one shader, so
// each change of the alpha-test states alone has to switch the program.
TEST_F(LayerTest, AlphaTestStatesPickTheProgramThatAppliesThem) {
  struct Case {
    BOOL enabled;
    DWORD func, ref;
    uint32_t alpha;
    bool tested;  // drawn by the program with the alpha test
    bool drawn;
  } cases[] = {
      {FALSE, D3DCMP_GREATEREQUAL, 128, 0x7F, false, true},  // off: nothing is dropped
      {TRUE, D3DCMP_GREATEREQUAL, 128, 0x7F, true, false},
      {TRUE, D3DCMP_GREATEREQUAL, 128, 0x80, true, true},
      {TRUE, D3DCMP_ALWAYS, 128, 0x00, false, true},  // passes everything: no test to apply
      {TRUE, D3DCMP_LESS, 128, 0x7F, true, true},
      {TRUE, D3DCMP_LESS, 128, 0x80, true, false},
      {TRUE, D3DCMP_NEVER, 0, 0xFF, true, false},
      {FALSE, D3DCMP_NEVER, 0, 0xFF, false, true},
  };
  useShader(false);
  for (const Case& c : cases) {
    dev->SetRenderState(D3DRS_ALPHATESTENABLE, c.enabled);
    dev->SetRenderState(D3DRS_ALPHAFUNC, c.func);
    dev->SetRenderState(D3DRS_ALPHAREF, c.ref);
    dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    uint32_t color = c.alpha << 24 | 0x00FFFFFF;
    drawQuad(-0.5f, -0.5f, W - 0.5f, H - 0.5f, color);
    GLint program = 0;
    glGetProgramPipelineiv(dev->impl->pipeline, GL_FRAGMENT_SHADER, &program);
    EXPECT_EQ((GLuint)program, c.tested ? ps_color->impl->alpha_test_program : ps_color->impl->program)
        << "enabled " << c.enabled << " func " << c.func << " alpha " << c.alpha;
    EXPECT_EQ(readBackBuffer()[W * H / 2], c.drawn ? color : 0xFF000000u)
        << "enabled " << c.enabled << " func " << c.func << " alpha " << c.alpha;
  }
  EXPECT_NE(ps_color->impl->program, ps_color->impl->alpha_test_program);
}

// Every comparison of the alpha test, against references at both ends and between,
// keeps exactly the alpha bytes Direct3D keeps.
TEST_F(LayerTest, AlphaTestComparesTheAlphaByteAsDirect3DDoes) {
  const uint32_t alphas[] = {0, 1, 127, 128, 129, 254, 255};  // one 2-pixel column each
  auto passes = [](DWORD func, int a, int r) {
    switch (func) {
      case D3DCMP_NEVER: return false;
      case D3DCMP_LESS: return a < r;
      case D3DCMP_EQUAL: return a == r;
      case D3DCMP_LESSEQUAL: return a <= r;
      case D3DCMP_GREATER: return a > r;
      case D3DCMP_NOTEQUAL: return a != r;
      case D3DCMP_GREATEREQUAL: return a >= r;
    }
    return true;
  };
  useShader(false);
  dev->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
  for (DWORD func = D3DCMP_NEVER; func <= D3DCMP_ALWAYS; func++)
    for (DWORD ref : {0u, 1u, 128u, 254u, 255u}) {
      dev->SetRenderState(D3DRS_ALPHAFUNC, func);
      dev->SetRenderState(D3DRS_ALPHAREF, ref);
      dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
      for (int i = 0; i < 7; i++) drawQuad(2 * i - 0.5f, -0.5f, 2 * i + 1.5f, H - 0.5f, alphas[i] << 24 | 0x00FFFFFF);
      std::vector<uint32_t> px = readBackBuffer();
      for (int i = 0; i < 7; i++)
        EXPECT_EQ(px[2 * i], passes(func, (int)alphas[i], (int)ref) ? alphas[i] << 24 | 0x00FFFFFF : 0xFF000000u)
            << "func " << func << " ref " << ref << " alpha " << alphas[i];
    }
}

// Row 0 of a render-target texture is the top: drawing the top two rows and sampling
// the texture back shows them first in memory.
TEST_F(LayerTest, RenderTargetTextureRowsRunTopDown) {
  IDirect3DTexture9* rt = nullptr;
  ASSERT_EQ(dev->CreateTexture(W, H, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &rt, nullptr), D3D_OK);
  IDirect3DSurface9* s = nullptr;
  rt->GetSurfaceLevel(0, &s);
  dev->SetRenderTarget(0, s);
  dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
  useShader(false);
  drawQuad(-0.5f, -0.5f, W - 0.5f, 1.5f, 0xFF00FF00);
  std::vector<uint32_t> px = readSurface(s, W, H);
  EXPECT_EQ(px[0], 0xFF00FF00u);
  EXPECT_EQ(px[1 * W], 0xFF00FF00u);
  EXPECT_EQ(px[2 * W], 0xFF000000u);
  // Drawn through a texture onto the back buffer the picture stays upright.
  IDirect3DSurface9* bb = nullptr;
  dev->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &bb);
  dev->SetRenderTarget(0, bb);
  dev->SetTexture(0, rt);
  useShader(true);
  drawQuad(-0.5f, -0.5f, W - 0.5f, H - 0.5f, 0xFFFFFFFF);
  EXPECT_EQ(readBackBuffer(), px);
  bb->Release();
  s->Release();
  rt->Release();
}

// A clear colour reaches a float target as each byte / 255, rounded once, as
// Direct3D 9 converts it; bytes 3, 6, 7 and 12 come out one bit different when
// multiplied by a rounded 1/255 instead.
TEST_F(LayerTest, ClearColourOfAFloatTargetIsEachByteOver255) {
  IDirect3DTexture9* rt = nullptr;
  ASSERT_EQ(dev->CreateTexture(4, 4, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A32B32G32R32F, D3DPOOL_DEFAULT, &rt, nullptr),
            D3D_OK);
  IDirect3DTexture9* sys = nullptr;
  ASSERT_EQ(dev->CreateTexture(4, 4, 1, 0, D3DFMT_A32B32G32R32F, D3DPOOL_SYSTEMMEM, &sys, nullptr), D3D_OK);
  IDirect3DSurface9 *s = nullptr, *to = nullptr;
  rt->GetSurfaceLevel(0, &s);
  sys->GetSurfaceLevel(0, &to);
  dev->SetRenderTarget(0, s);
  ASSERT_EQ(dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0x0C030607, 1.0f, 0), D3D_OK);
  ASSERT_EQ(dev->GetRenderTargetData(s, to), D3D_OK);
  D3DLOCKED_RECT lr;
  ASSERT_EQ(to->LockRect(&lr, nullptr, D3DLOCK_READONLY), D3D_OK);
  float got[4];
  memcpy(got, lr.pBits, sizeof(got));
  to->UnlockRect();
  const float want[4] = {3 / 255.0f, 6 / 255.0f, 7 / 255.0f, 12 / 255.0f};  // r, g, b, a
  for (int i = 0; i < 4; i++) EXPECT_EQ(got[i], want[i]) << i;
  IDirect3DSurface9* bb = nullptr;
  dev->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &bb);
  dev->SetRenderTarget(0, bb);
  bb->Release();
  to->Release();
  s->Release();
  sys->Release();
  rt->Release();
}

// Releasing a shader deletes its GL program (shader reloads would leak them otherwise).
TEST_F(LayerTest, ReleasedShadersFreeTheirPrograms) {
  GLuint programs[] = {vs->impl->program, ps_color->impl->program, ps_color->impl->alpha_test_program};
  for (GLuint p : programs) ASSERT_TRUE(glIsProgram(p));
  vs->Release();
  vs = nullptr;
  ps_color->Release();
  ps_color = nullptr;
  for (GLuint p : programs) EXPECT_FALSE(glIsProgram(p));
}

// Constant ranges that run past a stage's registers are refused whole, also when the
// first register is so large that first + count wraps around.
TEST_F(LayerTest, ShaderConstantRangesStayInsideTheRegisters) {
  static const float data[4 * 3] = {};
  struct Case {
    bool pixel;
    UINT first, count;
    HRESULT want;
  } cases[] = {{false, 255, 1, D3D_OK},           {false, 255, 2, D3DERR_INVALIDCALL},
               {false, 256, 0, D3D_OK},           {false, 0xFFFFFFFFu, 2, D3DERR_INVALIDCALL},
               {true, 223, 1, D3D_OK},            {true, 222, 3, D3DERR_INVALIDCALL},
               {true, 0xFFFFFFF0u, 0x20, D3DERR_INVALIDCALL}, {true, 0, 0xFFFFFFFFu, D3DERR_INVALIDCALL}};
  for (const Case& c : cases) {
    HRESULT got = c.pixel ? dev->SetPixelShaderConstantF(c.first, data, c.count)
                          : dev->SetVertexShaderConstantF(c.first, data, c.count);
    EXPECT_EQ(got, c.want) << (c.pixel ? "pixel " : "vertex ") << c.first << " + " << c.count;
  }
  EXPECT_EQ(dev->SetVertexShaderConstantF(0, nullptr, 1), D3DERR_INVALIDCALL);
  // What was refused changed nothing: the quad still lands where constant 0 puts it.
  setPixelSpace(W, H);
  dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
  useShader(false);
  drawQuad(-0.5f, -0.5f, 1.5f, 1.5f, 0xFF00FF00);
  std::vector<uint32_t> px = readBackBuffer();
  EXPECT_EQ(px[0], 0xFF00FF00u);
  EXPECT_EQ(px[2], 0xFF000000u);
}

TEST_F(LayerTest, SetRenderTargetResetsTheViewport) {
  IDirect3DSurface9* rt = nullptr;
  ASSERT_EQ(dev->CreateRenderTarget(4, 2, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE, &rt, nullptr), D3D_OK);
  D3DVIEWPORT9 vp = {1, 1, 2, 2, 0, 1};
  dev->SetViewport(&vp);
  dev->SetRenderTarget(0, rt);
  dev->GetViewport(&vp);
  EXPECT_EQ(vp.X, 0u);
  EXPECT_EQ(vp.Width, 4u);
  EXPECT_EQ(vp.Height, 2u);
  rt->Release();
}

TEST_F(LayerTest, FormatsReadAsDirect3DDefines) {
  // L8 reads (l, l, l, 1); a DXT1 block with both colours red and index 0 is red.
  IDirect3DTexture9 *l8 = nullptr, *dxt = nullptr, *sys = nullptr;
  ASSERT_EQ(dev->CreateTexture(4, 4, 1, 0, D3DFMT_L8, D3DPOOL_MANAGED, &l8, nullptr), D3D_OK);
  D3DLOCKED_RECT lr;
  ASSERT_EQ(l8->LockRect(0, &lr, nullptr, 0), D3D_OK);
  for (int y = 0; y < 4; y++) memset((uint8_t*)lr.pBits + y * lr.Pitch, 0x40, 4);
  l8->UnlockRect(0);
  ASSERT_EQ(dev->CreateTexture(4, 4, 1, 0, D3DFMT_DXT1, D3DPOOL_DEFAULT, &dxt, nullptr), D3D_OK);
  ASSERT_EQ(dev->CreateTexture(4, 4, 1, 0, D3DFMT_DXT1, D3DPOOL_SYSTEMMEM, &sys, nullptr), D3D_OK);
  ASSERT_EQ(sys->LockRect(0, &lr, nullptr, 0), D3D_OK);
  EXPECT_EQ(lr.Pitch, 8);
  const uint8_t block[8] = {0x00, 0xF8, 0x00, 0xF8, 0, 0, 0, 0};
  memcpy(lr.pBits, block, 8);
  sys->UnlockRect(0);
  IDirect3DSurface9 *src = nullptr, *dst = nullptr;
  sys->GetSurfaceLevel(0, &src);
  dxt->GetSurfaceLevel(0, &dst);
  ASSERT_EQ(dev->UpdateSurface(src, nullptr, dst, nullptr), D3D_OK);
  src->Release();
  dst->Release();
  useShader(true);
  dev->SetTexture(0, l8);
  drawQuad(-0.5f, -0.5f, 7.5f, H - 0.5f, 0xFFFFFFFF);
  dev->SetTexture(0, dxt);
  drawQuad(7.5f, -0.5f, W - 0.5f, H - 0.5f, 0xFFFFFFFF);
  std::vector<uint32_t> px = readBackBuffer();
  EXPECT_EQ(px[0], 0xFF404040u);
  EXPECT_EQ(px[W - 1], 0xFFFF0000u);
  l8->Release();
  dxt->Release();
  sys->Release();
}

TEST_F(LayerTest, DynamicTextureAndBufferLocksReachTheGpu) {
  IDirect3DTexture9* tex = nullptr;
  ASSERT_EQ(dev->CreateTexture(1, 1, 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &tex, nullptr), D3D_OK);
  D3DLOCKED_RECT lr;
  ASSERT_EQ(tex->LockRect(0, &lr, nullptr, D3DLOCK_DISCARD), D3D_OK);
  *(uint32_t*)lr.pBits = 0xFF123456;
  ASSERT_EQ(tex->UnlockRect(0), D3D_OK);
  // A non-dynamic default-pool texture cannot be locked.
  IDirect3DTexture9* plain = nullptr;
  dev->CreateTexture(1, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &plain, nullptr);
  EXPECT_EQ(plain->LockRect(0, &lr, nullptr, 0), D3DERR_INVALIDCALL);
  plain->Release();

  IDirect3DVertexBuffer9* vb = nullptr;
  ASSERT_EQ(dev->CreateVertexBuffer(6 * sizeof(QuadVertex), D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, 0,
                                    D3DPOOL_DEFAULT, &vb, nullptr),
            D3D_OK);
  void* p = nullptr;
  ASSERT_EQ(vb->Lock(0, 0, &p, D3DLOCK_DISCARD), D3D_OK);
  const QuadVertex q[6] = {{-0.5f, -0.5f, ~0u, 0, 0}, {W - 0.5f, -0.5f, ~0u, 1, 0}, {-0.5f, H - 0.5f, ~0u, 0, 1},
                           {W - 0.5f, -0.5f, ~0u, 1, 0}, {W - 0.5f, H - 0.5f, ~0u, 1, 1}, {-0.5f, H - 0.5f, ~0u, 0, 1}};
  memcpy(p, q, sizeof(q));
  ASSERT_EQ(vb->Unlock(), D3D_OK);
  dev->SetStreamSource(0, vb, 0, sizeof(QuadVertex));
  dev->SetTexture(0, tex);
  useShader(true);
  ASSERT_EQ(dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2), D3D_OK);
  EXPECT_EQ(readBackBuffer()[5], 0xFF123456u);
  vb->Release();
  tex->Release();
}

// A dynamic texture keeps its copy's memory from lock to lock, never its contents: a lock
// that does not discard reads back what reached the texture since, here a copy from a
// system-memory surface. Both uploads keep every channel in its place.
TEST_F(LayerTest, DynamicTextureLocksReadBackWhatReachedTheTextureMeanwhile) {
  auto texel = [](int x, int y, uint32_t tag) { return tag | uint32_t(x * 40 + 1) << 16 | uint32_t(y * 70 + 2) << 8 | uint32_t(x + 3 * y + 5); };
  auto fill = [&](void* bits, int pitch, uint32_t tag) {
    for (int y = 0; y < 2; y++)
      for (int x = 0; x < 4; x++) ((uint32_t*)((uint8_t*)bits + y * pitch))[x] = texel(x, y, tag);
  };
  auto expect_texels = [&](const void* bits, int pitch, uint32_t tag, const char* what) {
    for (int y = 0; y < 2; y++)
      for (int x = 0; x < 4; x++)
        EXPECT_EQ(((const uint32_t*)((const uint8_t*)bits + y * pitch))[x], texel(x, y, tag)) << what << " " << x << "," << y;
  };
  IDirect3DTexture9* tex = nullptr;
  ASSERT_EQ(dev->CreateTexture(4, 2, 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &tex, nullptr), D3D_OK);
  D3DLOCKED_RECT lr;
  ASSERT_EQ(tex->LockRect(0, &lr, nullptr, D3DLOCK_DISCARD), D3D_OK);
  fill(lr.pBits, lr.Pitch, 0x80000000u);
  ASSERT_EQ(tex->UnlockRect(0), D3D_OK);

  IDirect3DSurface9 *sys = nullptr, *level = nullptr;
  ASSERT_EQ(dev->CreateOffscreenPlainSurface(4, 2, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &sys, nullptr), D3D_OK);
  ASSERT_EQ(sys->LockRect(&lr, nullptr, 0), D3D_OK);
  fill(lr.pBits, lr.Pitch, 0xC0000000u);
  sys->UnlockRect();
  ASSERT_EQ(tex->GetSurfaceLevel(0, &level), D3D_OK);
  ASSERT_EQ(dev->UpdateSurface(sys, nullptr, level, nullptr), D3D_OK);
  for (DWORD flags : {0ul, (unsigned long)D3DLOCK_READONLY}) {
    ASSERT_EQ(tex->LockRect(0, &lr, nullptr, flags), D3D_OK);
    expect_texels(lr.pBits, lr.Pitch, 0xC0000000u, flags ? "read-only lock" : "lock");
    ASSERT_EQ(tex->UnlockRect(0), D3D_OK);
  }

  // Drawn one texel a pixel: the copy's texels, channel for channel.
  setPixelSpace(W, H);
  dev->SetTexture(0, tex);
  useShader(true);
  dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
  drawQuad(-0.5f, -0.5f, 3.5f, 1.5f, 0xFFFFFFFF);
  std::vector<uint32_t> px = readBackBuffer();
  for (int y = 0; y < 2; y++)
    for (int x = 0; x < 4; x++) EXPECT_EQ(px[y * W + x], texel(x, y, 0xC0000000u)) << x << "," << y;
  level->Release();
  sys->Release();
  tex->Release();
}

// Textures that are never drawn into are made level by level, for storage in Direct3D's
// byte order, which takes a binding; render targets are made at once. Texels reach
// every kind whole, by every way up (a lock, a copy from system memory, into a smaller
// mip level), a blit from the back buffer into a texture keeps them, and making a
// texture leaves the texture drawn with bound.
TEST_F(LayerTest, EightBitTexelsKeepTheirChannelsInEveryKindOfTexture) {
  struct Case {
    const char* name;
    DWORD usage;
    D3DPOOL pool;
    UINT levels, level;
    bool by_lock;
  };
  const Case cases[] = {
      {"managed, locked", 0, D3DPOOL_MANAGED, 1, 0, true},
      {"dynamic, locked", D3DUSAGE_DYNAMIC, D3DPOOL_DEFAULT, 1, 0, true},
      {"mip level 1, copied", 0, D3DPOOL_DEFAULT, 2, 1, false},
      {"render target, copied", D3DUSAGE_RENDERTARGET, D3DPOOL_DEFAULT, 1, 0, false},
  };
  const int w = 4, h = 2;
  setPixelSpace(W, H);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    IDirect3DTexture9* tex = nullptr;
    ASSERT_EQ(dev->CreateTexture(w << c.level, h << c.level, c.levels, c.usage, D3DFMT_A8R8G8B8, c.pool, &tex, nullptr),
              D3D_OK);
    IDirect3DSurface9* sys = nullptr;
    ASSERT_EQ(dev->CreateOffscreenPlainSurface(w, h, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &sys, nullptr), D3D_OK);
    D3DLOCKED_RECT lr;
    if (c.by_lock)
      ASSERT_EQ(tex->LockRect(c.level, &lr, nullptr, 0), D3D_OK);
    else
      ASSERT_EQ(sys->LockRect(&lr, nullptr, 0), D3D_OK);
    for (int y = 0; y < h; y++)
      for (int x = 0; x < w; x++) ((uint32_t*)((uint8_t*)lr.pBits + y * lr.Pitch))[x] = texel(x, y);
    if (c.by_lock) {
      ASSERT_EQ(tex->UnlockRect(c.level), D3D_OK);
    } else {
      sys->UnlockRect();
      IDirect3DSurface9* level = nullptr;
      ASSERT_EQ(tex->GetSurfaceLevel(c.level, &level), D3D_OK);
      ASSERT_EQ(dev->UpdateSurface(sys, nullptr, level, nullptr), D3D_OK);
      level->Release();
    }
    sys->Release();
    // Drawn one texel a pixel from the level written (the only one sampled).
    dev->SetTexture(0, tex);
    dev->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_POINT);
    dev->SetSamplerState(0, D3DSAMP_MAXMIPLEVEL, c.level);
    useShader(true);
    dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    drawQuad(-0.5f, -0.5f, w - 0.5f, h - 0.5f, 0xFFFFFFFF);
    dev->SetSamplerState(0, D3DSAMP_MAXMIPLEVEL, 0);
    dev->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_NONE);
    std::vector<uint32_t> px = readBackBuffer();
    for (int y = 0; y < h; y++)
      for (int x = 0; x < w; x++) EXPECT_EQ(px[y * W + x], texel(x, y)) << x << "," << y;
    tex->Release();
  }

  // The back buffer's pixels blitted into a texture that is not a render target.
  IDirect3DTexture9* copy = nullptr;
  ASSERT_EQ(dev->CreateTexture(W, H, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &copy, nullptr), D3D_OK);
  IDirect3DSurface9 *bb = nullptr, *dst = nullptr;
  dev->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &bb);
  copy->GetSurfaceLevel(0, &dst);
  ASSERT_EQ(dev->StretchRect(bb, nullptr, dst, nullptr, D3DTEXF_POINT), D3D_OK);
  dev->SetTexture(0, copy);
  useShader(true);
  for (const char* when : {"blit", "after making another texture"}) {
    dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    drawQuad(-0.5f, -0.5f, W - 0.5f, H - 0.5f, 0xFFFFFFFF);
    std::vector<uint32_t> px = readBackBuffer();
    for (int y = 0; y < h; y++)
      for (int x = 0; x < w; x++) EXPECT_EQ(px[y * W + x], texel(x, y)) << when << " " << x << "," << y;
    IDirect3DTexture9* other = nullptr;
    ASSERT_EQ(dev->CreateTexture(4, 4, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &other, nullptr), D3D_OK);
    other->Release();
  }
  dst->Release();
  bb->Release();
  copy->Release();
}

TEST_F(LayerTest, StretchRectAndFrontBufferCopies) {
  dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000FF, 1.0f, 0);
  IDirect3DTexture9* tex = nullptr;
  ASSERT_EQ(dev->CreateTexture(W, H, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &tex, nullptr), D3D_OK);
  IDirect3DSurface9 *bb = nullptr, *dst = nullptr;
  dev->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &bb);
  tex->GetSurfaceLevel(0, &dst);
  ASSERT_EQ(dev->StretchRect(bb, nullptr, dst, nullptr, D3DTEXF_POINT), D3D_OK);
  EXPECT_EQ(readSurface(dst, W, H)[7], 0xFF0000FFu);
  ASSERT_EQ(dev->PresentEx(nullptr, nullptr, nullptr, nullptr, 0), D3D_OK);
  dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFF0000, 1.0f, 0);  // after present: not on screen
  D3DDISPLAYMODEEX desktop = {sizeof(desktop)};
  ASSERT_EQ(d3d9->GetAdapterDisplayModeEx(0, &desktop, nullptr), D3D_OK);
  IDirect3DSurface9* screen = nullptr;
  ASSERT_EQ(dev->CreateOffscreenPlainSurface(desktop.Width, desktop.Height, D3DFMT_A8R8G8B8, D3DPOOL_SCRATCH, &screen,
                                            nullptr),
            D3D_OK);
  ASSERT_EQ(dev->GetFrontBufferData(0, screen), D3D_OK);
  D3DLOCKED_RECT lr;
  ASSERT_EQ(screen->LockRect(&lr, nullptr, D3DLOCK_READONLY), D3D_OK);
  EXPECT_EQ(((uint32_t*)lr.pBits)[W - 1], 0xFF0000FFu);
  EXPECT_EQ(((uint32_t*)lr.pBits)[W], 0u);  // outside the window
  screen->UnlockRect();
  screen->Release();
  dst->Release();
  bb->Release();
  tex->Release();
}

TEST_F(LayerTest, RecorderListsTheCallStream) {
  std::vector<std::string> calls;
  d3d9_set_call_recorder(&calls);
  dev->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  dev->SetSamplerState(2, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
  dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
  d3d9_set_call_recorder(nullptr);
  dev->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
  std::vector<std::string> want = {"SetRenderState(ALPHABLENDENABLE, 1)", "SetSamplerState(2, ADDRESSU, 3)",
                                   "Clear(0, 0x1, 0xFF000000, 1, 0)"};
  EXPECT_EQ(calls, want);
}

TEST_F(LayerTest, StatesStartAtDirect3DDefaults) {
  struct {
    D3DRENDERSTATETYPE state;
    DWORD value;
  } render[] = {{D3DRS_ZENABLE, D3DZB_FALSE}, {D3DRS_ZWRITEENABLE, TRUE}, {D3DRS_CULLMODE, D3DCULL_CCW},
                {D3DRS_ZFUNC, D3DCMP_LESSEQUAL}, {D3DRS_SRCBLEND, D3DBLEND_ONE}, {D3DRS_DESTBLEND, D3DBLEND_ZERO},
                {D3DRS_ALPHAFUNC, D3DCMP_ALWAYS}, {D3DRS_COLORWRITEENABLE, 0xF}, {D3DRS_STENCILMASK, 0xFFFFFFFF},
                {D3DRS_BLENDOP, D3DBLENDOP_ADD}};
  for (auto& r : render) {
    DWORD v = 0;
    dev->GetRenderState(r.state, &v);
    EXPECT_EQ(v, r.value) << d3d9_render_state_name(r.state);
  }
  DWORD v = 0;
  dev->GetSamplerState(3, D3DSAMP_ADDRESSU, &v);
  EXPECT_EQ(v, (DWORD)D3DTADDRESS_WRAP);
  dev->GetSamplerState(3, D3DSAMP_MINFILTER, &v);
  EXPECT_EQ(v, (DWORD)D3DTEXF_POINT);
  dev->GetSamplerState(3, D3DSAMP_MIPFILTER, &v);
  EXPECT_EQ(v, (DWORD)D3DTEXF_NONE);
}

// Dynamic vertex buffers stream through a ring shared by the device: a buffer filled
// once and drawn in parts, and drawn again after much other traffic, still draws
// what was written into it.
TEST_F(LayerTest, DynamicVertexBuffersKeepTheirContents) {
  IDirect3DVertexBuffer9* keep = nullptr;
  ASSERT_EQ(dev->CreateVertexBuffer(12 * sizeof(QuadVertex), D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, 0, D3DPOOL_DEFAULT,
                                    &keep, nullptr),
            D3D_OK);
  QuadVertex* v = nullptr;
  ASSERT_EQ(keep->Lock(0, 0, (void**)&v, D3DLOCK_DISCARD), D3D_OK);
  auto quad = [](QuadVertex* q, float x0, float x1, uint32_t c) {
    const float y0 = -0.5f, y1 = H - 0.5f;
    QuadVertex t[6] = {{x0, y0, c, 0, 0}, {x1, y0, c, 0, 0}, {x0, y1, c, 0, 0},
                       {x1, y0, c, 0, 0}, {x1, y1, c, 0, 0}, {x0, y1, c, 0, 0}};
    memcpy(q, t, sizeof(t));
  };
  quad(v, -0.5f, 7.5f, 0xFFFF0000);
  quad(v + 6, 7.5f, W - 0.5f, 0xFF00FF00);
  keep->Unlock();
  useShader(false);
  dev->SetStreamSource(0, keep, 0, sizeof(QuadVertex));
  dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2);  // the first quad only
  dev->DrawPrimitive(D3DPT_TRIANGLELIST, 6, 2);  // then the second
  std::vector<uint32_t> px = readBackBuffer();
  EXPECT_EQ(px[0], 0xFFFF0000u);
  EXPECT_EQ(px[W - 1], 0xFF00FF00u);

  // Much traffic through other dynamic buffers (more than the ring holds).
  IDirect3DVertexBuffer9* other = nullptr;
  ASSERT_EQ(dev->CreateVertexBuffer(65536, D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, 0, D3DPOOL_DEFAULT, &other, nullptr),
            D3D_OK);
  for (int i = 0; i < 400; i++) {
    ASSERT_EQ(other->Lock(0, 0, (void**)&v, D3DLOCK_DISCARD), D3D_OK);
    for (int k = 0; k + 6 <= 65536 / (int)sizeof(QuadVertex); k += 6) quad(v + k, -0.5f, W - 0.5f, 0xFF000000u | i);
    other->Unlock();
    dev->SetStreamSource(0, other, 0, sizeof(QuadVertex));
    dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 65536 / sizeof(QuadVertex) / 3);
  }
  EXPECT_EQ(readBackBuffer()[0], 0xFF000000u | 399);
  dev->SetStreamSource(0, keep, 0, sizeof(QuadVertex));
  dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 4);
  px = readBackBuffer();
  EXPECT_EQ(px[0], 0xFFFF0000u);
  EXPECT_EQ(px[W - 1], 0xFF00FF00u);
  other->Release();
  keep->Release();
}

// A long triangle list reaches GL in runs: every triangle is drawn, in order, from a
// vertex buffer and from user memory alike, with some triangles reaching off the
// screen (which the software rasteriser clips on a path of its own).
TEST_F(LayerTest, LongTriangleListsDrawEveryTriangleInOrder) {
  auto color_of = [](int x, int y) { return 0xFF000000u | uint32_t(x * 16 + y + 1); };
  std::vector<QuadVertex> list;
  auto triangle = [&](float x, float y, uint32_t c) {  // covers the pixel centre (x, y) only
    for (QuadVertex v : {QuadVertex{x - 0.5f, y - 0.5f, c, 0, 0}, QuadVertex{x + 1.5f, y - 0.5f, c, 0, 0},
                         QuadVertex{x - 0.5f, y + 1.5f, c, 0, 0}})
      list.push_back(v);
  };
  const uint32_t overwritten = 0xFFABCDEFu, last = 0xFF123456u;
  triangle(9, 6, overwritten);  // in the first run, drawn over by its own triangle later
  for (int y = 0; y < H; y++) {
    // Column 0 by a quad that reaches far off the screen's left edge.
    uint32_t c = color_of(0, y);
    float y0 = y - 0.5f, y1 = y + 0.5f;
    for (QuadVertex v : {QuadVertex{-40, y0, c, 0, 0}, QuadVertex{0.5f, y0, c, 0, 0}, QuadVertex{-40, y1, c, 0, 0},
                         QuadVertex{0.5f, y0, c, 0, 0}, QuadVertex{0.5f, y1, c, 0, 0}, QuadVertex{-40, y1, c, 0, 0}})
      list.push_back(v);
    for (int x = 1; x < W; x++) triangle(float(x), float(y), color_of(x, y));
  }
  triangle(5, 3, last);  // in the last run, over an earlier triangle
  ASSERT_GT(list.size(), 200u);
  const UINT prims = UINT(list.size() / 3);

  IDirect3DVertexBuffer9* vb = nullptr;
  ASSERT_EQ(dev->CreateVertexBuffer(UINT(list.size() * sizeof(QuadVertex)), D3DUSAGE_WRITEONLY, 0, D3DPOOL_MANAGED,
                                    &vb, nullptr),
            D3D_OK);
  void* bytes = nullptr;
  ASSERT_EQ(vb->Lock(0, 0, &bytes, 0), D3D_OK);
  memcpy(bytes, list.data(), list.size() * sizeof(QuadVertex));
  vb->Unlock();
  useShader(false);
  for (bool from_buffer : {true, false}) {
    dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    if (from_buffer) {
      dev->SetStreamSource(0, vb, 0, sizeof(QuadVertex));
      ASSERT_EQ(dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0, prims), D3D_OK);
    } else {
      ASSERT_EQ(dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, prims, list.data(), sizeof(QuadVertex)), D3D_OK);
    }
    std::vector<uint32_t> px = readBackBuffer();
    for (int y = 0; y < H; y++)
      for (int x = 0; x < W; x++)
        ASSERT_EQ(px[y * W + x], x == 5 && y == 3 ? last : color_of(x, y))
            << (from_buffer ? "vertex buffer" : "user memory") << " at " << x << "," << y;
  }
  vb->Release();
}
