// String: the heap string's block operations.
#include "engine/core/strings.h"

#include <climits>
#include <cstdint>
#include <cstdlib>

#include "engine/core/fatal.h"
#include "engine/core/mem.h"

static const int header_size = (int)sizeof(int);

// A string block that could not be allocated would be written through a null
// pointer: report it instead.
static char* check_block(void* block, size_t size) {
  if (!block)
    fatal("String: out of memory allocating %zu bytes", size);
  return (char*)block;
}

String& String::operator=(const String& other) {
  if (this != &other)
    assignBytes(other.c_str(), other.len());
  return *this;
}

String& String::operator=(String&& other) noexcept {
  if (this != &other) {
    clear();
    block = other.block;
    other.block = nullptr;
  }
  return *this;
}

void String::clear() {
  dlfree(block);
  block = nullptr;
}

void String::assign(const char* text) {
  assignBytes(text, text ? (int)strlen(text) : 0);
}

void String::assignBytes(const void* bytes, int count) {
  // The bytes may be this string's own text: build the new block before
  // releasing the old one.
  char* nb = nullptr;
  if (count > 0) {
    size_t size = (size_t)count + header_size + 1;
    nb = check_block(dlmalloc(size), size);
    *(int*)nb = count;
    memcpy(nb + header_size, bytes, (size_t)count);
    nb[header_size + count] = 0;
  }
  dlfree(block);
  block = nb;
}

void String::insertBytes(int at, const void* bytes, int l) {
  if (l == 0)
    return;
  if (!block) {
    assignBytes(bytes, l);
    return;
  }
  // Bytes from inside this block would move with the reallocation: copy them first.
  int old_len = len();
  const char* src = (const char*)bytes;
  char* copy = nullptr;
  uintptr_t s = (uintptr_t)src, b = (uintptr_t)block;
  if (s < b + header_size + old_len + 1 && s + l > b) {
    copy = check_block(dlmalloc((size_t)l), (size_t)l);
    memcpy(copy, src, (size_t)l);
    src = copy;
  }
  size_t size = (size_t)old_len + l + header_size + 1;
  block = check_block(dlrealloc(block, size), size);
  char* text = block + header_size;
  memmove(text + at + l, text + at, (size_t)(old_len - at + 1));
  memcpy(text + at, src, (size_t)l);
  *(int*)block = old_len + l;
  dlfree(copy);
}

void temp_string_format_overflow(int capacity, int needed) {
  fatal("TempString<%d>::format: the text needs %d characters and does not fit", capacity, needed);
}

bool parse_int(const char* text, int* out) {
  char* end;
  long value = strtol(text, &end, 0);
  if (end == text)
    return false;
  // Out of range clamps, as strtol itself does for long: never a wrapped value.
  *out = value < INT_MIN ? INT_MIN : value > INT_MAX ? INT_MAX : (int)value;
  return true;
}

bool parse_double(const char* text, double* out) {
  char* end;
  double value = strtod(text, &end);
  if (end == text)
    return false;
  *out = value;
  return true;
}
