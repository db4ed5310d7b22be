#pragma once
// The headers of the services the shell calls from the renderer and the text layer.
#include <cstdint>
#include <xmmintrin.h>

#include "engine/core/geometry.h"
#include "engine/gen/level_map.h"

#include "engine/render/debug_vis.h"
#include "engine/render/level_renderer.h"
#include "engine/render/mesh.h"
#include "engine/render/postfx.h"

struct Texture;

// ---- text and GUI: the system font, text, splash, on-screen log -------------------------
#include "engine/gui/splash.h"
#include "engine/gui/sys_font.h"
#include "engine/gui/visual_log.h"
