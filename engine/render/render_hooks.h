#pragma once
// What the renderer calls in the subsystems around it: the shell's frame and window
// callbacks and the on-screen error message of the interface layer.

// Application shell.
extern bool isFullscreen;   // fullscreen wanted; written by resize_d3d
extern bool app_use_vsync;  // present on the vertical blank
void render_scene(float t);
void render_splash();
void prepare_scene_render();
void resize_scene();
void pump_messages();
extern int voxel_scale;  // whole screen pixels per world unit

// Splash screen (progress below 0 hides the bar).
void show_splash(const char* text, float progress);

// On-screen error message (null or "" clears it; len -1 means NUL-terminated).
void set_error_message(const char* text);
void append_error_message(const char* text, int len);
