#pragma once
// The scene: the layer between the program entry and the game modes. It starts and
// stops every system the game needs, runs the scene's share of each fixed step
// (developer keys, the view matrices, the current mode's update), draws each frame
// (the mode into the scene image, the post-effects, the overlays) and does the
// once-a-second hot reload.
#include <xmmintrin.h>

#include <cstdint>

#include "engine/core/geometry.h"
#include "engine/render/scene_view.h"  // scene_image, voxel_scale

// The colour of the scene's profiler blocks.
constexpr uint32_t SCENE_BLOCK_COLOR = 0xFFFFECB3;

struct Texture;
namespace SoLoud {
class Bus;
}

// ---- set-up, close-down, layout ------------------------------------------------------------
extern __m128 camera_ofs;            // (half pixel x, half pixel y, -180, 0) in world units
extern __m128 light_dir;             // unit direction of the light, (0, 2, -1, 0) normalised
extern Matrix44 cur_proj_tm;         // orthographic projection of the frame
extern Matrix44 cur_view_itm;        // camera to world
extern Matrix44 cur_view_tm;         // world to camera, the inverse of cur_view_itm

void init_scene();
void close_scene();
// After every device reset to a new back-buffer size.
void resize_scene();
// voxel_scale, camera_ofs, free_cam_pos and cur_proj_tm from d3d_wd and d3d_ht.
void update_screen_layout();
// The level renderer's textures sized to the screen (in cells, plus a border of 2).
void reset_level_renderer();
// The cells the level renderer's textures must cover for the current screen.
int level_view_cells_x();
int level_view_cells_y();
// The camera matrix for interpolation time t, snapped to the screen's pixel grid.
Matrix44 setup_scene_camera(float t);
// The general 4x4 inverse (adjugate over determinant).
Matrix44 inverse_matrix(const Matrix44& m);
// cur_view_itm and cur_view_tm for time t.
void set_view_matrices(float t);

// ---- the step ---------------------------------------------------------------------------
extern bool show_fps;             // statistics overlay (F1)
extern bool use_vis_debug;        // debug drawing of the modes (F4)
extern bool use_postfx;           // the module's post-effect switch (F6); the engine never reads it
extern bool sound_event_logging;  // every sound event played is logged (F3)

void start_scene_update(float dt);
// Once a second with the developer tools on: sprites, tiles, the module and both
// scripts are reloaded when their files changed.
void on_periodic_check();
// The sound script's errors reach the screen through this.
void show_error_message(const char* text);
// A log and visual-log line for a sound event the player accepts, while sound-event
// logging is on.
void log_sound_event(int id);

// ---- the frame --------------------------------------------------------------------------
// Set on the first frame on which the engine's or a bus's output exceeds 1.0.
extern bool master_clipped, sfx_bus_clipped, ui_bus_clipped, music_bus_clipped;

void render_scene(float t);
// One level meter of the statistics overlay, its lower edge at y.
void draw_bus_meter(SoLoud::Bus& bus, bool clipped, float y);
void render_splash();
void prepare_scene_render();
// For the modes that draw nothing and show the last world picture behind their screen
// (title, upgrade): a device reset empties the scene image, and this draws that picture
// again once, through the mode that drew it.
void keep_last_world_picture(float t);
// A device reset emptied the scene image.
void forget_world_picture();
