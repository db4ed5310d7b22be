// Drawing of the visual log (bottom left) and the error message (a banner across the
// top), with the system font at scale 2, between start_draw_text and end_draw_text.
#include "engine/gui/sys_font.h"
#include "engine/gui/visual_log.h"
#include "engine/render/d3d_device.h"

void draw_visual_log() {
  push_text_state();
  font_scale = 2;
  int c = font_cell_height, n = visual_log_lines.size();
  // The newest line sits 2c above the bottom edge; older lines stack upward.
  for (int i = 0; i < n; i++) draw_text(visual_log_lines[i].text, -1, 2 * c, (n - i) * 2 * c, -1, -1, 0xFFFFFFFF);
  pop_text_state();
}

void draw_error_message() {
  if (!has_error_message()) return;
  push_text_state();
  font_scale = 2;
  int c = font_cell_height, W = d3d_wd, H = d3d_ht;
  draw_rect(0, H - 12 * c, W, H, 0xCC660000);
  draw_text(error_message_text.data, -1, W / 2, H - c, 0, 1, 0xFFFFEE00);
  pop_text_state();
}
