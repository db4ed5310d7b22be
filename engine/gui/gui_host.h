#pragma once
// What the GUI runtime needs from the rest of the engine, behind one table of
// function pointers: the step's input events and mouse state (the shell), the
// tooltip calls (the game-object module), the back-buffer size (the renderer)
// and the step times (the main loop). The owners fill the table at start-up;
// tests fill it with their own functions. A null entry means "nothing there":
// no events, the mouse at (0, 0) over the window and not blocked, no tooltip,
// a 0 x 0 screen, a step time of 0 and the fixed update step of 1/20 s.
#include <cstdint>
#include <xmmintrin.h>

class String;

// One input record as the GUI sees it: the fields of the shell's InputEvent,
// copied in order (without its queue link).
struct GuiInput {
  enum : int32_t { KEY_DOWN = 1, KEY_UP = 2, MOUSE_DOWN = 3, MOUSE_UP = 4, MOUSE_MOVE = 5, WHEEL = 6 };
  int32_t type = 0;
  int32_t code = 0;       // virtual-key code, or the button code of a mouse event
  int32_t scan = 0;
  uint32_t modifiers = 0; // 0x80 left, 0x100 right, 0x200 middle button held, plus key modifiers
  uint32_t character = 0; // the character the key types (a Unicode code point), 0 for none
  int32_t wheel = 0;
  float x = 0, y = 0;     // back-buffer pixels
};

// Mouse-button bits of GuiInput::modifiers that count as "a button is held".
constexpr uint32_t GUI_MOD_BUTTONS_HELD = 0x180;

struct GuiHost {
  bool (*get_event)(GuiInput* out) = nullptr;       // next event of this step; false when none
  void (*get_mouse_pos)(float* x, float* y) = nullptr;
  bool (*is_mouse_blocked)() = nullptr;
  bool (*is_mouse_over)() = nullptr;
  void (*hide_tooltip)() = nullptr;
  void (*show_tooltip)(const String* text, __m128 box) = nullptr;
  void (*get_screen_size)(int* width, int* height) = nullptr;
  float (*get_time_dt)() = nullptr;
  int (*get_update_step_usec)() = nullptr;          // the fixed update step in microseconds
};

extern GuiHost gui_host;

// Calls through the table with the null defaults above.
bool gui_get_event(GuiInput* out);
void gui_get_mouse_pos(float* x, float* y);
bool gui_is_mouse_blocked();
bool gui_is_mouse_over();
void gui_hide_tooltip();
void gui_show_tooltip(const String* text, __m128 box);
void gui_get_screen_size(int* width, int* height);
float gui_time_dt();
int gui_update_step_usec();
