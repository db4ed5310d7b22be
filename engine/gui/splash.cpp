#include "engine/gui/splash.h"

#include <cmath>
#include <cstring>

#include "engine/gui/sys_font.h"
#include "engine/render/d3d_device.h"
#include "engine/render/d3d_vbuf.h"

TempString<256> splash_text("Please wait...");
float splash_progress = -1;

void show_splash(const char* text, float progress) {
  // The module calls this with any text: a long one is cut, never fatal.
  int len = text ? (int)strnlen(text, sizeof(splash_text.str) - 1) : 0;
  splash_text.assign(text, len);
  splash_progress = progress;
  present_splash();
}

void draw_splash() {
  int W = d3d_wd, H = d3d_ht;
  set_backbuffer_target();
  clear_view_color(0xFF000A28);
  start_draw_text();
  draw_text(splash_text.str, -1, W / 2, H / 4, 0, 0, 0xFFFFFFFF);
  if (splash_progress >= 0) {
    int u = font_scale * font_cell_height;
    int bw = W / 4, x0 = (W - bw) / 2;
    int y0 = H / 4 - 3 * u, y1 = y0 + (3 * u) / 2;
    draw_rect(x0, y0, x0 + bw, y1, 0xFF000000);
    // Not clamped: a progress above 1 runs past the bar's end.
    draw_rect(x0, y0, x0 + (int)std::lround(bw * splash_progress), y1, 0xFF32960A);
  }
  end_draw_text();
}
