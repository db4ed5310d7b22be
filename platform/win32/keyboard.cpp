// Keyboard: SDL scancodes to virtual keys and PC scan codes, the key state that the
// queue keeps as it hands out input messages, and ToAscii for the US layout.
#include <SDL2/SDL_scancode.h>

#include <cstring>

#include "platform/win32/win32_internal.h"

namespace {

BYTE key_state[256];

constexpr WORD EXT = 0x100;  // extended-key flag of a scan code

struct ScancodeEntry {
  int sdl;
  BYTE vk;
  WORD scan;
};

// Physical keys of a US keyboard.
const ScancodeEntry scancode_table[] = {
    {SDL_SCANCODE_A, 'A', 0x1E}, {SDL_SCANCODE_B, 'B', 0x30}, {SDL_SCANCODE_C, 'C', 0x2E},
    {SDL_SCANCODE_D, 'D', 0x20}, {SDL_SCANCODE_E, 'E', 0x12}, {SDL_SCANCODE_F, 'F', 0x21},
    {SDL_SCANCODE_G, 'G', 0x22}, {SDL_SCANCODE_H, 'H', 0x23}, {SDL_SCANCODE_I, 'I', 0x17},
    {SDL_SCANCODE_J, 'J', 0x24}, {SDL_SCANCODE_K, 'K', 0x25}, {SDL_SCANCODE_L, 'L', 0x26},
    {SDL_SCANCODE_M, 'M', 0x32}, {SDL_SCANCODE_N, 'N', 0x31}, {SDL_SCANCODE_O, 'O', 0x18},
    {SDL_SCANCODE_P, 'P', 0x19}, {SDL_SCANCODE_Q, 'Q', 0x10}, {SDL_SCANCODE_R, 'R', 0x13},
    {SDL_SCANCODE_S, 'S', 0x1F}, {SDL_SCANCODE_T, 'T', 0x14}, {SDL_SCANCODE_U, 'U', 0x16},
    {SDL_SCANCODE_V, 'V', 0x2F}, {SDL_SCANCODE_W, 'W', 0x11}, {SDL_SCANCODE_X, 'X', 0x2D},
    {SDL_SCANCODE_Y, 'Y', 0x15}, {SDL_SCANCODE_Z, 'Z', 0x2C},
    {SDL_SCANCODE_1, '1', 0x02}, {SDL_SCANCODE_2, '2', 0x03}, {SDL_SCANCODE_3, '3', 0x04},
    {SDL_SCANCODE_4, '4', 0x05}, {SDL_SCANCODE_5, '5', 0x06}, {SDL_SCANCODE_6, '6', 0x07},
    {SDL_SCANCODE_7, '7', 0x08}, {SDL_SCANCODE_8, '8', 0x09}, {SDL_SCANCODE_9, '9', 0x0A},
    {SDL_SCANCODE_0, '0', 0x0B},
    {SDL_SCANCODE_RETURN, VK_RETURN, 0x1C}, {SDL_SCANCODE_ESCAPE, VK_ESCAPE, 0x01},
    {SDL_SCANCODE_BACKSPACE, VK_BACK, 0x0E}, {SDL_SCANCODE_TAB, VK_TAB, 0x0F},
    {SDL_SCANCODE_SPACE, VK_SPACE, 0x39}, {SDL_SCANCODE_MINUS, VK_OEM_MINUS, 0x0C},
    {SDL_SCANCODE_EQUALS, VK_OEM_PLUS, 0x0D}, {SDL_SCANCODE_LEFTBRACKET, VK_OEM_4, 0x1A},
    {SDL_SCANCODE_RIGHTBRACKET, VK_OEM_6, 0x1B}, {SDL_SCANCODE_BACKSLASH, VK_OEM_5, 0x2B},
    {SDL_SCANCODE_NONUSHASH, VK_OEM_5, 0x2B}, {SDL_SCANCODE_SEMICOLON, VK_OEM_1, 0x27},
    {SDL_SCANCODE_APOSTROPHE, VK_OEM_7, 0x28}, {SDL_SCANCODE_GRAVE, VK_OEM_3, 0x29},
    {SDL_SCANCODE_COMMA, VK_OEM_COMMA, 0x33}, {SDL_SCANCODE_PERIOD, VK_OEM_PERIOD, 0x34},
    {SDL_SCANCODE_SLASH, VK_OEM_2, 0x35}, {SDL_SCANCODE_CAPSLOCK, VK_CAPITAL, 0x3A},
    {SDL_SCANCODE_F1, VK_F1, 0x3B}, {SDL_SCANCODE_F2, VK_F2, 0x3C}, {SDL_SCANCODE_F3, VK_F3, 0x3D},
    {SDL_SCANCODE_F4, VK_F4, 0x3E}, {SDL_SCANCODE_F5, VK_F5, 0x3F}, {SDL_SCANCODE_F6, VK_F6, 0x40},
    {SDL_SCANCODE_F7, VK_F7, 0x41}, {SDL_SCANCODE_F8, VK_F8, 0x42}, {SDL_SCANCODE_F9, VK_F9, 0x43},
    {SDL_SCANCODE_F10, VK_F10, 0x44}, {SDL_SCANCODE_F11, VK_F11, 0x57}, {SDL_SCANCODE_F12, VK_F12, 0x58},
    {SDL_SCANCODE_PRINTSCREEN, VK_SNAPSHOT, EXT | 0x37}, {SDL_SCANCODE_SCROLLLOCK, VK_SCROLL, 0x46},
    {SDL_SCANCODE_PAUSE, VK_PAUSE, 0x45}, {SDL_SCANCODE_INSERT, VK_INSERT, EXT | 0x52},
    {SDL_SCANCODE_HOME, VK_HOME, EXT | 0x47}, {SDL_SCANCODE_PAGEUP, VK_PRIOR, EXT | 0x49},
    {SDL_SCANCODE_DELETE, VK_DELETE, EXT | 0x53}, {SDL_SCANCODE_END, VK_END, EXT | 0x4F},
    {SDL_SCANCODE_PAGEDOWN, VK_NEXT, EXT | 0x51}, {SDL_SCANCODE_RIGHT, VK_RIGHT, EXT | 0x4D},
    {SDL_SCANCODE_LEFT, VK_LEFT, EXT | 0x4B}, {SDL_SCANCODE_DOWN, VK_DOWN, EXT | 0x50},
    {SDL_SCANCODE_UP, VK_UP, EXT | 0x48}, {SDL_SCANCODE_NUMLOCKCLEAR, VK_NUMLOCK, EXT | 0x45},
    {SDL_SCANCODE_KP_DIVIDE, VK_DIVIDE, EXT | 0x35}, {SDL_SCANCODE_KP_MULTIPLY, VK_MULTIPLY, 0x37},
    {SDL_SCANCODE_KP_MINUS, VK_SUBTRACT, 0x4A}, {SDL_SCANCODE_KP_PLUS, VK_ADD, 0x4E},
    {SDL_SCANCODE_KP_ENTER, VK_RETURN, EXT | 0x1C}, {SDL_SCANCODE_NONUSBACKSLASH, 0xE2, 0x56},
    {SDL_SCANCODE_APPLICATION, VK_APPS, EXT | 0x5D}, {SDL_SCANCODE_LCTRL, VK_CONTROL, 0x1D},
    {SDL_SCANCODE_LSHIFT, VK_SHIFT, 0x2A}, {SDL_SCANCODE_LALT, VK_MENU, 0x38},
    {SDL_SCANCODE_LGUI, VK_LWIN, EXT | 0x5B}, {SDL_SCANCODE_RCTRL, VK_CONTROL, EXT | 0x1D},
    {SDL_SCANCODE_RSHIFT, VK_SHIFT, 0x36}, {SDL_SCANCODE_RALT, VK_MENU, EXT | 0x38},
    {SDL_SCANCODE_RGUI, VK_RWIN, EXT | 0x5C},
};

// The number pad: digits with Num Lock on, the cursor keys with it off.
struct KeypadEntry {
  int sdl;
  BYTE vk_num;
  BYTE vk_nav;
  WORD scan;
};
const KeypadEntry keypad_table[] = {
    {SDL_SCANCODE_KP_0, VK_NUMPAD0 + 0, VK_INSERT, 0x52}, {SDL_SCANCODE_KP_1, VK_NUMPAD0 + 1, VK_END, 0x4F},
    {SDL_SCANCODE_KP_2, VK_NUMPAD0 + 2, VK_DOWN, 0x50},   {SDL_SCANCODE_KP_3, VK_NUMPAD0 + 3, VK_NEXT, 0x51},
    {SDL_SCANCODE_KP_4, VK_NUMPAD0 + 4, VK_LEFT, 0x4B},   {SDL_SCANCODE_KP_5, VK_NUMPAD0 + 5, VK_CLEAR, 0x4C},
    {SDL_SCANCODE_KP_6, VK_NUMPAD0 + 6, VK_RIGHT, 0x4D},  {SDL_SCANCODE_KP_7, VK_NUMPAD0 + 7, VK_HOME, 0x47},
    {SDL_SCANCODE_KP_8, VK_NUMPAD0 + 8, VK_UP, 0x48},     {SDL_SCANCODE_KP_9, VK_NUMPAD0 + 9, VK_PRIOR, 0x49},
    {SDL_SCANCODE_KP_PERIOD, VK_DECIMAL, VK_DELETE, 0x53},
};

// Left and right variants of the modifier keys, told apart by the extended flag
// (Ctrl, Alt) or the scan code (Shift).
int side_variant(BYTE vk, WORD scan) {
  bool right = (vk == VK_SHIFT) ? (scan & 0xFF) == 0x36 : (scan & EXT) != 0;
  switch (vk) {
    case VK_SHIFT: return right ? VK_RSHIFT : VK_LSHIFT;
    case VK_CONTROL: return right ? VK_RCONTROL : VK_LCONTROL;
    case VK_MENU: return right ? VK_RMENU : VK_LMENU;
    default: return -1;
  }
}

void set_down(int vk, bool down) {
  if (vk < 0 || vk > 255)
    return;
  if (down)
    key_state[vk] |= 0x80;
  else
    key_state[vk] &= (BYTE)~0x80;
}

// The generic modifier is held while either side is.
void refresh_generic(BYTE generic, BYTE left, BYTE right) {
  set_down(generic, ((key_state[left] | key_state[right]) & 0x80) != 0);
}

}  // namespace

KeyTranslation win32_translate_scancode(int sdl_scancode, bool num_lock_on) {
  for (const KeypadEntry& k : keypad_table)
    if (k.sdl == sdl_scancode)
      return KeyTranslation{num_lock_on ? k.vk_num : k.vk_nav, k.scan};
  for (const ScancodeEntry& e : scancode_table)
    if (e.sdl == sdl_scancode)
      return KeyTranslation{e.vk, e.scan};
  return KeyTranslation{0, 0};
}

void win32_init_lock_toggles(bool caps, bool num, bool scroll) {
  key_state[VK_CAPITAL] = (BYTE)((key_state[VK_CAPITAL] & 0x80) | (caps ? 1 : 0));
  key_state[VK_NUMLOCK] = (BYTE)((key_state[VK_NUMLOCK] & 0x80) | (num ? 1 : 0));
  key_state[VK_SCROLL] = (BYTE)((key_state[VK_SCROLL] & 0x80) | (scroll ? 1 : 0));
}

void win32_track_key_message(const MSG& msg) {
  switch (msg.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYUP: {
      bool down = msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN;
      int vk = (int)(msg.wParam & 0xFF);
      bool repeat = (msg.lParam >> 30) & 1;
      if (down && !repeat && (vk == VK_CAPITAL || vk == VK_NUMLOCK || vk == VK_SCROLL))
        key_state[vk] ^= 1;
      set_down(vk, down);
      int side = side_variant((BYTE)vk, (WORD)((msg.lParam >> 16) & 0x1FF));
      if (side >= 0) {
        set_down(side, down);
        refresh_generic(VK_SHIFT, VK_LSHIFT, VK_RSHIFT);
        refresh_generic(VK_CONTROL, VK_LCONTROL, VK_RCONTROL);
        refresh_generic(VK_MENU, VK_LMENU, VK_RMENU);
      }
      break;
    }
    case WM_LBUTTONDOWN: set_down(VK_LBUTTON, true); break;
    case WM_LBUTTONUP: set_down(VK_LBUTTON, false); break;
    case WM_RBUTTONDOWN: set_down(VK_RBUTTON, true); break;
    case WM_RBUTTONUP: set_down(VK_RBUTTON, false); break;
    case WM_MBUTTONDOWN: set_down(VK_MBUTTON, true); break;
    case WM_MBUTTONUP: set_down(VK_MBUTTON, false); break;
    default: break;
  }
}

BOOL GetKeyboardState(BYTE* state) {
  if (!state)
    return FALSE;
  memcpy(state, key_state, sizeof(key_state));
  return TRUE;
}

SHORT GetKeyState(int virtual_key) {
  if (virtual_key < 0 || virtual_key > 255)
    return 0;
  BYTE s = key_state[virtual_key];
  return (SHORT)(((s & 0x80) ? 0x8000 : 0) | (s & 1));
}

int ToAscii(UINT vk, UINT, const BYTE* state, WORD* out, UINT) {
  if (!state || !out)
    return 0;
  bool shift = state[VK_SHIFT] & 0x80;
  bool ctrl = state[VK_CONTROL] & 0x80;
  bool alt = state[VK_MENU] & 0x80;
  bool caps = state[VK_CAPITAL] & 1;
  int ch = 0;
  if (ctrl && alt)
    return 0;  // AltGr: the US layout has nothing there
  if (vk >= 'A' && vk <= 'Z') {
    if (ctrl)
      ch = (int)(vk - 'A' + 1);
    else
      ch = (shift != caps) ? (int)vk : (int)(vk - 'A' + 'a');
  } else if (vk >= '0' && vk <= '9') {
    static const char shifted[] = ")!@#$%^&*(";
    if (!ctrl)
      ch = shift ? shifted[vk - '0'] : (int)vk;
  } else if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD9) {
    ch = (int)('0' + vk - VK_NUMPAD0);
  } else {
    struct Sym {
      UINT vk;
      char plain, shifted;
      int control;
    };
    static const Sym syms[] = {
        {VK_SPACE, ' ', ' ', ' '},      {VK_RETURN, 13, 13, 10},       {VK_BACK, 8, 8, 127},
        {VK_TAB, 9, 9, 0},              {VK_ESCAPE, 27, 27, 27},       {VK_CANCEL, 3, 3, 3},
        {VK_OEM_MINUS, '-', '_', 0},    {VK_OEM_PLUS, '=', '+', 0},    {VK_OEM_4, '[', '{', 27},
        {VK_OEM_6, ']', '}', 29},       {VK_OEM_5, '\\', '|', 28},     {VK_OEM_1, ';', ':', 0},
        {VK_OEM_7, '\'', '"', 0},       {VK_OEM_3, '`', '~', 0},       {VK_OEM_COMMA, ',', '<', 0},
        {VK_OEM_PERIOD, '.', '>', 0},   {VK_OEM_2, '/', '?', 0},       {0xE2, '\\', '|', 28},
        {VK_MULTIPLY, '*', '*', 0},     {VK_ADD, '+', '+', 0},         {VK_SUBTRACT, '-', '-', 0},
        {VK_DECIMAL, '.', '.', 0},      {VK_DIVIDE, '/', '/', 0},
    };
    for (const Sym& s : syms) {
      if (s.vk != vk)
        continue;
      ch = ctrl ? s.control : (shift ? s.shifted : s.plain);
      break;
    }
  }
  if (ch == 0)
    return 0;
  *out = (WORD)ch;
  return 1;
}
