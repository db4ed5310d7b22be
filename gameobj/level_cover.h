#pragma once
// Which tile slots of the level hide what lies behind them: every cell of the slot is
// drawn (holds a background or a foreground). Windows and open air do not hide; shots
// clear foregrounds only, so a hiding slot keeps hiding until the next level.
/*
import actor
*/

// False outside the map.
bool slot_hides(int sx, int sy);
// The map changed as a whole (a new level): the slots are looked at anew.
void forget_level_cover();
