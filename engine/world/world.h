#pragma once
// Everything the game flow uses of the game-object host and the world services:
// the module link and reload, the object lists, the camera, debris, noise, the
// level sweeps and the proximity hash.
#include "engine/world/camera.h"
#include "engine/world/collision.h"
#include "engine/world/gameobj_host.h"
#include "engine/world/junk.h"
#include "engine/world/level_sweep.h"
#include "engine/world/noise.h"
#include "engine/world/proximity.h"
