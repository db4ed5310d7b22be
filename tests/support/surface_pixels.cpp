#include "surface_pixels.h"

#include <gtest/gtest.h>

#include <cstring>

std::vector<uint32_t> surface_pixels(IDirect3DDevice9Ex* dev, IDirect3DSurface9* target, int w, int h) {
  IDirect3DSurface9* sys = nullptr;
  EXPECT_EQ(dev->CreateOffscreenPlainSurface(w, h, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &sys, nullptr), D3D_OK);
  EXPECT_EQ(dev->GetRenderTargetData(target, sys), D3D_OK);
  D3DLOCKED_RECT lr;
  EXPECT_EQ(sys->LockRect(&lr, nullptr, D3DLOCK_READONLY), D3D_OK);
  std::vector<uint32_t> px(size_t(w) * h);
  for (int y = 0; y < h; y++) memcpy(&px[size_t(y) * w], (const uint8_t*)lr.pBits + size_t(y) * lr.Pitch, w * 4);
  sys->UnlockRect();
  sys->Release();
  return px;
}

std::vector<uint32_t> back_buffer_pixels(IDirect3DDevice9Ex* dev, int w, int h) {
  IDirect3DSurface9* bb = nullptr;
  EXPECT_EQ(dev->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &bb), D3D_OK);
  std::vector<uint32_t> px = surface_pixels(dev, bb, w, h);
  bb->Release();
  return px;
}
