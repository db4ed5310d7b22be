#pragma once
// What the game's screens are made of, read the way the engine sees them (the GUI
// element tree the module built and laid out, the game script's upgrade tree), and
// checks of a screenshot against pixels computed from that layout and from the
// fonts' own text layout.
#include <gtest/gtest.h>

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
  std::string name, title, state;
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

// Pixels that differ between two pictures of one size inside the rectangle, as a
// share of them.
double changed_share(const Picture& a, const Picture& b, const Rect& r);

// Pixels of the error banner's yellow text in the middle of the screen's top.
int banner_ink(const Picture& p);

// Writes a picture file for a person to look at: "<stem>.png" beside the shots.
void keep_picture(const Picture& p, const std::string& stem);

// ---- what the screens show -----------------------------------------------------------
// Each check compares a screenshot with pixels computed from a screen's layout and the
// fonts' own text layout; on failure it says what is missing and in which picture.

// A line of text as a screen draws it: the box its ink covers, and its colour.
struct TextSpot {
  std::string text;
  Rect box{};
  uint32_t colour = 0;
  bool iconLeft = false;  // an icon stands left of the text
};
// The spot of a line of text laid out by the distance-field font `font_file` in `rect`
// with the alignment `flags` at `size` pixels (needs the game's data and device).
TextSpot text_spot(const char* font_file, const char* text, const Rect& rect, int flags, float size,
                   uint32_t colour, bool icon_left = false);
// A menu's title, centred at the top of its panel.
TextSpot panel_title_text(const MenuLayout& m, const char* title);
// The title screen's texts: the panel's title, its line under it and the three items.
std::vector<TextSpot> title_screen_texts(const MenuLayout& m);
// The upgrade screen's node buttons (after Continue) that show a price, each with its
// title and price: both white while `points` buy the node, else the title dimmed and
// the price red.
std::vector<TextSpot> upgrade_node_texts(const MenuLayout& m, const std::vector<UpgradeNode>& tree, int points);
// The controls screen's key boxes (the panel's children after the line under the
// title): each button's name and the name of its key, white.
std::vector<TextSpot> controls_key_texts(const MenuLayout& m, const std::vector<std::string>& names,
                                         const std::vector<std::string>& keys);
// The controls screen's line under the title, in `colour`.
TextSpot controls_hint_text(const MenuLayout& m, const char* text, uint32_t colour);
// A spot as a line of text ("colour icon x0 y0 x1 y1 text"), and back.
std::string text_spot_line(const TextSpot& t);
bool parse_text_spot(const std::string& line, TextSpot& out);

// Ink of the spot's colour inside its box and none just around it (nor left of it,
// when an icon stands there).
::testing::AssertionResult text_shows(const Picture& shot, const TextSpot& t);
::testing::AssertionResult texts_show(const Picture& shot, const std::vector<TextSpot>& texts);
// Hardly any of the spot's colour in its box: the text is not drawn.
::testing::AssertionResult text_gone(const Picture& shot, const TextSpot& t);
::testing::AssertionResult panel_title_shows(const Picture& shot, const MenuLayout& m, const char* title);
::testing::AssertionResult title_screen_shows(const Picture& shot, const MenuLayout& m);
// The HUD's health bar: filled in its colour up to `fraction` of its length, empty
// after it.
::testing::AssertionResult health_bar_shows(const Picture& shot, float fraction);
// The share of the health bar that a picture shows filled, from its left end along
// its middle in one of the bar's colours; 0 when its left end is not filled.
float health_bar_fill(const Picture& shot);

}  // namespace play
