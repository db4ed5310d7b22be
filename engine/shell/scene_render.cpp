// One frame between two fixed steps: the current mode draws the world into the scene
// image, the post-effects carry it to the back buffer, then the mode's overlay, the
// crosshair, the visual log and error message and, when on, the statistics overlay
// with the audio meters.
#include <algorithm>
#include <cstdio>

#include "engine/audio/audio_engine.h"
#include "engine/core/stats.h"
#include "engine/gui/splash.h"
#include "engine/gui/sys_font.h"
#include "engine/gui/visual_log.h"
#include "engine/render/d3d_device.h"
#include "engine/render/d3d_shaders.h"
#include "engine/render/d3d_states.h"
#include "engine/render/d3d_vbuf.h"
#include "engine/render/postfx.h"
#include "engine/shell/input.h"
#include "engine/shell/modes/game_mode.h"
#include "engine/shell/scene.h"
#include "engine/world/camera.h"
#include "engine/world/gameobj_host.h"
#include "libs/profiler/profiler.h"

bool master_clipped = false;
bool sfx_bus_clipped = false;
bool ui_bus_clipped = false;
bool music_bus_clipped = false;

namespace {

constexpr D3dColor METER_BACK = 0xFF000000;
constexpr D3dColor BUS_LEVEL = 0xFF00FF00;
constexpr D3dColor MASTER_LEVEL = 0xFFFFFF00;
constexpr D3dColor CLIP_MARK = 0xFFFF0000;
constexpr D3dColor TEXT_COLOR = 0xFFFFFFFF;

// The mode whose render left the picture in the scene image, and whether a device
// reset has emptied it since.
GameMode* world_picture_mode = nullptr;
bool world_picture_lost = false;
bool mode_keeps_picture = false;  // set by the current mode's render in this frame

float line_height() { return (float)(font_scale * font_cell_height); }

template <class Source>
bool is_clipping(Source& source) {
  return std::max(source.getApproximateVolume(0), source.getApproximateVolume(1)) > 1.0f;
}

void draw_meter_rect(float x0, float y0, float x1, float y1, D3dColor color) {
  draw_rect((int)x0, (int)y0, (int)x1, (int)y1, color);
}

// Two level bars (channel 1 below, channel 0 above) over a quarter of the screen's
// width; a level of 1.0 fills it.
void draw_meter(float m0, float m1, D3dColor bar, bool clipped, float y) {
  float l = line_height();
  float q = (float)(d3d_wd / 4);
  draw_meter_rect(l, y, l + q, y + l, METER_BACK);
  draw_meter_rect(l, y, l + m1 * q, y + l / 2, bar);
  draw_meter_rect(l, y + l / 2, l + m0 * q, y + l, bar);
  if (clipped)
    draw_meter_rect(l + q, y, l + q + l / 2, y + l, CLIP_MARK);
}

void draw_statistics_overlay() {
  draw_update_stats();
  float l = line_height();
  float y0 = (float)(3 * d3d_ht / 4);
  char text[64];
  snprintf(text, sizeof(text), "SoLoud: %3d/%3d", (int)soloud.getActiveVoiceCount(), (int)soloud.getVoiceCount());
  draw_text(text, -1, (int)l, (int)y0, -1, 1, TEXT_COLOR);
  // Master, effects, interface, music, top to bottom below the text.
  float y1 = y0 - 2.5f * l;
  draw_meter(soloud.getApproximateVolume(0), soloud.getApproximateVolume(1), MASTER_LEVEL, master_clipped, y1);
  float y2 = y1 - 2.0f * l;
  draw_bus_meter(sfx_bus, sfx_bus_clipped, y2);
  float y3 = y2 - 1.5f * l;
  draw_bus_meter(ui_bus, ui_bus_clipped, y3);
  float y4 = y3 - 1.5f * l;
  draw_bus_meter(music_bus, music_bus_clipped, y4);
}

}  // namespace

void draw_bus_meter(SoLoud::Bus& bus, bool clipped, float y) {
  draw_meter(bus.getApproximateVolume(0), bus.getApproximateVolume(1), BUS_LEVEL, clipped, y);
}

void keep_last_world_picture(float t) {
  mode_keeps_picture = true;
  if (world_picture_lost && world_picture_mode)
    world_picture_mode->render(t);
  world_picture_lost = false;
}

void forget_world_picture() { world_picture_lost = true; }

void render_scene(float t) {
  PROFILE_BLOCK("render_scene", SCENE_BLOCK_COLOR);
  interp_camera(t);
  set_proj_tm(cur_proj_tm);
  // A paused world is seen as it stands at the end of the last step.
  set_view_matrices(game_paused ? 0.05f : t);
  set_view_tm(cur_view_tm);

  Matrix44 glob;
  get_glob_tm(glob);
  set_vs_consts(0, &glob.m[0][0], 4);
  set_vs_consts(4, &cur_view_itm.m[3][0], 1);
  const float inverse_size[4] = {1.0f / (float)d3d_wd, 1.0f / (float)d3d_ht, 0.0f, 0.0f};
  set_vs_consts(5, inverse_size, 1);
  const float ps0[4] = {0.8f, 0.0f, 0.0f, 0.0f};
  set_ps_consts(0, ps0, 1);

  // Only depth is cleared: the colour stays until the mode draws over it.
  set_texture_target(scene_image, 0, true);
  clear_view_z();
  mode_keeps_picture = false;
  if (cur_game_mode)
    cur_game_mode->render(t);
  if (!mode_keeps_picture) {
    world_picture_mode = cur_game_mode;
    world_picture_lost = false;
  }
  apply_postfx();

  set_backbuffer_target();
  if (cur_game_mode)
    cur_game_mode->renderOverlay(t);
  if (isMouseOver()) {
    float x = 0, y = 0;
    getMousePos(&x, &y);
    gameobj_func_table.draw_crosshair(x, y);
  }
  start_draw_text();
  draw_visual_log();
  draw_error_message();
  // Once over 1.0, a marker stays for the rest of the run.
  master_clipped |= is_clipping(soloud);
  sfx_bus_clipped |= is_clipping(sfx_bus);
  ui_bus_clipped |= is_clipping(ui_bus);
  music_bus_clipped |= is_clipping(music_bus);
  if (show_fps)
    draw_statistics_overlay();
  end_draw_text();
}

void render_splash() {
  PROFILE_BLOCK("render_splash", SCENE_BLOCK_COLOR);
  draw_splash();
}

void prepare_scene_render() {}
