#pragma once
// A headless device of the Direct3D layer (EGL surfaceless on llvmpipe) with the test
// quad shader, and helpers to draw screen-space quads and read pixels back.
#include "platform/d3d9/d3d9.h"
#include "platform/d3d9/d3d9_platform.h"
#include "platform/d3d9/d3dcompiler.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

// One vertex of the test quad shader: pixel position, colour 0xAARRGGBB, uv.
struct QuadVertex {
  float x, y;
  uint32_t color;
  float u, v;
};

std::string read_text_file(const std::string& path);
std::string source_dir();

class LayerTest : public ::testing::Test {
protected:
  static constexpr int W = 16, H = 8;
  IDirect3D9Ex* d3d9 = nullptr;
  IDirect3DDevice9Ex* dev = nullptr;
  IDirect3DVertexDeclaration9* decl = nullptr;
  IDirect3DVertexShader9* vs = nullptr;
  IDirect3DPixelShader9* ps_tex = nullptr;
  IDirect3DPixelShader9* ps_color = nullptr;

  void SetUp() override;
  void TearDown() override;

  // Maps pixel positions of a w x h target to clip space (vertex constant 0).
  void setPixelSpace(int w, int h);
  void useShader(bool textured);
  // Two clockwise triangles covering x0..x1, y0..y1 (pixel coordinates, y down).
  void drawQuad(float x0, float y0, float x1, float y1, uint32_t color, float u0 = 0, float v0 = 0, float u1 = 1,
                float v1 = 1);
  // The pixels (0xAARRGGBB) of a render-target surface, row 0 at the top.
  std::vector<uint32_t> readSurface(IDirect3DSurface9* rt, int w, int h);
  std::vector<uint32_t> readBackBuffer();
  IDirect3DTexture9* makeTexture(int w, int h, const std::vector<uint32_t>& texels);
};
