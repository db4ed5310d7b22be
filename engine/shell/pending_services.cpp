// Stand-ins for the services the shell calls that are still to come: the renderer's
// meshes, sprites, background, post-effects, debug drawing and level renderer. Each
// does the least that keeps the program running: start-up and shut-down go through,
// the loop runs, nothing is drawn. All are weak, so a real definition replaces its stand-in as soon as it is
// linked in; delete each stand-in once its real one has landed.
#include "engine/shell/pending_services.h"

#include "engine/render/background.h"
#include "engine/render/sprite.h"

#define PENDING __attribute__((weak))

// ---- renderer ------------------------------------------------------------------
PENDING void reload_meshes(bool) {}
PENDING void free_all_meshes() {}

PENDING void init_sprites() {}
PENDING void close_sprites() {}
PENDING void reload_sprites() {}
PENDING void start_sprite_render() {}
PENDING void end_sprite_render() {}

PENDING void init_background() {}
PENDING void close_background() {}
PENDING void render_background(D3dColor, D3dColor) {}

PENDING void init_postfx() {}
PENDING void close_postfx() {}
PENDING void apply_postfx() {}
PENDING __m128 postfx_final_color = {0, 0, 0, 0};

PENDING void init_debug_vis() {}
PENDING void close_debug_vis() {}
PENDING void start_draw_debug_vis() {}
PENDING void draw_debug_vis_wire_box(__m128, __m128, D3dColor) {}
PENDING void end_draw_debug_vis() {}

PENDING void init_level_rendering() {}
PENDING void close_level_rendering() {}
PENDING LevelRenderer* create_level_renderer(LevelCell*, int, int, int, int, int, int) { return nullptr; }
PENDING void destroy_renderer(LevelRenderer** renderer) {
  if (renderer)
    *renderer = nullptr;
}
PENDING void reset_renderer(LevelRenderer*, int, int) {}
PENDING void invalidate_all_renderer(LevelRenderer*) {}
PENDING void start_level_rendering() {}
PENDING void end_level_rendering() {}
PENDING void render_area(LevelRenderer*, int, int, int, int, float) {}
PENDING void render_all(LevelRenderer*, float) {}
PENDING void set_level_tm(const Matrix44&) {}
