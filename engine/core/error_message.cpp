#include "engine/core/error_message.h"

#include <cstring>

#include "engine/core/log.h"

DynArray<char> error_message_text;

void set_error_message(const char* text) {
  if (!text || !text[0]) {
    error_message_text.clear();
    return;
  }
  // The text may be a part of the current message (a caller keeping only its
  // tail): it moves within the array, so it is logged from its new place.
  int l = (int)strlen(text);
  error_message_text.resize(l + 1);
  memmove(error_message_text.data, text, (size_t)l + 1);
  debug("ERROR MESSAGE SET: %s", error_message_text.data);
}

void append_error_message(const char* text, int len) {
  if (!text || len == 0)
    return;
  int n = len < 0 ? (int)strlen(text) : (int)strnlen(text, (size_t)len);
  if (n == 0)
    return;
  // The text may be a part of the message itself, which the line break below
  // can move: append from a copy then.
  DynArray<char> copy;
  const char* data = error_message_text.data;
  if (data && text >= data && text < data + error_message_text.capacity) {
    copy.append(n, text);
    text = copy.data;
  }
  if (error_message_text.isEmpty()) {
    char nul = 0;
    error_message_text.push(&nul);
  } else {
    char newline = '\n';
    error_message_text.insert(error_message_text.size() - 1, 1, &newline);
  }
  error_message_text.insert(error_message_text.size() - 1, n, text);
}

bool has_error_message() { return !error_message_text.isEmpty(); }
