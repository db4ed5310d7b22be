// The visual log: its lines and operations.
#include "engine/gui/visual_log.h"

#include <cstdarg>
#include <cstdio>

// In this order among the program's globals (see engine/core/globals.cpp).
DynArray<VisualLogLine> visual_log_lines;

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
