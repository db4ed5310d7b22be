#pragma once
// Background pictures drawn in pieces. The sprite pass shades every pixel of a quad,
// empty ones and hidden ones too, and the far layers are big: each picture is cut
// once into upright strips cropped to the rows that hold pixels, and a strip is drawn
// only where it is in view and not behind tile slots of the level that hide it.
/*
import actor
import level_cover
*/

struct Sprite;

// A rectangle in world units: x0, y0, x1, y1.
struct WorldRect {
  float x0, y0, x1, y1;
};

// Draws the picture with its lower left corner at (x, y) and depth z: the parts of
// its strips that lie in `view` and in no hiding slot.
void draw_background_picture(Sprite* s, float x, float y, float z, const WorldRect& view);
// Whether a box at (x, y) of size (w, h) shows: in view, and not wholly behind
// hiding slots.
bool background_box_shows(float x, float y, float w, float h, const WorldRect& view);
// Forgets the cut pictures (the atlas was made anew).
void forget_background_pieces();
