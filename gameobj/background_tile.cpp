// Background layers.
/*
import backgrounds
*/
#include "gameobj/backgrounds.h"

BackgroundTile::BackgroundTile() { category = CAT_SCENERY; }

float background_offset(float base, float cam, float parallax) { return base + cam * (1.0f - parallax); }
