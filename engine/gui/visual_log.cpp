// The visual log and the error message: their texts and operations.
#include "engine/gui/visual_log.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "engine/core/log.h"

// In this order among the program's globals (see engine/core/globals.cpp).
DynArray<VisualLogLine> visual_log_lines;
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

void visual_log(const char* format, ...) {
  // Formatted before it is added: an argument may be one of the lines, which
  // growing the list would move.
  VisualLogLine line;
  va_list args;
  va_start(args, format);
  vsnprintf(line.text, sizeof(line.text), format, args);
  va_end(args);
  visual_log_lines.push(&line);
  int excess = visual_log_lines.size() - VISUAL_LOG_MAX_LINES;
  if (excess > 0)
    visual_log_lines.remove(0, excess);
}

void clear_visual_log() { visual_log_lines.clearAndFree(); }
