#include "engine/gui/gui_host.h"

GuiHost gui_host;

bool gui_get_event(GuiInput* out) { return gui_host.get_event ? gui_host.get_event(out) : false; }

void gui_get_mouse_pos(float* x, float* y) {
  if (gui_host.get_mouse_pos) return gui_host.get_mouse_pos(x, y);
  *x = 0;
  *y = 0;
}

bool gui_is_mouse_blocked() { return gui_host.is_mouse_blocked ? gui_host.is_mouse_blocked() : false; }

bool gui_is_mouse_over() { return gui_host.is_mouse_over ? gui_host.is_mouse_over() : true; }

void gui_hide_tooltip() {
  if (gui_host.hide_tooltip) gui_host.hide_tooltip();
}

void gui_show_tooltip(const String* text, __m128 box) {
  if (gui_host.show_tooltip) gui_host.show_tooltip(text, box);
}

void gui_get_screen_size(int* width, int* height) {
  if (gui_host.get_screen_size) return gui_host.get_screen_size(width, height);
  *width = 0;
  *height = 0;
}

float gui_time_dt() { return gui_host.get_time_dt ? gui_host.get_time_dt() : 0.0f; }

int gui_update_step_usec() { return gui_host.get_update_step_usec ? gui_host.get_update_step_usec() : 50000; }
