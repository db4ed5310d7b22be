#pragma once
// Input gathered between two updates: queued events, per-key went-down/went-up bits,
// the last key and character, the mouse position and wheel steps; read during the
// update through the queries below and dropped by reset_frame_input at its end.
#include <cstdint>

#include "platform/win32/windows.h"

struct InputEvent {
  int type;   // 1 key down, 2 key up, 3 button down, 4 button up, 5 mouse move, 6 wheel
  int code;   // virtual key, or button 1/2/4
  int scan;
  int mods;   // see the INPUT_MOD_ bits
  int ch;
  int wheel;
  float x, y;
  InputEvent* next;
};

enum InputEventType { IE_KEY_DOWN = 1, IE_KEY_UP = 2, IE_BUTTON_DOWN = 3, IE_BUTTON_UP = 4, IE_MOUSE_MOVE = 5, IE_WHEEL = 6 };

enum InputModifier {
  INPUT_MOD_SHIFT = 1,
  INPUT_MOD_CTRL = 2,
  INPUT_MOD_ALT = 4,
  INPUT_MOD_CAPS = 8,
  INPUT_MOD_SCROLL = 16,
  INPUT_MOD_NUM = 32,
  INPUT_MOD_REPEAT = 64,
  INPUT_MOD_LBUTTON = 128,
  INPUT_MOD_RBUTTON = 256,
  INPUT_MOD_MBUTTON = 512,
};

// Queries (main thread, during an update).
bool keyDown(int key);
bool keyUp(int key);
bool getKeyState(int key);
void getKeyboardState(bool state[256]);
const char* getKeyName(int key);
int getKey();
int getChar();
int peekTextInput(int* buffer, int capacity);
bool getEvent(InputEvent* out);
void getMousePos(float* x, float* y);
void setMousePos(float x, float y);
int getMouseWheel();
void get_raw_mouse_delta(float* dx, float* dy);
void reset_raw_mouse_delta();
bool isMouseOver();
bool isMouseBlocked();
void blockKeyboardInput(bool block);
void blockMouseInput(bool block);

// Internal operations.
void init_input(HWND window);
void on_input_message(int type, int code, int scan, int flags, int x, int y);
void add_raw_mouse_delta(int dx, int dy);
void update_mouse_over();
void reset_frame_input();

// Fills the GUI runtime's host table with the queries above.
void connect_gui_input();
