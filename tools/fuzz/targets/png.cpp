// The PNG reader: any file is read or refused without harm, and a picture that was
// read has as many pixels as its size says.
#include "engine/core/dynarray.h"
#include "engine/render/image.h"
#include "tools/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_init_folder();
  int w = -1, h = -1;
  DynArray<uint32_t> pixels;
  if (load_png(fuzz_put_file("input.png", data, size), &w, &h, pixels)) {
    FUZZ_CHECK(w > 0 && h > 0 && (int64_t)w * h == pixels.size());
  }
  return 0;
}
