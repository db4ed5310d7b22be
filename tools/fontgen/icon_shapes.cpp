#include "icon_shapes.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

using Point = std::pair<float, float>;

IconShape circle(float cx, float cy, float r) {
  return [=](float x, float y) { return std::hypot(x - cx, y - cy) - r; };
}

IconShape round_box(float x0, float y0, float x1, float y1, float r) {
  float cx = (x0 + x1) / 2, cy = (y0 + y1) / 2, hx = (x1 - x0) / 2 - r, hy = (y1 - y0) / 2 - r;
  return [=](float x, float y) {
    float qx = std::fabs(x - cx) - hx, qy = std::fabs(y - cy) - hy;
    return std::hypot(std::max(qx, 0.0f), std::max(qy, 0.0f)) + std::min(std::max(qx, qy), 0.0f) - r;
  };
}

IconShape capsule(float ax, float ay, float bx, float by, float r) {
  return [=](float x, float y) {
    float px = x - ax, py = y - ay, dx = bx - ax, dy = by - ay;
    float t = std::clamp((px * dx + py * dy) / (dx * dx + dy * dy), 0.0f, 1.0f);
    return std::hypot(px - dx * t, py - dy * t) - r;
  };
}

// A polygon's exact signed distance, grown by `round` (rounded corners).
IconShape polygon(std::vector<Point> pts, float round = 0) {
  return [=](float x, float y) {
    float d = 1e9f, s = 1;
    for (size_t i = 0, j = pts.size() - 1; i < pts.size(); j = i++) {
      auto [ax, ay] = pts[j];
      auto [bx, by] = pts[i];
      float ex = bx - ax, ey = by - ay, wx = x - ax, wy = y - ay;
      float t = std::clamp((wx * ex + wy * ey) / (ex * ex + ey * ey), 0.0f, 1.0f);
      d = std::min(d, std::hypot(wx - ex * t, wy - ey * t));
      // Crossing count for the inside test.
      bool c1 = y >= ay, c2 = y < by, c3 = ex * wy > ey * wx;
      if ((c1 && c2 && c3) || (!c1 && !c2 && !c3)) s = -s;
    }
    return s * d - round;
  };
}

IconShape unite(std::vector<IconShape> parts) {
  return [=](float x, float y) {
    float d = 1e9f;
    for (const IconShape& p : parts) d = std::min(d, p(x, y));
    return d;
  };
}

IconShape cut(IconShape a, IconShape b) {
  return [=](float x, float y) { return std::max(a(x, y), -b(x, y)); };
}

IconShape intersect(IconShape a, IconShape b) {
  return [=](float x, float y) { return std::max(a(x, y), b(x, y)); };
}

IconShape ring(float cx, float cy, float r0, float r1) { return cut(circle(cx, cy, r1), circle(cx, cy, r0)); }

// The half plane where a*x + b*y + c <= 0, (a, b) a unit normal.
IconShape half_plane(float a, float b, float c) {
  return [=](float x, float y) { return a * x + b * y + c; };
}

// The shape turned by a quarter turn `turns` times clockwise about the icon's centre.
IconShape turned(IconShape s, int turns) {
  return [=](float x, float y) {
    float u = x - ICON_SIZE / 2.0f, v = y - ICON_SIZE / 2.0f;
    for (int i = 0; i < turns; i++) std::tie(u, v) = std::make_pair(v, -u);
    return s(u + ICON_SIZE / 2.0f, v + ICON_SIZE / 2.0f);
  };
}

IconShape arrow_right() {
  return polygon({{8, 26}, {32, 26}, {32, 12}, {56, 32}, {32, 52}, {32, 38}, {8, 38}}, 1.5f);
}

IconShape lock() {
  IconShape shackle = unite({intersect(ring(32, 24, 8, 14), half_plane(0, 1, -26)),
                             round_box(18, 22, 24, 32, 0), round_box(40, 22, 46, 32, 0)});
  IconShape body = round_box(13, 29, 51, 57, 5);
  IconShape keyhole = unite({circle(32, 40, 4.5f), round_box(30, 40, 34, 50, 1)});
  return unite({shackle, cut(body, keyhole)});
}

IconShape pistol() {
  IconShape slide = round_box(8, 17, 57, 30, 3);
  IconShape sight = round_box(50, 12, 55, 18, 1);
  IconShape grip = polygon({{12, 28}, {29, 28}, {25, 55}, {8, 55}}, 1.5f);
  IconShape guard = intersect(ring(34, 31, 4, 7.5f), half_plane(0, -1, 30));
  return unite({slide, sight, grip, guard});
}

IconShape plasma() {
  float k = std::sqrt(0.5f);
  auto band = [k](float sign) {
    return IconShape([=](float x, float y) { return std::fabs(((x - 32) - sign * (y - 32)) * k) - 3.0f; });
  };
  IconShape broken_ring = cut(cut(ring(32, 32, 18, 25), band(1)), band(-1));
  return unite({circle(32, 32, 12), broken_ring});
}

IconShape bomb() {
  return unite({circle(28, 39, 19), round_box(32, 14, 44, 25, 2), capsule(40, 16, 49, 8, 2),
                circle(53, 6, 4)});
}

IconShape play() { return polygon({{21, 14}, {50, 32}, {21, 50}}, 3); }

IconShape pause() { return unite({round_box(15, 12, 28, 52, 3), round_box(36, 12, 49, 52, 3)}); }

IconShape sound() {
  IconShape speaker = polygon({{6, 24}, {17, 24}, {30, 12}, {30, 52}, {17, 40}, {6, 40}}, 1);
  float k = std::sqrt(0.5f);
  IconShape cone = [k](float x, float y) { return (std::fabs(y - 32) - (x - 30)) * k; };
  IconShape waves = intersect(unite({ring(30, 32, 11, 16), ring(30, 32, 21, 26)}), cone);
  return unite({speaker, waves});
}

IconShape keyboard() {
  std::vector<IconShape> keys;
  for (int row = 0; row < 2; row++)
    for (int col = 0; col < 6; col++) {
      float x = 9 + col * 8.0f, y = 21 + row * 8.0f;
      keys.push_back(round_box(x, y, x + 6, y + 5, 1));
    }
  keys.push_back(round_box(19, 37, 45, 42, 1));
  return cut(round_box(3, 15, 61, 49, 5), unite(keys));
}

IconShape mouse() {
  IconShape body = round_box(17, 5, 47, 59, 15);
  IconShape slits = unite({round_box(31, 4, 33, 25, 0), round_box(16, 24, 48, 26, 0)});
  return cut(body, slits);
}

}  // namespace

const std::vector<IconRecipe>& icon_recipes() {
  static const std::vector<IconRecipe> recipes = {
      {"heart", 0x2665, nullptr},
      {"point", 0, circle(32, 32, 14)},
      {"arrow_left", 0, turned(arrow_right(), 2)},
      {"arrow_right", 0, arrow_right()},
      {"arrow_up", 0, turned(arrow_right(), 3)},
      {"arrow_down", 0, turned(arrow_right(), 1)},
      {"lock", 0, lock()},
      {"check", 0x2714, nullptr},
      {"cross", 0x2716, nullptr},
      {"gear", 0x2699, nullptr},
      {"pistol", 0, pistol()},
      {"plasma", 0, plasma()},
      {"bomb", 0, bomb()},
      {"star", 0x2605, nullptr},
      {"play", 0, play()},
      {"pause", 0, pause()},
      {"sound", 0, sound()},
      {"music", 0x266B, nullptr},
      {"keyboard", 0, keyboard()},
      {"mouse", 0, mouse()},
  };
  return recipes;
}

Mask shape_mask(const IconShape& shape, int box, int ss) {
  Mask m(box * ss, box * ss);
  float margin = (box - ICON_SIZE) / 2.0f;
  for (int y = 0; y < m.h; y++)
    for (int x = 0; x < m.w; x++) {
      float ix = (x + 0.5f) / ss - margin, iy = (y + 0.5f) / ss - margin;
      m.at(x, y) = shape(ix, iy) < 0 ? 1 : 0;
    }
  return m;
}
