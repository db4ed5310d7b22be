#pragma once
// String: a heap string of one pointer (null is the empty string) to a block of
// a 32-bit length, the characters and a NUL, allocated through the hooks.
// TempString<BS>: a fixed-capacity text buffer used by value (paths, messages).
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "engine/core/fatal.h"

class String {
 public:
  String() = default;
  String(const char* text) { assign(text); }
  String(const String& other) { assignBytes(other.c_str(), other.len()); }
  String(String&& other) noexcept : block(other.block) { other.block = nullptr; }
  ~String() { clear(); }

  String& operator=(const String& other);
  String& operator=(String&& other) noexcept;
  String& operator=(const char* text) {
    assign(text);
    return *this;
  }

  void clear();
  // Copies a NUL-terminated text (null or empty gives the empty string).
  void assign(const char* text);
  // Copies `count` bytes (no block when count <= 0).
  void assignBytes(const void* bytes, int count);
  // Inserts `l` bytes before position `at`; the bytes may lie inside this string.
  void insert(int at, const void* bytes, int l) {
    ASSERT(at>=0 && at<=len());
    ASSERT(l>=0);
    insertBytes(at, bytes, l);
  }
  // Removes `l` characters at `at`; the block is kept.
  void remove(int at, int l) {
    ASSERT(at>=0 && at+l<=len());
    ASSERT(l>0);
    char* text = block + sizeof(int);
    memmove(text + at, text + at + l, (size_t)(len() - at - l + 1));
    *(int*)block -= l;
  }

  int len() const { return block ? *(const int*)block : 0; }
  const char* c_str() const { return block ? block + sizeof(int) : ""; }
  bool isEmpty() const { return len() == 0; }

  bool operator==(const String& other) const {
    int l = len();
    return l == other.len() && memcmp(c_str(), other.c_str(), (size_t)l) == 0;
  }
  bool operator!=(const String& other) const { return !(*this == other); }

 private:
  void insertBytes(int at, const void* bytes, int l);

  char* block = nullptr;  // int length, characters, NUL
};

// Reports a TempString::format whose text did not fit (the buffer is left empty).
[[noreturn]] void temp_string_format_overflow(int capacity, int needed);

template <int BS>
struct TempString {
  char str[BS];

  TempString() { str[0] = 0; }
  TempString(const char* s, int count = -1) { assign(s, count); }

  // Copies the first `count` characters of s (all of it when count < 0).
  void assign(const char* s, int count = -1) {
    if (!s) {
      str[0] = 0;
      return;
    }
    int l = count < 0 ? (int)strlen(s) : count;
    ASSERT(l<BS);
    memmove(str, s, (size_t)l);
    str[l] = 0;
  }

  // Formats into the buffer. A text that does not fit leaves the buffer empty
  // and is a fatal error.
  const char* format(const char* fmt, ...) __attribute__((format(printf, 2, 3))) {
    va_list args;
    va_start(args, fmt);
    vformat(fmt, args);
    va_end(args);
    return str;
  }
  const char* vformat(const char* fmt, va_list args) {
    str[0] = 0;
    int n = vsnprintf(str, BS, fmt, args);
    if (n < 0 || n >= BS) {
      str[0] = 0;
      temp_string_format_overflow(BS, n);
    }
    return str;
  }

  const char* c_str() const { return str; }
  operator const char*() const { return str; }
  int len() const { return (int)strlen(str); }
  bool isEmpty() const { return str[0] == 0; }
  static constexpr int capacity() { return BS; }
};

// The number at the start of a text, read as strtol (base 0: decimal, 0x hex, 0 octal)
// or strtod read it; an integer out of the int range clamps to it. False, with `out`
// untouched, when the text starts with no number.
bool parse_int(const char* text, int* out);
bool parse_double(const char* text, double* out);
