#include "layer_fixture.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "tests/support/surface_pixels.h"

std::string source_dir() {
  const char* dir = getenv("TORVANE_SOURCE_DIR");
  return dir ? dir : "../..";
}

std::string read_text_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

namespace {

// Includes come from data/ (the shared include) and the test fixtures.
class FileInclude : public ID3DInclude {
public:
  HRESULT Open(D3D_INCLUDE_TYPE, LPCSTR name, LPCVOID, LPCVOID* data, UINT* bytes) override {
    for (const char* dir : {"/data/", "/tests/render/fixtures/"}) {
      std::string text = read_text_file(source_dir() + dir + name);
      if (text.empty()) continue;
      char* copy = (char*)malloc(text.size());
      memcpy(copy, text.data(), text.size());
      *data = copy;
      *bytes = (UINT)text.size();
      return S_OK;
    }
    return D3DERR_INVALIDCALL;
  }
  HRESULT Close(LPCVOID data) override {
    free((void*)data);
    return S_OK;
  }
};

ID3DBlob* compile(const char* entry, const D3D_SHADER_MACRO* defines) {
  std::string src = read_text_file(source_dir() + "/tests/render/fixtures/quad.sh");
  EXPECT_FALSE(src.empty());
  FileInclude include;
  ID3DBlob *code = nullptr, *errors = nullptr;
  const char* profile = strcmp(entry, "psh") == 0 ? "ps_2_0" : "vs_2_0";
  HRESULT hr = D3DCompile(src.data(), src.size(), "quad.sh", defines, &include, entry, profile, 0, 0, &code, &errors);
  EXPECT_EQ(hr, S_OK) << (errors ? (const char*)errors->GetBufferPointer() : "");
  if (errors) errors->Release();
  return code;
}

}  // namespace

void LayerTest::SetUp() {
  ASSERT_EQ(Direct3DCreate9Ex(D3D_SDK_VERSION, &d3d9), D3D_OK);
  D3DPRESENT_PARAMETERS pp = {};
  pp.BackBufferWidth = W;
  pp.BackBufferHeight = H;
  pp.Windowed = TRUE;
  pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
  ASSERT_EQ(d3d9->CreateDeviceEx(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, nullptr, &dev),
            D3D_OK);
  const D3DVERTEXELEMENT9 els[] = {{0, 0, D3DDECLTYPE_FLOAT2, 0, D3DDECLUSAGE_POSITION, 0},
                                   {0, 8, D3DDECLTYPE_D3DCOLOR, 0, D3DDECLUSAGE_COLOR, 0},
                                   {0, 12, D3DDECLTYPE_FLOAT2, 0, D3DDECLUSAGE_TEXCOORD, 0},
                                   D3DDECL_END()};
  ASSERT_EQ(dev->CreateVertexDeclaration(els, &decl), D3D_OK);
  const D3D_SHADER_MACRO vsh[] = {{"VSH", "1"}, {nullptr, nullptr}};
  const D3D_SHADER_MACRO psh[] = {{"PSH", "1"}, {nullptr, nullptr}};
  const D3D_SHADER_MACRO psh_color[] = {{"UNTEXTURED", "1"}, {"PSH", "1"}, {nullptr, nullptr}};
  ID3DBlob* v = compile("vsh", vsh);
  ID3DBlob* p = compile("psh", psh);
  ID3DBlob* pc = compile("psh", psh_color);
  ASSERT_TRUE(v && p && pc);
  ASSERT_EQ(dev->CreateVertexShader((const DWORD*)v->GetBufferPointer(), &vs), D3D_OK);
  ASSERT_EQ(dev->CreatePixelShader((const DWORD*)p->GetBufferPointer(), &ps_tex), D3D_OK);
  ASSERT_EQ(dev->CreatePixelShader((const DWORD*)pc->GetBufferPointer(), &ps_color), D3D_OK);
  v->Release();
  p->Release();
  pc->Release();
  setPixelSpace(W, H);
}

void LayerTest::TearDown() {
  for (D3d9Object* o : std::initializer_list<D3d9Object*>{decl, vs, ps_tex, ps_color})
    if (o) o->Release();
  if (dev) dev->Release();
  if (d3d9) d3d9->Release();
}

void LayerTest::setPixelSpace(int w, int h) {
  const float c0[4] = {2.0f / w, -2.0f / h, -1.0f, 1.0f};
  dev->SetVertexShaderConstantF(0, c0, 1);
}

void LayerTest::useShader(bool textured) {
  dev->SetVertexDeclaration(decl);
  dev->SetVertexShader(vs);
  dev->SetPixelShader(textured ? ps_tex : ps_color);
}

void LayerTest::drawQuad(float x0, float y0, float x1, float y1, uint32_t color, float u0, float v0, float u1,
                         float v1) {
  const QuadVertex q[6] = {{x0, y0, color, u0, v0}, {x1, y0, color, u1, v0}, {x0, y1, color, u0, v1},
                           {x1, y0, color, u1, v0}, {x1, y1, color, u1, v1}, {x0, y1, color, u0, v1}};
  ASSERT_EQ(dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, q, sizeof(QuadVertex)), D3D_OK);
}

std::vector<uint32_t> LayerTest::readSurface(IDirect3DSurface9* rt, int w, int h) { return surface_pixels(dev, rt, w, h); }

std::vector<uint32_t> LayerTest::readBackBuffer() { return back_buffer_pixels(dev, W, H); }

IDirect3DTexture9* LayerTest::makeTexture(int w, int h, const std::vector<uint32_t>& texels) {
  IDirect3DTexture9 *tex = nullptr, *sys = nullptr;
  EXPECT_EQ(dev->CreateTexture(w, h, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &tex, nullptr), D3D_OK);
  EXPECT_EQ(dev->CreateTexture(w, h, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &sys, nullptr), D3D_OK);
  D3DLOCKED_RECT lr;
  EXPECT_EQ(sys->LockRect(0, &lr, nullptr, 0), D3D_OK);
  for (int y = 0; y < h; y++) memcpy((uint8_t*)lr.pBits + y * lr.Pitch, &texels[y * w], w * 4);
  sys->UnlockRect(0);
  IDirect3DSurface9 *src = nullptr, *dst = nullptr;
  sys->GetSurfaceLevel(0, &src);
  tex->GetSurfaceLevel(0, &dst);
  EXPECT_EQ(dev->UpdateSurface(src, nullptr, dst, nullptr), D3D_OK);
  src->Release();
  dst->Release();
  sys->Release();
  return tex;
}
