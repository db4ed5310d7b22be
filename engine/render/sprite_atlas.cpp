// The atlas packer: the first free spot of each sprite, rows from the bottom, columns
// from the left, one free pixel kept around every sprite.
#include "engine/render/sprite_atlas.h"

#include <algorithm>
#include <cstring>

#include "engine/render/sprite.h"

namespace {

struct Placed {
  int x, y, wd, ht;
};

// The first free spot of a wd x ht sprite in an S x S atlas, or false. A candidate
// (x, y) is blocked by p when their boxes, each grown by one pixel to the right and
// top, meet. Skipping past a blocker never skips a free spot, and a row that fails
// keeps failing until the lowest-ending sprite of its band is passed, so both jumps
// find the same spot as trying every candidate.
bool find_spot(const DynArray<Placed>& placed, int wd, int ht, int side, DynArray<const Placed*>& band, int* out_x,
               int* out_y) {
  for (int y = 0; y + ht < side;) {
    band.clear();
    int next_y = side;
    for (const Placed& p : placed) {
      if (y <= p.y + p.ht && p.y <= y + ht) {
        band.push() = &p;
        next_y = std::min(next_y, p.y + p.ht + 1);
      }
    }
    int x = 0;
    while (x + wd < side) {
      const Placed* blocker = nullptr;
      for (const Placed* p : band) {
        if (x <= p->x + p->wd && p->x <= x + wd) {
          blocker = p;
          break;
        }
      }
      if (!blocker) {
        *out_x = x;
        *out_y = y;
        return true;
      }
      x = blocker->x + blocker->wd + 1;
    }
    if (band.isEmpty())
      return false;  // too wide for this side in every row
    y = std::max(y + 1, next_y);
  }
  return false;
}

bool pack_into(const DynArray<Sprite*>& list, int side) {
  DynArray<Placed> placed;
  DynArray<const Placed*> band;
  placed.reserve(list.size());  // band holds pointers into it
  for (Sprite* s : list) {
    if (!s->frames.isEmpty())
      continue;  // animation strips take no atlas space
    int x, y;
    if (!find_spot(placed, s->wd, s->ht, side, band, &x, &y))
      return false;
    placed.push() = Placed{x, y, s->wd, s->ht};
    s->uMin = x;
    s->vMin = y;
  }
  return true;
}

}  // namespace

int pack_sprite_atlas(const DynArray<Sprite*>& list) {
  for (int side = 16; side <= SPRITE_ATLAS_MAX; side *= 2)
    if (pack_into(list, side))
      return side;
  return 0;
}

void fill_sprite_atlas(const DynArray<Sprite*>& list, int side, DynArray<uint32_t>& atlas) {
  atlas.clear();
  atlas.resize(side * side);
  int k = 16384 / side;
  for (Sprite* s : list) {
    if (!s->frames.isEmpty())
      continue;
    int x = s->uMin, y = s->vMin;
    if (s->pixels.size() == s->wd * s->ht) {
      for (int r = 0; r < s->ht; r++)
        memcpy(&atlas[(y + r) * side + x], &s->pixels[r * s->wd], size_t(s->wd) * 4);
    }
    s->uMin = x * k;
    s->vMin = y * k;
    s->uMax = (x + s->wd) * k;
    s->vMax = (y + s->ht) * k;
  }
}
