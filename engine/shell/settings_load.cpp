// Window and display settings from "settings.cfg" and the command line.
#include <cstring>

#include "engine/core/log.h"
#include "engine/core/settings.h"
#include "engine/render/d3d_device.h"
#include "engine/shell/shell.h"
#include "libs/profiler/profiler.h"

int app_screen_wd = 0, app_screen_ht = 0;
bool fullscreen_setting = false;

namespace {

int cmd_argc = 0;
char** cmd_argv = nullptr;

struct CommandWord {
  const char* word;
  void (*apply)();
};

bool profile_requested = false;

void set_size(int wd, int ht) {
  app_screen_wd = wd;
  app_screen_ht = ht;
}

const CommandWord command_words[] = {
    {"-720", [] { set_size(1280, 720); }},
    {"-900", [] { set_size(1600, 900); }},
    {"-360", [] { set_size(640, 360); }},
    {"-1080", [] { set_size(1920, 1080); }},
    {"-aa", [] { app_use_aa = true; }},
    {"-noaa", [] { app_use_aa = false; }},
    {"-vs", [] { app_use_vsync = true; }},
    {"-novs", [] { app_use_vsync = false; }},
    {"-fullscr", [] { fullscreen_setting = true; }},
    {"-win", [] { fullscreen_setting = false; }},
    {"-profile", [] { profile_requested = true; }},
};

}  // namespace

void set_command_line(int argc, char** argv) {
  cmd_argc = argc;
  cmd_argv = argv;
}

void load_settings() {
  fullscreen_setting = true;
  app_screen_wd = 0;
  app_screen_ht = 0;
  app_use_aa = false;
  app_use_vsync = true;
  d3d_no_scene_target = true;

  get_config_int("screen_wd", &app_screen_wd);
  get_config_int("screen_ht", &app_screen_ht);
  get_config_bool("fullscreen", &fullscreen_setting);
  get_config_bool("vsync", &app_use_vsync);
  get_config_bool("devkeys", &use_dev_tools);

  strcpy(vs_profile, "vs_2_0");
  strcpy(ps_profile, "ps_2_0");

  profile_requested = false;
  for (int i = 1; i < cmd_argc; i++) {
    for (const CommandWord& w : command_words)
      if (cmd_argv[i] && strcmp(cmd_argv[i], w.word) == 0)
        w.apply();
  }
  if (profile_requested) {
    profiler::setLogFunction([](const char* line) { debug("%s", line); });
    profiler::setEnabled(true);
    profiler::startListen(profiler::DEFAULT_PORT);
  }
  if (!profiler::isThreadRegistered())
    profiler::registerThread("Main");
}
