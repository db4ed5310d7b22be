// Interface images: the texel times the vertex colour, premultiplied, placed in
// top-left-origin pixels.
#include "d3d9.inc"
#include "ui_textured.inc"
