// Recorders for the engine services around the shell (see engine_calls.h). Every
// function here is named __wrap_<symbol>; the build links the test program with
// --wrap=<symbol> for each, so the shell's calls land here and __real_<symbol>
// reaches the engine's own definition.
#include "engine_calls.h"

#include <cstring>

#include "engine/core/geometry.h"
#include "engine/render/d3d_textures.h"
#include "engine/shared/level_map.h"
#include "tests/support/stand_in_module.h"

struct LevelRenderer;

EngineFakes engine_fakes;
Texture fake_scene_image = {};
Texture fake_texture = {};
std::set<std::string> real_engine_calls;

void reset_engine_calls() {
  real_engine_calls = {
      "init_controls", "update_screen_layout", "set_update_rate", "reset_game", "start_new_level", "advance_level",
      "init_play_level", "close_play_level", "clear_junk", "update_junk", "reset_game_script",
      "game_script_torvane", "render_play_scene", "interp_camera", "push_text_state", "pop_text_state",
  };
  engine_fakes.no_scene_image = false;
  engine_fakes.module_reloaded = false;
  engine_fakes.mouse_over = true;
  engine_fakes.mouse_x = engine_fakes.mouse_y = 0;
  engine_fakes.lock_fails = false;
  engine_fakes.create_texture_fails = false;
  engine_fakes.renderer_cells = nullptr;
  engine_fakes.renderer_width = engine_fakes.renderer_height = 0;
  engine_fakes.view_tm = engine_fakes.proj_tm = matrix_identity();
}

namespace {

bool runs_real(const char* name) { return real_engine_calls.count(name) != 0; }

char fake_renderer_storage[16];
LevelRenderer* fake_renderer() { return reinterpret_cast<LevelRenderer*>(fake_renderer_storage); }

const char* texture_name(Texture* t) {
  if (!t)
    return "null";
  if (t == &fake_scene_image)
    return "scene_image";
  if (t == &fake_texture)
    return "texture";
  return "other";
}


}  // namespace

#define WRAP0(mangled, name)                 \
  extern "C" void __real_##mangled();        \
  extern "C" void __wrap_##mangled() {       \
    record_call(#name);                      \
    if (runs_real(#name))                    \
      __real_##mangled();                    \
  }

#define WRAP_F(mangled, name)                \
  extern "C" void __real_##mangled(float);   \
  extern "C" void __wrap_##mangled(float v) { \
    record_callf(#name "(%g)", v);           \
    if (runs_real(#name))                    \
      __real_##mangled(v);                   \
  }

// ---- scene set-up and close-down -----------------------------------------------------------
WRAP0(_Z10init_audiov, init_audio)
WRAP0(_Z11close_audiov, close_audio)
WRAP0(_Z12init_spritesv, init_sprites)
WRAP0(_Z15init_backgroundv, init_background)
WRAP0(_Z11init_postfxv, init_postfx)
WRAP0(_Z14init_debug_visv, init_debug_vis)
WRAP0(_Z20init_level_renderingv, init_level_rendering)
WRAP0(_Z21close_level_renderingv, close_level_rendering)
WRAP0(_Z15close_debug_visv, close_debug_vis)
WRAP0(_Z12close_postfxv, close_postfx)
WRAP0(_Z16close_backgroundv, close_background)
WRAP0(_Z13close_spritesv, close_sprites)
WRAP0(_Z16init_game_scriptv, init_game_script)
WRAP0(_Z17close_game_scriptv, close_game_script)
WRAP0(_Z13init_controlsv, init_controls)
WRAP0(_Z16load_level_tilesv, load_level_tiles)
WRAP0(_Z16free_level_tilesv, free_level_tiles)
WRAP0(_Z9init_junkv, init_junk)
WRAP0(_Z10close_junkv, close_junk)
WRAP0(_Z10clear_junkv, clear_junk)
WRAP_F(_Z11update_junkf, update_junk)
WRAP_F(_Z11render_junkf, render_junk)
WRAP0(_Z14generate_levelv, generate_level)
WRAP0(_Z17reset_game_scriptv, reset_game_script)

// With the progress it is told of.
extern "C" void __real__Z19game_script_torvanev();
extern "C" void __wrap__Z19game_script_torvanev() {
  extern int cur_level, up_points;
  record_callf("game_script_torvane(level %d, points %d)", cur_level, up_points);
  if (runs_real("game_script_torvane"))
    __real__Z19game_script_torvanev();
}
WRAP0(_Z20update_screen_layoutv, update_screen_layout)
WRAP0(_Z10reset_gamev, reset_game)
WRAP0(_Z15start_new_levelv, start_new_level)
WRAP0(_Z13advance_levelv, advance_level)
WRAP0(_Z15init_play_levelv, init_play_level)
WRAP0(_Z16close_play_levelv, close_play_level)
WRAP0(_Z17update_font_scalev, update_font_scale)

extern "C" void __real__Z15set_update_rateii(int, int);
extern "C" void __wrap__Z15set_update_rateii(int rate, int catchup) {
  record_callf("set_update_rate(%d,%d)", rate, catchup);
  if (runs_real("set_update_rate"))
    __real__Z15set_update_rateii(rate, catchup);
}

extern "C" Texture* __wrap__Z27create_screen_render_targetv() {
  record_call("create_screen_render_target");
  return engine_fakes.no_scene_image ? nullptr : &fake_scene_image;
}

extern "C" void __wrap__Z15destroy_textureP7Texture(Texture* t) { record_callf("destroy_texture(%s)", texture_name(t)); }

extern "C" void __wrap__Z16init_gameobj_dllPKcS0_(const char* dir, const char* main_file) {
  record_callf("init_gameobj_dll(%s,%s)", dir, main_file);
  install_stand_in_table(STAND_IN_ALL);
}

extern "C" void __wrap__Z11show_splashPKcf(const char* text, float progress) {
  record_callf("show_splash(%s,%g)", text, progress);
}

extern "C" void __wrap__Z17close_gameobj_dllv() {
  record_call("close_gameobj_dll");
  uninstall_stand_in_module();
}

extern "C" LevelRenderer* __wrap__Z21create_level_rendererP9LevelCelliiiiii(LevelCell* cells, int cell_stride,
                                                                             int row_stride, int w, int h, int tw,
                                                                             int th) {
  bool level = cells == &level_data[0][0];
  record_callf("create_level_renderer(%s,%d,%d,%d,%d,%d,%d)", level ? "level_data" : "cells", cell_stride, row_stride,
               w, h, tw, th);
  engine_fakes.renderer_cells = cells;
  engine_fakes.renderer_width = w;
  engine_fakes.renderer_height = h;
  return fake_renderer();
}

extern "C" void __wrap__Z16destroy_rendererRP13LevelRenderer(LevelRenderer*& r) {
  record_callf("destroy_renderer(%s)", r ? "renderer" : "null");
  r = nullptr;
}

extern "C" void __wrap__Z14reset_rendererP13LevelRendererii(LevelRenderer* r, int w, int h) {
  record_callf("reset_renderer(%s,%d,%d)", r ? "renderer" : "null", w, h);
}

extern "C" void __wrap__Z23invalidate_all_rendererP13LevelRenderer(LevelRenderer* r) {
  record_callf("invalidate_all_renderer(%s)", r ? "renderer" : "null");
}

extern "C" void __wrap__Z16invalidate_leveliiii(int x0, int y0, int x1, int y1) {
  record_callf("invalidate_level(%d,%d,%d,%d)", x0, y0, x1, y1);
}

// ---- the step and the periodic check --------------------------------------------------------
WRAP0(_Z15take_screenshotv, take_screenshot)
WRAP0(_Z14reload_spritesv, reload_sprites)
WRAP0(_Z12reload_tilesv, reload_tiles)
WRAP0(_Z32game_script_after_gameobj_reloadv, game_script_after_gameobj_reload)
WRAP0(_Z18check_sound_scriptv, check_sound_script)
WRAP0(_Z17check_game_scriptv, check_game_script)

extern "C" bool __wrap__Z14reload_gameobjb(bool force) {
  record_callf("reload_gameobj(%d)", force ? 1 : 0);
  return engine_fakes.module_reloaded;
}

// ---- world drawing ---------------------------------------------------------------------------
WRAP0(_Z21start_level_renderingv, start_level_rendering)
WRAP0(_Z19end_level_renderingv, end_level_rendering)
WRAP0(_Z19start_sprite_renderv, start_sprite_render)
WRAP0(_Z17end_sprite_renderv, end_sprite_render)
WRAP_F(_Z17render_play_scenef, render_play_scene)
WRAP0(_Z20start_draw_debug_visv, start_draw_debug_vis)
WRAP0(_Z18end_draw_debug_visv, end_draw_debug_vis)

extern "C" void __wrap__Z17render_backgroundjj(D3dColor a, D3dColor b) {
  record_callf("render_background(%08X,%08X)", a, b);
}

extern "C" void __wrap__Z11render_areaP13LevelRendereriiiif(LevelRenderer* r, int x0, int y0, int x1, int y1,
                                                            float z) {
  record_callf("render_area(%s,%d,%d,%d,%d,%g)", r ? "renderer" : "null", x0, y0, x1, y1, z);
}

extern "C" void __wrap__Z10render_allP13LevelRendererf(LevelRenderer* r, float z) {
  record_callf("render_all(%s,%g)", r ? "renderer" : "null", z);
}

extern "C" void __wrap__Z12set_level_tmRK8Matrix44(const Matrix44& m) {
  record_callf("set_level_tm(%g,%g,%g,%g)", m.m[3][0], m.m[3][1], m.m[3][2], m.m[3][3]);
}

extern "C" void __wrap__Z23draw_debug_vis_wire_boxDv4_fS_j(__m128 lo, __m128 hi, D3dColor c) {
  record_callf("draw_debug_vis_wire_box(%g,%g,%g,%g,%g,%g,%g,%g,%08X)", v_lane(lo, 0), v_lane(lo, 1), v_lane(lo, 2),
               v_lane(lo, 3), v_lane(hi, 0), v_lane(hi, 1), v_lane(hi, 2), v_lane(hi, 3), c);
}

extern "C" Texture* __wrap__Z14create_textureiiii(int w, int h, int format, int levels) {
  record_callf("create_texture(%d,%d,%d,%d)", w, h, format, levels);
  return engine_fakes.create_texture_fails ? nullptr : &fake_texture;
}

extern "C" void* __wrap__Z12lock_textureP7TexturePii(Texture* t, int* pitch, int level) {
  record_callf("lock_texture(%s,%d)", texture_name(t), level);
  if (engine_fakes.lock_fails)
    return nullptr;
  *pitch = (int)sizeof(engine_fakes.lock_buffer[0]);
  return engine_fakes.lock_buffer;
}

extern "C" bool __wrap__Z14unlock_textureP7Texturei(Texture* t, int level) {
  record_callf("unlock_texture(%s,%d)", texture_name(t), level);
  return true;
}

// ---- the frame -----------------------------------------------------------------------------
WRAP0(_Z12clear_view_zv, clear_view_z)
WRAP0(_Z12apply_postfxv, apply_postfx)
WRAP0(_Z21set_backbuffer_targetv, set_backbuffer_target)
WRAP0(_Z17draw_update_statsv, draw_update_stats)
WRAP_F(_Z13interp_cameraf, interp_camera)
WRAP0(_Z11draw_splashv, draw_splash)

extern "C" void __wrap__Z18set_texture_targetP7Textureib(Texture* t, int index, bool depth) {
  record_callf("set_texture_target(%s,%d,%d)", texture_name(t), index, depth ? 1 : 0);
}

static void record_consts(const char* name, int first, const float* data, int count) {
  std::string line = std::string(name) + "(" + std::to_string(first) + ":";
  char number[32];
  for (int i = 0; i < 4 * count; i++) {
    snprintf(number, sizeof(number), "%s%g", i ? "," : "", data[i]);
    line += number;
  }
  record_call(line + ")");
}

extern "C" void __wrap__Z13set_vs_constsiPKfi(int first, const float* data, int count) {
  record_consts("set_vs_consts", first, data, count);
}

extern "C" void __wrap__Z13set_ps_constsiPKfi(int first, const float* data, int count) {
  record_consts("set_ps_consts", first, data, count);
}

extern "C" void __wrap__Z11set_proj_tmRK8Matrix44(const Matrix44& m) {
  record_call("set_proj_tm");
  engine_fakes.proj_tm = m;
}

extern "C" void __wrap__Z11set_view_tmRK8Matrix44(const Matrix44& m) {
  record_call("set_view_tm");
  engine_fakes.view_tm = m;
}

extern "C" void __wrap__Z11get_glob_tmR8Matrix44(Matrix44& out) {
  record_call("get_glob_tm");
  out = matrix_mul(engine_fakes.view_tm, engine_fakes.proj_tm);
}

// ---- input the shell asks for during the frame and the viewer -------------------------------
extern "C" bool __wrap__Z11isMouseOverv() { return engine_fakes.mouse_over; }

extern "C" void __wrap__Z11getMousePosPfS_(float* x, float* y) {
  *x = engine_fakes.mouse_x;
  *y = engine_fakes.mouse_y;
}

extern "C" void __wrap__Z11setMousePosff(float x, float y) {
  record_callf("setMousePos(%g,%g)", x, y);
  engine_fakes.mouse_x = x;
  engine_fakes.mouse_y = y;
}

// ---- system-font drawing ----------------------------------------------------------------------
WRAP0(_Z15start_draw_textv, start_draw_text)
WRAP0(_Z13end_draw_textv, end_draw_text)
WRAP0(_Z17end_draw_tex_textv, end_draw_tex_text)
WRAP0(_Z15push_text_statev, push_text_state)
WRAP0(_Z14pop_text_statev, pop_text_state)
WRAP0(_Z15draw_visual_logv, draw_visual_log)
WRAP0(_Z18draw_error_messagev, draw_error_message)

static std::string text_of(const char* text, int len) {
  if (!text)
    return std::string();
  return len < 0 ? std::string(text) : std::string(text, (size_t)len);
}

extern "C" void __wrap__Z9draw_textPKciiiiij(const char* text, int len, int x, int y, int ax, int ay, D3dColor c) {
  record_callf("draw_text(%s,%d,%d,%d,%d,%08X)", text_of(text, len).c_str(), x, y, ax, ay, c);
}

extern "C" void __wrap__Z9draw_rectiiiij(int x0, int y0, int x1, int y1, D3dColor c) {
  record_callf("draw_rect(%d,%d,%d,%d,%08X)", x0, y0, x1, y1, c);
}

// Every character 9 texels wide and the line 8 high, at the current scale.
extern "C" void __wrap__Z14calc_text_sizePKciRiS1_(const char* text, int len, int& w, int& h) {
  extern int font_scale;
  std::string t = text_of(text, len);
  record_callf("calc_text_size(%s)", t.c_str());
  w = (int)t.size() * 9 * font_scale;
  h = 8 * font_scale;
}

extern "C" void __wrap__Z19start_draw_tex_textP7Textureii(Texture* t, int w, int h) {
  record_callf("start_draw_tex_text(%s,%d,%d)", texture_name(t), w, h);
}

extern "C" void __wrap__Z13draw_tex_quadiiiijiiii(int x0, int y0, int x1, int y1, D3dColor c, int u0, int v0, int u1,
                                                  int v1) {
  record_callf("draw_tex_quad(%d,%d,%d,%d,%08X,%d,%d,%d,%d)", x0, y0, x1, y1, c, u0, v0, u1, v1);
}
