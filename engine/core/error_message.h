#pragma once
// The on-screen error message: one block of text about a development problem (a
// script, shader, data or module build error), shown as a banner across the top of
// the screen until it is cleared. Every subsystem that finds such a problem writes
// it here; the interface layer draws it (draw_error_message).
#include "engine/core/dynarray.h"

// The message with its terminating NUL; empty (no elements) when there is none.
extern DynArray<char> error_message_text;

// A non-empty text replaces the message and is logged as "ERROR MESSAGE SET: %s";
// null or empty text clears it without logging.
void set_error_message(const char* text);
// Appends `len` bytes of text (-1: up to its NUL; a NUL within the bytes ends
// them), on a new line when a message exists. Null, empty or len 0: nothing. Not
// logged.
void append_error_message(const char* text, int len);
bool has_error_message();
