// The one UTF-8 decoder of all text layout.
#include "engine/gui/dist_font.h"

static bool is_continuation(uint8_t b) { return (b & 0xC0) == 0x80; }

// A sequence of `need` bytes whose lead byte holds `leadBits`: the value, or -1 with
// the count of bytes that belong to the bad sequence.
static int decode_sequence(const uint8_t* s, int left, int need, int leadBits, int minimum, int* cp) {
  if (left < need) {
    *cp = -1;
    return left;
  }
  int value = s[0] & leadBits;
  for (int i = 1; i < need; i++) {
    if (!is_continuation(s[i])) {
      *cp = -1;
      return i;
    }
    value = value << 6 | (s[i] & 0x3F);
  }
  bool bad = value < minimum || (value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF;
  *cp = bad ? -1 : value;
  return need;
}

int decode_utf8_char(const char* text, int left, int* cp) {
  if (left < 1) {
    *cp = -1;
    return 0;
  }
  const uint8_t* s = (const uint8_t*)text;
  uint8_t b0 = s[0];
  if (b0 < 0x80) {
    *cp = b0;
    return 1;
  }
  if ((b0 & 0xE0) == 0xC0) return decode_sequence(s, left, 2, 0x1F, 0x80, cp);
  if ((b0 & 0xF0) == 0xE0) return decode_sequence(s, left, 3, 0x0F, 0x800, cp);
  if ((b0 & 0xF8) == 0xF0) return decode_sequence(s, left, 4, 0x07, 0x10000, cp);
  *cp = -1;
  return 1;
}
