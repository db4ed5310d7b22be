// Input events and key queries.
#include "engine/shell/input.h"

#include <algorithm>
#include <cstring>

#include "engine/core/mem.h"
#include "engine/gui/gui_host.h"
#include "engine/render/d3d_device.h"
#include "engine/shell/main_loop.h"
#include "engine/shell/shell.h"

namespace {

HWND input_window = nullptr;
InputEvent* input_queue = nullptr;
uint8_t key_state_bits[256];
int last_key = 0;
int last_char = 0;
int mouse_wheel_steps = 0;
float mouse_x = 0, mouse_y = 0;
bool mouse_over = false;
bool mouse_captured = false;
bool mouse_blocked = false;
bool keyboard_blocked = false;
int raw_mouse_dx = 0, raw_mouse_dy = 0;

constexpr uint8_t WENT_DOWN = 1;
constexpr uint8_t WENT_UP = 2;

bool is_mouse_button(int key) { return key == VK_LBUTTON || key == VK_RBUTTON || key == VK_MBUTTON; }

// Mouse buttons follow the mouse block, every other key the keyboard block.
bool key_blocked(int key) { return is_mouse_button(key) ? mouse_blocked : keyboard_blocked; }

bool event_blocked(const InputEvent& e) {
  return (e.type == IE_KEY_DOWN || e.type == IE_KEY_UP) ? keyboard_blocked : mouse_blocked;
}

int modifier_bits(const BYTE* ks) {
  int mods = 0;
  if (ks[VK_SHIFT] & 0x80) mods |= INPUT_MOD_SHIFT;
  if (ks[VK_CONTROL] & 0x80) mods |= INPUT_MOD_CTRL;
  if (ks[VK_MENU] & 0x80) mods |= INPUT_MOD_ALT;
  if (ks[VK_CAPITAL] & 1) mods |= INPUT_MOD_CAPS;
  if (ks[VK_SCROLL] & 1) mods |= INPUT_MOD_SCROLL;
  if (ks[VK_NUMLOCK] & 1) mods |= INPUT_MOD_NUM;
  if (ks[VK_LBUTTON] & 0x80) mods |= INPUT_MOD_LBUTTON;
  if (ks[VK_RBUTTON] & 0x80) mods |= INPUT_MOD_RBUTTON;
  if (ks[VK_MBUTTON] & 0x80) mods |= INPUT_MOD_MBUTTON;
  return mods;
}

// Puts the system cursor at a client position of the input window.
void warp_cursor_to(float x, float y) {
  POINT pt{(LONG)x, (LONG)y};
  ClientToScreen(input_window, &pt);
  SetCursorPos(pt.x, pt.y);
}

void set_bit(int key, uint8_t bit) {
  if (key >= 0 && key <= 255)
    key_state_bits[key] |= bit;
}

void append_event(InputEvent* e) {
  InputEvent** tail = &input_queue;
  while (*tail)
    tail = &(*tail)->next;
  *tail = e;
}

}  // namespace

bool keyDown(int key) {
  if (key < 0 || key > 255 || key_blocked(key))
    return false;
  return key_state_bits[key] & WENT_DOWN;
}

bool keyUp(int key) {
  if (key < 0 || key > 255 || key_blocked(key))
    return false;
  return key_state_bits[key] & WENT_UP;
}

bool getKeyState(int key) {
  if (key < 0 || key > 255 || key_blocked(key))
    return false;
  return (GetKeyState(key) & 0x8000) != 0;
}

void getKeyboardState(bool state[256]) {
  BYTE ks[256];
  GetKeyboardState(ks);
  for (int i = 0; i < 256; i++)
    state[i] = !keyboard_blocked && (ks[i] & 0x80);
}

int getKey() { return keyboard_blocked ? 0 : last_key; }
int getChar() { return keyboard_blocked ? 0 : last_char; }

int peekTextInput(int* buffer, int capacity) {
  if (keyboard_blocked || !buffer)
    return 0;
  int n = 0;
  for (InputEvent* e = input_queue; e && n < capacity; e = e->next)
    if (e->type == IE_KEY_DOWN)
      buffer[n++] = e->ch;
  return n;
}

bool getEvent(InputEvent* out) {
  while (input_queue) {
    InputEvent* e = input_queue;
    input_queue = e->next;
    bool blocked = event_blocked(*e);
    if (!blocked && out) {
      *out = *e;
      out->next = nullptr;
    }
    dlfree(e);
    if (!blocked)
      return true;
  }
  return false;
}

void getMousePos(float* x, float* y) {
  if (x) *x = mouse_x;
  if (y) *y = mouse_y;
}

void setMousePos(float x, float y) { warp_cursor_to(x, y); }

int getMouseWheel() { return mouse_blocked ? 0 : mouse_wheel_steps; }

void get_raw_mouse_delta(float* dx, float* dy) {
  if (dx) *dx = (float)raw_mouse_dx;
  if (dy) *dy = (float)raw_mouse_dy;
}

void reset_raw_mouse_delta() { raw_mouse_dx = raw_mouse_dy = 0; }

bool isMouseOver() { return mouse_over; }
bool isMouseBlocked() { return mouse_blocked; }

void blockKeyboardInput(bool block) { keyboard_blocked = block; }

void blockMouseInput(bool block) {
  mouse_blocked = block;
  if (block)
    mouse_wheel_steps = 0;
}

void init_input(HWND window) {
  input_window = window;
  POINT pt{0, 0};
  GetCursorPos(&pt);
  ScreenToClient(window, &pt);
  mouse_x = (float)pt.x;
  mouse_y = (float)pt.y;
  memset(key_state_bits, 0, sizeof(key_state_bits));
}

void on_input_message(int type, int code, int scan, int flags, int x, int y) {
  auto* e = (InputEvent*)dlmalloc(sizeof(InputEvent));
  if (!e)
    return;  // out of memory: the event is lost, the game goes on
  *e = InputEvent{};
  e->type = type;
  BYTE ks[256];
  GetKeyboardState(ks);
  bool is_key = type == IE_KEY_DOWN || type == IE_KEY_UP;
  if (is_key) {
    if (type == IE_KEY_UP)
      set_bit(code, WENT_UP);
    else if (!(flags & INPUT_MOD_REPEAT))
      set_bit(code, WENT_DOWN);
    // A release is translated with the key-up bit of the scan code.
    UINT translate_scan = (UINT)(scan & 0xFF) + (type == IE_KEY_UP ? 0x8000u : 0u);
    WORD ch = 0;
    ToAscii((UINT)code, translate_scan, ks, &ch, 0);
    e->ch = ch & 0xFF;
  }
  if (type == IE_WHEEL) {
    e->wheel = code;  // the steps; code and scan stay 0
    POINT pt{x, y};
    ScreenToClient(input_window, &pt);
    x = pt.x;
    y = pt.y;
  } else {
    e->code = code;
    e->scan = scan;
  }
  if (type == IE_BUTTON_DOWN) {
    set_bit(code, WENT_DOWN);
    SetCapture(input_window);
    mouse_captured = true;
  } else if (type == IE_BUTTON_UP) {
    set_bit(code, WENT_UP);
    ReleaseCapture();
    // Back to where the game last saw the pointer inside the back buffer.
    warp_cursor_to(mouse_x, mouse_y);
    mouse_captured = false;
    x = (int)mouse_x;
    y = (int)mouse_y;
  }
  e->mods = flags | modifier_bits(ks);
  if (is_key) {
    e->x = mouse_x;
    e->y = mouse_y;
  } else {
    // Held to the back buffer: the lower bound first, then the upper one.
    x = std::min(std::max(x, 0), d3d_wd - 1);
    y = std::min(std::max(y, 0), d3d_ht - 1);
    e->x = (float)x;
    e->y = (float)y;
  }
  append_event(e);
  if (type == IE_KEY_DOWN || type == IE_BUTTON_DOWN) {
    last_key = e->code;
    last_char = e->ch;
  } else if (type == IE_MOUSE_MOVE) {
    mouse_x = e->x;
    mouse_y = e->y;
  } else if (type == IE_WHEEL) {
    mouse_wheel_steps += e->wheel;
  }
}

void add_raw_mouse_delta(int dx, int dy) {
  raw_mouse_dx += dx;
  raw_mouse_dy += dy;
}

void update_mouse_over() {
  if (mouse_captured || isFullscreen) {
    mouse_over = true;
    return;
  }
  POINT pt;
  RECT client;
  if (!input_window || !GetCursorPos(&pt) || !GetClientRect(input_window, &client)) {
    mouse_over = false;
    return;
  }
  POINT top_left{client.left, client.top};
  POINT bottom_right{client.right, client.bottom};
  ClientToScreen(input_window, &top_left);
  ClientToScreen(input_window, &bottom_right);
  RECT screen_client{top_left.x, top_left.y, bottom_right.x, bottom_right.y};
  mouse_over = PtInRect(&screen_client, pt) && WindowFromPoint(pt) == input_window;
}

void reset_frame_input() {
  memset(key_state_bits, 0, sizeof(key_state_bits));
  while (input_queue) {
    InputEvent* next = input_queue->next;
    dlfree(input_queue);
    input_queue = next;
  }
  last_key = 0;
  last_char = 0;
  mouse_wheel_steps = 0;
}

// ---- the GUI runtime's view of the input ------------------------------------------

namespace {

bool gui_event_from_queue(GuiInput* out) {
  InputEvent e;
  if (!getEvent(&e))
    return false;
  if (out) {
    out->type = e.type;
    out->code = e.code;
    out->scan = e.scan;
    out->modifiers = (uint32_t)e.mods;
    out->character = (uint32_t)e.ch;
    out->wheel = e.wheel;
    out->x = e.x;
    out->y = e.y;
  }
  return true;
}

void gui_screen_size(int* width, int* height) {
  if (width) *width = d3d_wd;
  if (height) *height = d3d_ht;
}

float gui_step_time() { return time_dt; }

}  // namespace

void connect_gui_input() {
  gui_host.get_event = gui_event_from_queue;
  gui_host.get_mouse_pos = getMousePos;
  gui_host.is_mouse_blocked = isMouseBlocked;
  gui_host.is_mouse_over = isMouseOver;
  gui_host.get_screen_size = gui_screen_size;
  gui_host.get_time_dt = gui_step_time;
  gui_host.get_update_step_usec = get_update_step_usec;
}
