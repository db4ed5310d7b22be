#pragma once
// Services the shell calls whose owners have not published them yet. Each
// declaration here moves to its owner's header when it lands; the stand-ins in
// pending_services.cpp go with it.
#include <cstdint>
#include <xmmintrin.h>

#include "engine/core/geometry.h"
#include "engine/gen/level_map.h"

struct Texture;
struct LevelRenderer;

// ---- renderer: meshes -------------------------------------------------------------------
void free_all_meshes();
void reload_meshes(bool force);

// ---- renderer: post-effects, debug drawing --------------------------------------------
void init_postfx();
void close_postfx();
void apply_postfx();
// Pixel constant 17 of the final pass; zero except during game over.
extern __m128 postfx_final_color;

void init_debug_vis();
void close_debug_vis();
void start_draw_debug_vis();
void draw_debug_vis_wire_box(__m128 lo, __m128 hi, D3dColor color);
void end_draw_debug_vis();

// ---- renderer: level renderer -------------------------------------------------------------
void init_level_rendering();
void close_level_rendering();
LevelRenderer* create_level_renderer(LevelCell* cells, int cell_stride, int row_stride, int width, int height,
                                     int texture_width, int texture_height);
void destroy_renderer(LevelRenderer** renderer);
void reset_renderer(LevelRenderer* renderer, int width, int height);
void invalidate_all_renderer(LevelRenderer* renderer);
void start_level_rendering();
void end_level_rendering();
void render_area(LevelRenderer* renderer, int x0, int y0, int x1, int y1, float z);
void render_all(LevelRenderer* renderer, float z);
void set_level_tm(const Matrix44& tm);

// ---- text and GUI: the system font, text, splash, on-screen log -------------------------
#include "engine/gui/splash.h"
#include "engine/gui/sys_font.h"
#include "engine/gui/visual_log.h"
