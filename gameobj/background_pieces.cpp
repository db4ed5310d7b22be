// Cutting background pictures into strips that hold pixels, and drawing the parts of
// them that show.
/*
import background_pieces
import level_cover
import sprites
*/
#include "gameobj/background_pieces.h"

#include <cmath>

#include "engine/render/sprite.h"
#include "gameobj/actor.h"
#include "gameobj/level_cover.h"
#include "gameobj/sprites.h"

namespace {

constexpr int STRIP = 32;       // pixels per strip
constexpr int MAX_PIECES = 16;  // strips per picture (256 pixels wide: 8)
constexpr int MAX_PICTURES = 48;

// Pixel columns [c0, c1) and rows [r0, r1), bottom row first, of one picture.
struct Piece {
  int c0, c1, r0, r1;
};

struct CutPicture {
  const Sprite* sprite = nullptr;
  int32_t uMin = 0, vMin = 0, uMax = 0, vMax = 0;  // the atlas place it was cut for
  int count = 0;
  Piece pieces[MAX_PIECES];
};

CutPicture pictures[MAX_PICTURES];
int picture_count = 0;

bool opaque(uint32_t pixel) { return (pixel >> 24) != 0; }

// The rows of columns [c0, c1) that hold pixels; false when none does.
bool filled_rows(const Sprite* s, int c0, int c1, int& r0, int& r1) {
  r0 = s->ht, r1 = 0;
  for (int r = 0; r < s->ht; r++)
    for (int c = c0; c < c1; c++)
      if (opaque(s->pixels[r * s->wd + c])) {
        r0 = std::min(r0, r);
        r1 = r + 1;
        break;
      }
  return r0 < r1;
}

void cut(const Sprite* s, CutPicture& p) {
  p.sprite = s;
  p.uMin = s->uMin, p.vMin = s->vMin, p.uMax = s->uMax, p.vMax = s->vMax;
  p.count = 0;
  // Without its pixels (or too wide to cut) a picture is one piece.
  bool has_pixels = s->pixels.size() == s->wd * s->ht;
  int strip = std::max(STRIP, (s->wd + MAX_PIECES - 1) / MAX_PIECES);
  if (!has_pixels) {
    p.pieces[p.count++] = Piece{0, s->wd, 0, s->ht};
    return;
  }
  for (int c0 = 0; c0 < s->wd; c0 += strip) {
    int c1 = std::min(c0 + strip, s->wd), r0, r1;
    if (!filled_rows(s, c0, c1, r0, r1))
      continue;
    // Strips side by side with the same rows are one piece.
    Piece* last = p.count ? &p.pieces[p.count - 1] : nullptr;
    if (last && last->c1 == c0 && last->r0 == r0 && last->r1 == r1)
      last->c1 = c1;
    else
      p.pieces[p.count++] = Piece{c0, c1, r0, r1};
  }
}

const CutPicture* cut_picture(const Sprite* s) {
  for (int i = 0; i < picture_count; i++) {
    CutPicture& p = pictures[i];
    if (p.sprite == s && p.uMin == s->uMin && p.vMin == s->vMin && p.uMax == s->uMax && p.vMax == s->vMax)
      return &p;
    if (p.sprite == s) {
      cut(s, p);
      return &p;
    }
  }
  CutPicture& p = pictures[picture_count < MAX_PICTURES ? picture_count++ : MAX_PICTURES - 1];
  cut(s, p);
  return &p;
}

// Pixel columns [c0, c1) and rows [r0, r1) of the picture drawn with its lower left
// corner at (x, y): a crop of the atlas picture of its own.
void draw_crop(Sprite* s, float x, float y, float z, int c0, int c1, int r0, int r1) {
  if (c0 >= c1 || r0 >= r1)
    return;
  static Sprite crop;
  crop.wd = c1 - c0, crop.ht = r1 - r0;
  crop.ox = crop.oy = 0;
  crop.state = s->state;
  crop.uMin = s->uMin + (s->uMax - s->uMin) * c0 / s->wd;
  crop.uMax = s->uMin + (s->uMax - s->uMin) * c1 / s->wd;
  crop.vMin = s->vMin + (s->vMax - s->vMin) * r0 / s->ht;
  crop.vMax = s->vMin + (s->vMax - s->vMin) * r1 / s->ht;
  draw_sprite(&crop, x + c0, y + r0, z, false);
}

// The slots a world rectangle touches, clipped to the view.
struct SlotSpan {
  int sx0, sy0, sx1, sy1;  // inclusive
};

int slot_of(float v) { return int(std::floor(v / TILE_SLOT)); }

SlotSpan slots_under(float x0, float y0, float x1, float y1) {
  return SlotSpan{slot_of(x0), slot_of(y0), slot_of(x1 - 0.001f), slot_of(y1 - 0.001f)};
}

}  // namespace

void forget_background_pieces() { picture_count = 0; }

bool background_box_shows(float x, float y, float w, float h, const WorldRect& view) {
  if (x + w <= view.x0 || x >= view.x1 || y + h <= view.y0 || y >= view.y1)
    return false;
  SlotSpan s = slots_under(x, y, x + w, y + h);
  for (int sy = s.sy0; sy <= s.sy1; sy++)
    for (int sx = s.sx0; sx <= s.sx1; sx++)
      if (!slot_hides(sx, sy))
        return true;
  return false;
}

// Each strip is drawn slot row by slot row, in runs of slots that do not hide it. A
// run's ends are rounded out to whole pixels: neighbouring runs overlap by less than
// a pixel, under slots that hide it anyway.
void draw_background_picture(Sprite* s, float x, float y, float z, const WorldRect& view) {
  if (!s || s->wd <= 0 || s->ht <= 0)
    return;
  const CutPicture* p = cut_picture(s);
  for (int i = 0; i < p->count; i++) {
    const Piece& q = p->pieces[i];
    float px0 = std::max(x + q.c0, view.x0), px1 = std::min(x + q.c1, view.x1);
    float py0 = std::max(y + q.r0, view.y0), py1 = std::min(y + q.r1, view.y1);
    if (px0 >= px1 || py0 >= py1)
      continue;
    SlotSpan span = slots_under(px0, py0, px1, py1);
    for (int sy = span.sy0; sy <= span.sy1; sy++) {
      float ry0 = std::max(py0, float(sy * TILE_SLOT)), ry1 = std::min(py1, float((sy + 1) * TILE_SLOT));
      int r0 = std::max(q.r0, int(std::floor(ry0 - y))), r1 = std::min(q.r1, int(std::ceil(ry1 - y)));
      for (int sx = span.sx0; sx <= span.sx1; sx++) {
        if (slot_hides(sx, sy))
          continue;
        int run_end = sx;
        while (run_end + 1 <= span.sx1 && !slot_hides(run_end + 1, sy))
          run_end++;
        float rx0 = std::max(px0, float(sx * TILE_SLOT)), rx1 = std::min(px1, float((run_end + 1) * TILE_SLOT));
        int c0 = std::max(q.c0, int(std::floor(rx0 - x))), c1 = std::min(q.c1, int(std::ceil(rx1 - x)));
        draw_crop(s, x, y, z, c0, c1, r0, r1);
        sx = run_end;
      }
    }
  }
}
