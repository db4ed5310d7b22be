#pragma once
// The icon set of the game's screens. Icons that a font has are taken from it; the
// others are built here from circles, rounded boxes, polygons and capsules on a box
// of ICON_SIZE pixels (y down).
#include <functional>
#include <string>
#include <vector>

#include "distance_field.h"

constexpr int ICON_SIZE = 64;

// Signed distance (negative inside) at a point of the icon box.
using IconShape = std::function<float(float x, float y)>;

struct IconRecipe {
  std::string name;
  int codePoint;      // a glyph of the symbol face, or 0 when `shape` draws it
  IconShape shape;
};

const std::vector<IconRecipe>& icon_recipes();

// The shape drawn `ss` times larger on a box of `box` icon pixels, centred.
Mask shape_mask(const IconShape& shape, int box, int ss);
