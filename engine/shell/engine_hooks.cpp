// The one place where the shell fills the hook tables of the subsystems below it.
#include "engine/audio/audio_hooks.h"
#include "engine/gen/gen_hooks.h"
#include "engine/render/render_hooks.h"
#include "engine/shell/main_loop.h"
#include "engine/shell/scene.h"
#include "engine/shell/shell.h"
#include "engine/world/level_sweep.h"

void connect_engine_hooks() {
  render_hooks.prepare_scene_render = prepare_scene_render;
  render_hooks.render_scene = render_scene;
  render_hooks.render_splash = render_splash;
  render_hooks.resize_scene = resize_scene;
  render_hooks.pump_messages = pump_messages;
  audio_hooks.log_sound_event = log_sound_event;
  set_level_invalidate_hook(invalidate_level);
}
