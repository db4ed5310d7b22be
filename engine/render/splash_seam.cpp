// The splash belongs to the interface layer; programs that link the renderer without it
// (the renderer's tests, benchmarks and tools) get this silent one.
#include "engine/render/render_hooks.h"

__attribute__((weak)) void show_splash(const char*, float) {}
