// Interface sprites from the atlas and bitmap-font text: the texel times the vertex
// colour, premultiplied, placed in top-left-origin pixels. (Constant 16 holds the
// texture size; the sprites and glyphs need nothing of it.)
#include "d3d9.inc"
#include "ui_textured.inc"
