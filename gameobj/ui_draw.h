#pragma once
// The interface drawing the screens and the HUD use: boxes, text and icons in
// back-buffer pixels (origin top left, y down), collected between ui_begin and
// ui_end and drawn in one go.
#include <xmmintrin.h>

#include <cstdint>

enum UiAlign : int { UI_LEFT = 0, UI_CENTRE = 1, UI_RIGHT = 2 };
enum UiFont : int { UI_REGULAR = 0, UI_BOLD = 1 };

// Loads the fonts and icons once the interface's shaders exist (the first ui_begin
// does it otherwise): a module loaded again while the game runs loads them as it links.
void ui_load_fonts();
void ui_begin();
void ui_end();
// A plain filled rectangle.
void ui_fill(__m128 rect, uint32_t color);
// A filled box with rounded corners (radius in pixels) and an outline.
void ui_box(__m128 rect, uint32_t fill, uint32_t outline, float radius);
// A line of text whose top edge is at y; size is the font's height in pixels.
void ui_text(const char* text, float x, float y, float size, uint32_t color, int align, int font);
float ui_text_width(const char* text, float size, int font);
// An icon of the icon set ("heart", "point", ...) centred on (x, y).
void ui_icon(const char* name, float x, float y, float size, uint32_t color);
// A sprite of the atlas drawn as an interface picture (nine-patch when it has margins).
void ui_sprite(const char* name, __m128 rect, uint32_t color, int scale);
