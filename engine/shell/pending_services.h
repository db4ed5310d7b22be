#pragma once
// Services the shell calls whose owners have not published them yet. Each
// declaration here moves to its owner's header when it lands; the stand-ins in
// pending_services.cpp go with it.
#include <cstdint>

#include "engine/render/mesh.h"

// Text and GUI: the system font and the splash.
void init_font();
void close_font();
void show_splash(const char* text, float progress);

// The scene (still to come in this folder).
void init_scene();
void close_scene();
void start_scene_update(float dt);
void on_periodic_check();
