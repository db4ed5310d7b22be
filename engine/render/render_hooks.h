#pragma once
// What the renderer calls in the application shell above it: the scene's drawing, the
// splash, the scene's resize and the message pump while the splash shows. The shell
// fills the table at start-up; an empty entry does nothing, so the renderer also runs
// alone (tests, tools, benchmarks).
struct RenderHooks {
  void (*prepare_scene_render)() = nullptr;  // before the frame's BeginScene
  void (*render_scene)(float t) = nullptr;   // the frame's drawing, t the step fraction
  void (*render_splash)() = nullptr;         // one splash frame
  void (*resize_scene)() = nullptr;          // after every device reset
  void (*pump_messages)() = nullptr;         // before a splash frame
};

extern RenderHooks render_hooks;
