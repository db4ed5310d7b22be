// What the world drawing reads of the scene and the splash: the shell and the text
// layer define these. The weak definitions stand in wherever those are not linked (the
// renderer's tests, benchmarks and tools), so the renderer links on its own.
#include "engine/render/level_renderer.h"
#include "engine/render/postfx.h"
#include "engine/render/render_hooks.h"

#define SCENE_OWNED __attribute__((weak))

SCENE_OWNED int voxel_scale = 1;
SCENE_OWNED Texture* scene_image = nullptr;
SCENE_OWNED LevelRenderer* level_renderer = nullptr;
SCENE_OWNED void show_splash(const char*, float) {}
