// The statistics overlay drawn with the system font.
#include "engine/gui/stats_canvas.h"

#include "engine/core/stats.h"
#include "engine/gui/gui_host.h"
#include "engine/gui/sys_font.h"
#include "engine/render/d3d_device.h"
#include "engine/render/d3d_states.h"


static StatsCanvas sys_font_canvas;

static void set_text_layout(int lineSpacing, int charSpacing, int scale) {
  line_gap = lineSpacing;
  char_gap = charSpacing;
  font_scale = scale;
}

void update_stats_canvas_size() {
  sys_font_canvas.width = d3d_wd;
  sys_font_canvas.height = d3d_ht;
  sys_font_canvas.cellHeight = font_cell_height;
}

void install_stats_canvas() {
  sys_font_canvas.pushTextState = push_text_state;
  sys_font_canvas.popTextState = pop_text_state;
  sys_font_canvas.setTextLayout = set_text_layout;
  sys_font_canvas.drawText = draw_text;
  sys_font_canvas.drawRect = draw_rect;
  sys_font_canvas.freeTexmem = get_free_texmem;
  sys_font_canvas.updateStepUsec = gui_update_step_usec;
  update_stats_canvas_size();
  set_stats_canvas(&sys_font_canvas);
}

void remove_stats_canvas() { set_stats_canvas(nullptr); }
