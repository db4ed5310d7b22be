// The TGA reader: any file is read or refused without harm; a picture that was read
// has as many pixels as its size says and reads back as it was written (rows reversed,
// as the writer takes them top first); a refused one reserved nothing.
#include "engine/core/dynarray.h"
#include "engine/render/image.h"
#include "tools/fuzz/fuzz_support.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_init_folder();
  int w = -1, h = -1;
  DynArray<uint32_t> pixels;
  if (!load_tga(fuzz_put_file("input.tga", data, size), &w, &h, pixels)) {
    // A refused file took no room: a header alone must not reserve gigabytes.
    FUZZ_CHECK(pixels.capacity == 0);
    return 0;
  }
  FUZZ_CHECK(w > 0 && h > 0 && (int64_t)w * h == pixels.size());
  FUZZ_CHECK(save_tga("back.tga", pixels.data, w, h, w * 4));
  int w2 = -1, h2 = -1;
  DynArray<uint32_t> back;
  FUZZ_CHECK(load_tga("back.tga", &w2, &h2, back));
  FUZZ_CHECK(w2 == w && h2 == h && back.size() == pixels.size());
  // The writer takes its rows top first and the reader gives them bottom first: the
  // picture comes back upside down, row for row.
  for (int y = 0; y < h; y++)
    FUZZ_CHECK(memcmp(&back[y * w], &pixels[(h - 1 - y) * w], sizeof(uint32_t) * (size_t)w) == 0);
  return 0;
}
