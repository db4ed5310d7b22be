#pragma once
// The header reader of DDS files, apart from the texture it fills, for tools and the
// fuzz target.
#include <cstddef>
#include <cstdint>

#include "platform/d3d9/d3d9.h"

struct DdsInfo {
  const uint8_t* data;  // first byte after the header
  int width, height;
  D3DFORMAT format;
  int levels;
  uint32_t first_size;  // byte size of the first level
};

// Reads the header of a whole file in memory; false when this reader cannot use it.
bool parse_dds(const uint8_t* bytes, size_t size, DdsInfo* out);
// The bytes of every level of the texture, as the reader consumes them.
uint64_t total_level_bytes(const DdsInfo& dds);
// The byte size of one level whose top level is w x h pixels in the given format.
uint32_t dds_level_size(D3DFORMAT format, int w, int h);
