#pragma once
// What the game's screens are made of, read the way the engine sees them (the GUI
// element tree the module built and laid out, the game script's upgrade tree), and
// checks of a screenshot against pixels computed from that layout and from the
// fonts' own text layout.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "game_run.h"

namespace play {

using Rect = std::array<float, 4>;  // x0, y0, x1, y1 in back-buffer pixels, y down

// The current game screen: its panel (the root's first child) with its pixel scale,
// the panel's buttons (elements with the "button" behaviour) and its other children,
// in tree order. False while no game screen is shown.
struct MenuLayout {
  Rect panel{};
  int scale = 1;
  std::vector<Rect> buttons;
  std::vector<Rect> others;
};
bool read_menu_layout(MenuLayout& out);

int centre_x(const Rect& r);
int centre_y(const Rect& r);

// The upgrade tree as the game script gives it, in display order.
struct UpgradeNode {
  std::string name, state;
  int cost = 0;
};
std::vector<UpgradeNode> read_upgrade_tree();

// ---- pictures ----------------------------------------------------------------------------

// Channels within `tolerance` of each other.
bool near_colour(uint32_t a, uint32_t b, int tolerance);
// Pixels of the rectangle (clipped to the picture) near `colour`.
int count_colour(const Picture& p, const Rect& r, uint32_t colour, int tolerance);
// Pixels near `colour` in the band around `r`: from `gap` to `gap + width` pixels out;
// without its left side when `left` is false.
int count_colour_around(const Picture& p, const Rect& r, float gap, float width, uint32_t colour, int tolerance,
                        bool left = true);

// The box that a line of text covers with ink, as the distance-field font `font_file`
// lays it out in `rect` with the alignment `flags` at `size` pixels (the text's own
// layout, without the outline's and the shadow's spread).
Rect text_ink_box(const char* font_file, const char* text, const Rect& rect, int flags, float size);

// Writes a picture file for a person to look at: "<stem>.png" beside the shots.
void keep_picture(const Picture& p, const std::string& stem);

}  // namespace play
