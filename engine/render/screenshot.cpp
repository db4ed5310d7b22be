// Screenshots: the front buffer, cropped to the window, as a PNG file under "shots/".
#include "engine/render/screenshot.h"

#include "engine/core/dynarray.h"
#include "engine/core/log.h"
#include "engine/core/strings.h"
#include "engine/core/utils.h"
#include "engine/render/d3d_vbuf.h"
#include "engine/render/image.h"

#include <physfs.h>
#include <cstring>
#include <ctime>

static bool local_time_now(struct tm* out) {
  time_t now = time(nullptr);
  return now != (time_t)-1 && localtime_r(&now, out);
}

bool (*screenshot_local_time)(struct tm* out) = local_time_now;

void take_screenshot() {
  int64_t start = get_ref_time();
  debug("screenshot...");
  int w = 0, h = 0, pitch = 0;
  const uint8_t* bits = (const uint8_t*)capture_front_buffer(&w, &h, &pitch);
  if (!bits) return;

  TempString<260> name;
  struct tm local;
  if (screenshot_local_time(&local))
    name.format("shots/shot%4u_%02u_%02u_%02u_%02u_%02u.png", (unsigned)local.tm_year + 1900,
                (unsigned)local.tm_mon + 1, (unsigned)local.tm_mday, (unsigned)local.tm_hour, (unsigned)local.tm_min,
                (unsigned)local.tm_sec);
  else
    name.assign("shots/shot.png");
  PHYSFS_mkdir("shots");

  // B, G, R, A in memory become R, G, B and an opaque A.
  DynArray<uint8_t> rgba;
  rgba.resize(w * h * 4);
  for (int y = 0; y < h; y++) {
    const uint8_t* src = bits + (size_t)y * pitch;
    uint8_t* dst = rgba.data + (size_t)y * w * 4;
    for (int x = 0; x < w; x++, src += 4, dst += 4) {
      dst[0] = src[2];
      dst[1] = src[1];
      dst[2] = src[0];
      dst[3] = 255;
    }
  }
  bool ok = save_png(name, w, h, 4, rgba.data, w * 4);
  release_front_buffer_capture();
  if (!ok) debug("failed to save screenshot to '%s'", name.c_str());
  else debug("screenshot captured to '%s' in %d ms", name.c_str(), get_time_msec(get_ref_time() - start));
}
