#pragma once
// Pixels read back from a device, for the tests that compare what was drawn.
#include <cstdint>
#include <vector>

#include "platform/d3d9/d3d9.h"

// Pixels (0xAARRGGBB, top row first) of a w x h A8R8G8B8 render target of `dev`.
std::vector<uint32_t> surface_pixels(IDirect3DDevice9Ex* dev, IDirect3DSurface9* target, int w, int h);
// The same of the device's w x h back buffer.
std::vector<uint32_t> back_buffer_pixels(IDirect3DDevice9Ex* dev, int w, int h);
