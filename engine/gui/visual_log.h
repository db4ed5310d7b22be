#pragma once
// Two on-screen channels for development problems and traces: the error message
// (engine/core/error_message.h), one block of text shown as a banner across the top
// of the screen until it is cleared, and the visual log, a scrolling list of short
// formatted lines in the bottom left corner (developer traces such as sound-event
// logging). Both are drawn here, with the system font.
#include "engine/core/dynarray.h"
#include "engine/core/error_message.h"

constexpr int VISUAL_LOG_MAX_LINES = 100;

struct VisualLogLine {
  char text[128];  // NUL-terminated, at most 127 characters
};

// Oldest first, at most VISUAL_LOG_MAX_LINES after each addition.
extern DynArray<VisualLogLine> visual_log_lines;
// Formats one line (cut at 127 characters) and appends it; the oldest lines go
// so that at most VISUAL_LOG_MAX_LINES remain.
void visual_log(const char* format, ...) __attribute__((format(printf, 1, 2)));
void clear_visual_log();

// Both must be called between start_draw_text and end_draw_text. The log's lines
// stack upward from the bottom left, newest lowest; the message is a translucent red
// band across the top with its lines centred in yellow. With nothing to show they
// draw nothing.
void draw_visual_log();
void draw_error_message();
