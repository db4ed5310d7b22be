// Screenshots: the front buffer, cropped to the window, as a PNG file under "shots/".
#include "engine/render/screenshot.h"

#include "engine/core/dynarray.h"
#include "engine/core/error_message.h"
#include "engine/core/log.h"
#include "engine/core/strings.h"
#include "engine/core/utils.h"
#include "engine/core/vfs.h"
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

// "shots/shot<date>_<time>.png" after the local time; a further shot within the same
// second takes the first free of "...-2.png", "...-3.png", ..., so none replaces
// another. Without the local time every shot is "shots/shot.png".
static void name_screenshot(TempString<260>& name) {
  struct tm local;
  if (!screenshot_local_time(&local)) {
    name.assign("shots/shot.png");
    return;
  }
  TempString<260> stem;
  stem.format("shots/shot%4u_%02u_%02u_%02u_%02u_%02u", (unsigned)local.tm_year + 1900, (unsigned)local.tm_mon + 1,
              (unsigned)local.tm_mday, (unsigned)local.tm_hour, (unsigned)local.tm_min, (unsigned)local.tm_sec);
  name.format("%s.png", stem.c_str());
  for (int n = 2; PHYSFS_exists(name); n++)
    name.format("%s-%d.png", stem.c_str(), n);
}

// Why "shots" in the write folder cannot take the shot; null when it can. The file
// system's own reason for a file standing in the folder's place is "not found".
static const char* shots_folder_problem() {
  if (PHYSFS_exists("shots") && !vfs_is_directory("shots"))
    return "a file stands where the folder 'shots' belongs";
  if (!PHYSFS_mkdir("shots")) {
    const char* why = vfs_last_error();
    return why ? why : "the folder 'shots' cannot be made";
  }
  return nullptr;
}

// The screenshots' part of the on-screen errors: it stands until a shot is saved.
static const char* const SCREENSHOT_ERRORS = "screenshot";

// In the log and on the screen: a player who pressed the key learns that no shot was
// kept, and why. On the screen in short lines, which fit the width of a small window.
static void report_failed_save(const char* name, const char* why) {
  debug("failed to save screenshot to '%s': %s", name, why);
  TempString<512> text;
  text.format("failed to save screenshot to\n'%s':\n%s", name, why);
  set_source_error(SCREENSHOT_ERRORS, text.c_str());
}

void take_screenshot() {
  int64_t start = get_ref_time();
  debug("screenshot...");
  int w = 0, h = 0, pitch = 0;
  const uint8_t* bits = (const uint8_t*)capture_front_buffer(&w, &h, &pitch);
  if (!bits) return;

  TempString<260> name;
  name_screenshot(name);
  const char* why = shots_folder_problem();

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
  bool ok = !why && save_png(name, w, h, 4, rgba.data, w * 4, &why);
  release_front_buffer_capture();
  if (!ok) {
    report_failed_save(name.c_str(), why);
    return;
  }
  set_source_error(SCREENSHOT_ERRORS, nullptr);  // saving works again
  debug("screenshot captured to '%s' in %d ms", name.c_str(), get_time_msec(get_ref_time() - start));
}
