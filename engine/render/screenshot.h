#pragma once
// Saves what the window shows as "shots/shot<date>_<time>.png" in the write directory.
#include <ctime>

void take_screenshot();

// The local time a screenshot is named after; false when it cannot be had (the shot is
// then saved as "shots/shot.png"). Replaceable so that the fallback can be exercised.
extern bool (*screenshot_local_time)(struct tm* out);
