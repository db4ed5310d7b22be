#pragma once
// Program entry, start-up and shut-down: the globals read from the settings and the
// command line, the process priority and the orderly shut-down.
#include <cstdint>

#include "engine/render/d3d_device.h"  // isFullscreen, app_use_vsync
#include "platform/win32/windows.h"

extern HINSTANCE app_instance;
extern const char app_title[];          // "TORVANE! 0.20"
extern HWND main_window;
extern int app_screen_wd, app_screen_ht;  // configured client size; 0 or less: not set
extern bool fullscreen_setting;
extern int process_priority_level;      // 0 normal, 1 above normal, 2+ high
extern char vs_profile[32];
extern char ps_profile[32];

// The command-line words after the program name, as the C runtime parsed them.
void set_command_line(int argc, char** argv);

int WinMain(HINSTANCE instance, HINSTANCE prev_instance, LPSTR command_line, int show_command);

// Fills the tables through which the subsystems below the shell call it: the renderer's
// frame, splash and resize calls, the sound-event log and the level's redraw after
// the generator changes it. Start-up does it first; tests that run the shell's frames
// without its start-up call it themselves.
void connect_engine_hooks();

// Settings and command line into the globals above; registers the thread with the
// profiler as "Main".
void load_settings();

// The orderly shut-down (also run by fatal and quit_game). A nested call from the
// thread that is already shutting down is refused with std::system_error.
void close_all_systems();

void set_process_priority(int level);
int get_process_priority();
void apply_process_priority();
// Gives the process the idle class while the window is inactive.
void apply_idle_priority();

// Raw mouse input: usage page 1, usage 2.
bool register_raw_input();
// Registers "TorvaneWindow"; the process ends with exit code 0 when that fails.
void register_window_class();

// The allocator handed to PhysicsFS: engine hooks, refusing sizes of 4 GiB or more.
void* physfs_malloc(unsigned long long size);
void* physfs_realloc(void* block, unsigned long long size);
void physfs_free(void* block);
