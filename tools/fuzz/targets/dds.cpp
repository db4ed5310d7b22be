// The DDS reader: any file's header is taken or refused without harm; for a header
// that was taken and whose levels fit the file, every level the texture loader copies
// lies inside the file.
#include "engine/render/dds.h"
#include "tools/fuzz/fuzz_support.h"

#include <algorithm>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  DdsInfo dds;
  if (!parse_dds(data, size, &dds))
    return 0;
  FUZZ_CHECK(size >= 128 && dds.data == data + 128);
  FUZZ_CHECK(dds.width > 0 && dds.height > 0 && dds.levels >= 1);
  FUZZ_CHECK(dds.first_size == dds_level_size(dds.format, dds.width, dds.height));
  uint64_t total = total_level_bytes(dds);
  if (total > size - 128 || total > (64u << 20))
    return 0;  // the loader refuses it (or it is too big to copy here)
  std::vector<uint8_t> level;
  const uint8_t* src = dds.data;
  int w = dds.width, h = dds.height;
  for (int i = 0; i < dds.levels; i++) {
    uint32_t n = dds_level_size(dds.format, w, h);
    level.resize(n);
    memcpy(level.data(), src, n);
    src += n;
    w = std::max(1, w / 2);
    h = std::max(1, h / 2);
  }
  FUZZ_CHECK(src <= data + size);
  return 0;
}
