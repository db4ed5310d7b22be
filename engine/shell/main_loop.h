#pragma once
// The fixed-step main loop: updates of 1/20 s, interpolated frames between them,
// presents without waiting, and the once-a-second work.
#include <cstdint>

extern float time_dt;
extern float time_ik;
extern bool quit_requested;
extern int64_t update_step_ticks;
extern int max_catchup_updates;
extern int64_t update_clock;
extern int64_t update_start_time;
extern int64_t last_update_ticks;

void run_main_loop();
void set_update_rate(int updates_per_second, int catchup_limit);
int get_update_step_usec();
void end_update_timing();
void reset_update_time();
void processInput();
// The message pump run before each splash frame.
void pump_messages();
// The once-a-second work: resource reloads while developer keys are on, the
// periodic scene check, the settings flush and the clearing of collected changes.
void run_periodic_work();

// What the loop calls outside itself. The defaults are the real clock, message pump,
// scene and renderer; tests put their own in place.
struct MainLoopServices {
  int64_t (*now)();
  int64_t (*ticks_per_sec)();
  void (*process_input)();
  void (*update)(float dt);
  bool (*render)(float t);
  bool (*present)(bool wait);
  bool (*check_device)();
  void (*sleep)(int msec);
  void (*periodic)();
  void (*file_notify)();
};
extern MainLoopServices main_loop_services;
extern const MainLoopServices default_main_loop_services;
