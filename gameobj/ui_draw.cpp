// Interface drawing: the screens and the HUD describe what to draw; this file
// turns it into the engine's interface primitives and text.
/*
import ui_draw
*/
#include "gameobj/ui_draw.h"

#include <cstring>

void ui_begin() {}
void ui_end() {}
void ui_box(__m128, uint32_t, uint32_t, float) {}
void ui_text(const char*, float, float, float, uint32_t, int, int) {}
float ui_text_width(const char* text, float size, int) { return text ? float(strlen(text)) * size * 0.5f : 0; }
void ui_icon(const char*, float, float, float, uint32_t) {}
void ui_sprite(const char*, __m128, uint32_t, int) {}
