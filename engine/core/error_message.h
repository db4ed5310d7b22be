#pragma once
// The on-screen error message: every development problem that still stands (a script,
// shader, data or module build error), shown as a banner across the top of the screen.
// Each source of errors (a reloader, or one file it loads) keeps its own part and
// clears only that part, when what it reloads loads cleanly: an error stays on the
// screen until its own file is fixed, whatever else reloads meanwhile. The interface
// layer draws the whole message (draw_error_message).
#include "engine/core/dynarray.h"

// Every source's part, in the order the sources first reported, one after another on
// lines of their own, with the terminating NUL; empty (no elements) when there is none.
extern DynArray<char> error_message_text;

// Replaces the part of `source` (a name no other source uses, such as "shader
// level.sh"); a non-empty text is logged as "ERROR MESSAGE SET: %s", null or empty
// text clears that part alone.
void set_source_error(const char* source, const char* text);
// Appends `len` bytes of text (-1: up to its NUL; a NUL within the bytes ends them) to
// the part of `source`, on a new line when the part exists. Null, empty or len 0:
// nothing. Not logged.
void append_source_error(const char* source, const char* text, int len);
bool has_source_error(const char* source);

// The message as a whole. A non-empty text replaces every part by itself (a part of
// no source) and is logged; null or empty text clears every part.
void set_error_message(const char* text);
// Appends to the part of no source, as append_source_error does.
void append_error_message(const char* text, int len);
bool has_error_message();
