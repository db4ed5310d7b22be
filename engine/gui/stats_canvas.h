#pragma once
// The statistics overlay's canvas: the system font's text and rectangles and the
// back buffer's size, installed by init_font once the font exists.
void install_stats_canvas();
void remove_stats_canvas();
// Follows the back buffer's size; update_font_scale calls it after every resize.
void update_stats_canvas_size();
