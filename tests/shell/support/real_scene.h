#pragma once
// The real scene, headless, in a test or benchmark program: the game's folder mounted
// as the game mounts it, our module loaded from it, the device, the vertex ring, the
// system font and init_scene, as the program's start-up runs them. The program links
// the shell whole and exports its symbols, so that the module resolves them.
#include <string>

// `game_dir` is the game's folder (build/bin, ending in '/'); `extra_dir`, when not
// empty, is mounted after it. The per-user folder is a fresh temporary one, also the
// write folder. With `with_window` the game's window is made first (for posting keys).
// False when something could not be started.
bool start_real_scene(const std::string& game_dir, const std::string& extra_dir, int width, int height,
                      bool with_window);
// close_scene and the rest of the shut-down's steps for what start_real_scene made.
void close_real_scene();
// The per-user folder of the run (without a trailing '/').
const std::string& real_scene_home();
