#pragma once
// What the renderer reaches in the application shell: its frame and window callbacks
// and the settings it reads.

extern bool isFullscreen;   // fullscreen wanted; written by resize_d3d
extern bool app_use_vsync;  // present on the vertical blank
void render_scene(float t);
void render_splash();
void prepare_scene_render();
void resize_scene();
void pump_messages();
extern int voxel_scale;  // whole screen pixels per world unit
