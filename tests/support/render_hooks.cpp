// The shell's side of the renderer (render_hooks.h), for tests and benchmarks that
// link the renderer, directly or through the text and GUI layer, without the shell.
// Nothing is drawn through them: no frame, splash or resize reaches the shell here.
#include "engine/render/render_hooks.h"

bool isFullscreen = false;
bool app_use_vsync = false;
void render_scene(float) {}
void render_splash() {}
void prepare_scene_render() {}
void resize_scene() {}
void pump_messages() {}
