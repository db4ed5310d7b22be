// The type tags of the engine's own script classes, defined here so that the
// executable exports them. The tags of the game-object module's classes are defined
// once with the module's object lists (engine/world/objects.cpp); the module takes
// every tag from these exports, so tags stay the same across module reloads.
#include "engine/script/sq_perf_timer.h"
#include "engine/script/sq_vec4f.h"

template int sqbind::ClassTag<SqVec4f>::uniqueTag;
template int sqbind::ClassTag<SqPerfTimer>::uniqueTag;
