#pragma once
// Bitmap fonts: fonts in the distance-field description format drawn as plain
// alpha-textured quads through "guiBitmap.sh" (20-byte vertices), for interface text
// of the game-object module. The same batch-state class and shader draw interface
// sprites from the sprite atlas (ui_sprite_state). Positions are pixels with the
// origin at the top left, y down; draw between start_gui_render and end_gui_render.
#include "engine/gui/dist_font.h"

// Binds shader, declaration and texture, starts a triangle-list run and sets vertex
// constant 16 to the texture's size in pixels (the height negated unless it is
// default_font's texture).
class BitmapFontBatchState : public StdRenderBatchState {
public:
  using StdRenderBatchState::StdRenderBatchState;
  void apply(const BaseRenderBatchState* prev) override;
};

class BitmapFont : public DistFont {
public:
  // DistFont::load, then a BitmapFontBatchState in place of the loader's state.
  bool load(const char* path);
  // Adds the text's glyph quads as one batch item, `size` times the font's pixels.
  // Flags as for DistFont (horizontally centred texts centre each line); len -1 means
  // up to the NUL; a null state means the font's own.
  void renderText(RenderBatch& batch, __m128 rect, int flags, D3dColor color, int size, const char* text, int len,
                  BaseRenderBatchState* state);
};

// The GUI's font, empty until the module loads it.
extern BitmapFont default_font;

// 20-byte vertex of interface images, sprites and bitmap text.
struct UiVertex {
  float x, y;
  D3dColor color;
  float u, v;
};
static_assert(sizeof(UiVertex) == 20);

// "guiBitmap.sh" (null until init_bitmap_fonts) and the 20-byte declaration (null
// until init_bitmap_fonts or init_ui_image_render).
struct Shader;
extern Shader* gui_bitmap_shader;
extern IDirect3DVertexDeclaration9* ui_vdecl;
void create_ui_vdecl();

// Makes the shader and declaration and fills ui_sprite_state over the sprite atlas;
// before any BitmapFont::load.
void init_bitmap_fonts();
