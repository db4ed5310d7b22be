#pragma once
// The splash frame shown while the program starts and while it compiles shaders: a
// dark blue screen with one centred line of text and, optionally, a progress bar.
// Each show_splash draws and presents one frame at once, outside the main loop.
#include "engine/core/strings.h"

extern TempString<256> splash_text;  // "Please wait..." until the first show_splash
extern float splash_progress;        // below 0 hides the bar; 0..1 fills it

// Copies the text (null: empty; cut to the buffer when longer) and the progress,
// then presents one splash frame (present_splash, which draws it through the
// scene's splash render and draw_splash).
void show_splash(const char* text, float progress);
// Draws the splash frame into the back buffer.
void draw_splash();
