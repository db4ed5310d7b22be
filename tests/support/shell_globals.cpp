// The application shell's globals that other subsystems read, for the tests, tools
// and benchmarks that do not link the shell. Programs that link it get the real
// definitions and must not add this file.
#include "engine/render/level_renderer.h"
#include "engine/render/postfx.h"
#include "engine/shell/modes/game_flow.h"
#include "engine/shell/modes/game_mode.h"
#include "engine/shell/scene.h"

bool should_close_game_menu = false;
int voxel_scale = 1;
Texture* scene_image = nullptr;
LevelRenderer* level_renderer = nullptr;
