#pragma once
// The level renderer: draws any rectangle of a cell grid by converting its cells to
// palette colours every frame, one texel per cell, into two dynamic textures (the
// background and foreground colours), each drawn as one quad of one world unit per
// cell with its detail tile on sampler 1.
#include "engine/core/geometry.h"

struct LevelCell;
struct Texture;

struct LevelRenderer {
  LevelCell* cells;  // first cell of the grid (not owned)
  int32_t cellStride;
  int32_t rowStride;
  int32_t wd, ht;  // grid size in cells
  Texture* texLayer0;  // background colours (cell byte 0)
  Texture* texLayer1;  // foreground colours (cell byte 1)
  int32_t texWd, texHt;  // powers of two
};

// One vertex of a level quad: texture coordinates in units of 1/16384 of the texture.
struct LevelVertex {
  float x, y, z;
  int16_t u, v;
};
static_assert(sizeof(LevelVertex) == 16);

// The renderer of the whole level map: the play scene (engine/shell) creates it, the
// level sweeps (engine/world) tell it of changed cells.
extern LevelRenderer* level_renderer;

void init_level_rendering();
void close_level_rendering();

LevelRenderer* create_level_renderer(LevelCell* cells, int cellStride, int rowStride, int wd, int ht, int texWd,
                                     int texHt);
void destroy_renderer(LevelRenderer*& r);
void reset_renderer(LevelRenderer* r, int texWd, int texHt);
// Nothing to do: the visible area is converted anew on every frame that draws it.
void invalidate_renderer(LevelRenderer* r, int x0, int y0, int x1, int y1);
void invalidate_all_renderer(LevelRenderer* r);

void start_level_rendering();
// The inclusive cell rectangle, clipped to the grid and to the textures' size.
void render_area(LevelRenderer* r, int x0, int y0, int x1, int y1, float z);
void render_all(LevelRenderer* r, float z);
void set_level_tm(const Matrix44& m);
void end_level_rendering();
