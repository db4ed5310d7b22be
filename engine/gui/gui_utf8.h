#pragma once
// Character boundaries of UTF-8 text, for editing whole characters.
#include <cstdint>

inline bool utf8_is_continuation(char c) { return ((uint8_t)c & 0xC0) == 0x80; }

// The start of the character that holds byte `pos` (pos itself on a boundary),
// with pos first clamped to 0..len.
inline int utf8_floor_boundary(const char* text, int len, int pos) {
  if (pos <= 0) return 0;
  if (pos >= len) return len;
  while (pos > 0 && utf8_is_continuation(text[pos])) pos--;
  return pos;
}

// The start of the character before the boundary pos (0 stays 0).
inline int utf8_prev_boundary(const char* text, int len, int pos) {
  pos = utf8_floor_boundary(text, len, pos);
  if (pos == 0) return 0;
  pos--;
  while (pos > 0 && utf8_is_continuation(text[pos])) pos--;
  return pos;
}

// The boundary after the character that starts at pos (len stays len).
inline int utf8_next_boundary(const char* text, int len, int pos) {
  pos = utf8_floor_boundary(text, len, pos);
  if (pos >= len) return len;
  pos++;
  while (pos < len && utf8_is_continuation(text[pos])) pos++;
  return pos;
}

// Writes the UTF-8 form of a code point to out (room for 4 bytes); returns the
// byte count. Code points that UTF-8 cannot hold (surrogates, above 0x10FFFF)
// give U+FFFD.
inline int utf8_encode(uint32_t cp, char* out) {
  if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) cp = 0xFFFD;
  if (cp < 0x80) {
    out[0] = (char)cp;
    return 1;
  }
  if (cp < 0x800) {
    out[0] = (char)(0xC0 | (cp >> 6));
    out[1] = (char)(0x80 | (cp & 0x3F));
    return 2;
  }
  if (cp < 0x10000) {
    out[0] = (char)(0xE0 | (cp >> 12));
    out[1] = (char)(0x80 | ((cp >> 6) & 0x3F));
    out[2] = (char)(0x80 | (cp & 0x3F));
    return 3;
  }
  out[0] = (char)(0xF0 | (cp >> 18));
  out[1] = (char)(0x80 | ((cp >> 12) & 0x3F));
  out[2] = (char)(0x80 | ((cp >> 6) & 0x3F));
  out[3] = (char)(0x80 | (cp & 0x3F));
  return 4;
}
