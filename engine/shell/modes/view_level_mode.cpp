// The developer's level viewer: the mouse pans a free view over the level while the
// objects stand still; the overlay shows a map of the whole level, the viewed
// rectangle on it, the tile flags under the view and the generator's templates
// placed at the viewed tile. Space drops the hero at the view; Esc (or F5) returns.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "engine/core/geometry.h"
#include "engine/gui/sys_font.h"
#include "engine/render/d3d_device.h"
#include "engine/render/d3d_textures.h"
#include "engine/render/debug_vis.h"
#include "engine/shared/palette.h"
#include "engine/shell/input.h"
#include "engine/shell/modes/game_flow.h"
#include "engine/shell/modes/modes.h"
#include "engine/shell/scene.h"
#include "engine/shell/window.h"
#include "engine/world/camera.h"
#include "engine/world/gameobj_host.h"

namespace {

constexpr int MAP_WIDTH = LEVEL_WIDTH / 4;    // 1024: one texel per 4 x 4 cells
constexpr int MAP_HEIGHT = LEVEL_HEIGHT / 4;  // 132
constexpr uint8_t EMPTY_CELL_COLOR = 15;

constexpr D3dColor STATUS_COLOR = 0xFF64FF64;
constexpr D3dColor EMPTY_TEMPLATE_COLOR = 0xFFFF0011;
constexpr D3dColor TEMPLATE_COLOR = 0xFFFF00CC;
constexpr D3dColor TEXT_BOX_COLOR = 0x88000000;
constexpr D3dColor MAP_COLOR = 0xCCFFFFFF;
constexpr D3dColor VIEW_RECT_COLOR = 0x4466FF66;

int round_to_int(float v) { return (int)nearbyintf(v); }


// The view position as a level cell and as a tile slot (truncating toward zero, so
// positions -15..-1 still count as slot 0).
struct ViewedTile {
  int vx, vy, tx, ty;
};

ViewedTile viewed_tile(__m128 view_pos) {
  ViewedTile v;
  v.vx = round_to_int(v_x(view_pos));
  v.vy = round_to_int(v_y(view_pos));
  v.tx = v.vx / TILE_SLOT;
  v.ty = v.vy / TILE_SLOT;
  return v;
}

D3dColor template_color(const LevelGenTemplate* t) { return t->cellsWide == 0 ? EMPTY_TEMPLATE_COLOR : TEMPLATE_COLOR; }

// The tags of the slot's flags, in the order the viewer lists them.
struct FlagTag {
  uint16_t bit;
  const char* tag;
};
const FlagTag flag_tags[] = {
    {TILE_CONNECTED_CELL, " MP"}, {TILE_CLOSED_CELL, " OP"}, {TILE_SOLID, " So"},
    {TILE_MODULE_OBSTACLE, " Ob"}, {TILE_MODULE_GROUP, " NB"}, {TILE_FLOOR, " Fl"},
    {TILE_CEILING, " Ce"}, {TILE_WALL_LEFT, " WL"}, {TILE_WALL_RIGHT, " WR"},
};

void draw_status_line(const ViewedTile& v) {
  char text[128];
  int n = snprintf(text, sizeof(text), "VIEW MODE % 5d % 4d", v.vx, v.vy);
  uint16_t flags = 0;
  if (v.vx >= 0 && v.tx < SLOTS_X && v.vy >= 0 && v.ty < SLOTS_Y)
    flags = level_tile_map[v.ty][v.tx];
  for (const FlagTag& f : flag_tags)
    if (flags & f.bit)
      n += snprintf(text + n, sizeof(text) - n, "%s", f.tag);
  draw_text(text, -1, 0, MAP_HEIGHT, -1, -1, STATUS_COLOR);
}

// The character of the template's connection at the viewed generator cell.
char connection_glyph(const LevelGenPlacement& p, const ViewedTile& v) {
  const LevelGenTemplate* t = p.tmpl;
  int g = 0;
  int cx = v.tx / 10 - p.tileX / 10;
  int cy = v.ty / 8 - p.tileY / 8;
  if (t->pattern && cx >= 0 && cx < t->cellsWide && cy >= 0 && cy < t->cellsHigh)
    g = t->pattern[(t->cellsHigh - cy - 1) * t->cellsWide + cx];
  return "x-?^?v?|"[g & 7];
}

// The module's text in a dark box right of and below the screen's centre, at twice
// the font scale.
void draw_module_text(const DynArray<char>& text) {
  if (text.size() == 0)
    return;
  push_text_state();
  font_scale = 2;
  int w = 0, h = 0;
  calc_text_size(text.begin(), text.size(), w, h);
  int x = d3d_wd / 2 + 20;
  int y = d3d_ht / 2 - 20;
  int m = font_scale * font_cell_height;
  draw_rect(x - m, y - m - h / 2, x + m + w, y + m + h / 2, TEXT_BOX_COLOR);
  draw_text(text.begin(), text.size(), x, y, -1, 0, 0xFFFFFFFF);
  pop_text_state();
}

}  // namespace

void ViewLevelMode::enter(GameMode*) {
  __m128 c = get_camera_pos();
  saved_camera = c;
  view_pos = c;
  mouse_centred = false;
  frame_counter = 0;
  if (!map_texture)
    map_texture = create_texture(MAP_WIDTH, MAP_HEIGHT, 1, 1);
  rebuildMap();
  view_placements.clear();
}

void ViewLevelMode::leave(GameMode*) { move_camera(saved_camera, 0.0f); }

void ViewLevelMode::update(float dt) {
  GameObjFuncTable& m = gameobj_func_table;
  float cx = (float)(d3d_wd / 2), cy = (float)(d3d_ht / 2);
  // The mouse's way from the centre is a movement only when it was centred before.
  if (mouse_centred) {
    float mx = 0, my = 0;
    getMousePos(&mx, &my);
    view_pos = _mm_add_ps(view_pos, _mm_setr_ps((mx - cx) * 0.5f, (cy - my) * 0.5f, 0.0f, 0.0f));
  }
  if (isAppActive) {
    setMousePos(cx, cy);
    mouse_centred = true;
  } else {
    mouse_centred = false;
  }
  move_camera(view_pos, dt);
  m.update_explosions(dt);
  m.delete_gameobj();

  if (keyUp(VK_SPACE)) {
    m.reset_hero(v_x(view_pos), v_y(view_pos));
    saved_camera = view_pos;
    set_game_mode(play_mode);
    return;
  }
  if (keyUp(VK_ESCAPE)) {
    set_game_mode(play_mode);
    return;
  }

  ViewedTile v = viewed_tile(view_pos);
  view_placements.clear();
  for (const LevelGenPlacement& p : level_placements) {
    const LevelGenTemplate* t = p.tmpl;
    if (t && p.tileX <= v.tx && v.tx < p.tileX + t->tilesWide && p.tileY <= v.ty && v.ty < p.tileY + t->tilesHigh)
      view_placements.push(&p);
  }
}

// Always as at the end of a step.
void ViewLevelMode::render(float) { render_play_scene(0.05f); }

void ViewLevelMode::renderOverlay(float) {
  GameObjFuncTable& m = gameobj_func_table;
  DynArray<char> module_text;
  if (use_vis_debug) {
    m.render_gameobj_debug(0.05f);
    float x = v_x(view_pos), y = v_y(view_pos);
    m.view_mode_gameobj_debug(&module_text, _mm_setr_ps(x, y, x, y));
  }

  start_draw_debug_vis();
  for (const LevelGenPlacement& p : view_placements) {
    const LevelGenTemplate* t = p.tmpl;
    float x0 = (float)(p.tileX * TILE_SLOT), y0 = (float)(p.tileY * TILE_SLOT);
    float x1 = (float)((p.tileX + t->tilesWide) * TILE_SLOT), y1 = (float)((p.tileY + t->tilesHigh) * TILE_SLOT);
    // Templates with cells are drawn one cell outside their tiles, so that the
    // empty ones stay visible where both meet.
    float grow = t->cellsWide == 0 ? 0.0f : 1.0f;
    draw_debug_vis_wire_box(_mm_setr_ps(x0 - grow, y0 - grow, 0, 1), _mm_setr_ps(x1 + grow, y1 + grow, 0, 1),
                            template_color(t));
  }
  end_draw_debug_vis();

  ViewedTile v = viewed_tile(view_pos);
  start_draw_text();
  draw_status_line(v);
  int line = font_scale * font_cell_height;
  for (int i = 0; i < view_placements.size(); i++) {
    const LevelGenPlacement& p = view_placements[i];
    char text[300];
    snprintf(text, sizeof(text), "%c %s", connection_glyph(p, v), p.tmpl->name ? p.tmpl->name : "");
    draw_text(text, -1, 0, MAP_HEIGHT + (i + 1) * line, -1, -1, template_color(p.tmpl));
  }
  draw_module_text(module_text);
  end_draw_text();

  // The map along the bottom left, level row 0 at its bottom edge.
  if (map_texture) {
    start_draw_tex_text(map_texture, 1, 1);
    draw_tex_quad(0, 0, MAP_WIDTH, MAP_HEIGHT, MAP_COLOR, 0, 0, 1, 1);
    end_draw_tex_text();
  }

  start_draw_text();
  int sw = d3d_wd / voxel_scale, sh = d3d_ht / voxel_scale;
  draw_rect((v.vx - sw / 2) / 4, (v.vy - sh / 2) / 4, (v.vx + sw / 2) / 4, (v.vy + sh / 2) / 4, VIEW_RECT_COLOR);
  // The objects blink: hidden 4 frames out of every 16.
  frame_counter++;
  if (frame_counter & 12)
    m.render_gameobj_map(4);
  end_draw_text();
}

void ViewLevelMode::onResize() {}

void ViewLevelMode::onNewLevel() { rebuildMap(); }

void ViewLevelMode::rebuildMap() {
  if (!map_texture)
    return;
  int pitch = 0;
  auto* bits = (uint8_t*)lock_texture(map_texture, &pitch, 0);
  if (!bits)
    return;
  for (int r = 0; r < MAP_HEIGHT; r++) {
    auto* row = (uint32_t*)(bits + (size_t)r * pitch);
    for (int c = 0; c < MAP_WIDTH; c++) {
      // The average colour of the 4 x 4 cells; empty cells count as colour 15.
      __m128 sum = _mm_setzero_ps();
      for (int y = 4 * r; y < 4 * r + 4; y++)
        for (int x = 4 * c; x < 4 * c + 4; x++) {
          const LevelCell& cell = level_data[y][x];
          uint8_t index = cell.foreground ? cell.foreground : cell.background ? cell.background : EMPTY_CELL_COLOR;
          sum = _mm_add_ps(sum, d3d_to_color(main_palette[index]));
        }
      row[c] = color_to_d3d(_mm_div_ps(sum, _mm_set1_ps(16.0f)));
    }
  }
  unlock_texture(map_texture, 0);
}
