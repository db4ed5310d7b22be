// The interface layer's on-screen error message (render_hooks.h), for benchmarks that
// link the renderer without the GUI. Nobody reads the message here: it is dropped.
#include "engine/render/render_hooks.h"

void set_error_message(const char*) {}
void append_error_message(const char*, int) {}
