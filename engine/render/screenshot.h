#pragma once
// Saves what the window shows as "shots/shot<date>_<time>.png" in the write directory.
void take_screenshot();
