// Screen and world coordinates.
/*
import view
*/
#include "gameobj/view.h"

#include "engine/gui/gui_host.h"
#include "engine/render/d3d_device.h"

int view_scale() {
  int s = d3d_ht / 180;
  return s < 1 ? 1 : s;
}

void screen_to_world(float px, float py, float cam_x, float cam_y, float& wx, float& wy) {
  float s = float(view_scale());
  wx = cam_x + (px - d3d_wd * 0.5f) / s;
  wy = cam_y - (py - d3d_ht * 0.5f) / s;
}

bool pointer_pos(float& px, float& py) {
  gui_get_mouse_pos(&px, &py);
  return gui_is_mouse_over();
}
