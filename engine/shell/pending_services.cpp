// Stand-ins for the services the shell calls that are still to come: the system
// font, text, splash and on-screen log. Each does the least that keeps
// the program running: start-up and shut-down go through, the loop runs, nothing is
// drawn. All are weak, so a real definition replaces its stand-in as soon as it is
// linked in; delete each stand-in once its real one has landed.
#include "engine/shell/pending_services.h"

#define PENDING __attribute__((weak))

// ---- text and GUI ------------------------------------------------------------------
PENDING int font_scale = 1;
PENDING int font_cell_height = 8;
PENDING void init_font() {}
PENDING void close_font() {}
PENDING void update_font_scale() {}
PENDING void show_splash(const char*, float) {}
PENDING void draw_splash() {}
PENDING void start_draw_text() {}
PENDING void end_draw_text() {}
PENDING void draw_text(const char*, int, int, int, int, int, D3dColor) {}
PENDING void calc_text_size(const char*, int, int& width, int& height) { width = height = 0; }
PENDING void draw_rect(int, int, int, int, D3dColor) {}
PENDING void start_draw_tex_text(Texture*, int, int) {}
PENDING void draw_tex_quad(int, int, int, int, D3dColor, int, int, int, int) {}
PENDING void end_draw_tex_text() {}
PENDING void push_text_state() {}
PENDING void pop_text_state() {}
PENDING void draw_visual_log() {}
PENDING void draw_error_message() {}
